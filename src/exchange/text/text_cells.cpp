#include "exchange/text/text_cells.h"

#include "lib/date_routines.h"
#include "lib/errors.h"
#include "lib/number_routines.h"

#include <QStringList>

#include <charconv>
#include <cmath>

QString FloatCellText(double value, QChar decimalSeparator)
{
    if (!std::isfinite(value))
        return FloatToStr(value, decimalSeparator);
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    if (result.ec != std::errc())
        return FloatToStr(value, decimalSeparator);
    std::string text(buffer, result.ptr);
    const auto dot = text.find('.');
    if (dot != std::string::npos && text.size() > dot + 5)
        text.resize(dot + 5);
    const double cut = std::strtod(text.c_str(), nullptr);
    return FloatToStr(cut == 0 ? 0.0 : cut, decimalSeparator);
}

namespace {

// Index of the year among the three parts of a date written with pattern.
int yearPosition(const QString &pattern)
{
    int position = 0;
    QChar last;
    for (const QChar c : pattern.toLower()) {
        if (c != QLatin1Char('d') && c != QLatin1Char('m') && c != QLatin1Char('y'))
            continue;
        if (c == last)
            continue;
        if (c == QLatin1Char('y'))
            return position;
        last = c;
        ++position;
    }
    return 2;
}

bool allDigits(const QString &s)
{
    if (s.isEmpty())
        return false;
    for (const QChar c : s)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return true;
}

bool timeOfDay(const QString &text, QChar separator, TDateTime &value)
{
    const QStringList parts = text.trimmed().split(separator);
    if (parts.size() < 2 || parts.size() > 3)
        return false;
    int hms[3] = {0, 0, 0};
    for (int i = 0; i < parts.size(); ++i) {
        if (!allDigits(parts[i]) || parts[i].size() > 2)
            return false;
        hms[i] = parts[i].toInt();
    }
    return TryEncodeTime(hms[0], hms[1], hms[2], 0, value);
}

} // namespace

bool TextCellToDateTime(const QString &text, const TFormatSettings &fs, int currentYear, TDateTime &value)
{
    const QString trimmed = text.trimmed();
    const qsizetype blank = trimmed.indexOf(QLatin1Char(' '));
    QString datePart = blank < 0 ? trimmed : trimmed.left(blank);
    const QString rest = blank < 0 ? QString() : trimmed.mid(blank);

    QStringList parts = datePart.split(fs.DateSeparator);
    if (parts.size() != 3) {
        // A time of day alone is how a date-time without its date part is written.
        if (blank < 0 && fs.TimeSeparator != fs.DateSeparator && timeOfDay(trimmed, fs.TimeSeparator, value))
            return true;
        return false;
    }
    const int at = yearPosition(fs.ShortDateFormat);
    QString &year = parts[at];
    if (allDigits(year) && year.size() <= 2) {
        const int yy = year.toInt();
        const int windowStart = fs.TwoDigitYearCenturyWindow > 0 ? currentYear - fs.TwoDigitYearCenturyWindow
                                                                 : currentYear / 100 * 100;
        int full = windowStart / 100 * 100 + yy;
        if (full < windowStart)
            full += 100;
        year = QString::number(full).rightJustified(4, QLatin1Char('0'));
    }
    return TryStrToDateTime(parts.join(fs.DateSeparator) + rest, value, fs);
}

bool TextCellToFloat(const QString &text, const TFormatSettings &fs, double &value)
{
    try {
        value = StrToFloatAnyFS(text, fs);
        return true;
    } catch (const EConvertError &) {
        return false;
    }
}
