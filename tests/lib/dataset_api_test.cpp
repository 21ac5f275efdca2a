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

// Numbers come out of the getters exactly as they were stored, whatever their size; only texts are read
// as numbers, and a text that is none fails with the layer's message.
TEST(FieldGetters, NumbersComeOutExactly)
{
    const double nan = std::nan("");
    const std::tuple<const char *, FieldType, QVariant, double> floats[] = {
        {"NULL", FieldType::Float, QVariant(), 0.0},
        {"typed NULL", FieldType::Float, QVariant(QMetaType::fromType<double>()), 0.0},
        {"shortest", FieldType::Float, 0.1, 0.1},
        {"17 digits", FieldType::Float, 0.30000000000000004, 0.30000000000000004},
        {"smallest", FieldType::Float, 4.9406564584124654e-324, 4.9406564584124654e-324},
        {"largest", FieldType::BCD, 1.7976931348623157e308, 1.7976931348623157e308},
        {"infinity", FieldType::Float, -kInf, -kInf},
        {"date", FieldType::DateTime, 46356.999988425923, 46356.999988425923},
        {"integer", FieldType::Integer, qlonglong(-7), -7.0},
        {"int", FieldType::Integer, 123456, 123456.0},
        {"past 2^53", FieldType::LargeInt, qlonglong(9007199254740993LL), 9007199254740992.0},
        {"boolean", FieldType::Boolean, true, 1.0},
        {"text", FieldType::String, u" 2.5 "_s, 2.5},
        {"text exponent", FieldType::String, u"-1e-3"_s, -0.001},
    };
    for (const auto &[what, type, value, expected] : floats)
        EXPECT_EQ(FakeField(u"f"_s, type, value).AsFloat(), expected) << what;
    EXPECT_TRUE(std::isnan(FakeField(u"f"_s, FieldType::Float, nan).AsFloat()));
    EXPECT_TRUE(std::signbit(FakeField(u"f"_s, FieldType::Float, -0.0).AsFloat()));
    for (const QString &text : {u"abc"_s, u"2,5"_s, u""_s}) {
        try {
            FakeField(u"f"_s, FieldType::String, text).AsFloat();
            ADD_FAILURE() << "no error for " << text.toStdString();
        } catch (const DbError &e) {
            EXPECT_EQ(e.message(), u"\"%1\" - не число"_s.arg(text));
        }
    }

    const std::tuple<const char *, FieldType, QVariant, qint64> integers[] = {
        {"NULL", FieldType::Integer, QVariant(), 0},
        {"largest", FieldType::LargeInt, qlonglong(std::numeric_limits<qint64>::max()),
         std::numeric_limits<qint64>::max()},
        {"int", FieldType::SmallInt, -32768, -32768},
        {"boolean", FieldType::Boolean, false, 0},
        {"text", FieldType::String, u" -12 "_s, -12},
        {"float half to even", FieldType::Float, 2.5, 2},
        {"date", FieldType::Date, 45000.5, 45000},
    };
    for (const auto &[what, type, value, expected] : integers)
        EXPECT_EQ(FakeField(u"f"_s, type, value).AsLargeInt(), expected) << what;
    EXPECT_THROW(FakeField(u"f"_s, FieldType::String, u"1.5"_s).AsLargeInt(), DbError);
    EXPECT_THROW(FakeField(u"f"_s, FieldType::Integer, 2.5).AsLargeInt(), DbError);
}

} // namespace
