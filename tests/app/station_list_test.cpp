#include "app_test_helpers.h"

namespace {

// PET is written twice, MNK has no keys at all, XYZ an empty international code.
const QString kStations = QStringLiteral("[PET]\r\nname=Петропавловск\r\ncode=PTK\r\nuser=u1\r\npass=p1\r\n"
                                         "source=petdsn\r\n[MNK]\r\n[XYZ]\r\ncode=\r\nname=Ялта\r\n"
                                         "[PET]\r\nsvodka_dir=/pet\r\n");

TEST(StationList, LoadsStationsIniWithDefaultsAndSearches)
{
    MessageRecorder recorder;
    Program p;
    auto w = p.startWith({}, kStations);
    EXPECT_EQ(shown(recorder), QList<Shown>({{"Дублирование записи станции PET (2 одинаковых)", 48}}));
    EXPECT_EQ(listedCodes(*w), QStringList({"MNK", "PET", "XYZ"}));
    ASSERT_EQ(w->stations.size(), 3);
    const tstainfo &mnk = w->stations[w->stas->item(0)->data(Qt::UserRole).toInt()];
    EXPECT_EQ(QStringList({mnk.sta, mnk.user, mnk.name}), QStringList({"MNK", "admin", ""}));
    const tstainfo &pet = w->stations[w->stas->item(1)->data(Qt::UserRole).toInt()];
    EXPECT_EQ(QStringList({pet.sta, pet.source, pet.pass}), QStringList({"PTK", "petdsn", "p1"}));
    // The first item is current.
    EXPECT_EQ(w->curCode, QStringLiteral("MNK"));
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Brenvale - БДСТБЮЛ - MNK, MNK"));
    EXPECT_FALSE(w->hlp->isVisibleTo(w.get()));

    // Searching by name and by either code, unless searching is off.
    recorder.clear();
    const struct
    {
        const char *control;
        const char *text;
        bool nosearch;
        const char *current; // after the search, starting from MNK
    } cases[] = {
        {"Edit2", "пет", false, "PET"},   {"Edit2", "ЯЛ", false, "XYZ"},     {"Cod_stac", "PT", false, "PET"},
        {"Cod_stac", "PE", false, "MNK"}, {"icod_stac", "PE", false, "PET"}, {"Edit2", "пет", true, "MNK"},
    };
    for (const auto &c : cases) {
        w->SelectStationByCode(QStringLiteral("MNK"), true);
        w->nosearch->setChecked(c.nosearch);
        const QString text = QString::fromUtf8(c.text);
        if (QString::fromLatin1(c.control) == QLatin1String("Edit2"))
            w->Edit2->setText(text);
        else
            w->findChild<QComboBox *>(QString::fromLatin1(c.control))->setEditText(text);
        EXPECT_EQ(w->curCode, QString::fromLatin1(c.current)) << c.control << " " << c.text;
    }
    EXPECT_EQ(recorder.count(), 0);
}

TEST(StationList, CodeFieldsTakeOnlyWhatTheKeyFilterPasses)
{
    const std::pair<char16_t, char16_t> keys[] = {{u'p', u'P'}, {u'7', u'7'}, {u'з', u'P'}, {u'Ф', u'A'},
                                                  {u'-', 0},    {u'\'', 0},   {8, 8}};
    for (const auto &[key, passes] : keys)
        EXPECT_EQ(Tmainf::Cod_staKeyPress(QChar(key)), QChar(passes)) << int(key);

    MessageRecorder recorder;
    Program p;
    p.writeGlobal();
    auto w = p.start();
    // Pasted text is filtered the same way as typed keys.
    w->nosearch->setChecked(true);
    w->icod_stac->lineEdit()->insert(QStringLiteral("pe-т 1'"));
    EXPECT_EQ(w->icod_stac->currentText(), QStringLiteral("PEN1"));
    w->Cod_stac->lineEdit()->insert(QStringLiteral("ab"));
    EXPECT_EQ(w->Cod_stac->currentText(), QStringLiteral("AB"));
    // Leaving a code field keeps a code of three characters or more for the drop-down list.
    w->Cod_staExit(w->icod_stac);
    w->Cod_staExit(w->Cod_stac);
    EXPECT_GE(w->icod_stac->findText(QStringLiteral("PEN1")), 0);
    EXPECT_LT(w->Cod_stac->findText(QStringLiteral("AB")), 0);
}

TEST(StationList, OrderFollowsTicksAndNames)
{
    struct Case
    {
        int flagbeg, shownames;
        const char *ticked;
        QStringList order;
    } cases[] = {
        {0, 0, "CCC", {"AAA", "BBB", "CCC", "DDD"}},
        {1, 0, "CCC", {"CCC", "AAA", "BBB", "DDD"}},
        {0, 1, "DDD", {"CCC", "BBB", "AAA", "DDD"}},
        {1, 1, "DDD,AAA", {"AAA", "DDD", "CCC", "BBB"}},
    };
    for (const Case &c : cases) {
        MessageRecorder recorder;
        Program p;
        auto w =
            p.startWith(QStringLiteral("flagbeg=%1\r\nshownames=%2\r\nstations=%3\r\n")
                            .arg(c.flagbeg)
                            .arg(c.shownames)
                            .arg(QString::fromLatin1(c.ticked)),
                        QStringLiteral("[DDD]\r\n[BBB]\r\nname=ялта\r\n[AAA]\r\n[CCC]\r\nname=Анадырь\r\n"));
        EXPECT_EQ(listedCodes(*w), c.order) << c.flagbeg << c.shownames;
        // The start selects the first station read, and the sort keeps it selected.
        EXPECT_EQ(w->curCode, QStringLiteral("AAA"));
    }
}

TEST(StationList, AddUpdateAndDeleteStations)
{
    MessageRecorder recorder;
    ModalDialogCloser editorCloser; // add and update end in the station editor
    Program p;
    auto w = p.startWith({}, kStations);
    recorder.clear();
    w->nosearch->setChecked(true);
    const auto enter = [&](const QString &name, const QString &sta, const QString &code) {
        w->Edit2->setText(name);
        w->Cod_stac->setEditText(sta);
        w->icod_stac->setEditText(code);
        w->Button1Click();
    };

    enter(QStringLiteral("Без кода"), QStringLiteral("AAA"), QString());
    EXPECT_EQ(shown(recorder), QList<Shown>({{"Не задан код станции", 48}}));

    recorder.answer({IDNO});
    enter(QStringLiteral("Новая"), QStringLiteral("NWX"), QStringLiteral("NEW"));
    EXPECT_EQ(recorder.last().text, QStringLiteral("Это новая запись.\rДобавить?"));
    EXPECT_EQ(recorder.last().buttons, unsigned(MB_YESNO));
    EXPECT_FALSE(p.read("system/Stations.ini").contains(QStringLiteral("[NEW]")));

    recorder.answer({IDYES});
    w->Button1Click();
    EXPECT_TRUE(
        p.read("system/Stations.ini").contains(QStringLiteral("[NEW]\r\nname=Новая\r\ncode=NWX\r\n")));
    EXPECT_EQ(listedCodes(*w), QStringList({"MNK", "NEW", "PET", "XYZ"}));
    EXPECT_EQ(QStringList({w->curCode, w->curSta}), QStringList({"NEW", "NWX"}));

    recorder.answer({IDYES});
    enter(QStringLiteral("Петропавловск-К"), QStringLiteral("PTKK"), QStringLiteral("PET"));
    EXPECT_EQ(recorder.last().text, QStringLiteral("Такая запись уже существует.\rЗаменить?"));
    EXPECT_EQ(w->stations.size(), 4);
    EXPECT_EQ(w->curName, QStringLiteral("Петропавловск-К"));
    EXPECT_TRUE(
        p.read("system/Stations.ini").contains(QStringLiteral("name=Петропавловск-К\r\ncode=PTKK\r\n")));

    // Deleting the last item selects the new last one; its settings are not written back, neither
    // by the next change nor at the end.
    recorder.answer({IDYES});
    w->SelectStationByCode(QStringLiteral("XYZ"), true);
    w->Button5Click();
    EXPECT_EQ(recorder.last().text, QStringLiteral("Удалить?"));
    EXPECT_EQ(w->curCode, QStringLiteral("PET"));
    for (int i = 0; i < 3; ++i) {
        recorder.answer({IDYES});
        w->Button5Click();
    }
    EXPECT_EQ(w->stas->count(), 0);
    EXPECT_FALSE(w->stas->isEnabled());
    w.reset();
    EXPECT_EQ(p.read("system/Stations.ini"), QString());
}

TEST(StationList, BulletinDatabaseOfAStation)
{
    MessageRecorder recorder;
    Program p;
    const QString access = p.path("pet.mdb");
    writeBytes(access, "x");
    auto w = p.startWith(QStringLiteral("orxini=0\r\nORX_source=orxdsn\r\nORX_user=ou\r\n"),
                         QStringLiteral("[PET]\r\nsource=petdsn\r\nuser=u1\r\npass=p1\r\nout_file_jet=%1\r\n"
                                        "[MNK]\r\nout_file_jet=/nowhere.mdb\r\n")
                             .arg(access));
    struct Case
    {
        const char *station; // empty: nothing selected
        int startMode, outProvider;
        bool silent, result;
        QString source;
        bool missing; // reported as not found
    } cases[] = {
        {"", 1, 0, false, false, "", 0},       {"PET", 0, 0, false, true, "orxdsn", 0},
        {"PET", 1, 0, false, true, access, 0}, {"MNK", 1, 0, false, false, "", 1},
        {"MNK", 1, 0, true, false, "", 0},     {"PET", 1, 1, false, true, "petdsn", 0},
    };
    for (const Case &c : cases) {
        recorder.clear();
        w->sett.start_mode = c.startMode;
        w->sett.out_provider = c.outProvider;
        w->SelectStationByCode(QString::fromLatin1(c.station), false);
        if (!*c.station) {
            const QSignalBlocker quiet(w->stas);
            w->stas->clearSelection();
        }
        QString source, user, password;
        EXPECT_EQ(w->GetStationDBParams(source, user, password, -1, c.silent), c.result) << c.station;
        EXPECT_EQ(source, c.source) << c.station << c.startMode;
        EXPECT_EQ(shown(recorder),
                  c.missing
                      ? QList<Shown>({{"База данных Access не найдена!\rПроверьте путь и имя файла.", 16}})
                      : QList<Shown>());
    }
    // An index of its own names the array entry, whatever is selected.
    QString source, user, password;
    w->sett.out_provider = 1;
    w->stas->clearSelection();
    ASSERT_TRUE(w->GetStationDBParams(source, user, password, 1, false));
    EXPECT_EQ(source + user + password, QStringLiteral("petdsnu1p1"));
}

// However the list's selection moves (keys, mouse, the program), the current station, its fields, the
// caption, its settings and its bulletin database are those of the highlighted item.
TEST(StationList, CurrentStationFollowsTheSelectionHoweverItMoves)
{
    MessageRecorder recorder;
    Program p;
    auto w =
        p.startWith(QStringLiteral("out_provider=1\r\n"),
                    QStringLiteral("[AAA]\r\nname=Анадырь\r\ncode=ANA\r\nsource=anadsn\r\nfind_fstr=a\r\n"
                                   "[BBB]\r\nsource=bdsn\r\nfind_fstr=b\r\n"
                                   "[CCC]\r\nname=Ялта\r\ncode=\r\nsource=cdsn\r\nfind_fstr=c\r\n"));
    w->resize(1000, 700);
    w->show();
    ASSERT_EQ(listedCodes(*w), QStringList({"AAA", "BBB", "CCC"}));
    ASSERT_EQ(w->curCode, QStringLiteral("AAA"));
    const auto expect = [&](const char *how, const char *code, const char *sta, const char *name,
                            const char *caption, const char *source) {
        SCOPED_TRACE(how);
        EXPECT_EQ(QStringList({w->curCode, w->curSta, w->curName}),
                  QStringList({code, sta, QString::fromUtf8(name)}));
        EXPECT_EQ(shownTexts(w.get(), {"icod_stac", "Cod_stac", "Edit2"}),
                  QStringList({code, sta, QString::fromUtf8(name)}));
        EXPECT_EQ(w->windowTitle(), QStringLiteral("Brenvale - БДСТБЮЛ - ") + QString::fromUtf8(caption));
        QString src, user, password;
        EXPECT_TRUE(w->GetStationDBParams(src, user, password, -1, false));
        EXPECT_EQ(src, QString::fromLatin1(source));
    };
    // The station left keeps what was set for it; the one reached shows its own.
    w->sett.find_fstr = QStringLiteral("kept A");
    pressKey(w->stas, Qt::Key_Down);
    expect("arrow down", "BBB", "BBB", "", "BBB, BBB", "bdsn");
    EXPECT_EQ(w->sett.find_fstr, QStringLiteral("b"));
    EXPECT_TRUE(p.read("system/Stations.ini").contains(QStringLiteral("find_fstr=kept A")));
    pressKey(w->stas, Qt::Key_End);
    expect("end key", "CCC", "", "Ялта", "Ялта (?, CCC)", "cdsn");
    w->sett.find_fstr = QStringLiteral("kept C");
    w->stas->setCurrentRow(1);
    expect("the program", "BBB", "BBB", "", "BBB, BBB", "bdsn");
    EXPECT_TRUE(p.read("system/Stations.ini").contains(QStringLiteral("find_fstr=kept C")));
    mouseClick(w->stas->viewport(), w->stas->visualItemRect(w->stas->item(0)).center());
    expect("mouse", "AAA", "ANA", "Анадырь", "Анадырь (ANA, AAA)", "anadsn");
    EXPECT_EQ(w->sett.find_fstr, QStringLiteral("kept A"));
    pressKey(w->stas, Qt::Key_Up); // at the top: nothing changes
    expect("arrow up at the top", "AAA", "ANA", "Анадырь", "Анадырь (ANA, AAA)", "anadsn");
    EXPECT_EQ(w->sett.find_fstr, QStringLiteral("kept A"));
    EXPECT_EQ(recorder.count(), 0);
}

// With the ORX source missing the list stays empty; the shutdown keeps the stored station, ticks and
// network rather than writing blanks over them.
TEST(StationList, ListThatCouldNotLoadKeepsTheStoredChoice)
{
    MessageRecorder recorder;
    Program p;
    auto w = p.startWith(QStringLiteral("fullorx=1\r\norxini=0\r\nORX_source=%1\r\nstation_code=PET\r\n"
                                        "stations=MNK,PET\r\nnet=east\r\n")
                             .arg(p.path("missing/orx.db")),
                         QStringLiteral("[PET]\r\n[MNK]\r\n"));
    EXPECT_GE(recorder.count(), 1);
    EXPECT_EQ(w->stas->count(), 0);
    EXPECT_TRUE(w->curCode.isEmpty());
    w.reset();
    const QString ini = p.read("system/Brenvale.ini");
    for (const char *kept : {"station_code=PET\r\n", "stations=MNK,PET\r\n", "net=east\r\n"})
        EXPECT_TRUE(ini.contains(QString::fromLatin1(kept))) << kept << "\n" << ini.toStdString();
}

// In the ORX-only mode a new station whose code the site table cannot hold is refused with the column
// named, on both back ends, and neither the site table nor the list takes it.
template <class Env> class StationListOrx : public OnBothBackends<Env>
{
};
TYPED_TEST_SUITE(StationListOrx, BothBackends, BackendName);

TYPED_TEST(StationListOrx, CodeLongerThanTheSiteColumnIsRefused)
{
    this->orx->exec(kSiteTable);
    this->orx->exec("insert into site (sta,cod,descr) values ('PET','PTK','Петропавловск')");
    ProgramWindow o;
    o.useOrx(this->orx->source(), this->orx->user(), this->orx->password());
    o.addStation(QStringLiteral("PET"), QStringLiteral("PTK"), QStringLiteral("Петропавловск"));
    const QStringList listed = listedCodes(*o.w);
    o.rec.clear();
    o.rec.answer({IDYES});
    o.w->nosearch->setChecked(true);
    o.w->Edit2->setText(QStringLiteral("Новая"));
    o.w->Cod_stac->setEditText(QStringLiteral("NWX"));
    o.w->icod_stac->setEditText(QStringLiteral("NEWSTATION1"));
    o.w->Button1Click();
    EXPECT_EQ(
        shown(o.rec),
        QList<Shown>({{QStringLiteral("Это новая запись.\rДобавить?"), 32},
                      {QStringLiteral("Не удалось добавить станцию. Сообщение об ошибке:\rЗначение "
                                      "\"NEWSTATION1\" (11 символов) не помещается в поле \"sta\" таблицы "
                                      "\"site\": в нём не более 10 символов"),
                       16}}));
    EXPECT_EQ(this->orx->rows(QStringLiteral("select sta from site")), QStringList({"PET"}));
    EXPECT_EQ(listedCodes(*o.w), listed);
    EXPECT_EQ(o.w->curCode, QStringLiteral("PET"));
}

} // namespace
