#include "app/main/about_page.h"
#include "app/settings/progress_window.h"
#include "app_test_helpers.h"

#include <QCoreApplication>
#include <QRegularExpression>

namespace {

// The repository's docs folder, looked for above the test program (the build folder lies in the tree).
QString docsFolder()
{
    QDir dir(QCoreApplication::applicationDirPath());
    do {
        if (QFileInfo::exists(dir.filePath(QStringLiteral("docs/user_guide.txt"))))
            return dir.filePath(QStringLiteral("docs"));
    } while (dir.cdUp());
    return {};
}

// The paragraphs of an RTF document as text: control words dropped, \uN? read as the character.
QStringList rtfParagraphs(const QString &rtf)
{
    QStringList paragraphs;
    static const QRegularExpression token(
        QStringLiteral(R"(\\u(-?\d+)\?|\\([{}\\])|\\[a-z]+-?\d* ?|([^\\]))"));
    for (const QString &line : rtf.split(QStringLiteral("\r\n"))) {
        if (!line.startsWith(QStringLiteral("\\pard")))
            continue;
        QString text;
        for (auto it = token.globalMatch(line); it.hasNext();) {
            const auto m = it.next();
            if (m.hasCaptured(1))
                text += QChar(char16_t(m.captured(1).toInt() & 0xFFFF));
            else if (m.hasCaptured(2))
                text += m.captured(2);
            else if (m.hasCaptured(3))
                text += m.captured(3);
        }
        paragraphs << text.trimmed();
    }
    return paragraphs;
}

TEST(HelpDocument, RtfSaysWhatTheGuideSays)
{
    const QString docs = docsFolder();
    if (docs.isEmpty())
        GTEST_SKIP() << "no source tree above " << QCoreApplication::applicationDirPath().toStdString();
    const QByteArray rtf = readBytes(docs + QStringLiteral("/Brenvale.rtf"));
    ASSERT_TRUE(rtf.startsWith("{\\rtf1\\ansi\\ansicpg1251"));
    EXPECT_TRUE(rtf.trimmed().endsWith('}'));
    for (const char c : rtf)
        ASSERT_TRUE(uchar(c) < 128) << "RTF keeps every other character escaped";
    QStringList guide;
    for (QString line :
         QString::fromUtf8(readBytes(docs + QStringLiteral("/user_guide.txt"))).split(QLatin1Char('\n'))) {
        line = line.trimmed();
        if (line.isEmpty())
            continue;
        line.remove(QRegularExpression(QStringLiteral("^(##|#|-)")));
        guide << line.trimmed();
    }
    EXPECT_EQ(rtfParagraphs(QString::fromLatin1(rtf)), guide)
        << "docs/Brenvale.rtf is out of date: run docs/make_help_rtf.py";
}

// The guide tells what the program does while a bulletin is made (the report window tests): the progress
// window keeps the close from the report window, and its cancel button, by the caption it has, stops a
// bulletin from ORX.
TEST(HelpDocument, TheGuideSaysHowABulletinBeingMadeIsStopped)
{
    const QString docs = docsFolder();
    if (docs.isEmpty())
        GTEST_SKIP() << "no source tree";
    const QString guide = QString::fromUtf8(readBytes(docs + QStringLiteral("/user_guide.txt")));
    const Tpro progress;
    for (const QString &said :
         {QStringLiteral("Пока отчёт создаётся, открыто окно хода выполнения, и окно отчёта не закрывается."),
          QStringLiteral("Создание отчёта по БД ORX прерывается кнопкой «") + progress.cbt->text() +
              QStringLiteral("» в окне хода выполнения; прерванный отчёт не показывается")})
        EXPECT_TRUE(guide.contains(said)) << said.toStdString();
}

// The link of the about page hands the program folder's Brenvale.doc to the desktop.
TEST(HelpDocument, OpensFromTheAboutPage)
{
    const QString docs = docsFolder();
    if (docs.isEmpty())
        GTEST_SKIP() << "no source tree";
    ProgramWindow o;
    // As scripts/run installs it into the demo folder.
    ASSERT_TRUE(QFile::copy(docs + QStringLiteral("/Brenvale.rtf"), o.path("Brenvale.doc")));
    QStringList opened;
    auto saved = HelpDocumentOpener();
    HelpDocumentOpener() = [&](QWidget *, const QString &file) {
        opened << file;
        return true;
    };
    mouseClick(named(o.w.get(), "Label32"), QPoint(2, 2));
    HelpDocumentOpener() = saved;
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(QFileInfo(opened[0]).canonicalFilePath(),
              QFileInfo(o.path("Brenvale.doc")).canonicalFilePath());
    EXPECT_TRUE(readBytes(opened[0]).startsWith("{\\rtf1"));
}

} // namespace
