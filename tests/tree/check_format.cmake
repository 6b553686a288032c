# Fails when a C++ file of the tree is not laid out as .clang-format says.
# Run as: cmake -DSOURCE_DIR=<tree> -DCLANG_FORMAT=<clang-format> -P check_format.cmake
cmake_minimum_required(VERSION 3.25)
set(files "")
foreach(folder base card config state reader present ui cli sim tools tests bench fuzz)
    file(GLOB_RECURSE found ${SOURCE_DIR}/${folder}/*.h ${SOURCE_DIR}/${folder}/*.cpp)
    list(APPEND files ${found})
endforeach()
execute_process(COMMAND ${CLANG_FORMAT} --dry-run --Werror ${files}
                RESULT_VARIABLE result ERROR_VARIABLE report)
if(NOT result EQUAL 0)
    string(REGEX MATCHALL "[^\n]*: error: [^\n]*" lines "${report}")
    list(LENGTH lines count)
    list(SUBLIST lines 0 20 first)
    list(JOIN first "\n" shown)
    message(FATAL_ERROR "${count} places not laid out as .clang-format says "
                        "(clang-format -i fixes them):\n${shown}")
endif()
message(STATUS "Every C++ file follows .clang-format")
