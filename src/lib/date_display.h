#pragma once

#include "lib/datetime.h"

#include <QLocale>
#include <QString>

// The system's own date format, one for every date it shows: the locale's short date in numbers with a
// four-digit year. A locale whose short date spells the month (the C locale gives "d MMM yyyy") falls
// back to the service's dd.mm.yyyy. Also the locale's decimal separator and short time.
TFormatSettings LocaleFormatSettings(const QLocale &Locale = QLocale::system());

// The short date of Fs as a display format of Qt's date edits ("dd.mm.yyyy" -> "dd.MM.yyyy").
QString DateEditFormat(const TFormatSettings &Fs);

// DateEditFormat of the system's locale.
QString SystemDateEditFormat();
