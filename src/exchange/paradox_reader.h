#pragma once

#include <QString>

class Tmainf;

// The import table that holds a Paradox table read, row 0 its field names; the import grid shows it.
constexpr int ParadoxImportTable = 2;

// Import type "Paradox": reads the table file into the import table (the interface of the settings'
// "in_provider"), and with "Сразу в БД" checked goes on to the check before writing and the journal
// writer. Shows its own messages.
void ReadParadox(Tmainf &Mainf, const QString &FileName);

// "Запись данных" for a Paradox journal read before: the check before writing, then the writer.
void WriteParadoxJournal(Tmainf &Mainf);
