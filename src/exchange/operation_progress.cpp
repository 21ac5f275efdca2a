#include "exchange/operation_progress.h"

#include "app/settings/progress_window.h"

#include <QCoreApplication>
#include <QProgressBar>

OperationProgress::OperationProgress(QWidget *owner) : m_owner(owner) {}

OperationProgress::~OperationProgress() = default;

void OperationProgress::Show(const QString &Caption, int Minimum, int Maximum)
{
    m_window = std::make_unique<Tpro>(m_owner);
    m_window->SetCancelFlag(false, nullptr);
    m_window->setWindowTitle(Caption);
    m_window->pb->setRange(Minimum, Maximum);
    m_window->show();
}

void OperationProgress::Show()
{
    m_window = std::make_unique<Tpro>(m_owner);
    m_window->SetCancelFlag(false, nullptr);
    m_window->show();
}

void OperationProgress::SetMaximum(int Maximum)
{
    if (m_window)
        m_window->pb->setMaximum(Maximum);
}

void OperationProgress::Set(int Position, const QString &Caption)
{
    if (m_window)
        m_window->setWindowTitle(Caption);
    Set(Position);
}

void OperationProgress::Set(int Position)
{
    if (!m_window)
        return;
    m_window->pb->setValue(Position);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void OperationProgress::Hide()
{
    m_window.reset();
}
