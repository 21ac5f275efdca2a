#pragma once

#include <QString>
#include <QStringList>

#include <memory>

// One station of the station list; `code` is its internal code, the key of everything stored per station.
struct tstainfo
{
    QString sta;
    QString name;
    QString source;
    QString user = QStringLiteral("admin");
    QString pass;
    QString code;
    QString out_file_jet;
    bool checked = false;
};

// One network of the ORX database: its name as stored, its station codes as an SQL list of quoted codes
// and as a list (none when the network has no station).
struct tnetcodes
{
    QString netname;
    QString netlist;
    std::shared_ptr<QStringList> list;
};
