#include "lib/errors.h"
#include "lib/font_routines.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

TEST(SetFontFromStr, ColourTexts)
{
    struct Case
    {
        const char *text;
        TColor expected;
    } cases[] = {
        {"", clWindowText}, {"0xFF", 255}, {"0x00800000", clNavy}, {"255", 255}, {"-16777208", clWindowText},
    };
    for (const auto &c : cases) {
        TUserFont font;
        SetFontFromStr(font, u"Arial"_s, 8, QString::fromLatin1(c.text), 1, QString());
        EXPECT_EQ(font.Color, c.expected) << c.text;
    }
    EXPECT_EQ(ColorToQColor(0x102030), QColor(0x30, 0x20, 0x10)); // red in the low byte
    for (const char *bad : {"0XFF", "zz", "0xZZ", "12a"}) {
        TUserFont font;
        EXPECT_THROW(SetFontFromStr(font, u"Arial"_s, 8, QString::fromLatin1(bad), 1, QString()),
                     EConvertError)
            << bad;
    }
}

TEST(SetFontFromStr, NameSizeCharsetAndStyleLetters)
{
    struct Case
    {
        const char *style;
        bool bold, italic, underline, strikeOut;
    } cases[] = {
        {"", false, false, false, false},     {"bu", true, false, true, false},
        {"ub", true, false, true, false},     {"sib", true, true, false, true},
        {"BIUS", false, false, false, false}, {"x b", true, false, false, false},
    };
    for (const auto &c : cases) {
        TUserFont font;
        font.Font.setBold(true); // an earlier style does not survive
        SetFontFromStr(font, u"Courier New"_s, 11, QString(), 204, QString::fromLatin1(c.style));
        EXPECT_EQ(font.Font.family(), u"Courier New"_s);
        EXPECT_EQ(font.Font.pointSize(), 11);
        EXPECT_EQ(font.Charset, 204);
        EXPECT_EQ(font.Font.bold(), c.bold) << c.style;
        EXPECT_EQ(font.Font.italic(), c.italic) << c.style;
        EXPECT_EQ(font.Font.underline(), c.underline) << c.style;
        EXPECT_EQ(font.Font.strikeOut(), c.strikeOut) << c.style;
    }
}

TEST(SetFontFromStr, SizeInPointsOrPixels)
{
    struct Case
    {
        int size;
        int points, pixels; // -1: not set that way
    } cases[] = {
        {11, 11, -1}, {-13, -1, 13}, {0, 9, -1}, {2147483647, 2147483647, -1}, {-2147483647 - 1, 9, -1},
    };
    for (const auto &c : cases) {
        TUserFont font;
        font.Font.setPointSize(9);
        SetFontFromStr(font, u"Arial"_s, c.size, QString(), 1, QString());
        EXPECT_EQ(font.Font.pointSize(), c.points) << c.size;
        EXPECT_EQ(font.Font.pixelSize(), c.pixels) << c.size;
    }
}

TEST(SetFontFromStr, SameUserFontComparesEveryPart)
{
    TUserFont a, b;
    SetFontFromStr(a, u"Arial"_s, 8, QString(), 1, u"b"_s);
    SetFontFromStr(b, u"Arial"_s, 8, QString(), 1, u"b"_s);
    EXPECT_TRUE(SameUserFont(a, b));
    b.Charset = 204;
    EXPECT_FALSE(SameUserFont(a, b));
    SetFontFromStr(b, u"Arial"_s, 8, u"255"_s, 1, u"b"_s);
    EXPECT_FALSE(SameUserFont(a, b));
    SetFontFromStr(b, u"Arial"_s, 9, QString(), 1, u"b"_s);
    EXPECT_FALSE(SameUserFont(a, b));
}

} // namespace
