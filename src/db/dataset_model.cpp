#include "db/dataset_model.h"

#include "db/db_query.h"
#include "lib/messages.h"

DataSetModel::DataSetModel(DbQuery *query, QObject *parent) : QAbstractTableModel(parent), m_query(query)
{
    connect(query, &DbQuery::opened, this, &DataSetModel::refresh);
    connect(query, &DbQuery::closed, this, &DataSetModel::refresh);
    connect(query, &DbQuery::deleted, this, &DataSetModel::refresh);
    connect(query, &DbQuery::stateChanged, this, &DataSetModel::refresh);
    connect(query, &DbQuery::posted, this, [this](int row, bool) { rowChanged(row); });
    connect(query, &DbQuery::fieldChanged, this, [this](int) {
        const DbQuery *q = m_query;
        rowChanged(q->State() == DataSetState::Insert ? q->RecordCount() : q->CurrentRow());
    });
    refresh();
}

int DataSetModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int DataSetModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_columns;
}

void DataSetModel::refresh()
{
    int rows = 0, columns = 0;
    if (m_query && m_query->Active() && !m_query->ForwardOnly()) {
        rows = m_query->RecordCount() + (m_query->State() == DataSetState::Insert ? 1 : 0);
        columns = m_query->FieldCount();
    }
    if (rows != m_rows || columns != m_columns) {
        beginResetModel();
        m_rows = rows;
        m_columns = columns;
        endResetModel();
    } else if (rows > 0 && columns > 0) {
        emit dataChanged(index(0, 0), index(rows - 1, columns - 1));
    }
}

void DataSetModel::rowChanged(int row)
{
    if (row < 0)
        return;
    if (row >= m_rows) {
        refresh();
        return;
    }
    emit dataChanged(index(row, 0), index(row, m_columns - 1));
}

QVariant DataSetModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || !m_query || index.row() >= m_rows || index.column() >= m_columns)
        return QVariant();
    const FieldType type = m_query->Columns().value(index.column()).type;
    const QVariant v = m_query->RowValue(index.row(), index.column());
    switch (role) {
    case Qt::DisplayRole:
        return FieldValueText(type, v);
    case Qt::EditRole:
        if (IsDateFieldType(type) && !v.isNull())
            return ToQDateTime(v.toDouble());
        return v;
    case Qt::TextAlignmentRole:
        if (IsIntegerFieldType(type) || IsFloatFieldType(type))
            return int(Qt::AlignRight | Qt::AlignVCenter);
        return QVariant();
    default:
        return QVariant();
    }
}

QVariant DataSetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || !m_query)
        return QVariant();
    if (orientation == Qt::Horizontal)
        return m_query->Columns().value(section).name;
    return section + 1;
}

Qt::ItemFlags DataSetModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.isValid() && m_query && m_query->Active() && m_query->CanModify() &&
        m_query->FieldAt(index.column())->CanModify())
        f |= Qt::ItemIsEditable;
    return f;
}

bool DataSetModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || !(flags(index) & Qt::ItemIsEditable))
        return false;
    DbQuery *q = m_query;
    try {
        const bool pendingRow = q->State() == DataSetState::Insert && index.row() == q->RecordCount();
        if (!pendingRow) {
            if (q->RecNo() != index.row() + 1 || q->State() == DataSetState::Insert)
                q->SetRecNo(index.row() + 1);
            q->Edit();
        }
        q->FieldAt(index.column())->SetValue(value);
        if (!pendingRow)
            q->Post();
        return true;
    } catch (const DbError &e) {
        if (q->State() == DataSetState::Edit)
            q->Cancel();
        ErrorMessageProc(nullptr, e.message(), MB_ICONERROR, MB_OK);
        return false;
    }
}
