#include "table_file/place_checks.hpp"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "system/file_system.hpp"

namespace {

std::string reason(int error_number)
{
    return std::strerror(error_number);
}

}  // namespace

Status check_place(const std::string& label, int folder, const std::string& folder_label, const char* name, int table,
                   const std::optional<OldTable>& old)
{
    const std::string create = "cannot create " + label;
    if (::faccessat(folder, ".", W_OK | X_OK, AT_EACCESS) != 0) {
        if (errno != EACCES && errno != EROFS) {
            return os_failure(create, errno);
        }
        return Failure{create, "the folder " + folder_label + " is not writable: " + reason(errno)};
    }
    FileFlags folder_flags;
    if (const int error_number = file_flags(folder, folder_flags)) {
        return os_failure(create, error_number);
    }
    if (folder_flags.immutable) {
        return Failure{create, "the folder " + folder_label + " is immutable"};
    }
    if (!old) {
        return {};
    }
    const std::string replace = "cannot replace " + label;
    if (folder_flags.append_only) {
        return Failure{replace, "the folder " + folder_label + " is append-only"};
    }
    FileFlags table_flags;
    if (const int error_number = file_flags(table, table_flags)) {
        return os_failure(replace, error_number);
    }
    if (table_flags.immutable || table_flags.append_only) {
        return Failure{replace, table_flags.immutable ? "the table is immutable" : "the table is append-only"};
    }
    struct stat folder_status {};
    if (::fstat(folder, &folder_status) != 0) {
        return os_failure(create, errno);
    }
    const uid_t user = ::geteuid();
    if ((folder_status.st_mode & S_ISVTX) != 0 && old->owner != user && folder_status.st_uid != user &&
        !may_override_sticky_folder()) {
        return Failure{replace, "the folder is sticky and the table belongs to another user"};
    }
    if (::faccessat(folder, name, W_OK, AT_EACCESS) != 0) {
        return os_failure(create, errno);
    }
    return {};
}

int past_largest_file(int fd, std::int64_t bytes)
{
    const auto size = static_cast<std::uint64_t>(bytes);
    rlimit limit{};
    if (::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY && size > limit.rlim_cur) {
        return EFBIG;
    }
    const std::uint64_t largest = largest_file_on_disk(fd);
    return largest != 0 && size > largest ? EFBIG : 0;
}

bool fits_free_space(int fd, std::int64_t bytes)
{
    struct statvfs disk {};
    if (::fstatvfs(fd, &disk) != 0 || disk.f_frsize == 0 || disk.f_blocks == 0) {
        return true;  // nothing to go by: the writes will tell
    }
    const std::uint64_t block = disk.f_frsize;
    const std::uint64_t blocks = (static_cast<std::uint64_t>(bytes) + block - 1) / block;
    const std::uint64_t spare = blocks / 64 + 64;
    return blocks <= disk.f_bavail && disk.f_bavail - blocks >= spare;
}
