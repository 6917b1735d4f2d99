// A temporary file in a folder held open, which takes a name in that folder
// in one step once it is complete, and is removed on any other ending.
//
// It is unnamed where the system can make such a file, and shows nowhere
// until it is in place; elsewhere it has a name beside the table that nobody
// can guess, .grisalturas-<host>-<process ids>-<process>-<random> (the
// containers of a machine each number their processes their own way, and
// <process ids> tells which). The signals that end a run remove it, and a
// later run of the same user on the same machine removes it if the run that
// made it ended without doing so.
#pragma once

#include <sys/types.h>

#include <string>

#include "system/descriptor.hpp"

class TemporaryFile {
public:
    TemporaryFile() = default;
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile() { discard(); }

    // Makes the file in `folder`, with `mode`. Returns 0, or the error number.
    int create(int folder, mode_t mode);

    [[nodiscard]] int fd() const { return file_.get(); }

    // Puts the file in place of `name` in the folder, in one step. A named
    // file is closed, and its close checked, before its rename: a share that
    // cannot rename an open file, or that uploads it as it closes, tells so
    // before anything is in place. An unnamed one is left open, for close().
    // Returns 0, or the error number.
    int put_in_place(const char* name);

    // Closes the file, if it is still open. Returns 0, or the error number.
    int close() { return file_.close(); }

    // Closes the file and removes it, if it is not in place.
    void discard();

private:
    // Gives the file a name nobody can guess, with `make(name)` (0, or the
    // error number); called with the signals held.
    template <class Make>
    int make_named(Make make);

    // Renames the file from its own name over `name`; called with the signals held.
    int rename_over(const char* name);

    int folder_ = -1;
    Descriptor file_;
    std::string name_;  // while it has a name of its own
};

// Removes what runs of this user on this machine left in `folder` when they
// ended without removing their temporary file: a lost connection, a kill
// that no handler sees. Never another running one's, nor one of another
// machine sharing the folder. Best done before a run makes its own.
void remove_left_temporaries(int folder);
