// The temporary file goes through these states, and commit takes them in order:
//
//   open     an unnamed file (O_TMPFILE) in the table's folder, made with the
//            table's final mode; where the file system has none, a named one,
//            .grisalturas-<pid>-<n>, which the ending signals remove
//   reserve  the table's exact size asked of the disk: its room, or its free space
//   write    the rows, synced by a thread of their own as they come
//   commit   the size checked; an old table's owner, group, mode and ACL kept;
//            synced; then in place in one step: a new table's unnamed file
//            linked as the table, or a name beside the table (the unnamed file
//            linked to one) renamed over it; the folder synced, last
//
// Until it is in place, dropping the file (discard, or any failure) leaves
// nothing: an unnamed file goes with its descriptor, a named one is removed.
#include "table_file.hpp"

#include <fcntl.h>
#include <linux/capability.h>
#include <linux/fs.h>
#include <linux/magic.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <utility>

#include "background_sync.hpp"
#include "printable.hpp"
#include "signal_cleanup.hpp"

// The helpers that return an int return 0, or the error number.
namespace {

constexpr const char* acl_attribute = "system.posix_acl_access";

// What a replaced table keeps.
struct OldTable {
    mode_t mode;
    uid_t owner;
    gid_t group;
    std::string acl;  // the access ACL's extended attribute, as the system stores it; empty where it has none
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
// is replaced and the links stay.
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

// A copy of the ACL, copied whole as its attribute, as the field's tools
// copy it, with no library: empty where there is none or it cannot be read.
std::string access_acl(const std::string& path)
{
    const ssize_t size = ::getxattr(path.c_str(), acl_attribute, nullptr, 0);
    if (size <= 0) {
        return {};
    }
    std::string acl(static_cast<std::size_t>(size), '\0');
    const ssize_t got = ::getxattr(path.c_str(), acl_attribute, acl.data(), acl.size());
    acl.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return acl;
}

// The file's attribute flags (append-only, immutable...), or none where they cannot be read.
unsigned attribute_flags(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return 0;
    }
    int flags = 0;
    if (::ioctl(fd, FS_IOC_GETFLAGS, &flags) != 0) {
        flags = 0;
    }
    ::close(fd);
    return static_cast<unsigned>(flags);
}

// Whether the process may rename over another user's file in a sticky folder.
bool may_override_sticky_folder()
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct capabilities[_LINUX_CAPABILITY_U32S_3]{};
    if (::syscall(SYS_capget, &header, capabilities) != 0) {
        return false;
    }
    return (capabilities[CAP_FOWNER / 32].effective >> (CAP_FOWNER % 32) & 1U) != 0;
}

// Tries names .grisalturas-<pid>-<n> in `folder` until `make` does not find
// one taken, and keeps the last in `name`.
template <class Make>
int make_beside(const std::string& folder, std::string& name, Make make)
{
    constexpr unsigned attempts = 100;
    for (unsigned attempt = 0; attempt < attempts; ++attempt) {
        name = folder + "/.grisalturas-" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
        if (const int error_number = make(name); error_number != EEXIST) {
            return error_number;
        }
    }
    return EEXIST;
}

// Gives the unnamed file `fd` the name `path`.
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

// EFBIG where a file of `bytes` bytes is past the process's limit, or past
// what a FAT disk holds.
int past_largest_file(int fd, std::int64_t bytes)
{
    const auto size = static_cast<std::uint64_t>(bytes);
    rlimit limit{};
    if (::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY && size > limit.rlim_cur) {
        return EFBIG;
    }
    // The system's own answer (fpathconf's file size bits) is 32 for most
    // disks it does not know, tmpfs and FUSE among them: only FAT is asked.
    constexpr std::uint64_t largest_on_fat = 0xFFFFFFFF;
    struct statfs disk {};
    if (::fstatfs(fd, &disk) == 0 && disk.f_type == MSDOS_SUPER_MAGIC && size > largest_on_fat) {
        return EFBIG;
    }
    return 0;
}

// Whether `bytes` fit the space free to this user, with room to spare for
// the file system's own blocks, where the disk cannot reserve them.
bool fits_free_space(int fd, std::int64_t bytes)
{
    struct statvfs disk {};
    if (::fstatvfs(fd, &disk) != 0 || disk.f_frsize == 0) {
        return true;  // nothing to go by: the writes will tell
    }
    const std::uint64_t block = disk.f_frsize;
    const std::uint64_t blocks = (static_cast<std::uint64_t>(bytes) + block - 1) / block;
    const std::uint64_t spare = blocks / 64 + 64;
    return blocks <= disk.f_bavail && disk.f_bavail - blocks >= spare;
}

// Makes the new name in `folder` durable: through the folder, or where it
// cannot be opened (a folder that is writable but not readable), through the
// whole file system of the table `fd`.
int sync_folder(const std::string& folder, int fd)
{
    const int folder_fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder_fd < 0) {
        return errno == EACCES ? (::syncfs(fd) == 0 ? 0 : errno) : errno;
    }
    int error_number = ::fsync(folder_fd) == 0 ? 0 : errno;
    // Some file systems cannot sync a folder; the rename stands all the same.
    if (error_number == EINVAL || error_number == ENOTSUP) {
        error_number = 0;
    }
    if (::close(folder_fd) != 0 && error_number == 0) {
        error_number = errno;
    }
    return error_number;
}

std::string reason(int error_number)
{
    return std::strerror(error_number);
}

}  // namespace

struct TableFile::Platform {
    Platform() = default;
    Platform(const Platform&) = delete;
    Platform& operator=(const Platform&) = delete;
    ~Platform()
    {
        (void)syncing.finish();  // before its descriptor goes
        const SignalsHeld held;
        if (fd >= 0) {
            ::close(fd);
        }
        if (!temporary.empty()) {
            ::unlink(temporary.c_str());
            remove_on_signal(nullptr);
        }
    }

    int fd = -1;
    std::string temporary;  // the temporary file's name, while it has one
    std::string folder;
    std::optional<OldTable> old;
    BackgroundSync syncing;  // of a large table, while it is written
};

void TableFile::Forget::operator()(Platform* platform) const
{
    delete platform;
}

namespace {

// Refuses, before any number is asked, what the folder or the table will not
// let be done after the last row, in words that say what to change.
Status check_place(const std::string& label, const std::string& folder, const std::string& folder_label,
                   const std::string& target, const std::optional<OldTable>& old)
{
    struct stat folder_status {};
    if (::stat(folder.c_str(), &folder_status) != 0) {
        return {};  // the creation tells why, and names a missing folder
    }
    if (::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0 && errno == EACCES) {
        return Failure{"cannot create " + label, "the folder " + folder_label + " is not writable: " + reason(EACCES)};
    }
    const unsigned folder_flags = attribute_flags(folder);
    if ((folder_flags & FS_IMMUTABLE_FL) != 0) {
        return Failure{"cannot create " + label, "the folder " + folder_label + " is immutable"};
    }
    if (!old) {
        return {};
    }
    const std::string replace = "cannot replace " + label;
    if ((folder_flags & FS_APPEND_FL) != 0) {
        return Failure{replace, "the folder " + folder_label + " is append-only"};
    }
    const unsigned table_flags = attribute_flags(target);
    if ((table_flags & (FS_IMMUTABLE_FL | FS_APPEND_FL)) != 0) {
        return Failure{replace,
                       (table_flags & FS_IMMUTABLE_FL) != 0 ? "the table is immutable" : "the table is append-only"};
    }
    const uid_t user = ::geteuid();
    if ((folder_status.st_mode & S_ISVTX) != 0 && old->owner != user && folder_status.st_uid != user &&
        !may_override_sticky_folder()) {
        return Failure{replace, "the folder is sticky and the table belongs to another user"};
    }
    if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) {
        return os_failure("cannot create " + label, errno);
    }
    return {};
}

// A folder that is not there, named: the first of them from c:\images down.
Failure name_missing_folder(const TablePath& table)
{
    for (const Place& folder : table.folders()) {
        struct stat status {};
        if (::stat(folder.path.c_str(), &status) != 0 && errno == ENOENT) {
            return {"cannot create " + table.label, "the folder " + folder.label + " does not exist"};
        }
    }
    return os_failure("cannot create " + table.label, ENOENT);
}

// Gives the temporary file what the old table had, where the process may
// and the file system keeps it: a table is never stopped for an attribute
// that cannot exist there.
Status keep_attributes(int fd, const OldTable& old, const std::string& label)
{
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        return os_failure("cannot write " + label, errno);
    }
    if ((status.st_uid != old.owner || status.st_gid != old.group) && ::fchown(fd, old.owner, old.group) != 0) {
        (void)!::fchown(fd, static_cast<uid_t>(-1), old.group);  // a group of the user's own, at least
    }
    // A change of owner clears the set-user-ID and set-group-ID bits, so the mode comes after it.
    if (::fstat(fd, &status) == 0 && (status.st_mode & 07777) != old.mode && ::fchmod(fd, old.mode) != 0) {
        const bool no_modes = errno == ENOSYS || errno == EOPNOTSUPP;
        const bool owner_fixed = errno == EPERM && status.st_uid != ::geteuid();  // by the mount
        if (!no_modes && !owner_fixed) {
            return os_failure("cannot write " + label, errno);
        }
    }
    if (!old.acl.empty()) {
        (void)::fsetxattr(fd, acl_attribute, old.acl.data(), old.acl.size(), 0);
    }
    return {};
}

}  // namespace

Status TableFile::open(const TablePath& table)
{
    table_ = table;
    target_ = table.path;
    if (const int error_number = follow_links(target_)) {
        return os_failure("cannot create " + label(), error_number);
    }
    auto platform = std::unique_ptr<Platform, Forget>(new Platform);
    platform->folder = folder_of(target_);
    struct stat status {};
    if (::stat(target_.c_str(), &status) == 0) {
        if (S_ISDIR(status.st_mode)) {
            return os_failure("cannot create " + label(), EISDIR);
        }
        if (!S_ISREG(status.st_mode)) {
            return Failure{"cannot create " + label(), "not a regular file"};
        }
        platform->old = OldTable{status.st_mode & 07777, status.st_uid, status.st_gid, access_acl(target_)};
    } else if (errno != ENOENT) {
        return os_failure("cannot create " + label(), errno);
    }
    // Past a link, the folder is the one the link leads to.
    const bool linked = target_ != table.path;
    const std::string folder_label = linked ? printable(platform->folder) : table.folder().label;
    if (auto done = check_place(label(), platform->folder, folder_label, target_, platform->old); !done) {
        return done;
    }

    install_cleanup_handlers();
    // Made with the table's mode, so that a new table gets what the folder's
    // default ACL or the umask give any new file.
    const mode_t mode = platform->old ? platform->old->mode & 0777 : 0666;
    // Unnamed until it is complete, the file shows nowhere, and a run killed
    // at any point leaves nothing behind. Some file systems cannot make one.
    platform->fd = ::open(platform->folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
    int error_number = platform->fd < 0 ? errno : 0;
    if (error_number == EOPNOTSUPP || error_number == EISDIR || error_number == EINVAL) {
        const SignalsHeld held;
        error_number = make_beside(platform->folder, platform->temporary, [&](const std::string& name) {
            platform->fd = ::open(name.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, mode);
            return platform->fd >= 0 ? 0 : errno;
        });
        if (error_number == 0) {
            remove_on_signal(platform->temporary.c_str());
        } else {
            platform->temporary.clear();
        }
    }
    if (error_number == ENOENT && !linked) {
        return name_missing_folder(table);
    }
    if (error_number != 0) {
        return os_failure("cannot create " + label(), error_number);
    }
    platform_ = std::move(platform);
    return {};
}

Status TableFile::reserve(std::int64_t bytes)
{
    planned_ = bytes;
    const int fd = platform_->fd;
    if (bytes == 0) {
        return {};
    }
    if (const int error_number = past_largest_file(fd, bytes)) {
        return os_failure("cannot write " + label(), error_number);
    }
    // The disk is asked before the first row: a table that cannot fit fills
    // nothing. Plain fallocate never falls back to writing zeros over the whole size.
    if (::fallocate(fd, 0, 0, bytes) == 0) {
        return {};
    }
    if (errno != EOPNOTSUPP && errno != ENOSYS) {
        return os_failure("cannot write " + label(), errno);
    }
    if (!fits_free_space(fd, bytes)) {
        return os_failure("cannot write " + label(), ENOSPC);
    }
    return {};
}

Status TableFile::write(std::string_view bytes)
{
    Platform& platform = *platform_;
    if (const int error_number = write_all(platform.fd, bytes)) {
        return os_failure("cannot write " + label(), error_number);
    }
    written_ += static_cast<std::int64_t>(bytes.size());
    if (const int error_number = platform.syncing.written(platform.fd, written_)) {
        return os_failure("cannot write " + label(), error_number);
    }
    return {};
}

Status TableFile::commit()
{
    if (auto done = check_size(); !done) {
        return done;
    }
    Platform& platform = *platform_;
    if (platform.old) {
        if (auto done = keep_attributes(platform.fd, *platform.old, label()); !done) {
            return done;
        }
    }
    // The final sync starts at once, beside any the thread has under way:
    // the rows are on the disk once both have ended well.
    platform.syncing.stop();
    if (::fsync(platform.fd) != 0) {
        return os_failure("cannot write " + label(), errno);
    }
    if (const int error_number = platform.syncing.finish()) {
        return os_failure("cannot write " + label(), error_number);
    }
    {
        // A name beside the table is left behind only by a kill between its link and the rename.
        const SignalsHeld held;
        if (platform.temporary.empty()) {
            int error_number = link_unnamed(platform.fd, target_);
            if (error_number == EEXIST) {
                error_number = make_beside(platform.folder, platform.temporary,
                                           [&](const std::string& name) { return link_unnamed(platform.fd, name); });
                if (error_number != 0) {
                    platform.temporary.clear();
                    return os_failure("cannot replace " + label(), error_number);
                }
                remove_on_signal(platform.temporary.c_str());
            } else if (error_number != 0) {
                return os_failure("cannot create " + label(), error_number);
            }
        }
        if (!platform.temporary.empty()) {
            if (::rename(platform.temporary.c_str(), target_.c_str()) != 0) {
                return os_failure("cannot replace " + label(), errno);
            }
            remove_on_signal(nullptr);
            platform.temporary.clear();
        }
    }
    // The table is in place: what fails now cannot undo it, but is told.
    int error_number = sync_folder(platform.folder, platform.fd);
    const char* failed = "cannot sync the folder of ";
    const int fd = std::exchange(platform.fd, -1);
    if (::close(fd) != 0 && error_number == 0) {
        error_number = errno;
        failed = "cannot close ";
    }
    discard();
    if (error_number != 0) {
        return Failure{failed + label(),
                       "the table is in place but may not survive a power cut: " + reason(error_number)};
    }
    return {};
}
