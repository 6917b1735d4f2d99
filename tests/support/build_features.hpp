// What the program under test uses beyond POSIX: unnamed temporary files,
// reserved room, attribute flags and ACLs. A build with POSIX alone has
// none of them, and the tests that look for them look for what it does instead.
#pragma once

#ifdef GRISALTURAS_PORTABLE
inline constexpr bool beyond_posix = false;
#else
inline constexpr bool beyond_posix = true;
#endif
