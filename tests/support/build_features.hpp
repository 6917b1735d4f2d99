// What the program under test uses beyond POSIX: unnamed temporary files,
// reserved room, attribute flags and ACLs. A build with POSIX alone has
// none of them, and the tests that look for them look for what it does instead.
#pragma once

// Linked statically, against musl, a program has no loader of its own:
// nothing can be preloaded into it, and where the system cannot load it
// whole, the kernel ends it by SIGSEGV. Every glibc build here is dynamic.
#ifdef __GLIBC__
inline constexpr bool linked_statically = false;
#else
inline constexpr bool linked_statically = true;
#endif

#ifdef GRISALTURAS_PORTABLE
inline constexpr bool beyond_posix = false;
#else
inline constexpr bool beyond_posix = true;
#endif
