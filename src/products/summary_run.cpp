#include "products/summary_run.h"

#include "db/db_connection.h"
#include "db/db_query.h"
#include "lib/errors.h"
#include "lib/messages.h"
#include "lib/safe_write.h"
#include "lib/sql_text.h"
#include "lib/statements.h"
#include "lib/string_table.h"
#include "products/bulletin_html.h"
#include "products/summary_text.h"

#include <QHash>

namespace {

const QString kBulletin = QStringLiteral("[Станционный бюллетень]");

QString fieldText(TField *field)
{
    return FixedFieldText(field);
}

QString dateText(TField *field)
{
    return field->IsNull() ? QString() : DateTimeNumberText(field->AsDateTime());
}

QString numberList(const QList<qlonglong> &numbers)
{
    QStringList texts;
    texts.reserve(numbers.size());
    for (qlonglong n : numbers)
        texts << QString::number(n);
    return texts.join(QLatin1Char(','));
}

void writeSummaryFile(const QString &path, const QString &text)
{
    QString reason;
    if (!SafeWriteFile(path, SummaryFileBytes(text), &reason))
        throw EFileError(QStringLiteral("Не удалось записать файл \"%1\": %2").arg(path, reason));
}

class SummaryRun
{
public:
    SummaryRun(SummaryHost &host, SummaryRunStats &stats)
        : m_host(host), m_stats(stats), m_dbs(host.BulletinConnection()), rst_num(&m_dbs), aq1(&m_dbs),
          rst(&m_dbs), rst2(&m_dbs), rst_empty(&m_dbs), rst_phase(&m_dbs), xm(&m_dbs)
    {
        // Each is read once, front to back: a static dataset would also ask the server's catalog about
        // its table (to write rows back), several round trips at every connection.
        for (DbQuery *q : {&rst_num, &aq1, &rst, &rst2, &rst_empty, &rst_phase, &xm})
            q->SetForwardOnly(true);
    }

    void run()
    {
        try {
            build();
        } catch (const std::exception &e) {
            MessageProc(m_host.Owner(),
                        QStringLiteral("SvodkaProc: Операция прервана. Сообщение об ошибке:\r") +
                            ExceptionText(e),
                        MB_ICONERROR, MB_OK);
        }
        cleanUp();
    }

private:
    bool act(DbQuery &query, const QString &sql)
    {
        ++m_stats.statements;
        return QAct(query, sql);
    }

    void build()
    {
        if (!m_host.AskSummaryParameters())
            return;
        const Tsett &sett = m_host.Settings();
        RefuseSummaryDay(sett.svodka_date);
        QString source, user, password;
        if (!m_host.GetStationDBParams(source, user, password, -1, false))
            return;
        if (!m_host.OpenDB_ADO(m_dbs, source, user, password, false))
            return;

        QString day, unused;
        m_host.SqlDateRange(day, unused, sett.svodka_date, sett.svodka_date);
        m_day = day;

        if (!act(rst_num, QStringLiteral("SELECT distinct Station_Cod FROM ") + kBulletin +
                              QStringLiteral(" WHERE [Date] = ") + day))
            return;
        QStringList stations;
        for (rst_num.First(); !rst_num.Eof(); rst_num.Next())
            stations << fieldText(rst_num.Field(0));
        rst_num.Close();

        const QString name = SummaryFileName(m_host.CurrentStationSection(), sett.svodka_date);
        QString text;
        if (stations.isEmpty()) {
            QString code = m_host.CurrentStationCode();
            if (code.isEmpty())
                code = m_host.CurrentStationSection();
            AppendEmptyTelegram(text, code, sett.svodka_date, sett.dperiod);
            MessageProc(m_host.Owner(), QStringLiteral("Данные по станции(ям) за этот период отсутствуют"),
                        MB_ICONWARNING, MB_OK);
        }
        for (int i = 0; i < stations.size(); ++i) {
            if (i > 0)
                text += QStringLiteral("\n\n");
            if (!station(stations[i], text))
                return;
        }
        m_stats.stations = int(stations.size());
        m_stats.fileName = name;

        const QString path = sett.svodka_dir + QLatin1Char('/') + name;
        writeSummaryFile(path, text);

        QStringList lines;
        const int result = m_host.EditSummary(path, sett.mails_send, lines);
        if (!sett.mails_send || result != IDOK)
            return;
        bool sent;
        if (sett.mails_att) {
            sent = m_host.SendMail(QLatin1Char('s'), QStringLiteral("Сводка ") + name, path);
        } else {
            text = lines.join(QStringLiteral("\r\n"));
            sent = m_host.SendMail(QLatin1Char('s'), text, QString());
        }
        const QString note = sent ? QStringLiteral("\rСводка успешно отправлена по почте.")
                                  : QStringLiteral("\rНе удалось отправить сводку по почте!");
        MessageProc(m_host.Owner(), QStringLiteral("Готово!") + note,
                    sent ? MB_ICONINFORMATION : MB_ICONWARNING, MB_OK);
    }

    // One station's telegram appended to the text; false when a statement failed.
    bool station(const QString &code, QString &text)
    {
        const Tsett &sett = m_host.Settings();
        const QString where = QStringLiteral(" and Station_Cod='") + SqlEscape(code) + QLatin1Char('\'');

        // An event carried over from the day before belongs to that day's summary; only the lowest
        // number of the day can be one, and only rows on an earlier day make it one.
        QString exclude;
        if (!act(rst_num, QStringLiteral("SELECT min(N_equake) as min_num FROM ") + kBulletin +
                              QStringLiteral(" WHERE [Date] = ") + m_day + where))
            return false;
        if (!rst_num.Eof() && !rst_num.Field(0)->IsNull()) {
            const QString first = QString::number(rst_num.Field(0)->AsLargeInt());
            if (!act(rst_num, QStringLiteral("SELECT count(N_equake) as cnt FROM ") + kBulletin +
                                  QStringLiteral(" WHERE [Date] < ") + m_day +
                                  QStringLiteral(" AND N_equake = ") + first + where))
                return false;
            if (rst_num.Field(0)->AsInteger() > 0)
                exclude = QStringLiteral(" AND N_equake<>") + first;
        }
        rst_num.Close();

        m_aq1Lines = QStringList{QStringLiteral("select * from [Динамические замеры] where"),
                                 QStringLiteral("arid=0"), QStringLiteral("order by TimeXM,DecXm")};
        aq1.SetSQL(m_aq1Lines.join(QLatin1Char('\r')));
        ++m_stats.statements;
        if (!QAct(aq1, QString()))
            return false;
        const int measurementFields = aq1.FieldCount();
        TD2D table;
        table.Init(measurementFields + FirstMeasurementColumn, 1, false);
        QList<int> timeXm;
        for (int f = 0; f < measurementFields; ++f) {
            const QString field = aq1.Field(f)->FieldName();
            table.SetCell(FirstMeasurementColumn + f, 0, field);
            timeXm << (field.compare(QLatin1String("TimeXm"), Qt::CaseInsensitive) == 0);
        }

        if (!act(rst,
                 QStringLiteral("SELECT num,[time],dec,lat,lon,depdp,deltagr,deltakm,comment FROM [События] "
                                "WHERE num in (SELECT distinct N_equake FROM ") +
                     kBulletin + QStringLiteral(" WHERE [Date] = ") + m_day + exclude + where +
                     QStringLiteral(") order by num")))
            return false;

        // The readings of every event and the measurements of every reading are read at once, each set
        // in the order one event's or one reading's statement gives (a statement per event and per reading
        // is a round trip each to a server on the network); the key breaks ties those orders leave open.
        QList<QStringList> events;
        QList<qlonglong> nums;
        for (rst.First(); !rst.Eof(); rst.Next()) {
            QStringList event;
            for (int f = 0; f < 9; ++f)
                event << (f == ColTime ? dateText(rst.Field(f)) : fieldText(rst.Field(f)));
            events << event;
            nums << rst.Field(0)->AsLargeInt();
        }
        QHash<qlonglong, QList<QStringList>> readings;
        if (!events.isEmpty()) {
            if (!act(rst2,
                     QStringLiteral("SELECT * FROM (SELECT arid,N_equake,Date,FM,Qual,Interpretation,Phase,"
                                    "Channel_Cod,Channel_component,Time AS ArrTime,Dec AS ArrDec,FM_NS,"
                                    "FM_EW,(Switch(((UCase(phase)='LR') Or (UCase(phase)='LRM') Or "
                                    "(UCase(phase)='LQ') Or (UCase(phase)='LQM')),2,True,1)) AS tpph FROM ") +
                         kBulletin + QStringLiteral(" WHERE N_equake in (") + numberList(nums) +
                         QLatin1Char(')') + where + QStringLiteral(") ORDER BY tpph,ArrTime,ArrDec,arid")))
                return false;
            // The reading's columns of the table, from ColArid on (ColArid + 1 stays empty).
            QList<TField *> fields;
            for (const char *name :
                 {"arid", "", "Date", "FM", "Qual", "Interpretation", "Phase", "Channel_Cod",
                  "Channel_component", "ArrTime", "ArrDec", "FM_NS", "FM_EW"})
                fields << (*name ? rst2.FieldByName(QString::fromLatin1(name)) : nullptr);
            TField *event = rst2.FieldByName(QStringLiteral("N_equake"));
            for (rst2.First(); !rst2.Eof(); rst2.Next()) {
                QStringList arrival;
                for (qsizetype c = 0; c < fields.size(); ++c) {
                    const int column = ColArid + int(c);
                    arrival << (!fields[c]                                  ? QString()
                                : column == ColDate || column == ColArrTime ? dateText(fields[c])
                                                                            : fieldText(fields[c]));
                }
                readings[event->AsLargeInt()] << arrival;
            }
        }

        // A reading number from the file goes into the measurement statement as a number when it is an
        // integer; any other the reading's own statement asks for, as a quoted literal.
        QList<qlonglong> arids;
        for (qlonglong num : std::as_const(nums))
            for (const QStringList &reading : readings.value(num)) {
                bool numeric = false;
                const qlonglong arid = reading[0].toLongLong(&numeric);
                if (numeric)
                    arids << arid;
            }
        QHash<qlonglong, QList<QStringList>> measurements;
        if (!arids.isEmpty()) {
            QString tie;
            for (int f = 0; f < measurementFields; ++f)
                if (table.GetCell(FirstMeasurementColumn + f, 0)
                        .compare(QLatin1String("Id_XM"), Qt::CaseInsensitive) == 0)
                    tie = QStringLiteral(",Id_XM");
            if (!act(xm, QStringLiteral("select * from [Динамические замеры] where arid in (") +
                             numberList(arids) + QStringLiteral(") order by TimeXM,DecXm") + tie))
                return false;
            TField *arid = xm.FieldByName(QStringLiteral("arid"));
            for (xm.First(); !xm.Eof(); xm.Next())
                measurements[arid->AsLargeInt()] << measurementCells(xm, timeXm);
            xm.Close();
        }

        for (qsizetype e = 0; e < events.size(); ++e) {
            for (const QStringList &reading : readings.value(nums[e])) {
                QStringList arrival = events[e];
                for (int c = 0; c < reading.size(); ++c)
                    arrival << reading[c];
                bool numeric = false;
                const qlonglong arid = arrival[ColArid].toLongLong(&numeric);
                if (numeric) {
                    const QList<QStringList> own = measurements.value(arid);
                    if (own.isEmpty())
                        addRow(table, arrival, {});
                    for (const QStringList &cells : own)
                        addRow(table, arrival, cells);
                    continue;
                }
                m_aq1Lines[1] = QStringLiteral("arid=") + SqlQuote(arrival[ColArid]);
                ++m_stats.statements;
                if (!QActStrings(aq1, m_aq1Lines))
                    return false;
                if (aq1.Eof()) {
                    addRow(table, arrival, {});
                } else {
                    for (aq1.First(); !aq1.Eof(); aq1.Next())
                        addRow(table, arrival, measurementCells(aq1, timeXm));
                }
            }
        }

        for (int r = 1; r < table.RowCount(); ++r)
            table.SetCell(ColPhase, r, table.GetCell(ColPhase, r).trimmed());
        m_stats.rows += table.RowCount() - 1;

        if (table.RowCount() > 1) {
            SummaryStation st;
            st.code = code;
            st.day = sett.svodka_date;
            st.dperiod = sett.dperiod;
            if (!act(rst_empty,
                     QStringLiteral("SELECT distinct StrQuake from [События] INNER JOIN ") + kBulletin +
                         QStringLiteral(" ON События.num = [Станционный бюллетень].N_equake WHERE "
                                        "Station_Cod='") +
                         SqlEscape(code) + QStringLiteral("' and (([Станционный бюллетень].[Date] = ") +
                         m_day + QStringLiteral(") And (StrQuake is not null))")))
                return false;
            for (rst_empty.First(); !rst_empty.Eof(); rst_empty.Next())
                st.outTexts << fieldText(rst_empty.Field(0));
            if (!act(rst_phase, QStringLiteral("Select iphase,Phase from [Обозначения волн]")))
                return false;
            for (rst_phase.First(); !rst_phase.Eof(); rst_phase.Next())
                st.designations << SummaryDesignation{fieldText(rst_phase.Field(0)),
                                                      fieldText(rst_phase.Field(1))};
            ComposeTelegram(text, table, st);
            text = CleanSummaryText(text);
            rst_phase.Close();
        } else {
            AppendEmptyTelegram(text, code, sett.svodka_date, sett.dperiod);
        }
        rst.Close();
        return true;
    }

    // The measurement's columns of the table, from the current row.
    static QStringList measurementCells(DbQuery &measurement, const QList<int> &timeXm)
    {
        QStringList cells;
        for (int f = 0; f < timeXm.size(); ++f) {
            TField *field = measurement.Field(f);
            cells << (timeXm[f] ? dateText(field) : fieldText(field));
        }
        return cells;
    }

    // A row of the arrival's columns, with the measurement's or with none.
    static void addRow(TD2D &table, const QStringList &arrival, const QStringList &measurement)
    {
        const int r = table.AddRows(1);
        for (int c = 0; c < arrival.size(); ++c)
            table.Columns[c][r] = arrival[c];
        for (int f = 0; f < measurement.size(); ++f)
            table.Columns[FirstMeasurementColumn + f][r] = measurement[f];
    }

    void cleanUp()
    {
        for (DbQuery *q : {&aq1, &rst_num, &rst, &rst_empty, &rst_phase, &rst2, &xm}) {
            try {
                q->Close();
            } catch (const std::exception &) {
                // Closing a dataset whose connection went away cannot fail in a way that matters here.
            }
        }
        m_host.CloseDB_ADO(m_dbs);
    }

    SummaryHost &m_host;
    SummaryRunStats &m_stats;
    DbConnection &m_dbs;
    DbQuery rst_num, aq1, rst, rst2, rst_empty, rst_phase;
    // The measurements of the station's readings, read at once.
    DbQuery xm;
    QStringList m_aq1Lines;
    QString m_day;
};

} // namespace

void SvodkaProc(SummaryHost &Host, SummaryRunStats *Stats)
{
    SummaryRunStats local;
    SummaryRun(Host, Stats ? *Stats : local).run();
}
