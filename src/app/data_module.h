#pragma once

#include <QObject>
#include <QString>

#include <memory>
#include <vector>

class DbCommand;
class DbConnection;
class DbQuery;

// The data module: every database connection, dataset and command of the program, created first and
// destroyed last. No connection stays open between operations except those of the event pages: every
// routine opens the one it needs with OpenDB_ADO and closes it with CloseDB_ADO.
class Tdm : public QObject
{
    Q_OBJECT
public:
    explicit Tdm(QObject *parent = nullptr);
    ~Tdm() override; // closes imc13, imc12, imc11, imc, dbs, conPubs in that order

    static Tdm *instance();

    // Opens Conn on Source with the provider and connection-string template set before; false with the
    // reason shown (unless Silent) when the source is empty or the open fails. ErrText replaces the
    // standard first line of the failure message.
    bool OpenDB_ADO(DbConnection *Conn, const QString &Source, const QString &User, const QString &Password,
                    bool Silent = false, const QString &ErrText = QString());
    // Closes Conn when open; false only for no connection or a failing close (shown).
    bool CloseDB_ADO(DbConnection *Conn);

    // The open-file dialog: true with Chosen set when the user picked a file.
    bool ExecOpenDialog(const QString &Title, const QString &Filter, const QString &FileName, int FilterIndex,
                        QString &Chosen);

    DbConnection *conPubs, *dbs, *imc, *imc11, *imc12, *imc13;

    DbCommand *acm_in11, *acmi11, *acm_out;
    DbQuery *acm_in, *acmi, *rstORX, *rstw_arr, *rstw_ori;
    DbQuery *rst, *aq1, *rst_arrival, *rst_origin, *rst_XM, *rst2, *rst_phase, *rst_empty, *rst_num,
        *rst_num2, *aq, *aq2;
    DbQuery *ime, *ims, *imd, *imp;
    DbQuery *imo, *ima, *imq;

private:
    DbConnection *connection(const char *name, const QString &connectionString);
    DbQuery *query(const char *name, DbConnection *conn, const QString &sql = QString());

    std::vector<std::unique_ptr<DbCommand>> m_commands;
};
