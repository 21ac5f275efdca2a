#pragma once

#include <QByteArray>
#include <QChar>
#include <QString>

// Windows-1251 and DOS cp866 text, from our own tables so the bytes are the same on every machine.
// Characters a code page cannot hold are written as '?'.

QByteArray toCp1251(const QString &text);
QString fromCp1251(const QByteArray &bytes);
char toCp1251Char(QChar c);
QChar fromCp1251Char(char byte);

QByteArray toCp866(const QString &text);
QString fromCp866(const QByteArray &bytes);
