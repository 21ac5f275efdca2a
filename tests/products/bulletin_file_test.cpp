#include "bulletin_test_support.h"
#include "lib/dataset_api.h"
#include "lib/fake_dataset.h"
#include "lib/number_routines.h"
#include "products/bulletin_html.h"
#include "products/summary_rules.h"

#include <cmath>
#include <random>

namespace {

const QByteArray kOld = "the bulletin made before\r\n";

// A long bulletin: far more than the stream keeps in memory before it hands it to the disk.
void writeLong(BulletinLines &out, int rows)
{
    for (int i = 0; i < rows; ++i) {
        out.line("<td>", i, "</td>");
        out.line("<td colspan=3><b>", QStringLiteral("Параметры землетрясения отсутствуют"), "</b></td>");
        out.line("Az= ", QStringLiteral("12"), "° ");
    }
}

QByteArray longBytes(int rows)
{
    QByteArray b;
    for (int i = 0; i < rows; ++i)
        b += "<td>" + QByteArray::number(i) + "</td>\r\n" + "<td colspan=3><b>" +
             toCp1251(QStringLiteral("Параметры землетрясения отсутствуют")) + "</b></td>\r\n" + "Az= 12" +
             toCp1251(QStringLiteral("°")) + " \r\n";
    return b;
}

QStringList temporaries(const TestDir &dir)
{
    return folderEntries(dir.path()).filter(QStringLiteral(".tmp-"));
}

TEST(BulletinFile, StreamsIntoTheTemporaryFileAndReplacesTheFileOnlyAtCommit)
{
    TestDir dir;
    const QString file = dir.file(QStringLiteral("stbul_1.htm"));
    ASSERT_TRUE(writeBytes(file, kOld));
    {
        BulletinLines out(file);
        out << QStringLiteral("<html><head>");
        writeLong(out, 20000);
        // Most of it is on the disk already, beside the old file, which is still whole.
        EXPECT_EQ(temporaries(dir).size(), 1);
        EXPECT_EQ(readBytes(file), kOld);
        out.Commit();
    }
    EXPECT_EQ(readBytes(file), "<html><head>\r\n" + longBytes(20000));
    EXPECT_TRUE(temporaries(dir).isEmpty());
}

TEST(BulletinFile, ARunThatStopsWritesNothing)
{
    TestDir dir;
    const QString file = dir.file(QStringLiteral("stbul_1.htm"));
    ASSERT_TRUE(writeBytes(file, kOld));
    struct Case
    {
        const char *name;
        qint64 diskBytes; // before the disk is full; -1 for a disk with room
    };
    for (const Case &c : {Case{"dropped before Commit", -1}, Case{"full disk at once", 0},
                          Case{"full disk half-way", 300000}}) {
        QString message;
        try {
            DiskFullAfter full(c.diskBytes);
            BulletinLines out(file);
            writeLong(out, 20000);
            if (c.diskBytes >= 0)
                out.Commit();
        } catch (const EFileError &e) {
            message = e.message();
        }
        EXPECT_EQ(readBytes(file), kOld) << c.name;
        EXPECT_TRUE(temporaries(dir).isEmpty()) << c.name;
        if (c.diskBytes < 0)
            EXPECT_TRUE(message.isEmpty()) << c.name;
        else
            EXPECT_TRUE(
                message.startsWith(QStringLiteral("Не удалось записать файл ") + file + QLatin1Char(':')))
                << c.name << ": " << message.toStdString();
    }
}

TEST(BulletinNumbers, RoundedAsWritten)
{
    struct Case
    {
        double value;
        int digits;
        const char *text;
    };
    const Case cases[] = {
        {12.3456, 3, "12.346"},
        {1370.1, 3, "1370.1"},
        {-0.0001, 3, "0"}, // never "-0"
        {0.0004, 3, "0"},
        {123456789012.5, 0, "123456789013"},
        {99999999999999.9, 0, "100000000000000"},
        {1e15, 0, "1E15"},
        {2.5e-4, 4, "0.0003"},
        {5e-5, 5, "5E-5"},
        {-45.44, 1, "-45.4"},
        // Exactly between two texts of 15 digits.
        {21506512911066.25, 2, "21506512911066.3"},
        {std::nan(""), 3, "NAN"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(RoundedText(c.value, c.digits), QString::fromLatin1(c.text)) << c.value;

    const auto field = [](FieldType type, const QVariant &v, bool zeroAsEmpty = false) {
        const FakeField f(QStringLiteral("x"), type, v);
        return FieldToText(&f, zeroAsEmpty);
    };
    EXPECT_EQ(field(FieldType::Float, 1.5), QStringLiteral("1.5"));
    EXPECT_EQ(field(FieldType::Float, 0.0), QStringLiteral("0"));
    EXPECT_EQ(field(FieldType::Float, 0.0, true), QString());
    EXPECT_EQ(field(FieldType::Float, 0.0004, true), QStringLiteral("0"));
    EXPECT_EQ(field(FieldType::Float, 1e-5), QStringLiteral("0"));
    EXPECT_EQ(field(FieldType::Float, 21506512911066.25), QStringLiteral("21506512911066.3"));
    EXPECT_EQ(field(FieldType::Float, QVariant(QMetaType::fromType<double>())), QString());
    EXPECT_EQ(field(FieldType::String, QStringLiteral("1,25")), QStringLiteral("1.25"));
    EXPECT_EQ(field(FieldType::String, QStringLiteral("Tx")), QStringLiteral("Tx"));
    EXPECT_EQ(field(FieldType::Integer, qlonglong(7)), QStringLiteral("7"));
    // A number is taken as its text of 15 digits reads.
    double x = 0;
    const FakeField sum(QStringLiteral("x"), FieldType::Float, 0.1 + 0.2);
    ASSERT_TRUE(FieldTextNumber(&sum, x));
    EXPECT_EQ(x, 0.3);
}

// The bulletins' conversions of a number to an integer: what no 64-bit integer holds prints as the number
// stored, an impossible coordinate as its degrees, a number too large to round as itself.
TEST(BulletinNumbers, ImpossibleValuesPrintAsStored)
{
    const double inf = std::numeric_limits<double>::infinity();
    const std::pair<double, const char *> truncated[] = {
        {123.7, "123"},
        {-45.9, "-45"},
        {-0.5, "0"},
        {9223372036854774784.0, "9223372036854774784"},
        {9223372036854775808.0, "9.22337203685478E18"},
        {-9.3e18, "-9.3E18"},
        {1.5e308, "1.5E308"},
        {-inf, "-INF"},
        {std::nan(""), "NAN"},
    };
    for (const auto &[value, text] : truncated)
        EXPECT_EQ(TruncatedText(value), QString::fromLatin1(text)) << value;

    const std::tuple<double, int, const char *> rounded[] = {
        {1.5e308, 3, "1.5E308"}, {-1e300, 0, "-1E300"}, {1e17, 3, "1E17"}, {inf, 3, "INF"}};
    for (const auto &[value, digits, text] : rounded)
        EXPECT_EQ(RoundedText(value, digits), QString::fromLatin1(text)) << value;

    const std::tuple<double, bool, const char *> coordinates[] = {{55.1, false, "55° 6 ' 0 &quot; N"},
                                                                  {1e300, false, "1E300°"},
                                                                  {-181, true, "-181°"},
                                                                  {inf, true, "INF°"}};
    for (const auto &[degrees, isLon, text] : coordinates)
        EXPECT_EQ(CoordinateHtml(degrees, isLon), QString::fromUtf8(text)) << degrees;

    // The summary's numbers likewise.
    const std::tuple<double, int, const char *> summary[] = {
        {12.345, 1, "12.3"}, {1.5e308, 4, "1.5E308"}, {-9.3e18, 0, "-9.3E18"}, {inf, 1, "INF"}};
    for (const auto &[value, digits, text] : summary)
        EXPECT_EQ(SummaryNumber(value, digits), QString::fromLatin1(text)) << value;
}

// The texts of numbers of every size are those of the text route: FloatToStr, read back, rounded,
// FloatToStr again.
TEST(BulletinNumbers, EverySizeAsTheTextRouteWritesIt)
{
    const auto viaText = [](double v, int digits) {
        const double scale = std::pow(10.0, digits);
        double r = std::round(v * scale) / scale;
        if (r == 0)
            r = 0;
        return FloatToStr(r);
    };
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> exponent(-7, 16), unit(0, 1);
    for (int i = 0; i < 20000; ++i) {
        double v = std::pow(10.0, exponent(random)) * (unit(random) < 0.5 ? -1 : 1);
        if (i % 4 == 0)
            v = std::round(v * 1000) / 1000 + 0.0005; // on a rounding edge
        else if (i % 4 == 1)
            v = std::trunc(v) + 0.25; // between two texts of 15 digits when large
        for (int digits : {0, 1, 3})
            ASSERT_EQ(RoundedText(v, digits), viaText(v, digits)) << v << " " << digits;
        const FakeField f(QStringLiteral("x"), FieldType::Float, v);
        double read = 0;
        ASSERT_TRUE(TryStrToFloatAny(FloatToStr(v), read)) << v;
        ASSERT_EQ(FieldToText(&f), viaText(read, 3)) << v;
    }
}

} // namespace
