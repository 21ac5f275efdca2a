#pragma once

// Hints of the whole application: shown 250 ms after the pointer stops, at once (within 250 ms) when
// moving on to the next control, and kept for 10 seconds.
constexpr int HintPause = 250;
constexpr int HintShortPause = 250;
constexpr int HintHidePause = 10000;

// Installs the timings once per application; later calls do nothing.
void InstallHintTimings();
