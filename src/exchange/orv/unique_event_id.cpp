#include "exchange/orv/unique_event_id.h"

#include "lib/sql_text.h"
#include "lib/text_routines.h"

#include <QHash>

#include <algorithm>
#include <limits>

namespace {

// The decimal number of Count characters at 1-based position Pos; false for anything but digits.
bool digitsAt(const QString &s, int pos, int count, int &value)
{
    value = 0;
    for (int i = pos - 1; i < pos - 1 + count; ++i) {
        if (i >= s.size() || !s[i].isDigit() || s[i].unicode() > '9')
            return false;
        value = value * 10 + (s[i].unicode() - '0');
    }
    return true;
}

bool makeStamp(int y, int m, int d, int h, int n, int s, QDateTime &out)
{
    const QDate date(y, m, d);
    if (y < 1 || !date.isValid() || h > 23 || n > 59 || s > 59)
        return false;
    out = QDateTime(date, QTime(h, n, s), Qt::UTC);
    return true;
}

bool parseInteger(const QString &w, qint64 &value)
{
    const int start = w.startsWith(QLatin1Char('-')) || w.startsWith(QLatin1Char('+')) ? 1 : 0;
    if (w.size() <= start)
        return false;
    for (int i = start; i < w.size(); ++i)
        if (w[i].unicode() < '0' || w[i].unicode() > '9')
            return false;
    bool ok = false;
    value = w.toLongLong(&ok);
    return ok;
}

QString padded(int value, int width)
{
    return QStringLiteral("%1").arg(value, width, 10, QLatin1Char('0'));
}

// "rtrim(eventid)=" finds an id that differs only by trailing blanks, but a function's result compares
// without the column's collation: on SQLite, where the key ignores case, "AC" would pass as free beside
// "ac" and the insert fail on the key. "eventid=" compares as the key does, on every back end.
QString countStatement(const QString &id)
{
    return QStringLiteral("select count(eventid) from origin where eventid=") + SqlQuote(id) +
           QStringLiteral(" or rtrim(eventid)=") + SqlQuote(id.trimmed());
}

QString withoutTrailingBlanks(QString s)
{
    while (!s.isEmpty() && s.back() == QLatin1Char(' '))
        s.chop(1);
    return s;
}

// A stored id found for a candidate that equals it as every back end's comparison does: the candidate is
// taken. One that differs in case only is taken where the key ignores case: asked for alone.
bool surelyTaken(const QString &stored, const QString &candidate)
{
    return stored == candidate || withoutTrailingBlanks(stored) == candidate.trimmed();
}

} // namespace

EventIdStamp ParseEventIdStamp(const QString &W)
{
    EventIdStamp r;
    int y = 0, m = 0, d = 0, h = 0, n = 0, s = 0;
    if (W.size() >= 14 && digitsAt(W, 1, 4, y) && digitsAt(W, 5, 2, m) && digitsAt(W, 7, 2, d) &&
        digitsAt(W, 9, 2, h) && digitsAt(W, 11, 2, n) && digitsAt(W, 13, 2, s) &&
        makeStamp(y, m, d, h, n, s, r.time))
        r.kind = EventIdKind::Seconds;
    else if (W.size() == 13 && digitsAt(W, 1, 4, y) && digitsAt(W, 5, 2, m) && digitsAt(W, 7, 2, d) &&
             digitsAt(W, 10, 2, h) && digitsAt(W, 12, 2, n) && makeStamp(y, m, d, h, n, 0, r.time))
        r.kind = EventIdKind::Minutes;
    else if (W.size() == 8 && digitsAt(W, 1, 2, d) && digitsAt(W, 4, 2, m) && digitsAt(W, 7, 2, y) &&
             makeStamp(y, m, d, 0, 0, 0, r.time))
        r.kind = EventIdKind::ShortDate;
    else if (W.size() == 10 && digitsAt(W, 1, 2, d) && digitsAt(W, 4, 2, m) && digitsAt(W, 7, 4, y) &&
             makeStamp(y, m, d, 0, 0, 0, r.time))
        r.kind = EventIdKind::LongDate;
    else if (parseInteger(W, r.integer))
        r.kind = EventIdKind::Integer;
    return r;
}

QString NextEventIdCandidate(EventIdStamp &Stamp, QString &Word, const QString &Rest)
{
    const auto dateText = [&Stamp](int yearWidth) {
        const QDate d = Stamp.time.date();
        return padded(d.day(), 2) + QLatin1Char('.') + padded(d.month(), 2) + QLatin1Char('.') +
               padded(d.year(), yearWidth);
    };
    switch (Stamp.kind) {
    case EventIdKind::Seconds:
    case EventIdKind::Minutes: {
        const bool seconds = Stamp.kind == EventIdKind::Seconds;
        Stamp.time = Stamp.time.addSecs(seconds ? 1 : 60);
        const QDate d = Stamp.time.date();
        const QTime t = Stamp.time.time();
        QString text = padded(d.year(), 4) + padded(d.month(), 2) + padded(d.day(), 2);
        if (seconds)
            text += padded(t.hour(), 2) + padded(t.minute(), 2) + padded(t.second(), 2);
        else
            text += QLatin1Char('_') + padded(t.hour(), 2) + padded(t.minute(), 2);
        return text + Rest;
    }
    case EventIdKind::ShortDate:
    case EventIdKind::LongDate:
        Stamp.time = Stamp.time.addDays(1);
        return dateText(Stamp.kind == EventIdKind::ShortDate ? 2 : 4) + Rest;
    case EventIdKind::Integer:
        if (Stamp.integer < std::numeric_limits<qint64>::max()) {
            ++Stamp.integer;
            return QString::number(Stamp.integer) + Rest;
        }
        // The largest integer has no successor of its own form.
        Stamp.kind = EventIdKind::Other;
        Word = QString::number(Stamp.integer);
        break;
    case EventIdKind::Other:
        break;
    }
    Word = NextStr(Word);
    return Word + Rest;
}

bool UniqueEventIds::taken(const QString &Id, bool &Taken)
{
    qint64 count = 0;
    if (!m_count(countStatement(Id), count))
        return false;
    Taken = count > 0;
    return true;
}

std::optional<QString> UniqueEventIds::MakeUniqueEventId(const QString &Id)
{
    bool isTaken = false;
    if (!taken(Id, isTaken) || !isTaken)
        return QString();
    const int blank = Id.indexOf(QLatin1Char(' '));
    QString word = blank < 0 ? Id : Id.left(blank);
    const QString rest = blank < 0 ? QString() : Id.mid(blank);
    EventIdStamp stamp = ParseEventIdStamp(word);
    const EventIdKind kind = stamp.kind;
    const int length = int(qMax<qsizetype>(word.size(), 1));
    // The first successor: a form that wraps round without growing comes back to it once every
    // EVENTID of the form was asked for.
    QString first;
    int asked = 0;
    bool wrapped = false;
    // The next stamp is mostly free: the lists start short and grow while the run of taken ones goes on.
    int batch = FirstBatch;
    while (!wrapped && asked < m_limit) {
        QStringList candidates;
        while (candidates.size() < batch && asked < m_limit) {
            const QString candidate = NextEventIdCandidate(stamp, word, rest);
            if (first.isNull()) {
                first = candidate;
            } else if (candidate == first) {
                wrapped = true;
                break;
            }
            candidates << candidate;
            ++asked;
        }
        if (candidates.isEmpty())
            break;
        batch = qMin(batch * 4, Batch);
        QStringList held;
        if (!m_list(TakenEventIdsStatement(candidates), held))
            return std::nullopt;
        QHash<QString, QStringList> byKey;
        for (const QString &h : std::as_const(held))
            byKey[EventIdKey(h)] << h;
        for (const QString &candidate : std::as_const(candidates)) {
            const auto found = byKey.constFind(EventIdKey(candidate));
            bool free = found == byKey.cend();
            if (!free) {
                if (std::any_of(found->begin(), found->end(),
                                [&](const QString &h) { return surelyTaken(h, candidate); }))
                    continue;
                bool t = false;
                if (!taken(candidate, t))
                    return std::nullopt;
                free = !t;
            }
            if (free) {
                m_renames.append({Id, candidate});
                return candidate;
            }
        }
    }
    throw EventIdsExhausted(QStringLiteral("EVENTID \"") + CutForMessage(Id) +
                            QStringLiteral("\" уже есть в БД ORX, а свободного EVENTID того же вида (") +
                            EventIdFormText(kind, length, rest) + QStringLiteral(") нет: ") +
                            (wrapped ? QStringLiteral("заняты все ") + QString::number(asked)
                                     : QStringLiteral("ни один из следующих ") + QString::number(m_limit) +
                                           QStringLiteral(" не свободен")));
}

QString UniqueEventIds::Renamed(const QString &Old) const
{
    for (const auto &row : m_renames)
        if (row.first.compare(Old, Qt::CaseInsensitive) == 0)
            return row.second;
    return QString();
}

QString EventIdKey(const QString &Id)
{
    return Id.trimmed().toCaseFolded();
}

QString TakenEventIdsStatement(const QStringList &Ids)
{
    QStringList quoted, trimmed;
    for (const QString &id : Ids) {
        quoted << SqlQuote(id);
        trimmed << SqlQuote(id.trimmed());
    }
    return QStringLiteral("select eventid from origin where eventid in (") + quoted.join(QLatin1Char(',')) +
           QStringLiteral(") or rtrim(eventid) in (") + trimmed.join(QLatin1Char(',')) + QLatin1Char(')');
}

QString EventIdFormText(EventIdKind Kind, int WordLength, const QString &Rest)
{
    QString form;
    switch (Kind) {
    case EventIdKind::Seconds:
        form = QStringLiteral("дата и время вида ггггммддччммсс");
        break;
    case EventIdKind::Minutes:
        form = QStringLiteral("дата и время вида ггггммдд_ччмм");
        break;
    case EventIdKind::ShortDate:
        form = QStringLiteral("дата вида дд.мм.гг");
        break;
    case EventIdKind::LongDate:
        form = QStringLiteral("дата вида дд.мм.гггг");
        break;
    case EventIdKind::Integer:
        form = QStringLiteral("целое число");
        break;
    case EventIdKind::Other: {
        const bool oneForm = WordLength % 10 == 1 && WordLength % 100 != 11;
        form = WordLength == 1 ? QStringLiteral("строка из одного символа")
                               : QStringLiteral("строка из ") + QString::number(WordLength) +
                                     (oneForm ? QStringLiteral(" символа") : QStringLiteral(" символов"));
        form += QStringLiteral(" от \"!\" до \"~\"");
        break;
    }
    }
    if (!Rest.isEmpty())
        form += QStringLiteral(" и продолжение \"") + CutForMessage(Rest) + QLatin1Char('"');
    return form;
}
