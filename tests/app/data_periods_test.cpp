#include "app/settings/settings_dialog.h"
#include "app/stations/data_periods.h"
#include "lib/epoch.h"
#include "support/program_env.h"

#include <vector>

namespace {

struct Arrival
{
    int month, day;
    double secondOfDay;
};

double epochOf(const Arrival &a)
{
    return htoe(2024, quint16(a.month), quint16(a.day), 0, 0, a.secondOfDay);
}

TEST(DataPeriods, RunsOfDaysWithinTheTolerance)
{
    struct Run
    {
        int m1, d1, m2, d2;
    };
    const struct
    {
        const char *name;
        std::vector<Arrival> arrivals;
        const char *tolerance;
        std::vector<Run> runs;
    } cases[] = {
        {"same day repeated, tolerance 2 bridges a day",
         {{3, 1, 0}, {3, 1, 86399}, {3, 2, 10}, {3, 4, 0}},
         "2",
         {{3, 1, 3, 4}}},
        {"fraction with a comma", {{3, 1, 0}, {3, 3, 0}}, "1,5", {{3, 1, 3, 3}}},
        {"nine days missing", {{3, 1, 0}, {3, 11, 0}}, "10", {{3, 1, 3, 11}}},
        {"ten days missing", {{3, 1, 0}, {3, 12, 0}}, "10", {{3, 1, 3, 1}, {3, 12, 3, 12}}},
        {"leap day inside", {{2, 28, 0}, {2, 29, 0}, {3, 1, 0}}, "1", {{2, 28, 3, 1}}},
        // The last half millisecond of a day rounds into the next one.
        {"rounded into the next day", {{3, 1, 0}, {3, 2, 86399.9996}}, "1", {{3, 1, 3, 1}, {3, 3, 3, 3}}},
        {"nothing", {}, "1", {}},
    };
    for (const auto &c : cases) {
        double tolerance = 0;
        ASSERT_TRUE(ReadPeriodTolerance(QString::fromLatin1(c.tolerance), tolerance)) << c.name;
        DataPeriodRuns runs(tolerance + 1);
        for (const Arrival &a : c.arrivals) {
            TDateTime day = 0;
            ASSERT_TRUE(EpochDay(epochOf(a), day)) << c.name;
            runs.add(day);
        }
        QList<DataPeriod> expected;
        for (const Run &r : c.runs)
            expected.append({EncodeDate(2024, r.m1, r.d1), EncodeDate(2024, r.m2, r.d2)});
        EXPECT_EQ(runs.periods(), expected) << c.name;
    }
    double t = 0;
    EXPECT_FALSE(ReadPeriodTolerance(QStringLiteral("abc"), t));
}

QList<QStringList> gridRows(const QTableWidget *g)
{
    return TSetts::GridRows(g);
}

TEST(DataPeriods, PanelFollowsStationToleranceAndMode)
{
    ProgramWindow o;
    OrxDb<SqliteEnv> orx;
    const auto run = [&orx](const QString &sql) { exec(*orx.db, sql); };
    run(QStringLiteral("create table arrival (arid integer,sta varchar(6),itime float,primary key (arid))"));
    const struct
    {
        const char *sta;
        Arrival at;
    } rows[] = {{"ABC ", {3, 4, 100}}, {"ABC", {3, 1, 100}}, {"ABC", {3, 2, 100}}, {"XYZ", {3, 3, 100}}};
    for (int i = 0; i < 4; ++i)
        run(QStringLiteral("insert into arrival values (%1,'%2',%3)")
                .arg(i)
                .arg(rows[i].sta)
                .arg(epochOf(rows[i].at), 0, 'f', 3));
    o.useOrx(orx.source());
    o.addStation(QStringLiteral("ABC"), QStringLiteral("ABC"), QString());
    Tmainf &w = *o.w;
    const QList<QStringList> empty{{"", ""}}, two{{"01.03.2024", "02.03.2024"}, {"04.03.2024", ""}};

    auto *button8 = w.findChild<QPushButton *>(QStringLiteral("Button8"));
    button8->click();
    EXPECT_FALSE(w.Panel10->isHidden());
    EXPECT_EQ(gridRows(w.sgts), two);
    w.Edit10->setText(QStringLiteral("2"));
    emit w.Edit10->returnPressed();
    EXPECT_EQ(gridRows(w.sgts), (QList<QStringList>{{"01.03.2024", "04.03.2024"}}));
    w.Edit10->setText(QStringLiteral("abc"));
    w.Edit10KeyDown(13);
    EXPECT_EQ(w.Edit10->text(), QStringLiteral("1"));
    EXPECT_EQ(gridRows(w.sgts), two);

    // The same station again shows its periods without asking the database; Enter asks it.
    run(QStringLiteral("delete from arrival where sta like 'ABC%'"));
    w.StationChanged(true);
    EXPECT_EQ(gridRows(w.sgts), two);
    w.Edit10KeyDown(13);
    EXPECT_EQ(gridRows(w.sgts), empty);

    w.sett.fullorx = false;
    run(QStringLiteral("insert into arrival values (9,'ABC',0)"));
    w.Edit10KeyDown(13);
    EXPECT_EQ(gridRows(w.sgts), empty);
    button8->click();
    EXPECT_TRUE(w.Panel10->isHidden());
    EXPECT_EQ(o.rec.count(), 0) << o.rec.last().text.toStdString();
}

} // namespace
