#include "app/settings/form_placement.h"

#include <gtest/gtest.h>

namespace {

TEST(FormPlacement, KeptInsideTheWorkArea)
{
    const QRect work(0, 0, 1600, 1000);
    EXPECT_EQ(ComputeFormPlacement({}, work, 400, 300).bounds, QRect(200, 125, 1200, 750)); // centred 3/4
    EXPECT_TRUE(
        ComputeFormPlacement({QStringLiteral("max"), 10, 10, -5000, -5000}, work, 400, 300).maximized);
    const struct
    {
        int w, h, x, y;
        QRect expected;
    } cases[] = {
        {800, 600, -100, 50, QRect(0, 50, 800, 600)}, // left of the work area: moved to its edge
        {2000, 600, 0, 0, QRect(0, 0, 1600, 600)},    // wider than the work area: narrowed to it
        // running past the right edge: narrowed, but never below the minimum, moving left instead
        {800, 600, 1400, 0, QRect(1200, 0, 400, 600)},
        {800, 600, 0, 900, QRect(0, 700, 800, 300)}, // the same below the bottom edge
        {800, 600, 100, 100, QRect(100, 100, 800, 600)},
        {10, 600, 100, 100, QRect(100, 100, 400, 600)}, // smaller than the minimum: the minimum
        // the extremes of the integers a hand-edited file may hold
        {2147483647, 600, 100, 100, QRect(100, 100, 1500, 600)},
        {800, 600, 2147483647, 0, QRect(1200, 0, 400, 600)},
        {800, 600, -2147483647 - 1, 0, QRect(0, 0, 800, 600)},
    };
    for (const auto &c : cases) {
        const FormPlacement p =
            ComputeFormPlacement({QStringLiteral("norm"), c.w, c.h, c.x, c.y}, work, 400, 300);
        EXPECT_FALSE(p.maximized);
        EXPECT_EQ(p.bounds, c.expected) << c.x << "," << c.y;
    }
    // Below the minimum without a position: the minimum, centred.
    EXPECT_EQ(ComputeFormPlacement({QStringLiteral("norm"), -2147483647 - 1, -2147483647 - 1, {}, {}}, work,
                                   400, 300)
                  .bounds,
              QRect(600, 350, 400, 300));
    // A work area away from the origin.
    EXPECT_EQ(
        ComputeFormPlacement({QStringLiteral("norm"), 600, 400, 0, 0}, QRect(1920, 40, 1280, 984), 400, 300)
            .bounds,
        QRect(1920, 40, 600, 400));
}

} // namespace
