#pragma once

#include "lib/messages.h"

#include <QString>

#include <new>
#include <stdexcept>

// The system's exceptions carry a QString message; what() gives it as UTF-8 for logs.
class BrenvaleError : public std::runtime_error
{
public:
    explicit BrenvaleError(const QString &message)
        : std::runtime_error(message.toStdString()), m_message(message)
    {}
    const QString &message() const { return m_message; }

private:
    QString m_message;
};

// Bad text given to a conversion (numbers, dates, hex).
class EConvertError : public BrenvaleError
{
public:
    using BrenvaleError::BrenvaleError;
};

// The standard conversion errors' texts: the value as a message quotes it, then what it failed to be
// ("\"NAN\" - не число"). A caller that knows where the value stood (a file's line and field, a dialog's
// field) says so before it.
inline QString NotConvertedText(const QString &Value, const char *What)
{
    return QLatin1Char('"') + CutForMessage(Value) + QStringLiteral("\" - ") + QString::fromUtf8(What);
}
inline QString NotNumberText(const QString &Value)
{
    return NotConvertedText(Value, "не число");
}
inline QString NotIntegerText(const QString &Value)
{
    return NotConvertedText(Value, "не целое число");
}
inline QString NotDateTimeText(const QString &Value)
{
    return NotConvertedText(Value, "неверные дата и время");
}
inline QString NotDateText(const QString &Value)
{
    return NotConvertedText(Value, "неверная дата");
}

// A file that cannot be opened, read or written.
class EFileError : public BrenvaleError
{
public:
    using BrenvaleError::BrenvaleError;
};

// What an allocation failure says: the operation that met it names itself before this.
inline QString OutOfMemoryText()
{
    return QStringLiteral("Недостаточно памяти для выполнения операции.");
}

// The text of any exception as the system shows it: its own message, an allocation failure in Russian,
// else what() read as UTF-8; as long as a message may quote another's text.
inline QString ExceptionText(const std::exception &e)
{
    if (const auto *own = dynamic_cast<const BrenvaleError *>(&e))
        return CutForMessage(own->message(), MaxQuotedStatementChars);
    if (dynamic_cast<const std::bad_alloc *>(&e))
        return OutOfMemoryText();
    return CutForMessage(QString::fromUtf8(e.what()), MaxQuotedStatementChars);
}
