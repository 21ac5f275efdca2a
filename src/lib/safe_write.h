#pragma once

#include <QByteArray>
#include <QString>

// Every file the program writes goes through here: the bytes go into a temporary file in the target's
// folder, which is flushed to disk and checked for its full size before it is renamed over the old file.
// On any failure the temporary file is removed and the old file stays as it was. (QSaveFile alone is not
// enough: on a full disk Qt 6.4 can rename a short file over a good one without an error.)
class SafeFileWriter
{
public:
    explicit SafeFileWriter(const QString &fileName);
    ~SafeFileWriter();
    SafeFileWriter(const SafeFileWriter &) = delete;
    SafeFileWriter &operator=(const SafeFileWriter &) = delete;

    bool open();
    bool write(const QByteArray &bytes);
    bool write(const char *data, qint64 size);
    // Replaces bytes already written at offset (a count that is only known at the end); the file does
    // not grow.
    bool rewrite(qint64 offset, const QByteArray &bytes);
    // Flushes, checks and renames; false leaves the old file and removes the temporary one.
    bool commit();
    // Drops what was written; the old file stays.
    void cancel();

    // A scratch file in a private folder that no one reads after a crash needs no flush to the disk:
    // without it the commit still checks the size and renames, but neither file nor folder is synced.
    void setScratch(bool scratch) { m_scratch = scratch; }

    const QString &fileName() const { return m_fileName; }
    // The reason of the first failure, in the system's language.
    const QString &errorString() const { return m_error; }

private:
    bool fail(const QString &reason);

    QString m_fileName;
    QString m_tempName;
    QString m_error;
    int m_fd = -1;
    qint64 m_written = 0;
    bool m_scratch = false;
};

// Writes the whole file at once; on failure *error (when given) gets the reason and the old file stays.
bool SafeWriteFile(const QString &fileName, const QByteArray &bytes, QString *error = nullptr);

// The same, raising EFileError "Не удалось записать файл <name>: <reason>" on failure.
void SafeWriteFileOrThrow(const QString &fileName, const QByteArray &bytes);

// The message of a failed write as the system shows it.
QString SafeWriteMessage(const QString &fileName, const QString &reason);

namespace safe_write_testing {
// A full disk on demand: once this many bytes in all have gone into temporary files, further writes
// fail with ENOSPC. A negative budget (the default) lifts the limit.
void SetByteBudget(qint64 bytes);
} // namespace safe_write_testing
