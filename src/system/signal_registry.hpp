// What a signal that ends or stops the run must undo, kept in one place
// where its handler can read it at any moment: the named temporary file to
// remove, and the bytes that erase the progress line. The program's one
// thread changes it; the handlers only read it.
#pragma once

#include <cstddef>
#include <string_view>

// The named file that a signal must remove, `name` in the folder held as
// `folder`, or none (-1, nullptr). Changed only while the signals are held,
// together with the file itself.
void remove_on_signal(int folder, const char* name);

// The bytes that erase the progress line, to be written to the terminal's
// descriptor `terminal`, or none (-1) where no line is shown.
void erase_on_signal(int terminal, std::string_view bytes);

struct FileToRemove {
    int folder;
    const char* name;  // none: nullptr
};

struct LineToErase {
    int terminal;  // none: -1
    const char* bytes;
    std::size_t size;
};

// What there is to undo now. Safe to call from a signal handler.
FileToRemove file_to_remove();
LineToErase line_to_erase();
