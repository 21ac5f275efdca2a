#include "lib/held_messages.h"

#include "lib/dataset_api.h"

#include <QtGlobal>

#include <exception>

HeldMessages::HeldMessages() : m_message(MessageProc), m_error(ErrorMessageProc)
{
    MessageProc = [this](QWidget *owner, const QString &text, unsigned icon, unsigned buttons) {
        return keep(owner, text, icon, buttons, false);
    };
    ErrorMessageProc = [this](QWidget *owner, const QString &text, unsigned icon, unsigned buttons) {
        return keep(owner, text, icon, buttons, true);
    };
}

HeldMessages::~HeldMessages()
{
    release();
}

int HeldMessages::keep(QWidget *owner, const QString &text, unsigned icon, unsigned buttons, bool error)
{
    const unsigned choice = buttons & 0xF;
    if (choice == MB_OK) {
        m_kept.append({owner, text, icon, error});
        return IDOK;
    }
    // Shown after the fact it would ask for nothing.
    qWarning("A question was asked while a write lock was held, and answered No: %s", qPrintable(text));
    return choice == MB_YESNO || choice == MB_YESNOCANCEL ? IDNO : IDCANCEL;
}

void HeldMessages::release()
{
    if (!m_holding)
        return;
    m_holding = false;
    MessageProc = m_message;
    ErrorMessageProc = m_error;
    const QList<Kept> kept = std::move(m_kept);
    m_kept.clear();
    for (const Kept &k : kept) {
        const MessageProcType &show = k.error ? ErrorMessageProc : MessageProc;
        show(k.owner.data(), k.text, k.icon, MB_OK);
    }
}

HeldTransaction::HeldTransaction(TConnection &Connection) : m_connection(Connection)
{
    m_connection.BeginTrans();
    m_open = true;
}

HeldTransaction::~HeldTransaction()
{
    rollback();
}

void HeldTransaction::commit()
{
    m_connection.CommitTrans();
    m_open = false;
    m_messages.release();
}

void HeldTransaction::rollback()
{
    if (m_open) {
        m_open = false;
        try {
            m_connection.RollbackTrans();
        } catch (const std::exception &) {
            // The connection is gone, and its transaction with it.
        }
    }
    m_messages.release();
}
