#include "fuzz_support.h"
#include "lib/errors.h"
#include "platform/zip_archive.h"

#include <QDirIterator>

// Archive bytes as they come by mail: unpacking either succeeds or fails with its own error, and nothing
// is written outside the target folder.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::silenceMessages();
    const QString root = fuzz::workFolder() + QStringLiteral("zip/");
    QDir(root).removeRecursively();
    const QString zipName = root + QStringLiteral("in.zip");
    fuzz::writeFile(zipName, fuzz::bytesOf(data, size));
    const QString target = root + QStringLiteral("out");
    QDir().mkpath(target);
    try {
        unzipAll(zipName, target);
    } catch (const EFileError &) {
    }
    // Only the archive and the target folder may lie in root, here and in the folder above it.
    for (const QString &name : QDir(root).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot))
        if (name != QLatin1String("in.zip") && name != QLatin1String("out"))
            __builtin_trap();
    for (const QString &name :
         QDir(fuzz::workFolder()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot))
        if (name != QLatin1String("zip"))
            __builtin_trap();
    return 0;
}
