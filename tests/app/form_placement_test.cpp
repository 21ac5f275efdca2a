#include "app/settings/form_placement.h"

#include <gtest/gtest.h>

namespace {

const QRect kWork(0, 0, 1600, 1000);

TEST(FormPlacement, DefaultsCentreThreeQuarters)
{
    const FormPlacement p = ComputeFormPlacement({}, kWork, 400, 300);
    EXPECT_FALSE(p.maximized);
    EXPECT_EQ(p.bounds, QRect(200, 125, 1200, 750));
}

TEST(FormPlacement, MaxIgnoresBounds)
{
    StoredPlacement s{QStringLiteral("max"), 10, 10, -5000, -5000};
    EXPECT_TRUE(ComputeFormPlacement(s, kWork, 400, 300).maximized);
}

TEST(FormPlacement, KeptInsideTheWorkArea)
{
    struct Case
    {
        StoredPlacement stored;
        QRect expected;
    } cases[] = {
        // left of the work area: moved to its edge
        {{QStringLiteral("norm"), 800, 600, -100, 50}, QRect(0, 50, 800, 600)},
        // wider than the work area: narrowed to it
        {{QStringLiteral("norm"), 2000, 600, 0, 0}, QRect(0, 0, 1600, 600)},
        // running past the right edge: narrowed, but never below the minimum, moving left instead
        {{QStringLiteral("norm"), 800, 600, 1400, 0}, QRect(1200, 0, 400, 600)},
        {{QStringLiteral("norm"), 800, 600, 1000, 0}, QRect(1000, 0, 600, 600)},
        // the same below the bottom edge
        {{QStringLiteral("norm"), 800, 600, 0, 900}, QRect(0, 700, 800, 300)},
        // stored bounds that fit stay as they are
        {{QStringLiteral("norm"), 800, 600, 100, 100}, QRect(100, 100, 800, 600)},
        // smaller than the minimum: the minimum, centred when the file has no position
        {{QStringLiteral("norm"), 10, 600, 100, 100}, QRect(100, 100, 400, 600)},
        {{QStringLiteral("norm"), -2147483647 - 1, -2147483647 - 1, {}, {}}, QRect(600, 350, 400, 300)},
        // the extremes of the integers a hand-edited file may hold
        {{QStringLiteral("norm"), 2147483647, 600, 100, 100}, QRect(100, 100, 1500, 600)},
        {{QStringLiteral("norm"), 800, 600, 2147483647, 0}, QRect(1200, 0, 400, 600)},
        {{QStringLiteral("norm"), 800, 600, -2147483647 - 1, 0}, QRect(0, 0, 800, 600)},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ComputeFormPlacement(c.stored, kWork, 400, 300).bounds, c.expected)
            << c.stored.x.value_or(0) << "," << c.stored.y.value_or(0);
}

TEST(FormPlacement, WorkAreaNotAtOrigin)
{
    const QRect work(1920, 40, 1280, 984);
    StoredPlacement s{QStringLiteral("norm"), 600, 400, 0, 0};
    EXPECT_EQ(ComputeFormPlacement(s, work, 400, 300).bounds, QRect(1920, 40, 600, 400));
}

} // namespace
