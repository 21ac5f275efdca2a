#include "lib/ini_file.h"

#include "lib/codec.h"
#include "lib/errors.h"
#include "lib/read_budget.h"
#include "lib/safe_write.h"
#include "lib/system_errors.h"

#include <QByteArrayView>
#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <cstring>
#include <functional>
#include <type_traits>

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

// What a string of the image holds on the heap: a text decoded from UTF-8 keeps room for its bytes.
qint64 heldBytes(const QString &text)
{
    return StringHeapBytes(text.capacity());
}

// In UTF-8, the bytes of the character at data[at] when it is one QString::trimmed takes, else 0.
qsizetype utf8BlankAt(const char *data, qsizetype at, qsizetype to)
{
    const auto lead = uchar(data[at]);
    const qsizetype length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (length == 0 || at + length > to)
        return 0;
    char32_t c = lead & (0x7F >> length);
    for (qsizetype i = 1; i < length; ++i)
        c = (c << 6) | (uchar(data[at + i]) & 0x3F);
    return QChar::isSpace(c) ? length : 0;
}

// The byte order mark of UTF-8, and the bytes of U+FEFF in the UTF-8 a UTF-16 file is made.
constexpr QByteArrayView kUtf8Mark("\xEF\xBB\xBF");

// The lines of a settings file, read in place from its bytes. The program writes windows-1251 without a
// byte order mark; a Windows editor that saves the file with one writes the rest in the mark's encoding,
// UTF-8 or UTF-16 (made UTF-8 here). A UTF-8 mark before bytes that are no UTF-8 is a stray one: the
// rest is the program's windows-1251.
class IniLines
{
public:
    // spend is charged with what a UTF-16 text costs while it is made UTF-8, before it is.
    IniLines(const QByteArray &bytes, const std::function<void(qint64)> &spend)
    {
        QByteArrayView text(bytes);
        if (text.startsWith(kUtf8Mark)) {
            text = text.sliced(3);
            m_utf8 = text.isValidUtf8();
            m_form = {m_utf8 ? IniFileForm::Utf8 : IniFileForm::Windows1251, true};
        } else if (text.startsWith("\xFF\xFE") || text.startsWith("\xFE\xFF")) {
            const bool littleEndian = text.front() == '\xFF';
            text = text.sliced(2);
            // The decoded text, then its UTF-8 of at most three bytes a unit, held together for a moment.
            const qint64 units = text.size() / 2 + 1;
            spend(StringHeapBytes(units) + 3 * units);
            QStringDecoder decode(littleEndian ? QStringConverter::Utf16LE : QStringConverter::Utf16BE);
            const QString decoded = decode(text);
            m_converted = decoded.toUtf8();
            text = m_converted;
            m_utf8 = true;
            m_form = {littleEndian ? IniFileForm::Utf16LE : IniFileForm::Utf16BE, true};
        }
        m_data = text.data();
        m_size = text.size();
    }

    // The encoding and mark the text was read in.
    IniFileForm form() const { return m_form; }

    // The text with its line ends, each line without the marks that start it.
    QString wholeText() const
    {
        QString whole;
        for (qsizetype pos = 0; pos < m_size;) {
            const Line line = nextLine(pos);
            whole += text(line.start, pos);
        }
        return whole;
    }

    // Calls onSection(name) for each header line "[name]" and onEntry(key, value) for each line
    // "key=value" after the first header (none for a null onEntry); true when the text holds more than
    // blank and comment lines.
    template <typename OnSection, typename OnEntry> bool read(OnSection onSection, OnEntry onEntry) const
    {
        bool content = false, inSection = false;
        qsizetype pos = 0;
        while (pos < m_size) {
            const auto [start, end] = nextLine(pos);
            qsizetype first = start, last = end;
            trim(first, last);
            if (first == last || m_data[first] == ';')
                continue;
            content = true;
            if (m_data[first] == '[' && m_data[last - 1] == ']' && last - first >= 2) {
                qsizetype from = first + 1, to = last - 1;
                trim(from, to);
                onSection(text(from, to));
                inSection = true;
                continue;
            }
            if constexpr (!std::is_null_pointer_v<OnEntry>) {
                const auto *eq = static_cast<const char *>(memchr(m_data + start, '=', size_t(end - start)));
                if (!inSection || !eq)
                    continue;
                qsizetype from = start, to = eq - m_data;
                trim(from, to);
                if (from < to)
                    onEntry(text(from, to), text(eq - m_data + 1, end));
            }
        }
        return content;
    }

private:
    struct Line
    {
        qsizetype start, end;
    };

    // The line at pos, without its end (CR LF, LF or a lone CR), and pos moved past that end. Marks at
    // its start are read as nothing: files joined, each saved with its own mark, put one there, before a
    // header that must not be lost in the line.
    Line nextLine(qsizetype &pos) const
    {
        qsizetype start = pos;
        while (QByteArrayView(m_data + start, m_size - start).startsWith(kUtf8Mark))
            start += kUtf8Mark.size();
        qsizetype end = start;
        while (end < m_size && m_data[end] != '\r' && m_data[end] != '\n')
            ++end;
        pos = end;
        if (pos < m_size && m_data[pos] == '\r')
            ++pos;
        if (pos < m_size && m_data[pos] == '\n')
            ++pos;
        return {start, end};
    }

    QString text(qsizetype from, qsizetype to) const
    {
        return m_utf8 ? QString::fromUtf8(m_data + from, to - from)
                      : fromCp1251(QByteArray::fromRawData(m_data + from, to - from));
    }

    // Narrows data[from, to) by the blanks QString::trimmed takes, found in the bytes: in windows-1251,
    // one a byte, the controls from tab to CR, the space and the no-break space 0xA0; in UTF-8 the same
    // and the other blanks of Unicode, each a character of several bytes (0xA0 is no blank there but
    // part of a letter, as in "Р", D0 A0).
    void trim(qsizetype &from, qsizetype &to) const
    {
        while (from < to) {
            const qsizetype n = blankAt(from, to);
            if (n == 0)
                break;
            from += n;
        }
        while (to > from) {
            qsizetype at = to - 1;
            if (m_utf8)
                while (at > from && to - at < 4 && (uchar(m_data[at]) & 0xC0) == 0x80)
                    --at;
            if (blankAt(at, to) != to - at)
                break;
            to = at;
        }
    }

    qsizetype blankAt(qsizetype at, qsizetype to) const
    {
        const auto b = uchar(m_data[at]);
        if (b < 0x80)
            return (b >= 9 && b <= 13) || b == ' ' ? 1 : 0;
        return m_utf8 ? utf8BlankAt(m_data, at, to) : (b == 0xA0 ? 1 : 0);
    }

    QByteArray m_converted;
    const char *m_data = nullptr;
    qsizetype m_size = 0;
    bool m_utf8 = false;
    IniFileForm m_form;
};

QString readFailure(const QString &fileName, const QString &reason)
{
    return QStringLiteral("Не удалось прочитать файл %1: %2").arg(displayPath(fileName), reason);
}

// The bytes of a settings file, empty for a missing one; EFileError when it cannot be read or is past
// what any read may take.
QByteArray readSettingsFile(const QString &fileName)
{
    QFile file(fileName);
    if (!file.exists())
        return {};
    if (!file.open(QIODevice::ReadOnly))
        throw EFileError(readFailure(fileName, FileErrorText(file)));
    if (file.size() > MaxInputBytes)
        throw EFileError(readFailure(fileName, InputTooLargeText(file.size())));
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw EFileError(readFailure(fileName, FileErrorText(file)));
    return bytes;
}

} // namespace

QString IniFileText(const QByteArray &bytes)
{
    return IniLines(bytes, [](qint64) {}).wholeText();
}

IniFile::IniFile(const QString &fileName) : m_fileName(fileName)
{
    loadBytes(readSettingsFile(fileName));
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
    const IniLines lines(bytes, spend);
    m_form = lines.form();
    const qint64 source = budget.spent();
    Section *current = nullptr;
    const bool content = lines.read(
        [&](const QString &name) {
            current = findSection(name);
            if (!current) {
                spend(qint64(sizeof(Section)) + 64 + 2 * heldBytes(name));
                current = &addSection(name);
            }
        },
        [&](const QString &key, const QString &value) {
            spend(qint64(sizeof(Entry)) + heldBytes(key) + heldBytes(value));
            spend(appendEntry(*current, key, value));
        });
    m_budgetLimit = budget.limit();
    // The bytes are gone with the read; the entries stay.
    m_sourceBytes = source;
    m_heldBytes = budget.spent() - source;
    // Text without one section is no settings file the program wrote (binary garbage, a truncated or
    // foreign file); read as empty, it would be replaced by defaults on the next update.
    if (content && m_sections.isEmpty())
        throw EFileError(readFailure(m_fileName, QStringLiteral("в нём нет ни одного раздела")));
}

QList<IniSectionHeader> IniFile::ReadSectionHeaders(const QString &fileName)
{
    const QByteArray bytes = readSettingsFile(fileName);
    ReadBudget budget(ReadBudgetBytes(bytes.size()));
    budget.spend(bytes.size());
    const auto spend = [&](qint64 cost) {
        if (!budget.spend(cost))
            throw EFileError(readFailure(fileName, OverBudgetText(budget.limit())));
    };
    QList<IniSectionHeader> headers;
    // Spelling -> its place in headers.
    QHash<QString, qsizetype> index;
    const IniLines lines(bytes, spend);
    lines.read(
        [&](const QString &name) {
            const auto it = index.constFind(name);
            if (it != index.cend()) {
                ++headers[*it].count;
                return;
            }
            spend(qint64(sizeof(IniSectionHeader)) + 64 + heldBytes(name));
            index.insert(name, headers.size());
            headers.append({name, 1});
        },
        nullptr);
    return headers;
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

QByteArray IniFile::FileBytes() const
{
    QString text;
    for (const Section &s : m_sections) {
        text += u'[' + s.name + QStringLiteral("]\r\n");
        for (const Entry &e : s.entries)
            text += e.key + u'=' + e.value + QStringLiteral("\r\n");
        text += QStringLiteral("\r\n");
    }

    switch (m_form.encoding) {
    case IniFileForm::Utf8:
        return kUtf8Mark.toByteArray() + text.toUtf8();
    case IniFileForm::Utf16LE:
    case IniFileForm::Utf16BE: {
        QStringEncoder encode(m_form.encoding == IniFileForm::Utf16LE ? QStringConverter::Utf16LE
                                                                      : QStringConverter::Utf16BE,
                              QStringEncoder::Flag::WriteBom);
        return encode(text);
    }
    case IniFileForm::Windows1251:
        break;
    }
    QByteArray bytes = toCp1251(text);
    // A stray mark goes back before the bytes it came with, unless they would then read as UTF-8 with
    // other letters than windows-1251 gave them.
    if (m_form.marked && (!QByteArrayView(bytes).isValidUtf8() ||
                          std::all_of(bytes.cbegin(), bytes.cend(), [](char c) { return uchar(c) < 0x80; })))
        bytes.prepend(kUtf8Mark);
    return bytes;
}

void IniFile::UpdateFile() const
{
    SafeWriteFileOrThrow(m_fileName, FileBytes());
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
    return readFailure(m_fileName, OverBudgetText(limit));
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
