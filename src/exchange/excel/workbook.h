#pragma once

#include "exchange/read_limits.h"
#include "lib/datetime.h"
#include "platform/isolated_call.h"

#include <QHash>
#include <QList>
#include <QString>

// An Excel workbook read into memory, offering what the station sheet reader asks of a spreadsheet
// program: the sheets, each sheet's used rows, the cell values, their texts, dates as serials.
// .xls (BIFF) files are read with libfreexl, .xlsx files from their ZIP parts.

struct WorkbookCell
{
    enum Kind { Empty, Number, Date, Text };
    Kind kind = Empty;
    double number = 0; // Number; Date: the serial, days since 30.12.1899
    QString text;      // Text; Date: the value as the file has it, where it is no date
};

struct WorkSheet
{
    QString name;
    // The last row and column holding a cell, counted from 1 at row 1 and column A whatever the first
    // used cell; 0 on an empty sheet.
    int lastRow = 0;
    int lastCol = 0;
    QHash<quint64, WorkbookCell> cells;

    // Row and column from 1; outside the sheet an empty cell.
    WorkbookCell Cell(int Row, int Col) const;
    void SetCell(int Row, int Col, const WorkbookCell &Value);
    // The rows holding a cell, in order: a used range may end a million rows below its last value.
    QList<int> RowsWithCells() const;
};

struct Workbook
{
    QList<WorkSheet> sheets;
    QString fileName; // as the messages name it; empty for bytes without a file
};

// The cell's value as text: numbers with FS's decimal separator, dates in FS's short date format, times
// of day alone in its long time format, both for a date with a time; empty cells as empty text.
QString WorkbookCellText(const WorkbookCell &Cell, const TFormatSettings &FS);

// What one workbook may hold, its sheets together: the cells kept and the bytes of the .xlsx parts
// read (no more than an input may be). A workbook past either, or past its share of memory (cells,
// shared strings, styles), raises EFileError naming the limit.
constexpr qint64 MaxWorkbookCells = qint64(1) << 20;
constexpr qint64 MaxWorkbookPartBytes = MaxInputBytes;

// Reads the file, chosen by its content (a ZIP archive is .xlsx, a compound document .xls). Raises
// EFileError with the reason, naming the file, on a file that cannot be read, is damaged (also nested
// deeper than any workbook's parts) or too large.
Workbook ReadWorkbook(const QString &FileName);
// The parts of an .xlsx workbook from its bytes; FileName only names it in messages. The fuzz target's
// way in.
Workbook ReadXlsxBytes(const QByteArray &Bytes, const QString &FileName = QString());

// An .xls workbook is read by libfreexl in a child process (RunIsolated): what the child does and sends
// back, its limits, and the workbook the parent makes of what came back. The fuzz target forks the child
// itself, so as to carry the child's coverage back.
QByteArray ReadXlsInChild(const QString &FileName);
IsolatedLimits XlsChildLimits(qint64 FileBytes);
Workbook XlsWorkbookFromChild(const QString &FileName, qint64 FileBytes, const IsolatedResult &Run);
