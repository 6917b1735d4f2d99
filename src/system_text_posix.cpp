#include "system_text.hpp"

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

AnswerInput& answer_input()
{
    static AnswerInput input(read_standard_input);
    return input;
}

std::string answer_text(std::string_view bytes)
{
    return std::string(bytes);
}

void write_message(std::FILE* stream, std::string_view line)
{
    // Nothing is left to tell the user if the message stream itself fails.
    (void)std::fwrite(line.data(), 1, line.size(), stream);
}
