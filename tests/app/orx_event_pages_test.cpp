#include "app/events/event_page.h"
#include "app/events/orx_grid_cells.h"
#include "app/events/orx_identifiers.h"
#include "app_test_helpers.h"
#include "lib/control_routines.h"
#include "lib/epoch.h"

#include <QDateEdit>
#include <QTabWidget>
#include <QTableView>
#include <QTimeEdit>

namespace {

// 5 February 2026, 10:00:00 and the days after it.
double day(int n, double seconds = 0)
{
    return htoe(2026, 2, quint16(5 + n), 10, 0, 0) + seconds;
}

// What the data module's connections and datasets do while the watch lives: connections opened (an open
// closes the connection first, so the opens are the closings seen and the connections left open since)
// and datasets read.
class DataModuleWatch
{
public:
    explicit DataModuleWatch(Tdm &dm)
        : m_connections(dm.findChildren<DbConnection *>()), m_queries(dm.findChildren<DbQuery *>())
    {
        for (DbConnection *c : std::as_const(m_connections)) {
            m_wereOpen << c->Connected();
            QObject::connect(c, &DbConnection::closing, &m_context, [this] { ++m_closings; });
        }
        for (DbQuery *q : std::as_const(m_queries))
            QObject::connect(q, &DbQuery::opened, &m_context, [this] { ++m_reads; });
    }
    int opens() const
    {
        int n = m_closings;
        for (qsizetype i = 0; i < m_connections.size(); ++i)
            n += int(m_connections[i]->Connected()) - int(m_wereOpen[i]);
        return n;
    }
    int reads() const { return m_reads; }

private:
    QList<DbConnection *> m_connections;
    QList<DbQuery *> m_queries;
    QList<bool> m_wereOpen;
    QObject m_context;
    int m_closings = 0, m_reads = 0;
};

// Events E1 and E2 with arrivals at PET, E3 with one at MNK only, E4 with none; lastid keeps "ORID "
// (as some databases store it) at 10 and "arid" at 20.
template <class Env> class OrxPages : public OnBothBackends<Env>
{
protected:
    void SetUp() override
    {
        OnBothBackends<Env>::SetUp();
        if (this->IsSkipped())
            return;
        for (const char *sql :
             {"create table origin (eventid varchar(20),lat float,lon float,depth float,origintime float,"
              "comment varchar(80),lddate date,orid integer,mb float,ms float,primary key (eventid))",
              "create table arrival (arid integer,nindex integer,eventid varchar(20),sta varchar(6),chan "
              "varchar(8),iphase varchar(8),itime float,amptime float,flag integer,ampl float,residuals "
              "float,"
              "lddate date,primary key (arid))",
              "create table sitechan (sta varchar(6),chan varchar(8),descr varchar(50),primary key "
              "(sta,chan))",
              "create table lastid (keyname varchar(15),keyvalue integer,lddate date,primary key (keyname))",
              "insert into sitechan (sta,chan,descr) values ('PET','SPN','север'),('PET','SPZ','вертикаль'),"
              "('MNK','SPZ','другая')",
              "insert into lastid (keyname,keyvalue) values ('ORID ',10),('arid',20)"})
            this->orx->exec(sql);
        this->orx->exec("insert into origin (eventid,origintime,orid,comment) values ('E1',?,1,'первое'),"
                        "('E2',?,2,null),('E3',?,3,null),('E4',?,4,null)",
                        {day(0), day(1), day(2), day(3)});
        this->orx->exec("insert into arrival (arid,nindex,eventid,sta,chan,iphase,itime,flag,ampl) values "
                        "(1,1,'E1','PET','SPZ','P',?,1,1.5),(2,2,'E1','PET','SPN','S',?,0,null),"
                        "(3,3,'E2','PET','SPN','P',?,1,null),(4,7,'E3','MNK','SPZ','P',?,1,null)",
                        {day(0, 30), day(0, 55.25), day(1, 40), day(2, 10)});
    }

    // The main window in the ORX-only mode on this database, PET selected after the Others, its events
    // read.
    Tmainf &open(const QStringList &Others = {})
    {
        pw.reset(); // its message recorder first
        pw = std::make_unique<ProgramWindow>();
        pw->useOrx(this->orx->source(), this->orx->user(), this->orx->password());
        for (const QString &code : Others)
            pw->addStation(code, code, code);
        pw->addStation(QStringLiteral("PET"), QStringLiteral("PTK"), QStringLiteral("Петропавловск"));
        Tmainf &w = *pw->w;
        SetControlTag(w.select_data, 0);
        w.select_data->setChecked(true);
        SetControlTag(w.select_data, 1);
        SetControlTag(w.filter, 1);
        SetControlTag(w.onlyfull, 1);
        w.onlyfull->setChecked(false);
        SetControlTag(w.onlyfull, 0);
        reload();
        return w;
    }
    void reload()
    {
        pw->w->viewReload = true;
        pw->w->RefreshADB();
    }

    template <class T = QWidget> T *control(const char *name) { return named<T>(pw->w->TabSheet6, name); }
    QStringList shown(std::initializer_list<const char *> names)
    {
        return shownTexts(pw->w->TabSheet6, names);
    }
    // A click, then the program waits for the next one, as between two clicks of the analyst.
    void click(const char *name)
    {
        control<QPushButton>(name)->click();
        QApplication::processEvents();
    }
    // As the analyst types: the edit shows the text, and the edit's signal tells the page.
    void type(const char *name, const QString &text)
    {
        auto *edit = control<QLineEdit>(name);
        edit->setText(text);
        emit edit->textEdited(text);
    }
    QString caption(const char *name) { return control<QLabel>(name)->text(); }
    QString text(const char *name) { return control<QLineEdit>(name)->displayText(); }
    Tdm &dm() { return pw->dm; }
    MessageRecorder &messages() { return pw->rec; }
    QStringList rows(const char *sql) { return this->orx->rows(QString::fromUtf8(sql)); }
    void expectNoMessage() { EXPECT_EQ(messages().count(), 0) << messages().last().text.toStdString(); }
    void answerEventId(const QString &id, QString *proposed = nullptr)
    {
        answerPrompt(QStringLiteral("Идентификатор события"), id, proposed);
    }

    std::unique_ptr<ProgramWindow> pw;
};
TYPED_TEST_SUITE(OrxPages, BothBackends, BackendName);

TYPED_TEST(OrxPages, BrowsesAndFiltersTheEventsOfTheStation)
{
    Tmainf &w = this->open();
    this->expectNoMessage();
    // E3 has no arrival at PET; E4 has none at all and shows while onlyfull is off. The channel list is
    // the station's; the description follows the arrival's channel.
    EXPECT_EQ(this->shown({"sto1", "Edit13", "Label80", "eventid", "MaskEdit1", "comments"}),
              QStringList({"ORIGIN: 1 из 3 записей", "1", "из 3", "E1", "05.02.2026 10:00:00.0", "первое"}));
    EXPECT_EQ(this->shown({"sta1", "MaskEdit3", "MaskEdit2", "flag", "DBComboBox14", "StaticText1"}),
              QStringList({"ARRIVAL: 1 из 2 записей", "05.02.2026 10:00:30.0", "00.00.0000 00:00:00.0", "1",
                           "SPZ", "вертикаль"}));
    EXPECT_EQ(this->template control<QComboBox>("DBComboBox14")->count(), 2);
    // The cells drawn over the default ones (times, numbers, the flag box) paint without a fault.
    for (const char *grid : {"dbgo1", "dbga1"})
        EXPECT_FALSE(this->template control<QTableView>(grid)->grab().isNull());

    this->click("BitBtn19"); // next arrival
    EXPECT_EQ(this->shown({"sta1", "MaskEdit3", "flag", "StaticText1"}),
              QStringList({"ARRIVAL: 2 из 2 записей", "05.02.2026 10:00:55.2", "0", "север"}));
    this->click("BitBtn23"); // last event
    EXPECT_EQ(this->shown({"eventid", "sta1"}), QStringList({"E4", "ARRIVAL: 0 из 0 записей"}));
    this->click("BitBtn26"); // prior: E2 and its one arrival
    EXPECT_EQ(this->shown({"eventid", "sta1"}), QStringList({"E2", "ARRIVAL: 1 из 1 записей"}));

    // Only events with arrivals; then the second day only, through '>>' (which ticks the filter).
    w.onlyfull->click();
    EXPECT_EQ(this->caption("sto1"), QStringLiteral("ORIGIN: 1 из 2 записей"));
    w.dat1->setDate(QDate(2026, 2, 6));
    w.tim1->setTime(QTime(0, 0));
    w.dat2->setDate(QDate(2026, 2, 6));
    w.tim2->setTime(QTime(23, 59, 59));
    this->click("Button30");
    EXPECT_TRUE(w.filter->isChecked());
    EXPECT_EQ(this->shown({"sto1", "eventid"}), QStringList({"ORIGIN: 1 из 1 записей", "E2"}));
    w.filter->click(); // unticking drops the time condition
    EXPECT_EQ(this->caption("sto1"), QStringLiteral("ORIGIN: 1 из 2 записей"));
    this->expectNoMessage();
}

TYPED_TEST(OrxPages, AddsEditsAndDeletesEventsAndArrivals)
{
    this->open();
    auto &messages = this->messages();
    const auto lastid = [this] {
        return this->rows("select rtrim(keyname),keyvalue from lastid order by 2");
    };

    // A new event takes orid 11 from the row stored as "ORID ", and its identifier goes in quoted.
    QString proposed;
    this->answerEventId(QStringLiteral(" E'5 "), &proposed);
    const QString before = MakeEventIdStamp(QDateTime::currentDateTime());
    this->click("BitBtn22");
    EXPECT_EQ(proposed.size(), 14);
    EXPECT_GE(proposed, before);
    this->expectNoMessage();
    EXPECT_EQ(this->rows("select orid,origintime from origin where eventid='E''5'"),
              QStringList({"11|<null>"}));
    EXPECT_EQ(lastid(), QStringList({"ORID|11", "arid|20"}));
    EXPECT_EQ(this->shown({"sto1", "eventid"}), QStringList({"ORIGIN: 4 из 4 записей", "E'5"}));
    EXPECT_FALSE(this->dm().imc13->Connected());

    // An identifier already there (stored value trimmed) changes nothing, lastid included.
    this->orx->exec("update origin set eventid='E2  ' where eventid='E2'");
    this->answerEventId(QStringLiteral("E2"));
    this->click("BitBtn22");
    EXPECT_EQ(lastShown(messages), Shown("События с таким EVENTID уже есть!", 16));
    EXPECT_EQ(lastid(), QStringList({"ORID|11", "arid|20"}));
    EXPECT_EQ(this->rows("select count(*) from origin"), QStringList({"5"}));
    messages.clear();

    // The origin time typed through the mask is stored when the operator moves on.
    this->template control<QLineEdit>("MaskEdit1")->setText(QStringLiteral("07.02.2026 11:12:13.4"));
    EXPECT_EQ(this->dm().imo->State(), DataSetState::Edit);
    this->click("BitBtn27");
    EXPECT_EQ(this->rows("select origintime from origin where eventid='E''5'"),
              QStringList(FloatToStr(htoe(2026, 2, 7, 11, 12, 13.4))));
    EXPECT_EQ(this->text("eventid"), QStringLiteral("E1"));

    // A new arrival of E1: arid 21, nindex after the largest (7), the station, flag on; then an arrival
    // time, stored by the move to the first arrival.
    this->click("BitBtn25");
    this->expectNoMessage();
    EXPECT_EQ(this->dm().ima->State(), DataSetState::Insert);
    EXPECT_EQ(lastid(), QStringList({"ORID|11", "arid|21"}));
    EXPECT_EQ(this->text("DBEdit26"), QStringLiteral("PET"));
    this->template control<QLineEdit>("MaskEdit3")->setText(QStringLiteral("05.02.2026 10:01:02.5"));
    this->click("BitBtn21");
    EXPECT_EQ(this->rows("select eventid,nindex,rtrim(sta),flag,itime from arrival where arid=21"),
              QStringList(QStringLiteral("E1|8|PET|1|") + FloatToStr(day(0, 62.5))));
    EXPECT_EQ(this->caption("sta1"), QStringLiteral("ARRIVAL: 1 из 3 записей"));

    // A date that does not exist is refused when the edit is left, an empty one is taken.
    auto *mask2 = this->template control<QLineEdit>("MaskEdit2");
    mask2->setText(QStringLiteral("31.04.2026 10:00:00.0"));
    this->pw->w->MaskEdit1Exit(mask2);
    EXPECT_EQ(lastShown(messages), Shown("Неверная дата!", 16));
    mask2->setText(QStringLiteral("00.00.0000 00:00:00.0"));
    this->pw->w->MaskEdit1Exit(mask2);
    EXPECT_EQ(messages.count(), 1);
    messages.clear();
    this->dm().ima->Cancel();

    // Deleting: the arrival at once; the event without its arrivals.
    this->click("BitBtn11"); // the new arrival is the last by time
    EXPECT_EQ(this->dm().ima->FieldByName(QStringLiteral("arid"))->AsInteger(), 21);
    this->click("BitBtn28");
    EXPECT_EQ(this->rows("select count(*) from arrival where arid=21"), QStringList({"0"}));
    this->click("BitBtn29");
    EXPECT_EQ(this->rows("select count(*) from origin where eventid='E1'"), QStringList({"0"}));
    EXPECT_EQ(this->rows("select count(*) from arrival where eventid='E1'"), QStringList({"2"}));
    this->expectNoMessage();
}

// A new arrival is stored by a move to another event, by leaving the edit page and by a re-read; one
// given up still uses its identifier.
TYPED_TEST(OrxPages, NewArrivalIsStoredWhenTheOperatorMovesOn)
{
    this->open();
    auto *pc2 = this->template control<QTabWidget>("pc2");
    pc2->setCurrentIndex(1);
    this->click("BitBtn25");
    ASSERT_EQ(this->dm().ima->State(), DataSetState::Insert);
    this->click("BitBtn24"); // the next event
    EXPECT_EQ(this->text("eventid"), QStringLiteral("E2"));
    EXPECT_EQ(this->rows("select eventid,rtrim(sta) from arrival where arid=21"), QStringList({"E1|PET"}));
    this->click("BitBtn25");
    pc2->setCurrentIndex(0);
    EXPECT_EQ(this->rows("select eventid from arrival where arid=22"), QStringList({"E2"}));
    pc2->setCurrentIndex(1);
    this->click("BitBtn25");
    this->reload();
    EXPECT_EQ(this->rows("select eventid from arrival where arid=23"), QStringList({"E2"}));

    this->click("BitBtn25");
    this->dm().ima->Cancel();
    this->click("BitBtn24");
    EXPECT_EQ(this->rows("select count(*) from arrival where arid=24"), QStringList({"0"}));
    EXPECT_EQ(this->rows("select keyvalue from lastid where keyname='arid'"), QStringList({"24"}));
    this->click("BitBtn25");
    EXPECT_EQ(this->dm().ima->FieldByName(QStringLiteral("arid"))->AsInteger(), 25);
    this->expectNoMessage();
}

TYPED_TEST(OrxPages, FirstArrivalOfADatabaseWithoutLastid)
{
    this->orx->exec("drop table lastid");
    this->orx->exec("delete from arrival");
    this->open();
    this->click("BitBtn25");
    this->click("BitBtn24"); // stored by the move to the next event
    EXPECT_EQ(this->rows("select arid,nindex,eventid from arrival"), QStringList({"1|1|E1"}));
    this->expectNoMessage();
}

TYPED_TEST(OrxPages, FailedWriteOfLastidAddsNothing)
{
    if constexpr (TypeParam::odbc) {
        this->orx->exec("create function lastid_locked() returns trigger as $$ begin raise exception "
                        "'lastid is locked'; end $$ language plpgsql");
        this->orx->exec("create trigger lastid_locked before update on lastid for each row execute function "
                        "lastid_locked()");
    } else {
        this->orx->exec("create trigger lastid_locked before update on lastid begin select raise(abort,"
                        "'lastid is locked'); end");
    }
    this->open();
    auto &messages = this->messages();
    this->answerEventId(QStringLiteral("E9"));
    this->click("BitBtn22");
    ASSERT_EQ(messages.count(), 1);
    EXPECT_TRUE(messages.last().text.startsWith(
        QStringLiteral("Не удалось добавить событие. Сообщение об ошибке:\r")));
    EXPECT_TRUE(messages.last().text.contains(QStringLiteral("lastid is locked")));
    EXPECT_EQ(this->rows("select count(*) from origin"), QStringList({"4"}));

    messages.clear();
    this->click("BitBtn25");
    ASSERT_EQ(messages.count(), 1);
    EXPECT_TRUE(messages.last().text.contains(QStringLiteral("lastid is locked")));
    EXPECT_EQ(this->dm().ima->State(), DataSetState::Browse);
    EXPECT_EQ(this->rows("select keyvalue from lastid order by keyvalue"), QStringList({"10", "20"}));
    EXPECT_FALSE(this->dm().imc13->Connected());

    // A key missing from lastid stops the add as well.
    this->orx->exec("delete from lastid where keyname='arid'");
    this->click("BitBtn25");
    EXPECT_EQ(lastShown(messages), Shown("Не найдена запись для ARID в таблице lastid!", 16));
    EXPECT_EQ(this->dm().ima->State(), DataSetState::Browse);
}

// Both windows read lastid before either writes it back: the second still gets the next value.
TYPED_TEST(OrxPages, TwoWindowsNeverTakeTheSameIdentifier)
{
    auto other = this->orx->env.open();
    DbQuery a(this->orx->db.get()), b(other.get());
    int idA = 0, idB = 0;
    bool fallback = true;
    QString keyA, keyB;
    ASSERT_TRUE(GetNextId(a, QStringLiteral("orid"), idA, fallback, &keyA));
    ASSERT_TRUE(GetNextId(b, QStringLiteral("orid"), idB, fallback, &keyB));
    EXPECT_FALSE(fallback);
    EXPECT_EQ(std::pair(idA, idB), std::pair(11, 11));
    ASSERT_TRUE(SetLastId(a, keyA, idA));
    ASSERT_TRUE(SetLastId(b, keyB, idB));
    EXPECT_EQ(std::pair(idA, idB), std::pair(11, 12));
    EXPECT_EQ(this->rows("select keyvalue from lastid where keyname='ORID '"), QStringList({"12"}));
}

TYPED_TEST(OrxPages, IdentifiersWithoutLastid)
{
    const struct
    {
        const char *setup, *key;
        int id;
    } cases[] = {
        {"delete from arrival", "arid", 1},
        {"insert into arrival (arid) values (41)", "arid", 42},
        {"update origin set orid=null", "orid", 1},
        {"update origin set orid=17 where eventid='E3'", "orid", 18},
    };
    this->orx->exec("drop table lastid");
    MessageRecorder messages;
    DbQuery q(this->orx->db.get());
    for (const auto &k : cases) {
        this->orx->exec(k.setup);
        int id = -5;
        bool fallback = false;
        ASSERT_TRUE(GetNextId(q, QString::fromLatin1(k.key), id, fallback)) << k.setup;
        EXPECT_TRUE(fallback);
        EXPECT_EQ(id, k.id) << k.setup;
    }
    EXPECT_EQ(messages.count(), 0);
}

// The buttons of a dataset with nothing to move through are disabled: the arrivals of an event that has
// none, and every one of them while nothing is read; adding an arrival needs an event open.
TYPED_TEST(OrxPages, ButtonsWithNothingToMoveThroughAreDisabled)
{
    const char *const originRows[] = {"BitBtn27", "BitBtn26", "BitBtn24", "BitBtn23", "BitBtn29"};
    const char *const arrivalRows[] = {"BitBtn21", "BitBtn20", "BitBtn19", "BitBtn11", "BitBtn28"};
    const auto enabled = [this](std::initializer_list<const char *> names) {
        QString states;
        for (const char *name : names)
            states += this->control(name)->isEnabled() ? u'1' : u'0';
        return states;
    };
    const auto all = [&](const char *const(&names)[5], const char *add) {
        return enabled({names[0], names[1], names[2], names[3], names[4], add});
    };
    this->open();
    EXPECT_EQ(all(originRows, "BitBtn22"), QStringLiteral("111111"));
    EXPECT_EQ(all(arrivalRows, "BitBtn25"), QStringLiteral("111111"));
    // Nor anything to type into: a row starts only with "+", which gives it its keys.
    const auto editable = [&] { return enabled({"DBEdit26", "ampl", "MaskEdit3", "flag"}); };
    this->click("BitBtn23"); // E4: no arrivals
    EXPECT_EQ(all(arrivalRows, "BitBtn25"), QStringLiteral("000001"));
    EXPECT_EQ(editable(), QStringLiteral("0000"));
    this->type("ampl", QStringLiteral("2.5"));
    EXPECT_EQ(this->dm().ima->State(), DataSetState::Browse);
    this->click("BitBtn25"); // a new arrival can be moved away from, which stores it
    EXPECT_EQ(all(arrivalRows, "BitBtn25"), QStringLiteral("111111"));
    EXPECT_EQ(editable(), QStringLiteral("1111"));
    this->dm().ima->Cancel();
    EXPECT_EQ(all(arrivalRows, "BitBtn25"), QStringLiteral("000001"));
    EXPECT_EQ(editable(), QStringLiteral("0000"));

    this->pw->w->select_data->click(); // unticked: nothing is read
    EXPECT_FALSE(this->dm().imo->Active());
    EXPECT_EQ(all(originRows, "BitBtn22"), QStringLiteral("000000"));
    EXPECT_EQ(all(arrivalRows, "BitBtn25"), QStringLiteral("000000"));
    this->expectNoMessage();
}

// Typing into an event opens no connection and reads nothing, key after key: its arrivals are the same
// until it is written. The move that writes it costs what a plain move costs, the arrivals and channels
// of the event moved to, each read once over a connection of its own, and the write; the page follows.
// Esc gives the typing up and reads the event's arrivals once.
TYPED_TEST(OrxPages, TypingIntoAnEventReadsNothingUntilItIsWritten)
{
    this->open();
    this->template control<QTabWidget>("pc2")->setCurrentIndex(1);
    const QStringList before = this->shown({"sto1", "sta1", "Edit12", "MaskEdit1"});
    const QString comment(80, QChar(u'ж'));
    {
        DataModuleWatch typing(this->dm());
        auto *comments = this->template control<QLineEdit>("comments");
        comments->selectAll();
        typeKeys(comments, comment);
        typeKeys(this->template control("depth"), QStringLiteral("33.25")); // 85 keys in all
        EXPECT_EQ(typing.opens(), 0);
        EXPECT_EQ(typing.reads(), 0);
    }
    EXPECT_EQ(this->dm().imo->State(), DataSetState::Edit);
    EXPECT_EQ(this->shown({"sto1", "sta1", "Edit12", "MaskEdit1"}), before);
    EXPECT_EQ(this->shown({"comments", "depth"}), QStringList({comment, "33.25"}));

    // Connections opened and datasets read by the move after the edit, Esc and a plain move.
    const std::pair<int, int> costs[] = {{2, 2}, {2, 2}, {2, 2}};
    const auto cost = [](const DataModuleWatch &w) { return std::pair(w.opens(), w.reads()); };
    DataModuleWatch move(this->dm());
    this->click("BitBtn24");
    this->expectNoMessage();
    EXPECT_EQ(cost(move), costs[0]);
    EXPECT_EQ(this->rows("select comment,depth from origin where eventid='E1'"),
              QStringList(comment + QStringLiteral("|33.25")));
    EXPECT_EQ(this->shown({"eventid", "sto1", "sta1", "MaskEdit1", "MaskEdit3"}),
              QStringList({"E2", "ORIGIN: 2 из 3 записей", "ARRIVAL: 1 из 1 записей", "06.02.2026 10:00:00.0",
                           "06.02.2026 10:00:40.0"}));

    // Esc in the origin time gives up the event's edit, as in its other edits.
    auto *mask = this->template control<QLineEdit>("MaskEdit1");
    DataModuleWatch escape(this->dm());
    mask->setText(QStringLiteral("22.10.2026 10:00:00.0"));
    pressKey(mask, Qt::Key_Escape);
    EXPECT_EQ(cost(escape), costs[1]);
    EXPECT_EQ(mask->displayText(), QStringLiteral("06.02.2026 10:00:00.0"));
    DataModuleWatch plain(this->dm());
    this->click("BitBtn24");
    EXPECT_EQ(cost(plain), costs[2]);
    EXPECT_EQ(this->rows("select origintime from origin where eventid='E2'"),
              QStringList(FloatToStr(day(1))));
    this->expectNoMessage();
}

// A refused edit keeps the list, the window and so the arrivals read on the page's station when another
// is chosen; given up, it lets the station change, and the page writes the other one's events only.
TYPED_TEST(OrxPages, RefusedEditKeepsTheStation)
{
    Tmainf &w = this->open({QStringLiteral("MNK")});
    this->type("eventid", QStringLiteral("E2"));
    w.stas->setCurrentRow(0, QItemSelectionModel::ClearAndSelect); // MNK
    EXPECT_EQ(
        shown(this->messages()),
        QList<Shown>({{QStringLiteral("События с таким EVENTID уже есть!\rСтанция не сменена: изменения на "
                                      "странице \"Параметры землетрясения\" относятся к станции PET. "
                                      "Исправьте или отмените их (Esc)."),
                       MB_ICONERROR}}));
    EXPECT_EQ(QStringList({w.curCode, w.stas->currentItem()->text()}), QStringList({"PET", "PET"}));
    pressKey(this->template control("eventid"), Qt::Key_Escape);
    EXPECT_EQ(this->shown({"eventid", "sta1"}), QStringList({"E1", "ARRIVAL: 1 из 2 записей"}));
    w.stas->setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
    this->reload();
    this->type("depth", QStringLiteral("7"));
    this->click("BitBtn24");
    EXPECT_EQ(this->rows("select eventid from origin where depth is not null or eventid not like 'E_'"),
              QStringList({"E3"}));
}

// An edit that meets another window's lock waits briefly, says in Russian which database another
// program or window holds, and stays; once the lock is gone the same move stores it.
TYPED_TEST(OrxPages, LockHeldElsewhereIsSaidAndTheEditKept)
{
    this->open();
    EXPECT_EQ(this->dm().imc11->LockTimeout(), kEditLockWait);
    this->dm().imc11->SetLockTimeout(1);
    this->template control<QTabWidget>("pc2")->setCurrentIndex(1);
    this->type("comments", QStringLiteral("своё"));
    this->orx->db->BeginTrans();
    this->orx->exec("update origin set comment='чужое' where eventid='E1'");

    this->click("BitBtn24");
    auto &messages = this->messages();
    ASSERT_EQ(messages.count(), 1);
    const QString database =
        TypeParam::odbc ? this->orx->source()
                        : QDir::toNativeSeparators(QFileInfo(this->orx->source()).absoluteFilePath());
    const QString words =
        QStringLiteral("База данных \"%1\" занята: с ней работает другая программа или другое окно "
                       "этой программы. Ожидание прервано через 1 с. Изменение записи таблицы "
                       "\"origin\" не записано и не отменено: повторите позже\rСообщение СУБД: ")
            .arg(database);
    EXPECT_TRUE(messages.last().text.startsWith(words)) << messages.last().text.toStdString();
    EXPECT_EQ(messages.last().icon, unsigned(MB_ICONERROR));
    EXPECT_EQ(this->dm().imo->State(), DataSetState::Edit);
    EXPECT_EQ(this->shown({"eventid", "comments"}), QStringList({"E1", "своё"}));

    // Leaving the edit page keeps it too.
    messages.clear();
    this->template control<QTabWidget>("pc2")->setCurrentIndex(0);
    QApplication::processEvents();
    EXPECT_EQ(messages.count(), 1);
    EXPECT_EQ(this->dm().imo->State(), DataSetState::Edit);

    this->orx->db->RollbackTrans();
    messages.clear();
    this->click("BitBtn24");
    this->expectNoMessage();
    EXPECT_EQ(this->text("eventid"), QStringLiteral("E2"));
    EXPECT_EQ(this->rows("select comment from origin where eventid in ('E1','E2') order by eventid"),
              QStringList({"своё", "<null>"}));
}

// A text typed past its column keeps what the column holds, as either back end tells it, without a word,
// and the move stores what the edit shows.
TYPED_TEST(OrxPages, TextsStopWhereTheirColumnsEnd)
{
    this->open();
    this->template control<QTabWidget>("pc2")->setCurrentIndex(1);
    const QString typed = QStringLiteral("ЖЖЖ-2026-11");
    QLineEdit *edits[] = {this->template control<QLineEdit>("DBEdit26"),
                          this->template control<QComboBox>("DBComboBox14")->lineEdit()};
    for (QLineEdit *edit : edits) {
        edit->selectAll();
        typeKeys(edit, typed);
    }
    EXPECT_EQ(QStringList({edits[0]->text(), edits[1]->text()}), QStringList({typed.left(6), typed.left(8)}));
    this->click("BitBtn19");
    this->expectNoMessage();
    EXPECT_EQ(this->rows("select sta, chan from arrival where arid=1"),
              QStringList(typed.left(6) + QLatin1Char('|') + typed.left(8)));
}

// Numbers an arrival or an event cannot carry through the products are refused as typed.
TYPED_TEST(OrxPages, NumbersOutsideTheirRangeAreRefused)
{
    this->open();
    this->template control<QTabWidget>("pc2")->setCurrentIndex(1);
    const struct
    {
        const char *control, *typed, *message;
    } cases[] = {
        {"ampl", "1e10", "Число вне допустимых пределов (от -1000000000 до 1000000000): \"1e10\""},
        {"residuals", "1.5e308", "Число вне допустимых пределов (от -1000000000 до 1000000000): \"1.5e308\""},
        {"lat", "-91", "Число вне допустимых пределов (от -90 до 90): \"-91\""},
        {"lon", "360.5", "Число вне допустимых пределов (от -180 до 360): \"360.5\""},
        {"depth", "1.5e308", "Число вне допустимых пределов (от -1000000000 до 1000000000): \"1.5e308\""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.control);
        this->messages().clear();
        this->type(c.control, QString::fromUtf8(c.typed));
        this->click("BitBtn27");
        this->click("BitBtn21");
        EXPECT_EQ(shown(this->messages()), QList<Shown>({{QString::fromUtf8(c.message), MB_ICONERROR}}));
    }
    EXPECT_EQ(this->rows("select ampl, residuals from arrival where arid=1"), QStringList({"1.5|<null>"}));
    EXPECT_EQ(this->rows("select lat, lon, depth from origin where eventid='E1'"),
              QStringList({"<null>|<null>|<null>"}));
}

// The arrival time takes a time typed on one of the days the program carries, as every date entry does;
// a day outside them, a day or time of day that does not exist, is told when the edit is left, and the
// field keeps what it held before the typing, even when the typing passed through times it could take.
// The empty time stores none; Esc gives the typing up, whatever it was. Rows already holding such times
// are browsed and edited as any other.
TYPED_TEST(OrxPages, ArrivalTimesOutsideTheWorkingDaysAreRefused)
{
    const double before = day(0, 30);
    const struct
    {
        QStringList typed; // as the edit shows the text, keystroke by keystroke
        const char *message;
        QVariant stored;
        bool escape = false; // pressed after the typing, twice
    } cases[] = {
        {{"31.12.2026 00:00:00.0", "31.12.9026 00:00:00.0", "31.12.9926 00:00:00.0", "31.12.9996 00:00:00.0",
          "31.12.9999 00:00:00.0"},
         "Дата 31.12.9999 вне допустимых пределов: от 01.01.1900 до 31.12.9998.",
         before},
        {{"01.01.1800 00:00:00.0"},
         "Дата 01.01.1800 вне допустимых пределов: от 01.01.1900 до 31.12.9998.",
         before},
        {{"31.12.1899 23:59:59.9"},
         "Дата 31.12.1899 вне допустимых пределов: от 01.01.1900 до 31.12.9998.",
         before},
        {{"31.04.2026 10:00:00.0"}, "Неверная дата!", before},
        {{"00.02.2026 10:00:00.0"}, "Неверная дата!", before},
        {{"05.02.2026 24:00:00.0"}, "Неверная дата!", before},
        {{"05.02.2026 10:60:00.0"}, "Неверная дата!", before},
        {{"01.01.1900 00:00:00.0"}, nullptr, htoe(1900, 1, 1, 0, 0, 0)},
        {{"31.12.9998 23:59:59.9"}, nullptr, htoe(9998, 12, 31, 23, 59, 59.9)},
        // As a time of 59.96 s is shown.
        {{"05.02.2026 10:00:60.0"}, nullptr, htoe(2026, 2, 5, 10, 1, 0)},
        {{"00.00.0000 00:00:00.0"}, nullptr, QVariant()},
        // Esc gives the typing up, a date that does not exist too: nothing to tell, nothing written.
        {{"22.10.2026 10:00:30.0"}, nullptr, before, true},
        {{"31.04.2026 10:00:30.0"}, nullptr, before, true},
    };
    this->open();
    auto &messages = this->messages();
    auto *mask = this->template control<QLineEdit>("MaskEdit3");
    for (const auto &c : cases) {
        SCOPED_TRACE(c.typed.last().toStdString());
        this->orx->exec("update arrival set itime=? where arid=1", {before});
        this->reload();
        ASSERT_EQ(this->dm().ima->FieldByName(QStringLiteral("arid"))->AsInteger(), 1);
        messages.clear();
        for (const QString &t : c.typed)
            mask->setText(t);
        if (c.escape) {
            pressKey(mask, Qt::Key_Escape);
            pressKey(mask, Qt::Key_Escape);
            EXPECT_EQ(mask->displayText(), QStringLiteral("05.02.2026 10:00:30.0"));
            EXPECT_EQ(this->dm().ima->State(), DataSetState::Browse);
            EXPECT_DOUBLE_EQ(this->dm().ima->FieldByName(QStringLiteral("itime"))->AsFloat(), before);
        }
        this->pw->w->MaskEdit1Exit(mask);
        EXPECT_EQ(shown(messages),
                  c.message ? QList<Shown>({{QString::fromUtf8(c.message), MB_ICONERROR}}) : QList<Shown>());
        this->click("BitBtn19"); // the next arrival: the first is written
        const TField *itime = nullptr;
        DbQuery stored(this->orx->db.get());
        stored.SetSQL(QStringLiteral("select itime from arrival where arid=1"));
        stored.Open();
        itime = stored.Field(0);
        if (c.stored.isNull()) {
            EXPECT_TRUE(itime->IsNull());
        } else {
            EXPECT_DOUBLE_EQ(itime->AsFloat(), c.stored.toDouble());
        }
    }

    // A separator typed inside a part ends it, as in every date edit; the mask alone read "5." as 50.
    mask->setFocus();
    mask->selectAll();
    typeKeys(mask, QStringLiteral("5.2.2026 10:1:2.5"));
    EXPECT_EQ(mask->displayText(), QStringLiteral("05.02.2026 10:01:02.5"));
    // So does Tab, which leaves the field.
    mask->selectAll();
    typeKeys(mask, QStringLiteral("5.2.2026 10:1\t"));
    EXPECT_EQ(mask->displayText(), QStringLiteral("05.02.2026 10:01:00.0"));

    // Rows stored before with such times show them and are moved through and edited.
    this->orx->exec("update arrival set itime=?,amptime=? where arid=1", {253402214400.0, -5364662400.0});
    this->reload();
    messages.clear();
    this->click("BitBtn11"); // the last arrival by time
    EXPECT_EQ(this->shown({"MaskEdit3", "MaskEdit2"}),
              QStringList({"31.12.9999 00:00:00.0", "01.01.1800 00:00:00.0"}));
    EXPECT_FALSE(this->template control<QTableView>("dbga1")->grab().isNull());
    this->type("ampl", QStringLiteral("2.5"));
    this->click("BitBtn21");
    this->expectNoMessage();
    EXPECT_EQ(this->rows("select ampl,itime,amptime from arrival where arid=1"),
              QStringList({"2.5|253402214400|-5364662400"}));

    // Two edits holding refused times, the other typed while the focus is in the first (keys may be sent
    // to it): leaving the first says one box and keeps the focus there.
    this->pw->w->show();
    QApplication::setActiveWindow(this->pw->w.get());
    this->pw->w->pgc1->setCurrentIndex(this->pw->w->pgc1->indexOf(this->pw->w->TabSheet6));
    this->template control<QTabWidget>("pc2")->setCurrentIndex(1);
    messages.boxesTakeTheFocus();
    auto *amp = this->template control<QLineEdit>("MaskEdit2");
    for (auto [left, to] : {std::pair(amp, mask), std::pair(mask, amp)}) {
        QApplication::setActiveWindow(this->pw->w.get());
        left->setFocus();
        for (QLineEdit *typed : {left, to}) {
            typed->selectAll();
            typeKeys(typed, QStringLiteral("31.04.2026 10:00:00.0"));
        }
        // Left again without a key typed, it is refused again.
        for (int leaving = 0; leaving < 2; ++leaving) {
            messages.clear();
            to->setFocus();
            EXPECT_EQ(shown(messages), QList<Shown>({{QStringLiteral("Неверная дата!"), MB_ICONERROR}}));
            EXPECT_TRUE(left->hasFocus());
        }
        // Given up, the times stored are shown again and the focus moves freely.
        pressKey(left, Qt::Key_Escape);
    }
}

// An edit that meets a server restarted since (the program's connections dropped) is written through a
// new connection at once, with no word and nothing given up; the moves after it work. While the server
// takes no connections, the move says at once, in the system's words with the driver's text after them
// (its first line once), that the edit was not written, gives it up and stays; the next move connects
// again.
TYPED_TEST(OrxPages, EditAfterTheServerRestartedIsWrittenOrSaidNotWritten)
{
    if constexpr (!TypeParam::odbc) {
        GTEST_SKIP() << "a file has no server";
    } else {
        const struct
        {
            const char *how;
            bool refused; // the server takes no new connection
        } cases[] = {{"restarted", false}, {"still down", true}, {"restarted again", false}};
        this->open();
        auto &messages = this->messages();
        this->template control<QTabWidget>("pc2")->setCurrentIndex(1);
        for (const auto &c : cases) {
            SCOPED_TRACE(c.how);
            this->click("BitBtn27");
            ASSERT_EQ(this->text("eventid"), QStringLiteral("E1"));
            this->type("depth", QStringLiteral("33"));
            dropServerConnections(*this->orx->db, c.refused);
            this->click("BitBtn24");
            if (c.refused) {
                ASSERT_EQ(messages.count(), 1);
                const QString text = messages.last().text;
                EXPECT_TRUE(text.startsWith(QStringLiteral("Связь с сервером базы данных \"%1\" потеряна, "
                                                           "подключиться к нему снова не удалось. Изменение "
                                                           "записи таблицы \"origin\" не записано\rСообщение "
                                                           "СУБД: ")
                                                .arg(this->orx->source())))
                    << text.toStdString();
                EXPECT_EQ(messages.last().icon, unsigned(MB_ICONERROR));
                const QString driver = text.section(QStringLiteral("\rСообщение СУБД: "), 1);
                const QString firstLine =
                    driver.section(QLatin1Char('\n'), 0, 0).section(QLatin1Char(';'), 0, 0).trimmed();
                ASSERT_FALSE(firstLine.isEmpty());
                EXPECT_EQ(text.count(firstLine), 1) << text.toStdString();
                // Given up: the event stays, showing what is stored, and closing has nothing to write.
                EXPECT_EQ(this->dm().imo->State(), DataSetState::Browse);
                EXPECT_EQ(this->shown({"eventid", "depth"}), QStringList({"E1", ""}));
                this->pw->w->PostOrxEdits();
                EXPECT_EQ(messages.count(), 1);
                EXPECT_EQ(this->rows("select depth from origin where eventid='E1'"), QStringList({"<null>"}));

                // The server is back: the next move connects again.
                allowServerConnections(*this->orx->db, true);
                messages.clear();
                this->type("depth", QStringLiteral("33"));
                this->click("BitBtn24");
            }
            this->expectNoMessage();
            EXPECT_EQ(this->rows("select depth from origin where eventid='E1'"), QStringList({"33"}));
            EXPECT_EQ(this->text("eventid"), QStringLiteral("E2"));
            // Later moves and edits go over the new connection.
            this->type("depth", QStringLiteral("35"));
            this->click("BitBtn26");
            this->click("BitBtn23");
            this->expectNoMessage();
            EXPECT_EQ(this->rows("select depth from origin where eventid='E2'"), QStringList({"35"}));
            EXPECT_EQ(this->text("eventid"), QStringLiteral("E4"));
            this->orx->exec("update origin set depth=null");
            this->reload();
        }
    }
}

TEST(OrxEventPages, EventIdStamp)
{
    EXPECT_EQ(MakeEventIdStamp(QDateTime(QDate(2007, 6, 13), QTime(13, 5, 1, 789))),
              QStringLiteral("20070613130501"));
}

TEST(OrxEventPages, GridCells)
{
    const struct
    {
        bool arrival;
        const char *field;
        QVariant value;
        OrxCellKind kind;
        const char *text; // in the C locale
    } cases[] = {
        {false, "ORIGINTIME", day(0, 1.25), OrxCellKind::Epoch, "05.02.2026 10:00:01.2"},
        {false, "origintime", QVariant(), OrxCellKind::Epoch, ""},
        {true, "origintime", day(0), OrxCellKind::Default, ""},
        {true, "itime", day(0, 59.96), OrxCellKind::Epoch, "05.02.2026 10:00:60.0"},
        {true, "ampl", QVariant(), OrxCellKind::Float, ""},
        {true, "per", 0.0125, OrxCellKind::Float, "0.012"},
        {true, "DIST", 12345.6789, OrxCellKind::Float, "12345.679"},
        {true, "residuals", -0.12345678, OrxCellKind::Float, "-0.1235"},
        {true, "residuals", 2.0, OrxCellKind::Float, "2"},
        {false, "ampl", 1.23456, OrxCellKind::Default, ""},
        {true, "flag", 1, OrxCellKind::Flag, ""},
    };
    for (const auto &k : cases) {
        const OrxCellStyle style = OrxCellStyleOf(k.arrival, QString::fromLatin1(k.field), false, false);
        EXPECT_EQ(style.kind, k.kind) << k.field;
        if (k.kind == OrxCellKind::Epoch || k.kind == OrxCellKind::Float) {
            EXPECT_EQ(OrxCellText(style, k.value, QLocale::c()), QString::fromLatin1(k.text)) << k.field;
        }
    }
    EXPECT_EQ(OrxCellText(OrxCellStyleOf(true, "ampl", false, false), 1.5, QLocale(QLocale::Russian)),
              QStringLiteral("1,5"));
    // An empty memo is cleared; a memo with text, or a text column, keeps the default drawing.
    EXPECT_EQ(OrxCellStyleOf(false, "comment", true, true).kind, OrxCellKind::Clear);
    EXPECT_EQ(OrxCellStyleOf(true, "remark", true, false).kind, OrxCellKind::Default);
    EXPECT_EQ(OrxCellStyleOf(true, "remark", false, true).kind, OrxCellKind::Default);
}

} // namespace
