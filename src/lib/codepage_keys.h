#pragma once

#include <QChar>
#include <QString>

// DOS Cyrillic (cp866) text that was read as windows-1251: each character stands for the cp866 byte it
// was decoded from. The conversion maps the letters and leaves every other byte, box drawing included.
void Cp866ToCp1251(QString &S);
void Cp866CharToCp1251(QChar &C);
// True when S holds more than Threshold lower cp866 letters (Ё of cp1251 not counted); Converted then
// gets the converted text when Convert, and is empty otherwise.
bool DetectDosText(const QString &S, QString &Converted, bool Convert, int Threshold);

// The Latin letter on the same key of the US layout as a Russian letter, in its case; QChar(0) for
// anything else.
QChar RusKeyToLat(QChar C);
