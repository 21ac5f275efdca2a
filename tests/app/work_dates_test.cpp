#include "app/stations/station_editor.h"
#include "app_test_helpers.h"
#include "lib/work_dates.h"

#include <QDateTimeEdit>
#include <QTimeEdit>

namespace {

const QDate kFirst(1900, 1, 1), kLast(9998, 12, 31);

// The date edits of a window that show a date (a time edit keeps a fixed one).
QList<QDateTimeEdit *> dateEdits(const QWidget *window)
{
    QList<QDateTimeEdit *> edits;
    for (QDateTimeEdit *e : window->findChildren<QDateTimeEdit *>())
        if (e->displayedSections() & QDateTimeEdit::DateSections_Mask)
            edits << e;
    return edits;
}

TEST(WorkDates, TheDaysEveryProductCarries)
{
    EXPECT_EQ(std::pair(FirstWorkDate(), LastWorkDate()), std::pair(kFirst, kLast));
    const struct
    {
        TDateTime day;
        bool carried;
    } cases[] = {
        {EncodeDate(1899, 12, 31) + 0.999, false},
        {EncodeDate(1900, 1, 1), true},
        {EncodeDate(2026, 11, 30) + 0.5, true},
        {EncodeDate(9998, 12, 31) + 0.999, true},
        {EncodeDate(9999, 1, 1), false},
        {EncodeDate(9999, 12, 31), false},
        {0, false},
        {1e300, false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(IsWorkDate(c.day), c.carried) << c.day;
    EXPECT_FALSE(IsWorkDate(QDate()));
    EXPECT_EQ(WorkDateProblem(QStringLiteral("31.12.9999")),
              QStringLiteral("Дата 31.12.9999 вне допустимых пределов: от 01.01.1900 до 31.12.9998."));
}

// Every date edit of the main window and of the station editor offers no day past the last one carried;
// the ORX event filter's pickers none before the first either. The edits bound to fields and the station
// editor keep 30.12.1899, which stands for no date there.
TEST(WorkDates, EveryDateEditOfTheWindowsIsLimited)
{
    ProgramWindow o;
    const QList<QDateTimeEdit *> edits = dateEdits(o.w.get());
    QStringList names;
    for (QDateTimeEdit *e : edits) {
        names << e->objectName();
        EXPECT_EQ(e->maximumDate(), kLast) << e->objectName().toStdString();
    }
    names.sort();
    EXPECT_EQ(names, (QStringList{"dat1", "dat2", "date1", "time"}));
    for (const char *picker : {"dat1", "dat2"}) {
        auto *d = named<QDateTimeEdit>(o.w.get(), picker);
        EXPECT_EQ(d->minimumDate(), kFirst) << picker;
        d->setDate(QDate(9999, 12, 31));
        EXPECT_EQ(d->date(), kLast) << picker;
    }

    o.addStation(QStringLiteral("ABC"), QStringLiteral("OBN"), QStringLiteral("Обнинск"));
    QStringList editor;
    QTimer::singleShot(0, [&] {
        auto *d = qobject_cast<TStaEdit *>(QApplication::activeModalWidget());
        ASSERT_TRUE(d);
        for (QDateTimeEdit *e : dateEdits(d)) {
            editor << e->objectName();
            EXPECT_EQ(std::pair(e->minimumDate(), e->maximumDate()), std::pair(QDate(1752, 9, 14), kLast))
                << e->objectName().toStdString();
        }
        d->reject();
    });
    o.w->OpenStationEditor();
    EXPECT_EQ(editor.size(), 2);
}

} // namespace
