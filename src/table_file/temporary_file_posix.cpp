// The states of a temporary file, in order:
//
//   created   open, unnamed; or under a name of its own, which the signals
//             that end a run remove
//   named     (replacing an older file) an unnamed file linked to a name of
//             its own, and renamed with no other call between
//   closed    a named file closed, its close checked, before its rename
//   in place  linked or renamed to the table's name: nothing is left to remove;
//             an unnamed file is closed, and its close checked, after
//
// Before it is in place, discard (or the destructor) removes it.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "system/descriptor.hpp"
#include "system/file_system.hpp"
#include "system/signal_cleanup.hpp"
#include "system/signal_registry.hpp"
#include "table_file/random_name.hpp"
#include "table_file/temporary_file.hpp"

namespace {

constexpr std::string_view prefix = ".grisalturas-";

// This machine's name, as far as it is safe in a file name: what tells runs
// on this machine from those on others that share the folder.
std::string machine_name()
{
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0) {
        return "unknown";
    }
    std::string safe;
    for (const char* c = name; *c != '\0' && safe.size() < 64; ++c) {
        const bool plain = (*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z') || (*c >= '0' && *c <= '9');
        safe.push_back(plain ? *c : '_');
    }
    return safe.empty() ? "unknown" : safe;
}

// The start of the names of the temporary files of this machine's processes
// that share this one's process ids: another container on the machine, even
// of the same name, numbers its processes its own way.
const std::string& own_prefix()
{
    // Asked of the system once: the cleaner and every name made need it.
    static const std::string own =
        std::string(prefix) + machine_name() + "-" + std::to_string(process_id_space()) + "-";
    return own;
}

std::string random_name(std::uint64_t bits)
{
    std::string name = own_prefix() + std::to_string(::getpid()) + "-";
    for (int shift = 60; shift >= 0; shift -= 4) {
        name.push_back("0123456789abcdef"[bits >> shift & 0xF]);
    }
    return name;
}

}  // namespace

template <class Make>
int TemporaryFile::make_named(Make make)
{
    const auto named = [&](std::uint64_t bits) {
        std::string name = random_name(bits);
        const int error_number = make(name.c_str());
        if (error_number == 0) {
            name_ = std::move(name);
            remove_on_signal(folder_, name_.c_str());
        }
        return error_number;
    };
    return make_with_random_name(named, EEXIST, EAGAIN);  // EAGAIN: no source of randomness
}

int TemporaryFile::create(int folder, mode_t mode)
{
    folder_ = folder;
    const int error_number = open_unnamed(folder, mode, file_);
    if (error_number != ENOTSUP) {
        return error_number;
    }
    // O_EXCL: a name that is taken, by a file or a link, is never opened.
    const SignalsHeld held;
    return make_named([&](const char* name) {
        file_ = Descriptor(::openat(folder, name, O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC | O_NOCTTY, mode));
        return file_ ? 0 : errno;
    });
}

int TemporaryFile::put_in_place(const char* name)
{
    if (name_.empty()) {
        const int error_number = name_unnamed(fd(), folder_, name);
        if (error_number != EEXIST) {
            return error_number;  // a new file, in place at once
        }
        // An older file is there: the unnamed file takes a name of its own
        // and is renamed over it at once, still open, so that nothing but a
        // kill between the two calls leaves that name.
        const SignalsHeld held;
        if (const int named = make_named([&](const char* own) { return name_unnamed(fd(), folder_, own); })) {
            return named;
        }
        return rename_over(name);
    }
    if (const int error_number = close()) {
        return error_number;
    }
    const SignalsHeld held;
    return rename_over(name);
}

int TemporaryFile::rename_over(const char* name)
{
    if (::renameat(folder_, name_.c_str(), folder_, name) != 0) {
        return errno;
    }
    remove_on_signal(-1, nullptr);
    name_.clear();
    return 0;
}

void TemporaryFile::discard()
{
    (void)close();
    if (!name_.empty()) {
        const SignalsHeld held;
        ::unlinkat(folder_, name_.c_str(), 0);
        remove_on_signal(-1, nullptr);
        name_.clear();
    }
}

void remove_left_temporaries(int folder)
{
    Descriptor listing(::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!listing) {
        return;  // a folder that cannot be read keeps what is in it
    }
    DIR* entries = ::fdopendir(listing.get());
    if (entries == nullptr) {
        return;
    }
    (void)listing.release();  // closed with the listing
    const std::string& own = own_prefix();
    while (const dirent* entry = ::readdir(entries)) {
        const std::string_view name = entry->d_name;
        if (!name.starts_with(own)) {
            continue;
        }
        // The process that made it: a running one keeps its file.
        pid_t pid = 0;
        const char* digits = name.data() + own.size();
        const auto [end, error] = std::from_chars(digits, name.data() + name.size(), pid);
        if (error != std::errc() || *end != '-' || pid <= 0 || pid == ::getpid() || ::kill(pid, 0) == 0 ||
            errno != ESRCH) {
            continue;
        }
        struct stat status {};
        if (::fstatat(folder, entry->d_name, &status, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(status.st_mode) &&
            status.st_uid == ::geteuid()) {
            // What cannot be removed stays; the run itself is not at stake.
            (void)::unlinkat(folder, entry->d_name, 0);
        }
    }
    ::closedir(entries);
}
