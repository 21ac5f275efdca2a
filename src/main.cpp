#include "app/data/data_module.h"
#include "app/main/main_window.h"
#include "app/main/qt_translations.h"
#include "app/main/user_action_guard.h"
#include "exchange/orv/orv_export_command.h"
#include "exchange/orx_copy/orx_copy.h"
#include "exchange/page/import_page.h"
#include "exchange/text/data_format_dialog.h"
#include "lib/temp_folders.h"
#include "products/report_window.h"
#include "products/summary_command.h"

int main(int argc, char *argv[])
{
    // Its notify catches an allocation failure where the action that met it began.
    BrenvaleApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Brenvale"));
    // The program speaks Russian whatever the desktop's language, and so do Qt's own dialogs.
    InstallQtTranslations();
    // What a run killed before it could clean up left in the temporary folder.
    RemoveStaleTempFolders();

    // The data module comes first: the main window's start-up already sets up its connections.
    Tdm dm;
    // The import page sits above the main window's library; the window installs it while it is created.
    SetImportPageInstaller(&InstallImportPage);
    InstallSummaryCommand();
    InstallOrvExportCommand();
    InstallReportCommand();
    InstallOrxImportCommand();
    InstallDataFormatCommand();

    // While it is created the main window installs the import page, hands its settings record to the
    // data module and the parameter dialog, reads its settings and starts its fade-in; it shows once the
    // start-up is through.
    Tmainf mainf;
    mainf.show();
    return app.exec();
}
