#pragma once

#include "lib/datetime.h"

#include <QString>

#include <string_view>

// Values of the text tables as they are written and read back with a format's settings.

// A float as the text tables carry it: cut (toward zero) to four decimals and written with up to 15
// significant digits. The cut works on the value's shortest decimal form, so 0.57 stays 0.57 instead
// of becoming 0.5699 through its binary image.
QString FloatCellText(double value, QChar decimalSeparator);

// The same text with '.' for the decimal separator, written into buffer, when it is the cut decimal form
// itself; empty when FloatCellText writes it otherwise (a long or infinite value).
constexpr int kFloatCellBuffer = 64;
std::string_view FloatCellPlainText(double value, char (&buffer)[kFloatCellBuffer]);

// A date, a date and time, or a time of day alone, in the order and separators of fs. A two-digit
// year falls in the format's century window: the window's first year is currentYear minus
// fs.TwoDigitYearCenturyWindow (0: the current century), and currentYear is the one the settings were
// built with, so the result never depends on today's date.
bool TextCellToDateTime(const QString &text, const TFormatSettings &fs, int currentYear, TDateTime &value);

// TextCellToDateTime over the cells of one column, with the same results: a column of dates and times
// holds many of one day, whose date part is read once.
class TextDateTimeCells
{
public:
    TextDateTimeCells(const TFormatSettings &fs, int currentYear) : m_fs(&fs), m_currentYear(currentYear) {}
    bool read(const QString &text, TDateTime &value);

private:
    const TFormatSettings *m_fs;
    int m_currentYear;
    bool m_dayKnown = false;
    QString m_day; // the last date part read, its result and value
    bool m_dayOk = false;
    TDateTime m_dayValue = 0;
};

// A number with the format's decimal separator, '.' and ',' both taken.
bool TextCellToFloat(const QString &text, const TFormatSettings &fs, double &value);
