#include "support/program_env.h"

namespace {

const QString kStations =
    QStringLiteral("[PET]\r\ncode=PTK\r\n[MNK]\r\n[AAA]\r\n[BBB]\r\n[XYZ]\r\ncode=\r\n");

QStringList tickedCodes(const Tmainf &w)
{
    QStringList codes;
    for (int i = 0; i < w.stas->count(); ++i) {
        const QListWidgetItem *item = w.stas->item(i);
        const bool ticked = item->checkState() == Qt::Checked;
        EXPECT_EQ(w.stations[item->data(Qt::UserRole).toInt()].checked, ticked) << item->text().toStdString();
        if (ticked)
            codes << item->text();
    }
    return codes;
}

TEST(StationSets, TicksKeepTheCheckedSetSortedAndOnTheirStations)
{
    MessageRecorder recorder;
    Program p;
    auto w = p.startWith(QStringLiteral("stations=PET,GONE\r\n"), kStations);
    // A saved code that is no longer in the list is dropped.
    EXPECT_EQ(w->checkedStations, QStringList({"PET"}));
    EXPECT_EQ(listedCodes(*w), QStringList({"PET", "AAA", "BBB", "MNK", "XYZ"}));

    // Ticked in click order PET, MNK: kept in sorted order, and with flagbeg the ticked come first.
    w->stas->item(3)->setCheckState(Qt::Checked);
    EXPECT_EQ(w->checkedQuoted, QStringLiteral("'MNK','PET'"));
    EXPECT_EQ(w->checkedPlain, QStringLiteral("MNK,PET"));
    EXPECT_EQ(listedCodes(*w), QStringList({"MNK", "PET", "AAA", "BBB", "XYZ"}));
    EXPECT_EQ(tickedCodes(*w), QStringList({"MNK", "PET"}));
    EXPECT_EQ(w->curCode, QStringLiteral("AAA"));

    const std::pair<const char *, QStringList> buttons[] = {
        {"Button29", {"AAA", "BBB", "XYZ"}},
        {"Button28", {}},
        {"Button22", {"AAA", "BBB", "MNK", "PET", "XYZ"}}};
    for (const auto &[button, ticked] : buttons) {
        w->findChild<QPushButton *>(QString::fromLatin1(button))->click();
        EXPECT_EQ(tickedCodes(*w), ticked) << button;
        EXPECT_EQ(w->checkedStations, ticked) << button;
    }

    w->stas->item(0)->setCheckState(Qt::Unchecked);
    EXPECT_EQ(w->checkedPlain, QStringLiteral("BBB,MNK,PET,XYZ"));
    w.reset();
    EXPECT_TRUE(p.read("system/Brenvale.ini").contains(QStringLiteral("\r\nstations=BBB,MNK,PET,XYZ\r\n")));
}

TEST(StationSets, StationChoicesOfTheSummary)
{
    MessageRecorder recorder;
    Program p;
    auto w = p.startWith(QStringLiteral("flagbeg=0\r\n"), kStations);
    // The international code of a station; with the mark, a station without one shows as "/ code".
    const std::tuple<const char *, bool, const char *> codes[] = {{"PET", true, "PTK"},
                                                                  {"pet", false, "PTK"},
                                                                  {"XYZ", true, "/ XYZ"},
                                                                  {"XYZ", false, "XYZ"},
                                                                  {"GONE", true, "/ GONE"}};
    for (const auto &[code, mark, expected] : codes) {
        QString sta = QStringLiteral("old");
        w->CodeToSta(QString::fromLatin1(code), mark, sta);
        EXPECT_EQ(sta, QString::fromLatin1(expected)) << code << mark;
    }

    const struct
    {
        int svset;
        QStringList ticked;
        const char *current;
        QStringList list;
        const char *name;
    } cases[] = {
        {0, {"MNK", "PET"}, "AAA", {"AAA"}, "AAA"},
        {1, {"PET", "MNK"}, "AAA", {"MNK", "PET"}, "_multi"},
        {2, {}, "AAA", {"AAA"}, "AAA"},
        {2, {"PET"}, "PET", {"PET"}, "PET"},
        {2, {"PET"}, "AAA", {"AAA", "PET"}, "_multi"},
        {7, {"PET"}, "AAA", {}, "kept"},
    };
    for (const auto &c : cases) {
        w->sett.svset = c.svset;
        w->SetCheckedCodes(c.ticked);
        w->SelectStationByCode(QString::fromLatin1(c.current), true);
        QStringList list;
        QString name = QStringLiteral("kept");
        w->BuildStationSet(list, QString(), name);
        EXPECT_EQ(list, c.list) << c.svset;
        EXPECT_EQ(name, QString::fromLatin1(c.name)) << c.svset;
    }
    EXPECT_EQ(recorder.count(), 0);
}

} // namespace
