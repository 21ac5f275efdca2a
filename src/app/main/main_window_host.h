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

// The same with what the operations that read the ORX database ask as well: the owner of their
// dialogs, the settings record, the ORX connection and the bulletin database's date literals.
template <class Host> class MainWindowOrxHost : public MainWindowBulletinHost<Host>
{
public:
    using MainWindowBulletinHost<Host>::MainWindowBulletinHost;

    QWidget *Owner() override { return &this->m_mainf; }
    Tsett &Settings() override { return this->m_mainf.sett; }
    void GetOrxConnParams(QString &Source, QString &User, QString &Password) override
    {
        const ConnParams p = this->m_mainf.GetOrxConnParams(this->m_mainf.sett);
        Source = p.source;
        User = p.user;
        Password = p.password;
    }
    DbConnection &OrxConnection() override { return *this->m_dm.conPubs; }
    void SqlDateRange(QString &FromLit, QString &ToLit, TDateTime FromDate, TDateTime ToDate) override
    {
        this->m_mainf.SqlDateRange(FromLit, ToLit, FromDate, ToDate);
    }
};
