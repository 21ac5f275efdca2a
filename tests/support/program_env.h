#pragma once

// For the tests of the program's windows (tests/app, tests/products): a program folder with a main
// window on it, and the ORX database on both back ends.

#include "app/data/data_module.h"
#include "app/main/main_window.h"
#include "db/db_test_env.h"
#include "lib/codec.h"
#include "lib/mstring_grid.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>

// A message as the user saw it: text and icon.
using Shown = std::pair<QString, unsigned>;
inline QList<Shown> shown(const MessageRecorder &r)
{
    QList<Shown> all;
    for (const auto &m : r.messages())
        all << Shown(m.text, m.icon);
    return all;
}
inline Shown lastShown(const MessageRecorder &r)
{
    return {r.last().text, r.last().icon};
}

inline const QRect kWorkArea(0, 0, 1280, 1024);

inline std::unique_ptr<Tmainf> startMainWindow(const QString &folder, const QStringList &args = {},
                                               const QRect &area = kWorkArea)
{
    TmainfOptions options;
    options.programFolder = folder;
    options.arguments = args;
    options.workArea = area;
    return std::make_unique<Tmainf>(options);
}

// A fresh program folder with the two reference files an installation comes with (empty ones give empty
// tables) and the data module the windows reach. Texts go to disk windows-1251.
struct Program
{
    TestDir dir;
    Tdm dm;

    Program()
    {
        QDir(dir.path()).mkpath(QStringLiteral("system"));
        write("system/filters.txt", {});
        write("system/waves.txt", {});
    }
    QString path(const char *relative) const { return dir.file(QString::fromLatin1(relative)); }
    void write(const char *relative, const QString &text) const
    {
        ASSERT_TRUE(writeBytes(path(relative), toCp1251(text)));
    }
    QString read(const char *relative) const { return fromCp1251(readBytes(path(relative))); }
    // Main settings without the fades, so that a window opens and closes at once.
    void writeGlobal(const QString &keys = {}) const
    {
        write("system/Brenvale.ini", QStringLiteral("[global]\r\neffects=0\r\n") + keys);
    }
    std::unique_ptr<Tmainf> start(const QStringList &args = {}, const QRect &area = kWorkArea) const
    {
        return startMainWindow(dir.path(), args, area);
    }
    std::unique_ptr<Tmainf> startWith(const QString &globalKeys, const QString &stationsIni) const
    {
        writeGlobal(globalKeys);
        write("system/Stations.ini", stationsIni);
        return start();
    }
};

// A started main window with a message recorder, that a test points at an ORX database of its choice
// and gives stations without the station list's own machinery.
struct ProgramWindow : Program
{
    MessageRecorder rec;
    std::unique_ptr<Tmainf> w;

    explicit ProgramWindow(const QString &stationsIni = {})
    {
        writeGlobal();
        if (!stationsIni.isEmpty())
            write("system/Stations.ini", stationsIni);
        w = start();
        // Fixed texts whatever the machine's locale.
        w->fsLocal = TFormatSettings();
    }

    void useOrx(const QString &source, const QString &user = {}, const QString &password = {})
    {
        w->sett.fullorx = true;
        w->sett.orxini = false;
        w->sett.ORX_source = source;
        w->sett.ORX_user = user;
        w->sett.ORX_pass = password;
    }

    // Adds the station to the list and selects it without running the station change.
    int addStation(const QString &code, const QString &sta, const QString &name)
    {
        w->stations.append(tstainfo{});
        tstainfo &s = w->stations.last();
        s.code = code;
        s.sta = sta;
        s.name = name;
        const int entry = int(w->stations.size()) - 1;
        auto *item = new QListWidgetItem(code);
        item->setData(Qt::UserRole, entry);
        const QSignalBlocker quiet(w->stas);
        w->stas->addItem(item);
        w->stas->setCurrentItem(item);
        item->setSelected(true);
        w->curCode = code;
        return entry;
    }
};

// The station list's internal codes in list order.
inline QStringList listedCodes(const Tmainf &w)
{
    QStringList codes;
    for (int i = 0; i < w.stas->count(); ++i)
        codes << w.stas->item(i)->text();
    return codes;
}

// The first cells of a row of the import grid, and the texts of the import page's three status panels.
inline QStringList importGridRow(const Tmainf &w, int row, int columns)
{
    QStringList cells;
    for (int c = 0; c < columns; ++c)
        cells << w.sg->cells().Cell(c, row);
    return cells;
}
inline QStringList importPanels(const Tmainf &w)
{
    QStringList texts;
    for (const char *name : {"st1", "st2", "st3"})
        texts << w.findChild<QLabel *>(QString::fromLatin1(name))->text();
    return texts;
}

// The ORX site table as the station list and the station editor use it.
inline const char kSiteTable[] =
    "create table site (sta varchar(10),cod varchar(10),descr varchar(60),elev float,lat float,lon float,"
    "underground float,nindex integer,ngroups integer,DNORTH float,DEAST float,REFSTA varchar(6),"
    "STANAME varchar(50),STATYPE varchar(4),ONDATE date,OFFDATE date,lddate date,primary key (sta))";

// A database of its own on the back end Env (SqliteEnv or PostgresEnv).
template <class Env> struct OrxDb
{
    Env env;
    std::unique_ptr<DbConnection> db = env.open();

    // What the main window's "ORX_source", "ORX_user" and "ORX_pass" name.
    QString source() const { return db->DataSource(); }
    QString user() const { return Env::odbc ? qEnvironmentVariable("BRENVALE_TEST_PG_USER") : QString(); }
    QString password() const
    {
        return Env::odbc ? qEnvironmentVariable("BRENVALE_TEST_PG_PASSWORD") : QString();
    }
    void exec(const char *sql, const QVariantList &params = {})
    {
        ::exec(*db, QString::fromUtf8(sql), params);
    }
    // Every row, its fields joined by "|", in the statement's order.
    QStringList rows(const QString &sql)
    {
        DbQuery q(db.get());
        q.SetSQL(sql);
        q.Open();
        QStringList rows;
        for (; !q.Eof(); q.Next()) {
            QStringList fields;
            for (int i = 0; i < q.FieldCount(); ++i)
                fields << (q.Field(i)->IsNull() ? QStringLiteral("<null>") : q.Field(i)->AsString());
            rows << fields.join(QLatin1Char('|'));
        }
        return rows;
    }
};

// A typed fixture over both back ends; the PostgreSQL half is skipped without a server.
template <class Env> class OnBothBackends : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!Env::available())
            GTEST_SKIP() << "BRENVALE_TEST_PG_DSN is not set";
        orx = std::make_unique<OrxDb<Env>>();
    }
    std::unique_ptr<OrxDb<Env>> orx;
};
