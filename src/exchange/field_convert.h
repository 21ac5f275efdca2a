#pragma once

#include "lib/errors.h"
#include "lib/number_routines.h"

#include <QString>

// An integer field of an imported file; text that is no integer stops the import with the conversion's
// own message.
inline int IntFieldOrThrow(const QString &text)
{
    int value = 0;
    if (!TryStrToInt(text, value))
        throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(text));
    return value;
}
