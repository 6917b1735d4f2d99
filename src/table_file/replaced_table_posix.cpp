#include "table_file/replaced_table.hpp"

#include <unistd.h>

#include <cerrno>

#include "system/file_system.hpp"

namespace {

// What a failure to set an owner means where it is no fault: the process may
// not, the disk has none, or (EINVAL) the user namespace cannot give that id.
bool not_permitted_here(int error_number)
{
    return error_number == EPERM || error_number == EACCES || error_number == ENOTSUP || error_number == EOPNOTSUPP ||
           error_number == ENOSYS || error_number == EINVAL;
}

}  // namespace

int read_old_table(int folder, const char* name, int held, const struct stat& status, OldTable& old)
{
    old = {static_cast<mode_t>(status.st_mode & 07777), status.st_uid, status.st_gid, {}};
    return access_acl(folder, name, held, old.acl);
}

int keep_old_table(int fd, const OldTable& old)
{
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        return errno;
    }
    // An owner that this user namespace cannot map shows as its overflow id,
    // which no table is given: the table stays the user's, as where the
    // process may not set an owner.
    const UnmappedIds unmapped =
        status.st_uid != old.owner || status.st_gid != old.group ? unmapped_ids() : UnmappedIds{};
    const uid_t owner = old.owner == unmapped.owner ? status.st_uid : old.owner;
    const gid_t group = old.group == unmapped.group ? status.st_gid : old.group;
    if ((status.st_uid != owner || status.st_gid != group) && ::fchown(fd, owner, group) != 0) {
        if (!not_permitted_here(errno)) {
            return errno;
        }
        // A group of the user's own, at least.
        if (::fchown(fd, static_cast<uid_t>(-1), group) != 0 && !not_permitted_here(errno)) {
            return errno;
        }
    }
    // A change of owner clears the set-user-ID and set-group-ID bits, so the mode comes after it.
    if (::fstat(fd, &status) != 0) {
        return errno;
    }
    if ((status.st_mode & 07777) != old.mode && ::fchmod(fd, old.mode) != 0) {
        const bool no_modes = errno == ENOSYS || errno == EOPNOTSUPP;
        const bool owner_fixed = errno == EPERM && status.st_uid != ::geteuid();  // by the mount
        if (!no_modes && !owner_fixed) {
            return errno;
        }
    }
    return set_access_acl(fd, old.acl);
}
