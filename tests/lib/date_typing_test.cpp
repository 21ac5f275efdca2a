#include "lib/date_typing.h"
#include "lib/datetime.h"
#include "lib/work_dates.h"
#include "support/test_support.h"

#include <QApplication>
#include <QDateTimeEdit>
#include <QDialog>
#include <QPushButton>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace {

// An edit bound to nothing in a dialog whose default button is OK: what is typed is taken as the edit's
// value, and Enter then takes the dialog; a text refused is told, the edit keeps its value and Enter does
// nothing more. The day that stands for no date in the station editor is taken there, and only there.
TEST(DateTyping, AnEditBoundToNothingTakesWhatIsTypedOrKeepsItsValue)
{
    const QDate noDate = ToQDateTime(0).date();
    const struct
    {
        const char *format, *keys;
        bool noDate;
        const char *shown, *message;
    } cases[] = {
        {"dd.MM.yyyy", "30.12.1899\r", true, "30.12.1899", nullptr},
        {"dd.MM.yyyy", "30.12.1899\r", false, "21.10.2026",
         "Дата 30.12.1899 вне допустимых пределов: от 01.01.1900 до 31.12.9998."},
        {"M/d/yyyy HH:mm", "1/2/2027 7:5\r", false, "1/2/2027 07:05", nullptr},
        {"dd.MM.yyyy HH:mm", "15.10.2026 24:00\r", false, "21.10.2026 12:00",
         "Неверная дата: \"15.10.2026 24:00\""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.format) + " " + c.keys);
        MessageRecorder messages;
        QDialog dialog;
        auto *edit = new QDateTimeEdit(QDateTime(QDate(2026, 10, 21), QTime(12, 0)));
        auto *ok = new QPushButton(QStringLiteral("OK"));
        ok->setDefault(true);
        QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
        auto *layout = new QVBoxLayout(&dialog);
        layout->addWidget(edit);
        layout->addWidget(ok);
        edit->setDisplayFormat(QString::fromLatin1(c.format));
        SetWorkDateMaximum(edit);
        SetDateTyping(edit, c.noDate ? noDate : QDate());
        dialog.show();
        QApplication::setActiveWindow(&dialog);
        edit->setFocus();
        edit->selectAll();
        typeKeys(edit, QString::fromUtf8(c.keys));
        EXPECT_EQ(messages.count(), c.message ? 1 : 0);
        EXPECT_EQ(messages.last().text, QString::fromUtf8(c.message ? c.message : ""));
        EXPECT_EQ(edit->text(), QString::fromLatin1(c.shown));
        EXPECT_EQ(dialog.result() == QDialog::Accepted, !c.message);
    }
}

} // namespace
