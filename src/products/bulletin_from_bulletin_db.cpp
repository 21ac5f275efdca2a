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
    return QString::number(qint64(std::trunc(field->AsFloat())));
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
        : m_state(state), m_host(host), m_dbs(dbs), rst(&dbs), aq1(&dbs)
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

        WriteReportHeader(m_out, ReportHeaderOptions(m_state), WindowHeaderStation(m_state, m_host, 0), true);

        const int max = std::max(rst.RecordCount() - 1, 0);
        m_host.Progress(max, 0, QString(), nullptr);
        int recNo = 0;
        rst.First();
        while (!rst.Eof()) {
            writeEvent();
            const QString num = text(rst.FieldByName(QStringLiteral("num")));
            const bool flag = !isNull(rst.FieldByName(QStringLiteral("FlagQuake"))) &&
                              rst.FieldByName(QStringLiteral("FlagQuake"))->AsBoolean();
            const QString strQuake = text(rst.FieldByName(QStringLiteral("StrQuake")));
            do {
                if (recNo % 10 == 0)
                    m_host.Progress(
                        max, recNo,
                        QString::number(recNo + 1) + QStringLiteral(" из ") + QString::number(max), nullptr);
                writeArrival();
                writeMeasurements();
                rst.Next();
                ++recNo;
            } while (!rst.Eof() && text(rst.FieldByName(QStringLiteral("num"))) == num);
            if (flag)
                writeStrQuake(strQuake);
        }
        m_out << QStringLiteral("</table></body></html>");
        m_out.save(m_state.tempFile);
        m_state.reportMade = true;
        if (m_state.options.mailSend)
            MailBulletin(m_state, m_host);
        if (show)
            m_host.ShowReport(m_state.tempFile);
    }

    TField *f(const char *name) { return rst.FieldByName(QString::fromLatin1(name)); }

    void writeEvent()
    {
        QString ev;
        TField *time = f("time");
        if (!isNull(time) && yearOf(time) > 1970)
            ev += QStringLiteral("O= ") + FormatDateTime(QStringLiteral("hh-nn-ss"), time->AsDateTime());
        if (!isNull(f("dec")))
            ev += QLatin1Char('.') + text(f("dec"));
        if (!isNull(f("seaz")))
            ev += QStringLiteral("  Az= ") + truncText(f("seaz")) + QStringLiteral("° ");
        if (!isNull(f("emares")))
            ev += QStringLiteral(" e= ") + truncText(f("emares")) + QStringLiteral("° ");
        ev += QStringLiteral("<br>");
        if (!isNull(f("lat")))
            ev += QStringLiteral(" lat= ") + RoundedText(f("lat")->AsFloat(), 3) + QLatin1Char(' ');
        if (!isNull(f("lon")))
            ev += QStringLiteral(" lon= ") + RoundedText(f("lon")->AsFloat(), 3) + QLatin1Char(' ');
        if (!isNull(f("depdp")))
            ev += QStringLiteral(" H= ") + truncText(f("depdp")) + QStringLiteral("km ");
        if (!isNull(f("Kps")))
            ev += QStringLiteral(" Kp+s= ") + RoundedText(f("Kps")->AsFloat(), 3);
        TField *spTime = f("S_P_time");
        if (ev == QLatin1String("<br>") && isNull(f("deltagr")) && isNull(spTime))
            ev = QStringLiteral("Параметры землетрясения отсутствуют");

        QString sp = kNbsp;
        if (!isNull(spTime) && yearOf(spTime) != 1970) {
            sp = FormatDateTime(QStringLiteral("nn-ss"), spTime->AsDateTime());
            if (!isNull(f("S_P_dec")))
                sp += QLatin1Char('.') + text(f("S_P_dec"));
        }
        QString distance = kNbsp;
        if (!isNull(f("deltagr"))) {
            distance = RoundedText(f("deltagr")->AsFloat(), 3);
            if (!isNull(f("deltakm")))
                distance +=
                    QStringLiteral("<br>") + RoundedText(f("deltakm")->AsFloat(), 3) + QStringLiteral(" km");
        }
        if (m_state.options.dline)
            m_out << (m_state.options.drawTable
                          ? QStringLiteral("<tr><td colspan=14 style=\"background:navy;height:4\"></td></tr>")
                          : QStringLiteral("<tr><td colspan=14><hr></td></tr>"));
        m_out << QStringLiteral("<tr valign=top>") << QStringLiteral("<td>&nbsp;</td>")
              << QStringLiteral("<td><b>") + text(f("num")) + QStringLiteral("</b></td>")
              << QStringLiteral("<td><b>") + text(f("Date")) + QStringLiteral("</b></td>")
              << QStringLiteral("<td colspan=3><b>") + ev + QStringLiteral("</b></td>")
              << QStringLiteral("<td><b>") + sp + QStringLiteral("</b></td>")
              << QStringLiteral("<td><b>") + distance + QStringLiteral("</b></td>")
              << QStringLiteral("<td colspan=5>&nbsp;</td>")
              << QStringLiteral("<td><b>") + NbspIfEmpty(text(f("comment"))) + QStringLiteral("</b></td>")
              << QStringLiteral("</tr>");
    }

    static QString opening(int k)
    {
        return k == 1 ? QStringLiteral("<td") : QStringLiteral("<td rowspan=") + QString::number(k);
    }

    void writeArrival()
    {
        const QString ns = JoinSpace(FieldToText(f("FM_NS")), FieldToText(f("FM_Amp_NS")));
        const QString ew = JoinSpace(FieldToText(f("FM_EW")), FieldToText(f("FM_Amp_EW")));
        const QString z = JoinSpace(FieldToText(f("FM_Z")), FieldToText(f("FM_Amp_Z")));
        const QString tNs = FieldToText(f("FM_Period_NS")), tEw = FieldToText(f("FM_Period_EW")),
                      tZ = FieldToText(f("FM_Period_Z"));
        const int k = !tZ.isEmpty() || !z.isEmpty() ? 3 : !tEw.isEmpty() || !ew.isEmpty() ? 2 : 1;
        const QString p = opening(k);
        QString wave = text(f("FM")) + text(f("Qual"));
        const QString phase = text(f("Phase"));
        if (!phase.isEmpty()) {
            if (!wave.isEmpty())
                wave += QLatin1Char(' ');
            const TField *interp = f("Interpretation");
            wave +=
                !isNull(interp) && interp->AsBoolean() ? QLatin1Char('(') + phase + QLatin1Char(')') : phase;
        }
        const QString seismo = isNull(f("N_seismo")) ? kNbsp : text(f("N_seismo"));
        m_out << QStringLiteral("<tr valign=top>") + p + QLatin1Char('>') + seismo + QStringLiteral("</td>") +
                     p + QLatin1Char('>') + text(f("num")) + QStringLiteral("</td>") + p + QLatin1Char('>') +
                     text(f("Date")) + QStringLiteral("</td>")
              << p + QLatin1Char('>') + NbspIfEmpty(wave) + QStringLiteral("</td>")
              << p + QLatin1Char('>') +
                     NbspIfEmpty(JoinSpace(text(f("Channel_name")), text(f("Channel_component")))) +
                     QStringLiteral("</td>")
              << p + QLatin1Char('>') + timeText(f("ArrTime"), f("ArrDec"), kNbsp) + QStringLiteral("</td>")
              << p + QStringLiteral(" colspan=2>&nbsp;</td>")
              << QStringLiteral("<td>") + NbspIfEmpty(tNs) + QStringLiteral("</td>")
              << QStringLiteral("<td>") + NbspIfEmpty(ns) + QStringLiteral("</td>")
              << QStringLiteral("<td colspan=3>&nbsp;</td>")
              << p + QLatin1Char('>') + NbspIfEmpty(text(f("Comments"))) + QStringLiteral("</td>")
              << QStringLiteral("</tr>");
        if (k >= 2)
            m_out << QStringLiteral("<tr>")
                  << QStringLiteral("<td>") + NbspIfEmpty(tEw) + QStringLiteral("</td>")
                  << QStringLiteral("<td>&nbsp;</td>")
                  << QStringLiteral("<td>") + NbspIfEmpty(ew) + QStringLiteral("</td>")
                  << QStringLiteral("<td colspan=2>&nbsp;</td>") << QStringLiteral("</tr>");
        if (k == 3)
            m_out << QStringLiteral("<tr>")
                  << QStringLiteral("<td>") + NbspIfEmpty(tZ) + QStringLiteral("</td>")
                  << QStringLiteral("<td colspan=2>&nbsp;</td>")
                  << QStringLiteral("<td>") + NbspIfEmpty(z) + QStringLiteral("</td>")
                  << QStringLiteral("<td>&nbsp;</td>") << QStringLiteral("</tr>");
    }

    void writeMeasurements()
    {
        const TField *arid = f("arid");
        if (!QActStrings(aq1, {QStringLiteral("select * from [Динамические замеры] where"),
                               QStringLiteral("arid=") + QString::number(arid->AsLargeInt()),
                               QStringLiteral("order by Id_XM")}))
            throw QuietStop();
        const auto m = [this](const char *name) { return aq1.FindField(QString::fromLatin1(name)); };
        for (aq1.First(); !aq1.Eof(); aq1.Next()) {
            const TField *timeXm = m("TimeXm");
            if (!isNull(timeXm) && timeXm->AsDateTime() < m_state.period.begDate)
                continue;
            const QString aNs = FieldToText(m("Amp_NS")), aEw = FieldToText(m("Amp_EW")),
                          aZ = FieldToText(m("Amp_Z"));
            const QString tNs = FieldToText(m("Period_NS")), tEw = FieldToText(m("Period_EW")),
                          tZ = FieldToText(m("Period_Z"));
            const QString mNe =
                JoinSpace(FieldToText(m("Magnitude_NE")), KPrefix(FieldToText(m("Klass_NE"))));
            const QString mZ = JoinSpace(FieldToText(m("Magnitude_Z")), KPrefix(FieldToText(m("Klass_Z"))));
            const int k = !tZ.isEmpty() || !aZ.isEmpty() || !mZ.isEmpty() ? 3
                          : !tEw.isEmpty() || !aEw.isEmpty()              ? 2
                                                                          : 1;
            const QString q = opening(k);
            const bool noPeriod = isNull(m("Period_NS")) && isNull(m("Period_EW")) && isNull(m("Period_Z"));
            const auto cell = [](const QString &s) {
                return QStringLiteral("<td>") + NbspIfEmpty(s) + QStringLiteral("</td>");
            };
            m_out << QStringLiteral("<tr valign=top>") << q + QStringLiteral(" colspan=3>&nbsp;</td>")
                  << q + QLatin1Char('>') + (noPeriod ? QStringLiteral("&nbsp;") : QStringLiteral("XM")) +
                         QStringLiteral("</td>")
                  << q + QLatin1Char('>') +
                         NbspIfEmpty(JoinSpace(text(m("Channel_nameXM")), text(m("Channel_componentXM")))) +
                         QStringLiteral("</td>")
                  << q + QLatin1Char('>') + timeText(timeXm, m("DecXm"), QStringLiteral("&nbsp;")) +
                         QStringLiteral("</td>")
                  << q + QStringLiteral(" colspan=2>&nbsp;</td>") << cell(tNs) << cell(aNs)
                  << QStringLiteral("<td colspan=2>&nbsp;</td>") << cell(mNe)
                  << q + QLatin1Char('>') + NbspIfEmpty(text(m("Comments"))) + QStringLiteral("</td>")
                  << QStringLiteral("</tr>");
            if (k >= 2)
                m_out << QStringLiteral("<tr>") << cell(tEw) << QStringLiteral("<td>&nbsp;</td>") << cell(aEw)
                      << QStringLiteral("<td>&nbsp;</td>") << QStringLiteral("<td>&nbsp;</td>")
                      << QStringLiteral("</tr>");
            if (k == 3)
                m_out << QStringLiteral("<tr>") << cell(tZ) << QStringLiteral("<td colspan=2>&nbsp;</td>")
                      << cell(aZ) << cell(mZ) << QStringLiteral("</tr>");
        }
        aq1.Close();
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
};

} // namespace

void MakeReport(ReportState &State, ReportHost &Host, DbConnection &dbs, bool Show)
{
    BulletinDbRun(State, Host, dbs).run(Show);
}
