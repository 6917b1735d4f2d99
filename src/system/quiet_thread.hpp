// A thread of the program's own that no signal is ever delivered to: the
// handlers run on the program's first thread, the one that changes what they
// undo (see signal_registry.hpp), and never beside it.
#pragma once

#include <functional>
#include <thread>

// Throws std::system_error where the system has no thread to spare.
std::thread start_quiet_thread(std::function<void()> work);
