#include "rows/decimal_column.hpp"

DecimalColumn::DecimalColumn(std::int64_t first, std::int64_t step)
    : step_(step),
      step_low_(decimal_digits::of(decimal_digits::magnitude(step) % decimal_digits::limit)),
      step_high_(decimal_digits::of(decimal_digits::magnitude(step) / decimal_digits::limit))
{
    load(first);
}

void DecimalColumn::load(std::int64_t value)
{
    using namespace decimal_digits;
    value_ = value;
    grows_ = (step_ < 0) == (value < 0);
    low_ = of(magnitude(value) % limit);
    high_ = of(magnitude(value) / limit);
    set_high_text();
    set_low_text();
}
