#include "exchange/orx_copy/orx_copy.h"

#include "app/settings/connection_params.h"
#include "db/db_command.h"
#include "db/db_connection.h"
#include "db/db_query.h"
#include "db/table_creates.h"
#include "lib/epoch.h"
#include "lib/errors.h"
#include "lib/held_messages.h"
#include "lib/messages.h"
#include "lib/record_stream.h"
#include "lib/sql_text.h"
#include "lib/statements.h"

#include <QHash>

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <optional>

namespace {

// The arrival columns the copy carries, looked up by name without case in both tables.
enum ArrivalColumn {
    aFlag,
    aEventid,
    aNumb,
    aSta,
    aChan,
    aIphase,
    aItime,
    aDeltim,
    aAzimuth,
    aSlow,
    aEma,
    aRect,
    aFm,
    aImEm,
    aPer,
    aResiduals,
    aAmpl,
    aLddate,
    aMs,
    aMb,
    aAmptime,
    aDist,
    aRegclass,
    kArrivalColumns
};

const char *const kArrivalNames[kArrivalColumns] = {
    "Flag",    "eventid", "numb", "sta",  "chan",    "iphase", "itime",   "deltim",
    "Azimuth", "slow",    "ema",  "Rect", "FM",      "im_em",  "per",     "residuals",
    "ampl",    "lddate",  "ms",   "mb",   "amptime", "DIST",   "REGCLASS"};

bool trimmedColumn(int c)
{
    return c == aSta || c == aChan || c == aIphase || c == aEma || c == aFm || c == aImEm;
}

using ArrivalRow = std::array<QVariant, kArrivalColumns>;

// The origin columns the copy carries.
enum OriginColumn {
    oEventid,
    oLat,
    oLon,
    oDepth,
    oOrigintime,
    oRms,
    oDh,
    oDz,
    oComment,
    oLddate,
    kOriginColumns
};
const char *const kOriginNames[kOriginColumns] = {"eventid", "lat", "lon", "depth",   "origintime",
                                                  "rms",     "dh",  "dz",  "comment", "lddate"};
using OriginRow = std::array<QVariant, kOriginColumns>;

const char *const kBulletinTables[3] = {"События", "Станционный бюллетень", "Динамические замеры"};

// Ends the run after a statement runner has shown why.
struct StatementFailed
{
};

// Halves to even, as the default rounding mode does.
double roundTo(double Value, double Step)
{
    return std::nearbyint(Value / Step) * Step;
}

bool isText(const QVariant &v)
{
    return !v.isNull() && v.typeId() == QMetaType::QString;
}

QString textOf(const QVariant &v)
{
    return v.isNull() ? QString() : v.toString().trimmed();
}

// Calendar parts of an epoch: the day, the date-time to the second and the tenths.
struct SplitTime
{
    TDateTime day = 0, time = 0;
    int tenths = 0;
};

SplitTime splitEpoch(double Epoch)
{
    quint16 y, m, d, h, n, s, frac;
    if (!etoh(Epoch, y, m, d, h, n, s, frac, false))
        throw EConvertError(QStringLiteral("Время вне допустимого диапазона: ") + SqlNumber(Epoch));
    SplitTime t;
    t.day = EncodeDate(y, m, d);
    t.time = t.day + EncodeTime(h, n, s, 0);
    t.tenths = frac;
    return t;
}

double epochOf(TDateTime Value)
{
    int y, m, d, h, n, s, ms;
    DecodeDateTime(Value, y, m, d, h, n, s, ms);
    return htoe(quint16(y), quint16(m), quint16(d), quint16(h), quint16(n), s + ms / 1000.0);
}

// A station channel name: its band code (first two characters) and component (the third).
void splitChannel(const QVariant &Chan, QString &Code, QString &Component)
{
    const QString s = textOf(Chan);
    if (s.size() >= 2)
        Code = s.left(2);
    if (!s.isEmpty())
        Component = s.size() >= 3 ? s.mid(2, 1) : QString();
}

QVariant textOrNull(const QString &s)
{
    return s.isEmpty() ? QVariant() : QVariant(s);
}

// Rows a server takes in one INSERT: a round trip to an ORX server elsewhere costs more than the rows.
constexpr int kRowsPerStatement = 1000;

class Run
{
public:
    Run(OrxCopyHost &host, OrxCopyStats &stats) : m_host(host), m_stats(stats) {}
    ~Run();
    void exec();

private:
    bool act(DbQuery &q, const QString &sql);
    void exe(const QString &sql);
    void createMissingTables();
    bool periodEventsReplaceable();
    void createWorkingCopy(const QString &name, const char *orxTable, bool keyed);
    void readOrx();
    QList<ArrivalRow> readArrivals(DbQuery &q);
    int orxCount(const QString &eventid);
    void clearPeriod();
    void copyArrivals();
    void copyOrigins();
    void buildBulletin();
    void progress(int pos) { m_host.SetProgress(pos); }

    OrxCopyHost &m_host;
    OrxCopyStats &m_stats;
    DbConnection *m_orx = nullptr;
    DbConnection *m_bul = nullptr;
    std::unique_ptr<DbCommand> m_cmd;
    QStringList m_tables;
    QString m_code, m_fromLit, m_toLit, m_originCopy, m_arrivalCopy;
    bool m_progressShown = false;
    std::optional<HeldTransaction> m_transaction;
    QList<ArrivalRow> m_arrivals; // the station's arrivals of the period, in time order
    QList<OriginRow> m_origins;   // their events, in identifier order
};

Run::~Run()
{
    // Every path ends here: what was not committed is undone (and only then is anything said), and both
    // connections close.
    m_transaction.reset();
    if (m_progressShown)
        m_host.HideProgress();
    m_cmd.reset();
    if (m_orx)
        m_host.CloseDB_ADO(*m_orx);
    if (m_bul)
        m_host.CloseDB_ADO(*m_bul);
}

bool Run::act(DbQuery &q, const QString &sql)
{
    ++m_stats.statements;
    if (!QAct(q, sql))
        throw StatementFailed();
    return true;
}

void Run::exe(const QString &sql)
{
    ++m_stats.statements;
    if (!QExe(*m_cmd, sql))
        throw StatementFailed();
}

void Run::exec()
{
    if (!m_host.AskPeriod())
        return;
    Tsett &sett = m_host.Settings();
    m_code = m_host.CurrentStationSection();

    QString source, user, password;
    m_host.GetOrxConnParams(source, user, password);
    if (!m_host.OpenDB_ADO(m_host.OrxConnection(), source, user, password, false))
        return;
    m_orx = &m_host.OrxConnection();
    if (!m_host.GetStationDBParams(source, user, password, -1, false))
        return;
    if (!m_host.OpenDB_ADO(m_host.BulletinConnection(), source, user, password, false))
        return;
    m_bul = &m_host.BulletinConnection();
    m_cmd = std::make_unique<DbCommand>(m_bul);

    m_tables = m_bul->TableNames();
    createMissingTables();
    m_host.SqlDateRange(m_fromLit, m_toLit, sett.start_date, sett.end_date);

    const bool direct = IsDirectMode(sett);
    m_originCopy = direct ? QStringLiteral("origin_st") : QStringLiteral("origin");
    m_arrivalCopy = direct ? QStringLiteral("arrival_st") : QStringLiteral("arrival");
    if (direct) {
        createWorkingCopy(m_originCopy, "origin", true);
        createWorkingCopy(m_arrivalCopy, "arrival", false);
    }

    // Everything is read from ORX before the bulletin database is touched: a period without data
    // warns and leaves the analyst's rows alone.
    readOrx();
    if (m_arrivals.isEmpty()) {
        MessageProc(m_host.Owner(),
                    QStringLiteral("Данные по станции \"") + CutForMessage(m_code) +
                        QStringLiteral("\" за этот период отсутствуют"),
                    MB_ICONWARNING, MB_OK);
        return;
    }
    m_host.CloseDB_ADO(*m_orx);
    m_orx = nullptr;
    if (m_origins.isEmpty()) {
        MessageProc(m_host.Owner(), QStringLiteral("count_in = 0, импорт прерван"), MB_ICONERROR, MB_OK);
        return;
    }

    if (!periodEventsReplaceable())
        return;

    m_host.ShowProgress(QStringLiteral("Импорт из ORX"), 999);
    m_progressShown = true;
    // The bulletin database is locked for other writers until the commit: what goes wrong is said once
    // the transaction is rolled back.
    m_transaction.emplace(*m_bul);
    clearPeriod();
    copyArrivals();
    copyOrigins();
    progress(599);
    buildBulletin();
    m_transaction->commit();
}

// The period's events are deleted with their readings; a reading of one of them outside the period (one
// added by hand on the event page, or of another day) would keep its event, and the database refuses
// the delete. Said before anything is changed, naming the events.
bool Run::periodEventsReplaceable()
{
    const QString inPeriod =
        QStringLiteral("[Date] between ") + m_fromLit + QStringLiteral(" and ") + m_toLit;
    DbQuery q(m_bul);
    act(q, QStringLiteral("select N_equake,count(*) from [Станционный бюллетень] where N_equake in (select "
                          "N_equake from [Станционный бюллетень] where ") +
               inPeriod + QStringLiteral(") and ([Date] is null or not (") + inPeriod +
               QStringLiteral(")) group by N_equake order by N_equake"));
    QStringList events;
    qint64 readings = 0;
    for (q.First(); !q.Eof(); q.Next()) {
        events << QString::number(q.Field(0)->AsLargeInt());
        readings += q.Field(1)->AsLargeInt();
    }
    q.Close();
    if (events.isEmpty())
        return true;
    constexpr int kNamed = 20;
    const qsizetype more = events.size() - kNamed;
    if (more > 0)
        events = events.mid(0, kNamed) << QStringLiteral("и ещё ") + QString::number(more);
    const Tsett &sett = m_host.Settings();
    MessageProc(
        m_host.Owner(),
        QStringLiteral("ImportOrx: Импорт прерван, база данных станции не изменена.\r\rУ событий № ") +
            CutForMessage(events.join(QStringLiteral(", ")), MaxQuotedStatementChars) +
            QStringLiteral(" есть отсчёты с датой вне периода или без даты (всего ") +
            QString::number(readings) + QStringLiteral("), период ") +
            FormatDateTime(QStringLiteral("dd.mm.yyyy"), sett.start_date) + QStringLiteral(" - ") +
            FormatDateTime(QStringLiteral("dd.mm.yyyy"), sett.end_date) +
            QStringLiteral(": эти отсчёты не из ORX за этот период, например добавлены вручную на "
                           "странице событий. Импорт из ORX заменяет события периода целиком, а "
                           "событие с такими отсчётами удалить нельзя.\rИсправьте дату этих "
                           "отсчётов или удалите их либо выберите период, который их включает, и "
                           "повторите импорт."),
        MB_ICONWARNING, MB_OK);
    return false;
}

void Run::createMissingTables()
{
    for (int i = 0; i < 3; ++i) {
        const QString name = QString::fromUtf8(kBulletinTables[i]);
        if (!m_tables.contains(name, Qt::CaseInsensitive)) {
            exe(QString::fromUtf8(BulletinTableCreates()[i]));
            m_tables << name;
        }
    }
}

void Run::createWorkingCopy(const QString &name, const char *orxTable, bool keyed)
{
    if (m_tables.contains(name, Qt::CaseInsensitive))
        return;
    const QString table = QString::fromLatin1(orxTable);
    DbQuery q(m_orx);
    act(q, QStringLiteral("select * from ") + table + QStringLiteral(" where eventid='0'"));
    QString columns;
    if (!copytablestruc(q, columns)) {
        MessageProc(m_host.Owner(),
                    QStringLiteral("Структура ") + table + QStringLiteral(" не поддерживается"), MB_ICONERROR,
                    MB_OK);
        throw StatementFailed();
    }
    exe(QStringLiteral("create table ") + name + QStringLiteral(" (") + columns +
        (keyed ? QStringLiteral(",primary key (eventid))") : QStringLiteral(")")));
    q.Close();
    m_tables << name;
}

QList<ArrivalRow> Run::readArrivals(DbQuery &q)
{
    std::array<TField *, kArrivalColumns> fields{};
    for (int c = 0; c < kArrivalColumns; ++c)
        fields[c] = q.FindField(QString::fromLatin1(kArrivalNames[c]));
    QList<ArrivalRow> rows;
    rows.reserve(q.RecordCount());
    for (q.First(); !q.Eof(); q.Next()) {
        ArrivalRow row;
        for (int c = 0; c < kArrivalColumns; ++c) {
            if (!fields[c] || fields[c]->IsNull())
                continue;
            row[c] = fields[c]->Value();
            if (trimmedColumn(c) && isText(row[c]))
                row[c] = row[c].toString().trimmed();
        }
        rows << row;
    }
    return rows;
}

int Run::orxCount(const QString &eventid)
{
    DbQuery q(m_orx);
    act(q, QStringLiteral("select count(*) as count_ORX from arrival where eventid = ") + SqlQuote(eventid) +
               QStringLiteral(" and rtrim(sta) = ") + SqlQuote(m_code));
    return q.Field(0)->AsInteger();
}

void Run::readOrx()
{
    const Tsett &sett = m_host.Settings();
    double lower = 0, upper = 0;
    OrxPeriodBounds(sett.start_date, sett.end_date, lower, upper);
    DbQuery q(m_orx);
    act(q, QStringLiteral("Select * from arrival where rtrim(sta) = ") + SqlQuote(m_code) +
               QStringLiteral(" and itime >= ") + SqlNumber(lower) + QStringLiteral(" and itime < ") +
               SqlNumber(upper) + QStringLiteral(" order by itime"));
    m_arrivals = readArrivals(q);
    q.Close();
    if (m_arrivals.isEmpty())
        return;

    // The edges: an event whose first arrivals at the station came before the period belongs to the
    // period before; one that goes on past the end is taken whole.
    const auto eventOf = [](const ArrivalRow &r) { return textOf(r[aEventid]); };
    const auto countOf = [&](const QString &ev) {
        return int(std::count_if(m_arrivals.begin(), m_arrivals.end(),
                                 [&](const ArrivalRow &r) { return eventOf(r) == ev; }));
    };
    const auto dropEvent = [&](const QString &ev) {
        m_arrivals.removeIf([&](const ArrivalRow &r) { return eventOf(r) == ev; });
    };
    const QString first = eventOf(m_arrivals.first());
    const QString last = eventOf(m_arrivals.last());
    if (orxCount(first) > countOf(first))
        dropEvent(first);
    if (orxCount(last) > countOf(last)) {
        dropEvent(last);
        act(q, QStringLiteral("select * from arrival where eventid = ") + SqlQuote(last) +
                   QStringLiteral(" and rtrim(sta) = ") + SqlQuote(m_code));
        m_arrivals += readArrivals(q);
        q.Close();
    }

    // The events of the copied arrivals, fetched by identifier: a range over a text column would take
    // in events the station never recorded and misorder identifiers of different lengths.
    QStringList ids;
    for (const ArrivalRow &r : m_arrivals)
        ids << eventOf(r);
    std::sort(ids.begin(), ids.end(), EventIdLess);
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    constexpr int kChunk = 200;
    for (qsizetype from = 0; from < ids.size(); from += kChunk) {
        QStringList quoted;
        for (qsizetype i = from; i < std::min(ids.size(), from + kChunk); ++i)
            quoted << SqlQuote(ids[i]);
        act(q, QStringLiteral("Select * from origin where eventid in (") + quoted.join(QLatin1Char(',')) +
                   QLatin1Char(')'));
        std::array<TField *, kOriginColumns> fields{};
        for (int c = 0; c < kOriginColumns; ++c)
            fields[c] = q.FindField(QString::fromLatin1(kOriginNames[c]));
        if (!fields[oComment])
            fields[oComment] = q.FindField(QStringLiteral("comments"));
        for (q.First(); !q.Eof(); q.Next()) {
            OriginRow row;
            for (int c = 0; c < kOriginColumns; ++c)
                if (fields[c] && !fields[c]->IsNull())
                    row[c] = fields[c]->Value();
            row[oEventid] = textOf(row[oEventid]);
            m_origins << row;
        }
        q.Close();
    }
    std::stable_sort(m_origins.begin(), m_origins.end(), [](const OriginRow &a, const OriginRow &b) {
        return EventIdLess(a[oEventid].toString(), b[oEventid].toString());
    });
}

void Run::clearPeriod()
{
    const QString period =
        QStringLiteral(" where [Date] between ") + m_fromLit + QStringLiteral(" and ") + m_toLit;
    exe(QStringLiteral("delete from ") + m_originCopy);
    exe(QStringLiteral("delete from ") + m_arrivalCopy);
    exe(QStringLiteral("delete from [Динамические замеры] where arid in (select arid from [Станционный "
                       "бюллетень]") +
        period + QLatin1Char(')'));
    DbQuery q(m_bul);
    act(q, QStringLiteral("select distinct N_equake from [Станционный бюллетень]") + period);
    QStringList nums;
    for (q.First(); !q.Eof(); q.Next())
        if (!q.Field(0)->IsNull())
            nums << QString::number(q.Field(0)->AsInteger());
    q.Close();
    exe(QStringLiteral("delete from [Станционный бюллетень]") + period);
    if (!nums.isEmpty())
        exe(QStringLiteral("delete from События where num in (") + nums.join(QLatin1Char(',')) +
            QLatin1Char(')'));
}

// Appends the rows to Dest, moving the bar from PosFrom to PosTo on every fifth row.
void CopyArrivalRecord(DbQuery &Dest, const QList<ArrivalRow> &Rows, OrxCopyHost &Progress, int PosFrom,
                       int PosTo)
{
    std::array<TField *, kArrivalColumns> fields{};
    for (int c = 0; c < kArrivalColumns; ++c)
        fields[c] = Dest.FindField(QString::fromLatin1(kArrivalNames[c]));
    const qsizetype count = Rows.size();
    for (qsizetype i = 0; i < count; ++i) {
        Dest.Append();
        for (int c = 0; c < kArrivalColumns; ++c)
            if (fields[c] && !Rows[i][c].isNull())
                fields[c]->SetValue(Rows[i][c]);
        Dest.Post();
        if (i % 5 == 0)
            Progress.SetProgress(int(std::lround(PosFrom + double(i) / count * (PosTo - PosFrom))));
    }
    Progress.SetProgress(PosTo);
}

void Run::copyArrivals()
{
    DbQuery dest(m_bul);
    dest.SetInsertBatch(kRowsPerStatement);
    act(dest, QStringLiteral("select * from ") + m_arrivalCopy);
    CopyArrivalRecord(dest, m_arrivals, m_host, 0, 199);
    dest.FlushInserts();
    m_stats.arrivals = int(m_arrivals.size());
}

void Run::copyOrigins()
{
    DbQuery dest(m_bul);
    dest.SetInsertBatch(kRowsPerStatement);
    act(dest, QStringLiteral("select * from ") + m_originCopy);
    std::array<TField *, kOriginColumns> fields{};
    for (int c = 0; c < kOriginColumns; ++c)
        fields[c] = dest.FindField(QString::fromLatin1(kOriginNames[c]));
    if (!fields[oComment])
        fields[oComment] = dest.FindField(QStringLiteral("comments"));
    const qsizetype n = m_origins.size();
    for (qsizetype i = 0; i < n; ++i) {
        const OriginRow &row = m_origins[i];
        dest.Append();
        for (int c = 0; c < kOriginColumns; ++c) {
            if (!fields[c] || row[c].isNull())
                continue;
            // The copy only marks that the event has a comment; its text stays in ORX.
            if (c == oComment)
                fields[c]->SetValue(textOf(row[c]).isEmpty() ? QVariant() : QVariant(QStringLiteral(" ")));
            else
                fields[c]->SetValue(row[c]);
        }
        dest.Post();
        if (i % 5 == 0)
            progress(int(std::lround(200 + double(i) / n * 199)));
    }
    dest.FlushInserts();
    progress(399);
    m_stats.origins = int(n);
}

// The measurement row of one reading, gathered over the channels of the reading before it is stored.
struct Measurement
{
    bool present = false;
    int reading = -1; // the reading's row in its dataset, whose counter the measurement refers to
    QVariant code, component, time, tenths;
    QVariant periodZ, ampZ, periodNs, ampNs, periodEw, ampEw, magnitude, klass;
};

void Run::buildBulletin()
{
    DbQuery q(m_bul);
    act(q, QStringLiteral("select max(num) as num_max from События"));
    int running = q.Field(0)->IsNull() ? 0 : q.Field(0)->AsInteger();
    q.Close();

    DbQuery ev(m_bul), rd(m_bul), xm(m_bul);
    for (DbQuery *d : {&ev, &rd, &xm})
        d->SetInsertBatch(kRowsPerStatement);
    act(ev, QStringLiteral("select * from События where 1=0"));
    act(rd, QStringLiteral("select * from [Станционный бюллетень] where 1=0"));
    act(xm, QStringLiteral("select * from [Динамические замеры] where 1=0"));
    const auto set = [](DbQuery &d, const char *field, const QVariant &v) {
        if (!v.isNull())
            d.FindField(QString::fromLatin1(field))->SetValue(v);
    };

    QHash<QString, QList<const ArrivalRow *>> byEvent;
    for (const ArrivalRow &r : m_arrivals)
        byEvent[textOf(r[aEventid])] << &r;

    // A measurement refers to its reading's counter, which comes back once the reading is in the table:
    // they wait until a batch of readings has gone.
    const int aridField = static_cast<DbField *>(rd.FieldByName(QStringLiteral("arid")))->Index();
    QList<Measurement> waiting;
    const auto storeMeasurements = [&] {
        rd.FlushInserts();
        for (const Measurement &w : std::as_const(waiting)) {
            xm.Append();
            set(xm, "arid", rd.RowValue(w.reading, aridField));
            set(xm, "Channel_CodXM", w.code);
            set(xm, "Channel_componentXM", w.component);
            set(xm, "TimeXM", w.time);
            set(xm, "DecXm", w.tenths);
            set(xm, "Period_Z", w.periodZ);
            set(xm, "Amp_Z", w.ampZ);
            set(xm, "Period_NS", w.periodNs);
            set(xm, "Amp_NS", w.ampNs);
            set(xm, "Period_EW", w.periodEw);
            set(xm, "Amp_EW", w.ampEw);
            set(xm, "Magnitude_Z", w.magnitude);
            set(xm, "Klass_Z", w.klass);
            xm.Post();
        }
        waiting.clear();
    };
    Measurement m;
    const auto storeMeasurement = [&] {
        if (!m.present)
            return;
        waiting << m;
        if (waiting.size() >= kRowsPerStatement)
            storeMeasurements();
        ++m_stats.measurements;
        m = Measurement();
    };
    const qsizetype n = m_origins.size();
    for (qsizetype i = 0; i < n; ++i) {
        progress(int(std::lround(600 + double(i) / n * 399)));
        const OriginRow &origin = m_origins[i];
        QList<const ArrivalRow *> rows = byEvent.value(origin[oEventid].toString());
        if (rows.isEmpty())
            continue;
        // In time order, channels of one time by name from the last.
        std::stable_sort(rows.begin(), rows.end(), [](const ArrivalRow *a, const ArrivalRow *b) {
            const QVariant &ta = (*a)[aItime], &tb = (*b)[aItime];
            if (ta.isNull() != tb.isNull())
                return ta.isNull();
            if (!ta.isNull() && ta.toDouble() != tb.toDouble())
                return ta.toDouble() < tb.toDouble();
            const QVariant &ca = (*a)[aChan], &cb = (*b)[aChan];
            if (ca.isNull() != cb.isNull())
                return cb.isNull();
            return ca.toString() > cb.toString();
        });

        ++running;
        ev.Append();
        set(ev, "num", running);
        if (!origin[oOrigintime].isNull()) {
            const SplitTime t = splitEpoch(origin[oOrigintime].toDouble());
            set(ev, "Time", t.time);
            set(ev, "Dec", t.tenths);
        }
        set(ev, "lat", origin[oLat]);
        set(ev, "lon", origin[oLon]);
        if (!origin[oDepth].isNull())
            set(ev, "depdp", qlonglong(std::nearbyint(origin[oDepth].toDouble())));
        set(ev, "lddate", origin[oLddate]);
        const ArrivalRow &firstRow = *rows.first();
        if (IsOrxPGroup(textOf(firstRow[aIphase]))) {
            set(ev, "deltagr", firstRow[aDist]);
            set(ev, "seaz", firstRow[aAzimuth]);
            set(ev, "emares", firstRow[aEma]);
            set(ev, "Kps", firstRow[aRegclass]);
        }
        ev.Post();
        ++m_stats.events;

        // A reading continues only within its event: an arrival of another event at the same time and
        // phase is a reading of its own.
        int reading = -1;
        double prevItime = 0;
        QString prevPhase = QStringLiteral("?");
        for (const ArrivalRow *row : rows) {
            const ArrivalRow &r = *row;
            QString code, component;
            splitChannel(r[aChan], code, component);
            const double ampl = r[aAmpl].isNull() ? 0 : roundTo(r[aAmpl].toDouble(), 0.001);
            const double per = r[aPer].isNull() ? 0 : r[aPer].toDouble();
            const QString iphase = r[aIphase].isNull() ? QString() : r[aIphase].toString();
            const bool continuation = !r[aItime].isNull() && reading >= 0 &&
                                      r[aItime].toDouble() == prevItime && !r[aIphase].isNull() &&
                                      iphase == prevPhase;
            if (!continuation) {
                storeMeasurement();
                rd.Append();
                set(rd, "N_equake", running);
                set(rd, "Station_Cod", r[aSta].isNull() ? QVariant() : QVariant(textOf(r[aSta])));
                if (!r[aItime].isNull()) {
                    const SplitTime t = splitEpoch(r[aItime].toDouble());
                    set(rd, "Date", t.day);
                    set(rd, "Time", t.time);
                    set(rd, "Dec", t.tenths);
                    prevItime = r[aItime].toDouble();
                }
                const QString fm = textOf(r[aFm]).toUpper();
                if (fm == QLatin1String("C") || fm == QLatin1String("U") || fm == QLatin1String("+"))
                    set(rd, "FM", QStringLiteral("+"));
                else if (fm == QLatin1String("D") || fm == QLatin1String("R") || fm == QLatin1String("-"))
                    set(rd, "FM", QStringLiteral("-"));
                const QString qual = textOf(r[aImEm]).toUpper();
                if (qual == QLatin1String("Q") || qual == QLatin1String("E") || qual == QLatin1String("I"))
                    set(rd, "Qual", qual);
                if (!r[aIphase].isNull()) {
                    const QString p = iphase.trimmed();
                    if (p == QLatin1String("E") || p == QLatin1String("I") || p == QLatin1String("Q"))
                        set(rd, "Phase", QStringLiteral(" "));
                    else
                        set(rd, "Phase", p);
                    prevPhase = iphase;
                }
                set(rd, "Channel_Cod", textOrNull(code));
                set(rd, "Channel_component", textOrNull(component));
                rd.Post();
                reading = rd.CurrentRow();
                ++m_stats.readings;
            }
            if (per == 0 || ampl == 0)
                continue;
            const QString phase = iphase.trimmed();
            if (!m.present) {
                m.present = true;
                m.reading = reading;
                m.code = textOrNull(code);
                m.component = textOrNull(component);
                const QVariant &when =
                    (!r[aAmptime].isNull() && phase != QLatin1String("LRM")) ? r[aAmptime] : r[aItime];
                if (!when.isNull()) {
                    const SplitTime t = splitEpoch(when.toDouble());
                    m.time = t.time;
                    m.tenths = t.tenths;
                }
            }
            if (component == QLatin1String("Z") || component.isEmpty()) {
                m.periodZ = per;
                m.ampZ = ampl;
            } else if (component == QLatin1String("N")) {
                m.periodNs = per;
                m.ampNs = ampl;
            } else if (component == QLatin1String("E")) {
                m.periodEw = per;
                m.ampEw = ampl;
            }
            if (!r[aMb].isNull() && r[aMb].toDouble() != 0 && IsOrxPGroup(phase))
                m.magnitude = roundTo(r[aMb].toDouble(), 0.1);
            if (!r[aMs].isNull() && r[aMs].toDouble() != 0 &&
                (phase == QLatin1String("LRM") || phase == QLatin1String("LR")))
                m.magnitude = roundTo(r[aMs].toDouble(), 0.1);
            if (!r[aRegclass].isNull())
                m.klass = r[aRegclass];
        }
        storeMeasurement();
    }
    storeMeasurements();
    xm.FlushInserts();
    progress(999);
}

} // namespace

void OrxPeriodBounds(TDateTime StartDate, TDateTime EndDate, double &Lower, double &Upper)
{
    // The clearing takes whole days: a time of day would read less than it deleted at the start, and
    // on into the next day at the end.
    Lower = epochOf(DateOf(StartDate));
    Upper = epochOf(DateOf(EndDate) + 1.0);
}

bool EventIdLess(const QString &A, const QString &B)
{
    const auto digits = [](const QString &s) {
        return !s.isEmpty() &&
               std::all_of(s.begin(), s.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
    };
    const QString a = A.trimmed(), b = B.trimmed();
    const bool da = digits(a), db = digits(b);
    if (da != db)
        return da;
    if (da) {
        const auto significant = [](const QString &s) {
            qsizetype i = 0;
            while (i + 1 < s.size() && s[i] == u'0')
                ++i;
            return QStringView(s).mid(i);
        };
        const QStringView sa = significant(a), sb = significant(b);
        if (sa.size() != sb.size())
            return sa.size() < sb.size();
        if (sa != sb)
            return sa < sb;
    }
    return a < b;
}

bool IsOrxPGroup(const QString &Phase)
{
    static const char *const names[] = {"P", "Pdif", "PKP", "PKHKP", "PKIKP", "PKP2", "Pg", "Pn"};
    const QString p = Phase.trimmed();
    return std::any_of(std::begin(names), std::end(names),
                       [&](const char *n) { return p == QLatin1String(n); });
}

void ImportOrx(OrxCopyHost &Host, OrxCopyStats *Stats)
{
    OrxCopyStats local;
    OrxCopyStats &stats = Stats ? *Stats : local;
    try {
        Run run(Host, stats);
        run.exec();
    } catch (const StatementFailed &) {
        // The statement runner has shown the statement and the reason.
    } catch (const std::exception &e) {
        MessageProc(Host.Owner(),
                    QStringLiteral("ImportOrx: Импорт прерван. Сообщение об ошибке:\r") + ExceptionText(e),
                    MB_ICONERROR, MB_OK);
    }
}
