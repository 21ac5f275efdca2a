#include "lib/messages.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

MessageProcType MessageProc = MsgBox;
MessageProcType ErrorMessageProc = MsgBox;

QString MsgBoxCaption(unsigned icon)
{
    switch (icon) {
    case 0:
        return QString();
    case MB_ICONERROR:
        return QStringLiteral("Ошибка");
    case MB_ICONQUESTION:
        return QStringLiteral("Вопрос");
    case MB_ICONWARNING:
        return QStringLiteral("Предупреждение");
    default:
        return QStringLiteral("Информация");
    }
}

QString messageTextForDisplay(const QString &text)
{
    QString out = text;
    out.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    out.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return out;
}

int MsgBox(QWidget *owner, const QString &text, unsigned icon, unsigned buttons)
{
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
        return IDCANCEL; // no GUI to ask: behave as a dismissed box

    const unsigned flags = icon | buttons;
    QMessageBox box(owner);
    box.setWindowTitle(MsgBoxCaption(icon));
    box.setText(messageTextForDisplay(text));
    switch (flags & 0xF0) {
    case MB_ICONERROR:
        box.setIcon(QMessageBox::Critical);
        break;
    case MB_ICONQUESTION:
        box.setIcon(QMessageBox::Question);
        break;
    case MB_ICONWARNING:
        box.setIcon(QMessageBox::Warning);
        break;
    case MB_ICONINFORMATION:
        box.setIcon(QMessageBox::Information);
        break;
    default:
        break;
    }

    struct Choice
    {
        const char *label;
        QMessageBox::ButtonRole role;
        int id;
    };
    QList<Choice> choices;
    switch (flags & 0xF) {
    case MB_OKCANCEL:
        choices = {{"OK", QMessageBox::AcceptRole, IDOK}, {"Отмена", QMessageBox::RejectRole, IDCANCEL}};
        break;
    case MB_ABORTRETRYIGNORE:
        choices = {{"Прервать", QMessageBox::RejectRole, IDABORT},
                   {"Повтор", QMessageBox::AcceptRole, IDRETRY},
                   {"Пропустить", QMessageBox::ActionRole, IDIGNORE}};
        break;
    case MB_YESNOCANCEL:
        choices = {{"Да", QMessageBox::YesRole, IDYES},
                   {"Нет", QMessageBox::NoRole, IDNO},
                   {"Отмена", QMessageBox::RejectRole, IDCANCEL}};
        break;
    case MB_YESNO:
        choices = {{"Да", QMessageBox::YesRole, IDYES}, {"Нет", QMessageBox::NoRole, IDNO}};
        break;
    case MB_RETRYCANCEL:
        choices = {{"Повтор", QMessageBox::AcceptRole, IDRETRY},
                   {"Отмена", QMessageBox::RejectRole, IDCANCEL}};
        break;
    default:
        choices = {{"OK", QMessageBox::AcceptRole, IDOK}};
        break;
    }
    QList<QPair<QAbstractButton *, int>> made;
    for (const Choice &c : choices)
        made.append({box.addButton(QString::fromUtf8(c.label), c.role), c.id});
    const qsizetype preferred = (flags >> 8) & 0xF;
    box.setDefaultButton(
        static_cast<QPushButton *>(made.value(preferred < made.size() ? preferred : 0).first));
    box.raise();
    box.activateWindow();
    box.exec();

    for (const auto &m : made)
        if (box.clickedButton() == m.first)
            return m.second;
    // Closed with Escape or the window's close button: Windows reports Cancel where there is one.
    for (const Choice &c : choices)
        if (c.id == IDCANCEL)
            return IDCANCEL;
    return choices.size() == 1 ? choices.first().id : IDCANCEL;
}
