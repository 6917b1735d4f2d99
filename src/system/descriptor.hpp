// A file descriptor owned: closed when it goes. -1 is none.
#pragma once

#include <utility>

class Descriptor {
public:
    Descriptor() = default;
    explicit Descriptor(int fd) : fd_(fd) {}
    Descriptor(Descriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Descriptor& operator=(Descriptor&& other) noexcept
    {
        if (this != &other) {
            (void)close();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() { (void)close(); }

    [[nodiscard]] int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }

    // Gives the descriptor up to a new owner, which closes it.
    [[nodiscard]] int release() { return std::exchange(fd_, -1); }

    // Closes it, if it is open. Returns 0, or the error number of the close,
    // for the one close whose failure matters.
    int close();

private:
    int fd_ = -1;
};
