# Cross build for 32-bit Windows with MinGW-w64 (Debian's g++-mingw-w64-i686),
# the build the vendors' 32-bit reader DLLs need. Tests run under 32-bit Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(ZUVI_MINGW_TRIPLE i686-w64-mingw32)
set(ZUVI_WINE_LOADER wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
