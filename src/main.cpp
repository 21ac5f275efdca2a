#include <QApplication>
#include <QMainWindow>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Brenvale"));

    QMainWindow window;
    window.setObjectName(QStringLiteral("mainf"));
    window.setWindowTitle(QStringLiteral("Brenvale"));
    window.resize(1000, 700);
    window.show();
    return app.exec();
}
