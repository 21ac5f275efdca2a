#pragma once

#include <QAbstractTableModel>
#include <QPointer>

class DbQuery;

// A dataset as a table for the data-aware grids: one row per fetched row (plus the row being
// appended), one column per field. An edit goes through the dataset's Edit and Post; a refused write
// is shown through the error procedure and the cell keeps its stored value.
class DataSetModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit DataSetModel(DbQuery *query, QObject *parent = nullptr);

    DbQuery *query() const { return m_query; }
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;

private:
    void refresh();
    void rowChanged(int row);

    QPointer<DbQuery> m_query;
    int m_rows = 0;
    int m_columns = 0;
};
