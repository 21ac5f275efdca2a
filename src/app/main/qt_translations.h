#pragma once

class QTranslator;

// Qt's own texts (the buttons of standard dialogs and message boxes, the file, font and colour choosers)
// in Russian: qtbase_ru from the folder where the Qt installation keeps its translations. False when
// they are missing there; the dialogs then speak English.
bool LoadQtTranslations(QTranslator &Translator);
// Loads them into a translator the application owns and installs it.
bool InstallQtTranslations();
