// Imports that replace or add rows, made to fail half-way by a statement the database refuses: the
// database must come out as it was, every row of every table the import touches, and the user is told.

#include "exchange/exchange_test_env.h"
#include "exchange/krv/krv_reader.h"
#include "exchange/krv/krv_writer.h"
#include "exchange/paradox/paradox_journal.h"
#include "exchange/text/text_to_orx.h"
#include "lib/string_table.h"
#include "support/program_env.h"

#include <functional>

using namespace Qt::StringLiterals;

namespace {

const QString kFault = u"injected fault"_s;

// From now on the N-th row inserted into Table is refused, as a full disk or a broken constraint would
// refuse it in the middle of an import.
template <class Env> void refuseInsert(OrxDb<Env> &db, const char *table, int n)
{
    const QString name = QString::fromUtf8(table);
    if (Env::odbc) {
        db.exec("create sequence fault_seq");
        ::exec(*db.db,
               u"create function fault_at() returns trigger as $$ begin if nextval('fault_seq') >= %1 "
               u"then raise exception '%2'; end if; return new; end $$ language plpgsql"_s.arg(n)
                   .arg(kFault));
        ::exec(*db.db,
               u"create trigger fault_at before insert on %1 for each row execute function fault_at()"_s.arg(
                   name));
    } else {
        db.exec("create table fault_count (n integer)");
        db.exec("insert into fault_count values (0)");
        ::exec(*db.db,
               u"create trigger fault_at before insert on %1 begin update fault_count set n=n+1; "
               u"select raise(abort,'%2') where (select n from fault_count)>=%3; end"_s.arg(name, kFault)
                   .arg(n));
    }
}

// A station bulletin database as the partner bulletin and the Paradox journal meet it, with old rows that
// the import replaces or must leave alone.
template <class Env> void oldBulletin(OrxDb<Env> &db)
{
    createJournalDatabase(*db.db);
    db.exec(
        "insert into [События] (num,[time],[dec],lat,comment) values (10,{ts '2007-11-20 23:50:00'},3,1.5,"
        "'old')");
    db.exec("insert into [События] (num,comment) values (30,'keep')");
    // The counters number the rows: reading 1 of event 10 and its measurement, reading 2 of event 30.
    db.exec("insert into [Станционный бюллетень] (N_equake,Station_Cod,Phase,[Time],[Dec]) values "
            "(10,'PET','P',{ts '2007-11-20 23:51:00'},4)");
    db.exec("insert into [Станционный бюллетень] (N_equake,Station_Cod,Phase) values (30,'PET','S')");
    db.exec("insert into [Динамические замеры] (arid,Amp_Z,Period_Z) values (1,2.5,0.3)");
}

// The partner bulletin table of two events (as the reader lays it out): the first takes number 11, the
// second 12; its reading is the third row inserted into the readings.
TD2D krvTable()
{
    const QStringList rows = {
        u"sta|Pn_q|Pn|Pg_q|Pg|Sn_q|Sn|Sg_q|Sg"_s,
        u"05.02.2026 12:34:00|3|14|0|7"_s,
        u"05.02.2026|O =|12:34:56.78|K =|10.5"_s,
        u"fi =|52.123|lam =|104.456|h =|15"_s,
        {},
        u"KRV|e|58.12|||i|25.40"_s,
        {},
        u"06.02.2026 03:04:00|1|2|3|4"_s,
        u"06.02.2026|O =|03:05:07.5|K =|8.1"_s,
        u"fi =|-12.5|lam =|5|h =|"_s,
        {},
        u"TASR|i|5,25||||10.10"_s,
    };
    TD2D t;
    t.Init(KrvColumnCount, int(rows.size()));
    for (int r = 0; r < rows.size(); ++r) {
        const QStringList cells = rows[r].split(u'|');
        for (int c = 0; c < cells.size(); ++c)
            t.SetCell(c, r, cells[c]);
    }
    return t;
}

// The main window's side of the two bulletin writers, on the test's database.
struct BulletinWriters : KrvWriteHost, ParadoxJournalHost
{
};
class BulletinHost : public StationDbHost<BulletinWriters>
{
public:
    using StationDbHost::OpenDB_ADO;
    using StationDbHost::StationDbHost;
    QWidget *Owner() override { return nullptr; }
    bool OpenDB_ADO(DbConnection &c, const QString &s, const QString &u, const QString &p, bool silent,
                    const QString &) override
    {
        return OpenDB_ADO(c, s, u, p, silent);
    }
    void ShowProgress(const QString &, int) override {}
    void ShowProgress(const QString &, int, int) override {}
    void SetProgress(int) override {}
    void HideProgress() override {}
};

// A Paradox journal (row 0 the field names): event 10, already stored, comes again with two readings,
// event 11 is new; the reading of event 11 is the third row inserted into the readings.
TD2D paradoxJournal()
{
    const QList<QStringList> lines = {
        {u"N c/c"_s, u"N event"_s, u"Data"_s, u"Faza"_s, u"Dev"_s, u"Ho"_s, u"Min"_s, u"Sek"_s, u"T"_s,
         u"A E-W"_s, u"A N-S"_s, u"A Z"_s, u"S-P"_s, u"Del"_s, u"M"_s, u"Notes"_s},
        {u"1"_s, u"10"_s, u"20.11.2007"_s, u"P"_s, u"SKMZ"_s, u"23"_s, u"58"_s, u"12.9"_s},
        {u"2"_s, {}, {}, u"S"_s, u"SKMN"_s, u"23"_s, u"59"_s, u"5.2"_s},
        {u"3"_s, u"11"_s, u"21.11.2007"_s, u"Pg"_s, u"SKM"_s, u"1"_s, u"2"_s, u"3"_s},
    };
    TD2D t;
    t.Init(16, int(lines.size()));
    for (int r = 0; r < lines.size(); ++r)
        for (int c = 0; c < lines[r].size(); ++c)
            t.SetCell(c, r, lines[r][c]);
    return t;
}

// An ORX database with this station's event 12 and another station's event 15 and their arrivals.
const char *const kOrx[] = {
    "create table origin (eventid varchar(20),lat float,lon float,depth float,origintime float,rms float,"
    "comment varchar(80),lddate date,orid integer,primary key (eventid))",
    "create table arrival (arid integer,eventid varchar(20),sta varchar(6),chan varchar(8),iphase varchar(8),"
    "itime float,amptime float,fm varchar(2),im_em varchar(2),per float,ampl float,ms float,mpsp float,"
    "regclass float,pfiltype varchar(30),chantype varchar(4),primary key (arid))",
    "create table sitechan (sta varchar(6),chan varchar(8),descr varchar(50),primary key (sta,chan))",
    "create table lastid (keyname varchar(15),keyvalue integer,primary key (keyname))",
    "insert into sitechan values ('ABC','SHZ','SKM')",
    "insert into sitechan values ('ABC','SHE','SKM')",
    "insert into lastid values ('arid',40)",
    "insert into origin (eventid,lat,comment) values ('2009_00012_ABC',50,'old')",
    "insert into origin (eventid,comment) values ('2009_00015_XYZ','other')",
    "insert into arrival (arid,eventid,sta,iphase) values (1,'2009_00012_ABC','ABC','P')",
    "insert into arrival (arid,eventid,sta) values (2,'2009_00015_XYZ','XYZ')",
};

QStringList cells(int width, std::initializer_list<std::pair<int, const char *>> given)
{
    QStringList r(width);
    for (const auto &[at, text] : given)
        r[at] = QString::fromUtf8(text);
    return r;
}

// The three import text tables: events 11 and 12 of station ABC (12 replaces the stored one), three
// readings; the third reading is the third row inserted into arrival.
struct OrxText
{
    TD2D tables[3];
    tspec specs[3];
    OrxText()
    {
        const QList<QStringList> rows[3] = {
            {cells(18, {{1, "11"}, {2, "3/5/09 14:07:09"}, {3, "5"}, {4, "51,5"}, {16, "a"}}),
             cells(18, {{1, "12"}, {16, "b"}})},
            {cells(25, {{0, "1"}, {2, "11"}, {3, "ABC"}, {4, "3/5/09"}, {8, "P"}, {9, "SKM"}, {12, "Z"}}),
             cells(25, {{0, "2"}, {2, "11"}, {3, "ABC"}, {4, "3/5/09"}, {8, "S"}, {9, "SKM"}, {12, "E"}}),
             cells(25, {{0, "3"}, {2, "12"}, {3, "ABC"}, {4, "3/6/09"}, {8, "P"}, {9, "SKM"}, {12, "Z"}})},
            {},
        };
        const int widths[3] = {18, 25, 17};
        for (int t = 0; t < 3; ++t) {
            for (int c = 0; c < 25; ++c)
                specs[t].cols.append(tspeccol{u"c%1"_s.arg(c), false, true, {}});
            tables[t].Init(widths[t], 0);
            for (const QStringList &r : rows[t]) {
                const int row = tables[t].AddRows(1);
                for (int c = 0; c < r.size(); ++c)
                    tables[t].SetCell(c, row, r[c]);
            }
        }
    }
};

// One import made to fail half-way. The tables are every table it writes, each with the order of its rows.
template <class Env> struct DatabaseWrite
{
    const char *name;
    QStringList tables;
    std::function<void(OrxDb<Env> &)> prepare; // the schema, the old rows and the refusing trigger
    QList<int> answers;                        // to the questions asked on the way
    std::function<void(OrxDb<Env> &)> run;
    QString message; // how the shown message or the raised error begins
};

template <class Env> QList<DatabaseWrite<Env>> databaseWrites()
{
    const QStringList bulletin = {u"select * from [События] order by num"_s,
                                  u"select * from [Станционный бюллетень] order by arid"_s,
                                  u"select * from [Динамические замеры] order by Id_XM"_s};
    return {
        {"partner bulletin into the bulletin database",
         bulletin,
         [](OrxDb<Env> &db) {
             oldBulletin(db);
             refuseInsert(db, "[Станционный бюллетень]", 3);
         },
         {},
         [](OrxDb<Env> &db) {
             BulletinHost host(*db.db);
             EXPECT_FALSE(WriteKrvTable(host, krvTable()));
         },
         u"WriteKRV: строка 11. Сообщение об ошибке:\r\r"_s},
        {"Paradox journal into the bulletin database, replacing an event",
         bulletin,
         [](OrxDb<Env> &db) {
             oldBulletin(db);
             refuseInsert(db, "[Станционный бюллетень]", 3);
         },
         {IDYES},
         [](OrxDb<Env> &db) {
             BulletinHost host(*db.db);
             WriteParadoxGridToDB(host, paradoxJournal(), TFormatSettings());
         },
         u"Строка 3\rСообщение об ошибке:\r"_s},
        {"text tables into ORX, replacing an event",
         {u"select * from origin order by eventid"_s, u"select * from arrival order by arid"_s,
          u"select * from lastid order by keyname"_s},
         [](OrxDb<Env> &db) {
             for (const char *sql : kOrx)
                 db.exec(sql);
             refuseInsert(db, "arrival", 3);
         },
         {IDYES},
         [](OrxDb<Env> &db) {
             OrxText text;
             TextTablesInput in;
             for (int t = 0; t < 3; ++t) {
                 in.tables[t] = &text.tables[t];
                 in.specs[t] = &text.specs[t];
             }
             in.currentYear = 2026;
             // The import page shows what this raises.
             try {
                 WriteTextToOrx(in, {tfilt{u"SP"_s, 0.5, 5}}, [&db] { return db.db.get(); });
                 ADD_FAILURE() << "no error";
             } catch (const std::exception &e) {
                 MessageProc(nullptr, ExceptionText(e), MB_ICONERROR, MB_OK);
             }
         },
         {}},
    };
}

template <class Env> class DatabaseFaults : public OnBothBackends<Env>
{
};
TYPED_TEST_SUITE(DatabaseFaults, BothBackends, BackendName);

TYPED_TEST(DatabaseFaults, AStatementRefusedHalfWayLeavesEveryRow)
{
    for (const DatabaseWrite<TypeParam> &w : databaseWrites<TypeParam>()) {
        OrxDb<TypeParam> db;
        w.prepare(db);
        const auto everyRow = [&] {
            if (!db.db->Connected())
                db.db->Open();
            QStringList all;
            for (const QString &sql : w.tables)
                all << sql << db.rows(sql);
            return all;
        };
        const QStringList before = everyRow();
        MessageRecorder rec;
        rec.answer(w.answers);
        w.run(db);
        EXPECT_EQ(everyRow(), before) << w.name;
        if (rec.messages().isEmpty()) {
            ADD_FAILURE() << w.name << ": nothing was shown";
            continue;
        }
        const MessageRecorder::Message &shown = rec.last();
        EXPECT_EQ(shown.icon, unsigned(MB_ICONERROR)) << w.name;
        EXPECT_TRUE(shown.text.startsWith(w.message)) << w.name << ": " << shown.text.toStdString();
        EXPECT_TRUE(shown.text.contains(kFault)) << w.name << ": " << shown.text.toStdString();
    }
}

} // namespace
