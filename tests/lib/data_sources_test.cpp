#include "lib/combo_routines.h"
#include "lib/data_sources.h"
#include "support/test_support.h"

#include <QComboBox>
#include <QDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

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
const QStringList kAliases{u"BRN"_s, u"ORCL.WORLD"_s, u"ORCL.WORLD"_s, u"zed.world"_s};

TEST(GetOracleTNSNames, AliasesOfTheFileSorted)
{
    TestDir dir;
    ASSERT_TRUE(writeBytes(dir.file(u"admin/tnsnames.ora"_s), kTnsNames.toLatin1()));
    ASSERT_TRUE(writeBytes(dir.file(u"home/network/admin/tnsnames.ora"_s),
                           QByteArrayLiteral("HOME.ALIAS =\n  (DESCRIPTION = )\n")));
    const std::tuple<const char *, QString, QString, QStringList> cases[] = {
        {"TNS_ADMIN first", dir.file(u"admin"_s), dir.file(u"home"_s), kAliases},
        {"then ORACLE_HOME", QString(), dir.file(u"home"_s), {u"HOME.ALIAS"_s}},
        {"neither", QString(), QString(), {}},
        {"folder without the file", dir.file(u"nowhere"_s), QString(), {}},
    };
    for (const auto &[what, tnsAdmin, oracleHome, expected] : cases) {
        EnvGuard env;
        if (tnsAdmin.isNull())
            env.unset("TNS_ADMIN");
        else
            env.set("TNS_ADMIN", tnsAdmin);
        if (oracleHome.isNull())
            env.unset("ORACLE_HOME");
        else
            env.set("ORACLE_HOME", oracleHome);
        QStringList list{u"stale"_s};
        GetOracleTNSNames(list);
        EXPECT_EQ(list, expected) << what;
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
        s_env->set("ODBCINI", s_dir->file(u"user.ini"_s));
        writeBytes(s_dir->file(u"odbcinst.ini"_s),
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
        ASSERT_TRUE(writeBytes(s_dir->file(u"user.ini"_s), user));
        ASSERT_TRUE(writeBytes(s_dir->file(u"odbc.ini"_s), system));
    }
    static TestDir *s_dir;
    static EnvGuard *s_env;
};
TestDir *OdbcSources::s_dir = nullptr;
EnvGuard *OdbcSources::s_env = nullptr;

TEST_F(OdbcSources, UserThenSystemEachUnderItsHeader)
{
    const QString user = u"--------------- ПОЛЬЗОВАТЕЛЬСКИЕ ---------------"_s;
    const QString system = u"--------------- СИСТЕМНЫЕ ---------------"_s;
    const std::tuple<const char *, const char *, QStringList> cases[] = {
        {"",
         "[orx]\nDriver=Test Driver\n[Bulletin]\nDriver=Test Driver\n",
         {system, u"Bulletin"_s, u"orx"_s}},
        {"[mine]\nDriver=Test Driver\n[Alpha]\nDriver=Test Driver\n",
         "[sys1]\nDriver=Test Driver\n",
         {user, u"Alpha"_s, u"mine"_s, system, u"sys1"_s}},
        {"[only]\nDriver=Test Driver\n", "", {user, u"only"_s}},
        {"", "", {}},
    };
    for (const auto &[userIni, systemIni, expected] : cases) {
        write(userIni, systemIni);
        QStringList list{u"stale"_s};
        GetODBCSources(list);
        EXPECT_EQ(list, expected) << userIni << " / " << systemIni;
    }
}

TEST(ListFiles, FolderAndMask)
{
    TestDir dir;
    for (const char *name : {"b.orv", "A.ORV", "c.txt", "noext", ".hidden.orv"})
        ASSERT_TRUE(writeBytes(dir.file(QString::fromLatin1(name)), "x"));
    ASSERT_TRUE(QDir(dir.path()).mkdir(u"d.orv"_s));
    const QString p = dir.path() + QLatin1Char('/');
    const std::tuple<QString, bool, int, QStringList> cases[] = {
        {p + u"*.orv"_s, false, 0, {u"A.ORV"_s, u"b.orv"_s}},
        {p + u"*.orv"_s,
         false,
         faReadOnly | faHidden | faSysFile | faArchive,
         {u".hidden.orv"_s, u"A.ORV"_s, u"b.orv"_s}},
        {p + u"*.orv"_s, false, faAnyFile, {u".hidden.orv"_s, u"A.ORV"_s, u"b.orv"_s, u"d.orv"_s}},
        {p + u"*.orv"_s, true, 0, {p + u"A.ORV"_s, p + u"b.orv"_s}},
        {dir.path(), true, 0, {p + u"A.ORV"_s, p + u"b.orv"_s, p + u"c.txt"_s, p + u"noext"_s}},
        {p + u"*.*"_s, false, 0, {u"A.ORV"_s, u"b.orv"_s, u"c.txt"_s, u"noext"_s}},
        {p + u"c.txt"_s, true, 0, {p + u"c.txt"_s}},
        {p + u"missing/*.orv"_s, false, faAnyFile, {}},
    };
    for (const auto &[mask, withPath, attr, expected] : cases) {
        QStringList list{u"stale"_s};
        ListFiles(mask, list, withPath, attr);
        EXPECT_EQ(list, expected) << mask.toStdString() << " " << withPath << " " << attr;
    }
}

TEST(SelectComboText, CaseInsensitiveMatchOrNoSelection)
{
    QComboBox combo;
    combo.addItems({u"orx"_s, u"Bulletin"_s});
    const std::pair<QString, int> cases[] = {
        {u"Bulletin"_s, 1}, {u"ORX"_s, 0}, {u"gone"_s, -1}, {QString(), -1}, {u"orx "_s, -1},
    };
    for (const auto &[text, index] : cases) {
        combo.setCurrentIndex(1 - qMax(index, 0));
        EXPECT_EQ(SelectComboText(&combo, text), index) << text.toStdString();
        EXPECT_EQ(combo.currentIndex(), index) << text.toStdString();
    }
}

TEST(FillDataSourceCombos, ItemsAndKeptTexts)
{
    TestDir dir;
    ASSERT_TRUE(writeBytes(dir.file(u"tnsnames.ora"_s), kTnsNames.toLatin1()));
    EnvGuard env;
    env.set("TNS_ADMIN", dir.path());

    QComboBox kept, gone, fresh;
    kept.addItems({u"x"_s, u"brn"_s});
    kept.setCurrentIndex(1);
    gone.addItems({u"OLD.ALIAS"_s});
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
    QStringList given{u"one"_s, u"two"_s};
    FillDataSourceCombos(7, {&fresh}, false, &given);
    EXPECT_EQ(given, (QStringList{u"one"_s, u"two"_s}));
    EXPECT_EQ(fresh.count(), 2);
    EXPECT_EQ(fresh.currentIndex(), -1);
}

} // namespace
