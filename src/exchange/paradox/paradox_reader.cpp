#include "exchange/paradox/paradox_reader.h"

#include "app/data/data_module.h"
#include "app/main/main_window.h"
#include "app/main/main_window_host.h"
#include "exchange/operation_progress.h"
#include "exchange/page/import_grid.h"
#include "exchange/page/import_page.h"
#include "exchange/paradox/paradox_journal.h"
#include "exchange/paradox/paradox_table.h"
#include "lib/messages.h"
#include "lib/mstring_grid.h"

#include <QFile>

namespace {

// The grid's view keeps a section of 8 bytes for every row it shows, as much as a cell of the table: a
// table of one short field would take twice its words once shown.
constexpr qint64 kGridRowBytes = 8;

class MainWindowJournalHost : public MainWindowBulletinConnection<ParadoxJournalHost>
{
public:
    using MainWindowBulletinConnection::MainWindowBulletinConnection;

    QWidget *Owner() override { return &m_mainf; }
    bool OpenDB_ADO(DbConnection &Conn, const QString &Source, const QString &User, const QString &Password,
                    bool Silent, const QString &ErrText) override
    {
        return m_dm.OpenDB_ADO(&Conn, Source, User, Password, Silent, ErrText);
    }
    void ShowProgress(const QString &Caption, int Minimum, int Maximum) override
    {
        m_progress.Show(Caption, Minimum, Maximum);
    }
    void SetProgress(int Position) override { m_progress.Set(Position); }
    void HideProgress() override { m_progress.Hide(); }

private:
    OperationProgress m_progress{&m_mainf};
};

// The check before writing, then the grid as it stands, corrections and all, into the bulletin.
void writeJournal(ImportPage &page)
{
    if (!page.CheckImportGrid())
        return;
    Tdm *dm = Tdm::instance();
    if (!dm)
        return;
    // The grid shows the table read, with the analyst's corrections in it.
    TD2D &journal = page.importTable(ParadoxImportTable);
    GridToTable(page.grid(), journal, true);
    MainWindowJournalHost host(page.mainWindow(), *dm);
    WriteParadoxGridToDB(host, journal, page.eventsFormat());
}

} // namespace

void ReadParadox(ImportPage &Page, const QString &FileName)
{
    Tmainf &mainf = Page.mainWindow();
    Page.ClearImportGrid(false);
    TD2D &table = Page.importTable(ParadoxImportTable);
    table.Clear();
    Page.importStats = ImportStats();

    QFile file(FileName);
    if (!file.open(QIODevice::ReadOnly)) {
        MessageProc(&mainf, QStringLiteral("Ошибка при открытии файла"), MB_ICONERROR, MB_OK);
        return;
    }
    const ParadoxResult result = ReadParadoxTable(file, table, Page.eventsFormat(), Page.importStats,
                                                  mainf.sett.in_provider, kGridRowBytes);
    file.close();
    // Whatever was read before a failure stays in view to be looked at, not written.
    ParadoxTableToGrid(table, Page.grid(), mainf.cellPad);
    if (result.status != ParadoxStatus::Complete) {
        MessageProc(&mainf, ParadoxFailureMessage(result), MB_ICONERROR, MB_OK);
        return;
    }
    if (table.ColCount() > 0)
        Page.ClearImportGrid(true);
    if (const QString note = ParadoxCountNote(result, FileName); !note.isEmpty())
        MessageProc(&mainf, note, MB_ICONINFORMATION, MB_OK);
    if (Page.immediate())
        writeJournal(Page);
    else
        Page.showStats(Page.importStats, true, true);
}

void WriteParadoxJournal(ImportPage &Page)
{
    if (!Page.gridLock()) {
        MessageProc(&Page.mainWindow(), QStringLiteral("Сначала нужно прочитать данные!"), MB_ICONINFORMATION,
                    MB_OK);
        return;
    }
    writeJournal(Page);
}
