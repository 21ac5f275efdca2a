#include "app/settings/progress_window.h"

#include "app/main/appearance.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QProgressBar>
#include <QPushButton>

Tpro::Tpro(QWidget *owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("pro"));
    // The operation lets events in only for this window's cancel button and painting: the rest of the
    // program waits, so nothing the operation uses is closed, freed or started again under it.
    setWindowModality(Qt::ApplicationModal);
    pb = new QProgressBar(this);
    pb->setObjectName(QStringLiteral("pb"));
    pb->setGeometry(8, 8, 321, 21);
    pb->setTextVisible(false);
    cbt = new QPushButton(QStringLiteral("Отмена"), this);
    cbt->setObjectName(QStringLiteral("cbt"));
    cbt->setGeometry(124, 40, 73, 21);
    cbt->setAutoDefault(false);
    connect(cbt, &QPushButton::clicked, this, &Tpro::cbtClick);
    ApplyUserAppearance(this, KindOther);
    SetCancelFlag(false, nullptr);
}

void Tpro::SetCancelFlag(bool show, bool *flag)
{
    m_flag = flag;
    if (flag) {
        *flag = false;
        cbt->setVisible(show);
    } else {
        cbt->setVisible(false);
    }
    const QWidget *lowest = cbt->isVisibleTo(this) ? static_cast<QWidget *>(cbt) : static_cast<QWidget *>(pb);
    setFixedSize(336, lowest->geometry().bottom() + 1 + 8);
}

void Tpro::cbtClick()
{
    if (m_flag)
        *m_flag = true;
}

void Tpro::closeEvent(QCloseEvent *event)
{
    // The running operation owns this window: the user cannot close it, only cancel.
    event->ignore();
}

void Tpro::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
