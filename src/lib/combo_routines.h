#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class QComboBox;

// Selects the item equal to S (case-insensitive, as the item lists compare) and returns its index;
// an empty S or an absent item gives -1 and leaves nothing selected.
int SelectComboText(QComboBox *Combo, const QString &S);

// Fills every combo with the sources of Kind (0 or less ODBC sources, 1 Oracle service names; any
// other Kind keeps List as it is). With KeepText each combo selects its former text again when it is
// still there. List, when given, receives the sources.
void FillDataSourceCombos(int Kind, const QList<QComboBox *> &Combos, bool KeepText,
                          QStringList *List = nullptr);
