#pragma once

#include "app/main/import_page_api.h"
#include "exchange/paradox/paradox_table.h"
#include "exchange/text/text_format.h"

#include <QObject>

#include <memory>

class QAbstractButton;
class QLabel;
class TMStringGrid;
class Tmainf;

// What the page asks of the user; tests put their own answers in.
class ImportPageDialogs
{
public:
    virtual ~ImportPageDialogs() = default;
    // The data module's open dialog; true with the chosen file, false when cancelled.
    virtual bool ChooseFile(const QString &Title, const QString &Filter, const QString &FileName,
                            int FilterIndex, QString &Chosen) = 0;
    // The parameter dialog with the file-name templates of the main settings.
    virtual void EditNameSamples() = 0;
};

// The controller of the main window's page "Импорт": it owns the page's state and the station's text
// formats and drives the controls the main window built, found by their object names.
class ImportPage : public QObject, public ImportPageApi
{
    Q_OBJECT
public:
    explicit ImportPage(Tmainf &mainf);

    void ClearImportGrid(bool lock) override;
    bool gridLock() const override { return m_gridLock; }
    void SetImportType(int value) override;
    int GetImportType() const override;
    void SetupImportControls() override;
    void UpdateImportControls() override;
    void SetImmediateMode(bool immediate) override;
    void UpdateELQButton() override;
    void ReadData() override;

    bool LoadSpec(const QString &name, bool reset) override;
    bool SaveSpec(const QString &name) override;
    bool specsDirty() const override { return m_formats.specsDirty; }
    void setSpecsDirty(bool dirty) override { m_formats.specsDirty = dirty; }

    void ClearImportTables() override;
    void EditFormats() override;
    void ExportBulletin() override;

    // Why the import type in force cannot go into the target database; empty when it can.
    void ImportRefusalReason(QString &Reason) const;
    void ifromChange();
    // "Выбрать": the file through the open dialog, the text files' siblings by the name templates, then a
    // read.
    void Button12Click();
    // "Образец": the name templates in the parameter dialog.
    void Button25Click();
    // True when the file exists; otherwise Caption and the missing-file lines are shown.
    bool CheckImportFile(const QString &FileName, const QString &Caption, bool NarrowRowHeader);
    void setDialogs(std::unique_ptr<ImportPageDialogs> dialogs) { m_dialogs = std::move(dialogs); }

    TextFormats &formats() { return m_formats; }
    // What the readers of the page work on: the main window's settings, the grid, the import tables and
    // the page's check boxes.
    Tmainf &mainWindow() const { return m_mainf; }
    TMStringGrid &grid() const;
    TD2D &importTable(int slot) const;
    // "Сразу в БД": what is read goes into the database at once.
    bool immediate() const;
    // The add check box: the imported events join those of the database.
    bool mergeEvents() const;
    // The number and date settings of the "Events" import format.
    TFormatSettings eventsFormat() const;
    // The three status panels st1..st3 with texts of their own.
    void showStatus(const QString &st1, const QString &st2, const QString &st3);

    // Reads the three text files into the import tables, then shows one in the grid or, in the
    // immediate mode, writes them at once.
    void ReadTextFiles(const QString &eventsFile, const QString &sbFile, const QString &xmFile);
    // The three import tables into the target database; refreshGrid shows the renumbered table again.
    void WriteTxt(bool refreshGrid);
    // "Запись данных": the grid goes back into its table first.
    void WriteData();
    void GridToShownTable();
    // Shows import table slot (0 Events, 1 Station_bulletin or origin, 2 XM_Add or arrival) in the grid:
    // a text table with its import format, any other one with its header row.
    void ShowImportTable(int slot);
    // The radio buttons: the grid's table goes back, the chosen one is shown.
    void RadioChanged();
    // Which text table the grid shows: 'e' Events, 's' Station_bulletin, 'x' XM_Add, 0 none.
    char gridTable() const { return m_gridTable; }
    // What the last read gathered for the grid's status panels.
    ImportStats importStats;
    // The statistics panels st1..st3 for what a read gathered.
    void showStats(const ImportStats &stats, bool numbersOn, bool datesOn);
    // The check before writing a Paradox journal on the grid, with the panels and the "Events" format.
    bool CheckImportGrid();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // A refused type reads and writes nothing: the reason is shown and true returned.
    bool refused();
    template <typename T> T *control(const char *name) const;

    Tmainf &m_mainf;
    TextFormats m_formats;
    bool m_gridLock = false;
    // The grid was appended to the database (a partner bulletin) since it was read.
    bool m_gridWritten = false;
    char m_gridTable = 0;
    // The import type whose files and name templates the page's fields hold.
    int m_fieldsType = -1;
    std::unique_ptr<ImportPageDialogs> m_dialogs;
};

// Creates the controller as a child of the main window and installs it there.
void InstallImportPage(Tmainf &mainf);
