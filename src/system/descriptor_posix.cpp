#include "system/descriptor.hpp"

#include <unistd.h>

#include <cerrno>

int Descriptor::close()
{
    const int fd = std::exchange(fd_, -1);
    return fd < 0 || ::close(fd) == 0 ? 0 : errno;
}
