#include "lib/messages.h"

#include "support/cpu_time.h"

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

// A value is quoted whole up to the limit, else cut there and marked; a surrogate pair stays whole.
TEST(CutForMessage, QuotesAValueUpToTheLimit)
{
    const QString clef = u"𝄞"_s; // one character of two UTF-16 units
    const struct
    {
        QString value;
        qsizetype limit;
        QString quoted;
    } cases[] = {
        {u""_s, 200, u""_s},
        {u"ABC"_s, 200, u"ABC"_s},
        {u"x"_s.repeated(200), 200, u"x"_s.repeated(200)},
        {u"x"_s.repeated(201), 200, u"x"_s.repeated(200) + u"…"_s},
        {u"Станция"_s.repeated(4684) + u"ABCDE"_s, 10, u"СтанцияСта…"_s},
        {u"ab"_s + clef + u"cd"_s, 3, u"ab…"_s},
        {u"ab"_s + clef + u"cd"_s, 4, u"ab"_s + clef + u"…"_s},
        {u"ab"_s, 0, u"…"_s},
    };
    for (const auto &c : cases)
        EXPECT_EQ(CutForMessage(c.value, c.limit), c.quoted) << c.value.left(20).toStdString();
    EXPECT_EQ(CutForMessage(u"y"_s.repeated(32785)).size(), MaxQuotedChars + 1);
}

// A text of ten million characters is shown cut to what a message may hold, at once.
TEST(MsgBox, ShowsNoMoreThanAMessageMayHold)
{
    qsizetype shown = -1;
    QTimer::singleShot(0, [&shown] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        shown = box->text().size();
        box->done(0);
    });
    const CpuTime cpu;
    MsgBox(nullptr, u"Лист "_s + u"x"_s.repeated(10485760), MB_ICONERROR, MB_OK);
    EXPECT_EQ(shown, MaxMessageChars + 1);
    EXPECT_LT(cpu.milliseconds(), 5000 * kSanitizerSlowdown);
}

} // namespace
