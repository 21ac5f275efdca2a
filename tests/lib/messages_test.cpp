#include "lib/messages.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// Shows the box, notes the default button's caption, then presses Enter as the user would.
std::pair<QString, int> enterOn(unsigned buttons)
{
    QString preferred;
    QTimer::singleShot(0, [&preferred] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        if (QPushButton *b = box->defaultButton())
            preferred = b->text();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(box, &press);
    });
    const int result = MsgBox(nullptr, u"Вопрос?"_s, MB_ICONQUESTION, buttons);
    return {preferred, result};
}

TEST(MsgBox, EnterPressesTheDefaultButtonTheFlagsName)
{
    const struct
    {
        unsigned buttons;
        const char *caption;
        int result;
    } cases[] = {
        {MB_YESNO, "Да", IDYES},
        {MB_YESNO | MB_DEFBUTTON1, "Да", IDYES},
        {MB_YESNO | MB_DEFBUTTON2, "Нет", IDNO},
        {MB_YESNOCANCEL | MB_DEFBUTTON3, "Отмена", IDCANCEL},
        {MB_OKCANCEL | MB_DEFBUTTON2, "Отмена", IDCANCEL},
        // A button the box does not have falls back to the first.
        {MB_YESNO | MB_DEFBUTTON3, "Да", IDYES},
        {MB_OK | MB_DEFBUTTON2, "OK", IDOK},
    };
    for (const auto &c : cases) {
        const auto [caption, result] = enterOn(c.buttons);
        EXPECT_EQ(caption, QString::fromUtf8(c.caption)) << c.buttons;
        EXPECT_EQ(result, c.result) << c.buttons;
    }
}

} // namespace
