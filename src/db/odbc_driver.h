#pragma once

#include <QString>

// The value of one attribute of an ODBC connection string ("DSN=x;Database=y", "DRIVER={a b};..."),
// without braces; empty when absent.
QString OdbcAttribute(const QString &connectionString, const QString &key);

// True when the source (a DSN name, or a whole connection string naming a DSN or a driver) reaches
// PostgreSQL's own ODBC driver, psqlODBC, as far as the driver manager's configuration tells.
bool IsPsqlOdbcSource(const QString &source);
