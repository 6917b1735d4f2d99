#include "system/quiet_thread.hpp"

#include <utility>

// Windows has no signals to keep away: Ctrl-C runs its handler on a thread
// of its own, whatever the others do.
std::thread start_quiet_thread(std::function<void()> work)
{
    return std::thread(std::move(work));
}
