// What the table file asks of the system beyond POSIX. Each call has a plain
// POSIX way where there is one, and otherwise answers ENOTSUP, and the table
// file does without it. The calls return 0, or the error number.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <string>

#include "system/descriptor.hpp"

// Looks at `name` in `folder` without following it past a link: its status,
// and the entry held. A folder is always held, to go on from, even where it
// may be entered but not read (a drop box); any other entry, a link
// included, where the system can hold it without opening it, so that what
// is read of it later is of the same entry; elsewhere `held` is -1.
int look_at(int folder, const char* name, Descriptor& held, struct stat& status);

// Whether the file held as `held` is the root of a mount of its own, as a
// file bind-mounted over a name in its folder is; false where the system
// cannot tell.
bool is_mount_root(int held);

// The owner and group that this process's user namespace shows for ids it
// cannot map, which no file may be given; -1 for each where every id is
// mapped, as outside any namespace.
struct UnmappedIds {
    uid_t owner = static_cast<uid_t>(-1);
    gid_t group = static_cast<gid_t>(-1);
};
UnmappedIds unmapped_ids();

// What tells this process's space of process ids from the others on the
// machine (containers have their own); 0 where it cannot be known.
std::uint64_t process_id_space();

// An unnamed file in `folder`, made with `mode`, which no name shows and
// which goes with its last descriptor.
int open_unnamed(int folder, mode_t mode, Descriptor& file);

// Gives the unnamed file `fd` the name `name` in `folder`; EEXIST where it is taken.
int name_unnamed(int fd, int folder, const char* name);

// Asks the disk of `fd` for the room of `bytes` bytes, so that a table that
// cannot fit is refused before it fills anything.
int reserve_room(int fd, std::int64_t bytes);

// The largest file the disk of `fd` holds, where the system knows one that
// a table could pass (4 GiB on FAT); 0 where none is known.
std::uint64_t largest_file_on_disk(int fd);

// Starts writing the `bytes` bytes of `fd` from `from` to the disk, and does
// not wait: the final sync then has little left to do. Does nothing where
// the system cannot.
int start_writeback(int fd, std::int64_t from, std::int64_t bytes);

// Makes the bytes of `fd` durable, through the disk's own cache where the
// system would otherwise leave them there.
int sync_file(int fd);

// Makes everything on the disk of `file` durable, or on every disk where
// `file` is -1, as a folder that cannot be read, and so cannot be synced
// itself, needs.
int sync_disk(int file);

// The flags that forbid changing a file or folder, where the system has them.
struct FileFlags {
    bool immutable = false;
    bool append_only = false;
};

// The flags of the file or folder held as `held`; none known where it cannot
// be opened to be asked (no right to read it, no /proc).
int file_flags(int held, FileFlags& flags);

// The access ACL of `name` in `folder`, held as `held` where look_at could,
// as the system stores it, copied whole as its tools copy it; empty where it
// has none, or where its disk keeps none: a failure to read it that the
// folder, asked in turn, shows to be the disk's lack of ACLs.
int access_acl(int folder, const char* name, int held, std::string& acl);

// Gives `fd` the access ACL `acl`, as access_acl read it.
int set_access_acl(int fd, const std::string& acl);

// Whether the process may replace another user's file in a sticky folder.
bool may_override_sticky_folder();
