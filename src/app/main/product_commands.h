#pragma once

#include <functional>

class Tmainf;

// Commands of the main window whose work lives in the libraries above it (summaries, bulletins, imports
// and exports). The program installs them at start; an empty one does nothing.
struct ProductCommands
{
    std::function<void(Tmainf &)> svodka;     // the daily summary from the station bulletin database
    std::function<void(Tmainf &)> orxSvodka;  // the daily summary from the ORX database
    std::function<void(Tmainf &)> orvExport;  // the export of the ORX database to an ORV event file
    std::function<void(Tmainf &)> textExport; // the export of the station bulletin database to text
    // A new modeless report window; ORX tells which event page asked (ORX database or bulletin database).
    std::function<void(Tmainf &, bool ORX)> report;
    std::function<void(Tmainf &)> importOrx;  // "Импорт из ORX": the station's period copied from ORX
    std::function<void(Tmainf &)> dataFormat; // "Формат данных": the station's six text formats
};

ProductCommands &productCommands();
