#include "db/sql_dialect.h"
#include "db/sql_literals.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

TEST(SqlDateRange, AccessDayNumberAndOdbcEscape)
{
    const std::tuple<bool, TDateTime, TDateTime, const char *, const char *> cases[] = {
        {false, 45292.5, 45292.5, "45292", "45292"}, // 1 January 2024 12:00
        {true, 45292.5, 45292.5, "{d '2024-01-01'}", "{d '2024-01-01'}"},
        {false, 45292.99999, 45322.1, "45292", "45322"},
        {true, 45351.0, 45352.9, "{d '2024-02-29'}", "{d '2024-03-01'}"},
        {true, 2.0, 3.0, "{d '1900-01-01'}", "{d '1900-01-02'}"},
    };
    for (const auto &[odbc, first, last, fromLit, toLit] : cases) {
        QString from, to;
        SqlDateRangeLiterals(odbc, first, last, from, to);
        EXPECT_EQ(from, QString::fromUtf8(fromLit));
        EXPECT_EQ(to, QString::fromUtf8(toLit));
    }
}

TEST(SqlDialect, JetStatementsForPostgreSql)
{
    const SqlDialect pg(SqlBackend::PostgreSql);
    const std::pair<const char *, const char *> cases[] = {
        {"SELECT distinct Station_Cod FROM [Станционный бюллетень] WHERE [Date] = {d '2024-01-01'}",
         "SELECT distinct Station_Cod FROM \"Станционный бюллетень\" WHERE \"date\" = {d '2024-01-01'}"},
        {"select UCase(phase), LCase([Phase]) from t where s='[x] UCase(y)'",
         "select UPPER(phase), LOWER(\"phase\") from t where s='[x] UCase(y)'"},
        {"ORDER BY (Switch(((UCase(phase)='LR') Or (UCase(phase)='LQ')),2,True,1)),x",
         "ORDER BY (CASE WHEN ((UPPER(phase)='LR') Or (UPPER(phase)='LQ')) THEN 2 WHEN True THEN 1 END),x"},
        {"SELECT * FROM (SELECT a FROM t) ORDER BY a",
         "SELECT * FROM (SELECT a FROM t) AS jet_dt1 ORDER BY a"},
        {"select count(*) from (select a from t) as x", "select count(*) from (select a from t) as x"},
        {"SELECT * FROM (a INNER JOIN [b c] ON a.x = [b c].y)",
         "SELECT * FROM (a INNER JOIN \"b c\" ON a.x = \"b c\".y)"},
        {"select IIf(a>1,'y','n'), Nz(b,0) from t",
         "select CASE WHEN a>1 THEN 'y' ELSE 'n' END, COALESCE(b,0) from t"},
    };
    for (const auto &[jet, server] : cases) {
        const QStringList out = pg.translate(QString::fromUtf8(jet));
        ASSERT_EQ(out.size(), 1);
        EXPECT_EQ(out.first(), QString::fromUtf8(server)) << jet;
    }
    // The referring columns of a relationship get their index on the server as well.
    EXPECT_EQ(pg.translate(u"create table [Динамические замеры] (Id_XM counter,TimeXM date,Amp_NS float,"
                           "Comments varchar(50),M memo,Ch char(3),Ok yesno,T text(8),primary key (Id_XM),"
                           "CONSTRAINT cxm111 foreign key (arid) references [Станционный бюллетень])"_s),
              (QStringList{
                  u"CREATE TABLE \"Динамические замеры\" (\"id_xm\" serial,\"timexm\" timestamp,"
                  "\"amp_ns\" double precision,\"comments\" varchar(50),\"m\" text,\"ch\" char(3),"
                  "\"ok\" boolean,\"t\" varchar(8),primary key (Id_XM),CONSTRAINT cxm111 foreign key "
                  "(arid) references \"Станционный бюллетень\")"_s,
                  u"CREATE INDEX \"Динамические замеры_arid_fk\" ON \"Динамические замеры\" (\"arid\")"_s}));
    EXPECT_EQ(pg.translate(u"create table b (x integer,CONSTRAINT c foreign key (X,[Y z]) references a)"_s),
              (QStringList{u"CREATE TABLE \"b\" (\"x\" integer,CONSTRAINT c foreign key (X,\"y z\") "
                           "references a)"_s,
                           u"CREATE INDEX \"b_x_y z_fk\" ON \"b\" (\"x\",\"y z\")"_s}));
}

TEST(SqlDialect, CreateStatementsForSQLiteKeepTheJetTypes)
{
    const SqlDialect lite(SqlBackend::SQLite);
    const QStringList out =
        lite.translate(QStringLiteral("create table [События] (orid counter,num integer,[time] date,StrQuake "
                                      "varchar(255),m memo,primary key (num))"));
    ASSERT_EQ(out.size(), 3);
    EXPECT_EQ(out[0], QStringLiteral(
                          "create table [События] (orid counter,num int NOT NULL,[time] date,StrQuake "
                          "varchar(255) COLLATE JETNOCASE,m memo text COLLATE JETNOCASE,primary key (num))"));
    // The counter's next number is its maximum, found through an index rather than a scan per insert.
    EXPECT_EQ(out[1], QStringLiteral("CREATE INDEX \"События_orid_counter_max\" ON \"События\" (\"orid\")"));
    EXPECT_EQ(out[2], QStringLiteral(
                          "CREATE TRIGGER \"События_orid_counter\" AFTER INSERT ON \"События\" FOR EACH ROW "
                          "WHEN NEW.\"orid\" IS NULL BEGIN UPDATE \"События\" SET \"orid\"=(SELECT "
                          "IFNULL(MAX(\"orid\"),0)+1 FROM \"События\") WHERE rowid=NEW.rowid; END"));
    // The referring columns of a relationship get their index, as Jet gives them one.
    EXPECT_EQ(lite.translate(QStringLiteral("create table [Динамические замеры] (Id_XM counter,arid integer,"
                                            "primary key (Id_XM),CONSTRAINT cxm111 foreign key (arid) "
                                            "references [Станционный бюллетень])")),
              (QStringList{QStringLiteral("create table [Динамические замеры] (Id_XM INTEGER,arid integer,"
                                          "primary key (Id_XM),CONSTRAINT cxm111 foreign key (arid) "
                                          "references [Станционный бюллетень])"),
                           QStringLiteral("CREATE INDEX \"Динамические замеры_arid_fk\" ON "
                                          "\"Динамические замеры\" (\"arid\")")}));
    EXPECT_EQ(lite.translate(u"create table a (id counter, primary key (id))"_s),
              QStringList{u"create table a (id INTEGER, primary key (id))"_s});
    EXPECT_EQ(lite.translate(u"select [a] from t where d > {ts '2024-01-01 06:00:00'}"_s),
              QStringList{u"select [a] from t where d > 45292.25"_s});
}

TEST(SqlDialect, SingleBaseTable)
{
    const std::pair<const char *, const char *> cases[] = {
        {"SELECT * from [События] order by orid", "[События]"},
        {"select a, b from origin o where x=1", "origin"},
        {"select * from t as x", "t"},
        {"select * from a, b", ""},
        {"select * from a inner join b on a.x=b.x", ""},
        {"select * from (select * from a)", ""},
        {"select * from a where x in (select y from b) order by x", "a"},
        {"select * from a where x in (select y from b where z in (select z from c))", "a"},
        {"select (select max(y) from b) as m, x from a", ""},
        {"select * from a where x=1 union select * from b", ""},
        {"update a set x=1", ""},
    };
    for (const auto &[sql, table] : cases)
        EXPECT_EQ(SqlDialect::singleBaseTable(QString::fromUtf8(sql)), QString::fromUtf8(table)) << sql;
}

TEST(SqlDialect, ComparedLiteralsAreLiftedOut)
{
    struct Case
    {
        const char *sql, *text;
        QVariantList literals;
        QList<int> order;
    };
    const Case cases[] = {
        {"select * from [Динамические замеры] where\rarid=17\rorder by TimeXM",
         "select * from [Динамические замеры] where\rarid=?\rorder by TimeXM",
         {17},
         {-1}},
        {"SELECT min(N_equake) FROM t WHERE [Date] = 45292 and Station_Cod='P''ET'",
         "SELECT min(N_equake) FROM t WHERE [Date] = ? and Station_Cod=?",
         {45292, u"P'ET"_s},
         {-1, -2}},
        // Given parameters keep their places among the lifted ones.
        {"update t set a=?, b='x' where c<>5 and d=?",
         "update t set a=?, b=? where c<>? and d=?",
         {u"x"_s, 5},
         {0, -1, -2, 1}},
        // A select list names its columns by its text: it stays as written, subqueries in it too.
        {"select a=1, (select max(b) from u where c=2) as m from t where (Switch(x='a',1)=1)",
         "select a=1, (select max(b) from u where c=2) as m from t where (Switch(x=?,1)=?)",
         {u"a"_s, 1},
         {-1, -2}},
        {"select * from t where n in (select k from u where d >= 3) order by 1",
         "select * from t where n in (select k from u where d >= ?) order by 1",
         {3},
         {-1}},
    };
    for (const Case &c : cases) {
        const LiftedStatement l = LiftComparedLiterals(QString::fromUtf8(c.sql));
        EXPECT_EQ(l.text, QString::fromUtf8(c.text)) << c.sql;
        EXPECT_EQ(l.literals, c.literals) << c.sql;
        EXPECT_EQ(l.order, c.order) << c.sql;
    }
    // Left as they are: numbers SQLite reads itself, signs, other statements, named or numbered parameters.
    for (const char *sql :
         {"select * from t where a=1.5 or b=1e3 or c=-2 or d=12345678901234567890",
          "select * from t where a=0x1F", "create table t (a integer default 1, check (a>0))",
          "pragma busy_timeout=500", "select * from t where a=:x and b=1",
          "select * from t where a=?1 and b=1", "select * from t where a='open"}) {
        const LiftedStatement l = LiftComparedLiterals(QString::fromUtf8(sql));
        EXPECT_FALSE(l.lifted()) << sql;
        EXPECT_EQ(l.text, QString::fromUtf8(sql));
    }
    const LiftedStatement l = LiftComparedLiterals(u"update t set a=?, b='x' where c<>5 and d=?"_s);
    EXPECT_EQ(l.parameters({1, 2}), (QVariantList{1, u"x"_s, 5, 2}));
}

// The one-row write check inside a transaction: Oracle keeps its savepoints to the end of the transaction
// and has no RELEASE; a server of Jet-like SQL has no savepoints and sends nothing.
TEST(SqlDialect, SavepointStatementsOfEachServer)
{
    const struct
    {
        SqlBackend backend;
        QStringList set, undo, keep;
    } cases[] = {
        {SqlBackend::SQLite,
         {"SAVEPOINT sp"},
         {"ROLLBACK TO SAVEPOINT sp", "RELEASE SAVEPOINT sp"},
         {"RELEASE SAVEPOINT sp"}},
        {SqlBackend::PostgreSql,
         {"SAVEPOINT sp"},
         {"ROLLBACK TO SAVEPOINT sp", "RELEASE SAVEPOINT sp"},
         {"RELEASE SAVEPOINT sp"}},
        {SqlBackend::Oracle, {"SAVEPOINT sp"}, {"ROLLBACK TO SAVEPOINT sp"}, {}},
        {SqlBackend::OtherOdbc, {}, {}, {}},
    };
    for (const auto &c : cases) {
        const SqlDialect d(c.backend);
        const QString name = QStringLiteral("sp");
        EXPECT_EQ(d.savepointStatements(SavepointStep::Set, name), c.set) << int(c.backend);
        EXPECT_EQ(d.savepointStatements(SavepointStep::Undo, name), c.undo) << int(c.backend);
        EXPECT_EQ(d.savepointStatements(SavepointStep::Keep, name), c.keep) << int(c.backend);
    }
}

} // namespace
