// The sample files of the demo through the import page of the program started on a fresh demo folder:
// each is read for review, written, and its rows are found in the tables.

#include "demo_data.h"
#include "exchange/exchange_test_env.h"
#include "tools/demo_program.h"

#include "app/settings/connection_dialog.h"
#include "exchange/page/import_grid.h"
#include "exchange/page/import_page.h"
#include "exchange/page/import_type.h"
#include "lib/mstring_grid.h"
#include "support/program_env.h"

#include <QAbstractButton>
#include <QLabel>
#include <QRadioButton>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// The open dialog answered with one file, as the analyst picks it.
class Pick : public ImportPageDialogs
{
public:
    explicit Pick(QString *file) : m_file(file) {}
    bool ChooseFile(const QString &, const QString &, const QString &, int, QString &Chosen) override
    {
        Chosen = *m_file;
        return true;
    }
    void EditNameSamples() override {}

private:
    QString *m_file;
};

// The demo program with its import page, as the analyst uses it.
struct DemoImports : DemoProgram
{
    QString picked;

    DemoImports() : DemoProgram(DemoParams()) {}

    ImportPage &page() const { return *static_cast<ImportPage *>(w->importPage()); }
    QAbstractButton *button(const char *name) const
    {
        return w->findChild<QAbstractButton *>(QString::fromLatin1(name));
    }
    QStringList gridRow(int row, int columns) const { return importGridRow(*w, row, columns); }
    QStringList panels() const { return importPanels(*w); }
    // Every row of sql in PET's bulletin database or in ORX, fields trimmed and joined by "|".
    QStringList pet(const char *sql) const
    {
        return dbRows(*openStationFile(demo.bulletinPaths.first()), QString::fromUtf8(sql));
    }
    QStringList orx(const char *sql) const
    {
        return dbRows(*openStationFile(demo.orxPath), QString::fromUtf8(sql));
    }

    // The analyst picks the type in the list and the file through "Выбрать", which reads it for review.
    void read(int type, const QString &file)
    {
        w->pgc1->setCurrentWidget(w->TabSheet4);
        w->ifrom->setCurrentIndex(type);
        if (w->imm->isChecked())
            w->imm->click();
        picked = file;
        page().setDialogs(std::make_unique<Pick>(&picked));
        button("Button12")->click();
    }
};

TEST(DemoImports, EverySampleIsReadWrittenAndFoundInTheTables)
{
    DemoImports p;
    ASSERT_EQ(p.w->curCode, u"PET"_s);
    const QString info = u"Данные импортированы."_s;

    // The station's journal in Paradox: dates and numbers as the station's "Events" format writes them
    // (M/d/yy, a decimal comma).
    p.read(ImportParadox, p.demo.samples.journal);
    EXPECT_EQ(shown(p.recorder), QList<Shown>());
    EXPECT_EQ(p.gridRow(0, 6), (QStringList{u""_s, u"[1] N c/c"_s, u"[2] N event"_s, u"[3] Data"_s,
                                            u"[4] Faza"_s, u"[5] Dev"_s}));
    EXPECT_EQ(p.gridRow(1, 6),
              (QStringList{u"1"_s, u"1"_s, u"9001"_s, u"11/5/26"_s, u"+iPg"_s, u"СКМ-3_SPZ"_s}));
    EXPECT_EQ(p.gridRow(3, 10), (QStringList{u"3"_s, u"3"_s, u""_s, u""_s, u"SgM"_s, u"СКМ-3_SPN"_s, u"3"_s,
                                             u"13"_s, u"22,5"_s, u"0,8"_s}));
    EXPECT_EQ(p.panels(), (QStringList{u"6 строк, 16 колонок (полей)"_s, u"с 11/5/26 по 11/6/26"_s,
                                       u"события 9001 - 9002 (2 всего)"_s}));
    p.button("Button14")->click();
    // Two events of a P and an S reading and an amplitude line each.
    EXPECT_EQ(shown(p.recorder),
              (QList<Shown>{{info + u"\rЗаписано в БД: событий 2, фаз 4, динамических замеров 2."_s,
                             MB_ICONINFORMATION}}));
    p.recorder.clear();
    EXPECT_EQ(p.pet("select num,deltagr,S_P_time,comment from [События] where num between 9001 and 9002 "
                    "order by num"),
              (QStringList{u"9001|1.1|30.12.1899 00:00:15|Камчатка"_s,
                           u"9002|2.14|30.12.1899 00:00:26|Камчатка"_s}));
    // The amplitude lines (3 and 6) are no readings; a class K=11.2 is class 11.
    EXPECT_EQ(
        p.pet("select N_seismo,FM,Qual,Phase,Channel_name,Channel_Cod,Channel_component,[Time],[Dec],FM_Z "
              "from [Станционный бюллетень] where N_equake between 9001 and 9002 order by arid"),
        (QStringList{u"1|+|i|Pg|СКМ-3_SP|SP|Z|05.11.2026 03:13:06|4|+"_s,
                     u"2|<null>|e|Sg|СКМ-3_SP|SP|N|05.11.2026 03:13:21|9|<null>"_s,
                     u"4|-|e|Pg|СКМ-3_SP|SP|Z|06.11.2026 17:40:39|1|-"_s,
                     u"5|<null>|e|Sg|СКМ-3_SP|SP|E|06.11.2026 17:41:05|6|<null>"_s}));
    EXPECT_EQ(
        p.pet("select s.Phase,x.Channel_nameXM,x.Channel_CodXM,x.Channel_componentXM,x.TimeXm,x.DecXm,"
              "x.Period_NS,x.Amp_NS,x.Period_EW,x.Amp_EW,x.Klass_NE from [Динамические замеры] x,"
              "[Станционный бюллетень] s where x.arid=s.arid and s.N_equake between 9001 and 9002 order "
              "by x.Id_XM"),
        (QStringList{u"Sg|СКМ-3_SP|SP|N|05.11.2026 03:13:22|5|0.8|12.5|<null>|<null>|11"_s,
                     u"Sg|СКМ-3_SP|SP|E|06.11.2026 17:41:06|2|<null>|<null>|1.1|3.4|10"_s}));

    // The three text tables, chosen by the events file: the other two are its siblings by the templates.
    p.read(ImportText, p.demo.samples.events);
    EXPECT_EQ(shown(p.recorder), QList<Shown>());
    EXPECT_EQ(p.w->Station_bulletin->text(), p.demo.samples.stationBulletin);
    EXPECT_EQ(p.w->XM_Add->text(), p.demo.samples.xmAdd);
    EXPECT_EQ(p.gridRow(1, 5), (QStringList{u"1"_s, u""_s, u"9003"_s, u"11/5/26 03:12:45"_s, u"3"_s}));
    EXPECT_EQ(p.panels(),
              (QStringList{u"2 строк, 18 колонок (полей)"_s, QString(), u"события 9003 - 9004 (2 всего)"_s}));
    p.button("Button14")->click();
    EXPECT_EQ(shown(p.recorder), QList<Shown>());
    p.recorder.clear();
    EXPECT_EQ(
        p.pet("select num,[time],dec,lat,lon,depdp,deltagr,deltakm,seaz,S_P_time,S_P_dec,Kps,comment "
              "from [События] where num between 9003 and 9004 order by num"),
        (QStringList{u"9003|05.11.2026 03:12:45|3|52.81|160.12|35|1.1|122|91.4|30.12.1899 00:00:15|5|11.2|"
                     "Камчатка"_s,
                     u"9004|06.11.2026 17:40:02|8|54.1|162.05|20|2.14|238|65.7|30.12.1899 00:00:26|5|10.4|"
                     "Камчатка"_s}));
    EXPECT_EQ(
        p.pet("select Station_Cod,[Date],FM,Qual,Phase,Channel_name,Channel_Cod,Channel_component,[Time],"
              "[Dec],FM_Z from [Станционный бюллетень] where N_equake between 9003 and 9004 order by arid"),
        (QStringList{u"PET|05.11.2026|+|i|Pg|СКМ-3_SP|SP|Z|05.11.2026 03:13:06|4|+"_s,
                     u"PET|05.11.2026|<null>|e|Sg|СКМ-3_SP|SP|N|05.11.2026 03:13:21|9|<null>"_s,
                     u"PET|06.11.2026|-|e|Pg|СКМ-3_SP|SP|Z|06.11.2026 17:40:39|1|-"_s,
                     u"PET|06.11.2026|<null>|e|Sg|СКМ-3_SP|SP|E|06.11.2026 17:41:05|6|<null>"_s}));
    EXPECT_EQ(p.pet("select s.Phase,x.Channel_nameXM,x.Channel_componentXM,x.TimeXm,x.DecXm,x.Period_NS,"
                    "x.Amp_NS,x.Period_EW,x.Amp_EW,x.Klass_NE from [Динамические замеры] x,[Станционный "
                    "бюллетень] s where x.arid=s.arid and s.N_equake between 9003 and 9004 order by x.Id_XM"),
              (QStringList{u"Sg|СКМ-3_SP|N|05.11.2026 03:13:22|5|0.8|12.5|<null>|<null>|11.2"_s,
                           u"Sg|СКМ-3_SP|E|06.11.2026 17:41:06|2|<null>|<null>|1.1|3.4|10.4"_s}));

    // The station's workbook: its dates go into the "Events" format, the panels tell them as the sheet has
    // them.
    p.read(ImportExcel, p.demo.samples.workbook);
    EXPECT_EQ(shown(p.recorder), QList<Shown>());
    EXPECT_EQ(p.gridRow(0, 5),
              (QStringList{u""_s, u"[1] №"_s, u"[2] Дата"_s, u"[3] Волна"_s, u"[4] Прибор и составл."_s}));
    EXPECT_EQ(p.gridRow(1, 5), (QStringList{u"1"_s, u"9005"_s, u"11/5/26"_s, u"+iPg"_s, u"СКМ-3 Z"_s}));
    EXPECT_EQ(p.panels(), (QStringList{u"6 строк, 14 колонок (полей)"_s, u"с 05.11.2026 по 06.11.2026"_s,
                                       u"события 9005 - 9006 (2 всего)"_s}));
    p.button("Button14")->click();
    EXPECT_EQ(shown(p.recorder), QList<Shown>());
    p.recorder.clear();
    EXPECT_EQ(p.pet("select num,[time],dec,lat,lon,deltakm,S_P_time,S_P_dec from [События] where num between "
                    "9005 and 9006 order by num"),
              (QStringList{u"9005|05.11.2026 03:12:45|3|52.81|160.12|122|30.12.1899 00:00:15|0"_s,
                           u"9006|06.11.2026 17:40:02|8|54.1|162.05|238|30.12.1899 00:00:26|0"_s}));
    EXPECT_EQ(
        p.pet("select Station_Cod,FM,Qual,Phase,Channel_name,Channel_Cod,Channel_component,[Time],[Dec],"
              "FM_Z from [Станционный бюллетень] where N_equake between 9005 and 9006 order by arid"),
        (QStringList{u"PET|+|i|Pg|СКМ-3|SP|Z|05.11.2026 03:13:06|4|+"_s,
                     u"PET|<null>|e|Sg|СКМ-3|SP|N|05.11.2026 03:13:21|9|<null>"_s,
                     u"PET|-|e|Pg|СКМ-3|SP|Z|06.11.2026 17:40:39|1|-"_s,
                     u"PET|<null>|e|Sg|СКМ-3|SP|E|06.11.2026 17:41:05|6|<null>"_s}));
    EXPECT_EQ(p.pet("select s.Phase,x.Channel_nameXM,x.Channel_componentXM,x.TimeXm,x.DecXm,x.Period_NS,"
                    "x.Amp_NS,x.Period_EW,x.Amp_EW,x.Klass_NE from [Динамические замеры] x,[Станционный "
                    "бюллетень] s where x.arid=s.arid and s.N_equake between 9005 and 9006 order by x.Id_XM"),
              (QStringList{u"Sg|СКМ-3|N|05.11.2026 03:13:22|5|0.8|12.5|<null>|<null>|11.2"_s,
                           u"Sg|СКМ-3|E|06.11.2026 17:41:06|2|<null>|<null>|1.1|3.4|10.4"_s}));

    // The partner bulletin: stations KRV and ELT, the waves seconds after the event line's minute.
    p.read(ImportKrv, p.demo.samples.partner);
    EXPECT_EQ(shown(p.recorder), QList<Shown>());
    EXPECT_EQ(p.gridRow(0, 5), (QStringList{u""_s, u"[1] sta"_s, u"[2] Pn_q"_s, u"[3] Pn"_s, u"[4] Pg_q"_s}));
    EXPECT_EQ(p.gridRow(5, 10), (QStringList{u"5"_s, u"KRV"_s, u""_s, u""_s, u"i"_s, u"62.80"_s, u""_s, u""_s,
                                             u"e"_s, u"75.60"_s}));
    EXPECT_EQ(p.panels().value(0), u"12 строк, 18 колонок (полей)"_s);
    p.button("Button14")->click();
    EXPECT_EQ(shown(p.recorder), (QList<Shown>{{info, MB_ICONINFORMATION}}));
    p.recorder.clear();
    EXPECT_EQ(p.pet("select [time],dec,lat,lon,depdp,kps from [События] where num in (select N_equake from "
                    "[Станционный бюллетень] where Station_Cod='KRV') order by num"),
              (QStringList{u"05.11.2026 03:12:45|3|52.81|160.12|35|11.2"_s,
                           u"06.11.2026 17:40:02|8|54.1|162.05|20|10.4"_s}));
    EXPECT_EQ(p.pet("select Station_Cod,[Date],Qual,Phase,Channel_Cod,Channel_component,[Time],[Dec] from "
                    "[Станционный бюллетень] where Station_Cod in ('KRV','ELT') order by arid"),
              (QStringList{u"KRV|05.11.2026|i|Pg|SP|Z|05.11.2026 03:13:02|8"_s,
                           u"KRV|05.11.2026|e|Sg|SP|N|05.11.2026 03:13:15|6"_s,
                           u"ELT|05.11.2026|i|Pg|SP|Z|05.11.2026 03:13:10|5"_s,
                           u"ELT|05.11.2026|e|Sg|SP|N|05.11.2026 03:13:29|0"_s,
                           u"KRV|06.11.2026|e|Pg|SP|Z|06.11.2026 17:40:31|7"_s,
                           u"KRV|06.11.2026|e|Sg|SP|N|06.11.2026 17:40:53|4"_s}));

    // The event file goes into ORX in the ORX-only mode, chosen in the connection dialog.
    bool opened = false;
    QTimer::singleShot(0, [&] {
        if (auto *d = qobject_cast<Tcpar *>(QApplication::activeModalWidget())) {
            opened = true;
            d->rbd1->click();
            d->Button1->click();
        }
    });
    p.button("Button26")->click();
    ASSERT_TRUE(opened);
    ASSERT_TRUE(p.w->sett.fullorx);
    EXPECT_EQ(shown(p.recorder), QList<Shown>());
    p.read(ImportOrv, p.demo.samples.eventFile);
    EXPECT_EQ(shown(p.recorder), QList<Shown>());
    EXPECT_EQ(GridCell(*p.w->sg, 1, 0), u"[1] eventid"_s);
    EXPECT_EQ(p.gridRow(1, 2), (QStringList{u"1"_s, u"20261105_90001"_s}));
    EXPECT_EQ(p.gridRow(2, 2), (QStringList{u"2"_s, u"20261106_90002"_s}));
    EXPECT_EQ(p.panels().value(2), u"Версия ORV: 1.1"_s);
    p.recorder.answer(QList<int>(4, IDYES));
    p.button("Button14")->click();
    ASSERT_GE(p.recorder.count(), 1);
    EXPECT_TRUE(p.recorder.last().text.startsWith(u"Готово!"_s)) << p.recorder.last().text.toStdString();
    for (const auto &m : p.recorder.messages())
        EXPECT_NE(m.icon, unsigned(MB_ICONERROR)) << m.text.toStdString();
    p.recorder.clear();
    // 05.11.2026 03:12:45.3 and 06.11.2026 17:40:02.8 in seconds since 01.01.1970.
    EXPECT_EQ(
        p.orx("select eventid,lat,lon,depth,origintime,comment from origin where eventid like '2026110%' "
              "order by eventid"),
        (QStringList{u"20261105_90001|52.81|160.12|35|1793848365.3|Камчатка"_s,
                     u"20261106_90002|54.1|162.05|20|1793986802.8|Камчатка"_s}));
    EXPECT_EQ(
        p.orx("select eventid,sta,chan,iphase,itime,per,ampl from arrival where eventid like '2026110%' "
              "order by itime"),
        (QStringList{u"20261105_90001|PET|SPZ|Pg|1793848386.4|<null>|<null>"_s,
                     u"20261105_90001|PET|SPN|Sg|1793848401.9|0.8|12.5"_s,
                     u"20261106_90002|PET|SPZ|Pg|1793986839.1|<null>|<null>"_s,
                     u"20261106_90002|PET|SPE|Sg|1793986865.6|1.1|3.4"_s}));
}

} // namespace
