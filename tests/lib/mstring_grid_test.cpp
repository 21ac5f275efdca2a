#include "lib/mstring_grid.h"

#include <QApplication>
#include <QEnterEvent>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

TEST(TMStringGrid, EnterAndLeaveReportTheGrid)
{
    TMStringGrid grid;
    grid.setObjectName(u"sg"_s);
    QStringList seen;
    QObject::connect(&grid, &TMStringGrid::mouseEnter,
                     [&](QObject *s) { seen << "enter " + s->objectName(); });
    QObject::connect(&grid, &TMStringGrid::mouseLeave,
                     [&](QObject *s) { seen << "leave " + s->objectName(); });

    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(&grid, &enter);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&grid, &leave);
    EXPECT_EQ(seen, (QStringList{u"enter sg"_s, u"leave sg"_s}));
}

} // namespace
