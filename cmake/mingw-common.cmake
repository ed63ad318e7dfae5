# Shared part of the two MinGW-w64 toolchains (mingw-i686.cmake, mingw-x86_64.cmake). They set
# PELMIX_MINGW_TRIPLE, PELMIX_WIN_ARCH and CMAKE_SYSTEM_PROCESSOR, then include this file.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER   ${PELMIX_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PELMIX_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${PELMIX_MINGW_TRIPLE}-windres)
set(CMAKE_ASM_NASM_COMPILER nasm)

set(CMAKE_FIND_ROOT_PATH /usr/${PELMIX_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One self-contained exe: no libgcc/libstdc++/winpthread DLLs beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# CTest runs every Windows test program under the project's Wine harness, with the
# loader, server and prefix of this architecture.
if(NOT PELMIX_NO_EMULATOR)
  get_filename_component(_pelmix_top "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
  set(CMAKE_CROSSCOMPILING_EMULATOR "${_pelmix_top}/scripts/wine-run.sh;${PELMIX_WIN_ARCH}")
endif()
