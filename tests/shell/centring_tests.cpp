#include "shell/centring.h"

#include <gtest/gtest.h>

namespace stowix {
namespace {

TEST(CentredOffset, rounds_the_difference_half_to_even_then_halves_toward_zero) {
    struct Case {
        double screen, window;
        int expected;
    };
    const Case cases[] = {
        {15360, 6705, 4327},  // odd difference: the half twip is dropped
        {11520, 6600, 2460}, {1000, 1000, 0},
        {1000, 1005, -2},                   // wider than the screen: toward zero, not -3
        {1000, 1007, -3},    {10.5, 0, 5},  // 10.5 rounds to the even 10
        {11.5, 0, 6},                       // 11.5 rounds to the even 12
        {-2.5, 0, -1},                      // -2.5 rounds to -2
        {9.4, 0, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.screen << " - " << c.window);
        EXPECT_EQ(CentredOffset(c.screen, c.window), c.expected);
    }
}

}  // namespace
}  // namespace stowix
