#include "lib/date_typing.h"
#include "lib/datetime.h"
#include "lib/work_dates.h"
#include "support/test_support.h"

#include <QApplication>
#include <QDateTimeEdit>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <functional>

namespace {

// Where the edit shows the given section (its text as typed, while a typing is under way), one character
// in.
int sectionStart(const QDateTimeEdit *edit, QDateTimeEdit::Section section)
{
    const QString text = edit->findChild<QLineEdit *>()->text();
    int index = 0;
    while (index < edit->sectionCount() && edit->sectionAt(index) != section)
        ++index;
    for (int i = 0, run = -1; i < text.size(); ++i)
        if (text.at(i).isDigit() && (i == 0 || !text.at(i - 1).isDigit()) && ++run == index)
            return i + 1;
    return -1;
}

// Keys as typeKeys types them, with Click at each '|'.
void typeClicking(QWidget *target, const QString &keys, const std::function<void()> &click)
{
    const QStringList parts = keys.split(QLatin1Char('|'));
    for (qsizetype i = 0; i < parts.size(); ++i) {
        if (i > 0)
            click();
        typeKeys(target, parts.at(i));
    }
}

// An edit bound to nothing in a dialog whose default button is OK: what is typed is taken as the edit's
// value, and Enter then takes the dialog; a text refused is told once, as a box that takes the focus,
// whether the edit is left by Enter, Tab or a click elsewhere; the edit keeps its value and Enter does
// nothing more. The station editor's dates take any day the edit shows, the working days the others. A
// whole date typed from any section is read whole; a part ended by its separator changes its section
// only; a click into another section ends the part typed, and what follows goes there. Keys reaching the
// edit that holds its window's focus are typed whether or not that window is the active one.
TEST(DateTyping, AnEditBoundToNothingTakesWhatIsTypedOrKeepsItsValue)
{
    using Days = DateTimeTyping::Days;
    const auto No = QDateTimeEdit::NoSection;
    const struct
    {
        const char *format, *keys; // keys ending in neither Enter nor Tab: left by a click
        Days days;
        QDateTimeEdit::Section from; // the section clicked before typing; none: the whole text selected
        const char *shown, *message;
        QDateTimeEdit::Section then = No; // clicked at each '|' of the keys
        bool inactive = false;            // the dialog is not the active window
    } cases[] = {
        {"dd.MM.yyyy", "30.12.1899\r", Days::Shown, No, "30.12.1899", nullptr},
        {"dd.MM.yyyy", "30.12.1899\r", Days::Working, No, "21.10.2026",
         "Дата 30.12.1899 вне допустимых пределов: от 01.01.1900 до 31.12.9998."},
        {"M/d/yyyy HH:mm", "1/2/2027 7:5\r", Days::Working, No, "1/2/2027 07:05", nullptr},
        {"dd.MM.yyyy HH:mm", "15.10.2026 24:00\r", Days::Working, No, "21.10.2026 12:00",
         "Неверная дата: \"15.10.2026 24:00\""},
        {"dd.MM.yyyy", "01.10.1899\r", Days::Shown, No, "01.10.1899", nullptr},
        {"dd.MM.yyyy", "13.09.1752\r", Days::Shown, No, "21.10.2026",
         "Дата 13.09.1752 вне допустимых пределов: от 14.09.1752 до 31.12.9998."},
        {"dd.MM.yyyy", "31.12.9999", Days::Shown, No, "21.10.2026",
         "Дата 31.12.9999 вне допустимых пределов: от 14.09.1752 до 31.12.9998."},
        {"dd.MM.yyyy", "01.10.1899\t", Days::Working, No, "21.10.2026",
         "Дата 01.10.1899 вне допустимых пределов: от 01.01.1900 до 31.12.9998."},
        {"dd.MM.yyyy", "31.02.2026\r", Days::Working, No, "21.10.2026", "Неверная дата: \"31.02.2026\""},
        {"dd.MM.yyyy", "31.02.2026\t", Days::Working, No, "21.10.2026", "Неверная дата: \"31.02.2026\""},
        {"dd.MM.yyyy", "31.02.2026", Days::Working, No, "21.10.2026", "Неверная дата: \"31.02.2026\""},
        {"HH:mm:ss", "25:00:00\t", Days::Working, No, "12:00:00", "Неверное время: \"25:00:00\""},
        {"dd.MM.yyyy", "15.11.2026\t", Days::Working, No, "15.11.2026", nullptr},
        {"dd.MM.yyyy", "30.11.2026\r", Days::Working, QDateTimeEdit::YearSection, "30.11.2026", nullptr},
        {"dd.MM.yyyy", "30.11.2026\r", Days::Working, QDateTimeEdit::MonthSection, "30.11.2026", nullptr},
        {"dd.MM.yyyy", "30112026\t", Days::Working, QDateTimeEdit::YearSection, "30.11.2026", nullptr},
        {"dd.MM.yyyy", "31.11.2026\r", Days::Working, QDateTimeEdit::YearSection, "21.10.2026",
         "Неверная дата: \"31.11.2026\""},
        {"dd.MM.yyyy", "2027\r", Days::Working, QDateTimeEdit::YearSection, "21.10.2027", nullptr},
        {"dd.MM.yyyy", "11.2027\r", Days::Working, QDateTimeEdit::MonthSection, "21.11.2027", nullptr},
        {"dd.MM.yyyy HH:mm", "30.11.2026\r", Days::Working, QDateTimeEdit::YearSection, "30.11.2026 12:00",
         nullptr},
        {"dd.MM.yy", "30.11.26\r", Days::Working, QDateTimeEdit::YearSection, "30.11.26", nullptr},
        {"HH:mm:ss", "17:40:02\r", Days::Working, QDateTimeEdit::SecondSection, "17:40:02", nullptr},
        {"HH:mm:ss", "7:5\r", Days::Working, QDateTimeEdit::MinuteSection, "12:07:05", nullptr},
        {"dd.MM.yyyy HH:mm:ss", "10.11.2026\r", Days::Working, QDateTimeEdit::YearSection,
         "10.11.2026 12:00:00", nullptr},
        {"dd.MM.yyyy HH:mm:ss", "10.11.2026\r", Days::Working, QDateTimeEdit::MonthSection,
         "10.11.2026 12:00:00", nullptr},
        {"dd.MM.yyyy HH:mm:ss", "10.11.2026", Days::Working, QDateTimeEdit::HourSection,
         "10.11.2026 12:00:00", nullptr},
        {"dd.MM.yyyy HH:mm:ss", "31.11.2026\r", Days::Working, QDateTimeEdit::SecondSection,
         "21.10.2026 12:00:00", "Неверная дата: \"31.11.2026 12:00:00\""},
        {"dd.MM.yyyy HH:mm:ss", "2027 7:5\r", Days::Working, QDateTimeEdit::YearSection,
         "21.10.2027 07:05:00", nullptr},
        {"HH:mm:ss", "5:\r", Days::Working, QDateTimeEdit::SecondSection, "12:00:05", nullptr},
        {"dd.MM.yyyy HH:mm", "5:\r", Days::Working, QDateTimeEdit::MinuteSection, "21.10.2026 12:05",
         nullptr},
        {"dd.MM.yyyy", "26.\r", Days::Working, QDateTimeEdit::YearSection, "21.10.2026",
         "Неверная дата: \"21.10.26\""},
        {"dd.MM.yyyy", "1|2\r", Days::Shown, QDateTimeEdit::DaySection, "01.02.2026", nullptr,
         QDateTimeEdit::MonthSection},
        {"HH:mm:ss", "1|2\r", Days::Working, QDateTimeEdit::HourSection, "01:02:00", nullptr,
         QDateTimeEdit::MinuteSection},
        {"dd.MM.yyyy", "2025|15\r", Days::Working, QDateTimeEdit::YearSection, "15.10.2025", nullptr,
         QDateTimeEdit::DaySection},
        {"dd.MM.yyyy", "15.11.2026\r", Days::Working, No, "15.11.2026", nullptr, No, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.format) + " " + c.keys);
        MessageRecorder messages;
        messages.boxesTakeTheFocus();
        QDialog dialog;
        auto *edit = new QDateTimeEdit(QDateTime(QDate(2026, 10, 21), QTime(12, 0)));
        auto *other = new QLineEdit;
        auto *ok = new QPushButton(QStringLiteral("OK"));
        ok->setDefault(true);
        QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
        auto *layout = new QVBoxLayout(&dialog);
        layout->addWidget(edit);
        layout->addWidget(other);
        layout->addWidget(ok);
        edit->setDisplayFormat(QString::fromLatin1(c.format));
        SetWorkDateMaximum(edit);
        SetDateTyping(edit, c.days);
        dialog.show();
        QApplication::setActiveWindow(c.inactive ? nullptr : &dialog);
        edit->setFocus();
        if (c.from == No)
            edit->selectAll();
        else
            edit->setCurrentSection(c.from);
        const QString keys = QString::fromUtf8(c.keys);
        typeClicking(edit, keys,
                     [&] { clickAt(edit->findChild<QLineEdit *>(), sectionStart(edit, c.then)); });
        if (!keys.endsWith(QLatin1Char('\r')) && !keys.endsWith(QLatin1Char('\t')))
            other->setFocus(Qt::MouseFocusReason);
        EXPECT_EQ(messages.count(), c.message ? 1 : 0);
        EXPECT_EQ(messages.last().text.toStdString(), c.message ? c.message : "");
        EXPECT_EQ(edit->text().toStdString(), c.shown);
        EXPECT_EQ(dialog.result() == QDialog::Accepted, !c.message && keys.endsWith(QLatin1Char('\r')));
        // Tab after a whole date taken goes on to the next field, where the next date is typed.
        if (!c.message && keys.endsWith(QLatin1Char('\t'))) {
            EXPECT_TRUE(other->hasFocus());
        }
    }
}

// A typing starts only in the edit that has the focus, and one under way when its window is hidden or the
// edit destroyed ends without a word and without touching the edit (the sanitized tree tells a call on an
// edit half destroyed). An edit hidden alone, its window staying (a page switched), is left: what it
// refuses is told then.
TEST(DateTyping, ATypingEndsWithoutAWordWhenItsEditGoesAway)
{
    enum How { Hidden, Destroyed, Unfocused, EditHidden };
    for (const How how : {Hidden, Destroyed, Unfocused, EditHidden}) {
        SCOPED_TRACE(how);
        MessageRecorder messages;
        QDialog dialog;
        auto *edit = new QDateTimeEdit(QDateTime(QDate(2026, 10, 21), QTime(12, 0)));
        auto *other = new QLineEdit;
        auto *layout = new QVBoxLayout(&dialog);
        layout->addWidget(edit);
        layout->addWidget(other);
        edit->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
        SetDateTyping(edit);
        dialog.show();
        QApplication::setActiveWindow(&dialog);
        (how == Unfocused ? static_cast<QWidget *>(other) : edit)->setFocus();
        edit->selectAll();
        typeKeys(edit, QStringLiteral("31.02.2026"));
        if (how == Hidden) {
            dialog.hide();
            EXPECT_EQ(edit->date(), QDate(2026, 10, 21));
        } else if (how == Destroyed) {
            delete edit;
        } else if (how == EditHidden) {
            edit->hide();
            EXPECT_EQ(edit->date(), QDate(2026, 10, 21));
        } else {
            edit->setFocus();
            other->setFocus();
        }
        EXPECT_EQ(messages.count(), how == EditHidden ? 1 : 0) << messages.last().text.toStdString();
    }
}

// A line edit masked for a date and time, as the parameter dialog's period and the ORX pages' epochs: a
// section ended by a separator, by Enter, by a click elsewhere in the field or by leaving the field takes
// the digits typed with leading zeros; a full one stays as typed.
TEST(DateTyping, AMaskedSectionEndedIsRightAligned)
{
    const char *period = "99.99.9999 99:99:99;_", *epoch = "00.00.0000 00:00:00.0;0";
    const struct
    {
        const char *mask, *keys; // keys ending in neither Enter nor Tab: left by a click
        const char *shown;
        int click = -1; // the position clicked at each '|' of the keys
    } cases[] = {
        {period, "15.1.2026 7:5\t", "15.01.2026 07:05:__"},
        {period, "15.1.2026 7:5\r", "15.01.2026 07:05:__"},
        {period, "15.1.2026 7:5", "15.01.2026 07:05:__"},
        {period, "15.1.2026 7:5:0\t", "15.01.2026 07:05:00"},
        {period, "15.1.2026 7:55:3", "15.01.2026 07:55:03"},
        {period, "15.1.2026 7\t", "15.01.2026 07:__:__"},
        {period, "15.1.2026 17\r", "15.01.2026 17:__:__"},
        {period, "15.1\t", "15.01.____ __:__:__"},
        {period, "1.2.202\t", "01.02.0202 __:__:__"},
        {period, "5\r", "05.__.____ __:__:__"},
        {period, "15.10.2026 07:05:09\t", "15.10.2026 07:05:09"},
        {epoch, "5.2.2026 10:1\t", "05.02.2026 10:01:00.0"},
        {epoch, "5.2.2026 10:1:2\r", "05.02.2026 10:01:02.0"},
        {epoch, "5.2.2026 10:1:2", "05.02.2026 10:01:02.0"},
        {epoch, "5.2.2026 10:1:2.5\t", "05.02.2026 10:01:02.5"},
        {epoch, "5.2.2026 7|5\t", "05.02.2026 07:05:00.0", 14},
        {period, "15.1.2026 7|5:3\r", "15.01.2026 07:05:03", 14},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.mask) + " " + c.keys);
        QDialog dialog;
        auto *edit = new QLineEdit;
        auto *other = new QLineEdit;
        auto *layout = new QVBoxLayout(&dialog);
        layout->addWidget(edit);
        layout->addWidget(other);
        edit->setInputMask(QString::fromLatin1(c.mask));
        SetMaskedDateTyping(edit);
        dialog.show();
        QApplication::setActiveWindow(&dialog);
        edit->setFocus();
        edit->selectAll();
        const QString keys = QString::fromUtf8(c.keys);
        typeClicking(edit, keys, [&] { clickAt(edit, c.click); });
        if (!keys.endsWith(QLatin1Char('\r')) && !keys.endsWith(QLatin1Char('\t')))
            other->setFocus(Qt::MouseFocusReason);
        EXPECT_EQ(edit->displayText().toStdString(), c.shown);
    }
}

} // namespace
