#pragma once

#include <QString>
#include <QStringList>

class QWidget;

// File attributes as callers pass them to ListFiles; the special ones (hidden, system, directory)
// widen the listing, plain files are always listed.
enum : int {
    faReadOnly = 0x01,
    faHidden = 0x02,
    faSysFile = 0x04,
    faVolumeID = 0x08,
    faDirectory = 0x10,
    faArchive = 0x20,
    faAnyFile = 0x3F,
};

// Header lines that stand between the user and the system ODBC sources in the lists.
QString OdbcUserSourcesHeader();
QString OdbcSystemSourcesHeader();

// The user ODBC sources, then the system ones, each sorted under its header line; a kind with no
// sources gives neither header nor names.
void GetODBCSources(QStringList &List);
// Net service names of tnsnames.ora under $TNS_ADMIN, else $ORACLE_HOME/network/admin, sorted; empty
// when there is no such file. EFileError when the file is there but cannot be read.
void GetOracleTNSNames(QStringList &List);
// The Borland engine does not exist here.
bool BDEAvailable();
QString GetPersonalFolder();
// Entries matching Mask (a folder followed by a wildcard pattern), sorted by name. A Mask that names
// a folder lists what is in it. WithPath prefixes each name with the folder.
void ListFiles(const QString &Mask, QStringList &List, bool WithPath, int Attr);
// The command line without the program; nothing happens for a null List.
void ParamsToStrings(QStringList *List);
// Opens a document with its associated program, or starts a program named without a path.
void ShellOpen(QWidget *Wnd, const QString &FileName);
