# Cross-compiles for 32-bit Windows with MinGW-w64 (posix threads); the tests run under 32-bit Wine.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(PELMIX_MINGW_TRIPLE i686-w64-mingw32)
set(PELMIX_WIN_ARCH win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
