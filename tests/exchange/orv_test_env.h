#pragma once

// What the ORV tests share: the export and the import run headless as the main window runs them, on
// the data module's ORX connection opened on the source a test points at.

#include "app/main/program_folder.h"
#include "app/settings/connection_params.h"
#include "exchange/orv/orv_export.h"
#include "exchange/orv/orv_file.h"
#include "exchange/orv/orv_import.h"
#include "exchange_test_env.h"
#include "lib/codec.h"
#include "lib/epoch.h"
#include "platform/zip_archive.h"
#include "support/program_env.h"
#include "support/zip_writer.h"

#include <QBuffer>
#include <QtEndian>

#include <cstring>
#include <functional>
#include <optional>

// An arrival of an event file made by hand.
struct OrvArrivalRow
{
    int arid;
    const char *eventid, *sta;
    double itime;
};

// An ORV text value: the NULL flag 0, the byte count, the bytes.
inline QByteArray orvString(const QByteArray &text)
{
    QByteArray b(5, '\0');
    qToLittleEndian<qint32>(qint32(text.size()), b.data() + 1);
    return b + text;
}

// An ORV Float value: the NULL flag 0, the double.
inline QByteArray orvDouble(double v)
{
    QByteArray b(9, '\0');
    quint64 bits = 0;
    std::memcpy(&bits, &v, 8);
    qToLittleEndian<quint64>(bits, b.data() + 1);
    return b;
}

// A version-1.1 dump of table with the fields (type code, name) and the records' bytes as given, of the
// period and the station entries given.
inline QByteArray orvDump(const char *table, const QList<std::pair<char, const char *>> &fields,
                          qint32 records, const QByteArray &recordBytes,
                          TDateTime start = EncodeDate(2026, 2, 1), TDateTime end = EncodeDate(2026, 2, 28),
                          const QList<torxhsta> &stations = {})
{
    orxheader h;
    h.table = QString::fromLatin1(table);
    h.fieldCount = qint32(fields.size());
    h.recordCount = records;
    h.periodStart = start;
    h.periodEnd = end;
    h.stations = stations;
    for (const auto &[type, name] : fields) {
        h.fieldTypes.append(type);
        h.fieldNames << QString::fromLatin1(name);
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(WriteOrvHeader(buffer, h));
    return bytes + recordBytes;
}

// A version-1.1 event file made by hand, as the export lays it out: the dumps of origin (eventid String,
// origintime Float) and arrival (arid Integer, eventid String, sta String, itime Float), each with the
// period and the station entries given; the archive's bytes.
inline QByteArray orvEventFile(TDateTime start, TDateTime end, const QList<torxhsta> &stations,
                               const QList<std::pair<const char *, double>> &origins,
                               const QList<OrvArrivalRow> &arrivals)
{
    const auto text = [](const char *s) { return orvString(toCp1251(QString::fromUtf8(s))); };
    QByteArray originRecords, arrivalRecords;
    for (const auto &[eventid, time] : origins)
        originRecords += text(eventid) + orvDouble(time);
    for (const OrvArrivalRow &a : arrivals) {
        QByteArray arid(5, '\0');
        qToLittleEndian<qint32>(a.arid, arid.data() + 1);
        arrivalRecords += arid + text(a.eventid) + text(a.sta) + orvDouble(a.itime);
    }
    ZipWriter z;
    z.add("_ori1101.orv", orvDump("origin", {{char(1), "eventid"}, {char(6), "origintime"}},
                                  qint32(origins.size()), originRecords, start, end, stations));
    z.add("_arr1101.orv",
          orvDump("arrival", {{char(3), "arid"}, {char(1), "eventid"}, {char(1), "sta"}, {char(6), "itime"}},
                  qint32(arrivals.size()), arrivalRecords, start, end, stations));
    z.add("system", "origin arrival");
    return z.bytes();
}

// PET's entry of 10-12.11.2026: its arrivals from 10.11.2026 00:00:00 to 12.11.2026 23:59:59.
inline torxhsta orvPetEntry()
{
    return {QStringLiteral("PET"), EncodeDate(2026, 11, 10),
            EncodeDate(2026, 11, 12) + EncodeTime(23, 59, 59, 0)};
}

// An event file of 10-12.11.2026 with the station entries given (PET's alone unless told), and whose
// arrivals of station sta, one for each event, are at the times given.
inline QByteArray orvPetPeriodFile(const QList<double> &itimes, const char *sta = "PET",
                                   const QList<torxhsta> &stations = {orvPetEntry()})
{
    QList<std::pair<const char *, double>> origins;
    QList<OrvArrivalRow> arrivals;
    static const char *const ids[] = {"H1", "H2", "H3"};
    for (int i = 0; i < itimes.size(); ++i) {
        origins.append({ids[i], htoe(2026, 11, 11, 12, 0, 0)});
        arrivals.append({900001 + i, ids[i], sta, itimes[i]});
    }
    return orvEventFile(EncodeDate(2026, 11, 10), EncodeDate(2026, 11, 12), stations, origins, arrivals);
}

// A version-1.1 event file with the station entries of every dump changed as given; the archive's bytes.
inline QByteArray orvWithEntries(const QString &archive, const std::function<void(torxhsta &)> &change)
{
    TestDir unpacked;
    unzipAll(archive, unpacked.path());
    ZipWriter z;
    for (const QString &name : {OrvOriginMember, OrvArrivalMember}) {
        QFile file(unpacked.file(name));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        orxheader h;
        EXPECT_EQ(int(ReadOrvHeader(file, OrvVersion::V11, h)), int(OrvReadStatus::Ok));
        EXPECT_EQ(int(ReadOrvFieldList(file, h)), int(OrvReadStatus::Ok));
        for (torxhsta &s : h.stations)
            change(s);
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        EXPECT_TRUE(WriteOrvHeader(buffer, h));
        z.add(name.toLatin1(), bytes + file.readAll());
    }
    z.add("system", readBytes(unpacked.file(OrvSystemMember)));
    return z.bytes();
}

// The stations and the merge flag are the test's; what the import page would show is kept.
struct FakeOrvHost : OrvImportHost, OrvExportHost
{
    Tsett sett;
    QString current = QStringLiteral("ABC");
    QStringList checked;
    bool merge = false;
    TD2D tables[3];
    QStringList status;
    int cleared = 0, opened = 0;
    int progressMaximum = -1;
    bool progressShown = false;
    // Called at every move of the progress, where the import lets the window paint.
    std::function<void()> onProgress;
    // The import's clock, when the test keeps it.
    std::optional<qint64> clockMs;

    QWidget *Owner() override { return nullptr; }
    TFormatSettings LocaleSettings() override { return TFormatSettings(); }
    bool MergeEvents() override { return merge; }
    Tsett Settings() override { return sett; }
    QString CurrentStationSection() override { return current; }
    QStringList CheckedStations() override { return checked; }
    DbConnection &OrxConnection() override { return *Tdm::instance()->conPubs; }
    bool OpenOrx() override
    {
        ++opened;
        Tdm &dm = *Tdm::instance();
        const ConnectionSetup setup = ComputeConnectionSetup(sett);
        dm.conPubs->SetProvider(setup.orxProvider);
        dm.conPubs->SetConnectionString(setup.orxTemplate);
        return dm.OpenDB_ADO(dm.conPubs, sett.ORX_source, sett.ORX_user, sett.ORX_pass);
    }
    void CloseOrx() override { Tdm::instance()->CloseDB_ADO(Tdm::instance()->conPubs); }
    QString ProgramFolder() override { return ::ProgramFolder(); }
    TD2D &ViewTable(int Slot) override { return tables[Slot]; }
    void ClearImportGrid() override { ++cleared; }
    void ShowStatus(const QString &Stations, const QString &Period, const QString &Version) override
    {
        status = {Stations, Period, Version};
    }
    void ZipFiles(const QString &ZipName, const QStringList &Files) override
    {
        Tdm::instance()->ZipFiles(ZipName, QString(), Files);
    }
    bool SendMail(const QString &Body, const QString &Attachment) override
    {
        return Tdm::instance()->SendMail('e', Body, Attachment);
    }
    void ShowProgress() override { progressShown = true; }
    void SetProgressMaximum(int Maximum) override { progressMaximum = Maximum; }
    void SetProgress(int Position, const QString &) override
    {
        EXPECT_TRUE(progressShown);
        EXPECT_LE(Position, progressMaximum);
        if (onProgress)
            onProgress();
    }
    void HideProgress() override { progressShown = false; }
    qint64 ClockMs() override { return clockMs ? *clockMs : OrvImportHost::ClockMs(); }
};

// A program folder, the ORX database the test points where it wants, and a temporary folder of its own
// so that what a run leaves behind there can be seen. The export takes March 2008 of every station with
// arrivals into a folder of its own and mails nothing.
struct OrvRunner : Program
{
    MessageRecorder rec;
    FakeOrvHost host;
    TestDir out, temp, unpacked;
    OrvExportStats stats;
    QByteArray oldTemp = qgetenv("TMPDIR");
    QString oldFolder = ProgramFolder();

    OrvRunner()
    {
        qputenv("TMPDIR", temp.path().toLocal8Bit());
        SetProgramFolder(dir.base());
        Tsett &s = host.sett;
        s.exp_start_date = EncodeDate(2008, 3, 1);
        s.exp_end_date = EncodeDate(2008, 3, 31);
        s.exp_dir = out.path();
        s.expset = 3;
        s.maile_send = false;
    }
    ~OrvRunner()
    {
        qputenv("TMPDIR", oldTemp);
        SetProgramFolder(oldFolder);
    }

    void useOrx(const QString &source, const QString &user = {}, const QString &password = {})
    {
        host.sett.fullorx = true;
        host.sett.orxini = false;
        host.sett.ORX_source = source;
        host.sett.ORX_user = user;
        host.sett.ORX_pass = password;
    }
    template <class Env> void point(OrxDb<Env> &db) { useOrx(db.source(), db.user(), db.password()); }

    template <class Env> QString exportFrom(OrxDb<Env> &db)
    {
        point(db);
        rec.clear();
        OrvExportStats stats;
        RunOrxExport(host, &stats);
        EXPECT_EQ(shown(rec), (QList<Shown>{{QStringLiteral("Готово!"), MB_ICONINFORMATION}}));
        EXPECT_EQ(folderEntries(out.path()), QStringList{QFileInfo(stats.archive).fileName()});
        return stats.archive;
    }

    template <class Env> OrvImportStats importInto(OrxDb<Env> &db, const QString &archive)
    {
        point(db);
        rec.clear();
        OrvImportStats stats;
        const QStringList before = folderEntries(temp.path());
        ReadORV(host, archive, false, &stats);
        EXPECT_EQ(folderEntries(temp.path()), before);
        return stats;
    }
    void run(int set, const QStringList &checked = {})
    {
        host.sett.expset = set;
        host.checked = checked;
        rec.clear();
        stats = {};
        RunOrxExport(host, &stats);
    }
    QStringList members()
    {
        unzipAll(stats.archive, unpacked.path());
        return folderEntries(unpacked.path());
    }
    QString log() const { return read("system/log_imp.txt"); }
    QString labels() const { return host.status.join(QLatin1Char('|')); }
};
