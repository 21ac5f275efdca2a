#include "app/main/hint_timings.h"

#include <QApplication>
#include <QHelpEvent>
#include <QProxyStyle>
#include <QToolTip>
#include <QWidget>

namespace {

class HintStyle : public QProxyStyle
{
public:
    using QProxyStyle::QProxyStyle;
    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *returnData) const override
    {
        if (hint == SH_ToolTip_WakeUpDelay)
            return HintPause;
        if (hint == SH_ToolTip_FallAsleepDelay)
            return HintShortPause;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

// Qt keeps a hint up for a time that grows with its length; ours stays for a fixed time.
class HintDuration : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::ToolTip && watched->isWidgetType()) {
            auto *w = static_cast<QWidget *>(watched);
            if (!w->toolTip().isEmpty()) {
                QToolTip::showText(static_cast<QHelpEvent *>(event)->globalPos(), w->toolTip(), w, QRect(),
                                   HintHidePause);
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

void InstallHintTimings()
{
    if (!qApp || qApp->property("brenvaleHints").toBool())
        return;
    qApp->setProperty("brenvaleHints", true);
    qApp->setStyle(new HintStyle(qApp->style()->name()));
    qApp->installEventFilter(new HintDuration(qApp));
}
