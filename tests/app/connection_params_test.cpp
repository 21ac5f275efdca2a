#include "app/settings/connection_params.h"

#include <gtest/gtest.h>

namespace {

TEST(OrxConnParams, OrxIniOnlyForOdbcWithTheSwitchOn)
{
    const OrxIniParams ini{QStringLiteral("orx_ini_dsn"), QStringLiteral("qzv"), QStringLiteral("qzv")};
    // Oracle ignores orx.ini, and an unknown kind is not ODBC here; the main window's switch decides.
    const std::tuple<int, bool, const char *> cases[] = {{0, true, "orx_ini_dsn"},
                                                         {0, false, "orx_user_dsn"},
                                                         {1, true, "orx_user_dsn"},
                                                         {2, true, "orx_user_dsn"}};
    for (const auto &[dbtype, orxini, source] : cases) {
        Tsett s;
        s.dbtype = dbtype;
        s.orxini = !orxini;
        s.ORX_source = QStringLiteral("orx_user_dsn");
        s.ORX_user = QStringLiteral("analyst");
        const ConnParams p = GetOrxConnParams(s, orxini, ini);
        EXPECT_EQ(p.source, QString::fromLatin1(source)) << dbtype;
        EXPECT_EQ(p.user, p.source == ini.source ? QStringLiteral("qzv") : QStringLiteral("analyst"));
    }
}

TEST(ConnectionSetup, ProvidersAndTemplates)
{
    const QString odbc = QStringLiteral("MSDASQL"), jet = QStringLiteral("Microsoft.Jet.OLEDB.4.0"),
                  oracle = QStringLiteral("OraOLEDB.Oracle"),
                  rw = QStringLiteral("Data Source=a;Mode=ReadWrite"),
                  plain = QStringLiteral("Data Source=a");
    const struct
    {
        int dbtype, startMode, outProvider;
        bool directWr;
        QString orxProvider, orxTemplate, dbsProvider, dbsTemplate;
        bool direct;
        bool fullorx = false; // the import page's target is then the ORX database, whatever the file
    } cases[] = {
        {0, 1, 0, true, odbc, rw, jet, rw, false},
        {1, 1, 1, false, oracle, plain, odbc, rw, false},
        {2, 1, 0, false, odbc, plain, jet, rw, false},
        // direct mode: the bulletin connection is the ORX one
        {0, 0, 0, true, odbc, rw, odbc, rw, true},
        {1, 0, 1, true, oracle, plain, oracle, plain, true},
        // single-station mode without the switch is not direct
        {0, 0, 0, false, odbc, rw, jet, rw, false},
        // the ORX-only mode keeps the bulletin connection and names the ORX database on the import page
        {0, 1, 0, true, odbc, rw, jet, rw, false, true},
        {1, 1, 1, false, oracle, plain, odbc, rw, false, true},
    };
    for (const auto &c : cases) {
        Tsett s;
        s.dbtype = c.dbtype;
        s.start_mode = c.startMode;
        s.out_provider = c.outProvider;
        s.directORXwr = c.directWr;
        s.fullorx = c.fullorx;
        const ConnectionSetup setup = ComputeConnectionSetup(s);
        EXPECT_EQ(QStringList({setup.orxProvider, setup.orxTemplate, setup.dbsProvider, setup.dbsTemplate}),
                  QStringList({c.orxProvider, c.orxTemplate, c.dbsProvider, c.dbsTemplate}))
            << c.dbtype << c.startMode << c.outProvider << c.directWr;
        const bool orx = c.direct || c.fullorx;
        EXPECT_EQ(setup.label27Caption, orx ? QStringLiteral("2. *ORX*") : QStringLiteral("2."));
        EXPECT_EQ(setup.showAccessFile, !orx && c.outProvider == 0);
        EXPECT_EQ(setup.showSourceCombo, !orx && c.outProvider != 0);
    }
}

} // namespace
