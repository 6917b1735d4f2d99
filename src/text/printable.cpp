#include "text/printable.hpp"

namespace {

// The length of the UTF-8 character at the start of `text`, or 0 where its
// bytes are not one (overlong forms and surrogates included).
std::size_t utf8_length(std::string_view text)
{
    const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(text[at]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    unsigned char low = 0x80;  // the range of the second byte, which rules out the forms that are not allowed
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (text.size() < length || byte(1) < low || byte(1) > high) {
        return 0;
    }
    for (std::size_t at = 2; at < length; ++at) {
        if (byte(at) < 0x80 || byte(at) > 0xBF) {
            return 0;
        }
    }
    // The controls of U+0080 to U+009F, which some terminals obey.
    return lead == 0xC2 && byte(1) < 0xA0 ? 0 : length;
}

void append_escape(std::string& out, unsigned char c)
{
    constexpr std::string_view named = "\a\b\t\n\v\f\r";
    constexpr std::string_view names = "abtnvfr";
    constexpr std::string_view digits = "0123456789abcdef";
    out.push_back('\\');
    if (const auto at = named.find(static_cast<char>(c)); at != std::string_view::npos) {
        out.push_back(names[at]);
    } else if (c == 0) {
        out.push_back('0');
    } else if (c < 0x20 || c == 0x7F) {
        out.push_back(static_cast<char>('0' + (c >> 6)));
        out.push_back(static_cast<char>('0' + (c >> 3 & 7)));
        out.push_back(static_cast<char>('0' + (c & 7)));
    } else {
        out.push_back('x');
        out.push_back(digits[c >> 4]);
        out.push_back(digits[c & 0xF]);
    }
}

}  // namespace

std::string printable(std::string_view text, std::size_t longest)
{
    std::string out;
    for (std::size_t characters = 0; !text.empty(); ++characters) {
        if (characters == longest) {
            return out + "...";
        }
        const auto c = static_cast<unsigned char>(text.front());
        if (c >= 0x20 && c < 0x7F) {
            out.push_back(text.front());
            text.remove_prefix(1);
        } else if (const std::size_t length = c < 0x80 ? 0 : utf8_length(text); length != 0) {
            out.append(text.substr(0, length));
            text.remove_prefix(length);
        } else {
            append_escape(out, c);
            text.remove_prefix(1);
        }
    }
    return out;
}
