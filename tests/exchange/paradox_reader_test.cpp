#include "exchange/import_page.h"
#include "exchange/import_type.h"
#include "exchange/paradox_fixture.h"
#include "exchange/paradox_reader.h"
#include "exchange_test_env.h"
#include "lib/codec.h"
#include "support/program_env.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// A station journal as stations keep it, written by pxlib in the DOS code page.
const QList<PxColumn> kJournal = {
    {"N c/c", pxfAlpha, 6}, {"N event", pxfShort, 2}, {"Data", pxfDate, 4},   {"Faza", pxfAlpha, 8},
    {"Dev", pxfAlpha, 6},   {"Ho", pxfShort, 2},      {"Min", pxfShort, 2},   {"Sek", pxfNumber, 8},
    {"T", pxfNumber, 8},    {"A E-W", pxfAlpha, 8},   {"A N-S", pxfAlpha, 8}, {"A Z", pxfAlpha, 8},
    {"S-P", pxfAlpha, 6},   {"Del", pxfNumber, 8},    {"M", pxfAlpha, 8},     {"Notes", pxfAlpha, 30},
};
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
    ImportPage &page() { return *static_cast<ImportPage *>(w->importPage()); }
    TD2D &imported() { return *w->importTables[ParadoxImportTable]; }
};

TEST(ReadParadox, JournalFileIntoTheImportTableThenIntoTheBulletin)
{
    Window p;
    p.w->imm->setChecked(false);
    p.page().ReadData();
    ASSERT_EQ(p.rec.count(), 0) << p.rec.last().text.toStdString();
    EXPECT_TRUE(p.page().gridLock());
    TD2D &t = p.imported();
    ASSERT_EQ(t.RowCount(), 4);
    ASSERT_EQ(t.ColCount(), 16);
    EXPECT_EQ(t.GetCell(2, 0), u"Data"_s);
    EXPECT_EQ(t.Columns[1], (QStringList{u"N event"_s, u"10"_s, QString(), QString()}));
    EXPECT_EQ(t.GetCell(2, 1), u"20.11.2007"_s);
    EXPECT_EQ(t.GetCell(15, 1), u"Камчатка"_s);
    EXPECT_EQ(t.GetCell(7, 2), u"2.5"_s);
    EXPECT_EQ(p.page().importStats.FirstNum, 10);
    EXPECT_EQ(p.page().importStats.FirstDate, u"20.11.2007"_s);
    EXPECT_TRUE(p.rows(u"select num from [События]"_s).isEmpty());

    WriteParadoxJournal(*p.w);
    EXPECT_EQ(shown(p.rec), (QList<Shown>{{u"Данные импортированы."_s, 64}}));
    EXPECT_EQ(p.rows(u"select num,deltagr,S_P_time,comment from [События]"_s),
              QStringList{u"10|45.5|30.12.1899 00:01:05|Камчатка"_s});
    EXPECT_EQ(
        p.rows(u"select N_seismo,Qual,Phase,Channel_Cod,Channel_component,[Time],[Dec],FM_Z from "
               "[Станционный бюллетень]"_s),
        (QStringList{u"1|e|P|01|Z|20.11.2007 23:58:12|2|-"_s, u"2|i|S|01|N|21.11.2007 00:01:02|5|<null>"_s}));
    EXPECT_EQ(
        p.rows(
            u"select arid,Channel_nameXM,TimeXM,DecXm,Period_NS,Amp_NS,Magnitude_NE from [Динамические замеры]"_s),
        QStringList{u"2|SKM|21.11.2007 00:01:04|0|0.8|12.5|3.5"_s});
}

TEST(ReadParadox, ImmediateModeWritesAtOnce)
{
    Window p;
    p.w->imm->setChecked(true);
    p.page().ReadData();
    EXPECT_EQ(shown(p.rec), (QList<Shown>{{u"Данные импортированы."_s, 64}}));
    EXPECT_EQ(p.rows(u"select count(*) from [Станционный бюллетень]"_s), QStringList{u"2"_s});
    EXPECT_EQ(p.rows(u"select count(*) from [Динамические замеры]"_s), QStringList{u"1"_s});
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

TEST(WriteParadoxJournal, NeedsDataReadAndAsksAboutMissingNumbers)
{
    Window p;
    WriteParadoxJournal(*p.w);
    EXPECT_EQ(shown(p.rec), (QList<Shown>{{u"Сначала нужно прочитать данные!"_s, 64}}));

    p.rec.clear();
    p.w->imm->setChecked(false);
    p.page().ReadData();
    p.imported().SetCell(1, 1, QString()); // the grid lost its only event number
    p.rec.answer({IDNO});
    WriteParadoxJournal(*p.w);
    EXPECT_EQ(shown(p.rec),
              (QList<Shown>{{u"Есть неисправленные ошибки.\rВсё равно хотите внести данные в БД?"_s, 32}}));
    EXPECT_TRUE(p.rows(u"select * from Access"_s).isEmpty());
}

} // namespace
