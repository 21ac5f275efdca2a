#include "exchange/orv/orv_file.h"
#include "fuzz_support.h"
#include "lib/errors.h"
#include "lib/string_table.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

// An event file as the view reads it: unpacked within the import's limits into a folder of its own,
// each dump's header and field list read and its view table sized and filled within the view's share of
// memory. A file that declares more than it holds stops at a limit, not at the machine's memory or disk.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::silenceMessages();
    const QString root = fuzz::workFolder() + QStringLiteral("orv/");
    QDir(root).removeRecursively();
    const QString archive = root + QStringLiteral("in.orv");
    fuzz::writeFile(archive, fuzz::bytesOf(data, size));
    const QString unpacked = root + QStringLiteral("out");
    QDir().mkpath(unpacked);
    try {
        unzipAll(archive, unpacked, OrvUnzipLimits());
    } catch (const EFileError &) {
        return 0;
    }
    const QStringList names = QDir(unpacked).entryList({QStringLiteral("*.orv")}, QDir::Files, QDir::Name);
    qint64 unpackedBytes = 0;
    for (const QFileInfo &f : QDir(unpacked).entryInfoList(QDir::Files | QDir::Hidden))
        unpackedBytes += f.size();
    OrvViewBudget budget{qint64(size), unpackedBytes};
    OrvVersion version = OrvVersion::Unknown;
    for (const QString &name : names) {
        QFile member(QDir(unpacked).filePath(name));
        if (!member.open(QIODevice::ReadOnly))
            continue;
        if (version == OrvVersion::Unknown)
            version = DetectOrvVersion(member);
        orxheader header;
        if (version == OrvVersion::Unknown || ReadOrvHeader(member, version, header) != OrvReadStatus::Ok ||
            ReadOrvFieldList(member, header) != OrvReadStatus::Ok ||
            !budget.takeCells(header.fieldCount, qint64(header.recordCount) + 1))
            continue;
        TD2D view;
        view.Init(header.fieldCount, header.recordCount + 1);
        OrvValueForms forms;
        forms.viewOnly = true;
        for (int row = 1; ReadOrvRecord(member, header, forms) == OrvReadStatus::Ok; ++row) {
            const bool added = row >= view.RowCount();
            if ((added && !budget.takeCells(header.fieldCount, 1)) || !budget.takeTexts(header.texts))
                break;
            if (added)
                view.AddRows(1);
            for (int i = 0; i < header.fieldCount; ++i)
                view.SetCell(i, row, header.texts[i]);
        }
    }
    return 0;
}
