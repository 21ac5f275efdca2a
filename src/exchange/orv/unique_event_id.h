#pragma once

#include <QDateTime>
#include <QList>
#include <QPair>
#include <QString>

#include <functional>

// EVENTIDs are mostly time stamps of the event; a taken one is stepped to the nearest free one of its
// own form, so that it still reads as the event's time.

enum class EventIdKind {
    Other = 0,     // string successor
    Seconds = 1,   // yyyymmddhhnnss...
    Minutes = 2,   // yyyymmdd?hhnn
    ShortDate = 3, // dd?mm?yy
    LongDate = 4,  // dd?mm?yyyy
    Integer = 5,   // a 64-bit decimal integer
};

struct EventIdStamp
{
    EventIdKind kind = EventIdKind::Other;
    QDateTime time; // kinds 1 to 4, UTC
    qint64 integer = 0;
};

// The kind of the first word W of an EVENTID and its value.
EventIdStamp ParseEventIdStamp(const QString &W);

// The next candidate after Stamp (which it advances) of the word Word, with the rest Rest appended.
QString NextEventIdCandidate(EventIdStamp &Stamp, QString &Word, const QString &Rest);

// One import run's renaming of taken EVENTIDs. Count answers "select count(eventid) from origin
// where eventid=... or rtrim(eventid)=..." for the statement given; false when it failed (the callee has
// shown why).
class UniqueEventIds
{
public:
    using Counter = std::function<bool(const QString &Sql, qint64 &Count)>;
    explicit UniqueEventIds(Counter Count) : m_count(std::move(Count)) {}

    // "" when Id is free or the first statement failed; otherwise a free EVENTID, and the pair
    // (Id, new) is added to the rename table. A failure further on gives back Id itself.
    QString MakeUniqueEventId(const QString &Id);
    // The new EVENTID of Old (first match, case-insensitive); "" when Old was not renamed.
    QString Renamed(const QString &Old) const;
    const QList<QPair<QString, QString>> &renames() const { return m_renames; }

private:
    bool taken(const QString &Id, bool &Taken);

    Counter m_count;
    QList<QPair<QString, QString>> m_renames;
};
