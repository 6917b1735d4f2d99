// A column of the table: an arithmetic progression kept as decimal digits.
//
// Going from one row to the next adds the step to the digits themselves,
// eight at a time in a 64-bit word, with a carry from the low word into the
// high one, instead of converting every value from binary: the whole cost of
// a row is a few additions and masks at any width. Only a change of sign
// takes the slow way, at most once a column.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace decimal_digits {

inline constexpr std::uint64_t limit = 100000000;  // what the eight digits of a word hold
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

// Decimal addition, byte by byte, of digits a and b, where b's lowest byte
// may be 10 (a step's digit plus a carry). Biased by 246, a byte carries into
// the next exactly when its digit sum reaches 10; the bytes that did not
// carry lose the bias again. The top digit's carry leaves the word as 1 in `carry`.
inline std::uint64_t add(std::uint64_t a, std::uint64_t b, std::uint64_t& carry)
{
    const std::uint64_t biased = a + ten_below_a_byte;
    const std::uint64_t sum = biased + b;
    carry = sum < biased ? 1 : 0;
    const std::uint64_t carried = (sum ^ biased ^ b) >> 8 | carry << 56;  // bit 0 of a byte: it carried
    return sum - (~byte_mask(carried) & ten_below_a_byte);
}

// Decimal subtraction, byte by byte: a byte that borrowed from the next
// holds 256 plus its difference, and taking 246 from it leaves the
// difference plus 10. A borrow past the top digit comes out as 1 in `borrow`.
inline std::uint64_t subtract(std::uint64_t a, std::uint64_t b, std::uint64_t& borrow)
{
    const std::uint64_t difference = a - b;
    borrow = a < b ? 1 : 0;
    const std::uint64_t borrowed = (difference ^ a ^ b) >> 8 | borrow << 56;
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

// How many digits there are, leading zeros aside: none for 0.
inline std::size_t significant(std::uint64_t digits)
{
    return static_cast<std::size_t>((std::bit_width(digits) + 7) / 8);
}

// The lowest `count` digits, 1 to 8 of them, as text in memory order: most
// significant first, at the lowest address.
inline std::uint64_t text(std::uint64_t digits, std::size_t count)
{
    const auto unused = static_cast<unsigned>(8 * (8 - count));
    if constexpr (std::endian::native == std::endian::little) {
        return (__builtin_bswap64(digits) >> unused) + '0' * each_byte;
    } else {
        return (digits << unused) + '0' * each_byte;
    }
}

}  // namespace decimal_digits

class DecimalColumn {
public:
    // put() stores this many bytes whatever the value's length, which is
    // faster than an exact copy; the caller leaves that much room.
    static constexpr std::size_t copied = 1 + 8 + 8;

    // Values and step below 10^16 in magnitude, as a table's are: 32-bit
    // values, and steps of at most 1000 times 32 bits.
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

    // Moves to the next value.
    void advance()
    {
        using namespace decimal_digits;
        const std::int64_t next = value_ + step_;
        if ((next < 0) != (value_ < 0)) {
            load(next);
            return;
        }
        value_ = next;
        // Away from zero the magnitude grows by the step; toward zero it shrinks.
        std::uint64_t carry = 0;
        low_ = grows_ ? add(low_, step_low_, carry) : subtract(low_, step_low_, carry);
        // The digits above the last eight change only with a carry, or with a step that large.
        if ((carry | step_high_) != 0) {
            std::uint64_t none = 0;  // the magnitude stays below 10^16
            high_ = grows_ ? add(high_, step_high_ + carry, none) : subtract(high_, step_high_ + carry, none);
            set_high_text();
        }
        set_low_text();
    }

private:
    // Takes `value` as the current one, converted from binary.
    void load(std::int64_t value);

    void set_high_text()
    {
        high_length_ = decimal_digits::significant(high_);
        if (high_length_ != 0) {
            high_text_ = decimal_digits::text(high_, high_length_);
        }
    }

    void set_low_text()
    {
        using decimal_digits::significant;
        // Below the high digits, with its leading zeros; alone, at least the one digit of 0.
        low_length_ = high_length_ != 0 ? 8 : significant(low_) | static_cast<std::size_t>(low_ == 0);
        low_text_ = decimal_digits::text(low_, low_length_);
    }

    std::int64_t value_ = 0;
    std::int64_t step_;
    bool grows_ = true;  // the magnitude grows with the step, until the sign changes
    // The magnitudes' digits: the last eight, and the eight above them.
    std::uint64_t low_ = 0;
    std::uint64_t high_ = 0;
    std::uint64_t step_low_;
    std::uint64_t step_high_;
    // The value as text: the digits above the last eight (none below 10^8), then the last eight.
    std::uint64_t high_text_ = 0;
    std::size_t high_length_ = 0;
    std::uint64_t low_text_ = 0;
    std::size_t low_length_ = 0;
};
