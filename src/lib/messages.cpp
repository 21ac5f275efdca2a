#include "lib/messages.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include <algorithm>

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

QList<MsgBoxButton> MsgBoxButtons(unsigned buttons)
{
    const QString ok = QStringLiteral("OK"), cancel = QStringLiteral("Отмена"),
                  retry = QStringLiteral("Повтор");
    switch (buttons & 0xF) {
    case MB_OKCANCEL:
        return {{IDOK, ok}, {IDCANCEL, cancel}};
    case MB_ABORTRETRYIGNORE:
        return {{IDABORT, QStringLiteral("Прервать")},
                {IDRETRY, retry},
                {IDIGNORE, QStringLiteral("Пропустить")}};
    case MB_YESNOCANCEL:
        return {{IDYES, QStringLiteral("Да")}, {IDNO, QStringLiteral("Нет")}, {IDCANCEL, cancel}};
    case MB_YESNO:
        return {{IDYES, QStringLiteral("Да")}, {IDNO, QStringLiteral("Нет")}};
    case MB_RETRYCANCEL:
        return {{IDRETRY, retry}, {IDCANCEL, cancel}};
    default:
        return {{IDOK, ok}};
    }
}

namespace {

QMessageBox::ButtonRole buttonRole(int result)
{
    switch (result) {
    case IDYES:
        return QMessageBox::YesRole;
    case IDNO:
        return QMessageBox::NoRole;
    case IDIGNORE:
        return QMessageBox::ActionRole;
    case IDCANCEL:
    case IDABORT:
        return QMessageBox::RejectRole;
    default:
        return QMessageBox::AcceptRole;
    }
}

} // namespace

QString messageTextForDisplay(const QString &text)
{
    QString out = text;
    out.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    out.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return out;
}

QString CutForMessage(const QString &Value, qsizetype Limit)
{
    if (Value.size() <= Limit)
        return Value;
    qsizetype keep = std::max<qsizetype>(Limit, 0);
    // Half a surrogate pair would show as a box.
    if (keep > 0 && Value.at(keep - 1).isHighSurrogate())
        --keep;
    return Value.left(keep) + QChar(0x2026);
}

int MsgBox(QWidget *owner, const QString &text, unsigned icon, unsigned buttons)
{
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
        return IDCANCEL; // no GUI to ask: behave as a dismissed box

    const unsigned flags = icon | buttons;
    QMessageBox box(owner);
    box.setWindowTitle(MsgBoxCaption(icon));
    // Whatever a caller quoted, the box lays out no more than a message may hold.
    box.setText(messageTextForDisplay(CutForMessage(text, MaxMessageChars)));
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

    const QList<MsgBoxButton> choices = MsgBoxButtons(flags);
    QList<QPair<QAbstractButton *, int>> made;
    for (const MsgBoxButton &c : choices)
        made.append({box.addButton(c.caption, buttonRole(c.result)), c.result});
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
    for (const MsgBoxButton &c : choices)
        if (c.result == IDCANCEL)
            return IDCANCEL;
    return choices.size() == 1 ? choices.first().result : IDCANCEL;
}
