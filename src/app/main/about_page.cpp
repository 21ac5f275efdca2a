#include "app/main/about_page.h"

#include "lib/messages.h"

#include <QDesktopServices>
#include <QEvent>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QUrl>
#include <QWidget>

namespace {

const char *const kTitle = "Brenvale (BV)";
const char *const kVersion = "Версия 1.1.799 от 26 ноября 2008 г.";
const char *const kDescription = "Вспомогательная программа обработки сейсмической информации\r\n"
                                 "для информационной системы ORX.\r\n"
                                 "\r\n"
                                 "Позволяет:\r\n"
                                 "- получать сводки в формате МСК - 85;\r\n"
                                 "- создавать станционные бюллетени (отчёты);\r\n"
                                 "- искать данные в БД ORX;\r\n"
                                 "- импортировать и экспортировать данные за указанный период из БД ORX;\r\n"
                                 "- работать с двумя форматами базы данных (ORX и промежуточная\r\n"
                                 "  база станционного бюллетеня).";
const char *const kHelpLink = "Открыть файл справки";
const char *const kHelpHint = "Открывается файл справки по программе BV.\r\n"
                              "\r\n"
                              "Если ничего не открывается, значит в папке\r\n"
                              "с программой BV нет файла Brenvale.doc\r\n"
                              "Возможно, он был переименован или удалён.\r\n"
                              "Или не установлена ни одна программа,\r\n"
                              "открывающая файлы MS Word (*.doc).";
const char *const kChangeLog[] = {
    "Журнал изменений (what's new)",
    "1.1.799 (26.11.2008)",
    "- отчёты из подключаемых библиотек папки plugins;",
    "- ссылка на файл справки на странице 'О программе'.",
};

void setTextColor(QWidget *w, Qt::GlobalColor color)
{
    QPalette pal = w->palette();
    pal.setColor(QPalette::WindowText, color);
    w->setPalette(pal);
}

void emphasize(QWidget *w, int sizeDelta, bool bold, bool underline)
{
    QFont f = w->font();
    if (sizeDelta != 0)
        f.setPointSizeF(f.pointSizeF() + sizeDelta);
    f.setBold(bold);
    f.setUnderline(underline);
    w->setFont(f);
}

// Lays the page out on resize and opens the help on a click of the link.
class AboutPageEvents : public QObject
{
public:
    AboutPageEvents(QWidget *page, QLabel *link, QString programDir)
        : QObject(page), m_page(page), m_link(link), m_programDir(std::move(programDir))
    {
        page->installEventFilter(this);
        link->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_page && event->type() == QEvent::Resize)
            TabSheet5Resize(m_page);
        else if (watched == m_link && event->type() == QEvent::MouseButtonRelease) {
            auto *me = static_cast<QMouseEvent *>(event);
            if (me->button() == Qt::LeftButton && m_link->rect().contains(me->position().toPoint()))
                Label32Click(m_page->window(), m_programDir);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QWidget *m_page;
    QLabel *m_link;
    QString m_programDir;
};

} // namespace

void BuildAboutPage(QWidget *Page, const QString &programDir)
{
    auto *title = new QLabel(QString::fromUtf8(kTitle), Page);
    title->setObjectName(QStringLiteral("Label29"));
    emphasize(title, 8, true, false);
    setTextColor(title, Qt::darkBlue);
    title->adjustSize();

    auto *version = new QLabel(QString::fromUtf8(kVersion), Page);
    version->setObjectName(QStringLiteral("Label33"));
    setTextColor(version, Qt::darkBlue);
    version->adjustSize();

    auto *panel = new QFrame(Page);
    panel->setObjectName(QStringLiteral("Panel4"));
    panel->setFrameShape(QFrame::StyledPanel);
    auto *description = new QLabel(messageTextForDisplay(QString::fromUtf8(kDescription)), panel);
    description->setObjectName(QStringLiteral("Label30"));
    description->move(8, 8);
    description->adjustSize();
    panel->resize(description->width() + 16, description->height() + 16);

    auto *changes = new QListWidget(Page);
    changes->setObjectName(QStringLiteral("changes"));
    for (const char *line : kChangeLog)
        changes->addItem(QString::fromUtf8(line));

    auto *link = new QLabel(QString::fromUtf8(kHelpLink), Page);
    link->setObjectName(QStringLiteral("Label32"));
    emphasize(link, 0, true, true);
    setTextColor(link, Qt::blue);
    link->setCursor(Qt::PointingHandCursor);
    link->setToolTip(messageTextForDisplay(QString::fromUtf8(kHelpHint)));
    link->adjustSize();
    link->raise();

    new AboutPageEvents(Page, link, programDir);
    TabSheet5Resize(Page);
}

void TabSheet5Resize(QWidget *Page)
{
    auto *title = Page->findChild<QWidget *>(QStringLiteral("Label29"), Qt::FindDirectChildrenOnly);
    auto *version = Page->findChild<QWidget *>(QStringLiteral("Label33"), Qt::FindDirectChildrenOnly);
    auto *panel = Page->findChild<QWidget *>(QStringLiteral("Panel4"), Qt::FindDirectChildrenOnly);
    auto *changes = Page->findChild<QWidget *>(QStringLiteral("changes"), Qt::FindDirectChildrenOnly);
    auto *link = Page->findChild<QWidget *>(QStringLiteral("Label32"), Qt::FindDirectChildrenOnly);
    if (!title || !version || !panel || !changes || !link)
        return;

    const int w = Page->width();
    const int h = Page->height();
    int top = 12;
    for (QWidget *c : {title, version, panel, changes}) {
        c->setGeometry(12, top, w - 24, c->height());
        top = c->y() + c->height() + 8;
    }
    if (auto *description = panel->findChild<QWidget *>(QStringLiteral("Label30")))
        description->resize(panel->width() - 16, description->height());
    link->move(w - 12 - link->width(), title->y());
    changes->resize(changes->width(), h - changes->y() - 12);
}

QString HelpDocumentPath(const QString &programDir)
{
    // The folder given by the program's options may come without its trailing "/".
    const QString dir = programDir.isEmpty() || programDir.endsWith(QLatin1Char('/'))
                            ? programDir
                            : programDir + QLatin1Char('/');
    return dir + QStringLiteral("Brenvale.doc");
}

void Label32Click(QWidget *Owner, const QString &programDir)
{
    const QString file = QFileInfo(HelpDocumentPath(programDir)).absoluteFilePath();
    if (!QFileInfo::exists(file))
        MessageProc(Owner, QStringLiteral("Не найден файл справки \"") + file + QStringLiteral("\"."),
                    MB_ICONERROR, MB_OK);
    else if (!HelpDocumentOpener()(Owner, file))
        MessageProc(Owner,
                    QStringLiteral("Не удалось открыть файл справки \"") + file +
                        QStringLiteral("\": не установлена программа, открывающая файлы MS Word (*.doc)."),
                    MB_ICONERROR, MB_OK);
}

std::function<bool(QWidget *, const QString &)> &HelpDocumentOpener()
{
    static std::function<bool(QWidget *, const QString &)> opener = [](QWidget *, const QString &file) {
        return QDesktopServices::openUrl(QUrl::fromLocalFile(file));
    };
    return opener;
}
