#include "exchange/orv/orv_export_command.h"

#include "app/data/data_module.h"
#include "app/main/main_window.h"
#include "app/main/product_commands.h"
#include "app/settings/param_dialog.h"
#include "exchange/operation_progress.h"
#include "exchange/orv/orv_export.h"
#include "platform/zip_archive.h"

namespace {

class MainWindowOrvExportHost : public OrvExportHost
{
public:
    MainWindowOrvExportHost(Tmainf &mainf, Tdm &dm) : m_mainf(mainf), m_dm(dm) {}

    QWidget *Owner() override { return &m_mainf; }
    Tsett Settings() override { return m_mainf.sett; }
    QString CurrentStationSection() override { return m_mainf.curCode; }
    QStringList CheckedStations() override { return m_mainf.checkedStations; }
    DbConnection &OrxConnection() override { return *m_dm.conPubs; }
    bool OpenOrx() override { return m_mainf.OpenOrx(m_dm); }
    void CloseOrx() override { m_dm.CloseDB_ADO(m_dm.conPubs); }
    void ZipFiles(const QString &ZipName, const QStringList &Files) override
    {
        zipFiles(ZipName, QString(), Files, OrvDeflateLevel);
    }
    bool SendMail(const QString &Body, const QString &Attachment) override
    {
        return m_dm.SendMail('e', Body, Attachment);
    }
    void ShowProgress() override { m_progress.Show(); }
    void SetProgressMaximum(int Maximum) override { m_progress.SetMaximum(Maximum); }
    void SetProgress(int Position, const QString &Caption) override { m_progress.Set(Position, Caption); }
    void HideProgress() override { m_progress.Hide(); }

private:
    Tmainf &m_mainf;
    Tdm &m_dm;
    OperationProgress m_progress{&m_mainf};
};

} // namespace

void RunMainWindowOrvExport(Tmainf &Mainf, OrvExportStats *Stats)
{
    if (Tdm *dm = Tdm::instance()) {
        MainWindowOrvExportHost host(Mainf, *dm);
        RunOrxExport(host, Stats);
    }
}

void ORXExport(Tmainf &Mainf)
{
    Tpar dialog(&Mainf);
    dialog.Setup(2, nullptr, {});
    if (dialog.exec() != QDialog::Accepted)
        return;
    RunMainWindowOrvExport(Mainf);
}

void InstallOrvExportCommand()
{
    productCommands().orvExport = [](Tmainf &mainf) { ORXExport(mainf); };
}
