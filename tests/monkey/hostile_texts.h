#pragma once

#include <QString>
#include <QStringList>

class MonkeyRng;

// What the monkey types: texts an analyst or a damaged clipboard may give a field. Empty, very long,
// Cyrillic, quotes and semicolons, numbers past every column (1.5e308), impossible and extreme dates
// (31.02.2026, 31.12.9999), times. None holds a folder separator, so a path edited by appending or
// prepending one of them still names a place inside the folder it named, or a relative one.
QStringList HostileTexts();

// One of HostileTexts(), or a long text made from the seed's draws.
QString PickHostileText(MonkeyRng &rng);
