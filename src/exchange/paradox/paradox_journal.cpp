#include "exchange/paradox/paradox_journal.h"

#include "db/db_command.h"
#include "db/db_connection.h"
#include "db/db_query.h"
#include "db/insert_batch.h"
#include "db/sql_dialect.h"
#include "lib/date_routines.h"
#include "lib/errors.h"
#include "lib/held_messages.h"
#include "lib/messages.h"
#include "lib/number_routines.h"
#include "lib/sql_text.h"
#include "lib/statements.h"
#include "lib/string_table.h"

#include <QHash>

#include <cmath>
#include <memory>
#include <optional>

namespace {

// The journal columns in Access and Add_time order.
enum JournalColumn {
    jNcc,
    jNevent,
    jData,
    jFaza,
    jDev,
    jHo,
    jMin,
    jSek,
    jT,
    jAEW,
    jANS,
    jAZ,
    jSP,
    jDel,
    jM,
    jNotes,
    kJournalColumns
};
const char *const kJournalNames[kJournalColumns] = {"N c/c", "N event", "Data", "Faza",  "Dev",   "Ho",
                                                    "Min",   "Sek",     "T",    "A E-W", "A N-S", "A Z",
                                                    "S-P",   "Del",     "M",    "Notes"};

// Ends the run after a statement runner or a message has told why.
struct Stopped
{
};

constexpr int kRowsPerStatement = 1000;
// A dataset keeps every row appended through it: the writers open theirs again after so many rows, so a
// journal of millions of lines costs what so many rows cost.
constexpr int kRowsPerDataset = 4096;
// Channel names looked up and kept; a journal of ever new names starts afresh past them.
constexpr int kChannelsKept = 4096;
// The lines of the journal named in the closing message, of those from which nothing was written.
constexpr int kLinesNamed = 10;

bool endsWithM(const QString &s)
{
    return !s.isEmpty() && (s.back() == u'M' || s.back() == u'm' || s.back() == QChar(0x041C));
}

bool isComponent(QChar c)
{
    return QStringLiteral("ENZenz").contains(c);
}

int toInt(const QString &s)
{
    int v = 0;
    if (!TryStrToInt(s, v))
        throw EConvertError(NotIntegerText(s));
    return v;
}

// A value of a journal line that does not convert, with the column it stands in.
class ColumnError : public EConvertError
{
public:
    ColumnError(int column, const QString &message) : EConvertError(message), m_column(column) {}
    int column() const { return m_column; }

private:
    int m_column;
};

// Reads the value of a column; what does not convert is said with its column.
template <class Read> auto inColumn(int column, Read read)
{
    try {
        return read();
    } catch (const ColumnError &) {
        throw;
    } catch (const EConvertError &e) {
        throw ColumnError(column, e.message());
    }
}

// A reading's time to the whole second and its tenths, which are rounded on their own: 12.96 s is
// 12 s and 10 tenths, as the bulletin has always kept them.
void readingTime(TDateTime day, int hour, const QString &min, const QString &sek, TDateTime &time,
                 int &tenths)
{
    const double s = inColumn(jSek, [&] {
        const double v = StrToFloatAny(sek);
        if (v < 0 || v >= 60)
            throw EConvertError(QStringLiteral("\"") + CutForMessage(sek) +
                                QStringLiteral("\" - неверное число секунд"));
        return v;
    });
    const double whole = std::trunc(s);
    time = day + EncodeTime(hour, inColumn(jMin, [&] { return toInt(min); }), int(whole), 0);
    tenths = int(RoundHalfEven((s - whole) * 10));
}

// Rows appended to one table through a dataset opened on none of its rows, opened again every
// kRowsPerDataset rows.
struct Appender
{
    std::unique_ptr<DbQuery> q;
    QString sql;
    QString table;    // as stored, as a refused row names it
    QList<int> lines; // the journal line of each row appended since the dataset was opened
    int written = 0;
};

class Transfer
{
public:
    Transfer(ParadoxJournalHost &host, DbConnection &db, const TFormatSettings &fs)
        : m_host(host), m_db(db), m_fs(fs)
    {}
    void run();

private:
    void open(Appender &a, const QString &sql)
    {
        a.q = std::make_unique<DbQuery>(&m_db);
        a.q->SetInsertBatch(kRowsPerStatement);
        a.sql = sql;
        act(*a.q, sql);
        a.table = a.q->BaseTable();
    }
    void post(Appender &a);
    void report(int cn) const;
    void act(DbQuery &q, const QString &sql)
    {
        if (!QAct(q, sql))
            throw Stopped();
    }
    QString text(int column) const
    {
        TField *f = m_fields[column];
        return f->IsNull() ? QString() : f->AsString();
    }
    bool given(int column) const { return !text(column).isEmpty(); }
    void line(std::optional<int> hour);
    void eventRow();
    void phaseRow(const QString &phase, std::optional<int> hour);
    void amplitudeRow(const QString &phase, std::optional<int> hour);
    bool lookUpChannel(const QString &name, QString &code);
    void sendWaiting();
    void storeSP(DbQuery &ev);
    void magnitude(DbQuery &xm, const char *klass, const char *magnitude);
    bool holdsMoreThanItsNumber() const;
    void leftOut(const QString &why);

    ParadoxJournalHost &m_host;
    DbConnection &m_db;
    const TFormatSettings &m_fs;
    std::unique_ptr<DbQuery> m_lines;
    Appender m_events, m_readings, m_measurements;
    TField *m_fields[kJournalColumns] = {};

    TDateTime m_date = 0;
    std::optional<int> m_prevHour;
    int m_event = 0;
    QString m_code, m_name, m_component;
    bool m_lrlq = false;
    QString m_attached;
    int m_row = -1;
    // The lines from which no reading and no measurement was written: how many, and the first ones with
    // the reason.
    int m_leftOut = 0;
    QStringList m_leftOutNamed;
    // The channel codes by name: the table of channels stays as it is during the run.
    QHash<QString, std::optional<QString>> m_channels;
};

// On a server the rows go many to a statement; they are sent before anything is read back, so the line
// of a refused row is the one named.
void Transfer::sendWaiting()
{
    try {
        m_db.SendWaitingRows();
    } catch (const DbBatchError &e) {
        for (const Appender *a : {&m_events, &m_readings, &m_measurements})
            if (a->table == e.table())
                m_row = a->lines.value(e.tag(), m_row);
        throw;
    }
}

void Transfer::post(Appender &a)
{
    a.q->Post();
    a.lines << m_row;
    ++a.written;
    if (a.lines.size() < kRowsPerDataset)
        return;
    sendWaiting();
    a.q->Close();
    act(*a.q, a.sql);
    a.lines.clear();
}

// A line holds more than its number when any other column is given, the mark of an empty line aside.
bool Transfer::holdsMoreThanItsNumber() const
{
    for (int c = jNevent; c < kJournalColumns; ++c)
        if (given(c) && !(c == jNotes && text(c) == QLatin1String(".")))
            return true;
    return false;
}

void Transfer::leftOut(const QString &why)
{
    if (m_leftOut++ < kLinesNamed)
        m_leftOutNamed << QStringLiteral("строка ") + QString::number(m_row) + QStringLiteral(": ") + why;
}

// What was written, and which lines were not: "Данные импортированы." only when every line with a phase
// or channel gave its reading or measurement and every event line its event.
void Transfer::report(int cn) const
{
    const int written = m_events.written + m_readings.written + m_measurements.written;
    QString text;
    bool whole = false;
    if (cn != m_events.written) {
        text = (cn > m_events.written ? QStringLiteral("Не все данные импортированы,из ")
                                      : QStringLiteral("Импортированы лишние данные,из ")) +
               QString::number(cn) + QStringLiteral(" событий :") + QString::number(m_events.written);
    } else if (written == 0) {
        text = QStringLiteral("Данные не импортированы.");
    } else if (m_leftOut > 0) {
        text = QStringLiteral("Не все данные импортированы.");
    } else {
        text = QStringLiteral("Данные импортированы.");
        whole = true;
    }
    if (written == 0)
        text += QStringLiteral("\rВ БД ничего не записано.");
    else
        text += QStringLiteral("\rЗаписано в БД: событий %1, фаз %2, динамических замеров %3.")
                    .arg(m_events.written)
                    .arg(m_readings.written)
                    .arg(m_measurements.written);
    if (m_leftOut > 0) {
        text += QStringLiteral("\rНе записано строк журнала: ") + QString::number(m_leftOut) +
                QLatin1Char('\r') + m_leftOutNamed.join(QLatin1Char('\r'));
        if (m_leftOut > kLinesNamed)
            text += QStringLiteral("\r...");
    }
    MessageProc(m_host.Owner(), text, whole ? MB_ICONINFORMATION : MB_ICONWARNING, MB_OK);
}

void Transfer::run()
{
    // The bulletin tables are only appended to, so none of their rows need fetching.
    open(m_events, QStringLiteral("SELECT * FROM [События] where 1=0"));
    open(m_readings, QStringLiteral("SELECT * FROM [Станционный бюллетень] where 1=0"));
    open(m_measurements, QStringLiteral("SELECT * FROM [Динамические замеры] where 1=0"));

    DbQuery q(&m_db);
    act(q, QStringLiteral("SELECT count([N event]) as cn FROM [Access]"));
    const int cn = q.Field(0)->AsInteger();
    act(q, QStringLiteral("SELECT min([N event]) as mn,max([N event]) as mx FROM [Access]"));
    const QString mn = QString::number(q.Field(0)->AsInteger());
    const QString mx = QString::number(q.Field(1)->AsInteger());
    const QString range = QStringLiteral(" between ") + mn + QStringLiteral(" and ") + mx;
    act(q, QStringLiteral("Select count(num) as cnt from [События] where num") + range);
    const bool present = q.Field(0)->AsInteger() > 0;
    q.Close();

    if (present &&
        MessageProc(
            m_host.Owner(),
            QStringLiteral("Землетрясение с номером от ") + mn + QStringLiteral(" до ") + mx +
                QStringLiteral(" уже есть в базе данных\rУдалить все землетрясения с этими номерами?"),
            MB_ICONQUESTION, MB_YESNO) != IDYES)
        throw Stopped();
    // What goes wrong from here on is said once the transaction is over: no message waits for a click
    // while the bulletin database is locked for other writers.
    HeldTransaction transaction(m_db);
    if (present) {
        // The events go with their readings and measurements: the keys between them would refuse the
        // events alone.
        DbCommand cmd(&m_db);
        const QString readings =
            QStringLiteral("select arid from [Станционный бюллетень] where N_equake") + range;
        for (const QString &sql :
             {QStringLiteral("delete from [Динамические замеры] where arid in (") + readings +
                  QLatin1Char(')'),
              QStringLiteral("delete from [Станционный бюллетень] where N_equake") + range,
              QStringLiteral("delete from [События] where num") + range}) {
            QString error;
            if (!QExe(cmd, sql, true, &error)) {
                MessageProc(m_host.Owner(), QStringLiteral("Удаление записей из [События]:\r") + error,
                            MB_ICONERROR, MB_OK);
                throw Stopped();
            }
        }
    }

    // The staged lines are read once, in order, one at a time: a journal of millions of lines is not
    // held in memory again. The statement reading them keeps a lock of the database while it runs, so it
    // starts after the question and ends before any message is shown.
    m_lines = std::make_unique<DbQuery>(&m_db);
    m_lines->SetForwardOnly(true);
    act(*m_lines, QStringLiteral("SELECT * FROM [Add_time]"));
    struct LinesRead
    {
        DbQuery &q;
        ~LinesRead()
        {
            try {
                q.Close();
            } catch (const std::exception &) {
                // The statement goes with the transaction's end all the same.
            }
        }
    } linesRead{*m_lines};
    for (int c = 0; c < kJournalColumns; ++c)
        m_fields[c] = m_lines->FieldByName(QString::fromLatin1(kJournalNames[c]));
    try {
        for (m_lines->First(); !m_lines->Eof(); m_lines->Next()) {
            if (!given(jFaza) && !given(jDev)) {
                if (holdsMoreThanItsNumber()) {
                    m_row = m_lines->RecNo();
                    leftOut(QStringLiteral("нет ни фазы, ни канала"));
                }
                continue;
            }
            m_row = m_lines->RecNo();
            line(given(jHo) ? std::optional<int>(inColumn(jHo, [&] { return toInt(text(jHo)); }))
                            : std::nullopt);
        }
        m_lines->Close();
        sendWaiting();
    } catch (const std::exception &e) {
        QString place = QStringLiteral("Строка ") + QString::number(m_row);
        if (const auto *column = dynamic_cast<const ColumnError *>(&e))
            place += QStringLiteral(", поле \"") + QString::fromLatin1(kJournalNames[column->column()]) +
                     QLatin1Char('"');
        MessageProc(m_host.Owner(), place + QStringLiteral("\rСообщение об ошибке:\r") + ExceptionText(e),
                    MB_ICONERROR, MB_OK);
        throw Stopped();
    }
    transaction.commit();
    report(cn);
}

void Transfer::line(std::optional<int> hour)
{
    if (given(jData)) {
        TDateTime d = 0;
        if (!TryStrToDateTime(text(jData), d, m_fs))
            throw ColumnError(jData, NotDateText(text(jData)));
        m_date = DateOf(d);
    } else if (hour && m_prevHour && *hour < *m_prevHour) {
        m_date += 1;
    }
    if (given(jData) && given(jNevent))
        eventRow();

    const QString phase = given(jFaza) ? text(jFaza) : QStringLiteral("UNK");
    const bool longWave = phase.contains(QLatin1String("LRM")) || phase.contains(QLatin1String("LQM"));
    const int before = m_readings.written + m_measurements.written;
    const bool amplitudes = given(jANS) || given(jAEW) || given(jAZ);
    if (m_event > 0 && (!given(jT) || (longWave && !m_lrlq)))
        phaseRow(phase, hour);
    if (given(jT) && amplitudes)
        amplitudeRow(phase, hour);
    // A line that gave neither a reading nor a measurement is named, not counted as imported.
    if (m_readings.written + m_measurements.written == before)
        leftOut(!given(jT) ? QStringLiteral("нет события, к которому отнести фазу")
                : !amplitudes ? QStringLiteral("есть период T, но нет амплитуды")
                              : QStringLiteral("замер с периодом T не следует за своей фазой"));
    m_prevHour = hour;
}

void Transfer::eventRow()
{
    const int num = inColumn(jNevent, [&] { return toInt(text(jNevent)); });
    sendWaiting();
    DbQuery q(&m_db);
    act(q, QStringLiteral("Select * from [События] where num=") + QString::number(num));
    if (!q.Eof())
        return;
    DbQuery &ev = *m_events.q;
    ev.Append();
    ev.FieldByName(QStringLiteral("num"))->SetValue(num);
    m_event = num;
    if (given(jDel)) {
        const double del = inColumn(jDel, [&] { return StrToFloatAny(text(jDel)); });
        ev.FieldByName(del < 400 ? QStringLiteral("deltagr") : QStringLiteral("deltakm"))->SetValue(del);
    }
    if (given(jSP))
        storeSP(ev);
    if (given(jNotes))
        ev.FieldByName(QStringLiteral("comment"))->SetValue(text(jNotes));
    ev.FieldByName(QStringLiteral("lddate"))->SetValue(Now());
    post(m_events);
}

// "1-23" is 1 minute 23 seconds, "45" is 45 minutes.
void Transfer::storeSP(DbQuery &ev)
{
    QString t = text(jSP).trimmed();
    const QString row = QStringLiteral("Строка ") + QString::number(m_row);
    const int dash = t.indexOf(u'-');
    if (dash >= 0) {
        t[dash] = m_fs.TimeSeparator;
    } else {
        int minutes = 0;
        if (!TryStrToInt(t, minutes)) {
            MessageProc(m_host.Owner(), row + QStringLiteral("\rS-P - не число! S-P не занесено в БД."),
                        MB_ICONWARNING, MB_OK);
            return;
        }
        if (minutes < 0 || minutes > 59) {
            MessageProc(m_host.Owner(),
                        row + QStringLiteral("\rS-P не имеет секунд и не лежит в пределах от 0 до 59! S-P не "
                                             "занесено в БД."),
                        MB_ICONWARNING, MB_OK);
            return;
        }
        t += m_fs.TimeSeparator + QStringLiteral("00");
    }
    const QStringList parts = (QStringLiteral("00") + m_fs.TimeSeparator + t).split(m_fs.TimeSeparator);
    TDateTime time = 0;
    int h = 0, n = 0, s = 0;
    if (parts.size() != 3 || !TryStrToInt(parts[0], h) || !TryStrToInt(parts[1], n) ||
        !TryStrToInt(parts[2], s) || !TryEncodeTime(h, n, s, 0, time))
        throw ColumnError(jSP, QStringLiteral("\"") + CutForMessage(text(jSP)) +
                                   QStringLiteral("\" - неверное время"));
    ev.FieldByName(QStringLiteral("S_P_time"))->SetValue(time);
    ev.FieldByName(QStringLiteral("S_P_dec"))->Clear();
}

bool Transfer::lookUpChannel(const QString &name, QString &code)
{
    auto known = m_channels.constFind(name);
    if (known == m_channels.cend()) {
        DbQuery q(&m_db);
        act(q, QStringLiteral("select channel_cod from [Каналы] where channel_name=") + SqlQuote(name));
        std::optional<QString> found;
        if (!q.Eof())
            found = q.Field(0)->IsNull() ? QString() : q.Field(0)->AsString().trimmed();
        if (m_channels.size() >= kChannelsKept)
            m_channels.clear();
        known = m_channels.insert(name, found);
    }
    if (!*known)
        return false;
    code = **known;
    return true;
}

void Transfer::phaseRow(const QString &phase, std::optional<int> hour)
{
    m_attached.clear();
    const qsizetype lr = phase.indexOf(QLatin1String("LR")), lq = phase.indexOf(QLatin1String("LQ"));
    m_lrlq = (lr >= 0 && lr == phase.size() - 2) || (lq >= 0 && lq == phase.size() - 2);

    DbQuery &rd = *m_readings.q;
    auto set = [&](const char *name, const QVariant &v) {
        rd.FieldByName(QString::fromLatin1(name))->SetValue(v);
    };
    rd.Append();
    set("N_equake", m_event);
    if (given(jNcc))
        set("N_seismo", text(jNcc));
    set("Date", m_date);

    if (given(jFaza)) {
        QString s = text(jFaza);
        while (!s.isEmpty() && s.front() == u' ')
            s.remove(0, 1);
        if (!s.isEmpty() && (s.front() == u'+' || s.front() == u'-')) {
            set("FM", QString(s.front()));
            s.remove(0, 1);
        }
        if (!s.isEmpty()) {
            if (QStringLiteral("EIQeiq").contains(s.front())) {
                set("Qual", QString(s.front()));
                s.remove(0, 1);
            }
            if (s.isEmpty()) {
                set("Phase", QStringLiteral("UNK"));
            } else {
                if (s.front() == u'(') {
                    set("Interpretation", true);
                    s = s.mid(1).chopped(s.size() > 1 ? 1 : 0);
                }
                if (!s.trimmed().isEmpty()) {
                    if (endsWithM(s))
                        s.chop(1);
                    set("Phase", s.trimmed());
                }
            }
        }
    }

    bool useRemembered = true;
    if (given(jDev)) {
        QString d = text(jDev);
        if (isComponent(d.back())) {
            m_component = QString(d.back());
            set("Channel_component", m_component);
            d.chop(1);
        }
        const QString name = d.trimmed();
        QString code;
        if (!name.isEmpty() && lookUpChannel(name, code)) {
            set("Channel_Cod", code);
            set("Channel_name", name);
            m_code = code;
            m_name = name;
            useRemembered = false;
        }
    }
    if (useRemembered) {
        if (!m_code.isEmpty())
            set("Channel_Cod", m_code);
        if (!m_name.isEmpty())
            set("Channel_name", m_name);
        if (!m_component.isEmpty())
            set("Channel_component", m_component);
    }

    if (hour && !phase.contains(QLatin1String("LRM")) && !phase.contains(QLatin1String("LQM"))) {
        TDateTime time = 0;
        int tenths = 0;
        readingTime(m_date, *hour, text(jMin), text(jSek), time, tenths);
        set("Time", time);
        set("Dec", tenths);
    } else {
        set("Time", EncodeDate(1970, 1, 1));
    }
    const std::pair<int, const char *> signs[] = {{jANS, "FM_NS"}, {jAEW, "FM_EW"}, {jAZ, "FM_Z"}};
    for (const auto &[column, name] : signs) {
        const QString v = text(column).trimmed();
        if (v.contains(u'+') || v.contains(u'-'))
            set(name, v);
    }
    post(m_readings);
}

// "K=11.6" or "k11.6" is energy class 11; any other text is a magnitude.
void Transfer::magnitude(DbQuery &xm, const char *klass, const char *magnitude)
{
    const QString m = text(jM).trimmed();
    if (m.contains(u'K') || m.contains(u'k')) {
        const double k = std::trunc(inColumn(jM, [&] { return StrToFloatAny(m.mid(2)); }));
        if (k > 0)
            xm.FieldByName(QString::fromLatin1(klass))->SetValue(k);
    } else {
        const double v = inColumn(jM, [&] { return StrToFloatAny(m); });
        if (v > 0)
            xm.FieldByName(QString::fromLatin1(magnitude))->SetValue(v);
    }
}

void Transfer::amplitudeRow(const QString &phase, std::optional<int> hour)
{
    // The newest phase row, which the journal's amplitude lines follow.
    sendWaiting();
    DbQuery q(&m_db);
    act(q, QStringLiteral("select arid,Phase from [Станционный бюллетень] where arid=(select max(arid) from "
                          "[Станционный бюллетень])"));
    if (q.Eof())
        return;
    const QVariant arid = q.Field(0)->Value();
    const QString newestPhase = q.Field(1)->IsNull() ? QString() : q.Field(1)->AsString().trimmed();
    q.Close();
    if (m_attached.isEmpty()) {
        if (!(given(jFaza) && phase.size() > 1 && endsWithM(phase) && phase.chopped(1) == newestPhase))
            return;
        m_attached = phase.chopped(1);
    }

    DbQuery &xm = *m_measurements.q;
    auto set = [&](const char *name, const QVariant &v) {
        xm.FieldByName(QString::fromLatin1(name))->SetValue(v);
    };
    xm.Append();
    set("arid", arid);
    if (given(jDev)) {
        QString d = text(jDev);
        if (isComponent(d.back())) {
            set("Channel_componentXM", QString(d.back()));
            d.chop(1);
        }
        if (!d.isEmpty()) {
            if (!(d.back() >= u'A' && d.back() <= u'Z'))
                d.chop(1);
            set("Channel_nameXM", d);
        }
        QString code;
        if (!(!d.trimmed().isEmpty() && lookUpChannel(d.trimmed(), code)) && !m_code.isEmpty())
            code = m_code;
        if (!code.isEmpty())
            set("Channel_CodXM", code);
    } else {
        if (!m_code.isEmpty())
            set("Channel_CodXM", m_code);
        if (!m_name.isEmpty())
            set("Channel_nameXM", m_name);
        if (!m_component.isEmpty())
            set("Channel_componentXM", m_component);
    }
    if (hour) {
        TDateTime time = 0;
        int tenths = 0;
        readingTime(m_date, *hour, text(jMin), text(jSek), time, tenths);
        set("TimeXm", time);
        set("DecXm", tenths);
    }
    const double period = inColumn(jT, [&] { return StrToFloatAny(text(jT)); });
    const std::tuple<int, const char *, const char *> amps[] = {
        {jANS, "Amp_NS", "Period_NS"}, {jAEW, "Amp_EW", "Period_EW"}, {jAZ, "Amp_Z", "Period_Z"}};
    for (const auto &[column, amp, per] : amps) {
        if (!given(column))
            continue;
        set(amp, inColumn(column, [&, c = column] { return StrToFloatAny(text(c)); }));
        set(per, period);
    }
    if (given(jAZ) && given(jM))
        magnitude(xm, "Klass_Z", "Magnitude_Z");
    if (given(jM) && xm.FieldByName(QStringLiteral("Magnitude_Z"))->IsNull())
        magnitude(xm, "Klass_NE", "Magnitude_NE");
    post(m_measurements);
}

// Empties Access; false, having said why, when it cannot.
bool clearAccess(ParadoxJournalHost &Host, DbConnection &db, bool silent)
{
    DbCommand cmd(&db);
    QString error;
    if (QExe(cmd, QStringLiteral("delete from Access"), true, &error))
        return true;
    if (!silent)
        MessageProc(
            Host.Owner(),
            QStringLiteral("Не удалось удалить временные данные из таблицы\rс именем \"Access\". Сообщение "
                           "об ошибке:\r") +
                error,
            MB_ICONWARNING, MB_OK);
    return false;
}

// The grid's lines into Access. A dataset opened on none of its rows gives the columns and turns each
// cell into what its column takes, refusing what it cannot; the rows go in through an insert of their
// own, so none of them is kept in memory and no row is read back.
void stage(ParadoxJournalHost &Host, DbConnection &db, const TD2D &Journal, bool &accessCleared)
{
    HeldTransaction transaction(db);
    accessCleared = clearAccess(Host, db, false);
    DbQuery access(&db);
    if (!QAct(access,
              QStringLiteral("select [N c/c],[N event],[Data],[Faza],[Dev],[Ho],[Min],[Sek],[T],[A E-W],[A "
                             "N-S],[A Z],[S-P],[Del],[M],[Notes] from Access where 1=0")))
        throw Stopped();
    const int fields = access.FieldCount();
    QStringList names;
    for (int c = 0; c < fields; ++c)
        names << QLatin1Char('[') + access.Field(c)->FieldName() + QLatin1Char(']');
    const SqlDialect &dialect = db.backend().dialect();
    const bool sqlite = dialect.backend() == SqlBackend::SQLite;
    DbInsertBatch insert(db, QStringLiteral("Access"), names);
    insert.setCapacity(kRowsPerStatement);

    const int n = Journal.ColCount();
    const int rows = std::max(Journal.RowCount(), 1);
    Host.ShowProgress(QStringLiteral("Импорт данных"), 1, rows - 1);
    for (int r = 1; r < rows; ++r) {
        if (r > rows - 6 || r % 15 == 0)
            Host.SetProgress(r);
        access.Append();
        bool empty = true;
        for (int c = 0; c < n; ++c) {
            const QString cell = Journal.GetCell(c, r);
            if (cell.isEmpty())
                continue;
            if (c >= fields)
                throw DbError(QStringLiteral("В таблице Access нет столбца ") + QString::number(c + 1));
            try {
                access.Field(c)->SetValue(cell);
            } catch (const DbError &e) {
                // A cell its column refuses stops the staging; the analyst is told which line it was, and
                // which field (by the journal's name: a server gives names in lower case) unless the words
                // name it.
                const QString name = c < kJournalColumns ? QString::fromLatin1(kJournalNames[c])
                                                         : access.Field(c)->FieldName();
                const QString field =
                    e.column().isEmpty() ? QStringLiteral(", поле \"") + name + QLatin1Char('"') : QString();
                throw e.reworded(QStringLiteral("Строка ") + QString::number(r) + QStringLiteral(" журнала") +
                                 field + QStringLiteral(": ") + e.words());
            }
            empty = false;
        }
        if (empty && n > 0) {
            if (n > fields)
                throw DbError(QStringLiteral("В таблице Access нет столбца ") + QString::number(n));
            access.Field(n - 1)->SetValue(QStringLiteral("."));
        }
        // A column left out takes its default, as when the dataset posts the row.
        QVariantList values(fields);
        for (int c = 0; c < fields; ++c) {
            QVariant v = access.Field(c)->Value();
            if (v.isValid())
                values[c] = sqlite ? std::move(v) : dialect.toDriverValue(access.Columns()[c].type, v);
        }
        access.Cancel();
        insert.add(std::move(values), r);
    }
    insert.send();
    transaction.commit();
    Host.HideProgress();
}

} // namespace

void WriteParadoxGridToDB(ParadoxJournalHost &Host, const TD2D &Journal, const TFormatSettings &FS)
{
    QString source, user, password;
    if (!Host.GetStationDBParams(source, user, password, -1, false))
        return;
    DbConnection &db = Host.BulletinConnection();
    if (!Host.OpenDB_ADO(
            db, source, user, password, false,
            QStringLiteral("Не удалось подключиться к выходной БД. Если эта БД уже открыта\rдругой "
                           "программой, закройте её и попробуйте снова.")))
        return;
    bool accessCleared = false;
    try {
        stage(Host, db, Journal, accessCleared);
        Transfer(Host, db, FS).run();
    } catch (const Stopped &) {
    } catch (const std::exception &e) {
        MessageProc(Host.Owner(),
                    QStringLiteral("WriteParadoxGridToDB: Операция прервана. Сообщение об ошибке:\r") +
                        ExceptionText(e),
                    MB_ICONERROR, MB_OK);
    }
    if (db.InTransaction()) {
        try {
            db.RollbackTrans();
        } catch (const std::exception &) {
            // Closing the connection drops the transaction as well.
        }
    }
    // Access keeps nothing between runs: its lines are in the bulletin tables now, or were refused. A
    // table that could not be emptied before was said to be so then.
    clearAccess(Host, db, !accessCleared);
    Host.HideProgress();
    Host.CloseDB_ADO(db);
}
