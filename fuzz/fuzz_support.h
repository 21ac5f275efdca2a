#pragma once

#include "lib/messages.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

// Shared by the fuzz targets: readers report through the message procedures, which must not open
// windows here, and file readers get their input through a private temporary folder.
namespace fuzz {

inline void silenceMessages()
{
    const auto quiet = [](QWidget *, const QString &, unsigned, unsigned) { return 0; };
    MessageProc = quiet;
    ErrorMessageProc = quiet;
}

inline QByteArray bytesOf(const uint8_t *data, size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
}

// One folder for the whole run, ending with "/".
inline const QString &workFolder()
{
    static QTemporaryDir dir;
    static const QString path = dir.path() + QLatin1Char('/');
    return path;
}

inline void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(path.section(QLatin1Char('/'), 0, -2));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
}

} // namespace fuzz
