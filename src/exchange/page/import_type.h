#pragma once

// What the import page reads; the value is the item index of the import-source combo. The per-station
// keys of each type are kept with the station settings (src/app/settings_persistence.h).
enum ImportType : int {
    ImportParadox = 0,
    ImportExcel = 1,
    ImportText = 2,
    ImportOrv = 3,
    ImportKrv = 4,
};
