#include "lib/errors.h"
#include "lib/ini_file.h"

#include "support/cpu_time.h"
#include "support/test_support.h"

#include <QDir>
#include <QStringEncoder>

#include <gtest/gtest.h>

namespace {

QString u8(const char *text)
{
    return QString::fromUtf8(text);
}

// "Станция" and "Ключ" in windows-1251.
const QByteArray kStationCp = "\xD1\xF2\xE0\xED\xF6\xE8\xFF";
const QByteArray kKeyCp = "\xCA\xEB\xFE\xF7";

TEST(IniFileRead, MissingFileIsEmpty)
{
    TestDir dir;
    IniFile ini(dir.file("none.ini"));
    EXPECT_TRUE(ini.ReadSections().isEmpty());
    EXPECT_EQ(ini.ReadString("a", "b", "def"), "def");
    EXPECT_FALSE(ini.SectionExists("a"));
    EXPECT_FALSE(QFile::exists(dir.file("none.ini")));
}

TEST(IniFileRead, LineEndsCommentsAndValuesAsWritten)
{
    const IniFile ini = IniFile::FromBytes("junk before any section\r\n"
                                           "[One]\r\n"
                                           "; a comment\r\n"
                                           "\r\n"
                                           "path=C:\\data\\a=b.txt\r\n"
                                           "  spaced  = keep  \r\n"
                                           "empty=\r\n"
                                           "no equals sign\r\n"
                                           "[Two]\n"
                                           "lf=only\n"
                                           "[Three]\r"
                                           "cr=alone\r"
                                           "last=no line end");
    EXPECT_EQ(ini.ReadSections(), QStringList({"One", "Two", "Three"}));
    EXPECT_EQ(ini.ReadSection("One"), QStringList({"path", "spaced", "empty"}));
    const std::tuple<const char *, const char *, const char *> cases[] = {
        {"One", "path", "C:\\data\\a=b.txt"},
        {"One", "spaced", " keep  "},
        {"One", "empty", ""},
        {"Two", "lf", "only"},
        {"Three", "cr", "alone"},
        {"Three", "last", "no line end"},
    };
    for (const auto &[section, key, value] : cases)
        EXPECT_EQ(ini.ReadString(section, key, "def"), value) << section << "/" << key;
    EXPECT_EQ(ini.ReadString("One", "no equals sign", "def"), "def");
}

TEST(IniFileRead, NamesIgnoreCaseCyrillicIncluded)
{
    const IniFile ini = IniFile::FromBytes("[" + kStationCp + "]\r\n" + kKeyCp + "=1\r\n[X1]\r\nWinX=5\r\n");
    EXPECT_EQ(ini.ReadString(u8("СТАНЦИЯ"), u8("КЛЮЧ"), ""), "1");
    EXPECT_EQ(ini.ReadString(u8("станция"), u8("ключ"), ""), "1");
    EXPECT_EQ(ini.ReadString("x1", "WINX", ""), "5");
    EXPECT_TRUE(ini.SectionExists(u8("сТАНЦИЯ")));
    EXPECT_TRUE(ini.ValueExists("X1", "winx"));
    EXPECT_FALSE(ini.ValueExists("X1", "winy"));
    EXPECT_FALSE(ini.ValueExists("X2", "winx"));
}

TEST(IniFileRead, RepeatedNamesFirstWins)
{
    const IniFile ini = IniFile::FromBytes("[A]\r\nk=1\r\nK=2\r\n[b]\r\nx=3\r\n[a]\r\nk=4\r\nm=5\r\n");
    EXPECT_EQ(ini.ReadSections(), QStringList({"A", "b"}));
    EXPECT_EQ(ini.ReadString("a", "k", ""), "1");
    EXPECT_EQ(ini.ReadString("A", "m", ""), "5");
    EXPECT_EQ(ini.ReadSectionValues("A"), QStringList({"k=1", "K=2", "k=4", "m=5"}));
}

// A Windows editor may save a settings file with a byte order mark and the rest in UTF-8 or UTF-16: it is
// read past the mark in that encoding and written back in it, mark first, so that no letter windows-1251
// lacks is lost. A mark that starts a later line (files joined) is read as nothing; one inside a line is
// part of it.
TEST(IniFileRead, ByteOrderMarks)
{
    const auto utf16 = [](QStringConverter::Encoding encoding, const char *text) {
        QStringEncoder encode(encoding, QStringEncoder::Flag::WriteBom);
        return QByteArray(encode(u8(text)));
    };
    const auto le = [&](const char *text) { return utf16(QStringConverter::Utf16LE, text); };
    const auto be = [&](const char *text) { return utf16(QStringConverter::Utf16BE, text); };
    const char *const volcano = "[PET]\r\nname=地震台 🌋\r\n\r\n[地震台]\r\nk=1\r\n\r\n[🌋🌋]\r\nk=2\r\n\r\n"
                                "[火山台]\r\nk=3\r\n\r\n";
    const char *const volcanoes = "PET 地震台 🌋🌋 火山台";
    const struct
    {
        QByteArray bytes;
        const char *sections;    // one blank between
        const char *key, *value; // of the last section
        // By UpdateFile, in the writer's form (CR LF, a blank line after each section); none: as read.
        QByteArray written = {};
    } cases[] = {
        {"\xEF\xBB\xBF[PET]\r\nname=Петропавловск\r\n\r\n", "PET", "NAME", "Петропавловск"},
        // In UTF-8 the no-break space is C2 A0, and A0 alone the end of "Р" (D0 A0).
        {"\xEF\xBB\xBF\xC2\xA0[ПЕТР]\xC2\xA0\r\n ключР\xC2\xA0=Р\xC2\xA0\r\n", "ПЕТР", "КЛЮЧР", "Р\xC2\xA0",
         "\xEF\xBB\xBF[ПЕТР]\r\nключР=Р\xC2\xA0\r\n\r\n"},
        // A mark the rest does not follow: windows-1251 bytes are no UTF-8, and go back as they came.
        {"\xEF\xBB\xBF[PET]\r\nname=\xCF\xE5\xF2\xF0\r\n\r\n", "PET", "name", "Петр"},
        // Unless, without the comment that held its only bytes no UTF-8, the rest would read as UTF-8.
        {"\xEF\xBB\xBF;\xCF\r\n[\xD0\x9F]\r\nk=1\r\n", "Рџ", "k", "1", "[\xD0\x9F]\r\nk=1\r\n\r\n"},
        {le("[PET]\r\nname=Петр\r\n\r\n"), "PET", "name", "Петр"},
        {be("[PET]\nname=Петр"), "PET", "name", "Петр", be("[PET]\r\nname=Петр\r\n\r\n")},
        // Letters outside windows-1251, one beyond 16 bits, in names and values; two names of one length.
        {"\xEF\xBB\xBF" + u8(volcano).toUtf8(), volcanoes, "k", "3"},
        {le(volcano), volcanoes, "K", "3"},
        {be(volcano), volcanoes, "k", "3"},
        // Files joined: a mark at the start of a line, on several lines, twice on one.
        {"\xEF\xBB\xBF[PET]\r\nk=1\r\n\xEF\xBB\xBF[MNK]\r\nk=2\r\n", "PET MNK", "k", "2",
         "\xEF\xBB\xBF[PET]\r\nk=1\r\n\r\n[MNK]\r\nk=2\r\n\r\n"},
        {"[PET]\r\nk=1\r\n\xEF\xBB\xBF[MNK]\nk=2\n\xEF\xBB\xBF\xEF\xBB\xBF[OBN]\r\n\xEF\xBB\xBFk=\xCF\r\n",
         "PET MNK OBN", "k", "П", "[PET]\r\nk=1\r\n\r\n[MNK]\r\nk=2\r\n\r\n[OBN]\r\nk=\xCF\r\n\r\n"},
        {le("[PET]\r\nk=1\r\n\uFEFF[MNK]\r\n\uFEFFk=2\r\n"), "PET MNK", "k", "2",
         le("[PET]\r\nk=1\r\n\r\n[MNK]\r\nk=2\r\n\r\n")},
        // Joined without a line end between, the mark is inside a line: the value holds the rest.
        {"\xEF\xBB\xBF[PET]\r\nk=1\xEF\xBB\xBF[MNK]\r\n\r\n", "PET", "k", "1\xEF\xBB\xBF[MNK]"},
    };
    TestDir dir;
    const QString path = dir.file("Stations.ini");
    for (const auto &c : cases) {
        const std::string bytes = c.bytes.toHex().toStdString();
        const IniFile ini = IniFile::FromBytes(c.bytes);
        const QStringList sections = u8(c.sections).split(u' ');
        EXPECT_EQ(ini.ReadSections(), sections) << bytes;
        EXPECT_EQ(ini.ReadString(sections.last().toLower(), u8(c.key), "def"), u8(c.value)) << bytes;

        writeBytes(path, c.bytes);
        IniFile(path).UpdateFile();
        const QByteArray written = c.written.isNull() ? c.bytes : c.written;
        EXPECT_EQ(readBytes(path).toHex().toStdString(), written.toHex().toStdString()) << bytes;
    }
    // The developer page's key list reads the text the same way.
    EXPECT_EQ(IniFileText("\xEF\xBB\xBF[PET]\r\n\xEF\xBB\xBF\xEF\xBB\xBFk=\xD0\x9F\xEF\xBB\xBF\n"),
              u8("[PET]\r\nk=П\uFEFF\n"));
}

TEST(IniFileEdit, KeysAndSections)
{
    TestDir dir;
    IniFile ini(dir.file("t.ini"));
    ini.WriteString("S1", "a", "1");
    ini.WriteString("S1", "b", "2");
    ini.WriteString("S2", "c", "3");
    ini.WriteString("s1", "A", "10"); // an existing key keeps its spelling and place
    EXPECT_EQ(ini.ReadSectionValues("S1"), QStringList({"a=10", "b=2"}));

    ini.DeleteKey("S1", "A");
    ini.DeleteKey("S1", "missing");
    ini.DeleteKey("missing", "b");
    EXPECT_EQ(ini.ReadSection("S1"), QStringList({"b"}));

    ini.EraseSection("s2");
    ini.EraseSection("missing");
    EXPECT_EQ(ini.ReadSections(), QStringList({"S1"}));
    EXPECT_TRUE(ini.ReadSection("S2").isEmpty());
}

TEST(IniFileEdit, ErasedSectionLeavesTheOthersFoundAndComesBackLast)
{
    IniFile ini = IniFile::FromBytes("[A]\r\na=1\r\n[" + kStationCp + "]\r\nb=2\r\n[C]\r\nc=3\r\n");
    ini.EraseSection("a");
    EXPECT_EQ(ini.ReadString(u8("СТАНЦИЯ"), "b", ""), "2");
    EXPECT_EQ(ini.ReadString("c", "C", ""), "3");
    ini.WriteString("a", "x", "4");
    EXPECT_EQ(ini.ReadSections(), QStringList({u8("Станция"), "C", "a"}));
    EXPECT_EQ(ini.ReadString("A", "X", ""), "4");
}

// Many stations, many sections: loading stays linear in the file's size.
TEST(IniFileRead, ManySectionsLoadQuickly)
{
    QByteArray bytes;
    constexpr int count = 64000;
    for (int i = 0; i < count; ++i)
        bytes += "[S" + QByteArray::number(i) + "]\r\nname=" + QByteArray::number(i) + "\r\n";
    bytes += "[s17]\r\nextra=1\r\n"; // merges into S17 however many sections lie between
    const CpuTime cpu;
    const IniFile ini = IniFile::FromBytes(bytes);
    EXPECT_LT(cpu.milliseconds(), 5000 * kSanitizerSlowdown);
    EXPECT_EQ(ini.ReadSections().size(), count);
    EXPECT_EQ(ini.ReadSectionValues("S17"), QStringList({"name=17", "extra=1"}));
    EXPECT_EQ(ini.ReadString("s63999", "NAME", ""), "63999");
}

// Many keys in one section: each read finds its key by hash, the first line of a key written twice is
// the one read, and a deleted key gives way to its next line.
TEST(IniFileRead, ManyKeysOfASectionReadQuickly)
{
    QByteArray bytes = "[global]\r\n";
    constexpr int count = 100000;
    for (int i = 0; i < count; ++i)
        bytes += "k" + QByteArray::number(i) + '=' + QByteArray::number(i) + "\r\n";
    bytes += "K17=again\r\n";
    const CpuTime cpu;
    IniFile ini = IniFile::FromBytes(bytes);
    for (int i = 0; i < count; ++i)
        ASSERT_EQ(ini.ReadString("GLOBAL", u8("K") + QString::number(i), ""), QString::number(i));
    EXPECT_LT(cpu.milliseconds(), 5000 * kSanitizerSlowdown);
    ini.DeleteKey("global", "k17");
    EXPECT_EQ(ini.ReadString("global", "k17", ""), "again");
    ini.WriteString("global", "new", "1");
    EXPECT_EQ(ini.ReadString("global", "NEW", ""), "1");
    EXPECT_EQ(ini.ReadSection("global").size(), count + 1);
}

// Text without one section is a damaged file, not an empty one: read as empty, it would be overwritten
// by defaults. Blank and comment lines alone are still an empty image.
TEST(IniFileErrors, TextWithoutASectionIsDamaged)
{
    const QByteArray damaged[] = {
        QByteArray("\x00\x01\xFF\xFE garbage\x00", 13),
        "key=value\r\nother=1\r\n",
        "[not closed\r\n",
    };
    TestDir dir;
    for (const QByteArray &bytes : damaged) {
        const QString path = dir.file("Brenvale.ini");
        writeBytes(path, bytes);
        try {
            IniFile ini(path);
            ADD_FAILURE() << "read as an image: " << bytes.toHex().toStdString();
        } catch (const EFileError &e) {
            EXPECT_EQ(e.message(), u8("Не удалось прочитать файл %1: в нём нет ни одного раздела")
                                       .arg(QDir::toNativeSeparators(path)));
        }
        EXPECT_THROW(IniFile::FromBytes(bytes), EFileError);
    }
    for (const QByteArray &bytes :
         {QByteArray(), QByteArray("\r\n  \r\n; note\r\n\t\n"), QByteArray("\xEF\xBB\xBF\r\n")})
        EXPECT_TRUE(IniFile::FromBytes(bytes).ReadSections().isEmpty()) << bytes.toStdString();
}

// Each key costs its entry and strings, many times its bytes: an image that would pass the file's share
// of memory is refused, naming the share, rather than taking what the machine has.
TEST(IniFileErrors, AnImagePastItsShareIsRefused)
{
    // 10 MiB of empty keys: 2.1 million entries where the share is 8 times the bytes and 64 MiB.
    const QByteArray bytes = "[s]\r\n" + QByteArray("kk=\r\n").repeated((10 << 20) / 5 - 1);
    ASSERT_EQ(bytes.size(), 10 << 20);
    try {
        IniFile::FromBytes(bytes, QStringLiteral("big.ini"));
        ADD_FAILURE() << "read as an image";
    } catch (const EFileError &e) {
        EXPECT_EQ(e.message(), u8("Не удалось прочитать файл big.ini: данные файла заняли бы в памяти больше "
                                  "предела в 144 МиБ"));
    }
    // A mebibyte of them is within the 256 MiB of a small file.
    EXPECT_EQ(IniFile::FromBytes("[s]\r\n" + QByteArray("k=\r\n").repeated(250000))
                  .ReadSection(QStringLiteral("s"))
                  .size(),
              250000);
}

TEST(IniFileWrite, ExactBytesAfterEdit)
{
    TestDir dir;
    const QString path = dir.file("t.ini");
    writeBytes(path, "; header comment\n[Main]\nOne=1\n\n[Other]\nx=y\n");
    IniFile ini(path);
    ini.WriteString("main", "ONE", "first");
    ini.WriteString("MAIN", "two", "second");
    ini.WriteString("Third", "z", "");
    ini.UpdateFile();
    EXPECT_EQ(readBytes(path), QByteArray("[Main]\r\nOne=first\r\ntwo=second\r\n\r\n"
                                          "[Other]\r\nx=y\r\n\r\n"
                                          "[Third]\r\nz=\r\n\r\n"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList({"t.ini"})); // no temporary left over
}

TEST(IniFileWrite, CyrillicRoundTripsThroughWindows1251)
{
    TestDir dir;
    const QString path = dir.file("Stations.ini");
    {
        IniFile ini(path);
        ini.WriteString("X1", "name", u8("Пулково"));
        ini.WriteString(u8("Станция"), u8("Ключ"), u8("ёЁ"));
        // What the code page lacks, each unit of a letter beyond 16 bits too, is '?' as it has been.
        ini.WriteString(u8("Станция"), "far", u8("地震 🌋"));
        ini.UpdateFile();
    }
    EXPECT_EQ(readBytes(path), QByteArray("[X1]\r\nname=\xCF\xF3\xEB\xEA\xEE\xE2\xEE\r\n\r\n"
                                          "[") +
                                   kStationCp + "]\r\n" + kKeyCp + "=\xB8\xA8\r\nfar=?? ??\r\n\r\n");
    IniFile again(path);
    EXPECT_EQ(again.ReadString("x1", "NAME", ""), u8("Пулково"));
    EXPECT_EQ(again.ReadString(u8("станция"), u8("ключ"), ""), u8("ёЁ"));
}

TEST(IniFileErrors, UnwritableAndUnreadableFiles)
{
    TestDir dir;
    IniFile lost(dir.file("no/such/folder/t.ini"));
    lost.WriteString("a", "b", "c");
    try {
        lost.UpdateFile();
        ADD_FAILURE() << "no error raised";
    } catch (const EFileError &e) {
        EXPECT_TRUE(e.message().startsWith(u8("Не удалось записать файл "))) << e.what();
        EXPECT_TRUE(e.message().contains("t.ini")) << e.what();
    }

    // A path that exists but cannot be read as a file must not pass for an empty image.
    QDir(dir.path()).mkdir("folder.ini");
    EXPECT_THROW(IniFile(dir.file("folder.ini")), EFileError);
}

} // namespace
