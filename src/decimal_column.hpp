// A column of the table: an arithmetic progression kept as decimal digits.
//
// Going from one row to the next adds the step to the digits themselves, all
// eight of them at once in one 64-bit word, instead of converting every value
// from binary: the whole cost of a row is a few additions and masks. Values
// of more than eight digits, and changes of sign, take the slow way.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

static_assert(std::endian::native == std::endian::little, "digits are laid out for a little-endian machine");

namespace decimal_digits {

inline constexpr std::uint64_t limit = 100000000;  // what eight digits hold
inline constexpr std::uint64_t each_byte = 0x0101010101010101;
inline constexpr std::uint64_t ten_below_a_byte = 246 * each_byte;  // 256 - 10 in every byte

inline std::uint64_t magnitude(std::int64_t value)
{
    return value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
}

// Bytes all ones where the lowest bit of the byte in `flags` is set.
inline std::uint64_t byte_mask(std::uint64_t flags)
{
    return (flags & each_byte) * 0xFF;
}

// Decimal addition, byte by byte. Biased by 246, a byte carries into the next
// exactly when its digit sum reaches 10; the bytes that did not carry lose
// the bias again. No carry leaves the word: the sum is below 10^8.
inline std::uint64_t add(std::uint64_t a, std::uint64_t b)
{
    const std::uint64_t biased = a + ten_below_a_byte;
    const std::uint64_t sum = biased + b;
    const std::uint64_t carried = (sum ^ biased ^ b) >> 8;  // bit 0 of a byte: it carried into the next
    return sum - (~byte_mask(carried) & ten_below_a_byte);
}

// Decimal subtraction of b <= a, byte by byte: a byte that borrowed from the
// next holds 256 plus its difference, and taking 246 from it leaves the
// difference plus 10.
inline std::uint64_t subtract(std::uint64_t a, std::uint64_t b)
{
    const std::uint64_t difference = a - b;
    const std::uint64_t borrowed = (difference ^ a ^ b) >> 8;
    return difference - (byte_mask(borrowed) & ten_below_a_byte);
}

// The digits of a value below 10^8, one a byte, units in the lowest byte.
inline std::uint64_t of(std::uint64_t value)
{
    std::uint64_t digits = 0;
    for (unsigned byte = 0; value != 0; ++byte, value /= 10) {
        digits |= (value % 10) << (8 * byte);
    }
    return digits;
}

// How many digits there are, leading zeros aside; 0 has one.
inline std::size_t length(std::uint64_t digits)
{
    const auto bytes = static_cast<std::size_t>((std::bit_width(digits) + 7) / 8);
    return bytes == 0 ? 1 : bytes;
}

// The first `count` digits as text, most significant first, in the lowest byte.
inline std::uint64_t text(std::uint64_t digits, std::size_t count)
{
    return (__builtin_bswap64(digits) >> (8 * (8 - count))) + '0' * each_byte;
}

}  // namespace decimal_digits

class DecimalColumn {
public:
    // put() stores this many bytes whatever the value's length, which is
    // faster than an exact copy; the caller leaves that much room.
    static constexpr std::size_t copied = 1 + 8 + 8;

    DecimalColumn(std::int64_t first, std::int64_t step);

    // Writes the current value at `out` and returns the end of it.
    char* put(char* out) const
    {
        *out = '-';
        out += value_ < 0 ? 1 : 0;
        std::memcpy(out, &high_text_, sizeof high_text_);
        out += high_length_;
        std::memcpy(out, &low_text_, sizeof low_text_);
        return out + low_length_;
    }

    // Moves to the next value. Values and step stay below 10^16 in magnitude,
    // as a table's do: 32-bit values and steps of at most 1000 times 32 bits.
    void advance()
    {
        using namespace decimal_digits;
        const std::int64_t next = value_ + step_;
        const bool negative = value_ < 0;
        if (high_length_ != 0 || !step_fits_ || (next < 0) != negative || magnitude(next) >= limit) {
            show(next);
            return;
        }
        // Away from zero the magnitude grows by the step; toward zero it shrinks.
        const bool grows = (step_ < 0) == negative;
        digits_ = grows ? add(digits_, step_digits_) : subtract(digits_, step_digits_);
        value_ = next;
        low_length_ = length(digits_);
        low_text_ = text(digits_, low_length_);
    }

private:
    void show(std::int64_t value);

    std::int64_t value_ = 0;
    std::int64_t step_;
    std::uint64_t step_digits_ = 0;
    bool step_fits_;            // the step's magnitude is below 10^8 too
    std::uint64_t digits_ = 0;  // the last eight digits of the magnitude
    // The value as text: the digits above the last eight (none below 10^8), then the last eight.
    std::uint64_t high_text_ = 0;
    std::size_t high_length_ = 0;
    std::uint64_t low_text_ = 0;
    std::size_t low_length_ = 0;
};
