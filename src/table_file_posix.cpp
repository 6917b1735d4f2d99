// The table file on a POSIX system. When the names are answered, the table is
// found through held folders (see table_lookup.hpp), its folder is held, and
// what can be known before a row is checked; every later step acts through
// that folder, so that what happens to the path meanwhile changes nothing.
// Then:
//
//   reserve  the table's exact size asked of the disk: its room, or its free space
//   write    the rows, their writeback started every 4 MiB
//   commit   the size checked; an old table's owner, group, mode and ACL kept;
//            synced; in place in one step (see temporary_file.hpp); the folder synced
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <utility>

#include "descriptor.hpp"

#include "file_system.hpp"
#include "printable.hpp"
#include "replaced_table.hpp"
#include "signal_cleanup.hpp"
#include "table_file.hpp"
#include "table_lookup.hpp"
#include "temporary_file.hpp"
#include "write_all.hpp"

namespace {

std::string reason(int error_number)
{
    return std::strerror(error_number);
}

// Refuses, before any number is asked, what the folder or the table will not
// let be done after the last row, in words that say what to change.
Status check_place(const std::string& label, int folder, const std::string& folder_label, const char* name,
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
    if (const int error_number = file_flags(folder, ".", folder_flags)) {
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
    if (const int error_number = file_flags(folder, name, table_flags)) {
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

// EFBIG where a file of `bytes` bytes is past the process's limit, or past
// what the disk holds.
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

// Whether `bytes` fit the space free to this user, with room to spare for
// the file system's own blocks, where the disk cannot reserve them. A disk
// that tells no size (a share may report none at all) is not taken for a full one.
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

// Makes the names in `folder` durable, through the disk of `file` where the
// folder cannot be read. Returns 0, or the error number.
int sync_folder(int folder, bool readable, int file)
{
    if (!readable) {
        return sync_disk(file);
    }
    // Some file systems cannot sync a folder; the new name stands all the same.
    return ::fsync(folder) == 0 || errno == EINVAL || errno == ENOTSUP ? 0 : errno;
}

}  // namespace

struct TableFile::Platform {
    Platform() = default;
    Platform(const Platform&) = delete;
    Platform& operator=(const Platform&) = delete;
    ~Platform() { temporary.discard(); }  // while its folder is still held

    Descriptor folder;
    bool readable = false;  // the folder is open for reading: it can be listed and synced
    std::string name;       // the table's, in the folder
    std::optional<OldTable> old;
    TemporaryFile temporary;
    std::int64_t unsent = 0;  // where the bytes start whose writeback has not begun
};

void TableFile::Forget::operator()(Platform* platform) const
{
    delete platform;
}

Status TableFile::open(const TablePath& table)
{
    table_ = table;
    auto found = find_table(table);
    if (!found) {
        return found.error();
    }
    auto platform = std::unique_ptr<Platform, Forget>(new Platform);
    // Held for reading where it may be read; a drop box is held all the same.
    platform->folder = Descriptor(::openat(found->folder.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    platform->readable = static_cast<bool>(platform->folder);
    if (!platform->readable) {
        if (errno != EACCES) {
            return os_failure("cannot create " + label(), errno);
        }
        platform->folder = std::move(found->folder);
    }
    platform->name = found->name;
    const int folder = platform->folder.get();
    const char* name = platform->name.c_str();
    if (const auto& status = found->status) {
        if (S_ISDIR(status->st_mode)) {
            return os_failure("cannot create " + label(), EISDIR);
        }
        if (!S_ISREG(status->st_mode)) {
            return Failure{"cannot create " + label(), "not a regular file"};
        }
        // Nothing is renamed over a mount point, as a file mounted into a container is.
        if (found->held && is_mount_root(found->held.get())) {
            return Failure{"cannot replace " + label(), "the table is a mount point"};
        }
        platform->old.emplace();
        if (const int error_number = read_old_table(folder, name, found->held.get(), *status, *platform->old)) {
            return os_failure("cannot replace " + label(), error_number);
        }
    }
    // Past a link, the folder is the one the link leads to.
    const std::string folder_label =
        found->linked_folder.empty() ? table.folder().label : printable(found->linked_folder);
    if (auto done = check_place(label(), folder, folder_label, name, platform->old); !done) {
        return done;
    }

    install_cleanup_handlers();
    remove_left_temporaries(folder);
    // Made with the table's mode, so that a new table gets what the folder's
    // default ACL or the umask give any new file.
    const mode_t mode = platform->old ? platform->old->mode & 0777 : 0666;
    if (const int error_number = platform->temporary.create(folder, mode)) {
        return os_failure("cannot create " + label(), error_number);
    }
    platform_ = std::move(platform);
    return {};
}

Status TableFile::reserve(std::int64_t bytes)
{
    planned_ = bytes;
    const int fd = platform_->temporary.fd();
    if (bytes == 0) {
        return {};
    }
    if (const int error_number = past_largest_file(fd, bytes)) {
        return os_failure("cannot write " + label(), error_number);
    }
    // The disk is asked before the first row: a table that cannot fit fills nothing.
    if (const int error_number = reserve_room(fd, bytes); error_number != ENOTSUP) {
        return error_number == 0 ? Status{} : os_failure("cannot write " + label(), error_number);
    }
    if (!fits_free_space(fd, bytes)) {
        return os_failure("cannot write " + label(), ENOSPC);
    }
    return {};
}

Status TableFile::write(std::string_view bytes)
{
    Platform& platform = *platform_;
    const int fd = platform.temporary.fd();
    if (const int error_number = write_all(fd, bytes)) {
        return os_failure("cannot write " + label(), error_number);
    }
    written_ += static_cast<std::int64_t>(bytes.size());
    // The disk takes a large table as it comes, and the final sync has only its last rows.
    constexpr std::int64_t stretch = std::int64_t{4} << 20;
    if (written_ - platform.unsent >= stretch) {
        if (const int error_number = start_writeback(fd, platform.unsent, written_ - platform.unsent)) {
            return os_failure("cannot write " + label(), error_number);
        }
        platform.unsent = written_;
    }
    return {};
}

Status TableFile::commit()
{
    if (auto done = check_size(); !done) {
        return done;
    }
    Platform& platform = *platform_;
    const int fd = platform.temporary.fd();
    if (platform.old) {
        if (const int error_number = keep_old_table(fd, *platform.old)) {
            return os_failure("cannot write " + label(), error_number);
        }
    }
    if (const int error_number = sync_file(fd)) {
        return os_failure("cannot write " + label(), error_number);
    }
    if (const int error_number = platform.temporary.put_in_place(platform.name.c_str())) {
        return os_failure((platform.old ? "cannot replace " : "cannot create ") + label(), error_number);
    }
    // The table is in place: what fails now cannot undo it, but is told.
    int error_number = sync_folder(platform.folder.get(), platform.readable, platform.temporary.fd());
    const char* failed = "cannot sync the folder of ";
    if (const int closed = platform.temporary.close(); closed != 0 && error_number == 0) {
        error_number = closed;
        failed = "cannot close ";
    }
    discard();
    if (error_number != 0) {
        return Failure{failed + label(),
                       "the table is in place but may not survive a power cut: " + reason(error_number)};
    }
    return {};
}
