#include "exchange/import_type.h"
#include "exchange/text_format.h"
#include "lib/codec.h"
#include "support/test_support.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

// Header of the default format: mark 1, code page 1251, ';', '"', "mdy", '/', ':', ',', two-digit
// years without zeros, pivot 50.
const QByteArray kDefaultHeader = hex("01000000"
                                      "e3040000"
                                      "3b22"
                                      "036d6479"
                                      "2f3a2c"
                                      "0000"
                                      "00"
                                      "3200"
                                      "0000");

QByteArray columnEntry(const QByteArray &name, bool key, bool used)
{
    QByteArray e(74, '\0');
    e[0] = char(name.size());
    e.replace(1, name.size(), name);
    e[72] = key;
    e[73] = used;
    return e;
}

bool sameSpec(const tspec &a, const tspec &b)
{
    if (SpecHeaderBytes(a) != SpecHeaderBytes(b) || a.cols.size() != b.cols.size())
        return false;
    for (int i = 0; i < a.cols.size(); ++i)
        if (a.cols[i].name != b.cols[i].name || a.cols[i].key != b.cols[i].key ||
            a.cols[i].used != b.cols[i].used)
            return false;
    return true;
}

class SpecFile : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(QDir(dir.path()).mkpath(u"specs"_s)); }
    QString path(const char *name = "PUL") const
    {
        return SpecFilePath(dir.base(), QString::fromLatin1(name));
    }

    TestDir dir;
    MessageRecorder messages;
};

TEST(SpecRecord, DefaultHeaderBytes)
{
    EXPECT_EQ(SpecHeaderBytes(tspec()), kDefaultHeader);
}

TEST(SpecRecord, ColumnEntriesAndCyrillicNames)
{
    tspec spec;
    spec.cols = {{u"num"_s, true, true, {}}, {u"Фаза"_s, false, false, {}}};
    QBuffer buf;
    buf.open(QIODevice::ReadWrite);
    ASSERT_TRUE(WriteSpecRecord(buf, spec, true));
    const QByteArray expected = kDefaultHeader + hex("02000000") + columnEntry("num", true, true) +
                                columnEntry(hex("d4e0e7e0"), false, false);
    EXPECT_EQ(buf.data(), expected);

    buf.seek(0);
    tspec back;
    back.cols = DefaultSpecColumns(SpecEvents);
    ASSERT_TRUE(ReadSpecRecord(buf, back, true));
    EXPECT_TRUE(sameSpec(spec, back));
}

TEST(SpecRecord, ShortRecordKeepsColumns)
{
    tspec spec;
    spec.decdel = QLatin1Char('.');
    QBuffer buf;
    buf.open(QIODevice::ReadWrite);
    ASSERT_TRUE(WriteSpecRecord(buf, spec, false));
    EXPECT_EQ(buf.size(), 24);
    buf.seek(0);
    tspec back;
    back.cols = DefaultSpecColumns(SpecXmAdd);
    ASSERT_TRUE(ReadSpecRecord(buf, back, false));
    EXPECT_EQ(back.decdel, QLatin1Char('.'));
    EXPECT_EQ(back.cols.size(), 17);
}

TEST(SpecRecord, DamagedCountsFailWithoutAllocating)
{
    for (const char *count : {"ffffff7f", "ffffffff", "05000000"}) {
        QByteArray bytes = kDefaultHeader + hex(count) + columnEntry("a", false, true);
        QBuffer buf(&bytes);
        buf.open(QIODevice::ReadOnly);
        tspec spec;
        EXPECT_FALSE(ReadSpecRecord(buf, spec, true)) << count;
    }
    QByteArray truncated = kDefaultHeader.left(20);
    QBuffer buf(&truncated);
    buf.open(QIODevice::ReadOnly);
    tspec spec;
    EXPECT_FALSE(ReadSpecRecord(buf, spec, false));
}

TEST(SpecRecord, CopySpecNeverShares)
{
    tspec src;
    src.fdel = QLatin1Char('\t');
    src.cols = DefaultSpecColumns(SpecEvents);
    tspec dst;
    dst.cols = DefaultSpecColumns(SpecXmAdd);

    CopySpec(src, dst, true, false);
    EXPECT_EQ(dst.fdel, QLatin1Char('\t'));
    EXPECT_EQ(dst.cols.size(), 17);

    CopySpec(src, dst, false, true);
    EXPECT_EQ(dst.cols.size(), 18);
    dst.cols[0].name = u"changed"_s;
    EXPECT_EQ(src.cols[0].name, u"orid"_s);

    CopySpec(tspec(), dst, false, true);
    EXPECT_TRUE(dst.cols.isEmpty());
}

TEST(SpecFormatSettings, DatePatternAndCenturyWindow)
{
    struct Case
    {
        const char *order;
        bool ext0, foury;
        char sep;
        const char *pattern;
    } cases[] = {
        {"dmy", true, true, '.', "dd.MM.yyyy"},
        {"mdy", false, false, '/', "M/d/yy"},
        {"ymd", false, true, '-', "yyyy-M-d"},
        {"dxy", true, false, '.', "dd..yy"},
    };
    for (const auto &c : cases) {
        tspec spec;
        spec.datefmt = QString::fromLatin1(c.order);
        spec.ext0 = c.ext0;
        spec.foury = c.foury;
        spec.dtdel = QLatin1Char(c.sep);
        TFormatSettings fs;
        TspecToFormatSettings(fs, spec, TFormatSettings(), 2026);
        EXPECT_EQ(fs.ShortDateFormat, QString::fromLatin1(c.pattern)) << c.order;
        EXPECT_EQ(fs.DateSeparator, QLatin1Char(c.sep));
    }

    tspec spec;
    TFormatSettings locale;
    locale.LongTimeFormat = u"h:nn:ss"_s;
    TFormatSettings fs;
    TspecToFormatSettings(fs, spec, locale, 2026);
    EXPECT_EQ(fs.DecimalSeparator, QLatin1Char(','));
    EXPECT_EQ(fs.TimeSeparator, QLatin1Char(':'));
    EXPECT_EQ(fs.LongTimeFormat, u"h:nn:ss"_s);
    EXPECT_EQ(fs.TwoDigitYearCenturyWindow, 2026 - 1950); // 50..99 are 1950..1999
    spec.byear = 0;
    TspecToFormatSettings(fs, spec, locale, 2026);
    EXPECT_EQ(fs.TwoDigitYearCenturyWindow, 126); // every two-digit year in 1900..1999
}

TEST_F(SpecFile, MissingFileGivesDirtyDefaults)
{
    TextFormats f;
    EXPECT_FALSE(f.LoadSpec(dir.base(), u"PUL"_s, false, ImportParadox));
    EXPECT_TRUE(f.specsDirty);
    const int sizes[3] = {18, 25, 17};
    for (int t = 0; t < 3; ++t) {
        EXPECT_EQ(f.importSpec[t].cols.size(), sizes[t]);
        EXPECT_TRUE(sameSpec(f.importSpec[t], f.exportSpec[t]));
        EXPECT_EQ(SpecHeaderBytes(f.importSpec[t]), kDefaultHeader);
    }
    EXPECT_EQ(messages.count(), 0);
}

TEST_F(SpecFile, SavedFileSizeFollowsImportType)
{
    struct Case
    {
        int importType;
        qint64 size;
    } cases[] = {{ImportParadox, 3 * (24 + 4) + 18 * 74 + 25 * 74 + 17 * 74 + 24},
                 {ImportOrv, 3 * (24 + 4) + 60 * 74 + 24},
                 {ImportText, 6 * (24 + 4) + 2 * (60 * 74)}};
    for (const auto &c : cases) {
        TextFormats f;
        f.LoadSpec(dir.base(), u"PUL"_s, true, c.importType);
        ASSERT_TRUE(f.SaveSpec(dir.base(), u"PUL"_s, c.importType));
        const QByteArray bytes = readBytes(path());
        EXPECT_EQ(bytes.size(), c.size) << c.importType;
        // First record: the export format of Events, whose first column is orid (not used).
        EXPECT_EQ(bytes.left(28), kDefaultHeader + hex("12000000"));
        EXPECT_EQ(bytes.mid(28, 74), columnEntry("orid", false, false));
        EXPECT_EQ(bytes.mid(28 + 74, 74), columnEntry("num", true, true));
    }
}

TEST_F(SpecFile, TextTypeRoundTripsAllSixFormats)
{
    TextFormats f;
    f.SetDefaults();
    f.importSpec[SpecStationBulletin].fdel = QLatin1Char('\t');
    f.importSpec[SpecXmAdd].cols.removeLast();
    f.exportSpec[SpecEvents].cols[2].name = u"время"_s;
    f.exportSpec[SpecXmAdd].byear = 30;
    ASSERT_TRUE(f.SaveSpec(dir.base(), u"PUL"_s, ImportText));
    const QByteArray first = readBytes(path());

    TextFormats g;
    ASSERT_TRUE(g.LoadSpec(dir.base(), u"PUL"_s, false, ImportText));
    for (int t = 0; t < 3; ++t) {
        EXPECT_TRUE(sameSpec(f.importSpec[t], g.importSpec[t])) << t;
        EXPECT_TRUE(sameSpec(f.exportSpec[t], g.exportSpec[t])) << t;
    }
    g.specsDirty = true;
    ASSERT_TRUE(g.SaveSpec(dir.base(), u"PUL"_s, ImportText));
    EXPECT_EQ(readBytes(path()), first);
}

TEST_F(SpecFile, OtherTypesTakeImportColumnsFromExport)
{
    TextFormats f;
    f.SetDefaults();
    f.exportSpec[SpecStationBulletin].cols.resize(3);
    f.importSpec[SpecEvents].decdel = QLatin1Char('.');
    ASSERT_TRUE(f.SaveSpec(dir.base(), u"PUL"_s, ImportExcel));

    TextFormats g;
    ASSERT_TRUE(g.LoadSpec(dir.base(), u"PUL"_s, false, ImportExcel));
    for (int t = 0; t < 3; ++t) {
        EXPECT_EQ(g.importSpec[t].cols.size(), g.exportSpec[t].cols.size());
        EXPECT_EQ(SpecHeaderBytes(g.importSpec[t]), SpecHeaderBytes(g.importSpec[SpecEvents]));
    }
    EXPECT_EQ(g.importSpec[SpecStationBulletin].cols.size(), 3);
    EXPECT_EQ(g.importSpec[SpecXmAdd].decdel, QLatin1Char('.'));
}

TEST_F(SpecFile, CleanFormatsTouchNoFile)
{
    TextFormats f;
    f.SetDefaults();
    f.specsDirty = false;
    EXPECT_TRUE(f.SaveSpec(dir.base(), u"PUL"_s, ImportText));
    EXPECT_FALSE(QFileInfo::exists(path()));
}

TEST_F(SpecFile, ResetDeletesTheFile)
{
    TextFormats f;
    f.SetDefaults();
    f.exportSpec[SpecEvents].fdel = QLatin1Char(',');
    ASSERT_TRUE(f.SaveSpec(dir.base(), u"PUL"_s, ImportText));
    TextFormats g;
    EXPECT_FALSE(g.LoadSpec(dir.base(), u"PUL"_s, true, ImportText));
    EXPECT_FALSE(QFileInfo::exists(path()));
    EXPECT_EQ(g.exportSpec[SpecEvents].fdel, QLatin1Char(';'));
}

// A file that ends early or holds an impossible column count is reported, and the station gets the
// defaults rather than what the formats held before (another station's) in the records not read.
TEST_F(SpecFile, DamagedFileIsReportedAndGivesDefaults)
{
    TextFormats own;
    own.SetDefaults();
    ASSERT_TRUE(own.SaveSpec(dir.base(), u"PUL"_s, ImportText));
    const QByteArray whole = readBytes(path());
    const qsizetype fourRecords = 4 * (24 + 4) + 60 * 74 + 18 * 74;
    QByteArray hugeCount = whole;
    hugeCount.replace(24, 4, hex("ffffff7f"));
    struct Case
    {
        const char *name;
        QByteArray bytes;
    } cases[] = {
        {"inside the first header", whole.left(10)},
        {"inside a column list", whole.left(5000)},
        {"after the fourth record", whole.left(fourRecords)},
        {"one byte short", whole.left(whole.size() - 1)},
        {"a column count beyond the file", hugeCount},
    };
    for (const Case &c : cases) {
        // The formats of the station shown before.
        TextFormats f;
        f.SetDefaults();
        f.exportSpec[SpecEvents].fdel = QLatin1Char('|');
        f.importSpec[SpecXmAdd].cols.resize(2);
        f.importSpec[SpecStationBulletin].byear = 7;
        f.specsDirty = false;
        ASSERT_TRUE(writeBytes(path(), c.bytes));
        messages.clear();
        EXPECT_FALSE(f.LoadSpec(dir.base(), u"PUL"_s, false, ImportText)) << c.name;
        ASSERT_EQ(messages.count(), 1) << c.name;
        EXPECT_EQ(messages.last().text, u"Ошибка при чтении формата данных PUL: файл \"%1\" повреждён, "
                                        u"взяты форматы по умолчанию"_s.arg(path()));
        EXPECT_EQ(messages.last().icon, 16u);
        TextFormats defaults;
        defaults.SetDefaults();
        for (int t = 0; t < 3; ++t) {
            EXPECT_TRUE(sameSpec(f.importSpec[t], defaults.importSpec[t])) << c.name << t;
            EXPECT_TRUE(sameSpec(f.exportSpec[t], defaults.exportSpec[t])) << c.name << t;
        }
        EXPECT_TRUE(f.specsDirty) << c.name;
    }
}

// Saving writes a new file beside the old one: a full disk leaves the old file whole, is reported and
// keeps the formats dirty for the next try.
TEST_F(SpecFile, FullDiskKeepsTheOldFile)
{
    TextFormats f;
    f.SetDefaults();
    f.exportSpec[SpecEvents].fdel = QLatin1Char(',');
    ASSERT_TRUE(f.SaveSpec(dir.base(), u"PUL"_s, ImportText));
    const QByteArray old = readBytes(path());
    f.exportSpec[SpecEvents].fdel = QLatin1Char('\t');
    for (const qint64 bytes : {qint64(0), qint64(30), qint64(old.size() - 1)}) {
        messages.clear();
        {
            DiskFullAfter disk(bytes);
            EXPECT_FALSE(f.SaveSpec(dir.base(), u"PUL"_s, ImportText)) << bytes;
        }
        EXPECT_EQ(readBytes(path()), old) << bytes;
        EXPECT_EQ(folderEntries(dir.file("specs")), QStringList({"PUL.spe"})) << bytes;
        ASSERT_EQ(messages.count(), 1);
        EXPECT_EQ(messages.last().text, u"Ошибка при записи формата данных PUL"_s);
        EXPECT_TRUE(f.specsDirty);
    }
    ASSERT_TRUE(f.SaveSpec(dir.base(), u"PUL"_s, ImportText));
    EXPECT_EQ(readBytes(path()).at(8), '\t');
}

TEST_F(SpecFile, UnreadableAndUnwritableFilesAreReported)
{
    ASSERT_TRUE(QDir(dir.path()).mkpath(u"specs/DIR.spe"_s));
    TextFormats f;
    EXPECT_FALSE(f.LoadSpec(dir.base(), u"DIR"_s, false, ImportText));
    ASSERT_EQ(messages.count(), 1);
    EXPECT_EQ(messages.last().text, u"Ошибка при чтении формата данных DIR"_s);
    EXPECT_EQ(messages.last().icon, 16u);

    TestDir noSpecs; // no "specs" folder: it is not created
    f.SetDefaults();
    EXPECT_FALSE(f.SaveSpec(noSpecs.base(), u"PUL"_s, ImportText));
    EXPECT_EQ(messages.last().text, u"Ошибка при записи формата данных PUL"_s);
    EXPECT_EQ(messages.last().icon, 16u);
    EXPECT_TRUE(f.specsDirty);
}

} // namespace
