#pragma once

#include "lib/datetime.h"

#include <functional>

class TD2D;

// The column counts of the three text tables (those of the station's export formats).
struct PetTableColumns
{
    int events = 18;
    int stationBulletin = 25;
    int xmAdd = 18;
};

// Turns an import grid in the PET station sheet layout (row 0 headers, column 0 row numbers, dates
// already normalised) into the three header-less text tables Events, Station_bulletin and XM_Add.
// Dates are written in EventsFormat's short date format, negated coordinates with Locale's decimal
// separator, lddate as Today. False with the message to show when a row cannot be converted; the tables
// keep the rows made before it. Progress hears each grid row before it is converted.
bool PetMacro(const TD2D &Grid, const TFormatSettings &EventsFormat, const TFormatSettings &Locale,
              const PetTableColumns &Columns, TDateTime Today, TD2D &Events, TD2D &StationBulletin,
              TD2D &XmAdd, QString &Message, const std::function<void(int Row)> &Progress = {});
