#include "rows/row_plan.hpp"

#include <gtest/gtest.h>

#include <limits>

namespace {

constexpr std::int32_t int_max = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t int_min = std::numeric_limits<std::int32_t>::min();

TEST(RowCount, IsExactAndNeverBelowZero)
{
    const struct {
        std::int32_t min_alt, max_alt, alt_step;
        std::int64_t rows;
    } cases[] = {
        {10, 20, 5, 3},
        {0, 10, 3, 4},
        {100, 0, -10, 11},
        {100, 99, 5, 1},
        {100, 90, 5, 0},
        {0, 10, -1, 0},
        {5, 5, 7, 1},
        {-2000000000, 2000000000, 1000000000, 5},
        {int_min, int_max, 1, 4294967296},
        {int_max, int_min, -1, 4294967296},
        {int_min, int_max, int_min, 0},
        {int_max, int_min, int_min, 2},
        {int_max, int_min, 1, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(row_count(c.min_alt, c.max_alt, c.alt_step), c.rows)
            << c.min_alt << ".." << c.max_alt << " by " << c.alt_step;
    }
}

TEST(UnitFactor, GrowsTenfoldFromMetersToMillimeters)
{
    const std::pair<std::int32_t, std::int32_t> cases[] = {{0, 1}, {1, 10}, {2, 100}, {3, 1000}, {-4, 1}, {int_min, 1}};
    for (const auto& [scale, factor] : cases) {
        EXPECT_EQ(unit_factor(scale), factor) << scale;
    }
}

TEST(PlanRows, ConvertsOnlyTheAltitudes)
{
    const auto plan = plan_rows({7, 2, 10, 20, 5, 3});
    ASSERT_TRUE(static_cast<bool>(plan));
    EXPECT_EQ(plan->rows, 3);
    EXPECT_EQ(plan->first_tone, 7);
    EXPECT_EQ(plan->tone_step, 2);
    EXPECT_EQ(plan->first_altitude, 10000);
    EXPECT_EQ(plan->altitude_step, 5000);
}

TEST(PlanRows, RefusesAnyValueBeyondThirtyTwoBits)
{
    const struct {
        TableParameters parameters;
        const char* why;  // empty when the plan stands
    } cases[] = {
        {{int_max, 1, 0, 0, 1, 0}, ""},
        {{int_max, 1, 0, 1, 1, 0}, "the gray tone of row 2 (2147483648) does not fit a 32-bit integer"},
        {{int_min, -1, 0, 1, 1, 0}, "the gray tone of row 2 (-2147483649) does not fit a 32-bit integer"},
        {{0, int_max, 0, 2, 1, 0}, "the gray tone of row 3 (4294967294) does not fit a 32-bit integer"},
        {{0, 1, 3000000, 3000000, 1, 3},
         "the altitude of row 1 (3000000000 millimeters) does not fit a 32-bit integer"},
        {{0, 1, 2147483, 2147483, 1, 3}, ""},
        {{0, 1, 2147483, 2147484, 1, 3},
         "the altitude of row 2 (2147484000 millimeters) does not fit a 32-bit integer"},
        {{0, 1, -214748365, -214748364, 1, 1},
         "the altitude of row 1 (-2147483650 decimeters) does not fit a 32-bit integer"},
        // One row: a step far beyond 32 bits in the unit is never added.
        {{0, int_max, 0, 1, int_max, 3}, ""},
        // No rows: nothing to overflow.
        {{int_max, int_max, 100, 90, 5, 3}, ""},
        // 2^32 rows, from the least altitude to the greatest, each in range.
        {{0, 0, int_min, int_max, 1, 0}, ""},
    };
    for (const auto& c : cases) {
        const auto plan = plan_rows(c.parameters);
        if (*c.why == '\0') {
            EXPECT_TRUE(static_cast<bool>(plan)) << plan.error().why;
        } else {
            ASSERT_FALSE(static_cast<bool>(plan)) << c.why;
            EXPECT_EQ(plan.error().what, "cannot write the table");
            EXPECT_EQ(plan.error().why, c.why);
        }
    }
}

}  // namespace
