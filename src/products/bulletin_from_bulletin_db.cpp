#include "products/bulletin_report.h"

#include "db/db_connection.h"
#include "db/db_query.h"
#include "lib/errors.h"
#include "lib/messages.h"
#include "lib/sql_text.h"
#include "lib/statements.h"
#include "lib/text_routines.h"

#include <cmath>

namespace {

const QString kNbsp = QStringLiteral("&nbsp");

// A statement failed; the statement runner has told the user.
struct QuietStop
{
};

QString text(const TField *field)
{
    return FixedFieldText(field);
}

bool isNull(const TField *field)
{
    return !field || field->IsNull();
}

int yearOf(const TField *field)
{
    int y, m, d;
    DecodeDate(field->AsDateTime(), y, m, d);
    return y;
}

QString truncText(const TField *field)
{
    return TruncatedText(field->AsFloat());
}

// The time of day of a date-time field with its tenths; "&nbsp" (or Empty) when null or not after 1970.
QString timeText(const TField *time, const TField *dec, const QString &empty)
{
    if (isNull(time) || yearOf(time) <= 1970)
        return empty;
    QString s = FormatDateTime(QStringLiteral("hh:nn:ss"), time->AsDateTime());
    if (!isNull(dec))
        s += QLatin1Char('.') + text(dec);
    return s;
}

// The StrQuake text cut into its three columns; groups end with " @. ".
void cutStrQuake(const QString &s, QString cols[3])
{
    int start = 0;
    bool first = true;
    while (start < s.size()) {
        const int p1 = int(s.indexOf(QLatin1Char(' '), start));
        const int p2 = p1 < 0 ? -1 : int(s.indexOf(QLatin1Char(' '), p1 + 1));
        const int p3 = int(s.indexOf(QStringLiteral(" @. "), start));
        if (p1 < 0 || p2 < 0 || p3 < 0)
            break;
        const QString parts[3] = {s.mid(start, p1 - start).trimmed(), s.mid(p1, p2 - p1).trimmed(),
                                  s.mid(p2, p3 - p2)};
        for (int i = 0; i < 3; ++i)
            cols[i] += first ? parts[i] : QStringLiteral("<br>") + parts[i];
        first = false;
        start = p3 + 4;
    }
}

class BulletinDbRun
{
public:
    BulletinDbRun(ReportState &state, ReportHost &host, DbConnection &dbs)
        : m_state(state), m_host(host), m_dbs(dbs), rst(&dbs), aq1(&dbs), m_out(state.tempFile)
    {}

    void run(bool show)
    {
        m_state.reportMade = false;
        try {
            build(show);
        } catch (const QuietStop &) {
        } catch (const std::exception &e) {
            MessageProc(m_host.Owner(),
                        QStringLiteral("MakeReport: Операция прервана. Сообщение об ошибке:\r") +
                            ExceptionText(e),
                        MB_ICONERROR, MB_OK);
        }
        m_host.HideProgress();
        aq1.Close();
        rst.Close();
        m_host.CloseDB_ADO(m_dbs);
    }

private:
    void build(bool show)
    {
        const QString code = m_state.codes.value(0);
        if (!code.isEmpty() && !m_state.reportCodes.contains(code)) {
            m_state.reportCodes << code;
            m_state.reportCodes.sort();
        }
        m_state.codeIndex = {0};
        QString source, user, password;
        if (!m_host.GetStationDBParams(source, user, password))
            return;
        if (!m_host.OpenDB_ADO(m_dbs, source, user, password))
            return;
        QString fromLit, toLit;
        ReportSqlDateRange(m_state.sett, m_state.period.begDate, m_state.period.endDate, fromLit, toLit);
        QStringList sql{QStringLiteral("SELECT События.num,События.[time],События.dec,"),
                        QStringLiteral("События.lat,События.lon,События.depdp,"),
                        QStringLiteral("События.deltagr,События.deltakm,События.seaz,"),
                        QStringLiteral("События.emares,События.S_P_time,События.S_P_dec,"),
                        QStringLiteral("События.Kps,События.FlagQuake,События.StrQuake,"),
                        QStringLiteral("События.comment,")};
        for (const char *column : {"arid",
                                   "N_seismo",
                                   "Station_Cod",
                                   "[Date]",
                                   "FM",
                                   "Qual",
                                   "Interpretation",
                                   "Phase",
                                   "Channel_name",
                                   "KPCH",
                                   "Channel_component",
                                   "[Time] AS ArrTime",
                                   "Dec AS ArrDec",
                                   "FM_NS",
                                   "FM_EW",
                                   "FM_Z",
                                   "FM_Period_NS",
                                   "FM_Amp_NS",
                                   "FM_Period_EW",
                                   "FM_Amp_EW",
                                   "FM_Period_Z",
                                   "FM_Amp_Z",
                                   "Comments"})
            sql << QStringLiteral("[Станционный бюллетень].") + QString::fromLatin1(column) +
                       QLatin1Char(',');
        sql << QStringLiteral("NULL as nullfld")
            << QStringLiteral("FROM (События INNER JOIN [Станционный бюллетень]")
            << QStringLiteral("ON События.num = [Станционный бюллетень].N_equake)")
            << QStringLiteral("WHERE [Станционный бюллетень].[Date] Between ") + fromLit +
                   QStringLiteral(" And ") + toLit + QStringLiteral(" and Station_Cod='") + SqlEscape(code) +
                   QLatin1Char('\'')
            << QStringLiteral("ORDER BY События.num,")
            << QStringLiteral("(Switch(((UCase([Станционный бюллетень].phase)='LR') Or (UCase([Станционный "
                              "бюллетень].phase)='LRM') Or (UCase([Станционный бюллетень].phase)='LQ') Or "
                              "(UCase([Станционный бюллетень].phase)='LQM')),2,True,1)),")
            << QStringLiteral("[Станционный бюллетень].Time,[Станционный бюллетень].Dec");
        if (!QActStrings(rst, sql))
            return;
        resolveReadingFields();
        // The period's measurements in one statement, found by the readings' arid.
        if (!QActStrings(aq1,
                         {QStringLiteral("select * from [Динамические замеры] where"),
                          QStringLiteral("arid in (select arid from [Станционный бюллетень] where [Date] "
                                         "Between ") +
                              fromLit + QStringLiteral(" And ") + toLit +
                              QStringLiteral(" and Station_Cod='") + SqlEscape(code) + QStringLiteral("')"),
                          QStringLiteral("order by arid,Id_XM")}))
            return;
        indexMeasurements();

        WriteReportHeader(m_out, ReportHeaderOptions(m_state), WindowHeaderStation(m_state, m_host, 0), true);

        const int max = std::max(rst.RecordCount() - 1, 0);
        m_host.Progress(max, 0, QString(), nullptr);
        int recNo = 0;
        rst.First();
        while (!rst.Eof()) {
            writeEvent();
            const QString num = text(r.num);
            const bool flag = !isNull(r.flagQuake) && r.flagQuake->AsBoolean();
            const QString strQuake = text(r.strQuake);
            do {
                if (recNo % 10 == 0)
                    m_host.Progress(
                        max, recNo,
                        QString::number(recNo + 1) + QStringLiteral(" из ") + QString::number(max), nullptr);
                writeArrival();
                writeMeasurements();
                rst.Next();
                ++recNo;
            } while (!rst.Eof() && text(r.num) == num);
            if (flag)
                writeStrQuake(strQuake);
        }
        m_out << QStringLiteral("</table></body></html>");
        m_out.Commit();
        m_state.reportMade = true;
        if (m_state.options.mailSend)
            MailBulletin(m_state, m_host);
        if (show)
            m_host.ShowReport(m_state.tempFile);
    }

    // The columns of the main statement, looked up once.
    struct ReadingFields
    {
        TField *num, *time, *dec, *lat, *lon, *depdp, *deltagr, *deltakm, *seaz, *emares, *spTime, *spDec,
            *kps, *flagQuake, *strQuake, *comment, *arid, *seismo, *date, *fm, *qual, *interpretation, *phase,
            *channelName, *channelComponent, *arrTime, *arrDec, *fmNs, *fmEw, *fmZ, *periodNs, *ampNs,
            *periodEw, *ampEw, *periodZ, *ampZ, *comments;
    };

    void resolveReadingFields()
    {
        const auto f = [this](const char *name) { return rst.FieldByName(QString::fromLatin1(name)); };
        r = {f("num"),
             f("time"),
             f("dec"),
             f("lat"),
             f("lon"),
             f("depdp"),
             f("deltagr"),
             f("deltakm"),
             f("seaz"),
             f("emares"),
             f("S_P_time"),
             f("S_P_dec"),
             f("Kps"),
             f("FlagQuake"),
             f("StrQuake"),
             f("comment"),
             f("arid"),
             f("N_seismo"),
             f("Date"),
             f("FM"),
             f("Qual"),
             f("Interpretation"),
             f("Phase"),
             f("Channel_name"),
             f("Channel_component"),
             f("ArrTime"),
             f("ArrDec"),
             f("FM_NS"),
             f("FM_EW"),
             f("FM_Z"),
             f("FM_Period_NS"),
             f("FM_Amp_NS"),
             f("FM_Period_EW"),
             f("FM_Amp_EW"),
             f("FM_Period_Z"),
             f("FM_Amp_Z"),
             f("Comments")};
    }

    struct MeasurementFields
    {
        TField *arid, *channelName, *channelComponent, *timeXm, *decXm, *periodNs, *ampNs, *periodEw, *ampEw,
            *periodZ, *ampZ, *magnitudeNe, *klassNe, *magnitudeZ, *klassZ, *comments;
    };

    // Looked up once a statement; a column the table lacks (Comments may) stays null.
    static MeasurementFields measurementFields(TDataSet &q)
    {
        const auto m = [&q](const char *name) { return q.FindField(QString::fromLatin1(name)); };
        return {m("arid"),     m("Channel_nameXM"), m("Channel_componentXM"),
                m("TimeXm"),   m("DecXm"),          m("Period_NS"),
                m("Amp_NS"),   m("Period_EW"),      m("Amp_EW"),
                m("Period_Z"), m("Amp_Z"),          m("Magnitude_NE"),
                m("Klass_NE"), m("Magnitude_Z"),    m("Klass_Z"),
                m("Comments")};
    }

    // The first row of each reading's measurements; the rows come by arid, then by Id_XM.
    void indexMeasurements()
    {
        x = measurementFields(aq1);
        m_firstMeasurement.clear();
        int row = 0;
        for (aq1.First(); !aq1.Eof(); aq1.Next()) {
            const qint64 arid = x.arid->AsLargeInt();
            ++row;
            if (!m_firstMeasurement.contains(arid))
                m_firstMeasurement.insert(arid, row);
        }
    }

    void writeEvent()
    {
        QString ev;
        if (!isNull(r.time) && yearOf(r.time) > 1970)
            ev += QStringLiteral("O= ") + FormatDateTime(QStringLiteral("hh-nn-ss"), r.time->AsDateTime());
        if (!isNull(r.dec))
            ev += QLatin1Char('.') + text(r.dec);
        if (!isNull(r.seaz))
            ev += QStringLiteral("  Az= ") + truncText(r.seaz) + QStringLiteral("° ");
        if (!isNull(r.emares))
            ev += QStringLiteral(" e= ") + truncText(r.emares) + QStringLiteral("° ");
        ev += QStringLiteral("<br>");
        if (!isNull(r.lat))
            ev += QStringLiteral(" lat= ") + RoundedText(FieldFloat(r.lat), 3) + QLatin1Char(' ');
        if (!isNull(r.lon))
            ev += QStringLiteral(" lon= ") + RoundedText(FieldFloat(r.lon), 3) + QLatin1Char(' ');
        if (!isNull(r.depdp))
            ev += QStringLiteral(" H= ") + truncText(r.depdp) + QStringLiteral("km ");
        if (!isNull(r.kps))
            ev += QStringLiteral(" Kp+s= ") + RoundedText(FieldFloat(r.kps), 3);
        if (ev == QLatin1String("<br>") && isNull(r.deltagr) && isNull(r.spTime))
            ev = QStringLiteral("Параметры землетрясения отсутствуют");

        QString sp = kNbsp;
        if (!isNull(r.spTime) && yearOf(r.spTime) != 1970) {
            sp = FormatDateTime(QStringLiteral("nn-ss"), r.spTime->AsDateTime());
            if (!isNull(r.spDec))
                sp += QLatin1Char('.') + text(r.spDec);
        }
        QString distance = kNbsp;
        if (!isNull(r.deltagr)) {
            distance = RoundedText(FieldFloat(r.deltagr), 3);
            if (!isNull(r.deltakm))
                distance +=
                    QStringLiteral("<br>") + RoundedText(FieldFloat(r.deltakm), 3) + QStringLiteral(" km");
        }
        if (m_state.options.dline)
            m_out.line(m_state.options.drawTable
                           ? "<tr><td colspan=14 style=\"background:navy;height:4\"></td></tr>"
                           : "<tr><td colspan=14><hr></td></tr>");
        m_out.line("<tr valign=top>");
        m_out.line("<td>&nbsp;</td>");
        m_out.line("<td><b>", text(r.num), "</b></td>");
        m_out.line("<td><b>", text(r.date), "</b></td>");
        m_out.line("<td colspan=3><b>", ev, "</b></td>");
        m_out.line("<td><b>", sp, "</b></td>");
        m_out.line("<td><b>", distance, "</b></td>");
        m_out.line("<td colspan=5>&nbsp;</td>");
        m_out.line("<td><b>", NbspIfEmpty(text(r.comment)), "</b></td>");
        m_out.line("</tr>");
    }

    // "<td" for one row, "<td rowspan=k" for more.
    static const char *opening(int k) { return k == 3 ? "<td rowspan=3" : k == 2 ? "<td rowspan=2" : "<td"; }

    void cell(const QString &s) { m_out.line("<td>", NbspIfEmpty(s), "</td>"); }

    void writeArrival()
    {
        const QString ns = JoinSpace(FieldToText(r.fmNs), FieldToText(r.ampNs));
        const QString ew = JoinSpace(FieldToText(r.fmEw), FieldToText(r.ampEw));
        const QString z = JoinSpace(FieldToText(r.fmZ), FieldToText(r.ampZ));
        const QString tNs = FieldToText(r.periodNs), tEw = FieldToText(r.periodEw),
                      tZ = FieldToText(r.periodZ);
        const int k = !tZ.isEmpty() || !z.isEmpty() ? 3 : !tEw.isEmpty() || !ew.isEmpty() ? 2 : 1;
        const char *p = opening(k);
        QString wave = text(r.fm) + text(r.qual);
        const QString phase = text(r.phase);
        if (!phase.isEmpty()) {
            if (!wave.isEmpty())
                wave += QLatin1Char(' ');
            wave += !isNull(r.interpretation) && r.interpretation->AsBoolean()
                        ? QLatin1Char('(') + phase + QLatin1Char(')')
                        : phase;
        }
        const QString num = text(r.num);
        m_out.line("<tr valign=top>", p, ">", isNull(r.seismo) ? kNbsp : text(r.seismo), "</td>", p, ">", num,
                   "</td>", p, ">", text(r.date), "</td>");
        m_out.line(p, ">", NbspIfEmpty(wave), "</td>");
        m_out.line(p, ">", NbspIfEmpty(JoinSpace(text(r.channelName), text(r.channelComponent))), "</td>");
        m_out.line(p, ">", timeText(r.arrTime, r.arrDec, kNbsp), "</td>");
        m_out.line(p, " colspan=2>&nbsp;</td>");
        cell(tNs);
        cell(ns);
        m_out.line("<td colspan=3>&nbsp;</td>");
        m_out.line(p, ">", NbspIfEmpty(text(r.comments)), "</td>");
        m_out.line("</tr>");
        if (k >= 2) {
            m_out.line("<tr>");
            cell(tEw);
            m_out.line("<td>&nbsp;</td>");
            cell(ew);
            m_out.line("<td colspan=2>&nbsp;</td>");
            m_out.line("</tr>");
        }
        if (k == 3) {
            m_out.line("<tr>");
            cell(tZ);
            m_out.line("<td colspan=2>&nbsp;</td>");
            cell(z);
            m_out.line("<td>&nbsp;</td>");
            m_out.line("</tr>");
        }
    }

    void writeMeasurements()
    {
        if (isNull(r.arid)) {
            // A reading without arid meets the measurements of arid 0, as it always did.
            DbQuery single(&m_dbs);
            if (!QActStrings(single, {QStringLiteral("select * from [Динамические замеры] where"),
                                      QStringLiteral("arid=0"), QStringLiteral("order by Id_XM")}))
                throw QuietStop();
            const MeasurementFields period = x;
            x = measurementFields(single);
            for (single.First(); !single.Eof(); single.Next())
                writeMeasurement();
            x = period;
            return;
        }
        const qint64 arid = r.arid->AsLargeInt();
        const int first = m_firstMeasurement.value(arid, 0);
        if (first == 0)
            return;
        for (aq1.SetRecNo(first); !aq1.Eof() && x.arid->AsLargeInt() == arid; aq1.Next())
            writeMeasurement();
    }

    void writeMeasurement()
    {
        if (!isNull(x.timeXm) && x.timeXm->AsDateTime() < m_state.period.begDate)
            return;
        const QString aNs = FieldToText(x.ampNs), aEw = FieldToText(x.ampEw), aZ = FieldToText(x.ampZ);
        const QString tNs = FieldToText(x.periodNs), tEw = FieldToText(x.periodEw),
                      tZ = FieldToText(x.periodZ);
        const QString mNe = JoinSpace(FieldToText(x.magnitudeNe), KPrefix(FieldToText(x.klassNe)));
        const QString mZ = JoinSpace(FieldToText(x.magnitudeZ), KPrefix(FieldToText(x.klassZ)));
        const int k = !tZ.isEmpty() || !aZ.isEmpty() || !mZ.isEmpty() ? 3
                      : !tEw.isEmpty() || !aEw.isEmpty()              ? 2
                                                                      : 1;
        const char *q = opening(k);
        const bool noPeriod = isNull(x.periodNs) && isNull(x.periodEw) && isNull(x.periodZ);
        m_out.line("<tr valign=top>");
        m_out.line(q, " colspan=3>&nbsp;</td>");
        m_out.line(q, noPeriod ? ">&nbsp;</td>" : ">XM</td>");
        m_out.line(q, ">", NbspIfEmpty(JoinSpace(text(x.channelName), text(x.channelComponent))), "</td>");
        m_out.line(q, ">", timeText(x.timeXm, x.decXm, QStringLiteral("&nbsp;")), "</td>");
        m_out.line(q, " colspan=2>&nbsp;</td>");
        cell(tNs);
        cell(aNs);
        m_out.line("<td colspan=2>&nbsp;</td>");
        cell(mNe);
        m_out.line(q, ">", NbspIfEmpty(text(x.comments)), "</td>");
        m_out.line("</tr>");
        if (k >= 2) {
            m_out.line("<tr>");
            cell(tEw);
            m_out.line("<td>&nbsp;</td>");
            cell(aEw);
            m_out.line("<td>&nbsp;</td>");
            m_out.line("<td>&nbsp;</td>");
            m_out.line("</tr>");
        }
        if (k == 3) {
            m_out.line("<tr>");
            cell(tZ);
            m_out.line("<td colspan=2>&nbsp;</td>");
            cell(aZ);
            cell(mZ);
            m_out.line("</tr>");
        }
    }

    void writeStrQuake(const QString &s)
    {
        QString cols[3];
        cutStrQuake(s, cols);
        if (cols[0].isEmpty() && cols[1].isEmpty() && cols[2].isEmpty())
            return;
        m_out << QStringLiteral("<tr>")
              << QStringLiteral("<td>") + NbspIfEmpty(cols[0]) + QStringLiteral("</td>")
              << QStringLiteral("<td>&nbsp;</td>")
              << QStringLiteral("<td>") + NbspIfEmpty(cols[1]) + QStringLiteral("</td>")
              << QStringLiteral("<td colspan=6>") + NbspIfEmpty(cols[2]) + QStringLiteral("</td>")
              << QStringLiteral("<td colspan=5>&nbsp;</td>") << QStringLiteral("</tr>");
    }

    ReportState &m_state;
    ReportHost &m_host;
    DbConnection &m_dbs;
    DbQuery rst, aq1;
    BulletinLines m_out;
    ReadingFields r{};
    MeasurementFields x{};
    QHash<qint64, int> m_firstMeasurement;
};

} // namespace

void MakeReport(ReportState &State, ReportHost &Host, DbConnection &dbs, bool Show)
{
    BulletinDbRun(State, Host, dbs).run(Show);
}
