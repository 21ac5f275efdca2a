#include "exchange/krv_import.h"

#include "app/data/data_module.h"
#include "app/main/main_window.h"
#include "app/main/main_window_host.h"
#include "exchange/import_grid.h"
#include "exchange/import_page.h"
#include "exchange/krv_reader.h"
#include "exchange/krv_writer.h"
#include "exchange/operation_progress.h"
#include "lib/messages.h"
#include "lib/mstring_grid.h"
#include "lib/string_table.h"

#include <QCheckBox>

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

void write(Tmainf &mainf, const TD2D &table)
{
    Tdm *dm = Tdm::instance();
    if (!dm)
        return;
    MainWindowKrvHost host(mainf, *dm);
    if (WriteKrvTable(host, table))
        MessageProc(&mainf, QStringLiteral("Данные импортированы."), MB_ICONINFORMATION, MB_OK);
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

void ReadKRV(Tmainf &Mainf, const QString &FileName)
{
    auto *page = dynamic_cast<ImportPage *>(Mainf.importPage());
    if (!page)
        return;
    TD2D &table = Mainf.importTable(KrvImportTable);
    QString message;
    if (!ReadKrvFile(FileName, table, message)) {
        MessageProc(&Mainf, message, MB_ICONERROR, MB_OK);
        // Nothing read stays in the grid, whether it would have been shown or written.
        page->ClearImportGrid(false);
        return;
    }
    // Only the header row: no event of the file had a station line.
    if (table.RowCount() <= 1) {
        page->ClearImportGrid(false);
        MessageProc(&Mainf, QStringLiteral("В KRV - файле нет данных!"), MB_ICONWARNING, MB_OK);
        return;
    }
    if (Mainf.imm->isChecked()) {
        write(Mainf, table);
        return;
    }
    page->ClearImportGrid(true);
    TableToGrid(table, *Mainf.sg);
    page->showStats(originDays(table), false, true);
}

void WriteKRV(Tmainf &Mainf)
{
    auto *page = dynamic_cast<ImportPage *>(Mainf.importPage());
    if (!page)
        return;
    if (!page->gridLock()) {
        MessageProc(&Mainf, QStringLiteral("Сначала нужно прочитать данные!"), MB_ICONINFORMATION, MB_OK);
        return;
    }
    TD2D &table = Mainf.importTable(KrvImportTable);
    GridToTable(*Mainf.sg, table, true);
    write(Mainf, table);
}
