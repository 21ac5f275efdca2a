#pragma once

#include <QStringView>

#include <array>

// One per-station working key that the user may share among all stations, with its description for
// the settings dialog.
struct SettingsKeyRow
{
    QStringView Key;
    QStringView Description;
};

extern const std::array<SettingsKeyRow, 73> SettingsKeyCatalogue;
