#pragma once

#include <QString>

class Tmainf;

// What the main window asks of its import page. The import page lives above this library, so the
// program installs it into the main window at start (Tmainf::SetImportPage); the import state lives
// only here, and the window's import calls throw when no page was installed.
class ImportPageApi
{
public:
    virtual ~ImportPageApi() = default;

    virtual void ClearImportGrid(bool lock) = 0;
    virtual bool gridLock() const = 0;
    virtual void SetImportType(int value) = 0;
    virtual int GetImportType() const = 0;
    virtual void SetupImportControls() = 0;
    virtual void UpdateImportControls() = 0;
    virtual void SetImmediateMode(bool immediate) = 0;
    virtual void UpdateELQButton() = 0;
    virtual void ReadData() = 0;

    // The station's six text formats in the program folder's "specs" folder.
    virtual bool LoadSpec(const QString &name, bool reset) = 0;
    virtual bool SaveSpec(const QString &name) = 0;
    virtual bool specsDirty() const = 0;
    virtual void setSpecsDirty(bool dirty) = 0;

    // Empties the import tables and the grid's clipboard (each shutdown half).
    virtual void ClearImportTables() = 0;

    // The commands that work on the station's text formats, which only the page holds: "Формат данных",
    // whose OK stores them in the station's format file at once, and the export of the station bulletin
    // database.
    virtual void EditFormats() = 0;
    virtual void ExportBulletin() = 0;
};

// The main window reads a station's import state while it is being created, so the program names the
// page's installer beforehand; the window's constructor runs it once its controls exist.
using ImportPageInstaller = void (*)(Tmainf &mainf);
void SetImportPageInstaller(ImportPageInstaller installer);
ImportPageInstaller importPageInstaller();
