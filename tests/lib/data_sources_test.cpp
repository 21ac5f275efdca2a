#include "support/test_support.h"
#include "lib/combo_routines.h"
#include "lib/data_sources.h"

#include <QComboBox>
#include <QDir>

#include <gtest/gtest.h>

namespace {

// Sets environment variables for one test and puts the old values back.
class EnvGuard
{
public:
    void set(const char *name, const QString &value)
    {
        remember(name);
        qputenv(name, value.toLocal8Bit());
    }
    void unset(const char *name)
    {
        remember(name);
        qunsetenv(name);
    }
    ~EnvGuard()
    {
        for (const auto &[name, value] : m_saved) {
            if (value.isNull())
                qunsetenv(name.constData());
            else
                qputenv(name.constData(), value);
        }
    }

private:
    void remember(const char *name)
    {
        for (const auto &saved : m_saved)
            if (saved.first == name)
                return;
        m_saved.append({QByteArray(name), qEnvironmentVariableIsSet(name) ? qgetenv(name) : QByteArray()});
    }
    QList<QPair<QByteArray, QByteArray>> m_saved;
};

const QString kTnsNames = QStringLiteral("# ORCL.OLD = (DESCRIPTION = (ADDRESS = (HOST = old)))\r\n"
                                         "ORCL.WORLD =\r\n"
                                         "  (DESCRIPTION =\r\n"
                                         "    (ADDRESS = (PROTOCOL = TCP)(HOST = db1)(PORT = 1521))\r\n"
                                         "    (CONNECT_DATA = (SERVICE_NAME = orcl))\r\n"
                                         "  )\r\n"
                                         "\r\n"
                                         "\tzed.world=(DESCRIPTION=(ADDRESS=(HOST=db2)))\r\n"
                                         "  BRN = \r\n"
                                         "ORCL.WORLD=(DESCRIPTION=(ADDRESS=(HOST=db3)))\r\n"
                                         "no equals sign here\r\n");
const QStringList kAliases{QStringLiteral("BRN"), QStringLiteral("ORCL.WORLD"), QStringLiteral("ORCL.WORLD"),
                           QStringLiteral("zed.world")};

TEST(GetOracleTNSNames, AliasesOfTheFileSorted)
{
    TestDir dir;
    ASSERT_TRUE(writeBytes(dir.file(QStringLiteral("admin/tnsnames.ora")), kTnsNames.toLatin1()));
    ASSERT_TRUE(writeBytes(dir.file(QStringLiteral("home/network/admin/tnsnames.ora")),
                           QByteArrayLiteral("HOME.ALIAS =\n  (DESCRIPTION = )\n")));
    const struct
    {
        const char *what;
        QString tnsAdmin; // null: unset
        QString oracleHome;
        QStringList expected;
    } cases[] = {
        {"TNS_ADMIN first", dir.file(QStringLiteral("admin")), dir.file(QStringLiteral("home")), kAliases},
        {"then ORACLE_HOME", QString(), dir.file(QStringLiteral("home")), {QStringLiteral("HOME.ALIAS")}},
        {"neither", QString(), QString(), {}},
        {"folder without the file", dir.file(QStringLiteral("nowhere")), QString(), {}},
    };
    for (const auto &c : cases) {
        EnvGuard env;
        if (c.tnsAdmin.isNull())
            env.unset("TNS_ADMIN");
        else
            env.set("TNS_ADMIN", c.tnsAdmin);
        if (c.oracleHome.isNull())
            env.unset("ORACLE_HOME");
        else
            env.set("ORACLE_HOME", c.oracleHome);
        QStringList list{QStringLiteral("stale")};
        GetOracleTNSNames(list);
        EXPECT_EQ(list, c.expected) << c.what;
    }
}

// unixODBC keeps the paths of its files once it has looked them up, so every ODBC case of this
// program uses the same two files and rewrites their content.
class OdbcSources : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_dir = new TestDir;
        s_env = new EnvGuard;
        s_env->unset("ODBCSEARCH"); // it would override the user/system choice of each fetch
        s_env->set("ODBCSYSINI", s_dir->path());
        s_env->set("ODBCINI", s_dir->file(QStringLiteral("user.ini")));
        writeBytes(s_dir->file(QStringLiteral("odbcinst.ini")),
                   "[Test Driver]\nDescription=test\nDriver=/nonexistent/libtest.so\n");
    }
    static void TearDownTestSuite()
    {
        delete s_env;
        s_env = nullptr;
        delete s_dir;
        s_dir = nullptr;
    }
    static void write(const char *user, const char *system)
    {
        ASSERT_TRUE(writeBytes(s_dir->file(QStringLiteral("user.ini")), user));
        ASSERT_TRUE(writeBytes(s_dir->file(QStringLiteral("odbc.ini")), system));
    }
    static TestDir *s_dir;
    static EnvGuard *s_env;
};
TestDir *OdbcSources::s_dir = nullptr;
EnvGuard *OdbcSources::s_env = nullptr;

TEST_F(OdbcSources, UserThenSystemEachUnderItsHeader)
{
    const QString user = QStringLiteral("--------------- ПОЛЬЗОВАТЕЛЬСКИЕ ---------------");
    const QString system = QStringLiteral("--------------- СИСТЕМНЫЕ ---------------");
    const struct
    {
        const char *user;
        const char *system;
        QStringList expected;
    } cases[] = {
        {"",
         "[orx]\nDriver=Test Driver\n[Bulletin]\nDriver=Test Driver\n",
         {system, QStringLiteral("Bulletin"), QStringLiteral("orx")}},
        {"[mine]\nDriver=Test Driver\n[Alpha]\nDriver=Test Driver\n",
         "[sys1]\nDriver=Test Driver\n",
         {user, QStringLiteral("Alpha"), QStringLiteral("mine"), system, QStringLiteral("sys1")}},
        {"[only]\nDriver=Test Driver\n", "", {user, QStringLiteral("only")}},
        {"", "", {}},
    };
    for (const auto &c : cases) {
        write(c.user, c.system);
        QStringList list{QStringLiteral("stale")};
        GetODBCSources(list);
        EXPECT_EQ(list, c.expected) << c.user << " / " << c.system;
    }
}

TEST(ListFiles, FolderAndMask)
{
    TestDir dir;
    for (const char *name : {"b.orv", "A.ORV", "c.txt", "noext", ".hidden.orv"})
        ASSERT_TRUE(writeBytes(dir.file(QString::fromLatin1(name)), "x"));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("d.orv")));
    const QString p = dir.path() + QLatin1Char('/');
    const struct
    {
        QString mask;
        bool withPath;
        int attr;
        QStringList expected;
    } cases[] = {
        {p + QStringLiteral("*.orv"), false, 0, {QStringLiteral("A.ORV"), QStringLiteral("b.orv")}},
        {p + QStringLiteral("*.orv"),
         false,
         faReadOnly | faHidden | faSysFile | faArchive,
         {QStringLiteral(".hidden.orv"), QStringLiteral("A.ORV"), QStringLiteral("b.orv")}},
        {p + QStringLiteral("*.orv"),
         false,
         faAnyFile,
         {QStringLiteral(".hidden.orv"), QStringLiteral("A.ORV"), QStringLiteral("b.orv"),
          QStringLiteral("d.orv")}},
        {p + QStringLiteral("*.orv"), true, 0, {p + QStringLiteral("A.ORV"), p + QStringLiteral("b.orv")}},
        {dir.path(),
         true,
         0,
         {p + QStringLiteral("A.ORV"), p + QStringLiteral("b.orv"), p + QStringLiteral("c.txt"),
          p + QStringLiteral("noext")}},
        {p + QStringLiteral("*.*"),
         false,
         0,
         {QStringLiteral("A.ORV"), QStringLiteral("b.orv"), QStringLiteral("c.txt"),
          QStringLiteral("noext")}},
        {p + QStringLiteral("c.txt"), true, 0, {p + QStringLiteral("c.txt")}},
        {p + QStringLiteral("missing/*.orv"), false, faAnyFile, {}},
    };
    for (const auto &c : cases) {
        QStringList list{QStringLiteral("stale")};
        ListFiles(c.mask, list, c.withPath, c.attr);
        EXPECT_EQ(list, c.expected) << c.mask.toStdString() << " " << c.withPath << " " << c.attr;
    }
}

TEST(SystemRoutines, CommandLineAndEngine)
{
    QStringList list{QStringLiteral("stale")};
    ParamsToStrings(&list); // the test program runs with no parameters of its own
    EXPECT_TRUE(list.isEmpty());
    ParamsToStrings(nullptr);
    EXPECT_FALSE(BDEAvailable());
    EXPECT_FALSE(GetPersonalFolder().isEmpty());
}

TEST(SelectComboText, CaseInsensitiveMatchOrNoSelection)
{
    QComboBox combo;
    combo.addItems({QStringLiteral("orx"), QStringLiteral("Bulletin")});
    const struct
    {
        QString text;
        int index;
    } cases[] = {
        {QStringLiteral("Bulletin"), 1}, {QStringLiteral("ORX"), 0},
        {QStringLiteral("gone"), -1},    {QString(), -1},
        {QStringLiteral("orx "), -1},
    };
    for (const auto &c : cases) {
        combo.setCurrentIndex(1 - qMax(c.index, 0));
        EXPECT_EQ(SelectComboText(&combo, c.text), c.index) << c.text.toStdString();
        EXPECT_EQ(combo.currentIndex(), c.index) << c.text.toStdString();
    }
}

TEST(FillDataSourceCombos, ItemsAndKeptTexts)
{
    TestDir dir;
    ASSERT_TRUE(writeBytes(dir.file(QStringLiteral("tnsnames.ora")), kTnsNames.toLatin1()));
    EnvGuard env;
    env.set("TNS_ADMIN", dir.path());

    QComboBox kept, gone, fresh;
    kept.addItems({QStringLiteral("x"), QStringLiteral("brn")});
    kept.setCurrentIndex(1);
    gone.addItems({QStringLiteral("OLD.ALIAS")});
    gone.setCurrentIndex(0);
    QStringList list;
    FillDataSourceCombos(1, {&kept, &gone, nullptr}, true, &list);
    EXPECT_EQ(list, kAliases);
    for (QComboBox *combo : {&kept, &gone}) {
        ASSERT_EQ(combo->count(), kAliases.size());
        for (int i = 0; i < combo->count(); ++i)
            EXPECT_EQ(combo->itemText(i), kAliases.at(i));
    }
    EXPECT_EQ(kept.currentIndex(), 0); // "brn" is the alias BRN
    EXPECT_EQ(gone.currentIndex(), -1);

    // Without KeepText nothing is selected; an unknown kind hands on the list it was given.
    QStringList given{QStringLiteral("one"), QStringLiteral("two")};
    FillDataSourceCombos(7, {&fresh}, false, &given);
    EXPECT_EQ(given, (QStringList{QStringLiteral("one"), QStringLiteral("two")}));
    EXPECT_EQ(fresh.count(), 2);
    EXPECT_EQ(fresh.currentIndex(), -1);
}

} // namespace
