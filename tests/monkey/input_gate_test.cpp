#include "input_gate.h"

#include "support/test_support.h"

#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

TEST(InputGate, FollowsWhatTheProgramLetsIn)
{
    QStringList seen;
    const auto note = [&](const char *where) {
        seen << QString::fromLatin1(where) +
                    (UserInputAllowed() ? QStringLiteral(": in") : QStringLiteral(": out"));
    };
    note("idle");
    // A transfer's progress keeps input out.
    QTimer::singleShot(0, [&] { note("transfer"); });
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    // A report's progress lets it in.
    QTimer::singleShot(0, [&] { note("report"); });
    QApplication::processEvents();
    // A message or dialog opened inside a transfer takes input while it is open.
    QTimer::singleShot(0, [&] {
        QEventLoop dialog;
        QTimer::singleShot(0, [&] {
            note("dialog inside a transfer");
            dialog.quit();
        });
        dialog.exec();
        note("the transfer after the dialog");
    });
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    note("idle");
    EXPECT_EQ(seen, (QStringList{QStringLiteral("idle: in"), QStringLiteral("transfer: out"),
                                 QStringLiteral("report: in"), QStringLiteral("dialog inside a transfer: in"),
                                 QStringLiteral("the transfer after the dialog: out"),
                                 QStringLiteral("idle: in")}));
}
