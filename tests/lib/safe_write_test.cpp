#include "lib/errors.h"
#include "lib/ini_file.h"
#include "lib/safe_write.h"
#include "lib/system_errors.h"

#include "support/test_support.h"

#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

TEST(SafeWrite, NewFileGetsTheBytesAndTheUsualMode)
{
    TestDir dir;
    const QString path = dir.file("new.txt");
    const mode_t mask = ::umask(022);
    EXPECT_TRUE(SafeWriteFile(path, "line 1\r\nline 2\r\n"));
    ::umask(mask);
    EXPECT_EQ(readBytes(path), "line 1\r\nline 2\r\n");
    struct stat st
    {
    };
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
    EXPECT_EQ(folderEntries(dir.path()), QStringList{"new.txt"});
}

TEST(SafeWrite, ReplacedFileKeepsItsMode)
{
    TestDir dir;
    const QString path = dir.file("old.txt");
    ASSERT_TRUE(writeBytes(path, "old"));
    ::chmod(QFile::encodeName(path).constData(), 0640);
    EXPECT_TRUE(SafeWriteFile(path, "new contents"));
    EXPECT_EQ(readBytes(path), "new contents");
    struct stat st
    {
    };
    ::stat(QFile::encodeName(path).constData(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

// A full disk part-way, at the first byte, or exactly at the end must leave the good file whole.
TEST(SafeWrite, FullDiskLeavesTheOldFileAndNoTemporary)
{
    const QByteArray good = "[global]\r\nkey=value\r\n";
    const QByteArray longer(5000, 'x');
    for (const qint64 budget : {qint64(0), qint64(1), qint64(4999)}) {
        TestDir dir;
        const QString path = dir.file("Brenvale.ini");
        ASSERT_TRUE(writeBytes(path, good));
        QString reason;
        {
            DiskFullAfter full(budget);
            EXPECT_FALSE(SafeWriteFile(path, longer, &reason)) << budget;
        }
        EXPECT_FALSE(reason.isEmpty()) << budget;
        EXPECT_EQ(readBytes(path), good) << budget;
        EXPECT_EQ(folderEntries(dir.path()), QStringList{"Brenvale.ini"}) << budget;
    }
}

TEST(SafeWrite, StreamedWritesAndCancel)
{
    TestDir dir;
    const QString path = dir.file("report.htm");
    ASSERT_TRUE(writeBytes(path, "old"));
    {
        SafeFileWriter writer(path);
        ASSERT_TRUE(writer.open());
        EXPECT_TRUE(writer.write("<html>\r\n"));
        EXPECT_TRUE(writer.write("</html>\r\n"));
        // Dropped without commit: the old file stays.
    }
    EXPECT_EQ(readBytes(path), "old");
    EXPECT_EQ(folderEntries(dir.path()), QStringList{"report.htm"});

    SafeFileWriter writer(path);
    ASSERT_TRUE(writer.open());
    EXPECT_TRUE(writer.write("<html>\r\n"));
    EXPECT_TRUE(writer.write("</html>\r\n"));
    EXPECT_TRUE(writer.commit());
    EXPECT_EQ(readBytes(path), "<html>\r\n</html>\r\n");
}

// A count known only after the rows goes into the head already written; nothing past the end.
TEST(SafeWrite, RewriteReplacesWrittenBytesOnly)
{
    TestDir dir;
    const QString path = dir.file("origin.orv");
    ASSERT_TRUE(writeBytes(path, "old"));
    {
        SafeFileWriter writer(path);
        ASSERT_TRUE(writer.open());
        ASSERT_TRUE(writer.write("n=0000;rows"));
        EXPECT_FALSE(writer.rewrite(9, "xyz")); // would reach past the 11 bytes written
        EXPECT_FALSE(writer.errorString().isEmpty());
        EXPECT_FALSE(writer.commit());
    }
    EXPECT_EQ(readBytes(path), "old");

    SafeFileWriter writer(path);
    ASSERT_TRUE(writer.open());
    ASSERT_TRUE(writer.write("n=0000;"));
    ASSERT_TRUE(writer.write("rows"));
    EXPECT_TRUE(writer.rewrite(2, "1234"));
    EXPECT_TRUE(writer.rewrite(10, "S"));
    EXPECT_TRUE(writer.write("!"));
    EXPECT_TRUE(writer.commit());
    EXPECT_EQ(readBytes(path), "n=1234;rowS!");
}

TEST(SafeWrite, MissingFolderIsReported)
{
    TestDir dir;
    QString reason;
    EXPECT_FALSE(SafeWriteFile(dir.file("no/such/folder/f.txt"), "x", &reason));
    EXPECT_EQ(reason, QStringLiteral("нет такого файла или папки"));
    EXPECT_THROW(SafeWriteFileOrThrow(dir.file("no/f.txt"), "x"), EFileError);
}

// The common reasons in Russian, a rare one by its number with the system's own text; a file's by what
// Qt kept of it.
TEST(SystemErrors, CommonReasonsInRussian)
{
    const std::pair<int, const char *> cases[] = {{ENOSPC, "нет места на диске"},
                                                  {EROFS, "диск доступен только для чтения"},
                                                  {EACCES, "нет прав доступа"}};
    for (const auto &[code, words] : cases)
        EXPECT_EQ(SystemErrorText(code), QString::fromUtf8(words)) << code;
    const QString rare = SystemErrorText(EOPNOTSUPP);
    EXPECT_TRUE(rare.startsWith(QStringLiteral("системная ошибка %1 (").arg(EOPNOTSUPP)) &&
                rare.endsWith(u')'))
        << rare.toStdString();

    TestDir dir;
    QFile missing(dir.file("none.txt"));
    EXPECT_FALSE(missing.open(QIODevice::ReadOnly));
    EXPECT_EQ(FileErrorText(missing), QStringLiteral("нет такого файла или папки"));
    QFile folder(dir.path());
    EXPECT_FALSE(folder.open(QIODevice::ReadOnly));
    EXPECT_EQ(FileErrorText(folder), QStringLiteral("это папка, а не файл"));
}

TEST(SafeWrite, WritingThroughALinkKeepsTheLink)
{
    TestDir dir;
    const QString real = dir.file("real.ini");
    const QString link = dir.file("link.ini");
    ASSERT_TRUE(writeBytes(real, "old"));
    ASSERT_TRUE(QFile::link(real, link));
    EXPECT_TRUE(SafeWriteFile(link, "new"));
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(readBytes(real), "new");
}

TEST(SafeWrite, IniFileOnAFullDiskRaisesAndKeepsTheFile)
{
    TestDir dir;
    const QString path = dir.file("Stations.ini");
    ASSERT_TRUE(writeBytes(path, "[PET]\r\nsta=PET\r\n\r\n"));
    IniFile ini(path);
    ini.WriteString("PET", "name", QString(2000, u'Ж'));
    DiskFullAfter full(100);
    EXPECT_THROW(ini.UpdateFile(), EFileError);
    EXPECT_EQ(readBytes(path), "[PET]\r\nsta=PET\r\n\r\n");
}

} // namespace
