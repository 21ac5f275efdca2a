#include "lib/ini_file.h"

#include "lib/codec.h"
#include "lib/errors.h"
#include "lib/read_budget.h"
#include "lib/safe_write.h"
#include "lib/system_errors.h"

#include <QDir>
#include <QFile>

#include <cstring>

namespace {

bool sameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

QString displayPath(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// A section longer than this finds its keys by hash; a shorter one is scanned.
constexpr qsizetype kScannedKeys = 16;

// What a key costs in a section's index: its node and its share of the table, which doubles as it grows,
// and its folded text where folding changed it.
qint64 keyIndexBytes(const QString &key, const QString &folded)
{
    return 64 + (folded.constData() == key.constData() ? 0 : StringHeapBytes(folded.size()));
}

} // namespace

IniFile::IniFile(const QString &fileName) : m_fileName(fileName)
{
    QFile file(fileName);
    if (!file.exists())
        return;
    if (!file.open(QIODevice::ReadOnly))
        throw EFileError(QStringLiteral("Не удалось прочитать файл %1: %2")
                             .arg(displayPath(fileName), FileErrorText(file)));
    if (file.size() > MaxInputBytes)
        throw EFileError(QStringLiteral("Не удалось прочитать файл %1: %2")
                             .arg(displayPath(fileName), InputTooLargeText(file.size())));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw EFileError(QStringLiteral("Не удалось прочитать файл %1: %2")
                             .arg(displayPath(fileName), FileErrorText(file)));
    loadBytes(bytes);
}

IniFile IniFile::FromBytes(const QByteArray &bytes, const QString &fileName)
{
    IniFile ini;
    ini.m_fileName = fileName;
    ini.loadBytes(bytes);
    return ini;
}

void IniFile::loadBytes(const QByteArray &bytes)
{
    // The bytes are held while the image is made, each line read from them in place; each key, value and
    // section costs its strings and its place in the lists.
    ReadBudget budget(ReadBudgetBytes(bytes.size()));
    budget.spend(bytes.size());
    const auto spend = [&](qint64 cost) {
        if (!budget.spend(cost))
            throw EFileError(OverBudgetMessage(budget.limit()));
    };
    // windows-1251 is one byte a character: line ends, brackets, '=' and ';' are found in the bytes, and
    // the blanks QString::trimmed takes are the controls from tab to CR, the space and the no-break space.
    const char *const data = bytes.constData();
    const auto blank = [](char c) {
        const auto b = uchar(c);
        return (b >= 9 && b <= 13) || b == ' ' || b == 0xA0;
    };
    const auto text = [&](qsizetype from, qsizetype to) {
        return fromCp1251(QByteArray::fromRawData(data + from, to - from));
    };
    Section *current = nullptr;
    bool content = false;
    qsizetype pos = 0;
    const qsizetype size = bytes.size();
    while (pos < size) {
        // Lines end in CR LF, LF or a lone CR.
        const qsizetype start = pos;
        qsizetype end = pos;
        while (end < size && data[end] != '\r' && data[end] != '\n')
            ++end;
        pos = end;
        if (pos < size && data[pos] == '\r')
            ++pos;
        if (pos < size && data[pos] == '\n')
            ++pos;

        qsizetype first = start, last = end;
        while (first < last && blank(data[first]))
            ++first;
        while (last > first && blank(data[last - 1]))
            --last;
        if (first == last || data[first] == ';')
            continue;
        content = true;
        if (data[first] == '[' && data[last - 1] == ']' && last - first >= 2) {
            const QString name = text(first + 1, last - 1).trimmed();
            current = findSection(name);
            if (!current) {
                spend(qint64(sizeof(Section)) + 64 + 2 * StringHeapBytes(name.size()));
                current = &addSection(name);
            }
            continue;
        }
        const char *const eq = static_cast<const char *>(memchr(data + start, '=', size_t(end - start)));
        if (!current || !eq)
            continue;
        const QString key = text(start, eq - data).trimmed();
        if (key.isEmpty())
            continue;
        const QString value = text(eq - data + 1, end);
        spend(qint64(sizeof(Entry)) + StringHeapBytes(key.size()) + StringHeapBytes(value.size()));
        spend(appendEntry(*current, key, value));
    }
    m_budgetLimit = budget.limit();
    // The bytes are gone with the read; the entries stay.
    m_sourceBytes = bytes.size();
    m_heldBytes = budget.spent() - bytes.size();
    // Text without one section is no settings file the program wrote (binary garbage, a truncated or
    // foreign file); read as empty, it would be replaced by defaults on the next update.
    if (content && m_sections.isEmpty())
        throw EFileError(QStringLiteral("Не удалось прочитать файл %1: в нём нет ни одного раздела")
                             .arg(displayPath(m_fileName)));
}

const IniFile::Section *IniFile::findSection(const QString &name) const
{
    const auto it = m_index.constFind(name.toCaseFolded());
    return it == m_index.cend() ? nullptr : &m_sections[*it];
}

IniFile::Section *IniFile::findSection(const QString &name)
{
    const auto it = m_index.constFind(name.toCaseFolded());
    return it == m_index.cend() ? nullptr : &m_sections[*it];
}

IniFile::Section &IniFile::addSection(const QString &name)
{
    m_index.insert(name.toCaseFolded(), m_sections.size());
    m_sections.append(Section{name, {}, {}});
    return m_sections.last();
}

void IniFile::reindex()
{
    m_index.clear();
    for (qsizetype i = 0; i < m_sections.size(); ++i)
        m_index.insert(m_sections[i].name.toCaseFolded(), i);
}

qsizetype IniFile::findKey(const Section &section, const QString &key)
{
    if (!section.keyIndex.isEmpty())
        return section.keyIndex.value(key.toCaseFolded(), -1);
    for (qsizetype i = 0; i < section.entries.size(); ++i)
        if (sameName(section.entries[i].key, key))
            return i;
    return -1;
}

qint64 IniFile::appendEntry(Section &section, const QString &key, const QString &value)
{
    section.entries.append(Entry{key, value});
    if (section.entries.size() <= kScannedKeys)
        return 0;
    if (section.keyIndex.isEmpty()) {
        reindexKeys(section);
        qint64 bytes = 0;
        for (const Entry &e : std::as_const(section.entries))
            bytes += keyIndexBytes(e.key, e.key.toCaseFolded());
        return bytes;
    }
    const QString folded = key.toCaseFolded();
    if (section.keyIndex.contains(folded))
        return 0; // a repeated key: the first one stays the one read
    section.keyIndex.insert(folded, section.entries.size() - 1);
    return keyIndexBytes(key, folded);
}

void IniFile::reindexKeys(Section &section)
{
    section.keyIndex.clear();
    if (section.entries.size() <= kScannedKeys)
        return;
    for (qsizetype i = section.entries.size() - 1; i >= 0; --i)
        section.keyIndex.insert(section.entries[i].key.toCaseFolded(), i);
}

QString IniFile::ReadString(const QString &section, const QString &key, const QString &defaultValue) const
{
    const Section *s = findSection(section);
    if (!s)
        return defaultValue;
    const qsizetype i = findKey(*s, key);
    return i < 0 ? defaultValue : s->entries[i].value;
}

void IniFile::WriteString(const QString &section, const QString &key, const QString &value)
{
    Section *s = findSection(section);
    if (!s)
        s = &addSection(section);
    const qsizetype i = findKey(*s, key);
    if (i < 0)
        appendEntry(*s, key, value);
    else
        s->entries[i].value = value;
}

QStringList IniFile::ReadSections() const
{
    QStringList names;
    names.reserve(m_sections.size());
    for (const Section &s : m_sections)
        names.append(s.name);
    return names;
}

QStringList IniFile::ReadSection(const QString &section) const
{
    QStringList keys;
    if (const Section *s = findSection(section))
        for (const Entry &e : s->entries)
            keys.append(e.key);
    return keys;
}

QStringList IniFile::ReadSectionValues(const QString &section) const
{
    QStringList lines;
    if (const Section *s = findSection(section))
        for (const Entry &e : s->entries)
            lines.append(e.key + u'=' + e.value);
    return lines;
}

bool IniFile::SectionExists(const QString &section) const
{
    return findSection(section) != nullptr;
}

bool IniFile::ValueExists(const QString &section, const QString &key) const
{
    const Section *s = findSection(section);
    return s && findKey(*s, key) >= 0;
}

void IniFile::DeleteKey(const QString &section, const QString &key)
{
    Section *s = findSection(section);
    if (!s)
        return;
    const qsizetype i = findKey(*s, key);
    if (i >= 0) {
        s->entries.removeAt(i);
        reindexKeys(*s);
    }
}

void IniFile::EraseSection(const QString &section)
{
    const auto it = m_index.constFind(section.toCaseFolded());
    if (it == m_index.cend())
        return;
    m_sections.removeAt(*it);
    reindex();
}

void IniFile::UpdateFile() const
{
    QString text;
    for (const Section &s : m_sections) {
        text += u'[' + s.name + QStringLiteral("]\r\n");
        for (const Entry &e : s.entries)
            text += e.key + u'=' + e.value + QStringLiteral("\r\n");
        text += QStringLiteral("\r\n");
    }

    SafeWriteFileOrThrow(m_fileName, toCp1251(text));
}

ReadBudget IniFile::ValueBudget() const
{
    ReadBudget budget(m_budgetLimit);
    budget.setSpent(m_heldBytes);
    return budget;
}

qint64 IniFile::RereadBytes() const
{
    return m_sourceBytes + m_heldBytes;
}

QString IniFile::OverBudgetMessage(qint64 limit) const
{
    return QStringLiteral("Не удалось прочитать файл %1: %2")
        .arg(displayPath(m_fileName), OverBudgetText(limit));
}

bool TryIniTextToInt(const QString &text, int &value)
{
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
        negative = text[i++] == u'-';
    const bool hex = i < text.size() && text[i] == u'$';
    if (hex)
        ++i;
    if (i == text.size())
        return false;
    // Hex text covers the whole 32-bit pattern ($FFFFFFFF is -1); decimal text must fit the signed range.
    const quint64 limit = hex ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
    quint64 magnitude = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        int digit;
        if (c >= u'0' && c <= u'9')
            digit = c - u'0';
        else if (hex && c >= u'a' && c <= u'f')
            digit = c - u'a' + 10;
        else if (hex && c >= u'A' && c <= u'F')
            digit = c - u'A' + 10;
        else
            return false;
        magnitude = magnitude * (hex ? 16 : 10) + digit;
        if (magnitude > limit)
            return false;
    }
    const quint32 bits = quint32(magnitude);
    value = int(negative ? 0u - bits : bits);
    return true;
}

int SettingsAccess::ReadInteger(const QString &section, const QString &key, int defaultValue)
{
    int value;
    return TryIniTextToInt(ReadString(section, key, QString()), value) ? value : defaultValue;
}

int SettingsAccess::ReadIntegerIn(const QString &section, const QString &key, int defaultValue, int minValue,
                                  int maxValue)
{
    const int value = ReadInteger(section, key, defaultValue);
    return value >= minValue && value <= maxValue ? value : defaultValue;
}

bool SettingsAccess::ReadBool(const QString &section, const QString &key, bool defaultValue)
{
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void SettingsAccess::WriteInteger(const QString &section, const QString &key, int value)
{
    WriteString(section, key, QString::number(value));
}

void SettingsAccess::WriteBool(const QString &section, const QString &key, bool value)
{
    WriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}
