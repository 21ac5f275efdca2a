#pragma once

#include <QString>

class ImportPage;

// The partner bulletin on the import page: read into the third import table and shown in the grid, or
// written at once when "Сразу в БД" is checked.
void ReadKRV(ImportPage &Page, const QString &FileName);
// "Запись данных": the grid, with the operator's corrections, into the station's bulletin database; true
// when it was written. AskWhenKnown: a grid whose events the database already holds goes in only when the
// analyst says so.
bool WriteKRV(ImportPage &Page, bool AskWhenKnown);
