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

// An ORV value of the type code given: a text, an Integer or a Float (the day serial of a date).
inline QByteArray orvValue(char type, const QVariant &v)
{
    if (IsOrvStringType(type))
        return orvString(toCp1251(v.toString()));
    if (type != 3)
        return orvDouble(v.toDouble());
    QByteArray b(5, '\0');
    qToLittleEndian<qint32>(v.toInt(), b.data() + 1);
    return b;
}

// The type codes of an event file's arid, eventid, sta and itime as the export writes them.
inline const QByteArray kOrvExportTypes("\x03\x01\x01\x06");

// A version-1.1 event file made by hand, as the export lays it out: the dumps of origin (eventid,
// origintime Float) and arrival (arid, eventid, sta, itime) of the types given, each with the period and
// the station entries given; the archive's bytes.
inline QByteArray orvEventFile(TDateTime start, TDateTime end, const QList<torxhsta> &stations,
                               const QList<std::pair<const char *, double>> &origins,
                               const QList<OrvArrivalRow> &arrivals,
                               const QByteArray &types = kOrvExportTypes)
{
    const auto text = [](const char *s) { return QString::fromUtf8(s); };
    QByteArray originRecords, arrivalRecords;
    for (const auto &[eventid, time] : origins)
        originRecords += orvValue(types[1], text(eventid)) + orvDouble(time);
    for (const OrvArrivalRow &a : arrivals)
        arrivalRecords += orvValue(types[0], a.arid) + orvValue(types[1], text(a.eventid)) +
                          orvValue(types[2], text(a.sta)) + orvValue(types[3], a.itime);
    ZipWriter z;
    z.add("_ori1101.orv", orvDump("origin", {{types[1], "eventid"}, {char(6), "origintime"}},
                                  qint32(origins.size()), originRecords, start, end, stations));
    z.add("_arr1101.orv",
          orvDump("arrival",
                  {{types[0], "arid"}, {types[1], "eventid"}, {types[2], "sta"}, {types[3], "itime"}},
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

// An event file of 10-12.11.2026 (or to the end given) with the station entries given (PET's alone
// unless told), and whose arrivals of station sta, one for each event, are at the times given.
inline QByteArray orvPetPeriodFile(const QList<double> &itimes, const char *sta = "PET",
                                   const QList<torxhsta> &stations = {orvPetEntry()},
                                   TDateTime end = EncodeDate(2026, 11, 12),
                                   const QByteArray &types = kOrvExportTypes)
{
    QList<std::pair<const char *, double>> origins;
    QList<OrvArrivalRow> arrivals;
    static const char *const ids[] = {"H1", "H2", "H3"};
    for (int i = 0; i < itimes.size(); ++i) {
        origins.append({ids[i], htoe(2026, 11, 11, 12, 0, 0)});
        arrivals.append({900001 + i, ids[i], sta, itimes[i]});
    }
    return orvEventFile(EncodeDate(2026, 11, 10), end, stations, origins, arrivals, types);
}

// A version-1.1 event file with each dump's header and records changed as given, written as version 1.1
// or, when told, as version 1.0: "ZIP", the table, the counts, the first station entry's code and the
// period, then the field list. The archive's bytes.
inline QByteArray orvRewritten(const QString &archive,
                               const std::function<void(orxheader &, QByteArray &)> &change,
                               bool version10 = false)
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
        QByteArray records = file.readAll(), bytes, code(8, '\0');
        change(h, records);
        if (version10) {
            code = (char(h.stations.value(0).code.size()) + h.stations.value(0).code.toLatin1())
                       .leftJustified(8, '\0');
            h.stations.clear();
        }
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        EXPECT_TRUE(WriteOrvHeader(buffer, h));
        if (version10)
            bytes = "\x03ZIP" + bytes.mid(4, 140) + code + bytes.mid(144, 16) + bytes.mid(164);
        z.add(name.toLatin1(), bytes + records);
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
