#pragma once

// The main window's side of a writer that works on the current station's database, answered with the
// test's own connection: the station lookup, the connection and its closing.

#include "db/db_connection.h"

#include <QString>

template <class... Hosts> class StationDbHost : public Hosts...
{
public:
    explicit StationDbHost(DbConnection &Db) : db(Db) {}

    bool GetStationDBParams(QString &Source, QString &, QString &, int, bool) override
    {
        Source = QStringLiteral("bulletin");
        return true;
    }
    DbConnection &BulletinConnection() override { return db; }
    bool OpenDB_ADO(DbConnection &Conn, const QString &, const QString &, const QString &, bool) override
    {
        if (!Conn.Connected())
            Conn.Open();
        return true;
    }
    void CloseDB_ADO(DbConnection &Conn) override { Conn.Close(); }

    DbConnection &db;
};
