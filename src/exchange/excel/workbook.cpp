#include "exchange/excel/workbook.h"

#include "lib/errors.h"
#include "lib/messages.h"
#include "lib/system_errors.h"
#include "platform/zip_archive.h"

#include <QDataStream>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QXmlStreamReader>

#include <freexl.h>
#include <zip.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

namespace {

// Excel's own limits; a reference beyond them is damage, not data.
constexpr int kMaxRows = 1048576;
constexpr int kMaxCols = 16384;
// No part of a station's workbook comes near this; a larger size given by a damaged archive is refused
// before anything is read of it.
constexpr zip_uint64_t kMaxPartSize = 64 * 1024 * 1024;
// A workbook's parts nest a handful of elements deep (a sheet's inline text: worksheet, sheetData, row,
// c, is, r, t); far deeper is damage.
constexpr int kMaxXmlDepth = 32;
// Its time: libfreexl reads tens of megabytes a second, so these are only met when it is stuck.
constexpr int kXlsTimeLimitMs = 20000;
constexpr int kXlsTimePerMiBMs = 1000;
// What a kept cell costs besides its text: its entry in the sheet's hash.
constexpr qint64 kCellBytes = 64;
qint64 textBytes(qsizetype chars)
{
    return StringHeapBytes(chars);
}

quint64 cellKey(int row, int col)
{
    return (quint64(quint32(row)) << 32) | quint32(col);
}

// The workbook being read: its name for the messages (empty for bytes without a file) and what it has
// taken of its share of memory and of the cells a workbook may keep.
class BookFile
{
public:
    BookFile(const QString &name, qint64 fileBytes) : m_name(name), m_budget(ReadBudgetBytes(fileBytes))
    {
        m_budget.spend(fileBytes);
    }

    [[noreturn]] void damaged(const QString &reason) const
    {
        throw EFileError(QStringLiteral("Файл книги Excel ") + quotedName() + QStringLiteral("повреждён: ") +
                         reason);
    }
    [[noreturn]] void tooLarge(const QString &what) const
    {
        throw EFileError(QStringLiteral("Книга Excel ") + quotedName() + QStringLiteral("слишком велика: ") +
                         what);
    }

    // The share once the parts to read are known: they are the bytes the reader takes in.
    void setTakenIn(qint64 fileBytes, qint64 partBytes)
    {
        const qint64 spent = m_budget.spent();
        m_budget = ReadBudget(ReadBudgetBytes(fileBytes, partBytes));
        spend(spent);
    }
    void spend(qint64 bytes)
    {
        if (!m_budget.spend(bytes))
            tooLarge(OverBudgetText(m_budget.limit()));
    }
    // Refuses, spending nothing, what would not fit in what is left of the share.
    void mayHold(qint64 bytes) const
    {
        if (!m_budget.fits(bytes))
            tooLarge(OverBudgetText(m_budget.limit()));
    }
    // A text with NUL would cut the statement that carries it into a database.
    QString checkedText(const QString &text, const QString &where) const
    {
        if (text.contains(QChar(0)))
            damaged(QStringLiteral("%1: текст с символом NUL").arg(where));
        return text;
    }
    void addCell(WorkSheet &sheet, int row, int col, const WorkbookCell &cell, bool ownText)
    {
        const qsizetype before = sheet.cells.size();
        sheet.SetCell(row, col, cell);
        const qsizetype added = sheet.cells.size() - before;
        m_cells += added;
        if (m_cells > MaxWorkbookCells)
            tooLarge(QStringLiteral("ячеек больше предела в %1").arg(MaxWorkbookCells));
        spend(added * kCellBytes + (ownText ? textBytes(cell.text.size()) : 0));
    }

private:
    QString quotedName() const
    {
        return m_name.isEmpty() ? QString() : QLatin1Char('"') + m_name + QStringLiteral("\" ");
    }

    QString m_name;
    ReadBudget m_budget;
    qint64 m_cells = 0;
};

// --- .xlsx ---

// A part of the archive read as it is unpacked, never more than its stated size.
class ZipPart : public QIODevice
{
public:
    ZipPart(zip_file_t *file, qint64 stated) : m_file(file), m_stated(stated) { open(QIODevice::ReadOnly); }
    ~ZipPart() override { zip_fclose(m_file); }
    bool isSequential() const override { return true; }
    bool failed() const { return !m_failure.isEmpty(); }
    // Why the part could not be unpacked whole, in words.
    QString failure() const { return m_failure; }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        if (failed())
            return -1;
        const zip_int64_t n = zip_fread(m_file, data, zip_uint64_t(maxSize));
        if (n < 0) {
            m_failure = ZipErrorText(m_file);
            return -1;
        }
        m_read += n;
        if (m_read > m_stated) {
            m_failure = QStringLiteral("в ней больше указанных в архиве %1 байт").arg(m_stated);
            return -1;
        }
        return n;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    zip_file_t *m_file;
    qint64 m_stated;
    qint64 m_read = 0;
    QString m_failure;
};

class XlsxArchive
{
public:
    XlsxArchive(const QByteArray &bytes, const BookFile &book) : m_bytes(bytes), m_book(book)
    {
        zip_error_t error;
        zip_error_init(&error);
        zip_source_t *source =
            zip_source_buffer_create(m_bytes.constData(), zip_uint64_t(m_bytes.size()), 0, &error);
        if (source)
            m_zip = zip_open_from_source(source, ZIP_RDONLY, &error);
        if (!m_zip) {
            if (source)
                zip_source_free(source);
            const QString reason = ZipErrorText(zip_error_code_zip(&error), zip_error_strerror(&error));
            zip_error_fini(&error);
            m_book.damaged(QStringLiteral("архив не читается: %1").arg(reason));
        }
        zip_error_fini(&error);
    }
    ~XlsxArchive()
    {
        if (m_zip)
            zip_discard(m_zip);
    }
    XlsxArchive(const XlsxArchive &) = delete;
    XlsxArchive &operator=(const XlsxArchive &) = delete;

    bool has(const QString &name) const { return zip_name_locate(m_zip, name.toUtf8().constData(), 0) >= 0; }

    // What the parts named would add to the bytes read so far, as the archive states their sizes; past
    // the limit the workbook is refused before they are read.
    qint64 checkStated(const QStringList &names) const
    {
        qint64 total = m_partBytes;
        for (const QString &name : names) {
            zip_stat_t st;
            zip_stat_init(&st);
            if (zip_stat(m_zip, name.toUtf8().constData(), 0, &st) == 0 && (st.valid & ZIP_STAT_SIZE))
                total += qint64(std::min<zip_uint64_t>(st.size, kMaxPartSize + 1));
        }
        if (total > MaxWorkbookPartBytes)
            m_book.tooLarge(QStringLiteral("распакованные части больше предела в %1 МиБ")
                                .arg(MaxWorkbookPartBytes >> 20));
        return total;
    }

    // One member as it unpacks, its stated size checked before it is opened and against what comes.
    std::unique_ptr<ZipPart> part(const QString &name) const
    {
        const QByteArray utf8 = name.toUtf8();
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat(m_zip, utf8.constData(), 0, &st) != 0 || !(st.valid & ZIP_STAT_SIZE))
            m_book.damaged(QStringLiteral("нет части %1").arg(CutForMessage(name)));
        if (st.size > kMaxPartSize)
            m_book.damaged(
                QStringLiteral("часть %1 слишком велика (%2 байт)").arg(CutForMessage(name)).arg(st.size));
        // Parts are read one after another: their sum is what the reading costs in time.
        m_partBytes += qint64(st.size);
        if (m_partBytes > MaxWorkbookPartBytes)
            m_book.tooLarge(QStringLiteral("распакованные части больше предела в %1 МиБ")
                                .arg(MaxWorkbookPartBytes >> 20));
        zip_file_t *file = zip_fopen(m_zip, utf8.constData(), 0);
        if (!file)
            m_book.damaged(
                QStringLiteral("часть %1 не открывается (%2)").arg(CutForMessage(name), ZipErrorText(m_zip)));
        return std::make_unique<ZipPart>(file, qint64(st.size));
    }

    // Part names are compared without regard to case (ASCII letters), as the package format compares
    // them: of two members of one name libzip finds the first alone, so the other would go unread and
    // unsaid. The members are sorted by a hash of the name, then by the name, so that an archive of a
    // million members takes 16 bytes a member and no more than a sort.
    void refuseSameNames() const
    {
        const zip_int64_t count = zip_get_num_entries(m_zip, 0);
        const auto rawName = [&](zip_uint64_t index) {
            const char *name = zip_get_name(m_zip, index, ZIP_FL_ENC_RAW);
            if (!name)
                m_book.damaged(QStringLiteral("оглавление архива не читается: %1").arg(ZipErrorText(m_zip)));
            return QByteArrayView(name);
        };
        const auto lower = [](char c) { return quint8(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c); };
        const auto before = [&](QByteArrayView a, QByteArrayView b) {
            return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                                [&](char x, char y) { return lower(x) < lower(y); });
        };
        std::vector<std::pair<quint64, zip_uint64_t>> keys;
        keys.reserve(size_t(std::max<zip_int64_t>(count, 0)));
        for (zip_int64_t i = 0; i < count; ++i) {
            quint64 hash = 14695981039346656037ull; // FNV-1a
            for (const char c : rawName(zip_uint64_t(i)))
                hash = (hash ^ lower(c)) * 1099511628211ull;
            keys.emplace_back(hash, zip_uint64_t(i));
        }
        std::sort(keys.begin(), keys.end(), [&](const auto &a, const auto &b) {
            if (a.first != b.first)
                return a.first < b.first;
            const QByteArrayView x = rawName(a.second), y = rawName(b.second);
            return before(x, y) || (!before(y, x) && a.second < b.second);
        });
        for (size_t i = 1; i < keys.size(); ++i) {
            const QByteArrayView x = rawName(keys[i - 1].second), y = rawName(keys[i].second);
            if (keys[i - 1].first == keys[i].first && !before(x, y) && !before(y, x))
                sameNames(keys[i - 1].second, keys[i].second);
        }
    }
    [[noreturn]] void sameNames(zip_uint64_t first, zip_uint64_t second) const
    {
        const QString a = QString::fromUtf8(zip_get_name(m_zip, first, 0)),
                      b = QString::fromUtf8(zip_get_name(m_zip, second, 0));
        if (a == b)
            m_book.damaged(QStringLiteral("часть %1 записана в архиве дважды").arg(a));
        m_book.damaged(QStringLiteral("имена частей %1 и %2 различаются только регистром букв").arg(a, b));
    }

private:
    QByteArray m_bytes;
    const BookFile &m_book;
    zip_t *m_zip = nullptr;
    mutable qint64 m_partBytes = 0;
};

// Qt's reason for an XML error, in words; its own text follows for the specialist.
QString xmlErrorWords(QXmlStreamReader::Error error)
{
    switch (error) {
    case QXmlStreamReader::NotWellFormedError:
        return QStringLiteral("разметка XML нарушена");
    case QXmlStreamReader::PrematureEndOfDocumentError:
        return QStringLiteral("XML обрывается раньше конца");
    case QXmlStreamReader::UnexpectedElementError:
        return QStringLiteral("неожиданный элемент XML");
    default:
        return QStringLiteral("ошибка XML");
    }
}

// One part's XML as it unpacks, its elements counted in depth: every token of the readers below comes
// through next(), so no nesting goes past kMaxXmlDepth, and nothing recurses.
class XmlPart
{
public:
    XmlPart(const XlsxArchive &zip, const QString &name, const BookFile &book)
        : m_name(CutForMessage(name)), m_book(book), m_device(zip.part(name)), m_xml(m_device.get())
    {}

    QXmlStreamReader &xml() { return m_xml; }
    bool atEnd() const { return m_xml.atEnd(); }
    // Where in the part the reader is, as the messages name it ("лист 1, ячейка B3"); asked only when
    // something is said.
    void setPlace(std::function<QString()> place) { m_place = std::move(place); }

    QXmlStreamReader::TokenType next()
    {
        const QXmlStreamReader::TokenType token = m_xml.readNext();
        if (token == QXmlStreamReader::StartElement && ++m_depth > kMaxXmlDepth)
            damaged(QStringLiteral("элементы вложены глубже %1 уровней").arg(kMaxXmlDepth));
        if (token == QXmlStreamReader::EndElement)
            --m_depth;
        // Qt expands the entities a DTD declares into one text before it hands any of it over: a
        // kilobyte of references to a long entity makes gigabytes. No spreadsheet program writes one.
        if (token == QXmlStreamReader::DTD)
            damaged(QStringLiteral("объявлен DTD (<!DOCTYPE>), которого в книге Excel не бывает"));
        if (token == QXmlStreamReader::Invalid)
            finish();
        return token;
    }
    // The next child element of the current one: true at its start, false at the current one's end.
    bool nextStartElement()
    {
        while (next() != QXmlStreamReader::Invalid) {
            if (m_xml.isEndElement())
                return false;
            if (m_xml.isStartElement())
                return true;
        }
        return false;
    }
    void skipElement()
    {
        for (int depth = 1; depth > 0 && next() != QXmlStreamReader::Invalid;)
            depth += m_xml.isStartElement() ? 1 : m_xml.isEndElement() ? -1 : 0;
    }
    // Appends the text of the current element up to its end; with children, theirs too, else a child is
    // damage. The text counts against the workbook's share as it grows, before it is kept.
    void appendElementText(QString &text, bool withChildren)
    {
        for (int depth = 1; depth > 0 && next() != QXmlStreamReader::Invalid;) {
            if (m_xml.isStartElement()) {
                if (!withChildren)
                    damaged(QStringLiteral("элемент %1 внутри значения")
                                .arg(CutForMessage(m_xml.name().toString())));
                ++depth;
            } else if (m_xml.isEndElement()) {
                --depth;
            } else if (m_xml.isCharacters() || m_xml.isEntityReference()) {
                const QStringView piece = m_xml.text();
                if (!piece.isEmpty()) {
                    m_book.mayHold(textBytes(text.size() + piece.size()));
                    text += piece;
                }
            }
        }
    }
    // After the last token: a part that could not be unpacked whole, or is no XML, is damage.
    void finish() const
    {
        if (m_device->failed())
            m_book.damaged(
                QStringLiteral("часть %1 не распаковывается: %2").arg(m_name, m_device->failure()));
        if (m_xml.hasError())
            damaged(QStringLiteral("%1 в строке %2, позиции %3 (Qt XML: %4)")
                        .arg(xmlErrorWords(m_xml.error()))
                        .arg(m_xml.lineNumber())
                        .arg(m_xml.columnNumber())
                        .arg(m_xml.errorString()));
    }

private:
    [[noreturn]] void damaged(const QString &reason) const
    {
        const QString place = m_place ? m_place() : QString();
        m_book.damaged(QStringLiteral("часть %1").arg(m_name) +
                       (place.isEmpty() ? QString() : QStringLiteral(", ") + place) + QStringLiteral(": ") +
                       reason);
    }

    QString m_name;
    const BookFile &m_book;
    std::unique_ptr<ZipPart> m_device;
    QXmlStreamReader m_xml;
    int m_depth = 0;
    std::function<QString()> m_place;
};

QString attr(const QXmlStreamReader &xml, QLatin1String name)
{
    for (const QXmlStreamAttribute &a : xml.attributes())
        if (a.name() == name)
            return a.value().toString();
    return {};
}

// A number format that shows a date or a time: a day, month, year, hour or second code outside quoted
// text and brackets.
bool isDateFormatCode(const QString &code)
{
    bool quoted = false, bracket = false;
    for (qsizetype i = 0; i < code.size(); ++i) {
        const QChar c = code.at(i);
        if (quoted) {
            quoted = c != QLatin1Char('"');
        } else if (bracket) {
            bracket = c != QLatin1Char(']');
        } else if (c == QLatin1Char('"')) {
            quoted = true;
        } else if (c == QLatin1Char('[')) {
            bracket = true;
        } else if (c == QLatin1Char('\\')) {
            ++i;
        } else if (QStringLiteral("dmyhsDMYHS").contains(c)) {
            return true;
        }
    }
    return false;
}

bool isBuiltInDateFormat(int id)
{
    return (id >= 14 && id <= 22) || (id >= 45 && id <= 47);
}

QList<bool> readDateStyles(const XlsxArchive &zip, BookFile &book)
{
    QList<bool> dateStyles;
    const QString name = QStringLiteral("xl/styles.xml");
    if (!zip.has(name))
        return dateStyles;
    QHash<int, bool> customDates;
    XmlPart part(zip, name, book);
    QXmlStreamReader &xml = part.xml();
    bool inCellXfs = false;
    while (!part.atEnd()) {
        part.next();
        if (xml.isStartElement()) {
            if (xml.name() == QLatin1String("numFmt")) {
                customDates.insert(attr(xml, QLatin1String("numFmtId")).toInt(),
                                   isDateFormatCode(attr(xml, QLatin1String("formatCode"))));
            } else if (xml.name() == QLatin1String("cellXfs")) {
                inCellXfs = true;
            } else if (inCellXfs && xml.name() == QLatin1String("xf")) {
                // A style per cell at most: more is no workbook's.
                if (dateStyles.size() >= MaxWorkbookCells)
                    book.tooLarge(QStringLiteral("стилей больше предела в %1").arg(MaxWorkbookCells));
                const int id = attr(xml, QLatin1String("numFmtId")).toInt();
                dateStyles << (customDates.contains(id) ? customDates.value(id) : isBuiltInDateFormat(id));
            }
        } else if (xml.isEndElement() && xml.name() == QLatin1String("cellXfs")) {
            inCellXfs = false;
        }
    }
    part.finish();
    book.spend(dateStyles.size() + customDates.size() * kCellBytes);
    return dateStyles;
}

// The shared strings, each kept as the string the cells that name it share. A workbook keeps no more
// cells than MaxWorkbookCells, so it has no use for more distinct strings.
QStringList readSharedStrings(const XlsxArchive &zip, BookFile &book)
{
    QStringList strings;
    const QString name = QStringLiteral("xl/sharedStrings.xml");
    if (!zip.has(name))
        return strings;
    XmlPart part(zip, name, book);
    QXmlStreamReader &xml = part.xml();
    QString current;
    bool inItem = false;
    int skip = 0; // inside phonetic runs, which are no part of the text
    part.setPlace(
        [&] { return inItem ? QStringLiteral("строка %1 таблицы строк").arg(strings.size()) : QString(); });
    while (!part.atEnd()) {
        part.next();
        if (xml.isStartElement()) {
            if (xml.name() == QLatin1String("si")) {
                inItem = true;
                current.clear();
            } else if (xml.name() == QLatin1String("rPh")) {
                ++skip;
            } else if (inItem && !skip && xml.name() == QLatin1String("t")) {
                part.appendElementText(current, true);
            }
        } else if (xml.isEndElement()) {
            if (xml.name() == QLatin1String("si")) {
                if (strings.size() >= MaxWorkbookCells)
                    book.tooLarge(
                        QStringLiteral("строк в таблице строк больше предела в %1").arg(MaxWorkbookCells));
                book.spend(qint64(sizeof(QString)) + textBytes(current.size()));
                strings << book.checkedText(current,
                                            QStringLiteral("строка %1 таблицы строк").arg(strings.size()));
                inItem = false;
            } else if (xml.name() == QLatin1String("rPh")) {
                --skip;
            }
        }
    }
    part.finish();
    return strings;
}

// Row 3, column 2 -> "B3".
QString cellName(int row, int col)
{
    QString letters;
    for (int c = col; c > 0; c = (c - 1) / 26)
        letters.prepend(QChar(u'A' + (c - 1) % 26));
    return letters + QString::number(row);
}

// "B3" -> row 3, column 2; false for anything else or beyond Excel's limits.
bool parseCellRef(const QString &ref, int &row, int &col)
{
    qsizetype i = 0;
    qint64 c = 0, r = 0;
    while (i < ref.size() && ref.at(i).isLetter() && ref.at(i).unicode() < 128) {
        c = c * 26 + (ref.at(i).toUpper().unicode() - 'A' + 1);
        if (c > kMaxCols)
            return false;
        ++i;
    }
    const qsizetype digits = i;
    while (i < ref.size() && ref.at(i).isDigit() && ref.at(i).unicode() < 128) {
        r = r * 10 + (ref.at(i).unicode() - '0');
        if (r > kMaxRows)
            return false;
        ++i;
    }
    if (i != ref.size() || c == 0 || i == digits || r == 0)
        return false;
    row = int(r);
    col = int(c);
    return true;
}

void readSheet(const XlsxArchive &zip, const QString &name, const QStringList &strings,
               const QList<bool> &dateStyles, WorkSheet &sheet, BookFile &book)
{
    XmlPart part(zip, name, book);
    QXmlStreamReader &xml = part.xml();
    int row = 0, col = 0;
    part.setPlace([&] {
        if (row == 0)
            return QStringLiteral("лист %1").arg(sheet.name);
        if (col == 0)
            return QStringLiteral("лист %1, строка %2").arg(sheet.name).arg(row);
        return QStringLiteral("лист %1, ячейка %2").arg(sheet.name, cellName(row, col));
    });
    while (!part.atEnd()) {
        part.next();
        if (!xml.isStartElement())
            continue;
        if (xml.name() == QLatin1String("row")) {
            const QString r = attr(xml, QLatin1String("r"));
            bool ok = true;
            const int n = r.isEmpty() ? row + 1 : r.toInt(&ok);
            if (!ok || n < 1 || n > kMaxRows)
                book.damaged(QStringLiteral("лист %1: номер строки %2")
                                 .arg(CutForMessage(sheet.name), CutForMessage(r)));
            row = n;
            col = 0;
        } else if (xml.name() == QLatin1String("c")) {
            const QString ref = attr(xml, QLatin1String("r"));
            int r = row, c = col + 1;
            if (!ref.isEmpty() && !parseCellRef(ref, r, c))
                book.damaged(
                    QStringLiteral("лист %1: ячейка %2").arg(CutForMessage(sheet.name), CutForMessage(ref)));
            if (r < 1 || c > kMaxCols)
                book.damaged(QStringLiteral("лист %1: ячейка вне строки").arg(CutForMessage(sheet.name)));
            row = r;
            col = c;
            const QString type = attr(xml, QLatin1String("t"));
            const QString style = attr(xml, QLatin1String("s"));
            QString value;
            bool hasValue = false;
            while (part.nextStartElement()) {
                if (xml.name() == QLatin1String("v")) {
                    value.clear();
                    part.appendElementText(value, false);
                    hasValue = true;
                } else if (xml.name() == QLatin1String("is")) {
                    value.clear();
                    while (part.nextStartElement()) {
                        if (xml.name() == QLatin1String("t"))
                            part.appendElementText(value, false);
                        else if (xml.name() == QLatin1String("r")) {
                            while (part.nextStartElement())
                                if (xml.name() == QLatin1String("t"))
                                    part.appendElementText(value, false);
                                else
                                    part.skipElement();
                        } else
                            part.skipElement();
                    }
                    hasValue = true;
                } else {
                    part.skipElement();
                }
            }
            WorkbookCell cell;
            bool ownText = false;
            if (type == QLatin1String("s")) {
                bool ok = false;
                const int index = value.toInt(&ok);
                if (!ok || index < 0 || index >= strings.size())
                    book.damaged(
                        QStringLiteral("лист %1: ячейка %2 ссылается на строку %3")
                            .arg(CutForMessage(sheet.name), CutForMessage(ref), CutForMessage(value)));
                cell.kind = WorkbookCell::Text;
                cell.text = strings.at(index);
            } else if (type == QLatin1String("str") || type == QLatin1String("inlineStr") ||
                       type == QLatin1String("e")) {
                cell.kind = WorkbookCell::Text;
                cell.text = book.checkedText(
                    value,
                    QStringLiteral("лист %1: ячейка %2").arg(CutForMessage(sheet.name), CutForMessage(ref)));
                ownText = true;
            } else if (type == QLatin1String("b")) {
                cell.kind = WorkbookCell::Text;
                cell.text =
                    value.trimmed() == QLatin1String("1") ? QStringLiteral("True") : QStringLiteral("False");
            } else if (hasValue && !value.isEmpty()) {
                bool ok = false;
                cell.number = value.toDouble(&ok);
                if (!ok)
                    book.damaged(
                        QStringLiteral("лист %1: ячейка %2 содержит %3")
                            .arg(CutForMessage(sheet.name), CutForMessage(ref), CutForMessage(value)));
                const int s = style.toInt();
                cell.kind = s >= 0 && s < dateStyles.size() && dateStyles.at(s) ? WorkbookCell::Date
                                                                                : WorkbookCell::Number;
                // A date cell that holds no date is quoted in messages as the file has it.
                if (cell.kind == WorkbookCell::Date && !IsValidDateTime(cell.number)) {
                    cell.text = value;
                    ownText = true;
                }
            }
            // A cell record without a value is formatting only; it still counts for the used range, as in
            // the spreadsheet program.
            sheet.lastRow = std::max(sheet.lastRow, r);
            sheet.lastCol = std::max(sheet.lastCol, c);
            if (cell.kind != WorkbookCell::Empty)
                book.addCell(sheet, r, c, cell, ownText);
        }
    }
    part.finish();
}

// Two attributes of every element named element in the part, in order: a workbook's worth at most
// (what names them in the messages).
QList<std::pair<QString, QString>> elementAttributes(const XlsxArchive &zip, const QString &name,
                                                     BookFile &book, QLatin1String element,
                                                     QLatin1String first, QLatin1String second,
                                                     const QString &what)
{
    QList<std::pair<QString, QString>> found;
    XmlPart part(zip, name, book);
    while (!part.atEnd())
        if (part.next() == QXmlStreamReader::StartElement && part.xml().name() == element) {
            if (found.size() >= MaxWorkbookCells)
                book.tooLarge(QStringLiteral("%1 больше предела в %2").arg(what).arg(MaxWorkbookCells));
            found << std::pair(attr(part.xml(), first), attr(part.xml(), second));
        }
    part.finish();
    return found;
}

QString partPath(const QString &target)
{
    if (target.startsWith(QLatin1Char('/')))
        return target.mid(1);
    return QStringLiteral("xl/") + target;
}

// --- .xls ---

TDateTime serialFromText(const char *text, unsigned char type, const BookFile &book)
{
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    const QString t = QString::fromLatin1(text ? text : "");
    TDateTime date = 0, time = 0;
    if (type == FREEXL_CELL_DATE || type == FREEXL_CELL_DATETIME) {
        if (sscanf(text, "%d-%d-%d", &y, &mo, &d) != 3 || !TryEncodeDate(y, mo, d, date))
            book.damaged(QStringLiteral("дата %1").arg(t));
    }
    const char *clock = type == FREEXL_CELL_DATETIME ? strchr(text, ' ')
                        : type == FREEXL_CELL_TIME   ? text
                                                     : nullptr;
    if (clock) {
        if (sscanf(clock, "%d:%d:%d", &h, &mi, &s) != 3 || !TryEncodeTime(h, mi, s, 0, time))
            book.damaged(QStringLiteral("время %1").arg(t));
    }
    return ComposeDateTime(date, time);
}

Workbook readXls(const QString &fileName, BookFile &book)
{
    struct Handle
    {
        const void *h = nullptr;
        ~Handle() { freexl_close(h); }
    } xls;
    const int opened = freexl_open(QFile::encodeName(fileName).constData(), &xls.h);
    if (opened != FREEXL_OK)
        book.damaged(QStringLiteral("файл .xls не читается (код %1)").arg(opened));
    unsigned int info = 0;
    if (freexl_get_info(xls.h, FREEXL_BIFF_PASSWORD, &info) == FREEXL_OK && info == FREEXL_BIFF_OBFUSCATED)
        throw EFileError(QStringLiteral("Книга Excel защищена паролем"));
    unsigned int count = 0;
    if (freexl_get_info(xls.h, FREEXL_BIFF_SHEET_COUNT, &count) != FREEXL_OK)
        book.damaged(QStringLiteral("нет списка листов"));
    Workbook workbook;
    for (unsigned int i = 0; i < count; ++i) {
        WorkSheet sheet;
        const char *name = nullptr;
        if (freexl_get_worksheet_name(xls.h, quint16(i), &name) == FREEXL_OK && name)
            sheet.name = QString::fromUtf8(name);
        unsigned int rows = 0;
        unsigned short cols = 0;
        if (freexl_select_active_worksheet(xls.h, quint16(i)) != FREEXL_OK ||
            freexl_worksheet_dimensions(xls.h, &rows, &cols) != FREEXL_OK)
            book.damaged(QStringLiteral("лист %1 не читается").arg(i + 1));
        if (rows > unsigned(kMaxRows) || cols > kMaxCols)
            book.damaged(QStringLiteral("лист %1: размеры %2 x %3").arg(i + 1).arg(rows).arg(cols));
        for (unsigned int r = 0; r < rows; ++r)
            for (unsigned short c = 0; c < cols; ++c) {
                FreeXL_CellValue v;
                if (freexl_get_cell_value(xls.h, r, c, &v) != FREEXL_OK)
                    book.damaged(QStringLiteral("лист %1: ячейка %2, %3").arg(i + 1).arg(r + 1).arg(c + 1));
                WorkbookCell cell;
                switch (v.type) {
                case FREEXL_CELL_INT:
                    cell.kind = WorkbookCell::Number;
                    cell.number = v.value.int_value;
                    break;
                case FREEXL_CELL_DOUBLE:
                    cell.kind = WorkbookCell::Number;
                    cell.number = v.value.double_value;
                    break;
                case FREEXL_CELL_TEXT:
                case FREEXL_CELL_SST_TEXT:
                    cell.kind = WorkbookCell::Text;
                    cell.text = QString::fromUtf8(v.value.text_value ? v.value.text_value : "");
                    break;
                case FREEXL_CELL_DATE:
                case FREEXL_CELL_DATETIME:
                case FREEXL_CELL_TIME:
                    cell.kind = WorkbookCell::Date;
                    cell.number = serialFromText(v.value.text_value, v.type, book);
                    break;
                default:
                    break;
                }
                if (cell.kind != WorkbookCell::Empty)
                    book.addCell(sheet, int(r) + 1, int(c) + 1, cell, true);
            }
        // The dimensions count from row 1 and column A, as the rows are read.
        sheet.lastRow = int(rows);
        sheet.lastCol = int(cols);
        workbook.sheets << sheet;
    }
    return workbook;
}

} // namespace

WorkbookCell WorkSheet::Cell(int Row, int Col) const
{
    return cells.value(cellKey(Row, Col));
}

void WorkSheet::SetCell(int Row, int Col, const WorkbookCell &Value)
{
    cells.insert(cellKey(Row, Col), Value);
}

QList<int> WorkSheet::RowsWithCells() const
{
    QList<int> rows;
    rows.reserve(cells.size());
    for (auto it = cells.keyBegin(); it != cells.keyEnd(); ++it)
        rows << int(*it >> 32);
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

QString WorkbookCellText(const WorkbookCell &Cell, const TFormatSettings &FS)
{
    switch (Cell.kind) {
    case WorkbookCell::Empty:
        return {};
    case WorkbookCell::Number:
        return FloatToStr(Cell.number, FS.DecimalSeparator);
    case WorkbookCell::Text:
        return Cell.text;
    case WorkbookCell::Date:
        if (Cell.number >= 0 && Cell.number < 1)
            return FormatDateTime(QStringLiteral("tt"), Cell.number, FS);
        return FormatDateTime(QStringLiteral("c"), Cell.number, FS);
    }
    return {};
}

Workbook ReadXlsxBytes(const QByteArray &Bytes, const QString &FileName)
{
    BookFile book(FileName, Bytes.size());
    const XlsxArchive zip(Bytes, book);
    zip.refuseSameNames();
    const QString workbookName = QStringLiteral("xl/workbook.xml");
    const QString relsName = QStringLiteral("xl/_rels/workbook.xml.rels");

    QHash<QString, QString> targets;
    for (const auto &[id, target] :
         elementAttributes(zip, relsName, book, QLatin1String("Relationship"), QLatin1String("Id"),
                           QLatin1String("Target"), QStringLiteral("связей")))
        targets.insert(id, target);
    const QList<std::pair<QString, QString>> sheets =
        elementAttributes(zip, workbookName, book, QLatin1String("sheet"), QLatin1String("name"),
                          QLatin1String("id"), QStringLiteral("листов"));
    // A spreadsheet program gives every sheet a part of its own; one part behind many sheets would be
    // read and kept again for each.
    QStringList parts;
    QHash<QString, QString> sheetOfPart;
    for (const auto &[name, id] : sheets) {
        if (!targets.contains(id))
            book.damaged(QStringLiteral("нет листа %1").arg(CutForMessage(name)));
        const QString part = partPath(targets.value(id));
        if (sheetOfPart.contains(part))
            book.damaged(
                QStringLiteral("листы %1 и %2 указывают на одну часть %3")
                    .arg(CutForMessage(sheetOfPart.value(part)), CutForMessage(name), CutForMessage(part)));
        sheetOfPart.insert(part, name);
        parts << part;
    }
    book.setTakenIn(Bytes.size(), zip.checkStated(parts + QStringList{QStringLiteral("xl/sharedStrings.xml"),
                                                                      QStringLiteral("xl/styles.xml")}));
    const QStringList strings = readSharedStrings(zip, book);
    const QList<bool> dateStyles = readDateStyles(zip, book);
    Workbook workbook;
    workbook.fileName = FileName;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        WorkSheet sheet;
        sheet.name = sheets[i].first;
        readSheet(zip, parts[i], strings, dateStyles, sheet, book);
        workbook.sheets << sheet;
    }
    return workbook;
}

QByteArray ReadXlsInChild(const QString &FileName)
{
    QByteArray out;
    QDataStream stream(&out, QIODevice::WriteOnly);
    try {
        BookFile book(FileName, QFileInfo(FileName).size());
        const Workbook workbook = readXls(FileName, book);
        stream << quint8(1) << qint32(workbook.sheets.size());
        for (const WorkSheet &sheet : workbook.sheets) {
            stream << sheet.name << qint32(sheet.lastRow) << qint32(sheet.lastCol)
                   << qint32(sheet.cells.size());
            for (auto it = sheet.cells.cbegin(); it != sheet.cells.cend(); ++it)
                stream << it.key() << quint8(it->kind) << it->number << it->text;
        }
    } catch (const BrenvaleError &e) {
        out.clear();
        QDataStream error(&out, QIODevice::WriteOnly);
        error << quint8(0) << e.message();
    }
    return out;
}

IsolatedLimits XlsChildLimits(qint64 FileBytes)
{
    IsolatedLimits limits;
    // The child's memory is the program's too: it gets the file's share.
    limits.memoryBytes = quint64(ReadBudgetBytes(FileBytes));
    limits.timeLimitMs = int(kXlsTimeLimitMs + std::min<qint64>(FileBytes >> 20, 3600) * kXlsTimePerMiBMs);
    limits.containedLibrary = QStringLiteral("libfreexl");
    return limits;
}

Workbook XlsWorkbookFromChild(const QString &FileName, qint64 FileBytes, const IsolatedResult &Run)
{
    BookFile book(FileName, FileBytes);
    if (Run.outcome == IsolatedOutcome::TimedOut)
        book.damaged(QStringLiteral("файл .xls читается дольше предела в %1 с")
                         .arg(XlsChildLimits(FileBytes).timeLimitMs / 1000));
    if (Run.outcome != IsolatedOutcome::Done)
        book.damaged(QStringLiteral("файл .xls не читается"));

    QDataStream stream(Run.bytes);
    quint8 ok = 0;
    stream >> ok;
    if (ok == 0) {
        QString message;
        stream >> message;
        throw EFileError(message);
    }
    Workbook workbook;
    workbook.fileName = FileName;
    qint32 count = 0;
    stream >> count;
    for (qint32 i = 0; i < count && stream.status() == QDataStream::Ok; ++i) {
        WorkSheet sheet;
        qint32 cells = 0;
        stream >> sheet.name >> sheet.lastRow >> sheet.lastCol >> cells;
        for (qint32 c = 0; c < cells && stream.status() == QDataStream::Ok; ++c) {
            quint64 key = 0;
            quint8 kind = 0;
            WorkbookCell cell;
            stream >> key >> kind >> cell.number >> cell.text;
            cell.kind = WorkbookCell::Kind(kind);
            book.addCell(sheet, int(key >> 32), int(quint32(key)), cell, true);
        }
        workbook.sheets << sheet;
    }
    if (stream.status() != QDataStream::Ok)
        book.damaged(QStringLiteral("файл .xls не читается"));
    return workbook;
}

Workbook ReadWorkbook(const QString &FileName)
{
    QFile file(FileName);
    if (!file.open(QIODevice::ReadOnly))
        throw EFileError(QStringLiteral("Не удалось открыть файл %1: %2").arg(FileName, FileErrorText(file)));
    const qint64 size = file.size();
    const QByteArray head = file.peek(8);
    const bool zip = head.startsWith("PK"), biff = head == QByteArray::fromHex("D0CF11E0A1B11AE1");
    if (!zip && !biff)
        throw EFileError(QStringLiteral("Файл %1 не является книгой Excel (.xls или .xlsx)").arg(FileName));
    if (size > MaxInputBytes)
        BookFile(FileName, 0).tooLarge(InputTooLargeText(size));
    if (biff) {
        file.close();
        return XlsWorkbookFromChild(
            FileName, size, RunIsolated([&] { return ReadXlsInChild(FileName); }, XlsChildLimits(size)));
    }
    const QByteArray bytes = file.readAll();
    if (bytes.size() != size)
        throw EFileError(
            QStringLiteral("Не удалось прочитать файл %1: %2").arg(FileName, FileErrorText(file)));
    return ReadXlsxBytes(bytes, FileName);
}
