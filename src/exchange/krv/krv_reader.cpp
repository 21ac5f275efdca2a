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

#include <array>

namespace {

// The table's memory is weighed against the budget every so many rows, and at the end.
constexpr int kRowsPerWeighing = 256;

// The widths of the fixed-column lines: a shorter line is read as if padded with blanks to its width.
constexpr int kTitleWidth = 74, kCoordWidth = 59, kErrorWidth = 44, kStationWidth = 100;

const char *const kColumns[KrvColumnCount] = {"sta",  "Pn_q",  "Pn",   "Pg_q", "Pg", "Sn_q",
                                              "Sn",   "Sg_q",  "Sg",   "del",  "K",  "Pnnev",
                                              "Pnev", "Snnev", "Snev", "Ap",   "As", "Mgn"};

const dptarray kPhaseFields = {{2, 3},   {5, 5},   {6, 11},  {14, 14}, {15, 20}, {23, 23},
                               {24, 29}, {32, 32}, {33, 38}, {40, 47}, {49, 52}, {55, 59},
                               {62, 66}, {69, 73}, {76, 80}, {83, 87}, {90, 94}, {97, 100}};
const dptarray kTitleFields = {{20, 21}, {25, 26}, {30, 34}, {41, 44}, {53, 56}, {62, 62}, {71, 72}};
const dptarray kCoordFields = {{5, 11}, {19, 26}, {32, 36}, {42, 48}, {55, 58}};
const dptarray kErrorFields = {{6, 11}, {18, 24}, {40, 0}};

QChar at(const QString &line, int pos)
{
    return pos <= line.size() ? line.at(pos - 1) : QChar();
}

QString toWidth(const QString &line, int width)
{
    return line.size() >= width ? line : line.leftJustified(width);
}

// Editors put tabs for runs of blanks: the usual stops of 8 columns give the columns back. Past a station
// line's columns a tab is one blank, so a line of tabs takes no more room than it had.
QString expandTabs(const QString &line)
{
    if (!line.contains(QLatin1Char('\t')))
        return line;
    QString out;
    out.reserve(line.size() + kStationWidth);
    for (const QChar c : line) {
        if (c != QLatin1Char('\t'))
            out += c;
        else if (out.size() >= kStationWidth)
            out += QLatin1Char(' ');
        else
            out = out.leftJustified((out.size() / 8 + 1) * 8);
    }
    return out;
}

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
    for (const QStringView token : QStringTokenizer(line, u' ', Qt::SkipEmptyParts))
        if (count == values.size() || !TryStrToInt(token.toString(), values[count++]))
            return false;
    if (count != values.size())
        return false;
    const auto in = [&](int i, int lo, int hi) { return values[size_t(i)] >= lo && values[size_t(i)] <= hi; };
    return in(0, 1, 31) && in(1, 1, 12) && in(2, 0, 9) && in(3, 0, 23) && in(4, 0, 59);
}

bool isPhaseLine(const QString &line)
{
    return at(line, 27) == QLatin1Char('.');
}

// A line with a station's number where a station line has it, of a station's length or holding nothing
// but numbers and quality marks, a time among them: a station line whose columns moved is refused rather
// than passed over with its readings. A shorter line with other words is a heading or a comment.
bool isStationLike(const QString &line)
{
    int number = 0;
    if (!TryStrToInt(line.mid(1, 2).trimmed(), number))
        return false;
    if (line.size() >= kStationWidth)
        return true;
    bool time = false;
    for (const QString &token : line.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        double value = 0;
        if (TryStrToFloatAny(token, value))
            time = time || token.contains(QLatin1Char('.')) || token.contains(QLatin1Char(','));
        else if (token.size() != 1)
            return false;
    }
    return time;
}

// What a station line holds past its last field is no reading of it: the line is refused rather than
// written without it.
void checkNothingPastTheFields(const QString &line)
{
    if (!line.mid(kStationWidth).trimmed().isEmpty())
        throw EConvertError(QStringLiteral("Лишние данные после 100-й позиции строки станции"));
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
                while (nextLine(line))
                    if ((found = isEventLine(line, m_event)))
                        break;
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
        qsizetype end = m_bytes.indexOf('\n', m_pos);
        if (end < 0)
            end = m_bytes.size();
        qsizetype stop = end;
        if (stop > m_pos && m_bytes.at(stop - 1) == '\r')
            --stop;
        line = expandTabs(fromCp1251(m_bytes.mid(m_pos, stop - m_pos)));
        m_pos = end + 1;
        ++m_lines;
        return true;
    }

    // Reads the lines of one event; true when a line that ended its stations is left in line.
    bool readEvent(QString &line)
    {
        enum { Title, Coordinates, Errors, Phases } state = Title;
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
                if (takeTitle(line))
                    state = Coordinates;
                break;
            case Coordinates:
                if (line.startsWith(QLatin1String(" fi="))) {
                    SplitFixedWidth(toWidth(line, kCoordWidth), kCoordFields, m_coords, true);
                    state = Errors;
                }
                break;
            case Errors:
                if (line.startsWith(QLatin1String("Sfi"))) {
                    dsarray errors;
                    SplitFixedWidth(toWidth(line, kErrorWidth), kErrorFields, errors, true);
                    m_coords << errors;
                    state = Phases;
                }
                break;
            case Phases:
                if (isPhaseLine(line)) {
                    checkNothingPastTheFields(line);
                    takePhase(line, phases++ == 0);
                    break;
                }
                // The next event's line ends the stations, however far it is padded: its day stands
                // where a station's number does.
                if (isEventLine(line, next))
                    return true;
                if (isStationLike(line))
                    throw EConvertError(
                        QStringLiteral("Строка станции не по образцу: в 27-й позиции нет точки"));
                if (phases > 0)
                    return true;
                break;
            }
        }
        return false;
    }

    bool takeTitle(const QString &line)
    {
        if (at(line, 22) != QLatin1Char('h'))
            return false;
        const QStringList date = line.mid(2, 12).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        int year = 0;
        if (date.size() < 3 || !TryStrToInt(date[2], year))
            return false;
        m_titleDate = date.mid(0, 3);
        m_year = year;
        SplitFixedWidth(toWidth(line, kTitleWidth), kTitleFields, m_title, true);
        return true;
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

    void takePhase(const QString &line, bool first)
    {
        int row = 0;
        if (first) {
            int r = 0;
            layOutBlock(r);
            row = r + 4;
        } else {
            row = m_table.AddRows(1);
        }
        dsarray fields;
        SplitFixedWidth(toWidth(line, kStationWidth), kPhaseFields, fields, true);
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
        if (const qsizetype nul = bytes.indexOf('\0'); nul >= 0)
            throw EFileError(QStringLiteral("Файл %1: символ NUL в строке %2")
                                 .arg(FileName)
                                 .arg(QByteArrayView(bytes).first(nul).count('\n') + 1));
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
