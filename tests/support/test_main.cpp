#include "lib/messages.h"

#include <QApplication>

#include <gtest/gtest.h>

// Every test program runs with a QApplication so widget code can be exercised offscreen.
int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    // A message nobody expected would wait for a click forever: fail the test instead.
    const MessageProcType unexpected = [](QWidget *, const QString &text, unsigned, unsigned) {
        ADD_FAILURE() << "unexpected message: " << text.toStdString();
        return int(IDCANCEL);
    };
    MessageProc = unexpected;
    ErrorMessageProc = unexpected;
    return RUN_ALL_TESTS();
}
