#pragma once

#include <QString>

// What the program takes from the information system's orx.ini (section "database"); only read.
struct OrxIniValues
{
    QString source;                       // "odbc"
    QString user = QStringLiteral("qzv"); // "user"; an empty value counts as absent
    QString password = QStringLiteral("qzv");
};

// $ORX_INI_DIR/orx.ini when the variable is set, else /etc/orx.ini.
QString OrxIniPath();

// A missing or unreadable file gives the defaults, as it always has: the file belongs to another system.
OrxIniValues ReadOrxIni(const QString &path = OrxIniPath());
