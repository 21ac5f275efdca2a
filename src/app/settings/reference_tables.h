#pragma once

#include "lib/string_table.h"

#include <QList>
#include <QString>

// One frequency filter of system/filters.txt.
struct tfilt
{
    QString kind;    // channel kind, at most 2 characters
    double low = 0;  // Hz
    double high = 0; // Hz
};
using tfilts = QList<tfilt>;

// A channel and its amplitude factor in a row of the wave table.
struct tphchmul
{
    QString name; // channel, upper case
    double factor = 1;
};
// Empty: the row's multiplier applies to every channel.
using tmuls = QList<tphchmul>;
using tmulss = QList<tmuls>;

// Columns of refTable once it holds the wave table.
enum WaveColumn : int { wcSummaryName = 0, wcPhase = 1, wcMultiplier = 2, wcChannels = 3 };

// Reads programDir + "system/filters.txt" into filters and programDir + "system/waves.txt" into refTable,
// then parses the wave table into waves. programDir ends with "/". A file that cannot be read is reported
// by the reader and leaves its table empty or partly read.
void LoadFiltersAndWaves(const QString &programDir, TD2D &refTable, tfilts &filters, tmulss &waves);

// Rebuilds waves from the wave table in refTable, repairing its multiplier and channel cells.
void ParseWaveTable(TD2D &refTable, tmulss &waves);

// The amplitude factor of wave-table row Row for channel Channel.
double WaveAmplitudeFactor(const TD2D &refTable, const tmulss &waves, int Row, const QString &Channel);
