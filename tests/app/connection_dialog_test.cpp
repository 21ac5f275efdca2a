#include "app/settings/connection_dialog.h"
#include "app/settings/odbc_admin.h"
#include "lib/data_sources.h"
#include "support/program_env.h"

#include <QRadioButton>
#include <QToolButton>

namespace {

TEST(ConnectionDialog, OkWritesTheGlobalKeysAndTheStationsSource)
{
    ProgramWindow o(QStringLiteral("[ABC]\r\nname=Обнинск\r\n"));
    const int entry = o.addStation(QStringLiteral("ABC"), QStringLiteral("OBN"), QStringLiteral("Обнинск"));
    Tcpar d(*o.w);
    EXPECT_EQ(d.xm->text(), QStringLiteral("admin"));
    d.rb1b->click();
    d.dsorx->setEditText(QStringLiteral("orxnew"));
    d.dsout->setEditText(QStringLiteral("bulsrc"));
    d.dorx->setChecked(false);
    const std::pair<QLineEdit *, const char *> typed[] = {
        {d.dir, "u1"},        {d.stb, "p1"},      {d.Edit6, "mail.example"},
        {d.Edit7, " 587 "},   {d.Edit8, "mu"},    {d.Edit9, "mp"},
        {d.Edit13, "from@x"}, {d.Edit12, "to@x"}, {d.Edit11, "Тема"},
        {d.xm, "bu"},         {d.ed1, "bp"},      {d.ed2, "/data/b.mdb"}};
    for (const auto &[edit, text] : typed)
        edit->setText(QString::fromUtf8(text));
    d.Button1Click();

    EXPECT_EQ(o.rec.count(), 0) << o.rec.last().text.toStdString();
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ(o.read("system/Brenvale.ini"),
              QStringLiteral(
                  "[global]\r\neffects=0\r\nout_provider=0\r\nORX_source=orxnew\r\nORX_user=u1\r\n"
                  "ORX_pass=p1\r\ndirectORXwr=0\r\nfullorx=0\r\norxini=1\r\nsmtp_host=mail.example\r\n"
                  "smtp_port=587\r\nsmtp_user=mu\r\nsmtp_pass=mp\r\nmail_from=from@x\r\nmail_recv=to@x\r\n"
                  "mail_cc=\r\nmail_subj=Тема\r\n\r\n"));
    EXPECT_EQ(o.read("system/Stations.ini"),
              QStringLiteral("[ABC]\r\nname=Обнинск\r\nsource=bulsrc\r\nuser=bu\r\npass=bp\r\n"
                             "out_file_jet=/data/b.mdb\r\n\r\n"));
    // The window works on what was written.
    EXPECT_EQ(std::tuple(o.w->sett.ORX_source, o.w->sett.smtp_port, o.w->stations[entry].source),
              std::tuple(QString("orxnew"), 587, QString("bulsrc")));
    EXPECT_TRUE(o.w->reloadRequested);
}

TEST(ConnectionDialog, MailOnlyChangeRereadsTheStationWithoutReload)
{
    ProgramWindow o(QStringLiteral("[ABC]\r\nname=Обнинск\r\n"));
    o.addStation(QStringLiteral("ABC"), QStringLiteral("OBN"), QStringLiteral("Обнинск"));
    Tcpar d(*o.w);
    d.Edit6->setText(QStringLiteral("smtp.other"));
    d.Button1Click();
    EXPECT_FALSE(o.w->reloadRequested);
    EXPECT_EQ(o.w->curSta, QStringLiteral("OBN")); // set by the station change only
    EXPECT_EQ(o.w->sett.smtp_host, QStringLiteral("smtp.other"));
}

TEST(ConnectionDialog, CancelAndNoStationLeaveTheFilesAlone)
{
    ProgramWindow o;
    const QByteArray before = readBytes(o.path("system/Brenvale.ini"));
    {
        Tcpar d(*o.w);
        d.dir->setText(QStringLiteral("changed"));
        d.Edit7->setText(QStringLiteral("1"));
        d.Button2->click();
        EXPECT_EQ(d.result(), QDialog::Rejected);
    }
    EXPECT_EQ(readBytes(o.path("system/Brenvale.ini")), before);
    EXPECT_EQ(o.w->sett.smtp_port, 25);
    EXPECT_TRUE(o.w->sett.ORX_user.isEmpty());

    // OK without a selected station writes no station section.
    Tcpar d(*o.w);
    d.xm->setText(QStringLiteral("nobody"));
    d.Button1Click();
    EXPECT_FALSE(QFileInfo::exists(o.path("system/Stations.ini")));
    EXPECT_EQ(o.rec.count(), 0);
}

TEST(ConnectionDialog, PortTexts)
{
    const std::pair<const char *, int> cases[] = {{" 587 ", 587}, {"", 25}, {"abc", 25}, {"5 87", 25}};
    for (const auto &[text, port] : cases)
        EXPECT_EQ(Tcpar::PortOfText(QString::fromLatin1(text)), port) << text;
}

TEST(ConnectionDialog, OrxIniSwitchAndSourceKinds)
{
    ProgramWindow o;
    Tcpar d(*o.w);
    // Kind, switch; then whether the source, its user and password are open, whether the switch is.
    const std::tuple<int, bool, bool, bool, const char *> cases[] = {
        {0, true, false, true, "ОDBC-источник ORX"},
        {0, false, true, true, "ОDBC-источник ORX"},
        {1, true, true, false, "Источник ORX"}};
    for (const auto &[type, fromIni, sourceEnabled, switchEnabled, label] : cases) {
        d.dbtype->setCurrentIndex(type);
        d.orxini->setChecked(fromIni);
        d.dbtypeChange();
        for (QWidget *w : std::initializer_list<QWidget *>{d.dsorx, d.dir, d.stb, d.Label21})
            EXPECT_EQ(w->isEnabled(), sourceEnabled) << type << fromIni << w->objectName().toStdString();
        EXPECT_EQ(d.orxini->isEnabled(), switchEnabled);
        EXPECT_EQ(d.Label21->text(), QString::fromUtf8(label));
    }
    // The ORX-only mode has no bulletin database to set up.
    d.rbd1->click();
    for (QWidget *w : std::initializer_list<QWidget *>{d.dsout, d.xm, d.ed1, d.rb1b, d.dorx})
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    d.rbd2->click();
    EXPECT_TRUE(d.dsout->isEnabled());
    // Jet shows the file and its chooser, ODBC the source list.
    d.rb1b->click();
    EXPECT_EQ(d.Label2->text(), QStringLiteral("Файл БД"));
    EXPECT_TRUE(d.ed2->isVisibleTo(&d) && d.sflb->isVisibleTo(&d) && !d.dsout->isVisibleTo(&d));
    d.rb2b->click();
    EXPECT_TRUE(!d.ed2->isVisibleTo(&d) && d.dsout->isVisibleTo(&d));
}

TEST(ConnectionDialog, HeaderLineSelectsTheSourceBelowIt)
{
    ProgramWindow o;
    Tcpar d(*o.w);
    for (QComboBox *c : {d.dsorx, d.dsout}) {
        c->clear();
        c->addItems({OdbcUserSourcesHeader(), QStringLiteral("mine"), OdbcSystemSourcesHeader(),
                     QStringLiteral("shared")});
        c->setCurrentIndex(2);
        d.dsorxChange(c);
        EXPECT_EQ(c->currentText(), QStringLiteral("shared"));
        c->setCurrentIndex(1);
        d.dsorxChange(c);
        EXPECT_EQ(c->currentText(), QStringLiteral("mine"));
    }
}

// A write that fails changes nothing and the message never carries a password.
TEST(ConnectionDialog, FailedWriteKeepsTheSettingsAndHidesPasswords)
{
    ProgramWindow o(QStringLiteral("[ABC]\r\nname=Обнинск\r\n"));
    o.addStation(QStringLiteral("ABC"), QStringLiteral("OBN"), QStringLiteral("Обнинск"));
    const QByteArray before = readBytes(o.path("system/Brenvale.ini"));
    Tcpar d(*o.w);
    d.stb->setText(QStringLiteral("SecretOrx1"));
    d.ed1->setText(QStringLiteral("SecretBul2"));
    d.Edit9->setText(QStringLiteral("SecretMail3"));
    {
        DiskFullAfter full(10);
        d.Button1Click();
    }
    ASSERT_EQ(o.rec.count(), 1);
    EXPECT_EQ(o.rec.last().icon, 16u);
    for (const char *secret : {"SecretOrx1", "SecretBul2", "SecretMail3"})
        EXPECT_FALSE(o.rec.last().text.contains(QLatin1String(secret))) << o.rec.last().text.toStdString();
    EXPECT_EQ(readBytes(o.path("system/Brenvale.ini")), before);
    EXPECT_TRUE(o.w->sett.ORX_pass.isEmpty());
    EXPECT_NE(d.result(), QDialog::Accepted);
}

TEST(ConnectionDialog, OdbcButtonReachesTheAdministrator)
{
    ProgramWindow o;
    OdbcAdminSeams saved = CurrentOdbcAdminSeams();
    QStringList started;
    CurrentOdbcAdminSeams().findProgram = [](const QString &name) {
        return QStringLiteral("/usr/bin/") + name;
    };
    CurrentOdbcAdminSeams().startProgram = [&](const QString &program) {
        started << program;
        return true;
    };
    Tcpar d(*o.w);
    d.bmout->click();
    CurrentOdbcAdminSeams() = saved;
    EXPECT_EQ(started, QStringList{QStringLiteral("/usr/bin/ODBCManageDataSourcesQ5")});
}

// After OK the reload reads the station list from the newly chosen ORX database.
TEST(ConnectionDialog, ReloadOpensTheNewOrxSource)
{
    OrxDb<SqliteEnv> oldDb, newDb;
    for (auto *db : {&oldDb, &newDb}) {
        db->exec(kSiteTable);
        db->exec("create table networks (netname varchar(30),netlist varchar(255))");
    }
    oldDb.exec("insert into site (sta,cod,descr) values ('OLD','OLD','Старая')");
    newDb.exec("insert into site (sta,cod,descr) values ('NEW','NEW','Новая')");
    MessageRecorder rec;
    Program p;
    auto w = p.startWith(QStringLiteral("fullorx=1\r\norxini=0\r\nshowempty=1\r\nORX_source=") +
                             oldDb.source() + QStringLiteral("\r\n"),
                         QString());
    ASSERT_EQ(listedCodes(*w), QStringList{QStringLiteral("OLD")});
    QTimer::singleShot(0, [&] {
        auto *d = qobject_cast<Tcpar *>(QApplication::activeModalWidget());
        ASSERT_TRUE(d);
        EXPECT_EQ(d->dsorx->currentText(), oldDb.source());
        d->dsorx->setEditText(newDb.source());
        d->Button1->click();
    });
    w->findChild<QPushButton *>(QStringLiteral("Button26"))->click();
    EXPECT_EQ(rec.count(), 0) << rec.last().text.toStdString();
    EXPECT_EQ(listedCodes(*w), QStringList{QStringLiteral("NEW")});
    EXPECT_FALSE(w->reloadRequested);
    EXPECT_EQ(IniFile(p.path("system/Brenvale.ini"))
                  .ReadString(QStringLiteral("global"), QStringLiteral("ORX_source"), {}),
              newDb.source());
}

// An ORX source that is not there, chosen in the dialog: the reload says why in Russian, the driver's
// own text after it.
TEST(ConnectionDialog, SourceThatIsNotThereIsSaidInRussian)
{
    OrxDb<SqliteEnv> oldDb;
    oldDb.exec(kSiteTable);
    oldDb.exec("create table networks (netname varchar(30),netlist varchar(255))");
    MessageRecorder rec;
    Program p;
    auto w = p.startWith(QStringLiteral("fullorx=1\r\norxini=0\r\nshowempty=1\r\nORX_source=") +
                             oldDb.source() + QStringLiteral("\r\n"),
                         QString());
    QTimer::singleShot(0, [&] {
        auto *d = qobject_cast<Tcpar *>(QApplication::activeModalWidget());
        ASSERT_TRUE(d);
        d->dsorx->setEditText(QStringLiteral("abc"));
        d->Button1->click();
    });
    w->findChild<QPushButton *>(QStringLiteral("Button26"))->click();
    ASSERT_EQ(rec.count(), 1);
    const QString said = rec.last().text;
    EXPECT_TRUE(said.startsWith(QStringLiteral(
        "OpenDB_ADO: Не удалось подключиться к базе данных \"abc\" (подключение conPubs)\rСообщение об "
        "ошибке:\rИсточник данных ODBC \"abc\" не найден: его нет среди источников данных ODBC этого "
        "компьютера\rСообщение СУБД: ")))
        << said.toStdString();
    EXPECT_TRUE(said.contains(QStringLiteral("Data source name not found"))) << said.toStdString();
    EXPECT_EQ(rec.last().icon, 16u);
}

} // namespace
