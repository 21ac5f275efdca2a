#pragma once

class Tmainf;
struct TextFormats;

// The export of the station bulletin database as the export buttons run it outside the ORX-only mode:
// on the main window's settings, station and data module, in the export formats given (the import
// page's).
void Export_St_bull_Click(Tmainf &Mainf, const TextFormats &Formats);
