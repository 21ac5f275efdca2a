#pragma once

#include <QString>

// The program folder with its trailing "/": $BRENVALE_HOME when set, else the executable's folder.
// Every relative name of the system (system/..., specs/..., plugins/..., the help document) hangs off it.
QString ResolveProgramFolder();

// The folder the running program uses; the main window sets it at its first start.
QString ProgramFolder();
void SetProgramFolder(const QString &folder);
