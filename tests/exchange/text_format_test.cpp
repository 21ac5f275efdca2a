#include "exchange/page/import_type.h"
#include "exchange/text/text_format.h"
#include "exchange_test_env.h"
#include "lib/codec.h"
#include "support/program_env.h"

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
const QByteArray kDefaultHeader = hex("01000000 e3040000 3b22 036d6479 2f3a2c 0000 00 3200 0000");

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

bool sameFormats(const TextFormats &a, const TextFormats &b)
{
    for (int t = 0; t < 3; ++t)
        if (!sameSpec(a.importSpec[t], b.importSpec[t]) || !sameSpec(a.exportSpec[t], b.exportSpec[t]))
            return false;
    return true;
}

// The message of a format file that could not be written, with the reason the system gave.
QString notWritten(const QString &name, const char *reason)
{
    return u"Ошибка при записи формата данных %1: %2. Формат не записан и до закрытия программы хранится "
           "только в памяти"_s.arg(name, QString::fromUtf8(reason));
}

TextFormats defaults()
{
    TextFormats f;
    f.SetDefaults();
    return f;
}

class SpecFile : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(QDir(dir.path()).mkpath(u"specs"_s)); }
    QString path() const { return SpecFilePath(dir.base(), u"PUL"_s); }
    bool save(TextFormats &f, int type = ImportText) { return f.SaveSpec(dir.base(), u"PUL"_s, type); }
    bool load(TextFormats &f, int type = ImportText, bool reset = false)
    {
        return f.LoadSpec(dir.base(), u"PUL"_s, reset, type);
    }

    TestDir dir;
    MessageRecorder messages;
};

TEST(SpecRecord, ColumnEntriesCyrillicNamesAndShortRecords)
{
    tspec spec;
    spec.cols = {{u"num"_s, true, true, {}}, {u"Фаза"_s, false, false, {}}};
    QBuffer buf;
    buf.open(QIODevice::ReadWrite);
    ASSERT_TRUE(WriteSpecRecord(buf, spec, true));
    EXPECT_EQ(buf.data(), kDefaultHeader + hex("02000000") + columnEntry("num", true, true) +
                              columnEntry(hex("d4e0e7e0"), false, false));
    buf.seek(0);
    tspec back;
    back.cols = DefaultSpecColumns(SpecEvents);
    ASSERT_TRUE(ReadSpecRecord(buf, back, true));
    EXPECT_TRUE(sameSpec(spec, back));

    // A record without its columns keeps the columns it is read into.
    spec.decdel = QLatin1Char('.');
    QBuffer shortRecord;
    shortRecord.open(QIODevice::ReadWrite);
    ASSERT_TRUE(WriteSpecRecord(shortRecord, spec, false));
    EXPECT_EQ(shortRecord.size(), 24);
    shortRecord.seek(0);
    back.cols = DefaultSpecColumns(SpecXmAdd);
    ASSERT_TRUE(ReadSpecRecord(shortRecord, back, false));
    EXPECT_EQ(back.decdel, QLatin1Char('.'));
    EXPECT_EQ(back.cols.size(), 17);
}

TEST(SpecRecord, DamagedCountsFailWithoutAllocating)
{
    for (QByteArray bytes :
         {kDefaultHeader + hex("ffffff7f") + columnEntry("a", false, true),
          kDefaultHeader + hex("ffffffff") + columnEntry("a", false, true),
          kDefaultHeader + hex("05000000") + columnEntry("a", false, true), kDefaultHeader.left(20)}) {
        QBuffer buf(&bytes);
        buf.open(QIODevice::ReadOnly);
        tspec spec;
        EXPECT_FALSE(ReadSpecRecord(buf, spec, bytes.size() > 24)) << bytes.toHex().toStdString();
    }
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

TEST(SpecFormatSettings, DatePatterns)
{
    const std::pair<tspec, const char *> cases[] = {
        {formatOf(u";\".:,"_s, "dmy", true, true), "dd.MM.yyyy"},
        {formatOf(u";\"/:,"_s), "M/d/yy"},
        {formatOf(u";\"-:,"_s, "ymd", false, true), "yyyy-M-d"},
        {formatOf(u";\".:,"_s, "dxy", true), "dd..yy"},
    };
    for (const auto &[spec, pattern] : cases) {
        TFormatSettings fs;
        TspecToFormatSettings(fs, spec, TFormatSettings(), 2026);
        EXPECT_EQ(fs.ShortDateFormat, QString::fromLatin1(pattern));
        EXPECT_EQ(fs.DateSeparator, spec.dtdel);
    }
}

// No file gives dirty defaults; clean formats touch no file; a reset deletes it.
TEST_F(SpecFile, MissingCleanAndReset)
{
    TextFormats f;
    EXPECT_FALSE(load(f, ImportParadox));
    EXPECT_TRUE(f.specsDirty);
    EXPECT_TRUE(sameFormats(f, defaults()));
    EXPECT_EQ(SpecHeaderBytes(f.importSpec[2]), kDefaultHeader);
    EXPECT_EQ(f.importSpec[1].cols.size(), 25);

    f.specsDirty = false;
    f.exportSpec[SpecEvents].fdel = QLatin1Char(',');
    EXPECT_TRUE(save(f));
    EXPECT_FALSE(QFileInfo::exists(path()));
    f.specsDirty = true;
    ASSERT_TRUE(save(f));
    TextFormats g;
    EXPECT_FALSE(load(g, ImportText, true));
    EXPECT_FALSE(QFileInfo::exists(path()));
    EXPECT_EQ(g.exportSpec[SpecEvents].fdel, QLatin1Char(';'));
    EXPECT_EQ(messages.count(), 0);
}

TEST_F(SpecFile, SavedFileSizeFollowsImportType)
{
    const std::pair<int, qint64> cases[] = {{ImportParadox, 3 * (24 + 4) + 18 * 74 + 25 * 74 + 17 * 74 + 24},
                                            {ImportOrv, 3 * (24 + 4) + 60 * 74 + 24},
                                            {ImportText, 6 * (24 + 4) + 2 * (60 * 74)}};
    for (const auto &[type, size] : cases) {
        TextFormats f = defaults();
        ASSERT_TRUE(save(f, type));
        const QByteArray bytes = readBytes(path());
        EXPECT_EQ(bytes.size(), size) << type;
        // First record: the export format of Events, whose first column is orid (not used).
        EXPECT_EQ(bytes.left(28 + 2 * 74), kDefaultHeader + hex("12000000") +
                                               columnEntry("orid", false, false) +
                                               columnEntry("num", true, true));
    }
}

TEST_F(SpecFile, TextTypeKeepsSixFormatsOtherTypesTakeImportColumnsFromExport)
{
    TextFormats f = defaults();
    f.importSpec[SpecStationBulletin].fdel = QLatin1Char('\t');
    f.importSpec[SpecXmAdd].cols.removeLast();
    f.exportSpec[SpecEvents].cols[2].name = u"время"_s;
    f.exportSpec[SpecXmAdd].byear = 30;
    ASSERT_TRUE(save(f));
    const QByteArray first = readBytes(path());
    TextFormats g;
    ASSERT_TRUE(load(g));
    EXPECT_TRUE(sameFormats(f, g));
    g.specsDirty = true;
    ASSERT_TRUE(save(g));
    EXPECT_EQ(readBytes(path()), first);

    f = defaults();
    f.exportSpec[SpecStationBulletin].cols.resize(3);
    f.importSpec[SpecEvents].decdel = QLatin1Char('.');
    ASSERT_TRUE(save(f, ImportExcel));
    TextFormats h;
    ASSERT_TRUE(load(h, ImportExcel));
    for (int t = 0; t < 3; ++t) {
        EXPECT_EQ(h.importSpec[t].cols.size(), h.exportSpec[t].cols.size());
        EXPECT_EQ(SpecHeaderBytes(h.importSpec[t]), SpecHeaderBytes(h.importSpec[SpecEvents]));
    }
    EXPECT_EQ(h.importSpec[SpecStationBulletin].cols.size(), 3);
    EXPECT_EQ(h.importSpec[SpecXmAdd].decdel, QLatin1Char('.'));
}

// A file that ends early or holds an impossible column count is reported, and the station gets the
// defaults rather than what the formats held before (another station's) in the records not read.
TEST_F(SpecFile, DamagedFileIsReportedAndGivesDefaults)
{
    TextFormats own = defaults();
    ASSERT_TRUE(save(own));
    const QByteArray whole = readBytes(path());
    QByteArray hugeCount = whole;
    hugeCount.replace(24, 4, hex("ffffff7f"));
    const std::pair<const char *, QByteArray> cases[] = {
        {"inside the first header", whole.left(10)},
        {"inside a column list", whole.left(5000)},
        {"after the fourth record", whole.left(4 * (24 + 4) + 60 * 74 + 18 * 74)},
        {"one byte short", whole.left(whole.size() - 1)},
        {"a column count beyond the file", hugeCount},
    };
    for (const auto &[name, bytes] : cases) {
        // The formats of the station shown before.
        TextFormats f = defaults();
        f.exportSpec[SpecEvents].fdel = QLatin1Char('|');
        f.importSpec[SpecXmAdd].cols.resize(2);
        f.importSpec[SpecStationBulletin].byear = 7;
        f.specsDirty = false;
        ASSERT_TRUE(writeBytes(path(), bytes));
        messages.clear();
        EXPECT_FALSE(load(f)) << name;
        ASSERT_EQ(messages.count(), 1) << name;
        EXPECT_EQ(messages.last().text, u"Ошибка при чтении формата данных PUL: файл \"%1\" повреждён, "
                                        u"взяты форматы по умолчанию"_s.arg(path()));
        EXPECT_EQ(messages.last().icon, 16u);
        EXPECT_TRUE(sameFormats(f, defaults())) << name;
        EXPECT_TRUE(f.specsDirty) << name;
    }
}

// Saving writes a new file beside the old one: a full disk leaves the old file whole, is reported with
// its reason and keeps the formats dirty for the next try; the station reads them back from memory, not
// from the old file, until they are written.
TEST_F(SpecFile, FullDiskKeepsTheOldFile)
{
    TextFormats f = defaults();
    f.exportSpec[SpecEvents].fdel = QLatin1Char(',');
    ASSERT_TRUE(save(f));
    const QByteArray old = readBytes(path());
    f.exportSpec[SpecEvents].fdel = QLatin1Char('\t');
    for (const qint64 bytes : {qint64(0), qint64(30), qint64(old.size() - 1)}) {
        messages.clear();
        {
            DiskFullAfter disk(bytes);
            EXPECT_FALSE(save(f)) << bytes;
        }
        EXPECT_EQ(readBytes(path()), old) << bytes;
        EXPECT_EQ(folderEntries(dir.file("specs")), QStringList({"PUL.spe"})) << bytes;
        ASSERT_EQ(messages.count(), 1);
        EXPECT_EQ(messages.last().text, notWritten(u"PUL"_s, "нет места на диске"));
        EXPECT_TRUE(f.specsDirty);
    }
    f.SetDefaults(); // another station's
    f.specsDirty = false;
    EXPECT_FALSE(load(f));
    EXPECT_EQ(f.exportSpec[SpecEvents].fdel, QLatin1Char('\t'));
    EXPECT_TRUE(f.specsDirty);
    ASSERT_TRUE(save(f));
    EXPECT_EQ(readBytes(path()).at(8), '\t');
    EXPECT_TRUE(load(f));
}

TEST_F(SpecFile, UnreadableAndUnwritableFilesAreReported)
{
    ASSERT_TRUE(QDir(dir.path()).mkpath(u"specs/DIR.spe"_s));
    TextFormats f;
    EXPECT_FALSE(f.LoadSpec(dir.base(), u"DIR"_s, false, ImportText));
    EXPECT_EQ(shown(messages), QList<Shown>({{u"Ошибка при чтении формата данных DIR"_s, 16u}}));

    TestDir noSpecs; // no "specs" folder: it is not created
    f.SetDefaults();
    EXPECT_FALSE(f.SaveSpec(noSpecs.base(), u"PUL"_s, ImportText));
    EXPECT_EQ(lastShown(messages), Shown(notWritten(u"PUL"_s, "нет такого файла или папки"), 16u));
    EXPECT_TRUE(f.specsDirty);

    // A station code pasted 32,785 characters long names a file no folder takes; it is quoted as far as a
    // message quotes.
    const QString pasted(32785, QLatin1Char('P'));
    EXPECT_FALSE(f.SaveSpec(dir.base(), pasted, ImportText));
    EXPECT_EQ(lastShown(messages),
              Shown(notWritten(QString(200, u'P') + u"…"_s, "слишком длинное имя файла"), 16u));
}

} // namespace
