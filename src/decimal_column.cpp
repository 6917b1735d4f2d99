#include "decimal_column.hpp"

DecimalColumn::DecimalColumn(std::int64_t first, std::int64_t step)
    : step_(step), step_fits_(decimal_digits::magnitude(step) < decimal_digits::limit)
{
    if (step_fits_) {
        step_digits_ = decimal_digits::of(decimal_digits::magnitude(step));
    }
    show(first);
}

void DecimalColumn::show(std::int64_t value)
{
    using namespace decimal_digits;
    value_ = value;
    const std::uint64_t high = magnitude(value) / limit;
    digits_ = of(magnitude(value) % limit);
    if (high == 0) {
        high_length_ = 0;
        low_length_ = length(digits_);
    } else {
        const std::uint64_t high_digits = of(high);
        high_length_ = length(high_digits);
        high_text_ = text(high_digits, high_length_);
        low_length_ = 8;  // with its leading zeros
    }
    low_text_ = text(digits_, low_length_);
}
