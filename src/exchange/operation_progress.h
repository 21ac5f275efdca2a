#pragma once

#include <QString>

#include <memory>

class QWidget;
class Tpro;

// The progress window of an operation that runs inside the click that started it: a caption and the
// bar, no cancel button.
class OperationProgress
{
public:
    explicit OperationProgress(QWidget *owner);
    ~OperationProgress();

    void Show(const QString &Caption, int Minimum, int Maximum);
    // Shown with the bar's own range and no caption, both given as the operation learns them.
    void Show();
    void SetMaximum(int Maximum);
    // Moves the bar and lets the window paint; user input waits, since a click now would start another
    // operation on the same connections.
    void Set(int Position);
    // The same with a caption telling how far the operation is.
    void Set(int Position, const QString &Caption);
    void Hide();

private:
    QWidget *m_owner;
    std::unique_ptr<Tpro> m_window;
};
