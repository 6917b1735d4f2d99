// The table file's calls on a POSIX system with nothing beyond POSIX: no
// unnamed files, no reserved room, no flags or ACLs; what the disk cannot
// take is told by the writes.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "file_system.hpp"

int open_folder(const char* path, int& folder, bool& readable)
{
    folder = ::open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    readable = folder >= 0;
#ifdef O_SEARCH
    if (folder < 0 && errno == EACCES) {
        folder = ::open(path, O_SEARCH | O_DIRECTORY | O_CLOEXEC);
    }
#endif
    return folder >= 0 ? 0 : errno;
}

int open_unnamed(int, mode_t, int& fd)
{
    fd = -1;
    return ENOTSUP;
}

int name_unnamed(int, int, const char*)
{
    return ENOTSUP;
}

int reserve_room(int, std::int64_t)
{
    return ENOTSUP;  // posix_fallocate may write zeros over the whole size instead
}

std::uint64_t largest_file_on_disk(int)
{
    return 0;
}

int sync_file(int fd)
{
#ifdef F_FULLFSYNC
    // fsync leaves the bytes in the disk's own cache on some systems.
    if (::fcntl(fd, F_FULLFSYNC) == 0) {
        return 0;
    }
#endif
    return ::fsync(fd) == 0 ? 0 : errno;
}

int sync_folder(int folder, bool readable, int)
{
    if (readable) {
        return ::fsync(folder) == 0 || errno == EINVAL || errno == ENOTSUP ? 0 : errno;
    }
    ::sync();
    return 0;
}

int file_flags(int, const char*, FileFlags& flags)
{
    flags = {};
    return 0;
}

int access_acl(int, const char*, std::string& acl)
{
    acl.clear();
    return 0;
}

int set_access_acl(int, const std::string&)
{
    return 0;
}

bool may_override_sticky_folder()
{
    return ::geteuid() == 0;
}
