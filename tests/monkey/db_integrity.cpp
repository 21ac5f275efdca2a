#include "db_integrity.h"

#include "db/jet_sqlite.h"

#include <QFileInfo>

#include <sqlite3.h>

#include <memory>

namespace {

struct Closer
{
    void operator()(sqlite3 *db) const { sqlite3_close_v2(db); }
};
using Handle = std::unique_ptr<sqlite3, Closer>;

// The program's collation and functions are registered, as every index and view of its files may
// name them.
Handle open(const QString &path, int flags, QString &error)
{
    sqlite3 *db = nullptr;
    const int rc =
        sqlite3_open_v2(QFileInfo(path).absoluteFilePath().toUtf8().constData(), &db, flags, nullptr);
    Handle handle(db);
    if (rc != SQLITE_OK) {
        error = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("out of memory");
        return nullptr;
    }
    if (!RegisterJetFunctions(db)) {
        error = QStringLiteral("the Jet functions could not be registered");
        return nullptr;
    }
    return handle;
}

// Every row of a pragma, its columns joined by "|"; false when SQLite stopped with an error.
bool pragmaRows(sqlite3 *db, const char *sql, QStringList &rows, int &code, QString &error)
{
    sqlite3_stmt *raw = nullptr;
    code = sqlite3_prepare_v2(db, sql, -1, &raw, nullptr);
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)> statement(raw, sqlite3_finalize);
    if (code != SQLITE_OK) {
        error = QString::fromUtf8(sqlite3_errmsg(db));
        return false;
    }
    while ((code = sqlite3_step(raw)) == SQLITE_ROW) {
        QStringList columns;
        for (int i = 0; i < sqlite3_column_count(raw); ++i) {
            const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(raw, i));
            columns << (text ? QString::fromUtf8(text) : QStringLiteral("NULL"));
        }
        rows << columns.join(QLatin1Char('|'));
    }
    if (code != SQLITE_DONE) {
        error = QString::fromUtf8(sqlite3_errmsg(db));
        return false;
    }
    code = SQLITE_OK;
    return true;
}

bool isBusy(int code)
{
    return (code & 0xff) == SQLITE_BUSY || (code & 0xff) == SQLITE_LOCKED;
}

} // namespace

IntegrityResult CheckSqliteIntegrity(const QString &path, int busyMs)
{
    IntegrityResult result;
    if (!QFileInfo(path).isFile()) {
        result.problems << QStringLiteral("the file is missing");
        return result;
    }
    QString error;
    const Handle db = open(path, SQLITE_OPEN_READONLY, error);
    if (!db) {
        result.problems << QStringLiteral("cannot open: ") + error;
        return result;
    }
    sqlite3_busy_timeout(db.get(), busyMs);
    QStringList rows;
    int code = SQLITE_OK;
    if (!pragmaRows(db.get(), "PRAGMA integrity_check", rows, code, error)) {
        if (isBusy(code))
            result.busy = true;
        else
            result.problems << QStringLiteral("integrity_check failed: ") + error;
        return result;
    }
    if (rows != QStringList{QStringLiteral("ok")})
        for (const QString &row : std::as_const(rows))
            result.problems << QStringLiteral("integrity_check: ") + row;
    rows.clear();
    if (!pragmaRows(db.get(), "PRAGMA foreign_key_check", rows, code, error)) {
        if (isBusy(code))
            result.busy = true;
        else
            result.problems << QStringLiteral("foreign_key_check failed: ") + error;
        return result;
    }
    // table|rowid|parent|constraint
    for (const QString &row : std::as_const(rows)) {
        const QStringList f = row.split(QLatin1Char('|'));
        result.problems << QStringLiteral("foreign_key_check: %1 row %2 refers to a missing row of %3")
                               .arg(f.value(0), f.value(1), f.value(2));
    }
    return result;
}

bool HoldsWriteLock(const QString &path)
{
    if (!QFileInfo(path).isFile())
        return false;
    QString error;
    const Handle db = open(path, SQLITE_OPEN_READWRITE, error);
    if (!db)
        return false;
    sqlite3_busy_timeout(db.get(), 0);
    const int code = sqlite3_exec(db.get(), "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    if (code == SQLITE_OK) {
        sqlite3_exec(db.get(), "ROLLBACK", nullptr, nullptr, nullptr);
        return false;
    }
    return isBusy(code);
}
