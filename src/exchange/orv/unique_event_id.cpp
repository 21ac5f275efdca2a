#include "exchange/orv/unique_event_id.h"

#include "lib/sql_text.h"
#include "lib/text_routines.h"

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

// A run of taken successors cannot be endless in a real table; this only keeps a broken back end from
// holding the import for good.
constexpr int kMaxPasses = 1000000;

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

QString UniqueEventIds::MakeUniqueEventId(const QString &Id)
{
    bool isTaken = false;
    if (!taken(Id, isTaken) || !isTaken)
        return QString();
    const int blank = Id.indexOf(QLatin1Char(' '));
    QString word = blank < 0 ? Id : Id.left(blank);
    const QString rest = blank < 0 ? QString() : Id.mid(blank);
    EventIdStamp stamp = ParseEventIdStamp(word);
    for (int pass = 0; pass < kMaxPasses; ++pass) {
        const QString candidate = NextEventIdCandidate(stamp, word, rest);
        if (!taken(candidate, isTaken))
            return Id;
        if (!isTaken) {
            m_renames.append({Id, candidate});
            return candidate;
        }
    }
    return Id;
}

QString UniqueEventIds::Renamed(const QString &Old) const
{
    for (const auto &row : m_renames)
        if (row.first.compare(Old, Qt::CaseInsensitive) == 0)
            return row.second;
    return QString();
}
