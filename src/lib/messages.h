#pragma once

#include <QList>
#include <QString>

#include <functional>

class QWidget;

// Message-box flags as the system passes them around (they double as the Windows values stored
// nowhere but kept so that callers compare results the way they always have).
enum : unsigned {
    MB_OK = 0,
    MB_OKCANCEL = 1,
    MB_ABORTRETRYIGNORE = 2,
    MB_YESNOCANCEL = 3,
    MB_YESNO = 4,
    MB_RETRYCANCEL = 5,
    MB_ICONERROR = 16,
    MB_ICONQUESTION = 32,
    MB_ICONWARNING = 48,
    MB_ICONINFORMATION = 64,
    // Which button Enter presses; the first one unless told.
    MB_DEFBUTTON1 = 0,
    MB_DEFBUTTON2 = 0x100,
    MB_DEFBUTTON3 = 0x200,
    MB_SETFOREGROUND = 0x10000,
};

enum : int { IDOK = 1, IDCANCEL = 2, IDABORT = 3, IDRETRY = 4, IDIGNORE = 5, IDYES = 6, IDNO = 7 };

using MessageProcType =
    std::function<int(QWidget *owner, const QString &text, unsigned icon, unsigned buttons)>;

// Every message to the user goes through one of these; both start as MsgBox. The main window replaces
// the error procedure, tests replace both with recorders.
extern MessageProcType MessageProc;
extern MessageProcType ErrorMessageProc;

QString MsgBoxCaption(unsigned icon);
// The buttons a message shows for the button part of its flags (MB_OK ... MB_RETRYCANCEL), left to right:
// the result each gives and its caption.
struct MsgBoxButton
{
    int result;
    QString caption;
};
QList<MsgBoxButton> MsgBoxButtons(unsigned buttons);
int MsgBox(QWidget *owner, const QString &text, unsigned icon, unsigned buttons);

// The system writes "\r" for a line break in its messages; Qt's labels want "\n".
QString messageTextForDisplay(const QString &text);

// How much of a value a message quotes, and how long a message may be at all. A file, a database or a
// pasted field can hold millions of characters, and a box that quotes them whole takes minutes and
// hundreds of megabytes to lay out while saying nothing more.
constexpr qsizetype MaxQuotedChars = 200;
constexpr qsizetype MaxQuotedStatementChars = 2000; // a statement or another program's own text
constexpr qsizetype MaxMessageChars = 10000;

// A value as a message quotes it: whole up to Limit characters, else its first Limit characters and "…".
// Every value from a file, a database or a field goes through here before it is put into a message.
QString CutForMessage(const QString &Value, qsizetype Limit = MaxQuotedChars);
