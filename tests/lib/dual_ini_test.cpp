#include "lib/dual_ini.h"
#include "lib/errors.h"

#include "support/cpu_time.h"
#include "support/test_support.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <climits>

#include <gtest/gtest.h>

namespace {

QString u8(const char *text)
{
    return QString::fromUtf8(text);
}

class DualIniTest : public ::testing::Test
{
protected:
    void SetUp() override { QDir(dir.path()).mkdir("system"); }

    QString mainPath() const { return dir.file("system/Brenvale.ini"); }
    QString stationsPath() const { return dir.file("system/Stations.ini"); }

    // Backdated so that a rewrite within the same second still shows.
    void writeOld(const QString &path, const QByteArray &bytes)
    {
        ASSERT_TRUE(writeBytes(path, bytes));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(
            f.setFileTime(QDateTime::currentDateTime().addDays(-2), QFileDevice::FileModificationTime));
    }
    static QDateTime mtime(const QString &path) { return QFileInfo(path).lastModified(); }

    TestDir dir;
};

TEST_F(DualIniTest, WithoutKeyListEveryKeyGoesToStationSection)
{
    {
        TDualIni ini(nullptr, dir.base());
        ini.WriteInteger("X1", "winx", -10);
        ini.WriteString("X1", "svodka_dir", "/tmp/s");
        ini.WriteBool("X1", "mails_send", false);
        ini.UpdateFile();
    }
    EXPECT_EQ(readBytes(stationsPath()),
              QByteArray("[X1]\r\nwinx=-10\r\nsvodka_dir=/tmp/s\r\nmails_send=0\r\n\r\n"));
    EXPECT_FALSE(QFile::exists(mainPath()));
}

TEST_F(DualIniTest, CommonKeyReadsMainFileOnly)
{
    writeBytes(mainPath(), "[global]\r\nsvodka_dir=wrong\r\n[station]\r\nsvodka_dir=/common\r\n");
    writeBytes(stationsPath(), "[X1]\r\nsvodka_dir=/own\r\nwinx=7\r\n");
    const QStringList keys{"winy", "svodka_dir"};
    TDualIni ini(&keys, dir.base());
    EXPECT_EQ(ini.ReadString("X1", "SVODKA_DIR", "def"), "/common");
    EXPECT_EQ(ini.ReadString("X2", "svodka_dir", "def"), "/common"); // the section is ignored
    EXPECT_EQ(ini.ReadString("X1", "winx", "def"), "7");             // not common: the station's own
    EXPECT_EQ(ini.ReadString("X1", "winy", "def"), "def");
}

TEST_F(DualIniTest, CommonKeyNeverOpensStationsFile)
{
    writeBytes(mainPath(), "[station]\r\nsvodka_dir=/common\r\n");
    // Reading this "file" would raise, so any access to it shows.
    QDir(dir.path()).mkdir("system/Stations.ini");
    const QStringList keys{"SVODKA_DIR"};
    TDualIni ini(&keys, dir.base());
    EXPECT_EQ(ini.ReadString("X1", "Svodka_Dir", "def"), "/common");
    ini.WriteString("X1", "svodka_dir", "/new");
    EXPECT_NO_THROW(ini.UpdateFile());
    EXPECT_EQ(readBytes(mainPath()), QByteArray("[station]\r\nsvodka_dir=/new\r\n\r\n"));
    EXPECT_THROW(ini.ReadString("X1", "winx", ""), EFileError);
}

TEST_F(DualIniTest, CyrillicCommonKeyMatchesIgnoringCase)
{
    const QStringList keys{u8("ключ")};
    {
        TDualIni ini(&keys, dir.base());
        ini.WriteString("X1", u8("КЛЮЧ"), "1");
        ini.UpdateFile();
    }
    EXPECT_EQ(readBytes(mainPath()), QByteArray("[station]\r\n\xCA\xCB\xDE\xD7=1\r\n\r\n"));
    EXPECT_FALSE(QFile::exists(stationsPath()));
}

TEST_F(DualIniTest, FreeingWithoutUpdateWritesNothing)
{
    const QByteArray mainBytes = "[station]\r\nsvodka_dir=/a\r\n";
    const QByteArray stationBytes = "[X1]\nwinx=1\n";
    writeOld(mainPath(), mainBytes);
    writeOld(stationsPath(), stationBytes);
    const QDateTime mainTime = mtime(mainPath()), stationTime = mtime(stationsPath());
    const QStringList keys{"svodka_dir"};
    {
        TDualIni ini(&keys, dir.base());
        EXPECT_EQ(ini.ReadString("X1", "winx", ""), "1");
        ini.WriteString("X1", "svodka_dir", "/b");
        ini.WriteString("X1", "winx", "2");
        QStringList sections;
        ini.ReadSections(sections);
    }
    EXPECT_EQ(readBytes(mainPath()), mainBytes);
    EXPECT_EQ(readBytes(stationsPath()), stationBytes);
    EXPECT_EQ(mtime(mainPath()), mainTime);
    EXPECT_EQ(mtime(stationsPath()), stationTime);
}

TEST_F(DualIniTest, UpdateAfterCommonKeysTouchesMainFileAlone)
{
    const QByteArray stationBytes = "[X1]\r\nsvodka_dir=/own\r\n\r\n";
    writeOld(stationsPath(), stationBytes);
    const QDateTime stationTime = mtime(stationsPath());
    const QStringList keys{"svodka_dir", "mails_send"};
    {
        TDualIni ini(&keys, dir.base());
        ini.WriteString("X1", "svodka_dir", "/common");
        ini.WriteBool("X1", "mails_send", true);
        ini.UpdateFile();
    }
    EXPECT_EQ(readBytes(mainPath()), QByteArray("[station]\r\nsvodka_dir=/common\r\nmails_send=1\r\n\r\n"));
    EXPECT_EQ(readBytes(stationsPath()), stationBytes);
    EXPECT_EQ(mtime(stationsPath()), stationTime);
}

TEST_F(DualIniTest, UpdateWritesStationsFileFirstAndRaises)
{
    const QByteArray mainBytes = "[station]\r\nsvodka_dir=/a\r\n";
    writeBytes(mainPath(), mainBytes);
    const QStringList keys{"svodka_dir"};
    TDualIni ini(&keys, dir.base());
    ini.WriteString("X1", "winx", "1");
    ini.WriteString("X1", "svodka_dir", "/b");
    // The stations file cannot be replaced now: its write fails before the main file is written.
    QDir(dir.path()).mkdir("system/Stations.ini");
    EXPECT_THROW(ini.UpdateFile(), EFileError);
    EXPECT_EQ(readBytes(mainPath()), mainBytes);
}

TEST_F(DualIniTest, ReadSectionsListsStationsFileOnly)
{
    TDualIni missing(nullptr, dir.base());
    QStringList sections{"stale"};
    missing.ReadSections(sections);
    EXPECT_TRUE(sections.isEmpty());

    writeBytes(mainPath(), "[global]\r\na=1\r\n[station]\r\nb=2\r\n");
    writeBytes(stationsPath(), "[MNK]\r\na=1\r\n[X1]\r\n[pul]\r\nb=2\r\n");
    const QStringList keys{"a"};
    TDualIni ini(&keys, dir.base());
    ini.ReadSections(sections);
    EXPECT_EQ(sections, QStringList({"MNK", "X1", "pul"}));
}

// A long common-key list routes each key by hash; a list changed after a store routed by it, even in
// place, routes by its new keys.
TEST_F(DualIniTest, LongKeyListRoutesQuicklyAndFollowsChanges)
{
    writeBytes(mainPath(), "[station]\r\nsvodka_dir=common\r\nexp_dir=common\r\n");
    writeBytes(stationsPath(), "[X1]\r\nsvodka_dir=own\r\nexp_dir=own\r\n");
    QStringList keys;
    for (int i = 0; i < 200000; ++i)
        keys << u8("k%1").arg(i);
    keys << u8("SVODKA_DIR");
    const CpuTime cpu;
    {
        TDualIni ini(&keys, dir.base());
        for (int i = 0; i < 20000; ++i) {
            ASSERT_EQ(ini.ReadString("X1", "svodka_dir", ""), "common");
            ASSERT_EQ(ini.ReadString("X1", "exp_dir", ""), "own");
        }
    }
    EXPECT_LT(cpu.milliseconds(), 5000 * kSanitizerSlowdown);
    keys[0] = u8("exp_dir");
    EXPECT_EQ(TDualIni(&keys, dir.base()).ReadString("X1", "exp_dir", ""), "common");
    keys.removeLast();
    EXPECT_EQ(TDualIni(&keys, dir.base()).ReadString("X1", "svodka_dir", ""), "own");
    keys.clear();
    EXPECT_EQ(TDualIni(&keys, dir.base()).ReadString("X1", "exp_dir", ""), "own");
}

TEST_F(DualIniTest, IntegerAndBooleanText)
{
    // Text and the integer it reads as; a Boolean is the integer not being 0.
    const std::pair<const char *, int> cases[] = {
        {"12", 12},  {"0", 0},     {"-7", -7},    {"+5", 5},         {"-0", 0},
        {"$1F", 31}, {"$ff", 255}, {"-$10", -16}, {"$FFFFFFFF", -1}, {"2147483647", INT_MAX},
    };
    writeBytes(stationsPath(), "[X1]\r\nflag=0\r\n");
    TDualIni ini(nullptr, dir.base());
    for (const auto &[text, integer] : cases) {
        ini.WriteString("X1", "v", text);
        EXPECT_EQ(ini.ReadInteger("X1", "v", 99), integer) << text;
        EXPECT_EQ(ini.ReadBool("X1", "v", true), integer != 0) << text;
    }
    ini.WriteString("X1", "v", "-2147483648");
    EXPECT_EQ(ini.ReadInteger("X1", "v", 99), INT_MIN);
    for (const char *text : {"2147483648", "$100000000", " 5", "5 ", "1.5", "abc", "$", "-", ""}) {
        ini.WriteString("X1", "v", text);
        EXPECT_EQ(ini.ReadInteger("X1", "v", 99), 99) << text;
        EXPECT_TRUE(ini.ReadBool("X1", "v", true)) << text;
    }
    EXPECT_FALSE(ini.ReadBool("X1", "abc", false));
    EXPECT_FALSE(ini.ReadBool("X1", "flag", true));
    EXPECT_EQ(ini.ReadInteger("X2", "v", -3), -3);
}

} // namespace
