#include "app/settings/reference_files.h"
#include "app/settings/settings_dialog.h"
#include "lib/ini_file.h"
#include "lib/settings_keys.h"
#include "support/program_env.h"

#include <QTabWidget>

namespace {

void setRows(QTableWidget *grid, const QList<QStringList> &rows)
{
    grid->setRowCount(int(rows.size()));
    for (int r = 0; r < rows.size(); ++r)
        for (int c = 0; c < rows[r].size(); ++c)
            grid->setItem(r, c, new QTableWidgetItem(rows[r][c]));
}

const QString kFonts =
    QStringLiteral("[font]\r\nname=Arial\r\nsize=8\r\ncolor=0xFF000008\r\ncharset=1\r\nstyle=\r\n\r\n"
                   "[font_main]\r\nname=Arial\r\nsize=8\r\ncolor=0xFF000008\r\ncharset=1\r\nstyle=\r\n\r\n");
// What OK writes when nothing was changed.
const QString kUnchanged =
    QStringLiteral("[global]\r\neffects=0\r\nnglobal_cnt=0\r\nrep_opexe=winword.exe\r\n"
                   "rep_oppar=\r\nrep_opname=Word\r\nin_provider=0\r\nsg_main=1\r\n\r\n") +
    kFonts;
const QString kOneFilter = QStringLiteral("SP     1       2\r\n");

struct SettingsProgram : ProgramWindow
{
    SettingsProgram()
    {
        w.reset(); // its shutdown writes the settings
        writeGlobal(QStringLiteral("nglobal_cnt=0\r\n"));
        write("system/filters.txt", kOneFilter);
        w = start();
    }
};

TEST(SettingsDialog, OkWritesExactlyItsKeys)
{
    SettingsProgram o;
    {
        TSetts d(*o.w);
        EXPECT_EQ(d.glo->rowCount(), int(std::size(SettingsKeyCatalogue)));
        ASSERT_TRUE(d.SaveSettings());
    }
    EXPECT_EQ(o.rec.count(), 0) << o.rec.last().text.toStdString();
    EXPECT_EQ(o.read("system/Brenvale.ini"), kUnchanged);

    // Two keys made common, the list view and the summary's event choice changed.
    o.writeGlobal(QStringLiteral("nglobal_cnt=0\r\n"));
    TSetts d(*o.w);
    d.gloClick(0, 0);
    d.gloClick(1, 2); // another row, not on the mark: only selects
    d.gloClick(1, 2); // the same row again toggles
    d.flagbeg->setChecked(false);
    d.selperiod->setCurrentIndex(1);
    d.rep_oppar->setText(QStringLiteral("/q"));
    ASSERT_TRUE(d.SaveSettings());
    const QString k0 = SettingsKeyCatalogue[0].Key.toString(), k1 = SettingsKeyCatalogue[1].Key.toString();
    EXPECT_EQ(
        o.read("system/Brenvale.ini"),
        QStringLiteral("[global]\r\neffects=0\r\nnglobal_cnt=1\r\nrep_opexe=winword.exe\r\nrep_oppar=/q\r\n"
                       "rep_opname=Word\r\nin_provider=0\r\nngopt0=") +
            k0 + QLatin1Char(',') + k1 +
            QStringLiteral(
                "\r\nshownames=0\r\nshowempty=1\r\nflagbeg=0\r\nselperiod=1\r\nsg_main=1\r\n\r\n") +
            kFonts);
    EXPECT_EQ(o.w->sett.CommonKeys, QStringList({k0, k1}));
    EXPECT_FALSE(o.w->sett.flagbeg);
    EXPECT_EQ(o.w->sett.selperiod, 1);
    EXPECT_FALSE(o.w->reloadRequested); // flagbeg alone re-sorts the list at once
}

TEST(SettingsDialog, CancelWritesNothing)
{
    SettingsProgram o;
    const QByteArray ini = readBytes(o.path("system/Brenvale.ini"));
    {
        TSetts d(*o.w);
        d.gloClick(0, 0);
        d.showempty->setChecked(false);
        setRows(d.sg, {{"LP", "3", "4"}});
        setRows(d.sg2, {{"P", "PN", "1", "*"}});
        d.cancelb->click();
        EXPECT_EQ(d.result(), QDialog::Rejected);
    }
    EXPECT_EQ(readBytes(o.path("system/Brenvale.ini")), ini);
    EXPECT_EQ(o.read("system/filters.txt"), kOneFilter);
    EXPECT_TRUE(readBytes(o.path("system/waves.txt")).isEmpty());
    EXPECT_TRUE(o.w->sett.showempty);
    EXPECT_TRUE(o.w->sett.CommonKeys.isEmpty());
}

// The grids go to fixed-width files that the start-up reader gives back as the same tables.
TEST(SettingsDialog, ReferenceFilesRoundTrip)
{
    SettingsProgram o;
    TSetts d(*o.w);
    setRows(d.sg, {{"", "", ""}, // an empty first row no longer ends the file
                   {"SP", "0.5", "5"},
                   {"LP", "0,02", "0.1"},
                   {"TOOLONG", "1", "2"},
                   {"MP", "1,5x", "3"}});
    setRows(d.sg2, {{"P", "PN", "1", "*"}, {"LR", "LRM", "2.5", "SHZ=1.5 BHZ"}, {"S", "", "1", ""}});
    ASSERT_TRUE(d.SaveSettings());
    EXPECT_EQ(shown(o.rec),
              QList<Shown>({{QStringLiteral("filters: Встретились ошибки чисел в строках №№ 4,5"), 16},
                            {QStringLiteral("waves: Встретились ошибки чисел в строках №№ 3"), 16}}));
    EXPECT_EQ(o.read("system/filters.txt"), QStringLiteral("SP     0.5     5\r\nLP     0,02    0.1\r\n"));
    EXPECT_EQ(
        o.read("system/waves.txt"),
        QStringLiteral("PN        P         1         *\r\nLRM       LR        2.5       SHZ=1.5 BHZ\r\n"));

    // The window took the new tables at once.
    ASSERT_EQ(o.w->filters.size(), 2);
    EXPECT_EQ(o.w->filters[1].kind, QStringLiteral("LP"));
    EXPECT_DOUBLE_EQ(o.w->filters[1].low, 0.02);
    EXPECT_EQ(o.w->refTable->Columns[wcChannels], QStringList({"*", "SHZ=1.5 BHZ"}));
    ASSERT_EQ(o.w->waves.size(), 2);
    ASSERT_EQ(o.w->waves[1].size(), 2);
    EXPECT_EQ(o.w->waves[1][1].name, QStringLiteral("BHZ"));
    EXPECT_DOUBLE_EQ(o.w->waves[1][1].factor, 2.5);

    // The dialog opened again shows what was saved.
    TSetts again(*o.w);
    EXPECT_EQ(TSetts::GridRows(again.sg), QList<QStringList>({{"SP", "0.5", "5"}, {"LP", "0.02", "0.1"}}));
    EXPECT_EQ(TSetts::GridRows(again.sg2),
              QList<QStringList>({{"P", "PN", "1", "*"}, {"LR", "LRM", "2.5", "SHZ=1.5 BHZ"}}));
}

TEST(SettingsDialog, OverlongCellIsRefusedAndNothingWritten)
{
    const QString fix = QStringLiteral(" символов.\rИсправьте значение и нажмите OK ещё раз.");
    const struct
    {
        QList<QStringList> filters, waves;
        QString message;
    } cases[] = {
        {{{"SP", "123456789", "1"}},
         {},
         "filters: значение \"123456789\" в строке № 1 (столбец 'От (Гц)') длиннее 8"},
        {{},
         {{"P", "PN", "1", "*"}, {"P", "PN", "1", "SHZ BHZ LHZ MHZ EHZ HHZ"}},
         "waves: значение \"SHZ BHZ LHZ MHZ EHZ HHZ\" в строке № 2 (столбец 'Каналы') длиннее 20"},
    };
    for (const auto &c : cases) {
        SettingsProgram o;
        const QByteArray ini = readBytes(o.path("system/Brenvale.ini"));
        TSetts d(*o.w);
        setRows(d.sg, c.filters);
        setRows(d.sg2, c.waves);
        d.okb->click();
        EXPECT_EQ(shown(o.rec), QList<Shown>({{c.message + fix, 16}}));
        EXPECT_NE(d.result(), QDialog::Accepted);
        EXPECT_EQ(readBytes(o.path("system/Brenvale.ini")), ini);
        EXPECT_EQ(o.read("system/filters.txt"), kOneFilter);
        EXPECT_TRUE(readBytes(o.path("system/waves.txt")).isEmpty());
    }
}

// A full disk while the filter file is written leaves the old file whole and the loaded filters as they were.
TEST(SettingsDialog, FailedReferenceWriteKeepsTheOldFile)
{
    SettingsProgram o;
    ASSERT_EQ(o.w->filters.size(), 1);
    TSetts d(*o.w);
    setRows(d.sg, {{"LP", "3", "4"}, {"BP", "5", "6"}});
    {
        DiskFullAfter full(kUnchanged.size()); // the main file fits, the filters do not
        ASSERT_TRUE(d.SaveSettings());
    }
    EXPECT_EQ(o.read("system/Brenvale.ini"), kUnchanged);
    EXPECT_EQ(o.read("system/filters.txt"), kOneFilter);
    ASSERT_GE(o.rec.count(), 1);
    EXPECT_TRUE(o.rec.messages()[0].text.contains(QStringLiteral("filters.txt")))
        << o.rec.messages()[0].text.toStdString();
    ASSERT_EQ(o.w->filters.size(), 1);
    EXPECT_EQ(o.w->filters[0].kind, QStringLiteral("SP"));
    EXPECT_FALSE(folderEntries(o.path("system")).join(QLatin1Char(' ')).contains(QStringLiteral("tmp")));
}

TEST(SettingsDialog, GridRowsAddAndDelete)
{
    SettingsProgram o;
    TSetts d(*o.w);
    setRows(d.sg, {{"SP", "1", "2"}, {"LP", "3", "4"}, {"MP", "5", "6"}});
    d.Button1->click();
    EXPECT_EQ(d.sg->rowCount(), 4);
    EXPECT_EQ(d.sg->currentColumn(), 1);
    d.sg->setCurrentCell(1, 1);
    d.Button2->click();
    EXPECT_EQ(TSetts::GridRows(d.sg), QList<QStringList>({{"SP", "1", "2"}, {"MP", "5", "6"}, {"", "", ""}}));
    for (int i = 0; i < 3; ++i)
        d.Button2->click();
    // The last row left is emptied, not removed.
    EXPECT_EQ(TSetts::GridRows(d.sg), QList<QStringList>({{"", "", ""}}));
    // The channel-kind column is edited through the drop-down.
    d.pc->setCurrentIndex(1);
    d.sg->setCurrentCell(0, 1);
    d.sg->setCurrentCell(0, 0);
    EXPECT_TRUE(d.cb->isVisibleTo(&d));
    d.cb->setCurrentIndex(2);
    EXPECT_EQ(d.sg->item(0, 0)->text(), QStringLiteral("LP"));
    d.sg->setCurrentCell(0, 1);
    EXPECT_FALSE(d.cb->isVisibleTo(&d));
}

// Only a change of "show stations without data" needs the reload cycle; it runs once after the dialog.
TEST(SettingsDialog, ShowEmptyChangeRunsTheReload)
{
    SettingsProgram o;
    QTimer::singleShot(0, [] {
        auto *d = qobject_cast<TSetts *>(QApplication::activeModalWidget());
        ASSERT_TRUE(d);
        d->showempty->setChecked(false);
        d->okb->click();
    });
    o.w->findChild<QPushButton *>(QStringLiteral("Button15"))->click();
    EXPECT_EQ(o.rec.count(), 0) << o.rec.last().text.toStdString();
    EXPECT_FALSE(o.w->reloadRequested);
    EXPECT_FALSE(o.w->sett.showempty);
    EXPECT_EQ(IniFile(o.path("system/Brenvale.ini"))
                  .ReadString(QStringLiteral("global"), QStringLiteral("showempty"), {}),
              QStringLiteral("0"));
}

TEST(ReferenceFiles, RowsOutAndMessages)
{
    EXPECT_EQ(BadRowsMessage(QStringLiteral("filters"), {}), QString());
    // Everything blank writes an empty file: the user removed every filter.
    const ReferenceFile none = BuildFiltersFile({{"", "", ""}}, nullptr);
    EXPECT_TRUE(none.bytes.isEmpty() && none.badRows.isEmpty() && none.overlong.isEmpty());
    // Six characters is the longest type; a phase of 10 does not fit before the next column.
    EXPECT_EQ(BuildFiltersFile({{"ABCDEF", "1", "2"}, {"ABCDEFG", "1", "2"}}, nullptr).badRows,
              QList<int>{2});
    EXPECT_EQ(BuildWavesFile({{"123456789", "PN", "1", ""}, {"1234567890", "PN", "1", ""}}, nullptr).badRows,
              QList<int>{2});
    EXPECT_EQ(BuildFiltersFile({{"SP", "12345678", "87654321"}}, nullptr).bytes,
              QByteArray("SP     1234567887654321\r\n"));
}

} // namespace
