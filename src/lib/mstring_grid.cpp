#include "lib/mstring_grid.h"

TMStringGrid::TMStringGrid(QWidget *parent) : QTableWidget(parent) {}

void TMStringGrid::enterEvent(QEnterEvent *event)
{
    QTableWidget::enterEvent(event);
    emit mouseEnter(this);
}

void TMStringGrid::leaveEvent(QEvent *event)
{
    QTableWidget::leaveEvent(event);
    emit mouseLeave(this);
}
