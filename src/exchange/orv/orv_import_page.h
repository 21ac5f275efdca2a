#pragma once

#include <QString>

class ImportPage;
struct OrvImportStats;

// The ORV import on the import page: into the main window's ORX connection, or in view mode into the
// page's import tables; the page's status lines and its "add events" flag.
void ReadORVOnPage(ImportPage &Page, const QString &FileName, bool ViewOnly, OrvImportStats *Stats = nullptr);
