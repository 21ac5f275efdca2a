#include "exchange/krv/krv_writer.h"

#include "db/db_connection.h"
#include "db/db_query.h"
#include "db/insert_batch.h"
#include "lib/date_routines.h"
#include "lib/errors.h"
#include "lib/messages.h"
#include "lib/number_routines.h"
#include "lib/statements.h"
#include "lib/string_table.h"

#include <QHash>
#include <QSet>

#include <cmath>
#include <memory>

namespace {

// A step that showed its own message (station lookup, connection, statement).
struct Aborted
{
};

// The analyst said No to writing a bulletin the database already holds.
struct Declined
{
};

TDateTime readDateTime(const QString &text)
{
    TDateTime value = 0;
    if (!TryStrToDateTime(text, value))
        throw EConvertError(NotDateTimeText(text));
    return value;
}

// A value of the table that does not convert stops the write, named by its field and where the grid
// shows it: "Широта fi (строка 3, столбец 2): "NAN" - не число".
template <class Read> auto inField(const char *field, int row, const char *columns, Read read)
{
    try {
        return read();
    } catch (const EConvertError &e) {
        throw EConvertError(QString::fromUtf8(field) + QStringLiteral(" (строка ") + QString::number(row) +
                            QStringLiteral(", ") + QString::fromUtf8(columns) + QStringLiteral("): ") +
                            e.message());
    }
}

constexpr int kRowsPerStatement = 1000;

QVariant number(const QString &text)
{
    if (TrimBlanks(text).isEmpty())
        return {};
    return StrToFloatAny(text);
}

// An origin time to the whole second, and its tenths.
struct Origin
{
    TDateTime time = 0;
    int tenths = 0;
    // The same origin whatever the floating point of two ways to the same second.
    qint64 key() const { return qint64(std::llround(time * 86400.0)) * 10 + tenths; }
};

// The values of an event's block as they go into События.
struct EventValues
{
    TDateTime reference = 0; // the event line's date and time, to which the phase times are added
    Origin origin;
    QVariant lat, lon, depth, kps;
};

class Writer
{
public:
    Writer(KrvWriteHost &host, const TD2D &table, bool askWhenKnown)
        : m_host(host), m_table(table), m_askWhenKnown(askWhenKnown)
    {}
    ~Writer()
    {
        if (m_progress)
            m_host.HideProgress();
        m_events.reset();
        m_phases.reset();
        DbConnection &db = m_host.BulletinConnection();
        if (m_opened && db.InTransaction()) {
            try {
                db.RollbackTrans();
            } catch (const std::exception &) {
                // Closing the connection drops the transaction as well.
            }
        }
        if (m_opened)
            m_host.CloseDB_ADO(db);
    }

    void run()
    {
        QString source, user, password;
        if (!m_host.GetStationDBParams(source, user, password, -1, false))
            throw Aborted();
        DbConnection &db = m_host.BulletinConnection();
        if (!m_host.OpenDB_ADO(db, source, user, password, false))
            throw Aborted();
        m_opened = true;
        if (m_askWhenKnown && !writeKnownEvents(db))
            throw Declined();

        m_events = std::make_unique<DbQuery>(&db);
        act(*m_events,
            QStringLiteral("SELECT min(t1.num) as min_num FROM События AS t1 WHERE (select count(*) from "
                           "События as t2 where t2.num=t1.num+1)=0 UNION select 0 as min_num FROM События "
                           "where (select count(*) from События where num=1)=0 order by min_num"));
        int num = m_events->Eof() ? 0 : m_events->Field(0)->AsInteger();

        const int rows = m_table.RowCount();
        m_host.ShowProgress(QStringLiteral("Импорт"), rows - 1);
        m_progress = true;
        // Only appended to, so no row of the tables needs fetching.
        act(*m_events,
            QStringLiteral("select num,[time],[dec],lat,lon,depdp,kps,lddate from [События] where 1=0"));
        m_phases = std::make_unique<DbQuery>(&db);
        act(*m_phases,
            QStringLiteral("select n_equake,station_cod,[date],qual,phase,channel_cod,"
                           "channel_component,[time],[dec] from [Станционный бюллетень] where 1=0"));

        // One transaction: a bulletin half written would come again under new numbers on the next try.
        // On a server an event goes with its readings, two statements: the readings follow the event they
        // refer to.
        m_events->SetInsertBatch(kRowsPerStatement);
        m_phases->SetInsertBatch(kRowsPerStatement);
        db.BeginTrans();
        bool inEvent = false;
        TDateTime reference = 0;
        try {
            for (m_row = 1; m_row < rows; ++m_row) {
                if (m_row % 5 == 0 || m_row >= rows - 5)
                    m_host.SetProgress(m_row);
                if (!inEvent) {
                    db.SendWaitingRows();
                    const EventValues event = eventAt(m_row);
                    reference = event.reference;
                    dropWritten(*m_events, m_eventRows);
                    appendEvent(++num, event, m_row);
                    m_row += 3;
                    inEvent = true;
                } else if (cell(0, m_row).isEmpty()) {
                    inEvent = false;
                } else {
                    dropWritten(*m_phases, m_phaseRows);
                    appendPhases(num, reference, m_row);
                }
            }
            db.SendWaitingRows();
        } catch (const DbBatchError &e) {
            // The row of the table whose reading or event was refused.
            const QList<int> &rowsOf = e.table() == m_events->BaseTable() ? m_eventRows : m_phaseRows;
            m_row = rowsOf.value(e.tag(), m_row);
            throw;
        }
        db.CommitTrans();
    }

    int row() const { return m_row; }

private:
    QString cell(int col, int row) const { return m_table.GetCell(col, row); }

    void act(DbQuery &q, const QString &sql)
    {
        if (!QAct(q, sql))
            throw Aborted();
    }

    // A dataset keeps every row it appended: opened afresh every so many rows, its rows sent, so that
    // what the write holds does not grow with the bulletin.
    void dropWritten(DbQuery &q, QList<int> &rows)
    {
        if (rows.size() < kRowsPerStatement)
            return;
        q.Close();
        rows.clear();
        q.Open();
    }

    void set(DbQuery &q, const char *field, const QVariant &value)
    {
        // An empty cell is no value, as in the reader's table.
        if (!value.isNull() && !(value.typeId() == QMetaType::QString && value.toString().isEmpty()))
            q.FindField(QString::fromLatin1(field))->SetValue(value);
    }

    // The origin of the event whose block starts at row r.
    Origin originOf(int r) const
    {
        const QString originTime = cell(2, r + 1);
        const qsizetype point = originTime.indexOf(QLatin1Char('.'));
        Origin o;
        o.time = inField("Время в очаге", r + 1, "столбцы 1 и 3", [&] {
            return readDateTime(cell(0, r + 1) + QLatin1Char(' ') + originTime.left(point));
        });
        const QString digits = point < 0 ? QString() : originTime.mid(point + 1);
        if (!digits.isEmpty()) {
            qint64 whole = 0;
            SplitTenths(inField("Время в очаге", r + 1, "столбец 3",
                                [&] { return StrToFloatAny(QStringLiteral("0.") + digits); }),
                        whole, o.tenths);
            o.time += double(whole) / 86400;
        }
        return o;
    }

    // True when no event of the table is in the database yet, or the analyst wants it written again.
    // The table is walked as the write walks it: an event's block, its stations up to an empty row.
    bool writeKnownEvents(DbConnection &db)
    {
        QHash<qint64, QSet<QString>> stationsAt; // by origin, the stations of the table's events there
        QList<Origin> origins;
        const int rows = m_table.RowCount();
        for (int r = 1; r < rows; ++r) {
            // A value the write could not take is named now, not after a question about the rest.
            m_row = r;
            const Origin o = eventAt(r).origin;
            QSet<QString> stations;
            for (r += 4; r < rows && !cell(0, r).isEmpty(); ++r)
                stations.insert(TrimBlanks(cell(0, r)));
            origins << o;
            stationsAt[o.key()] += stations;
        }
        m_row = -1;
        if (origins.isEmpty())
            return true;
        TDateTime first = origins.first().time, last = first;
        for (const Origin &o : origins) {
            first = std::min(first, o.time);
            last = std::max(last, o.time);
        }

        // The events of those days whose origin is one of the table's; then whether one of the table's
        // stations has a reading of it.
        QList<std::pair<int, Origin>> candidates;
        {
            DbQuery q(&db);
            q.SetSQL(QStringLiteral("select num,[time],[dec] from [События] where [time] between ? and ?"));
            q.SetParams({ToQDateTime(std::floor(first) - 1), ToQDateTime(std::floor(last) + 2)});
            q.Open();
            for (; !q.Eof(); q.Next()) {
                if (q.Field(0)->IsNull() || q.Field(1)->IsNull())
                    continue;
                Origin o;
                o.time = q.Field(1)->AsDateTime();
                o.tenths = q.Field(2)->IsNull() ? 0 : q.Field(2)->AsInteger();
                if (stationsAt.contains(o.key()))
                    candidates.append({q.Field(0)->AsInteger(), o});
            }
        }
        QSet<qint64> known;
        for (const auto &[num, o] : candidates) {
            DbQuery q(&db);
            q.SetSQL(QStringLiteral("select station_cod from [Станционный бюллетень] where n_equake=?"));
            q.SetParams({qlonglong(num)});
            q.Open();
            for (; !q.Eof() && !known.contains(o.key()); q.Next())
                if (stationsAt.value(o.key()).contains(TrimBlanks(q.Field(0)->AsString())))
                    known.insert(o.key());
        }
        if (known.isEmpty())
            return true;

        int count = 0;
        const Origin *earliest = nullptr;
        for (const Origin &o : origins)
            if (known.contains(o.key())) {
                ++count;
                if (!earliest || o.key() < earliest->key())
                    earliest = &o;
            }
        const QString when = FormatDateTime(QStringLiteral("dd.mm.yyyy hh:nn:ss"), earliest->time) +
                             QLatin1Char('.') + QString::number(earliest->tenths);
        // Asked before the transaction: no lock waits on the analyst.
        return MessageProc(nullptr,
                           QStringLiteral("События бюллетеня, которые уже есть в таблице \"События\" (то же "
                                          "время в очаге и та же станция): %1 из %2, первое в %3.\r\r"
                                          "Всё равно хотите внести их ещё раз?")
                               .arg(count)
                               .arg(origins.size())
                               .arg(when),
                           MB_ICONQUESTION, MB_YESNO | MB_DEFBUTTON2) == IDYES;
    }

    // The values of the event whose block starts at row r; one that does not convert is named.
    EventValues eventAt(int r) const
    {
        EventValues e;
        e.reference =
            inField("Дата и время события", r, "столбец 1", [&] { return readDateTime(cell(0, r)); });
        e.origin = originOf(r);
        e.lat = inField("Широта fi", r + 2, "столбец 2", [&] { return number(cell(1, r + 2)); });
        e.lon = inField("Долгота lam", r + 2, "столбец 4", [&] { return number(cell(3, r + 2)); });
        e.depth = inField("Глубина h", r + 2, "столбец 6", [&] {
            const QVariant v = number(cell(5, r + 2));
            return v.isNull() ? v : QVariant(qlonglong(RoundHalfEven(v.toDouble())));
        });
        e.kps = inField("Класс K", r + 1, "столбец 5", [&] { return number(cell(4, r + 1)); });
        return e;
    }

    void appendEvent(int num, const EventValues &e, int r)
    {
        DbQuery &q = *m_events;
        q.Append();
        set(q, "num", num);
        set(q, "time", e.origin.time);
        set(q, "dec", e.origin.tenths);
        set(q, "lat", e.lat);
        set(q, "lon", e.lon);
        set(q, "depdp", e.depth);
        set(q, "kps", e.kps);
        set(q, "lddate", Now());
        q.Post();
        m_eventRows << r;
    }

    void appendPhases(int num, TDateTime reference, int r)
    {
        static const char *const phases[] = {"Pn", "Pg", "Sn", "Sg"};
        DbQuery &q = *m_phases;
        for (int i = 0; i < 4; ++i) {
            const int col = 2 + 2 * i;
            double seconds = 0;
            if (!TryStrToFloatAny(cell(col, r), seconds))
                continue;
            qint64 whole = 0;
            int tenths = 0;
            SplitTenths(seconds, whole, tenths);
            q.Append();
            set(q, "n_equake", num);
            set(q, "station_cod", cell(0, r));
            set(q, "date", DateOf(reference));
            set(q, "qual", cell(col - 1, r));
            set(q, "phase", QString::fromLatin1(phases[i]));
            set(q, "channel_cod", QStringLiteral("SP"));
            set(q, "channel_component", QString::fromLatin1(i < 2 ? "Z" : "N"));
            set(q, "time", reference + double(whole) / 86400);
            set(q, "dec", tenths);
            q.Post();
            m_phaseRows << r;
        }
    }

    KrvWriteHost &m_host;
    const TD2D &m_table;
    std::unique_ptr<DbQuery> m_events, m_phases;
    QList<int> m_eventRows, m_phaseRows; // per row appended, the row of the table it came from
    bool m_askWhenKnown = false;
    bool m_opened = false, m_progress = false;
    int m_row = -1;
};

} // namespace

void SplitTenths(double Seconds, qint64 &Whole, int &Tenths)
{
    const qint64 total = RoundHalfEven(Seconds * 10);
    Whole = total >= 0 ? total / 10 : -((-total + 9) / 10);
    Tenths = int(total - Whole * 10);
}

bool WriteKrvTable(KrvWriteHost &Host, const TD2D &Table, bool AskWhenKnown)
{
    int row = -1;
    QString text;
    try {
        Writer writer(Host, Table, AskWhenKnown);
        try {
            writer.run();
            return true;
        } catch (...) {
            row = writer.row();
            throw;
        }
    } catch (const Declined &) {
        return false;
    } catch (const Aborted &) {
        text = QStringLiteral("Operation aborted");
    } catch (const std::exception &e) {
        text = ExceptionText(e);
    }
    MessageProc(nullptr, QStringLiteral("WriteKRV: строка %1. Сообщение об ошибке:\r\r").arg(row) + text,
                MB_ICONERROR, MB_OK);
    return false;
}
