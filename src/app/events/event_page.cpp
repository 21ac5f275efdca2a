#include "app/events/event_page.h"

#include "app/main/product_commands.h"

#include "app/data/data_module.h"
#include "app/events/data_binding.h"
#include "app/main/main_window.h"
#include "db/db_connection.h"
#include "db/db_errors.h"
#include "db/db_query.h"
#include "lib/datetime.h"
#include "lib/epoch.h"
#include "lib/errors.h"
#include "lib/messages.h"
#include "lib/sql_text.h"
#include "lib/statements.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDateTimeEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QTabWidget>
#include <QTableView>
#include <QTimeEdit>
#include <QTimer>

#include <cmath>
#include <memory>

// The page 'Параметры землетрясения' on the station bulletin database, and the loader RefreshADB that
// both event pages share. The data module's data-change handlers of ime and ims (imdseDataChange,
// imdssDataChange) are members of the main window here, connected to the DataChange signals of the
// page's data sources imdse and imdss.

namespace {

// Controls of the page by the field they show; the others carry the field's name.
struct FieldControl
{
    const char *control;
    const char *field;
    bool reading; // of ims, else of ime
};

const FieldControl kFieldControls[] = {
    {"num", "num", false},
    {"time", "time", false},
    {"dec", "dec", false},
    {"deltagr", "deltagr", false},
    {"deltakm", "deltakm", false},
    {"depdp", "depdp", false},
    {"seaz", "seaz", false},
    {"emares", "emares", false},
    {"lat", "lat", false},
    {"lon", "lon", false},
    {"Kps", "Kps", false},
    {"comment", "comment", false},
    {"FlagQuake", "FlagQuake", false},
    {"Station_Cod", "Station_Cod", true},
    {"N_seismo", "N_seismo", true},
    {"date1", "Date", true},
    {"stb_time", "Time", true},
    {"Dec", "Dec", true},
    {"DBComboBox8", "Phase", true},
    {"DBText1", "Phase", true},
    {"DBComboBox9", "Channel_name", true},
    {"DBText2", "Channel_name", true},
    {"Channel_Cod", "Channel_Cod", true},
    {"Channel_component", "Channel_component", true},
    {"Qual", "Qual", true},
    {"FM", "FM", true},
    {"FM_Z", "FM_Z", true},
    {"FM_EW", "FM_EW", true},
    {"FM_NS", "FM_NS", true},
    {"KPCH", "KPCH", true},
    {"Interpretation", "Interpretation", true},
    {"FM_Amp_Z", "FM_Amp_Z", true},
    {"FM_Amp_EW", "FM_Amp_EW", true},
    {"FM_Amp_NS", "FM_Amp_NS", true},
    {"FM_Period_Z", "FM_Period_Z", true},
    {"FM_Period_EW", "FM_Period_EW", true},
    {"FM_Period_NS", "FM_Period_NS", true},
    {"Comments", "Comments", true},
};

const char *const kEventNav[] = {"BitBtn6", "BitBtn7", "BitBtn8", "BitBtn9", "BitBtn10"};
const char *const kReadingNav[] = {"BitBtn5", "BitBtn4", "BitBtn3", "BitBtn1", "BitBtn15"};

// The tables the page cannot work without.
const char *const kRequiredTables[] = {"События", "Станционный бюллетень", "Каналы", "Обозначения волн"};

// Every row's first column, in the query's order.
void fillList(QComboBox *combo, DbQuery &query)
{
    QStringList items;
    for (query.First(); !query.Eof(); query.Next())
        items << query.Field(0)->AsString();
    query.First();
    combo->clear();
    combo->addItems(items);
}

// Closes the bulletin connection once nothing typed is pending; false (the connection left open, the
// edit kept) when a pending edit could not be written.
bool closeBulletinEvents(Tdm &dm)
{
    if (!PostPending(dm.ims) || !PostPending(dm.ime))
        return false;
    dm.CloseDB_ADO(dm.imc);
    return true;
}

void enableReadingNav(QWidget *page, bool Value)
{
    for (const char *name : kReadingNav)
        if (auto *button = page->findChild<QPushButton *>(QString::fromLatin1(name)))
            button->setEnabled(Value);
}

// A new event has no readings yet. While it is being entered the readings are closed (their controls
// empty and disabled), so nothing typed there reaches another event's rows; once the event is stored or
// given up, they follow the event shown again. Held says the readings were closed here.
void followNewEvent(Tmainf &w, Tdm &dm, bool &held)
{
    const bool inserting = dm.ime->State() == DataSetState::Insert;
    try {
        if (inserting && !held && dm.ims->Active()) {
            PostPending(dm.ims);
            dm.ims->Close();
            held = true;
            enableReadingNav(w.TabSheet1, false);
            w.TabSheet1->findChild<QLabel *>(QStringLiteral("Label36"))->setText(QStringLiteral("из ?"));
            w.TabSheet1->findChild<QLineEdit *>(QStringLiteral("Edit7"))->clear();
        } else if (!inserting && held) {
            held = false;
            if (dm.ime->Active() && !dm.ims->Active()) {
                dm.ims->Open();
                enableReadingNav(w.TabSheet1, true);
            }
        }
    } catch (const std::exception &e) {
        MessageProc(&w, ExceptionText(e), MB_ICONERROR, MB_OK);
    }
}

// The event's own words for the events' key: "num" is the number readings refer to.
QString eventPostError(DbQuery &ime, const DbError &e)
{
    const bool ofNum =
        e.column().isEmpty() || e.column().compare(QLatin1String("num"), Qt::CaseInsensitive) == 0;
    if (e.fault() == DbFault::NotNull && ofNum)
        return QStringLiteral("Не задан номер события: событие без номера не записывается");
    const TField *num = ime.FindField(QStringLiteral("num"));
    if (e.fault() == DbFault::Unique && ofNum && num)
        return QStringLiteral("Событие с номером %1 уже есть").arg(num->AsString());
    return QString();
}

// Gives up an edit no connection to the server could write. A change of the event shown on the ORX page
// reads its arrivals again, from the server that could not be reached: they stay as read, and the origin
// time shows what is stored.
void giveUpUnreachable(DbQuery *Query)
{
    Tdm *dm = Tdm::instance();
    Tmainf *w = Tmainf::instance();
    if (!dm || !w || Query != dm->imo) {
        Query->Cancel();
        return;
    }
    const bool held = w->suppressOriginChange;
    w->suppressOriginChange = true;
    const auto resume = qScopeGuard([w, held] { w->suppressOriginChange = held; });
    Query->Cancel();
    if (w->imdso)
        w->imdso->ForgetHeldChange();
    dm->ShowEpochInMaskEdit(Query->FindField(QStringLiteral("origintime")),
                            w->TabSheet6->findChild<QLineEdit *>(QStringLiteral("MaskEdit1")));
}

// The edit whose write the database refused in the action under way (a click and all it sets off), as
// it was then. The same action tries what is pending again at every reload and change of station: the
// same edit is then refused at once, without a second word or statement. The next action tries anew.
struct RefusedWrite
{
    QPointer<DbQuery> query;
    QVariantList values;
};

RefusedWrite &refusedInThisAction()
{
    static RefusedWrite refused;
    return refused;
}

QVariantList pendingValues(DbQuery *Query)
{
    QVariantList values;
    for (int i = 0; i < Query->FieldCount(); ++i)
        values << Query->Field(i)->Value();
    return values;
}

using Move = void (DbQuery::*)();

// The edit pending in Query written before a move (PostPending). One given up because no connection to
// the server could be had keeps the page on the row the user was just told of: the move waits for the
// next click, which connects again.
bool postBeforeMove(DbQuery *Query)
{
    const bool pending = Query->State() == DataSetState::Edit || Query->State() == DataSetState::Insert;
    if (!PostPending(Query))
        return false;
    DbConnection *c = Query->Connection();
    return !pending || !c || c->Connected();
}

// A move through the events (or "+"): the event's edit and then its readings' are written first, as the
// dataset would write them. The readings of the event moved to are read at once: over a connection the
// server dropped they are read again over a new one.
void moveThroughEvents(Tmainf &w, Tdm &dm, Move move)
{
    if (!postBeforeMove(dm.ime) || !postBeforeMove(dm.ims))
        return;
    try {
        (dm.ime->*move)();
    } catch (const DbError &e) {
        if (!dm.ime->Active() || dm.ims->Active() || dm.ime->State() == DataSetState::Insert) {
            MessageProc(&w, e.message(), MB_ICONERROR, MB_OK);
            return;
        }
        try {
            RunReconnecting(dm.ime, QStringLiteral("Записи станционного бюллетеня события не прочитаны"),
                            [&dm] {
                                if (!dm.ims->Active())
                                    dm.ims->Open();
                            });
        } catch (const std::exception &again) {
            MessageProc(&w, ExceptionText(again), MB_ICONERROR, MB_OK);
        }
        // The event's controls were not told of the move the failed read interrupted.
        if (w.imdse)
            w.imdse->Refresh();
        w.imdseDataChange();
    } catch (const std::exception &e) {
        MessageProc(&w, ExceptionText(e), MB_ICONERROR, MB_OK);
    }
}

// "Удалить землетр.": the current event goes after the analyst's yes; a new one not yet stored is
// given up. An event that still has readings stays, as the readings refer to it.
void deleteCurrentEvent(Tmainf &w, Tdm &dm)
{
    DbQuery *ime = dm.ime;
    if (!ime->Active())
        return;
    if (ime->State() == DataSetState::Insert) {
        ime->Cancel();
        return;
    }
    try {
        if (!PostPending(dm.ims) || !PostPending(ime) || ime->RecordCount() == 0)
            return;
        const TField *num = ime->FieldByName(QStringLiteral("num"));
        const QString name =
            num->IsNull()
                ? QStringLiteral("без номера (запись %1 из %2)").arg(ime->RecNo()).arg(ime->RecordCount())
                : QStringLiteral("№ ") + num->AsString();
        const QString undone = QStringLiteral("Событие %1 не удалено").arg(name);
        if (!num->IsNull()) {
            DbQuery count(dm.imc);
            count.SetSQL(QStringLiteral("select count(*) from [Станционный бюллетень] where N_equake=?"));
            count.SetParams({num->Value()});
            RunReconnecting(ime, undone, [&count] { count.Open(); });
            if (const int readings = count.Field(0)->AsInteger(); readings > 0) {
                MessageProc(&w,
                            QStringLiteral("Событие %1 не удалено: к нему относятся записи станционного "
                                           "бюллетеня (%2).")
                                .arg(CutForMessage(name))
                                .arg(readings),
                            MB_ICONWARNING, MB_OK);
                return;
            }
        }
        if (MessageProc(&w, QStringLiteral("Удалить событие %1?").arg(CutForMessage(name)), MB_ICONQUESTION,
                        MB_YESNO | MB_DEFBUTTON2) != IDYES)
            return;
        RunReconnecting(ime, undone, [ime] { ime->Delete(); });
    } catch (const std::exception &e) {
        MessageProc(&w, ExceptionText(e), MB_ICONERROR, MB_OK);
    }
}

double pickerEpoch(const QDateEdit *date, const QTimeEdit *time)
{
    const QDate d = date->date();
    const QTime t = time->time();
    return htoe(quint16(d.year()), quint16(d.month()), quint16(d.day()), quint16(t.hour()),
                quint16(t.minute()), t.second() + t.msec() / 1000.0);
}

// Opens the page's connection as the data module's open does, silently: a database that cannot be
// opened leaves the page disabled without a word. One that another program holds is the exception, said
// by the loader like any failure of its reads, once the pages' own short wait is over.
bool openBulletinEvents(Tdm &dm, const QString &source, const QString &user, const QString &password)
{
    try {
        dm.imc->Close();
        // The template holds a data source, so the replacement cannot fail.
        if (!ReplCFile(*dm.imc, source))
            return false;
        dm.imc->Open(user, password);
        return true;
    } catch (const DbError &e) {
        if (e.fault() == DbFault::Busy)
            throw;
        return false;
    }
}

void setOrxClosedTexts(Tmainf &w)
{
    if (auto *sto1 = w.findChild<QLabel *>(QStringLiteral("sto1")))
        sto1->setText(QStringLiteral("ORIGIN: не открыта"));
    if (auto *sta1 = w.findChild<QLabel *>(QStringLiteral("sta1")))
        sta1->setText(QStringLiteral("ARRIVAL: не открыта"));
}

// The ORX branch of the loader: the three browser connections take the ORX connection, and the events
// of the selected or ticked stations are read into imo. False, with nothing closed, while an edit that
// could not be written is pending.
bool reloadOrxEvents(Tmainf &w, Tdm &dm, bool stationSelected)
{
    // A refused edit may wait on either inner page, as leaving the edit page keeps it.
    if (!PostPending(dm.ima) || !PostPending(dm.imo))
        return false;
    w.eventPagesCode = w.curCode;
    for (DbConnection *c : {dm.imc13, dm.imc12, dm.imc11})
        dm.CloseDB_ADO(c);
    const QString provider = GetOrxProvider(w.sett);
    for (DbConnection *c : {dm.imc11, dm.imc12, dm.imc13}) {
        c->SetConnectionString(dm.conPubs->ConnectionString());
        c->SetProvider(provider);
    }
    setOrxClosedTexts(w);
    if (!stationSelected || !w.OpenOrx(dm, dm.imc11))
        return true;
    {
        w.suppressOriginChange = true;
        const auto resume = qScopeGuard([&w] { w.suppressOriginChange = false; });
        const QString sql =
            OriginQueryText(w.checkedQuoted, w.curCode, w.filter->isChecked(), pickerEpoch(w.dat1, w.tim1),
                            pickerEpoch(w.dat2, w.tim2), w.onlyfull->isChecked());
        if (QAct(*dm.imo, sql))
            if (auto *grid = w.findChild<QTableView *>(QStringLiteral("dbgo1")))
                ApplyColumnWidths(grid, w.originColumns);
    }
    // The open itself was held off; the arrivals of the first event come now, once.
    dm.imdsoDataChange();
    return true;
}

} // namespace

QString FloatDisplayText(double Value, const QLocale &Locale, int Decimals)
{
    const double scale = std::pow(10.0, Decimals);
    const double scaled = Value * scale;
    if (!std::isfinite(scaled) || std::fabs(scaled) >= 9e15)
        return QString();
    const QString point = Locale.decimalPoint();
    return FloatToStr(double(RoundHalfEven(scaled)) / scale,
                      point.isEmpty() ? QLatin1Char('.') : point.at(0));
}

std::pair<double, double> EventFieldRange(const QString &Field)
{
    static const struct
    {
        const char *field;
        double low, high;
    } kRanges[] = {
        {"lat", -90, 90}, {"lon", -180, 360},  {"seaz", 0, 360},      {"azimuth", 0, 360}, {"emares", 0, 180},
        {"ema", 0, 180},  {"deltagr", 0, 180}, {"deltakm", 0, 20040}, {"dec", 0, 9},
    };
    for (const auto &r : kRanges)
        if (Field.compare(QLatin1String(r.field), Qt::CaseInsensitive) == 0)
            return {r.low, r.high};
    // Products round to 0.0001 through 64-bit integers: a billion leaves them ample room.
    return {-1e9, 1e9};
}

void BindControl(DataSource *source, QWidget *control, const QString &field)
{
    const auto [low, high] = EventFieldRange(field);
    source->SetRange(field, low, high);
    if (auto *box = qobject_cast<QCheckBox *>(control))
        source->Bind(box, field);
    else if (auto *combo = qobject_cast<QComboBox *>(control))
        source->Bind(combo, field);
    else if (auto *dateTime = qobject_cast<QDateTimeEdit *>(control))
        source->Bind(dateTime, field);
    else if (auto *memo = qobject_cast<QPlainTextEdit *>(control))
        source->Bind(memo, field);
    else if (auto *edit = qobject_cast<QLineEdit *>(control))
        source->Bind(edit, field);
    else if (auto *label = qobject_cast<QLabel *>(control))
        source->Bind(label, field);
}

QString TrimRightText(const QString &Text)
{
    qsizetype n = Text.size();
    while (n > 0 && Text.at(n - 1).isSpace())
        --n;
    return Text.left(n);
}

bool PostPending(DbQuery *Query, const QString &Then)
{
    if (Query->State() != DataSetState::Edit && Query->State() != DataSetState::Insert)
        return true;
    // As a move does: an edit or a new row where nothing was typed is given up.
    if (!Query->Modified()) {
        Query->Cancel();
        return true;
    }
    RefusedWrite &refused = refusedInThisAction();
    const QVariantList values = pendingValues(Query);
    if (refused.query == Query && refused.values == values)
        return false;
    const QString undone = (Query->State() == DataSetState::Insert ? QStringLiteral("Добавление записи")
                                                                   : QStringLiteral("Изменение записи")) +
                           QStringLiteral(" таблицы \"%1\" не записано").arg(Query->BaseTable());
    try {
        RunReconnecting(Query, undone, [Query] { Query->Post(); });
        return true;
    } catch (const std::exception &e) {
        // No connection writes it now, and the user was told so: kept, it would stop every move and
        // read of the page until the server is back.
        const auto *db = dynamic_cast<const DbError *>(&e);
        const bool unreachable = db && db->fault() == DbFault::ConnectionLost;
        MessageProc(nullptr,
                    ExceptionText(e) +
                        (Then.isEmpty() || unreachable ? QString() : QStringLiteral("\r") + Then),
                    MB_ICONERROR, MB_OK);
        if (unreachable) {
            giveUpUnreachable(Query);
            return true;
        }
        // The action is over once the program waits for the analyst again.
        refused = {Query, values};
        QTimer::singleShot(0, Query, [] { refusedInThisAction() = {}; });
        return false;
    }
}

void RunReconnecting(DbQuery *Query, const QString &Undone, const std::function<void()> &Act)
{
    DbConnection *c = Query->Connection();
    try {
        Act();
        return;
    } catch (const DbError &e) {
        // A connection the last attempt could not open again is closed under datasets still open.
        const bool lost = e.fault() == DbFault::ConnectionLost ||
                          (e.fault() == DbFault::Closed && Query->Active() && c && !c->Connected());
        if (!lost || !c)
            throw;
    }
    QString reason;
    try {
        c->Reconnect();
        Act();
        return;
    } catch (const DbError &e) {
        // Over the new connection the database's own refusals are said as they are.
        if (e.fault() != DbFault::ConnectionLost && c->Connected())
            throw;
        reason = e.message();
    }
    throw DbError(DbFault::ConnectionLost,
                  QStringLiteral("Связь с сервером базы данных \"%1\" потеряна, подключиться к нему снова не "
                                 "удалось. %2")
                      .arg(SourceForMessages(c->DataSource()), Undone),
                  reason);
}

void RunPageMove(QWidget *Owner, std::initializer_list<DbQuery *> Pending, const std::function<void()> &Act)
{
    // The record written is left at once: only the one moved to is read again.
    const DataSource::HeldChanges held;
    for (DbQuery *q : Pending)
        if (!postBeforeMove(q))
            return;
    try {
        Act();
    } catch (const std::exception &e) {
        MessageProc(Owner, ExceptionText(e), MB_ICONERROR, MB_OK);
    }
}

QString SPTimeText(const QVariant &S_P_time, const QVariant &S_P_dec)
{
    if (S_P_time.isNull())
        return QString();
    int hour = 0, min = 0, sec = 0, msec = 0;
    DecodeTime(TimeOf(S_P_time.toDouble()), hour, min, sec, msec);
    const qlonglong tenths = S_P_dec.isNull() ? 0 : S_P_dec.toLongLong() % 10;
    return QStringLiteral("%1:%2.%3")
        .arg(min, 2, 10, QLatin1Char('0'))
        .arg(sec, 2, 10, QLatin1Char('0'))
        .arg(tenths);
}

QString OriginQueryText(const QString &CheckedQuoted, const QString &CurCode, bool Filter, double T1,
                        double T2, bool OnlyFull)
{
    QString sql = QStringLiteral("select * from origin where eventid in (select distinct ar1.eventid from "
                                 "arrival ar1 where rtrim(ar1.sta)");
    if (!CheckedQuoted.isEmpty())
        sql += QStringLiteral(" in (") + CheckedQuoted + QLatin1Char(')');
    else
        sql += QLatin1Char('=') + SqlQuote(CurCode);
    if (Filter) {
        const auto epoch = [](double t) { return QString::number(t, 'f', QLocale::FloatingPointShortest); };
        sql += QStringLiteral(" and ar1.itime between ") + epoch(T1) + QStringLiteral(" and ") + epoch(T2);
    }
    if (OnlyFull)
        sql += QStringLiteral(") order by origintime,eventid");
    else
        sql += QStringLiteral(") or eventid not in (select distinct eventid from arrival) order by "
                              "origintime,eventid");
    return sql;
}

void Tmainf::SetupEventPage()
{
    if (Tdm *dm = Tdm::instance()) {
        imdse = new DataSource(dm->ime, this);
        imdss = new DataSource(dm->ims, this);
        for (const FieldControl &b : kFieldControls)
            if (auto *control = TabSheet1->findChild<QWidget *>(QString::fromLatin1(b.control)))
                BindControl(b.reading ? imdss : imdse, control, QString::fromLatin1(b.field));
        connect(imdse, &DataSource::DataChange, this, &Tmainf::imdseDataChange);
        connect(imdss, &DataSource::DataChange, this, &Tmainf::imdssDataChange);
        connect(dm->ime, &DbQuery::stateChanged, this,
                [this, dm, held = std::make_shared<bool>(false)] { followNewEvent(*this, *dm, *held); });
        dm->imc->SetLockTimeout(kEditLockWait);
        dm->ime->SetPostErrorText([dm](const DbError &e) { return eventPostError(*dm->ime, e); });
        auto *deleteEvent = TabSheet1->findChild<QPushButton *>(QStringLiteral("Delete_event"));
        const auto enableDelete = [dm, deleteEvent] {
            deleteEvent->setEnabled(dm->ime->Active() && dm->ime->RecordCount() > 0);
        };
        for (auto signal : {&DbQuery::opened, &DbQuery::closed, &DbQuery::stateChanged, &DbQuery::scrolled})
            connect(dm->ime, signal, deleteEvent, enableDelete);
        connect(dm->ime, &DbQuery::deleted, deleteEvent, enableDelete);
        connect(deleteEvent, &QPushButton::clicked, this, [this, dm] { deleteCurrentEvent(*this, *dm); });
        enableDelete();
    }

    const Move moves[] = {&DbQuery::First, &DbQuery::Prior, &DbQuery::Next, &DbQuery::Last, &DbQuery::Append};
    for (int readings = 0; readings < 2; ++readings) {
        for (int i = 0; i < 5; ++i) {
            const char *name = readings ? kReadingNav[i] : kEventNav[i];
            auto *button = TabSheet1->findChild<QPushButton *>(QString::fromLatin1(name));
            connect(button, &QPushButton::clicked, this, [this, readings, move = moves[i]] {
                Tdm *dm = Tdm::instance();
                if (!dm)
                    return;
                if (readings)
                    RunPageMove(this, {dm->ims}, [dm, move] { (dm->ims->*move)(); });
                else
                    moveThroughEvents(*this, *dm, move);
            });
        }
    }
    connect(TabSheet1->findChild<QPushButton *>(QStringLiteral("Svodka")), &QPushButton::clicked, this,
            &Tmainf::Svodka_Click);
    connect(TabSheet1->findChild<QPushButton *>(QStringLiteral("BitBtn14")), &QPushButton::clicked, this,
            &Tmainf::BitBtn14Click);
    auto *report = TabSheet1->findChild<QPushButton *>(QStringLiteral("BitBtn12"));
    report->setEnabled(bool(productCommands().report));
    connect(report, &QPushButton::clicked, this, [this] {
        if (const auto &command = productCommands().report)
            command(*this, false);
    });
    connect(TabSheet1->findChild<QPushButton *>(QStringLiteral("Button9")), &QPushButton::clicked, this,
            [this] {
                if (const auto &command = productCommands().importOrx)
                    command(*this);
            });
    EnableEventNav(false);
}

bool Tmainf::PostEventEdits()
{
    Tdm *dm = Tdm::instance();
    if (!dm)
        return true;
    bool written = true;
    // Each page in the order its own moves write: readings before events, arrivals before origins.
    for (DbQuery *q : {dm->ims, dm->ime, dm->ima, dm->imo})
        written = PostPending(q) && written;
    return written;
}

bool Tmainf::EventPagesLeaveStation(const QString &Code)
{
    Tdm *dm = Tdm::instance();
    if (!dm || Code == eventPagesCode) {
        PostEventEdits();
        return true;
    }
    const int row = stationRow(eventPagesCode);
    const QString page = QStringLiteral("\"%1\"").arg(pgc1->tabText(pgc1->indexOf(TabSheet1)));
    const QString station = CutForMessage(eventPagesCode);
    const QString then =
        row >= 0 ? QStringLiteral("Станция не сменена: изменения на странице %1 относятся к станции %2. "
                                  "Исправьте или отмените их (Esc).")
                       .arg(page, station)
                 : QStringLiteral("Изменения на странице %1 отменены: станции %2 больше нет в списке.")
                       .arg(page, station);
    for (DbQuery *q : {dm->ims, dm->ime, dm->ima, dm->imo}) {
        if (PostPending(q, then))
            continue;
        if (row < 0) {
            q->Cancel();
            continue;
        }
        const QuietLists quiet(this);
        stas->setCurrentRow(row);
        stas->item(row)->setSelected(true);
        // The add of a station names the new one before it changes to it.
        if (const int entry = selectedStationEntry(); entry >= 0) {
            curSta = stations.at(entry).sta;
            curCode = stations.at(entry).code;
            curName = stations.at(entry).name;
        }
        return false;
    }
    return true;
}

bool Tmainf::EventEditsSettled()
{
    if (PostEventEdits())
        return true;
    if (MessageProc(this,
                    QStringLiteral("Изменения на странице \"Параметры землетрясения\" не записаны в базу "
                                   "данных.\rЗакрыть программу без них?"),
                    MB_ICONQUESTION, MB_YESNO | MB_DEFBUTTON2) != IDYES)
        return false;
    if (Tdm *dm = Tdm::instance())
        for (DbQuery *q : {dm->ims, dm->ime, dm->ima, dm->imo})
            q->Cancel();
    return true;
}

void Tmainf::EnableEventNav(bool Value)
{
    for (const auto *names : {kEventNav, kReadingNav})
        for (int i = 0; i < 5; ++i)
            if (auto *button = TabSheet1->findChild<QPushButton *>(QString::fromLatin1(names[i])))
                button->setEnabled(Value);
    if (Value)
        return;
    for (const char *name : {"Label31", "Label36"})
        TabSheet1->findChild<QLabel *>(QString::fromLatin1(name))->setText(QStringLiteral("из ?"));
    for (const char *name : {"Edit1", "Edit7"})
        TabSheet1->findChild<QLineEdit *>(QString::fromLatin1(name))->clear();
}

void Tmainf::FloatFieldGetText(const TField &Sender, QString &Text, bool DisplayText)
{
    try {
        if (!Sender.IsNull() && DisplayText)
            Text = FloatDisplayText(Sender.AsFloat(), QLocale::system());
        else
            Text = Sender.AsString();
    } catch (const std::exception &) {
        // A value that is no number keeps the text it came with.
    }
}

void Tmainf::imdseDataChange()
{
    Tdm *dm = Tdm::instance();
    if (!dm || !dm->ime->Active())
        return;
    DbQuery *q = dm->ime;
    TabSheet1->findChild<QLineEdit *>(QStringLiteral("Edit1"))->setText(QString::number(q->RecNo()));
    TabSheet1->findChild<QLabel *>(QStringLiteral("Label31"))
        ->setText(QStringLiteral("из ") + QString::number(q->RecordCount()));
    const TField *time = q->FindField(QStringLiteral("S_P_time"));
    const TField *dec = q->FindField(QStringLiteral("S_P_dec"));
    TabSheet1->findChild<QLineEdit *>(QStringLiteral("SPtimedif"))
        ->setText(SPTimeText(time ? time->Value() : QVariant(), dec ? dec->Value() : QVariant()));
}

void Tmainf::imdssDataChange()
{
    Tdm *dm = Tdm::instance();
    if (!dm || !dm->ims->Active())
        return;
    DbQuery *q = dm->ims;
    TabSheet1->findChild<QLineEdit *>(QStringLiteral("Edit7"))->setText(QString::number(q->RecNo()));
    TabSheet1->findChild<QLabel *>(QStringLiteral("Label36"))
        ->setText(QStringLiteral("из ") + QString::number(q->RecordCount()));
}

void Tmainf::Svodka_Click()
{
    const ProductCommands &commands = productCommands();
    const auto &command = sett.fullorx ? commands.orxSvodka : commands.svodka;
    if (command)
        command(*this);
}

void Tmainf::BitBtn14Click()
{
    const ProductCommands &commands = productCommands();
    const auto &command = sett.fullorx ? commands.orvExport : commands.textExport;
    if (command)
        command(*this);
}

void Tmainf::RefreshADB()
{
    bool ok = true;
    // An edit that could not be written keeps the page as it is, and the next visit reads again.
    bool kept = false;
    Tdm *dm = Tdm::instance();
    try {
        if (!select_data->isChecked() || !dm) {
            ok = false;
            setOrxClosedTexts(*this);
        } else if (sett.fullorx) {
            if (viewReload) {
                ok = false;
                kept = !reloadOrxEvents(*this, *dm, selectedStationEntry() >= 0);
            }
        } else if (viewReload && selectedStationEntry() >= 0 && !closeBulletinEvents(*dm)) {
            kept = true;
        } else if (viewReload && selectedStationEntry() >= 0) {
            ok = false;
            eventPagesCode = curCode;
            dm->imc->SetConnectionString(TemplateReadWrite);
            dm->imc->SetProvider(sett.out_provider != 0 ? ProviderOdbc : ProviderJet);
            QString source, user, password;
            if (GetStationDBParams(source, user, password, -1, true) && !source.isEmpty() &&
                openBulletinEvents(*dm, source, user, password)) {
                ok = true;
                const QStringList tables = dm->imc->TableNames();
                bool complete = true;
                for (const char *name : kRequiredTables)
                    complete = complete && tables.contains(QString::fromUtf8(name), Qt::CaseInsensitive);
                if (!complete) {
                    dm->CloseDB_ADO(dm->imc);
                    EnableEventNav(false);
                } else {
                    dm->imd->Open();
                    dm->imp->Open();
                    fillList(TabSheet1->findChild<QComboBox *>(QStringLiteral("DBComboBox9")), *dm->imd);
                    fillList(TabSheet1->findChild<QComboBox *>(QStringLiteral("DBComboBox8")), *dm->imp);
                    dm->ime->Open();
                    dm->ims->Open();
                    for (auto [query, ds] : {std::pair{dm->ime, imdse}, std::pair{dm->ims, imdss}}) {
                        if (!ds)
                            continue;
                        ds->ClearGetText();
                        for (int i = 0; i < query->FieldCount(); ++i)
                            if (IsFloatFieldType(query->Field(i)->DataType()))
                                ds->SetGetText(query->Field(i)->FieldName(), &Tmainf::FloatFieldGetText);
                    }
                    EnableEventNav(true);
                }
            }
        }
    } catch (const std::exception &e) {
        MessageProc(this,
                    QStringLiteral("RefreshADB: Не удалось открыть базу данных для формы \"") +
                        pgc1->tabText(pgc1->indexOf(TabSheet1)) +
                        QStringLiteral("\". Сообщение об ошибке:\r") + ExceptionText(e),
                    MB_ICONERROR, MB_OK);
        EnableEventNav(false);
    }
    if (kept)
        return;
    viewReload = false;
    if (!ok)
        EnableEventNav(false);
}

void Tmainf::pgc1Change()
{
    const int index = pgc1->currentIndex();
    if (index == 1 || index == 2)
        RefreshADB();
}

void Tmainf::select_dataClick(QCheckBox *Sender)
{
    if (Sender == select_data) {
        const bool on = select_data->isChecked();
        for (const char *name :
             {"Label63", "Label64", "dat1", "tim1", "dat2", "tim2", "Button30", "filter", "pc2"})
            if (auto *w = findChild<QWidget *>(QString::fromLatin1(name)))
                w->setVisible(on);
    }
    if (auto *pc2 = findChild<QTabWidget *>(QStringLiteral("pc2")))
        pc2->setCurrentIndex(0);
    if (ControlTag(Sender) == 0)
        return;
    QCheckBox *other = Sender == select_data ? select_data2 : select_data;
    const int tag = ControlTag(other);
    SetControlTag(other, 0);
    other->setChecked(Sender->isChecked());
    SetControlTag(other, tag);
    if (Sender->isChecked()) {
        viewReload = true;
        RefreshADB();
        return;
    }
    if (Tdm *dm = Tdm::instance()) {
        if (Sender == select_data)
            for (DbConnection *c : {dm->imc13, dm->imc12, dm->imc11})
                dm->CloseDB_ADO(c);
        else if (!closeBulletinEvents(*dm))
            dm->CloseDB_ADO(dm->imc); // unticked all the same: what could not be written was said
    }
    EnableEventNav(false);
}
