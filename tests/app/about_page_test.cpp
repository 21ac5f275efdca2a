#include "app/main/about_page.h"
#include "support/program_env.h"

namespace {

TEST(AboutPage, ControlsCarryTheirTexts)
{
    QWidget page;
    BuildAboutPage(&page, QStringLiteral("/opt/bv/"));

    const struct
    {
        const char *name;
        QString text;
    } labels[] = {
        {"Label29", QStringLiteral("Brenvale (BV)")},
        {"Label33", QStringLiteral("Версия 1.1.799 от 26 ноября 2008 г.")},
        {"Label30", QStringLiteral("Вспомогательная программа обработки сейсмической информации\n"
                                   "для информационной системы ORX.\n\nПозволяет:\n"
                                   "- получать сводки в формате МСК - 85;\n"
                                   "- создавать станционные бюллетени (отчёты);\n"
                                   "- искать данные в БД ORX;\n"
                                   "- импортировать и экспортировать данные за указанный период из БД ORX;\n"
                                   "- работать с двумя форматами базы данных (ORX и промежуточная\n"
                                   "  база станционного бюллетеня).")},
        {"Label32", QStringLiteral("Открыть файл справки")},
    };
    for (const auto &l : labels) {
        auto *label = page.findChild<QLabel *>(QString::fromLatin1(l.name));
        ASSERT_NE(label, nullptr) << l.name;
        EXPECT_EQ(label->text(), l.text) << l.name;
    }
    auto *link = page.findChild<QLabel *>(QStringLiteral("Label32"));
    EXPECT_EQ(link->toolTip(), QStringLiteral("Открывается файл справки по программе BV.\n\n"
                                              "Если ничего не открывается, значит в папке\n"
                                              "с программой BV нет файла Brenvale.doc\n"
                                              "Возможно, он был переименован или удалён.\n"
                                              "Или не установлена ни одна программа,\n"
                                              "открывающая файлы MS Word (*.doc)."));
    EXPECT_TRUE(link->font().bold());
    EXPECT_TRUE(link->font().underline());
    EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(page.findChild<QLabel *>(QStringLiteral("Label30"))->parent()->objectName(),
              QStringLiteral("Panel4"));

    auto *changes = page.findChild<QListWidget *>(QStringLiteral("changes"));
    ASSERT_NE(changes, nullptr);
    ASSERT_GT(changes->count(), 1);
    EXPECT_EQ(changes->item(0)->text(), QStringLiteral("Журнал изменений (what's new)"));

    EXPECT_EQ(HelpDocumentPath(QStringLiteral("/opt/bv/")), QStringLiteral("/opt/bv/Brenvale.doc"));
}

TEST(AboutPage, ResizeStacksTheBlocksAndPinsTheLink)
{
    QWidget page;
    BuildAboutPage(&page, QStringLiteral("/opt/bv/"));
    auto *title = page.findChild<QWidget *>(QStringLiteral("Label29"));
    auto *version = page.findChild<QWidget *>(QStringLiteral("Label33"));
    auto *panel = page.findChild<QWidget *>(QStringLiteral("Panel4"));
    auto *changes = page.findChild<QWidget *>(QStringLiteral("changes"));
    auto *link = page.findChild<QWidget *>(QStringLiteral("Label32"));

    for (const QSize size : {QSize(700, 600), QSize(900, 750)}) {
        // The resize event itself lays the page out.
        page.resize(size);
        page.show();
        EXPECT_EQ(title->geometry().topLeft(), QPoint(12, 12));
        EXPECT_EQ(version->y(), 12 + title->height() + 8);
        EXPECT_EQ(panel->y(), version->y() + version->height() + 8);
        EXPECT_EQ(changes->y(), panel->y() + panel->height() + 8);
        for (QWidget *w : {title, version, panel, changes}) {
            EXPECT_EQ(w->x(), 12);
            EXPECT_EQ(w->width(), size.width() - 24);
        }
        EXPECT_EQ(changes->height(), size.height() - changes->y() - 12);
        EXPECT_EQ(link->y(), 12);
        EXPECT_EQ(link->x() + link->width(), size.width() - 12);
    }
}

} // namespace
