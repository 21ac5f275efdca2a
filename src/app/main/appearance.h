#pragma once

class QWidget;

// Window kinds for the user font: each kind has its own emphasised controls.
enum FormKind : int {
    KindMain = 0,
    KindDataFormat = 1,
    KindSettings = 2,
    KindConnection = 3,
    KindReport = 4,
    KindStartup = 5,
    KindSummaryEditor = 6,
    KindOther = 7,
};

// Every window but the message window and the data-filter dialog calls this from its constructor: it
// gives the window the user's font and double buffering. The main window installs the real work; until
// then windows keep their designed look.
void ApplyUserAppearance(QWidget *form, FormKind kind);

using AppearanceHook = void (*)(QWidget *form, FormKind kind);
void SetAppearanceHook(AppearanceHook hook);
