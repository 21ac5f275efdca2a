#pragma once

#include "lib/datetime.h"

#include <QString>

// The SQL literals of the first and last day of a period in the bulletin database's dialect, both
// dates truncated to whole days: for an Access file the day number ("45292"), for an ODBC source the
// date escape ("{d '2024-01-01'}").
void SqlDateRangeLiterals(bool odbc, TDateTime from, TDateTime to, QString &fromLit, QString &toLit);
