#include "exchange/orv/orv_import_page.h"

#include "app/data/data_module.h"
#include "app/main/main_window.h"
#include "app/main/program_folder.h"
#include "exchange/operation_progress.h"
#include "exchange/orv/orv_import.h"
#include "exchange/page/import_page.h"

namespace {

class PageOrvImportHost : public OrvImportHost
{
public:
    PageOrvImportHost(ImportPage &page, Tdm *dm) : m_page(page), m_mainf(page.mainWindow()), m_dm(dm) {}

    QWidget *Owner() override { return &m_mainf; }
    TFormatSettings LocaleSettings() override { return m_mainf.fsLocal; }
    bool MergeEvents() override { return m_page.mergeEvents(); }
    DbConnection &OrxConnection() override { return *m_dm->conPubs; }
    // Without the data module there is nothing to import into; view mode needs none.
    bool OpenOrx() override { return m_dm && m_mainf.OpenOrx(*m_dm); }
    void CloseOrx() override
    {
        if (m_dm)
            m_dm->CloseDB_ADO(m_dm->conPubs);
    }
    QString ProgramFolder() override { return ::ProgramFolder(); }
    TD2D &ViewTable(int Slot) override { return m_page.importTable(Slot); }
    void ClearImportGrid() override { m_page.ClearImportGrid(false); }
    void ShowStatus(const QString &Stations, const QString &Period, const QString &Version) override
    {
        m_page.showStatus(Stations, Period, Version);
    }
    void ShowProgress() override { m_progress.Show(); }
    void SetProgressMaximum(int Maximum) override { m_progress.SetMaximum(Maximum); }
    void SetProgress(int Position, const QString &Caption) override { m_progress.Set(Position, Caption); }
    void HideProgress() override { m_progress.Hide(); }

private:
    ImportPage &m_page;
    Tmainf &m_mainf;
    Tdm *m_dm;
    OperationProgress m_progress{&m_mainf};
};

} // namespace

void ReadORVOnPage(ImportPage &Page, const QString &FileName, bool ViewOnly, OrvImportStats *Stats)
{
    PageOrvImportHost host(Page, Tdm::instance());
    ReadORV(host, FileName, ViewOnly, Stats);
}
