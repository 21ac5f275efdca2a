#include "products/bulletin_orx_rows.h"

#include "lib/dataset_api.h"
#include "lib/epoch.h"
#include "lib/number_routines.h"
#include "lib/sql_text.h"
#include "lib/statements.h"
#include "lib/text_routines.h"
#include "products/summary_rules.h"

#include <charconv>
#include <cmath>

namespace {

QString two(int v)
{
    return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0'));
}

// "hh:nn:ss.t" with Sep between the parts.
QString clockText(int h, int n, int s, int tenths, char sep)
{
    char text[64];
    char *p = text;
    const int parts[3] = {h, n, s};
    for (int i = 0; i < 3; ++i) {
        if (parts[i] >= 0 && parts[i] < 10)
            *p++ = '0';
        p = std::to_chars(p, text + sizeof text, parts[i]).ptr;
        *p++ = i < 2 ? sep : '.';
    }
    p = std::to_chars(p, text + sizeof text, tenths).ptr;
    return QString::fromLatin1(text, p - text);
}

QString text(const TField *f)
{
    return f->AsString();
}

} // namespace

QString EpochTimeText(double Epoch, QChar Sep)
{
    quint16 y, m, d, h, n, s, t;
    etoh(Epoch, y, m, d, h, n, s, t, false);
    return clockText(h, n, s, t, char(Sep.unicode()));
}

bool EpochYearAfter1970(double Epoch)
{
    quint16 y, m, d, h, n, s, t;
    return etoh(Epoch, y, m, d, h, n, s, t, false) && y > 1970;
}

void OrxBulletinRows::LoadReadings(TDataSet &Readings)
{
    // Every column of the readings table must be there, used here or not.
    for (const char *column :
         {"flag",     "numb",   "sta",      "chan",     "iphase", "itime",     "deltim", "azimuth", "slow",
          "ema",      "rect",   "fm",       "im_em",    "per",    "residuals", "ampl",   "wgt",     "ARID",
          "ms",       "mb",     "amptime",  "DIST",     "CODA",   "REGCLASS",  "MCODA",  "MPSP",    "MPLP",
          "CHANTYPE", "REMARK", "AFILTYPE", "PFILTYPE", "MWA",    "ML"})
        Readings.FieldByName(QString::fromLatin1(column));
    const auto f = [&Readings](const char *name) { return Readings.FieldByName(QString::fromLatin1(name)); };
    const TField *sta = f("sta"), *chan = f("chan"), *iphase = f("iphase"), *fm = f("fm"), *imEm = f("im_em"),
                 *chanType = f("CHANTYPE"), *afil = f("AFILTYPE"), *pfil = f("PFILTYPE"), *itime = f("itime"),
                 *amptime = f("amptime"), *per = f("per"), *ampl = f("ampl");
    const TField *values[4] = {f("DIST"), f("azimuth"), f("ema"), f("REGCLASS")};
    const std::pair<const TField *, const char *> magnitudes[] = {{f("ms"), "MS="},     {f("mb"), "MB="},
                                                                  {f("MPSP"), "MPSP="}, {f("MPLP"), "MPLP="},
                                                                  {f("MWA"), "MWA="},   {f("ML"), "ML="}};

    m_readings.clear();
    for (Readings.First(); !Readings.Eof(); Readings.Next()) {
        OrxReading &r = m_readings.emplace_back();
        r.sta = text(sta).trimmed();
        r.chan = text(chan);
        r.phase = text(iphase).trimmed();
        r.fm = text(fm).trimmed().toLower();
        r.imEm = text(imEm).trimmed();
        r.chanType = text(chanType).trimmed().toUpper();
        r.afilType = text(afil);
        r.pfilType = text(pfil);
        r.hasItime = !itime->IsNull();
        r.itime = FieldFloat(itime);
        r.hasAmptime = !amptime->IsNull();
        r.amptime = FieldFloat(amptime);
        r.per = FieldFloat(per);
        r.hasAmpl = !ampl->IsNull();
        for (int v = 0; v < 4; ++v)
            r.has[v] = FieldTextNumber(values[v], r.values[v]);
        if (!r.hasAmpl)
            continue;
        r.ampl = FieldToText(ampl);
        r.period = FieldToText(per);
        for (const auto &[field, prefix] : magnitudes) {
            const QString v = FieldToText(field, true);
            if (v.isEmpty())
                continue;
            if (!r.magnitudes.isEmpty())
                r.magnitudes += QStringLiteral("<br>");
            r.magnitudes += QLatin1String(prefix) + v;
        }
    }
}

void OrxBulletinRows::LoadSiteChannels(TDataSet &Sitechan, const QString &Sta, QStringList *Statements)
{
    if (const auto known = m_loaded.constFind(Sta); known != m_loaded.cend()) {
        m_chans = known->first;
        m_descrs = known->second;
        return;
    }
    m_chans.clear();
    m_descrs.clear();
    const QString sql = QStringLiteral("select chan,descr from sitechan where rtrim(sta)='") +
                        SqlEscape(Sta) + QLatin1Char('\'');
    if (Statements)
        *Statements << sql;
    if (!QAct(Sitechan, sql))
        return;
    for (Sitechan.First(); !Sitechan.Eof(); Sitechan.Next()) {
        m_chans << Sitechan.Field(0)->AsString().trimmed();
        m_descrs << Sitechan.Field(1)->AsString().trimmed();
    }
    Sitechan.Close();
    m_loaded.insert(Sta, {m_chans, m_descrs});
}

QString OrxBulletinRows::SiteChannelDescr(const QString &Chan) const
{
    const int i = IndexOfText(m_chans, Chan.trimmed());
    return i < 0 ? QStringLiteral("?") : m_descrs.at(i);
}

void OrxBulletinRows::ClearEventValues()
{
    distance.clear();
    azimuth.clear();
    angle.clear();
    regclass.clear();
}

void OrxBulletinRows::FillEventValues(int From)
{
    ClearEventValues();
    QString *texts[4] = {&distance, &azimuth, &angle, &regclass};
    const int digits[4] = {1, 0, 0, 3};
    // Grouped by events the readings of several stations follow each other: only this station's count.
    const int n = int(m_readings.size());
    for (int i = From; i < n && m_readings[size_t(i)].sta == m_readings[size_t(From)].sta; ++i) {
        const OrxReading &r = m_readings[size_t(i)];
        for (int v = 0; v < 4; ++v)
            if (texts[v]->isEmpty() && r.has[v])
                *texts[v] = RoundedText(r.values[v], digits[v]);
    }
}

bool OrxBulletinRows::FindPSPair(int From)
{
    QString p;
    bool found = false;
    const int n = int(m_readings.size());
    for (int i = From; i < n && !found && m_readings[size_t(i)].sta == m_readings[size_t(From)].sta; ++i) {
        const OrxReading &r = m_readings[size_t(i)];
        quint16 y, mo, d, h, mi, s, ms;
        double sec = 0;
        // A time no calendar holds is taken as stored; the S-P then shows it as such.
        const double time =
            etoh(r.itime, y, mo, d, h, mi, s, ms, true, &sec) ? htoe(y, mo, d, h, mi, sec) : r.itime;
        const QString phase = r.phase.toUpper();
        if (p.isEmpty() &&
            (phase == QLatin1String("P") || phase == QLatin1String("PN") || phase == QLatin1String("PG"))) {
            p = phase;
            m_pTime = time;
        } else if (!p.isEmpty() && phase == QLatin1Char('S') + p.mid(1)) {
            m_sTime = time;
            found = true;
        }
    }
    if (!found)
        m_pTime = m_sTime = 0;
    return found;
}

QString OrxBulletinRows::SPText() const
{
    // Only minutes and seconds are shown, so an hour or more wraps. A difference of times no calendar
    // holds is no S-P: it shows as its seconds.
    const double difference = m_sTime - m_pTime;
    if (!(std::fabs(difference) < 1e15))
        return FloatToStr(difference);
    const qint64 ms = qint64(std::llround(difference * 1000));
    const qint64 secs = ms / 1000;
    return two(int((secs / 60) % 60)) + QLatin1Char('-') + two(int(secs % 60)) + QLatin1Char('.') +
           QString::number((ms % 1000) / 100);
}

bool OrxBulletinRows::SamePhase(const QString &A, const QString &B, bool &IsTX)
{
    IsTX = A == QLatin1String("TX") || A == QLatin1String("Tx") || A == QLatin1String("tX") ||
           A == QLatin1String("tx");
    return IsTX ? B == QLatin1String("P") : A == B;
}

int OrxBulletinRows::FindOrInsertRow(const QString &Desc, const QString &TimeText, bool TX, double Time,
                                     int Year, const QString &Filter)
{
    for (int r = int(m_table.size()) - 1; r >= 0; --r)
        if (m_table[r].desc == Desc && m_table[r].timeText == TimeText && m_table[r].tx == TX)
            return r;
    int anchor = -1;
    for (int r = int(m_table.size()) - 1; r >= 0; --r)
        if (m_table[r].time < Time) {
            anchor = r;
            break;
        }
    AmplitudeRow row;
    row.desc = Desc;
    row.timeText = TimeText;
    row.time = FloatTextValue(Time);
    row.tx = TX;
    row.year = Year;
    row.filter = Filter;
    m_table.insert(anchor + 1, row);
    return anchor + 1;
}

QString OrxBulletinRows::filterNamed(const QString &Text)
{
    // Readings of a station share a handful of filter texts.
    if (const auto known = m_filterNames.constFind(Text); known != m_filterNames.cend())
        return *known;
    QString filter;
    int pos = 1;
    const QString t1 = GetNextToken(Text, int(Text.size()), pos, CharSet(QLatin1Char(' ')), CharSet());
    const QString t2 =
        pos > 0 ? GetNextToken(Text, int(Text.size()), pos, CharSet(QLatin1Char(' ')), CharSet()) : QString();
    double low, high;
    if (TryStrToFloatAny(t1, low) && TryStrToFloatAny(t2, high))
        for (const tfilt &f : m_filters)
            if (std::fabs(f.low - low) < 0.00001 && std::fabs(f.high - high) < 0.00001)
                filter = f.kind;
    m_filterNames.insert(Text, filter);
    return filter;
}

void OrxBulletinRows::PutArrivalToTable(int From, const QString &ChannelType)
{
    m_table.clear();
    const QString p0 = m_readings[size_t(From)].phase;
    const int group = PhaseGroup(p0.toUpper());
    bool isTX = false;
    const int n = int(m_readings.size());
    for (int i = From; i < n && SamePhase(m_readings[size_t(i)].phase, p0, isTX); ++i) {
        const OrxReading &r = m_readings[size_t(i)];
        const QString trimmedChan = r.chan.trimmed();
        const QChar comp = trimmedChan.size() >= 3 ? trimmedChan.at(2).toLower() : QChar();
        const int first = comp == QLatin1Char('n')   ? 0
                          : comp == QLatin1Char('e') ? 4
                          : comp == QLatin1Char('z') ? 8
                                                     : -1;
        if (first < 0 || !r.hasAmpl)
            continue;
        QString filter;
        if (isTX) {
            filter = QStringLiteral("MP");
        } else if (group == 1) {
            filter = QStringLiteral("SP");
        } else if (group == 3) {
            filter = QStringLiteral("LP");
        } else {
            QString text = r.afilType.trimmed();
            if (text.isEmpty())
                text = r.pfilType.trimmed();
            filter = filterNamed(text);
        }
        if (filter.isEmpty())
            filter = ChannelType;
        const double time = r.hasAmptime ? r.amptime : r.itime + r.per / 2;
        quint16 y, mo, d, h, mi, s, t;
        etoh(time, y, mo, d, h, mi, s, t, false);
        const QString timeText = clockText(h, mi, s, t, ':');
        AmplitudeRow &row =
            m_table[FindOrInsertRow(SiteChannelDescr(r.chan), timeText, isTX, time, y, filter)];
        row.cells[size_t(first)] = r.ampl;
        row.cells[size_t(first + 1)] = r.period;
        row.cells[size_t(first + 2)] = r.magnitudes;
        row.cells[size_t(first + 3)].clear();
    }
}

void OrxBulletinRows::WriteTableRows()
{
    const auto cell = [this](const QString &s) {
        if (s.isEmpty())
            m_out.line("<td>&nbsp</td>");
        else
            m_out.line("<td>", s, "</td>");
    };
    for (AmplitudeRow &row : m_table) {
        std::array<QString, 12> &c = row.cells;
        for (int k : {0, 4, 8})
            c[size_t(k + 2)] = JoinSpace(c[size_t(k + 2)], KPrefix(c[size_t(k + 3)]));
        const auto present = [&c](int k) {
            return !c[size_t(k)].isEmpty() || !c[size_t(k + 1)].isEmpty() || !c[size_t(k + 2)].isEmpty() ||
                   !c[size_t(k + 3)].isEmpty();
        };
        const bool n = present(0), e = present(4), z = present(8);
        const int lines = z ? 3 : e ? 2 : 1;
        const char *t = lines == 3 ? "<td rowspan=3" : lines == 2 ? "<td rowspan=2" : "<td";
        QString comps;
        for (const auto &[on, letter] : {std::pair{n, 'N'}, std::pair{e, 'E'}, std::pair{z, 'Z'}})
            if (on) {
                if (!comps.isEmpty())
                    comps += QLatin1Char(',');
                comps += QLatin1Char(letter);
            }
        m_out.line("<tr valign=top>");
        m_out.line(t, " colspan=3>&nbsp;</td>");
        m_out.line(t, ">XM</td>");
        m_out.put(t).put(">").put(row.desc).put("_").put(row.filter);
        if (!comps.isEmpty())
            m_out.put(" ").put(comps);
        m_out.line("</td>");
        if (row.year > 1970)
            m_out.line(t, ">", NbspIfEmpty(row.timeText), "</td>");
        else
            m_out.line(t, ">&nbsp;</td>");
        m_out.line(t, " colspan=2>&nbsp;</td>");
        cell(c[1]);
        cell(c[0]);
        m_out.line("<td colspan=2>&nbsp;</td>");
        cell(c[2]);
        m_out.line(t, ">&nbsp;</td>");
        m_out.line("</tr>");
        for (int k : {4, 8}) {
            if ((k == 4 && lines < 2) || (k == 8 && lines < 3))
                continue;
            m_out.line("<tr>");
            cell(c[size_t(k + 1)]);
            m_out.line("<td>&nbsp;</td>");
            cell(c[size_t(k)]);
            m_out.line("<td>&nbsp;</td>");
            cell(c[size_t(k + 2)]);
            m_out.line("</tr>");
        }
    }
}
