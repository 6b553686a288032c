# Settings shared by the MinGW-w64 toolchain files; ZUVI_MINGW_TRIPLE is set
# by the including file. The posix-threads variant of the compiler is used:
# the reading thread needs std::thread, which the win32-threads variant of
# GCC 12 lacks.
set(CMAKE_C_COMPILER ${ZUVI_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZUVI_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${ZUVI_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ZUVI_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The executables need no MinGW runtime DLLs beside them: libgcc, libstdc++
# and winpthread are linked in, so a test runs from any directory under Wine
# and a program build runs on a machine without MinGW.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

# Test programs run under Wine. Their test lists are read when CTest runs, not
# at build time, so building needs no Wine.
find_program(ZUVI_WINE NAMES ${ZUVI_WINE_LOADER} PATHS /usr/lib/wine)
if(ZUVI_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${ZUVI_WINE})
endif()
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)

# Header-only libraries of the host serve the cross build too (see cmake/cross).
set(nlohmann_json_DIR ${CMAKE_CURRENT_LIST_DIR}/cross/nlohmann_json CACHE PATH "")
