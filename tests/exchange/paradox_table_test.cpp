#include "exchange/paradox/paradox_table.h"
#include "exchange/paradox_fixture.h"
#include "exchange_test_env.h"
#include "lib/codec.h"
#include "support/test_support.h"

#include <QBuffer>
#include <QDate>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

const QList<PxColumn> kJournal = {
    {"N c/c", pxfLong, 4}, {"N event", pxfShort, 2}, {"Data", pxfDate, 4},    {"Faza", pxfAlpha, 8},
    {"Sek", pxfNumber, 8}, {"Amp", pxfCurrency, 8},  {"Notes", pxfAlpha, 20},
};

const QList<PxRow> kRows = {
    pxRow(kJournal, "1|15|20.11.2007|+eP|12.96|1.25|Камчатка, к-с"),
    pxRow(kJournal, "2|||iS|-0.5|-12.346"),
    pxRow(kJournal, "3|16|15.06.1850||||ПЕТ"),
    pxRow(kJournal, "-7|-32767|01.01.0001|LRM|-1.25e-7|-0.125"),
};

// The rows above as the reader must give them, worked out by hand: dates dd.mm.yyyy, money to
// kopecks halves to even, NULL as empty text.
const QStringList kExpected = {
    "N c/c|N event|Data|Faza|Sek|Amp|Notes",
    "1|15|20.11.2007|+eP|12.96|1.25|Камчатка, к-с",
    "2|||iS|-0.5|-12.35|",
    "3|16|15.06.1850||||ПЕТ",
    "-7|-32767|01.01.0001|LRM|-1.25E-7|-0.12|",
};

struct Read
{
    ParadoxResult result;
    TD2D table;
    ImportStats stats;
};

std::unique_ptr<Read> read(QByteArray bytes, int provider = ParadoxBuiltIn)
{
    auto r = std::make_unique<Read>();
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    r->result = ReadParadoxTable(buffer, r->table, TFormatSettings(), r->stats, provider);
    return r;
}

class ParadoxTable : public ::testing::Test
{
protected:
    QByteArray journal(int codePage = 866, const QList<PxRow> &rows = kRows)
    {
        const QByteArray t = writePxTable(dir.file(u"j.db"_s), kJournal, rows, codePage);
        EXPECT_FALSE(t.isEmpty());
        return t;
    }
    // Data block b (from 1) of a table.
    static qsizetype block(const QByteArray &t, int b)
    {
        return pxHeaderSize(t) + (b - 1) * uchar(t[5]) * 1024;
    }
    TestDir dir;
};

TEST_F(ParadoxTable, PxlibTableReadsBackToTheValuesWritten)
{
    const auto r = read(journal());
    ASSERT_EQ(r->result.status, ParadoxStatus::Complete) << r->result.detail.toStdString();
    EXPECT_EQ(r->result.version, 12);
    EXPECT_EQ(r->result.codePage, 866);
    EXPECT_EQ(tableRows(r->table, true), kExpected);
    // Event numbers 15, 16, -32767: the last step breaks the numbering.
    EXPECT_EQ(r->stats.FirstNum, -2);
    EXPECT_EQ(r->stats.CurNum, -32767);
    EXPECT_EQ(r->stats.FirstDate, u"20.11.2007"_s);
    EXPECT_EQ(r->stats.LastDate, u"01.01.0001"_s);
}

TEST_F(ParadoxTable, CodePageAndVersionDecideTheTextAndTheNameField)
{
    QList<PxRow> cp1251Rows = kRows;
    cp1251Rows[0][6] = toCp1251(u"Камчатка, к-с"_s);
    cp1251Rows[2][6] = toCp1251(u"ПЕТ"_s);
    const QString asCp1251 = fromCp1251(toCp866(u"ПЕТ"_s));
    const struct
    {
        QByteArray bytes;
        int version;
        uint16_t codePage;
        QString pet; // the Notes cell of record 3
    } cases[] = {
        {journal(1251, cp1251Rows), 12, 1251, u"ПЕТ"_s},
        {pxOlderVersion(journal(), 9), 9, 866, u"ПЕТ"_s}, // 79-byte table name
        {pxOlderVersion(journal(), 5), 5, 866, u"ПЕТ"_s},
        {pxOlderVersion(journal(), 4), 4, 0, asCp1251}, // no extended header: no conversion
        {pxOlderVersion(journal(), 3), 3, 0, asCp1251},
    };
    for (const auto &c : cases) {
        const auto r = read(c.bytes);
        ASSERT_EQ(r->result.status, ParadoxStatus::Complete) << c.version;
        EXPECT_EQ(r->result.version, c.version);
        EXPECT_EQ(r->result.codePage, c.codePage);
        EXPECT_EQ(tableRows(r->table, true)[0], kExpected[0]) << c.version;
        EXPECT_EQ(r->table.GetCell(6, 3), c.pet) << c.version;
        EXPECT_EQ(r->table.GetCell(5, 2), u"-12.35"_s);
    }
}

TEST_F(ParadoxTable, RecordsFollowTheBlockChainAcrossBlocks)
{
    // 54-byte records, 37 to a 2048-byte block: 100 records fill three blocks.
    QList<PxRow> rows;
    for (int i = 1; i <= 100; ++i)
        rows << PxRow{i, 20 + i / 10, QDate(2026, 11, 1).addDays(i / 10), QByteArray("P")};
    const QByteArray t = journal(866, rows);
    const auto r = read(t);
    ASSERT_EQ(r->result.status, ParadoxStatus::Complete);
    ASSERT_EQ(r->table.RowCount(), 101);
    for (int i = 1; i <= 100; ++i)
        ASSERT_EQ(r->table.GetCell(0, i), QString::number(i));
    EXPECT_EQ(r->stats.FirstNum, 20);
    EXPECT_EQ(r->stats.CurNum, 30);
    EXPECT_EQ(r->stats.FirstDate, u"01.11.2026"_s);
    EXPECT_EQ(r->stats.LastDate, u"11.11.2026"_s);

    // The chain, not the block numbers, orders the rows: start at block 2, which leads to 3 and ends;
    // block 1's records come nowhere, so the chain holds 63 of the 100 the header counts. Those are read,
    // and the note says both counts.
    QByteArray chained = t;
    pxPut16(chained, kPxFirstBlock, 2);
    const auto c = read(chained);
    EXPECT_EQ(c->result.status, ParadoxStatus::Complete);
    EXPECT_EQ(ParadoxCountNote(c->result, u"j.db"_s),
              u"Файл \"j.db\": число записей в заголовке таблицы 100, а в цепочке блоков 63.\rПрочитано "
              u"записей: 63."_s);
    EXPECT_EQ(c->table.GetCell(0, 1), u"38"_s);
    EXPECT_EQ(c->table.GetCell(0, 63), u"100"_s);
    EXPECT_EQ(c->table.RowCount(), 64);
}

// The smaller of the header's count and the records the block chain holds gives the rows, whatever the
// file's size could hold: no row is made for a record that is not there, and the records there are read.
// Counts that differ are said in a note, with both counts; a chain damaged past the records read is
// counted as far as it goes.
TEST_F(ParadoxTable, HeaderCountsRuleTheRowsTheChainHolds)
{
    const QByteArray t = journal();
    QByteArray noBlock = t, none = t, fewer = t, fewerCut = t, emptyBlock = t, lying = t, most = t;
    pxPut16(noBlock, kPxFirstBlock, 0);
    pxPut32(none, kPxRecords, 0);
    pxPut32(fewer, kPxRecords, 2);
    pxPut32(fewerCut, kPxRecords, 2);
    pxPut16(fewerCut, block(t, 1), 60000);     // the next block lies past the end of the file
    pxPut16(emptyBlock, block(t, 1) + 4, -54); // last-record offset negative: no record in the block
    pxPut32(lying, kPxRecords, 19000);
    lying.resize(1 << 20); // a mebibyte could hold the count of 54-byte records, the chain holds four
    pxPut32(most, kPxRecords, 0x7FFFFFFF);
    // A journal of 3,000 records whose header counts 3,003.
    QList<PxRow> rows;
    for (int i = 1; i <= 3000; ++i)
        rows << PxRow{i, 20 + i / 10, QDate(2026, 11, 1), QByteArray("P")};
    QByteArray three = journal(866, rows);
    pxPut32(three, kPxRecords, 3003);
    const QString note = u"Файл \"j.db\": число записей в заголовке таблицы %1, а в цепочке блоков %2."
                         u"\rПрочитано записей: %3."_s;
    const struct
    {
        const char *name;
        QByteArray bytes;
        int rows;
        QString lastCell;
        QString note;
    } cases[] = {
        {"first block 0", noBlock, 1, u"N c/c"_s, note.arg(4).arg(0).arg(0)},
        {"no record", none, 1, u"N c/c"_s, note.arg(0).arg(4).arg(0)},
        {"fewer than the chain holds", fewer, 3, u"2"_s, note.arg(2).arg(4).arg(2)},
        {"fewer, the chain damaged past them", fewerCut, 3, u"2"_s, note.arg(2).arg(u"не менее 4"_s).arg(2)},
        {"empty block", emptyBlock, 1, u"N c/c"_s, note.arg(4).arg(0).arg(0)},
        {"19000 counted, four held", lying, 5, u"-7"_s, note.arg(19000).arg(4).arg(4)},
        {"2^31-1 counted, four held", most, 5, u"-7"_s, note.arg(2147483647).arg(4).arg(4)},
        {"3003 counted, 3000 held", three, 3001, u"3000"_s, note.arg(3003).arg(3000).arg(3000)},
    };
    for (const auto &c : cases) {
        const auto r = read(c.bytes);
        EXPECT_EQ(r->result.status, ParadoxStatus::Complete) << c.name;
        EXPECT_EQ(ParadoxFailureMessage(r->result), QString()) << c.name;
        EXPECT_EQ(ParadoxCountNote(r->result, u"j.db"_s), c.note) << c.name;
        EXPECT_EQ(r->table.RowCount(), c.rows) << c.name;
        EXPECT_EQ(tableRows(r->table, true)[0], kExpected[0]) << c.name;
        EXPECT_EQ(r->table.GetCell(0, c.rows - 1), c.lastCell) << c.name;
    }
}

TEST_F(ParadoxTable, DamagedFilesEndAsReadErrorsWithinTheirBytes)
{
    const QByteArray t = journal();
    const int n = pxFieldCount(t);
    const auto with16 = [&t](qsizetype at, int v) {
        QByteArray b = t;
        pxPut16(b, at, v);
        return b;
    };
    const auto with32 = [&t](qsizetype at, qint32 v) {
        QByteArray b = t;
        pxPut32(b, at, v);
        return b;
    };
    const auto withByte = [&t](qsizetype at, char v) {
        QByteArray b = t;
        b[at] = v;
        return b;
    };
    QByteArray loop = with16(block(t, 1), 1);
    pxPut32(loop, kPxRecords, 40);
    const auto E = ParadoxStatus::ReadError;
    const struct
    {
        const char *name;
        QByteArray bytes;
        ParadoxStatus status;
        bool namesRead;
    } cases[] = {
        {"empty file", QByteArray(), E, false},
        {"short header", t.left(87), E, false},
        {"no extended header", t.left(100), E, false},
        {"ends in the names", t.left(kPxDescriptors + 2 * n + 4 * (n + 1) + 261 + 3), E, false},
        {"ends in the data", t.left(block(t, 1) + 50), E, true},
        {"primary index file", withByte(4, 1), ParadoxStatus::NotDataTable, false},
        {"memo field", withByte(kPxDescriptors + 6, 0x0C), E, true},
        {"long of 2 bytes", withByte(kPxDescriptors + 1, 2), E, true},
        {"no fields", with16(kPxFields, 0), E, false},
        {"negative fields", with16(kPxFields, -3), E, false},
        {"30000 fields", with16(kPxFields, 30000), E, false},
        {"record size 0", with16(0, 0), E, true},
        {"record size off", with16(0, 47), E, true},
        {"block size 0", withByte(5, 0), E, true},
        {"negative records", with32(kPxRecords, -1), E, true},
        {"block past the end", with16(kPxFirstBlock, 60000), E, true},
        {"chain loop", loop, E, true},
        {"block overfull", with16(block(t, 1) + 4, 54 * 60), E, true},
        {"header size past the end", with16(2, 0xFFFF), E, true},
    };
    for (const auto &c : cases) {
        const auto r = read(c.bytes);
        EXPECT_EQ(r->result.status, c.status) << c.name;
        EXPECT_LE(r->table.RowCount(), 41) << c.name; // never more than the header's count
        if (c.namesRead) {
            ASSERT_GE(r->table.RowCount(), 1) << c.name;
            EXPECT_EQ(tableRows(r->table, true)[0], kExpected[0]) << c.name;
        }
        const QString message = ParadoxFailureMessage(r->result);
        EXPECT_TRUE(message.startsWith(c.status == ParadoxStatus::NotDataTable
                                           ? u"Это не файл таблицы с данными Paradox"_s
                                           : u"Ошибка при чтении файла"_s))
            << c.name;
    }
}

TEST_F(ParadoxTable, FieldOfAnotherTypeStopsAtTheFirstRecord)
{
    QByteArray t = journal();
    t[kPxDescriptors + 6] = 0x09; // Faza (8 bytes) as a logical field
    const auto r = read(t);
    EXPECT_EQ(r->result.status, ParadoxStatus::ReadError);
    EXPECT_EQ(ParadoxFailureMessage(r->result),
              u"Ошибка при чтении файла\rЗапись 1, поле \"Faza\" (тип 9)"_s);
    EXPECT_EQ(r->table.GetCell(2, 1), u"20.11.2007"_s); // the cells before it are kept
    EXPECT_EQ(r->table.GetCell(3, 1), QString());
}

TEST_F(ParadoxTable, EngineIsRefusedAfterTheHeader)
{
    const auto r = read(journal(), ParadoxEngine);
    EXPECT_EQ(r->result.status, ParadoxStatus::EngineMissing);
    EXPECT_TRUE(
        ParadoxFailureMessage(r->result).startsWith(u"ReadParadox: Произошла ошибка с сообщением:\r"_s));
    const auto other = read(journal(), 7);
    EXPECT_EQ(other->result.status, ParadoxStatus::Complete);
    EXPECT_EQ(other->table.ColCount(), 0);
}

TEST(AddImportStat, NumbersAndDatesAsTheStatusPanelsCountThem)
{
    const struct
    {
        QStringList numbers;
        int first, last;
    } cases[] = {
        {{u"5"_s, u"5"_s, u"6"_s, u"7"_s}, 5, 7}, {{u"5"_s, u"7"_s}, -2, 7}, {{}, -1, -1},
        {{u"5"_s, QString(), u"6,0"_s}, 5, 6},    {{u"x"_s, u"1"_s}, -2, 1}, {{u"1"_s, u"1e12"_s}, -2, -1},
    };
    for (const auto &c : cases) {
        ImportStats s;
        for (const QString &n : c.numbers)
            AddImportStat(1, n, TFormatSettings(), s);
        EXPECT_EQ(s.FirstNum, c.first) << c.numbers.join(u' ').toStdString();
        EXPECT_EQ(s.CurNum, c.last) << c.numbers.join(u' ').toStdString();
    }
    ImportStats s;
    for (const char *d : {"", "01.02.2007", "", "03.02.2007"})
        AddImportStat(2, QString::fromLatin1(d), TFormatSettings(), s);
    AddImportStat(3, u"99"_s, TFormatSettings(), s);
    EXPECT_EQ(s.FirstDate, u"01.02.2007"_s);
    EXPECT_EQ(s.LastDate, u"03.02.2007"_s);
    EXPECT_EQ(s.FirstNum, -1);
}

} // namespace
