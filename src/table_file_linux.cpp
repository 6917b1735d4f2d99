#include "table_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <optional>

#include "background_sync.hpp"
#include "progress.hpp"

namespace {

// The temporary file that a signal handler must remove, if any.
std::atomic<const char*> pending_removal{nullptr};
static_assert(std::atomic<const char*>::is_always_lock_free, "read from a signal handler");

// Every signal that ends a process unless it is caught, but those that a
// fault of the program raises, which debuggers and sanitizers must see as
// they are. SIGPIPE is ignored from the start: a closed output is reported.
constexpr int ending_signals[] = {SIGHUP,  SIGINT,  SIGQUIT, SIGTERM, SIGALRM, SIGUSR1, SIGUSR2,  SIGVTALRM,
                                  SIGPROF, SIGXCPU, SIGPOLL, SIGPWR,  SIGSYS,  SIGABRT, SIGSTKFLT};

extern "C" void remove_temporary_and_die(int signal_number)
{
    erase_progress_line_now();
    if (const char* path = pending_removal.load()) {
        ::unlink(path);
    }
    struct sigaction default_action {};
    default_action.sa_handler = SIG_DFL;
    (void)::sigaction(signal_number, &default_action, nullptr);
    (void)::raise(signal_number);  // delivered, with its default effect, once this handler returns
}

sigset_t ending_signal_set()
{
    sigset_t set;
    sigemptyset(&set);
    for (int signal_number : ending_signals) {
        sigaddset(&set, signal_number);
    }
    // The real-time signals too; those below SIGRTMIN belong to the C library.
    for (int signal_number = SIGRTMIN; signal_number <= SIGRTMAX; ++signal_number) {
        sigaddset(&set, signal_number);
    }
    return set;
}

void install_signal_handlers()
{
    struct sigaction action {};
    action.sa_handler = remove_temporary_and_die;
    action.sa_mask = ending_signal_set();
    for (int signal_number = 1; signal_number < NSIG; ++signal_number) {
        struct sigaction previous {};
        // A signal ignored by whoever started the program stays ignored.
        if (sigismember(&action.sa_mask, signal_number) == 1 && ::sigaction(signal_number, nullptr, &previous) == 0 &&
            previous.sa_handler != SIG_IGN) {
            ::sigaction(signal_number, &action, nullptr);
        }
    }
    // A table past the file size limit fails its write with EFBIG, and is
    // reported, instead of killing the program.
    (void)::signal(SIGXFSZ, SIG_IGN);
}

// Holds the ending signals back while the temporary file and its record for
// the handler change together.
class SignalsHeld {
public:
    SignalsHeld()
    {
        const sigset_t set = ending_signal_set();
        ::pthread_sigmask(SIG_BLOCK, &set, &previous_);
    }
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;
    ~SignalsHeld() { ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }

private:
    sigset_t previous_{};
};

std::string folder_of(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Follows symbolic links at the end of `path`, so that the file they lead to
// is replaced and the links stay. Returns 0, or the error number.
int follow_links(std::string& path)
{
    constexpr int most_links = 40;
    for (int hop = 0; hop < most_links; ++hop) {
        struct stat status {};
        if (::lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) {
            return 0;  // not a link, or not there yet: either way, the path itself
        }
        std::string target(static_cast<std::size_t>(status.st_size) + 1, '\0');
        const ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
        if (length < 0) {
            return errno;
        }
        if (static_cast<std::size_t>(length) == target.size()) {
            return EAGAIN;  // the link grew while it was read
        }
        target.resize(static_cast<std::size_t>(length));
        if (!target.starts_with('/')) {
            target.insert(0, folder_of(path) + "/");
        }
        path = std::move(target);
    }
    return ELOOP;
}

unsigned default_create_mode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666U & ~static_cast<unsigned>(mask);
}

// Returns 0, or the error number.
int write_all(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno != EINTR) {
            return errno;
        }
        if (written > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(written));
        }
    }
    return 0;
}

// Makes a rename in `folder` durable. Returns 0, or the error number.
int sync_folder(const std::string& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return errno;
    }
    int error_number = ::fsync(fd) == 0 ? 0 : errno;
    // Some file systems cannot sync a folder; the rename stands all the same.
    if (error_number == EINVAL || error_number == ENOTSUP) {
        error_number = 0;
    }
    if (::close(fd) != 0 && error_number == 0) {
        error_number = errno;
    }
    return error_number;
}

// Gives the unnamed file `fd` the name `path`. Returns 0, or the error number.
int link_unnamed(int fd, const std::string& path)
{
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0) {
        return 0;
    }
    if (errno != ENOENT) {
        return errno;
    }
    // Without /proc, a privileged process can still name it from its descriptor.
    return ::linkat(fd, "", AT_FDCWD, path.c_str(), AT_EMPTY_PATH) == 0 ? 0 : errno;
}

// Gives the unnamed file `fd` a name of its own in `folder`, stored in `name`.
// Returns 0, or the error number.
int link_beside(int fd, const std::string& folder, std::string& name)
{
    constexpr unsigned attempts = 100;
    for (unsigned attempt = 0; attempt < attempts; ++attempt) {
        name = folder + "/.grisalturas-" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
        const int error_number = link_unnamed(fd, name);
        if (error_number != EEXIST) {
            if (error_number != 0) {
                name.clear();
            }
            return error_number;
        }
    }
    name.clear();
    return EEXIST;
}

Failure failed(const char* doing, const std::string& label, int error_number)
{
    return os_failure(std::string(doing) + " " + label, error_number);
}

// With the ending signals held.
Status rename_into_place(std::string& temporary, const std::string& target, const std::string& label)
{
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        return failed("cannot replace", label, errno);
    }
    pending_removal.store(nullptr);
    temporary.clear();
    return std::nullopt;
}

// A new table takes its name at once. An existing one is replaced in one step
// by a name beside it, which the instant between the two calls alone can leave behind.
Status link_into_place(int fd, std::string& temporary, const std::string& target, const std::string& label)
{
    const SignalsHeld held;
    const int error_number = link_unnamed(fd, target);
    if (error_number == 0) {
        return std::nullopt;
    }
    if (error_number != EEXIST) {
        return failed("cannot create", label, error_number);
    }
    if (const int link_error = link_beside(fd, folder_of(target), temporary)) {
        return failed("cannot replace", label, link_error);
    }
    pending_removal.store(temporary.c_str());
    return rename_into_place(temporary, target, label);
}

}  // namespace

struct TableFile::System {
    std::string temporary;   // the temporary file's name, while it has one
    unsigned mode = 0;       // permission bits the table keeps or gets
    BackgroundSync syncing;  // of a large table, while it is written
};

TableFile::TableFile() : system_(std::make_unique<System>()) {}

TableFile::~TableFile()
{
    discard();
}

Status TableFile::open(std::string label, const std::string& path)
{
    label_ = std::move(label);
    target_ = path;
    if (const int error_number = follow_links(target_)) {
        return failed("cannot create", label_, error_number);
    }

    struct stat status {};
    if (::stat(target_.c_str(), &status) == 0) {
        if (S_ISDIR(status.st_mode)) {
            return failed("cannot create", label_, EISDIR);
        }
        if (!S_ISREG(status.st_mode)) {
            return Failure{"cannot create " + label_, "not a regular file"};
        }
        if (::faccessat(AT_FDCWD, target_.c_str(), W_OK, AT_EACCESS) != 0) {
            return failed("cannot create", label_, errno);
        }
        system_->mode = status.st_mode & 07777U;
    } else if (errno == ENOENT) {
        system_->mode = default_create_mode();
    } else {
        return failed("cannot create", label_, errno);
    }

    install_signal_handlers();
    // Unnamed until it is complete, the file shows nowhere, and a run killed
    // at any point leaves nothing behind. Some file systems cannot make one.
    if (const int fd = ::open(folder_of(target_).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600); fd >= 0) {
        handle_ = fd;
        return std::nullopt;
    }
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
        return failed("cannot create", label_, errno);
    }
    system_->temporary = folder_of(target_) + "/.grisalturas-XXXXXX";
    const SignalsHeld held;
    const int fd = ::mkostemp(system_->temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        const int error_number = errno;
        system_->temporary.clear();
        return failed("cannot create", label_, error_number);
    }
    handle_ = fd;
    pending_removal.store(system_->temporary.c_str());
    return std::nullopt;
}

Status TableFile::reserve(std::int64_t bytes)
{
    planned_ = bytes;
    // The disk is asked before the first row: a table that cannot fit fills
    // nothing. Plain fallocate never falls back to writing zeros over the whole size.
    if (bytes > 0 && ::fallocate(static_cast<int>(handle_), 0, 0, bytes) != 0 && errno != EOPNOTSUPP &&
        errno != ENOSYS) {
        return failed("cannot write", label_, errno);
    }
    return std::nullopt;
}

Status TableFile::write(std::string_view bytes)
{
    const int fd = static_cast<int>(handle_);
    if (const int error_number = write_all(fd, bytes)) {
        return failed("cannot write", label_, error_number);
    }
    written_ += static_cast<std::int64_t>(bytes.size());
    if (const int error_number = system_->syncing.written(fd, written_)) {
        return failed("cannot write", label_, error_number);
    }
    return std::nullopt;
}

Status TableFile::commit()
{
    if (auto failure = check_size()) {
        return failure;
    }
    const int fd = static_cast<int>(handle_);
    // The final sync starts at once, beside any the thread has under way:
    // the rows are on the disk once both have ended well.
    system_->syncing.stop();
    if (::fchmod(fd, static_cast<mode_t>(system_->mode)) != 0 || ::fsync(fd) != 0) {
        return failed("cannot write", label_, errno);
    }
    if (const int error_number = system_->syncing.finish()) {
        return failed("cannot write", label_, error_number);
    }
    // An unnamed file needs its descriptor to be named; a named one is closed first.
    if (system_->temporary.empty()) {
        if (auto failure = link_into_place(fd, system_->temporary, target_, label_)) {
            return failure;
        }
    }
    handle_ = -1;
    if (::close(fd) != 0) {
        return failed("cannot write", label_, errno);
    }
    if (!system_->temporary.empty()) {
        const SignalsHeld held;
        if (auto failure = rename_into_place(system_->temporary, target_, label_)) {
            return failure;
        }
    }
    if (const int error_number = sync_folder(folder_of(target_))) {
        return failed("cannot sync the folder of", label_, error_number);
    }
    return std::nullopt;
}

void TableFile::discard()
{
    (void)system_->syncing.finish();  // before its descriptor goes
    const SignalsHeld held;
    if (handle_ >= 0) {
        ::close(static_cast<int>(handle_));
        handle_ = -1;
    }
    if (!system_->temporary.empty()) {
        ::unlink(system_->temporary.c_str());
        pending_removal.store(nullptr);
        system_->temporary.clear();
    }
}
