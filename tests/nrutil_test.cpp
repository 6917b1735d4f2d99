#include <gtest/gtest.h>

#include <cstdint>
#include <set>

#include "nrutil_families.hpp"

namespace {

TYPED_TEST(Matrices, HaveSeparateZeroFilledRowsOfTheAskedShape)
{
    using T = typename TypeParam::Element;
    for (const auto& [columns, rows] : {std::pair{3, 2}, std::pair{4, 1}, std::pair{1, 5}, std::pair{100, 30}}) {
        T** matrix = TypeParam::allocate(columns, rows);
        ASSERT_NE(matrix, nullptr);
        std::set<T*> blocks;
        for (int r = 0; r < rows; ++r) {
            ASSERT_NE(matrix[r], nullptr);
            blocks.insert(matrix[r]);
            for (int c = 0; c < columns; ++c) {
                EXPECT_EQ(matrix[r][c], T{0});
                matrix[r][c] = static_cast<T>(r + c + 1);  // every element is writable
            }
        }
        EXPECT_EQ(blocks.size(), static_cast<std::size_t>(rows));
        EXPECT_EQ(blocks.count(reinterpret_cast<T*>(matrix)), 0U);
        TypeParam::release(matrix, rows);
    }
}

TYPED_TEST(Matrices, AreNullForCountsBelowOne)
{
    for (const auto& [columns, rows] :
         {std::pair{5, 0}, std::pair{0, 5}, std::pair{0, 0}, std::pair{-1, 3}, std::pair{3, -1}}) {
        EXPECT_EQ(TypeParam::allocate(columns, rows), nullptr) << columns << " x " << rows;
    }
    TypeParam::release(nullptr, 3);
}

TYPED_TEST(Vectors, AreZeroFilledOfTheAskedLength)
{
    using T = typename TypeParam::Element;
    for (const int columns : {1, 4, 1000}) {
        T* vector = TypeParam::allocate(columns);
        ASSERT_NE(vector, nullptr);
        for (int c = 0; c < columns; ++c) {
            EXPECT_EQ(vector[c], T{0});
            vector[c] = static_cast<T>(c + 1);
        }
        TypeParam::release(vector);
    }
}

TYPED_TEST(Vectors, AreNullForCountsBelowOne)
{
    for (const int columns : {0, -1, INT32_MIN}) {
        EXPECT_EQ(TypeParam::allocate(columns), nullptr) << columns;
    }
    TypeParam::release(nullptr);
}

}  // namespace
