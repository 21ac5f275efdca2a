#pragma once

#include <QDateTime>
#include <QString>

class DbQuery;

// New identifiers of ORX rows: the lastid table keeps the last one given per key ("orid", "arid");
// without that table the new identifier is the column's maximum + 1.

// The proposed identifier of a new event: year, month, day, hour, minute, second run together
// ("20070613130501"), milliseconds dropped.
QString MakeEventIdStamp(const QDateTime &Now);

// Reads lastid through Query without a message on failure. The first row whose keyname, trimmed and in
// lower case, is KeyName gives keyvalue + 1 and true (StoredKey: its keyname as stored); no such row
// gives false and leaves NextId. When lastid cannot be read, UsedFallback is set and the maximum of
// arrival.arid (KeyName "arid") or of origin.orid (any other) + 1 is taken (a null maximum counts as
// 0), its failure shown.
bool GetNextId(DbQuery &Query, const QString &KeyName, int &NextId, bool &UsedFallback,
               QString *StoredKey = nullptr);

// Takes the next identifier of lastid's row StoredKey on Query's connection, in one transaction: the row's
// keyvalue is raised by one in the statement itself (so two windows taking one at once wait for each
// other and get different values), lddate set to now, and Value is the stored result. False when the row
// is gone (nothing written). A database failure rolls the transaction back and raises DbError, so the
// caller stores no row with an identifier that was never written back.
bool SetLastId(DbQuery &Query, const QString &StoredKey, int &Value);
