#pragma once

// What the ORV tests share: the export and the import run headless as the main window runs them, on
// the data module's ORX connection opened on the source a test points at.

#include "app/main/program_folder.h"
#include "app/settings/connection_params.h"
#include "exchange/orv/orv_export.h"
#include "exchange/orv/orv_import.h"
#include "exchange_test_env.h"
#include "platform/zip_archive.h"
#include "support/program_env.h"

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
