#pragma once

#include "lib/messages.h"

#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>

class TConnection;

// While the program holds a database's write lock no message may wait for a click: every other writer of
// that database (a second window, another instance) would wait as long, and then fail. A writer holds
// the messages from the start of its transaction: what is said meanwhile (a statement runner's failure,
// a damaged record, the writer's own reason) is kept, and shown once the transaction is committed or
// rolled back. A question cannot wait for the end: one asked meanwhile is answered No (Cancel where
// there is no No) and not shown; questions belong before the transaction.
class HeldMessages
{
public:
    HeldMessages();
    ~HeldMessages();
    HeldMessages(const HeldMessages &) = delete;
    HeldMessages &operator=(const HeldMessages &) = delete;

    // Puts the message procedures back and shows what was kept, in the order it was said. Once only.
    void release();
    bool holding() const { return m_holding; }
    int kept() const { return int(m_kept.size()); }

private:
    struct Kept
    {
        QPointer<QWidget> owner;
        QString text;
        unsigned icon = 0;
        bool error = false;
    };
    int keep(QWidget *owner, const QString &text, unsigned icon, unsigned buttons, bool error);

    MessageProcType m_message;
    MessageProcType m_error;
    QList<Kept> m_kept;
    bool m_holding = true;
};

// A write transaction whose messages wait for its end: begun at construction, rolled back at
// destruction unless committed; the messages kept meanwhile are shown after the commit or the rollback.
class HeldTransaction
{
public:
    explicit HeldTransaction(TConnection &Connection);
    ~HeldTransaction();
    HeldTransaction(const HeldTransaction &) = delete;
    HeldTransaction &operator=(const HeldTransaction &) = delete;

    // A failed commit leaves the transaction to the rollback.
    void commit();
    // Ends the transaction now (driver errors of a lost connection are swallowed: the server drops the
    // transaction with it) and shows what was kept.
    void rollback();
    bool open() const { return m_open; }

private:
    TConnection &m_connection;
    HeldMessages m_messages;
    bool m_open = false;
};
