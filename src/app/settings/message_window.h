#pragma once

#include <QDialog>

class QPlainTextEdit;
class QPushButton;
class QWidget;

// A message whose text may be long (a failed statement with its SQL): scrollable and selectable.
class Tefrm : public QDialog
{
    Q_OBJECT
public:
    explicit Tefrm(QWidget *owner = nullptr);

    QPlainTextEdit *Memo1 = nullptr;
    QWidget *Panel1 = nullptr;
    QPushButton *Button1 = nullptr;
};

// The main window's error procedure: the message window with the caption of the icon; always 1 (OK).
int GfxMessageDlg(QWidget *owner, const QString &text, unsigned icon, unsigned buttons);
