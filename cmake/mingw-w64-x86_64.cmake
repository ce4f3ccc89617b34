# CMake toolchain file: cross-compile a 64-bit Windows build with MinGW-w64 from Linux.
#
#   cmake -S . -B build-win -G Ninja \
#         -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DVORN_TESTS=OFF
#
# The unit tests need a GoogleTest built for this target, which distributions
# rarely ship; hence -DVORN_TESTS=OFF above unless one is installed under the
# MinGW root.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VORN_MINGW_TRIPLE x86_64-w64-mingw32)

# Debian-style installs offer two thread models side by side. The "posix" one
# gives the full C++ thread library (std::thread, std::mutex) with GCC before
# 13; with the static link below its winpthread runtime ends up inside the
# executable, so nothing extra has to ship. Plain names are the fallback.
find_program(VORN_MINGW_CXX NAMES
  ${VORN_MINGW_TRIPLE}-g++-posix ${VORN_MINGW_TRIPLE}-g++ ${VORN_MINGW_TRIPLE}-g++-win32 REQUIRED)
find_program(VORN_MINGW_CC NAMES
  ${VORN_MINGW_TRIPLE}-gcc-posix ${VORN_MINGW_TRIPLE}-gcc ${VORN_MINGW_TRIPLE}-gcc-win32 REQUIRED)
find_program(VORN_MINGW_RC NAMES ${VORN_MINGW_TRIPLE}-windres)

set(CMAKE_CXX_COMPILER ${VORN_MINGW_CXX})
set(CMAKE_C_COMPILER ${VORN_MINGW_CC})
if(VORN_MINGW_RC)
  set(CMAKE_RC_COMPILER ${VORN_MINGW_RC})
endif()

# Look for libraries and headers only in the target's root, for programs
# (code generators and the like) only on the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${VORN_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One self-contained .exe: no libstdc++-6.dll, libgcc_s_seh-1.dll or
# libwinpthread-1.dll needed beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
