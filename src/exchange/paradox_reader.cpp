#include "exchange/paradox_reader.h"

#include "app/data/data_module.h"
#include "app/main/main_window.h"
#include "app/main/main_window_host.h"
#include "exchange/import_grid.h"
#include "exchange/import_page.h"
#include "exchange/operation_progress.h"
#include "exchange/paradox_journal.h"
#include "exchange/paradox_table.h"
#include "lib/messages.h"
#include "lib/mstring_grid.h"

#include <QCheckBox>
#include <QFile>

namespace {

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

ImportPage *pageOf(Tmainf &mainf)
{
    return dynamic_cast<ImportPage *>(mainf.importPage());
}

TFormatSettings eventsFormat(Tmainf &mainf, ImportPage &page)
{
    TFormatSettings fs;
    TspecToFormatSettings(fs, page.formats().importSpec[SpecEvents], mainf.fsLocal, mainf.curYear);
    return fs;
}

// The check before writing, then the grid as it stands, corrections and all, into the bulletin.
void writeJournal(Tmainf &mainf, ImportPage &page)
{
    if (!page.CheckImportGrid())
        return;
    Tdm *dm = Tdm::instance();
    if (!dm)
        return;
    const TMStringGrid &sg = *mainf.sg;
    TD2D journal;
    journal.Init(std::max(sg.columnCount() - 1, 0), sg.rowCount());
    GridToTable(sg, journal, true);
    MainWindowJournalHost host(mainf, *dm);
    WriteParadoxGridToDB(host, journal, eventsFormat(mainf, page));
}

} // namespace

void ReadParadox(Tmainf &Mainf, const QString &FileName)
{
    ImportPage *page = pageOf(Mainf);
    if (!page)
        return;
    page->ClearImportGrid(false);
    TD2D &table = Mainf.importTable(ParadoxImportTable);
    table.Clear();
    page->importStats = ImportStats();

    QFile file(FileName);
    if (!file.open(QIODevice::ReadOnly)) {
        MessageProc(&Mainf, QStringLiteral("Ошибка при открытии файла"), MB_ICONERROR, MB_OK);
        return;
    }
    const TFormatSettings fs = eventsFormat(Mainf, *page);
    const ParadoxResult result = ReadParadoxTable(file, table, fs, page->importStats, Mainf.sett.in_provider);
    file.close();
    // Whatever was read before a failure stays in view to be looked at, not written.
    ParadoxTableToGrid(table, *Mainf.sg, Mainf.cellPad);
    if (result.status != ParadoxStatus::Complete) {
        MessageProc(&Mainf, ParadoxFailureMessage(result), MB_ICONERROR, MB_OK);
        return;
    }
    if (table.ColCount() > 0)
        page->ClearImportGrid(true);
    if (Mainf.imm->isChecked())
        writeJournal(Mainf, *page);
    else
        page->showStats(page->importStats, true, true);
}

void WriteParadoxJournal(Tmainf &Mainf)
{
    ImportPage *page = pageOf(Mainf);
    if (!page)
        return;
    if (!page->gridLock()) {
        MessageProc(&Mainf, QStringLiteral("Сначала нужно прочитать данные!"), MB_ICONINFORMATION, MB_OK);
        return;
    }
    writeJournal(Mainf, *page);
}
