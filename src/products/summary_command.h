#pragma once

class Tmainf;
class Tdm;

// The daily summary as the main window's "Создать сводку" runs it: the run with the main window and the
// data module behind it.
void RunMainWindowSummary(Tmainf &Mainf, Tdm &Dm);

// The same from the ORX database, in ORX-only mode.
void RunMainWindowOrxSummary(Tmainf &Mainf, Tdm &Dm);

// Installs the summary into the main window's product commands.
void InstallSummaryCommand();
