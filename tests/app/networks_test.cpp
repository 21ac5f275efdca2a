#include "app_test_helpers.h"

namespace {

TEST(Networks, CodeListsAndStationConditions)
{
    const struct
    {
        const char *stored, *sql;
        QStringList list;
    } nets[] = {{" PET;MNK ", "'MNK','PET'", {"MNK", "PET"}}, {";;", "", {}}, {"O'X;", "'O''X'", {"O'X"}}};
    for (const auto &n : nets) {
        const tnetcodes net = Tmainf::ParseNetwork(QStringLiteral(" east "), QString::fromLatin1(n.stored));
        EXPECT_EQ(net.netname, QStringLiteral(" east "));
        EXPECT_EQ(net.netlist, QString::fromLatin1(n.sql)) << n.stored;
        EXPECT_EQ(net.list ? *net.list : QStringList(), n.list) << n.stored;
        EXPECT_EQ(bool(net.list), !n.list.isEmpty()) << n.stored;
    }

    const tnetcodes east = Tmainf::ParseNetwork(QStringLiteral("east"), QStringLiteral("PET;MNK;"));
    const tnetcodes none = Tmainf::ParseNetwork(QStringLiteral("none"), QString());
    const QString arrivals = QStringLiteral(" where rtrim(sta) in (select distinct rtrim(sta) from arrival)");
    const struct
    {
        bool showEmpty;
        const tnetcodes *net;
        QString condition;
    } conditions[] = {
        {true, nullptr, QString()},
        {false, nullptr, arrivals},
        {true, &east, QStringLiteral(" where rtrim(sta) in ('MNK','PET')")},
        {false, &east, arrivals + QStringLiteral(" and rtrim(sta) in ('MNK','PET')")},
        {false, &none, QStringLiteral(" where nindex=-101")},
    };
    for (const auto &c : conditions)
        EXPECT_EQ(Tmainf::StationSiteCondition(c.showEmpty, c.net), c.condition);
}

// Four stations (PET stored blank-padded), arrivals at PET and KDN, and three networks: "east"
// (PET;MNK;), "empty" (NULL) and "semi" (";;").
template <class Env> class OrxStations : public OnBothBackends<Env>
{
protected:
    void SetUp() override
    {
        OnBothBackends<Env>::SetUp();
        if (this->IsSkipped())
            return;
        for (const char *sql : {
                 kSiteTable,
                 "create table networks (netname varchar(30),netlist varchar(255))",
                 "create table arrival (arid integer,sta varchar(10),itime float)",
                 "insert into site (sta,cod,descr,nindex) values ('PET  ','PTK','Петропавловск',1),"
                 "('MNK','MNKI','Минск',2),('KDN','KDN','Кадан',5),('ZZZ','ZZ','',3)",
                 "insert into arrival (arid,sta,itime) values (1,'PET ',100),(2,'KDN',200),(3,'KDN',20)",
                 "insert into networks (netname,netlist) values "
                 "('east','PET;MNK;'),('empty',null),('semi',';;')",
             })
            this->orx->exec(sql);
    }
    // The main window on this database in the ORX-only mode.
    std::unique_ptr<Tmainf> start(bool showEmpty, const QString &net)
    {
        return p.startWith(QStringLiteral("fullorx=1\r\norxini=0\r\nORX_source=%1\r\nORX_user=%2\r\n"
                                          "ORX_pass=%3\r\nshowempty=%4\r\nnet=%5\r\n")
                               .arg(this->orx->source(), this->orx->user(), this->orx->password())
                               .arg(int(showEmpty))
                               .arg(net),
                           QStringLiteral("[PET]\r\nsource=petdsn\r\nuser=pu\r\n"));
    }
    QStringList netlist(const char *name)
    {
        return this->orx->rows(QStringLiteral("select netlist from networks where netname='%1'").arg(name));
    }
    MessageRecorder recorder;
    ModalDialogCloser editorCloser; // add and update end in the station editor
    Program p;
};
TYPED_TEST_SUITE(OrxStations, BothBackends, BackendName);

TYPED_TEST(OrxStations, ListHoldsTheStationsOfTheChosenNetwork)
{
    const struct
    {
        bool showEmpty;
        const char *net;
        QStringList codes;
        int netRow;
    } cases[] = {
        {true, "", {"KDN", "MNK", "PET", "ZZZ"}, 0},
        {false, "", {"KDN", "PET"}, 0},
        {true, "east", {"MNK", "PET"}, 1},
        {false, "east", {"PET"}, 1},
        {true, "empty", {}, 2},
        {false, "semi", {}, 3},
        {true, "gone", {"KDN", "MNK", "PET", "ZZZ"}, 0},
    };
    for (const auto &c : cases) {
        auto w = this->start(c.showEmpty, QString::fromLatin1(c.net));
        EXPECT_EQ(this->recorder.count(), 0) << this->recorder.last().text.toStdString();
        EXPECT_EQ(listedCodes(*w), c.codes) << c.showEmpty << c.net;
        EXPECT_EQ(w->hlp->isVisibleTo(w.get()), c.codes.isEmpty());
        EXPECT_EQ(w->nets->count(), 4);
        EXPECT_EQ(w->nets->currentRow(), c.netRow);
    }
    // The site row and the station's own file keys meet in one station.
    auto w = this->start(true, QString());
    QString sta;
    w->CodeToSta(QStringLiteral("PET"), false, sta);
    EXPECT_EQ(sta, QStringLiteral("PTK"));
    const tstainfo &pet = w->stations[w->stas->item(2)->data(Qt::UserRole).toInt()];
    EXPECT_EQ(QStringList({pet.name, pet.source, pet.user}), QStringList({"Петропавловск", "petdsn", "pu"}));
}

TYPED_TEST(OrxStations, NetworkPanelOpensAndShowsTheCodesOnADoubleClick)
{
    auto &recorder = this->recorder;
    const std::unique_ptr<Tmainf> w = this->start(true, QStringLiteral("east"));
    w->show();
    QApplication::processEvents();
    auto *button = named<QPushButton>(w.get(), "Button27");
    auto *button5 = named(w.get(), "Button5");
    const int open = button5->x() + button5->width();
    EXPECT_LE(w->Panel8->width(), 2);
    button->click();
    QApplication::processEvents();
    EXPECT_EQ(w->Panel8->width(), open);
    EXPECT_EQ(button->text(), QStringLiteral("Список сетей <<"));
    button->click();
    QApplication::processEvents();
    EXPECT_LE(w->Panel8->width(), 2);
    EXPECT_EQ(button->text(), QStringLiteral("Список сетей >>"));
    button->click();
    QApplication::processEvents();

    // A double click on a network first chooses it (the window reloads), then shows its codes once.
    for (int row : {1, 0}) {
        recorder.clear();
        QWidget *viewport = w->nets->viewport();
        const QPoint at = w->nets->visualItemRect(w->nets->item(row)).center();
        mouseClick(viewport, at);
        QApplication::processEvents();
        EXPECT_EQ(w->nets->currentRow(), row);
        mouse(viewport, QEvent::MouseButtonDblClick, at);
        mouse(viewport, QEvent::MouseButtonRelease, at);
        QApplication::processEvents();
        EXPECT_EQ(
            shown(recorder),
            QList<Shown>(
                {{row ? QStringLiteral("Коды станций сети: 'MNK','PET'")
                      : QStringLiteral("Эта \"сеть\" состоит из всех станций, которые есть в таблице SITE."),
                  64}}));
    }
    EXPECT_EQ(w->Panel8->width(), open); // the reloads keep the panel open
}

TYPED_TEST(OrxStations, NetworkEditsChangeTheRows)
{
    auto &recorder = this->recorder;
    auto w = this->start(true, QString());
    w->nets->setCurrentRow(1);
    w->SetCheckedCodes({"ZZZ", "KDN"});

    w->Button39Click();
    EXPECT_TRUE(w->netAddMode);
    EXPECT_EQ(recorder.last().icon, 64u);
    w->nets->setCurrentRow(0);
    w->netsClick();
    EXPECT_EQ(recorder.last().text,
              QStringLiteral("Нельзя выбирать <<< все станции >>>!\rВыберите конкретную сеть."));
    EXPECT_TRUE(w->netAddMode);
    w->nets->setCurrentRow(1);
    w->netsClick();
    EXPECT_FALSE(w->netAddMode);
    EXPECT_EQ(this->netlist("east"), QStringList({"MNK;PET;KDN;ZZZ;"}));
    // The reload keeps the chosen network and the ticks.
    EXPECT_EQ(w->nets->currentRow(), 1);
    EXPECT_EQ(listedCodes(*w), QStringList({"KDN", "ZZZ", "MNK", "PET"}));

    w->Button39Click();
    w->netsClick();
    EXPECT_EQ(lastShown(recorder), Shown("Все отмеченные галочками станции уже принадлежат", 48));
    EXPECT_FALSE(w->netAddMode);

    // ">" keeps the others, in the reverse of their stored order; removing the last writes NULL.
    w->Button40Click();
    EXPECT_EQ(this->netlist("east"), QStringList({"PET;MNK;"}));
    w->SetCheckedCodes({"MNK", "PET", "KDN"});
    w->Button40Click();
    EXPECT_EQ(this->netlist("east"), QStringList({"<null>"}));

    recorder.clear();
    recorder.answer({IDYES});
    answerPrompt(QStringLiteral("Имя сети"), QStringLiteral("O'Net"));
    w->Button37Click();
    const QString count = QStringLiteral("select count(*) from networks where netname='O''Net'");
    EXPECT_EQ(this->orx->rows(count), QStringList({"1"}));
    const QList<QListWidgetItem *> added = w->nets->findItems(QStringLiteral("O'Net"), Qt::MatchExactly);
    ASSERT_EQ(added.size(), 1);

    w->nets->setCurrentRow(0);
    w->Button38Click();
    EXPECT_EQ(recorder.count(), 0);
    w->nets->setCurrentRow(w->nets->row(added.first()));
    w->Button38Click();
    EXPECT_EQ(recorder.last().text, QStringLiteral("Удалить сеть?"));
    EXPECT_EQ(this->orx->rows(count), QStringList({"0"}));
    EXPECT_EQ(recorder.count(), 1);
}

// A network is known by its name: one typed empty, or of blanks only, is refused and no row is written.
TYPED_TEST(OrxStations, EmptyNetworkNameIsRefused)
{
    auto w = this->start(true, QStringLiteral("east"));
    const QStringList rows = this->orx->rows(QStringLiteral("select netname from networks order by netname"));
    for (const char *name : {"", "   "}) {
        this->recorder.clear();
        answerPrompt(QStringLiteral("Имя сети"), QString::fromLatin1(name));
        w->Button37Click();
        EXPECT_EQ(shown(this->recorder),
                  QList<Shown>({{QStringLiteral("Не задано имя сети"), MB_ICONWARNING}}))
            << '"' << name << '"';
        EXPECT_EQ(this->orx->rows(QStringLiteral("select netname from networks order by netname")), rows);
        EXPECT_EQ(w->nets->count(), 4);
        EXPECT_EQ(w->nets->currentItem()->text(), QStringLiteral("east"));
    }
}

TYPED_TEST(OrxStations, StationsWithArrivalsInThePeriod)
{
    auto &recorder = this->recorder;
    auto w = this->start(true, QString());
    w->sett.svset = 3;
    Tdm &dm = this->p.dm;
    const ConnParams orx = w->GetOrxConnParams(w->sett);
    ASSERT_TRUE(dm.OpenDB_ADO(dm.conPubs, orx.source, orx.user, orx.password));
    const struct
    {
        int netRow;
        const char *period;
        QStringList codes;
        const char *name;
    } cases[] = {
        {0, "itime>=60", {"KDN", "PET"}, "_multi"},
        {1, "itime>=60", {"PET"}, "PET"},
        // A network without stations narrows nothing.
        {2, "itime>=60", {"KDN", "PET"}, "_multi"},
        {3, "itime>=60", {"KDN", "PET"}, "_multi"},
        {0, "itime>500", {}, ""},
        {0, "nosuchcolumn>1", {}, ""},
    };
    for (const auto &c : cases) {
        w->nets->setCurrentRow(c.netRow);
        QStringList list;
        QString name = QStringLiteral("old");
        w->BuildStationSet(list, QString::fromLatin1(c.period), name);
        EXPECT_EQ(list, c.codes) << c.netRow << c.period;
        EXPECT_EQ(name, QString::fromLatin1(c.name));
    }
    // Only the bad statement is reported, through the error procedure.
    ASSERT_EQ(recorder.count(), 1);
    EXPECT_TRUE(recorder.last().error);
    dm.CloseDB_ADO(dm.conPubs);
}

TYPED_TEST(OrxStations, AddUpdateAndDeleteWriteTheSiteTable)
{
    auto &recorder = this->recorder;
    auto w = this->start(true, QString());
    w->nosearch->setChecked(true);
    const auto enter = [&](const QString &name, const QString &sta, const QString &code) {
        recorder.answer({IDYES});
        w->Edit2->setText(name);
        w->Cod_stac->setEditText(sta);
        w->icod_stac->setEditText(code);
        w->Button1Click();
    };
    const auto site = [this](const char *sta) {
        return this->orx->rows(QStringLiteral("select cod,descr,nindex from site where rtrim(sta)='%1'")
                                   .arg(QLatin1String(sta)));
    };
    enter(QStringLiteral("Новая"), QStringLiteral("NWX"), QStringLiteral("NEW"));
    EXPECT_EQ(site("NEW"), QStringList({"NWX|Новая|6"}));
    enter(QStringLiteral("Петропавловск-Камчатский"), QStringLiteral("PTKK"), QStringLiteral("PET"));
    EXPECT_EQ(site("PET"), QStringList({"PTKK|Петропавловск-Камчатский|1"}));

    recorder.answer({IDYES});
    w->SelectStationByCode(QStringLiteral("MNK"), true);
    w->Button5Click();
    EXPECT_TRUE(site("MNK").isEmpty());
    for (const auto &m : recorder.messages())
        EXPECT_EQ(m.icon, 32u) << m.text.toStdString();
}

// Moving through the network list by keys or by the program chooses the network as a click does: the
// station list and the current station follow; a station outside the new network gives way to the first
// one listed, whose fields and caption are shown.
TYPED_TEST(OrxStations, ChosenNetworkFollowsTheSelection)
{
    auto w = this->start(true, QString());
    w->SelectStationByCode(QStringLiteral("KDN"), true);
    const auto expect = [&](int netRow, const QStringList &codes, const char *code, const char *name,
                            const char *sta) {
        SCOPED_TRACE(netRow);
        EXPECT_EQ(w->nets->currentRow(), netRow);
        EXPECT_EQ(listedCodes(*w), codes);
        EXPECT_EQ(w->curCode, QString::fromLatin1(code));
        EXPECT_EQ(w->windowTitle(),
                  QStringLiteral("Brenvale - ORX - %1 (%2, %3)")
                      .arg(QString::fromUtf8(name), QLatin1String(sta), QLatin1String(*code ? code : "MNK")));
        if (!codes.isEmpty()) {
            EXPECT_EQ(w->stas->currentRow(), codes.indexOf(QString::fromLatin1(code)));
            EXPECT_EQ(shownTexts(w.get(), {"Edit2", "Cod_stac", "icod_stac"}),
                      QStringList({QString::fromUtf8(name), sta, code}));
        }
    };
    pressKey(w->nets, Qt::Key_Down);
    expect(1, {"MNK", "PET"}, "MNK", "Минск", "MNKI");
    pressKey(w->nets, Qt::Key_Down); // an empty network: the caption stays
    expect(2, {}, "", "Минск", "MNKI");
    w->nets->setCurrentRow(0);
    QApplication::processEvents();
    expect(0, {"KDN", "MNK", "PET", "ZZZ"}, "KDN", "Кадан", "KDN");
    EXPECT_EQ(this->recorder.count(), 0) << this->recorder.last().text.toStdString();
}

} // namespace
