#include "demo_data.h"

#include "db/db_command.h"
#include "db/db_connection.h"
#include "db/table_creates.h"
#include "lib/codec.h"
#include "lib/coordinates.h"
#include "lib/date_routines.h"
#include "lib/datetime.h"
#include "lib/epoch.h"
#include "lib/errors.h"
#include "lib/ini_file.h"
#include "lib/safe_write.h"

#include <QDir>
#include <QFile>
#include <QList>
#include <QVariant>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
#include <memory>
#include <numeric>

namespace {

constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
constexpr double kKmPerDegree = 111.195;
constexpr double kPi = 3.14159265358979323846;

// splitmix64: the same numbers on every compiler and library, which std's distributions do not promise.
class Rng
{
public:
    explicit Rng(quint64 seed) : m_state(seed) {}
    quint64 next()
    {
        quint64 z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    double uniform() { return double(next() >> 11) * 0x1.0p-53; }
    double range(double from, double to) { return from + (to - from) * uniform(); }
    bool chance(double p) { return uniform() < p; }

private:
    quint64 m_state;
};

double roundTo(double value, double step)
{
    return double(RoundHalfEven(value / step)) * step;
}

struct StationDef
{
    const char *code;
    const char *intl;
    const char *name;
    double lat, lon, elev;
    bool mediumPeriod;
};

const StationDef kStations[] = {
    {"PET", "PET", "Петропавловск-Камчатский", 53.0236, 158.6500, 110, true},
    {"MNK", "MNK", "Минск", 54.1048, 27.4175, 210, false},
    {"OBN", "OBN", "Обнинск", 55.1146, 36.5674, 160, true},
    {"KIV", "KIV", "Кисловодск", 43.9562, 42.6888, 1054, false},
    {"ARU", "ARU", "Арти", 56.4302, 58.5625, 250, true},
    {"TLY", "TLY", "Талая", 51.6807, 103.6438, 579, false},
    {"YAK", "YAK", "Якутск", 62.0310, 129.6805, 110, true},
    {"SEY", "SEY", "Сеймчан", 62.9318, 152.3717, 207, false},
    {"MAG", "MA2", "Магадан", 59.5756, 150.7700, 339, true},
    {"NRL", "NRIL", "Норильск", 69.5049, 88.4414, 599, false},
    {"BIL", "BILL", "Билибино", 68.0651, 166.4524, 320, false},
};

struct RegionDef
{
    const char *name;
    double lat, lon;
    double minDepth, maxDepth;
    double minMag, maxMag;
    double weight;
};

const RegionDef kRegions[] = {
    {"Камчатка", 53.0, 160.5, 5, 90, 3.2, 6.0, 4},
    {"Курильские острова", 46.5, 152.5, 10, 120, 3.8, 6.2, 3},
    {"Япония", 38.3, 142.4, 10, 60, 4.0, 6.4, 3},
    {"Байкал", 52.0, 106.0, 5, 25, 2.8, 5.0, 2},
    {"Алтай", 50.0, 88.0, 5, 30, 3.0, 5.2, 1},
    {"Тянь-Шань", 42.0, 78.0, 5, 30, 3.5, 5.5, 2},
    {"Гиндукуш", 36.5, 70.8, 180, 230, 4.0, 5.8, 1},
    {"Кавказ", 42.5, 44.5, 5, 40, 3.0, 5.0, 1},
    {"Вранча", 45.7, 26.6, 90, 150, 3.5, 5.2, 1},
    {"Алеутские острова", 52.0, -176.0, 10, 60, 4.2, 6.3, 2},
};

// Instruments by band, as sitechan describes them and the bulletin names its channels ("СКМ-3_SP").
QString instrumentOf(const QString &band)
{
    if (band == QLatin1String("SP"))
        return QStringLiteral("СКМ-3");
    if (band == QLatin1String("MP"))
        return QStringLiteral("СМ-3");
    return QStringLiteral("СКД");
}

QStringList bandsOf(const StationDef &s)
{
    return s.mediumPeriod ? QStringList{QStringLiteral("SP"), QStringLiteral("MP"), QStringLiteral("LP")}
                          : QStringList{QStringLiteral("SP"), QStringLiteral("LP")};
}

struct FilterDef
{
    const char *band;
    double low, high;
};

// The filter each band's amplitudes are read through; written to filters.txt and named in pfiltype.
const FilterDef kFilters[] = {
    {"SP", 0.5, 5},    {"SP", 1.25, 2.5}, {"MP", 0.1, 1},
    {"LP", 0.03, 0.1}, {"BP", 0.01, 10},  {"UP", 0.002, 0.02},
};

// MSK-85 name, phase as the ORX data spells it, multiplier, channels. Short-period amplitudes are
// stored in micrometres and go into the summary in nanometres.
const char *const kWaves[][4] = {
    {"P", "P", "1", "SP=1000 MP"},
    {"PN", "Pn", "1", "SP=1000 MP"},
    {"PG", "Pg", "1", "SP=1000 MP"},
    {"pP", "pP", "1", "SP=1000 MP"},
    {"PCP", "PcP", "1", "SP=1000 MP"},
    {"PP", "PP", "1", "SP=1000 MP"},
    {"PKP", "PKP", "1", "SP=1000 MP"},
    {"S", "S", "1", "SP=1000 MP"},
    {"SN", "Sn", "1", "SP=1000 MP"},
    {"SG", "Sg", "1", "SP=1000 MP"},
    {"SKS", "SKS", "1", "SP=1000 MP"},
    {"SCS", "ScS", "1", "SP=1000 MP"},
    {"SS", "SS", "1", "SP=1000 MP"},
    {"LQ", "LQ", "1", "*"},
    {"LR", "LR", "1", "*"},
};

QString filterText(const QString &band)
{
    for (const FilterDef &f : kFilters)
        if (band == QLatin1String(f.band))
            return QStringLiteral("%1 %2 2 B C")
                .arg(QString::number(f.low, 'f', 4), QString::number(f.high, 'f', 4));
    return QString();
}

struct Event
{
    QString eventid;
    int orid = 0;
    double lat = 0, lon = 0, depth = 0;
    double time = 0; // epoch seconds
    double mb = kNone, ms = kNone;
    QString comment;
    TDateTime lddate = 0;
};

struct Arrival
{
    int arid = 0;
    int event = 0;
    int station = 0;
    int numb = 0;
    QString iphase, chan, band;
    double itime = 0;
    double dist = 0, azimuth = 0;
    int ampPriority = 5;
    bool first = false;
    bool pType = false, sType = false, surface = false;
    QString fm, imEm;
    double ema = kNone, slow = kNone, residual = kNone;
    double per = kNone, ampl = kNone, amptime = kNone;
    double mb = kNone, ms = kNone, regclass = kNone;
    int measurements = 0;
    bool hasAmplitude() const { return !std::isnan(ampl); }
};

struct DemoModel
{
    QList<int> stations; // indexes into kStations
    QList<Event> events;
    QList<Arrival> arrivals;
};

// Distance (degrees) and azimuth from the station to the epicentre on a sphere.
void distAz(double staLat, double staLon, double evLat, double evLon, double &deg, double &az)
{
    const double r = kPi / 180;
    const double p1 = staLat * r, p2 = evLat * r, dl = (evLon - staLon) * r;
    const double c = std::sin(p1) * std::sin(p2) + std::cos(p1) * std::cos(p2) * std::cos(dl);
    deg = std::acos(std::clamp(c, -1.0, 1.0)) / r;
    az = std::atan2(std::sin(dl) * std::cos(p2),
                    std::cos(p1) * std::sin(p2) - std::sin(p1) * std::cos(p2) * std::cos(dl)) /
         r;
    if (az < 0)
        az += 360;
}

struct PhaseDef
{
    QString name;
    double travel;
};

// The phases a station may read for an event, in the order they are picked, with rough travel times.
QList<PhaseDef> phaseCatalogue(double deg, double depth)
{
    const double km = deg * kKmPerDegree;
    if (deg < 1.5)
        return {{QStringLiteral("Pg"), km / 6.1 + 0.5},
                {QStringLiteral("Sg"), km / 3.55 + 0.8},
                {QStringLiteral("LR"), km / 3.1 + 4},
                {QStringLiteral("LQ"), km / 3.4 + 3},
                {QStringLiteral("LRM"), km / 2.9 + 6}};
    if (deg < 15)
        return {{QStringLiteral("Pn"), km / 8.05 + 6.5}, {QStringLiteral("Sn"), km / 4.6 + 11},
                {QStringLiteral("LR"), km / 3.1 + 4},    {QStringLiteral("LQ"), km / 3.4 + 3},
                {QStringLiteral("LRM"), km / 2.9 + 6},   {QStringLiteral("Pg"), km / 6.1 + 0.5},
                {QStringLiteral("Sg"), km / 3.55 + 0.8}};
    const double d = deg - 20;
    const double tp = deg < 20 ? 5 + 13.7 * deg : 279 + 8.0 * d - 0.012 * d * d;
    const double ts = 1.8 * tp;
    const bool core = deg >= 100;
    return {{core ? QStringLiteral("PKP") : QStringLiteral("P"), tp},
            {core ? QStringLiteral("SKS") : QStringLiteral("S"), ts},
            {QStringLiteral("LR"), km / 3.9},
            {QStringLiteral("LQ"), km / 4.4},
            {QStringLiteral("LRM"), km / 3.3},
            {QStringLiteral("PP"), tp * 1.25},
            {QStringLiteral("pP"), tp + 2 + depth / 3},
            {QStringLiteral("SS"), ts * 1.22},
            {QStringLiteral("PcP"), tp + 3 + 1.6 * std::max(0.0, 95 - deg)},
            {QStringLiteral("ScS"), ts + 5 + 1.2 * std::max(0.0, 95 - deg)}};
}

bool isPType(const QString &phase)
{
    return phase == QLatin1String("P") || phase == QLatin1String("Pn") || phase == QLatin1String("Pg") ||
           phase == QLatin1String("PKP");
}

bool isSType(const QString &phase)
{
    return phase == QLatin1String("S") || phase == QLatin1String("Sn") || phase == QLatin1String("Sg") ||
           phase == QLatin1String("SKS");
}

bool isSurface(const QString &phase)
{
    return phase == QLatin1String("LR") || phase == QLatin1String("LQ") || phase == QLatin1String("LRM");
}

// Which readings get an amplitude first when not all of them do: the surface-wave maximum, then the
// surface and the main body waves.
int ampPriority(const QString &phase)
{
    if (phase == QLatin1String("LRM"))
        return 0;
    if (phase == QLatin1String("LR"))
        return 1;
    if (isSType(phase))
        return 2;
    if (isPType(phase))
        return 3;
    if (phase == QLatin1String("LQ"))
        return 4;
    return 5;
}

// Splits total over items in proportion to their weights, exactly: floors, then the largest remainders.
QList<int> apportion(qint64 total, const QList<double> &weights)
{
    QList<int> counts(weights.size(), 0);
    const double sum = std::accumulate(weights.begin(), weights.end(), 0.0);
    if (total <= 0 || sum <= 0)
        return counts;
    QList<double> fraction(weights.size());
    qint64 given = 0;
    for (int i = 0; i < weights.size(); ++i) {
        const double exact = double(total) * weights[i] / sum;
        counts[i] = int(std::floor(exact));
        fraction[i] = weights[i] > 0 ? exact - counts[i] : -1;
        given += counts[i];
    }
    QList<int> order(weights.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return fraction[a] > fraction[b]; });
    for (int k = 0; given < total; k = (k + 1) % int(order.size()), ++given)
        ++counts[order[k]];
    return counts;
}

double epochOfDay(const QDate &day)
{
    return htoe(quint16(day.year()), quint16(day.month()), quint16(day.day()), 0, 0, 0);
}

// Calendar date-time to the whole second and the tenths, as the copy from the ORX database splits it.
void splitEpoch(double epoch, TDateTime &day, TDateTime &time, int &tenths)
{
    quint16 y, mo, d, h, mi, s, frac;
    etoh(epoch, y, mo, d, h, mi, s, frac, false);
    day = EncodeDate(y, mo, d);
    time = day + EncodeTime(h, mi, s, 0);
    tenths = frac;
}

TDateTime wholeSeconds(double epoch)
{
    TDateTime day, time;
    int tenths;
    splitEpoch(std::floor(epoch), day, time, tenths);
    return time;
}

void buildEvents(DemoModel &m, const DemoParams &p, Rng &rng)
{
    const double regionTotal = std::accumulate(std::begin(kRegions), std::end(kRegions), 0.0,
                                               [](double s, const RegionDef &r) { return s + r.weight; });
    const QDate firstDay = p.lastDay.addDays(1 - p.days);
    int orid = 0;
    for (QDate day = firstDay; day <= p.lastDay; day = day.addDays(1)) {
        QList<double> seconds;
        for (int i = 0; i < p.eventsPerDay; ++i)
            seconds << roundTo(rng.range(0, 86399.9), 0.1);
        std::sort(seconds.begin(), seconds.end());
        const double dayEpoch = epochOfDay(day);
        for (int i = 0; i < seconds.size(); ++i) {
            double pick = rng.range(0, regionTotal);
            const RegionDef *region = &kRegions[0];
            for (const RegionDef &r : kRegions) {
                region = &r;
                if ((pick -= r.weight) < 0)
                    break;
            }
            Event e;
            e.orid = ++orid;
            e.eventid = day.toString(QStringLiteral("yyyyMMdd")) + QLatin1Char('_') +
                        QStringLiteral("%1").arg(i + 1, 5, 10, QLatin1Char('0'));
            e.lat = roundTo(region->lat + rng.range(-1.5, 1.5), 0.01);
            e.lon = roundTo(region->lon + rng.range(-2.0, 2.0), 0.01);
            if (e.lon > 180)
                e.lon -= 360;
            e.depth = std::round(rng.range(region->minDepth, region->maxDepth));
            e.time = dayEpoch + seconds[i];
            e.mb = roundTo(rng.range(region->minMag, region->maxMag), 0.1);
            if (e.mb >= 4.5)
                e.ms = roundTo(e.mb - 0.4 + rng.range(-0.3, 0.3), 0.1);
            e.comment = QString::fromUtf8(region->name);
            e.lddate = wholeSeconds(e.time + 5400 + rng.range(0, 3600));
            m.events << e;
        }
    }
}

void buildArrivals(DemoModel &m, const DemoParams &p, Rng &rng)
{
    const int ns = int(m.stations.size());
    QList<double> weights;
    QList<double> dist, az;
    for (const Event &e : std::as_const(m.events)) {
        const qsizetype base = dist.size();
        int nearest = 0;
        bool any = false;
        for (int s = 0; s < ns; ++s) {
            const StationDef &st = kStations[m.stations[s]];
            double d, a;
            distAz(st.lat, st.lon, e.lat, e.lon, d, a);
            dist << d;
            az << a;
            if (d < dist[base + nearest])
                nearest = s;
            const double w = rng.chance(0.2) ? 0 : rng.range(0.5, 1.5);
            any = any || w > 0;
            weights << w;
        }
        if (!any)
            weights[base + nearest] = 1;
    }
    const QList<int> counts = apportion(qRound64(double(weights.size()) * p.readingsPerEvent), weights);

    int arid = 0;
    for (int e = 0; e < m.events.size(); ++e) {
        const Event &ev = m.events[e];
        for (int s = 0; s < ns; ++s) {
            const int k = e * ns + s;
            const int n = counts[k];
            if (n == 0)
                continue;
            const StationDef &st = kStations[m.stations[s]];
            const double deg = dist[k];
            QList<PhaseDef> catalogue = phaseCatalogue(deg, ev.depth);
            QList<PhaseDef> picked = catalogue.mid(0, std::min<qsizetype>(n, catalogue.size()));
            double last = std::max_element(picked.begin(), picked.end(), [](auto &a, auto &b) {
                              return a.travel < b.travel;
                          })->travel;
            while (picked.size() < n) {
                last += rng.range(15, 40);
                picked << PhaseDef{QStringLiteral("LR"), last};
            }
            QList<double> times;
            for (const PhaseDef &ph : std::as_const(picked))
                times << roundTo(ev.time + ph.travel + rng.range(-0.8, 0.8), 0.1);
            QList<int> order(picked.size());
            std::iota(order.begin(), order.end(), 0);
            std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return times[a] < times[b]; });
            double previous = -1;
            bool horizontalE = false;
            for (int i = 0; i < order.size(); ++i) {
                Arrival a;
                a.arid = ++arid;
                a.event = e;
                a.station = s;
                a.numb = i + 1;
                a.iphase = picked[order[i]].name;
                // Distinct times keep every arrival a reading of its own.
                a.itime = std::max(times[order[i]], roundTo(previous + 0.5, 0.1));
                previous = a.itime;
                a.dist = roundTo(deg, 0.01);
                a.azimuth = roundTo(az[k], 0.1);
                a.first = i == 0;
                a.pType = isPType(a.iphase);
                a.sType = isSType(a.iphase);
                a.surface = isSurface(a.iphase);
                a.ampPriority = ampPriority(a.iphase);
                QString component = QStringLiteral("Z");
                if (a.surface) {
                    a.band = QStringLiteral("LP");
                    if (a.iphase == QLatin1String("LQ"))
                        component = (horizontalE = !horizontalE) ? QStringLiteral("E") : QStringLiteral("N");
                } else {
                    a.band =
                        a.sType && st.mediumPeriod && deg < 15 ? QStringLiteral("MP") : QStringLiteral("SP");
                    if (a.sType || a.iphase == QLatin1String("SS") || a.iphase == QLatin1String("ScS"))
                        component = (horizontalE = !horizontalE) ? QStringLiteral("E") : QStringLiteral("N");
                }
                a.chan = a.band + component;
                if (a.first) {
                    a.fm = rng.chance(0.5) ? QStringLiteral("c") : QStringLiteral("d");
                    a.ema = roundTo(rng.range(15, 45), 0.1);
                    a.slow = roundTo(deg < 15 ? rng.range(12, 14) : rng.range(4, 9), 0.01);
                    if (deg < 20)
                        a.regclass = roundTo(4.6 + 1.6 * ev.mb + rng.range(-0.3, 0.3), 0.1);
                }
                a.imEm = a.first && rng.chance(0.6) ? QStringLiteral("i") : QStringLiteral("e");
                if (a.pType || a.sType)
                    a.residual = roundTo(rng.range(-1.5, 1.5), 0.1);
                m.arrivals << a;
            }
        }
    }
}

void buildAmplitudes(DemoModel &m, const DemoParams &p, Rng &rng)
{
    const qint64 total = m.arrivals.size();
    const qint64 withAmplitude = qRound64(double(total) * std::min(1.0, p.measurementsPerReading));
    const qint64 measurements = qRound64(double(total) * p.measurementsPerReading);
    // Within one priority the readings left without an amplitude are spread over the whole period.
    QList<double> shuffle(total);
    for (double &key : shuffle)
        key = rng.uniform();
    QList<int> order(total);
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const int pa = m.arrivals[a].ampPriority, pb = m.arrivals[b].ampPriority;
        return pa != pb ? pa < pb : shuffle[a] < shuffle[b];
    });
    QList<bool> chosen(total, false);
    for (qint64 i = 0; i < withAmplitude; ++i)
        chosen[order[i]] = true;
    qint64 index = 0;
    for (int i = 0; i < total; ++i) {
        if (!chosen[i])
            continue;
        Arrival &a = m.arrivals[i];
        const Event &ev = m.events[a.event];
        a.measurements =
            int((index + 1) * measurements / withAmplitude - index * measurements / withAmplitude);
        ++index;
        if (a.surface)
            a.per = roundTo(a.iphase == QLatin1String("LQ") ? rng.range(8, 20) : rng.range(12, 25), 0.1);
        else if (a.band == QLatin1String("MP"))
            a.per = roundTo(rng.range(1, 5), 0.1);
        else
            a.per = roundTo(a.pType ? rng.range(0.3, 1.5) : rng.range(0.5, 2.5), 0.1);
        const double deg = std::max(a.dist, 0.1);
        double logA;
        if (a.surface)
            logA = (std::isnan(ev.ms) ? ev.mb - 0.6 : ev.ms) - 1.66 * std::log10(deg) - 3.3;
        else if (deg < 15)
            logA = ev.mb - 5.0 - 1.3 * std::log10(deg + 0.5);
        else
            logA = ev.mb - 6.0 - 0.5 * std::log10(deg / 60);
        a.ampl = std::max(0.001, roundTo(a.per * std::pow(10.0, logA + rng.range(-0.2, 0.2)), 0.001));
        a.amptime =
            a.iphase == QLatin1String("LRM") ? a.itime : roundTo(a.itime + a.per * rng.range(0.5, 2), 0.1);
        if (a.pType)
            a.mb = roundTo(ev.mb + rng.range(-0.3, 0.3), 0.1);
        if ((a.iphase == QLatin1String("LR") || a.iphase == QLatin1String("LRM")) && !std::isnan(ev.ms))
            a.ms = roundTo(ev.ms + rng.range(-0.3, 0.3), 0.1);
    }
}

QVariant opt(double value)
{
    return std::isnan(value) ? QVariant() : QVariant(value);
}

QVariant opt(const QString &text)
{
    return text.isEmpty() ? QVariant() : QVariant(text);
}

void exec(DbConnection &c, const QString &sql)
{
    DbCommand command(&c);
    command.SetCommandText(sql);
    command.Execute();
}

// An insert translated once and run for every row: the rows of a busy day run into tens of thousands.
class Inserter
{
public:
    Inserter(DbConnection &c, const QString &table, const QStringList &columns) : m_backend(c.backend())
    {
        QStringList marks;
        for (qsizetype i = 0; i < columns.size(); ++i)
            marks << QStringLiteral("?");
        const QString jet = QStringLiteral("insert into %1 (%2) values (%3)")
                                .arg(table, columns.join(QLatin1Char(',')), marks.join(QLatin1Char(',')));
        m_sql = m_backend.dialect().translate(jet).value(0);
    }
    void operator()(const QVariantList &values) { m_backend.execute(m_sql, values); }

private:
    DbBackend &m_backend;
    QString m_sql;
};

// Runs fill in one transaction of c, rolled back when it fails.
template <typename Fill> void inTransaction(DbConnection &c, Fill fill)
{
    c.BeginTrans();
    try {
        fill();
        c.CommitTrans();
    } catch (...) {
        try {
            c.RollbackTrans();
        } catch (const DbError &) {
        }
        throw;
    }
}

void createEmptyFile(const QString &path)
{
    QFile::remove(path);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        throw EFileError(QStringLiteral("Cannot create %1: %2").arg(path, f.errorString()));
}

std::unique_ptr<DbConnection> openDatabase(const QString &provider, const QString &path)
{
    auto c = std::make_unique<DbConnection>();
    c->SetProvider(provider);
    c->SetConnectionString(QStringLiteral("Data Source=\"%1\";Mode=ReadWrite").arg(path));
    c->Open(QString(), QString());
    return c;
}

const QString kJet = QStringLiteral("Microsoft.Jet.OLEDB.4.0");

// The indexes an ORX database keeps for what the bulletin, the summary and the copy into a bulletin
// database look up: readings of an event, of a period, of a station (by its code as stored and trimmed),
// events of a period. origin (eventid) is its key. Made after the rows, then the planner's statistics,
// without which SQLite walked a decade's readings through the station index.
const char *const kOrxIndexes[] = {
    "create index arrival_eventid on arrival (eventid)",
    "create index arrival_itime on arrival (itime)",
    "create index arrival_sta on arrival (sta)",
    "create index arrival_rsta on arrival (rtrim(sta))",
    "create index origin_origintime on origin (origintime)",
    // The import of an event file asks for each event whether its identifier is taken, trimmed.
    "create index origin_reventid on origin (rtrim(eventid))",
    "analyze",
};

// The other tables of the demo's bulletin databases: phase designations and channels.
const char *const kReferenceCreates[] = {
    // No keys: Jet compares text without case, and "pP" and "PP" are different phases.
    "create table [Обозначения волн] (iphase varchar(10),Phase varchar(10))",
    "create table [Каналы] (channel_name varchar(10),channel_cod varchar(3))",
};

// What a station database keeps for the Paradox journal, which the program never creates: the staging
// table Access of the sixteen journal columns and the stored query Add_time that gives its lines back in
// the order they were staged. Access takes every text the reader gives, so its text columns are as wide
// as an alpha field can be: a number is written out in up to 22 characters (21.9 kept in single precision
// is "21.8999996185303"), a text of a field in up to 255.
const char *const kJournalCreates[] = {
    "create table Access (id counter,[N c/c] varchar(255),[N event] integer,[Data] varchar(255),[Faza] "
    "varchar(255),[Dev] varchar(255),[Ho] varchar(255),[Min] varchar(255),[Sek] varchar(255),[T] "
    "varchar(255),[A E-W] varchar(255),[A N-S] varchar(255),[A Z] varchar(255),[S-P] varchar(255),[Del] "
    "varchar(255),[M] varchar(255),[Notes] varchar(255),primary key (id))",
    "create view [Add_time] as select [N c/c],[N event],[Data],[Faza],[Dev],[Ho],[Min],[Sek],[T],[A E-W],"
    "[A N-S],[A Z],[S-P],[Del],[M],[Notes] from Access order by id",
};

// The working copies of the ORX origin and arrival tables a station's bulletin database keeps for the
// copy from the ORX database, which never creates them there: the origin columns the copy reads by
// position, its comment only marked, and the 23 arrival columns it writes by name, without a key.
const char *const kWorkingCopyCreates[] = {
    "create table origin (eventid varchar(20),lat float,lon float,depth float,origintime float,rms float,"
    "dh float,dz float,comment varchar(1),lddate date,primary key (eventid))",
    "create table arrival (flag integer,eventid varchar(20),numb integer,sta varchar(6),chan varchar(8),"
    "iphase varchar(8),itime float,deltim float,azimuth float,slow float,ema float,rect float,fm varchar(2),"
    "im_em varchar(2),per float,residuals float,ampl float,lddate date,ms float,mb float,amptime float,"
    "dist float,regclass float)",
};

const char *const kPhaseNames[] = {"E",  "I",  "LQ", "LR",  "LRM", "P",   "PKP", "PP", "PcP",
                                   "Pg", "Pn", "S",  "SKS", "SS",  "ScS", "Sg",  "Sn", "pP"};

struct Network
{
    QString name;
    QStringList codes;
};

// Stations of the east and of the west of the country; the first one by name is the chosen network.
QList<Network> networksOf(const DemoModel &m)
{
    Network east{QStringLiteral("Восток"), {}}, west{QStringLiteral("Запад"), {}};
    for (int s : m.stations)
        (kStations[s].lon >= 60 ? east : west).codes << QString::fromUtf8(kStations[s].code);
    return {east, west};
}

void writeOrx(const QString &path, const DemoModel &m, const DemoParams &p)
{
    createEmptyFile(path);
    {
        // An empty file is no SQLite file yet for an ODBC source; the schema makes it one.
        auto c = openDatabase(kJet, path);
        inTransaction(*c, [&] {
            for (const char *sql : OrxTableCreates())
                exec(*c, QString::fromUtf8(sql));
        });
    }
    auto c = openDatabase(QStringLiteral("MSDASQL"), path);
    inTransaction(*c, [&] {
        const TDateTime siteDate = EncodeDate(p.lastDay.year() - 1, 1, 15);
        Inserter site(*c, QStringLiteral("site"),
                      {"sta", "cod", "descr", "lat", "lon", "elev", "underground", "nindex", "ngroups",
                       "STANAME", "STATYPE", "ONDATE", "OFFDATE", "lddate"});
        Inserter sitechan(*c, QStringLiteral("sitechan"), {"sta", "chan", "descr"});
        for (int i = 0; i < m.stations.size(); ++i) {
            const StationDef &s = kStations[m.stations[i]];
            const QString code = QString::fromUtf8(s.code);
            site({code, QString::fromUtf8(s.intl), QString::fromUtf8(s.name), s.lat, s.lon, s.elev, 0.0,
                  i + 1, 1, QString::fromUtf8(s.name), QStringLiteral("ss"), EncodeDate(1990 + i, 1, 1),
                  QVariant(), siteDate});
            for (const QString &band : bandsOf(s))
                for (const char *comp : {"E", "N", "Z"})
                    sitechan({code, band + QLatin1String(comp), instrumentOf(band)});
        }
        Inserter networks(*c, QStringLiteral("networks"), {"netname", "netlist"});
        for (const Network &n : networksOf(m))
            networks(
                {n.name, n.codes.isEmpty() ? QVariant() : QVariant(n.codes.join(QLatin1Char(';')) + ';')});

        Inserter origin(
            *c, QStringLiteral("origin"),
            {"eventid", "lat", "lon", "depth", "origintime", "comment", "lddate", "orid", "mb", "ms"});
        TDateTime lastChange = siteDate;
        for (const Event &e : m.events) {
            origin({e.eventid, e.lat, e.lon, e.depth, e.time, e.comment, e.lddate, e.orid, e.mb, opt(e.ms)});
            lastChange = std::max(lastChange, e.lddate);
        }
        Inserter arrival(*c, QStringLiteral("arrival"),
                         {"arid",    "nindex", "eventid", "sta",      "chan",     "iphase",    "itime",
                          "amptime", "flag",   "numb",    "slow",     "ema",      "dist",      "pfiltype",
                          "azimuth", "fm",     "im_em",   "per",      "ampl",     "residuals", "ms",
                          "mb",      "mpsp",   "mplp",    "regclass", "chantype", "lddate"});
        for (const Arrival &a : m.arrivals) {
            const Event &e = m.events[a.event];
            arrival({a.arid,
                     a.arid,
                     e.eventid,
                     QString::fromUtf8(kStations[m.stations[a.station]].code),
                     a.chan,
                     a.iphase,
                     a.itime,
                     opt(a.amptime),
                     (a.pType || a.sType || a.surface) ? 1 : 0,
                     a.numb,
                     opt(a.slow),
                     opt(a.ema),
                     a.dist,
                     a.hasAmplitude() ? QVariant(filterText(a.band)) : QVariant(),
                     a.azimuth,
                     opt(a.fm),
                     a.imEm,
                     opt(a.per),
                     opt(a.ampl),
                     opt(a.residual),
                     opt(a.ms),
                     opt(a.mb),
                     a.band == QLatin1String("LP") ? QVariant() : opt(a.mb),
                     a.band == QLatin1String("LP") ? opt(a.ms) : QVariant(),
                     opt(a.regclass),
                     a.band,
                     e.lddate});
        }
        Inserter lastid(*c, QStringLiteral("lastid"), {"keyname", "keyvalue", "lddate"});
        lastid({QStringLiteral("orid"), int(m.events.size()), lastChange});
        lastid({QStringLiteral("arid"), int(m.arrivals.size()), lastChange});
        for (const char *sql : kOrxIndexes)
            exec(*c, QString::fromUtf8(sql));
    });
}

// What the last copy from the ORX database left in the working copies: the station's arrivals and the
// origins of their events.
void writeWorkingCopies(DbConnection &c, const DemoModel &m, int station)
{
    Inserter origin(c, QStringLiteral("origin"),
                    {"eventid", "lat", "lon", "depth", "origintime", "comment", "lddate"});
    Inserter arrival(c, QStringLiteral("arrival"),
                     {"flag",    "eventid", "numb", "sta", "chan",    "iphase", "itime",
                      "azimuth", "slow",    "ema",  "fm",  "im_em",   "per",    "residuals",
                      "ampl",    "lddate",  "ms",   "mb",  "amptime", "dist",   "regclass"});
    const QString code = QString::fromUtf8(kStations[m.stations[station]].code);
    int lastEvent = -1;
    for (const Arrival &a : m.arrivals) {
        if (a.station != station)
            continue;
        const Event &e = m.events[a.event];
        if (a.event != lastEvent) {
            lastEvent = a.event;
            origin({e.eventid, e.lat, e.lon, e.depth, e.time,
                    e.comment.trimmed().isEmpty() ? QVariant() : QVariant(QStringLiteral(" ")), e.lddate});
        }
        arrival({(a.pType || a.sType || a.surface) ? 1 : 0,
                 e.eventid,
                 a.numb,
                 code,
                 a.chan,
                 a.iphase,
                 a.itime,
                 a.azimuth,
                 opt(a.slow),
                 opt(a.ema),
                 opt(a.fm),
                 a.imEm,
                 opt(a.per),
                 opt(a.residual),
                 opt(a.ampl),
                 e.lddate,
                 opt(a.ms),
                 opt(a.mb),
                 opt(a.amptime),
                 a.dist,
                 opt(a.regclass)});
    }
}

// What the copy from the ORX database makes of the station's arrivals, plus the measurements beyond the
// first that only the bulletin keeps.
void writeBulletin(const QString &path, const DemoModel &m, int station)
{
    createEmptyFile(path);
    auto c = openDatabase(kJet, path);
    inTransaction(*c, [&] {
        for (const char *sql : BulletinTableCreates())
            exec(*c, QString::fromUtf8(sql));
        for (const char *sql : kReferenceCreates)
            exec(*c, QString::fromUtf8(sql));
        // The bulletin's phase name and its MSK-85 designation, which the telegram spells in capitals.
        Inserter phase(*c, QStringLiteral("[Обозначения волн]"), {"iphase", "Phase"});
        for (const char *name : kPhaseNames)
            phase({QString::fromLatin1(name), QString::fromLatin1(name).toUpper()});
        // A channel's code is its band, as the copy from ORX takes it from the ORX channel.
        Inserter channel(*c, QStringLiteral("[Каналы]"), {"channel_name", "channel_cod"});
        for (const char *band : {"SP", "MP", "LP"})
            channel({instrumentOf(QLatin1String(band)) + QLatin1Char('_') + QLatin1String(band),
                     QLatin1String(band)});
        for (const char *sql : kJournalCreates)
            exec(*c, QString::fromUtf8(sql));

        for (const char *sql : kWorkingCopyCreates)
            exec(*c, QString::fromUtf8(sql));
        writeWorkingCopies(*c, m, station);

        Inserter event(*c, QStringLiteral("[События]"),
                       {"orid", "num", "[time]", "dec", "lat", "lon", "depdp", "deltagr", "seaz", "emares",
                        "Kps", "lddate"});
        Inserter reading(*c, QStringLiteral("[Станционный бюллетень]"),
                         {"arid", "N_equake", "Station_Cod", "[Date]", "FM", "Qual", "Phase", "Channel_Cod",
                          "Channel_component", "[Time]", "[Dec]"});
        Inserter measurement(*c, QStringLiteral("[Динамические замеры]"),
                             {"Id_XM", "arid", "Channel_componentXM", "Channel_CodXM", "TimeXM", "DecXm",
                              "Period_NS", "Amp_NS", "Period_EW", "Amp_EW", "Period_Z", "Amp_Z",
                              "Magnitude_Z", "Klass_Z"});
        const QString code = QString::fromUtf8(kStations[m.stations[station]].code);
        int num = 0, arid = 0, idXm = 0;
        int lastEvent = -1;
        for (const Arrival &a : m.arrivals) {
            if (a.station != station)
                continue;
            TDateTime day, time;
            int tenths;
            if (a.event != lastEvent) {
                lastEvent = a.event;
                const Event &e = m.events[a.event];
                ++num;
                splitEpoch(e.time, day, time, tenths);
                const bool p = a.pType; // the first arrival, P group or not
                event({num, num, time, tenths, e.lat, e.lon, int(e.depth), p ? QVariant(a.dist) : QVariant(),
                       p ? QVariant(a.azimuth) : QVariant(), p ? opt(a.ema) : QVariant(),
                       p ? opt(a.regclass) : QVariant(), e.lddate});
            }
            splitEpoch(a.itime, day, time, tenths);
            const QString component = a.chan.mid(2, 1);
            QVariant fm;
            if (a.fm == QLatin1String("c"))
                fm = QStringLiteral("+");
            else if (a.fm == QLatin1String("d"))
                fm = QStringLiteral("-");
            // The copy leaves the channel's name out: ORX names no instrument in a reading.
            reading(
                {++arid, num, code, day, fm, a.imEm.toUpper(), a.iphase, a.band, component, time, tenths});
            double when = a.amptime, per = a.per, ampl = a.ampl;
            for (int k = 0; k < a.measurements; ++k) {
                splitEpoch(when, day, time, tenths);
                QVariantList row{++idXm, arid, component, a.band, time, tenths};
                for (const char *axis : {"N", "E", "Z"}) {
                    const bool mine = component == QLatin1String(axis);
                    row << (mine ? QVariant(per) : QVariant()) << (mine ? QVariant(ampl) : QVariant());
                }
                row << (k == 0 ? (a.pType ? opt(a.mb) : opt(a.ms)) : QVariant())
                    << (k == 0 ? opt(a.regclass) : QVariant());
                measurement(row);
                // Later maxima of the same wave train: weaker and a little longer.
                when = roundTo(when + 1.5 * per, 0.1);
                per = roundTo(per * 1.1, 0.1);
                ampl = std::max(0.001, roundTo(ampl * 0.7, 0.001));
            }
        }
    });
}

void writeTextFile(const QString &path, const QStringList &lines)
{
    SafeWriteFileOrThrow(path, toCp1251(lines.join(QLatin1String("\r\n")) + QLatin1String("\r\n")));
}

QString column(const QString &text, int width)
{
    return text.leftJustified(width, QLatin1Char(' '));
}

void writeReferenceFiles(const QString &system)
{
    QStringList filters;
    for (const FilterDef &f : kFilters)
        filters << column(QLatin1String(f.band), 7) + column(FloatToStr(f.low), 8) + FloatToStr(f.high);
    writeTextFile(system + QLatin1String("/filters.txt"), filters);
    QStringList waves;
    for (const auto &w : kWaves)
        waves << column(QLatin1String(w[0]), 10) + column(QLatin1String(w[1]), 10) +
                     column(QLatin1String(w[2]), 10) + QLatin1String(w[3]);
    writeTextFile(system + QLatin1String("/waves.txt"), waves);
}

// A fresh image: a file left from an earlier run would carry its keys over.
IniFile freshIni(const QString &path)
{
    if (QFile::exists(path) && !QFile::remove(path))
        throw EFileError(QStringLiteral("Cannot replace %1").arg(path));
    return IniFile(path);
}

// The dates a station starts with lie in the demo's data rather than around today: the summary of its
// last day, the whole period for the export and the event filter, and the last decade of the month for
// the bulletin. The import from ORX runs to the last day that holds a reading: the last events' waves
// arrive after midnight, and a period that left their readings out could not replace those events.
void writeStationPeriods(IniFile &ini, const QString &section, const DemoParams &p, TDateTime lastReadingDay)
{
    const TDateTime last = FromQDateTime(p.lastDay.startOfDay());
    const TDateTime first = last - (p.days - 1);
    const TDateTime lastSecond = last + EncodeTime(23, 59, 59, 0);
    const auto date = [&](const char *key, TDateTime value) {
        ini.WriteString(section, QString::fromLatin1(key), DateTimeToStrDMY(value));
    };
    date("svodka_date", last);
    date("start_date", first);
    date("end_date", std::max(last, lastReadingDay) + EncodeTime(23, 59, 59, 0));
    date("exp_start_date", first);
    date("exp_end_date", lastSecond);
    date("filt_beg", first);
    date("filt_end", lastSecond);
    const int day = p.lastDay.day();
    const int decadeStart = day <= 10 ? 1 : day <= 20 ? 11 : 21;
    date("repbeg", FromQDateTime(QDate(p.lastDay.year(), p.lastDay.month(), decadeStart).startOfDay()));
    date("repend", last);
}

void checkParams(const DemoParams &p)
{
    auto fail = [](const QString &what) { throw EConvertError(what); };
    if (p.stations < 1 || p.stations > DemoStationLimit())
        fail(QStringLiteral("The number of stations must lie between 1 and %1").arg(DemoStationLimit()));
    if (p.days < 1 || p.days > 3660)
        fail(QStringLiteral("The number of days must lie between 1 and 3660"));
    if (!p.lastDay.isValid() || p.lastDay.year() < 1971 || p.lastDay.year() > 9999)
        fail(QStringLiteral("The last day must be a date after 1970"));
    if (p.eventsPerDay < 0 || p.eventsPerDay > 99999)
        fail(QStringLiteral("The number of events a day must lie between 0 and 99999"));
    if (!(p.readingsPerEvent >= 0 && p.readingsPerEvent <= 1000))
        fail(QStringLiteral("The readings per event must lie between 0 and 1000"));
    if (!(p.measurementsPerReading >= 0 && p.measurementsPerReading <= 100))
        fail(QStringLiteral("The measurements per reading must lie between 0 and 100"));
}

} // namespace

int DemoStationLimit()
{
    return int(std::size(kStations));
}

DemoSummary GenerateDemoFolder(const QString &folder, const DemoParams &params)
{
    checkParams(params);
    const QString root = QDir(folder).absolutePath();
    const QString system = root + QLatin1String("/system");
    const QString data = root + QLatin1String("/data");
    // The program keeps each station's text formats in specs/ and does not make the folder itself; the
    // products go inside the demo folder, since the user's documents folder may not exist.
    const QString summaries = root + QLatin1String("/svodki");
    const QString exports = root + QLatin1String("/export");
    const QString reports = root + QLatin1String("/reports");
    for (const QString &dir : {system, data, root + QLatin1String("/specs"), summaries, exports, reports})
        if (!QDir().mkpath(dir))
            throw EFileError(QStringLiteral("Cannot create the folders of %1").arg(root));

    DemoModel model;
    for (int i = 0; i < params.stations; ++i)
        model.stations << i;
    Rng rng(params.seed);
    buildEvents(model, params, rng);
    buildArrivals(model, params, rng);
    buildAmplitudes(model, params, rng);

    DemoSummary summary;
    summary.orxPath = data + QLatin1String("/orx.db");
    summary.events = int(model.events.size());
    summary.arrivals = int(model.arrivals.size());
    for (const Arrival &a : std::as_const(model.arrivals)) {
        summary.amplitudeReadings += a.hasAmplitude() ? 1 : 0;
        summary.measurements += a.measurements;
    }
    writeOrx(summary.orxPath, model, params);
    for (int s = 0; s < model.stations.size(); ++s) {
        const QString code = QString::fromUtf8(kStations[model.stations[s]].code);
        summary.stationCodes << code;
        summary.bulletinPaths << data + QLatin1Char('/') + code + QLatin1String(".mdb");
        writeBulletin(summary.bulletinPaths.last(), model, s);
    }
    writeReferenceFiles(system);
    // The samples tell of two days before the demo's period, so they replace none of its events.
    summary.samples = WriteDemoSamples(root, params.lastDay.addDays(-params.days - 4));

    IniFile orxIni = freshIni(system + QLatin1String("/orx.ini"));
    orxIni.WriteString(QStringLiteral("database"), QStringLiteral("odbc"), summary.orxPath);
    orxIni.WriteString(QStringLiteral("database"), QStringLiteral("user"), QStringLiteral("qzv"));
    orxIni.WriteString(QStringLiteral("database"), QStringLiteral("password"), QStringLiteral("qzv"));
    orxIni.UpdateFile();

    TDateTime lastReadingDay = 0;
    for (const Arrival &a : std::as_const(model.arrivals)) {
        TDateTime day, time;
        int tenths;
        splitEpoch(a.itime, day, time, tenths);
        lastReadingDay = std::max(lastReadingDay, day);
    }
    IniFile stations = freshIni(system + QLatin1String("/Stations.ini"));
    for (int s = 0; s < model.stations.size(); ++s) {
        const StationDef &def = kStations[model.stations[s]];
        const QString section = summary.stationCodes[s];
        stations.WriteString(section, QStringLiteral("code"), QString::fromUtf8(def.intl));
        stations.WriteString(section, QStringLiteral("name"), QString::fromUtf8(def.name));
        stations.WriteString(section, QStringLiteral("user"), QStringLiteral("admin"));
        stations.WriteString(section, QStringLiteral("out_file_jet"), summary.bulletinPaths[s]);
        // The bulletin mode reads the station's place here, as the ORX-only mode reads it from site.
        stations.WriteString(section, QStringLiteral("fi"), DegToStationText(def.lat, false));
        stations.WriteString(section, QStringLiteral("lamb"), DegToStationText(def.lon, true));
        stations.WriteString(section, QStringLiteral("hval"), FloatToStr(def.elev));
        stations.WriteString(section, QStringLiteral("subter"), FloatToStr(0.0));
        writeStationPeriods(stations, section, params, lastReadingDay);
        stations.WriteString(section, QStringLiteral("svodka_dir"), summaries);
        stations.WriteString(section, QStringLiteral("exp_dir"), exports);
        stations.WriteString(section, QStringLiteral("repfile"),
                             reports + QLatin1Char('/') + section + QLatin1String(".htm"));
    }
    // The first station's file fields name its samples, those of the text tables in view at the start.
    const std::pair<const char *, QString> sampleKeys[] = {
        {"in_file_jet", summary.samples.journal}, {"in_excel", summary.samples.workbook},
        {"in_event", summary.samples.events},     {"in_stbul", summary.samples.stationBulletin},
        {"in_xmadd", summary.samples.xmAdd},      {"in_orv", summary.samples.eventFile},
        {"in_krv", summary.samples.partner}};
    for (const auto &[key, file] : sampleKeys)
        stations.WriteString(summary.stationCodes.first(), QString::fromLatin1(key), file);
    stations.UpdateFile();

    IniFile main = freshIni(system + QLatin1String("/Brenvale.ini"));
    const QString g = QStringLiteral("global");
    main.WriteInteger(g, QStringLiteral("start_mode"), 1);
    main.WriteInteger(g, QStringLiteral("dbtype"), 0);
    main.WriteInteger(g, QStringLiteral("out_provider"), 0);
    main.WriteBool(g, QStringLiteral("orxini"), true);
    main.WriteBool(g, QStringLiteral("fullorx"), false);
    main.WriteString(g, QStringLiteral("ORX_source"), summary.orxPath);
    main.WriteBool(g, QStringLiteral("showempty"), true);
    main.WriteString(g, QStringLiteral("net"), networksOf(model).first().name);
    main.WriteString(g, QStringLiteral("station_code"), summary.stationCodes.first());
    main.UpdateFile();
    return summary;
}

namespace {
QStringList statementList(std::span<const char *const> statements)
{
    QStringList list;
    for (const char *sql : statements)
        list << QString::fromUtf8(sql);
    return list;
}
} // namespace

QStringList DemoOrxCreates()
{
    return statementList(OrxTableCreates());
}

QStringList DemoOrxIndexes()
{
    return statementList(kOrxIndexes);
}

QStringList DemoBulletinCreates()
{
    return statementList(BulletinTableCreates()) + statementList(kReferenceCreates);
}

QStringList DemoWorkingCopyCreates()
{
    return statementList(kWorkingCopyCreates);
}

QStringList DemoJournalCreates()
{
    return statementList(kJournalCreates);
}
