// Writes that replace a file, made to meet a full disk at their start and half-way: the old file must come
// out whole, no temporary file may stay beside it, and the user is told.

#include "app/settings/data_filters_dialog.h"
#include "app/settings/startup_dialog.h"
#include "app/stations/station_editor.h"
#include "db/sql_literals.h"
#include "exchange/exchange_test_env.h"
#include "products/orx_summary.h"
#include "products/report_window.h"
#include "products/summary_editor.h"
#include "products/summary_text.h"
#include "support/program_env.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include <functional>

using namespace Qt::StringLiterals;

namespace {

// What one write left behind.
struct Outcome
{
    QString file;     // the file the write replaces
    QByteArray old;   // its bytes before the write
    QByteArray after; // its bytes after it
    QStringList shown;
    QStringList folder; // the names beside it afterwards
};

Outcome outcome(const QString &file, const QByteArray &old, const MessageRecorder &rec)
{
    Outcome o{file, old, readBytes(file), {}, folderEntries(QFileInfo(file).path())};
    for (const auto &m : rec.messages())
        o.shown << m.text;
    return o;
}

// The summaries' side of the main window, on the test's database and folder.
class SummaryHostFake : public StationDbHost<OrxSummaryHost>
{
public:
    SummaryHostFake(DbConnection &db, const QString &folder) : StationDbHost(db)
    {
        sett.svodka_date = EncodeDate(2026, 2, 5);
        sett.svodka_dir = folder;
        sett.svset = 0;
    }
    QWidget *Owner() override { return nullptr; }
    Tsett &Settings() override { return sett; }
    bool AskSummaryParameters() override { return true; }
    QString CurrentStationCode() override { return u"ABC"_s; }
    QString CurrentStationSection() override { return u"ABC"_s; }
    void SqlDateRange(QString &From, QString &To, TDateTime FromDate, TDateTime ToDate) override
    {
        SqlDateRangeLiterals(false, FromDate, ToDate, From, To);
    }
    int EditSummary(const QString &, bool, QStringList &) override
    {
        ADD_FAILURE() << "a summary that was not written is shown";
        return IDCANCEL;
    }
    bool SendMail(QChar, const QString &, const QString &) override { return false; }
    void GetOrxConnParams(QString &Source, QString &, QString &) override { Source = u"orx"_s; }
    DbConnection &OrxConnection() override { return db; }
    QStringList CheckedStations() override { return {}; }
    bool SelectedNetwork(QStringList &) override { return false; }
    QString StationSta(const QString &) override { return u"ABK"_s; }
    const TD2D &WaveTable() override { return waves; }
    const tmulss &WaveFactors() override { return factors; }
    const tfilts &Filters() override { return filters; }

    Tsett sett;
    TD2D waves;
    tmulss factors;
    tfilts filters;
};

const QByteArray kOldText = "the old file, whole\r\n";
const QString kTwoStations =
    u"[ABC]\r\ncode=ABC\r\nname=Первая\r\n\r\n[DEF]\r\ncode=DEF\r\nname=Вторая\r\n\r\n"_s;

// Each write with its own program state; Budget bytes reach the disk before it is full.
struct FileWrite
{
    const char *name;
    std::function<Outcome(qint64 Budget)> write;
    QString message; // how the message shown begins
};

const FileWrite kFileWrites[] = {
    {"main settings at shutdown",
     [](qint64 budget) {
         ProgramWindow p;
         const QString ini = p.path("system/Brenvale.ini");
         const QByteArray old = readBytes(ini);
         p.w->CloseAction = 2;
         {
             DiskFullAfter full(budget);
             p.w->close();
         }
         return outcome(ini, old, p.rec);
     },
     u"DoneMain: Не удалось сохранить настройки. Сообщение об ошибке:\rНе удалось записать файл "_s},
    {"station settings when another station is chosen",
     [](qint64 budget) {
         ProgramWindow p(kTwoStations);
         const QString ini = p.path("system/Stations.ini");
         p.w->stas->setCurrentRow(0);
         const QByteArray old = readBytes(ini);
         p.rec.clear();
         {
             DiskFullAfter full(budget);
             EXPECT_NO_THROW(p.w->stas->setCurrentRow(1));
         }
         EXPECT_EQ(p.w->curCode, u"DEF"_s);
         return outcome(ini, old, p.rec);
     },
     u"StationChanged: Не удалось сохранить настройки станции ABC. Сообщение об ошибке:\rНе удалось записать файл "_s},
    {"station added (Stations.ini)",
     [](qint64 budget) {
         ProgramWindow p(kTwoStations);
         const QString ini = p.path("system/Stations.ini");
         const QByteArray old = readBytes(ini);
         p.w->icod_stac->setEditText(u"GHI"_s);
         p.w->Cod_stac->setEditText(u"GHI"_s);
         p.w->Edit2->setText(u"Третья станция"_s);
         p.rec.answer({IDYES});
         {
             DiskFullAfter full(budget);
             p.w->Button1Click();
         }
         EXPECT_EQ(p.w->stas->count(), 2);
         return outcome(ini, old, p.rec);
     },
     u"Не удалось добавить станцию. Сообщение об ошибке:\rНе удалось записать файл "_s},
    {"station removed (Stations.ini)",
     [](qint64 budget) {
         ProgramWindow p(kTwoStations);
         const QString ini = p.path("system/Stations.ini");
         p.w->stas->setCurrentRow(0);
         const QByteArray old = readBytes(ini);
         p.rec.answer({IDYES});
         {
             DiskFullAfter full(budget);
             p.w->Button5Click();
         }
         EXPECT_EQ(p.w->stas->count(), 2);
         return outcome(ini, old, p.rec);
     },
     u"Не удалось удалить станцию. Сообщение об ошибке:\rНе удалось записать файл "_s},
    {"start-up choice (Brenvale.ini)",
     [](qint64 budget) {
         TestDir dir;
         MessageRecorder rec;
         const QString ini = dir.file(u"Brenvale.ini"_s);
         const QByteArray old = "[global]\r\neffects=0\r\n";
         writeBytes(ini, old);
         Tsett sett;
         Tstartupf dialog(sett, ini, nullptr);
         {
             DiskFullAfter full(budget);
             dialog.sub1->click();
             dialog.okb->click();
         }
         EXPECT_EQ(sett.start_mode, 1);
         return outcome(ini, old, rec);
     },
     u"Не удалось записать файл "_s},
    {"data filters (Brenvale.ini)",
     [](qint64 budget) {
         ProgramWindow p;
         const QString ini = p.path("system/Brenvale.ini");
         const QByteArray old = readBytes(ini);
         Tfilt dialog(*p.w);
         dialog.ori_add->click();
         {
             DiskFullAfter full(budget);
             dialog.save->click();
         }
         return outcome(ini, old, p.rec);
     },
     u"Не удалось записать файл "_s},
    {"station editor (Stations.ini)",
     [](qint64 budget) {
         ProgramWindow p(u"[ABC]\r\ncode=OBN\r\nname=Обнинск\r\n\r\n"_s);
         const QString ini = p.path("system/Stations.ini");
         const QByteArray old = readBytes(ini);
         const int entry = p.addStation(u"ABC"_s, u"OBN"_s, u"Обнинск"_s);
         TStaEdit editor(p.w.get(), entry);
         editor.descr->setText(u"Новое название станции"_s);
         {
             DiskFullAfter full(budget);
             editor.Button1->click();
         }
         EXPECT_EQ(p.w->stations[entry].name, u"Обнинск"_s);
         return outcome(ini, old, p.rec);
     },
     u"Не удалось обновить сведения о станции. Сообщение об ошибке:\rНе удалось записать файл "_s},
    {"summary saved from its editor",
     [](qint64 budget) {
         TestDir dir;
         MessageRecorder rec;
         const QString file = dir.file(u"ABC_036"_s);
         writeBytes(file, kOldText);
         Tsett sett;
         Tsveditor editor(nullptr, sett);
         editor.SetView(file, false);
         editor.re->setPlainText(u"SEISMO N6036 ABC BEG FEB05 000000 END FEB06 000000\nSTOP"_s);
         {
             DiskFullAfter full(budget);
             EXPECT_FALSE(editor.SaveChanges());
         }
         return outcome(file, kOldText, rec);
     },
     u"SaveChanges: Не удалось сохранить файл сводки. Сообщение об ошибке:\rНе удалось записать файл "_s},
    {"summary from the station bulletin database",
     [](qint64 budget) {
         TestDir dir;
         MessageRecorder rec;
         OrxDb<SqliteEnv> db;
         for (const char *sql : kBulletinCreates)
             db.exec(sql);
         SummaryHostFake host(*db.db, dir.path());
         const QString file = dir.file(SummaryFileName(u"ABC"_s, host.sett.svodka_date));
         writeBytes(file, kOldText);
         {
             DiskFullAfter full(budget);
             SvodkaProc(host);
         }
         return outcome(file, kOldText, rec);
     },
     u"SvodkaProc: Операция прервана. Сообщение об ошибке:\rНе удалось записать файл "_s},
    {"summary from the ORX database",
     [](qint64 budget) {
         TestDir dir;
         MessageRecorder rec;
         OrxDb<SqliteEnv> db;
         db.exec("create table origin (eventid varchar(20),origintime float)");
         db.exec("create table arrival (arid integer,eventid varchar(20),sta varchar(6),itime float)");
         SummaryHostFake host(*db.db, dir.path());
         const QString file = dir.file(u"ABC_6036"_s);
         writeBytes(file, kOldText);
         {
             DiskFullAfter full(budget);
             EXPECT_FALSE(ORXSvodka(host));
         }
         return outcome(file, kOldText, rec);
     },
     u"ORXSvodka: Не удалось получить МСК-85 по ORX. Сообщение об ошибке:\r"_s},
    {"copy of a bulletin saved from the report window",
     [](qint64 budget) {
         ProgramWindow p;
         TestDir dir;
         const QString copy = dir.file(u"bulletin.htm"_s);
         writeBytes(copy, kOldText);
         TRepfrm window(*p.w, p.dm);
         writeBytes(window.tempFileName(), "<html><body>a bulletin made just now</body></html>\r\n");
         {
             DiskFullAfter full(budget);
             window.SaveReportCopy(copy);
         }
         return outcome(copy, kOldText, p.rec);
     },
     u"copyfile: отчёт не сохранён!"_s},
};

TEST(FileFaults, AFullDiskLeavesTheOldFileWhole)
{
    for (const FileWrite &w : kFileWrites) {
        // At once, and half-way through the new content (every one is longer than that).
        for (const qint64 budget : {qint64(0), qint64(16)}) {
            const Outcome o = w.write(budget);
            const std::string name = std::string(w.name) + " after " + std::to_string(budget) + " bytes";
            EXPECT_FALSE(o.old.isEmpty()) << name;
            EXPECT_EQ(o.after, o.old) << name;
            EXPECT_TRUE(o.folder.filter(u".tmp-"_s).isEmpty())
                << name << ": " << o.folder.join(u' ').toStdString();
            if (o.shown.isEmpty()) {
                ADD_FAILURE() << name << ": nothing was shown";
                continue;
            }
            EXPECT_TRUE(o.shown.last().startsWith(w.message)) << name << ": " << o.shown.last().toStdString();
        }
    }
}

} // namespace
