#include "rows/row_plan.hpp"

#include <limits>
#include <string>

namespace {

bool fits_32_bits(std::int64_t value)
{
    return value >= std::numeric_limits<std::int32_t>::min() && value <= std::numeric_limits<std::int32_t>::max();
}

const Unit& unit_of(std::int32_t scale)
{
    return units[scale < 0 ? 0 : scale];
}

Failure overflow(const char* quantity, std::int64_t row, std::int64_t value, const std::string& unit)
{
    return {"cannot write the table", "the " + std::string(quantity) + " of row " + std::to_string(row) + " (" +
                                          std::to_string(value) + unit + ") does not fit a 32-bit integer"};
}

}  // namespace

std::int64_t row_count(std::int32_t min_alt, std::int32_t max_alt, std::int32_t alt_step)
{
    // In 64 bits neither the difference nor its quotient can overflow, even
    // for the most negative difference divided by -1.
    const std::int64_t rows = (std::int64_t{max_alt} - min_alt) / alt_step + 1;
    return rows < 1 ? 0 : rows;
}

std::int32_t unit_factor(std::int32_t scale)
{
    return unit_of(scale).factor;
}

Outcome<RowPlan> plan_rows(const TableParameters& p)
{
    const std::int64_t factor = unit_factor(p.scale);
    const RowPlan plan{row_count(p.min_alt, p.max_alt, p.alt_step), p.first_tone, p.tone_step, factor * p.min_alt,
                       factor * p.alt_step};
    if (plan.rows == 0) {
        return plan;
    }
    // Both columns are arithmetic progressions: when the first and the last
    // row fit, every row between them does. With at most 2^32 rows, steps of
    // at most 2^31 and a factor of at most 1000, none of this overflows 64 bits.
    const std::int64_t last = plan.rows - 1;
    for (std::int64_t k : {std::int64_t{0}, last}) {
        const std::int64_t tone = plan.first_tone + k * plan.tone_step;
        if (!fits_32_bits(tone)) {
            return overflow("gray tone", k + 1, tone, "");
        }
        const std::int64_t altitude = plan.first_altitude + k * plan.altitude_step;
        if (!fits_32_bits(altitude)) {
            return overflow("altitude", k + 1, altitude, std::string(" ") + unit_of(p.scale).name);
        }
    }
    return plan;
}
