#include "db/db_command.h"

#include "db/db_connection.h"

void DbCommand::Execute()
{
    if (!m_connection)
        throw DbError(DbFault::Closed, QStringLiteral("Не задано подключение к базе данных"));
    m_rowsAffected = -1;
    std::unique_ptr<DbCursor> cursor = m_connection->backend().executeJet(m_text, m_params);
    m_rowsAffected = cursor ? cursor->rowsAffected() : -1;
}
