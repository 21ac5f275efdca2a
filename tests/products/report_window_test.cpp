#include "app/main/product_commands.h"
#include "app/settings/param_dialog.h"
#include "app/settings/progress_window.h"
#include "demo_program.h"
#include "lib/control_routines.h"
#include "lib/date_routines.h"
#include "lib/ini_file.h"
#include "products/report_window.h"

#include <QDateEdit>
#include <QJsonArray>
#include <QJsonObject>
#include <QRadioButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QStyleOptionComboBox>
#include <QTableWidget>
#include <QTextBrowser>
#include <QTimeEdit>
#include <QTimer>

namespace {

struct ReportProgram : DemoProgram
{
    ReportWindowShell savedShell = reportWindowShell();

    explicit ReportProgram(const QRect &area = kWorkArea, bool fullOrx = false)
        : DemoProgram(&InstallReportCommand, fullOrx, area)
    {
        // Fixed texts whatever the machine's locale.
        w->fsLocal = TFormatSettings();
    }
    ~ReportProgram()
    {
        for (TRepfrm *r : windows())
            delete r;
        reportWindowShell() = savedShell;
        productCommands().report = nullptr;
    }

    static QList<TRepfrm *> windows()
    {
        QList<TRepfrm *> all;
        for (QWidget *top : QApplication::topLevelWidgets())
            if (auto *r = qobject_cast<TRepfrm *>(top))
                all << r;
        return all;
    }

    void opener(const QString &exe, const QString &par, const QString &name)
    {
        IniFile ini(w->MainIniPath());
        ini.WriteString(QStringLiteral("global"), QStringLiteral("rep_opexe"), exe);
        ini.WriteString(QStringLiteral("global"), QStringLiteral("rep_oppar"), par);
        ini.WriteString(QStringLiteral("global"), QStringLiteral("rep_opname"), name);
        ini.UpdateFile();
    }

    // "Просмотр отчета" on the bulletin event page, or the given button; the new window.
    TRepfrm *open(const char *button = "BitBtn12")
    {
        const QList<TRepfrm *> before = windows();
        auto *b = w->findChild<QPushButton *>(QString::fromLatin1(button));
        if (!b || !b->isEnabled())
            return nullptr;
        b->click();
        for (TRepfrm *r : windows())
            if (!before.contains(r))
                return r;
        return nullptr;
    }

    // The three demo days as an arbitrary period.
    // The demo's ORX database as the information system's, for the ORX event page.
    QString orxMode()
    {
        w->sett.fullorx = true;
        w->sett.orxini = false;
        w->sett.ORX_source = dir.file(QStringLiteral("data/orx.db"));
        w->SetupConnections();
        return w->sett.ORX_source;
    }
    std::unique_ptr<DbConnection> orxDb()
    {
        auto c = std::make_unique<DbConnection>();
        c->SetProvider(dm.conPubs->Provider());
        c->SetConnectionString(dm.conPubs->ConnectionString());
        EXPECT_TRUE(dm.OpenDB_ADO(c.get(), w->sett.ORX_source, QString(), QString()));
        return c;
    }

    // The save dialog chooses File and counts how often it was opened.
    static void saveDialogChooses(const QString &file, int &asked)
    {
        reportWindowShell().saveDialog = [file, &asked](QWidget *, const QString &, const QString &,
                                                        const QString &, QString &chosen) {
            ++asked;
            chosen = file;
            return true;
        };
    }

    static void demoPeriod(TRepfrm &r)
    {
        r.rstyle->setCurrentIndex(3);
        r.SetReportStyle(3);
        r.rbegdate->setDate(QDate(2026, 2, 3));
        r.renddate->setDate(QDate(2026, 2, 5));
    }
};

void closeWindow(TRepfrm *r)
{
    r->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST(ReportWindow, MakesShowsSavesAndMailsTheBulletin)
{
    ReportProgram p;
    ASSERT_EQ(p.w->curCode, QStringLiteral("PET"));
    TRepfrm *r = p.open();
    ASSERT_NE(r, nullptr);
    EXPECT_TRUE(r->isVisible());
    EXPECT_FALSE(r->isModal());
    EXPECT_TRUE(r->windowTitle().startsWith(QStringLiteral("Отчёт №"))) << r->windowTitle().toStdString();

    // Nothing to save yet.
    r->Button1->click();
    EXPECT_EQ(lastShown(p.messages), Shown(QStringLiteral("Сначала создайте отчёт!"), MB_ICONWARNING));
    p.messages.clear();

    ReportProgram::demoPeriod(*r);
    EXPECT_TRUE(r->windowTitle().endsWith(QStringLiteral(" - (03.02.2026 - 05.02.2026)")))
        << r->windowTitle().toStdString();
    r->mainbtn->click();
    EXPECT_EQ(p.messages.count(), 0) << p.messages.last().text.toStdString();
    ASSERT_TRUE(r->state().reportMade);
    const QByteArray bulletin = readBytes(r->tempFileName());
    EXPECT_TRUE(bulletin.startsWith("<html><head>"));
    EXPECT_TRUE(bulletin.endsWith("</table></body></html>\r\n"));
    EXPECT_TRUE(r->rwin->toPlainText().contains(QStringLiteral("Бюллетень №")));
    EXPECT_TRUE(r->rwin->toPlainText().contains(QStringLiteral("февраля 2026 г.")));

    // Saved under a name without an extension: ".htm" is added.
    QString asked;
    reportWindowShell().saveDialog = [&](QWidget *, const QString &title, const QString &,
                                         const QString &name, QString &chosen) {
        asked = title;
        // The dialog starts at the station's remembered copy.
        EXPECT_TRUE(name.endsWith(QStringLiteral("/PET.htm"))) << name.toStdString();
        chosen = p.dir.file(QStringLiteral("copy"));
        return true;
    };
    r->Button1->click();
    EXPECT_EQ(asked, QStringLiteral("Сохранить отчёт"));
    EXPECT_EQ(lastShown(p.messages), Shown(QStringLiteral("Готово"), MB_ICONINFORMATION));
    EXPECT_EQ(readBytes(p.dir.file(QStringLiteral("copy.htm"))), bulletin);
    EXPECT_EQ(r->state().period.fileName, p.dir.file(QStringLiteral("copy")));

    // Mailed as a ZIP archive with the window's own header.
    TestDir received;
    SmtpServer server(received.path());
    ASSERT_GT(server.port(), 0) << server.error().toStdString();
    p.w->sett.smtp_host = QStringLiteral("127.0.0.1");
    p.w->sett.smtp_port = server.port();
    p.dm.SetSettings(&p.w->sett);
    r->mail_send->click();
    if (r->mail_global->isChecked())
        r->mail_global->click();
    ASSERT_TRUE(r->sg1->isEnabled());
    const QStringList header{"pet@seismo.ru", "bulletin@seismo.ru", "", "Бюллетень PET"};
    for (int row = 0; row < 4; ++row)
        r->sg1->item(row, 1)->setText(header[row]);
    p.messages.clear();
    r->mainbtn->click();
    EXPECT_EQ(p.messages.count(), 0) << p.messages.last().text.toStdString();
    const QJsonObject mail = server.json(QStringLiteral("msg-1.json")).toObject();
    EXPECT_EQ(mail.value(QStringLiteral("subject")).toString(), QStringLiteral("Бюллетень PET"));
    EXPECT_EQ(mail.value(QStringLiteral("text")).toString().trimmed(),
              QStringLiteral("Станционный бюллетень"));
    const QJsonArray parts = mail.value(QStringLiteral("attachments")).toArray();
    ASSERT_EQ(parts.size(), 1);
    const QString zipName = parts.at(0).toObject().value(QStringLiteral("filename")).toString();
    EXPECT_TRUE(zipName.startsWith(QStringLiteral("stbul_")) && zipName.endsWith(QStringLiteral(".zip")))
        << zipName.toStdString();
    const QString zip = p.dir.file(QStringLiteral("got.zip"));
    writeBytes(zip, server.bytes(parts.at(0).toObject().value(QStringLiteral("file")).toString()));
    QDir().mkpath(p.dir.file(QStringLiteral("unzipped")));
    p.dm.UnzipAll(zip, p.dir.file(QStringLiteral("unzipped/")));
    EXPECT_EQ(readBytes(p.dir.file(QStringLiteral("unzipped/")) + QFileInfo(r->tempFileName()).fileName()),
              readBytes(r->tempFileName()));
    EXPECT_FALSE(QFile::exists(p.dir.file(QStringLiteral("system/")) + zipName));
}

TEST(ReportWindow, TwoWindowsKeepTheirOwnFiles)
{
    ReportProgram p;
    TRepfrm *a = p.open();
    TRepfrm *b = p.open();
    ASSERT_TRUE(a && b && a != b);
    EXPECT_EQ(QFileInfo(a->tempFileName()).fileName(), QStringLiteral("stbul_0.htm"));
    EXPECT_EQ(QFileInfo(b->tempFileName()).fileName(), QStringLiteral("stbul_1.htm"));
    ReportProgram::demoPeriod(*a);
    ReportProgram::demoPeriod(*b);
    b->rbegdate->setDate(QDate(2026, 2, 5));
    a->mainbtn->click();
    b->mainbtn->click();
    EXPECT_EQ(p.messages.count(), 0);
    const QString fileB = b->tempFileName();
    EXPECT_NE(readBytes(a->tempFileName()), readBytes(fileB));
    EXPECT_TRUE(fromCp1251(readBytes(a->tempFileName())).contains(QStringLiteral("\r\n3\r\n")));
    closeWindow(a);
    EXPECT_FALSE(QFile::exists(p.dir.file(QStringLiteral("system/stbul_0.htm"))));
    EXPECT_TRUE(QFile::exists(fileB));
    // The period is the station's next time.
    closeWindow(b);
    EXPECT_FALSE(QFile::exists(fileB));
    TRepfrm *c = p.open();
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->rstyle->currentIndex(), 3);
    EXPECT_EQ(c->rbegdate->date(), QDate(2026, 2, 5));
}

TEST(ReportWindow, CopyNamesAndTheOpener)
{
    for (const auto &[given, saved] : {std::pair{"/d/a", "/d/a.htm"},
                                       {"/d/a.htm", "/d/a.htm"},
                                       {"/d/a.html", "/d/a.html"},
                                       {"/d/a.HTM", "/d/a.HTM.htm"},
                                       {"/d.x/a", "/d.x/a.htm"},
                                       {"/d/a.txt", "/d/a.txt.htm"}})
        EXPECT_EQ(ReportCopyName(QString::fromLatin1(given)), QString::fromLatin1(saved)) << given;

    ReportProgram p;
    p.opener(QString(), QString(), QStringLiteral("Writer"));
    TRepfrm *r = p.open();
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->Button2->text(), QStringLiteral("Открыть"));
    QStringList opened;
    reportWindowShell().openFile = [&](const QString &file) {
        opened << file;
        return true;
    };
    reportWindowShell().startProgram = [&](const QString &program, const QStringList &args) {
        opened << program + QLatin1Char('|') + args.join(QLatin1Char('|'));
        return true;
    };
    r->Button2->click();
    EXPECT_EQ(lastShown(p.messages), Shown(QStringLiteral("Сначала создайте отчёт!"), MB_ICONWARNING));
    ReportProgram::demoPeriod(*r);
    r->mainbtn->click();
    r->Button2->click();
    EXPECT_EQ(opened, QStringList{r->tempFileName()});

    closeWindow(r);
    p.opener(QStringLiteral("lowriter"), QStringLiteral("--view"), QStringLiteral("Writer"));
    r = p.open();
    EXPECT_EQ(r->Button2->text(), QStringLiteral("Открыть в Writer"));
    r->mainbtn->click();
    opened.clear();
    r->Button2->click();
    EXPECT_EQ(opened, QStringList{QStringLiteral("lowriter|--view|") + r->tempFileName()});
}

QString stationKey(ReportProgram &p, const char *key)
{
    IniFile ini(p.dir.file(QStringLiteral("system/Stations.ini")));
    return ini.ReadString(QStringLiteral("PET"), QString::fromLatin1(key), QStringLiteral("<none>"));
}

TEST(ReportWindow, KeepsTheStationsSettings)
{
    ReportProgram p;
    p.w->sett.mail_from = QStringLiteral("global@seismo.ru");
    TRepfrm *r = p.open();
    ASSERT_NE(r, nullptr);
    ReportProgram::demoPeriod(*r);
    r->putbegdate->setChecked(true);
    r->qtype->setCurrentIndex(1);
    r->rs3->setChecked(true);
    r->mail_send->click();
    if (r->mail_global->isChecked())
        r->mail_global->click();
    r->sg1->item(0, 1)->setText(QStringLiteral("own@seismo.ru"));
    r->sg1->item(3, 1)->setText(QStringLiteral("Тема"));
    // The global header on screen; the station's own is what is kept.
    r->mail_global->click();
    EXPECT_EQ(r->sg1->item(0, 1)->text(), QStringLiteral("global@seismo.ru"));
    EXPECT_FALSE(r->sg1->isEnabled());
    r->showc->click();
    r->fi->setText(QStringLiteral("55° 6 ' 7 \" N"));
    r->hval->setText(QStringLiteral("1x"));
    closeWindow(r);
    EXPECT_EQ(p.w->sett.repset, 2);
    const std::pair<const char *, const char *> keys[] = {
        {"repstyle", "3"},        {"repbeg", "03.02.2026"},
        {"repend", "05.02.2026"}, {"put_beg_date", "1"},
        {"qtype", "1"},           {"mailr_send", "1"},
        {"mailr_global", "1"},    {"mailr_from", "own@seismo.ru"},
        {"mailr_subj", "Тема"},   {"fi", "556 7 N"},
        {"hval", "1x"},           {"lamb", "158390 E"},
        {"draw_line", "1"},       {"draw_table", "0"}};
    for (const auto &[key, value] : keys)
        EXPECT_EQ(stationKey(p, key), QString::fromUtf8(value)) << key;

    // The next window of the station starts where this one ended.
    r = p.open();
    EXPECT_EQ(r->rstyle->currentIndex(), 3);
    EXPECT_TRUE(r->putbegdate->isChecked());
    EXPECT_EQ(r->qtype->currentIndex(), 1);
    EXPECT_TRUE(r->mail_global->isChecked());
    EXPECT_EQ(r->fi->displayText(), QStringLiteral("55° 6 ' 7 \" N"));
    closeWindow(r);
    EXPECT_EQ(stationKey(p, "mailr_from"), QStringLiteral("own@seismo.ru"));
}

// The station's stored numbers, at the ends of an integer and past them: a number its control cannot
// show reads as the key's default (report number 0, the decade of a month, grouped by stations), a day
// outside the calendar as today.
TEST(ReportWindow, StoredNumbersBeyondTheirControlsReadAsDefaults)
{
    ReportProgram p;
    const struct
    {
        const char *key, *value;
        int style, number, query;
    } cases[] = {
        {"repnum", "-2147483648", 0, 0, 0},
        {"repnum", "-1", 0, -1, 0},
        {"repnum", "2147483647", 0, 2147483647, 0},
        {"repnum", "2147483648", 0, 0, 0},
        {"repnum", "1e308", 0, 0, 0},
        {"repnum", "NaN", 0, 0, 0},
        {"repstyle", "-2147483648", 1, 0, 0},
        {"repstyle", "-1", 1, 0, 0},
        {"repstyle", "2147483647", 1, 0, 0},
        {"repstyle", "2147483648", 1, 0, 0},
        {"repstyle", "1e308", 1, 0, 0},
        {"repstyle", "NaN", 1, 0, 0},
        {"qtype", "-2147483648", 0, 0, 0},
        {"qtype", "-1", 0, 0, 0},
        {"qtype", "2147483647", 0, 0, 0},
        {"qtype", "2147483648", 0, 0, 0},
        {"qtype", "1e308", 0, 0, 0},
        {"qtype", "NaN", 0, 0, 0},
    };
    for (const auto &c : cases) {
        {
            IniFile ini(p.dir.file(QStringLiteral("system/Stations.ini")));
            const QString station = QStringLiteral("PET");
            // A daily report, so that its number shows; the key of the row over it.
            ini.WriteString(station, QStringLiteral("repstyle"), QStringLiteral("0"));
            ini.WriteString(station, QStringLiteral("repnum"), QStringLiteral("0"));
            ini.WriteString(station, QStringLiteral("qtype"), QStringLiteral("0"));
            ini.WriteString(station, QStringLiteral("repbeg"), QStringLiteral("31.12.9999"));
            ini.WriteString(station, QStringLiteral("repend"), QStringLiteral("01.01.0001"));
            ini.WriteString(station, QString::fromLatin1(c.key), QString::fromLatin1(c.value));
            ini.UpdateFile();
        }
        TRepfrm *r = p.open();
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(r->rstyle->currentIndex(), c.style) << c.key << "=" << c.value;
        if (c.style == 0) {
            EXPECT_EQ(r->rnum->value(), c.number) << c.key << "=" << c.value;
            EXPECT_EQ(r->state().period.begDate, Today()) << c.key << "=" << c.value;
        }
        EXPECT_EQ(r->qtype->currentIndex(), c.query) << c.key << "=" << c.value;
        closeWindow(r);
    }
    EXPECT_EQ(p.messages.count(), 0);
}

TEST(ReportWindow, OrxModeShowsTheSiteAndWritesBackOnlyWhatWasEdited)
{
    ReportProgram p;
    ASSERT_TRUE(QFile::exists(p.orxMode()));
    exec(*p.orxDb(), "update site set lat=55.1019,lon=-36.5,elev=150.25 where sta='PET'");
    TRepfrm *r = p.open();
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->fi->displayText(), QStringLiteral("55° 6 ' 7 \" N"));
    EXPECT_EQ(r->lamb->displayText(), QStringLiteral("36 ° 30' 0 \" W"));
    EXPECT_EQ(r->hval->text(), QStringLiteral("150.25"));
    r->hval->clear();
    closeWindow(r);
    const auto c = p.orxDb();
    DbQuery q(c.get());
    q.SetSQL(QStringLiteral("select lat,lon,elev from site where sta='PET'"));
    q.Open();
    EXPECT_DOUBLE_EQ(q.Field(0)->AsFloat(), 55.1019);
    EXPECT_DOUBLE_EQ(q.Field(1)->AsFloat(), -36.5);
    EXPECT_TRUE(q.Field(2)->IsNull());
    EXPECT_EQ(p.messages.count(), 0);
}

TEST(ReportWindow, OrxEventPageMakesTheOrxBulletin)
{
    ReportProgram p;
    p.orxMode();
    TRepfrm *r = p.open("BitBtn2");
    ASSERT_NE(r, nullptr);
    ReportProgram::demoPeriod(*r);
    r->rs1->setChecked(true);
    r->qtype->setCurrentIndex(0);
    r->mainbtn->click();
    EXPECT_EQ(p.messages.count(), 0) << p.messages.last().text.toStdString();
    ASSERT_TRUE(r->state().reportMade);
    const QString html = fromCp1251(readBytes(r->tempFileName()));
    EXPECT_TRUE(html.contains(QStringLiteral("\r\n№ земле<br>трясения</td>\r\n")));
    EXPECT_TRUE(html.endsWith(QStringLiteral("</table>\r\n</body></html>\r\n")));
    EXPECT_TRUE(html.contains(QStringLiteral("<td><b>1</b></td>")));
    EXPECT_TRUE(r->rwin->toPlainText().contains(QStringLiteral("Бюллетень №")));
}

// Started in ORX-only mode with a network without stations chosen, "всем станциям за период" takes every
// station with arrivals in the period, as "<<< все станции >>>" does.
TEST(ReportWindow, ANetworkWithoutStationsNarrowsNothing)
{
    ReportProgram p(kWorkArea, true);
    p.chooseNetworkWithoutStations(QStringLiteral("Пустая"));
    TRepfrm *r = p.open("BitBtn2");
    ASSERT_NE(r, nullptr);
    ReportProgram::demoPeriod(*r);
    r->rs4->setChecked(true);
    r->qtype->setCurrentIndex(0);
    r->mainbtn->click();
    EXPECT_EQ(p.messages.count(), 0) << p.messages.last().text.toStdString();
    EXPECT_EQ(r->state().reportCodes, (QStringList{"MNK", "PET"}));
    EXPECT_TRUE(r->state().reportMade);
    // Each station's bulletin under its own head.
    const QString view = r->rwin->toPlainText();
    EXPECT_TRUE(view.contains(QStringLiteral("Минск")) &&
                view.contains(QStringLiteral("Петропавловск-Камчатский")));
}

TEST(ReportWindow, PeriodControlsFollowTheKindAndRefuseAYearOutsideTheCalendar)
{
    ReportProgram p;
    TRepfrm *r = p.open();
    ASSERT_NE(r, nullptr);
    r->rstyle->setCurrentIndex(1);
    r->SetReportStyle(1);
    EXPECT_TRUE(r->rmonth->isVisibleTo(r) && r->rmdec->isVisibleTo(r) && !r->rbegdate->isVisibleTo(r));
    EXPECT_EQ(r->Label1->text(), QStringLiteral("Год"));
    r->rnum->setValue(2024);
    r->rmonth->setCurrentIndex(1);
    r->rmdec->setCurrentIndex(2);
    EXPECT_EQ(DateTimeToStrDMY(r->state().period.begDate), QStringLiteral("21.02.2024"));
    EXPECT_EQ(DateTimeToStrDMY(r->state().period.endDate), QStringLiteral("29.02.2024"));
    EXPECT_EQ(r->state().period.number, 6);
    EXPECT_TRUE(r->windowTitle().startsWith(QStringLiteral("Отчёт №6 - ")));
    // A year is one whose decades every product carries: 1900 (no leap year) to 9998.
    r->rnum->setValue(0);
    EXPECT_EQ(r->rnum->value(), 1900);
    EXPECT_EQ(DateTimeToStrDMY(r->state().period.endDate), QStringLiteral("28.02.1900"));
    r->rnum->setValue(9999);
    EXPECT_EQ(r->rnum->value(), 9998);
    EXPECT_EQ(DateTimeToStrDMY(r->state().period.begDate), QStringLiteral("21.02.9998"));
    for (QDateEdit *d : {r->rbegdate, r->renddate})
        EXPECT_EQ(std::pair(d->minimumDate(), d->maximumDate()),
                  std::pair(QDate(1900, 1, 1), QDate(9998, 12, 31)));
    // A report number is any number.
    r->rstyle->setCurrentIndex(0);
    r->SetReportStyle(0);
    r->rnum->setValue(-5);
    EXPECT_EQ(r->state().period.number, -5);
    // Decade of the year: the period carries over.
    r->rstyle->setCurrentIndex(1);
    r->SetReportStyle(1);
    r->rnum->setValue(2024);
    r->rmonth->setCurrentIndex(1);
    r->rmdec->setCurrentIndex(2);
    r->rstyle->setCurrentIndex(2);
    r->SetReportStyle(2);
    EXPECT_EQ(r->rydec->value(), 6);
    EXPECT_EQ(r->Label2->text(), QStringLiteral("Декада года"));
    EXPECT_EQ(p.messages.count(), 0);
}

// A date or time typed whole over the one shown, with or without its separators, is taken as typed by the
// report window's period, the summary's day, the export's period and the event filter's date and time; one
// that does not exist or a day no product carries is told once, as a box that takes the focus, when the edit
// is left by a click, Tab or Enter, and the edit keeps its value.
TEST(ReportWindow, TypedDatesAreTakenAsTypedOrRefused)
{
    ReportProgram p;
    p.messages.boxesTakeTheFocus();
    TRepfrm *r = p.open();
    ASSERT_NE(r, nullptr);
    r->rstyle->setCurrentIndex(3);
    r->SetReportStyle(3);
    Tpar par(p.w.get());
    par.Setup(1, nullptr, {});
    Tpar exp(p.w.get());
    exp.Setup(2, nullptr, {});
    // As a Russian locale shows them.
    for (QDateEdit *d : {par.svodka_Date, exp.svodka_Date, exp.End_Date, p.w->dat1})
        d->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
    const struct
    {
        QDateTimeEdit *edit;
        const char *keys, *shown, *message; // keys ending in neither Tab nor Enter: left by a click
    } cases[] = {
        {r->rbegdate, "15.10.2026", "15.10.2026", nullptr},
        {r->rbegdate, "05.11.2026", "05.11.2026", nullptr},
        {r->renddate, "22102026", "22.10.2026", nullptr},
        {r->renddate, "5.1.2027", "05.01.2027", nullptr},
        {r->rbegdate, "31.02.2026", "21.10.2026", "Неверная дата: \"31.02.2026\""},
        {r->renddate, "31.12.9999", "21.10.2026",
         "Дата 31.12.9999 вне допустимых пределов: от 01.01.1900 до 31.12.9998."},
        {par.svodka_Date, "15.10.2026", "15.10.2026", nullptr},
        {par.svodka_Date, "31.04.2026", "21.10.2026", "Неверная дата: \"31.04.2026\""},
        {p.w->dat1, "05112026", "05.11.2026", nullptr},
        {p.w->tim1, "17:40:02", "17:40:02", nullptr},
        {p.w->tim1, "25:00:00", "12:00:00", "Неверное время: \"25:00:00\""},
        {r->rbegdate, "31.02.2026\t", "21.10.2026", "Неверная дата: \"31.02.2026\""},
        {r->renddate, "31.02.2026\r", "21.10.2026", "Неверная дата: \"31.02.2026\""},
        {r->renddate, "5.1.2027\t", "05.01.2027", nullptr},
        {par.svodka_Date, "31.04.2026\r", "21.10.2026", "Неверная дата: \"31.04.2026\""},
        {par.svodka_Date, "31.04.2026\t", "21.10.2026", "Неверная дата: \"31.04.2026\""},
        {exp.svodka_Date, "31.04.2026\r", "21.10.2026", "Неверная дата: \"31.04.2026\""},
        {exp.End_Date, "31.12.9999\t", "21.10.2026",
         "Дата 31.12.9999 вне допустимых пределов: от 01.01.1900 до 31.12.9998."},
        {exp.End_Date, "31.04.2026", "21.10.2026", "Неверная дата: \"31.04.2026\""},
        {exp.End_Date, "30.04.2026\t", "30.04.2026", nullptr},
        {p.w->tim1, "25:00:00\r", "12:00:00", "Неверное время: \"25:00:00\""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.keys);
        QDateTimeEdit *edit = c.edit;
        edit->setDateTime(QDateTime(QDate(2026, 10, 21), QTime(12, 0)));
        edit->window()->show();
        // The page the edit is on is the one shown, as where the analyst types.
        for (QWidget *w = edit; w; w = w->parentWidget())
            if (auto *pages = qobject_cast<QStackedWidget *>(w->parentWidget()))
                pages->setCurrentWidget(w);
        ASSERT_TRUE(edit->isVisible());
        QApplication::setActiveWindow(edit->window());
        edit->setFocus();
        ASSERT_TRUE(edit->hasFocus());
        edit->selectAll();
        p.messages.clear();
        const QString keys = QString::fromUtf8(c.keys);
        const bool byKey = keys.endsWith(QLatin1Char('\t')) || keys.endsWith(QLatin1Char('\r'));
        typeKeys(edit, byKey ? keys.chopped(1) : keys);
        EXPECT_EQ(p.messages.count(), 0);
        if (byKey)
            typeKeys(edit, keys.right(1));
        else
            edit->clearFocus(); // leaves the edit
        EXPECT_EQ(shown(p.messages),
                  c.message ? QList<Shown>({{QString::fromUtf8(c.message), MB_ICONERROR}}) : QList<Shown>());
        EXPECT_EQ(edit->text().toStdString(), c.shown);
        // The report's caption takes the period shown.
        if (edit->window() == r) {
            EXPECT_TRUE(r->windowTitle().contains(edit->text())) << r->windowTitle().toStdString();
        }
    }
}

// The view shows the bulletin as a browser does; the file stays as the builders wrote it.
TEST(ReportWindow, ViewShowsTheBulletinAsABrowserDoes)
{
    const struct
    {
        const char *html, *shown;
    } cases[] = {
        {"<td>&nbsp</td><td>&nbsp;</td>", "<td>&nbsp;</td><td>&nbsp;</td>"},
        {"a &lt b &amp c &quot;d&quot;", "a &lt; b &amp; c &quot;d&quot;"},
        {"<b><span style=\"font-family:Symbol\">j = </span></b>55",
         "<b><span style=\"font-family:Symbol\">φ = </span></b>55"},
        {"<span style=\"font-family:Symbol\">l = </span>; <span style=\"font-family:Symbol\">D°</span> j",
         "<span style=\"font-family:Symbol\">λ = </span>; <span style=\"font-family:Symbol\">Δ°</span> j"},
        // Tags and entities inside the span keep their letters; a span inside it ends there, not at its own.
        {"<SPAN STYLE='font-size:8pt;font-family: Symbol'>a<i>b</i>&nbsp<span>c</span>d</SPAN>e",
         "<SPAN STYLE='font-size:8pt;font-family: Symbol'>α<i>β</i>&nbsp;<span>χ</span>δ</SPAN>e"},
        {"<span style=\"font-family:Arial\">jlD</span>", "<span style=\"font-family:Arial\">jlD</span>"},
        {"<span style=\"font-family:Symbol\">unclosed", "<span style=\"font-family:Symbol\">υνχλοσεδ"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(BulletinViewHtml(QString::fromUtf8(c.html)), QString::fromUtf8(c.shown)) << c.html;

    ReportProgram p;
    TRepfrm *r = p.open();
    ASSERT_NE(r, nullptr);
    ReportProgram::demoPeriod(*r);
    r->mainbtn->click();
    ASSERT_TRUE(r->state().reportMade);
    const QString file = fromCp1251(readBytes(r->tempFileName()));
    EXPECT_TRUE(file.contains(QStringLiteral("<span style=\"font-family:Symbol\">j = </span>")));
    EXPECT_TRUE(file.contains(QStringLiteral("&nbsp<")));
    const QString view = r->rwin->toPlainText();
    qDebug().noquote() << view.left(1500);
    EXPECT_FALSE(view.contains(QStringLiteral("&nbsp")));
    EXPECT_FALSE(view.contains(QStringLiteral("j = ")));
    for (const char *greek : {"φ = ", "λ = ", "Δ°"})
        EXPECT_TRUE(view.contains(QString::fromUtf8(greek))) << greek;
}

// A bulletin too large to show in reasonable time and memory is shown up to a row end past the limit, its
// table closed and the rest named; a smaller one is shown whole.
TEST(ReportWindow, ALargeBulletinIsShownInPart)
{
    const QByteArray head =
        "<html><table>\r\n<tr><td>1</td></tr>\r\n<tr><td>2</td></tr>\r\n</table></html>\r\n";
    const QByteArray note = toCp1251(QStringLiteral(
        "\r\n</table><p><b>Отчёт велик для просмотра: показано начало, 0.0 МБ из 3.0 МБ. Отчёт целиком "
        "сохраняется и открывается кнопками этого окна.</b></p></body></html>\r\n"));
    const qint64 big = 3 * 1024 * 1024;
    const struct
    {
        qint64 size;
        qsizetype limit;
        QByteArray shown;
    } cases[] = {
        {head.size(), 1000, head},                                // whole
        {big, 20, "<html><table>\r\n<tr><td>1</td></tr>" + note}, // to the row end after the limit
        {big, 40, "<html><table>\r\n<tr><td>1</td></tr>\r\n<tr><td>2</td></tr>" + note},
        {big, 70, "<html><table>\r\n<tr><td>1</td></tr>\r\n<tr><td>2</td></tr>" + note}, // the last row end
    };
    for (const auto &c : cases)
        EXPECT_EQ(BulletinViewPart(head, c.size, c.limit), c.shown) << c.limit;
    EXPECT_EQ(kBulletinViewLimit, 2 * 1024 * 1024);
}

// With "простой текст" ticked nothing is made and nothing is saved, and the window says so.
TEST(ReportWindow, TextModeMakesAndSavesNothing)
{
    ReportProgram p;
    TRepfrm *r = p.open();
    ASSERT_NE(r, nullptr);
    ReportProgram::demoPeriod(*r);
    r->mainbtn->click();
    ASSERT_TRUE(r->state().reportMade);
    const QByteArray made = readBytes(r->tempFileName());
    int asked = 0;
    ReportProgram::saveDialogChooses(p.dir.file(QStringLiteral("copy.htm")), asked);
    r->showc->click();
    r->savetxt->click();
    r->rbegdate->setDate(QDate(2026, 2, 5));
    const Shown refused(
        QStringLiteral("Отчёт в виде простого текста не делается. Чтобы сделать или сохранить "
                       "отчёт в HTML, снимите галочку \"простой текст\"."),
        MB_ICONWARNING);
    p.messages.clear();
    r->mainbtn->click();
    EXPECT_EQ(shown(p.messages), QList<Shown>{refused});
    EXPECT_EQ(readBytes(r->tempFileName()), made);
    r->Button1->click();
    EXPECT_EQ(shown(p.messages), QList<Shown>({refused, refused}));
    EXPECT_EQ(asked, 0);
    EXPECT_FALSE(QFile::exists(p.dir.file(QStringLiteral("copy.htm"))));

    // Back in HTML the bulletin made before is not the one for the period chosen now: it is not saved.
    r->savetxt->click();
    EXPECT_TRUE(r->rwin->isVisibleTo(r));
    p.messages.clear();
    r->Button1->click();
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(shown(p.messages), QList<Shown>({{QStringLiteral("Сначала создайте отчёт!"), MB_ICONWARNING}}));
    r->mainbtn->click();
    p.messages.clear();
    r->Button1->click();
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(lastShown(p.messages), Shown(QStringLiteral("Готово"), MB_ICONINFORMATION));
    EXPECT_EQ(readBytes(p.dir.file(QStringLiteral("copy.htm"))), readBytes(r->tempFileName()));
    EXPECT_NE(readBytes(p.dir.file(QStringLiteral("copy.htm"))), made);
}

// Once anything the bulletin is made of changes, or a run is refused, the bulletin shown is gone from the
// view and is neither saved, opened nor mailed as the one chosen now.
TEST(ReportWindow, ABulletinOfEarlierChoicesIsNeitherShownNorSaved)
{
    ReportProgram p;
    TRepfrm *r = p.open();
    ASSERT_NE(r, nullptr);
    int asked = 0;
    ReportProgram::saveDialogChooses(p.dir.file(QStringLiteral("copy.htm")), asked);
    QStringList opened;
    reportWindowShell().openFile = [&](const QString &file) {
        opened << file;
        return true;
    };
    reportWindowShell().startProgram = [&](const QString &program, const QStringList &) {
        opened << program;
        return true;
    };
    r->showc->click();
    const QString badLatitude = QStringLiteral("99° 99' 99\" Q");
    const struct
    {
        const char *change;
        std::function<void()> act;
    } cases[] = {
        // The analyst's road: the decade-3 bulletin, then decade 2 chosen.
        {"another decade", [&] { r->rmdec->setCurrentIndex(1); }},
        {"another kind of period", [&] { r->rstyle->setCurrentIndex(0); }},
        {"another date", [&] { r->renddate->setDate(r->renddate->date().addDays(-1)); }},
        {"another report number", [&] { r->rnum->setValue(r->rnum->value() + 1); }},
        {"another station set", [&] { (r->rs1->isChecked() ? r->rs2 : r->rs1)->setChecked(true); }},
        {"another grouping", [&] { r->qtype->setCurrentIndex(1 - r->qtype->currentIndex()); }},
        {"the frame", [&] { r->drawtable->click(); }},
        {"the dividing line", [&] { r->dline->click(); }},
        {"the month and year", [&] { r->putbegdate->click(); }},
        {"the height", [&] { r->hval->setText(QStringLiteral("151")); }},
        {"a run refused for the text mode",
         [&] {
             r->savetxt->click();
             r->mainbtn->click();
             r->savetxt->click();
         }},
        {"a run refused for its coordinates",
         [&] {
             r->fi->setText(badLatitude);
             r->mainbtn->click();
             r->fi->setText(QStringLiteral("53° 1 ' 25\" N"));
         }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.change);
        r->rstyle->setCurrentIndex(1);
        r->SetReportStyle(1);
        r->rnum->setValue(2026);
        r->rmonth->setCurrentIndex(1);
        r->rmdec->setCurrentIndex(2);
        p.messages.clear();
        r->mainbtn->click();
        ASSERT_TRUE(r->state().reportMade);
        ASSERT_FALSE(r->rwin->toPlainText().isEmpty());
        c.act();
        EXPECT_FALSE(r->state().reportMade);
        EXPECT_TRUE(r->rwin->toPlainText().isEmpty());
        p.messages.clear();
        r->Button1->click();
        r->Button2->click();
        EXPECT_EQ(shown(p.messages),
                  QList<Shown>(2, {QStringLiteral("Сначала создайте отчёт!"), MB_ICONWARNING}));
    }
    EXPECT_EQ(asked, 0);
    EXPECT_TRUE(opened.isEmpty());
    EXPECT_FALSE(QFile::exists(p.dir.file(QStringLiteral("copy.htm"))));
}

// An ORX run cancelled in the progress window leaves the view as empty as a refused run does: nothing is
// shown that "Сохранить в файл" refuses.
TEST(ReportWindow, ACancelledRunShowsNothing)
{
    ReportProgram p;
    p.orxMode();
    TRepfrm *r = p.open("BitBtn2");
    ASSERT_NE(r, nullptr);
    ReportProgram::demoPeriod(*r);
    // Grouped by stations, MNK first: cancelled as the progress window shows again for PET, with MNK's
    // bulletin written.
    r->rs4->setChecked(true);
    r->qtype->setCurrentIndex(0);
    r->mainbtn->click();
    ASSERT_TRUE(r->state().reportMade);
    ASSERT_FALSE(r->rwin->toPlainText().isEmpty());
    bool cancelled = false;
    int seen = 0;
    QTimer cancel;
    QObject::connect(&cancel, &QTimer::timeout, [&] {
        auto *pro = qobject_cast<Tpro *>(QApplication::activeModalWidget());
        if (pro && ++seen == 2) {
            cancelled = pro->cbt->isVisible();
            pro->cbt->click();
        }
    });
    cancel.start(0);
    r->mainbtn->click();
    ASSERT_TRUE(cancelled);
    EXPECT_FALSE(r->state().reportMade);
    EXPECT_TRUE(r->rwin->toPlainText().isEmpty());
    p.messages.clear();
    r->Button1->click();
    EXPECT_EQ(shown(p.messages), (QList<Shown>{{QStringLiteral("Сначала создайте отчёт!"), MB_ICONWARNING}}));
    closeWindow(r);
}

// With no station selected in the main window the report window opens without one, and "Создать отчёт"
// says why it makes nothing.
TEST(ReportWindow, WithoutAStationSaysSo)
{
    ReportProgram p;
    {
        const QSignalBlocker quiet(p.w->stas);
        p.w->stas->clearSelection();
    }
    p.w->StationChanged(false);
    ASSERT_TRUE(p.w->curCode.isEmpty());
    TRepfrm *r = p.open();
    ASSERT_NE(r, nullptr);
    EXPECT_TRUE(r->windowTitle().endsWith(QStringLiteral(" - ??? (станция не выбрана)")))
        << r->windowTitle().toStdString();
    ReportProgram::demoPeriod(*r);
    r->mainbtn->click();
    const Shown said(QStringLiteral("Станция для отчёта не выбрана: выберите станцию в списке станций."),
                     MB_ICONWARNING);
    EXPECT_EQ(shown(p.messages), QList<Shown>{said});
    EXPECT_FALSE(r->state().reportMade);
    EXPECT_TRUE(r->rwin->toPlainText().isEmpty());
    closeWindow(r);
}

// An opener that starts nothing is named.
TEST(ReportWindow, OpenerThatStartsNothingIsNamed)
{
    ReportProgram p;
    TRepfrm *r = p.open(); // the default opener: winword.exe, which Linux has not
    ASSERT_NE(r, nullptr);
    ReportProgram::demoPeriod(*r);
    r->mainbtn->click();
    ASSERT_TRUE(r->state().reportMade);
    p.messages.clear();
    r->Button2->click();
    EXPECT_EQ(
        shown(p.messages),
        QList<Shown>({{QStringLiteral("Не удалось открыть отчёт в Word: не запускается программа "
                                      "\"winword.exe\".\rПрограмму можно выбрать в \"Общих настройках\" "
                                      "(закладка \"Выходные данные\")."),
                       MB_ICONERROR}}));
    closeWindow(r);

    p.opener(QString(), QString(), QString());
    reportWindowShell().openFile = [](const QString &) { return false; };
    r = p.open();
    ASSERT_NE(r, nullptr);
    r->mainbtn->click();
    ASSERT_TRUE(r->state().reportMade);
    p.messages.clear();
    r->Button2->click();
    EXPECT_EQ(shown(p.messages),
              QList<Shown>({{QStringLiteral("Не удалось открыть отчёт \"") + r->tempFileName() +
                                 QStringLiteral("\": нет программы, которая открывает файлы HTM."),
                             MB_ICONERROR}}));
}

TEST(ReportWindow, CoordinatesOutOfRangeAreRefused)
{
    const QString lat = QStringLiteral("Неверная широта станции: "),
                  latRule =
                      QStringLiteral("\rГрадусы от 0 до 90, минуты и секунды от 0 до 59, полушарие N или S.");
    const QString lon = QStringLiteral("Неверная долгота станции: "),
                  lonRule = QStringLiteral(
                      "\rГрадусы от 0 до 180, минуты и секунды от 0 до 59, полушарие E или W.");
    const struct
    {
        const char *shown;
        bool isLon, sound;
    } cases[] = {
        {"55° 45' 30\" N", false, true},  {"5 ° 6 ' 7 \" s", false, true},  {"  °   '   \"  ", false, true},
        {"90° 0 ' 0 \" S", false, true},  {"90° 0 ' 1 \" N", false, false}, {"99° 99' 99\" Q", false, false},
        {"55° 60' 0 \" N", false, false}, {"55° 45' 30\" E", false, false}, {"55° 45'   \" N", false, false},
        {"-5° 45' 30\" N", false, false}, {"55° 45' 30\"  ", false, false}, {"180° 0 ' 0 \" W", true, true},
        {"36 ° 30' 0 \" E", true, true},  {"181° 0 ' 0 \" E", true, false}, {"36 ° 30' 0 \" N", true, false},
    };
    for (const auto &c : cases) {
        const QString text = QString::fromUtf8(c.shown);
        const QString expected =
            c.sound ? QString() : (c.isLon ? lon : lat) + text + (c.isLon ? lonRule : latRule);
        EXPECT_EQ(CoordinateProblem(text, c.isLon), expected) << c.shown;
    }

    // Typed into the window: no bulletin, and the value is not kept.
    ReportProgram p;
    TRepfrm *r = p.open();
    ASSERT_NE(r, nullptr);
    ReportProgram::demoPeriod(*r);
    r->showc->click();
    const QString bad = QStringLiteral("99° 99' 99\" Q");
    r->fi->setText(bad);
    ASSERT_EQ(r->fi->displayText(), bad);
    r->mainbtn->click();
    EXPECT_EQ(shown(p.messages), QList<Shown>({{lat + bad + latRule, MB_ICONERROR}}));
    EXPECT_FALSE(r->state().reportMade);
    EXPECT_FALSE(QFile::exists(r->tempFileName()));
    r->lamb->setText(QStringLiteral("36 ° 30' 0 \" E"));
    p.messages.clear();
    closeWindow(r);
    EXPECT_EQ(shown(p.messages),
              QList<Shown>({{lat + bad + latRule + QStringLiteral("\rОна не сохранена."), MB_ICONERROR}}));
    // The demo's own: 53.0236 degrees north is 53 degrees, 1 minute and 25 seconds.
    EXPECT_EQ(stationKey(p, "fi"), QStringLiteral("531 25N"));
    EXPECT_EQ(stationKey(p, "lamb"), QStringLiteral("36 300 E"));

    // In the ORX mode the site row keeps its latitude.
    p.orxMode();
    exec(*p.orxDb(), "update site set lat=55.1019 where sta='PET'");
    r = p.open("BitBtn2");
    ASSERT_NE(r, nullptr);
    r->fi->setText(bad);
    p.messages.clear();
    closeWindow(r);
    EXPECT_EQ(shown(p.messages),
              QList<Shown>({{lat + bad + latRule + QStringLiteral("\rОна не сохранена."), MB_ICONERROR}}));
    const auto c = p.orxDb();
    DbQuery q(c.get());
    q.SetSQL(QStringLiteral("select lat from site where sta='PET'"));
    q.Open();
    EXPECT_DOUBLE_EQ(q.Field(0)->AsFloat(), 55.1019);
}

// The width of a combo box's text field, as the style lays it out.
int comboTextWidth(QComboBox *combo)
{
    QStyleOptionComboBox opt;
    opt.initFrom(combo);
    opt.editable = combo->isEditable();
    opt.frame = combo->hasFrame();
    return combo->style()
        ->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, combo)
        .width();
}

// Every control of the upper panel shows its text whole, at the window's narrowest and at a wider size,
// with the extra settings shown and hidden; the narrowest fits a screen 1050 pixels wide.
TEST(ReportWindow, ControlsShowWhole)
{
    ReportProgram p;
    TRepfrm *r = p.open();
    ASSERT_NE(r, nullptr);
    EXPECT_LE(r->minimumWidth(), 1050);
    for (int kind = 0; kind < 4; ++kind)
        for (const int width : {r->minimumWidth(), 1400})
            for (const bool extra : {false, true}) {
                SCOPED_TRACE(testing::Message()
                             << "kind " << kind << ", width " << width << ", extra " << extra);
                r->rstyle->setCurrentIndex(kind);
                r->SetReportStyle(kind);
                (extra ? r->showc : r->hidec)->click();
                r->resize(width, r->minimumHeight());
                QApplication::processEvents();
                const QFontMetrics fm = r->rstyle->fontMetrics();
                for (int i = 0; i < r->rstyle->count(); ++i)
                    EXPECT_GE(comboTextWidth(r->rstyle), fm.horizontalAdvance(r->rstyle->itemText(i))) << i;
                for (QWidget *w : r->Panel1->findChildren<QWidget *>()) {
                    if (!w->isVisibleTo(r) || w->objectName().isEmpty() || w->parentWidget() == r->sg1)
                        continue;
                    EXPECT_GE(w->width(), w->minimumSizeHint().width()) << w->objectName().toStdString();
                    if (auto *label = qobject_cast<QLabel *>(w)) {
                        EXPECT_GE(label->contentsRect().width(),
                                  label->fontMetrics().horizontalAdvance(label->text()))
                            << w->objectName().toStdString();
                    }
                }
            }
}

// A close the program asks for while the bulletin is being made (the main window's; the analyst's own is
// kept from the window by the modal progress window) waits for the run, cancelling it where the run can be
// cancelled; nothing the run uses goes from under it, and the window closes once the run has ended.
TEST(ReportWindow, ClosedWhileTheBulletinIsBeingMade)
{
    for (const bool orx : {false, true}) {
        SCOPED_TRACE(orx ? "from ORX" : "from the station database");
        ReportProgram p;
        if (orx)
            p.orxMode();
        QPointer<TRepfrm> r = p.open(orx ? "BitBtn2" : "BitBtn12");
        ASSERT_TRUE(r);
        ReportProgram::demoPeriod(*r);
        r->rs1->setChecked(true);
        const QString temp = r->tempFileName();
        // The analyst's close cannot reach the window: the progress window blocks it.
        bool blocked = false;
        OnEvent(r, QEvent::WindowBlocked, [&] { blocked = true; });
        bool running = false;
        QString modal;
        QTimer::singleShot(0, [&] {
            if (QWidget *m = QApplication::activeModalWidget())
                modal = m->objectName();
            running = r && r->running();
            if (r)
                r->close();
            // As the event loop would do before the run goes on.
            QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            EXPECT_TRUE(r);
        });
        r->mainbtn->click();
        EXPECT_TRUE(running);
        EXPECT_TRUE(blocked);
        EXPECT_EQ(modal, QStringLiteral("pro"));
        ASSERT_TRUE(r);
        // From ORX the run stops where it is and is not taken for a bulletin; the other one has no cancel.
        EXPECT_EQ(r->state().reportMade, !orx);
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_FALSE(r);
        EXPECT_FALSE(QFile::exists(temp));
        EXPECT_EQ(p.messages.count(), 0) << p.messages.last().text.toStdString();
    }
}

// "Закрыть форму" ends the program: the report windows close with the main window, writing their settings
// first; one that is making a bulletin holds the main window until it is done.
TEST(ReportWindow, CloseWithTheMainWindow)
{
    ReportProgram p;
    p.w->CloseAction = 2;
    QPointer<TRepfrm> a = p.open(), b = p.open();
    ASSERT_TRUE(a && b);
    ReportProgram::demoPeriod(*a);
    ReportProgram::demoPeriod(*b);
    p.w->show();
    p.w->findChild<QPushButton *>(QStringLiteral("BitBtn13"))->click();
    EXPECT_FALSE(p.w->isVisible());
    EXPECT_FALSE(a);
    EXPECT_FALSE(b);
    EXPECT_EQ(stationKey(p, "repbeg"), QStringLiteral("03.02.2026"));

    ReportProgram q;
    q.w->CloseAction = 2;
    q.w->show();
    QPointer<TRepfrm> r = q.open();
    ASSERT_TRUE(r);
    ReportProgram::demoPeriod(*r);
    bool mainStayed = false;
    QTimer::singleShot(0, [&] {
        q.w->close();
        mainStayed = q.w->isVisible();
    });
    r->mainbtn->click();
    EXPECT_TRUE(mainStayed);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(r);
    QApplication::processEvents();
    EXPECT_FALSE(q.w->isVisible());
}

// A report window that outlives the main window calls nothing of it: its caption follows the period in the
// date format of its creation, a bulletin from the station database says there is no station to take.
TEST(ReportWindow, OutlivesTheMainWindow)
{
    ReportProgram p;
    QPointer<TRepfrm> r = p.open();
    ASSERT_TRUE(r);
    r->show();
    ReportProgram::demoPeriod(*r);
    r->renddate->setFocus();
    p.w.reset();
    r->renddate->setDate(QDate(2026, 2, 4));
    EXPECT_TRUE(r->windowTitle().endsWith(QStringLiteral(" - (03.02.2026 - 04.02.2026)")))
        << r->windowTitle().toStdString();
    r->mail_global->click();
    r->mainbtn->click();
    EXPECT_EQ(shown(p.messages),
              (QList<Shown>{{QStringLiteral("Главное окно программы закрыто: станция для отчёта не выбрана."),
                             MB_ICONWARNING}}));
    EXPECT_FALSE(r->state().reportMade);
    r->hide();
    closeWindow(r);
    EXPECT_FALSE(r);
}

// On a screen of 1050x675 the window opens tall enough for a page of the bulletin under its extra
// settings, and no control of the upper panel is squeezed.
TEST(ReportWindow, ASmallScreenLeavesTheViewAPage)
{
    const QRect area(0, 0, 1050, 675);
    ReportProgram p(area);
    TRepfrm *r = p.open();
    ASSERT_NE(r, nullptr);
    r->showc->click();
    QApplication::processEvents();
    EXPECT_LE(r->width(), area.width());
    EXPECT_LE(r->height(), area.height());
    EXPECT_GE(r->rwin->height(), 300);
    for (QWidget *w : r->Panel1->findChildren<QWidget *>()) {
        if (!w->isVisibleTo(r) || w->objectName().isEmpty() || w->parentWidget() == r->sg1)
            continue;
        EXPECT_GE(w->width(), w->minimumSizeHint().width()) << w->objectName().toStdString();
    }
    // The mail grid's four rows show whole without a scroll bar.
    EXPECT_GE(r->sg1->viewport()->height(), r->sg1->rowViewportPosition(3) + r->sg1->rowHeight(3));
}
} // namespace
