#include "app/settings/data_filters_dialog.h"
#include "support/program_env.h"

#include <QDateEdit>
#include <QGroupBox>
#include <QScrollArea>

namespace {

struct FiltersProgram
{
    OrxDb<SqliteEnv> orx;
    ProgramWindow o;
    FiltersProgram()
    {
        orx.exec("create table origin (eventid varchar(20), depth float, auth varchar(15), lddate date, flag "
                 "boolean)");
        orx.exec("create table arrival (eventid varchar(20), sta varchar(6), amp float)");
        o.useOrx(orx.source());
    }
    QComboBox *combo(Tfilt &d, int slot)
    {
        return d.findChild<QComboBox *>(QStringLiteral("cb%1").arg(slot));
    }
    QLineEdit *edit(Tfilt &d, int slot) { return d.findChild<QLineEdit *>(QStringLiteral("ed%1").arg(slot)); }
    QDateEdit *date(Tfilt &d, int slot) { return d.findChild<QDateEdit *>(QStringLiteral("dt%1").arg(slot)); }
    void choose(Tfilt &d, int condition, const char *field, int op)
    {
        const int slot = d.filters.Conditions[condition].firstControl;
        combo(d, slot)->setCurrentText(QString::fromLatin1(field));
        d.filters.FieldChange(condition);
        combo(d, slot + 1)->setCurrentIndex(op);
        d.filters.OperatorChange(condition);
    }
};

TEST(DataFilters, ControlsAndOperatorLists)
{
    FiltersProgram p;
    Tfilt d(*p.o.w);
    EXPECT_EQ(p.o.rec.count(), 0) << p.o.rec.last().text.toStdString();

    d.ori_add->click();
    QComboBox *field = p.combo(d, 0);
    ASSERT_TRUE(field);
    EXPECT_EQ(field->count(), 5);
    EXPECT_EQ(field->geometry(), QRect(4, 4, 80, 22));
    // Each kind has its operators; the file stores the index, so their order is fixed.
    const std::tuple<const char *, int, int, const char *> kinds[] = {{"depth", 11, 8, "между"},
                                                                      {"auth", 5, 2, "содержит"},
                                                                      {"lddate", 9, 8, "между"},
                                                                      {"flag", 4, 3, "нет/ложь"}};
    for (const auto &[name, count, index, caption] : kinds) {
        p.choose(d, 0, name, 0);
        QComboBox *op = p.combo(d, 1);
        EXPECT_EQ(op->count(), count) << name;
        EXPECT_EQ(op->itemText(index), QString::fromUtf8(caption)) << name;
        EXPECT_EQ(op->x(), 4 + 80 + 8);
    }
    // "между" gets the second value after "и".
    p.choose(d, 0, "depth", 8);
    ASSERT_TRUE(p.edit(d, 2) && p.edit(d, 4));
    EXPECT_EQ(d.findChild<QLabel *>(QStringLiteral("lab3"))->text(), QStringLiteral("и"));
    p.choose(d, 0, "depth", 2);
    EXPECT_FALSE(p.edit(d, 4));
    EXPECT_FALSE(d.findChild<QLabel *>(QStringLiteral("lab3")));
    p.choose(d, 0, "flag", 2);
    EXPECT_FALSE(p.edit(d, 2) || p.date(d, 2));
    d.arr_add->click();
    EXPECT_EQ(p.combo(d, 5)->geometry(), QRect(4, 4, 80, 22)); // each box has its own running top
    d.ori_add->click();
    EXPECT_EQ(p.combo(d, 10)->y(), 28);
}

// A date condition offers the days the products carry, as every date edit of the program does.
TEST(DataFilters, DateValuesAreLimitedToTheDaysCarried)
{
    FiltersProgram p;
    Tfilt d(*p.o.w);
    d.ori_add->click();
    p.choose(d, 0, "lddate", 8);
    for (int slot : {2, 4}) {
        QDateEdit *date = p.date(d, slot);
        ASSERT_TRUE(date) << slot;
        EXPECT_EQ(std::pair(date->minimumDate(), date->maximumDate()),
                  std::pair(QDate(1900, 1, 1), QDate(9998, 12, 31)));
    }
}

TEST(DataFilters, SaveAndLoadRoundTrip)
{
    FiltersProgram p;
    {
        Tfilt d(*p.o.w);
        d.ori_add->click();
        p.choose(d, 0, "depth", 8);
        p.edit(d, 2)->setText(QStringLiteral("1"));
        p.edit(d, 4)->setText(QStringLiteral("5"));
        d.arr_add->click();
        p.choose(d, 1, "sta", 3);
        p.edit(d, 7)->setText(QStringLiteral("PET \"x\""));
        d.ori_add->click();
        p.choose(d, 2, "lddate", 8);
        p.date(d, 12)->setDate(QDate(2008, 2, 1));
        p.date(d, 14)->setDate(QDate(2008, 2, 5));
        d.ori_add->click();
        p.choose(d, 3, "flag", 2);
        d.save->click();
        d.cancel->click();
    }
    EXPECT_EQ(p.o.rec.count(), 0) << p.o.rec.last().text.toStdString();
    EXPECT_EQ(p.o.read("system/Brenvale.ini"),
              QStringLiteral("[global]\r\neffects=0\r\n\r\n[origin]\r\ndepth=8 \"1\" \"5\"\r\n"
                             "lddate=8 \"01.02.2008\" \"05.02.2008\"\r\nflag=2\r\n\r\n"
                             "[arrival]\r\nsta=3 \"PET \"\"x\"\"\"\r\n\r\n"));

    Tfilt d(*p.o.w);
    d.load->click();
    ASSERT_EQ(d.filters.Conditions.size(), 4);
    d.filters.ReadControls();
    QStringList loaded;
    for (const tfiltinfo &c : d.filters.Conditions)
        loaded << c.table + QLatin1Char(':') + c.field + QLatin1Char('=') + FilterIniValue(c);
    EXPECT_EQ(loaded, QStringList({QStringLiteral("origin:depth=8 \"1\" \"5\""),
                                   QStringLiteral("origin:lddate=8 \"01.02.2008\" \"05.02.2008\""),
                                   QStringLiteral("origin:flag=2"),
                                   QStringLiteral("arrival:sta=3 \"PET \"\"x\"\"\"")}));
    // Loading adds to what is shown.
    d.load->click();
    EXPECT_EQ(d.filters.Conditions.size(), 8);
}

// A stored operator that the column's list does not hold loads as its first operator, as a column just
// chosen has it.
TEST(DataFilters, OperatorsBeyondTheListLoadAsTheFirst)
{
    FiltersProgram p;
    p.o.write("system/Brenvale.ini", QStringLiteral("[origin]\r\ndepth=2147483647 \"1\" \"5\"\r\nflag=-1\r\n"
                                                    "[arrival]\r\nsta=-2147483648 \"PET\"\r\n"));
    Tfilt d(*p.o.w);
    d.load->click();
    d.filters.ReadControls();
    QStringList loaded;
    for (const tfiltinfo &c : d.filters.Conditions)
        loaded << c.field + QLatin1Char('=') + FilterIniValue(c);
    EXPECT_EQ(loaded, QStringList({"depth=0 \"1\"", "flag=0", "sta=0 \"PET\""}));
    EXPECT_EQ(p.o.rec.count(), 0);
}

TEST(DataFilters, DeletingKeepsTheOtherGroupInOrder)
{
    FiltersProgram p;
    Tfilt d(*p.o.w);
    d.ori_del->click(); // nothing to delete
    d.ori_add->click();
    d.arr_add->click();
    d.arr_add->click();
    p.choose(d, 1, "sta", 0);
    p.choose(d, 2, "amp", 0);
    d.ori_del->click();
    ASSERT_EQ(d.filters.Conditions.size(), 2);
    EXPECT_FALSE(p.combo(d, 0));
    d.filters.ReadControls();
    EXPECT_EQ(d.filters.Conditions[0].field, QStringLiteral("sta"));
    EXPECT_EQ(d.filters.Conditions[1].field, QStringLiteral("amp"));
    EXPECT_EQ(d.tops[0], 4);
    // The field combo of the moved condition still rebuilds its own operators.
    QComboBox *second = p.combo(d, 10);
    second->setCurrentText(QStringLiteral("sta"));
    emit second->activated(second->currentIndex());
    EXPECT_EQ(d.filters.Conditions[1].kind, int(fkText));
}

TEST(DataFilters, StoredValueTexts)
{
    EXPECT_EQ(FilterIniTokens(QStringLiteral(" 8  \"a b\" \"\" \"q\"\"q\" x")),
              QStringList({"8", "a b", "", "q\"q", "x"}));
}

TEST(DataFilters, WithoutOrxAndWithBadOperators)
{
    ProgramWindow o;
    o.useOrx(o.path("nosuch/orx.db"));
    o.write("system/Brenvale.ini", QStringLiteral("[origin]\r\ndepth=x \"1\"\r\n"));
    Tfilt d(*o.w);
    ASSERT_GE(o.rec.count(), 1); // the connection's own message
    o.rec.clear();
    d.ori_add->click();
    EXPECT_EQ(d.findChild<QComboBox *>(QStringLiteral("cb0"))->count(), 0);
    d.load->click();
    EXPECT_EQ(shown(o.rec), QList<Shown>({{QStringLiteral("\"x\" - не целое число"), 16}}));
}

} // namespace
