#include "exchange/page/import_grid.h"
#include "exchange/page/import_page.h"
#include "exchange/page/import_type.h"
#include "exchange/paradox/paradox_reader.h"
#include "exchange/paradox_fixture.h"
#include "exchange_test_env.h"
#include "lib/codec.h"
#include "lib/mstring_grid.h"
#include "support/program_env.h"

#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// A station journal as stations keep it, written by pxlib in the DOS code page.
const QList<PxColumn> &kJournal = kPxJournal;
const QList<PxRow> kLines = {
    // N c/c|N event|Data|Faza|Dev|Ho|Min|Sek|T|A E-W|A N-S|A Z|S-P|Del|M|Notes
    pxRow(kJournal, "1|10|20.11.2007|eP|SKMZ|23|58|12.25||||-|1-05|45.5||Камчатка"),
    pxRow(kJournal, "2|||iSM|SKMN|0|1|2.5"),
    pxRow(kJournal, "3|||SM|SKMN|0|1|4|0.8||12.5||||3.5"),
};

struct Window : ProgramWindow
{
    QString bulletin = dir.file(u"pet.mdb"_s);
    QString table = dir.file(u"journal.db"_s);

    Window()
    {
        writeBytes(bulletin, {});
        createJournalDatabase(*openStationFile(bulletin));
        EXPECT_FALSE(writePxTable(table, kJournal, kLines, 866).isEmpty());

        addStation(u"PET"_s, u"PET"_s, u"Петропавловск"_s);
        w->stations.last().out_file_jet = bulletin;
        w->sett.start_mode = 1; // the bulletin database of the station, not the ORX tables of direct mode
        w->sett.out_provider = 0;
        w->SetImportPage(new ImportPage(*w));
        page().SetImportType(ImportParadox);
        // The station's "Events" format: day.month.year with four digits, '.' for decimals.
        tspec &events = page().formats().importSpec[SpecEvents];
        events.datefmt = u"dmy"_s;
        events.dtdel = u'.';
        events.decdel = u'.';
        events.foury = true;
        events.ext0 = true;
        w->Edit5->setText(table);
    }
    QStringList rows(const QString &sql) const { return dbRows(*openStationFile(bulletin), sql); }
    // What the staging puts into Access, kept in a table of the test's own: Access is emptied at the end
    // of every run.
    void keepStaged() const
    {
        auto db = openStationFile(bulletin);
        db->backend().execute(u"create table staged (\"N c/c\" varchar(10),\"Notes\" varchar(60))"_s, {});
        db->backend().execute(u"create trigger keep_staged after insert on Access begin insert into staged "
                              "values (new.\"N c/c\",new.\"Notes\"); end"_s,
                              {});
    }
    // Access as a delivered station database may declare it: a period of eight characters.
    void narrowAccess() const
    {
        auto db = openStationFile(bulletin);
        exec(*db, "drop view [Add_time]");
        exec(*db, "drop table Access");
        for (QString sql : DemoJournalCreates())
            exec(*db, sql.replace(u"[T] varchar(255)"_s, u"[T] varchar(8)"_s));
    }
    ImportPage &page() { return *static_cast<ImportPage *>(w->importPage()); }
};

// The grid's rows as text, cells joined by "|", trailing empty cells left off.
QStringList gridRows(const TMStringGrid &g)
{
    QStringList rows;
    for (int r = 0; r < g.rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < g.columnCount(); ++c)
            cells << GridCell(g, c, r);
        while (!cells.isEmpty() && cells.last().isEmpty())
            cells.removeLast();
        rows << cells.join(QLatin1Char('|'));
    }
    return rows;
}

// The journal above as the grid shows it: numbered headers, record numbers, the "Events" format's dates.
const QStringList kGrid = {
    "|[1] N c/c|[2] N event|[3] Data|[4] Faza|[5] Dev|[6] Ho|[7] Min|[8] Sek|[9] T|[10] A E-W|[11] A N-S|"
    "[12] A Z|[13] S-P|[14] Del|[15] M|[16] Notes",
    "1|1|10|20.11.2007|eP|SKMZ|23|58|12.25||||-|1-05|45.5||Камчатка",
    "2|2|||iSM|SKMN|0|1|2.5",
    "3|3|||SM|SKMN|0|1|4|0.8||12.5||||3.5",
};

QStringList panels(Window &p)
{
    QStringList texts;
    for (const char *name : {"st1", "st2", "st3"})
        texts << p.w->findChild<QLabel *>(QString::fromLatin1(name))->text();
    return texts;
}

TEST(ReadParadox, JournalShownInTheGridCorrectedThereAndWritten)
{
    Window p;
    p.w->imm->setChecked(false);
    p.page().ReadData();
    ASSERT_EQ(p.rec.count(), 0) << p.rec.last().text.toStdString();
    EXPECT_TRUE(p.page().gridLock());
    TMStringGrid &sg = *p.w->sg;
    EXPECT_EQ(gridRows(sg), kGrid);
    EXPECT_EQ(panels(p), (QStringList{u"3 строк, 16 колонок (полей)"_s, u"с 20.11.2007 по 20.11.2007"_s,
                                      u"события 10 - 10 (1 всего)"_s}));
    // Each column as wide as its header or its widest cell and the margin, and wide enough for the view
    // to draw every text whole; the numbers' column grew from the narrow one the read starts with.
    const QFontMetrics fm(sg.font());
    const int pad = p.w->cellPad;
    const std::pair<int, int> wanted[] = {
        {0, std::max(8, fm.horizontalAdvance(u"3"_s) + pad)},
        {2, fm.horizontalAdvance(u"[2] N event"_s) + pad},
        {3, fm.horizontalAdvance(u"20.11.2007"_s) + pad},
        {16, std::max(fm.horizontalAdvance(u"[16] Notes"_s), fm.horizontalAdvance(u"Камчатка"_s)) + pad}};
    for (const auto &[c, least] : wanted)
        EXPECT_GE(sg.columnWidth(c), least) << c;
    for (int c = 0; c < sg.columnCount(); ++c) {
        const int width = sg.columnWidth(c);
        sg.resizeColumnToContents(c);
        EXPECT_LE(sg.columnWidth(c), width) << c;
        sg.setColumnWidth(c, width);
    }
    EXPECT_TRUE(p.rows(u"select num from [События]"_s).isEmpty());

    // The analyst corrects the grid: another note, the S reading as P, and an inserted empty line.
    SetGridCell(sg, 16, 1, u"Курилы"_s);
    SetGridCell(sg, 4, 2, u"iP"_s);
    sg.setCurrentCell(3, 1);
    p.w->findChild<QPushButton *>(u"Button13"_s)->click();
    EXPECT_EQ(sg.rowCount(), 5);

    p.keepStaged();
    p.w->findChild<QPushButton *>(u"Button14"_s)->click();
    // SM no longer follows an S reading: the line gives no amplitude row, and is named.
    EXPECT_EQ(shown(p.rec),
              (QList<Shown>{{u"Не все данные импортированы.\rЗаписано в БД: событий 1, фаз 2, "
                             u"динамических замеров 0.\rНе записано строк журнала: 1\rстрока 4: "
                             u"замер с периодом T не следует за своей фазой"_s,
                             48}}));
    EXPECT_EQ(p.rows(u"select num,deltagr,S_P_time,comment from [События]"_s),
              QStringList{u"10|45.5|30.12.1899 00:01:05|Курилы"_s});
    EXPECT_EQ(
        p.rows(u"select N_seismo,Qual,Phase,Channel_Cod,Channel_component,[Time],[Dec],FM_Z from "
               "[Станционный бюллетень]"_s),
        (QStringList{u"1|e|P|01|Z|20.11.2007 23:58:12|2|-"_s, u"2|i|P|01|N|21.11.2007 00:01:02|5|<null>"_s}));
    EXPECT_TRUE(p.rows(u"select arid from [Динамические замеры]"_s).isEmpty());
    // The inserted line was staged as the empty line the journal keeps, and Access was emptied after.
    EXPECT_EQ(p.rows(u"select [N c/c],[Notes] from staged"_s).value(2), u"<null>|."_s);
    EXPECT_EQ(p.rows(u"select count(*) from Access"_s), QStringList{u"0"_s});
}

TEST(ReadParadox, ImmediateModeShowsChecksAndWritesAtOnce)
{
    Window p;
    p.w->imm->setChecked(true);
    p.page().ReadData();
    EXPECT_EQ(shown(p.rec), (QList<Shown>{{u"Данные импортированы.\rЗаписано в БД: событий 1, фаз 2, "
                                           u"динамических замеров 1."_s,
                                           64}}));
    EXPECT_EQ(gridRows(*p.w->sg), kGrid);
    EXPECT_EQ(panels(p), (QStringList{u"3 строк, 16 колонок (полей)"_s, u"с 20.11.2007 по 20.11.2007"_s,
                                      u"события 10 - 10 (1 всего)"_s}));
    EXPECT_EQ(p.rows(u"select count(*) from [Станционный бюллетень]"_s), QStringList{u"2"_s});
    EXPECT_EQ(p.rows(u"select count(*) from [Динамические замеры]"_s), QStringList{u"1"_s});
}

// A field of a type the reader does not know (logical, 9) stops the read at its first record: what was
// read stays in view, unlocked, and nothing is written.
TEST(ReadParadox, ReadErrorKeepsTheRowsReadSoFar)
{
    for (bool immediate : {false, true}) {
        Window p;
        QByteArray bytes = readBytes(p.table);
        bytes[kPxDescriptors + 2 * 15] = '\x09';
        writeBytes(p.table, bytes);
        p.w->imm->setChecked(immediate);
        p.page().ReadData();
        EXPECT_EQ(shown(p.rec),
                  (QList<Shown>{{u"Ошибка при чтении файла\rЗапись 1, поле \"Notes\" (тип 9)"_s, 16}}));
        EXPECT_FALSE(p.page().gridLock());
        const QStringList grid = gridRows(*p.w->sg);
        ASSERT_EQ(grid.size(), 4);
        EXPECT_EQ(grid[0], kGrid[0]);
        EXPECT_EQ(grid[1], u"1|1|10|20.11.2007|eP|SKMZ|23|58|12.25||||-|1-05|45.5"_s);
        EXPECT_EQ(grid[2], u"2"_s);
        EXPECT_EQ(panels(p), (QStringList{QString(), QString(), QString()}));
        EXPECT_EQ(p.rows(u"select count(*) from Access"_s), QStringList{u"0"_s});
    }
}

TEST(ReadParadox, FilesThatAreNoJournalAreReported)
{
    const struct
    {
        const char *name;
        QByteArray bytes; // empty: no file at all
        QString message;
    } cases[] = {
        {"missing",
         {},
         u"Заданный файл не найден.\rУбедитесь, что правильно задали путь,\rи файл действительно там есть и доступен для чтения."_s},
        {"text file", "N c/c;N event\r\n", u"Ошибка при чтении файла\rФайл обрывается: заголовок"_s},
        {"index file", QByteArray(2048, '\x01'), u"Это не файл таблицы с данными Paradox"_s},
    };
    for (const auto &c : cases) {
        Window p;
        QFile::remove(p.table);
        if (!c.bytes.isEmpty())
            writeBytes(p.table, c.bytes);
        p.page().ReadData();
        EXPECT_EQ(shown(p.rec), (QList<Shown>{{c.message, 16}})) << c.name;
        EXPECT_FALSE(p.page().gridLock()) << c.name;
    }
    Window p;
    p.w->sett.in_provider = 1;
    p.page().ReadData();
    ASSERT_EQ(p.rec.count(), 1);
    EXPECT_TRUE(p.rec.last().text.startsWith(u"ReadParadox: Произошла ошибка с сообщением:\r"_s));
}

// A header that counts more records than the block chain holds: the records there are read, loaded to
// be written, and a note gives both counts; a chain that starts nowhere gives the header row alone.
TEST(ReadParadox, HeaderCountingMoreThanTheChainHoldsGivesTheRecordsThere)
{
    QList<PxRow> lines;
    for (int i = 1; i <= 3000; ++i)
        lines << pxRow(kJournal,
                       QStringLiteral("%1|%1|20.11.2007|P|SKMZ|10|0|%2").arg(i).arg(i % 60).toUtf8());
    const struct
    {
        const char *name;
        QList<PxRow> lines;
        qint32 counted;
        bool noBlock;
        int gridRows;
        QStringList panels;
    } cases[] = {
        {"3003 counted, 3000 held",
         lines,
         3003,
         false,
         3001,
         {u"3000 строк, 16 колонок (полей)"_s, u"с 20.11.2007 по 20.11.2007"_s,
          u"события 1 - 3000 (3000 всего)"_s}},
        {"first block 0",
         kLines,
         3,
         true,
         1,
         {u"0 строк, 16 колонок (полей)"_s, u"даты не проставлены"_s, u"нет номеров событий"_s}},
    };
    for (const auto &c : cases) {
        Window p;
        QByteArray bytes = writePxTable(p.table, kJournal, c.lines, 866);
        pxPut32(bytes, kPxRecords, c.counted);
        if (c.noBlock)
            pxPut16(bytes, kPxFirstBlock, 0);
        writeBytes(p.table, bytes);
        p.w->imm->setChecked(false);
        p.page().ReadData();
        EXPECT_EQ(shown(p.rec),
                  (QList<Shown>{{u"Файл \"journal.db\": число записей в заголовке таблицы %1, а в цепочке "
                                 u"блоков %2.\rПрочитано записей: %2."_s.arg(c.counted)
                                     .arg(c.gridRows - 1),
                                 64}}))
            << c.name;
        EXPECT_TRUE(p.page().gridLock()) << c.name;
        EXPECT_EQ(p.w->sg->rowCount(), c.gridRows) << c.name;
        EXPECT_EQ(GridCell(*p.w->sg, 16, 0), u"[16] Notes"_s) << c.name;
        EXPECT_EQ(panels(p), c.panels) << c.name;
    }

    // The 3,000 records read go into the bulletin as they are.
    Window p;
    QByteArray bytes = writePxTable(p.table, kJournal, lines, 866);
    pxPut32(bytes, kPxRecords, 3003);
    writeBytes(p.table, bytes);
    p.w->imm->setChecked(true);
    p.page().ReadData();
    EXPECT_EQ(
        shown(p.rec).value(1),
        Shown(u"Данные импортированы.\rЗаписано в БД: событий 3000, фаз 3000, динамических замеров 0."_s,
              64));
    EXPECT_EQ(p.rows(u"select count(*),max(N_equake) from [Станционный бюллетень]"_s),
              QStringList{u"3000|3000"_s});
}

// Event 9001's Pg line carries a period of 1e-300 and the first motion in "A Z": a line with a period is
// a measurement, and this one follows no phase of its own. It is named in the closing message, not counted
// as imported; the event and the next line's reading are written, whatever the length of the period's
// text. An Access whose column is narrower than that text stops the staging at its line, and nothing is
// written.
TEST(ReadParadox, ALineThatGivesNothingIsNamed)
{
    struct Case
    {
        const char *period;
        QList<Shown> shown;
        QStringList events, readings;
        bool narrowAccess = false;
    } cases[] = {
        {"1e-300",
         {{u"Не все данные импортированы.\rЗаписано в БД: событий 1, фаз 1, динамических замеров 0.\rНе "
           u"записано строк журнала: 1\rстрока 1: замер с периодом T не следует за своей фазой"_s,
           48}},
         {u"9001"_s},
         {u"9001|Sg"_s}},
        {"4.9e-324",
         {{u"Не все данные импортированы.\rЗаписано в БД: событий 1, фаз 1, динамических замеров 0.\rНе "
           u"записано строк журнала: 1\rстрока 1: замер с периодом T не следует за своей фазой"_s,
           48}},
         {u"9001"_s},
         {u"9001|Sg"_s}},
        {"4.9e-324",
         {{u"WriteParadoxGridToDB: Операция прервана. Сообщение об ошибке:\rСтрока 1 журнала: Значение "
           u"\"4.94065645841247E-324\" (21 символ) не помещается в поле \"T\" таблицы \"Access\": в нём не "
           u"более 8 символов"_s,
           16}},
         {},
         {},
         true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.period);
        Window p;
        if (c.narrowAccess)
            p.narrowAccess();
        writePxTable(
            p.table, kJournal,
            {pxRow(kJournal,
                   (QByteArray("1|9001|05.11.2026|+iPg|SKMZ|10|15|30.5|") + c.period + "|||+").constData()),
             pxRow(kJournal, "2|||iSg|SKMN|10|16|2.5")},
            866);
        p.w->imm->setChecked(true);
        p.page().ReadData();
        EXPECT_EQ(shown(p.rec), c.shown);
        EXPECT_EQ(p.rows(u"select num from [События]"_s), c.events);
        EXPECT_EQ(p.rows(u"select N_equake,Phase from [Станционный бюллетень]"_s), c.readings);
        EXPECT_EQ(p.rows(u"select count(*) from Access"_s), QStringList{u"0"_s});
    }
}

TEST(WriteParadoxJournal, NeedsDataReadAndAsksAboutMissingNumbers)
{
    Window p;
    WriteParadoxJournal(p.page());
    EXPECT_EQ(shown(p.rec), (QList<Shown>{{u"Сначала нужно прочитать данные!"_s, 64}}));

    p.rec.clear();
    p.w->imm->setChecked(false);
    p.page().ReadData();
    SetGridCell(*p.w->sg, 2, 1, QString()); // the grid lost its only event number
    p.rec.answer({IDNO});
    WriteParadoxJournal(p.page());
    EXPECT_EQ(shown(p.rec),
              (QList<Shown>{{u"Есть неисправленные ошибки.\rВсё равно хотите внести данные в БД?"_s, 32}}));
    EXPECT_EQ(p.rec.last().buttons, unsigned(MB_YESNO | MB_DEFBUTTON2));
    EXPECT_EQ(panels(p), (QStringList{u"3 строк, 16 колонок (полей)"_s, u"с 20.11.2007 по 20.11.2007"_s,
                                      u"нет номеров событий"_s}));
    EXPECT_TRUE(p.rows(u"select * from Access"_s).isEmpty());
}

} // namespace
