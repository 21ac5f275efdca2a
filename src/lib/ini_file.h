#pragma once

#include "lib/read_budget.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

// Integer text as the system reads it from its INI files: optional sign, then decimal digits or "$" and
// hex digits, nothing else (no blanks); false when the text is no 32-bit integer.
bool TryIniTextToInt(const QString &text, int &value);

// Reading and writing settings by section and key, whether one file or the two-file settings store
// stands behind them. Integers are decimal text, Booleans 1 or 0 (any other integer reads as true).
class SettingsAccess
{
public:
    virtual ~SettingsAccess() = default;
    virtual QString ReadString(const QString &section, const QString &key, const QString &defaultValue) = 0;
    virtual void WriteString(const QString &section, const QString &key, const QString &value) = 0;

    int ReadInteger(const QString &section, const QString &key, int defaultValue);
    // The integer when it lies within minValue..maxValue, the range its use can take; defaultValue
    // otherwise, as for a missing key, so that no number the use cannot take reaches it.
    int ReadIntegerIn(const QString &section, const QString &key, int defaultValue, int minValue,
                      int maxValue);
    bool ReadBool(const QString &section, const QString &key, bool defaultValue);

    // What a caller may still spend on what it builds from the values (lib/read_budget.h): the share of
    // the file behind them less what its image holds; the share of a small input where no file is read.
    virtual ReadBudget ValueBudget() const { return ReadBudget(SmallInputBudget); }
    // Why values that would pass that share are refused, naming the file.
    virtual QString OverBudgetMessage(qint64 limit) const { return OverBudgetText(limit); }
    // What another read of the same file takes while this one lives: its bytes and the image they make.
    virtual qint64 RereadBytes() const { return 0; }
    void WriteInteger(const QString &section, const QString &key, int value);
    void WriteBool(const QString &section, const QString &key, bool value);
};

// What an IniFile image holds of a line "key=value", and of a section.
struct IniFileEntry
{
    QString key;
    QString value;
};
struct IniFileSection
{
    QString name;
    QList<IniFileEntry> entries;
    // Case-folded key -> its first entry, kept once the section is longer than a short scan.
    QHash<QString, qsizetype> keyIndex;
};
// Both move as plain bytes, so their lists grow in place (realloc) rather than holding the old array and
// the new one at once: the share of memory of a large file counts each entry once.
Q_DECLARE_TYPEINFO(IniFileEntry, Q_RELOCATABLE_TYPE);
Q_DECLARE_TYPEINFO(IniFileSection, Q_RELOCATABLE_TYPE);

// A section header as a file writes it, and how many headers are written so.
struct IniSectionHeader
{
    QString name;
    qsizetype count = 0;
};
Q_DECLARE_TYPEINFO(IniSectionHeader, Q_RELOCATABLE_TYPE);

// The text of a settings file's bytes, decoded as IniFile reads them.
QString IniFileText(const QByteArray &bytes);

// The encoding a settings file was read in, and whether a byte order mark stood before it: the
// program's windows-1251 without one, UTF-8 or UTF-16 after their marks, or windows-1251 after a UTF-8
// mark that the bytes do not follow.
struct IniFileForm
{
    enum Encoding { Windows1251, Utf8, Utf16LE, Utf16BE };
    Encoding encoding = Windows1251;
    bool marked = false;
};

// In-memory image of an INI file. The whole file is read when the image is created (a missing file
// gives an empty image); reads and writes work on the image, and UpdateFile writes it back.
//
// File form: windows-1251, lines ended by CR LF (LF or a lone CR read as well). Section and key names
// match without regard to case, Cyrillic included, and keep the spelling and order they were first seen
// with; a section named twice is read as one. A value is the text after the first '=' exactly as written;
// only the key is trimmed. Lines that are not "key=value" inside a section (comments, blank lines, text
// before the first section) are not kept, so a rewrite drops them; the program never writes such lines.
// A key written twice in a section keeps both lines, and the first one is the one read and written.
// Sections and the keys of a long section are found by hash, so a file of many of either loads and reads
// in linear time. A file that begins with a byte order mark, as a Windows editor may save it, is read past
// the mark, in UTF-8 or UTF-16 as the mark says, and written back in that encoding after the same mark, so
// no letter windows-1251 lacks becomes '?'; bytes after a UTF-8 mark that are no UTF-8 are windows-1251,
// read so and written back as they came, after the mark. A mark at the start of a later line, where files
// were joined, is read as nothing.
class IniFile : public SettingsAccess
{
public:
    // EFileError when the file exists but cannot be read, holds text but not a single section (a
    // damaged file: an image read as empty would wipe it on update), or is past the memory a read of it
    // may take (lib/read_budget.h).
    explicit IniFile(const QString &fileName);
    // The image of a file's bytes, checked as the file would be; fileName is where UpdateFile writes.
    static IniFile FromBytes(const QByteArray &bytes, const QString &fileName = QString());
    // Each spelling of a section header in a file, in the order first met, with the number of headers
    // written so: the image takes a section written twice as one. Empty for a missing file; EFileError
    // as for the image.
    static QList<IniSectionHeader> ReadSectionHeaders(const QString &fileName);

    const QString &fileName() const { return m_fileName; }

    QString ReadString(const QString &section, const QString &key, const QString &defaultValue) const;
    QString ReadString(const QString &section, const QString &key, const QString &defaultValue) override
    {
        return std::as_const(*this).ReadString(section, key, defaultValue);
    }
    void WriteString(const QString &section, const QString &key, const QString &value) override;

    QStringList ReadSections() const;
    QStringList ReadSection(const QString &section) const;       // key names
    QStringList ReadSectionValues(const QString &section) const; // "key=value" lines
    bool SectionExists(const QString &section) const;
    bool ValueExists(const QString &section, const QString &key) const;
    void DeleteKey(const QString &section, const QString &key);
    void EraseSection(const QString &section);

    // The bytes UpdateFile writes: the image in the form its file was read in, CR LF after every line.
    QByteArray FileBytes() const;
    // Writes the image through a temporary file renamed over the old one; EFileError on failure.
    void UpdateFile() const;

    ReadBudget ValueBudget() const override;
    QString OverBudgetMessage(qint64 limit) const override;
    qint64 RereadBytes() const override;

private:
    using Entry = IniFileEntry;
    using Section = IniFileSection;

    IniFile() = default;
    const Section *findSection(const QString &name) const;
    Section *findSection(const QString &name);
    Section &addSection(const QString &name);
    void reindex();
    static qsizetype findKey(const Section &section, const QString &key);
    // Appends the entry, indexing it once the section is long; the bytes the index took.
    static qint64 appendEntry(Section &section, const QString &key, const QString &value);
    static void reindexKeys(Section &section);
    void loadBytes(const QByteArray &bytes);

    QString m_fileName;
    IniFileForm m_form;
    // The share of memory of the read that made the image, and what the image holds of it.
    qint64 m_budgetLimit = SmallInputBudget;
    qint64 m_heldBytes = 0;
    qint64 m_sourceBytes = 0;
    QList<Section> m_sections;
    // Case-folded name -> position in m_sections, so that a file of many sections loads in linear time.
    QHash<QString, qsizetype> m_index;
};
