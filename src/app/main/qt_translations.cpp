#include "app/main/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

bool LoadQtTranslations(QTranslator &Translator)
{
    return Translator.load(QStringLiteral("qtbase_ru"), QLibraryInfo::path(QLibraryInfo::TranslationsPath));
}

bool InstallQtTranslations()
{
    auto *translator = new QTranslator(QCoreApplication::instance());
    if (LoadQtTranslations(*translator) && QCoreApplication::installTranslator(translator))
        return true;
    delete translator;
    return false;
}
