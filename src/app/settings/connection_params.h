#pragma once

#include "app/settings/settings_record.h"

#include <QString>

inline const QString ProviderOdbc = QStringLiteral("MSDASQL");
inline const QString ProviderOracle = QStringLiteral("OraOLEDB.Oracle");
inline const QString ProviderJet = QStringLiteral("Microsoft.Jet.OLEDB.4.0");
inline const QString TemplateReadWrite = QStringLiteral("Data Source=a;Mode=ReadWrite");
inline const QString TemplatePlain = QStringLiteral("Data Source=a");

// The ORX parameters read from the information system's own INI file.
struct OrxIniParams
{
    QString source;
    QString user;
    QString password;
};

struct ConnParams
{
    QString source;
    QString user;
    QString password;
};

QString GetOrxProvider(const Tsett &sett);

// Parameters of a connection to the ORX database. The orx.ini values serve only an ODBC connection and
// only while the main window's own switch is on; sett may be a report window's frozen copy.
ConnParams GetOrxConnParams(const Tsett &sett, bool mainOrxini, const OrxIniParams &orxIni);

// Provider and connection-string template of both connections, and what the settings page shows for
// the bulletin database.
struct ConnectionSetup
{
    QString orxProvider;
    QString orxTemplate;
    QString dbsProvider;
    QString dbsTemplate;
    bool direct = false;          // the bulletin tables live in the ORX database
    QString label27Caption;       // "2. *ORX*" or "2."
    bool showAccessFile = true;   // `Edit6`
    bool showSourceCombo = false; // `dss`
};

ConnectionSetup ComputeConnectionSetup(const Tsett &sett);

// True in single-station mode with the switch that keeps the bulletin tables in the ORX database.
bool IsDirectMode(const Tsett &sett);
