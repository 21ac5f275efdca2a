#pragma once

#include <QString>

// Text from a user or a file that goes into a statement as a literal.

// Every single quote doubled: O'Brien -> O''Brien.
QString SqlEscape(const QString &text);
// The escaped text in single quotes: O'Brien -> 'O''Brien'.
QString SqlQuote(const QString &text);
