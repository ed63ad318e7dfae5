# Cross-compiles for 64-bit Windows with MinGW-w64 (posix threads); the tests run under 64-bit Wine.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(PELMIX_MINGW_TRIPLE x86_64-w64-mingw32)
set(PELMIX_WIN_ARCH win64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
