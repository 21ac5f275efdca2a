#include "lib/codec.h"

#include <gtest/gtest.h>

namespace {

struct CodecCase
{
    const char *text; // UTF-8
    QByteArray bytes;
};

TEST(Cp1251, KnownCharactersBothWays)
{
    const CodecCase cases[] = {
        {"", QByteArray()},
        {"ABC 123", QByteArray("ABC 123")},
        {"АЯая", QByteArray("\xC0\xDF\xE0\xFF")},
        {"Ёё№", QByteArray("\xA8\xB8\xB9")},
        {"«»—–€", QByteArray("\xAB\xBB\x97\x96\x88")},
        {"Сводка\r\n", QByteArray("\xD1\xE2\xEE\xE4\xEA\xE0\r\n")},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(toCp1251(QString::fromUtf8(c.text)), c.bytes) << c.text;
        EXPECT_EQ(fromCp1251(c.bytes), QString::fromUtf8(c.text)) << c.text;
    }
}

TEST(Cp1251, EveryByteRoundTrips)
{
    QByteArray all;
    for (int i = 0; i < 256; ++i)
        all.append(char(i));
    EXPECT_EQ(toCp1251(fromCp1251(all)), all);
}

TEST(Cp1251, UnmappableBecomesQuestionMark)
{
    EXPECT_EQ(toCp1251(QString::fromUtf8("a中b")), QByteArray("a?b"));
    EXPECT_EQ(toCp1251Char(QChar(0x4E2D)), '?');
    EXPECT_EQ(fromCp1251Char('\xC1'), QChar(0x0411));
}

TEST(Cp866, LettersAndBoxDrawing)
{
    const CodecCase cases[] = {
        {"ПЕТ", QByteArray("\x8F\x85\x92")},
        {"пря", QByteArray("\xAF\xE0\xEF")},
        {"Ёё", QByteArray("\xF0\xF1")},
        {"║═", QByteArray("\xBA\xCD")},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(toCp866(QString::fromUtf8(c.text)), c.bytes) << c.text;
        EXPECT_EQ(fromCp866(c.bytes), QString::fromUtf8(c.text)) << c.text;
    }
}

} // namespace
