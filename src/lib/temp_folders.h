#pragma once

#include <QString>
#include <QTemporaryDir>

// A temporary folder of the program's own, "<temp>/brenvale-<process id>-XXXXXX", removed with the
// object. A run killed before it could remove its folders (kill -9, a power cut) leaves them behind: the
// process id in the name tells the next start which ones no living run owns.
class ProgramTempDir
{
public:
    ProgramTempDir();
    bool isValid() const { return m_dir.isValid(); }
    QString path() const { return m_dir.path(); }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }
    // Why the folder was not made, in the system's words.
    QString errorString() const;
    bool remove() { return m_dir.remove(); }

private:
    QTemporaryDir m_dir;
};

// The name pattern of those folders, for the process given.
QString ProgramTempDirTemplate(qint64 ProcessId);

// Removes, from the temporary folder, the program's folders whose process is gone: only folders (never a
// link or a file) named by the pattern above, of this user, whose process id names no running process.
// Returns how many it removed. Run once at start-up.
int RemoveStaleTempFolders();
