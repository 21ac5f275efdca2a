#pragma once

#include "exchange/text/text_format.h"
#include "lib/string_table.h"

#include <QVariant>

#include <functional>

class DbConnection;

// The three import text tables with their import formats, in the order Events, Station_bulletin,
// XM_Add, and what a write into a database needs besides.
struct TextTablesInput
{
    TD2D *tables[3] = {nullptr, nullptr, nullptr};
    const tspec *specs[3] = {nullptr, nullptr, nullptr};
    bool merge = false; // the "adde" check box
    TFormatSettings locale;
    int currentYear = 2000; // the year fixed at program start
    // Moves the bar of the progress window (0..599 for the bulletin, 0..events-1 for ORX); may be empty.
    std::function<void(int)> progress;
};

// Appends the three tables to the station bulletin database db (open). Every row is converted and
// checked before anything changes; the range question, the deletions and every insert then happen in
// one transaction, so a failure leaves the database as it was. The renumbered arid cells of
// Station_bulletin and XM_Add go into the tables only after the commit. False after a message (or a
// "No" to the range question).
bool WriteTextToBulletin(DbConnection &db, TextTablesInput &in);

// One row of a text table converted for a database table: the value for each format column, an
// invalid QVariant for a column left out (not used, or an empty cell).
using ConvertedRow = QVariantList;
