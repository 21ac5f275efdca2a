#include "products/bulletin_orx_rows.h"

#include "lib/dataset_api.h"
#include "lib/epoch.h"
#include "lib/number_routines.h"
#include "lib/sql_text.h"
#include "lib/statements.h"
#include "lib/text_routines.h"
#include "products/summary_rules.h"

#include <cmath>

namespace {

QString two(int v)
{
    return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0'));
}

QString fieldText(TDataSet &ds, const char *name)
{
    const TField *f = ds.FindField(QString::fromLatin1(name));
    return f && !f->IsNull() ? f->AsString() : QString();
}

bool fieldNull(TDataSet &ds, const char *name)
{
    const TField *f = ds.FindField(QString::fromLatin1(name));
    return !f || f->IsNull();
}

double fieldFloat(TDataSet &ds, const char *name)
{
    return ds.FieldByName(QString::fromLatin1(name))->AsFloat();
}

} // namespace

QString EpochTimeText(double Epoch, QChar Sep)
{
    quint16 y, m, d, h, n, s, t;
    etoh(Epoch, y, m, d, h, n, s, t, false);
    return two(h) + Sep + two(n) + Sep + two(s) + QLatin1Char('.') + QString::number(t);
}

bool EpochYearAfter1970(double Epoch)
{
    quint16 y, m, d, h, n, s, t;
    return etoh(Epoch, y, m, d, h, n, s, t, false) && y > 1970;
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

void OrxBulletinRows::FillEventValues()
{
    ClearEventValues();
    const int mark = m_arr.RecNo();
    struct Value
    {
        const char *column;
        QString *text;
        int digits;
    };
    const Value values[] = {
        {"DIST", &distance, 1}, {"azimuth", &azimuth, 0}, {"ema", &angle, 0}, {"REGCLASS", &regclass, 3}};
    // Grouped by events the readings of several stations follow each other: only this station's count.
    const QString sta = fieldText(m_arr, "sta").trimmed();
    for (; !m_arr.Eof() && fieldText(m_arr, "sta").trimmed() == sta; m_arr.Next())
        for (const Value &v : values) {
            double x;
            if (v.text->isEmpty() && !fieldNull(m_arr, v.column) &&
                TryStrToFloatAny(fieldText(m_arr, v.column), x))
                *v.text = RoundedText(x, v.digits);
        }
    m_arr.SetRecNo(mark);
}

bool OrxBulletinRows::FindPSPair()
{
    const int mark = m_arr.RecNo();
    QString p;
    bool found = false;
    const QString sta = fieldText(m_arr, "sta").trimmed();
    for (; !m_arr.Eof() && !found && fieldText(m_arr, "sta").trimmed() == sta; m_arr.Next()) {
        quint16 y, mo, d, h, n, s, ms;
        double sec = 0;
        etoh(fieldFloat(m_arr, "itime"), y, mo, d, h, n, s, ms, true, &sec);
        const double time = htoe(y, mo, d, h, n, sec);
        const QString phase = fieldText(m_arr, "iphase").trimmed().toUpper();
        if (p.isEmpty() &&
            (phase == QLatin1String("P") || phase == QLatin1String("PN") || phase == QLatin1String("PG"))) {
            p = phase;
            m_pTime = time;
        } else if (!p.isEmpty() && phase == QLatin1Char('S') + p.mid(1)) {
            m_sTime = time;
            found = true;
        }
    }
    m_arr.SetRecNo(mark);
    if (!found)
        m_pTime = m_sTime = 0;
    return found;
}

QString OrxBulletinRows::SPText() const
{
    // Only minutes and seconds are shown, so an hour or more wraps.
    const qint64 ms = qint64(std::llround((m_sTime - m_pTime) * 1000));
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

int OrxBulletinRows::FindOrInsertRow(const QString &Desc, const QString &TimeText, const QString &TXFlag,
                                     double Time, int Year, const QString &Filter)
{
    for (int r = int(m_table.size()) - 1; r >= 0; --r)
        if (m_table[r][0] == Desc && m_table[r][1] == TimeText && m_table[r][14] == TXFlag)
            return r;
    int anchor = -1;
    for (int r = int(m_table.size()) - 1; r >= 0; --r)
        if (m_table[r][17].toDouble() < Time) {
            anchor = r;
            break;
        }
    Row row;
    row[0] = Desc;
    row[1] = TimeText;
    row[17] = FloatToStr(Time);
    row[14] = TXFlag;
    row[15] = QString::number(Year);
    row[16] = Filter;
    m_table.insert(anchor + 1, row);
    return anchor + 1;
}

void OrxBulletinRows::PutArrivalToTable(const QString &ChannelType)
{
    m_table.clear();
    const int mark = m_arr.RecNo();
    const QString p0 = fieldText(m_arr, "iphase").trimmed();
    bool isTX = false;
    for (; !m_arr.Eof() && SamePhase(fieldText(m_arr, "iphase").trimmed(), p0, isTX); m_arr.Next()) {
        const QString txFlag = isTX ? QStringLiteral("1") : QStringLiteral("0");
        const QString chan = fieldText(m_arr, "chan");
        const QString desc = SiteChannelDescr(chan);
        QString filter;
        if (isTX) {
            filter = QStringLiteral("MP");
        } else {
            const int group = PhaseGroup(p0.toUpper());
            if (group == 1)
                filter = QStringLiteral("SP");
            else if (group == 3)
                filter = QStringLiteral("LP");
            else {
                QString text = fieldText(m_arr, "AFILTYPE").trimmed();
                if (text.isEmpty())
                    text = fieldText(m_arr, "PFILTYPE").trimmed();
                int pos = 1;
                const QString t1 =
                    GetNextToken(text, int(text.size()), pos, CharSet(QLatin1Char(' ')), CharSet());
                const QString t2 =
                    pos > 0 ? GetNextToken(text, int(text.size()), pos, CharSet(QLatin1Char(' ')), CharSet())
                            : QString();
                double low, high;
                if (TryStrToFloatAny(t1, low) && TryStrToFloatAny(t2, high))
                    for (const tfilt &f : m_filters)
                        if (std::fabs(f.low - low) < 0.00001 && std::fabs(f.high - high) < 0.00001)
                            filter = f.kind;
            }
            if (filter.isEmpty())
                filter = ChannelType;
        }
        const double time = !fieldNull(m_arr, "amptime")
                                ? fieldFloat(m_arr, "amptime")
                                : fieldFloat(m_arr, "itime") + fieldFloat(m_arr, "per") / 2;
        quint16 y, mo, d, h, n, s, t;
        etoh(time, y, mo, d, h, n, s, t, false);
        const QString timeText = two(h) + QLatin1Char(':') + two(n) + QLatin1Char(':') + two(s) +
                                 QLatin1Char('.') + QString::number(t);
        const QChar comp = chan.trimmed().size() >= 3 ? chan.trimmed().at(2).toLower() : QChar();
        const int first = comp == QLatin1Char('n')   ? 2
                          : comp == QLatin1Char('e') ? 6
                          : comp == QLatin1Char('z') ? 10
                                                     : -1;
        if (first < 0 || fieldNull(m_arr, "ampl"))
            continue;
        const int r = FindOrInsertRow(desc, timeText, txFlag, time, y, filter);
        const TField *ampl = m_arr.FieldByName(QStringLiteral("ampl"));
        const TField *per = m_arr.FieldByName(QStringLiteral("per"));
        QString mags;
        const std::pair<const char *, const char *> magnitudes[] = {{"ms", "MS="},     {"mb", "MB="},
                                                                    {"MPSP", "MPSP="}, {"MPLP", "MPLP="},
                                                                    {"MWA", "MWA="},   {"ML", "ML="}};
        for (const auto &[column, prefix] : magnitudes) {
            const QString v = FieldToText(m_arr.FindField(QString::fromLatin1(column)), true);
            if (v.isEmpty())
                continue;
            mags += QString::fromLatin1(prefix) + v;
            if (qstrcmp(column, "ML") != 0)
                mags += QStringLiteral("<br>");
        }
        if (mags.endsWith(QLatin1String("<br>")))
            mags.chop(4);
        m_table[r][size_t(first)] = FieldToText(ampl);
        m_table[r][size_t(first + 1)] = FieldToText(per);
        m_table[r][size_t(first + 2)] = mags;
        m_table[r][size_t(first + 3)].clear();
    }
    m_arr.SetRecNo(mark);
}

void OrxBulletinRows::WriteTableRows()
{
    for (Row &row : m_table) {
        for (int c : {2, 6, 10})
            row[size_t(c + 2)] = JoinSpace(row[size_t(c + 2)], KPrefix(row[size_t(c + 3)]));
        const auto present = [&row](int c) {
            return !row[size_t(c)].isEmpty() || !row[size_t(c + 1)].isEmpty() ||
                   !row[size_t(c + 2)].isEmpty() || !row[size_t(c + 3)].isEmpty();
        };
        QStringList comps;
        if (present(2))
            comps << QStringLiteral("N");
        if (present(6))
            comps << QStringLiteral("E");
        if (present(10))
            comps << QStringLiteral("Z");
        const int lines = present(10) ? 3 : present(6) ? 2 : 1;
        const QString t =
            lines >= 2 ? QStringLiteral("<td rowspan=") + QString::number(lines) : QStringLiteral("<td");
        const auto cell = [](const QString &s) {
            return QStringLiteral("<td>") + NbspIfEmpty(s) + QStringLiteral("</td>");
        };
        const bool dated = row[15].toInt() > 1970;
        m_out << QStringLiteral("<tr valign=top>") << t + QStringLiteral(" colspan=3>&nbsp;</td>")
              << t + QStringLiteral(">XM</td>")
              << t + QLatin1Char('>') +
                     NbspIfEmpty(
                         JoinSpace(row[0] + QLatin1Char('_') + row[16], comps.join(QLatin1Char(',')))) +
                     QStringLiteral("</td>")
              << t + QLatin1Char('>') + NbspIfEmpty(dated ? row[1] : QStringLiteral("&nbsp;")) +
                     QStringLiteral("</td>")
              << t + QStringLiteral(" colspan=2>&nbsp;</td>") << cell(row[3]) << cell(row[2])
              << QStringLiteral("<td colspan=2>&nbsp;</td>") << cell(row[4])
              << t + QStringLiteral(">&nbsp;</td>") << QStringLiteral("</tr>");
        for (int c : {6, 10}) {
            if ((c == 6 && lines < 2) || (c == 10 && lines < 3))
                continue;
            m_out << QStringLiteral("<tr>") << cell(row[size_t(c + 1)]) << QStringLiteral("<td>&nbsp;</td>")
                  << cell(row[size_t(c)]) << QStringLiteral("<td>&nbsp;</td>") << cell(row[size_t(c + 2)])
                  << QStringLiteral("</tr>");
        }
    }
}
