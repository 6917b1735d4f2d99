// The table file's calls on Linux: unnamed files, reserved room, writeback
// begun early, attribute flags, ACLs and the file system's own sync.
#include "file_system.hpp"

#include <fcntl.h>
#include <linux/capability.h>
#include <linux/fs.h>
#include <linux/magic.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>

namespace {

constexpr const char* acl_attribute = "system.posix_acl_access";

// What a call failing with `error_number` says of a feature: not supported here.
int unsupported_as_enotsup(int error_number)
{
    return error_number == EOPNOTSUPP || error_number == ENOSYS ? ENOTSUP : error_number;
}

// Whether a failure to read or set an attribute means only that there is
// none to be had here, or that the process may not: the file is written all the same.
bool nothing_to_be_had(int error_number)
{
    return error_number == ENOTSUP || error_number == EOPNOTSUPP || error_number == ENOSYS || error_number == EPERM ||
           error_number == EACCES || error_number == ENODATA;
}

// The file `name` in `folder`, opened to be read about and never followed
// past a link; -1 with errno where it cannot be.
int open_to_inspect(int folder, const char* name)
{
    return ::openat(folder, name, O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY);
}

}  // namespace

int open_folder(const char* path, int& folder, bool& readable)
{
    folder = ::open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    readable = folder >= 0;
    if (folder < 0 && errno == EACCES) {
        folder = ::open(path, O_PATH | O_DIRECTORY | O_CLOEXEC);
    }
    return folder >= 0 ? 0 : errno;
}

int open_unnamed(int folder, mode_t mode, int& fd)
{
    fd = ::openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
    if (fd >= 0) {
        return 0;
    }
    // File systems without unnamed files refuse them in more than one way.
    return errno == EISDIR || errno == EINVAL ? ENOTSUP : unsupported_as_enotsup(errno);
}

int name_unnamed(int fd, int folder, const char* name)
{
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    if (::linkat(AT_FDCWD, self.c_str(), folder, name, AT_SYMLINK_FOLLOW) == 0) {
        return 0;
    }
    if (errno != ENOENT || ::access("/proc/self/fd", F_OK) == 0) {
        return errno;
    }
    // Without /proc, a privileged process can still name it from its descriptor.
    return ::linkat(fd, "", folder, name, AT_EMPTY_PATH) == 0 ? 0 : errno;
}

int reserve_room(int fd, std::int64_t bytes)
{
    // Plain fallocate never falls back to writing zeros over the whole size.
    return ::fallocate(fd, 0, 0, bytes) == 0 ? 0 : unsupported_as_enotsup(errno);
}

std::uint64_t largest_file_on_disk(int fd)
{
    // The system's own answer (fpathconf's file size bits) is 32 for most
    // disks it does not know, tmpfs and FUSE among them: only FAT is asked.
    constexpr std::uint64_t largest_on_fat = 0xFFFFFFFF;
    struct statfs disk {};
    return ::fstatfs(fd, &disk) == 0 && disk.f_type == MSDOS_SUPER_MAGIC ? largest_on_fat : 0;
}

int sync_file(int fd)
{
    return ::fsync(fd) == 0 ? 0 : errno;
}

int sync_folder(int folder, bool readable, int file)
{
    if (readable) {
        // Some file systems cannot sync a folder; the new name stands all the same.
        return ::fsync(folder) == 0 || errno == EINVAL || errno == ENOTSUP ? 0 : errno;
    }
    // A folder that cannot be read cannot be synced itself: its whole file system is.
    if (file >= 0) {
        return ::syncfs(file) == 0 ? 0 : errno;
    }
    ::sync();
    return 0;
}

int file_flags(int folder, const char* name, FileFlags& flags)
{
    flags = {};
    const int fd = open_to_inspect(folder, name);
    if (fd < 0) {
        return nothing_to_be_had(errno) || errno == ELOOP ? 0 : errno;
    }
    int bits = 0;
    int error_number = 0;
    if (::ioctl(fd, FS_IOC_GETFLAGS, &bits) != 0) {
        error_number = errno == ENOTTY || errno == EINVAL || nothing_to_be_had(errno) ? 0 : errno;
        bits = 0;
    }
    ::close(fd);
    flags.immutable = (bits & FS_IMMUTABLE_FL) != 0;
    flags.append_only = (bits & FS_APPEND_FL) != 0;
    return error_number;
}

int access_acl(int folder, const char* name, std::string& acl)
{
    acl.clear();
    // By the path through the held folder, which needs no right to read the
    // file itself; without /proc, through the file opened to be read about.
    const std::string path = "/proc/self/fd/" + std::to_string(folder) + "/" + name;
    int fd = -1;
    if (::access("/proc/self/fd", F_OK) != 0 && (fd = open_to_inspect(folder, name)) < 0) {
        return nothing_to_be_had(errno) ? 0 : errno;
    }
    const auto get = [&](char* buffer, std::size_t size) {
        return fd >= 0 ? ::fgetxattr(fd, acl_attribute, buffer, size)
                       : ::lgetxattr(path.c_str(), acl_attribute, buffer, size);
    };
    int error_number = 0;
    if (const ssize_t size = get(nullptr, 0); size < 0) {
        error_number = nothing_to_be_had(errno) ? 0 : errno;
    } else {
        acl.resize(static_cast<std::size_t>(size));
        const ssize_t got = get(acl.data(), acl.size());
        // ERANGE: it grew while it was read.
        error_number = got < 0 ? (errno == ERANGE ? EAGAIN : errno) : 0;
        acl.resize(got < 0 ? 0 : static_cast<std::size_t>(got));
    }
    if (fd >= 0) {
        ::close(fd);
    }
    return error_number;
}

int set_access_acl(int fd, const std::string& acl)
{
    if (acl.empty() || ::fsetxattr(fd, acl_attribute, acl.data(), acl.size(), 0) == 0) {
        return 0;
    }
    return nothing_to_be_had(errno) ? 0 : errno;
}

bool may_override_sticky_folder()
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct capabilities[_LINUX_CAPABILITY_U32S_3]{};
    if (::syscall(SYS_capget, &header, capabilities) != 0) {
        return false;
    }
    return (capabilities[CAP_FOWNER / 32].effective >> (CAP_FOWNER % 32) & 1U) != 0;
}
