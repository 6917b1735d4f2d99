#include "text/user_text.hpp"

std::string answer_text(std::string_view bytes, UserText&)
{
    return std::string(bytes);
}

void write_message(std::FILE* stream, std::string_view line, const UserText&)
{
    // Nothing is left to tell the user if the message stream itself fails.
    (void)std::fwrite(line.data(), 1, line.size(), stream);
}
