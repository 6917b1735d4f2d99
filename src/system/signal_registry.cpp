#include "system/signal_registry.hpp"

#include <atomic>

namespace {

std::atomic<int> pending_folder{-1};
std::atomic<const char*> pending_name{nullptr};

// Two copies of the erasing bytes, so that one is rewritten while a handler
// may read the other; far more room than the longest line needs.
struct Erasure {
    int terminal = -1;
    std::size_t size = 0;
    char bytes[192] = {};
};
Erasure erasures[2];
std::atomic<const Erasure*> published{nullptr};

static_assert(std::atomic<int>::is_always_lock_free && std::atomic<const char*>::is_always_lock_free &&
                  std::atomic<const Erasure*>::is_always_lock_free,
              "read from a signal handler");

}  // namespace

void remove_on_signal(int folder, const char* name)
{
    pending_name.store(nullptr);
    pending_folder.store(folder);
    pending_name.store(name);
}

void erase_on_signal(int terminal, std::string_view bytes)
{
    Erasure& next = erasures[published.load() == &erasures[0] ? 1 : 0];
    next.terminal = terminal;
    next.size = bytes.copy(next.bytes, sizeof next.bytes);
    published.store(&next);
}

FileToRemove file_to_remove()
{
    const char* name = pending_name.load();
    return {pending_folder.load(), name};
}

LineToErase line_to_erase()
{
    const Erasure* erasure = published.load();
    return erasure != nullptr ? LineToErase{erasure->terminal, erasure->bytes, erasure->size}
                              : LineToErase{-1, nullptr, 0};
}
