#include "app/main/product_commands.h"
#include "demo_program.h"
#include "lib/date_routines.h"
#include "lib/ini_file.h"
#include "products/report_window.h"

#include <QDateEdit>
#include <QJsonArray>
#include <QJsonObject>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTextBrowser>

namespace {

struct ReportProgram : DemoProgram
{
    ReportWindowShell savedShell = reportWindowShell();

    ReportProgram() : DemoProgram(&InstallReportCommand)
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
        {"hval", "1x"},           {"lamb", "<none>"},
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
    r->rnum->setValue(0);
    EXPECT_EQ(DateTimeToStrDMY(r->state().period.begDate), QStringLiteral("21.02.2024"));
    // Decade of the year: the period carries over.
    r->rnum->setValue(2024);
    r->rstyle->setCurrentIndex(2);
    r->SetReportStyle(2);
    EXPECT_EQ(r->rydec->value(), 6);
    EXPECT_EQ(r->Label2->text(), QStringLiteral("Декада года"));
    EXPECT_EQ(p.messages.count(), 0);
}

} // namespace
