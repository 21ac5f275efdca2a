#include "lib/codec.h"
#include "lib/codepage_keys.h"
#include "lib/coordinates.h"
#include "lib/errors.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

QString u(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

TEST(DegToDMS, SplitsWithoutCarry)
{
    const std::tuple<double, bool, int, int, int, char> cases[] = {
        {-45.5, false, 45, 30, 0, 'S'},     {55.75, false, 55, 45, 0, 'N'},
        {-122.25, true, 122, 15, 0, 'W'},   {37.6175, true, 37, 37, 3, 'E'},
        {10.0125, false, 10, 0, 45, 'N'},   {0.0, true, 0, 0, 0, 'E'},
        {37.9999999, true, 37, 60, 0, 'E'}, {-0.5, false, 0, 30, 0, 'S'},
    };
    for (const auto &[value, isLon, wantDeg, wantMin, wantSec, wantHemi] : cases) {
        int deg = -1, min = -1, sec = -1;
        QChar hemi;
        DegToDMS(value, isLon, deg, min, sec, hemi);
        EXPECT_EQ((std::array{deg, min, sec}), (std::array{wantDeg, wantMin, wantSec})) << value;
        EXPECT_EQ(hemi, QLatin1Char(wantHemi)) << value;
    }
}

TEST(DegToDMS, NoNumberOrHugeValueIsRefused)
{
    // Said in Russian, the value as the system writes numbers.
    const std::pair<double, const char *> refused[] = {
        {std::nan(""), "Координата вне допустимых пределов: NAN"},
        {std::numeric_limits<double>::infinity(), "Координата вне допустимых пределов: INF"},
        {-1e308, "Координата вне допустимых пределов: -1E308"},
        {2147483648.0, "Координата вне допустимых пределов: 2147483648"},
    };
    for (const auto &[v, message] : refused) {
        int deg = -1, min = -1, sec = -1;
        QChar hemi;
        try {
            DegToDMS(v, true, deg, min, sec, hemi);
            ADD_FAILURE() << v;
        } catch (const EConvertError &e) {
            EXPECT_EQ(e.message(), QString::fromUtf8(message)) << v;
        }
    }
    int deg = -1, min = -1, sec = -1;
    QChar hemi;
    DegToDMS(-2147483647.5, false, deg, min, sec, hemi);
    EXPECT_EQ((std::array{deg, min, sec}), (std::array{2147483647, 30, 0}));
}

TEST(DMSToDeg, SignFromHemisphere)
{
    EXPECT_DOUBLE_EQ(DMSToDeg(45, 30, 0, QLatin1Char('S')), -45.5);
    EXPECT_DOUBLE_EQ(DMSToDeg(45, 30, 0, QLatin1Char('s')), -45.5);
    EXPECT_DOUBLE_EQ(DMSToDeg(10, 0, 36, QLatin1Char('w')), -10.01);
    EXPECT_DOUBLE_EQ(DMSToDeg(10, 0, 36, QLatin1Char('W')), -10.01);
    EXPECT_DOUBLE_EQ(DMSToDeg(55, 45, 0, QLatin1Char('N')), 55.75);
    EXPECT_DOUBLE_EQ(DMSToDeg(55, 45, 0, QLatin1Char('e')), 55.75);
}

TEST(Cp866, LettersMoveBoxDrawingStays)
{
    // cp866 bytes as read through windows-1251
    QString s = fromCp1251(QByteArray("\x80\x8F\x9F\xA0\xAF\xE0\xEF\xF0\xF1\xB0\xBA\xCD\xDF\xF2\xFF\x41 1"));
    Cp866ToCp1251(s);
    EXPECT_EQ(toCp1251(s), QByteArray("\xC0\xCF\xDF\xE0\xEF\xF0\xFF\xA8\xB8\xB0\xBA\xCD\xDF\xF2\xFF\x41 1"));

    QString word = fromCp1251(QByteArray("\x8F\xE0\xA8\xA2\xA5\xE2"));
    Cp866ToCp1251(word);
    EXPECT_EQ(word, u("Привет"));

    const std::pair<char, char> chars[] = {{'\xA0', '\xE0'}, {'\xE5', '\xF5'}, {'\xF0', '\xA8'},
                                           {'\xF1', '\xB8'}, {'\xC4', '\xC4'}, {'z', 'z'}};
    for (const auto &[in, out] : chars) {
        QChar ch = fromCp1251Char(in);
        Cp866CharToCp1251(ch);
        EXPECT_EQ(ch, fromCp1251Char(out)) << int(static_cast<unsigned char>(in));
    }
}

TEST(Cp866, DetectDosText)
{
    // 0x8F and 0x80 count; Ё of windows-1251 (0xA8) and the upper cp866 letters (0xE0..) do not
    const QString s = fromCp1251(QByteArray("\x8F\x80\xA8\xA8\xA8\xE0"));
    QString converted = u("stale");
    EXPECT_TRUE(DetectDosText(s, converted, true, 1));
    EXPECT_EQ(toCp1251(converted), QByteArray("\xCF\xC0\xE8\xE8\xE8\xF0"));
    converted = u("stale");
    EXPECT_TRUE(DetectDosText(s, converted, false, 1));
    EXPECT_TRUE(converted.isEmpty());
    converted = u("stale");
    EXPECT_FALSE(DetectDosText(s, converted, true, 2));
    EXPECT_TRUE(converted.isEmpty());
    EXPECT_FALSE(DetectDosText(u("Обычный текст"), converted, true, 0));
}

TEST(RusKeyToLat, SameKeySameCase)
{
    const QString rus = u("ФИСВУАПРШОЛДЬТЩЗЙКЫЕГМЦЧНЯ");
    const QString lat = u("ABCDEFGHIJKLMNOPQRSTUVWXYZ");
    for (int i = 0; i < rus.size(); ++i) {
        EXPECT_EQ(RusKeyToLat(rus.at(i)), lat.at(i)) << i;
        EXPECT_EQ(RusKeyToLat(rus.at(i).toLower()), lat.at(i).toLower()) << i;
    }
    for (const QChar c : u("БЖХЪЭЮЁбжхъэюёaZ1 "))
        EXPECT_EQ(RusKeyToLat(c), QChar(0)) << int(c.unicode());
    EXPECT_EQ(RusKeyToLat(QChar(0)), QChar(0));
}

} // namespace
