#include "app/settings/message_window.h"

#include "lib/messages.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

Tefrm::Tefrm(QWidget *owner) : QDialog(owner, Qt::Dialog | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("efrm"));
    resize(497, 223);
    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFixedHeight(41);
    Button1 = new QPushButton(QStringLiteral("OK"), Panel1);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(208, 8, 75, 25);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Memo1);
    layout->addWidget(Panel1);
}

int GfxMessageDlg(QWidget *owner, const QString &text, unsigned icon, unsigned buttons)
{
    Q_UNUSED(owner);
    Q_UNUSED(buttons);
    Tefrm window(QApplication::activeWindow());
    window.setWindowTitle(MsgBoxCaption(icon));
    // Whatever a caller quoted, the window lays out no more than a message may hold.
    window.Memo1->setPlainText(messageTextForDisplay(CutForMessage(text, MaxMessageChars)));
    window.exec();
    return IDOK;
}
