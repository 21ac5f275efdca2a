#include "fake_dataset.h"

#include <cmath>
#include <limits>

using namespace Qt::StringLiterals;

namespace {

const double kInf = std::numeric_limits<double>::infinity();

// Values a damaged file or a foreign program may have left in a field: each conversion that cannot
// hold them fails with the layer's error instead of making up a number.
TEST(FieldGetters, OutOfRangeValuesFailClearly)
{
    const std::tuple<const char *, FieldType, QVariant> numbers[] = {
        {"huge float", FieldType::Float, 1e308},
        {"infinity", FieldType::Float, -kInf},
        {"NaN", FieldType::BCD, std::nan("")},
        {"huge date", FieldType::DateTime, 1e19},
    };
    for (const auto &[what, type, value] : numbers) {
        const FakeField f(u"f"_s, type, value);
        EXPECT_THROW(f.AsLargeInt(), DbError) << what;
        EXPECT_THROW(f.AsInteger(), DbError) << what;
    }

    const std::tuple<const char *, FieldType, QVariant> integers[] = {
        {"above int", FieldType::LargeInt, qlonglong(2147483648LL)},
        {"smallest int64", FieldType::LargeInt, qlonglong(std::numeric_limits<qint64>::min())},
        {"float above int", FieldType::Float, 3e9},
    };
    for (const auto &[what, type, value] : integers)
        EXPECT_THROW(FakeField(u"f"_s, type, value).AsInteger(), DbError) << what;
    EXPECT_EQ(
        FakeField(u"f"_s, FieldType::LargeInt, qlonglong(std::numeric_limits<qint64>::min())).AsLargeInt(),
        std::numeric_limits<qint64>::min());
    EXPECT_EQ(FakeField(u"f"_s, FieldType::Integer, qlonglong(-2147483648LL)).AsInteger(), -2147483647 - 1);
    EXPECT_EQ(FakeField(u"f"_s, FieldType::Float, -2.5).AsInteger(), -2);

    for (const double v : {1e308, -kInf, std::nan(""), -693594.0, 2958466.0}) {
        const FakeField date(u"d"_s, FieldType::DateTime, v);
        EXPECT_THROW(date.AsDateTime(), DbError) << v;
        // Shown as the number it is, not as a made-up date.
        EXPECT_EQ(date.AsString(), FloatToStr(v)) << v;
    }
    const FakeField good(u"d"_s, FieldType::DateTime, EncodeDate(2026, 11, 30) + 0.5);
    EXPECT_EQ(good.AsDateTime(), EncodeDate(2026, 11, 30) + 0.5);
    EXPECT_EQ(good.AsString(), u"30.11.2026 12:00:00"_s);
    EXPECT_EQ(FakeField(u"d"_s, FieldType::DateTime).AsDateTime(), 0.0);
}

} // namespace
