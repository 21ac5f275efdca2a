#include "exchange/orv/orv_file.h"

#include "lib/fake_dataset.h"
#include "lib/record_stream.h"
#include "support/test_support.h"

#include <QBuffer>

#include <gtest/gtest.h>

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}
QByteArray asc(const char *text)
{
    return QByteArray(text);
}
QByteArray zeros(int n)
{
    return QByteArray(n, '\0');
}

// The dumps below are written out byte by byte from the format: little-endian numbers, strings as a
// 32-bit count and windows-1251 bytes, doubles as IEEE 754.
//   39508.0 = 01.03.2008  00 00 00 00 80 4a e3 40      39538.0 = 31.03.2008  00 00 00 00 40 4e e3 40
//   39508.5 = 01.03.2008 12:00  00 00 00 00 90 4a e3 40   0.25 = 06:00  00 00 00 00 00 00 d0 3f
//   55.75  00 00 00 00 00 e0 4b 40    1204374896.5  00 00 20 5c 53 f2 d1 41
//   2^53+1  01 00 00 00 00 00 20 00   -5  fb ff ff ff
QByteArray originDump()
{
    return hex("03 31 2e 31") + zeros(4) + hex("06") + asc("origin") + zeros(121) // version, name
           + hex("05 00 00 00") + hex("02 00 00 00")                              // fields, records
           + hex("00 00 00 00 80 4a e3 40") + hex("00 00 00 00 40 4e e3 40")      // period
           + hex("02 00 00 00")                                                   // stations
           + hex("03 00 00 00") + asc("ABC") + hex("00 00 00 00 80 4a e3 40") +
           hex("00 00 00 00 90 4a e3 40") + hex("03 00 00 00") + asc("XYZ") + zeros(16)  // no arrivals: 0.0
           + hex("01 07 00 00 00") + asc("eventid") + hex("06 03 00 00 00") + asc("lat") // String, Float
           + hex("10 07 00 00 00") + asc("comment")                                      // Memo
           + hex("19 04 00 00 00") + asc("orid")                                         // LargeInt
           + hex("0b 06 00 00 00") +
           asc("lddate") // DateTime
           // record 1
           + hex("00 0e 00 00 00") + asc("20080301123456") + hex("00 00 00 00 00 00 e0 4b 40") +
           hex("00 18 00 00 00") +
           hex("c7 e5 ec eb e5 f2 f0 ff f1 e5 ed e8 e5 20 ed e0 20 c1 e0 e9 ea e0 eb e5") // Землетрясение на
                                                                                          // Байкале
           + hex("00 01 00 00 00 00 00 20 00") +
           hex("00 00 00 00 00 90 4a e3 40")
           // record 2: an empty string takes five bytes, a NULL one
           + hex("00 00 00 00 00") + hex("01 01 01 01");
}

QByteArray arrivalDump()
{
    return hex("03 31 2e 31") + zeros(4) + hex("07") + asc("arrival") + zeros(120) + hex("06 00 00 00") +
           hex("01 00 00 00") + hex("00 00 00 00 80 4a e3 40") + hex("00 00 00 00 40 4e e3 40") +
           hex("02 00 00 00") + hex("03 00 00 00") + asc("ABC") + hex("00 00 00 00 80 4a e3 40") +
           hex("00 00 00 00 90 4a e3 40") + hex("03 00 00 00") + asc("XYZ") + zeros(16) //
           + hex("01 07 00 00 00") + asc("eventid")                                     // String
           + hex("18 06 00 00 00") + asc("remark")                                      // WideString
           + hex("02 06 00 00 00") + asc("nindex")                                      // SmallInt
           + hex("06 05 00 00 00") + asc("itime")                                       // Float
           + hex("05 04 00 00 00") + asc("flag")                                        // Boolean
           + hex("0a 01 00 00 00") + asc("t")                                           // Time
           + hex("00 0e 00 00 00") + asc("20080301123456") + hex("00 06 00 00 00 c1 e0 e9 ea e0 eb") // Байкал
           + hex("00 fb ff ff ff") + hex("00 00 00 20 5c 53 f2 d1 41") + hex("00 01") +
           hex("00 00 00 00 00 00 00 d0 3f");
}

orxheader exportHeader(const QString &table, FakeDataSet &rows, int records)
{
    orxheader h;
    h.table = table;
    h.fieldCount = rows.FieldCount();
    h.recordCount = records;
    h.periodStart = 39508.0;
    h.periodEnd = 39538.0;
    h.stations = {{QStringLiteral("ABC"), 39508.0, 39508.5}, {QStringLiteral("XYZ"), 0, 0}};
    for (int i = 0; i < rows.FieldCount(); ++i) {
        h.fieldNames << rows.Field(i)->FieldName();
        h.fieldTypes.append(char(int(rows.Field(i)->DataType())));
    }
    return h;
}

struct Reader
{
    QByteArray bytes;
    QBuffer buffer{&bytes};
    orxheader header;
    explicit Reader(const QByteArray &b) : bytes(b) { buffer.open(QIODevice::ReadOnly); }
    OrvReadStatus open(OrvVersion version)
    {
        OrvReadStatus s = ReadOrvHeader(buffer, version, header);
        return s == OrvReadStatus::Ok ? ReadOrvFieldList(buffer, header) : s;
    }
};

OrvValueForms importForms()
{
    return {};
}
OrvValueForms viewForms()
{
    OrvValueForms f;
    f.viewOnly = true;
    return f;
}

} // namespace

TEST(OrvDump, WritesTheOriginAndArrivalDumpsByteForByte)
{
    MessageRecorder rec;
    FakeDataSet origin;
    FakeField &id =
        origin.add(QStringLiteral("eventid"), FieldType::String, QStringLiteral("20080301123456"));
    FakeField &lat = origin.add(QStringLiteral("lat"), FieldType::Float, 55.75);
    FakeField &comment =
        origin.add(QStringLiteral("comment"), FieldType::Memo, QStringLiteral("Землетрясение на Байкале"));
    FakeField &orid = origin.add(QStringLiteral("orid"), FieldType::LargeInt, qlonglong((1LL << 53) + 1));
    FakeField &lddate = origin.add(QStringLiteral("lddate"), FieldType::DateTime, 39508.5);

    QByteArray written;
    QBuffer out(&written);
    out.open(QIODevice::WriteOnly);
    ASSERT_TRUE(WriteOrvHeader(out, exportHeader(QStringLiteral("origin"), origin, 2)));
    ASSERT_TRUE(WriteRec2Stream(out, origin));
    id.SetValue(QString(""));
    for (FakeField *f : {&lat, &comment, &orid, &lddate})
        f->SetValue(QVariant());
    ASSERT_TRUE(WriteRec2Stream(out, origin));
    EXPECT_EQ(written.toHex(' '), originDump().toHex(' '));

    FakeDataSet arrival;
    arrival.add(QStringLiteral("eventid"), FieldType::String, QStringLiteral("20080301123456"));
    arrival.add(QStringLiteral("remark"), FieldType::WideString, QStringLiteral("Байкал"));
    arrival.add(QStringLiteral("nindex"), FieldType::SmallInt, qlonglong(-5));
    arrival.add(QStringLiteral("itime"), FieldType::Float, 1204374896.5);
    arrival.add(QStringLiteral("flag"), FieldType::Boolean, true);
    arrival.add(QStringLiteral("t"), FieldType::Time, 0.25);
    QByteArray arrivals;
    QBuffer out2(&arrivals);
    out2.open(QIODevice::WriteOnly);
    ASSERT_TRUE(WriteOrvHeader(out2, exportHeader(QStringLiteral("arrival"), arrival, 1)));
    ASSERT_TRUE(WriteRec2Stream(out2, arrival));
    EXPECT_EQ(arrivals.toHex(' '), arrivalDump().toHex(' '));
    EXPECT_EQ(rec.count(), 0);
}

TEST(OrvDump, ReadsTheDumpsBackAsTextsAndLiterals)
{
    MessageRecorder rec;
    {
        Reader r(originDump());
        EXPECT_EQ(int(DetectOrvVersion(r.buffer)), int(OrvVersion::V11));
        EXPECT_EQ(r.buffer.pos(), 0);
        ASSERT_EQ(int(r.open(OrvVersion::V11)), int(OrvReadStatus::Ok));
        const orxheader &h = r.header;
        EXPECT_EQ(h.version, QStringLiteral("1.1"));
        EXPECT_EQ(h.table, QStringLiteral("origin"));
        EXPECT_EQ(h.fieldCount, 5);
        EXPECT_EQ(h.recordCount, 2);
        EXPECT_EQ(h.periodStart, 39508.0);
        EXPECT_EQ(h.periodEnd, 39538.0);
        ASSERT_EQ(h.stations.size(), 2);
        EXPECT_EQ(h.stations[0].code, QStringLiteral("ABC"));
        EXPECT_EQ(h.stations[0].end, 39508.5);
        EXPECT_EQ(h.stations[1].start, 0.0);
        EXPECT_EQ(h.fieldNames, (QStringList{"eventid", "lat", "comment", "orid", "lddate"}));
        EXPECT_EQ(h.fieldTypes, hex("01 06 10 19 0b"));

        ASSERT_EQ(int(ReadOrvRecord(r.buffer, r.header, importForms())), int(OrvReadStatus::Ok));
        EXPECT_EQ(h.literals, (QStringList{"'20080301123456'", "55.75", "'Землетрясение на Байкале'",
                                           "9007199254740993", "{ts '2008-03-01 12:00:00'}"}));
        EXPECT_EQ(h.nulls, (QList<bool>{false, false, false, false, false}));
        ASSERT_EQ(int(ReadOrvRecord(r.buffer, r.header, importForms())), int(OrvReadStatus::Ok));
        EXPECT_EQ(h.literals, (QStringList{"''", "", "", "", ""}));
        EXPECT_EQ(h.nulls, (QList<bool>{false, true, true, true, true}));
        EXPECT_EQ(int(ReadOrvRecord(r.buffer, r.header, importForms())), int(OrvReadStatus::End));
    }
    {
        Reader r(arrivalDump());
        ASSERT_EQ(int(r.open(OrvVersion::V11)), int(OrvReadStatus::Ok));
        ASSERT_EQ(int(ReadOrvRecord(r.buffer, r.header, viewForms())), int(OrvReadStatus::Ok));
        EXPECT_EQ(r.header.texts,
                  (QStringList{"20080301123456", "Байкал", "-5", "1204374896.5", "1", "06:00:00"}));
        EXPECT_EQ(r.header.literals,
                  (QStringList{"'20080301123456'", "'Байкал'", "-5", "1204374896.5", "1", "{t '06:00:00'}"}));
    }
    {
        // The view shows a date-time as the user's date and time.
        Reader r(originDump());
        ASSERT_EQ(int(r.open(OrvVersion::V11)), int(OrvReadStatus::Ok));
        ASSERT_EQ(int(ReadOrvRecord(r.buffer, r.header, viewForms())), int(OrvReadStatus::Ok));
        EXPECT_EQ(r.header.texts[4], QStringLiteral("01.03.2008 12:00:00"));
        EXPECT_EQ(r.header.texts[2], QStringLiteral("Землетрясение на Байкале"));
    }
    EXPECT_EQ(rec.count(), 0);
}

// The import binds values and asks for a literal only for a failure's message: the same literals come
// from the values, dates from their day serials, and the date-time bound has the calendar parts as written.
TEST(OrvDump, ImportReadsValuesAndMakesLiteralsOnDemand)
{
    MessageRecorder rec;
    OrvValueForms values;
    values.valuesOnly = true;
    const auto literals = [](const orxheader &h) {
        QStringList out;
        for (int i = 0; i < h.fieldCount; ++i)
            out << OrvFieldText(h, i, true);
        return out;
    };
    Reader origin(originDump());
    ASSERT_EQ(int(origin.open(OrvVersion::V11)), int(OrvReadStatus::Ok));
    ASSERT_EQ(int(ReadOrvRecord(origin.buffer, origin.header, values)), int(OrvReadStatus::Ok));
    EXPECT_EQ(literals(origin.header), (QStringList{"'20080301123456'", "55.75", "'Землетрясение на Байкале'",
                                                    "9007199254740993", "{ts '2008-03-01 12:00:00'}"}));
    EXPECT_EQ(OrvFieldText(origin.header, 0, false), QStringLiteral("20080301123456"));
    EXPECT_EQ(origin.header.values[4].toDateTime(), QDateTime(QDate(2008, 3, 1), QTime(12, 0), Qt::UTC));
    EXPECT_EQ(origin.header.literals, QStringList(5));
    ASSERT_EQ(int(ReadOrvRecord(origin.buffer, origin.header, values)), int(OrvReadStatus::Ok));
    EXPECT_EQ(literals(origin.header), (QStringList{"''", "", "", "", ""}));

    Reader arrival(arrivalDump());
    ASSERT_EQ(int(arrival.open(OrvVersion::V11)), int(OrvReadStatus::Ok));
    ASSERT_EQ(int(ReadOrvRecord(arrival.buffer, arrival.header, values)), int(OrvReadStatus::Ok));
    EXPECT_EQ(literals(arrival.header),
              (QStringList{"'20080301123456'", "'Байкал'", "-5", "1204374896.5", "1", "{t '06:00:00'}"}));
    EXPECT_EQ(rec.count(), 0);
}

TEST(OrvDump, ReadsTheOldVersion)
{
    MessageRecorder rec;
    const QByteArray dump = hex("03") + asc("ZIP") + hex("01 02 03 04") + hex("07") + asc("ARRIVAL") +
                            zeros(120) + hex("02 00 00 00 01 00 00 00") + hex("03") + asc("ABC") + zeros(4) +
                            hex("00 00 00 00 80 4a e3 40") + hex("00 00 00 00 40 4e e3 40") //
                            + hex("01 07 00 00 00") + asc("eventid") + hex("03 04 00 00 00") + asc("numb") +
                            hex("00 02 00 00 00") + asc("E1") + hex("00 07 00 00 00");
    ASSERT_EQ(dump.size(), OrvHeaderSize10 + 12 + 9 + 7 + 5);
    Reader r(dump);
    EXPECT_EQ(int(DetectOrvVersion(r.buffer)), int(OrvVersion::V10));
    ASSERT_EQ(int(r.open(OrvVersion::V10)), int(OrvReadStatus::Ok));
    EXPECT_EQ(r.header.table, QStringLiteral("arrival"));
    EXPECT_EQ(r.header.stationCode, QStringLiteral("ABC"));
    EXPECT_TRUE(r.header.stations.isEmpty());
    EXPECT_EQ(r.header.periodStart, 39508.0);
    EXPECT_EQ(r.header.periodEnd, 39538.0);
    ASSERT_EQ(int(ReadOrvRecord(r.buffer, r.header, importForms())), int(OrvReadStatus::Ok));
    EXPECT_EQ(r.header.literals, (QStringList{"'E1'", "7"}));
    EXPECT_EQ(int(ReadOrvRecord(r.buffer, r.header, importForms())), int(OrvReadStatus::End));
    EXPECT_EQ(rec.count(), 0);
}

TEST(OrvDump, EmptyTableAndLongName)
{
    MessageRecorder rec;
    FakeDataSet none;
    none.add(QStringLiteral("eventid"), FieldType::String);
    orxheader h = exportHeader(QString(200, QLatin1Char('t')), none, 0);
    h.stations.clear();
    QByteArray written;
    QBuffer out(&written);
    out.open(QIODevice::WriteOnly);
    ASSERT_TRUE(WriteOrvHeader(out, h));
    EXPECT_EQ(written.size(), OrvHeaderSize11 + 1 + 4 + 7);
    EXPECT_EQ(quint8(written[8]), 127);
    Reader r(written);
    ASSERT_EQ(int(r.open(OrvVersion::V11)), int(OrvReadStatus::Ok));
    EXPECT_EQ(r.header.table, QString(127, QLatin1Char('t')));
    EXPECT_EQ(int(ReadOrvRecord(r.buffer, r.header, importForms())), int(OrvReadStatus::End));
}

// Mended: counts, flags and values of a damaged dump are checked before they are used.
TEST(OrvDump, DamagedDumpsAreRefusedWithoutReadingPastThem)
{
    const QByteArray good = arrivalDump();
    const int recordsAt = int(good.indexOf(hex("00 0e 00 00 00") + asc("2008")));
    ASSERT_GT(recordsAt, OrvHeaderSize11);
    const auto patched = [&good](int at, const QByteArray &bytes) {
        QByteArray b = good;
        b.replace(at, bytes.size(), bytes);
        return b;
    };
    using S = OrvReadStatus;
    struct Case
    {
        const char *name;
        QByteArray bytes;
        S open;   // of header and field list
        S record; // of the first record, when the header opened
        int messages;
        const char *type = "\"Bytes\""; // as the message of an unsupported type names it
    };
    const Case cases[] = {
        {"cut header", good.left(100), S::Short, S::Ok, 0},
        {"cut station", good.left(OrvHeaderSize11 + 5), S::Damaged, S::Ok, 0},
        {"station count", patched(160, hex("ff ff ff 7f")), S::Damaged, S::Ok, 0},
        {"negative stations", patched(160, hex("ff ff ff ff")), S::Damaged, S::Ok, 0},
        {"field count", patched(136, hex("00 00 00 10")), S::Damaged, S::Ok, 0},
        {"record count", patched(140, hex("00 00 01 00")), S::Damaged, S::Ok, 0},
        {"long table name", patched(8, hex("ff")), S::Damaged, S::Ok, 0},
        {"period NaN", patched(144, hex("00 00 00 00 00 00 f0 7f")), S::Damaged, S::Ok, 0},
        {"code count", patched(OrvHeaderSize11, hex("ff ff ff 00")), S::ShortText, S::Ok, 1},
        {"cut record", good.left(good.size() - 3), S::Ok, S::Short, 0},
        {"string count", patched(recordsAt + 1, hex("ff ff ff 7f")), S::Ok, S::ShortText, 1},
        {"null flag 7", patched(recordsAt, hex("07")), S::Ok, S::Damaged, 0},
        {"type code", patched(int(good.indexOf(asc("itime"))) - 5, hex("0c")), S::Ok, S::Unsupported, 1},
        // Mended: a code past the type names was named as "".
        {"type code without a name", patched(int(good.indexOf(asc("itime"))) - 5, hex("c8")), S::Ok,
         S::Unsupported, 1, "с кодом 200"},
        {"value NaN", patched(int(good.size()) - 19, hex("00 00 00 00 00 00 f8 7f")), S::Ok, S::Damaged, 0},
        // A NUL would cut the statement the text goes into.
        {"NUL in a station code", patched(OrvHeaderSize11 + 5, hex("00")), S::NulText, S::Ok, 0},
        {"NUL in a text", patched(recordsAt + 8, hex("00")), S::Ok, S::NulText, 0},
    };
    for (const Case &c : cases) {
        MessageRecorder rec;
        Reader r(c.bytes);
        const OrvReadStatus open = r.open(OrvVersion::V11);
        EXPECT_EQ(int(open), int(c.open)) << c.name;
        if (open == S::Ok) {
            EXPECT_EQ(int(ReadOrvRecord(r.buffer, r.header, importForms())), int(c.record)) << c.name;
        }
        EXPECT_EQ(rec.count(), c.messages) << c.name;
        // The unsupported type is named as the system names it, or by its code.
        if (c.record == S::Unsupported) {
            EXPECT_EQ(rec.last().text, QStringLiteral("ReadSQLStream: операция прервана.\rТип данных ") +
                                           QString::fromUtf8(c.type) +
                                           QStringLiteral(" в таблице не поддерживается!"))
                << c.name;
        }
    }
}

TEST(OrvSystem, SplitsTableNames)
{
    const std::pair<const char *, QStringList> cases[] = {
        {"origin arrival", {"origin", "arrival"}},
        {"  ORIGIN    Arrival ", {"origin", "arrival"}},
        {"\"origin\" \"arrival\"", {"origin", "arrival"}},
        {"", {}},
    };
    for (const auto &[text, tables] : cases)
        EXPECT_EQ(SplitOrvSystem(QString::fromUtf8(text)), tables) << text;
}

// A view table is bounded by the view's share before a value is read, whatever the file's counts: a cell
// costs its 8-byte word, and a column the chunks its words take.
TEST(OrvDump, ViewTablesWithinTheShare)
{
    constexpr qint64 MiB = qint64(1) << 20;
    const std::tuple<qint64, qint64, bool> cases[] = {
        {36, 421489, true},          // a network's year of arrivals: 132 MiB
        {1000, 16000, true},         // 16,368 words a column: 131 MiB
        {1000, 33554, false},        // 65,520 words a column: 524 MiB
        {1, qint64(1) << 24, true},  // 16,842,896 words: 129 MiB
        {2, qint64(1) << 24, false}, // twice that
        {0, 1, true},
        {1, qint64(INT_MAX), false}, // no table has as many rows
        {1 << 30, 1 << 30, false},   // a product no 64 bits would hold
    };
    for (const auto &[fields, rows, fits] : cases) {
        OrvViewBudget budget(445 * 1024, 36 * MiB);
        EXPECT_EQ(budget.takeCells(fields, rows), fits) << fields << " x " << rows;
        if (!fits) {
            EXPECT_EQ(budget.spent(), 0) << fields << " x " << rows;
        }
    }
    // Rows past the count the file stated cost what their columns then allocate: the row that opens a
    // new chunk of 32,768 words in each of 1,000 columns passes the share.
    OrvViewBudget budget(445 * 1024, 36 * MiB);
    ASSERT_TRUE(budget.takeCells(1000, 20000)); // 32,752 words a column: 250 MiB
    EXPECT_TRUE(budget.growTable(1000, 20000, 32752));
    EXPECT_FALSE(budget.growTable(1000, 32752, 32753));
}

// The view's share of memory by the sizes of the archive and of what it unpacked, in MiB; and what a
// table of it may take: its cells before a value is read, then the texts set into them.
TEST(OrvViewBudget, TheShareOfTheArchiveAndOfWhatItUnpacked)
{
    constexpr qint64 MiB = qint64(1) << 20;
    const struct
    {
        qint64 archive, unpacked, limitMiB;
    } shares[] = {
        {445 * 1024, 36 * MiB, 256},    // small archive: a flat share, whatever it unpacks
        {2 * MiB, 200 * MiB, 256},      // still small
        {2 * MiB + 1, 2 * MiB + 1, 80}, // past 2 MiB: 8 times the larger and 64 MiB
        {11 * MiB, 60 * MiB, 544},      {11 * MiB, 200 * MiB, 1024}, // never more than 1 GiB
    };
    for (const auto &s : shares)
        EXPECT_EQ(OrvViewBudget(s.archive, s.unpacked).limit() / MiB, s.limitMiB)
            << s.archive << " " << s.unpacked;

    OrvViewBudget budget(445 * 1024, 36 * MiB);
    // 33.5 million cells would take more than the share before a value is read: nothing is spent.
    EXPECT_FALSE(budget.takeCells(1000, 33554));
    EXPECT_EQ(budget.spent(), 0);
    EXPECT_EQ(
        budget.refusal(1000, 33554),
        QStringLiteral("данные файла заняли бы в памяти больше предела в 256 МиБ (таблица 1000 столбцов "
                       "x 33554 строк)"));
    // A table that fits, then texts until the share is passed.
    ASSERT_TRUE(budget.takeCells(4, 1000));
    const qint64 cells = budget.spent();
    EXPECT_GT(cells, 4 * 1000 * 8 - 1);
    EXPECT_TRUE(budget.takeTexts({QString(), QString()}));
    EXPECT_EQ(budget.spent(), cells); // empty texts cost only their cells
    const QStringList row{QString(1000, u'я'), QStringLiteral("20261110_00001")};
    int rows = 0;
    while (budget.takeTexts(row))
        ++rows;
    // Each row costs at least its characters, two bytes each.
    EXPECT_GT(rows, 0);
    EXPECT_LT(qint64(rows) * 2 * 1014, 256 * MiB);
    EXPECT_GT(budget.spent(), budget.limit());
}
