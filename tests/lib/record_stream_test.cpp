#include "fake_dataset.h"
#include "lib/record_stream.h"
#include "support/test_support.h"

#include <QBuffer>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// Blanks only group the bytes for the reader.
QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

QByteArray written(FakeDataSet &ds, bool expectOk = true)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    EXPECT_EQ(WriteRec2Stream(buffer, ds), expectOk);
    return buffer.data();
}

TEST(WriteStr2Stream, CountThenWindows1251Bytes)
{
    const std::pair<QString, QByteArray> cases[] = {
        {QString(), hex("00000000")},
        {u"ZIP"_s, hex("03000000") + "ZIP"},
        {u"Обн"_s, hex("03000000CEE1ED")},
    };
    for (const auto &[text, bytes] : cases) {
        QBuffer buffer;
        buffer.open(QIODevice::ReadWrite);
        EXPECT_TRUE(WriteStr2Stream(buffer, text));
        EXPECT_EQ(buffer.data(), bytes);
        buffer.seek(0);
        QString back = u"old"_s;
        EXPECT_TRUE(ReadStrStream(buffer, back));
        EXPECT_EQ(back, text);
        EXPECT_TRUE(buffer.atEnd());
    }
}

TEST(WriteStr2Stream, ShortWriteIsReported)
{
    // Room for the count only, and for nothing at all.
    for (const qint64 capacity : {4, 0}) {
        MessageRecorder messages;
        LimitedDevice device(capacity);
        EXPECT_FALSE(WriteStr2Stream(device, u"abc"_s));
        expectOneError(messages, u"WriteStr2Stream: данные не записаны в поток!"_s);
    }
}

TEST(ReadStrStream, DamagedStreamFailsCleanly)
{
    const std::pair<const char *, QByteArray> cases[] = {
        {"count cut short", hex("0300")},
        {"text cut short", hex("05000000") + "abc"},
        {"negative count", hex("FFFFFFFF") + "abc"},
        {"huge count", hex("FFFFFF7F") + "abc"},
        {"empty stream", QByteArray()},
    };
    for (const bool sequential : {false, true}) {
        for (const auto &[what, bytes] : cases) {
            MessageRecorder messages;
            LimitedDevice device(0, sequential, bytes);
            QString s = u"kept"_s;
            EXPECT_FALSE(ReadStrStream(device, s)) << what;
            EXPECT_EQ(s, u"kept"_s) << what;
            expectOneError(messages, u"ReadStrStream: данные не считаны из потока!"_s);
            // A sequential stream is read in chunks, never in one buffer of the claimed size.
            EXPECT_LE(device.largestRead(), 64 * 1024) << what;
        }
    }
}

TEST(ReadStrStream, SequentialStreamReadsLongTextInChunks)
{
    const QByteArray text(200000, 'x');
    QByteArray bytes = hex("400D0300") + text; // 200000
    LimitedDevice device(0, true, bytes);
    QString s;
    EXPECT_TRUE(ReadStrStream(device, s));
    EXPECT_EQ(s, QString::fromLatin1(text));
}

TEST(ReadStrStream, DeviceHandingOutFewBytesAtATime)
{
    // Two strings, then a count cut short; the device never gives more than three bytes per read.
    const QByteArray bytes = hex("05000000") + "abcde" + hex("00000000") + hex("0100");
    for (const bool sequential : {false, true}) {
        LimitedDevice device(0, sequential, bytes);
        device.setReadChunk(3);
        QString first, second, third = u"kept"_s;
        EXPECT_TRUE(ReadStrStream(device, first)) << sequential;
        EXPECT_EQ(first, u"abcde"_s);
        EXPECT_TRUE(ReadStrStream(device, second)) << sequential;
        EXPECT_EQ(second, QString());
        MessageRecorder messages;
        EXPECT_FALSE(ReadStrStream(device, third)) << sequential;
        EXPECT_EQ(third, u"kept"_s);
    }
}

TEST(WriteRec2Stream, GoldenBytes)
{
    // Flag byte (1 = NULL, nothing follows), then 4-byte integers, 8-byte LargeInt and IEEE doubles
    // little-endian, one byte for a Boolean, and text or bytes behind a 4-byte count.
    const std::tuple<FieldType, QVariant, QByteArray> cases[] = {
        {FieldType::Integer, QVariant(), hex("01")},
        {FieldType::Integer, 7, hex("00 07000000")},
        {FieldType::SmallInt, -2, hex("00 FEFFFFFF")},
        {FieldType::Word, 65535, hex("00 FFFF0000")},
        {FieldType::AutoInc, 17, hex("00 11000000")},
        {FieldType::Integer, -2147483647 - 1, hex("00 00000080")},
        {FieldType::LargeInt, qlonglong(0x0102030405060708), hex("00 0807060504030201")},
        {FieldType::Boolean, true, hex("00 01")},
        {FieldType::Boolean, false, hex("00 00")},
        {FieldType::DateTime, 1.5, hex("00 000000000000F83F")}, // 31.12.1899 12:00
        {FieldType::Date, 2.0, hex("00 0000000000000040")},
        {FieldType::Time, 0.75, hex("00 000000000000E83F")},
        {FieldType::Float, 3.25, hex("00 0000000000000A40")},
        {FieldType::Currency, -2.5, hex("00 00000000000004C0")},
        {FieldType::BCD, 0.125, hex("00 000000000000C03F")},
        {FieldType::String, QString(), hex("00 00000000")},
        {FieldType::String, u"Москва"_s, hex("00 06000000 CCEEF1EAE2E0")},
        {FieldType::FixedChar, u"AB "_s, hex("00 03000000 414220")},
        {FieldType::Memo, u"ёж\r\n"_s, hex("00 04000000 B8E60D0A")},
        {FieldType::Memo, QVariant(), hex("01")},
        {FieldType::Blob, QByteArray("\x00\xFF", 2), hex("00 02000000 00FF")},
        {FieldType::Blob, u"blob"_s, hex("00 04000000 626C6F62")},
        {FieldType::WideString, u"Я€"_s, hex("00 02000000 DF88")}};
    FakeDataSet all;
    QByteArray allBytes;
    for (const auto &[type, value, bytes] : cases) {
        FakeDataSet ds;
        ds.add(u"F"_s, type, value);
        EXPECT_EQ(written(ds).toHex(), bytes.toHex()) << FieldTypeName(type).toStdString();
        all.add(u"F"_s, type, value);
        allBytes += bytes;
    }
    // A record is its fields one after another; no fields, no bytes.
    EXPECT_EQ(written(all).toHex(), allBytes.toHex());
    FakeDataSet none;
    EXPECT_TRUE(written(none).isEmpty());
}

TEST(WriteRec2Stream, UnsupportedTypeStopsAtThatField)
{
    const std::pair<FieldType, const char *> cases[] = {
        {FieldType::Graphic, "Graphic"}, {FieldType::Unknown, "Unknown"}, {FieldType::Bytes, "Bytes"},
        {FieldType::FmtMemo, "FmtMemo"}, {FieldType::Cursor, "Cursor"},
    };
    for (const auto &[type, name] : cases) {
        MessageRecorder messages;
        FakeDataSet ds;
        ds.add(u"ID"_s, FieldType::Integer, 1);
        ds.add(u"PIC"_s, type, QByteArray("x"));
        ds.add(u"AFTER"_s, FieldType::Integer, 2);
        // What came before the rejected field stays written.
        EXPECT_EQ(written(ds, false), hex("00 01000000 00")) << name;
        expectOneError(messages, u"WriteRec2Stream: операция прервана.\rТип данных \""_s +
                                     QString::fromLatin1(name) + u"\" в таблице не поддерживается!"_s);
    }
}

TEST(WriteRec2Stream, ShortWritesFail)
{
    FakeDataSet ds;
    ds.add(u"A"_s, FieldType::Integer, 7);
    ds.add(u"S"_s, FieldType::String, u"abc"_s);
    const std::pair<qint64, int> cases[] = {
        {0, 0},  // the NULL byte itself
        {3, 0},  // the integer
        {5, 0},  // the second NULL byte
        {8, 1},  // the string's count
        {12, 1}, // the string's text
    };
    for (const auto &[capacity, shown] : cases) {
        MessageRecorder messages;
        LimitedDevice device(capacity);
        EXPECT_FALSE(WriteRec2Stream(device, ds)) << capacity;
        EXPECT_EQ(messages.count(), shown) << capacity;
    }
    LimitedDevice roomy(13);
    EXPECT_TRUE(WriteRec2Stream(roomy, ds));
}

TEST(copytablestruc, ColumnList)
{
    MessageRecorder messages;
    FakeDataSet ds;
    ds.add(u"ID"_s, FieldType::AutoInc);
    ds.add(u"NAME"_s, FieldType::String, {}, 20);
    ds.add(u"AMP"_s, FieldType::Float);
    QString columns = u"old"_s;
    EXPECT_TRUE(copytablestruc(ds, columns));
    EXPECT_EQ(columns, u"ID counter,NAME varchar(20),AMP float"_s);

    FakeDataSet all;
    const std::pair<FieldType, int> types[] = {
        {FieldType::WideString, 8}, {FieldType::FixedChar, 5}, {FieldType::SmallInt, 0}, {FieldType::Word, 0},
        {FieldType::Boolean, 0},    {FieldType::LargeInt, 0},  {FieldType::Currency, 0}, {FieldType::Date, 0},
        {FieldType::Time, 0},       {FieldType::DateTime, 0},  {FieldType::Blob, 0},     {FieldType::Memo, 0},
        {FieldType::Integer, 0}};
    for (const auto &[type, size] : types)
        all.add(u"c"_s + QString::number(all.FieldCount()), type, {}, size);
    EXPECT_TRUE(copytablestruc(all, columns));
    EXPECT_EQ(columns, QStringLiteral("c0 varchar(8),c1 char(5),c2 integer,c3 integer,c4 integer,c5 integer,"
                                      "c6 float,c7 date,c8 date,c9 date,c10 blob,c11 memo,c12 integer"));

    FakeDataSet none;
    EXPECT_TRUE(copytablestruc(none, columns));
    EXPECT_EQ(columns, QString());
    EXPECT_EQ(messages.count(), 0);
}

TEST(copytablestruc, BcdStopsTheList)
{
    MessageRecorder messages;
    FakeDataSet ds;
    ds.add(u"ID"_s, FieldType::AutoInc);
    ds.add(u"PRICE"_s, FieldType::BCD);
    ds.add(u"NAME"_s, FieldType::String, {}, 20);
    QString columns;
    EXPECT_FALSE(copytablestruc(ds, columns));
    EXPECT_EQ(columns, u"ID counter,PRICE"_s);
    expectOneError(messages,
                   u"copytablestruc: операция прервана.\rТип данных \"BCD\" в таблице не поддерживается!"_s);
}

} // namespace
