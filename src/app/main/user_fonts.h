#pragma once

#include "lib/font_routines.h"

#include <QString>

class QTableView;
class QWidget;

// The user's fonts on the windows. Controls are found by their object names, so one table of fix-ups
// per window kind serves every window. A window remembers the font it was given (a dynamic property),
// which makes a second application of the same font do nothing.

enum : int { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };

// Takes Control off its parent's font: SizeDelta is added to the size and Style to the style.
void EmphasizeControl(QWidget *Control, int SizeDelta, int Style);
// Gives the text of Control its own colour.
void SetControlColor(QWidget *Control, TColor Color);
// Puts Control back on its parent's font and colours.
void ResetControlFont(QWidget *Control);

// Gives Form the font with the fix-ups of Kind (the window kinds of app/appearance.h). False when Form
// already had this font and nothing was done.
bool ApplyFormFont(QWidget *Form, int Kind, const TUserFont &Font);

// The import grid: the main window's font when SgMain, else the grid font; the default row height
// follows the text height plus CellPad. With GridLock (the grid holds data) the columns are sized to
// their texts.
void ApplyGridFont(QTableView *Grid, const TUserFont &MainFont, const TUserFont &GridFont, bool SgMain,
                   int CellPad, bool GridLock);

// Qt always paints through a back buffer; the choice is kept on each widget for the parts that ask.
// Rich-text editors are left alone, as they always were.
void SetDoubleBuffered(QWidget *Form, bool Value);
