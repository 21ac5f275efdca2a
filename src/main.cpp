#include "app/data/data_module.h"
#include "app/main/main_window.h"
#include "app/main/qt_translations.h"
#include "lib/temp_folders.h"
#include "program_setup.h"

int main(int argc, char *argv[])
{
    ProgramApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Brenvale"));
    // The program speaks Russian whatever the desktop's language, and so do Qt's own dialogs.
    InstallQtTranslations();
    // What a run killed before it could clean up left in the temporary folder.
    RemoveStaleTempFolders();

    // The data module comes first: the main window's start-up already sets up its connections.
    Tdm dm;
    InstallProgramCommands();

    // While it is created the main window installs the import page, hands its settings record to the
    // data module and the parameter dialog, reads its settings and starts its fade-in; it shows once the
    // start-up is through.
    Tmainf mainf;
    mainf.show();
    return app.exec();
}
