#include "app/station_editor.h"
#include "db/db_test_env.h"
#include "lib/codec.h"
#include "lib/ini_file.h"
#include "orx_window.h"

#include <QApplication>
#include <QDateEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QTimeEdit>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

const QString kCode = QStringLiteral("ABC");

QString stationsIni(const OrxWindow &o)
{
    return o.dir.file(QStringLiteral("system/Stations.ini"));
}

TEST(StationEditor, CoordinateTextsOfTheStationsFile)
{
    const struct
    {
        const char *fi, *lamb, *lat, *lon;
    } cases[] = {
        {"533 0 N", "158300 E", "53.05", "158.5"},  {"533 0 s", "158300 w", "-53.05", "-158.5"},
        {"0 0 1 N", "  0 036E", "0.00028", "0.01"}, {"533 0 ", "158300 ", "", ""},
        {"533 0 NN", "158300 EE", "", ""},
    };
    OrxWindow o;
    o.addStation(kCode, QStringLiteral("OBN"), QString());
    for (const auto &c : cases) {
        ASSERT_TRUE(
            writeBytes(stationsIni(o), QByteArray("[ABC]\r\nfi=") + c.fi + "\r\nlamb=" + c.lamb + "\r\n"));
        TStaEdit d(o.w.get(), 0);
        EXPECT_EQ(QStringList({d.lat->text(), d.lon->text()}), QStringList({c.lat, c.lon})) << c.fi;
        EXPECT_FALSE(d.staname->isEnabled() || d.dat1->isEnabled() || d.changed);
    }
    // A part that is no number makes the dialog read-only.
    ASSERT_TRUE(writeBytes(stationsIni(o), "[ABC]\r\nfi=5x3 0 N\r\n"));
    TStaEdit d(o.w.get(), 0);
    EXPECT_FALSE(d.Button1->isEnabled());
    ASSERT_EQ(o.rec.count(), 1);
    EXPECT_EQ(o.rec.last().text,
              QStringLiteral("TStaEdit.FormCreate: Не удалось прочитать сведения о станции. "
                             "Сообщение об ошибке:\r'5x' is not a valid integer value"));
}

TEST(StationEditor, OkWritesOnlyTouchedKeys)
{
    const QByteArray before = toCp1251(QString::fromUtf8(
        "[ABC]\r\ncode=OBN\r\nname=Обнинск\r\nfi=1 2 3 N\r\nlamb=158300 E\r\nhval=160\r\n"));
    const struct
    {
        const char *name;
        QList<QPair<const char *, const char *>> edits;
        QStringList fiLambCodeName; // expected keys afterwards
        QString error;              // the reason shown, empty for none
    } cases[] = {
        {"nothing", {}, {"1 2 3 N", "158300 E", "OBN", "Обнинск"}, {}},
        {"longitude", {{"lon", "-12.5"}}, {"1 2 3 N", "12 300 W", "OBN", "Обнинск"}, {}},
        {"latitude with comma", {{"lat", "53,05"}}, {"533 0 N", "158300 E", "OBN", "Обнинск"}, {}},
        {"codes", {{"cod", "NEW"}, {"descr", "Новая"}}, {"1 2 3 N", "158300 E", "NEW", "Новая"}, {}},
        {"bad latitude",
         {{"descr", "Новая"}, {"lat", "x"}},
         {"1 2 3 N", "158300 E", "OBN", "Обнинск"},
         QStringLiteral("'x' is not a valid floating point value")},
    };
    for (const auto &c : cases) {
        OrxWindow o;
        ASSERT_TRUE(writeBytes(stationsIni(o), before));
        const int entry = o.addStation(kCode, QStringLiteral("OBN"), QStringLiteral("Обнинск"));
        TStaEdit d(o.w.get(), entry);
        for (const auto &e : c.edits)
            d.findChild<QLineEdit *>(QString::fromLatin1(e.first))->setText(QString::fromUtf8(e.second));
        d.Button1->click();
        EXPECT_EQ(d.result(), QDialog::Accepted) << c.name;
        EXPECT_EQ(d.changed, !c.edits.isEmpty()) << c.name;
        if (c.edits.isEmpty()) {
            EXPECT_EQ(readBytes(stationsIni(o)), before) << c.name;
        }
        const IniFile ini(stationsIni(o));
        QStringList got;
        for (const char *key : {"fi", "lamb", "code", "name"})
            got << ini.ReadString(kCode, QString::fromLatin1(key), QString());
        EXPECT_EQ(got, c.fiLambCodeName) << c.name;
        EXPECT_EQ(ini.ReadString(kCode, QStringLiteral("hval"), QString()), QStringLiteral("160")) << c.name;
        EXPECT_EQ(QStringList({o.w->stations[entry].sta, o.w->stations[entry].name}), c.fiLambCodeName.mid(2))
            << c.name;
        if (c.error.isEmpty()) {
            EXPECT_EQ(o.rec.count(), 0) << c.name;
        } else {
            ASSERT_EQ(o.rec.count(), 1) << c.name;
            EXPECT_EQ(o.rec.last().text,
                      QStringLiteral("Не удалось обновить сведения о станции. Сообщение об ошибке:\r") +
                          c.error);
            EXPECT_EQ(o.rec.last().icon, 16u);
        }
    }
}

TEST(StationEditor, DoubleClickOpensTheDialogAndRefreshesAfterOk)
{
    OrxWindow o;
    ASSERT_TRUE(
        writeBytes(stationsIni(o), toCp1251(QString::fromUtf8("[ABC]\r\ncode=OBN\r\nname=Обнинск\r\n"))));
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

template <class Env> class StationEditorOrx : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!Env::available())
            GTEST_SKIP() << "no PostgreSQL server";
        env = std::make_unique<Env>();
        db = env->open();
        exec(*db, "create table site (sta varchar(6),cod varchar(8),descr varchar(50),lat float,lon float,"
                  "elev float,underground float,nindex integer,ngroups integer,DNORTH float,DEAST float,"
                  "REFSTA varchar(6),STANAME varchar(50),STATYPE varchar(4),ONDATE date,OFFDATE date,"
                  "lddate date,primary key (sta))");
        exec(
            *db,
            QStringLiteral("insert into site (sta,cod,descr,lat,elev,ngroups,ONDATE) values (?,?,?,?,?,?,?)"),
            {QStringLiteral("ABC"), QStringLiteral("OBN"), QStringLiteral("Обнинск"), 55.1, 160.123456, 3,
             QDateTime(QDate(2023, 3, 15), QTime(12, 0))});
        o.useOrx(db->DataSource(), qEnvironmentVariable("BRENVALE_TEST_PG_USER"),
                 qEnvironmentVariable("BRENVALE_TEST_PG_PASSWORD"));
    }

    std::unique_ptr<DbQuery> row(const QString &code)
    {
        auto q = std::make_unique<DbQuery>(db.get());
        q->SetSQL(QStringLiteral("select * from site where sta='") + code + u'\'');
        q->Open();
        return q;
    }

    OrxWindow o;
    std::unique_ptr<Env> env;
    std::unique_ptr<DbConnection> db;
};

using Backends = ::testing::Types<SqliteEnv, PostgresEnv>;
class BackendNames
{
public:
    template <class T> static std::string GetName(int) { return T::odbc ? "PostgreSQL" : "SQLite"; }
};
TYPED_TEST_SUITE(StationEditorOrx, Backends, BackendNames);

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
    d.descr->setText(QStringLiteral("Новая"));
    d.dat1->setDate(QDate(1899, 12, 30));
    d.tim1->setTime(QTime(0, 0));
    d.Button1->click();
    EXPECT_EQ(this->o.rec.count(), 0) << this->o.rec.last().text.toStdString();

    auto q = this->row(kCode);
    QStringList got;
    for (const char *column : {"elev", "lat", "lon", "ngroups", "descr", "cod", "ONDATE"})
        got << q->FieldByName(QString::fromLatin1(column))->AsString();
    EXPECT_EQ(got, QStringList({"", "12.5", "", "3", "Новая", "OBN", ""}));
    EXPECT_FALSE(q->FieldByName(QStringLiteral("lddate"))->IsNull());
    EXPECT_EQ(this->o.w->stations[entry].name, QStringLiteral("Новая"));

    // A station without a row gets one under its own code.
    this->o.addStation(QStringLiteral("NEW"), QString(), QString());
    TStaEdit fresh(this->o.w.get(), entry + 1);
    fresh.cod->setText(QStringLiteral("NW1"));
    fresh.Button1->click();
    EXPECT_EQ(this->row(QStringLiteral("NEW"))->FieldByName(QStringLiteral("cod"))->AsString(),
              QStringLiteral("NW1"));
    EXPECT_EQ(this->o.rec.count(), 0) << this->o.rec.last().text.toStdString();
}

} // namespace
