// From the user's numeric answers to the rows of the table.
#pragma once

#include <cstdint>
#include <iterator>

#include "text/failure.hpp"

// The answers as read: altitudes in meters, scale as the menu code.
struct TableParameters {
    std::int32_t first_tone;
    std::int32_t tone_step;
    std::int32_t min_alt;
    std::int32_t max_alt;
    std::int32_t alt_step;  // never 0
    std::int32_t scale;     // at most 3
};

// Row k (from 0) holds the tone first_tone + k * tone_step and the altitude
// first_altitude + k * altitude_step, in the chosen unit. Every value that a
// row holds fits 32 bits; the steps need not, when there is a single row.
struct RowPlan {
    std::int64_t rows;
    std::int64_t first_tone;
    std::int64_t tone_step;
    std::int64_t first_altitude;
    std::int64_t altitude_step;
};

// The number of rows, exactly: (max_alt - min_alt) / alt_step + 1, or 0 when that is below 1.
std::int64_t row_count(std::int32_t min_alt, std::int32_t max_alt, std::int32_t alt_step);

// The output units, by their answer to the scale menu; any answer below 0 means meters.
struct Unit {
    std::int32_t factor;
    const char* name;
};
inline constexpr Unit units[] = {{1, "meters"}, {10, "decimeters"}, {100, "centimeters"}, {1000, "millimeters"}};
inline constexpr std::int32_t largest_scale = static_cast<std::int32_t>(std::size(units)) - 1;

// The factor of the unit of a scale of at most `largest_scale`.
std::int32_t unit_factor(std::int32_t scale);

// The rows to write, or a failure naming the value that does not fit 32 bits.
Outcome<RowPlan> plan_rows(const TableParameters& parameters);
