#include "products/bulletin_orx_rows.h"
#include "products/bulletin_report.h"

#include "db/db_connection.h"
#include "db/db_query.h"
#include "lib/epoch.h"
#include "lib/errors.h"
#include "lib/messages.h"
#include "lib/sql_text.h"
#include "lib/statements.h"
#include "lib/text_routines.h"

#include <QElapsedTimer>

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

const QString kNbsp = QStringLiteral("&nbsp");

// A statement failed and its runner told the user: the run writes nothing.
struct QuietStop
{
};

// A reading without a channel component stopped the run after its own message: the file keeps what was
// written before it.
struct ChannelStop
{
};

void addSorted(QStringList &list, const QString &code)
{
    for (const QString &c : list)
        if (c.compare(code, Qt::CaseInsensitive) == 0)
            return;
    qsizetype i = 0;
    while (i < list.size() && list.at(i).compare(code, Qt::CaseInsensitive) < 0)
        ++i;
    list.insert(i, code);
}

double epochOfDate(TDateTime date)
{
    int y, m, d;
    DecodeDate(date, y, m, d);
    return htoe(quint16(y), quint16(m), quint16(d), 0, 0, 0);
}

class OrxRun
{
public:
    OrxRun(ReportState &state, ReportHost &host, DbConnection &conPubs, OrxReportStats &stats)
        : m_state(state), m_host(host), m_conn(conPubs), m_stats(stats), rstORX(&conPubs), rstw_ori(&conPubs),
          rstw_arr(&conPubs), m_out(state.tempFile), m_rows(host.Filters(), m_out)
    {}

    void run(bool show)
    {
        m_state.reportMade = false;
        try {
            build(show);
        } catch (const QuietStop &) {
        } catch (const ChannelStop &) {
        } catch (const std::exception &e) {
            m_host.HideProgress();
            MessageProc(m_host.Owner(),
                        QStringLiteral("ORXMakeReport: Операция прервана. Сообщение об ошибке:\r") +
                            ExceptionText(e),
                        MB_ICONERROR, MB_OK);
        }
        m_host.HideProgress();
        rstw_ori.Close();
        rstw_arr.Close();
        rstORX.Close();
        m_host.CloseDB_ADO(m_conn);
    }

private:
    bool act(DbQuery &q, const QString &sql)
    {
        if (m_stats.keepStatements)
            m_stats.statements << sql;
        return QAct(q, sql);
    }

    void GetReportStations()
    {
        QStringList &list = m_state.reportCodes;
        list.clear();
        m_state.codeIndex.clear();
        const QStringList &codes = m_state.codes;
        switch (m_state.options.repset) {
        case 0:
            if (!codes.isEmpty() && !codes.first().isEmpty())
                addSorted(list, codes.first());
            break;
        case 1:
            for (qsizetype i = 1; i < codes.size(); ++i)
                addSorted(list, codes.at(i));
            break;
        case 2:
            if (!codes.isEmpty() && !codes.first().isEmpty())
                for (const QString &c : codes)
                    addSorted(list, c);
            break;
        default:
            break;
        }
        indexCodes();
    }

    void indexCodes()
    {
        m_state.codeIndex.clear();
        for (const QString &c : m_state.reportCodes)
            m_state.codeIndex << int(IndexOfText(m_state.codes, c));
    }

    void build(bool show)
    {
        GetReportStations();
        const ReportOptions &o = m_state.options;
        if (o.repset == 1 && m_state.reportCodes.isEmpty()) {
            MessageProc(
                m_host.Owner(),
                QStringLiteral("Была выбрана опция \"делать отчёт по станциям с\rгалочкой\",но ни одна "
                               "станция не отмечена\rгалочкой,поэтому отчёт не будет сделан."),
                MB_ICONWARNING, MB_OK);
            return;
        }
        const ConnParams params = m_host.OrxConnParams(m_state.sett);
        if (!m_host.OpenDB_ADO(m_conn, params.source, params.user, params.password))
            return;

        m_t1 = epochOfDate(m_state.period.begDate);
        m_t2 = epochOfDate(DateOf(m_state.period.endDate) + 1);
        int y, mo, d;
        DecodeDate(m_state.period.begDate, y, mo, d);
        const double y0 = htoe(quint16(y), 1, 1, 0, 0, 0);
        const QString t1 = SqlNumber(m_t1), t2 = SqlNumber(m_t2), ys = SqlNumber(y0);
        QString a, b, c, dd;
        if (m_state.sett.selperiod == 0) {
            a = QStringLiteral("itime>=") + t1 + QStringLiteral(" and itime<") + t2;
            b = QStringLiteral("itime>=") + ys + QStringLiteral(" and itime<") + t1;
        } else {
            c = QStringLiteral("origintime>=") + t1 + QStringLiteral(" and origintime<") + t2;
            dd = QStringLiteral("origintime>=") + ys + QStringLiteral(" and origintime<") + t1;
            a = QStringLiteral("eventid in (select eventid from origin where ") + c + QLatin1Char(')');
            b = QStringLiteral("eventid in (select eventid from origin where ") + dd + QLatin1Char(')');
        }

        if (o.repset == 3) {
            if (!act(rstORX, QStringLiteral("select distinct sta from arrival where ") + a))
                throw QuietStop();
            for (rstORX.First(); !rstORX.Eof(); rstORX.Next()) {
                const QString code = rstORX.Field(0)->AsString().trimmed();
                // Within the chosen network, as the summary chooses its stations.
                if (m_state.networkCodes.isEmpty() ||
                    m_state.networkCodes.contains(code, Qt::CaseInsensitive))
                    addSorted(m_state.reportCodes, code);
            }
            rstORX.Close();
            indexCodes();
        }
        if (o.qtype == 1 && m_state.reportCodes.isEmpty()) {
            MessageProc(m_host.Owner(),
                        QStringLiteral("Нет ни одной станции для отчёта,\rпоэтому отчёт не будет сделан."),
                        MB_ICONWARNING, MB_OK);
            return;
        }

        const int passes = o.qtype == 0 ? int(m_state.reportCodes.size()) : 1;
        bool partial = false;
        try {
            for (int pass = 0; pass < passes; ++pass) {
                QString s;
                if (o.qtype == 0) {
                    s = QStringLiteral("rtrim(sta)='") + SqlEscape(m_state.reportCodes[pass]) +
                        QLatin1Char('\'');
                } else {
                    QStringList quoted;
                    for (const QString &code : m_state.reportCodes)
                        quoted << SqlQuote(code);
                    s = quoted.size() == 1 ? QStringLiteral("rtrim(sta)=") + quoted.first()
                                           : QStringLiteral("rtrim(sta) in (") +
                                                 quoted.join(QLatin1Char(',')) + QLatin1Char(')');
                }
                runPass(pass, s, a, b, c, dd);
            }
        } catch (const ChannelStop &) {
            partial = true;
        }
        if (partial) {
            // The reading that stopped the run has been reported; what was written stays for the user.
            m_out.Commit();
            throw ChannelStop();
        }
        closePendingTables();
        m_out << QStringLiteral("</body></html>");
        m_out.Commit();
        m_host.HideProgress();
        m_state.reportMade = !m_cancel && !(o.qtype == 0 && m_state.reportCodes.isEmpty());
        if (o.mailSend && !m_cancel && m_state.reportMade)
            MailBulletin(m_state, m_host);
        // A cancelled run is no bulletin: the view stays empty, as after a refused run, rather than show
        // what can be neither saved, opened nor mailed.
        if (show && !m_cancel)
            m_host.ShowReport(m_state.tempFile);
    }

    void runPass(int pass, const QString &s, const QString &a, const QString &b, const QString &c,
                 const QString &d)
    {
        const ReportOptions &o = m_state.options;
        QString countSql, eventsSql, timeColumn;
        if (m_state.sett.selperiod == 0) {
            countSql = QStringLiteral("select count(*) from (select distinct eventid from arrival where ") +
                       s + QStringLiteral(" and ") + b + QStringLiteral(") ata0");
            eventsSql =
                QStringLiteral("select * from (select ata0.*,(select min(ata1.itime) from arrival ata1 where "
                               "ata1.eventid=ata0.eventid and ") +
                s +
                QStringLiteral(") as mit531 from origin ata0 where ata0.eventid in (select distinct eventid "
                               "from arrival where ") +
                s + QStringLiteral(" and ") + a + QStringLiteral(")) t531 order by mit531");
            timeColumn = QStringLiteral("mit531");
        } else {
            countSql = QStringLiteral("select count(*) from (select eventid from origin where ") + d +
                       QStringLiteral(
                           " and (select count(*) from arrival where arrival.eventid=origin.eventid and ") +
                       s + QStringLiteral(")>0) ata0");
            eventsSql = QStringLiteral("select * from origin where ") + c +
                        QStringLiteral(
                            " and (select count(*) from arrival where arrival.eventid=origin.eventid and ") +
                        s + QStringLiteral(")>0 order by origintime");
            timeColumn = QStringLiteral("origintime");
        }
        if (!act(rstORX, countSql))
            throw QuietStop();
        // The events of the year so far; no database counts more than an int holds.
        int number = int(std::clamp<qint64>(rstORX.Field(0)->AsLargeInt(), 0, INT_MAX - 1)) + 1;
        rstORX.Close();
        if (!act(rstw_ori, eventsSql))
            throw QuietStop();
        for (const char *column : {"eventid", "lat", "lon", "depth", "origintime", "rms", "dh", "dz", "ORID",
                                   "MB", "MBUNC", "MS", "MSUNC"})
            rstw_ori.FieldByName(QString::fromLatin1(column));
        m_eventid = ori("eventid");
        m_lat = ori("lat");
        m_lon = ori("lon");
        m_depth = ori("depth");
        m_originTime = ori("origintime");
        m_mb = ori("MB");
        m_ms = ori("MS");
        // ORX databases name the comment column in one of six ways; the event grid knows them all.
        m_comment = nullptr;
        for (const char *name : {"COMMENTS", "comment", "comments_", "coment", "coments", "coments_"})
            if ((m_comment = rstw_ori.FindField(QString::fromLatin1(name))))
                break;
        if (!m_comment)
            rstw_ori.FieldByName(QStringLiteral("COMMENTS"));
        TField *eventTime = rstw_ori.FieldByName(timeColumn);
        const int count = rstw_ori.RecordCount();
        const QString code = o.qtype == 0 ? m_state.reportCodes[pass] : QString();
        m_host.Progress(std::max(count, 0), 0, QString(), &m_cancel);
        m_progressClock.start();
        int position = 0;
        bool headed = false;
        int recNo = 0;
        for (rstw_ori.First(); !rstw_ori.Eof() && !m_cancel; rstw_ori.Next(), ++number) {
            ++recNo;
            if (m_progressClock.elapsed() >= 200 && position != recNo) {
                position = recNo;
                m_host.Progress(count, recNo,
                                (o.qtype == 0 ? code + QStringLiteral(": ") : QString()) +
                                    QString::number(recNo) + QStringLiteral(" из ") + QString::number(count),
                                &m_cancel);
                m_progressClock.restart();
            }
            const double t = FieldFloat(eventTime);
            if (eventTime->IsNull() || t < m_t1 || t >= m_t2)
                continue;
            if (!headed) {
                header(pass);
                headed = true;
            }
            event(number, s);
        }
        rstw_ori.Close();
        if (m_headWritten)
            m_out << QStringLiteral("</table>");
        else
            ++m_pendingTables;
    }

    // The "</table>" lines of the stations before the first head: the file begins with the html head
    // whatever the first station printed, so they follow the body's opening.
    void closePendingTables()
    {
        for (; m_pendingTables > 0; --m_pendingTables)
            m_out << QStringLiteral("</table>");
    }

    void header(int index)
    {
        const bool first = !m_headWritten;
        const int entry = m_state.codeIndex.value(index, -1);
        HeaderStation station;
        if (entry == 0) {
            station = WindowHeaderStation(m_state, m_host, index);
        } else {
            if (!act(rstORX,
                     QStringLiteral(
                         "select elev,lat,lon,underground,descr,cod,sta from site where rtrim(sta)='") +
                         SqlEscape(m_state.reportCodes.value(index)) + QLatin1Char('\'')))
                return;
            if (!rstORX.Eof()) {
                const auto f = [this](const char *n) { return rstORX.FieldByName(QString::fromLatin1(n)); };
                station.height = f("elev")->IsNull() ? QString() : RoundedText(f("elev")->AsFloat(), 3);
                station.ground = f("underground")->AsString();
                station.latitude = CoordinateHtml(f("lat")->AsFloat(), false);
                station.longitude = CoordinateHtml(f("lon")->AsFloat(), true);
                station.name = f("descr")->AsString().trimmed();
                const QString cod = f("cod")->AsString().trimmed(), sta = f("sta")->AsString().trimmed();
                if (station.name.isEmpty())
                    station.name =
                        cod.isEmpty() ? QStringLiteral("/ ") + sta : cod + QStringLiteral(" / ") + sta;
            }
            rstORX.Close();
            if (station.name.isEmpty())
                station.name = QStringLiteral("&lt; без названия &gt;");
        }
        if (first) {
            WriteHtmlHead(m_out);
            closePendingTables();
        }
        WriteReportHeader(m_out, ReportHeaderOptions(m_state), station, false);
        m_headWritten = true;
    }

    TField *ori(const char *name) { return rstw_ori.FieldByName(QString::fromLatin1(name)); }

    void separator(bool eventRow)
    {
        const ReportOptions &o = m_state.options;
        if (!o.dline)
            return;
        if (eventRow && o.qtype == 1)
            m_out.line(o.drawTable ? "<tr><td colspan=14 style=\"background:navy;height:8\"></td></tr>"
                                   : "<tr><td colspan=14 style=\"background:navy;height:4\"></td></tr>");
        else
            m_out.line(o.drawTable ? "<tr><td colspan=14 style=\"background:navy;height:4\"></td></tr>"
                                   : "<tr><td colspan=14><hr></td></tr>");
    }

    void event(int number, const QString &s)
    {
        const ReportOptions &o = m_state.options;
        ++m_stats.events;
        if (!act(rstw_arr,
                 QStringLiteral("select * from arrival where ") + s + QStringLiteral(" and eventid='") +
                     SqlEscape(m_eventid->AsString()) + QStringLiteral("' order by ") +
                     (o.qtype == 1 ? QStringLiteral("sta,") : QString()) + QStringLiteral("itime,chan desc")))
            throw QuietStop();
        m_rows.LoadReadings(rstw_arr);
        rstw_arr.Close();
        const std::vector<OrxReading> &readings = m_rows.readings();
        // Values of an earlier event never stand in the row of this one.
        m_rows.ClearEventValues();
        if (o.qtype == 0 && !readings.empty()) {
            const QString &sta = readings.front().sta;
            if (sta != m_lastLoaded) {
                m_rows.LoadSiteChannels(rstORX, sta, m_stats.keepStatements ? &m_stats.statements : nullptr);
                m_lastLoaded = sta;
            }
            m_rows.FillEventValues(0);
        }

        QString desc;
        if (!m_originTime->IsNull())
            desc += QStringLiteral("O= ") + EpochTimeText(FieldFloat(m_originTime), QLatin1Char('-'));
        if (o.qtype == 0) {
            if (!m_rows.azimuth.isEmpty())
                desc += QStringLiteral(" Az= ") + m_rows.azimuth + QStringLiteral("° ");
            if (!m_rows.angle.isEmpty())
                desc += QStringLiteral(" e= ") + m_rows.angle + QStringLiteral("° ");
        }
        desc += QStringLiteral("<br>");
        if (!m_lat->IsNull())
            desc += QStringLiteral(" lat= ") + RoundedText(FieldFloat(m_lat), 3) + QLatin1Char(' ');
        if (!m_lon->IsNull())
            desc += QStringLiteral(" lon= ") + RoundedText(FieldFloat(m_lon), 3) + QLatin1Char(' ');
        if (!m_depth->IsNull())
            desc += QStringLiteral(" H= ") + RoundedText(FieldFloat(m_depth), 0) + QStringLiteral("km ");
        if (o.qtype == 0 && !m_rows.regclass.isEmpty())
            desc += QStringLiteral(" Kp+s= ") + m_rows.regclass;
        if (!m_mb->IsNull() || !m_ms->IsNull()) {
            desc += QStringLiteral("<br>");
            if (!m_mb->IsNull())
                desc += QStringLiteral("MB= ") + RoundedText(FieldFloat(m_mb), 3) + QLatin1Char(' ');
            if (!m_ms->IsNull())
                desc += QStringLiteral(" MS= ") + RoundedText(FieldFloat(m_ms), 3) + QLatin1Char(' ');
        }
        if (desc == QLatin1String("<br>") && m_rows.distance.isEmpty())
            desc = QStringLiteral("Параметры землетрясения отсутствуют");

        separator(true);
        m_out.line("<tr valign=top>");
        m_out.line("<td><b>", number, "</b></td>");
        m_out.line("<td>&nbsp;</td>");
        m_out.line("<td>&nbsp;</td>");
        m_out.line("<td colspan=3><b>", desc, "</b></td>");
        m_out.line("<td>&nbsp;</td>");
        m_out.line("<td><b>", IfEmptyStr(m_rows.distance, kNbsp), "</b></td>");
        m_out.line("<td colspan=5>&nbsp;</td>");
        m_out.line("<td><b>", NbspIfEmpty(m_comment->AsString()), "</b></td>");
        m_out.line("</tr>");
        m_rows.ClearTable();
        walkReadings();
        m_rows.WriteTableRows();
    }

    // The station row that opens a station's readings when grouped by events.
    void stationRow(int at)
    {
        const QString &sta = m_rows.readings()[size_t(at)].sta;
        m_rows.WriteTableRows();
        m_rows.ClearTable();
        m_rows.LoadSiteChannels(rstORX, sta, m_stats.keepStatements ? &m_stats.statements : nullptr);
        m_rows.FillEventValues(at);
        const bool pair = m_rows.FindPSPair(at);
        QString text;
        if (!m_rows.azimuth.isEmpty())
            text += QStringLiteral("Az= ") + m_rows.azimuth + QStringLiteral("° ");
        if (!m_rows.angle.isEmpty())
            text += QStringLiteral(" e= ") + m_rows.angle + QStringLiteral("° ");
        text += QStringLiteral("<br>");
        if (!m_rows.regclass.isEmpty())
            text += QStringLiteral("Kp+s= ") + m_rows.regclass;
        if (m_rows.azimuth.isEmpty() && m_rows.angle.isEmpty() && m_rows.regclass.isEmpty() &&
            m_rows.distance.isEmpty())
            text = QStringLiteral("Параметры землетрясения отсутствуют");
        separator(false);
        m_out.line("<tr valign=top>");
        m_out.line("<td>", m_host.CodeToSta(sta, true), "</td>");
        m_out.line("<td>&nbsp;</td>");
        m_out.line("<td>&nbsp;</td>");
        m_out.line("<td colspan=3>", text, "</td>");
        if (pair)
            m_out.line("<td>", m_rows.SPText(), "</td>");
        else
            m_out.line("<td>&nbsp</td>");
        m_out.line("<td>", IfEmptyStr(m_rows.distance, kNbsp), "</td>");
        m_out.line("<td colspan=6>&nbsp;</td>");
        m_out.line("</tr>");
    }

    // The date of a reading in the short date format; readings of one day follow each other.
    const QString &dateOf(const OrxReading &r)
    {
        quint16 y = 0, mo = 0, d = 0, h, n, sec, t;
        if (r.hasItime)
            etoh(r.itime, y, mo, d, h, n, sec, t, false);
        if (y != m_dateYear || mo != m_dateMonth || d != m_dateDay || !m_dateKnown) {
            m_dateYear = y;
            m_dateMonth = mo;
            m_dateDay = d;
            m_dateKnown = true;
            TDateTime day;
            m_dateText = r.hasItime && TryEncodeDate(y, mo, d, day) ? m_host.ShortDateText(day) : QString();
        }
        return m_dateText;
    }

    void walkReadings()
    {
        const ReportOptions &o = m_state.options;
        const std::vector<OrxReading> &all = m_rows.readings();
        QString prevSta, prevPhase;
        bool seenPhase = false;
        for (int i = 0; i < int(all.size()); ++i) {
            const OrxReading &r = all[size_t(i)];
            bool stationChanged = false;
            if (o.qtype == 1 && (i == 0 || r.sta != prevSta)) {
                stationChanged = true;
                stationRow(i);
            }
            prevSta = r.sta;

            const QString &date = dateOf(r);
            const QString chanType = r.chanType == QLatin1String("BH") ? QStringLiteral("BP") : r.chanType;
            const QString channel = r.chan.trimmed().toUpper();
            if (channel.size() < 3) {
                m_host.HideProgress();
                MessageProc(
                    m_host.Owner(),
                    QStringLiteral("Не найдена компонента канала (станция ") + CutForMessage(r.sta) +
                        QStringLiteral(", eventid = ") + CutForMessage(m_eventid->AsString().trimmed()) +
                        QStringLiteral(")!\rВозможно, не указан тип канала.\rЗначение поля ARRIVAL.CHAN, "
                                       "вызвавшее ошибку: \"") +
                        CutForMessage(channel) + QLatin1Char('"'),
                    MB_ICONERROR, MB_OK);
                throw ChannelStop();
            }
            const QString upper = r.phase.toUpper();
            if (upper == QLatin1String("TX"))
                continue;
            const bool surface = upper == QLatin1String("LRM") || upper == QLatin1String("LQM") ||
                                 upper == QLatin1String("LR") || upper == QLatin1String("LQ");
            static const QStringList ampOnlyPhases{
                QStringLiteral("A"), QStringLiteral("N"), QStringLiteral("TK"), QStringLiteral("I"),
                QStringLiteral("E"), QStringLiteral("Q"), QStringLiteral("_")};
            const bool ampOnly = ampOnlyPhases.contains(upper);
            // The first reading of an event with a phase row starts a new phase group whatever its phase.
            if (r.phase != prevPhase || stationChanged || !seenPhase) {
                m_rows.WriteTableRows();
                m_rows.PutArrivalToTable(i, chanType);
            }
            prevPhase = r.phase;
            seenPhase = true;

            const char *sign =
                r.fm == QLatin1String("c") || r.fm == QLatin1String("u") || r.fm == QLatin1String("+")   ? "+"
                : r.fm == QLatin1String("d") || r.fm == QLatin1String("r") || r.fm == QLatin1String("-") ? "-"
                                                                                                         : "";
            const QString &imEm = surface ? QString() : r.imEm;
            const bool before = *sign || !imEm.isEmpty();
            m_out.line("<tr valign=top>");
            m_out.line("<td>&nbsp;</td>");
            m_out.line("<td>&nbsp;</td>");
            m_out.line("<td>", date, "</td>");
            if (!before && (ampOnly || r.phase.isEmpty()))
                m_out.line("<td>&nbsp</td>");
            else if (ampOnly)
                m_out.line("<td>", sign, imEm, "</td>");
            else
                m_out.line("<td>", sign, imEm, before ? " " : "", r.phase, "</td>");
            m_out.line("<td>", m_rows.SiteChannelDescr(r.chan), "_", chanType, " ", channel.mid(2, 1),
                       "</td>");
            if (!r.hasItime || !EpochYearAfter1970(r.itime))
                m_out.line("<td>&nbsp</td>");
            else
                m_out.line("<td>", EpochTimeText(r.itime, QLatin1Char(':')), "</td>");
            m_out.line("<td colspan=2>&nbsp;</td>");
            m_out.line("<td>&nbsp</td>");
            m_out.line("<td>&nbsp</td>");
            m_out.line("<td colspan=3>&nbsp;</td>");
            m_out.line("<td>&nbsp;</td>");
            m_out.line("</tr>");
        }
    }

    ReportState &m_state;
    ReportHost &m_host;
    DbConnection &m_conn;
    OrxReportStats &m_stats;
    DbQuery rstORX, rstw_ori, rstw_arr;
    BulletinLines m_out;
    OrxBulletinRows m_rows;
    double m_t1 = 0, m_t2 = 0;
    bool m_cancel = false;
    bool m_headWritten = false;
    int m_pendingTables = 0;
    QString m_lastLoaded;
    QElapsedTimer m_progressClock;
    // The event columns, looked up once a statement.
    TField *m_comment = nullptr, *m_eventid = nullptr, *m_lat = nullptr, *m_lon = nullptr, *m_depth = nullptr,
           *m_originTime = nullptr, *m_mb = nullptr, *m_ms = nullptr;
    bool m_dateKnown = false;
    quint16 m_dateYear = 0, m_dateMonth = 0, m_dateDay = 0;
    QString m_dateText;
};

} // namespace

void ORXMakeReport(ReportState &State, ReportHost &Host, DbConnection &conPubs, bool Show,
                   OrxReportStats *Stats)
{
    OrxReportStats local;
    local.keepStatements = false;
    OrxRun(State, Host, conPubs, Stats ? *Stats : local).run(Show);
}
