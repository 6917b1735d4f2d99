# Cross-compiles for Linux on another processor with Debian's
# g++-<processor>-linux-gnu; programs and tests run through qemu-user
# (Debian: qemu-user). The preset names the processor (aarch64, s390x).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR ${GRISALTURAS_TARGET_PROCESSOR})
# The projects that CMake builds to try the compiler read this file too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES GRISALTURAS_TARGET_PROCESSOR)
set(triplet ${GRISALTURAS_TARGET_PROCESSOR}-linux-gnu)
set(CMAKE_C_COMPILER ${triplet}-gcc)
set(CMAKE_CXX_COMPILER ${triplet}-g++)
set(CMAKE_FIND_ROOT_PATH /usr/${triplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-${GRISALTURAS_TARGET_PROCESSOR} -L /usr/${triplet})
