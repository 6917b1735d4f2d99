// What a replaced table keeps: its owner, group, mode and ACL.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <string>

struct OldTable {
    mode_t mode;
    uid_t owner;
    gid_t group;
    std::string acl;  // as the system stores it; empty where it has none
};

// What the table `name` in `folder` has, `status` being what was found of
// it and `held` the table held, or -1. Returns 0, or the error number of
// what could not be read.
int read_old_table(int folder, const char* name, int held, const struct stat& status, OldTable& old);

// Gives the new table `fd` what the old one had, where the process may and
// the file system keeps it: a table is never stopped for what cannot exist
// there. Returns 0, or the error number of any other failure.
int keep_old_table(int fd, const OldTable& old);
