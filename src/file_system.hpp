// What the table file asks of the system beyond POSIX. Each call has a plain
// POSIX way where there is one, and otherwise answers ENOTSUP, and the table
// file does without it. The calls return 0, or the error number.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

// Opens the folder at `path` to act in it; sets `readable` where it could be
// opened for reading, and so listed and synced. A folder that may be entered
// but not read (a drop box) is held all the same where the system can.
int open_folder(const char* path, int& folder, bool& readable);

// An unnamed file in `folder`, made with `mode`, which no name shows and
// which goes with its last descriptor.
int open_unnamed(int folder, mode_t mode, int& fd);

// Gives the unnamed file `fd` the name `name` in `folder`; EEXIST where it is taken.
int name_unnamed(int fd, int folder, const char* name);

// Asks the disk of `fd` for the room of `bytes` bytes, so that a table that
// cannot fit is refused before it fills anything.
int reserve_room(int fd, std::int64_t bytes);

// The largest file the disk of `fd` holds, where the system knows one that
// a table could pass (4 GiB on FAT); 0 where none is known.
std::uint64_t largest_file_on_disk(int fd);

// Makes the bytes of `fd` durable, through the disk's own cache where the
// system would otherwise leave them there.
int sync_file(int fd);

// Makes the names in `folder` durable: `readable` as open_folder set it, and
// `file` a descriptor of a file on the same disk, or -1.
int sync_folder(int folder, bool readable, int file);

// The flags that forbid changing a file or folder, where the system has them.
struct FileFlags {
    bool immutable = false;
    bool append_only = false;
};

// The flags of `name` in `folder` ("." for the folder itself).
int file_flags(int folder, const char* name, FileFlags& flags);

// The access ACL of `name` in `folder` as the system stores it, copied whole
// as its tools copy it; empty where it has none.
int access_acl(int folder, const char* name, std::string& acl);

// Gives `fd` the access ACL `acl`, as access_acl read it.
int set_access_acl(int fd, const std::string& acl);

// Whether the process may replace another user's file in a sticky folder.
bool may_override_sticky_folder();
