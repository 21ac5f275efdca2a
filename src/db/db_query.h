#pragma once

#include "db/db_backend.h"
#include "db/db_connection.h"
#include "db/insert_batch.h"
#include "lib/dataset_api.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QVariant>

#include <functional>
#include <memory>
#include <vector>

class DbQuery;

class DbField : public TField
{
public:
    DbField(DbQuery *query, int index) : m_query(query), m_index(index) {}
    QString FieldName() const override;
    FieldType DataType() const override;
    int Size() const override;
    bool IsNull() const override;
    QVariant Value() const override;
    QString AsString() const override;
    qint64 AsLargeInt() const override;
    double AsFloat() const override;
    TDateTime AsDateTime() const override;
    void SetValue(const QVariant &value) override;
    int Index() const { return m_index; }
    // The value as the typed getters read it, without a QVariant (Other where they would go through one).
    DbScalar Scalar() const;
    // AsString() of a value whose Scalar() is Text, written into out, whose room is reused: a writer of
    // many rows makes no string per value.
    void TextInto(QString &out) const;
    // False for expressions, counters and every field of a statement over more than one table.
    bool CanModify() const;
    // The most characters a text written into the field may have, as its column declares them (blanks
    // past them aside); 0 where the column sets no limit or the field is no column of a table.
    int MaxLength() const;

private:
    DbQuery *m_query;
    int m_index;
};

// A dataset over one statement. By default a client-side static cursor: Open fetches every row, and
// Edit/Append/Delete write back to the statement's single base table. In forward-only mode Open keeps
// the statement running and Next reads one row at a time, for bulk reads.
class DbQuery : public QObject, public TDataSet
{
    Q_OBJECT
public:
    explicit DbQuery(DbConnection *connection = nullptr, QObject *parent = nullptr);
    ~DbQuery() override;

    DbConnection *Connection() const { return m_connection; }
    void SetConnection(DbConnection *connection);

    QString SQL() const override { return m_sql; }
    void SetSQL(const QString &sql) override;
    void SetParams(const QVariantList &values) override { m_params = values; }
    QVariantList Params() const { return m_params; }
    bool ForwardOnly() const { return m_forwardOnly; }
    void SetForwardOnly(bool on);
    // This dataset follows the current row of master: its statement's last "?" takes the value of
    // masterField, it is queried again when that value changes, and Append fills detailField with it.
    void SetMasterSource(DbQuery *master, const QString &masterField, const QString &detailField);

    void Open() override;
    void ExecSQL() override;
    int RowsAffected() const override { return m_rowsAffected; }
    void Close() override;
    bool Active() const override { return m_state != DataSetState::Inactive; }
    DataSetState State() const override { return m_state; }

    int FieldCount() const override { return Active() ? int(m_columns.size()) : 0; }
    TField *Field(int index) override;
    TField *FindField(const QString &name) override;
    DbField *FieldAt(int index) { return static_cast<DbField *>(Field(index)); }

    void First() override;
    void Prior() override;
    void Next() override;
    void Last() override;
    bool Eof() const override { return m_eof; }
    bool Bof() const override { return m_bof; }
    int RecordCount() const override;
    int RecNo() const override;
    void SetRecNo(int recNo) override;
    bool Locate(const QString &fieldNames, const QVariantList &values, LocateOptions options = {}) override;

    void Edit() override;
    void Append() override;
    void Post() override;
    void Cancel() override;
    void Delete() override;

    // Appends inside a transaction on a server wait to go up to rows to a statement (see DbInsertBatch); 0
    // or 1, and on a SQLite file, every Post writes at once. A posted row is in the dataset at once; its
    // counters and defaults come in when it is sent: reading a value of a row still waiting, Edit, Delete
    // and Close send it first.
    void SetInsertBatch(int rows) { m_insertBatch = rows; }
    // Sends the rows waiting. DbBatchError names the row refused by its place in the dataset (from 0); it
    // and the rows after it leave the dataset, as they are not in the table.
    void FlushInserts();

    // The program's own message for a failed Post, by the failure (an empty text keeps the layer's), as
    // a program names its own rows ("Событие с номером 5 уже есть").
    void SetPostErrorText(std::function<QString(const DbError &)> words)
    {
        m_postErrorText = std::move(words);
    }

    bool Modified() const;
    // True when Edit, Append and Delete can write back.
    bool CanModify() const { return !m_table.isEmpty() && !m_forwardOnly; }
    QString BaseTable() const { return m_table; }
    const QList<DbColumn> &Columns() const { return m_columns; }
    // A fetched row's value without moving (rows from 0); the pending values for the row being edited.
    QVariant RowValue(int row, int column) const;
    int CurrentRow() const { return m_current; }

signals:
    void opened();
    void closed();
    void scrolled();
    void stateChanged();
    void fieldChanged(int index);
    void posted(int row, bool inserted);
    void deleted(int row);

protected:
    void connectNotify(const QMetaMethod &signal) override;

private:
    friend class DbField;
    QVariant currentValue(int index) const;
    DbScalar currentScalar(int index) const;
    QString currentText(int index) const;
    void currentTextInto(int index, QString &out) const;
    void setCurrentValue(int index, const QVariant &value);
    bool fieldWritable(int index) const;
    // Refuses a text longer than the field's column holds, naming the column.
    void requireLength(int index, const QVariant &value);
    int maxLength(int index);
    QList<QVariant> rowValues(int row) const;

    void requireActive() const;
    void requireStatic(const char *operation) const;
    DbBackend &backend() const;
    void openInternal();
    void closeInternal();
    void setUpFields(const QList<DbColumn> &columns);
    int fieldIndex(const QString &name);
    void resolveBaseTable();
    void checkBrowseMode();
    void moveTo(int row, bool bof, bool eof);
    void notifyDetails();
    void followMaster(bool force);
    QVariant masterValue() const;
    QString whereClause(const QList<QVariant> &row, QVariantList &params) const;
    void requireKeyValues(bool inserting) const;
    DbError postError(const DbError &e, const char *action) const;
    int writeRow(const QVariantList &values, quint64 mask);
    QStringList setColumns() const;
    void refreshFrom(DbCursor &cursor);
    void postBatched(const QVariantList &values);
    void refreshStored(qint64 row, const DbCursor &cursor);
    void forgetRowsFrom(qint64 row);
    // A row still waiting to be sent goes first, so what is read of it is what the table holds.
    void settleRow(qsizetype row) const
    {
        if (m_waitingFrom >= 0 && row >= m_waitingFrom)
            const_cast<DbQuery *>(this)->FlushInserts();
    }

    QPointer<DbConnection> m_connection;
    QString m_sql;
    QVariantList m_params;
    bool m_forwardOnly = false;
    DataSetState m_state = DataSetState::Inactive;
    int m_rowsAffected = -1;

    QList<DbColumn> m_columns;
    std::vector<std::unique_ptr<DbField>> m_fields;
    QHash<QString, int> m_foldedNames; // the first field of each case-folded name
    QHash<QString, int> m_namesAsked;  // names as callers wrote them: the field, or -1 for none

    RowStore m_data; // static cursor
    int m_rowCount = 0;
    int m_current = -1;
    bool m_bof = true, m_eof = true;

    std::unique_ptr<DbCursor> m_cursor; // forward-only
    bool m_cursorRow = false;
    int m_cursorRecNo = 0;

    QList<QVariant> m_buffer;   // values being edited or inserted
    QList<QVariant> m_original; // the row as fetched, to find it again
    QList<bool> m_modified;

    DbTableInfo m_tableInfo;
    QHash<quint64, QString> m_insertSql; // by the fields an insert sets
    int m_insertBatch = 0;
    std::unique_ptr<DbInsertBatch> m_batch; // over every writable field, in field order
    QList<int> m_batchColumn;               // per field: its column in m_batch, -1 when not written
    int m_batchColumns = 0;
    qsizetype m_waitingFrom = -1; // the first row not yet sent; -1 when none waits
    QList<int> m_returnedField;   // per field: its column in the rows sent back, -1 for none
    QString m_table;              // stored name of the single base table; empty when read-only
    QStringList m_baseColumns;    // per field; empty for a field that is not a column of m_table
    QList<int> m_keyFields;       // fields of the table's key; empty: the row is found by all values
    int m_rowidField = -1;        // the field of the key counter that is SQLite's rowid
    QList<bool> m_counter;
    QList<bool> m_writable;
    QHash<QString, int> m_lengths; // of m_table's columns, read at the first text written
    bool m_lengthsRead = false;

    std::function<QString(const DbError &)> m_postErrorText;
    bool m_fieldChangedWatched = false; // once anything listens to fieldChanged

    QPointer<DbQuery> m_master;
    QString m_masterField, m_detailField;
    QList<QPointer<DbQuery>> m_details;
    bool m_followsMaster = false; // opened by its owner, so it follows the master
    QVariant m_lastMasterValue;
};
