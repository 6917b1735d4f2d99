# Cross-compiles for Linux on another processor with Debian's cross
# compiler for a triplet (g++-<triplet>: aarch64-linux-gnu,
# arm-linux-gnueabihf, i686-linux-gnu, s390x-linux-gnu); programs and tests
# run through the qemu-user emulator of that processor (qemu-aarch64,
# qemu-arm, qemu-i386, qemu-s390x). The preset names both.
set(CMAKE_SYSTEM_NAME Linux)
# The projects that CMake builds to try the compiler read this file too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES GRISALTURAS_TARGET_TRIPLET GRISALTURAS_TARGET_EMULATOR)
set(triplet ${GRISALTURAS_TARGET_TRIPLET})
string(REGEX REPLACE "-.*" "" CMAKE_SYSTEM_PROCESSOR "${triplet}")
set(CMAKE_C_COMPILER ${triplet}-gcc)
set(CMAKE_CXX_COMPILER ${triplet}-g++)
set(CMAKE_FIND_ROOT_PATH /usr/${triplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# The target's own libraries, also where the host has a library of the same
# name for a multiarch of its own (i386), which the loader would take first.
set(CMAKE_CROSSCOMPILING_EMULATOR
  ${GRISALTURAS_TARGET_EMULATOR} -L /usr/${triplet} -E LD_LIBRARY_PATH=/usr/${triplet}/lib)
