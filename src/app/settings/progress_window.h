#pragma once

#include <QDialog>

class QProgressBar;
class QPushButton;

// Shown while a long operation runs inside the click that started it. The operation lets pending events
// run between its steps and reads its own cancel flag, which the button sets.
class Tpro : public QDialog
{
    Q_OBJECT
public:
    explicit Tpro(QWidget *owner = nullptr);

    // With a flag: the flag is reset and the button shows when asked; without one there is nothing to
    // cancel and the button hides.
    void SetCancelFlag(bool show, bool *flag);

    QProgressBar *pb = nullptr;
    QPushButton *cbt = nullptr;

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void cbtClick();

    bool *m_flag = nullptr;
};
