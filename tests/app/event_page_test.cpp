#include "app/events/event_page.h"
#include "app/settings/connection_params.h"
#include "app_test_helpers.h"
#include "db/sql_dialect.h"
#include "db/table_creates.h"
#include "demo_data.h"

#include <QAbstractSpinBox>
#include <QClipboard>
#include <QDateTimeEdit>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QScrollBar>

namespace {

// A demo folder and a main window on it, the first station selected.
class EventPage : public ::testing::Test
{
protected:
    void SetUp() override
    {
        DemoParams params;
        params.stations = 2;
        params.days = 2;
        params.eventsPerDay = 4;
        demo = GenerateDemoFolder(dir.path(), params);
    }

    void start()
    {
        w = startMainWindow(dir.path());
        w->pgc1->setCurrentIndex(1);
    }

    // The station's bulletin file (by default the first station's), reached past the page.
    QString scalar(const QString &sql, int station = 0)
    {
        const auto c = bulletin(station);
        DbQuery q(c.get());
        q.SetSQL(sql);
        q.Open();
        return q.Field(0)->AsString();
    }
    std::unique_ptr<DbConnection> bulletin(int station = 0)
    {
        auto c = std::make_unique<DbConnection>();
        c->SetProvider(ProviderJet);
        c->SetConnectionString(QStringLiteral("Data Source=\"%1\"").arg(demo.bulletinPaths.at(station)));
        c->Open(QString(), QString());
        return c;
    }

    template <class T = QWidget> T *control(const char *name) { return named<T>(w->TabSheet1, name); }
    QStringList shown(std::initializer_list<const char *> names) { return shownTexts(w->TabSheet1, names); }
    QString readingsOf(const QString &num)
    {
        return scalar("select count(*) from [Станционный бюллетень] where N_equake=" + num);
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
    QString text(const char *name) { return control<QLineEdit>(name)->text(); }
    QString caption(const char *name) { return control<QLabel>(name)->text(); }

    TestDir dir;
    DemoSummary demo;
    MessageRecorder messages;
    Tdm dm;
    std::unique_ptr<Tmainf> w;
};

TEST_F(EventPage, BrowsesEventsAndTheirReadings)
{
    start();
    ASSERT_TRUE(dm.imc->Connected());
    const int events = scalar("select count(*) from [События]").toInt();
    ASSERT_GT(events, 1);
    const QString num = scalar("select num from [События] where orid=(select min(orid) from [События])");
    EXPECT_EQ(shown({"Edit1", "Label31", "num", "Label36", "Edit7"}),
              QStringList({"1", "из " + QString::number(events), num, "из " + readingsOf(num), "1"}));
    EXPECT_EQ(control<QComboBox>("DBComboBox9")->count(), scalar("select count(*) from [Каналы]").toInt());

    click("BitBtn9"); // last event
    EXPECT_EQ(shown({"Edit1", "Label36"}),
              QStringList({QString::number(events), "из " + readingsOf(text("num"))}));
    click("BitBtn1"); // last reading
    EXPECT_EQ(text("Edit7"), readingsOf(text("num")));

    // Unticking closes the connection and clears the counters; ticking reads again.
    control<QCheckBox>("select_data2")->click();
    EXPECT_FALSE(dm.imc->Connected());
    EXPECT_EQ(caption("Label31"), QStringLiteral("из ?"));
    EXPECT_FALSE(control("BitBtn8")->isEnabled() || control("num")->isEnabled());
    control<QCheckBox>("select_data2")->click();
    EXPECT_TRUE(dm.imc->Connected());
    EXPECT_EQ(text("Edit1"), QStringLiteral("1"));
    EXPECT_EQ(messages.count(), 0);
}

TEST_F(EventPage, EditsAreStoredAndReadingsTakeTheirEvent)
{
    start();
    const QString num = text("num");
    emit control<QLineEdit>("comment")->textEdited(QStringLiteral("проверка"));
    click("BitBtn8");
    click("BitBtn7");
    EXPECT_EQ(text("comment"), QStringLiteral("проверка"));
    EXPECT_EQ(scalar("select comment from [События] where num=" + num), QStringLiteral("проверка"));

    const int before = readingsOf(num).toInt();
    click("BitBtn15"); // new reading
    EXPECT_EQ(dm.ims->FieldByName(QStringLiteral("N_equake"))->AsString(), num);
    emit control<QLineEdit>("Station_Cod")->textEdited(QStringLiteral("TST"));
    click("BitBtn5"); // navigation posts it
    EXPECT_EQ(scalar("select N_equake from [Станционный бюллетень] where Station_Cod='TST'"), num);
    EXPECT_EQ(caption("Label36"), QStringLiteral("из ") + QString::number(before + 1));

    // An edit still pending when the connection closes is written, not dropped.
    emit control<QLineEdit>("comment")->textEdited(QStringLiteral("до закрытия"));
    control<QCheckBox>("select_data2")->click();
    EXPECT_FALSE(dm.imc->Connected());
    EXPECT_EQ(scalar("select comment from [События] where num=" + num), QStringLiteral("до закрытия"));
    EXPECT_EQ(messages.count(), 0);
}

// A text typed or pasted past what its column holds is kept to what the column holds, without a word, and
// the move stores what the control shows.
TEST_F(EventPage, TextsStopWhereTheirColumnsEnd)
{
    start();
    const QString num = text("num");
    const QString arid = dm.ims->FieldByName(QStringLiteral("arid"))->AsString();
    const struct
    {
        const char *control; // bound to the column of its name; of the reading where it starts with a capital
        int held;
        bool paste;
    } cases[] = {
        {"comment", 150, false}, {"comment", 150, true},  {"Comments", 60, false},
        {"Comments", 60, true},  {"N_seismo", 20, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.control) + (c.paste ? " pasted" : " typed"));
        QString typed;
        while (typed.size() < c.held + 5)
            typed += QStringLiteral("Землетрясение %1, ").arg(typed.size());
        typed.truncate(c.held + 5);
        messages.clear();
        auto *line = qobject_cast<QLineEdit *>(control(c.control));
        auto *memo = qobject_cast<QPlainTextEdit *>(control(c.control));
        if (line)
            line->selectAll();
        else
            memo->selectAll();
        if (c.paste) {
            QApplication::clipboard()->setText(typed);
            line ? line->paste() : memo->paste();
        } else {
            typeKeys(control(c.control), typed);
        }
        const QString shown = line ? line->text() : memo->toPlainText();
        EXPECT_EQ(shown, typed.left(c.held));
        const bool reading = QChar(QLatin1Char(*c.control)).isUpper();
        click(reading ? "BitBtn3" : "BitBtn8");
        EXPECT_EQ(messages.count(), 0) << messages.last().text.toStdString();
        EXPECT_EQ(scalar(reading ? QStringLiteral("select %1 from [Станционный бюллетень] where arid=%2")
                                       .arg(QString::fromLatin1(c.control), arid)
                                 : QStringLiteral("select comment from [События] where num=") + num),
                  shown);
        click(reading ? "BitBtn4" : "BitBtn7");
    }
}

// A number typed wrong ("abc", or "12a" after a "12" that converted) is told when the analyst leaves the
// field or moves to another event, and the event keeps the value it had.
TEST_F(EventPage, WrongNumberIsToldAndNotWritten)
{
    start();
    const QString num = text("num");
    const struct
    {
        const char *field; // and its control
        QStringList typed;
        bool leaveByFocus; // else by the next event
        const char *message;
    } cases[] = {
        {"depdp", {"a", "ab", "abc"}, false, "Неверное целое число: \"abc\""},
        {"depdp", {"1", "12", "12a"}, true, "Неверное целое число: \"12a\""},
        {"lat", {"5", "5.", "5.2", "5.2.3"}, false, "Неверное число: \"5.2.3\""},
        // A pasted number of 32,785 characters is quoted as far as a message quotes.
        {"lat", {QString(32784, QLatin1Char('1')) + u'x'}, true, nullptr},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.typed.last().toStdString());
        const QString stored = QStringLiteral("select %1 from [События] where num=%2").arg(c.field, num);
        const QString before = scalar(stored);
        ASSERT_FALSE(before.isEmpty());
        messages.clear();
        click("BitBtn6");
        auto *edit = control<QLineEdit>(c.field);
        for (const QString &t : c.typed)
            emit edit->textEdited(t);
        EXPECT_EQ(messages.count(), 0);
        if (c.leaveByFocus) {
            QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
            QApplication::sendEvent(edit, &out);
            EXPECT_EQ(messages.count(), 1);
        }
        click("BitBtn8");
        const QString message =
            c.message ? QString::fromUtf8(c.message)
                      : QStringLiteral("Неверное число: \"%1…\"").arg(QString(200, QLatin1Char('1')));
        EXPECT_EQ(::shown(messages), QList<Shown>({{message, MB_ICONERROR}}));
        EXPECT_EQ(scalar(stored), before);
        click("BitBtn6");
        EXPECT_EQ(text("num"), num);
    }
}

// "+" starts an event that has no readings: none are shown and the reading controls take nothing,
// so no other event's reading changes. Stored, the event shows its own (none); given up, the event
// shown again has its readings back.
TEST_F(EventPage, NewEventShowsNoReadingsOfAnother)
{
    start();
    const QString first = text("num");
    const QString all = QStringLiteral("select count(*) from [Станционный бюллетень]");
    const int before = readingsOf(first).toInt();
    ASSERT_GT(before, 0);
    const int total = scalar(all).toInt();

    const struct
    {
        const char *how;
        bool store; // type an event field, then move: the event is stored
        const char *readingsAfter;
    } cases[] = {{"given up", false, nullptr}, {"stored", true, "из 0"}};
    for (const auto &c : cases) {
        click("BitBtn6");  // the first event
        click("BitBtn10"); // new event
        EXPECT_EQ(dm.ime->State(), DataSetState::Insert) << c.how;
        EXPECT_EQ(text("Station_Cod"), QString()) << c.how;
        EXPECT_EQ(control<QPlainTextEdit>("Comments")->toPlainText(), QString()) << c.how;
        for (const char *name : {"Station_Cod", "Comments", "BitBtn15", "BitBtn3"})
            EXPECT_FALSE(control(name)->isEnabled()) << c.how << " " << name;
        EXPECT_EQ(caption("Label36"), QStringLiteral("из ?")) << c.how;
        emit control<QLineEdit>("Station_Cod")->textEdited(QStringLiteral("XXX")); // as if it got through
        if (c.store) {
            emit control<QLineEdit>("num")->textEdited(QStringLiteral("9001"));
            emit control<QLineEdit>("comment")->textEdited(QStringLiteral("новое"));
        }
        click("BitBtn9"); // last event: stores or gives up the new one
        EXPECT_EQ(dm.ime->State(), DataSetState::Browse) << c.how;
        EXPECT_TRUE(control("Station_Cod")->isEnabled()) << c.how;
        EXPECT_TRUE(control("BitBtn15")->isEnabled()) << c.how;
        EXPECT_EQ(caption("Label36"), c.readingsAfter ? QString::fromUtf8(c.readingsAfter)
                                                      : QStringLiteral("из ") + readingsOf(text("num")))
            << c.how;
    }
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from [События] where comment='новое'")),
              QStringLiteral("1"));
    EXPECT_EQ(readingsOf(first).toInt(), before);
    EXPECT_EQ(scalar(all + QStringLiteral(" where Station_Cod='XXX'")), QStringLiteral("0"));
    EXPECT_EQ(scalar(all).toInt(), total);
    EXPECT_EQ(messages.count(), 0);
}

// An event is stored only with its number: "+", a number typed and erased again, and "<" say so and
// store nothing; the new event stays, to be numbered or given up with Esc.
TEST_F(EventPage, EventWithoutANumberIsRefusedAndNeverStored)
{
    start();
    const QString count = QStringLiteral("select count(*) from [События]");
    const QString before = scalar(count);
    const QList<Shown> refused{
        {QStringLiteral("Не задан номер события: событие без номера не записывается"), MB_ICONERROR}};
    click("BitBtn10");
    type("num", QStringLiteral("5"));
    type("num", QString());
    type("comment", QStringLiteral("AAA"));
    for (const char *move : {"BitBtn7", "BitBtn10", "BitBtn9"}) {
        messages.clear();
        click(move);
        EXPECT_EQ(::shown(messages), refused) << move;
        EXPECT_EQ(dm.ime->State(), DataSetState::Insert) << move;
        EXPECT_EQ(text("comment"), QStringLiteral("AAA")) << move;
    }
    EXPECT_EQ(scalar(count), before);
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from [События] where num is null")),
              QStringLiteral("0"));

    // Esc gives the new event up.
    messages.clear();
    pressKey(control("comment"), Qt::Key_Escape);
    EXPECT_EQ(dm.ime->State(), DataSetState::Browse);
    click("BitBtn6");
    EXPECT_EQ(scalar(count), before);
    EXPECT_EQ(messages.count(), 0);
}

// A number already taken is said in the system's words; the new event keeps what was typed and nothing
// is written until it gets a free number.
TEST_F(EventPage, NumberAlreadyTakenIsSaidAndNothingWritten)
{
    start();
    const QString taken = text("num");
    const QString count = QStringLiteral("select count(*) from [События]");
    const QString before = scalar(count);
    click("BitBtn10");
    type("num", taken);
    type("comment", QStringLiteral("дубль"));
    click("BitBtn9");
    EXPECT_EQ(::shown(messages),
              QList<Shown>({{QStringLiteral("Событие с номером %1 уже есть").arg(taken), MB_ICONERROR}}));
    EXPECT_EQ(dm.ime->State(), DataSetState::Insert);
    EXPECT_EQ(shown({"num", "comment"}), QStringList({taken, QStringLiteral("дубль")}));
    EXPECT_EQ(scalar(count), before);

    messages.clear();
    type("num", QStringLiteral("9003"));
    click("BitBtn9");
    EXPECT_EQ(messages.count(), 0);
    EXPECT_EQ(scalar(QStringLiteral("select comment from [События] where num=9003")),
              QStringLiteral("дубль"));
    EXPECT_EQ(scalar(QStringLiteral("select comment from [События] where num=%1").arg(taken)), QString());
}

// What is typed on the page is written, as a move writes it, when the analyst switches station or
// presses "Закрыть форму". What the page refuses to write is asked about before the program closes: kept
// with the program open, or given up. A station saved again ("Добавить обновить") is taken anew more than
// once, each time trying what is pending: a refusal is told once a click. Another station waits for it:
// the list and the window stay on the page's station until the edit is written or given up.
TEST_F(EventPage, PendingEditIsWrittenBeforeTheStationChangesOrTheProgramCloses)
{
    const Shown refused(QStringLiteral("Не задан номер события: событие без номера не записывается"),
                        MB_ICONERROR);
    const Shown question(QStringLiteral("Изменения на странице \"Параметры землетрясения\" не записаны в "
                                        "базу данных.\rЗакрыть программу без них?"),
                         MB_ICONQUESTION);
    const Shown replace(QStringLiteral("Такая запись уже существует.\rЗаменить?"), MB_ICONQUESTION);
    const Shown stays(refused.first +
                          QStringLiteral("\rСтанция не сменена: изменения на странице \"Параметры "
                                         "землетрясения\" относятся к станции PET. Исправьте или "
                                         "отмените их (Esc)."),
                      MB_ICONERROR);
    const Shown gone(refused.first + QStringLiteral("\rИзменения на странице \"Параметры землетрясения\" "
                                                    "отменены: станции PET больше нет в списке."),
                     MB_ICONERROR);
    enum Action { OtherStation, SameStationSaved, Close, Deleted };
    const struct
    {
        const char *how;    // also the comment typed
        bool newEvent;      // a new event without a number, which the page does not store
        Action action;      // another station chosen, the one shown saved again, "Закрыть форму"
        QList<int> answers; // to the messages, in order
        QList<Shown> told;
        bool closed, written;
    } cases[] = {
        {"station", false, OtherStation, {}, {}, false, true},
        {"close", false, Close, {}, {}, true, true},
        {"refused, kept", true, Close, {IDOK, IDNO}, {refused, question}, false, false},
        {"refused, given up", true, Close, {IDOK, IDYES}, {refused, question}, true, false},
        {"refused, station saved", true, SameStationSaved, {IDYES}, {replace, refused}, false, false},
        {"refused, another station, given up", true, OtherStation, {}, {stays}, false, false},
        {"refused, station deleted",
         true,
         Deleted,
         {IDYES},
         {{"Удалить?", MB_ICONQUESTION}, gone},
         false,
         false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.how);
        w.reset();
        dm.CloseDB_ADO(dm.imc);
        SetUp();
        start();
        w->sett.effects = false;
        w->CloseAction = 2;
        const QString station = w->curCode;
        const int other = w->stas->item(0)->text() == station ? 1 : 0;
        if (c.newEvent)
            click("BitBtn10");
        type("comment", QString::fromUtf8(c.how));
        messages.clear();
        messages.answer(c.answers);
        bool closed = false;
        if (c.action == Close) {
            closed = w->close();
        } else if (c.action == SameStationSaved) {
            ModalDialogCloser editorCloser; // the station editor it opens
            w->pgc1->setCurrentIndex(0);
            w->icod_stac->setEditText(station);
            clickNamed(w->TabSheet2, "Button1");
        } else if (c.action == Deleted) {
            w->pgc1->setCurrentIndex(0);
            clickNamed(w->TabSheet2, "Button5");
        } else {
            ASSERT_EQ(station, QStringLiteral("PET"));
            w->pgc1->setCurrentIndex(0);
            w->stas->setCurrentRow(other, QItemSelectionModel::ClearAndSelect);
            EXPECT_EQ(w->curCode == station, c.newEvent);
        }
        EXPECT_EQ(closed, c.closed);
        EXPECT_EQ(::shown(messages), c.told);
        EXPECT_EQ(scalar(QStringLiteral("select count(*) from [События] where comment='%1'")
                             .arg(QString::fromUtf8(c.how))),
                  c.written ? QStringLiteral("1") : QStringLiteral("0"));
        // Kept: the new event waits, as typed, to be numbered or given up.
        const bool kept = c.newEvent && !c.closed && c.action != Deleted;
        EXPECT_EQ(dm.ime->State(), kept ? DataSetState::Insert : DataSetState::Browse);
        if (kept) {
            EXPECT_EQ(text("comment"), QString::fromUtf8(c.how));
        }
        if (kept && c.action == OtherStation) {
            EXPECT_EQ(w->stas->currentRow(), 1 - other);
            EXPECT_TRUE(w->windowTitle().endsWith(QStringLiteral("(PET, PET)")));
            // Given up, the edit lets the station change, and the page writes the other one's file.
            w->pgc1->setCurrentIndex(1);
            pressKey(control("comment"), Qt::Key_Escape);
            w->pgc1->setCurrentIndex(0);
            w->stas->setCurrentRow(other, QItemSelectionModel::ClearAndSelect);
            w->pgc1->setCurrentIndex(1);
            type("comment", QString::fromUtf8(c.how));
            click("BitBtn8");
            const QString written = QStringLiteral("select count(*) from [События] where comment='%1'")
                                        .arg(QString::fromUtf8(c.how));
            EXPECT_EQ(QStringList({scalar(written), scalar(written, 1)}), QStringList({"0", "1"}));
        }
    }
}

// A file made before keys were kept non-empty may hold events without a number. An edit of one refuses
// to store it so, and never reaches the other; "Удалить землетр." deletes it, after a question, alone.
TEST_F(EventPage, OldEventsWithoutANumberAreNotMixedUpAndCanBeDeleted)
{
    {
        // The events table as older files declare it: its key may hold NULL.
        auto c = bulletin();
        const QStringList create =
            SqlDialect(SqlBackend::SQLite).translate(QString::fromUtf8(BulletinTableCreates()[0]));
        QStringList statements{QStringLiteral("PRAGMA foreign_keys=OFF"),
                               QStringLiteral("CREATE TEMP TABLE kept AS SELECT * FROM [События]"),
                               QStringLiteral("DROP TABLE [События]")};
        statements << QString(create.first()).remove(QStringLiteral(" NOT NULL")) << create.mid(1);
        statements << QStringLiteral("INSERT INTO [События] SELECT * FROM kept")
                   << QStringLiteral(
                          "INSERT INTO [События] (num, comment) VALUES (NULL, 'AAA'), (NULL, 'BBB')");
        for (const QString &sql : statements)
            c->backend().execute(sql, {});
    }
    start();
    const QString nulls = QStringLiteral("select comment from [События] where num is null order by orid");
    ASSERT_EQ(scalar(QStringLiteral("select count(*) from [События] where num is null")),
              QStringLiteral("2"));
    const int events = scalar(QStringLiteral("select count(*) from [События]")).toInt();

    click("BitBtn9"); // the last: BBB
    EXPECT_EQ(shown({"num", "comment"}), QStringList({QString(), QStringLiteral("BBB")}));
    type("comment", QStringLiteral("CCC"));
    click("BitBtn6");
    EXPECT_EQ(::shown(messages),
              QList<Shown>({{QStringLiteral("Не задан номер события: событие без номера не записывается"),
                             MB_ICONERROR}}));
    pressKey(control("comment"), Qt::Key_Escape);
    EXPECT_EQ(dm.ime->State(), DataSetState::Browse);
    EXPECT_EQ(text("comment"), QStringLiteral("BBB"));

    // Numbered, it is stored alone.
    type("num", QStringLiteral("9004"));
    type("comment", QStringLiteral("CCC"));
    click("BitBtn7");
    EXPECT_EQ(scalar(QStringLiteral("select comment from [События] where num=9004")), QStringLiteral("CCC"));
    EXPECT_EQ(scalar(nulls), QStringLiteral("AAA"));

    // The other one is deleted after a yes; a no keeps it.
    ASSERT_EQ(text("comment"), QStringLiteral("AAA"));
    ASSERT_TRUE(control("Delete_event")->isEnabled());
    const QString question =
        QStringLiteral("Удалить событие без номера (запись %1 из %2)?").arg(events - 1).arg(events);
    for (int answer : {IDNO, IDYES}) {
        messages.clear();
        messages.answer({answer});
        click("Delete_event");
        ASSERT_EQ(messages.count(), 1);
        EXPECT_EQ(messages.last().text, question);
        EXPECT_EQ(messages.last().buttons, unsigned(MB_YESNO | MB_DEFBUTTON2));
    }
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from [События] where num is null")),
              QStringLiteral("0"));
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from [События]")).toInt(), events - 1);
    EXPECT_EQ(text("num"), QStringLiteral("9004")); // the next row takes its place

    // An event its readings refer to stays.
    messages.clear();
    click("BitBtn6");
    const QString first = text("num");
    click("Delete_event");
    EXPECT_EQ(::shown(messages),
              QList<Shown>({{QStringLiteral("Событие № %1 не удалено: к нему относятся записи станционного "
                                            "бюллетеня (%2).")
                                 .arg(first, readingsOf(first)),
                             MB_ICONWARNING}}));
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from [События]")).toInt(), events - 1);
}

// Numbers the columns or the bulletins cannot carry are refused as they are typed, and told when the
// analyst moves on; the event keeps what it held.
TEST_F(EventPage, NumbersOutsideTheirRangeAreRefused)
{
    start();
    const QString num = text("num");
    const struct
    {
        const char *field;
        const char *typed;
        const char *message; // none: taken
    } cases[] = {
        {"seaz", "1.5e308", "Число вне допустимых пределов (от 0 до 360): \"1.5e308\""},
        {"seaz", "-1", "Число вне допустимых пределов (от 0 до 360): \"-1\""},
        {"emares", "1.5e308", "Число вне допустимых пределов (от 0 до 180): \"1.5e308\""},
        {"lat", "90.5", "Число вне допустимых пределов (от -90 до 90): \"90.5\""},
        {"dec", "10", "Число вне допустимых пределов (от 0 до 9): \"10\""},
        {"depdp", "99999999999",
         "Число вне допустимых пределов (от -1000000000 до 1000000000): \"99999999999\""},
        {"Kps", "-2e9", "Число вне допустимых пределов (от -1000000000 до 1000000000): \"-2e9\""},
        {"seaz", "359,5", nullptr},
        {"depdp", "700", nullptr},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.field) + " " + c.typed);
        const QString stored = QStringLiteral("select %1 from [События] where num=%2").arg(c.field, num);
        const QString before = scalar(stored);
        messages.clear();
        click("BitBtn6");
        type(c.field, QString::fromUtf8(c.typed));
        click("BitBtn8");
        click("BitBtn6");
        if (c.message) {
            const QString message =
                c.message ? QString::fromUtf8(c.message)
                          : QStringLiteral("Неверное число: \"%1…\"").arg(QString(200, QLatin1Char('1')));
            EXPECT_EQ(::shown(messages), QList<Shown>({{message, MB_ICONERROR}}));
            EXPECT_EQ(scalar(stored), before);
        } else {
            EXPECT_EQ(messages.count(), 0);
            EXPECT_EQ(scalar(stored), QString::fromUtf8(c.typed).replace(QLatin1Char(','), QLatin1Char('.')));
        }
    }
}

// Dates and times typed whole into the page's date and time edits, the cursor at their start as a click
// leaves it, are stored as typed when the analyst moves on; a day before 1900 is told and not stored.
TEST_F(EventPage, TypedDatesAndTimesAreStoredAsTyped)
{
    start();
    w->show();
    QApplication::setActiveWindow(w.get());
    const QString num = text("num");
    const struct
    {
        const char *control, *field; // a field of the reading where it starts with a capital
        const char *typed, *stored, *message;
    } cases[] = {
        {"time", "time", "06.11.2026 17:40:02", "06.11.2026 17:40:02", nullptr},
        {"time", "time", "01.01.1899 12:00:00", nullptr,
         "Дата 01.01.1899 вне допустимых пределов: от 01.01.1900 до 31.12.9998."},
        {"date1", "Date", "07.11.2026", "07.11.2026", nullptr},
        // The reading's time keeps the day it is stored with.
        {"stb_time", "Time", "17:40:02", nullptr, nullptr},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.control) + " " + c.typed);
        click("BitBtn6");
        click("BitBtn5");
        const bool reading = QChar(QLatin1Char(*c.field)).isUpper();
        const QString sql = reading ? QStringLiteral("select [%1] from [Станционный бюллетень] where arid=%2")
                                          .arg(QString::fromLatin1(c.field),
                                               dm.ims->FieldByName(QStringLiteral("arid"))->AsString())
                                    : QStringLiteral("select [%1] from [События] where num=%2")
                                          .arg(QString::fromLatin1(c.field), num);
        const QString before = scalar(sql);
        const QString stored = c.stored    ? QString::fromUtf8(c.stored)
                               : c.message ? before
                                           : before.left(11) + QString::fromUtf8(c.typed);
        messages.clear();
        auto *edit = control<QDateTimeEdit>(c.control);
        edit->setFocus();
        edit->findChild<QLineEdit *>()->setCursorPosition(0);
        for (const QChar ch : QString::fromUtf8(c.typed)) {
            QKeyEvent press(QEvent::KeyPress, ch.isDigit() ? Qt::Key_0 + ch.digitValue() : ch.unicode(),
                            Qt::NoModifier, QString(ch));
            QApplication::sendEvent(edit, &press);
        }
        control("BitBtn8")->setFocus(); // the click on "next event" takes the focus first
        click("BitBtn8");
        EXPECT_EQ(::shown(messages),
                  c.message ? QList<Shown>({{QString::fromUtf8(c.message), MB_ICONERROR}}) : QList<Shown>());
        EXPECT_EQ(scalar(sql), stored);
    }
}

// At the window sizes of a 1050x675 screen (the window's smallest default and the screen itself) and of
// 1400x900, no caption, value or button of the page is squeezed below what it needs; where the window is
// too small for the page, the page scrolls, and a window as wide as a 1050-pixel screen needs no scrolling
// sideways.
TEST_F(EventPage, ControlsShowWholeAtSmallAndLargeSizes)
{
    start();
    w->show();
    auto *scroll = control<QScrollArea>("TabSheet1Scroll");
    for (const QSize size : {QSize(787, 506), QSize(1040, 610), QSize(1050, 675), QSize(1400, 900)}) {
        SCOPED_TRACE(size.width());
        w->resize(size);
        QApplication::processEvents();
        ASSERT_TRUE(w->TabSheet1->isVisible());
        if (size.width() >= 1040) {
            EXPECT_FALSE(scroll->horizontalScrollBar()->isVisible());
        }
        if (size.height() >= 610) {
            EXPECT_FALSE(scroll->verticalScrollBar()->isVisible());
        }
        for (QWidget *c : w->TabSheet1->findChildren<QWidget *>()) {
            const bool shows = qobject_cast<QLabel *>(c) || qobject_cast<QAbstractButton *>(c) ||
                               qobject_cast<QLineEdit *>(c) || qobject_cast<QComboBox *>(c) ||
                               qobject_cast<QAbstractSpinBox *>(c);
            if (!shows || !c->isVisible() || c->objectName().startsWith(QLatin1String("qt_")) ||
                qobject_cast<QComboBox *>(c->parentWidget()) ||
                qobject_cast<QAbstractSpinBox *>(c->parentWidget()))
                continue;
            const QString what = c->objectName().isEmpty() ? shownText(c) : c->objectName();
            const QSize need = qobject_cast<QLabel *>(c) || qobject_cast<QCheckBox *>(c)
                                   ? c->sizeHint()
                                   : c->minimumSizeHint();
            EXPECT_GE(c->width(), need.width()) << what.toStdString();
            EXPECT_GE(c->height(), need.height()) << what.toStdString();
        }
    }
}

// A database the page cannot use leaves it disabled. Another program holding the database's lock is
// waited for as briefly as the page's edits wait, and said; a database without the page's tables is not.
TEST_F(EventPage, UnusableDatabaseLeavesThePageDisabled)
{
    struct Case
    {
        const char *change;
        bool held;         // the connection that made the change holds it while the page opens
        bool message;      // a failure while reading is reported, a missing table is not
        const char *words; // the whole reason, where it is the program's own
    } cases[] = {
        {"drop table [Каналы]", false, false, nullptr},
        {"alter table [События] rename column orid to orid2", false, true, nullptr},
        {"begin exclusive", true, true,
         "База данных \"%1\" занята: с ней работает другая программа или другое окно этой программы. "
         "Ожидание прервано через 1 с\rСообщение СУБД: database is locked"},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.change);
        w.reset();
        dm.CloseDB_ADO(dm.imc);
        SetUp();
        auto other = bulletin();
        exec(*other, QString::fromUtf8(k.change));
        if (!k.held)
            other.reset();
        messages.clear();
        w = startMainWindow(dir.path());
        EXPECT_EQ(dm.imc->LockTimeout(), kEditLockWait);
        dm.imc->SetLockTimeout(1);
        QElapsedTimer clock;
        clock.start();
        w->pgc1->setCurrentIndex(1);
        // A held lock is waited for the second set, not the 30 s of a connection told nothing.
        if (k.held) {
            EXPECT_GE(clock.elapsed(), 900);
        }
        EXPECT_LT(clock.elapsed(), 20000);
        EXPECT_FALSE(dm.ime->Active());
        EXPECT_EQ(shown({"Label31", "Label36", "Edit1"}), QStringList({"из ?", "из ?", ""}));
        for (const char *name : {"BitBtn6", "BitBtn10", "BitBtn15", "num", "comment", "DBComboBox8"})
            EXPECT_FALSE(control(name)->isEnabled()) << name;
        if (!k.message) {
            EXPECT_FALSE(dm.imc->Connected());
            EXPECT_EQ(messages.count(), 0);
            continue;
        }
        ASSERT_EQ(messages.count(), 1);
        const QString head = QStringLiteral("RefreshADB: Не удалось открыть базу данных для формы "
                                            "\"Параметры землетрясения\". Сообщение об ошибке:\r");
        EXPECT_TRUE(messages.last().text.startsWith(head)) << messages.last().text.toStdString();
        EXPECT_GT(messages.last().text.size(), head.size()); // followed by the database's reason
        if (k.words) {
            EXPECT_EQ(messages.last().text,
                      head + QString::fromUtf8(k.words).arg(QDir::toNativeSeparators(
                                 QFileInfo(demo.bulletinPaths.first()).absoluteFilePath())));
        }
        EXPECT_EQ(messages.last().icon, 16u);
        // Once the lock is gone, ticking the box again reads.
        if (k.held) {
            other.reset();
            messages.clear();
            control<QCheckBox>("select_data2")->click();
            control<QCheckBox>("select_data2")->click();
            EXPECT_TRUE(dm.ime->Active());
            EXPECT_EQ(messages.count(), 0);
        }
    }
}

// The page on a station database on a server (ODBC). An edit that meets the server restarted since is
// written through a new connection, and the readings of the next event are read over it, with no word;
// so are the readings after a move without an edit. While the server takes no connections, the move
// says at once that the edit was not written, gives it up and stays; the next move connects again.
TEST(EventPageOnAServer, EditAfterTheServerRestartedIsWrittenOrSaidNotWritten)
{
    if (!PostgresEnv::available())
        GTEST_SKIP() << "BRENVALE_TEST_PG_DSN is not set";
    PostgresEnv env;
    const auto db = env.open();
    for (const char *sql : BulletinTableCreates())
        exec(*db, sql);
    for (const char *sql :
         {"create table [Каналы] (channel_name char(10),channel_cod char(3))",
          "create table [Обозначения волн] (iphase char(10))",
          "insert into [События] (num,comment) values (1,'первое'),(2,null),(3,null)",
          "insert into [Станционный бюллетень] (N_equake,Station_Cod) values (1,'PET'),(2,'PET'),(2,'MNK')"})
        exec(*db, sql);
    ProgramWindow pw;
    Tmainf &w = *pw.w;
    w.sett.out_provider = 1;
    w.SetupConnections();
    tstainfo &station = w.stations[pw.addStation(QStringLiteral("PET"), QStringLiteral("PET"),
                                                 QStringLiteral("Петропавловск"))];
    station.source = db->DataSource();
    station.user = qEnvironmentVariable("BRENVALE_TEST_PG_USER");
    station.pass = qEnvironmentVariable("BRENVALE_TEST_PG_PASSWORD");
    for (QCheckBox *box : {w.select_data, w.select_data2}) {
        SetControlTag(box, 0);
        box->setChecked(true);
        SetControlTag(box, 1);
    }
    w.viewReload = true;
    w.pgc1->setCurrentIndex(1);
    ASSERT_TRUE(pw.dm.ime->Active());
    const auto comment = [&db] {
        DbQuery q(db.get());
        q.SetSQL(QStringLiteral("select comment from [События] where num=1"));
        q.Open();
        return q.Field(0)->AsString();
    };
    const auto type = [&w](const QString &text) {
        auto *edit = named<QLineEdit>(w.TabSheet1, "comment");
        edit->setText(text);
        emit edit->textEdited(text);
    };
    const auto shown = [&w] { return shownTexts(w.TabSheet1, {"num", "comment", "Label36"}); };

    const struct
    {
        const char *how;
        bool refused; // the server takes no new connection
    } cases[] = {{"restarted", false}, {"still down", true}, {"restarted again", false}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.how);
        clickNamed(w.TabSheet1, "BitBtn6");
        type(QString::fromUtf8(c.how));
        dropServerConnections(*db, c.refused);
        clickNamed(w.TabSheet1, "BitBtn8");
        if (c.refused) {
            ASSERT_EQ(pw.rec.count(), 1);
            EXPECT_TRUE(pw.rec.last().text.startsWith(
                QStringLiteral("Связь с сервером базы данных \"%1\" потеряна, подключиться к нему снова не "
                               "удалось. Изменение записи таблицы \"События\" не записано\rСообщение СУБД: ")
                    .arg(db->DataSource())))
                << pw.rec.last().text.toStdString();
            EXPECT_EQ(pw.rec.last().icon, unsigned(MB_ICONERROR));
            EXPECT_EQ(pw.dm.ime->State(), DataSetState::Browse);
            EXPECT_EQ(shown(), QStringList({"1", comment(), "из 1"}));
            allowServerConnections(*db, true);
            pw.rec.clear();
            type(QString::fromUtf8(c.how));
            clickNamed(w.TabSheet1, "BitBtn8");
        }
        EXPECT_EQ(pw.rec.count(), 0) << pw.rec.last().text.toStdString();
        EXPECT_EQ(comment(), QString::fromUtf8(c.how));
        EXPECT_EQ(shown(), QStringList({"2", "", "из 2"}));

        // A move that writes nothing reads the next event's readings over a new connection.
        dropServerConnections(*db, false);
        clickNamed(w.TabSheet1, "BitBtn9");
        EXPECT_EQ(pw.rec.count(), 0) << pw.rec.last().text.toStdString();
        EXPECT_EQ(shown(), QStringList({"3", "", "из 0"}));
    }
}

// A field that holds one value, for the display handler.
struct ValueField : TField
{
    explicit ValueField(QVariant v) : value(std::move(v)) {}
    QString FieldName() const override { return QStringLiteral("lat"); }
    FieldType DataType() const override { return FieldType::Float; }
    int Size() const override { return 0; }
    bool IsNull() const override { return value.isNull(); }
    QVariant Value() const override { return value; }
    void SetValue(const QVariant &v) override { value = v; }
    QVariant value;
};

TEST(EventPageText, FloatsShowRoundedToThousandths)
{
    const QLocale russian(QLocale::Russian, QLocale::Russia);
    struct Case
    {
        double value;
        const char *c, *ru;
    } cases[] = {
        {2.0625, "2.062", "2,062"}, // a tie goes to the even multiple
        {-0.0625, "-0.062", "-0,062"},
        {40, "40", "40"},
    };
    for (const Case &k : cases) {
        EXPECT_EQ(FloatDisplayText(k.value, QLocale::c()), QString::fromLatin1(k.c)) << k.value;
        EXPECT_EQ(FloatDisplayText(k.value, russian), QString::fromUtf8(k.ru)) << k.value;
    }

    // The hook: rounded for display in the user's locale, the full value for editing, null empty.
    const QString point = QLocale::system().decimalPoint();
    QString text;
    Tmainf::FloatFieldGetText(ValueField(1.23456), text, true);
    EXPECT_EQ(text, QStringLiteral("1") + point + QStringLiteral("235"));
    Tmainf::FloatFieldGetText(ValueField(1.23456), text, false);
    EXPECT_EQ(text, QStringLiteral("1.23456"));
    Tmainf::FloatFieldGetText(ValueField(QVariant()), text, true);
    EXPECT_EQ(text, QString());
}

TEST(EventPageText, SPTimeIsMinutesSecondsAndTenths)
{
    const QVariant none;
    const struct
    {
        QVariant time, dec;
        const char *text;
    } cases[] = {
        {EncodeTime(0, 1, 5, 0), 13, "01:05.3"}, // only the last digit of the tenths
        {EncodeTime(0, 12, 59, 0), none, "12:59.0"},
        {EncodeDate(2007, 6, 13) + EncodeTime(2, 7, 8, 0), 0, "07:08.0"}, // date and hours left out
        {none, 4, ""},
    };
    for (const auto &k : cases)
        EXPECT_EQ(SPTimeText(k.time, k.dec), QString::fromLatin1(k.text)) << k.text;
}

TEST(EventPageText, OriginQuery)
{
    const QString head = QStringLiteral("select * from origin where eventid in (select distinct ar1.eventid "
                                        "from arrival ar1 where rtrim(ar1.sta)");
    const QString full = QStringLiteral(") order by origintime,eventid");
    const QString withEmpty = QStringLiteral(
        ") or eventid not in (select distinct eventid from arrival) order by origintime,eventid");
    struct Case
    {
        QString checked, code;
        bool filter, onlyFull;
        QString expected;
    } cases[] = {
        {"'KIV','MNK'", "OBN", false, true, head + " in ('KIV','MNK')" + full},
        {"", "OBN", false, false, head + "='OBN'" + withEmpty},
        {"'KIV'", "OBN", true, false,
         head + " in ('KIV') and ar1.itime between 1181736000.5 and 1181822400" + withEmpty},
        {"", "O'B", true, true, head + "='O''B' and ar1.itime between 1181736000.5 and 1181822400" + full},
    };
    for (const Case &k : cases)
        EXPECT_EQ(OriginQueryText(k.checked, k.code, k.filter, 1181736000.5, 1181822400, k.onlyFull),
                  k.expected);
}

} // namespace
