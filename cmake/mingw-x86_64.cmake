# Cross build for 64-bit Windows with MinGW-w64 (Debian's
# g++-mingw-w64-x86-64). Tests run under 64-bit Wine; serves where 32-bit
# programs cannot run (a kernel without 32-bit support).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(ZUVI_MINGW_TRIPLE x86_64-w64-mingw32)
set(ZUVI_WINE_LOADER wine64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
