#include "demo_data.h"
#include "exchange/orv/orv_export.h"
#include "exchange/orv/orv_export_command.h"
#include "exchange/page/import_grid.h"
#include "exchange/page/import_page.h"
#include "exchange/page/import_type.h"
#include "exchange/paradox_fixture.h"
#include "exchange_test_env.h"
#include "lib/codec.h"
#include "lib/mstring_grid.h"
#include "support/program_env.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <xlsxwriter.h>

#include <functional>

using namespace Qt::StringLiterals;

namespace {

// One event of 5 February 2026 in each of the five kinds of file, with the rows each must leave in the
// database it goes to. Numbers 9001-9004 are far beyond the demo's own events.

// Text files in the formats the test sets: day.month.four-digit year, a decimal point, ';' between fields;
// the empty trailing fields of the 18, 25 and 17 columns are written as separators.
const char kEventsTxt[] = ";9001;05.02.2026 10:15:00;5;52.5;104.25;10;12.5;;;;;;;;;;\r\n";
const char kBulletinTxt[] = "1;;9001;PET;05.02.2026;;i;0;P;SKM;SP;0;Z;05.02.2026 10:15:30;4;;;;;;;;;;\r\n";
const char kXmTxt[] = ";1;SKM;SP;Z;05.02.2026 10:15:31;2;0.8;12.5;;;;;;;;\r\n";

// A partner bulletin: event line, title, coordinates, errors and one station (Pn, an empty Pg, Sn, Sg).
const char *const kKrv[] = {
    "  5  2  1 12 34   3  14   0   7",
    "  05 02 2026       12h  34m  56.78s  K= 10.5  Mcoda= 3.2  kt=2 kolst= 7   ",
    " fi= 52.123 lam=  104.456  h=   15   t0=  0.45   fmin=1.5  ",
    "Sfi= 2.5    Slam=3.1              St0= 0.8 с",
    "  1 e 58.12    0.00   i 25.40  e 30.06   123.4  10.2    1.2    2.3    3.4    4.5   0.35   1.20  3.4 ",
};

// A station journal of one P reading, as stations keep it in Paradox.
const QList<PxColumn> kJournal = {
    {"N c/c", pxfAlpha, 6}, {"N event", pxfShort, 2}, {"Data", pxfDate, 4},   {"Faza", pxfAlpha, 8},
    {"Dev", pxfAlpha, 6},   {"Ho", pxfShort, 2},      {"Min", pxfShort, 2},   {"Sek", pxfNumber, 8},
    {"T", pxfNumber, 8},    {"A E-W", pxfAlpha, 8},   {"A N-S", pxfAlpha, 8}, {"A Z", pxfAlpha, 8},
    {"S-P", pxfAlpha, 6},   {"Del", pxfNumber, 8},    {"M", pxfAlpha, 8},     {"Notes", pxfAlpha, 30},
};

// The PET workbook: two events on two days of one month, so the month is found.
const char *const kPetSheet[][6] = {
    {"№", "Дата", "", "", "", ""},
    {"9003", "05.02.2026", "+iP", "СКМ-3 Z", "10:15:30", "4"},
    {"9004", "06.02.2026", "eP", "СКМ-3 Z", "11:00:00", "0"},
};

// The ORX rows an event file carries: 05.02.2026 10:15:00 is 1770286500 epoch seconds.
const char *const kOrxRows[] = {
    "insert into origin (eventid,lat,lon,depth,origintime) values "
    "('20260205101500',52.5,104.25,10,1770286500)",
    "insert into arrival (arid,eventid,sta,chan,iphase,itime) values "
    "(900001,'20260205101500','PET','SHZ','P',1770286530.5)",
};

struct Expected
{
    bool orx; // the rows are looked for in the ORX database
    const char *sql;
    QStringList rows;
};

// Worked out from the readers' and writers' rules: tenths rounded half to even, empty cells NULL.
const QList<Expected> kArrivals[] = {
    // Paradox: N event is the number; "SKMZ" is channel SKM (code 01 in the station's channel table), Z.
    {{false,
      "select num,deltagr,S_P_time,comment from [События] where num=9002",
      {u"9002|45.5|30.12.1899 00:01:05|Камчатка"_s}},
     {false,
      "select N_seismo,Qual,Phase,Channel_Cod,Channel_component,[Time],[Dec],FM_Z from "
      "[Станционный бюллетень] where N_equake=9002",
      {u"1|e|P|01|Z|05.02.2026 10:15:12|2|-"_s}}},
    // Excel (PET): one reading per phase row.
    {{false,
      "select num from [События] where num between 9003 and 9004 order by num",
      {u"9003"_s, u"9004"_s}},
     {false,
      "select station_cod,[date],fm,qual,phase,channel_name,channel_cod,channel_component,[time],[dec] from "
      "[Станционный бюллетень] where n_equake=9003 order by arid",
      {u"PET|05.02.2026|+|i|P|СКМ-3|SP|Z|05.02.2026 10:15:30|4"_s}}},
    // Text: the amplitude row follows its reading's new arid.
    {{false,
      "select [time],[dec],lat,lon,depdp,deltagr from [События] where num=9001",
      {u"05.02.2026 10:15:00|5|52.5|104.25|10|12.5"_s}},
     {false,
      "select "
      "b.station_cod,b.qual,b.phase,b.channel_cod,b.channel_component,b.[time],b.[dec],x.timexm,x.decxm,"
      "x.period_ns,x.amp_ns from [Станционный бюллетень] b, [Динамические замеры] x where b.n_equake=9001 "
      "and x.arid=b.arid",
      {u"PET|i|P|SP|Z|05.02.2026 10:15:30|4|05.02.2026 10:15:31|2|0.8|12.5"_s}}},
    // ORV: into the ORX database as the file has it.
    {{true,
      "select eventid,lat,lon,depth,origintime from origin where eventid='20260205101500'",
      {u"20260205101500|52.5|104.25|10|1770286500"_s}},
     {true,
      "select eventid,sta,chan,iphase,itime from arrival where eventid='20260205101500'",
      {u"20260205101500|PET|SHZ|P|1770286530.5"_s}}},
    // KRV: origin 12:34:56.78 is 56 s and 8 tenths; Pn 58.12, Sn 25.40, Sg 30.06 after 12:34; Pg 0 is none.
    {{false,
      "select [time],[dec],lat,lon,depdp,kps from [События] where lon=104.456",
      {u"05.02.2026 12:34:56|8|52.123|104.456|15|10.5"_s}},
     {false,
      "select station_cod,[date],qual,phase,channel_cod,channel_component,[time],[dec] from [Станционный "
      "бюллетень] where n_equake=(select num from [События] where lon=104.456) order by arid",
      {u"KRV|05.02.2026|e|Pn|SP|Z|05.02.2026 12:34:58|1"_s,
       u"KRV|05.02.2026|i|Sn|SP|N|05.02.2026 12:34:25|4"_s,
       u"KRV|05.02.2026|e|Sg|SP|N|05.02.2026 12:34:30|1"_s}}},
};

// What the page shows after a read for review, by type: the header row's and the first data row's first
// five cells, and the three panels. The event file's view is checked apart: its columns are the dump's.
struct Shown5
{
    QStringList header, first, panels;
};
const Shown5 kShown[] = {
    {{"", "[1] N c/c", "[2] N event", "[3] Data", "[4] Faza"},
     {"1", "1", "9002", "05.02.2026", "eP"},
     {"1 строк, 16 колонок (полей)", "с 05.02.2026 по 05.02.2026", "события 9002 - 9002 (1 всего)"}},
    {{"", "[1] №", "[2] Дата", "[3] Волна", "[4] Прибор и составл."},
     {"1", "9003", "05.02.2026", "+iP", "СКМ-3 Z"},
     {"2 строк, 14 колонок (полей)", "с 05.02.2026 по 06.02.2026", "события 9003 - 9004 (2 всего)"}},
    {{"", "[1] orid", "[2] num", "[3] time", "[4] dec"},
     {"1", "", "9001", "05.02.2026 10:15:00", "5"},
     {"1 строк, 18 колонок (полей)", "", "события 9001 - 9001 (1 всего)"}},
    {},
    {{"", "[1] sta", "[2] Pn_q", "[3] Pn", "[4] Pg_q"},
     {"1", "05.02.2026 12:34:00", "3", "14", "0"},
     {"5 строк, 18 колонок (полей)", "с 05.02.2026 по 05.02.2026", ""}},
};

void writeXlsx(const QString &path)
{
    lxw_workbook *wb = workbook_new(QFile::encodeName(path).constData());
    lxw_worksheet *ws = workbook_add_worksheet(wb, "Журнал");
    for (int r = 0; r < int(std::size(kPetSheet)); ++r)
        for (int c = 0; c < 6; ++c) {
            bool number = false;
            const double value = QString::fromUtf8(kPetSheet[r][c]).toDouble(&number);
            if (number)
                worksheet_write_number(ws, lxw_row_t(r), lxw_col_t(c), value, nullptr);
            else if (*kPetSheet[r][c])
                worksheet_write_string(ws, lxw_row_t(r), lxw_col_t(c), kPetSheet[r][c], nullptr);
        }
    ASSERT_EQ(workbook_close(wb), LXW_NO_ERROR);
}

// The demo folder with its first station, PET, whose bulletin brings the objects a Paradox journal needs;
// the import page installed as the program installs it.
struct DemoImport
{
    TestDir dir;
    MessageRecorder rec;
    Tdm dm;
    DemoSummary demo;
    std::unique_ptr<Tmainf> w;

    DemoImport()
    {
        demo = makeImportDemo(dir, 2);
        // The journal below names its channel SKM, which the demo's channel table does not know.
        exec(*open(demo.bulletinPaths.first()),
             "insert into [Каналы] (channel_name,channel_cod) values ('SKM','01')");
        w = startWithImportPage(dir);
        rec.answer(QList<int>(8, IDYES));
    }
    ~DemoImport() { qunsetenv("ORX_INI_DIR"); }

    ImportPage &page() const { return *static_cast<ImportPage *>(w->importPage()); }
    static std::unique_ptr<DbConnection> open(const QString &path)
    {
        auto c = std::make_unique<DbConnection>();
        c->SetProvider(u"Microsoft.Jet.OLEDB.4.0"_s);
        c->SetConnectionString(u"Data Source=\"%1\";Mode=ReadWrite"_s.arg(path));
        c->Open(QString(), QString());
        return c;
    }
    QStringList rows(bool orx, const char *sql) const
    {
        return dbRows(*open(orx ? demo.orxPath : demo.bulletinPaths.first()), QString::fromUtf8(sql));
    }
    // Every row the imports could touch, in both databases.
    QStringList databases() const
    {
        QStringList all;
        for (const char *sql :
             {"select * from [События] order by num", "select * from [Станционный бюллетень] order by arid",
              "select * from [Динамические замеры] order by arid"})
            all << rows(false, sql);
        for (const char *sql :
             {"select * from origin order by eventid", "select * from arrival order by arid"})
            all << rows(true, sql);
        return all;
    }
    QStringList grid() const
    {
        QStringList cells;
        for (int r = 0; r < w->sg->rowCount(); ++r)
            for (int c = 0; c < w->sg->columnCount(); ++c)
                cells << GridCell(*w->sg, c, r);
        return cells;
    }
    QPushButton *button(const char *name) const
    {
        return w->findChild<QPushButton *>(QString::fromLatin1(name));
    }
    QStringList gridRow(int row, int columns) const { return importGridRow(*w, row, columns); }
    QStringList panels() const { return importPanels(*w); }

    // The user chooses the type (formats reset), the test the station's formats and the file.
    void choose(int type, bool fullorx)
    {
        w->sett.fullorx = fullorx;
        w->ifrom->setCurrentIndex(type);
        w->UpdateImportControls();
        for (tspec &spec : page().formats().importSpec) {
            spec.datefmt = u"dmy"_s;
            spec.dtdel = u'.';
            spec.decdel = u'.';
            spec.foury = true;
            spec.ext0 = true;
        }
        const QString base = dir.base();
        switch (type) {
        case ImportParadox:
            w->Edit5->setText(base + u"journal.db"_s);
            if (!QFile::exists(w->Edit5->text()))
                writePxTable(w->Edit5->text(), kJournal,
                             {{QByteArray("1"),
                               9002,
                               QDate(2026, 2, 5),
                               QByteArray("eP"),
                               QByteArray("SKMZ"),
                               10,
                               15,
                               12.25,
                               {},
                               {},
                               {},
                               QByteArray("-"),
                               QByteArray("1-05"),
                               45.5,
                               {},
                               toCp866(u"Камчатка"_s)}},
                             866);
            break;
        case ImportExcel:
            w->Edit5->setText(base + u"pet.xlsx"_s);
            writeXlsx(w->Edit5->text());
            break;
        case ImportText:
            w->Events->setText(base + u"Events1.txt"_s);
            w->Station_bulletin->setText(base + u"Station_bulletin1.txt"_s);
            w->XM_Add->setText(base + u"Xm_Add1.txt"_s);
            writeBytes(w->Events->text(), kEventsTxt);
            writeBytes(w->Station_bulletin->text(), kBulletinTxt);
            writeBytes(w->XM_Add->text(), kXmTxt);
            break;
        case ImportOrv:
            w->Edit5->setText(orvFile());
            break;
        case ImportKrv: {
            QByteArray text;
            for (const char *line : kKrv)
                text += toCp1251(QString::fromUtf8(line)) + "\r\n";
            w->Edit5->setText(base + u"tab_1.txt"_s);
            writeBytes(w->Edit5->text(), text);
            break;
        }
        }
    }

    // The event file is the export of a scratch ORX database of the demo's structure holding kOrxRows.
    QString orvFile()
    {
        const QString scratch = dir.file(u"scratch.db"_s), out = dir.file(u"orv"_s);
        if (QFile::exists(scratch))
            return QDir(out).entryInfoList(QDir::Files).value(0).filePath();
        EXPECT_TRUE(QFile::copy(demo.orxPath, scratch));
        {
            auto c = open(scratch);
            exec(*c, "delete from arrival");
            exec(*c, "delete from origin");
            for (const char *sql : kOrxRows)
                exec(*c, sql);
        }
        QDir().mkpath(out);
        Tsett kept = w->sett;
        w->sett.orxini = false;
        w->sett.ORX_source = scratch;
        w->sett.exp_start_date = EncodeDate(2026, 2, 1);
        w->sett.exp_end_date = EncodeDate(2026, 2, 28);
        w->sett.exp_dir = out;
        w->sett.expset = 3;
        w->sett.maile_send = false;
        OrvExportStats stats;
        RunMainWindowOrvExport(*w, &stats);
        EXPECT_EQ(stats.arrivals, 1);
        w->sett = kept;
        rec.clear();
        return stats.archive;
    }
};

TEST(ImportDemo, EveryTypeFromItsFileIntoTheDatabaseInBothModes)
{
    for (int type : {ImportParadox, ImportExcel, ImportText, ImportOrv, ImportKrv})
        for (bool immediate : {false, true}) {
            SCOPED_TRACE(testing::Message() << "type " << type << (immediate ? " immediate" : " normal"));
            DemoImport p;
            ASSERT_EQ(p.w->curSta, u"PET"_s);
            p.choose(type, type == ImportOrv);
            const QStringList before = p.databases();
            // The event page of the mode, read before the import, shows what it wrote when shown again.
            QWidget *const eventPage = type == ImportOrv ? p.w->TabSheet6 : p.w->TabSheet1;
            const auto events = [&] {
                p.w->pgc1->setCurrentWidget(eventPage);
                const QString shown =
                    p.w->findChild<QLabel *>(type == ImportOrv ? u"sto1"_s : u"Label31"_s)->text();
                p.w->pgc1->setCurrentWidget(p.w->TabSheet4);
                return shown.section(u"из "_s, 1).section(u' ', 0, 0).toInt();
            };
            const int eventsBefore = events();
            ASSERT_GT(eventsBefore, 0);
            if (immediate != p.w->imm->isChecked())
                p.w->imm->click();
            ASSERT_EQ(p.button("Button14")->isHidden(), immediate);
            p.button("Button11")->click();
            if (!immediate) {
                EXPECT_EQ(p.databases(), before);
                EXPECT_TRUE(p.page().gridLock());
                if (type == ImportOrv) {
                    EXPECT_TRUE(p.gridRow(1, p.w->sg->columnCount()).contains(u"20260205101500"_s));
                    EXPECT_EQ(p.panels().value(2), u"Версия ORV: 1.1"_s);
                } else {
                    EXPECT_EQ(p.gridRow(0, 5), kShown[type].header);
                    EXPECT_EQ(p.gridRow(1, 5), kShown[type].first);
                    EXPECT_EQ(p.panels(), kShown[type].panels);
                }
                EXPECT_EQ(p.w->findChild<QLabel *>(u"Label61"_s)->isHidden(), type != ImportOrv);
                p.button("Button14")->click();
            }
            for (const auto &m : p.rec.messages())
                EXPECT_NE(m.icon, unsigned(MB_ICONERROR)) << m.text.toStdString();
            for (const Expected &e : kArrivals[type])
                EXPECT_EQ(p.rows(e.orx, e.sql), e.rows) << e.sql;
            EXPECT_EQ(events(), type == ImportOrv
                                    ? eventsBefore + 1
                                    : p.rows(false, "select count(*) from [События]").value(0).toInt());
            EXPECT_GT(events(), eventsBefore);
        }
}

// The station's Paradox journal read for review, corrected in the grid and written: the bulletin gets the
// corrected lines.
TEST(ImportDemo, ParadoxJournalCorrectedInTheGrid)
{
    DemoImport p;
    p.choose(ImportParadox, false);
    p.w->imm->setChecked(false);
    p.button("Button11")->click();
    ASSERT_TRUE(p.page().gridLock());
    EXPECT_EQ(GridCell(*p.w->sg, 16, 0), u"[16] Notes"_s);
    EXPECT_EQ(GridCell(*p.w->sg, 16, 1), u"Камчатка"_s);
    SetGridCell(*p.w->sg, 16, 1, u"Курилы"_s);
    SetGridCell(*p.w->sg, 8, 1, u"13.75"_s);
    p.button("Button14")->click();
    EXPECT_EQ(shown(p.rec), (QList<Shown>{{u"Данные импортированы.\rЗаписано в БД: событий 1, фаз 1, "
                                           u"динамических замеров 0."_s,
                                           MB_ICONINFORMATION}}));
    EXPECT_EQ(p.rows(false, "select num,comment from [События] where num=9002"),
              QStringList{u"9002|Курилы"_s});
    // 13.75 s: 13 whole seconds, tenths 7.5 rounded half to even.
    EXPECT_EQ(p.rows(false, "select Phase,[Time],[Dec] from [Станционный бюллетень] where N_equake=9002"),
              QStringList{u"P|05.02.2026 10:15:13|8"_s});
}

// A type refused for the target, a missing file or a write before any read: the message, and neither
// database changes. A refused type or write leaves the grid as it was; a read that finds no file leaves
// none of the earlier read in view, so it cannot be written again.
TEST(ImportDemo, RefusedImportsLeaveGridAndDatabasesAlone)
{
    const QString toOrx = u"Нельзя закачивать в БД ORX файлы Paradox, Excel и текст KRV"_s;
    const QString missing =
        u"Events: Заданный файл не найден.\rУбедитесь, что правильно задали путь,\rи файл "
        "действительно там есть и доступен для чтения."_s;
    struct Case
    {
        int type;
        std::function<void(DemoImport &)> change; // after a read for review
        const char *buttons;                      // clicked in turn: 'r' read and write at once, 'w' write
        Shown message;
    } cases[] = {
        {ImportParadox, [](DemoImport &p) { p.w->sett.fullorx = true; }, "rw", {toOrx, MB_ICONWARNING}},
        {ImportExcel, [](DemoImport &p) { p.w->sett.fullorx = true; }, "rw", {toOrx, MB_ICONWARNING}},
        {ImportExcel,
         [](DemoImport &p) { p.w->curSta = u"pet"_s; },
         "rw",
         {u"Для этой станции нельзя читать из Excel-файла (не поддерживается формат данных)"_s,
          MB_ICONWARNING}},
        {ImportText, [](DemoImport &p) { QFile::remove(p.w->Events->text()); }, "r", {missing, MB_ICONERROR}},
        {ImportText,
         [](DemoImport &p) { p.w->ClearImportGrid(false); },
         "w",
         {u"Сначала нужно прочитать данные!"_s, MB_ICONINFORMATION}},
        {ImportOrv,
         [](DemoImport &p) { p.w->sett.fullorx = false; },
         "rw",
         {u"Нельзя закачивать экспорт из БД ORX в БДСТБЮЛ"_s, MB_ICONWARNING}},
        {ImportKrv, [](DemoImport &p) { p.w->sett.fullorx = true; }, "rw", {toOrx, MB_ICONWARNING}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "type " << c.type << " " << c.message.first.toStdString());
        DemoImport p;
        p.choose(c.type, c.type == ImportOrv);
        p.w->imm->setChecked(false);
        p.page().ReadData();
        ASSERT_TRUE(p.page().gridLock());
        c.change(p);
        p.w->UpdateImportControls();
        const bool refusedType = c.message.second == MB_ICONWARNING;
        EXPECT_EQ(p.button("Button11")->isEnabled(), !refusedType);
        EXPECT_EQ(p.w->findChild<QLabel *>(u"Label23"_s)->text(), refusedType ? c.message.first : QString());
        const QStringList grid = p.grid(), databases = p.databases();
        p.rec.clear();
        for (const char *b = c.buttons; *b; ++b) {
            p.w->imm->setChecked(*b == 'r');
            if (*b == 'r')
                p.page().ReadData();
            else
                p.page().WriteData();
        }
        EXPECT_EQ(shown(p.rec), QList<Shown>(int(strlen(c.buttons)), c.message));
        if (c.message.first == missing) {
            EXPECT_EQ(p.grid(), QStringList(4, QString()));
            EXPECT_EQ(p.panels(), QStringList(3, QString()));
            EXPECT_FALSE(p.page().gridLock());
        } else {
            EXPECT_EQ(p.grid(), grid);
        }
        EXPECT_EQ(p.databases(), databases);
    }
}

// A read that ends without a table, because the file is gone or damaged, leaves no grid of an earlier
// read to be written again, for every type: the grid and the panels are empty and "Запись данных" asks
// for a read.
TEST(ImportDemo, AReadWithoutATableLeavesNothingToWrite)
{
    const QString missing = u"Заданный файл не найден.\rУбедитесь, что правильно задали путь,\rи файл "
                            "действительно там есть и доступен для чтения."_s;
    for (int type : {ImportParadox, ImportExcel, ImportText, ImportOrv, ImportKrv})
        for (bool damaged : {false, true}) {
            SCOPED_TRACE(testing::Message() << "type " << type << (damaged ? " damaged" : " missing"));
            DemoImport p;
            p.choose(type, type == ImportOrv);
            p.w->imm->setChecked(false);
            p.button("Button11")->click();
            ASSERT_TRUE(p.page().gridLock());
            ASSERT_GT(p.w->sg->rowCount(), 1);
            const QStringList databases = p.databases();

            QLineEdit *field = type == ImportText ? p.w->Events : p.w->Edit5;
            const QString file = p.dir.file(u"gone"_s);
            if (damaged) {
                // No Paradox header, no workbook, a NUL in a text, no station line, no archive.
                writeBytes(file,
                           type == ImportText ? QByteArray(";9001;\0;\r\n", 10) : QByteArray("junk\r\n"));
            }
            field->setText(file);
            p.rec.clear();
            p.button("Button11")->click();
            ASSERT_GE(p.rec.count(), 1);
            if (damaged)
                EXPECT_NE(p.rec.last().icon, unsigned(MB_ICONINFORMATION)) << p.rec.last().text.toStdString();
            else
                EXPECT_EQ(shown(p.rec),
                          (QList<Shown>{
                              {(type == ImportText ? u"Events: "_s : QString()) + missing, MB_ICONERROR}}));
            EXPECT_FALSE(p.page().gridLock());
            EXPECT_EQ(p.grid(), QStringList(4, QString()));
            EXPECT_EQ(p.panels(), QStringList(3, QString()));

            // The event file is always imported from the file itself; the others need a read first.
            if (type != ImportOrv) {
                p.rec.clear();
                p.button("Button14")->click();
                EXPECT_EQ(shown(p.rec),
                          (QList<Shown>{{u"Сначала нужно прочитать данные!"_s, MB_ICONINFORMATION}}));
            }
            EXPECT_EQ(p.databases(), databases);
        }
}

// The user's guide of the source tree above the test program, one line a paragraph; empty when there is
// none.
QString userGuide()
{
    QDir dir(QCoreApplication::applicationDirPath());
    do {
        QFile guide(dir.filePath(u"docs/user_guide.txt"_s));
        if (guide.open(QIODevice::ReadOnly))
            return QString::fromUtf8(guide.readAll());
    } while (dir.cdUp());
    return {};
}

// A partner bulletin is appended to the bulletin: once written, the same grid goes in again only when
// the analyst says so, and Enter says No. The user's guide quotes both questions.
TEST(ImportDemo, APartnerBulletinWrittenOnceIsNotAppendedUnasked)
{
    const char *count = "select count(*) from [События] where lon=104.456";
    const Shown again{u"Эти данные уже внесены в БД.\rВсё равно хотите внести их ещё раз?"_s,
                      MB_ICONQUESTION};
    DemoImport p;
    p.choose(ImportKrv, false);
    p.w->imm->setChecked(false);
    p.button("Button11")->click();
    p.rec.clear();
    p.button("Button14")->click();
    EXPECT_EQ(shown(p.rec), (QList<Shown>{{u"Данные импортированы."_s, MB_ICONINFORMATION}}));
    EXPECT_EQ(p.rows(false, count), QStringList{u"1"_s});

    const QStringList databases = p.databases();
    p.rec.clear();
    p.rec.answer({IDNO});
    p.button("Button14")->click();
    EXPECT_EQ(shown(p.rec), QList<Shown>{again});
    EXPECT_EQ(p.rec.last().buttons, unsigned(MB_YESNO | MB_DEFBUTTON2));
    EXPECT_EQ(p.databases(), databases);

    // A correction does not make it another bulletin.
    SetGridCell(*p.w->sg, 1, 5, u"KRV"_s);
    p.rec.clear();
    p.rec.answer({IDYES});
    p.button("Button14")->click();
    EXPECT_EQ(shown(p.rec), (QList<Shown>{again, {u"Данные импортированы."_s, MB_ICONINFORMATION}}));
    EXPECT_EQ(p.rows(false, count), QStringList{u"2"_s});

    // A new read of the same file finds its event in the database, with a reading of the same station:
    // written only on Yes, and Enter says No.
    const Shown held{u"События бюллетеня, которые уже есть в таблице \"События\" (то же время в очаге и та "
                     "же станция): 1 из 1, первое в 05.02.2026 12:34:56.8.\r\rВсё равно хотите внести их ещё "
                     "раз?"_s,
                     MB_ICONQUESTION};
    p.button("Button11")->click();
    const QStringList twice = p.databases();
    p.rec.clear();
    p.rec.answer({IDNO});
    p.button("Button14")->click();
    EXPECT_EQ(shown(p.rec), QList<Shown>{held});
    EXPECT_EQ(p.rec.last().buttons, unsigned(MB_YESNO | MB_DEFBUTTON2));
    EXPECT_EQ(p.databases(), twice);
    p.rec.clear();
    p.rec.answer({IDYES});
    p.button("Button14")->click();
    EXPECT_EQ(shown(p.rec), (QList<Shown>{held, {u"Данные импортированы."_s, MB_ICONINFORMATION}}));
    EXPECT_EQ(p.rows(false, count), QStringList{u"3"_s});

    const QString guide = userGuide();
    if (guide.isEmpty())
        GTEST_SKIP() << "no source tree above the test program";
    for (QString said : {again.first, QString(held.first)
                                          .replace(u"1 из 1, первое в 05.02.2026 12:34:56.8"_s,
                                                   u"N из M, первое в ДД.ММ.ГГГГ чч:мм:сс.д"_s)})
        EXPECT_TRUE(guide.contains(u'«' + said.replace(u"\r\r"_s, u" "_s).replace(u'\r', u' ') + u'»'))
            << said.toStdString();
}

} // namespace
