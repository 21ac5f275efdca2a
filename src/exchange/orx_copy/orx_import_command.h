#pragma once

class Tmainf;
class Tdm;

// "Импорт из ORX" as the main window runs it: the copy with the main window and the data module behind it.
void RunMainWindowOrxImport(Tmainf &Mainf, Tdm &Dm);
