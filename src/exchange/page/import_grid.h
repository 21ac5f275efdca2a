#pragma once

#include "exchange/paradox/paradox_table.h"
#include "exchange/text/text_format.h"
#include "lib/string_table.h"

#include <QString>

class QLabel;
class TMStringGrid;

// The import grid: one fixed row of headers "[n] name", one fixed column of row numbers, data column c
// of a table in grid column c + 1. The grid shows the table a reader filled without copying it, so the
// analyst's corrections go straight into that table.

// The texts of the three status panels.
struct ImportStatTexts
{
    QString rows, dates, numbers;
    bool datesAlarm = false, numbersAlarm = false; // shown in red bold
};
ImportStatTexts ImportStatsText(const TMStringGrid &grid, bool numbersOn, bool datesOn,
                                const ImportStats &stats);
void ShowImportStats(QLabel *st1, QLabel *st2, QLabel *st3, const ImportStatTexts &texts);

// A header-less text table into the grid with the headers of its format; the statistics of the
// number and date columns come back.
ImportStats TableToGridBySpec(TD2D &table, const tspec &spec, TMStringGrid &grid, bool numbersOn,
                              bool datesOn, int numCol, int dateCol, const TFormatSettings &fs);
// A table whose row 0 is the header.
void TableToGrid(TD2D &table, TMStringGrid &grid);
// A table read from a Paradox file (row 0 its field names) into the grid: headers "[i] " + name, record r
// in row r under its number. Each header sets its column's width to its text plus colMargin, each cell
// widens its column to fit; the number column only widens. No column is left narrower than the view needs
// to draw its texts whole.
void ParadoxTableToGrid(TD2D &table, TMStringGrid &grid, int colMargin);
// The grid back into the table; withHeader puts the headers, without their "[n] ", into row 0. The table
// the grid shows already holds the edits and is only rewritten after rows were inserted or deleted.
void GridToTable(TMStringGrid &grid, TD2D &table, bool withHeader);

// The clipboard operations of the grid's menu: 0 cut, 1 copy, 2 paste, 3 delete.
void GridClipboardOp(TMStringGrid &grid, TD2D &clip, int op);
// "+" and "-": a row inserted at, or the row deleted from, the selection's top row.
void GridInsertRow(TMStringGrid &grid);
void GridDeleteRow(TMStringGrid &grid);
// ">" (+1) and "<" (-1): the selected cells move one column; the selection moves with them.
void GridShiftCells(TMStringGrid &grid, int step);

// "+ eLQ" on the Paradox journal layout (4 phase, 5 Dev, 6 hour, 7 minute, 8 second, 9 period T): a
// row "eLQ" inserted above the selected one, timed T / 2 seconds earlier (within the same day). False
// when the selected row lacks a whole time and period.
bool GridAddELQ(TMStringGrid &grid);

// Sorts the data rows (from row 1) of a table with a header row by column col, a time written
// "dd.mm.yyyy hh:nn:ss" plus one digit of tenths after a separator; an empty cell sorts first and times
// from 01.01.2199 on stay at the end. EConvertError on a time that does not read (rows already moved
// stay moved).
void SortByItime(TD2D &table, int col, const TFormatSettings &dmy);

// The check before writing a Paradox journal (2 event number, 3 date): widens the columns to their texts
// plus colMargin (at least what the view needs to draw them whole) and shows the statistics; with no dates,
// no event numbers or a broken numbering it asks whether to write all the same, "No" being the answer Enter
// gives. False on "No".
bool CheckImportGrid(TMStringGrid &grid, const TFormatSettings &fs, int colMargin, QLabel *st1, QLabel *st2,
                     QLabel *st3);

// The first data row from `from` down whose cell in col equals text (trimmed when asked); -1 when none.
int GridFindRow(const TMStringGrid &grid, int col, int from, const QString &text, bool trimmed);

QString GridCell(const TMStringGrid &grid, int col, int row);
void SetGridCell(TMStringGrid &grid, int col, int row, const QString &text);
