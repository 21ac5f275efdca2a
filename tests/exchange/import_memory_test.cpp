// A network's year of readings as three text tables, through the import page as the analyst takes it: read
// for review, the readings' table looked at in the grid, written into the station's bulletin database. The
// grid shows the tables read without a copy of their cells, so looking at them costs next to nothing.

#include "exchange/page/import_grid.h"
#include "exchange/page/import_page.h"
#include "exchange/page/import_type.h"
#include "exchange_test_env.h"
#include "lib/codec.h"
#include "lib/mstring_grid.h"
#include "support/peak_memory.h"
#include "support/program_env.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

#include <gtest/gtest.h>

#include <iostream>

using namespace Qt::StringLiterals;

namespace {

// 20,000 events of a year with 20 readings each, four of five readings with an amplitude, in the default
// formats (';' between fields, dates M/d/yy, decimal comma).
void writeYear(const QString &events, const QString &bulletin, const QString &xm, int readings)
{
    constexpr int perEvent = 20;
    QByteArray e, b, x;
    int arid = 0;
    const char *phases[] = {"Pn", "Pg", "Sn", "Sg", "LR"};
    const char *stations[] = {"PET", "MNK", "OBN", "KIV", "ARU", "TLY", "YAK", "SEY", "MAG", "NRL"};
    for (int n = 1; arid < readings; ++n) {
        const QDate day = QDate(2025, 1, 1).addDays((n - 1) / 55);
        const QString date = u"%1/%2/%3"_s.arg(day.month()).arg(day.day()).arg(day.year() % 100);
        const int second = (n * 97) % 86000;
        const QString clock = u"%1:%2:%3"_s.arg(second / 3600, 2, 10, QLatin1Char('0'))
                                  .arg(second / 60 % 60, 2, 10, QLatin1Char('0'))
                                  .arg(second % 60, 2, 10, QLatin1Char('0'));
        e += u";%1;%2 %3;%4;52,%5;160,%6;%7;1,%8;;91,4;;;;11,2;;;Камчатка;\r\n"_s.arg(n)
                 .arg(date, clock)
                 .arg(n % 10)
                 .arg(n % 97)
                 .arg(n % 89)
                 .arg(10 + n % 50)
                 .arg(n % 9)
                 .toUtf8();
        for (int k = 0; k < perEvent && arid < readings; ++k) {
            ++arid;
            const int at = std::min(second + 20 + k * 7, 86399);
            const QString time = u"%1 %2:%3:%4"_s.arg(date)
                                     .arg(at / 3600, 2, 10, QLatin1Char('0'))
                                     .arg(at / 60 % 60, 2, 10, QLatin1Char('0'))
                                     .arg(at % 60, 2, 10, QLatin1Char('0'));
            b += u"%1;;%2;%3;%4;;e;0;%5;;SP;0;Z;%6;%7;;;;;;;;;;\r\n"_s.arg(arid)
                     .arg(n)
                     .arg(QLatin1String(stations[k % 10]), date, QLatin1String(phases[k % 5]), time)
                     .arg(k % 10)
                     .toUtf8();
            if (k % 5 != 4)
                x += u";%1;;SP;Z;%2;%3;;;;;0,%4;%5,%6;;;;\r\n"_s.arg(arid)
                         .arg(time)
                         .arg(k % 10)
                         .arg(3 + k % 7)
                         .arg(k % 40)
                         .arg(arid % 1000)
                         .toUtf8();
        }
    }
    ASSERT_TRUE(writeBytes(events, toCp1251(QString::fromUtf8(e))));
    ASSERT_TRUE(writeBytes(bulletin, b));
    ASSERT_TRUE(writeBytes(xm, x));
}

TEST(ImportMemory, ANetworksYearOfReadingsThroughThePage)
{
    if (!kPeakMemoryMeasures)
        GTEST_SKIP() << "the sanitizers' shadow memory is no measure of the program's";
    constexpr int readings = 400000;
    ProgramWindow p;
    const QString bulletin = p.dir.file(u"year.mdb"_s);
    createBulletinFile(bulletin);
    p.addStation(u"PET"_s, u"PET"_s, u"Петропавловск"_s);
    p.w->stations.last().out_file_jet = bulletin;
    p.w->sett.start_mode = 1;
    p.w->sett.out_provider = 0;
    p.w->SetImportPage(new ImportPage(*p.w));
    auto &page = *static_cast<ImportPage *>(p.w->importPage());
    page.SetImportType(ImportText);
    page.formats().SetDefaults();
    page.SetupImportControls();
    p.w->imm->setChecked(false);
    p.w->Events->setText(p.dir.file(u"Events1.txt"_s));
    p.w->Station_bulletin->setText(p.dir.file(u"Station_bulletin1.txt"_s));
    p.w->XM_Add->setText(p.dir.file(u"Xm_Add1.txt"_s));
    writeYear(p.w->Events->text(), p.w->Station_bulletin->text(), p.w->XM_Add->text(), readings);
    p.w->sg->resize(800, 500);
    p.w->sg->show();

    const PeakMemory whole;
    QElapsedTimer clock;
    clock.start();
    page.ReadData();
    ASSERT_TRUE(page.gridLock()) << p.rec.last().text.toStdString();
    const qint64 read = clock.elapsed(), readMiB = whole.mebibytes();

    // The analyst looks at the readings, scrolls to the last and corrects one.
    const PeakMemory shown;
    p.w->findChild<QRadioButton *>(u"Strb"_s)->setChecked(true);
    p.w->sg->scrollToBottom();
    QApplication::processEvents();
    const qint64 shownMiB = shown.mebibytes();
    EXPECT_EQ(p.w->sg->rowCount(), readings + 1);
    EXPECT_EQ(p.w->findChild<QLabel *>(u"st1"_s)->text(), u"400000 строк, 25 колонок (полей)"_s);
    SetGridCell(*p.w->sg, 9, readings, u"Pn"_s);

    p.w->findChild<QPushButton *>(u"Button14"_s)->click();
    const qint64 took = clock.elapsed(), mebibytes = whole.mebibytes();
    EXPECT_EQ(p.rec.count(), 0) << p.rec.last().text.toStdString();
    EXPECT_EQ(dbRows(*openStationFile(bulletin), u"select count(*) from [Станционный бюллетень]"_s),
              QStringList{QString::number(readings)});
    EXPECT_EQ(dbRows(*openStationFile(bulletin),
                     u"select Phase from [Станционный бюллетень] where arid=(select max(arid) from "
                     "[Станционный бюллетень])"_s),
              QStringList{u"Pn"_s});
    std::cout << "a network's year of readings: read " << read << " ms, " << readMiB
              << " MiB; shown in the grid " << shownMiB << " MiB more; written " << took << " ms, "
              << mebibytes << " MiB in all\n";
    if (shownMiB >= 0) {
        EXPECT_LT(shownMiB, 32) << "MiB";
        // A network's year must fit an analyst's machine: read, shown, corrected and written.
        EXPECT_LT(mebibytes, 512) << "MiB";
    }
}

} // namespace
