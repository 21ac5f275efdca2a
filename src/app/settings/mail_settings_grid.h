#pragma once

#include "app/settings/settings_record.h"

#include <QString>

class QTableWidget;

// The mail-settings grid of the parameter dialog and the report window: column 1 holds the header, row 0
// the sender, 1 the recipient, 2 the copy, 3 the subject.
//
// With ToGlobal the grid's four values go into From, To, Cc and Subject and the global header of Global
// is shown in a disabled grid; without it the four strings go back into the grid, which is enabled when
// Editable. Global is the main window's settings record.
void SwapMailSettingsGrid(QString &From, QString &To, QString &Subject, QString &Cc, QTableWidget *Grid,
                          bool ToGlobal, bool Editable, const Tsett &Global);

// An enabled grid has the window colour, a disabled one the button face.
void PaintMailSettingsGrid(QTableWidget *Grid);

QString MailGridValue(const QTableWidget *Grid, int Row);
void SetMailGridValue(QTableWidget *Grid, int Row, const QString &Value);
