#pragma once

#include <QString>

class ImportPage;

// The import table that holds a Paradox table read, row 0 its field names.
constexpr int ParadoxImportTable = 2;

// Import type "Paradox": reads the table file (through the interface of the settings' "in_provider") and
// shows it in the import grid, with its statistics in the page's panels; with "Сразу в БД" checked it
// goes on to the check before writing and the journal writer instead. After a read error the grid keeps
// the rows read, unlocked. Shows its own messages.
void ReadParadox(ImportPage &Page, const QString &FileName);

// "Запись данных" for a Paradox journal read before: the check before writing, then the grid's rows, as
// the user may have corrected them, into the bulletin.
void WriteParadoxJournal(ImportPage &Page);
