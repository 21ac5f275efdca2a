#include "exchange/text/bulletin_export.h"

#include "app/settings/settings_record.h"
#include "db/db_connection.h"
#include "db/db_query.h"
#include "exchange/text/delimited_writer.h"
#include "lib/errors.h"
#include "lib/messages.h"

#include <QDir>
#include <QFile>

int ExportDecade(TDateTime date)
{
    int y, m, d;
    DecodeDate(date, y, m, d);
    return (m - 1) * 3 + std::min((d - 1) / 10, 2) + 1;
}

namespace {

QString ymd(TDateTime date)
{
    int y, m, d;
    DecodeDate(date, y, m, d);
    return QString::asprintf("%04d%02d%02d", y, m, d);
}

} // namespace

void ExportBullet(BulletinExportHost &host)
{
    if (!host.AskExportParameters())
        return;
    Tsett &s = host.Settings();
    if (s.exp_dir.isEmpty()) {
        MessageProc(nullptr, QStringLiteral("Директория не указана. Экспорт невозможен"), MB_ICONERROR,
                    MB_OK);
        return;
    }
    QString msg;
    QString failure;
    bool mailFailed = false;
    bool opened = false;
    try {
        QString source, user, password;
        if (!host.GetStationDBParams(source, user, password))
            return;
        if (!host.OpenBulletin(source, user, password))
            return;
        opened = true;
        const QString n = QString::number(ExportDecade(s.exp_start_date));
        QString fromLit, toLit;
        host.SqlDateRange(fromLit, toLit, s.exp_start_date, s.exp_end_date);
        const QString period = QStringLiteral(" Between ") + fromLit + QStringLiteral(" And ") + toLit;
        const QString sub =
            QStringLiteral(" FROM [Станционный бюллетень] WHERE ([Станционный бюллетень].[Date]") + period +
            QStringLiteral(")");
        const QString events = QStringLiteral("[События].");
        QStringList eventCols = {
            QStringLiteral("orid"),     QStringLiteral("[num]"),   QStringLiteral("[time]"),
            QStringLiteral("dec"),      QStringLiteral("lat"),     QStringLiteral("lon"),
            QStringLiteral("depdp"),    QStringLiteral("deltagr"), QStringLiteral("deltakm"),
            QStringLiteral("seaz"),     QStringLiteral("emares"),  QStringLiteral("S_P_time"),
            QStringLiteral("S_P_dec"),  QStringLiteral("Kps"),     QStringLiteral("FlagQuake"),
            QStringLiteral("StrQuake"), QStringLiteral("comment"), QStringLiteral("lddate")};
        for (QString &c : eventCols)
            c.prepend(events);
        const QString xm = QStringLiteral("[Динамические замеры].");
        QStringList xmCols = {QStringLiteral("Id_XM"),
                              QStringLiteral("arid"),
                              QStringLiteral("Channel_nameXm"),
                              QStringLiteral("Channel_CodXM"),
                              QStringLiteral("Channel_componentXM"),
                              QStringLiteral("TimeXm"),
                              QStringLiteral("DecXm"),
                              QStringLiteral("Period_NS"),
                              QStringLiteral("Amp_NS"),
                              QStringLiteral("Period_EW"),
                              QStringLiteral("Amp_EW"),
                              QStringLiteral("Period_Z"),
                              QStringLiteral("Amp_Z"),
                              QStringLiteral("Magnitude_NE"),
                              QStringLiteral("Klass_NE"),
                              QStringLiteral("Magnitude_Z"),
                              QStringLiteral("Klass_Z")};
        for (QString &c : xmCols)
            c.prepend(xm);
        const struct
        {
            const char *name;
            const char *caption;
            int spec;
            QString sql;
        } parts[] = {
            {"Station_bulletin", "Station bulletin", 1,
             QStringLiteral("SELECT * FROM [Станционный бюллетень] WHERE ([Date]") + period +
                 QStringLiteral(")")},
            {"Events", "Events", 0,
             QStringLiteral("SELECT ") + eventCols.join(QLatin1Char(',')) +
                 QStringLiteral(" FROM [События] WHERE [События].num IN (SELECT N_equake") + sub +
                 QStringLiteral(")")},
            {"XM_Add", "XM_Add", 2,
             QStringLiteral("SELECT ") + xmCols.join(QLatin1Char(',')) +
                 QStringLiteral(
                     " FROM [Динамические замеры] WHERE [Динамические замеры].arid IN (SELECT arid") +
                 sub + QStringLiteral(")")},
        };
        bool all = true;
        for (const auto &p : parts) {
            const tspec &spec = host.ExportSpec(p.spec);
            TFormatSettings fs;
            TspecToFormatSettings(fs, spec, host.LocaleSettings(), host.CurrentYear());
            DbQuery q(&host.BulletinConnection());
            const int count =
                ExportQueryToFile(q, s.exp_dir, QLatin1String(p.name) + n, spec, p.sql, true, fs);
            if (count > 0) {
                msg += QStringLiteral("Экспорт ") + QLatin1String(p.caption) + QStringLiteral(" выполнен, ") +
                       QString::number(count) + QStringLiteral(" записей\r");
            } else {
                msg += QStringLiteral("Экспорт ") + QLatin1String(p.caption) +
                       QStringLiteral(" не выполнен, 0 записей");
                all = false;
                break;
            }
        }
        if (all && s.maile_send) {
            const QString zipName = QStringLiteral("StBulExp_") + ymd(s.exp_start_date) + QLatin1Char('_') +
                                    ymd(s.exp_end_date) + QStringLiteral(".zip");
            const QDir dir(s.exp_dir);
            const QString zipPath = dir.filePath(zipName);
            host.ZipFiles(zipPath,
                          {dir.filePath(QStringLiteral("Station_bulletin") + n + QStringLiteral(".txt")),
                           dir.filePath(QStringLiteral("Events") + n + QStringLiteral(".txt")),
                           dir.filePath(QStringLiteral("XM_Add") + n + QStringLiteral(".txt"))});
            const QString name = host.StationName();
            const QString station =
                name.isEmpty() ? host.StationCode() : QLatin1Char('"') + name + QLatin1Char('"');
            const QString body = QStringLiteral("Экспорт с/с ") + station +
                                 QStringLiteral(" из БД \"Станционный бюллетень\" (файл ") + zipName +
                                 QStringLiteral(")");
            mailFailed = !host.SendMail(body, zipPath);
            msg += mailFailed ? QStringLiteral("Не удалось отправить экспорт по почте!")
                              : QStringLiteral("Экспорт успешно отправлен по почте.");
            QFile::remove(zipPath);
        }
    } catch (const std::exception &e) {
        failure = ExceptionText(e);
    }
    if (!msg.isEmpty())
        MessageProc(nullptr, msg, mailFailed ? MB_ICONWARNING : MB_ICONINFORMATION, MB_OK);
    if (opened)
        host.CloseBulletin();
    if (!failure.isNull())
        MessageProc(nullptr,
                    QStringLiteral("ExportBullet: Операция прервана. Сообщение об ошибке:\r") + failure,
                    MB_ICONERROR, MB_OK);
}
