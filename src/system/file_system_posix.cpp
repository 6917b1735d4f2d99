// The table file's calls on a POSIX system with nothing beyond POSIX: no
// entries held but folders, no unnamed files, no reserved room, no flags or
// ACLs, no namespaces; what the disk cannot take is told by the writes.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "system/file_system.hpp"

int look_at(int folder, const char* name, Descriptor& held, struct stat& status)
{
    held = Descriptor();
    if (::fstatat(folder, name, &status, AT_SYMLINK_NOFOLLOW) != 0) {
        return errno;
    }
    if (!S_ISDIR(status.st_mode)) {
        return 0;
    }
    held = Descriptor(::openat(folder, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
#ifdef O_SEARCH
    if (!held && errno == EACCES) {
        held = Descriptor(::openat(folder, name, O_SEARCH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    }
#endif
    struct stat opened {};
    if (!held || ::fstat(held.get(), &opened) != 0) {
        return errno;
    }
    // The folder opened is the one looked at.
    return opened.st_dev == status.st_dev && opened.st_ino == status.st_ino ? 0 : EAGAIN;
}

bool is_mount_root(int)
{
    return false;
}

UnmappedIds unmapped_ids()
{
    return {};
}

std::uint64_t process_id_space()
{
    return 0;
}

int open_unnamed(int, mode_t, Descriptor& file)
{
    file = Descriptor();
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

int start_writeback(int, std::int64_t, std::int64_t)
{
    return 0;  // the final sync does it all
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

int sync_disk(int)
{
    ::sync();
    return 0;
}

int file_flags(int, FileFlags& flags)
{
    flags = {};
    return 0;
}

int access_acl(int, const char*, int, std::string& acl)
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
