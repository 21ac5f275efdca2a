#pragma once

// What the benchmarks share: the hosts they give the products and the transfers (no screen, nothing
// asked, nothing mailed or shown), and the rows of a table put on a server.

#include "app/data/data_module.h"
#include "app/settings/connection_params.h"
#include "app/settings/reference_tables.h"
#include "db/db_backend.h"
#include "db/db_connection.h"
#include "db/db_query.h"
#include "db/sql_literals.h"
#include "exchange/orv/orv_export.h"
#include "exchange/orv/orv_import.h"
#include "exchange/orx_copy/orx_copy.h"
#include "lib/datetime.h"
#include "lib/messages.h"
#include "products/bulletin_report.h"
#include "products/orx_summary.h"

#include <sqlite3.h>

// The report window's host; a bench names the databases, the filters and the program folder.
class QuietReportHost : public ReportHost
{
public:
    QWidget *Owner() override { return nullptr; }
    void CloseDB_ADO(DbConnection &Conn) override { Conn.Close(); }
    ConnParams OrxConnParams(const Tsett &) override { return {}; }
    bool MainStation(const QString &, tstainfo &) override { return false; }
    QString CodeToSta(const QString &Code, bool) override { return Code; }
    int ReportCounter() override { return 1; }
    QString ShortDateText(TDateTime Date) override
    {
        return FormatDateTime(QStringLiteral("dd.mm.yyyy"), Date);
    }
    void ZipFiles(const QString &, const QString &) override {}
    bool SendMail(const QString &, const QString &, bool, const QString &, const QString &, const QString &,
                  const QString &) override
    {
        return false;
    }
    void Progress(int, int, const QString &, bool *) override {}
    void HideProgress() override {}
    void ShowReport(const QString &) override {}
};

// The summary from ORX of one station's day, on one open ORX connection, written into Folder.
class QuietOrxSummaryHost : public OrxSummaryHost
{
public:
    QuietOrxSummaryHost(DbConnection &Orx, const QString &Station, TDateTime Day, const QString &Folder,
                        const TD2D &Waves, const tmulss &Factors, const tfilts &Filters)
        : m_orx(Orx), m_station(Station), m_waves(Waves), m_factors(Factors), m_filters(Filters)
    {
        m_sett.svodka_date = Day;
        m_sett.svodka_dir = Folder;
        m_sett.svset = 3;
        m_sett.multi_name = QStringLiteral("_multi");
    }
    QWidget *Owner() override { return nullptr; }
    Tsett &Settings() override { return m_sett; }
    bool AskSummaryParameters() override { return true; }
    QString CurrentStationCode() override { return m_station; }
    QString CurrentStationSection() override { return m_station; }
    bool GetStationDBParams(QString &, QString &, QString &, int, bool) override { return false; }
    DbConnection &BulletinConnection() override { return m_orx; }
    bool OpenDB_ADO(DbConnection &c, const QString &, const QString &, const QString &, bool) override
    {
        if (!c.Connected())
            c.Open();
        return true;
    }
    void CloseDB_ADO(DbConnection &c) override { c.Close(); }
    void SqlDateRange(QString &, QString &, TDateTime, TDateTime) override {}
    int EditSummary(const QString &, bool, QStringList &) override { return IDCANCEL; }
    bool SendMail(QChar, const QString &, const QString &) override { return false; }
    void GetOrxConnParams(QString &, QString &, QString &) override {}
    DbConnection &OrxConnection() override { return m_orx; }
    QStringList CheckedStations() override { return {}; }
    bool SelectedNetwork(QStringList &) override { return false; }
    QString StationSta(const QString &) override { return QString(); }
    const TD2D &WaveTable() override { return m_waves; }
    const tmulss &WaveFactors() override { return m_factors; }
    const tfilts &Filters() override { return m_filters; }

private:
    DbConnection &m_orx;
    QString m_station;
    const TD2D &m_waves;
    const tmulss &m_factors;
    const tfilts &m_filters;
    Tsett m_sett;
};

// The copy from ORX of one station's period, between two open connections, nothing asked; Odbc picks
// the bulletin database's date literals.
class QuietOrxCopyHost : public OrxCopyHost
{
public:
    QuietOrxCopyHost(DbConnection &Orx, DbConnection &Bulletin, bool Odbc, const QString &Station,
                     TDateTime First, TDateTime Last)
        : m_orx(Orx), m_bulletin(Bulletin), m_odbc(Odbc), m_station(Station)
    {
        m_sett.start_date = First;
        m_sett.end_date = Last;
        m_sett.start_mode = 1;
    }
    QWidget *Owner() override { return nullptr; }
    Tsett &Settings() override { return m_sett; }
    bool AskPeriod() override { return true; }
    QString CurrentStationSection() override { return m_station; }
    void GetOrxConnParams(QString &Source, QString &, QString &) override { Source = QStringLiteral("orx"); }
    bool GetStationDBParams(QString &Source, QString &, QString &, int, bool) override
    {
        Source = QStringLiteral("bulletin");
        return true;
    }
    DbConnection &OrxConnection() override { return m_orx; }
    DbConnection &BulletinConnection() override { return m_bulletin; }
    bool OpenDB_ADO(DbConnection &c, const QString &, const QString &, const QString &, bool) override
    {
        if (!c.Connected())
            c.Open();
        return true;
    }
    void CloseDB_ADO(DbConnection &c) override { c.Close(); }
    void SqlDateRange(QString &FromLit, QString &ToLit, TDateTime FromDate, TDateTime ToDate) override
    {
        SqlDateRangeLiterals(m_odbc, FromDate, ToDate, FromLit, ToLit);
    }
    void ShowProgress(const QString &, int) override {}
    void SetProgress(int) override {}
    void HideProgress() override {}

private:
    DbConnection &m_orx, &m_bulletin;
    bool m_odbc;
    QString m_station;
    Tsett m_sett;
};

// The ORV export and import on the data module's ORX connection, opened on the source a bench points at
// as the program opens it; the export's settings a bench sets, the program folder (with its trailing "/")
// the bench gives; nothing asked, shown or mailed.
class QuietOrvHost : public OrvImportHost, public OrvExportHost
{
public:
    explicit QuietOrvHost(const QString &Folder) : m_folder(Folder)
    {
        m_sett.fullorx = true;
        m_sett.orxini = false;
        m_sett.maile_send = false;
    }
    Tsett &ExportSettings() { return m_sett; }
    void Point(const QString &Source, const QString &User, const QString &Password)
    {
        m_sett.ORX_source = Source;
        m_sett.ORX_user = User;
        m_sett.ORX_pass = Password;
    }

    QWidget *Owner() override { return nullptr; }
    TFormatSettings LocaleSettings() override { return TFormatSettings(); }
    bool MergeEvents() override { return false; }
    Tsett Settings() override { return m_sett; }
    QString CurrentStationSection() override { return QString(); }
    QStringList CheckedStations() override { return {}; }
    DbConnection &OrxConnection() override { return *Tdm::instance()->conPubs; }
    bool OpenOrx() override
    {
        Tdm &dm = *Tdm::instance();
        const ConnectionSetup setup = ComputeConnectionSetup(m_sett);
        dm.conPubs->SetProvider(setup.orxProvider);
        dm.conPubs->SetConnectionString(setup.orxTemplate);
        return dm.OpenDB_ADO(dm.conPubs, m_sett.ORX_source, m_sett.ORX_user, m_sett.ORX_pass);
    }
    void CloseOrx() override { Tdm::instance()->CloseDB_ADO(Tdm::instance()->conPubs); }
    QString ProgramFolder() override { return m_folder; }
    TD2D &ViewTable(int Slot) override { return m_tables[Slot]; }
    void ClearImportGrid() override {}
    void ShowStatus(const QString &, const QString &, const QString &) override {}
    void ZipFiles(const QString &ZipName, const QStringList &Files) override
    {
        Tdm::instance()->ZipFiles(ZipName, QString(), Files);
    }
    bool SendMail(const QString &, const QString &) override { return false; }
    void ShowProgress() override {}
    void SetProgressMaximum(int) override {}
    void SetProgress(int, const QString &) override {}
    void HideProgress() override {}

private:
    QString m_folder;
    Tsett m_sett;
    TD2D m_tables[3];
};

// The rows of a table into the table of the same name and columns, through the server's own statement
// with bound values, in the caller's transaction.
inline void CopyTableRows(DbConnection &From, DbConnection &To, const QString &Table)
{
    DbQuery rows(&From);
    rows.SetForwardOnly(true);
    rows.SetSQL(QStringLiteral("select * from [%1]").arg(Table));
    rows.Open();
    QStringList names, marks;
    for (const DbColumn &c : rows.Columns()) {
        names << QLatin1Char('[') + c.name + QLatin1Char(']');
        marks << QStringLiteral("?");
    }
    DbBackend &server = To.backend();
    const QString insert =
        server.dialect()
            .translate(QStringLiteral("insert into [%1] (%2) values (%3)")
                           .arg(Table, names.join(QLatin1Char(',')), marks.join(QLatin1Char(','))))
            .value(0);
    QVariantList values(rows.FieldCount());
    for (; !rows.Eof(); rows.Next()) {
        for (int i = 0; i < rows.FieldCount(); ++i)
            values[i] = server.dialect().toDriverValue(rows.Columns()[i].type, rows.Field(i)->Value());
        server.execute(insert, values);
    }
}

// A row's values bound to a sqlite3 statement by their type; the rest as text.
inline void BindSqliteRow(sqlite3_stmt *St, const QVariantList &Row)
{
    for (int c = 0; c < int(Row.size()); ++c) {
        const QVariant &v = Row[c];
        if (v.isNull())
            sqlite3_bind_null(St, c + 1);
        else if (v.typeId() == QMetaType::LongLong || v.typeId() == QMetaType::Int)
            sqlite3_bind_int64(St, c + 1, v.toLongLong());
        else if (v.typeId() == QMetaType::Double)
            sqlite3_bind_double(St, c + 1, v.toDouble());
        else
            sqlite3_bind_text(St, c + 1, v.toString().toUtf8().constData(), -1, SQLITE_TRANSIENT);
    }
}
