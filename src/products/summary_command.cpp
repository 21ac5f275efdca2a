#include "products/summary_command.h"

#include "app/data/data_module.h"
#include "app/main/main_window.h"
#include "app/main/main_window_host.h"
#include "app/main/product_commands.h"
#include "app/settings/param_dialog.h"
#include "products/orx_summary.h"
#include "products/summary_editor.h"
#include "products/summary_run.h"

#include <QListWidget>

namespace {

class MainWindowSummaryHost : public MainWindowOrxHost<OrxSummaryHost>
{
public:
    using MainWindowOrxHost::MainWindowOrxHost;

    bool AskSummaryParameters() override
    {
        Tpar dialog(&m_mainf);
        dialog.Setup(1, nullptr, {});
        return dialog.exec() == QDialog::Accepted;
    }
    QString CurrentStationCode() override { return m_mainf.curSta; }
    QString CurrentStationSection() override { return m_mainf.curCode; }
    int EditSummary(const QString &FileName, bool SendMode, QStringList &Lines) override
    {
        return RunSummaryEditor(&m_mainf, m_mainf.sett, FileName, SendMode, Lines);
    }
    bool SendMail(QChar Kind, const QString &Body, const QString &Attachment) override
    {
        return m_dm.SendMail(Kind.toLatin1(), Body, Attachment);
    }
    QStringList CheckedStations() override { return m_mainf.checkedStations; }
    bool SelectedNetwork(QStringList &Codes) override
    {
        const int row = m_mainf.nets ? m_mainf.nets->currentRow() : -1;
        if (row < 1)
            return false;
        const tnetcodes &net = m_mainf.networks.at(m_mainf.nets->item(row)->data(Qt::UserRole).toInt());
        Codes = net.list ? *net.list : QStringList();
        return true;
    }
    QString StationSta(const QString &Code) override
    {
        for (const tstainfo &s : m_mainf.stations)
            if (s.code == Code)
                return s.sta;
        return QString();
    }
    const TD2D &WaveTable() override { return *m_mainf.refTable; }
    const tmulss &WaveFactors() override { return m_mainf.waves; }
    const tfilts &Filters() override { return m_mainf.filters; }
};

} // namespace

void RunMainWindowSummary(Tmainf &Mainf, Tdm &Dm)
{
    MainWindowSummaryHost host(Mainf, Dm);
    SvodkaProc(host);
}

void RunMainWindowOrxSummary(Tmainf &Mainf, Tdm &Dm)
{
    MainWindowSummaryHost host(Mainf, Dm);
    ORXSvodka(host);
}

void InstallSummaryCommand()
{
    productCommands().orxSvodka = [](Tmainf &mainf) {
        if (Tdm *dm = Tdm::instance())
            RunMainWindowOrxSummary(mainf, *dm);
    };
    productCommands().svodka = [](Tmainf &mainf) {
        if (Tdm *dm = Tdm::instance())
            RunMainWindowSummary(mainf, *dm);
    };
}
