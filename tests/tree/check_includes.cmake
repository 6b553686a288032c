# Checks every #include of the tree against the layers: each folder may
# include its own headers and those of the folders listed for it, nothing
# above. The core below the front-ends includes system headers only in its
# per-system files (*_posix, *_win, *_linux) and never a toolkit's.
# Run as: cmake -DSOURCE_DIR=<tree> -P check_includes.cmake
cmake_minimum_required(VERSION 3.25)

set(allowed_base base)
set(allowed_card card base)
set(allowed_config config base)
set(allowed_state state card config base)
set(allowed_reader reader state card config base)
set(allowed_present present reader state card config base)
set(allowed_ui/qt ui/qt present reader state card config base)
set(allowed_ui/win32 ui/win32 present reader state card config base)
set(allowed_cli cli reader state card config base)
# The reader host is a program over the reader layer alone: it loads the
# library and answers calls, and knows nothing of the state or the windows.
set(allowed_host host reader base)
# The virtual reader is a library of its own: it sees the tool only through
# the reader library's header.
set(allowed_sim sim reader/termb.h)
set(layers base card config state reader present ui/qt ui/win32 cli host sim)
set(core base card config state reader present)
set(system_headers windows winsock2 unistd fcntl dlfcn iconv pthread poll termios dirent
    signal "sys/[a-z_]+")

set(failures "")
foreach(layer IN LISTS layers)
    file(GLOB_RECURSE files RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/${layer}/*.h
         ${SOURCE_DIR}/${layer}/*.cpp)
    foreach(file IN LISTS files)
        # Files of a folder within this one belong to that folder's layer.
        get_filename_component(dir ${file} DIRECTORY)
        if(NOT dir STREQUAL layer)
            continue()
        endif()
        file(STRINGS ${SOURCE_DIR}/${file} lines REGEX "^[ \t]*#[ \t]*include")
        foreach(line IN LISTS lines)
            if(line MATCHES "#[ \t]*include[ \t]*\"([^\"]+)\"")
                set(target ${CMAKE_MATCH_1})
                if(NOT target MATCHES "/")
                    continue() # beside the including file
                endif()
                set(ok FALSE)
                foreach(allowed IN LISTS allowed_${layer})
                    if(target STREQUAL allowed OR target MATCHES "^${allowed}/[^/]+$")
                        set(ok TRUE)
                    endif()
                endforeach()
                if(NOT ok)
                    string(APPEND failures "${file}: ${layer} may not include \"${target}\"\n")
                endif()
            elseif(line MATCHES "#[ \t]*include[ \t]*<([^>]+)>")
                set(target ${CMAKE_MATCH_1})
                if(NOT layer IN_LIST core)
                    continue()
                endif()
                if(target MATCHES "^Q")
                    string(APPEND failures "${file}: the core may not include <${target}>\n")
                endif()
                get_filename_component(stem ${file} NAME_WE)
                if(stem MATCHES "_(posix|win|linux)$")
                    continue()
                endif()
                foreach(header IN LISTS system_headers)
                    if(target MATCHES "^${header}\\.h$")
                        string(APPEND failures
                               "${file}: <${target}> belongs in a _posix or _win file\n")
                    endif()
                endforeach()
            endif()
        endforeach()
    endforeach()
endforeach()

if(failures)
    message(FATAL_ERROR "Includes against the layers:\n${failures}")
endif()
message(STATUS "Every include points down the layers")
