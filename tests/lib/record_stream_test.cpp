#include "support/test_support.h"
#include "fake_dataset.h"
#include "lib/record_stream.h"

#include <QBuffer>
#include <QtEndian>

#include <gtest/gtest.h>

#include <cstring>

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
    const struct
    {
        QString text;
        QByteArray bytes;
    } cases[] = {
        {QString(), hex("00000000")},
        {QStringLiteral("ZIP"), hex("03000000") + "ZIP"},
        {QStringLiteral("Обн"), hex("03000000CEE1ED")},
    };
    for (const auto &c : cases) {
        QBuffer buffer;
        buffer.open(QIODevice::ReadWrite);
        EXPECT_TRUE(WriteStr2Stream(buffer, c.text));
        EXPECT_EQ(buffer.data(), c.bytes);
        buffer.seek(0);
        QString back = QStringLiteral("old");
        EXPECT_TRUE(ReadStrStream(buffer, back));
        EXPECT_EQ(back, c.text);
        EXPECT_TRUE(buffer.atEnd());
    }
}

TEST(WriteStr2Stream, ShortWriteIsReported)
{
    // Room for the count only, and for nothing at all.
    for (const qint64 capacity : {4, 0}) {
        MessageRecorder messages;
        LimitedDevice device(capacity);
        EXPECT_FALSE(WriteStr2Stream(device, QStringLiteral("abc")));
        ASSERT_EQ(messages.count(), 1);
        EXPECT_EQ(messages.last().text, QStringLiteral("WriteStr2Stream: данные не записаны в поток!"));
        EXPECT_EQ(messages.last().icon, 16u);
        EXPECT_FALSE(messages.last().error);
    }
}

TEST(ReadStrStream, DamagedStreamFailsCleanly)
{
    const struct
    {
        const char *what;
        QByteArray bytes;
    } cases[] = {
        {"count cut short", hex("0300")},
        {"text cut short", hex("05000000") + "abc"},
        {"negative count", hex("FFFFFFFF") + "abc"},
        {"huge count", hex("FFFFFF7F") + "abc"},
        {"empty stream", QByteArray()},
    };
    for (const bool sequential : {false, true}) {
        for (const auto &c : cases) {
            MessageRecorder messages;
            LimitedDevice device(0, sequential, c.bytes);
            QString s = QStringLiteral("kept");
            EXPECT_FALSE(ReadStrStream(device, s)) << c.what;
            EXPECT_EQ(s, QStringLiteral("kept")) << c.what;
            ASSERT_EQ(messages.count(), 1) << c.what;
            EXPECT_EQ(messages.last().text, QStringLiteral("ReadStrStream: данные не считаны из потока!"));
            EXPECT_EQ(messages.last().icon, 16u);
            // A sequential stream is read in chunks, never in one buffer of the claimed size.
            EXPECT_LE(device.largestRead(), 64 * 1024) << c.what;
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

TEST(WriteRec2Stream, GoldenBytes)
{
    const struct
    {
        const char *what;
        QList<FakeField> fields;
        QByteArray bytes;
    } cases[] = {
        {"NULL integer then 7",
         {FakeField(QStringLiteral("A"), FieldType::Integer),
          FakeField(QStringLiteral("B"), FieldType::Integer, 7)},
         hex("01 0007000000")},
        {"Boolean true", {FakeField(QStringLiteral("F"), FieldType::Boolean, true)}, hex("0001")},
        {"date-time 31.12.1899 12:00",
         {FakeField(QStringLiteral("T"), FieldType::DateTime, 1.5)},
         hex("00 000000000000F83F")},
        {"empty string", {FakeField(QStringLiteral("S"), FieldType::String, QString())}, hex("00 00000000")},
        {"negative small integer",
         {FakeField(QStringLiteral("N"), FieldType::SmallInt, -2)},
         hex("00FEFFFFFF")},
        {"large integer",
         {FakeField(QStringLiteral("L"), FieldType::LargeInt, qlonglong(0x0102030405060708))},
         hex("00 0807060504030201")},
        {"currency -2.5",
         {FakeField(QStringLiteral("C"), FieldType::Currency, -2.5)},
         hex("00 00000000000004C0")},
        {"blob bytes unchanged",
         {FakeField(QStringLiteral("B"), FieldType::Blob, QByteArray("\x00\xFF", 2))},
         hex("00 02000000 00FF")},
        {"wide string to windows-1251",
         {FakeField(QStringLiteral("W"), FieldType::WideString, QStringLiteral("Я€"))},
         hex("00 02000000 DF88")},
    };
    for (const auto &c : cases) {
        FakeDataSet ds;
        for (const FakeField &f : c.fields)
            ds.add(f.FieldName(), f.DataType(), f.Value(), f.Size());
        EXPECT_EQ(written(ds).toHex(), c.bytes.toHex()) << c.what;
    }
}

TEST(WriteRec2Stream, NoFieldsWritesNothing)
{
    FakeDataSet ds;
    EXPECT_TRUE(written(ds).isEmpty());
}

// Reads back what the ORV reader would: flag byte, then the value by type.
template <typename T> T readLittleEndian(QBuffer &in)
{
    const QByteArray b = in.read(sizeof(T));
    EXPECT_EQ(b.size(), qsizetype(sizeof(T)));
    T v{};
    if (b.size() == qsizetype(sizeof(T)))
        v = qFromLittleEndian<T>(b.constData());
    return v;
}

double readDouble(QBuffer &in)
{
    const quint64 bits = readLittleEndian<quint64>(in);
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

TEST(WriteRec2Stream, EverySupportedTypeReadsBack)
{
    FakeDataSet ds;
    ds.add(QStringLiteral("s"), FieldType::String, QStringLiteral("Москва"), 20);
    ds.add(QStringLiteral("si"), FieldType::SmallInt, -300);
    ds.add(QStringLiteral("i"), FieldType::Integer, -2147483647 - 1);
    ds.add(QStringLiteral("w"), FieldType::Word, 65535);
    ds.add(QStringLiteral("b"), FieldType::Boolean, false);
    ds.add(QStringLiteral("f"), FieldType::Float, 3.25);
    ds.add(QStringLiteral("c"), FieldType::Currency, 12.5);
    ds.add(QStringLiteral("bcd"), FieldType::BCD, 0.125);
    ds.add(QStringLiteral("d"), FieldType::Date, 45000.0);
    ds.add(QStringLiteral("t"), FieldType::Time, 0.75);
    ds.add(QStringLiteral("dt"), FieldType::DateTime, 45000.25);
    ds.add(QStringLiteral("ai"), FieldType::AutoInc, 17);
    ds.add(QStringLiteral("bl"), FieldType::Blob, QStringLiteral("blob text"));
    ds.add(QStringLiteral("m"), FieldType::Memo, QStringLiteral("строка\r\nещё"));
    ds.add(QStringLiteral("fc"), FieldType::FixedChar, QStringLiteral("AB "), 3);
    ds.add(QStringLiteral("ws"), FieldType::WideString, QStringLiteral("Ёж"));
    ds.add(QStringLiteral("li"), FieldType::LargeInt, qlonglong(-5000000000LL));
    ds.add(QStringLiteral("nul"), FieldType::Memo);

    QBuffer in;
    in.setData(written(ds));
    in.open(QIODevice::ReadOnly);
    auto flag = [&] { return in.read(1); };
    auto text = [&] {
        QString s;
        EXPECT_TRUE(ReadStrStream(in, s));
        return s;
    };
    const QByteArray zero(1, '\0');
    EXPECT_EQ(flag(), zero);
    EXPECT_EQ(text(), QStringLiteral("Москва"));
    for (const qint32 expected : {-300, -2147483647 - 1, 65535}) {
        EXPECT_EQ(flag(), zero);
        EXPECT_EQ(readLittleEndian<qint32>(in), expected);
    }
    EXPECT_EQ(flag(), zero);
    EXPECT_EQ(in.read(1), zero);
    for (const double expected : {3.25, 12.5, 0.125, 45000.0, 0.75, 45000.25}) {
        EXPECT_EQ(flag(), zero);
        EXPECT_EQ(readDouble(in), expected);
    }
    EXPECT_EQ(flag(), zero);
    EXPECT_EQ(readLittleEndian<qint32>(in), 17);
    for (const QString &expected : {QStringLiteral("blob text"), QStringLiteral("строка\r\nещё"),
                                    QStringLiteral("AB "), QStringLiteral("Ёж")}) {
        EXPECT_EQ(flag(), zero);
        EXPECT_EQ(text(), expected);
    }
    EXPECT_EQ(flag(), zero);
    EXPECT_EQ(readLittleEndian<qint64>(in), -5000000000LL);
    EXPECT_EQ(flag(), QByteArray(1, '\1'));
    EXPECT_TRUE(in.atEnd());
}

TEST(WriteRec2Stream, UnsupportedTypeStopsAtThatField)
{
    const struct
    {
        FieldType type;
        const char *name;
    } cases[] = {
        {FieldType::Graphic, "Graphic"}, {FieldType::Unknown, "Unknown"}, {FieldType::Bytes, "Bytes"},
        {FieldType::FmtMemo, "FmtMemo"}, {FieldType::Cursor, "Cursor"},
    };
    for (const auto &c : cases) {
        MessageRecorder messages;
        FakeDataSet ds;
        ds.add(QStringLiteral("ID"), FieldType::Integer, 1);
        ds.add(QStringLiteral("PIC"), c.type, QByteArray("x"));
        ds.add(QStringLiteral("AFTER"), FieldType::Integer, 2);
        // What came before the rejected field stays written.
        EXPECT_EQ(written(ds, false), hex("00 01000000 00")) << c.name;
        ASSERT_EQ(messages.count(), 1);
        EXPECT_EQ(messages.last().text, QStringLiteral("WriteRec2Stream: операция прервана.\rТип данных \"") +
                                            QString::fromLatin1(c.name) +
                                            QStringLiteral("\" в таблице не поддерживается!"));
        EXPECT_EQ(messages.last().icon, 16u);
    }
}

TEST(WriteRec2Stream, ShortWritesFail)
{
    FakeDataSet ds;
    ds.add(QStringLiteral("A"), FieldType::Integer, 7);
    ds.add(QStringLiteral("S"), FieldType::String, QStringLiteral("abc"));
    const struct
    {
        qint64 capacity;
        int messages; // only a string write speaks
    } cases[] = {
        {0, 0},  // the NULL byte itself
        {3, 0},  // the integer
        {5, 0},  // the second NULL byte
        {8, 1},  // the string's count
        {12, 1}, // the string's text
    };
    for (const auto &c : cases) {
        MessageRecorder messages;
        LimitedDevice device(c.capacity);
        EXPECT_FALSE(WriteRec2Stream(device, ds)) << c.capacity;
        EXPECT_EQ(messages.count(), c.messages) << c.capacity;
    }
    LimitedDevice roomy(13);
    EXPECT_TRUE(WriteRec2Stream(roomy, ds));
}

TEST(copytablestruc, ColumnList)
{
    MessageRecorder messages;
    FakeDataSet ds;
    ds.add(QStringLiteral("ID"), FieldType::AutoInc);
    ds.add(QStringLiteral("NAME"), FieldType::String, {}, 20);
    ds.add(QStringLiteral("AMP"), FieldType::Float);
    QString columns = QStringLiteral("old");
    EXPECT_TRUE(copytablestruc(ds, columns));
    EXPECT_EQ(columns, QStringLiteral("ID counter,NAME varchar(20),AMP float"));

    FakeDataSet all;
    const struct
    {
        FieldType type;
        int size;
    } types[] = {{FieldType::WideString, 8}, {FieldType::FixedChar, 5}, {FieldType::SmallInt, 0},
                 {FieldType::Word, 0},       {FieldType::Boolean, 0},   {FieldType::LargeInt, 0},
                 {FieldType::Currency, 0},   {FieldType::Date, 0},      {FieldType::Time, 0},
                 {FieldType::DateTime, 0},   {FieldType::Blob, 0},      {FieldType::Memo, 0},
                 {FieldType::Integer, 0}};
    for (const auto &t : types)
        all.add(QStringLiteral("c") + QString::number(all.FieldCount()), t.type, {}, t.size);
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
    ds.add(QStringLiteral("ID"), FieldType::AutoInc);
    ds.add(QStringLiteral("PRICE"), FieldType::BCD);
    ds.add(QStringLiteral("NAME"), FieldType::String, {}, 20);
    QString columns;
    EXPECT_FALSE(copytablestruc(ds, columns));
    EXPECT_EQ(columns, QStringLiteral("ID counter,PRICE"));
    ASSERT_EQ(messages.count(), 1);
    EXPECT_EQ(messages.last().text,
              QStringLiteral(
                  "copytablestruc: операция прервана.\rТип данных \"BCD\" в таблице не поддерживается!"));
    EXPECT_EQ(messages.last().icon, 16u);
}

} // namespace
