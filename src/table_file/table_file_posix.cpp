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
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <utility>

#include "system/descriptor.hpp"
#include "system/file_system.hpp"
#include "system/signal_cleanup.hpp"
#include "system/write_all.hpp"
#include "table_file/place_checks.hpp"
#include "table_file/replaced_table.hpp"
#include "table_file/table_file.hpp"
#include "table_file/table_lookup.hpp"
#include "table_file/temporary_file.hpp"
#include "text/printable.hpp"

namespace {

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
    if (auto done = check_place(label(), folder, folder_label, name, found->held.get(), platform->old); !done) {
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
        return Failure{failed + label(), "the table is in place but may not survive a power cut: " +
                                             std::string(std::strerror(error_number))};
    }
    return {};
}
