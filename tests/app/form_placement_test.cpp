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

// Without a stored size a window opens at three quarters of its screen, or as large as its contents
// prefer where that is more, within the screen less the frame; a stored size is the analyst's.
TEST(FormPlacement, ASmallScreenGivesTheContentsTheirSize)
{
    const QRect small(0, 0, 1050, 675), large(0, 0, 1400, 900);
    const QSize frame(8, 30);
    const struct
    {
        const char *screen;
        QRect area;
        StoredPlacement stored;
        QSize preferred;
        QRect expected;
    } cases[] = {
        {"small, contents fit", small, {}, QSize(1035, 507), QRect(7, 84, 1035, 507)},
        {"small, contents smaller", small, {}, QSize(600, 400), QRect(131, 84, 787, 506)},
        {"small, contents larger", small, {}, QSize(1200, 900), QRect(4, 15, 1042, 645)},
        {"large, three quarters", large, {}, QSize(1035, 507), QRect(175, 112, 1050, 675)},
        {"small, stored",
         small,
         {QStringLiteral("norm"), 800, 500, 10, 20},
         QSize(1035, 507),
         QRect(10, 20, 800, 500)},
        {"no wish", small, {}, QSize(), QRect(131, 84, 787, 506)},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ComputeFormPlacement(c.stored, c.area, 400, 300, c.preferred, frame).bounds, c.expected)
            << c.screen;
}

} // namespace
