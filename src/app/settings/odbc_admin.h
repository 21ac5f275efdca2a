#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

// What the ODBC administrator button reaches for, replaceable by tests: finding a program on the PATH,
// starting it, and opening a document in the desktop's program for it.
struct OdbcAdminSeams
{
    std::function<QString(const QString &name)> findProgram;
    std::function<bool(const QString &program)> startProgram;
    std::function<bool(const QString &file)> openDocument;
};

// The graphical ODBC administrators looked for, first found first.
QStringList OdbcAdminPrograms();
// The user's ODBC source file under Home.
QString UserOdbcIniPath(const QString &Home);

enum class OdbcAdminOutcome { ProgramStarted, SourceFileOpened, Told };

// Starts the first ODBC administrator found; without one opens the user's source file (created with a
// comment when missing) in the desktop's editor; when that fails too, says which file to edit.
OdbcAdminOutcome RunOdbcAdministrator(QWidget *Owner, const QString &Home, const OdbcAdminSeams &Seams);

// The seams the program uses; tests put their own and get the old ones back.
OdbcAdminSeams &CurrentOdbcAdminSeams();
