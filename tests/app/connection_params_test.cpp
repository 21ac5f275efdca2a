#include "app/settings/connection_params.h"

#include <gtest/gtest.h>

namespace {

const OrxIniParams kIni{QStringLiteral("orx_ini_dsn"), QStringLiteral("qzv"), QStringLiteral("qzv")};

Tsett settings(int dbtype, bool orxini)
{
    Tsett s;
    s.dbtype = dbtype;
    s.orxini = orxini;
    s.ORX_source = QStringLiteral("orx_user_dsn");
    s.ORX_user = QStringLiteral("analyst");
    s.ORX_pass = QStringLiteral("secret");
    return s;
}

TEST(OrxConnParams, OrxIniOnlyForOdbcWithTheSwitchOn)
{
    struct Case
    {
        int dbtype;
        bool orxini;
        const char *source;
    } cases[] = {
        {0, true, "orx_ini_dsn"},
        {0, false, "orx_user_dsn"},
        {1, true, "orx_user_dsn"}, // Oracle ignores orx.ini
        {2, true, "orx_user_dsn"}, // an unknown kind is not ODBC here
    };
    for (const auto &c : cases) {
        const Tsett s = settings(c.dbtype, c.orxini);
        EXPECT_EQ(GetOrxConnParams(s, c.orxini, kIni).source, QString::fromLatin1(c.source)) << c.dbtype;
    }
    // The main window's switch decides, not the copy's.
    EXPECT_EQ(GetOrxConnParams(settings(0, false), true, kIni).user, QStringLiteral("qzv"));
}

TEST(ConnectionSetup, ProvidersAndTemplates)
{
    struct Case
    {
        int dbtype, startMode, outProvider;
        bool directWr;
        const char *orxProvider, *orxTemplate, *dbsProvider, *dbsTemplate, *label;
    } cases[] = {
        {0, 1, 0, true, "MSDASQL", "Data Source=a;Mode=ReadWrite", "Microsoft.Jet.OLEDB.4.0",
         "Data Source=a;Mode=ReadWrite", "2."},
        {0, 1, 1, true, "MSDASQL", "Data Source=a;Mode=ReadWrite", "MSDASQL", "Data Source=a;Mode=ReadWrite",
         "2."},
        {1, 1, 1, false, "OraOLEDB.Oracle", "Data Source=a", "MSDASQL", "Data Source=a;Mode=ReadWrite", "2."},
        {2, 1, 0, false, "MSDASQL", "Data Source=a", "Microsoft.Jet.OLEDB.4.0",
         "Data Source=a;Mode=ReadWrite", "2."},
        // direct mode: the bulletin connection is the ORX one
        {0, 0, 0, true, "MSDASQL", "Data Source=a;Mode=ReadWrite", "MSDASQL", "Data Source=a;Mode=ReadWrite",
         "2. *ORX*"},
        {1, 0, 1, true, "OraOLEDB.Oracle", "Data Source=a", "OraOLEDB.Oracle", "Data Source=a", "2. *ORX*"},
        // single-station mode without the switch is not direct
        {0, 0, 0, false, "MSDASQL", "Data Source=a;Mode=ReadWrite", "Microsoft.Jet.OLEDB.4.0",
         "Data Source=a;Mode=ReadWrite", "2."},
    };
    for (const auto &c : cases) {
        Tsett s;
        s.dbtype = c.dbtype;
        s.start_mode = c.startMode;
        s.out_provider = c.outProvider;
        s.directORXwr = c.directWr;
        const ConnectionSetup setup = ComputeConnectionSetup(s);
        EXPECT_EQ(setup.orxProvider, QString::fromLatin1(c.orxProvider));
        EXPECT_EQ(setup.orxTemplate, QString::fromLatin1(c.orxTemplate));
        EXPECT_EQ(setup.dbsProvider, QString::fromLatin1(c.dbsProvider));
        EXPECT_EQ(setup.dbsTemplate, QString::fromLatin1(c.dbsTemplate));
        EXPECT_EQ(setup.label27Caption, QString::fromLatin1(c.label));
        EXPECT_EQ(setup.showAccessFile, !setup.direct && c.outProvider == 0);
        EXPECT_EQ(setup.showSourceCombo, !setup.direct && c.outProvider != 0);
    }
}

} // namespace
