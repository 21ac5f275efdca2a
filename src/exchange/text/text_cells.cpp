#include "exchange/text/text_cells.h"

#include "lib/date_routines.h"
#include "lib/errors.h"
#include "lib/number_routines.h"

#include <QStringList>

#include <charconv>
#include <cmath>
#include <string_view>

namespace {

// The value cut to four decimals, in fixed notation, into buffer; empty when it does not fit.
std::string_view cutText(double value, char (&buffer)[kFloatCellBuffer])
{
    if (!std::isfinite(value))
        return {};
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    if (result.ec != std::errc())
        return {};
    std::string_view text(buffer, size_t(result.ptr - buffer));
    const auto dot = text.find('.');
    if (dot != std::string_view::npos && text.size() > dot + 5)
        text = text.substr(0, dot + 5);
    return text;
}

} // namespace

std::string_view FloatCellPlainText(double value, char (&buffer)[kFloatCellBuffer])
{
    const std::string_view text = cutText(value, buffer);
    if (text.empty())
        return {};
    const auto dot = text.find('.');
    // The text read back and written with 15 significant digits is the text itself, its trailing zeros
    // dropped, whenever it has no more digits than that and needs no exponent.
    std::string_view kept(text);
    if (dot != std::string::npos) {
        while (kept.back() == '0')
            kept.remove_suffix(1);
        if (kept.back() == '.')
            kept.remove_suffix(1);
    }
    const bool negative = kept.front() == '-';
    const size_t whole = (dot == std::string::npos ? kept.size() : dot) - (negative ? 1 : 0);
    int significant = 0;
    bool leading = true;
    for (const char c : kept) {
        if (c < '0' || c > '9')
            continue;
        leading = leading && c == '0';
        significant += leading ? 0 : 1;
    }
    if (significant == 0)
        return "0";
    if (significant <= 15 && whole <= 15)
        return kept;
    return {};
}

QString FloatCellText(double value, QChar decimalSeparator)
{
    char buffer[kFloatCellBuffer];
    const std::string_view plain = FloatCellPlainText(value, buffer);
    if (!plain.empty()) {
        QString out = QString::fromLatin1(plain.data(), qsizetype(plain.size()));
        if (decimalSeparator != QLatin1Char('.'))
            out.replace(QLatin1Char('.'), decimalSeparator);
        return out;
    }
    const std::string_view text = cutText(value, buffer);
    if (text.empty())
        return FloatToStr(value, decimalSeparator);
    const double cut = std::strtod(std::string(text).c_str(), nullptr);
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
    const QStringView datePart = blank < 0 ? QStringView(trimmed) : QStringView(trimmed).left(blank);

    // The three parts of the date by where its separators stand.
    qsizetype cuts[2] = {-1, -1};
    int separators = 0;
    for (qsizetype i = 0; i < datePart.size(); ++i)
        if (datePart[i] == fs.DateSeparator && separators++ < 2)
            cuts[separators - 1] = i;
    if (separators != 2) {
        // A time of day alone is how a date-time without its date part is written.
        if (blank < 0 && fs.TimeSeparator != fs.DateSeparator && timeOfDay(trimmed, fs.TimeSeparator, value))
            return true;
        return false;
    }
    // The pattern is the same for every cell of a column: its year's place is found once.
    static thread_local QString lastPattern;
    static thread_local int lastAt = 2;
    if (fs.ShortDateFormat != lastPattern) {
        lastPattern = fs.ShortDateFormat;
        lastAt = yearPosition(lastPattern);
    }
    const qsizetype from = lastAt == 0 ? 0 : cuts[lastAt - 1] + 1;
    const qsizetype to = lastAt == 2 ? datePart.size() : cuts[lastAt];
    const QString year = datePart.mid(from, to - from).toString();
    if (!(allDigits(year) && year.size() <= 2))
        return TryStrToDateTime(trimmed, value, fs);
    const int yy = year.toInt();
    const int windowStart = fs.TwoDigitYearCenturyWindow > 0 ? currentYear - fs.TwoDigitYearCenturyWindow
                                                             : currentYear / 100 * 100;
    int full = windowStart / 100 * 100 + yy;
    if (full < windowStart)
        full += 100;
    QString expanded = trimmed;
    expanded.replace(from, to - from, QString::number(full).rightJustified(4, QLatin1Char('0')));
    return TryStrToDateTime(expanded, value, fs);
}

bool TextDateTimeCells::read(const QString &text, TDateTime &value)
{
    const QChar ds = m_fs->DateSeparator, ts = m_fs->TimeSeparator;
    const auto digit = [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); };
    const auto general = [&] { return TextCellToDateTime(text, *m_fs, m_currentYear, value); };
    if (digit(ds) || digit(ts) || ds == QLatin1Char(' '))
        return general();
    // Only the plainest form is taken apart here, "digits ds digits ds digits" with an optional
    // " digits ts digits [ts digits]": nothing to trim, the date part ends at the one blank, and the
    // time part is read as the general way reads it. Anything else goes the general way.
    const qsizetype n = text.size();
    qsizetype i = 0;
    for (int part = 0; part < 3; ++part) {
        const qsizetype from = i;
        while (i < n && digit(text[i]))
            ++i;
        if (i == from)
            return general();
        if (part < 2) {
            if (i == n || text[i] != ds)
                return general();
            ++i;
        }
    }
    const qsizetype dayEnd = i;
    int hms[3] = {0, 0, 0};
    int parts = 0;
    if (i < n) {
        if (text[i] != QLatin1Char(' '))
            return general();
        ++i;
        for (;;) {
            const qsizetype from = i;
            int v = 0;
            while (i < n && digit(text[i]) && i - from < 9)
                v = v * 10 + (text[i++].unicode() - '0');
            if (i == from || parts == 3 || (i < n && digit(text[i])))
                return general();
            hms[parts++] = v;
            if (i == n)
                break;
            if (text[i] != ts)
                return general();
            ++i;
        }
        if (parts < 2)
            return general();
    }
    const QStringView day = QStringView(text).left(dayEnd);
    if (!m_dayKnown || day != m_day) {
        m_day = day.toString();
        m_dayKnown = true;
        m_dayOk = TextCellToDateTime(m_day, *m_fs, m_currentYear, m_dayValue);
    }
    TDateTime time = 0;
    if (!m_dayOk || (parts > 0 && !TryEncodeTime(hms[0], hms[1], hms[2], 0, time)))
        return false;
    value = ComposeDateTime(m_dayValue, time);
    return true;
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
