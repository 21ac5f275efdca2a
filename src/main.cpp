#include "app/main_window.h"
#include "exchange/import_page.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Brenvale"));

    SetImportPageInstaller(&InstallImportPage);

    // The main window reads its settings and starts its fade-in while it is created; it shows once the
    // start-up is through.
    Tmainf mainf;
    mainf.show();
    return app.exec();
}
