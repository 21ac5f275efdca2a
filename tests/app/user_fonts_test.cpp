#include "app/main/appearance.h"
#include "app/main/user_fonts.h"
#include "support/program_env.h"

#include <QHeaderView>
#include <QTextEdit>

namespace {

TUserFont userFont(const char *name, int size, const char *style = "")
{
    TUserFont f;
    SetFontFromStr(f, QString::fromLatin1(name), size, QString(), 1, QString::fromLatin1(style));
    return f;
}

template <class W> W *child(QWidget *parent, const char *name)
{
    auto *w = new W(parent);
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

TEST(ApplyFormFont, SecondApplicationDoesNothing)
{
    QWidget form;
    auto *ex = child<QLineEdit>(&form, "ex");
    auto *plain = child<QLabel>(&form, "plain");
    const TUserFont font = userFont("Arial", 9);
    EXPECT_TRUE(ApplyFormFont(&form, KindDataFormat, font));
    EXPECT_EQ(form.font().family(), QStringLiteral("Arial"));
    EXPECT_EQ(plain->font().pointSize(), 9);
    EXPECT_EQ(ex->font().pointSize(), 11);
    EXPECT_FALSE(ApplyFormFont(&form, KindDataFormat, font));
    EXPECT_EQ(ex->font().pointSize(), 11); // not enlarged twice

    // Another font replaces the emphasis instead of adding to it.
    EXPECT_TRUE(ApplyFormFont(&form, KindDataFormat, userFont("Arial", 12)));
    EXPECT_EQ(ex->font().pointSize(), 14);
    EXPECT_EQ(plain->font().pointSize(), 12);
}

TEST(ApplyFormFont, FixupsByKind)
{
    QWidget editor;
    auto *re = child<QTextEdit>(&editor, "re");
    auto *b1 = child<QPushButton>(&editor, "Button1");
    ApplyFormFont(&editor, KindSummaryEditor, userFont("Times New Roman", 10, "i"));
    EXPECT_EQ(std::pair(re->font().family(), re->font().pointSize()), std::pair(QString("Courier New"), 10));
    EXPECT_TRUE(b1->font().bold() && b1->font().italic());

    QWidget report;
    auto *label7 = child<QLabel>(&report, "Label7");
    auto *fi = child<QLabel>(&report, "fi");
    ApplyFormFont(&report, KindReport, userFont("Arial", 8));
    EXPECT_EQ(std::pair(label7->font().family(), label7->font().pointSize()),
              std::pair(QString("Symbol"), 14));
    EXPECT_EQ(fi->font().family(), QStringLiteral("Courier New"));

    QWidget settings;
    auto *label1 = child<QLabel>(&settings, "Label1");
    auto *grid = child<QTableWidget>(&settings, "sg");
    auto *grid2 = child<QTableWidget>(&settings, "sg2");
    ApplyFormFont(&settings, KindSettings, userFont("Arial", 8));
    EXPECT_TRUE(label1->font().bold());
    EXPECT_EQ(label1->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    EXPECT_EQ(grid2->verticalHeader()->defaultSectionSize(), grid->verticalHeader()->defaultSectionSize());

    // Kind 7 has no fix-ups: a control named like an emphasised one keeps the window's font.
    QWidget other;
    auto *otherLabel = child<QLabel>(&other, "Label1");
    ApplyFormFont(&other, KindOther, userFont("Arial", 8));
    EXPECT_FALSE(otherLabel->font().bold());
}

TEST(ApplyFormFont, MainWindowKeepsTheStatusEmphasis)
{
    QWidget form;
    auto *st2 = child<QLabel>(&form, "st2");
    auto *st3 = child<QLabel>(&form, "st3");
    auto *label29 = child<QLabel>(&form, "Label29");
    QFont bold = st2->font();
    bold.setBold(true);
    st2->setFont(bold);
    QPalette red = st2->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    st2->setPalette(red);
    ApplyFormFont(&form, KindMain, userFont("Arial", 8));
    EXPECT_TRUE(st2->font().bold() && !st3->font().bold());
    EXPECT_EQ(st2->palette().color(QPalette::WindowText), QColor(Qt::red));
    EXPECT_EQ(label29->font().pointSize(), 16);
    EXPECT_EQ(label29->palette().color(QPalette::WindowText), QColor(0, 0, 128));
}

TEST(ApplyFormFont, DisabledControlsKeepTheDisabledLook)
{
    // The window-text default and an own colour: either paints enabled text only; disabled text stays as
    // the style draws it, and the control changes look when it is enabled again.
    for (const char *color : {"", "0xFF"}) {
        SCOPED_TRACE(color);
        QWidget form;
        auto *label = child<QLabel>(&form, "plain");
        auto *button = child<QPushButton>(&form, "Button99");
        auto *edit = child<QLineEdit>(&form, "Edit99");
        TUserFont font;
        SetFontFromStr(font, QStringLiteral("Arial"), 9, QString::fromLatin1(color), 1, QString());
        ApplyFormFont(&form, KindOther, font);
        const QColor enabled =
            *color ? QColor(255, 0, 0) : QApplication::palette().color(QPalette::WindowText);
        const QPalette app = QApplication::palette();
        const std::pair<QWidget *, QPalette::ColorRole> roles[] = {
            {label, QPalette::WindowText}, {button, QPalette::ButtonText}, {edit, QPalette::Text}};
        for (const auto &[w, role] : roles) {
            SCOPED_TRACE(w->objectName().toStdString());
            w->setEnabled(false);
            EXPECT_EQ(w->palette().color(QPalette::Disabled, role), app.color(QPalette::Disabled, role));
            EXPECT_NE(w->palette().color(QPalette::Disabled, role), enabled);
            w->setEnabled(true);
            EXPECT_EQ(w->palette().color(QPalette::Active, role), enabled);
            EXPECT_EQ(w->palette().color(QPalette::Inactive, role), enabled);
        }
    }
}

TEST(ApplyGridFont, MainFontOrGridFont)
{
    QWidget form;
    auto *grid = child<QTableWidget>(&form, "sg");
    const TUserFont main = userFont("Arial", 9);
    ApplyFormFont(&form, KindMain, main);
    ApplyGridFont(grid, main, userFont("Courier New", 20), true, 5, false);
    // The grid font has no effect while the grid follows the window.
    EXPECT_EQ(std::pair(grid->font().family(), grid->font().pointSize()), std::pair(QString("Arial"), 9));

    ApplyGridFont(grid, main, userFont("Courier New", 14), false, 5, false);
    EXPECT_EQ(grid->font().family(), QStringLiteral("Courier New"));
    EXPECT_EQ(grid->verticalHeader()->defaultSectionSize(), QFontMetrics(grid->font()).height() + 5);
}

TEST(SetDoubleBuffered, RichTextEditorsLeftAlone)
{
    QWidget form;
    auto *editor = child<QTextEdit>(&form, "re");
    auto *line = child<QLineEdit>(&form, "Edit1");
    SetDoubleBuffered(&form, true);
    EXPECT_TRUE(form.property("doubleBuffered").toBool() && line->property("doubleBuffered").toBool());
    EXPECT_FALSE(editor->property("doubleBuffered").isValid());
    SetDoubleBuffered(&form, false);
    EXPECT_FALSE(line->property("doubleBuffered").toBool());
}

} // namespace
