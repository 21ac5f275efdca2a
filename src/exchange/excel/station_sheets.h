#pragma once

#include "lib/datetime.h"

#include <QString>

#include <functional>

class TD2D;
struct Workbook;
struct ImportStats;

// Station sheet layouts of Excel workbooks: 2 "LVV", 3 "PET", 4 "TBLG", -1 any other code (compared
// exactly).
int StationCodeToMacroNum(const QString &Code);

// The first and last source column (0 = A) a layout shows.
void StationSheetColumns(int Layout, int &First, int &Last);

// Heads Grid (row 0) for a layout: "[" + k + "] " + the layout's name of grid column k; column 0 holds
// the running row numbers.
void SetStationSheetHeaders(TD2D &Grid, int Layout);

// Reads every sheet of Book into Grid in the import grid's shape: row 0 the headers, then one row per
// source row from each sheet's first data row on, column 0 the running number. Cell texts follow Locale;
// layout 3 writes its time columns as times and normalises its dates into the short date format of
// EventsFormat. False with Message (and Icon) to show when nothing was read or a date cannot be read; the
// rows read before an error stay in Grid. Layout 3 adds its event numbers and dates to Stats when given,
// each sheet starting its numbering afresh. Only rows holding a cell are read. Progress hears (row,
// first data row, last row holding a cell) of the sheet at its first data row, every 15th row read and
// the last five.
bool ReadStationSheets(const Workbook &Book, int Layout, const TFormatSettings &Locale,
                       const TFormatSettings &EventsFormat, TD2D &Grid, QString &Message, unsigned &Icon,
                       ImportStats *Stats = nullptr,
                       const std::function<void(int Row, int First, int Rows)> &Progress = {});

// Layout 3's dates in grid column 2: the month is the most frequent of the first two parts; cells of
// fewer than three parts become 01.01.1970 in EventsFormat. Raises EConvertError on a part that is no
// integer or a date that does not exist, naming the cell by Place (of a grid row) where given and quoting
// what Held gives, where it gives text, instead of the grid's text.
void FixXlsDatesPET(TD2D &Grid, const TFormatSettings &EventsFormat,
                    const std::function<QString(int Row)> &Place = {},
                    const std::function<QString(int Row)> &Held = {});
