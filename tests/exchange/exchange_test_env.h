#pragma once

// What the exchange tests share: tables and database rows as text to compare with rows written by hand,
// the station bulletin files the writers fill, and the demo program with its import page.

#include "db/db_test_env.h"
#include "demo_data.h"
#include "exchange/page/import_page.h"
#include "exchange/text/text_format.h"
#include "lib/string_table.h"
#include "support/program_env.h"

#include <QStringList>

// A row written by hand: its cells joined by "|".
inline QStringList cellsOf(const char *row)
{
    return QString::fromUtf8(row).split(QLatin1Char('|'));
}

// A format from its field separator, qualifier, date, time and decimal separators, in this order.
inline tspec formatOf(const QString &seps, const char *order = "mdy", bool ext0 = false, bool foury = false)
{
    tspec s;
    s.fdel = seps[0];
    s.sdel = seps[1];
    s.dtdel = seps[2];
    s.tmdel = seps[3];
    s.decdel = seps[4];
    s.datefmt = QString::fromLatin1(order);
    s.ext0 = ext0;
    s.foury = foury;
    return s;
}

// A table's rows as text, cells joined by "|" and, unless asked to keep them, trailing empty cells left
// off.
inline QStringList tableRows(const TD2D &t, bool keepTrailing = false)
{
    QStringList rows;
    for (int r = 0; r < t.RowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < t.ColCount(); ++c)
            cells << t.GetCell(c, r);
        while (!keepTrailing && !cells.isEmpty() && cells.last().isEmpty())
            cells.removeLast();
        rows << cells.join(QLatin1Char('|'));
    }
    return rows;
}

// Every row of sql, its fields trimmed and joined by "|"; NULL (and, when asked, empty text) as nullMark.
// Exact: numbers to the last bit and dates to the millisecond, as the database holds them.
inline QStringList dbRows(DbConnection &db, const QString &sql,
                          const QString &nullMark = QStringLiteral("<null>"), bool emptyAsNull = false,
                          bool exact = false)
{
    DbQuery q(&db);
    q.SetSQL(sql);
    q.Open();
    QStringList rows;
    for (; !q.Eof(); q.Next()) {
        QStringList fields;
        for (int i = 0; i < q.FieldCount(); ++i) {
            const TField &f = *q.Field(i);
            QString text = f.IsNull() ? QString() : f.AsString().trimmed();
            if (exact && !f.IsNull() && IsDateFieldType(f.DataType()))
                text = FormatDateTime(QStringLiteral("yyyy-mm-dd hh:nn:ss.zzz"), f.AsDateTime());
            else if (exact && !f.IsNull() && f.Value().typeId() == QMetaType::Double)
                text = QString::number(f.AsFloat(), 'g', 17);
            fields << (f.IsNull() || (emptyAsNull && text.isEmpty()) ? nullMark : text);
        }
        rows << fields.join(QLatin1Char('|'));
    }
    return rows;
}

// A station's bulletin file, as the program opens it.
inline std::unique_ptr<DbConnection> openStationFile(const QString &path)
{
    auto c = std::make_unique<DbConnection>();
    c->SetProvider(QStringLiteral("Microsoft.Jet.OLEDB.4.0"));
    c->SetConnectionString(QStringLiteral("Data Source=\"%1\";Mode=ReadWrite").arg(path));
    c->Open(QString(), QString());
    return c;
}

// A fresh bulletin file with the three bulletin tables.
inline void createBulletinFile(const QString &path)
{
    ASSERT_TRUE(writeBytes(path, {}));
    auto db = openStationFile(path);
    for (const char *sql : kBulletinCreates)
        exec(*db, sql);
}

// A station bulletin database as the Paradox journal writer meets it: the bulletin tables, the staging
// table Access with its stored query Add_time, and the channel table. The program never creates Access
// and Add_time; a station database brings them.
inline void createJournalDatabase(DbConnection &db)
{
    for (const char *sql : kBulletinCreates)
        exec(db, sql);
    for (const QString &sql : DemoJournalCreates())
        exec(db, sql);
    exec(db, "create table [Каналы] (channel_name varchar(10),channel_cod varchar(3))");
    exec(db, "insert into [Каналы] values ('SKM','01'),('SKD','02')");
}

// The station database part of a writer's host: the bulletin database is the connection given, opened
// on demand.
template <class Host> class StationDbHost : public Host
{
public:
    explicit StationDbHost(DbConnection &db) : db(db) {}
    bool GetStationDBParams(QString &Source, QString &, QString &, int Index, bool Silent) override
    {
        EXPECT_EQ(Index, -1);
        EXPECT_FALSE(Silent);
        Source = QStringLiteral("bulletin");
        return lookupOk;
    }
    DbConnection &BulletinConnection() override { return db; }
    bool OpenDB_ADO(DbConnection &c, const QString &, const QString &, const QString &, bool) override
    {
        if (!c.Connected())
            c.Open();
        return true;
    }
    void CloseDB_ADO(DbConnection &c) override
    {
        ++closed;
        c.Close();
    }

    DbConnection &db;
    bool lookupOk = true;
    int closed = 0;
};

// Makes in dir the demo folder of two stations, PET first, with two events a day over the given days, and
// a "specs" folder for the formats; ORX_INI_DIR points the program at its ORX settings until the caller
// unsets it.
inline DemoSummary makeImportDemo(const TestDir &dir, int days)
{
    DemoParams params;
    params.stations = 2;
    params.days = days;
    params.eventsPerDay = 2;
    DemoSummary demo = GenerateDemoFolder(dir.path(), params);
    QDir().mkpath(dir.file(QStringLiteral("specs")));
    qputenv("ORX_INI_DIR", dir.file(QStringLiteral("system")).toLocal8Bit());
    return demo;
}

// The main window on the program folder in dir with the import page installed as the program installs it;
// dates in the default format, whatever the machine's.
inline std::unique_ptr<Tmainf> startWithImportPage(const TestDir &dir)
{
    SetImportPageInstaller(&InstallImportPage);
    std::unique_ptr<Tmainf> w = startMainWindow(dir.base());
    SetImportPageInstaller(nullptr);
    w->fsLocal = TFormatSettings();
    return w;
}
