#include "exchange/excel_import.h"

#include "app/main/main_window.h"
#include "exchange/import_grid.h"
#include "exchange/import_page.h"
#include "exchange/operation_progress.h"
#include "exchange/pet_conversion.h"
#include "exchange/station_sheets.h"
#include "exchange/workbook.h"
#include "lib/errors.h"
#include "lib/messages.h"
#include "lib/mstring_grid.h"
#include "lib/string_table.h"

#include <QCheckBox>

namespace {

constexpr int PetLayout = 3;

TFormatSettings eventsFormat(Tmainf &mainf, ImportPage &page)
{
    TFormatSettings fs;
    TspecToFormatSettings(fs, page.formats().importSpec[SpecEvents], mainf.fsLocal, mainf.curYear);
    return fs;
}

// The sheet table already carries the grid's headers and row numbers, so it goes in cell by cell.
void showSheetTable(const TD2D &table, QTableWidget &grid)
{
    grid.setColumnCount(table.ColCount());
    grid.setRowCount(std::max(table.RowCount(), 2));
    grid.clearContents();
    for (int r = 0; r < table.RowCount(); ++r)
        for (int c = 0; c < table.ColCount(); ++c)
            SetGridCell(grid, c, r, table.GetCell(c, r));
    grid.resizeColumnsToContents();
}

TD2D gridToSheetTable(const QTableWidget &grid)
{
    TD2D table;
    table.Init(grid.columnCount(), grid.rowCount());
    for (int r = 0; r < grid.rowCount(); ++r)
        for (int c = 0; c < grid.columnCount(); ++c)
            table.SetCell(c, r, GridCell(grid, c, r));
    return table;
}

void convertAndWrite(Tmainf &mainf, ImportPage &page, const TD2D &sheet)
{
    if (StationCodeToMacroNum(mainf.curSta) != PetLayout)
        return;
    PetTableColumns columns;
    columns.events = int(page.formats().exportSpec[SpecEvents].cols.size());
    columns.stationBulletin = int(page.formats().exportSpec[SpecStationBulletin].cols.size());
    columns.xmAdd = int(page.formats().exportSpec[SpecXmAdd].cols.size());
    QString message;
    bool converted = false;
    {
        OperationProgress progress(&mainf);
        progress.Show(QStringLiteral("Из таблицы в базу данных"), 1, std::max(sheet.RowCount() - 1, 1));
        converted = PetMacro(sheet, eventsFormat(mainf, page), mainf.fsLocal, columns, Today(),
                             mainf.importTable(0), mainf.importTable(1), mainf.importTable(2), message,
                             [&](int row) { progress.Set(row); });
    }
    if (!converted) {
        MessageProc(&mainf, message, MB_ICONERROR, MB_OK);
        return;
    }
    page.WriteTxt(false);
}

} // namespace

bool ReadXls(Tmainf &Mainf, const QString &FileName)
{
    auto *page = dynamic_cast<ImportPage *>(Mainf.importPage());
    if (!page)
        return false;
    page->ClearImportGrid(false);
    page->importStats = ImportStats();
    const int layout = StationCodeToMacroNum(Mainf.curSta);
    TD2D sheet;
    QString message;
    unsigned icon = MB_ICONERROR;
    bool read = false;
    try {
        OperationProgress progress(&Mainf);
        int shownFirst = -1, shownRows = -1;
        const auto onRow = [&](int row, int first, int rows) {
            if (first != shownFirst || rows != shownRows) {
                progress.Show(QStringLiteral("Чтение XLS"), first, rows);
                shownFirst = first;
                shownRows = rows;
            }
            progress.Set(row);
        };
        read = ReadStationSheets(ReadWorkbook(FileName), layout, Mainf.fsLocal, eventsFormat(Mainf, *page),
                                 sheet, message, icon, &page->importStats, onRow);
    } catch (const std::exception &e) {
        message = QStringLiteral("ReadXls: Произошла ошибка с сообщением:\r") + ExceptionText(e);
        icon = MB_ICONERROR;
    }
    // Rows read before an error stay in view, unlocked.
    if (sheet.ColCount() > 0)
        showSheetTable(sheet, *Mainf.sg);
    if (!read) {
        bool rowsRead = false;
        for (int r = 1; r < sheet.RowCount() && !rowsRead; ++r)
            rowsRead = !sheet.GetCell(0, r).isEmpty();
        // A failure before the first row leaves a workbook without data, which is said first.
        if (!rowsRead && icon == MB_ICONERROR)
            MessageProc(&Mainf, QStringLiteral("В Excel - файле нет данных!"), MB_ICONWARNING, MB_OK);
        MessageProc(&Mainf, message, icon, MB_OK);
        return false;
    }
    page->ClearImportGrid(true);
    if (Mainf.imm->isChecked())
        convertAndWrite(Mainf, *page, sheet);
    else
        page->showStats(page->importStats, true, true);
    return true;
}

void RunStationMacro(Tmainf &Mainf)
{
    auto *page = dynamic_cast<ImportPage *>(Mainf.importPage());
    if (page)
        convertAndWrite(Mainf, *page, gridToSheetTable(*Mainf.sg));
}
