// What a console user may ask on the command line before any question: how
// to use the program, or its version. Nothing else is read there; any other
// argument leaves the dialogue as it is without one.
#pragma once

#include <span>
#include <string>
#include <string_view>

// The text that the arguments ask for: the usage for --help or -h (and /? on
// Windows), "grisalturas <version>" for --version or -V, the first of them
// that comes; empty where none is asked, and the dialogue runs.
// `drive_root` stands for c: where the system has no drive letters.
std::string requested_text(std::span<const char* const> arguments, std::string_view version,
                           std::string_view drive_root);
