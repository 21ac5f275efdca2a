#pragma once

#include "app/settings/form_placement.h"
#include "app/settings/settings_record.h"
#include "lib/datetime.h"
#include "lib/font_routines.h"
#include "lib/ini_file.h"

#include <QRect>
#include <QString>
#include <QStringList>

class QWidget;

// Reading and writing the settings record and the window's own keys. These routines work on any
// settings access (the in-memory image of system/Brenvale.ini or the two-file store) and hold no
// controls; the main window hands them its state and applies what they read.

// Keys of section "global" kept in the main window's controls rather than in Tsett.
struct GlobalViewState
{
    bool no_search = false;
    bool select_data = true;
    bool onlyfull = true;
    int nets_width = 2;
    bool show_ts = false;
    QString threshold = QStringLiteral("1");
    QString station_code;
    QString stations;
};

// Start-up keys of section "global", in three groups because the window applies the start mode and
// the full-ORX mode between them.
void ReadStartKeys(SettingsAccess &ini, Tsett &s);
void ReadDatabaseKeys(SettingsAccess &ini, Tsett &s);
// "orxini", "flagbeg", "showempty", "net", "in_provider", "out_provider"; the engine-based Paradox
// reader falls back to the built-in one where the engine is missing.
void ReadOptionKeys(SettingsAccess &ini, Tsett &s, QString &netName, bool bdeAvailable);

void ReadCommonKeys(SettingsAccess &ini, QStringList &keys);
void WriteCommonKeys(SettingsAccess &ini, const QStringList &keys);

// Everything of section "global" that the second half of the start-up reads, the common keys included.
void ReadViewKeys(SettingsAccess &ini, Tsett &s, GlobalViewState &view);
// What the shutdown writes to section "global", in the file's order; net is the selected network.
void WriteSelectionKeys(SettingsAccess &ini, const Tsett &s, const GlobalViewState &view, const QString &net);

// The largest font size the font dialog takes, in points.
constexpr int kLargestFontSize = 512;

// Sections "font" and "font_main": "color", "charset", "style", "size", "name". EConvertError on a
// colour text that does not convert.
void ReadUserFont(SettingsAccess &ini, const QString &section, TUserFont &font);

// Per-station keys: periods, folders, flags, find options and mail (section = the internal code).
void ReadStationKeys(SettingsAccess &ini, const QString &code, Tsett &s, TDateTime today);
void WriteStationKeys(SettingsAccess &ini, const QString &code, const Tsett &s);

// Keys of the import page that follow the import type: file edits and file-name samples.
struct ImportTypeKeySet
{
    QStringList fileKeys;
    QStringList sampleKeys;
    QStringList sampleDefaults;
};
ImportTypeKeySet ImportKeysOfType(int importType); // empty lists for an unknown type

// The ORX event filter of a station. Read back in the form it is written in ("dd.mm.yyyy", a blank and
// "hh:nn:ss" unless midnight), so the value survives any locale.
struct OrxFilterState
{
    TDateTime beg = 0;
    TDateTime end = 0;
    bool filter = false;
};
OrxFilterState ReadOrxFilterKeys(SettingsAccess &ini, const QString &code, TDateTime today);
void WriteOrxFilterKeys(SettingsAccess &ini, const QString &code, const OrxFilterState &state);

// Window placement keys: "winstate", "winwidth", "winheight", "winx", "winy". Values that are missing
// or no integers are left to the defaults of ComputeFormPlacement.
StoredPlacement ReadStoredPlacement(SettingsAccess &ini, const QString &section);
void WritePlacement(SettingsAccess &ini, const QString &section, bool maximized, const QRect &bounds);

// The same for a window: its state, client size and frame position. An empty workArea means the work
// area of the window's screen. Without a stored size the window takes the size its contents prefer where
// three quarters of the work area would be less (ComputeFormPlacement); the frame the window system will
// add is its own once shown, until then the style's title bar and borders.
void SaveFormPlacement(QWidget *form, SettingsAccess &ini, const QString &section);
void LoadFormPlacement(QWidget *form, SettingsAccess &ini, const QString &section, int minWidth,
                       int minHeight, const QRect &workArea = QRect(), const QSize &preferred = QSize());
QRect WorkAreaOf(const QWidget *form);
