#include "lib/temp_folders.h"
#include "support/test_support.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// The temporary folder of the test's own for its life.
struct OwnTemp
{
    TestDir dir;
    QByteArray old = qgetenv("TMPDIR");
    OwnTemp() { qputenv("TMPDIR", dir.path().toLocal8Bit()); }
    ~OwnTemp() { qputenv("TMPDIR", old); }
    QString path(const QString &name) const { return dir.file(name); }
};

// The id of a process that has ended.
qint64 endedProcess()
{
    QProcess p;
    p.start(u"true"_s, {});
    const qint64 pid = p.processId();
    p.waitForFinished();
    return pid > 0 ? pid : 999999999;
}

void folderWithFiles(const QString &path)
{
    ASSERT_TRUE(QDir().mkpath(path + u"/inner"_s));
    ASSERT_TRUE(writeBytes(path + u"/_ori1101.orv"_s, "x"));
    ASSERT_TRUE(writeBytes(path + u"/inner/system"_s, "origin arrival"));
}

const char kChildVariable[] = "BRENVALE_TEMP_FOLDER_CHILD";

} // namespace

TEST(StaleTempFolders, OnlyTheProgramsFoldersOfEndedProcessesGo)
{
    OwnTemp temp;
    const QString dead = QString::number(endedProcess());
    const QString own = QString::number(QCoreApplication::applicationPid());
    folderWithFiles(temp.path(u"brenvale-"_s + dead + u"-a1B2c3"_s));
    folderWithFiles(temp.path(u"brenvale-"_s + own + u"-a1B2c3"_s));
    folderWithFiles(temp.path(u"brenvale-1-a1B2c3"_s)); // init never ends
    folderWithFiles(temp.path(u"brenvale-"_s + dead + u"-a1B2c"_s));
    folderWithFiles(temp.path(u"other-"_s + dead + u"-a1B2c3"_s));
    folderWithFiles(temp.path(u"victim"_s));
    ASSERT_TRUE(QFile::link(temp.path(u"victim"_s), temp.path(u"brenvale-"_s + dead + u"-link00"_s)));
    ASSERT_TRUE(writeBytes(temp.path(u"brenvale-"_s + dead + u"-file00"_s), "a file"));

    EXPECT_EQ(RemoveStaleTempFolders(), 1);
    QStringList left = folderEntries(temp.dir.path()), kept{u"brenvale-"_s + dead + u"-a1B2c"_s,
                                                            u"brenvale-"_s + dead + u"-file00"_s,
                                                            u"brenvale-"_s + dead + u"-link00"_s,
                                                            u"brenvale-"_s + own + u"-a1B2c3"_s,
                                                            u"brenvale-1-a1B2c3"_s,
                                                            u"other-"_s + dead + u"-a1B2c3"_s,
                                                            u"victim"_s};
    left.sort();
    kept.sort();
    EXPECT_EQ(left, kept);
    EXPECT_EQ(folderEntries(temp.path(u"victim"_s)), (QStringList{u"_ori1101.orv"_s, u"inner"_s}));
    EXPECT_EQ(RemoveStaleTempFolders(), 0);
}

TEST(StaleTempFolders, FoldersAreNamedAfterTheirProcess)
{
    OwnTemp temp;
    QString path;
    {
        ProgramTempDir dir;
        ASSERT_TRUE(dir.isValid());
        path = dir.path();
        EXPECT_TRUE(QFileInfo(path).fileName().startsWith(
            u"brenvale-"_s + QString::number(QCoreApplication::applicationPid()) + u'-'))
            << path.toStdString();
        EXPECT_EQ(QFileInfo(path).path(), temp.dir.path());
        // Its own process is running: the folder stays.
        EXPECT_EQ(RemoveStaleTempFolders(), 0);
        EXPECT_TRUE(QFileInfo::exists(path));
    }
    EXPECT_FALSE(QFileInfo::exists(path));
}

// The child of the next test: holds a folder of its own until it is killed.
TEST(TempFolderChild, DISABLED_HoldsAFolderUntilKilled)
{
    if (qEnvironmentVariableIsEmpty(kChildVariable))
        return;
    ProgramTempDir dir;
    writeBytes(dir.filePath(u"_arr1101.orv"_s), QByteArray(4096, 'a'));
    printf("FOLDER %s\n", qPrintable(dir.path()));
    fflush(stdout);
    QThread::sleep(60);
}

// A run killed with -9 leaves its folder; the next start removes it, and only once the run is gone.
TEST(StaleTempFolders, AKilledRunsFolderGoesAtTheNextStart)
{
    OwnTemp temp;
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(kChildVariable), u"1"_s);
    env.insert(u"TMPDIR"_s, temp.dir.path());
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(),
                {u"--gtest_also_run_disabled_tests"_s, u"--gtest_filter=TempFolderChild.*"_s});
    QString folder;
    QElapsedTimer clock;
    clock.start();
    while (folder.isEmpty() && clock.elapsed() < 60000 && child.waitForReadyRead(60000)) {
        while (child.canReadLine()) {
            const QString line = QString::fromLocal8Bit(child.readLine()).trimmed();
            if (line.startsWith(u"FOLDER "_s))
                folder = line.mid(7);
        }
    }
    ASSERT_FALSE(folder.isEmpty());
    EXPECT_EQ(RemoveStaleTempFolders(), 0);
    EXPECT_TRUE(QFileInfo(folder).isDir());

    child.kill();
    ASSERT_TRUE(child.waitForFinished(10000));
    EXPECT_EQ(child.exitStatus(), QProcess::CrashExit);
    EXPECT_TRUE(QFileInfo(folder + u"/_arr1101.orv"_s).isFile());
    EXPECT_EQ(RemoveStaleTempFolders(), 1);
    EXPECT_FALSE(QFileInfo::exists(folder));
}
