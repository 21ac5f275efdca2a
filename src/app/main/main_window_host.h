#pragma once

#include "app/data/data_module.h"
#include "app/main/main_window.h"

// The part every operation's host interface asks of the main window alike: the selected station's
// bulletin database and the data module's connection operations. Host is the operation's own interface.
// The open is left to the next layer: one interface lets its caller word the failure, the others do not.
template <class Host> class MainWindowBulletinConnection : public Host
{
public:
    MainWindowBulletinConnection(Tmainf &mainf, Tdm &dm) : m_mainf(mainf), m_dm(dm) {}

    bool GetStationDBParams(QString &Source, QString &User, QString &Password, int Index,
                            bool Silent) override
    {
        return m_mainf.GetStationDBParams(Source, User, Password, Index, Silent);
    }
    DbConnection &BulletinConnection() override { return *m_dm.dbs; }
    void CloseDB_ADO(DbConnection &Conn) override { m_dm.CloseDB_ADO(&Conn); }

protected:
    Tmainf &m_mainf;
    Tdm &m_dm;
};

// The same with the open whose failure message is the data module's own.
template <class Host> class MainWindowBulletinHost : public MainWindowBulletinConnection<Host>
{
public:
    using MainWindowBulletinConnection<Host>::MainWindowBulletinConnection;

    bool OpenDB_ADO(DbConnection &Conn, const QString &Source, const QString &User, const QString &Password,
                    bool Silent) override
    {
        return this->m_dm.OpenDB_ADO(&Conn, Source, User, Password, Silent);
    }
};
