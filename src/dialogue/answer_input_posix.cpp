#include "dialogue/answer_input.hpp"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

std::size_t read_standard_input(char* buffer, std::size_t size, std::string& error)
{
    for (;;) {
        const ssize_t got = ::read(STDIN_FILENO, buffer, size);
        if (got >= 0) {
            return static_cast<std::size_t>(got);
        }
        if (errno != EINTR) {
            error = std::strerror(errno);
            return 0;
        }
    }
}

}  // namespace

AnswerInput& answer_input(UserText&)
{
    static AnswerInput input(read_standard_input);
    return input;
}
