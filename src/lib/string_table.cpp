#include "lib/string_table.h"

#include "lib/codec.h"
#include "lib/errors.h"
#include "lib/messages.h"

#include <QFile>

#include <algorithm>
#include <stdexcept>
#include <string>

int TStringColumn::IndexOf(const QString &S) const
{
    const Qt::CaseSensitivity cs = CaseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive;
    for (int i = 0; i < size(); ++i)
        if (at(i).compare(S, cs) == 0)
            return i;
    return -1;
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

void TD2D::SetCell(int Col, int Row, const QString &Value)
{
    checkIndex(Col, Row);
    Columns[Col][Row] = Value;
}

void TD2D::Init(int ColCount, int RowCount, bool CaseSensitive)
{
    Clear();
    TStringColumn column(QStringList(std::max(RowCount, 0), QString()), CaseSensitive);
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
    while (Columns.size() < ColCount)
        Columns.append(TStringColumn(QStringList(oldRows, QString())));
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
    for (TStringColumn &column : Columns)
        column.clear();
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
        if (Columns.at(c).first().compare(Name, cs) == 0)
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

namespace {

QStringList fileLines(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw EFileError(QStringLiteral("Cannot open file \"%1\". %2").arg(fileName, file.errorString()));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw EFileError(QStringLiteral("Error reading file \"%1\". %2").arg(fileName, file.errorString()));
    QString text = fromCp1251(bytes);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text.split(QLatin1Char('\n'));
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
        const QStringList lines = fileLines(FileName);
        if (!Cols.isEmpty())
            Table.Init(int(Cols.size()), 0, CaseSensitive);
        bool seenLine = false;
        for (const QString &line : lines) {
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
