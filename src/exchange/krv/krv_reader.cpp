#include "exchange/krv/krv_reader.h"

#include "exchange/read_limits.h"
#include "lib/codec.h"
#include "lib/datetime.h"
#include "lib/errors.h"
#include "lib/number_routines.h"
#include "lib/string_table.h"
#include "lib/system_errors.h"
#include "lib/text_routines.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <array>
#include <span>

namespace {

// The table's memory is weighed against the budget every so many rows, and at the end.
constexpr int kRowsPerWeighing = 256;

// A fixed-column line, from position 1: its fields and, between them, what the layout writes there.
enum Role { Gap, Number, Text };
struct Span
{
    int first, last; // last 0: up to the line's end
    Role role;
    const char *text; // a field's name in messages; a gap's labels, blank-separated ("" for blanks)
    constexpr bool field() const { return role != Gap; }
};

struct Layout
{
    int width; // the length of a whole line
    const char *name;
    std::span<const Span> spans;
};

constexpr Span kStationSpans[] = {
    {1, 1, Gap, ""},        {2, 3, Number, "sta"},    {4, 4, Gap, ""},        {5, 5, Text, "Pn_q"},
    {6, 11, Number, "Pn"},  {12, 13, Gap, ""},        {14, 14, Text, "Pg_q"}, {15, 20, Number, "Pg"},
    {21, 22, Gap, ""},      {23, 23, Text, "Sn_q"},   {24, 29, Number, "Sn"}, {30, 31, Gap, ""},
    {32, 32, Text, "Sg_q"}, {33, 38, Number, "Sg"},   {39, 39, Gap, ""},      {40, 47, Number, "del"},
    {48, 48, Gap, ""},      {49, 52, Number, "K"},    {53, 54, Gap, ""},      {55, 59, Number, "Pnnev"},
    {60, 61, Gap, ""},      {62, 66, Number, "Pnev"}, {67, 68, Gap, ""},      {69, 73, Number, "Snnev"},
    {74, 75, Gap, ""},      {76, 80, Number, "Snev"}, {81, 82, Gap, ""},      {83, 87, Number, "Ap"},
    {88, 89, Gap, ""},      {90, 94, Number, "As"},   {95, 96, Gap, ""},      {97, 100, Number, "Mgn"}};
constexpr Span kTitleSpans[] = {
    {1, 2, Gap, ""},       {3, 14, Text, "даты"},     {15, 19, Gap, ""},       {20, 21, Number, "часа"},
    {22, 24, Gap, "h"},    {25, 26, Number, "минут"}, {27, 29, Gap, "m"},      {30, 34, Number, "секунд"},
    {35, 40, Gap, "s K="}, {41, 44, Number, "K"},     {45, 52, Gap, "Mcoda="}, {53, 56, Number, "Mcoda"},
    {57, 61, Gap, "kt="},  {62, 62, Number, "kt"},    {63, 70, Gap, "kolst="}, {71, 72, Number, "kolst"},
    {73, 74, Gap, ""}};
constexpr Span kCoordSpans[] = {{1, 4, Gap, "fi="},       {5, 11, Number, "fi"},  {12, 18, Gap, "lam="},
                                {19, 26, Number, "lam"},  {27, 31, Gap, "h="},    {32, 36, Number, "h"},
                                {37, 41, Gap, "t0="},     {42, 48, Number, "t0"}, {49, 54, Gap, "fmin="},
                                {55, 58, Number, "fmin"}, {59, 59, Gap, ""}};
constexpr Span kErrorSpans[] = {{1, 5, Gap, "Sfi="},      {6, 11, Number, "Sfi"}, {12, 17, Gap, "Slam="},
                                {18, 24, Number, "Slam"}, {25, 39, Gap, "St0="},  {40, 0, Text, "St0"}};

// The KRV table's columns are the station line's fields.
constexpr std::array<const char *, KrvColumnCount> columnNames()
{
    std::array<const char *, KrvColumnCount> names{};
    size_t n = 0;
    for (const Span &s : kStationSpans)
        if (s.field())
            names[n++] = s.text;
    return names;
}
constexpr auto kColumns = columnNames();

const Layout kStation{100, "станции", kStationSpans};
const Layout kTitle{74, "заголовка события", kTitleSpans};
const Layout kCoordinates{59, "координат", kCoordSpans};
const Layout kErrors{44, "ошибок координат", kErrorSpans};

dptarray fieldsOf(const Layout &layout)
{
    dptarray fields;
    for (const Span &s : layout.spans)
        if (s.field())
            fields.append({s.first, s.last});
    return fields;
}

// The fields read from a line; the title's date (3, 14) is read by its tokens.
const dptarray kPhaseFields = fieldsOf(kStation);
const dptarray kTitleFields = fieldsOf(kTitle).mid(1);
const dptarray kCoordFields = fieldsOf(kCoordinates);
const dptarray kErrorFields = fieldsOf(kErrors);

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

// Calls take(token) for each run of characters between blanks or tabs until it returns false; false then.
// A tab stands for blanks, so the tokens are those of the line with its tabs expanded.
template <class Take> bool forEachToken(QStringView text, Take take)
{
    qsizetype i = 0;
    while (i < text.size()) {
        while (i < text.size() && isBlank(text[i]))
            ++i;
        const qsizetype from = i;
        while (i < text.size() && !isBlank(text[i]))
            ++i;
        if (i > from && !take(text.mid(from, i - from)))
            return false;
    }
    return true;
}

// Whether what a line shows of a gap is the gap's labels; a line that ends inside the gap may end inside
// a label, or before one.
bool labelsStand(QStringView seen, const char *labels, bool lineEndsInside)
{
    const QString all = QString::fromUtf8(labels);
    QList<QStringView> expected;
    forEachToken(all, [&](QStringView t) {
        expected << t;
        return true;
    });
    const bool cutLabel = lineEndsInside && !seen.isEmpty() && !isBlank(seen.back());
    qsizetype n = 0;
    return forEachToken(seen,
                        [&](QStringView t) {
                            if (n == expected.size())
                                return false;
                            const QStringView label = expected[n++];
                            const bool last = seen.size() - (t.data() - seen.data()) == t.size();
                            return label == t || (cutLabel && last && label.startsWith(t));
                        }) &&
           (lineEndsInside || n == expected.size());
}

QChar at(const QString &line, int pos)
{
    return pos <= line.size() ? line.at(pos - 1) : QChar();
}

QString toWidth(const QString &line, int width)
{
    return line.size() >= width ? line : line.leftJustified(width);
}

// Editors put tabs for runs of blanks: the usual stops of 8 columns give the columns back, and so do stops
// of 4 for an editor set to them. Past a station line's columns a tab is one blank, so a line of tabs takes
// no more room than it had.
QString expandTabs(const QString &line, int stop = 8)
{
    QString out;
    out.reserve(line.size() + kStation.width);
    for (const QChar c : line) {
        if (c != QLatin1Char('\t'))
            out += c;
        else if (out.size() >= kStation.width)
            out += QLatin1Char(' ');
        else
            out.resize((out.size() / stop + 1) * stop, QLatin1Char(' '));
    }
    return out;
}

// What a short line shows of a number field could be a number or the start of one; any other character
// makes it a word.
bool couldBeNumber(QStringView text)
{
    for (const QChar c : text)
        if (!c.isDigit() && !isBlank(c) && !QStringView(u"+-.,").contains(c))
            return false;
    return true;
}

// How a line fits a kind: not at all, as a line of the kind (with its fields), or cut inside a field that
// holds characters, whose value cannot be read whole.
struct Fit
{
    enum { No, Whole, Cut } how = No;
    QString line;
    dsarray fields;
    const Span *cut = nullptr;
};

struct Kind
{
    const Layout &layout;
    const dptarray &fields;
    bool (*marks)(const QString &line);   // what makes a line of the kind; a tab stands for a blank
    bool (*holds)(const dsarray &fields); // what a shorter line cannot do without
};

// A whole line without tabs is of the kind by its marks alone. Any other (shorter, or with tabs:
// as it stands a tab for one blank, or expanded) is one only where the layout stands in it as far as it
// goes: each label in its gap, each field in its columns, blanks between; a shorter one must also hold
// what the kind cannot do without, and is read as if padded with blanks. A shorter line with a word where
// a number stands is a note, not a line of the kind. A line that ends inside a field showing what could
// begin a number lost part of that value.
Fit fitLine(const QString &line, const Kind &kind, bool expanded)
{
    Fit fit;
    if (!kind.marks(line))
        return fit;
    const int length = int(line.size());
    const bool shorter = length < kind.layout.width;
    const bool laidOut = shorter || expanded || line.contains(QLatin1Char('\t'));
    if (laidOut)
        for (const Span &s : kind.layout.spans) {
            const int end = s.last == 0 ? length : std::min(s.last, length);
            const QStringView seen =
                s.first > length ? QStringView() : QStringView(line).mid(s.first - 1, end - s.first + 1);
            if (!s.field() && !labelsStand(seen, s.text, length < s.last))
                return fit;
            if (shorter && s.role == Number && !couldBeNumber(seen))
                return fit;
            if (s.field() && s.first <= length && length < s.last && !TrimBlanks(seen.toString()).isEmpty()) {
                fit.how = Fit::Cut;
                fit.line = line;
                fit.cut = &s;
                return fit;
            }
        }
    SplitFixedWidth(toWidth(line, kind.layout.width), kind.fields, fit.fields, true);
    if (shorter && !kind.holds(fit.fields))
        return fit;
    fit.how = Fit::Whole;
    fit.line = line;
    return fit;
}

// Labels show where a tab put what follows it; a layout of blank gaps only has nothing to show it.
bool hasLabels(const Layout &layout)
{
    return std::any_of(layout.spans.begin(), layout.spans.end(),
                       [](const Span &s) { return !s.field() && *s.text; });
}

// A line is read as it stands, a tab in it standing for a blank; its tabs are expanded only when as it
// stands it is no line of the kind: to stops of 8, then, where labels can show them right, of 4.
Fit fitLine(const QString &line, const Kind &kind)
{
    Fit fit = fitLine(line, kind, false);
    // Expanding tabs moves what stands after them; a line of blanks has nothing to move.
    if (fit.how == Fit::Whole || !line.contains(QLatin1Char('\t')) ||
        std::all_of(line.begin(), line.end(), isBlank))
        return fit;
    for (const int stop : {8, 4}) {
        if (stop == 4 && !hasLabels(kind.layout))
            break;
        Fit expanded = fitLine(expandTabs(line, stop), kind, true);
        if (expanded.how == Fit::Whole)
            return expanded;
        if (fit.how == Fit::No)
            fit = std::move(expanded);
    }
    return fit;
}

[[noreturn]] void refuseCut(const Fit &fit, const Kind &kind)
{
    const Span &s = *fit.cut;
    throw EConvertError(QStringLiteral("Строка %1 оборвана на %2-й позиции, посреди поля %3 (позиции %4-%5)")
                            .arg(QString::fromUtf8(kind.layout.name))
                            .arg(fit.line.size())
                            .arg(QString::fromUtf8(s.text))
                            .arg(s.first)
                            .arg(s.last));
}

bool hasStationNumber(const QString &line)
{
    int number = 0;
    return TryStrToInt(TrimBlanks(line.mid(1, 2)), number);
}

// Day, month and year at positions 3-14, the year a number.
bool titleDate(const QString &line, QStringList &date)
{
    date.clear();
    forEachToken(QStringView(line).mid(2, 12), [&](QStringView t) {
        date << t.toString();
        return date.size() < 3;
    });
    int year = 0;
    return date.size() == 3 && TryStrToInt(date[2], year);
}

const Kind kStationKind{kStation, kPhaseFields,
                        [](const QString &line) {
                            return at(line, 27) == QLatin1Char('.') &&
                                   (line.size() >= kStation.width || hasStationNumber(line));
                        },
                        [](const dsarray &fields) {
                            int number = 0;
                            double seconds = 0;
                            if (!TryStrToInt(fields[0], number))
                                return false;
                            for (int c = 2; c <= 8; c += 2)
                                if (TryStrToFloatAny(fields[c], seconds))
                                    return true;
                            return false;
                        }};
const Kind kTitleKind{kTitle, kTitleFields,
                      [](const QString &line) {
                          QStringList date;
                          return at(line, 22) == QLatin1Char('h') && titleDate(line, date);
                      },
                      [](const dsarray &fields) {
                          return !fields[0].isEmpty() && !fields[1].isEmpty() && !fields[2].isEmpty();
                      }};
const Kind kCoordKind{kCoordinates, kCoordFields,
                      [](const QString &line) { return line.startsWith(QLatin1String(" fi=")); },
                      [](const dsarray &fields) { return !fields[0].isEmpty() && !fields[1].isEmpty(); }};
const Kind kErrorKind{kErrors, kErrorFields,
                      [](const QString &line) { return line.startsWith(QLatin1String("Sfi")); },
                      [](const dsarray &) { return true; }};

// The date of an event: what names it says where its parts come from.
TDateTime toDate(int year, int month, int day, const char *what)
{
    TDateTime date = 0;
    if (!TryEncodeDate(year, month, day, date))
        throw EConvertError(QStringLiteral("Неверная дата %1: %2.%3.%4")
                                .arg(QString::fromUtf8(what))
                                .arg(day)
                                .arg(month)
                                .arg(year));
    return date;
}

// The nine integers of an event line: day, month, a digit, hour, minute, V1-V4. Its tokens are looked at
// one by one up to the tenth, so a long line of numbers costs no string for each of them.
bool isEventLine(const QString &line, std::array<int, 9> &values)
{
    size_t count = 0;
    if (!forEachToken(line, [&](QStringView token) {
            return count < values.size() && TryStrToInt(token.toString(), values[count++]);
        }))
        return false;
    if (count != values.size())
        return false;
    const auto in = [&](int i, int lo, int hi) { return values[size_t(i)] >= lo && values[size_t(i)] <= hi; };
    return in(0, 1, 31) && in(1, 1, 12) && in(2, 0, 9) && in(3, 0, 23) && in(4, 0, 59);
}

// Of a station line's length with its point at 27, as it stands or with its tabs expanded: whatever
// else it holds, a station line, never passed over.
bool isWholeStationLine(const QString &line)
{
    const auto whole = [](const QString &l) {
        return l.size() >= kStation.width && at(l, 27) == QLatin1Char('.');
    };
    return whole(line) ||
           (line.contains(QLatin1Char('\t')) && line.contains(QLatin1Char('.')) && whole(expandTabs(line)));
}

// A station line that is none as it stands or with its tabs expanded: of a station's length with its
// number or its point where a station line has them, or holding nothing but numbers and quality marks,
// the first number a station's and a time after it, wherever they stand (a line shifted, or started with
// a tab). It is refused rather than passed over with its readings; a line with other words is a heading
// or a note.
bool isStationLike(const QString &line)
{
    const auto fullLength = [](const QString &l) {
        return l.size() >= kStation.width && hasStationNumber(l);
    };
    if (fullLength(line) || isWholeStationLine(line) ||
        (line.contains(QLatin1Char('\t')) && fullLength(expandTabs(line))))
        return true;
    bool number = false, time = false;
    const bool onlyReadings = forEachToken(line, [&](QStringView t) {
        const QString token = t.toString();
        double value = 0;
        if (!TryStrToFloatAny(token, value))
            return token.size() == 1;
        const bool fraction = token.contains(QLatin1Char('.')) || token.contains(QLatin1Char(','));
        if (number) {
            time = time || fraction;
            return true;
        }
        number = true;
        return !fraction;
    });
    return onlyReadings && time;
}

// A line read as a station line among an event's stations, or one of a station line's length: met where
// no stations are read, its readings have no event to go to.
bool isStationLine(const QString &line)
{
    return fitLine(line, kStationKind).how != Fit::No || isWholeStationLine(line);
}

[[noreturn]] void refuseStationLike(const QString &line)
{
    const auto point = [](const QString &l) { return at(l, 27) == QLatin1Char('.'); };
    if (point(line) || (line.contains(QLatin1Char('\t')) && point(expandTabs(line))))
        throw EConvertError(QStringLiteral("Строка станции не по образцу: поля не на своих местах"));
    throw EConvertError(QStringLiteral("Строка станции не по образцу: в 27-й позиции нет точки"));
}

// A station line where the reader waits for a line of another kind: the line that was to come before it
// is missing or could not be read, or a line before it ended the event's stations.
[[noreturn]] void refuseStationOutOfPlace(const char *awaited, int stationsEndedAt = 0)
{
    QString text =
        QStringLiteral("Строка станции там, где ожидалась строка %1").arg(QString::fromUtf8(awaited));
    if (stationsEndedAt > 0)
        text += QStringLiteral(": станции события кончились на строке %1").arg(stationsEndedAt);
    throw EConvertError(text);
}

// What a station line holds past its last field is no reading of it: the line is refused rather than
// written without it.
void checkNothingPastTheFields(const QString &line)
{
    if (!TrimBlanks(line.mid(kStation.width)).isEmpty())
        throw EConvertError(QStringLiteral("Лишние данные после 100-й позиции строки станции"));
}

// Where the line from From ends: at LF, CR LF or a lone CR, or at the end of Bytes; Next is where the
// line after it starts.
qsizetype lineEnd(QByteArrayView bytes, qsizetype from, qsizetype &next)
{
    qsizetype end = from;
    while (end < bytes.size() && bytes[end] != '\n' && bytes[end] != '\r')
        ++end;
    next = end + (end + 1 < bytes.size() && bytes[end] == '\r' && bytes[end + 1] == '\n' ? 2 : 1);
    return end;
}

class Parser
{
public:
    Parser(const QByteArray &bytes, TD2D &table, int &linesRead, const ReadBudget &budget)
        : m_bytes(bytes), m_table(table), m_lines(linesRead), m_budget(budget)
    {}

    void run()
    {
        m_table.Init(KrvColumnCount, 1);
        for (int c = 0; c < KrvColumnCount; ++c)
            m_table.SetCell(c, 0, QString::fromLatin1(kColumns[c]));
        QString line;
        bool pending = false;
        for (;;) {
            // The line that ended an event's stations may itself open the next event.
            if (!(pending && isEventLine(line, m_event))) {
                bool found = false;
                while (nextLine(line)) {
                    if ((found = isEventLine(line, m_event)))
                        break;
                    if (isStationLine(line))
                        refuseStationOutOfPlace("события", pending ? m_stationsEndedAt : 0);
                }
                if (!found)
                    return;
            }
            pending = readEvent(line);
        }
    }

private:
    bool nextLine(QString &line)
    {
        if (m_pos >= m_bytes.size())
            return false;
        qsizetype next = 0;
        const qsizetype end = lineEnd(m_bytes, m_pos, next);
        line = fromCp1251(m_bytes.mid(m_pos, end - m_pos));
        m_pos = next;
        ++m_lines;
        return true;
    }

    // Reads the lines of one event; true when a line that ended its stations is left in line. Lines of
    // other kinds than the one expected next are passed over, but never a station line: one met before
    // the event's stations, its title, coordinate or error line missing or unreadable, is refused.
    bool readEvent(QString &line)
    {
        enum { Title, Coordinates, Errors, Phases } state = Title;
        const Layout *const awaited[] = {&kTitle, &kCoordinates, &kErrors};
        int phases = 0;
        std::array<int, 9> next{};
        while (nextLine(line)) {
            // Once its title is read, an event line before any station of this event opens the next
            // event: this one had no stations, and its lines must not take those of the next. Before the
            // title it is only a line of another kind than the one expected, and the event keeps its own.
            if (phases == 0 && state != Title && isEventLine(line, next))
                return true;
            switch (state) {
            case Title:
                if (const Fit title = fitLine(line, kTitleKind); take(title, kTitleKind)) {
                    titleDate(title.line, m_titleDate);
                    m_year = StrToInt(m_titleDate[2]);
                    m_title = title.fields;
                    state = Coordinates;
                    continue;
                }
                break;
            case Coordinates:
                if (const Fit coords = fitLine(line, kCoordKind); take(coords, kCoordKind)) {
                    m_coords = coords.fields;
                    state = Errors;
                    continue;
                }
                break;
            case Errors:
                if (const Fit errors = fitLine(line, kErrorKind); take(errors, kErrorKind)) {
                    m_coords << errors.fields;
                    state = Phases;
                    continue;
                }
                break;
            case Phases:
                if (const Fit station = fitLine(line, kStationKind); take(station, kStationKind)) {
                    checkNothingPastTheFields(station.line);
                    takePhase(station.fields, phases++ == 0);
                    continue;
                }
                // The next event's line ends the stations, however far it is padded: its day stands
                // where a station's number does.
                if (isEventLine(line, next))
                    return true;
                if (isStationLike(line))
                    refuseStationLike(line);
                if (phases > 0) {
                    m_stationsEndedAt = m_lines;
                    return true;
                }
                continue;
            }
            if (isStationLine(line))
                refuseStationOutOfPlace(awaited[state]->name);
        }
        return false;
    }

    // True for a line of the kind; a line cut inside a field that holds characters is refused.
    static bool take(const Fit &fit, const Kind &kind)
    {
        if (fit.how == Fit::Cut)
            refuseCut(fit, kind);
        return fit.how == Fit::Whole;
    }

    void layOutBlock(int &r)
    {
        // The first block follows the header at once; later ones after one empty row.
        if (m_table.RowCount() == 1) {
            r = 1;
            m_table.AddRows(5);
        } else {
            r = m_table.RowCount() + 1;
            m_table.AddRows(6);
        }
        const TDateTime reference = toDate(m_year, m_event[1], m_event[0],
                                           "события (день и месяц строки события, год строки заголовка)") +
                                    EncodeTime(m_event[3], m_event[4], 0, 0);
        m_table.SetCell(0, r, FormatDateTime(QStringLiteral("c"), reference));
        for (int i = 0; i < 4; ++i)
            m_table.SetCell(1 + i, r, QString::number(m_event[size_t(5 + i)]));

        const TDateTime origin =
            toDate(m_year, StrToInt(m_titleDate[1]), StrToInt(m_titleDate[0]), "в строке заголовка события");
        const QString o[] = {FormatDateTime(QStringLiteral("ddddd"), origin),
                             QStringLiteral("O ="),
                             m_title[0] + QLatin1Char(':') + m_title[1] + QLatin1Char(':') + m_title[2],
                             QStringLiteral("K ="),
                             m_title[3],
                             QStringLiteral("Mcoda ="),
                             m_title[4],
                             QStringLiteral("kt ="),
                             m_title[5],
                             QStringLiteral("kolst ="),
                             m_title[6]};
        for (int c = 0; c < int(std::size(o)); ++c)
            m_table.SetCell(c, r + 1, o[c]);

        const char *const names[] = {"fi =", "lam =", "h =", "t0 =", "fmin =", "Sfi =", "Slam =", "St0 ="};
        for (int i = 0; i < 8; ++i) {
            m_table.SetCell(2 * i, r + 2, QString::fromLatin1(names[i]));
            m_table.SetCell(2 * i + 1, r + 2, m_coords.value(i));
        }
    }

    void takePhase(dsarray fields, bool first)
    {
        int row = 0;
        if (first) {
            int r = 0;
            layOutBlock(r);
            row = r + 4;
        } else {
            row = m_table.AddRows(1);
        }
        int number = -1;
        if (!TryStrToInt(fields[0], number))
            number = -1;
        KrvStationCode(number, fields[0]);
        for (int c = 2; c <= 8; c += 2) {
            double seconds = 0;
            if (!TryStrToFloatAny(fields[c], seconds) || seconds == 0) {
                fields[c].clear();
                fields[c - 1].clear();
            }
        }
        for (int c = 0; c < KrvColumnCount; ++c)
            m_table.SetCell(c, row, fields[c]);
        if (row % kRowsPerWeighing == 0 && !m_budget.fits(m_table.MemoryBytes()))
            throw EFileError(OverBudgetText(m_budget.limit()));
    }

    const QByteArray &m_bytes;
    TD2D &m_table;
    int &m_lines;
    const ReadBudget &m_budget;
    qsizetype m_pos = 0;
    std::array<int, 9> m_event{};
    QStringList m_titleDate;
    dsarray m_title, m_coords;
    int m_year = 0;
    int m_stationsEndedAt = 0;
};

} // namespace

const char *KrvColumnName(int Col)
{
    return Col >= 0 && Col < KrvColumnCount ? kColumns[Col] : "";
}

void KrvStationCode(int Number, QString &Code)
{
    static const std::pair<int, const char *> codes[] = {
        {1, "KRV"},   {2, "ELT"},   {3, "UKR"},   {4, "VEH"},   {9, "ORL"},   {38, "ARTR"}, {39, "ELDR"},
        {50, "MINR"}, {51, "AKAR"}, {54, "TASR"}, {58, "CERR"}, {71, "BSTR"}, {72, "DVG"},  {73, "SHR"},
        {74, "KZLR"}, {76, "KTNR"}, {77, "BRCR"}, {79, "KRAR"}, {254, "KEMR"}};
    for (const auto &[number, code] : codes)
        if (number == Number) {
            Code = QString::fromLatin1(code);
            return;
        }
    Code = QLatin1Char('?') + QString::number(Number);
}

void ParseKrvBulletin(const QByteArray &Bytes, TD2D &Table, int &LinesRead)
{
    // The bytes are the input, and held while the table is made of them.
    ReadBudget budget(ReadBudgetBytes(Bytes.size()));
    budget.spend(Bytes.size());
    Parser(Bytes, Table, LinesRead, budget).run();
    if (!budget.fits(Table.MemoryBytes()))
        throw EFileError(OverBudgetText(budget.limit()));
}

bool ReadKrvFile(const QString &FileName, TD2D &Table, QString &Message)
{
    int lines = 0;
    try {
        Table.Init(KrvColumnCount, 1);
        QFile file(FileName);
        if (!file.open(QIODevice::ReadOnly))
            throw EFileError(
                QStringLiteral("Не удалось открыть файл %1: %2").arg(FileName, FileErrorText(file)));
        // A bulletin takes some forty times its size in the table: the size is checked before the read.
        if (file.size() > MaxKrvFileBytes)
            throw EFileError(
                QStringLiteral("Файл %1 больше предела в %2 МиБ").arg(FileName).arg(MaxKrvFileBytes >> 20));
        const QByteArray bytes = file.readAll();
        if (file.error() != QFileDevice::NoError)
            throw EFileError(
                QStringLiteral("Не удалось прочитать файл %1: %2").arg(FileName, FileErrorText(file)));
        if (const qsizetype nul = bytes.indexOf('\0'); nul >= 0) {
            int line = 1;
            for (qsizetype from = 0, next = 0; lineEnd(bytes, from, next) < nul; from = next)
                ++line;
            throw EFileError(QStringLiteral("Файл %1: символ NUL в строке %2").arg(FileName).arg(line));
        }
        ParseKrvBulletin(bytes, Table, lines);
        return true;
    } catch (const std::exception &e) {
        Message = QStringLiteral("ReadKRV");
        if (lines > 0)
            Message +=
                QStringLiteral(", строка %1 в файле %2").arg(lines).arg(QFileInfo(FileName).fileName());
        Message += QStringLiteral(": Сообщение об ошибке:\r") + ExceptionText(e);
        return false;
    }
}
