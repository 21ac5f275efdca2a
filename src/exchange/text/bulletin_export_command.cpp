#include "exchange/text/bulletin_export_command.h"

#include "app/data/data_module.h"
#include "app/main/main_window.h"
#include "app/settings/param_dialog.h"
#include "exchange/text/bulletin_export.h"

namespace {

class MainWindowExportHost : public BulletinExportHost
{
public:
    MainWindowExportHost(Tmainf &mainf, Tdm &dm, const TextFormats &formats)
        : m_mainf(mainf), m_dm(dm), m_formats(formats)
    {}

    bool AskExportParameters() override
    {
        Tpar dialog(&m_mainf);
        dialog.Setup(2, &m_mainf.sett);
        return dialog.exec() == QDialog::Accepted;
    }
    Tsett &Settings() override { return m_mainf.sett; }
    bool GetStationDBParams(QString &Source, QString &User, QString &Password) override
    {
        return m_mainf.GetStationDBParams(Source, User, Password, -1, false);
    }
    DbConnection &BulletinConnection() override { return *m_dm.dbs; }
    bool OpenBulletin(const QString &Source, const QString &User, const QString &Password) override
    {
        return m_dm.OpenDB_ADO(m_dm.dbs, Source, User, Password, false);
    }
    void CloseBulletin() override { m_dm.CloseDB_ADO(m_dm.dbs); }
    void SqlDateRange(QString &FromLit, QString &ToLit, TDateTime FromDate, TDateTime ToDate) override
    {
        m_mainf.SqlDateRange(FromLit, ToLit, FromDate, ToDate);
    }
    const tspec &ExportSpec(int table) override { return m_formats.exportSpec[table]; }
    TFormatSettings LocaleSettings() override { return m_mainf.fsLocal; }
    int CurrentYear() override { return m_mainf.curYear; }
    QString StationName() override { return m_mainf.curName; }
    QString StationCode() override { return m_mainf.curCode; }
    void ZipFiles(const QString &ZipName, const QStringList &Files) override
    {
        m_dm.ZipFiles(ZipName, QString(), Files);
    }
    bool SendMail(const QString &Body, const QString &Attachment) override
    {
        return m_dm.SendMail('e', Body, Attachment);
    }

private:
    Tmainf &m_mainf;
    Tdm &m_dm;
    const TextFormats &m_formats;
};

} // namespace

void Export_St_bull_Click(Tmainf &Mainf, const TextFormats &Formats)
{
    Tdm *dm = Tdm::instance();
    if (!dm)
        return;
    MainWindowExportHost host(Mainf, *dm, Formats);
    ExportBullet(host);
}
