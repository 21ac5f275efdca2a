#pragma once

#include <QLocale>
#include <QString>
#include <QStyledItemDelegate>
#include <QVariant>

class DbQuery;
class QCheckBox;

// How a cell of the ORX event grids is drawn over the default drawing.
enum class OrxCellKind {
    Default, // the grid's own text
    Clear,   // an empty memo: the cell is cleared
    Epoch,   // the epoch text of the time
    Float,   // the value rounded to 0.001 (Decimals 4: 0.0001)
    Flag,    // a check box with the field's truth, centred
};

struct OrxCellStyle
{
    OrxCellKind kind = OrxCellKind::Default;
    int decimals = 3;
};

// The drawing of a column (field name in any case) of the event grid (Arrival false) or the arrival
// grid; Memo tells whether the column holds a memo and Empty whether the cell's text is empty.
OrxCellStyle OrxCellStyleOf(bool Arrival, const QString &FieldName, bool Memo, bool Empty);
// The text drawn in an Epoch or Float cell; empty for a null value.
QString OrxCellText(const OrxCellStyle &Style, const QVariant &Value, const QLocale &Locale);

// Draws the two grids' cells: a cleared cell is filled with the selection colour when selected, else
// with the grid's colour, and the text is written 2 pixels from its left and top; the flag check box is
// the page's hidden 13x13 box tcb, painted in the middle of the cell.
class OrxGridDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    OrxGridDelegate(DbQuery *Query, bool Arrival, QCheckBox *Tcb, QObject *parent = nullptr);
    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    // The size of the text drawn over a time or number cell; the default one for the others.
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    OrxCellStyle styleOf(const QModelIndex &index, QVariant &value) const;

    DbQuery *m_query;
    bool m_arrival;
    QCheckBox *m_tcb;
};
