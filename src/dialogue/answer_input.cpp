#include "dialogue/answer_input.hpp"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

constexpr std::string_view utf8_mark = "\xEF\xBB\xBF";
constexpr std::string_view utf16_little_endian_mark = "\xFF\xFE";
constexpr std::string_view utf16_big_endian_mark = "\xFE\xFF";
constexpr std::array marks = {utf8_mark, utf16_little_endian_mark, utf16_big_endian_mark};
constexpr char32_t replacement = 0xFFFD;

char* put_utf8(char32_t c, char* out)
{
    const auto byte = [](char32_t bits) { return static_cast<char>(static_cast<unsigned char>(bits)); };
    if (c < 0x80) {
        *out++ = byte(c);
    } else if (c < 0x800) {
        *out++ = byte(0xC0 | c >> 6);
        *out++ = byte(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *out++ = byte(0xE0 | c >> 12);
        *out++ = byte(0x80 | (c >> 6 & 0x3F));
        *out++ = byte(0x80 | (c & 0x3F));
    } else {
        *out++ = byte(0xF0 | c >> 18);
        *out++ = byte(0x80 | (c >> 12 & 0x3F));
        *out++ = byte(0x80 | (c >> 6 & 0x3F));
        *out++ = byte(0x80 | (c & 0x3F));
    }
    return out;
}

bool is_high_surrogate(char32_t unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool is_low_surrogate(char32_t unit)
{
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

}  // namespace

AnswerInput::AnswerInput(Read read, bool ends_at_ctrl_z) : read_(std::move(read)), ends_at_ctrl_z_(ends_at_ctrl_z)
{
    // Room for any reason the system gives, so that a failed read allocates nothing.
    error_.reserve(256);
}

AnswerInput::int_type AnswerInput::underflow()
{
    while (gptr() == egptr()) {
        if (ended_) {
            return traits_type::eof();
        }
        const bool more = read_more();
        if (encoding_ == Encoding::undecided) {
            // More is awaited only while what came may still be the start of
            // a mark: a short first answer typed at a terminal is taken at once.
            if (more && may_begin_a_mark()) {
                continue;
            }
            decide_encoding();
        }
        std::size_t size = decode(!more);
        if (ends_at_ctrl_z_) {
            if (const char* ctrl_z = std::find(text_.data(), text_.data() + size, '\x1a');
                ctrl_z != text_.data() + size) {
                size = static_cast<std::size_t>(ctrl_z - text_.data());
                ended_ = true;
            }
        }
        ended_ = ended_ || !more;
        setg(text_.data(), text_.data(), text_.data() + size);
    }
    return traits_type::to_int_type(*gptr());
}

bool AnswerInput::read_more()
{
    // What an earlier read left undecoded moves to the front.
    std::memmove(raw_.data(), raw_.data() + raw_start_, raw_size_ - raw_start_);
    raw_size_ -= raw_start_;
    raw_start_ = 0;
    const std::size_t got = read_(raw_.data() + raw_size_, raw_.size() - raw_size_, error_);
    raw_size_ += got;
    return got != 0;
}

bool AnswerInput::may_begin_a_mark() const
{
    const std::string_view start(raw_.data(), raw_size_);
    return std::any_of(marks.begin(), marks.end(),
                       [&](std::string_view mark) { return start.size() < mark.size() && mark.starts_with(start); });
}

void AnswerInput::decide_encoding()
{
    const std::string_view start(raw_.data(), raw_size_);
    encoding_ = Encoding::bytes;
    if (start.starts_with(utf8_mark)) {
        raw_start_ = utf8_mark.size();
    } else if (start.starts_with(utf16_little_endian_mark)) {
        encoding_ = Encoding::utf16_little_endian;
        raw_start_ = utf16_little_endian_mark.size();
    } else if (start.starts_with(utf16_big_endian_mark)) {
        encoding_ = Encoding::utf16_big_endian;
        raw_start_ = utf16_big_endian_mark.size();
    }
}

std::size_t AnswerInput::decode(bool at_end)
{
    if (encoding_ == Encoding::bytes) {
        const std::size_t size = raw_size_ - raw_start_;
        std::memcpy(text_.data(), raw_.data() + raw_start_, size);
        raw_start_ = raw_size_;
        return size;
    }
    const bool little_endian = encoding_ == Encoding::utf16_little_endian;
    const auto unit_at = [&](std::size_t at) {
        const auto first = static_cast<unsigned char>(raw_[at]);
        const auto second = static_cast<unsigned char>(raw_[at + 1]);
        return little_endian ? char32_t{first} | char32_t{second} << 8 : char32_t{first} << 8 | char32_t{second};
    };
    char* out = text_.data();
    std::size_t at = raw_start_;
    while (raw_size_ - at >= 2) {
        const char32_t unit = unit_at(at);
        if (is_high_surrogate(unit)) {
            if (raw_size_ - at < 4) {
                break;  // its other half comes with the next read
            }
            if (const char32_t low = unit_at(at + 2); is_low_surrogate(low)) {
                out = put_utf8(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00), out);
                at += 4;
                continue;
            }
        }
        out = put_utf8(is_high_surrogate(unit) || is_low_surrogate(unit) ? replacement : unit, out);
        at += 2;
    }
    // A lone byte or half a pair at the very end stands for a character that was cut.
    if (at_end && at != raw_size_) {
        out = put_utf8(replacement, out);
        at = raw_size_;
    }
    raw_start_ = at;
    return static_cast<std::size_t>(out - text_.data());
}
