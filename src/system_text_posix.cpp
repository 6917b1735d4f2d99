#include "system_text.hpp"

#include <iostream>

std::istream& answer_stream()
{
    return std::cin;
}

std::string answer_text(std::string_view bytes)
{
    return std::string(bytes);
}

void write_message(std::FILE* stream, const std::string& line)
{
    // Nothing is left to tell the user if the message stream itself fails.
    (void)std::fwrite(line.data(), 1, line.size(), stream);
}
