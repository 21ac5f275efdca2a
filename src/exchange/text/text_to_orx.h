#pragma once

#include "app/settings/reference_tables.h"
#include "exchange/text/text_to_bulletin.h"

#include <functional>

class DbConnection;

// EVENTID of a text-imported event: year, the number padded to five digits, the station code.
QString MakeEventId(quint16 year, int num, const QString &code);
// The instrument name without a band suffix ("SKM_SP" -> "SKM").
QString StripBandSuffix(const QString &name);

// Writes the three tables into the ORX tables origin and arrival. connect opens the ORX connection
// (reporting its own failure, nullptr then) once the tables have passed their first checks. Every
// record is built and checked before the database changes; the range question is asked about this
// station's EVENTIDs only, and the deletions and inserts happen in one transaction. False after a
// message or a "No"; a cell that cannot be read raises EConvertError for the caller's message.
bool WriteTextToOrx(TextTablesInput &in, const tfilts &filters,
                    const std::function<DbConnection *()> &connect);
