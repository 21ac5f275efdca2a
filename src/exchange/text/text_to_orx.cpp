#include "exchange/text/text_to_orx.h"

#include "db/db_connection.h"
#include "db/db_query.h"
#include "exchange/text/text_cells.h"
#include "lib/epoch.h"
#include "lib/errors.h"
#include "lib/messages.h"
#include "lib/number_routines.h"
#include "lib/text_routines.h"

#include <QCoreApplication>
#include <QHash>

#include <map>

namespace {

const char *const kTableNames[3] = {"Events", "Station_bulletin", "XM_Add"};

enum EventCol { eNum = 1, eTime = 2, eDec = 3, eLat = 4, eLon = 5, eDepth = 6, eComment = 16, eLddate = 17 };
enum ReadingCol {
    rArid = 0,
    rEvent = 2,
    rStation = 3,
    rDate = 4,
    rFm = 5,
    rQual = 6,
    rPhase = 8,
    rChannel = 9,
    rChannelCod = 10,
    rComponent = 12,
    rTime = 13,
    rDec = 14
};
enum AmplitudeCol {
    aArid = 1,
    aFilter = 3,
    aComponent = 4,
    aTime = 5,
    aDec = 6,
    aPeriodNS = 7,
    aAmpNS = 8,
    aPeriodEW = 9,
    aAmpEW = 10,
    aPeriodZ = 11,
    aAmpZ = 12,
    aMagnitudeNE = 13,
    aKlassNE = 14,
    aMagnitudeZ = 15,
    aKlassZ = 16
};

struct Run
{
    TextTablesInput &in;
    TFormatSettings fs[3];
    const TD2D &events() const { return *in.tables[0]; }
    const TD2D &readings() const { return *in.tables[1]; }
    const TD2D &amplitudes() const { return *in.tables[2]; }

    bool dateOf(int table, const QString &cell, TDateTime &v) const
    {
        return !cell.isEmpty() && TextCellToDateTime(cell, fs[table], in.currentYear, v);
    }
    // Epoch seconds of a text time with the tenths of its companion cell; invalid when the time does not
    // read.
    QVariant epoch(int table, const QString &time, const QString &tenthsCell) const
    {
        TDateTime v = 0;
        if (!dateOf(table, time, v))
            return QVariant();
        int tenths = 0;
        if (!TryStrToInt(tenthsCell, tenths))
            throw EConvertError(QStringLiteral("Неверное число десятых секунды в таблице %1: \"%2\"")
                                    .arg(QString::fromLatin1(kTableNames[table]), CutForMessage(tenthsCell)));
        int y, mo, d, h, n, s, ms;
        DecodeDateTime(v, y, mo, d, h, n, s, ms);
        return htoe(quint16(y), quint16(mo), quint16(d), quint16(h), quint16(n), s + tenths / 10.0);
    }
    QVariant number(int table, const QString &cell) const
    {
        double v = 0;
        if (cell.isEmpty() || !TextCellToFloat(cell, fs[table], v))
            return QVariant();
        return v;
    }
};

// Sitechan rows (chan, descr) in the query's order.
using SiteChans = QList<std::pair<QString, QString>>;

int findSitechanRow(const SiteChans &list, const QString &name, const QString &comp)
{
    for (int i = 0; i < list.size(); ++i)
        if (list[i].second == name && comp.size() == 1 && list[i].first.endsWith(comp))
            return i;
    return -1;
}

using Record = std::map<QString, QVariant>;

constexpr int kRowsPerStatement = 1000;

QString filterText(const QString &cell, const tfilts &filters, QChar decimal)
{
    const QString kind = cell.trimmed();
    for (const tfilt &f : filters)
        if (f.kind == kind) {
            QString text = QString::asprintf("%.4f %.4f 2 B C", f.low, f.high);
            text.replace(QLatin1Char('.'), decimal);
            return text;
        }
    return QString();
}

void append(DbQuery &q, const Record &r)
{
    q.Append();
    for (const auto &[name, value] : r)
        if (value.isValid())
            q.FieldByName(name)->SetValue(value);
    q.Post();
}

// The next arrival identifier: past both the table's largest one and what lastid has handed out.
int nextArid(DbConnection &db, QString &lastidKey)
{
    int next = 1;
    DbQuery q(&db);
    q.SetSQL(QStringLiteral("select max(arid) as mx from arrival"));
    q.Open();
    if (!q.Field(0)->IsNull())
        next = q.Field(0)->AsInteger() + 1;
    bool hasLastid = false;
    for (const QString &t : db.TableNames())
        hasLastid = hasLastid || t.compare(QLatin1String("lastid"), Qt::CaseInsensitive) == 0;
    if (!hasLastid)
        return next;
    q.SetSQL(QStringLiteral("select keyname,keyvalue from lastid"));
    q.Open();
    for (; !q.Eof(); q.Next())
        if (q.Field(0)->AsString().trimmed().toLower() == QLatin1String("arid") && !q.Field(1)->IsNull()) {
            lastidKey = q.Field(0)->AsString();
            next = std::max(next, q.Field(1)->AsInteger() + 1);
            break;
        }
    return next;
}

} // namespace

QString MakeEventId(quint16 year, int num, const QString &code)
{
    return QString::number(year) + QLatin1Char('_') +
           QString::number(num).rightJustified(5, QLatin1Char('0')) + QLatin1Char('_') + code;
}

QString StripBandSuffix(const QString &name)
{
    static const QStringList bands = {QStringLiteral("SP"), QStringLiteral("MP"), QStringLiteral("LP"),
                                      QStringLiteral("BP"), QStringLiteral("UP")};
    if (name.size() >= 2 && bands.contains(name.right(2)))
        return name.left(std::max<qsizetype>(name.size() - 3, 0));
    return name;
}

bool WriteTextToOrx(TextTablesInput &in, const tfilts &filters,
                    const std::function<DbConnection *()> &connect)
{
    Run run{in, {}};
    for (int t = 0; t < 3; ++t)
        TspecToFormatSettings(run.fs[t], *in.specs[t], in.locale, in.currentYear);
    if (run.events().ColCount() <= eLddate || run.readings().ColCount() <= rDec ||
        run.amplitudes().ColCount() <= aKlassZ)
        throw EConvertError(QStringLiteral("В таблицах импорта недостаточно столбцов"));

    // Earliest and latest reading dates, compared by day.
    const int readingRows = std::max(run.readings().RowCount(), 0);
    int minIdx = -1, maxIdx = -1;
    TDateTime minD = 0, maxD = 0;
    for (int i = 0; i < readingRows; ++i) {
        TDateTime d = 0;
        if (!run.dateOf(1, run.readings().GetCell(rDate, i), d))
            continue;
        if (minIdx < 0 || DateOf(d) < DateOf(minD)) {
            minD = d;
            minIdx = i;
        }
        if (maxIdx < 0 || DateOf(d) > DateOf(maxD)) {
            maxD = d;
            maxIdx = i;
        }
    }
    if (minIdx < 0)
        throw EConvertError(QStringLiteral("В Station_bulletin нет ни одной даты"));
    for (const auto &[day, idx] : {std::pair{minD, minIdx}, std::pair{maxD, maxIdx}}) {
        int y, m, d;
        DecodeDate(day, y, m, d);
        if (y <= 1970) {
            MessageProc(nullptr,
                        QStringLiteral("Найдена дата с недопустимым годом в Station_bulletin.txt:\r") +
                            CutForMessage(run.readings().GetCell(rDate, idx)) +
                            QStringLiteral("\rв строке № ") + QString::number(idx),
                        MB_ICONERROR, MB_OK);
            return false;
        }
    }
    int minYear, maxYear, dummyM, dummyD;
    DecodeDate(minD, minYear, dummyM, dummyD);
    DecodeDate(maxD, maxYear, dummyM, dummyD);

    const QStringList nums = run.events().Columns[eNum].toStringList();
    int maxNum = 0, minNum = 0;
    MinMaxIntLines(nums, maxNum, minNum);
    // A merged first event stays the database's, so the range starts at the file's next number; with no
    // next number (the largest an event can have, or none at all) the range is empty.
    const bool noRange = in.merge && minNum >= maxNum;
    if (in.merge && !noRange)
        do
            ++minNum;
        while (minNum < maxNum && FindIntLine(nums, minNum) < 0);
    const QString code = run.readings().GetCell(rStation, minIdx).trimmed();

    // Every record is built before the database is touched.
    DbConnection *db = connect();
    if (!db)
        return false;

    SiteChans sitechans;
    {
        DbQuery q(db);
        q.SetSQL(QStringLiteral("select chan,descr from sitechan where rtrim(sta)=? order by descr,chan"));
        q.SetParams({code});
        q.Open();
        for (; !q.Eof(); q.Next())
            sitechans.append({q.Field(0)->AsString(), q.Field(1)->AsString()});
    }
    QStringList missing, missingLower;
    for (int i = 0; i < readingRows; ++i) {
        const QString instrument = StripBandSuffix(run.readings().GetCell(rChannel, i).trimmed());
        const QString comp = run.readings().GetCell(rComponent, i).trimmed();
        if (findSitechanRow(sitechans, instrument, comp) >= 0)
            continue;
        const QString pair = instrument + QLatin1Char('_') + comp;
        if (!missingLower.contains(pair.toLower())) {
            missing << CutForMessage(pair);
            missingLower << pair.toLower();
        }
    }
    if (!missing.isEmpty()) {
        MessageProc(nullptr,
                    QStringLiteral("Некоторые приборы не найдены в таблице SITECHAN. Импорт остановлен. Для "
                                   "успешного импорта нужно описать следующие приборы в SITECHAN:\r") +
                        CutForMessage(missing.join(QLatin1Char('\r')), MaxQuotedStatementChars),
                    MB_ICONERROR, MB_OK);
        return false;
    }

    const int eventRows = std::max(run.events().RowCount(), 0);
    const TD2D &ev = run.events();
    const TD2D &rd = run.readings();
    const TD2D &am = run.amplitudes();
    const int amplitudeRows = std::max(am.RowCount(), 0);
    // Each event's readings in their order, and the first amplitude row of each reading and component:
    // a year holds tens of thousands of each, too many to search the tables for every one. The keys are
    // the tables' own texts, which stay put while the run reads them.
    QHash<QStringView, QList<int>> readingsOf;
    for (int i = 0; i < readingRows; ++i)
        readingsOf[rd.CellView(rEvent, i)] << i;
    QHash<std::pair<QStringView, QStringView>, int> amplitudeOf;
    amplitudeOf.reserve(amplitudeRows);
    for (int j = amplitudeRows - 1; j >= 0; --j)
        amplitudeOf.insert({am.CellView(aArid, j), am.CellView(aComponent, j)}, j);
    // An event's origin and arrivals, made once to check every event before the database is touched and
    // again while they are written, so that a year's records are never all held at once.
    const auto makeEvent = [&](int e, Record &origin, QList<Record> &arrivals) {
        const QString numText = ev.GetCell(eNum, e);
        int num = 0;
        if (!TryStrToInt(numText, num))
            throw EConvertError(QStringLiteral("Неверный номер события в строке №%1 таблицы Events: \"%2\"")
                                    .arg(e + 1)
                                    .arg(CutForMessage(numText)));
        const QString eventid = MakeEventId(quint16(minYear), num, code);
        origin =
            Record{{QStringLiteral("eventid"), eventid},
                   {QStringLiteral("origintime"), run.epoch(0, ev.GetCell(eTime, e), ev.GetCell(eDec, e))},
                   {QStringLiteral("lat"), run.number(0, ev.GetCell(eLat, e))},
                   {QStringLiteral("lon"), run.number(0, ev.GetCell(eLon, e))},
                   {QStringLiteral("depth"), run.number(0, ev.GetCell(eDepth, e))},
                   {QStringLiteral("comments"), ev.GetCell(eComment, e)}};
        TDateTime ld = 0;
        if (run.dateOf(0, ev.GetCell(eLddate, e), ld))
            origin[QStringLiteral("lddate")] = ld;

        arrivals.clear();
        for (const int i : readingsOf.value(QStringView(numText))) {
            const QString comp = rd.GetCell(rComponent, i);
            const int sc = findSitechanRow(sitechans, StripBandSuffix(rd.GetCell(rChannel, i).trimmed()),
                                           comp.trimmed());
            Record a{{QStringLiteral("eventid"), eventid},
                     {QStringLiteral("sta"), code},
                     {QStringLiteral("chan"), sitechans[sc].first},
                     {QStringLiteral("itime"), run.epoch(1, rd.GetCell(rTime, i), rd.GetCell(rDec, i))},
                     {QStringLiteral("fm"), rd.GetCell(rFm, i)},
                     {QStringLiteral("im_em"), rd.GetCell(rQual, i)},
                     {QStringLiteral("iphase"), rd.GetCell(rPhase, i)},
                     {QStringLiteral("chantype"), rd.GetCell(rChannelCod, i)}};
            const int amp = amplitudeOf.value({rd.CellView(rArid, i), QStringView(comp)}, -1);
            if (amp >= 0) {
                a[QStringLiteral("amptime")] = run.epoch(2, am.GetCell(aTime, amp), am.GetCell(aDec, amp));
                a[QStringLiteral("pfiltype")] =
                    filterText(am.GetCell(aFilter, amp), filters, run.fs[2].DecimalSeparator);
                QVariant klass = run.number(2, am.GetCell(aKlassZ, amp));
                if (!klass.isValid())
                    klass = run.number(2, am.GetCell(aKlassNE, amp));
                a[QStringLiteral("regclass")] = klass;
                a[QStringLiteral("mpsp")] = run.number(2, am.GetCell(aMagnitudeZ, amp));
                a[QStringLiteral("ms")] = run.number(2, am.GetCell(aMagnitudeNE, amp));
                const QChar c = comp.isEmpty() ? QChar() : comp[0].toUpper();
                const int per = c == QLatin1Char('E')   ? aPeriodEW
                                : c == QLatin1Char('N') ? aPeriodNS
                                : c == QLatin1Char('Z') ? aPeriodZ
                                                        : -1;
                if (per >= 0) {
                    a[QStringLiteral("per")] = run.number(2, am.GetCell(per, amp));
                    a[QStringLiteral("ampl")] = run.number(2, am.GetCell(per + 1, amp));
                }
            }
            arrivals.append(a);
        }
    };
    Record origin;
    QList<Record> eventArrivals;
    bool anyArrival = false;
    // An event number gives the EVENTID, the key of ORIGIN: one given twice would be refused by the
    // database in the middle of the writing, in its own words.
    QHash<int, int> rowOfNum;
    for (int e = 0; e < eventRows; ++e) {
        makeEvent(e, origin, eventArrivals);
        anyArrival = anyArrival || !eventArrivals.isEmpty();
        int num = 0;
        TryStrToInt(ev.GetCell(eNum, e), num);
        if (const auto it = rowOfNum.constFind(num); it != rowOfNum.cend())
            throw EConvertError(
                QStringLiteral("Событие с номером %1 уже есть (строки №%2 и №%3 таблицы Events)")
                    .arg(num)
                    .arg(*it + 1)
                    .arg(e + 1));
        rowOfNum.insert(num, e);
    }

    // The range is this station's: EVENTIDs of other stations that sort between the bounds stay.
    const QString first = MakeEventId(quint16(minYear), minNum, code);
    const QString last = MakeEventId(quint16(maxYear), maxNum, code);
    const QString suffix = QLatin1Char('_') + code;
    QStringList existing;
    if (!noRange) {
        DbQuery q(db);
        q.SetSQL(QStringLiteral("select eventid from origin where eventid between ? and ?"));
        q.SetParams({first, last});
        q.Open();
        for (; !q.Eof(); q.Next()) {
            const QString id = q.Field(0)->AsString();
            if (id.trimmed().endsWith(suffix))
                existing << id;
        }
    }
    if (!existing.isEmpty() &&
        MessageProc(nullptr,
                    QStringLiteral("В таблице ORIGIN уже есть землетрясения с EVENTID от ") +
                        CutForMessage(first) + QStringLiteral(" до ") + CutForMessage(last) +
                        QStringLiteral("\r\rХотите удалить существующие данные и записать новые?"),
                    MB_ICONQUESTION, MB_YESNO) != IDYES)
        return false;

    // Under the merge option the text's first event may already be in ORIGIN: its readings join it.
    int keptOrigin = -1;
    if (in.merge) {
        int lowest = 0, highest = 0;
        MinMaxIntLines(nums, highest, lowest);
        const int e = FindIntLine(nums, lowest);
        DbQuery q(db);
        q.SetSQL(QStringLiteral("select eventid from origin where eventid=?"));
        q.SetParams({MakeEventId(quint16(minYear), lowest, code)});
        q.Open();
        if (e >= 0 && !q.Eof())
            keptOrigin = e;
    }

    QString lastidKey;
    int arid = anyArrival ? nextArid(*db, lastidKey) : 0;
    db->BeginTrans();
    try {
        for (const char *table : {"arrival", "origin"})
            for (const QString &id : existing) {
                DbQuery d(db);
                d.SetSQL(QStringLiteral("delete from %1 where eventid=?").arg(QLatin1String(table)));
                d.SetParams({id});
                d.ExecSQL();
            }
        // Only appended to: on a server the rows go many to a statement.
        DbQuery ori(db);
        ori.SetInsertBatch(kRowsPerStatement);
        ori.SetSQL(QStringLiteral("select * from origin where 1=0"));
        ori.Open();
        // The comment column goes by more than one name in the ORX databases.
        QString commentField;
        for (const char *name : {"comments", "comment", "comments_", "coment", "coments", "coments_"})
            if (commentField.isEmpty() && ori.FindField(QLatin1String(name)))
                commentField = QLatin1String(name);
        DbQuery arr(db);
        arr.SetInsertBatch(kRowsPerStatement);
        arr.SetSQL(QStringLiteral("select * from arrival where 1=0"));
        arr.Open();
        const bool aridField = arr.FindField(QStringLiteral("arid")) != nullptr;

        for (int e = 0; e < eventRows; ++e) {
            if (in.progress && e % 5 == 0) {
                in.progress(e);
                QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            }
            makeEvent(e, origin, eventArrivals);
            const QVariant comment = origin[QStringLiteral("comments")];
            origin.erase(QStringLiteral("comments"));
            if (!commentField.isEmpty())
                origin[commentField] = comment;
            if (!(e == keptOrigin))
                append(ori, origin);
            for (Record &r : eventArrivals) {
                if (aridField)
                    r[QStringLiteral("arid")] = arid++;
                append(arr, r);
            }
        }
        if (!lastidKey.isEmpty()) {
            DbQuery u(db);
            u.SetSQL(QStringLiteral("update lastid set keyvalue=? where keyname=?"));
            u.SetParams({arid - 1, lastidKey});
            u.ExecSQL();
        }
        db->CommitTrans();
    } catch (...) {
        db->RollbackTrans();
        throw;
    }
    return true;
}
