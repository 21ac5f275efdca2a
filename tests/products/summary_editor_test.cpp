#include "app/settings/param_dialog.h"
#include "products/summary_editor.h"
#include "support/program_env.h"

#include <QPlainTextEdit>
#include <QTextCursor>

namespace {

// The editor with its find dialog answered by the test.
class AnsweredEditor : public Tsveditor
{
public:
    using Tsveditor::Tsveditor;

    QString find, replaceWith;
    int option = 0;

protected:
    int ExecFindDialog(Tpar &Dialog) override
    {
        Dialog.dir->setText(find);
        Dialog.stb->setText(replaceWith);
        Dialog.SetRadioIndex(option);
        Dialog.Button1->click();
        return Dialog.result();
    }
};

class SummaryEditorTest : public ::testing::Test
{
protected:
    QString file(const QByteArray &bytes)
    {
        const QString path = dir.file(QStringLiteral("PET_036"));
        writeBytes(path, bytes);
        return path;
    }

    static QString buttons(const Tsveditor &e)
    {
        QStringList shown;
        for (const QPushButton *b : {e.Button1, e.Button2, e.Button3})
            if (!b->isHidden())
                shown << QStringLiteral("%1@%2").arg(b->text()).arg(b->x());
        return shown.join(QLatin1Char('|'));
    }

    TestDir dir;
    Tsett sett;
};

TEST_F(SummaryEditorTest, ButtonsFollowTheModeAndTheFirstEdit)
{
    const struct
    {
        bool send;
        const char *opened, *edited;
    } cases[] = {
        {true, "Отправить@8|Не отправлять@112",
         "Сохранить и отправить@8|Сохранить, но не отправлять@112|Не сохранять и не отправлять@216"},
        {false, "OK@8", "Сохранить@8|Не сохранять@112"},
    };
    for (const auto &c : cases) {
        Tsveditor editor(nullptr, sett);
        editor.SetView(file("A\nB\r\n"), c.send);
        EXPECT_EQ(QStringList({editor.windowTitle(), editor.re->toPlainText()}),
                  QStringList({"Просмотр сводки", "A\nB"}));
        EXPECT_EQ(buttons(editor), QString::fromUtf8(c.opened));
        EXPECT_FALSE(editor.Changed);
        editor.re->insertPlainText(QStringLiteral("x"));
        EXPECT_TRUE(editor.Changed);
        EXPECT_EQ(buttons(editor), QString::fromUtf8(c.edited));
    }
}

TEST_F(SummaryEditorTest, ResultsAndWhatTheSavingButtonsWrite)
{
    const QByteArray original = toCp1251(QStringLiteral("SEISMO\nСТОП\r\n"));
    const struct
    {
        bool edit;
        const char *button;
        int result;
        QByteArray bytes;
    } cases[] = {
        {false, "Button1", IDOK, original},
        {true, "Button1", IDOK, toCp1251(QStringLiteral("ПSEISMO\r\nСТОП\r\n"))},
        {true, "Button2", IDYES, toCp1251(QStringLiteral("ПSEISMO\r\nСТОП\r\n"))},
        {true, "Button3", IDCANCEL, original},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.button);
        Tsveditor editor(nullptr, sett);
        const QString path = file(original);
        editor.SetView(path, true);
        if (c.edit)
            editor.re->insertPlainText(QStringLiteral("П"));
        editor.show();
        editor.findChild<QPushButton *>(QLatin1String(c.button))->click();
        EXPECT_EQ(editor.result(), c.result);
        EXPECT_EQ(readBytes(path), c.bytes);
    }
    Tsveditor editor(nullptr, sett);
    editor.SetView(file(original), false);
    editor.show();
    editor.close();
    EXPECT_EQ(editor.result(), IDCANCEL);
}

TEST_F(SummaryEditorTest, LoadAndSaveFailuresAreReported)
{
    MessageRecorder messages;
    {
        Tsveditor editor(nullptr, sett);
        editor.SetView(dir.file(QStringLiteral("missing")), true);
        ASSERT_EQ(messages.count(), 1);
        EXPECT_TRUE(messages.last().text.startsWith(
            QStringLiteral("SetView: Не удалось загрузить файл сводки. Сообщение об ошибке:\r")));
        EXPECT_EQ(messages.last().icon, unsigned(MB_ICONERROR));
        editor.re->insertPlainText(QStringLiteral("x"));
        EXPECT_FALSE(editor.Changed);
        editor.Button1->click();
        EXPECT_FALSE(QFileInfo::exists(dir.file(QStringLiteral("missing"))));
    }
    messages.clear();
    // A file whose folder has gone cannot be saved: the window stays open and gives no result.
    TestDir gone;
    const QString path = gone.file(QStringLiteral("PET_036"));
    writeBytes(path, "A\r\n");
    Tsveditor editor(nullptr, sett);
    editor.SetView(path, true);
    QDir(gone.path()).removeRecursively();
    editor.re->insertPlainText(QStringLiteral("x"));
    editor.show();
    editor.Button1->click();
    ASSERT_EQ(messages.count(), 1);
    EXPECT_TRUE(messages.last().text.startsWith(
        QStringLiteral("SaveChanges: Не удалось сохранить файл сводки. Сообщение об ошибке:\r")));
    EXPECT_TRUE(editor.isVisible());
    EXPECT_EQ(editor.result(), 0);
}

TEST_F(SummaryEditorTest, FindAndReplace)
{
    const struct
    {
        const char *name;
        const char *text;
        bool replace;
        const char *find, *with;
        int option;
        int selectFrom; // where the selection starts before the command
        const char *after;
        int selStart, selLength;
        const char *message; // empty: none
    } cases[] = {
        {"first, any case", "alpha Бета\nбета ALPHA", false, " БЕТА ", "", 0, 0, "alpha Бета\nбета ALPHA", 6,
         4, ""},
        {"next", "alpha Бета\nбета ALPHA", false, "бета", "", 1, 6, "alpha Бета\nбета ALPHA", 11, 4, ""},
        {"count overlapping", "aaa", false, "aa", "", 2, 0, "aaa", 0, 0, "Строка встречается 2 раз."},
        {"not found", "aaa", false, "b", "", 0, 0, "aaa", 0, 0, "Искомая строка не найдена!"},
        {"empty replacement refused", "aaa", true, "aa", "", 0, 0, "aaa", 0, 0, ""},
        {"empty replacement counts", "aaa", true, "aa", "", 2, 0, "aaa", 0, 0, "Строка встречается 2 раз."},
        {"replace one in lower case", "alpha Бета\nбета", true, "бета", "ГАММА", 0, 0, "alpha гамма\nбета", 6,
         5, ""},
        {"replace all", "aaa b AA", true, "aa", "X", 1, 0, "xx b x", 0, 0, "Заменено 3 раз."},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        MessageRecorder messages;
        AnsweredEditor editor(nullptr, sett);
        editor.SetView(file(toCp1251(QString::fromUtf8(c.text))), true);
        QTextCursor cursor = editor.re->textCursor();
        cursor.setPosition(c.selectFrom);
        editor.re->setTextCursor(cursor);
        editor.find = QString::fromUtf8(c.find);
        editor.replaceWith = QString::fromUtf8(c.with);
        editor.option = c.option;
        editor.FindReplace(c.replace);
        EXPECT_EQ(editor.re->toPlainText(), QString::fromUtf8(c.after));
        EXPECT_EQ(editor.Changed, editor.re->toPlainText() != QString::fromUtf8(c.text));
        if (*c.message) {
            ASSERT_EQ(messages.count(), 1);
            EXPECT_EQ(messages.last().text, QString::fromUtf8(c.message));
        } else {
            EXPECT_EQ(messages.count(), 0);
            EXPECT_EQ(editor.re->textCursor().selectionStart(), c.selStart);
            EXPECT_EQ(editor.re->textCursor().selectedText().size(), c.selLength);
        }
    }
}

} // namespace
