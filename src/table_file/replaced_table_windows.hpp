// What a replaced table keeps on Windows: its attributes, creation time,
// owner, group and DACL, read before any number is asked and given to the
// new table before it takes the old one's place.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

// A failure that means the disk keeps no such thing.
bool not_supported(DWORD error);

struct FreeLocal {
    void operator()(void* memory) const { ::LocalFree(memory); }
};

// What a replaced table keeps, read from it before any number is asked.
struct OldTable {
    DWORD attributes = 0;
    FILETIME created{};
    // Its owner, group and DACL point into `security`, which is empty where
    // the disk keeps none (FAT) or the process may not read it.
    std::unique_ptr<void, FreeLocal> security;
    PSID owner = nullptr;
    PSID group = nullptr;
    PACL dacl = nullptr;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
};

// The security of the table held as `table` into `old`: none where the
// handle may not read it. Returns 0, or the error of what could not be read.
DWORD read_old_security(HANDLE table, OldTable& old);

// Gives the new table `file` what the old one had, where the process may and
// the disk keeps it. Returns 0, or the error of any other failure.
DWORD keep_old_table(HANDLE file, const OldTable& old);
