#include "exchange/krv/krv_import.h"

#include "app/data/data_module.h"
#include "app/main/main_window.h"
#include "app/main/main_window_host.h"
#include "exchange/krv/krv_reader.h"
#include "exchange/krv/krv_writer.h"
#include "exchange/operation_progress.h"
#include "exchange/page/import_grid.h"
#include "exchange/page/import_page.h"
#include "lib/messages.h"
#include "lib/mstring_grid.h"
#include "lib/string_table.h"

namespace {

// The KRV table lives in the third slot of the import tables.
constexpr int KrvImportTable = 2;

class MainWindowKrvHost : public MainWindowBulletinHost<KrvWriteHost>
{
public:
    using MainWindowBulletinHost::MainWindowBulletinHost;

    void ShowProgress(const QString &Caption, int Maximum) override { m_progress.Show(Caption, 0, Maximum); }
    void SetProgress(int Position) override { m_progress.Set(Position); }
    void HideProgress() override { m_progress.Hide(); }

private:
    OperationProgress m_progress{&m_mainf};
};

bool write(ImportPage &page, const TD2D &table, bool askWhenKnown)
{
    Tdm *dm = Tdm::instance();
    if (!dm)
        return false;
    MainWindowKrvHost host(page.mainWindow(), *dm);
    if (!WriteKrvTable(host, table, askWhenKnown))
        return false;
    MessageProc(&page.mainWindow(), QStringLiteral("Данные импортированы."), MB_ICONINFORMATION, MB_OK);
    return true;
}

// What the panels tell of a bulletin read: its rows and columns, and the days of its origins.
ImportStats originDays(const TD2D &table)
{
    ImportStats stats;
    for (int r = 1; r < table.RowCount(); ++r)
        if (table.GetCell(1, r) == QLatin1String("O ="))
            AddImportStat(2, table.GetCell(0, r), TFormatSettings(), stats);
    return stats;
}

} // namespace

void ReadKRV(ImportPage &Page, const QString &FileName)
{
    QWidget *owner = &Page.mainWindow();
    TD2D &table = Page.importTable(KrvImportTable);
    QString message;
    if (!ReadKrvFile(FileName, table, message)) {
        MessageProc(owner, message, MB_ICONERROR, MB_OK);
        // Nothing read stays in the grid, whether it would have been shown or written.
        Page.ClearImportGrid(false);
        return;
    }
    // Only the header row: no event of the file had a station line.
    if (table.RowCount() <= 1) {
        Page.ClearImportGrid(false);
        MessageProc(owner, QStringLiteral("В KRV - файле нет данных!"), MB_ICONWARNING, MB_OK);
        return;
    }
    if (Page.immediate()) {
        write(Page, table, true);
        return;
    }
    Page.ClearImportGrid(true);
    TableToGrid(table, Page.grid());
    Page.showStats(originDays(table), false, true);
}

bool WriteKRV(ImportPage &Page, bool AskWhenKnown)
{
    if (!Page.gridLock()) {
        MessageProc(&Page.mainWindow(), QStringLiteral("Сначала нужно прочитать данные!"), MB_ICONINFORMATION,
                    MB_OK);
        return false;
    }
    TD2D &table = Page.importTable(KrvImportTable);
    GridToTable(Page.grid(), table, true);
    return write(Page, table, AskWhenKnown);
}
