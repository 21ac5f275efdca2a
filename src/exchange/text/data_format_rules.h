#pragma once

#include "exchange/text/text_format.h"

#include <QString>

// What the data-format dialog shows and checks, apart from its widgets.

// The sample line of a format: a number, the moment now as a date-time value, a fraction and a comment,
// each rendered by the delimited text writer.
QString DataFormatSample(const tspec &spec, const TFormatSettings &locale, int currentYear, TDateTime now);

// Why the format cannot be stored as it stands: a text that no reader could split into its fields.
// Empty when it can.
QString FormatRefusal(const tspec &spec);

// The pivot year's explanation with the two centuries of the current year filled in.
QString PivotExplanation(int currentYear);
