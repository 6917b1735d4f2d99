// The table file's calls on Linux: entries held without being opened,
// unnamed files, reserved room, writeback begun early, attribute flags,
// ACLs, mounts, namespaces and the file system's own sync.
#include "system/file_system.hpp"

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

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <vector>

#ifndef STATX_ATTR_MOUNT_ROOT
#define STATX_ATTR_MOUNT_ROOT 0x00002000  // as Linux 5.8 defines it
#endif

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

// The path by which /proc reaches the file held as `fd`, with no right to
// read it; empty without /proc.
std::string proc_path(int fd)
{
    static const bool has_proc = ::access("/proc/self/fd", F_OK) == 0;
    return has_proc ? "/proc/self/fd/" + std::to_string(fd) : std::string();
}

// The numbers that the first line of the file `path` starts with, at most
// `count` of them; none where it cannot be read.
std::vector<unsigned long long> numbers_in(const char* path, std::size_t count)
{
    const Descriptor file(::open(path, O_RDONLY | O_CLOEXEC));
    char line[256];
    const ssize_t length = file ? ::read(file.get(), line, sizeof line) : -1;
    std::vector<unsigned long long> numbers;
    const char* next = line;
    const char* const end = line + (length > 0 ? length : 0);
    while (numbers.size() < count) {
        next = std::find_if(next, end, [](char c) { return c != ' ' && c != '\t'; });
        unsigned long long number = 0;
        const auto [after, error] = std::from_chars(next, end, number);
        if (error != std::errc()) {
            break;
        }
        numbers.push_back(number);
        next = after;
    }
    return numbers;
}

// The id that this process's user namespace shows for those it cannot map,
// as `map` and `overflow` tell it; -1 where the map is that of the machine,
// which maps every id to itself.
unsigned long long unmapped_id(const char* map, const char* overflow)
{
    const auto range = numbers_in(map, 3);
    if (range.empty() || range == std::vector<unsigned long long>{0, 0, 0xFFFFFFFFULL}) {
        return static_cast<unsigned long long>(-1);  // no namespaces here, or the machine's own
    }
    const auto id = numbers_in(overflow, 1);
    return id.empty() ? static_cast<unsigned long long>(-1) : id.front();
}

// Reads the access ACL of the file held as `held`, by its path in /proc,
// which needs no right to read the file, or else of `name` in `folder`
// opened to be read about. Returns 0, or the error number.
int read_acl(int folder, const char* name, int held, std::string& acl)
{
    acl.clear();
    const std::string path = held >= 0 ? proc_path(held) : std::string();
    const Descriptor opened(
        path.empty() ? ::openat(folder, name, O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY) : -1);
    if (path.empty() && !opened) {
        return errno;
    }
    const auto get = [&](char* buffer, std::size_t size) {
        return opened ? ::fgetxattr(opened.get(), acl_attribute, buffer, size)
                      : ::getxattr(path.c_str(), acl_attribute, buffer, size);
    };
    const ssize_t size = get(nullptr, 0);
    if (size < 0) {
        return errno;
    }
    acl.resize(static_cast<std::size_t>(size));
    const ssize_t got = get(acl.data(), acl.size());
    acl.resize(got < 0 ? 0 : static_cast<std::size_t>(got));
    return got >= 0 ? 0 : errno == ERANGE ? EAGAIN : errno;  // ERANGE: it grew while it was read
}

}  // namespace

int look_at(int folder, const char* name, Descriptor& held, struct stat& status)
{
    held = Descriptor(::openat(folder, name, O_PATH | O_NOFOLLOW | O_CLOEXEC));
    if (!held) {
        return errno;
    }
    return ::fstat(held.get(), &status) == 0 ? 0 : errno;
}

bool is_mount_root(int held)
{
    struct statx status {};
    if (::statx(held, "", AT_EMPTY_PATH | AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS, &status) != 0) {
        return false;
    }
    // Only a system that knows the attribute tells it: a device other than
    // the folder's is no proof, overlay file systems show those too.
    return (status.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) != 0 &&
           (status.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
}

UnmappedIds unmapped_ids()
{
    return {static_cast<uid_t>(unmapped_id("/proc/self/uid_map", "/proc/sys/kernel/overflowuid")),
            static_cast<gid_t>(unmapped_id("/proc/self/gid_map", "/proc/sys/kernel/overflowgid"))};
}

std::uint64_t process_id_space()
{
    struct stat space {};
    return ::stat("/proc/self/ns/pid", &space) == 0 ? static_cast<std::uint64_t>(space.st_ino) : 0;
}

int open_unnamed(int folder, mode_t mode, Descriptor& file)
{
    file = Descriptor(::openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode));
    if (file) {
        return 0;
    }
    // File systems without unnamed files refuse them in more than one way.
    return errno == EISDIR || errno == EINVAL ? ENOTSUP : unsupported_as_enotsup(errno);
}

int name_unnamed(int fd, int folder, const char* name)
{
    if (const std::string self = proc_path(fd); !self.empty()) {
        return ::linkat(AT_FDCWD, self.c_str(), folder, name, AT_SYMLINK_FOLLOW) == 0 ? 0 : errno;
    }
    // Without /proc, a privileged process can still name it from its descriptor.
    return ::linkat(fd, "", folder, name, AT_EMPTY_PATH) == 0 ? 0 : errno;
}

int reserve_room(int fd, std::int64_t bytes)
{
    // Plain fallocate never falls back to writing zeros over the whole size.
    // Some file systems give up a long reservation to a signal, and the stop
    // of Ctrl-Z is caught: the run goes on.
    int result = 0;
    do {
        result = ::fallocate(fd, 0, 0, bytes);
    } while (result != 0 && errno == EINTR);
    return result == 0 ? 0 : unsupported_as_enotsup(errno);
}

std::uint64_t largest_file_on_disk(int fd)
{
    // The system's own answer (fpathconf's file size bits) is 32 for most
    // disks it does not know, tmpfs and FUSE among them: only FAT is asked.
    constexpr std::uint64_t largest_on_fat = 0xFFFFFFFF;
    struct statfs disk {};
    return ::fstatfs(fd, &disk) == 0 && disk.f_type == MSDOS_SUPER_MAGIC ? largest_on_fat : 0;
}

int start_writeback(int fd, std::int64_t from, std::int64_t bytes)
{
    return ::sync_file_range(fd, from, bytes, SYNC_FILE_RANGE_WRITE) == 0 || unsupported_as_enotsup(errno) == ENOTSUP
               ? 0
               : errno;
}

int sync_file(int fd)
{
    return ::fsync(fd) == 0 ? 0 : errno;
}

int sync_disk(int file)
{
    if (file < 0) {
        ::sync();  // every disk, where no file of this one is open
        return 0;
    }
    return ::syncfs(file) == 0 ? 0 : errno;
}

int file_flags(int held, FileFlags& flags)
{
    flags = {};
    // Opened anew from what is held, as an entry held without being opened cannot be asked.
    const std::string path = proc_path(held);
    const Descriptor file(path.empty() ? -1 : ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!file) {
        return path.empty() || nothing_to_be_had(errno) ? 0 : errno;
    }
    int bits = 0;
    if (::ioctl(file.get(), FS_IOC_GETFLAGS, &bits) != 0) {
        return errno == ENOTTY || errno == EINVAL || nothing_to_be_had(errno) ? 0 : errno;
    }
    flags.immutable = (bits & FS_IMMUTABLE_FL) != 0;
    flags.append_only = (bits & FS_APPEND_FL) != 0;
    return 0;
}

int access_acl(int folder, const char* name, int held, std::string& acl)
{
    const int error_number = read_acl(folder, name, held, acl);
    if (error_number == 0 || nothing_to_be_had(error_number)) {
        return 0;
    }
    // Some disks answer for a file with a failure of their own where they
    // keep no ACLs at all (rclone's mounts say EIO): the folder, on the same
    // disk, tells which.
    std::string folders;
    const int folder_error = read_acl(folder, ".", folder, folders);
    return unsupported_as_enotsup(folder_error) == ENOTSUP ? 0 : error_number;
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
