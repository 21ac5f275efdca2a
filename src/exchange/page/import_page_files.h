#pragma once

#include <QString>

#include <array>

// The open dialog's filter for an import type, in the system's "name|mask|..." form.
QString ImportFileFilter(int importType);

// The three text files of one export named after the one the user chose: the chosen file goes into slot
// `checked` (0 Events, 1 Station_bulletin, 2 XM_Add), each other slot gets the chosen file's folder with its
// own template, whose '?' stands for the run of digits the chosen name has where its template has the '?'.
std::array<QString, 3> TextFileSiblings(const std::array<QString, 3> &templates, int checked,
                                        const QString &chosen);

// The file as it stands in its folder: the name itself when such a file exists, else the first file of the
// folder whose name differs from it only in letter case (the text files come from a system whose names
// ignore case, and the export writes "XM_Add" where the template says "Xm_Add"); else the name unchanged.
QString ExistingFileIgnoringCase(const QString &path);
