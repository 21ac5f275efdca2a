#include "exchange/orx_copy/orx_import_command.h"

#include "app/data/data_module.h"
#include "app/main/main_window.h"
#include "app/main/main_window_host.h"
#include "app/main/product_commands.h"
#include "app/settings/param_dialog.h"
#include "exchange/operation_progress.h"
#include "exchange/orx_copy/orx_copy.h"

#include <memory>

namespace {

class MainWindowOrxCopyHost : public MainWindowOrxHost<OrxCopyHost>
{
public:
    using MainWindowOrxHost::MainWindowOrxHost;

    bool AskPeriod() override
    {
        Tpar dialog(&m_mainf);
        dialog.Setup(0, nullptr, {});
        return dialog.exec() == QDialog::Accepted;
    }
    QString CurrentStationSection() override { return m_mainf.curCode; }
    void ShowProgress(const QString &Caption, int Maximum) override { m_progress.Show(Caption, 0, Maximum); }
    void SetProgress(int Position) override { m_progress.Set(Position); }
    void HideProgress() override { m_progress.Hide(); }

private:
    OperationProgress m_progress{&m_mainf};
};

} // namespace

void RunMainWindowOrxImport(Tmainf &Mainf, Tdm &Dm)
{
    {
        MainWindowOrxCopyHost host(Mainf, Dm);
        ImportOrx(host);
    }
    // The event page reads its own connection: show it what the copy wrote.
    Mainf.viewReload = true;
    Mainf.RefreshADB();
}

void InstallOrxImportCommand()
{
    productCommands().importOrx = [](Tmainf &mainf) {
        if (Tdm *dm = Tdm::instance())
            RunMainWindowOrxImport(mainf, *dm);
    };
}
