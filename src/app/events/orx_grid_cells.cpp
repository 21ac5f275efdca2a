#include "app/events/orx_grid_cells.h"

#include "app/events/epoch_text.h"
#include "app/events/event_page.h"
#include "db/db_query.h"
#include "lib/control_routines.h"

#include <QCheckBox>
#include <QFontMetrics>
#include <QPainter>
#include <QTableView>

namespace {

// A value of the grid's row as a field, for the text and truth routines.
class CellField : public TField
{
public:
    CellField(const DbColumn &column, const QVariant &value) : m_column(column), m_value(value) {}
    QString FieldName() const override { return m_column.name; }
    FieldType DataType() const override { return m_column.type; }
    int Size() const override { return 0; }
    bool IsNull() const override { return m_value.isNull(); }
    QVariant Value() const override { return m_value; }
    void SetValue(const QVariant &) override {}

private:
    const DbColumn &m_column;
    QVariant m_value;
};

const char *const kArrivalFloats[] = {"per",  "ampl", "azimuth", "ema", "rect",  "dist",
                                      "mpsp", "mplp", "ms",      "mb",  "deltim"};

} // namespace

OrxCellStyle OrxCellStyleOf(bool Arrival, const QString &FieldName, bool Memo, bool Empty)
{
    const QString name = FieldName.toLower();
    OrxCellStyle style;
    if (!Arrival) {
        if (name == QLatin1String("origintime"))
            style.kind = OrxCellKind::Epoch;
    } else if (name == QLatin1String("flag")) {
        style.kind = OrxCellKind::Flag;
    } else if (name == QLatin1String("itime") || name == QLatin1String("amptime")) {
        style.kind = OrxCellKind::Epoch;
    } else if (name == QLatin1String("residuals")) {
        style.kind = OrxCellKind::Float;
        style.decimals = 4;
    } else {
        for (const char *f : kArrivalFloats)
            if (name == QLatin1String(f))
                style.kind = OrxCellKind::Float;
    }
    if (style.kind == OrxCellKind::Default && Memo && Empty)
        style.kind = OrxCellKind::Clear;
    return style;
}

QString OrxCellText(const OrxCellStyle &Style, const QVariant &Value, const QLocale &Locale)
{
    if (Value.isNull())
        return QString();
    if (Style.kind == OrxCellKind::Epoch) {
        DbColumn column;
        column.type = FieldType::Float;
        return EpochFieldText(CellField(column, Value));
    }
    if (Style.kind == OrxCellKind::Float) {
        bool ok = false;
        const double v = Value.toDouble(&ok);
        return ok ? FloatDisplayText(v, Locale, Style.decimals) : QString();
    }
    return QString();
}

OrxGridDelegate::OrxGridDelegate(DbQuery *Query, bool Arrival, QCheckBox *Tcb, QObject *parent)
    : QStyledItemDelegate(parent), m_query(Query), m_arrival(Arrival), m_tcb(Tcb)
{}

OrxCellStyle OrxGridDelegate::styleOf(const QModelIndex &index, QVariant &value) const
{
    if (!m_query || !m_query->Active() || index.column() >= m_query->Columns().size())
        return {};
    const DbColumn &column = m_query->Columns().at(index.column());
    value = m_query->RowValue(index.row(), index.column());
    const bool memo = column.type == FieldType::Memo || column.type == FieldType::FmtMemo;
    return OrxCellStyleOf(m_arrival, column.name, memo, value.toString().isEmpty());
}

QSize OrxGridDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const QSize base = QStyledItemDelegate::sizeHint(option, index);
    QVariant value;
    const OrxCellStyle style = styleOf(index, value);
    if (style.kind != OrxCellKind::Epoch && style.kind != OrxCellKind::Float)
        return base;
    // Written 2 pixels from the left, with as much room after it.
    const int width = QFontMetrics(option.font).horizontalAdvance(OrxCellText(style, value, option.locale));
    return QSize(width + 4, base.height());
}

void OrxGridDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                            const QModelIndex &index) const
{
    QStyledItemDelegate::paint(painter, option, index);
    QVariant value;
    const OrxCellStyle style = styleOf(index, value);
    if (style.kind == OrxCellKind::Default)
        return;
    const DbColumn &column = m_query->Columns().at(index.column());

    const bool selected = option.state & QStyle::State_Selected;
    const QPalette &palette = option.palette;
    painter->save();
    painter->fillRect(option.rect, selected ? palette.highlight() : palette.base());
    if (style.kind == OrxCellKind::Flag) {
        if (m_tcb) {
            const CellField field(column, value);
            m_tcb->setChecked(FieldAsBool(&field));
            const QSize box = m_tcb->size();
            const QPoint at(option.rect.left() + (option.rect.width() - box.width()) / 2,
                            option.rect.top() + (option.rect.height() - box.height()) / 2);
            painter->translate(at);
            m_tcb->render(painter, QPoint(), QRegion(), QWidget::DrawChildren);
        }
    } else if (style.kind != OrxCellKind::Clear) {
        painter->setPen(selected ? palette.highlightedText().color() : palette.text().color());
        const QRect text = option.rect.adjusted(2, 2, 0, 0);
        painter->drawText(text, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                          OrxCellText(style, value, option.locale));
    }
    painter->restore();
}
