#include "exchange/excel/excel_import.h"

#include "app/main/main_window.h"
#include "exchange/excel/pet_conversion.h"
#include "exchange/excel/station_sheets.h"
#include "exchange/excel/workbook.h"
#include "exchange/operation_progress.h"
#include "exchange/page/import_grid.h"
#include "exchange/page/import_page.h"
#include "lib/errors.h"
#include "lib/messages.h"
#include "lib/mstring_grid.h"
#include "lib/string_table.h"

#include <memory>

namespace {

constexpr int PetLayout = 3;

// The sheet table already carries the grid's headers in row 0 and its row numbers in column 0; the grid
// keeps it, at least one data row.
void showSheetTable(std::unique_ptr<TD2D> table, TMStringGrid &grid)
{
    if (table->RowCount() < 2)
        table->SetSize(table->ColCount(), 2);
    QStringList headers;
    for (int c = 1; c < table->ColCount(); ++c)
        headers << table->GetCell(c, 0);
    grid.cells().Show(std::move(table), 1, 1, headers);
    grid.resizeColumnsToContents();
}

TD2D gridToSheetTable(const TMStringGrid &grid)
{
    TD2D table;
    table.Init(grid.columnCount(), grid.rowCount());
    for (int r = 0; r < grid.rowCount(); ++r)
        for (int c = 0; c < grid.columnCount(); ++c)
            table.SetCell(c, r, GridCell(grid, c, r));
    return table;
}

void convertAndWrite(ImportPage &page, const TD2D &sheet)
{
    Tmainf &mainf = page.mainWindow();
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
        converted =
            PetMacro(sheet, page.eventsFormat(), mainf.fsLocal, columns, Today(), page.importTable(0),
                     page.importTable(1), page.importTable(2), message, [&](int row) { progress.Set(row); });
    }
    if (!converted) {
        MessageProc(&mainf, message, MB_ICONERROR, MB_OK);
        return;
    }
    page.WriteTxt(false);
}

} // namespace

bool ReadXls(ImportPage &Page, const QString &FileName)
{
    Tmainf &mainf = Page.mainWindow();
    Page.ClearImportGrid(false);
    Page.importStats = ImportStats();
    const int layout = StationCodeToMacroNum(mainf.curSta);
    // The grid keeps the table once it shows it.
    auto read = std::make_unique<TD2D>();
    TD2D *const sheet = read.get();
    QString message;
    unsigned icon = MB_ICONERROR;
    bool complete = false;
    try {
        OperationProgress progress(&mainf);
        int shownFirst = -1, shownRows = -1;
        const auto onRow = [&](int row, int first, int rows) {
            if (first != shownFirst || rows != shownRows) {
                progress.Show(QStringLiteral("Чтение XLS"), first, rows);
                shownFirst = first;
                shownRows = rows;
            }
            progress.Set(row);
        };
        // The workbook first, by itself: a workbook that fails is never half an argument list.
        const Workbook book = ReadWorkbook(FileName);
        complete = ReadStationSheets(book, layout, mainf.fsLocal, Page.eventsFormat(), *sheet, message, icon,
                                     &Page.importStats, onRow);
    } catch (const std::exception &e) {
        message = QStringLiteral("ReadXls: Произошла ошибка с сообщением:\r") + ExceptionText(e);
        icon = MB_ICONERROR;
    }
    // Rows read before an error stay in view, unlocked.
    if (sheet->ColCount() > 0)
        showSheetTable(std::move(read), Page.grid());
    if (!complete) {
        // A workbook that fails is said once, by what failed: that it holds no data follows from it.
        MessageProc(&mainf, message, icon, MB_OK);
        return false;
    }
    Page.ClearImportGrid(true);
    if (Page.immediate())
        convertAndWrite(Page, *sheet);
    else
        Page.showStats(Page.importStats, true, true);
    return true;
}

void RunStationMacro(ImportPage &Page)
{
    convertAndWrite(Page, gridToSheetTable(Page.grid()));
}
