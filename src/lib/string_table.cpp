#include "lib/string_table.h"

#include "lib/codec.h"
#include "lib/errors.h"
#include "lib/messages.h"
#include "lib/read_budget.h"
#include "lib/system_errors.h"

#include <QFile>

#include <algorithm>
#include <stdexcept>
#include <string>

namespace {

// A cell word: the block (24 bits), the offset in it (16 bits) and the length (24 bits) of its text. A
// text longer than a small block gets a block of its own, which the length WholeBlock takes whole.
constexpr int kLengthBits = 24, kOffsetBits = 16;
constexpr quint64 kLengthMask = (quint64(1) << kLengthBits) - 1;
constexpr quint64 kOffsetMask = (quint64(1) << kOffsetBits) - 1;
constexpr quint64 WholeBlock = kLengthMask;
constexpr quint64 kMaxBlocks = quint64(1) << (64 - kLengthBits - kOffsetBits);
constexpr qint64 kMaxBlockChars = qint64(1) << kOffsetBits;
constexpr qint64 kMinBlockChars = 64;
constexpr qint64 kLongText = 4096;
// Set cells leave their old texts behind; past this and half the characters the column is rebuilt.
constexpr qint64 kGarbageSlack = 65536;

} // namespace

CellWords &CellWords::operator=(const CellWords &other)
{
    if (this == &other)
        return *this;
    m_chunks.clear();
    for (qsizetype k = 0; k < qsizetype(other.m_chunks.size()); ++k) {
        const qsizetype n = chunkWords(k);
        m_chunks.emplace_back(new quint64[size_t(n)]);
        std::copy(other.m_chunks[size_t(k)].get(), other.m_chunks[size_t(k)].get() + n,
                  m_chunks.back().get());
    }
    m_size = other.m_size;
    return *this;
}

void CellWords::push_back(quint64 word)
{
    const Place p = place(m_size);
    if (p.chunk == qsizetype(m_chunks.size()))
        m_chunks.emplace_back(new quint64[size_t(chunkWords(p.chunk))]);
    m_chunks[size_t(p.chunk)][p.offset] = word;
    ++m_size;
}

void CellWords::resize(qsizetype n)
{
    n = std::max<qsizetype>(n, 0);
    if (n < m_size) {
        m_chunks.resize(n == 0 ? 0 : size_t(place(n - 1).chunk + 1));
        m_size = n;
        return;
    }
    const qsizetype chunks = n == 0 ? 0 : place(n - 1).chunk + 1;
    while (qsizetype(m_chunks.size()) < chunks)
        m_chunks.emplace_back(new quint64[size_t(chunkWords(qsizetype(m_chunks.size())))]);
    for (qsizetype i = m_size; i < n;) {
        const Place p = place(i);
        const qsizetype run = std::min(n - i, chunkWords(p.chunk) - p.offset);
        std::fill_n(m_chunks[size_t(p.chunk)].get() + p.offset, run, quint64(0));
        i += run;
    }
    m_size = n;
}

qint64 CellWords::allocatedBytes() const
{
    qint64 words = 0;
    for (qsizetype k = 0; k < qsizetype(m_chunks.size()); ++k)
        words += chunkWords(k);
    return words * qint64(sizeof(quint64)) + qint64(m_chunks.capacity() * sizeof(m_chunks[0]));
}

qint64 CellWords::bytesFor(qint64 n)
{
    if (n <= 0)
        return 0;
    const qint64 chunks = n >= kSmallWords
                              ? (kLastBits - kFirstBits) + (n - kSmallWords + (qint64(1) << kLastBits) - 1) /
                                                               (qint64(1) << kLastBits)
                              : place(qsizetype(n - 1)).chunk + 1;
    qint64 words = 0;
    for (qint64 k = 0; k < std::min<qint64>(chunks, kLastBits - kFirstBits); ++k)
        words += chunkWords(qsizetype(k));
    words += std::max<qint64>(0, chunks - (kLastBits - kFirstBits)) << kLastBits;
    return (words + chunks) * qint64(sizeof(quint64));
}

TStringColumn::TStringColumn(const QStringList &lines, bool caseSensitive) : CaseSensitive(caseSensitive)
{
    for (const QString &line : lines)
        append(line);
}

QStringView TStringColumn::view(qsizetype i) const
{
    const quint64 word = m_cells[i];
    const quint64 length = word & kLengthMask;
    if (length == 0)
        return {};
    const Block &block = m_blocks[size_t(word >> (kLengthBits + kOffsetBits))];
    if (length == WholeBlock)
        return QStringView(block.text.get(), qsizetype(block.size));
    return QStringView(block.text.get() + ((word >> kLengthBits) & kOffsetMask), qsizetype(length));
}

quint64 TStringColumn::store(QStringView text)
{
    const qint64 length = text.size();
    if (length == 0)
        return 0;
    const bool own = length > kLongText;
    // A block shared with a copy of the column is read by both, so neither writes into it.
    const bool fits = !own && !m_blocks.empty() && m_blocks.back().text.use_count() == 1 &&
                      m_blocks.back().size - m_used >= length;
    if (!fits) {
        if (m_blocks.size() >= kMaxBlocks)
            throw std::length_error("TStringColumn: too many blocks");
        const qint64 size =
            own ? length : std::max(length, std::clamp(m_chars / 2, kMinBlockChars, kMaxBlockChars));
        m_blocks.push_back({std::shared_ptr<char16_t[]>(new char16_t[size_t(size)]), size});
        m_chars += size;
        m_used = 0;
    }
    const quint64 index = quint64(m_blocks.size() - 1) << (kLengthBits + kOffsetBits);
    Block &block = m_blocks.back();
    std::copy(text.utf16(), text.utf16() + length, block.text.get() + m_used);
    if (own) {
        m_used = block.size;
        return index | WholeBlock;
    }
    const quint64 word = index | (quint64(m_used) << kLengthBits) | quint64(length);
    m_used += length;
    return word;
}

void TStringColumn::set(qsizetype i, QStringView text)
{
    const QStringView old = view(i);
    if (old == text)
        return;
    quint64 word = 0;
    if (!text.isEmpty()) {
        // Fill-downs and corrections often repeat a neighbour, whose text is taken as it is.
        if (i > 0 && view(i - 1) == text)
            word = m_cells[i - 1];
        else if (i + 1 < size() && view(i + 1) == text)
            word = m_cells[i + 1];
        else
            word = store(text);
    }
    m_garbage += old.size();
    m_cells[i] = word;
    compactIfWasteful();
}

void TStringColumn::append(QStringView text)
{
    if (size() > 0 && view(size() - 1) == text)
        m_cells.push_back(m_cells[size() - 1]);
    else
        m_cells.push_back(store(text));
}

void TStringColumn::resize(qsizetype n)
{
    m_cells.resize(n);
}

void TStringColumn::clear()
{
    m_cells = CellWords();
    std::vector<Block>().swap(m_blocks);
    m_used = m_chars = m_garbage = 0;
}

void TStringColumn::compactIfWasteful()
{
    if (m_garbage < kGarbageSlack || m_garbage * 2 < m_chars)
        return;
    // The old blocks stay until every cell has its text again; a run of equal words stays one text.
    TStringColumn rebuilt;
    for (qsizetype i = 0; i < size(); ++i) {
        if (i > 0 && m_cells[i] == m_cells[i - 1])
            rebuilt.m_cells.push_back(rebuilt.m_cells[i - 1]);
        else
            rebuilt.m_cells.push_back(rebuilt.store(view(i)));
    }
    std::swap(m_cells, rebuilt.m_cells);
    m_blocks.swap(rebuilt.m_blocks);
    m_used = rebuilt.m_used;
    m_chars = rebuilt.m_chars;
    m_garbage = 0;
}

qsizetype TStringColumn::indexOf(QStringView text, qsizetype from) const
{
    for (qsizetype i = std::max<qsizetype>(from, 0); i < size(); ++i)
        if (view(i) == text)
            return i;
    return -1;
}

int TStringColumn::IndexOf(const QString &S) const
{
    const Qt::CaseSensitivity cs = CaseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive;
    for (qsizetype i = 0; i < size(); ++i)
        if (view(i).compare(S, cs) == 0)
            return int(i);
    return -1;
}

QStringList TStringColumn::mid(qsizetype pos, qsizetype len) const
{
    const qsizetype from = std::clamp<qsizetype>(pos, 0, size());
    const qsizetype to = len < 0 ? size() : std::min(size(), from + len);
    QStringList lines;
    lines.reserve(to - from);
    for (qsizetype i = from; i < to; ++i)
        lines << at(i);
    return lines;
}

qint64 TStringColumn::memoryBytes() const
{
    // A block is its characters, its control block and two heap headers.
    constexpr qint64 perBlock = sizeof(Block) + 64;
    return qint64(sizeof(TStringColumn)) + m_cells.allocatedBytes() + m_chars * 2 +
           qint64(m_blocks.capacity()) * perBlock;
}

namespace {

template <class Lines> bool sameCells(const TStringColumn &a, const Lines &b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (a.view(i) != QStringView(b[i]))
            return false;
    return true;
}

} // namespace

bool operator==(const TStringColumn &a, const QStringList &b)
{
    return sameCells(a, b);
}

bool operator==(const TStringColumn &a, const TStringColumn &b)
{
    return sameCells(a, b);
}

TD2D::~TD2D()
{
    Clear();
}

int TD2D::RowCount() const
{
    return Columns.isEmpty() ? -1 : int(Columns.first().size());
}

void TD2D::checkIndex(int Col, int Row) const
{
    if (Col < 0 || Col >= Columns.size())
        throw std::out_of_range("List index out of bounds (" + std::to_string(Col) + ")");
    if (Row < 0 || Row >= Columns.at(Col).size())
        throw std::out_of_range("List index out of bounds (" + std::to_string(Row) + ")");
}

QString TD2D::GetCell(int Col, int Row) const
{
    checkIndex(Col, Row);
    return Columns.at(Col).at(Row);
}

QStringView TD2D::CellView(int Col, int Row) const
{
    checkIndex(Col, Row);
    return Columns.at(Col).view(Row);
}

void TD2D::SetCell(int Col, int Row, QStringView Value)
{
    checkIndex(Col, Row);
    Columns[Col].set(Row, Value);
}

void TD2D::Init(int ColCount, int RowCount, bool CaseSensitive)
{
    Clear();
    TStringColumn column;
    column.CaseSensitive = CaseSensitive;
    column.resize(std::max(RowCount, 0));
    Columns.reserve(std::max(ColCount, 0));
    for (int c = 0; c < ColCount; ++c)
        Columns.append(column);
}

void TD2D::Clear()
{
    Columns.clear();
}

void TD2D::SetSize(int ColCount, int RowCount)
{
    if (Columns.isEmpty()) {
        Init(ColCount, RowCount, false);
        return;
    }
    ColCount = std::max(ColCount, 0);
    RowCount = std::max(RowCount, 0);
    const int oldRows = this->RowCount();
    if (Columns.size() > ColCount)
        Columns.resize(ColCount);
    while (Columns.size() < ColCount) {
        TStringColumn column;
        column.resize(oldRows);
        Columns.append(column);
    }
    for (TStringColumn &column : Columns)
        column.resize(RowCount);
}

int TD2D::AddRows(int N)
{
    if (Columns.isEmpty() || N < 1)
        return -1;
    for (TStringColumn &column : Columns)
        column.resize(column.size() + N);
    return RowCount() - 1;
}

bool TD2D::ClearRows()
{
    if (Columns.isEmpty())
        return false;
    for (TStringColumn &column : Columns) {
        const bool caseSensitive = column.CaseSensitive;
        column.clear();
        column.CaseSensitive = caseSensitive;
    }
    return true;
}

void TD2D::SetRow(int Row, const QStringList &Values)
{
    const int last = std::min(int(Values.size()), ColCount()) - 1;
    for (int i = 0; i <= last; ++i)
        SetCell(i, Row, Values.at(i));
}

int TD2D::FindCol(const QString &Name, bool CaseSensitive) const
{
    if (RowCount() < 1)
        return -1;
    const Qt::CaseSensitivity cs = CaseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive;
    for (int c = 0; c < ColCount(); ++c)
        if (Columns.at(c).view(0).compare(Name, cs) == 0)
            return c;
    return -1;
}

void TD2D::SwapRows(int R1, int R2)
{
    const int rows = RowCount();
    if (rows < 1 || R1 < 0 || R2 < 0 || R1 >= rows || R2 >= rows)
        return;
    for (TStringColumn &column : Columns)
        column.swapItemsAt(R1, R2);
}

qint64 TD2D::MemoryBytes() const
{
    qint64 bytes = qint64(Columns.capacity()) * qint64(sizeof(TStringColumn));
    for (const TStringColumn &column : Columns)
        bytes += column.memoryBytes() - qint64(sizeof(TStringColumn));
    return bytes;
}

namespace {

// The file's text with its lines ended by LF alone.
QString fileText(const QString &fileName, ReadBudget &budget)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw EFileError(
            QStringLiteral("Не удалось открыть файл \"%1\": %2").arg(fileName, FileErrorText(file)));
    if (file.size() > MaxInputBytes)
        throw EFileError(QStringLiteral("\"%1\": %2").arg(fileName, InputTooLargeText(file.size())));
    budget = ReadBudget(ReadBudgetBytes(file.size()));
    budget.spend(file.size() * 3);
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw EFileError(
            QStringLiteral("Не удалось прочитать файл \"%1\": %2").arg(fileName, FileErrorText(file)));
    QString text = fromCp1251(bytes);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

// Words separated by runs of blanks; each column runs up to where the next word begins.
dptarray headerColumns(const QString &line, QStringList &names)
{
    dptarray cols;
    const int len = int(line.size());
    int pos = 1;
    while (pos > 0) {
        const int start = pos;
        const QString word = GetNextToken(line, len, pos, " ", CharSet());
        if (pos == 0 && word.isEmpty())
            break;
        cols.append({start, pos > 0 ? pos - start : 0});
        names.append(word);
    }
    return cols;
}

} // namespace

bool ReadFWTxt(TD2D &Table, const QString &FileName, dptarray &Cols, bool CaseSensitive)
{
    try {
        ReadBudget budget(0);
        const QString all = fileText(FileName, budget);
        if (!Cols.isEmpty())
            Table.Init(int(Cols.size()), 0, CaseSensitive);
        bool seenLine = false;
        int lineNo = 0;
        for (qsizetype at = 0, stop = 0; at <= all.size(); at = stop + 1) {
            stop = all.indexOf(QLatin1Char('\n'), at);
            if (stop < 0)
                stop = all.size();
            const QString line = all.sliced(at, stop - at);
            if (++lineNo % 256 == 0 && !budget.fits(Table.MemoryBytes()))
                throw EFileError(QStringLiteral("\"%1\": %2").arg(FileName, OverBudgetText(budget.limit())));
            if (line.isEmpty())
                continue;
            seenLine = true;
            if (Cols.isEmpty()) {
                QStringList names;
                const dptarray cols = headerColumns(line, names);
                if (cols.isEmpty())
                    return false;
                Cols = cols;
                Table.Init(int(names.size()), 1, CaseSensitive);
                Table.SetRow(0, names);
                continue;
            }
            const int row = Table.AddRows(1);
            for (int c = 0; c < Cols.size(); ++c) {
                const auto [start, width] = Cols.at(c);
                const int from = std::max(start, 1) - 1;
                const QString text = width == 0 ? line.mid(from) : line.mid(from, width);
                Table.SetCell(c, row, TrimBlanks(text));
            }
        }
        // A file without a header must not leave a previous table's rows behind as if they were its own.
        if (!seenLine && Cols.isEmpty())
            Table.Clear();
        return true;
    } catch (const BrenvaleError &e) {
        MessageProc(nullptr,
                    QStringLiteral("ReadFWTxt: произошло исключение. Сообщение об ошибке: \r") + e.message(),
                    MB_ICONERROR, MB_OK);
    } catch (const std::exception &e) {
        MessageProc(nullptr,
                    QStringLiteral("ReadFWTxt: произошло исключение. Сообщение об ошибке: \r") +
                        ExceptionText(e),
                    MB_ICONERROR, MB_OK);
    }
    return false;
}
