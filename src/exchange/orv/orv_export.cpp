#include "exchange/orv/orv_export.h"

#include "db/db_connection.h"
#include "db/db_query.h"
#include "exchange/orv/orv_file.h"
#include "lib/codec.h"
#include "lib/dataset_api.h"
#include "lib/epoch.h"
#include "lib/held_messages.h"
#include "lib/messages.h"
#include "lib/record_stream.h"
#include "lib/safe_write.h"
#include "lib/sql_text.h"
#include "lib/statements.h"
#include "lib/temp_folders.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QScopeGuard>

#include <cmath>
#include <memory>

namespace {

QString stampText(TDateTime value)
{
    int y = 0, m = 0, d = 0, h = 0, n = 0, s = 0, ms = 0;
    DecodeDateTime(value, y, m, d, h, n, s, ms);
    const auto two = [](int v) { return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0')); };
    QString text = QStringLiteral("%1").arg(y, 4, 10, QLatin1Char('0')) + two(m) + two(d);
    if (h != 0 || n != 0 || s != 0)
        text += two(h) + two(n) + two(s);
    return text;
}

// Epoch seconds of a date-time with the seconds rounded to tenths.
double periodEpoch(TDateTime value)
{
    int y = 0, m = 0, d = 0, h = 0, n = 0, s = 0, ms = 0;
    DecodeDateTime(value, y, m, d, h, n, s, ms);
    const double seconds = std::round((s + ms / 1000.0) * 10) / 10;
    return htoe(quint16(y), quint16(m), quint16(d), quint16(h), quint16(n), seconds);
}

// A date-time to the millisecond of an epoch; 0 for none.
TDateTime epochDateTime(const TField &field)
{
    if (field.IsNull())
        return 0;
    quint16 y = 0, m = 0, d = 0, h = 0, n = 0, s = 0, ms = 0;
    if (!etoh(field.AsFloat(), y, m, d, h, n, s, ms, true))
        return 0;
    TDateTime date = 0, time = 0;
    if (!TryEncodeDate(y, m, d, date) || !TryEncodeTime(h, n, s, ms, time))
        return 0;
    return ComposeDateTime(date, time);
}

class OrvExport
{
public:
    OrvExport(OrvExportHost &host, OrvExportStats *stats)
        : m_host(host), m_stats(stats), m_sett(host.Settings()), m_current(host.CurrentStationSection()),
          m_checked(host.CheckedStations())
    {}
    void run();

private:
    QString MakeExportWhere();
    bool ExportTable(const QString &FileName, const QString &TableName, const QString &Where, int *Rows);
    bool SaveTextToFile(const QString &FileName, const QString &Text);
    bool count(const QString &sql, qint64 &n);

    OrvExportHost &m_host;
    OrvExportStats *m_stats;
    const Tsett m_sett;
    const QString m_current;
    const QStringList m_checked;
    std::unique_ptr<DbQuery> m_query;
    QStringList m_stations;
    QList<torxhsta> m_entries;
    QString m_period;
    QStringList m_members;
};

bool OrvExport::count(const QString &sql, qint64 &n)
{
    if (!QAct(*m_query, sql))
        return false;
    n = m_query->Eof() ? 0 : m_query->Field(0)->AsLargeInt();
    return true;
}

QString OrvExport::MakeExportWhere()
{
    const Tsett &sett = m_sett;
    const double start = periodEpoch(sett.exp_start_date);
    const double end = periodEpoch(sett.exp_end_date + 1);
    QString condition, stationsText;
    if (sett.expset == 0) {
        condition = QStringLiteral("rtrim(sta)=") + SqlQuote(m_current);
        stationsText = m_current;
    } else if (sett.expset == 3) {
        condition = QStringLiteral("sta is not null");
    } else {
        QStringList codes = m_checked;
        if (sett.expset == 2)
            codes.prepend(m_current);
        QStringList quoted;
        for (const QString &c : std::as_const(codes))
            quoted << SqlQuote(c);
        condition = QStringLiteral("rtrim(sta) in (") + quoted.join(QLatin1Char(',')) + QLatin1Char(')');
        stationsText = codes.join(QLatin1Char(','));
    }
    m_period = QStringLiteral("itime>=") + SqlNumber(start) + QStringLiteral(" and itime<") + SqlNumber(end);
    const QString from =
        QStringLiteral(" from arrival where ") + m_period + QStringLiteral(" and ") + condition;
    if (!QAct(*m_query, QStringLiteral("select count(eventid),min(eventid),max(eventid)") + from))
        return QString();
    if (m_query->Eof() || m_query->Field(0)->AsLargeInt() <= 0) {
        MessageProc(m_host.Owner(),
                    QStringLiteral("Данные по станции(ям) \"") +
                        CutForMessage(stationsText, MaxQuotedStatementChars) +
                        QStringLiteral("\" за этот период отсутствуют"),
                    MB_ICONWARNING, MB_OK);
        return QString();
    }
    const QString first = SqlQuote(m_query->Field(1)->AsString());
    const QString last = SqlQuote(m_query->Field(2)->AsString());
    // An event cut by the period start is left out, one cut by its end is taken whole.
    const auto cut = [&](const QString &id, bool &isCut) {
        qint64 all = 0, inside = 0;
        if (!count(QStringLiteral("select count(eventid) from arrival where ") + condition +
                       QStringLiteral(" and eventid=") + id,
                   all) ||
            !count(QStringLiteral("select count(eventid)") + from + QStringLiteral(" and eventid=") + id,
                   inside))
            return false;
        isCut = inside < all;
        return true;
    };
    bool firstCut = false, lastCut = false;
    if (!cut(first, firstCut) || !cut(last, lastCut))
        return QString();
    const QString except = firstCut ? QStringLiteral(" and eventid<>") + first : QString();
    if (!lastCut)
        return QStringLiteral(" where ") + condition + except + QStringLiteral(" and ") + m_period;
    return QStringLiteral(" where ") + condition + except + QStringLiteral(" and ((") + m_period +
           QStringLiteral(") or eventid=") + last + QLatin1Char(')');
}

bool OrvExport::ExportTable(const QString &FileName, const QString &TableName, const QString &Where,
                            int *Rows)
{
    // Rows read forward only keep a SQLite file locked for writers: what goes wrong is said once they are
    // let go.
    HeldMessages held;
    SafeFileWriter file(FileName);
    // A year of a network's arrivals is far more than the rows need be held at once: they are read
    // forward only, the count first for the progress, and the header gets the count of rows written.
    DbQuery q(m_query->Connection());
    q.SetForwardOnly(true);
    const auto close = qScopeGuard([&q] { q.Close(); });
    if (!file.open()) {
        MessageProc(m_host.Owner(), SafeWriteMessage(FileName, file.errorString()), MB_ICONERROR, MB_OK);
        return false;
    }
    if (!QAct(q, QStringLiteral("select count(*) from ") + TableName + Where))
        return false;
    const int total = q.Eof() ? 0 : q.Field(0)->AsInteger();
    q.Close();
    if (!QAct(q, QStringLiteral("select * from ") + TableName + Where))
        return false;
    m_host.SetProgressMaximum(qMax(total, 1));
    const QString suffix = QStringLiteral(" из ") + QString::number(total);

    orxheader header;
    header.table = TableName.left(OrvTableNameCapacity);
    header.fieldCount = q.FieldCount();
    header.recordCount = total;
    header.periodStart = m_sett.exp_start_date;
    header.periodEnd = m_sett.exp_end_date;
    header.stations = m_entries;
    for (int i = 0; i < q.FieldCount(); ++i) {
        header.fieldNames << q.Field(i)->FieldName();
        header.fieldTypes.append(char(int(q.Field(i)->DataType())));
    }
    // Rows go out in blocks: a write per value would cost a system call each.
    QByteArray block;
    QBuffer buffer(&block);
    buffer.open(QIODevice::WriteOnly);
    const auto flush = [&] {
        const bool ok = file.write(block);
        block.clear();
        buffer.seek(0);
        if (!ok)
            MessageProc(m_host.Owner(), SafeWriteMessage(FileName, file.errorString()), MB_ICONERROR, MB_OK);
        return ok;
    };
    if (!WriteOrvHeader(buffer, header) || !flush())
        return false;
    QElapsedTimer clock;
    clock.start();
    qint64 lastRefresh = 0;
    int row = 0;
    for (; !q.Eof(); q.Next(), ++row) {
        if (clock.elapsed() - lastRefresh > 500) {
            m_host.SetProgress(row, QString::number(row + 1) + suffix);
            lastRefresh = clock.elapsed();
        }
        if (!WriteRec2Stream(buffer, q))
            return false;
        if (block.size() >= (1 << 18) && !flush())
            return false;
    }
    if (!flush())
        return false;
    if (row != total && !file.rewrite(OrvRecordCountOffset, OrvRecordCountBytes(row))) {
        MessageProc(m_host.Owner(), SafeWriteMessage(FileName, file.errorString()), MB_ICONERROR, MB_OK);
        return false;
    }
    if (!file.commit()) {
        MessageProc(m_host.Owner(), SafeWriteMessage(FileName, file.errorString()), MB_ICONERROR, MB_OK);
        return false;
    }
    m_members << FileName;
    if (Rows)
        *Rows = row;
    return true;
}

bool OrvExport::SaveTextToFile(const QString &FileName, const QString &Text)
{
    QString error;
    if (!SafeWriteFile(FileName, toCp1251(Text), &error)) {
        MessageProc(m_host.Owner(), SafeWriteMessage(FileName, error), MB_ICONERROR, MB_OK);
        return false;
    }
    m_members << FileName;
    return true;
}

void OrvExport::run()
{
    const Tsett &sett = m_sett;
    if (sett.expset == 1 && m_checked.isEmpty()) {
        MessageProc(
            m_host.Owner(),
            QStringLiteral("Была выбрана опция \"делать экспорт по станциям с галочкой\",\rно ни одна "
                           "станция не отмечена галочкой,\rпоэтому экспорт не будет сделан.\rОтметьте "
                           "нужные станции галочкой или выберите другую опцию и\rповторите снова."),
            MB_ICONWARNING, MB_OK);
        return;
    }
    // An empty folder would put the archive wherever the process happens to stand.
    if (sett.exp_dir.trimmed().isEmpty()) {
        MessageProc(m_host.Owner(), QStringLiteral("Директория не указана. Экспорт невозможен"), MB_ICONERROR,
                    MB_OK);
        return;
    }
    if (!QFileInfo(sett.exp_dir).isDir()) {
        MessageProc(m_host.Owner(),
                    QStringLiteral("Директория \"") + sett.exp_dir + QStringLiteral("\" не найдена"),
                    MB_ICONERROR, MB_OK);
        return;
    }
    const auto cleanup = qScopeGuard([&] {
        m_host.HideProgress();
        m_query.reset();
        m_host.CloseOrx();
    });
    try {
        if (!m_host.OpenOrx())
            return;
        m_query = std::make_unique<DbQuery>(&m_host.OrxConnection());
        const QString where = MakeExportWhere();
        if (where.isEmpty())
            return;
        if (sett.expset == 3) {
            if (!QAct(*m_query, QStringLiteral("select distinct rtrim(sta) from arrival") + where))
                return;
            for (; !m_query->Eof(); m_query->Next())
                m_stations << m_query->Field(0)->AsString();
        } else {
            if (sett.expset != 0)
                m_stations = m_checked;
            if (sett.expset != 1)
                m_stations << m_current;
        }
        m_stations.removeDuplicates();
        m_stations.sort(Qt::CaseInsensitive);
        for (const QString &code : std::as_const(m_stations)) {
            if (!QAct(*m_query, QStringLiteral("select min(itime),max(itime) from arrival") + where +
                                    QStringLiteral(" and rtrim(sta)=") + SqlQuote(code)))
                return;
            torxhsta entry;
            entry.code = code;
            if (!m_query->Eof()) {
                entry.start = epochDateTime(*m_query->Field(0));
                entry.end = epochDateTime(*m_query->Field(1));
            }
            m_entries << entry;
        }
        m_query->Close();
        m_host.ShowProgress();

        // The members are made in a folder of their own: only the archive lands in the export folder.
        ProgramTempDir members;
        if (!members.isValid())
            throw EFileError(QStringLiteral("Не удалось создать временную папку: ") + members.errorString());
        int origins = 0, arrivals = 0;
        if (!ExportTable(members.filePath(OrvOriginMember), QStringLiteral("origin"),
                         QStringLiteral(" where eventid in (select eventid from arrival") + where +
                             QLatin1Char(')'),
                         &origins) ||
            !ExportTable(members.filePath(OrvArrivalMember), QStringLiteral("arrival"), where, &arrivals) ||
            !SaveTextToFile(members.filePath(OrvSystemMember), QStringLiteral("origin arrival")))
            return;
        const QString archive =
            QDir(sett.exp_dir)
                .filePath(OrvArchiveName(sett.expset, m_current, sett.exp_start_date, sett.exp_end_date));
        m_host.ZipFiles(archive, m_members);
        members.remove();
        if (m_stats) {
            m_stats->archive = archive;
            m_stats->origins = origins;
            m_stats->arrivals = arrivals;
        }
        QString text = QStringLiteral("Готово!");
        bool sent = true;
        if (sett.maile_send) {
            sent = m_host.SendMail(QStringLiteral("Экспорт ") + QFileInfo(archive).fileName(), archive);
            if (m_stats)
                m_stats->mailed = sent;
            text += sent ? QStringLiteral("\rЭкспорт успешно отправлен по почте.")
                         : QStringLiteral("\rНе удалось отправить экспорт по почте!");
        }
        m_host.HideProgress();
        MessageProc(m_host.Owner(), text, sent ? MB_ICONINFORMATION : MB_ICONWARNING, MB_OK);
    } catch (const std::exception &e) {
        m_host.HideProgress();
        MessageProc(
            m_host.Owner(),
            QStringLiteral("ORXExport: Не удалось экспортировать данные ORX. Сообщение об ошибке:\r") +
                ExceptionText(e),
            MB_ICONERROR, MB_OK);
    }
}

} // namespace

QString OrvArchiveName(int StationSet, const QString &CurrentCode, TDateTime Start, TDateTime End)
{
    return (StationSet == 0 ? CurrentCode + QLatin1Char('_') : QString()) + stampText(Start) +
           QLatin1Char('_') + stampText(End) + QStringLiteral(".orv");
}

void RunOrxExport(OrvExportHost &Host, OrvExportStats *Stats)
{
    OrvExport(Host, Stats).run();
}
