#include "app/main/product_commands.h"
#include "app_test_helpers.h"

namespace {

TEST(MainWindowHandlers, NetworkPanelStopsAtTheDeleteButton)
{
    ProgramWindow o;
    auto *button5 = named(o.w.get(), "Button5");
    const int edge = button5->x() + button5->width();
    ASSERT_GT(edge, 100);
    const std::pair<int, int> cases[] = {{-5, 2}, {2, 2}, {50, 50}, {edge, edge}, {edge + 1, edge}};
    for (const auto &[asked, allowed] : cases)
        EXPECT_EQ(o.w->Splitter2CanResize(asked), allowed) << asked;
}

// The ORX page's summary button runs the summary of the mode in force, its report button the ORX report;
// each only once one is installed.
TEST(MainWindowHandlers, ProductButtonsOfTheOrxPage)
{
    ProgramWindow pw;
    ProductCommands &commands = productCommands();
    const ProductCommands saved = commands;
    const auto restore = qScopeGuard([&] { commands = saved; });
    auto *summary = named<QPushButton>(pw.w->TabSheet6, "Button24");
    auto *report = named<QPushButton>(pw.w->TabSheet6, "BitBtn2");
    QStringList calls;
    commands.svodka = [&](Tmainf &) { calls << QStringLiteral("bulletin"); };
    commands.orxSvodka = nullptr;
    commands.report = nullptr;
    const auto showPage = [&] {
        pw.w->pgc1->setCurrentIndex(0);
        pw.w->pgc1->setCurrentIndex(pw.w->pgc1->indexOf(pw.w->TabSheet6));
    };
    pw.w->sett.fullorx = true;
    showPage();
    EXPECT_FALSE(summary->isEnabled() || report->isEnabled());
    commands.orxSvodka = [&](Tmainf &) { calls << QStringLiteral("orx"); };
    commands.report = [&](Tmainf &, bool orx) { calls << QStringLiteral("report %1").arg(orx); };
    showPage();
    ASSERT_TRUE(summary->isEnabled() && report->isEnabled());
    summary->click();
    report->click();
    pw.w->sett.fullorx = false;
    summary->click();
    EXPECT_EQ(calls, QStringList({"orx", "report 1", "bulletin"}));
}

// The placeholders of the developer page are off rather than silently idle.
TEST(MainWindowHandlers, DiagnosticsPlaceholdersDisabled)
{
    ProgramWindow o;
    for (const char *name : {"Button4", "Button17", "Button36"})
        EXPECT_FALSE(named(o.w->TabSheet3, name)->isEnabled()) << name;
    for (const char *name :
         {"Button2", "Button3", "Button23", "Button43", "Button31", "Button32", "Button47"})
        EXPECT_TRUE(named(o.w->TabSheet3, name)->isEnabled()) << name;
}

} // namespace
