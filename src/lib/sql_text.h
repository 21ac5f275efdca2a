#pragma once

#include <QString>

// Text from a user or a file that goes into a statement as a literal.

// Every single quote doubled: O'Brien -> O''Brien.
QString SqlEscape(const QString &text);
// The escaped text in single quotes: O'Brien -> 'O''Brien'.
QString SqlQuote(const QString &text);
// A number as a statement's literal: the shortest text that reads back as the same double, '.' as the
// separator ("1796079732.3000002", "0.1", "1e+20"). FloatToStr keeps 15 digits, and a bound of a range
// written with them can miss the very value it came from.
QString SqlNumber(double value);
