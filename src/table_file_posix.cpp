// The table file on a POSIX system. When the names are answered, the table is
// found, links followed as the system follows them, its folder is opened and
// held, and what can be known before a row is checked; every later step acts
// through that folder, so that what happens to the path meanwhile changes
// nothing. Then:
//
//   reserve  the table's exact size asked of the disk: its room, or its free space
//   write    the rows, synced by a thread of their own as they come
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

#include "background_sync.hpp"
#include "file_system.hpp"
#include "printable.hpp"
#include "replaced_table.hpp"
#include "signal_cleanup.hpp"
#include "table_file.hpp"
#include "temporary_file.hpp"
#include "write_all.hpp"

namespace {

std::string reason(int error_number)
{
    return std::strerror(error_number);
}

// Where a table is: its folder's path and its name there.
struct Location {
    std::string folder;
    std::string name;
    bool operator==(const Location&) const = default;
};

Location location_of(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return {".", path};
    }
    return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

// The file that the table's path leads to, and what was found of it there.
struct Found {
    Location place;
    std::optional<struct stat> status;  // none: nothing there yet
};

// Follows links at the end of `path`, so that the file they lead to is
// replaced and the links stay. Whether a link may be followed at all is the
// system's to say: it is asked first, by following them itself. Beyond its
// rules, root follows no link of another user's, which could lead it into a
// file that user may not write.
Outcome<Found> find_table(const std::string& path, const std::string& label)
{
    struct stat followed {};
    const bool there = ::stat(path.c_str(), &followed) == 0;
    if (!there && errno != ENOENT) {
        return os_failure("cannot create " + label, errno);
    }
    std::string current = path;
    constexpr int most_links = 40;
    for (int hop = 0; hop < most_links; ++hop) {
        struct stat status {};
        if (::lstat(current.c_str(), &status) != 0) {
            if (errno != ENOENT || there) {
                return os_failure("cannot create " + label, errno == ENOENT ? EAGAIN : errno);
            }
            return Found{location_of(current), std::nullopt};
        }
        if (!S_ISLNK(status.st_mode)) {
            if (!there) {
                return os_failure("cannot create " + label, EAGAIN);  // it came while it was looked up
            }
            return Found{location_of(current), status};
        }
        if (::geteuid() == 0 && status.st_uid != 0) {
            return Failure{"cannot create " + label, "it is a link of another user, which root does not follow"};
        }
        std::string target(static_cast<std::size_t>(status.st_size) + 1, '\0');
        const ssize_t length = ::readlink(current.c_str(), target.data(), target.size());
        if (length < 0 || static_cast<std::size_t>(length) == target.size()) {
            return os_failure("cannot create " + label, length < 0 ? errno : EAGAIN);  // EAGAIN: it grew
        }
        target.resize(static_cast<std::size_t>(length));
        if (!target.starts_with('/')) {
            target.insert(0, location_of(current).folder + "/");
        }
        current = std::move(target);
    }
    return os_failure("cannot create " + label, ELOOP);
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

// Refuses, before any number is asked, what the folder or the table will not
// let be done after the last row, in words that say what to change.
Status check_place(const std::string& label, int folder, const std::string& folder_label, const char* name,
                   const std::optional<OldTable>& old)
{
    const std::string create = "cannot create " + label;
    if (::faccessat(folder, ".", W_OK | X_OK, AT_EACCESS) != 0 && (errno == EACCES || errno == EROFS)) {
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

}  // namespace

struct TableFile::Platform {
    Platform() = default;
    Platform(const Platform&) = delete;
    Platform& operator=(const Platform&) = delete;
    ~Platform()
    {
        (void)syncing.finish();  // before its descriptor goes
        temporary.discard();     // while its folder is still held
        if (folder >= 0) {
            ::close(folder);
        }
    }

    int folder = -1;
    bool readable = false;  // the folder, as open_folder found it
    std::string name;       // the table's, in the folder
    std::optional<OldTable> old;
    TemporaryFile temporary;
    BackgroundSync syncing;  // of a large table, while it is written
};

void TableFile::Forget::operator()(Platform* platform) const
{
    delete platform;
}

Status TableFile::open(const TablePath& table)
{
    table_ = table;
    const auto found = find_table(table.path, label());
    if (!found) {
        return found.error();
    }
    const bool linked = !(found->place == location_of(table.path));
    auto platform = std::unique_ptr<Platform, Forget>(new Platform);
    if (const int error_number = open_folder(found->place.folder.c_str(), platform->folder, platform->readable)) {
        return error_number == ENOENT && !linked ? name_missing_folder(table)
                                                 : os_failure("cannot create " + label(), error_number);
    }
    platform->name = found->place.name;
    const char* name = platform->name.c_str();
    // The folder now held is the one the table was found in.
    struct stat status {};
    const bool there = ::fstatat(platform->folder, name, &status, AT_SYMLINK_NOFOLLOW) == 0;
    if (!there && errno != ENOENT) {
        return os_failure("cannot create " + label(), errno);
    }
    if (there != found->status.has_value() ||
        (there && (status.st_dev != found->status->st_dev || status.st_ino != found->status->st_ino))) {
        return os_failure("cannot create " + label(), EAGAIN);
    }
    if (there) {
        if (S_ISDIR(status.st_mode)) {
            return os_failure("cannot create " + label(), EISDIR);
        }
        if (!S_ISREG(status.st_mode)) {
            return Failure{"cannot create " + label(), "not a regular file"};
        }
        platform->old.emplace();
        if (const int error_number = read_old_table(platform->folder, name, status, *platform->old)) {
            return os_failure("cannot replace " + label(), error_number);
        }
    }
    // Past a link, the folder is the one the link leads to.
    const std::string folder_label = linked ? printable(found->place.folder) : table.folder().label;
    if (auto done = check_place(label(), platform->folder, folder_label, name, platform->old); !done) {
        return done;
    }

    install_cleanup_handlers();
    remove_left_temporaries(platform->folder);
    // Made with the table's mode, so that a new table gets what the folder's
    // default ACL or the umask give any new file.
    const mode_t mode = platform->old ? platform->old->mode & 0777 : 0666;
    if (const int error_number = platform->temporary.create(platform->folder, mode)) {
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
    if (const int error_number = platform.syncing.written(fd, written_)) {
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
    const int fd = platform.temporary.fd();
    if (platform.old) {
        if (const int error_number = keep_old_table(fd, *platform.old)) {
            return os_failure("cannot write " + label(), error_number);
        }
    }
    // The final sync starts at once, beside any the thread has under way:
    // the rows are on the disk once both have ended well.
    platform.syncing.stop();
    if (const int error_number = sync_file(fd)) {
        return os_failure("cannot write " + label(), error_number);
    }
    if (const int error_number = platform.syncing.finish()) {
        return os_failure("cannot write " + label(), error_number);
    }
    if (const int error_number = platform.temporary.put_in_place(platform.name.c_str())) {
        return os_failure((platform.old ? "cannot replace " : "cannot create ") + label(), error_number);
    }
    // The table is in place: what fails now cannot undo it, but is told.
    int error_number = sync_folder(platform.folder, platform.readable, platform.temporary.fd());
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
