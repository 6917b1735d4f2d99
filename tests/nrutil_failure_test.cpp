// Allocation failures at every step of a matrix, with calloc and free wrapped
// at link time so that each call is counted and the chosen one fails.
#include <gtest/gtest.h>

#include <cstddef>
#include <set>

#include "nrutil_families.hpp"

// The names the linker's --wrap gives the real functions and their stand-ins.
// NOLINTBEGIN(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp)
extern "C" void* __real_calloc(std::size_t count, std::size_t size);
extern "C" void __real_free(void* block);

namespace {

struct Injection {
    bool armed = false;
    int calls = 0;
    int failing_call = 0;  // counted from 1; 0 fails none
    std::set<void*> live;  // blocks handed out while armed and not yet freed
};
Injection injection;

}  // namespace

extern "C" void* __wrap_calloc(std::size_t count, std::size_t size)
{
    if (!injection.armed) {
        return __real_calloc(count, size);
    }
    injection.armed = false;  // the bookkeeping below may allocate
    void* block = ++injection.calls == injection.failing_call ? nullptr : __real_calloc(count, size);
    if (block != nullptr) {
        injection.live.insert(block);
    }
    injection.armed = true;
    return block;
}

extern "C" void __wrap_free(void* block)
{
    if (injection.armed) {
        injection.armed = false;
        injection.live.erase(block);
        injection.armed = true;
    }
    __real_free(block);
}
// NOLINTEND(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp)

namespace {

// Runs `allocate` with the given calloc call failing; returns what it gave.
template <class Allocate>
auto with_failing_call(int failing_call, Allocate allocate)
{
    injection = {};
    injection.failing_call = failing_call;
    injection.armed = true;
    auto result = allocate();
    injection.armed = false;
    return result;
}

TYPED_TEST(Matrices, LeaveNoBlockAllocatedWhereverTheyFail)
{
    constexpr int rows = 4;
    // Call 1 is the pointer array, call 2 the first row, later calls the later rows.
    for (int failing_call = 1; failing_call <= rows + 1; ++failing_call) {
        auto* matrix = with_failing_call(failing_call, [] { return TypeParam::allocate(3, rows); });
        EXPECT_EQ(matrix, nullptr) << "call " << failing_call;
        EXPECT_EQ(injection.calls, failing_call) << "no allocation is tried after the failed one";
        EXPECT_TRUE(injection.live.empty()) << injection.live.size() << " blocks left after call " << failing_call;
    }
}

TYPED_TEST(Matrices, ReleaseEveryBlock)
{
    auto* matrix = with_failing_call(0, [] { return TypeParam::allocate(5, 3); });
    ASSERT_NE(matrix, nullptr);
    EXPECT_EQ(injection.live.size(), 4U);
    injection.armed = true;
    TypeParam::release(matrix, 3);
    injection.armed = false;
    EXPECT_TRUE(injection.live.empty());
}

TYPED_TEST(Vectors, AreNullWhereTheirAllocationFails)
{
    EXPECT_EQ(with_failing_call(1, [] { return TypeParam::allocate(8); }), nullptr);
    EXPECT_TRUE(injection.live.empty());
}

}  // namespace
