#pragma once

#include <QString>

class QFileDevice;
class QIODevice;

// The reasons the system gives for a failed call, in the system's words: the common ones in Russian, a
// rare one as "системная ошибка N (<the system's own text>)". They follow a Russian sentence that names
// the file ("Не удалось записать файл <name>: <reason>").
QString SystemErrorText(int Code);

// The reason a file or another device gave for its last failure. Qt keeps only the system's text of it,
// so the text is matched against the system's texts of the common reasons; another is said by the kind
// of failure, the device's own text after it in brackets.
QString FileErrorText(const QFileDevice &File);
QString DeviceErrorText(const QIODevice &Device);
// The same for a text Qt took from the system elsewhere (a temporary folder that was not made).
QString SystemTextReason(const QString &Text);
