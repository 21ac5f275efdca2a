#pragma once

struct OrvExportStats;
class Tmainf;

// The ORV export as the main window runs it, on the main window's settings, stations and ORX connection,
// after the parameter dialog has set the export's settings.
void RunMainWindowOrvExport(Tmainf &Mainf, OrvExportStats *Stats = nullptr);

// The export of the ORX database to an ORV event file: the parameter dialog, then the export.
void ORXExport(Tmainf &Mainf);

// The export button of the event page: the ORV export in ORX-only mode, the text export otherwise.
void InstallOrvExportCommand();
