#pragma once

// What main() installs before it creates the main window, for the program and for what starts it as the
// program does (the GUI monkey).

#include "app/main/user_action_guard.h"
#include "exchange/orv/orv_export_command.h"
#include "exchange/orx_copy/orx_copy.h"
#include "exchange/page/import_page.h"
#include "exchange/text/data_format_dialog.h"
#include "products/report_window.h"
#include "products/summary_command.h"

#include <QApplication>

// The application object the program runs under: its notify catches an allocation failure where the
// action that met it began.
using ProgramApplication = BrenvaleApplication;

// The import page's installer and the product commands; the data module must exist by the time the
// main window is created.
inline void InstallProgramCommands()
{
    // The import page sits above the main window's library; the window installs it while it is created.
    SetImportPageInstaller(&InstallImportPage);
    InstallSummaryCommand();
    InstallOrvExportCommand();
    InstallReportCommand();
    InstallOrxImportCommand();
    InstallDataFormatCommand();
}
