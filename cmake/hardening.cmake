# The hardening that distributions build with (Debian's dpkg-buildflags), for
# every optimised build of the project's targets, and build paths kept out of
# what is built, so that the same source gives the same bytes in any folder.
# The sanitizer and fuzzing builds keep their own flags.
set(optimised $<CONFIG:Release,RelWithDebInfo,MinSizeRel>)
if(NOT GRISALTURAS_SANITIZE AND NOT GRISALTURAS_FUZZ)
  # Level 3 needs GCC 12 or clang 9, and both need optimisation.
  if((CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_GREATER_EQUAL 12) OR
     (CMAKE_CXX_COMPILER_ID MATCHES "Clang" AND CMAKE_CXX_COMPILER_VERSION VERSION_GREATER_EQUAL 9))
    set(fortify 3)
  else()
    set(fortify 2)
  endif()
  target_compile_options(grisalturas_options INTERFACE
    $<${optimised}:-U_FORTIFY_SOURCE -D_FORTIFY_SOURCE=${fortify} -fstack-protector-strong>)
  if(CMAKE_SYSTEM_PROCESSOR MATCHES "x86_64|AMD64")
    target_compile_options(grisalturas_options INTERFACE $<${optimised}:-fcf-protection>)
  elseif(CMAKE_SYSTEM_PROCESSOR STREQUAL "aarch64")
    target_compile_options(grisalturas_options INTERFACE $<${optimised}:-mbranch-protection=standard>)
  endif()
  if(WIN32)
    # Windows probes its stacks by itself; the image gets ASLR, 64-bit ASLR and
    # DEP, and no link-time stamp. MinGW's stack protector and fortified calls
    # are in a library that the flag links.
    target_link_options(grisalturas_options INTERFACE
      $<${optimised}:-fstack-protector-strong -Wl,--dynamicbase,--high-entropy-va,--nxcompat> -Wl,--no-insert-timestamp)
  elseif(NOT APPLE)
    # ELF's: macOS has neither option (Zig's clang and linker for Darwin ignore them).
    target_compile_options(grisalturas_options INTERFACE $<${optimised}:-fstack-clash-protection>)
    target_link_options(grisalturas_options INTERFACE $<${optimised}:-Wl,-z,relro,-z,now>)
  endif()
endif()
target_compile_options(grisalturas_options INTERFACE
  -ffile-prefix-map=${PROJECT_SOURCE_DIR}=. -ffile-prefix-map=${PROJECT_BINARY_DIR}=build)
