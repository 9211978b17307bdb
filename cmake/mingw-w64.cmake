# Cross build for 64-bit Windows with MinGW-w64 (posix thread model), Qt-free parts only:
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DKOV_BUILD_UI=OFF
# scripts/cross-test-windows.sh builds GoogleTest the same way and runs everything under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KOV_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KOV_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KOV_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${KOV_MINGW_TRIPLE}-windres)

# Extra prefixes (such as a GoogleTest built for Windows) come through CMAKE_PREFIX_PATH.
set(CMAKE_FIND_ROOT_PATH /usr/${KOV_MINGW_TRIPLE} ${CMAKE_PREFIX_PATH})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# rand_s() is declared only when this is defined before the first C library header.
set(CMAKE_C_FLAGS_INIT "-D_CRT_RAND_S=")
set(CMAKE_CXX_FLAGS_INIT "-D_CRT_RAND_S=")

# Self-contained executables: no libstdc++, libgcc or winpthread DLLs to carry along.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

find_program(KOV_WINE wine)
if(KOV_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${KOV_WINE})
endif()
