#include "lib/codec.h"
#include "lib/paradox_fields.h"
#include "support/test_support.h"

#include <QBuffer>

#include <gtest/gtest.h>
// pxlib's header has no C++ linkage of its own.
extern "C" {
#include <paradox.h>
}

#include <cstring>

using namespace Qt::StringLiterals;

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

struct Decoded
{
    bool ok = false;
    QString value;
    QByteArray raw;
    qint64 pos = 0;
};

Decoded decode(const QByteArray &bytes, uint8_t type, uint8_t size, uint16_t codePage = 1251,
               const TFormatSettings &fs = TFormatSettings())
{
    QByteArray data = bytes;
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    Decoded d;
    d.value = u"old"_s;
    d.ok = ReadPdxField(buffer, TFullFldRec{type, size, u"f"_s}, codePage, d.value, fs, &d.raw);
    d.pos = buffer.pos();
    return d;
}

// pxlib, the independent writer of Paradox files, encodes the values the decoder must read back.
class PxEncoder
{
public:
    PxEncoder() : m_doc(PX_new()) {}
    ~PxEncoder() { PX_delete(m_doc); }
    QByteArray number(double v)
    {
        char b[8] = {};
        PX_put_data_double(m_doc, b, 8, v);
        return QByteArray(b, 8);
    }
    QByteArray longInt(int v)
    {
        char b[4] = {};
        PX_put_data_long(m_doc, b, 4, v);
        return QByteArray(b, 4);
    }
    QByteArray shortInt(short v)
    {
        char b[2] = {};
        PX_put_data_short(m_doc, b, 2, v);
        return QByteArray(b, 2);
    }
    // pxlib counts Paradox days from its serial day number 1721425, the day before 01.01.0001.
    QByteArray date(int y, int m, int d) { return longInt(int(PX_GregorianToSdn(y, m, d) - 1721425)); }

private:
    pxdoc_t *m_doc;
};

TEST(ReadPdxField, StoredBytesAsDocumented)
{
    const struct
    {
        const char *bytes;
        uint8_t type, size;
        QString value;
    } cases[] = {
        {"80000007", pxLong, 4, u"7"_s},
        {"7FFFFFF9", pxLong, 4, u"-7"_s},
        {"00000000", pxLong, 4, QString()},
        {"8000", pxShort, 2, u"0"_s},
        {"0000", pxShort, 2, QString()},
        {"800B2F48", pxDate, 4, u"20.11.2007"_s}, // day 733000
        {"00000000", pxDate, 4, QString()},
        {"BFC0000000000000", pxMoney, 8, u"0.12"_s}, // 0.125: 12.5 kopecks round to the even 12
        {"BFC4000000000000", pxMoney, 8, u"0.16"_s}, // 0.15625 rounds up
        {"0000000000000000", pxMoney, 8, QString()},
        {"0000000000000000", pxNumber, 8, QString()},
        {"C004000000000000", pxNumber, 8, u"2.5"_s},
        // Negative floating point values have every bit inverted: -1.25 is BFF4... inverted.
        {"400BFFFFFFFFFFFF", pxNumber, 8, u"-1.25"_s},
    };
    for (const auto &c : cases) {
        const Decoded d = decode(hex(c.bytes), c.type, c.size);
        EXPECT_TRUE(d.ok) << c.bytes;
        EXPECT_EQ(d.value, c.value) << c.bytes;
        EXPECT_EQ(d.pos, c.size) << c.bytes;
    }
}

TEST(ReadPdxField, ValuesWrittenByPxlibReadBack)
{
    PxEncoder px;
    TFormatSettings comma;
    comma.DecimalSeparator = u',';
    const struct
    {
        QByteArray bytes;
        uint8_t type;
        QString value;
        TFormatSettings fs = TFormatSettings();
    } cases[] = {
        {px.number(-1.25), pxNumber, u"-1.25"_s},
        {px.number(-0.001), pxNumber, u"-0.001"_s},
        {px.number(-123456.789), pxNumber, u"-123456.789"_s},
        {px.number(1e300), pxNumber, u"1E300"_s},
        {px.number(-2.5e-7), pxNumber, u"-2.5E-7"_s},
        {px.number(3.75), pxNumber, u"3,75"_s, comma},
        {px.number(-12.345), pxMoney, u"-12.34"_s}, // -1234.5 kopecks: halves to even
        {px.number(-12.346), pxMoney, u"-12.35"_s},
        {px.number(-0.125), pxMoney, u"-0.12"_s},
        {px.number(1999.99), pxMoney, u"1999.99"_s},
        {px.longInt(-2147483647), pxLong, u"-2147483647"_s},
        {px.longInt(2147483647), pxLong, u"2147483647"_s},
        {px.shortInt(-32767), pxShort, u"-32767"_s},
        {px.shortInt(32767), pxShort, u"32767"_s},
        {px.date(2007, 11, 20), pxDate, u"20.11.2007"_s},
        {px.date(1899, 12, 30), pxDate, u"30.12.1899"_s},
        {px.date(1899, 12, 29), pxDate, u"29.12.1899"_s},
        {px.date(1, 1, 1), pxDate, u"01.01.0001"_s},
        {px.date(2026, 12, 7), pxDate, u"07.12.2026"_s},
        {px.date(9999, 12, 31), pxDate, u"31.12.9999"_s},
        // Days outside the calendar are no date: the day number as the field holds it.
        {px.longInt(3652060), pxDate, u"3652060"_s},
        {px.longInt(0), pxDate, u"0"_s},
        {px.longInt(-5), pxDate, u"-5"_s},
    };
    for (const auto &c : cases) {
        const Decoded d = decode(c.bytes, c.type, uint8_t(c.bytes.size()), 1251, c.fs);
        EXPECT_TRUE(d.ok) << c.value.toStdString();
        EXPECT_EQ(d.value, c.value);
    }
}

TEST(ReadPdxField, AlphaToTheFirstZeroInItsCodePage)
{
    const QByteArray pet = toCp866(u"ПЕТ"_s) + QByteArray(7, '\0');
    const QByteArray full = toCp1251(u"Обнинск-12"_s);
    const struct
    {
        QByteArray bytes;
        uint16_t codePage;
        QString value;
    } cases[] = {
        {pet, 866, u"ПЕТ"_s},
        {pet, 1251, fromCp1251(toCp866(u"ПЕТ"_s))}, // another code page passes the bytes as they are
        {full, 1251, u"Обнинск-12"_s},              // no zero: the whole field
        {QByteArray("ab\0cd\0\0\0\0\0", 10), 1251, u"ab"_s},
        {QByteArray(10, '\0'), 866, QString()},
    };
    for (const auto &c : cases) {
        const Decoded d = decode(c.bytes, pxAlpha, uint8_t(c.bytes.size()), c.codePage);
        EXPECT_TRUE(d.ok);
        EXPECT_EQ(d.value, c.value);
        EXPECT_EQ(d.pos, c.bytes.size());
    }
    const Decoded d = decode(pet, pxAlpha, 10, 866);
    EXPECT_EQ(d.raw, toCp1251(u"ПЕТ"_s) + QByteArray(7, '\0'));
}

TEST(ReadPdxField, RawHoldsNumbersInNativeOrder)
{
    PxEncoder px;
    Decoded d = decode(px.number(-1.25), pxNumber, 8);
    double v = 0;
    ASSERT_EQ(d.raw.size(), 8);
    std::memcpy(&v, d.raw.constData(), 8);
    EXPECT_EQ(v, -1.25);
    d = decode(px.longInt(-7), pxLong, 4);
    qint32 l = 0;
    std::memcpy(&l, d.raw.constData(), 4);
    EXPECT_EQ(l, -7);
    // The empty field decodes as the documented seven zero bytes and 0x80.
    EXPECT_EQ(decode(QByteArray(8, '\0'), pxMoney, 8).raw, hex("0000000000000080"));
}

TEST(ReadPdxField, RefusesWhatItCannotDecodeWithoutReading)
{
    const struct
    {
        QByteArray bytes;
        uint8_t type, size;
        qint64 pos;
    } cases[] = {
        {hex("0102030405060708"), 9, 1, 0},      // logical
        {hex("0102030405060708"), 12, 8, 0},     // memo
        {hex("0102030405060708"), 0, 4, 0},      // no type
        {hex("0102030405060708"), pxLong, 2, 0}, // a damaged descriptor: long of two bytes
        {hex("0102030405060708"), pxNumber, 4, 0},
        {hex("8000"), pxLong, 4, 2}, // the file ends inside the field
        {hex("41424344"), pxAlpha, 10, 4},
    };
    for (const auto &c : cases) {
        const Decoded d = decode(c.bytes, c.type, c.size);
        EXPECT_FALSE(d.ok) << int(c.type) << " " << int(c.size);
        EXPECT_EQ(d.pos, c.pos) << int(c.type);
    }
}

TEST(ReadZStrFromHandle, NameEndsAtZeroLimitOrEndOfFile)
{
    const struct
    {
        QByteArray bytes;
        int maxLen;
        QString name;
        bool terminated;
        qint64 pos;
    } cases[] = {
        {QByteArray("N c/c\0Data\0", 11), -1, u"N c/c"_s, true, 6},
        {QByteArray("\0Data", 5), -1, QString(), true, 1},
        {QByteArray("Data\0", 5), 2, u"Da"_s, false, 2},
        {QByteArray("Data", 4), -1, u"Data"_s, false, 4},
        {toCp1251(u"Дата"_s) + '\0', -1, u"Дата"_s, true, 5},
        {QByteArray(), -1, QString(), false, 0},
    };
    for (const auto &c : cases) {
        QByteArray data = c.bytes;
        QBuffer buffer(&data);
        buffer.open(QIODevice::ReadOnly);
        QString name = u"old"_s;
        bool terminated = !c.terminated;
        EXPECT_TRUE(ReadZStrFromHandle(buffer, name, c.maxLen, &terminated));
        EXPECT_EQ(name, c.name);
        EXPECT_EQ(terminated, c.terminated);
        EXPECT_EQ(buffer.pos(), c.pos);
    }
}

} // namespace
