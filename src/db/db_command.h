#pragma once

#include "lib/dataset_api.h"

#include <QPointer>
#include <QVariant>

class DbConnection;

// A statement run for its effect; any result set is dropped at once.
class DbCommand : public TCommand
{
public:
    explicit DbCommand(DbConnection *connection = nullptr) : m_connection(connection) {}
    DbConnection *Connection() const { return m_connection; }
    void SetConnection(DbConnection *connection) { m_connection = connection; }

    QString CommandText() const override { return m_text; }
    void SetCommandText(const QString &text) override { m_text = text; }
    void SetParams(const QVariantList &values) override { m_params = values; }
    void Execute() override;
    int RowsAffected() const override { return m_rowsAffected; }

private:
    QPointer<DbConnection> m_connection;
    QString m_text;
    QVariantList m_params;
    int m_rowsAffected = -1;
};
