#pragma once

#include "app/data/data_module.h"
#include "app/main/main_window.h"

// The part every operation's host interface asks of the main window alike: the selected station's
// bulletin database and the data module's connection operations. Host is the operation's own interface.
template <class Host> class MainWindowBulletinHost : public Host
{
public:
    MainWindowBulletinHost(Tmainf &mainf, Tdm &dm) : m_mainf(mainf), m_dm(dm) {}

    bool GetStationDBParams(QString &Source, QString &User, QString &Password, int Index,
                            bool Silent) override
    {
        return m_mainf.GetStationDBParams(Source, User, Password, Index, Silent);
    }
    DbConnection &BulletinConnection() override { return *m_dm.dbs; }
    bool OpenDB_ADO(DbConnection &Conn, const QString &Source, const QString &User, const QString &Password,
                    bool Silent) override
    {
        return m_dm.OpenDB_ADO(&Conn, Source, User, Password, Silent);
    }
    void CloseDB_ADO(DbConnection &Conn) override { m_dm.CloseDB_ADO(&Conn); }

protected:
    Tmainf &m_mainf;
    Tdm &m_dm;
};
