#include "app/main/about_page.h"
#include "support/program_env.h"

namespace {

// The blocks stack under each other across the page; the help link stays in the top right corner.
TEST(AboutPage, ResizeStacksTheBlocksAndPinsTheLink)
{
    QWidget page;
    BuildAboutPage(&page, QStringLiteral("/opt/bv/"));
    EXPECT_EQ(HelpDocumentPath(QStringLiteral("/opt/bv/")), QStringLiteral("/opt/bv/Brenvale.doc"));
    QWidget *blocks[4];
    const char *names[] = {"Label29", "Label33", "Panel4", "changes"};
    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(blocks[i] = page.findChild<QWidget *>(QString::fromLatin1(names[i]))) << names[i];
    auto *link = page.findChild<QLabel *>(QStringLiteral("Label32"));
    ASSERT_TRUE(link);
    EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);

    for (const QSize size : {QSize(700, 600), QSize(900, 750)}) {
        page.resize(size); // the resize event itself lays the page out
        page.show();
        int top = 12;
        for (QWidget *w : blocks) {
            EXPECT_EQ(w->geometry().topLeft(), QPoint(12, top)) << w->objectName().toStdString();
            EXPECT_EQ(w->width(), size.width() - 24);
            top += w->height() + 8;
        }
        EXPECT_EQ(blocks[3]->height(), size.height() - blocks[3]->y() - 12);
        EXPECT_EQ(link->y(), 12);
        EXPECT_EQ(link->x() + link->width(), size.width() - 12);
    }
}

} // namespace
