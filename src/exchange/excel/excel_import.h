#pragma once

#include <QString>

class ImportPage;

// A station's Excel workbook on the import page: read into the grid in the station's sheet layout, then
// converted and written at once when "Сразу в БД" is checked. True when rows were read.
bool ReadXls(ImportPage &Page, const QString &FileName);
// "Запись данных" on a grid holding read data: the grid, with the operator's corrections, converted into the
// three text tables and written as they are. Only the PET layout has a conversion; the others are read for
// viewing alone.
void RunStationMacro(ImportPage &Page);
