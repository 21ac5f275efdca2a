#include "products/bulletin_report.h"

#include "db/sql_literals.h"
#include "lib/messages.h"

#include <QFile>

void ReportSqlDateRange(const Tsett &Sett, TDateTime From, TDateTime To, QString &FromLit, QString &ToLit)
{
    SqlDateRangeLiterals(Sett.out_provider != 0, From, To, FromLit, ToLit);
}

HeaderOptions ReportHeaderOptions(const ReportState &State)
{
    HeaderOptions o;
    o.number = State.period.number;
    o.begDate = State.period.begDate;
    o.endDate = State.period.endDate;
    o.putBegDate = State.options.putBegDate;
    o.drawTable = State.options.drawTable;
    o.orx = State.sett.fullorx;
    o.qtype = State.options.qtype;
    o.severalStations = State.codes.size() > 1;
    return o;
}

HeaderStation WindowHeaderStation(const ReportState &State, ReportHost &Host, int Index)
{
    HeaderStation h;
    h.height = State.options.hval;
    h.latitude = QString(State.options.fi).replace(QLatin1Char('"'), QStringLiteral("&quot;"));
    h.longitude = QString(State.options.lamb).replace(QLatin1Char('"'), QStringLiteral("&quot;"));
    h.ground = State.options.subter;
    const QString code =
        Index >= 0 && Index < State.reportCodes.size() ? State.reportCodes[Index] : QString();
    const int entry = Index >= 0 && Index < State.codeIndex.size() ? State.codeIndex[Index] : -1;
    if (entry >= 0 && entry < State.stations.size()) {
        const tstainfo &s = State.stations[entry];
        h.name = !s.name.isEmpty() ? s.name : !s.sta.isEmpty() ? s.sta : code;
    } else {
        tstainfo s;
        if (Host.MainStation(code, s)) {
            if (!s.name.isEmpty())
                h.name = s.name;
            else
                h.name = s.sta.isEmpty() ? QStringLiteral("/ ") + code : s.sta + QStringLiteral(" / ") + code;
        }
    }
    if (h.name.isEmpty())
        h.name = QStringLiteral("&lt; без названия &gt;");
    return h;
}

void MailBulletin(const ReportState &State, ReportHost &Host)
{
    const QString zip = Host.ProgramFolder() + QStringLiteral("system/stbul_") +
                        QString::number(Host.ReportCounter()) + QStringLiteral(".zip");
    struct Remove
    {
        QString name;
        ~Remove() { QFile::remove(name); }
    } remove{zip};
    Host.ZipFiles(zip, State.tempFile);
    const ReportOptions &o = State.options;
    if (!Host.SendMail(QStringLiteral("Станционный бюллетень"), zip, o.mailGlobal, o.mailFrom, o.mailTo,
                       o.mailCc, o.mailSubject))
        MessageProc(Host.Owner(), QStringLiteral("Не удалось отправить станционный бюллетень по почте!"),
                    MB_ICONERROR, MB_OK);
}
