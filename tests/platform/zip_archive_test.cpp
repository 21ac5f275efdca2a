#include "platform/zip_archive.h"

#include "lib/codec.h"
#include "lib/errors.h"
#include "support/cpu_time.h"
#include "support/test_support.h"
#include "support/zip_writer.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QUuid>

#include <gtest/gtest.h>

#include <functional>

using namespace Qt::StringLiterals;

namespace {

struct ProgramRun
{
    int code = -1;
    QByteArray out;
};

ProgramRun run(const QString &program, const QStringList &args, const QString &workDir)
{
    QProcess p;
    p.setWorkingDirectory(workDir);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForFinished(20000)) {
        p.kill();
        p.waitForFinished();
        return {};
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAll()};
}

// Python's zipfile stores member names exactly as given, which is how the hostile archives are made.
void pythonZip(const QString &zipName, const QStringList &names)
{
    const QString script = QStringLiteral("import sys, zipfile\n"
                                          "with zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
                                          "    for n in sys.argv[2:]:\n"
                                          "        z.writestr(zipfile.ZipInfo(n), 'member ' + n)\n");
    const ProgramRun r = run(u"python3"_s, QStringList{"-c", script, zipName} + names, QDir::tempPath());
    ASSERT_EQ(r.code, 0) << r.out.constData();
}

QByteArray sample(int size, int seed)
{
    QByteArray b;
    for (int i = 0; i < size; ++i)
        b.append(char((i * seed + i / 7) % 251));
    return b;
}

QStringList lines(const QByteArray &out)
{
    return QString::fromUtf8(out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

TEST(ZipFiles, ArchiveReadsBackWithUnzip)
{
    TestDir dir;
    const QString cyr = u"Сводка 064.txt"_s;
    const QStringList names{u"z.txt"_s, u"a.bin"_s, cyr};
    const QList<QByteArray> contents{QByteArray("ОБН 05001\r\n").repeated(200),
                                     // Far more than libzip buffers: the archive streams to the disk and
                                     // the member's header is put in after its data.
                                     sample(2500000, 13), toCp1251(u"Сводка\r\n"_s)};
    QStringList files;
    for (int i = 0; i < names.size(); ++i) {
        files << dir.file(u"in/sub%1/"_s.arg(i) + names[i]);
        ASSERT_TRUE(writeBytes(files.last(), contents[i]));
    }
    const QString zip = dir.file(u"out.zip"_s);
    ASSERT_TRUE(writeBytes(zip, "an old file of that name"));

    zipFiles(zip, QString(), files);

    const ProgramRun list = run(u"unzip"_s, {"-Z1", zip}, dir.path());
    ASSERT_EQ(list.code, 0) << list.out.constData();
    EXPECT_EQ(lines(list.out), names); // bare names, list order
    const ProgramRun details = run(u"unzip"_s, {"-Zv", zip}, dir.path());
    EXPECT_EQ(details.out.count("compression method:                             deflated"), 3)
        << details.out.constData();
    EXPECT_EQ(details.out.count("compression sub-type (deflation):               maximum"), 3);

    const ProgramRun unpack = run(u"unzip"_s, {"-o", "-q", zip, "-d", dir.file("check")}, dir.path());
    ASSERT_EQ(unpack.code, 0) << unpack.out.constData();
    for (int i = 0; i < names.size(); ++i)
        EXPECT_EQ(readBytes(dir.file(u"check/"_s + names[i])), contents[i]) << names[i].toStdString();
}

TEST(ZipFiles, OneFileWinsOverTheList)
{
    TestDir dir;
    ASSERT_TRUE(writeBytes(dir.file("one.txt"), "one"));
    ASSERT_TRUE(writeBytes(dir.file("two.txt"), "two"));
    const QString zip = dir.file("x.zip");
    zipFiles(zip, dir.file("one.txt"), {dir.file("two.txt")});
    const ProgramRun list = run(u"unzip"_s, {"-Z1", zip}, dir.path());
    EXPECT_EQ(lines(list.out), QStringList{"one.txt"});
}

TEST(ZipFiles, EmptyListGivesEmptyArchive)
{
    TestDir dir;
    const QString zip = dir.file("empty.zip");
    ASSERT_TRUE(writeBytes(zip, sample(500, 3)));
    zipFiles(zip, QString(), {});
    EXPECT_EQ(readBytes(zip), QByteArray("PK\x05\x06", 4) + QByteArray(18, '\0'));
    const ProgramRun list = run(u"unzip"_s, {"-l", zip}, dir.path());
    EXPECT_EQ(list.code, 1) << list.out.constData(); // unzip's "warning" status, not an error
    EXPECT_TRUE(list.out.contains("zipfile is empty")) << list.out.constData();
    EXPECT_NO_THROW(unzipAll(zip, dir.file("out")));
}

TEST(ZipFiles, FailuresRaiseAndKeepAnOldArchive)
{
    TestDir dir;
    ASSERT_TRUE(writeBytes(dir.file("a/same.txt"), "a"));
    ASSERT_TRUE(writeBytes(dir.file("b/same.txt"), "b"));
    const std::pair<const char *, QStringList> cases[] = {
        {"missing file", {dir.file("a/same.txt"), dir.file("missing.txt")}},
        {"a folder", {dir.file("a")}},
        {"one bare name twice", {dir.file("a/same.txt"), dir.file("b/same.txt")}},
    };
    for (const auto &[name, files] : cases) {
        const QString zip = dir.file("x.zip");
        ASSERT_TRUE(writeBytes(zip, "old"));
        EXPECT_THROW(zipFiles(zip, QString(), files), EFileError) << name;
        EXPECT_EQ(readBytes(zip), QByteArray("old")) << name;
    }
    EXPECT_THROW(zipFiles(dir.file("no/such/folder/x.zip"), dir.file("a/same.txt"), {}), EFileError);

    // A full disk leaves the old archive whole and no temporary file.
    ASSERT_TRUE(writeBytes(dir.file("big/big.bin"), sample(40000, 17)));
    zipFiles(dir.file("whole.zip"), dir.file("big/big.bin"), {});
    const qint64 whole = QFileInfo(dir.file("whole.zip")).size();
    for (const qint64 bytes : {qint64(0), qint64(1000), whole / 2, whole - 1}) {
        ASSERT_TRUE(writeBytes(dir.file("full/x.zip"), "old"));
        {
            DiskFullAfter disk(bytes);
            EXPECT_THROW(zipFiles(dir.file("full/x.zip"), dir.file("big/big.bin"), {}), EFileError) << bytes;
        }
        EXPECT_EQ(readBytes(dir.file("full/x.zip")), QByteArray("old")) << bytes;
        EXPECT_EQ(folderEntries(dir.file("full")), QStringList{"x.zip"}) << bytes;
    }
}

TEST(UnzipAll, ArchivesOfTheZipProgram)
{
    TestDir dir;
    const QByteArray text = QByteArray("Station bulletin line\r\n").repeated(400);
    const QByteArray binary = sample(50000, 31);
    ASSERT_TRUE(writeBytes(dir.file("src/a.txt"), text));
    ASSERT_TRUE(writeBytes(dir.file("src/sub/deeper/b.bin"), binary));
    ASSERT_TRUE(writeBytes(dir.file("src/empty/.keep"), ""));
    const std::pair<const char *, QStringList> cases[] = {
        {"deflate", {"-r", "-9", "../deflate.zip", "."}},
        {"stored", {"-r", "-0", "../stored.zip", "."}},
        {"bzip2", {"-r", "-Z", "bzip2", "../bzip2.zip", "."}},
    };
    for (const auto &[method, args] : cases) {
        const ProgramRun made = run(u"zip"_s, args, dir.file("src"));
        ASSERT_EQ(made.code, 0) << made.out.constData();
        const QString out = dir.file(u"out-"_s + method);
        unzipAll(dir.file(u"%1.zip"_s.arg(method)), out + QLatin1Char('/'));
        EXPECT_EQ(readBytes(out + "/a.txt"), text) << method;
        EXPECT_EQ(readBytes(out + "/sub/deeper/b.bin"), binary) << method;
        EXPECT_TRUE(QFileInfo(out + "/empty").isDir()) << method;
    }
}

TEST(UnzipAll, EmptyDirMeansNextToTheArchiveAndFilesAreOverwritten)
{
    TestDir dir;
    ASSERT_TRUE(writeBytes(dir.file("in/r.txt"), "new content"));
    const QString zip = dir.file("arc/r.zip");
    QDir().mkpath(dir.file("arc"));
    zipFiles(zip, dir.file("in/r.txt"), {});
    ASSERT_TRUE(writeBytes(dir.file("arc/r.txt"), "old content that is longer"));
    unzipAll(zip, QString());
    EXPECT_EQ(readBytes(dir.file("arc/r.txt")), QByteArray("new content"));
}

TEST(UnzipAll, MemberNamesInCp866OrUtf8)
{
    TestDir dir;
    // Our own archive names its member in UTF-8 with the flag set.
    const QString name = u"Сводка.txt"_s;
    ASSERT_TRUE(writeBytes(dir.file("in/") + name, "x"));
    zipFiles(dir.file("utf8.zip"), dir.file("in/") + name, {});
    unzipAll(dir.file("utf8.zip"), dir.file("out-utf8"));
    EXPECT_EQ(readBytes(dir.file("out-utf8/") + name), QByteArray("x"));

    // A DOS archiver writes the same name in cp866 without the flag: the same length as an ASCII
    // placeholder, so the bytes are swapped in place.
    ASSERT_TRUE(writeBytes(dir.file("in/AAAAAA.txt"), "y"));
    zipFiles(dir.file("dos.zip"), dir.file("in/AAAAAA.txt"), {});
    QByteArray bytes = readBytes(dir.file("dos.zip"));
    ASSERT_EQ(bytes.count("AAAAAA.txt"), 2);
    bytes.replace("AAAAAA", "\x91\xA2\xAE\xA4\xAA\xA0"); // "Сводка" in cp866
    ASSERT_TRUE(writeBytes(dir.file("dos.zip"), bytes));
    unzipAll(dir.file("dos.zip"), dir.file("out-dos"));
    EXPECT_EQ(QDir(dir.file("out-dos")).entryList(QDir::Files), QStringList{name});

    EXPECT_EQ(zipMemberName("\x8F\x85\x92/\xAF\xE0\xEF.txt", false), u"ПЕТ/пря.txt"_s);
    EXPECT_EQ(zipMemberName("\xD0\x9F.txt", true), u"П.txt"_s);
}

// Mended: a member may not be written outside the target folder; the rest of the archive still is.
TEST(UnzipAll, MembersOutsideTheFolderAreRefused)
{
    TestDir dir;
    const QString absolute =
        QDir::tempPath() + u"/brenvale-abs-"_s + QUuid::createUuid().toString(QUuid::Id128);
    const std::tuple<const char *, QStringList, QStringList, QStringList> cases[] = {
        {"parent", {"../evil.txt", "ok.txt"}, {"../evil.txt"}, {"ok.txt"}},
        {"parent inside a path",
         {"a/b/../../../evil.txt", "a/b/ok.txt"},
         {"a/b/../../../evil.txt"},
         {"a/b/ok.txt"}},
        {"absolute", {absolute, "ok.txt"}, {absolute}, {"ok.txt"}},
        {"backslashes", {"..\\evil.txt", "sub\\ok.txt"}, {"../evil.txt"}, {"sub/ok.txt"}},
        {"drive", {"C:/evil.txt", "ok.txt"}, {"C:/evil.txt"}, {"ok.txt"}},
    };
    for (const auto &[name, members, refused, written] : cases) {
        const QString zip = dir.file(u"%1.zip"_s.arg(name));
        pythonZip(zip, members);
        const QString out = dir.file(u"t/%1/out"_s.arg(name));
        try {
            unzipAll(zip, out);
            ADD_FAILURE() << name << ": no error raised";
        } catch (const EFileError &e) {
            for (const QString &r : refused)
                EXPECT_TRUE(e.message().contains(r)) << name << ": " << e.what();
        }
        for (const QString &w : written)
            EXPECT_TRUE(QFileInfo(out + u'/' + w).isFile()) << name << ": " << w.toStdString();
        EXPECT_FALSE(QFileInfo::exists(dir.file(u"t/%1/evil.txt"_s.arg(name)))) << name;
        EXPECT_FALSE(QFileInfo::exists(dir.file(u"t/evil.txt"_s))) << name;
        EXPECT_FALSE(QFileInfo::exists(absolute)) << name;
    }
}

TEST(UnzipAll, BrokenArchivesRaise)
{
    TestDir dir;
    ASSERT_TRUE(writeBytes(dir.file("junk.zip"), "this is not an archive"));
    EXPECT_THROW(unzipAll(dir.file("junk.zip"), dir.file("out")), EFileError);
    EXPECT_THROW(unzipAll(dir.file("missing.zip"), dir.file("out")), EFileError);

    // A damaged member fails its check sum rather than leaving wrong bytes behind silently.
    ASSERT_TRUE(writeBytes(dir.file("in/s.txt"), "stored text"));
    ASSERT_EQ(run(u"zip"_s, {"-0", "-j", dir.file("s.zip"), dir.file("in/s.txt")}, dir.path()).code, 0);
    QByteArray bytes = readBytes(dir.file("s.zip"));
    bytes.replace("stored text", "STORED TEXT");
    ASSERT_TRUE(writeBytes(dir.file("s.zip"), bytes));
    EXPECT_THROW(unzipAll(dir.file("s.zip"), dir.file("out")), EFileError);
}

// A member that cannot be unpacked whole never replaces the file it would overwrite, and leaves no
// temporary file behind; the members before it are unpacked.
TEST(UnzipAll, FailedMemberKeepsTheOldFile)
{
    TestDir dir;
    const QByteArray good = QByteArray("the good file\r\n").repeated(50);
    const QByteArray first = QByteArray("first member\r\n").repeated(20);
    const QByteArray second = QByteArray("second member\r\n").repeated(400);
    ASSERT_TRUE(writeBytes(dir.file("in/a.txt"), first));
    ASSERT_TRUE(writeBytes(dir.file("in/s.txt"), second));
    ASSERT_EQ(
        run(u"zip"_s, {"-0", "-j", dir.file("s.zip"), dir.file("in/a.txt"), dir.file("in/s.txt")}, dir.path())
            .code,
        0);
    QByteArray damaged = readBytes(dir.file("s.zip"));
    const qsizetype at = damaged.indexOf("second member");
    ASSERT_GT(at, 0);
    damaged[at + 2000] = 'X'; // far into the member: the check sum fails only at its end
    ASSERT_TRUE(writeBytes(dir.file("damaged.zip"), damaged));

    struct Case
    {
        const char *name;
        const char *zip;
        qint64 diskBytes; // negative: no limit
        QByteArray firstAfter;
    } cases[] = {
        {"damaged member", "damaged.zip", -1, first},
        {"full disk in the second member", "s.zip", first.size() + 1000, first},
        {"full disk in the first member", "s.zip", 100, good},
    };
    for (const Case &c : cases) {
        const QString out = dir.file(u"out-"_s + QString::fromLatin1(c.name));
        ASSERT_TRUE(writeBytes(out + "/a.txt", good));
        ASSERT_TRUE(writeBytes(out + "/s.txt", good));
        {
            DiskFullAfter disk(c.diskBytes);
            EXPECT_THROW(unzipAll(dir.file(QString::fromLatin1(c.zip)), out), EFileError) << c.name;
        }
        EXPECT_EQ(readBytes(out + "/s.txt"), good) << c.name;
        EXPECT_EQ(readBytes(out + "/a.txt"), c.firstAfter) << c.name;
        EXPECT_EQ(folderEntries(out), QStringList({"a.txt", "s.txt"})) << c.name;
    }
}

// Mended: archives made to fill the disk or to write beside the folder are refused before they do, in
// well under a second, and leave nothing behind beside the folder either.
TEST(UnzipAll, HostileArchivesAreRefusedBeforeTheyWrite)
{
    TestDir dir;
    const QByteArray zeros(QByteArray(1 << 20, '\0'));
    UnzipLimits tight;
    tight.maxBytes = 3 << 20;
    tight.ratioFrom = qint64(1) << 40;
    UnzipLimits distinct;
    distinct.distinctNames = true;
    struct Case
    {
        const char *name;
        std::function<void(ZipWriter &)> make;
        UnzipLimits limits;
        QString message; // after 'Архив "<zip>"'
        QStringList written;
        // Changes the archive's bytes after it is made, as damage does.
        std::function<void(QByteArray &)> spoil = {};
    };
    const Case cases[] = {
        {"a member named nothing or \".\"",
         [](ZipWriter &z) {
             z.add("", "beside the folder");
             z.add(".", "the folder itself");
             z.add("ok.txt", "kept");
         },
         {},
         u": не распакованы элементы без имени файла: \"\", \".\""_s,
         {"ok.txt"}},
        // 1 MiB of zeros that claims to be half a gibibyte, and one that claims a whole one.
        {"half a gibibyte in a small archive",
         [&](ZipWriter &z) {
             z.add("ok.txt", "first");
             z.add("_ori1101.orv", zeros, true, qint64(1) << 29);
         },
         {},
         u" сжат сильнее предела 100:1 (512 МиБ из %1 байт)"_s,
         {}},
        {"a gibibyte",
         [&](ZipWriter &z) {
             z.add("ok.txt", "first");
             z.add("_ori1101.orv", zeros, true, qint64(1) << 30);
         },
         {},
         u": распакованные файлы больше предела в 1024 МиБ"_s,
         {}},
        {"past the total",
         [&](ZipWriter &z) {
             for (const char *name : {"a.bin", "b.bin", "c.bin", "d.bin"})
                 z.add(name, zeros);
         },
         tight,
         u": распакованные файлы больше предела в 3 МиБ"_s,
         {}},
        // The archive states a kilobyte but gives four mebibytes: counted as it comes.
        {"more than stated",
         [&](ZipWriter &z) { z.add("a.bin", zeros.repeated(4), true, 1024); },
         tight,
         u": распакованные файлы больше предела в 3 МиБ"_s,
         {}},
        {"sixty thousand empty members",
         [](ZipWriter &z) {
             for (int i = 0; i < 60000; ++i)
                 z.add(QByteArray::number(i), {}, false);
         },
         {},
         u": 60000 элементов, больше предела в 10000"_s,
         {}},
        // Where names must be distinct, a member of a name already seen is refused before anything is
        // written, whether the name is the same or only the same file.
        {"a member twice",
         [](ZipWriter &z) {
             z.add("ok.txt", "first");
             z.add("system", "origin");
             z.add("system", "arrival");
         },
         distinct,
         u" повреждён: элемент \"system\" записан в нём дважды"_s,
         {}},
        {"members alike but for case",
         [](ZipWriter &z) {
             z.add("_ori1101.orv", "first");
             z.add("_ORI1101.ORV", "second");
         },
         distinct,
         u" повреждён: элементы \"_ori1101.orv\" и \"_ORI1101.ORV\" указывают на один файл"_s,
         {}},
        {"members of one file through \".\"",
         [](ZipWriter &z) {
             z.add("sub/system", "first");
             z.add("sub/./system", "second");
         },
         distinct,
         u" повреждён: элементы \"sub/system\" и \"sub/./system\" указывают на один файл"_s,
         {}},
        // A member whose stored bytes were changed: named as it is stored, in words.
        {"a member failing its check sum",
         [](ZipWriter &z) {
             z.add("ok.txt", "first", false);
             z.add("s.txt", "stored text", false);
         },
         {},
         u": элемент \"s.txt\" не распакован: контрольная сумма не сходится, данные повреждены (libzip: CRC "
         "error)"_s,
         {"ok.txt"},
         [](QByteArray &bytes) { bytes.replace("stored text", "STORED TEXT"); }},
    };
    for (const Case &c : cases) {
        ZipWriter z;
        c.make(z);
        const QString zip = dir.file(u"%1.zip"_s.arg(QString::fromUtf8(c.name)));
        QByteArray bytes = z.bytes();
        if (c.spoil)
            c.spoil(bytes);
        ASSERT_TRUE(writeBytes(zip, bytes));
        const QString out = dir.file(u"t/%1/out"_s.arg(QString::fromUtf8(c.name)));
        QDir().mkpath(out);
        const CpuTime cpu;
        try {
            unzipAll(zip, out, c.limits);
            ADD_FAILURE() << c.name << ": no error raised";
        } catch (const EFileError &e) {
            QString expected = c.message;
            if (expected.contains(u"%1"_s))
                expected = expected.arg(QFileInfo(zip).size());
            EXPECT_EQ(e.message(), u"Архив \"%1\""_s.arg(zip) + expected) << c.name;
        }
        EXPECT_LT(cpu.milliseconds(), 2000 * kSanitizerSlowdown) << c.name;
        EXPECT_EQ(folderEntries(out), c.written) << c.name;
        EXPECT_EQ(folderEntries(dir.file(u"t/%1"_s.arg(QString::fromUtf8(c.name)))), QStringList{"out"})
            << c.name;
    }
}

} // namespace
