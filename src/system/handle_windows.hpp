// A Windows handle owned: closed when it goes. INVALID_HANDLE_VALUE is none.
#pragma once

#include <windows.h>

#include <utility>

// Held by the program's thread while a step may not be broken off: the
// handler of Ctrl-C, which runs on a thread of its own, takes it before it
// ends the process.
inline SRWLOCK uninterrupted = SRWLOCK_INIT;

class Handle {
public:
    Handle() = default;
    explicit Handle(HANDLE handle) : handle_(handle) {}
    Handle(Handle&& other) noexcept : handle_(std::exchange(other.handle_, INVALID_HANDLE_VALUE)) {}
    Handle& operator=(Handle&& other) noexcept
    {
        std::swap(handle_, other.handle_);  // what this held is closed with `other`
        return *this;
    }
    ~Handle() { (void)close(); }

    [[nodiscard]] HANDLE get() const { return handle_; }
    explicit operator bool() const { return handle_ != INVALID_HANDLE_VALUE; }

    // Closes it, if it is open. Returns 0, or the error of the close, for the
    // one close whose failure matters.
    DWORD close()
    {
        const HANDLE handle = std::exchange(handle_, INVALID_HANDLE_VALUE);
        return handle == INVALID_HANDLE_VALUE || ::CloseHandle(handle) != 0 ? ERROR_SUCCESS : ::GetLastError();
    }

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};
