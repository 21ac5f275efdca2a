#include "app/settings/mail_settings_grid.h"
#include "app/settings/param_dialog.h"
#include "app_test_helpers.h"
#include "lib/data_sources.h"

#include <QRadioButton>
#include <QScopeGuard>

#include <stdexcept>

namespace {

// The main window's record: the global mail header comes from here.
Tsett &mainSett()
{
    static Tsett s = [] {
        Tsett m;
        std::tie(m.mail_from, m.mail_recv, m.mail_cc, m.mail_subj) =
            std::tuple("global@obs.ru", "centre@obs.ru", "archive@obs.ru", "Сводка сети");
        return m;
    }();
    Tpar::SetMainSettings(&s);
    return s;
}

QStringList gridValues(const QTableWidget *grid)
{
    QStringList values;
    for (int row = 0; row < 4; ++row)
        values << MailGridValue(grid, row);
    return values;
}

Tsett stationSett()
{
    Tsett s;
    s.start_date = EncodeDate(2021, 3, 5) + EncodeTime(14, 7, 9, 0);
    s.end_date = EncodeDate(2021, 3, 6);
    s.svodka_date = EncodeDate(2022, 1, 31);
    s.svodka_dir = QStringLiteral("/data/svodki");
    s.multi_name = QStringLiteral("_все");
    s.svset = 2;
    s.exp_start_date = EncodeDate(2020, 2, 28);
    s.exp_end_date = EncodeDate(2020, 2, 29);
    s.exp_dir = QStringLiteral("/data/exp");
    s.expset = 3;
    std::tie(s.smp1, s.smp2, s.smp3) = std::tuple("ev*.txt", "st*.txt", "xm*.txt");
    std::tie(s.mails_from, s.mails_recv, s.mails_cc, s.mails_subj) =
        std::tuple("st1@obs.ru", "boss@obs.ru", "cc@obs.ru", "Сводка станции");
    s.mails_global = s.maile_global = false;
    s.mails_send = s.maile_send = true;
    s.maile_from = QStringLiteral("exp@obs.ru");
    std::tie(s.find_rfstr, s.find_rstr, s.find_ropt) = std::tuple("было", "стало", 2);
    return s;
}

const QStringList FindReplaceLabels{QStringLiteral("Искать_Заменить на"), QStringLiteral("Настройка поиска"),
                                    QStringLiteral("везде"), QStringLiteral("вперёд"),
                                    QStringLiteral("назад")};

class ParamDialog : public ::testing::Test
{
protected:
    void SetUp() override { mainSett(); }
    Tsett s = stationSett();
};

TEST_F(ParamDialog, EachModeShowsItsControlsAndValues)
{
    const struct
    {
        int mode;
        QStringList labels;
        // name, or name=text as shown
        QStringList shown;
    } cases[] = {
        {0,
         {},
         {"Label21=Дата старта", "Start_ORX=05.03.2021 14:07:09", "Label22=Дата окончания",
          "Stop_ORX=06.03.2021 00:00:00"}},
        {1,
         {},
         {"Label21=Дата", "svodka_Date=31.01.2022", "Label22", "dir=/data/svodki", "sfb", "mydoc", "Label5",
          "multi_name=_все", "rsgb=Делать сводку по...", "rs1", "rs2", "rs3", "rs4", "dperiod", "useflag",
          "sg1", "mail_send=Отправлять сводку по почте", "mail_global", "mails_att"}},
        {2,
         {},
         {"Label21=Дата старта", "svodka_Date=28.02.2020", "Label22=Дата окончания", "End_Date=29.02.2020",
          "Label1=Директория", "dir=/data/exp", "sfb", "mydoc", "rsgb=Экспортировать данные по...", "rs1",
          "rs2", "rs3", "rs4", "sg1", "mail_send=Отправлять экспорт по почте", "mail_global"}},
        {3,
         {},
         {"Label21=События", "dir=ev*.txt", "Label22=Станц.бюллетень", "stb=st*.txt", "Label1=Дин.замеры",
          "xm=xm*.txt"}},
        {4, {QStringLiteral("Идентификатор события")}, {"Label1=Идентификатор события", "dir="}},
        {4,
         FindReplaceLabels,
         {"Label1=Искать", "dir=было", "Label4=Заменить на", "stb=стало", "rsgb=Настройка поиска",
          "rs1=везде", "rs2=вперёд", "rs3=назад"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.mode);
        Tsett s = stationSett();
        Tpar par;
        par.Setup(c.mode, &s, c.labels);
        // Enter in the first field takes the dialog, as OK does; it never opens the folder choice.
        {
            ModalDialogCloser closer;
            par.show();
            QApplication::setActiveWindow(&par);
            ASSERT_NE(par.focusWidget(), nullptr);
            typeKeys(par.focusWidget(), QStringLiteral("\r"));
            EXPECT_EQ(par.result(), QDialog::Accepted);
            EXPECT_EQ(closer.closed(), 0);
            // Enter on Cancel gives the dialog up.
            par.show();
            QApplication::setActiveWindow(&par);
            par.Button2->setFocus();
            typeKeys(par.Button2, QStringLiteral("\r"));
            EXPECT_EQ(par.result(), QDialog::Rejected);
        }
        QStringList expected = c.shown;
        expected << QStringLiteral("Button1=OK") << QStringLiteral("Button2=Отмена");
        for (QWidget *w : par.findChildren<QWidget *>()) {
            if (w->objectName().isEmpty() || w->objectName().startsWith(QLatin1String("qt_")))
                continue;
            const QString name = w->objectName();
            auto it = std::find_if(expected.begin(), expected.end(), [&](const QString &e) {
                return e == name || e.startsWith(name + QLatin1Char('='));
            });
            EXPECT_EQ(w->isVisibleTo(&par), it != expected.end()) << name.toStdString();
            if (it != expected.end() && it->contains(QLatin1Char('='))) {
                auto *button = qobject_cast<QAbstractButton *>(w); // check boxes by their captions here
                EXPECT_EQ(button ? button->text() : shownText(w), it->section(QLatin1Char('='), 1))
                    << name.toStdString();
            }
        }
    }
}

TEST_F(ParamDialog, OkCopiesTheChoicesIntoTheRecord)
{
    {
        Tpar par;
        par.Setup(1, &s);
        EXPECT_EQ(par.RadioIndex(), 2);
        EXPECT_FALSE(par.useflag->isEnabled()); // only the ORX-only mode reads the flag
        par.svodka_Date->setDate(QDate(2022, 2, 1));
        par.mydoc->click();
        par.rs4->setChecked(true);
        par.dperiod->setChecked(false);
        par.multi_name->setText(QStringLiteral("_all"));
        SetMailGridValue(par.sg1, 3, QStringLiteral("Тема"));
        par.mails_att->setChecked(true);
        par.Button1->click();
        EXPECT_EQ(par.result(), QDialog::Accepted);
    }
    EXPECT_EQ(
        std::tuple(s.svodka_date, s.svodka_dir, s.svset, s.dperiod, s.multi_name, s.mails_subj),
        std::tuple(EncodeDate(2022, 2, 1), GetPersonalFolder(), 3, false, QString("_all"), QString("Тема")));
    EXPECT_TRUE(s.mails_att && s.mails_send && !s.mails_global);

    {
        Tpar par;
        par.Setup(2, &s);
        EXPECT_EQ(par.RadioIndex(), 3);
        par.End_Date->setDate(QDate(2020, 3, 1));
        par.rs1->setChecked(true);
        par.mail_send->click();
        par.Button1->click();
    }
    EXPECT_EQ(std::tuple(s.exp_start_date, s.exp_end_date, s.expset, s.maile_send, s.maile_from),
              std::tuple(EncodeDate(2020, 2, 28), EncodeDate(2020, 3, 1), 0, false, QString("exp@obs.ru")));

    // No record: the main window's.
    {
        Tpar par;
        par.Setup(3, nullptr);
        par.xm->setText(QStringLiteral("dz*.dat"));
        par.Button1->click();
    }
    EXPECT_EQ(mainSett().smp3, QStringLiteral("dz*.dat"));
}

TEST_F(ParamDialog, MailControlsFollowTheSwitches)
{
    const QStringList own{"st1@obs.ru", "boss@obs.ru", "cc@obs.ru", "Сводка станции"};
    const QStringList global{"global@obs.ru", "centre@obs.ru", "archive@obs.ru", "Сводка сети"};
    struct Case
    {
        bool send, global;
        bool globalEnabled, gridEnabled;
        QStringList grid;
    } cases[] = {
        {true, true, true, false, global},
        {false, true, false, false, global},
        {false, false, false, false, own},
        {true, false, true, true, own},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(QStringLiteral("send %1 global %2").arg(c.send).arg(c.global).toStdString());
        Tsett s = stationSett();
        s.mails_send = c.send;
        s.mails_global = c.global;
        Tpar par;
        par.Setup(1, &s);
        EXPECT_EQ(par.mail_global->isEnabled(), c.globalEnabled);
        EXPECT_EQ(par.mails_att->isEnabled(), c.globalEnabled);
        EXPECT_EQ(par.sg1->isEnabled(), c.gridEnabled);
        EXPECT_EQ(par.sg1->palette().color(QPalette::Base),
                  QApplication::palette().color(c.gridEnabled ? QPalette::Base : QPalette::Button));
        EXPECT_EQ(gridValues(par.sg1), c.grid);
        par.Button1->click();
        // The station's own header survives whatever the grid showed.
        EXPECT_EQ((QStringList{s.mails_from, s.mails_recv, s.mails_cc, s.mails_subj}), own);
    }
}

TEST_F(ParamDialog, SwitchingToGlobalAndBackRestoresTypedValues)
{
    Tpar par;
    par.Setup(1, &s);
    SetMailGridValue(par.sg1, 1, QStringLiteral("typed@obs.ru"));
    par.mail_global->click();
    EXPECT_FALSE(par.sg1->isEnabled());
    EXPECT_EQ(MailGridValue(par.sg1, 1), QStringLiteral("centre@obs.ru"));
    par.mail_global->click();
    EXPECT_TRUE(par.sg1->isEnabled());
    EXPECT_EQ(gridValues(par.sg1),
              (QStringList{"st1@obs.ru", "typed@obs.ru", "cc@obs.ru", "Сводка станции"}));
    par.Button1->click();
    EXPECT_EQ(s.mails_recv, QStringLiteral("typed@obs.ru"));
}

TEST_F(ParamDialog, PromptWritesOnlyTheSearchSettings)
{
    struct Case
    {
        QStringList labels;
        const char *find_fstr, *find_rfstr, *find_rstr;
        int find_fopt, find_ropt;
    } cases[] = {
        {FindReplaceLabels, "", "новое", "стало", 0, 0},
        {{QStringLiteral("Искать"), QStringLiteral("Настройка поиска"), QStringLiteral("a"),
          QStringLiteral("b")},
         "новое",
         "было",
         "стало",
         0,
         2},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.labels.join(QLatin1Char('|')).toStdString());
        Tsett s = stationSett();
        Tpar par;
        par.Setup(4, &s, c.labels);
        EXPECT_FALSE(par.rs4->isVisibleTo(&par));
        par.dir->setText(QStringLiteral("новое"));
        par.rs1->setChecked(true);
        par.Button1->click();
        EXPECT_EQ(std::tuple(s.find_fstr, s.find_rfstr, s.find_rstr, s.find_fopt, s.find_ropt),
                  std::tuple(QString(c.find_fstr), QString(c.find_rfstr), QString(c.find_rstr), c.find_fopt,
                             c.find_ropt));
        EXPECT_EQ(par.dir->text(), QStringLiteral("новое"));
    }
}

// Without the main window's record nothing may stand in for it: a dialog that needs it (no record of
// the caller's, or a mode with the global mail header) throws, one on the caller's record works.
TEST_F(ParamDialog, MainRecordMissingIsAnError)
{
    Tpar::SetMainSettings(nullptr);
    const auto rewire = qScopeGuard([] { mainSett(); });
    const struct
    {
        int mode;
        bool own, works;
    } cases[] = {{3, false, false}, {4, false, false}, {1, true, false},
                 {2, true, false},  {0, true, true},   {4, true, true}};
    for (const auto &c : cases) {
        Tsett own = stationSett();
        Tpar par;
        if (c.works)
            EXPECT_NO_THROW(par.Setup(c.mode, &own, FindReplaceLabels)) << c.mode;
        else
            EXPECT_THROW(par.Setup(c.mode, c.own ? &own : nullptr), std::logic_error) << c.mode << c.own;
    }
}

TEST_F(ParamDialog, PeriodEditsFillBlankDigits)
{
    Tsett s;
    Tpar par;
    par.Setup(0, &s);
    const struct
    {
        const char *typed, *shown;
    } cases[] = {
        {"3112", "31.12.0000 00:00:00"},
        {"31.12.2020 1", "31.12.2020 10:00:00"},
    };
    for (QLineEdit *edit : {par.Start_ORX, par.Stop_ORX})
        for (const auto &c : cases) {
            edit->setText(QString::fromLatin1(c.typed));
            EXPECT_EQ(edit->displayText(), QString::fromLatin1(c.shown)) << c.typed;
        }
}

// A period typed over the one shown: a separator ends the part being typed, whose digits take leading
// zeros as in every date edit, where the blanks the mask left behind them read as zeros. Leaving the field
// by Tab or a click, or Enter, which takes the dialog, ends the part the same way. A whole date typed with
// the cursor anywhere is read whole, the time kept; a date that does not exist is refused once as the
// field is left, which then shows the period as it was, and the copy gets that.
TEST_F(ParamDialog, PeriodTypedWithSeparatorsIsTakenAsTyped)
{
    Tsett s;
    Tpar par;
    par.Setup(0, &s);
    const struct
    {
        const char *keys, *leave, *shown; // leave: Tab, Enter, "click" elsewhere, or none
        int at = -1;                      // the cursor's place when the typing begins; -1: all selected
        const char *message = nullptr;
    } cases[] = {
        {"15.1.2026 7:5:0", nullptr, "15.01.2026 07:05:00"},
        {"5.10.2026 12:00:00", nullptr, "05.10.2026 12:00:00"},
        {"15102026120000", nullptr, "15.10.2026 12:00:00"},
        {"15.10.2026", nullptr, "15.10.2026 00:00:00"},
        {"15.10.26 1", nullptr, "15.10.0026 10:00:00"},
        {"15.1.2026 7:5", "\t", "15.01.2026 07:05:00"},
        {"15.1.2026 7:5", "\r", "15.01.2026 07:05:00"},
        {"15.1.2026 7:5", "click", "15.01.2026 07:05:00"},
        {"15.1.2026 7", "\r", "15.01.2026 07:00:00"},
        {"15.1.2026 17:45:3", "\t", "15.01.2026 17:45:03"},
        {"15.1.2026 7:55:30", "click", "15.01.2026 07:55:30"},
        {"1.2.2026", "\r", "01.02.2026 00:00:00"},
        {"10.11.2026", "\t", "10.11.2026 12:00:00", 7},
        {"10.11.2026", "click", "10.11.2026 12:00:00", 3},
        {"10.11.2026", "\r", "10.11.2026 12:00:00", 1},
        {"10.11.2026", "\t", "10.11.2026 12:00:00", 11},
        {"31.02.2030 10:00:00", "\t", "21.10.2026 12:00:00", -1, "Неверная дата: \"31.02.2030 10:00:00\""},
        {"31.02.2030 10:00:00", "click", "21.10.2026 12:00:00", -1, "Неверная дата: \"31.02.2030 10:00:00\""},
        {"31.02.2030 10:00:00", "\r", "21.10.2026 12:00:00", -1, "Неверная дата: \"31.02.2030 10:00:00\""},
    };
    for (QLineEdit *edit : {par.Start_ORX, par.Stop_ORX})
        for (const auto &c : cases) {
            SCOPED_TRACE(std::string(c.keys) + (c.leave ? c.leave : ""));
            par.show();
            QApplication::setActiveWindow(&par);
            for (QLineEdit *e : {par.Start_ORX, par.Stop_ORX})
                e->setText(QStringLiteral("21.10.2026 12:00:00"));
            edit->setFocus();
            if (c.at < 0)
                edit->selectAll();
            else
                edit->setCursorPosition(c.at);
            MessageRecorder messages;
            messages.boxesTakeTheFocus();
            const QString leave = QString::fromLatin1(c.leave ? c.leave : "");
            typeKeys(edit,
                     QString::fromLatin1(c.keys) + (leave == QLatin1String("click") ? QString() : leave));
            if (leave == QLatin1String("click"))
                par.Button2->setFocus(Qt::MouseFocusReason);
            EXPECT_EQ(edit->displayText().toStdString(), c.shown);
            EXPECT_EQ(messages.count(), c.message ? 1 : 0);
            EXPECT_EQ(messages.last().text.toStdString(), c.message ? c.message : "");
            if (c.leave) {
                messages.clear();
                par.Button1->click();
                EXPECT_EQ(messages.count(), 0) << messages.last().text.toStdString();
                EXPECT_EQ(FormatDateTime(QStringLiteral("dd.mm.yyyy hh:nn:ss"),
                                         edit == par.Start_ORX ? s.start_date : s.end_date)
                              .toStdString(),
                          c.shown);
            }
        }
}

TEST_F(ParamDialog, PeriodIsCopiedOrAnInvalidOneReported)
{
    const TDateTime oldStart = EncodeDate(2000, 1, 1), oldEnd = EncodeDate(2000, 1, 2);
    const struct
    {
        const char *start, *stop, *message;
        TDateTime start_date, end_date;
    } cases[] = {
        {"01.12.2021 23:59:58", "02.12.2021 00:00:00", nullptr,
         EncodeDate(2021, 12, 1) + EncodeTime(23, 59, 58, 0), EncodeDate(2021, 12, 2)},
        {"31.04.2021 00:00:00", "01.05.2021 00:00:00",
         "Дата старта: \"31.04.2021 00:00:00\" - неверные дата и время", oldStart, oldEnd},
        // The start is taken before the end is found wrong.
        {"30.04.2021 23:59:58", "01.05.2021 24:00:00",
         "Дата окончания: \"01.05.2021 24:00:00\" - неверные дата и время",
         EncodeDate(2021, 4, 30) + EncodeTime(23, 59, 58, 0), oldEnd},
        // The copy takes the day after the end: the calendar's last day is one too many.
        {"30.12.9998 00:00:00", "31.12.9999 00:00:00",
         "Дата окончания 31.12.9999 вне допустимых пределов: от 01.01.1900 до 31.12.9998.",
         EncodeDate(9998, 12, 30), oldEnd},
        {"31.12.1899 23:00:00", "01.01.1900 00:00:00",
         "Дата старта 31.12.1899 вне допустимых пределов: от 01.01.1900 до 31.12.9998.", oldStart, oldEnd},
        {"01.01.1900 00:00:00", "31.12.9998 23:59:59", nullptr, EncodeDate(1900, 1, 1),
         EncodeDate(9998, 12, 31) + EncodeTime(23, 59, 59, 0)},
    };
    for (const auto &c : cases) {
        MessageRecorder recorder;
        Tsett s;
        s.start_date = oldStart;
        s.end_date = oldEnd;
        Tpar par;
        par.Setup(0, &s);
        par.Start_ORX->setText(QString::fromLatin1(c.start));
        par.Stop_ORX->setText(QString::fromLatin1(c.stop));
        par.Button1->click();
        EXPECT_EQ(par.result() == QDialog::Accepted, !c.message);
        EXPECT_EQ(shown(recorder), c.message ? QList<Shown>({{c.message, 16}}) : QList<Shown>());
        EXPECT_EQ(std::pair(s.start_date, s.end_date), std::pair(c.start_date, c.end_date));
    }
}

// The date pickers offer only the days every product carries: a day stored beyond them is shown, and taken
// on OK, as the nearest one they offer.
TEST_F(ParamDialog, DatePickersOfferOnlyTheDaysProductsCarry)
{
    Tsett s = stationSett();
    s.svodka_date = EncodeDate(9999, 12, 31);
    s.exp_start_date = EncodeDate(1899, 12, 30);
    s.exp_end_date = EncodeDate(9999, 12, 31);
    Tpar par;
    par.Setup(1, &s);
    for (QDateEdit *d : {par.svodka_Date, par.End_Date})
        EXPECT_EQ(std::pair(d->minimumDate(), d->maximumDate()),
                  std::pair(QDate(1900, 1, 1), QDate(9998, 12, 31)));
    EXPECT_EQ(par.svodka_Date->date(), QDate(9998, 12, 31));
    par.Button1->click();
    EXPECT_EQ(s.svodka_date, EncodeDate(9998, 12, 31));

    Tpar exp;
    exp.Setup(2, &s);
    EXPECT_EQ(std::pair(exp.svodka_Date->date(), exp.End_Date->date()),
              std::pair(QDate(1900, 1, 1), QDate(9998, 12, 31)));
}

} // namespace
