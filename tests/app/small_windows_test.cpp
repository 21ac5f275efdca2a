#include "app/settings/message_window.h"
#include "app/settings/progress_window.h"
#include "support/program_env.h"

#include <QPlainTextEdit>
#include <QProgressBar>

namespace {

TEST(ProgressWindow, CancelFlagAndClose)
{
    Tpro pro;
    EXPECT_FALSE(pro.cbt->isVisibleTo(&pro));
    EXPECT_EQ(pro.height(), 8 + 21 + 8); // the bar is the lowest control
    bool cancelled = true;
    pro.SetCancelFlag(true, &cancelled);
    EXPECT_FALSE(cancelled); // a flag left over from an earlier run is reset
    EXPECT_EQ(pro.height(), 40 + 21 + 8);
    pro.cbt->click();
    EXPECT_TRUE(cancelled);

    // No flag, nothing to cancel, even when asked to show the button; the old flag is not touched.
    pro.SetCancelFlag(true, nullptr);
    EXPECT_FALSE(pro.cbt->isVisibleTo(&pro));
    cancelled = false;
    pro.cbt->click();
    EXPECT_FALSE(cancelled);

    pro.show();
    EXPECT_FALSE(pro.close());
    EXPECT_TRUE(pro.isVisible());
}

// While an operation runs behind it, the progress window is the only one that takes input: the other
// windows can be neither used nor closed under the operation, whatever events it lets run.
TEST(ProgressWindow, TheOtherWindowsWaitForTheOperation)
{
    QWidget other;
    other.show();
    Tpro pro(&other);
    pro.show();
    EXPECT_TRUE(pro.isModal());
    EXPECT_EQ(pro.windowModality(), Qt::ApplicationModal);
    EXPECT_EQ(QApplication::activeModalWidget(), &pro);
    pro.hide();
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST(MessageWindow, ShowsTextWithCaptionAndReturnsOk)
{
    const std::pair<unsigned, const char *> cases[] = {
        {16, "Ошибка"}, {32, "Вопрос"}, {48, "Предупреждение"}, {64, "Информация"}, {0, ""}};
    for (const auto &[icon, expected] : cases) {
        QString caption, text;
        QTimer::singleShot(0, [&] {
            for (QWidget *w : QApplication::topLevelWidgets())
                if (auto *dlg = qobject_cast<Tefrm *>(w); dlg && dlg->isVisible()) {
                    caption = dlg->windowTitle();
                    text = dlg->Memo1->toPlainText();
                    EXPECT_TRUE(dlg->Memo1->isReadOnly());
                    dlg->Button1->click();
                }
        });
        EXPECT_EQ(GfxMessageDlg(nullptr, QStringLiteral("QAct: Запрос\r\rselect 1\rвызвал ошибку!"), icon, 4),
                  1);
        EXPECT_EQ(caption, QString::fromUtf8(expected));
        EXPECT_EQ(text, QStringLiteral("QAct: Запрос\n\nselect 1\nвызвал ошибку!"));
    }
    // Ten million characters are shown cut to what a message may hold.
    QString text;
    QTimer::singleShot(0, [&] {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *dlg = qobject_cast<Tefrm *>(w); dlg && dlg->isVisible()) {
                text = dlg->Memo1->toPlainText();
                dlg->Button1->click();
            }
    });
    GfxMessageDlg(nullptr, QString(10485760, QLatin1Char('x')), 16, 0);
    EXPECT_EQ(text, QString(MaxMessageChars, QLatin1Char('x')) + QStringLiteral("…"));
}

} // namespace
