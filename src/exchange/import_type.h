#pragma once

#include <QString>
#include <QStringList>

// What the import page reads; the value is the item index of the import-source combo.
enum ImportType : int {
    ImportParadox = 0,
    ImportExcel = 1,
    ImportText = 2,
    ImportOrv = 3,
    ImportKrv = 4,
};

constexpr int DefaultImportType = ImportText;
constexpr bool DefaultAddEvent = false;      // `add_event`
constexpr bool DefaultImmediateWrite = true; // `intxt_imm`

// Item texts of the import-source combo, in value order.
QStringList ImportTypeItems();

// Per-station keys of one import type: its file field keys and file-name template keys with their
// default templates (type 2 has three of each, for Events, Station_bulletin and XM_Add).
struct ImportTypeKeys
{
    QStringList fileKeys;
    QStringList templateKeys;
    QStringList defaultTemplates;
};

// Keys of a type; an unknown value gives empty lists.
ImportTypeKeys ImportTypeSettingsKeys(int importType);
