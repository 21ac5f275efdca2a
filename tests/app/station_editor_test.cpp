#include "app/settings/param_dialog.h"
#include "app/stations/station_editor.h"
#include "lib/date_display.h"
#include "lib/ini_file.h"
#include "support/program_env.h"

#include <QDateEdit>
#include <QTimeEdit>

namespace {

const QString kCode = QStringLiteral("ABC");

TEST(StationEditor, CoordinateTextsOfTheStationsFile)
{
    const struct
    {
        const char *fi, *lamb, *lat, *lon;
    } cases[] = {
        {"533 0 s", "158300 w", "-53.05", "-158.5"},
        {"0 0 1 N", "  0 036E", "0.00028", "0.01"},
        {"533 0 NN", "158300 ", "", ""},
        // Off the globe: shown as none.
        {"9099 0N", "18099 0E", "", ""},
        {"90 0 0S", "180 0 0W", "-90", "-180"},
    };
    ProgramWindow o;
    o.addStation(kCode, QStringLiteral("OBN"), QString());
    for (const auto &c : cases) {
        o.write(
            "system/Stations.ini",
            QStringLiteral("[ABC]\r\nfi=%1\r\nlamb=%2\r\n").arg(QLatin1String(c.fi), QLatin1String(c.lamb)));
        TStaEdit d(o.w.get(), 0);
        EXPECT_EQ(QStringList({d.lat->text(), d.lon->text()}), QStringList({c.lat, c.lon})) << c.fi;
        EXPECT_FALSE(d.staname->isEnabled() || d.dat1->isEnabled() || d.changed);
    }
    // A part that is no number makes the dialog read-only.
    o.write("system/Stations.ini", QStringLiteral("[ABC]\r\nfi=5x3 0 N\r\n"));
    TStaEdit d(o.w.get(), 0);
    EXPECT_FALSE(d.Button1->isEnabled());
    ASSERT_EQ(o.rec.count(), 1);
    EXPECT_EQ(o.rec.last().text,
              QStringLiteral("TStaEdit.FormCreate: Не удалось прочитать сведения о станции. "
                             "Сообщение об ошибке:\r\"5x\" - не целое число"));

    // The date edits show the same numeric form as every other date edit, never spelt-out months.
    const TStaEdit &editor = d;
    Tpar param(o.w.get());
    const QString format = DateEditFormat(LocaleFormatSettings());
    EXPECT_FALSE(format.contains(QStringLiteral("MMM")));
    const QDateEdit *const edits[] = {editor.dat1, editor.dat2,       o.w->dat1,
                                      o.w->dat2,   param.svodka_Date, param.End_Date};
    for (const QDateEdit *d : edits) {
        EXPECT_EQ(d->displayFormat(), format) << d->objectName().toStdString();
        EXPECT_EQ(d->date().toString(format), d->text()) << d->objectName().toStdString();
    }
    // The event time of the bulletin page: the same date with the time of day.
    EXPECT_EQ(o.w->findChild<QDateTimeEdit *>(QStringLiteral("time"))->displayFormat(),
              format + QStringLiteral(" HH:mm:ss"));
}

TEST(StationEditor, OkWritesOnlyTouchedKeys)
{
    const QString before =
        QStringLiteral("[ABC]\r\ncode=OBN\r\nname=Обнинск\r\nfi=1 2 3 N\r\nlamb=158300 E\r\nhval=160\r\n");
    const std::string pasted(32785, '9');
    const struct
    {
        const char *name;
        QList<QPair<const char *, const char *>> edits;
        QStringList fiLambCodeName; // expected keys afterwards
        QString refusal;            // the warning for a number typed by hand, empty for none
    } cases[] = {
        {"nothing", {}, {"1 2 3 N", "158300 E", "OBN", "Обнинск"}, {}},
        {"longitude", {{"lon", "-12.5"}}, {"1 2 3 N", "12 300 W", "OBN", "Обнинск"}, {}},
        {"codes, latitude with comma",
         {{"cod", "NEW"}, {"descr", "Новая"}, {"lat", "53,05"}},
         {"533 0 N", "158300 E", "NEW", "Новая"},
         {}},
        // A number typed wrong is told, the dialog stays open and nothing else of that OK is written.
        {"bad latitude",
         {{"descr", "Новая"}, {"lat", "x"}},
         {"1 2 3 N", "158300 E", "OBN", "Обнинск"},
         QStringLiteral("Широта: \"x\" - не число!\rСведения о станции не записаны.")},
        {"bad longitude",
         {{"lon", "abc"}},
         {"1 2 3 N", "158300 E", "OBN", "Обнинск"},
         QStringLiteral("Долгота: \"abc\" - не число!\rСведения о станции не записаны.")},
        {"bad height",
         {{"cod", "NEW"}, {"elev", "1.2.3"}},
         {"1 2 3 N", "158300 E", "OBN", "Обнинск"},
         QStringLiteral("Высота над ур. моря: \"1.2.3\" - не число!\rСведения о станции не записаны.")},
        // The file keeps two digits of latitude degrees and three of longitude: past the pole or the date
        // line a coordinate would not read back.
        {"latitude past the pole",
         {{"lat", "1E308"}},
         {"1 2 3 N", "158300 E", "OBN", "Обнинск"},
         QStringLiteral("Широта: \"1E308\" - вне пределов от -90 до 90!\rСведения о станции не записаны.")},
        {"longitude past the date line",
         {{"lon", "-180,5"}},
         {"1 2 3 N", "158300 E", "OBN", "Обнинск"},
         QStringLiteral(
             "Долгота: \"-180,5\" - вне пределов от -180 до 180!\rСведения о станции не записаны.")},
        {"edges of the globe",
         {{"lat", "-90"}, {"lon", "180"}},
         {"900 0 S", "1800 0 E", "OBN", "Обнинск"},
         {}},
        // A pasted text is quoted as far as a message quotes.
        {"pasted height",
         {{"elev", pasted.c_str()}},
         {"1 2 3 N", "158300 E", "OBN", "Обнинск"},
         QStringLiteral("Высота над ур. моря: \"%1…\" - не число!\rСведения о станции не записаны.")
             .arg(QString(200, QLatin1Char('9')))},
    };
    for (const auto &c : cases) {
        ProgramWindow o(before);
        const int entry = o.addStation(kCode, QStringLiteral("OBN"), QStringLiteral("Обнинск"));
        TStaEdit d(o.w.get(), entry);
        for (const auto &e : c.edits)
            d.findChild<QLineEdit *>(QString::fromLatin1(e.first))->setText(QString::fromUtf8(e.second));
        d.Button1->click();
        EXPECT_EQ(d.result() == QDialog::Accepted, c.refusal.isEmpty()) << c.name;
        EXPECT_EQ(d.changed, !c.edits.isEmpty()) << c.name;
        if (c.edits.isEmpty() || !c.refusal.isEmpty()) {
            EXPECT_EQ(o.read("system/Stations.ini"), before) << c.name;
        }
        const IniFile ini(o.path("system/Stations.ini"));
        QStringList got;
        for (const char *key : {"fi", "lamb", "code", "name"})
            got << ini.ReadString(kCode, QString::fromLatin1(key), QString());
        EXPECT_EQ(got, c.fiLambCodeName) << c.name;
        EXPECT_EQ(ini.ReadString(kCode, QStringLiteral("hval"), QString()), QStringLiteral("160")) << c.name;
        EXPECT_EQ(QStringList({o.w->stations[entry].sta, o.w->stations[entry].name}), c.fiLambCodeName.mid(2))
            << c.name;
        EXPECT_EQ(shown(o.rec), c.refusal.isEmpty() ? QList<Shown>() : QList<Shown>({{c.refusal, 48}}))
            << c.name;
    }
}

TEST(StationEditor, OpenedFromTheWindowAndRefreshesAfterOk)
{
    ProgramWindow o(QStringLiteral("[ABC]\r\ncode=OBN\r\nname=Обнинск\r\n"));
    o.addStation(kCode, QStringLiteral("OBN"), QStringLiteral("Обнинск"));
    QTimer::singleShot(0, [] {
        auto *d = qobject_cast<TStaEdit *>(QApplication::activeModalWidget());
        ASSERT_TRUE(d);
        d->descr->setText(QStringLiteral("Новая"));
        d->Button1->click();
    });
    o.w->OpenStationEditor();
    EXPECT_EQ(o.w->curName, QStringLiteral("Новая"));
    EXPECT_EQ(o.w->Edit2->text(), QStringLiteral("Новая"));
}

// In the ORX-only mode only a read that broke off leaves OK disabled: a database that could not be
// reached has been reported by the connection and leaves the form as it was made. Either way the
// connection is closed again.
TEST(StationEditor, OrxReadThatBreaksOffDisablesOk)
{
    OrxDb<SqliteEnv> orx;
    orx.exec(kSiteTable);
    // SQLite keeps the text a float column was given, and reading it as a number fails.
    orx.exec("insert into site (sta,cod,elev) values ('ABC','OBN','abc')");
    ProgramWindow o;
    const int entry = o.addStation(kCode, QStringLiteral("OBN"), QStringLiteral("Обнинск"));
    const QString missing = o.path("no-such-orx.db");
    const struct
    {
        QString source;
        bool okEnabled;
        QString message;
    } cases[] = {
        {missing, true,
         QStringLiteral("OpenDB_ADO: Не найден файл базы данных \"") + missing + QLatin1Char('"')},
        {orx.source(), false,
         QStringLiteral(
             "TStaEdit.FormCreate: Не удалось прочитать сведения о станции. Сообщение об ошибке:\r")},
    };
    for (const auto &c : cases) {
        o.useOrx(c.source);
        o.rec.clear();
        TStaEdit d(o.w.get(), entry);
        EXPECT_EQ(d.Button1->isEnabled(), c.okEnabled) << c.source.toStdString();
        ASSERT_EQ(o.rec.count(), 1);
        EXPECT_TRUE(o.rec.last().text.startsWith(c.message)) << o.rec.last().text.toStdString();
        EXPECT_EQ(o.rec.last().icon, 16u);
        EXPECT_FALSE(o.dm.rstORX->Active() || o.dm.conPubs->Connected());
    }
}

template <class Env> class StationEditorOrx : public OnBothBackends<Env>
{
protected:
    void SetUp() override
    {
        OnBothBackends<Env>::SetUp();
        if (this->IsSkipped())
            return;
        this->orx->exec(kSiteTable);
        this->orx->exec("insert into site (sta,cod,descr,lat,elev,ngroups,ONDATE) values (?,?,?,?,?,?,?)",
                        {QStringLiteral("ABC"), QStringLiteral("OBN"), QStringLiteral("Обнинск"), 55.1,
                         160.123456, 3, QDateTime(QDate(2023, 3, 15), QTime(12, 0))});
        o.useOrx(this->orx->source(), this->orx->user(), this->orx->password());
    }
    QStringList row(const QString &code)
    {
        return this->orx->rows(QStringLiteral("select elev,lat,lon,ngroups,descr,cod,ONDATE,case when lddate "
                                              "is null then 'no' else 'stamped' end from site where sta='%1'")
                                   .arg(code));
    }
    ProgramWindow o;
};
TYPED_TEST_SUITE(StationEditorOrx, BothBackends, BackendName);

TYPED_TEST(StationEditorOrx, ReadsTheSiteRowAndWritesTouchedColumns)
{
    const int entry = this->o.addStation(kCode, QStringLiteral("OBN"), QStringLiteral("Обнинск"));
    TStaEdit d(this->o.w.get(), entry);
    EXPECT_EQ(QStringList({d.elev->text(), d.lat->text(), d.lon->text(), d.ngroups->text(), d.descr->text()}),
              QStringList({"160.12346", "55.1", "", "3", "Обнинск"}));
    EXPECT_EQ(QDateTime(d.dat1->date(), d.tim1->time()), QDateTime(QDate(2023, 3, 15), QTime(12, 0)));
    EXPECT_EQ(d.dat2->date(), QDate(1899, 12, 30));
    EXPECT_TRUE(d.staname->isEnabled());

    d.elev->setText(QString());
    d.lat->setText(QStringLiteral("12,5"));
    d.ngroups->setText(QStringLiteral("x"));
    EXPECT_EQ(d.ngroups->palette().color(QPalette::Base), QColor(Qt::red));
    d.ngroups->setText(QStringLiteral("3"));
    d.descr->setText(QStringLiteral("Новая"));
    d.dat1->setDate(QDate(1899, 12, 30));
    d.tim1->setTime(QTime(0, 0));
    d.Button1->click();
    EXPECT_EQ(this->o.rec.count(), 0) << this->o.rec.last().text.toStdString();

    EXPECT_EQ(this->row(kCode), QStringList({"<null>|12.5|<null>|3|Новая|OBN|<null>|stamped"}));
    EXPECT_EQ(this->o.w->stations[entry].name, QStringLiteral("Новая"));

    // A station without a row gets one under its own code.
    this->o.addStation(QStringLiteral("NEW"), QString(), QString());
    TStaEdit fresh(this->o.w.get(), entry + 1);
    fresh.cod->setText(QStringLiteral("NW1"));
    fresh.Button1->click();
    EXPECT_EQ(this->orx->rows(QStringLiteral("select cod from site where sta='NEW'")), QStringList({"NW1"}));
    EXPECT_EQ(this->o.rec.count(), 0) << this->o.rec.last().text.toStdString();
}

// In the ORX-only mode a text longer than its column is refused before the row is written, naming the
// column; the row and the station list stay as they were.
TYPED_TEST(StationEditorOrx, TextLongerThanItsColumnIsRefused)
{
    const int entry = this->o.addStation(kCode, QStringLiteral("OBN"), QStringLiteral("Обнинск"));
    const QStringList before = this->row(kCode);
    TStaEdit d(this->o.w.get(), entry);
    d.descr->setText(QStringLiteral("Новая"));
    d.cod->setText(QStringLiteral("OBNINSK-123"));
    d.Button1->click();
    EXPECT_EQ(
        shown(this->o.rec),
        QList<Shown>({{QStringLiteral("Не удалось обновить сведения о станции. Сообщение об ошибке:\r"
                                      "Значение \"OBNINSK-123\" (11 символов) не помещается в поле \"cod\" "
                                      "таблицы \"site\": в нём не более 10 символов"),
                       16}}));
    EXPECT_EQ(this->row(kCode), before);
    EXPECT_EQ(QStringList({this->o.w->stations[entry].sta, this->o.w->stations[entry].name}),
              QStringList({"OBN", "Обнинск"}));
}

// In the ORX-only mode as well: a number typed wrong is told and the site row is left as it was.
TYPED_TEST(StationEditorOrx, BadNumbersAreRefused)
{
    const struct
    {
        const char *control, *text, *refusal;
    } cases[] = {
        {"lon", "abc", "Долгота: \"abc\" - не число!"},
        {"ngroups", "1.5", "Кол-во групп (NGROUPS): \"1.5\" - не целое число!"},
        {"deast", "12,5,1", "DEAST: \"12,5,1\" - не число!"},
    };
    const int entry = this->o.addStation(kCode, QStringLiteral("OBN"), QStringLiteral("Обнинск"));
    const QStringList before = this->row(kCode);
    for (const auto &c : cases) {
        this->o.rec.clear();
        TStaEdit d(this->o.w.get(), entry);
        d.descr->setText(QStringLiteral("Новая"));
        d.findChild<QLineEdit *>(QString::fromLatin1(c.control))->setText(QString::fromUtf8(c.text));
        d.Button1->click();
        EXPECT_NE(d.result(), QDialog::Accepted) << c.control;
        EXPECT_EQ(
            shown(this->o.rec),
            QList<Shown>(
                {{QString::fromUtf8(c.refusal) + QStringLiteral("\rСведения о станции не записаны."), 48}}));
        EXPECT_EQ(this->row(kCode), before);
        EXPECT_EQ(this->o.w->stations[entry].name, QStringLiteral("Обнинск"));
    }
}

// A station's dates are no product's: any day the date edits show is typed, shown and stored, 30.12.1899
// (no date) and the days before 1900 the site table holds among them. A whole date typed from the year is
// taken whole; one that does not exist is told once, with the dialog left open.
TYPED_TEST(StationEditorOrx, TypedDatesAreAnyTheEditsShow)
{
    const struct
    {
        const char *keys;
        QDateTimeEdit::Section from; // none: the whole date selected
        QDate shown;
        const char *message;
    } cases[] = {
        {"01.10.1899\r", QDateTimeEdit::NoSection, QDate(1899, 10, 1), nullptr},
        {"30.11.2026\r", QDateTimeEdit::YearSection, QDate(2026, 11, 30), nullptr},
        {"31.02.2026\r", QDateTimeEdit::NoSection, QDate(2000, 1, 1), "Неверная дата: \"31.02.2026\""},
        {"13.09.1752\r", QDateTimeEdit::NoSection, QDate(2000, 1, 1),
         "Дата 13.09.1752 вне допустимых пределов: от 14.09.1752 до 31.12.9998."},
    };
    const int entry = this->o.addStation(kCode, QStringLiteral("OBN"), QStringLiteral("Обнинск"));
    this->o.rec.boxesTakeTheFocus();
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.keys) + " " + std::to_string(c.from));
        this->orx->exec("update site set ONDATE=? where sta='ABC'", {QDateTime(QDate(2000, 1, 1), QTime())});
        this->o.rec.clear();
        {
            TStaEdit d(this->o.w.get(), entry);
            d.show();
            QApplication::setActiveWindow(&d);
            d.dat1->setFocus();
            if (c.from == QDateTimeEdit::NoSection)
                d.dat1->selectAll();
            else
                d.dat1->setCurrentSection(c.from);
            typeKeys(d.dat1, QString::fromUtf8(c.keys));
            EXPECT_EQ(shown(this->o.rec), c.message
                                              ? QList<Shown>({{QString::fromUtf8(c.message), MB_ICONERROR}})
                                              : QList<Shown>());
            EXPECT_EQ(d.result() == QDialog::Accepted, !c.message);
            EXPECT_EQ(d.dat1->date(), c.shown);
        }
        TStaEdit again(this->o.w.get(), entry);
        EXPECT_EQ(again.dat1->date(), c.shown);
    }
}

} // namespace
