#pragma once

#include "lib/errors.h"

#include <QDateTime>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

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

// The search for a free EVENTID of a form that has none left: one-character words wrap round among the
// 94 printable characters without growing, so a table that holds them all has no successor to give.
// The message names the id and the form.
class EventIdsExhausted : public BrenvaleError
{
public:
    using BrenvaleError::BrenvaleError;
};

// How EVENTIDs compare at most: "eventid=" is case-blind on SQLite and "rtrim(eventid)=" drops trailing
// blanks, so two texts the database could take for one fold to one key.
QString EventIdKey(const QString &Id);
// The statement that gives the EVENTIDs of origin that may be any of Ids, as the key compares them and
// with trailing blanks dropped.
QString TakenEventIdsStatement(const QStringList &Ids);

// What a form of EVENTID looks like, for the user: "один символ от "!" до "~"", "целое число"...
QString EventIdFormText(EventIdKind Kind, int WordLength, const QString &Rest);

// One import run's renaming of taken EVENTIDs. Count answers "select count(eventid) from origin
// where eventid=... or rtrim(eventid)=..." for the statement given; List gives the EVENTIDs that "select
// eventid from origin where eventid in (...) or rtrim(eventid) in (...)" selects, so the successors of a
// taken EVENTID are asked for many at once. Each is false when its statement failed (the callee has shown
// why).
class UniqueEventIds
{
public:
    using Counter = std::function<bool(const QString &Sql, qint64 &Count)>;
    using Lister = std::function<bool(const QString &Sql, QStringList &Ids)>;
    static constexpr int MaxCandidates = 1000000;
    // Successors asked for in one statement: first a few, then four times as many each time, at most
    // Batch.
    static constexpr int FirstBatch = 8;
    static constexpr int Batch = 500;

    // Limit: the successors asked for at most.
    UniqueEventIds(Counter Count, Lister List, int Limit = MaxCandidates)
        : m_count(std::move(Count)), m_list(std::move(List)), m_limit(Limit)
    {}

    // "" when Id is free or the first statement failed; otherwise a free EVENTID, and the pair (Id, new)
    // is added to the rename table. Nothing when a statement of the search failed: the id must not go in
    // as it is. EventIdsExhausted when the form has no free EVENTID left, or none among the next Limit.
    std::optional<QString> MakeUniqueEventId(const QString &Id);
    // The new EVENTID of Old (first match, case-insensitive); "" when Old was not renamed.
    QString Renamed(const QString &Old) const;
    const QList<QPair<QString, QString>> &renames() const { return m_renames; }

private:
    bool taken(const QString &Id, bool &Taken);

    Counter m_count;
    Lister m_list;
    int m_limit;
    QList<QPair<QString, QString>> m_renames;
};
