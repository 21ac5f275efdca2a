#include "exchange/excel/workbook.h"

#include "lib/errors.h"
#include "platform/isolated_call.h"

#include <QDataStream>
#include <QFile>
#include <QXmlStreamReader>

#include <freexl.h>
#include <zip.h>

#include <algorithm>
#include <memory>

namespace {

// Excel's own limits; a reference beyond them is damage, not data.
constexpr int kMaxRows = 1048576;
constexpr int kMaxCols = 16384;
// No part of a station's workbook comes near this; a larger size given by a damaged archive is refused
// before anything is allocated for it.
constexpr zip_uint64_t kMaxPartSize = 64 * 1024 * 1024;
// The address space of the child that reads an .xls file: room for a sheet of Excel 97's largest size.
constexpr quint64 kXlsMemoryLimit = quint64(1) << 30;
// Its time: libfreexl reads tens of megabytes a second, so these are only met when it is stuck.
constexpr int kXlsTimeLimitMs = 20000;
constexpr int kXlsTimePerMiBMs = 1000;

quint64 cellKey(int row, int col)
{
    return (quint64(quint32(row)) << 32) | quint32(col);
}

[[noreturn]] void damaged(const QString &reason)
{
    throw EFileError(QStringLiteral("Файл книги Excel повреждён: ") + reason);
}

[[noreturn]] void tooLarge(const QString &what)
{
    throw EFileError(QStringLiteral("Книга Excel слишком велика: ") + what);
}

// Counts the cells a workbook keeps, over all its sheets.
class CellBudget
{
public:
    void add(WorkSheet &sheet, int row, int col, const WorkbookCell &cell)
    {
        const qsizetype before = sheet.cells.size();
        sheet.SetCell(row, col, cell);
        m_cells += sheet.cells.size() - before;
        if (m_cells > MaxWorkbookCells)
            tooLarge(QStringLiteral("ячеек больше предела в %1").arg(MaxWorkbookCells));
    }

private:
    qint64 m_cells = 0;
};

// A text with NUL would cut the statement that carries it into a database.
QString checkedText(const QString &text, const QString &where)
{
    if (text.contains(QChar(0)))
        damaged(QStringLiteral("%1: текст с символом NUL").arg(where));
    return text;
}

// --- .xlsx ---

class XlsxArchive
{
public:
    explicit XlsxArchive(const QByteArray &bytes) : m_bytes(bytes)
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
            const QString reason = QString::fromUtf8(zip_error_strerror(&error));
            zip_error_fini(&error);
            damaged(QStringLiteral("архив не читается (%1)").arg(reason));
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
    void checkStated(const QStringList &names) const
    {
        qint64 total = m_partBytes;
        for (const QString &name : names) {
            zip_stat_t st;
            zip_stat_init(&st);
            if (zip_stat(m_zip, name.toUtf8().constData(), 0, &st) == 0 && (st.valid & ZIP_STAT_SIZE))
                total += qint64(std::min<zip_uint64_t>(st.size, kMaxPartSize + 1));
        }
        if (total > MaxWorkbookPartBytes)
            tooLarge(QStringLiteral("распакованные части больше предела в %1 МиБ")
                         .arg(MaxWorkbookPartBytes >> 20));
    }

    // One member in memory, its stated size checked before it is allocated and against what comes.
    QByteArray part(const QString &name) const
    {
        const QByteArray utf8 = name.toUtf8();
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat(m_zip, utf8.constData(), 0, &st) != 0 || !(st.valid & ZIP_STAT_SIZE))
            damaged(QStringLiteral("нет части %1").arg(name));
        if (st.size > kMaxPartSize)
            damaged(QStringLiteral("часть %1 слишком велика (%2 байт)").arg(name).arg(st.size));
        // Parts are read whole, one after another: their sum is what the reading costs in time.
        m_partBytes += qint64(st.size);
        if (m_partBytes > MaxWorkbookPartBytes)
            tooLarge(QStringLiteral("распакованные части больше предела в %1 МиБ")
                         .arg(MaxWorkbookPartBytes >> 20));
        zip_file_t *file = zip_fopen(m_zip, utf8.constData(), 0);
        if (!file)
            damaged(QStringLiteral("часть %1 не открывается").arg(name));
        QByteArray data(qsizetype(st.size), Qt::Uninitialized);
        const zip_int64_t got = st.size ? zip_fread(file, data.data(), st.size) : 0;
        char extra = 0;
        const zip_int64_t more = zip_fread(file, &extra, 1);
        zip_fclose(file);
        if (got != zip_int64_t(st.size) || more != 0)
            damaged(QStringLiteral("часть %1 не читается").arg(name));
        return data;
    }

private:
    QByteArray m_bytes;
    zip_t *m_zip = nullptr;
    mutable qint64 m_partBytes = 0;
};

void checkXml(const QXmlStreamReader &xml, const QString &part)
{
    if (xml.hasError() && xml.error() != QXmlStreamReader::PrematureEndOfDocumentError)
        damaged(QStringLiteral("часть %1: %2").arg(part, xml.errorString()));
}

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

QList<bool> readDateStyles(const XlsxArchive &zip)
{
    QList<bool> dateStyles;
    const QString name = QStringLiteral("xl/styles.xml");
    if (!zip.has(name))
        return dateStyles;
    QHash<int, bool> customDates;
    QXmlStreamReader xml(zip.part(name));
    bool inCellXfs = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            if (xml.name() == QLatin1String("numFmt")) {
                customDates.insert(attr(xml, QLatin1String("numFmtId")).toInt(),
                                   isDateFormatCode(attr(xml, QLatin1String("formatCode"))));
            } else if (xml.name() == QLatin1String("cellXfs")) {
                inCellXfs = true;
            } else if (inCellXfs && xml.name() == QLatin1String("xf")) {
                const int id = attr(xml, QLatin1String("numFmtId")).toInt();
                dateStyles << (customDates.contains(id) ? customDates.value(id) : isBuiltInDateFormat(id));
            }
        } else if (xml.isEndElement() && xml.name() == QLatin1String("cellXfs")) {
            inCellXfs = false;
        }
    }
    checkXml(xml, name);
    return dateStyles;
}

QStringList readSharedStrings(const XlsxArchive &zip)
{
    QStringList strings;
    const QString name = QStringLiteral("xl/sharedStrings.xml");
    if (!zip.has(name))
        return strings;
    QXmlStreamReader xml(zip.part(name));
    QString current;
    bool inItem = false;
    int skip = 0; // inside phonetic runs, which are no part of the text
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            if (xml.name() == QLatin1String("si")) {
                inItem = true;
                current.clear();
            } else if (xml.name() == QLatin1String("rPh")) {
                ++skip;
            } else if (inItem && !skip && xml.name() == QLatin1String("t")) {
                current += xml.readElementText(QXmlStreamReader::IncludeChildElements);
            }
        } else if (xml.isEndElement()) {
            if (xml.name() == QLatin1String("si")) {
                strings << checkedText(current,
                                       QStringLiteral("строка %1 таблицы строк").arg(strings.size()));
                inItem = false;
            } else if (xml.name() == QLatin1String("rPh")) {
                --skip;
            }
        }
    }
    checkXml(xml, name);
    return strings;
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
               const QList<bool> &dateStyles, WorkSheet &sheet, CellBudget &budget)
{
    QXmlStreamReader xml(zip.part(name));
    int row = 0, col = 0;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (xml.name() == QLatin1String("row")) {
            const QString r = attr(xml, QLatin1String("r"));
            bool ok = true;
            const int n = r.isEmpty() ? row + 1 : r.toInt(&ok);
            if (!ok || n < 1 || n > kMaxRows)
                damaged(QStringLiteral("лист %1: номер строки %2").arg(sheet.name, r));
            row = n;
            col = 0;
        } else if (xml.name() == QLatin1String("c")) {
            const QString ref = attr(xml, QLatin1String("r"));
            int r = row, c = col + 1;
            if (!ref.isEmpty() && !parseCellRef(ref, r, c))
                damaged(QStringLiteral("лист %1: ячейка %2").arg(sheet.name, ref));
            if (r < 1 || c > kMaxCols)
                damaged(QStringLiteral("лист %1: ячейка вне строки").arg(sheet.name));
            row = r;
            col = c;
            const QString type = attr(xml, QLatin1String("t"));
            const QString style = attr(xml, QLatin1String("s"));
            QString value;
            bool hasValue = false;
            while (xml.readNextStartElement()) {
                if (xml.name() == QLatin1String("v")) {
                    value = xml.readElementText();
                    hasValue = true;
                } else if (xml.name() == QLatin1String("is")) {
                    value.clear();
                    while (xml.readNextStartElement()) {
                        if (xml.name() == QLatin1String("t"))
                            value += xml.readElementText();
                        else if (xml.name() == QLatin1String("r")) {
                            while (xml.readNextStartElement())
                                if (xml.name() == QLatin1String("t"))
                                    value += xml.readElementText();
                                else
                                    xml.skipCurrentElement();
                        } else
                            xml.skipCurrentElement();
                    }
                    hasValue = true;
                } else {
                    xml.skipCurrentElement();
                }
            }
            WorkbookCell cell;
            if (type == QLatin1String("s")) {
                bool ok = false;
                const int index = value.toInt(&ok);
                if (!ok || index < 0 || index >= strings.size())
                    damaged(QStringLiteral("лист %1: ячейка %2 ссылается на строку %3")
                                .arg(sheet.name, ref, value));
                cell.kind = WorkbookCell::Text;
                cell.text = strings.at(index);
            } else if (type == QLatin1String("str") || type == QLatin1String("inlineStr") ||
                       type == QLatin1String("e")) {
                cell.kind = WorkbookCell::Text;
                cell.text = checkedText(value, QStringLiteral("лист %1: ячейка %2").arg(sheet.name, ref));
            } else if (type == QLatin1String("b")) {
                cell.kind = WorkbookCell::Text;
                cell.text =
                    value.trimmed() == QLatin1String("1") ? QStringLiteral("True") : QStringLiteral("False");
            } else if (hasValue && !value.isEmpty()) {
                bool ok = false;
                cell.number = value.toDouble(&ok);
                if (!ok)
                    damaged(QStringLiteral("лист %1: ячейка %2 содержит %3").arg(sheet.name, ref, value));
                const int s = style.toInt();
                cell.kind = s >= 0 && s < dateStyles.size() && dateStyles.at(s) ? WorkbookCell::Date
                                                                                : WorkbookCell::Number;
            }
            // A cell record without a value is formatting only; it still counts for the used range, as in
            // the spreadsheet program.
            sheet.lastRow = std::max(sheet.lastRow, r);
            sheet.lastCol = std::max(sheet.lastCol, c);
            if (cell.kind != WorkbookCell::Empty)
                budget.add(sheet, r, c, cell);
        }
    }
    checkXml(xml, name);
}

QString partPath(const QString &target)
{
    if (target.startsWith(QLatin1Char('/')))
        return target.mid(1);
    return QStringLiteral("xl/") + target;
}

// --- .xls ---

TDateTime serialFromText(const char *text, unsigned char type)
{
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    const QString t = QString::fromLatin1(text ? text : "");
    TDateTime date = 0, time = 0;
    if (type == FREEXL_CELL_DATE || type == FREEXL_CELL_DATETIME) {
        if (sscanf(text, "%d-%d-%d", &y, &mo, &d) != 3 || !TryEncodeDate(y, mo, d, date))
            damaged(QStringLiteral("дата %1").arg(t));
    }
    const char *clock = type == FREEXL_CELL_DATETIME ? strchr(text, ' ')
                        : type == FREEXL_CELL_TIME   ? text
                                                     : nullptr;
    if (clock) {
        if (sscanf(clock, "%d:%d:%d", &h, &mi, &s) != 3 || !TryEncodeTime(h, mi, s, 0, time))
            damaged(QStringLiteral("время %1").arg(t));
    }
    return ComposeDateTime(date, time);
}

Workbook readXls(const QString &fileName)
{
    struct Handle
    {
        const void *h = nullptr;
        ~Handle() { freexl_close(h); }
    } xls;
    const int opened = freexl_open(QFile::encodeName(fileName).constData(), &xls.h);
    if (opened != FREEXL_OK)
        damaged(QStringLiteral("файл .xls не читается (код %1)").arg(opened));
    unsigned int info = 0;
    if (freexl_get_info(xls.h, FREEXL_BIFF_PASSWORD, &info) == FREEXL_OK && info == FREEXL_BIFF_OBFUSCATED)
        throw EFileError(QStringLiteral("Книга Excel защищена паролем"));
    unsigned int count = 0;
    if (freexl_get_info(xls.h, FREEXL_BIFF_SHEET_COUNT, &count) != FREEXL_OK)
        damaged(QStringLiteral("нет списка листов"));
    Workbook book;
    CellBudget budget;
    for (unsigned int i = 0; i < count; ++i) {
        WorkSheet sheet;
        const char *name = nullptr;
        if (freexl_get_worksheet_name(xls.h, quint16(i), &name) == FREEXL_OK && name)
            sheet.name = QString::fromUtf8(name);
        unsigned int rows = 0;
        unsigned short cols = 0;
        if (freexl_select_active_worksheet(xls.h, quint16(i)) != FREEXL_OK ||
            freexl_worksheet_dimensions(xls.h, &rows, &cols) != FREEXL_OK)
            damaged(QStringLiteral("лист %1 не читается").arg(i + 1));
        if (rows > unsigned(kMaxRows) || cols > kMaxCols)
            damaged(QStringLiteral("лист %1: размеры %2 x %3").arg(i + 1).arg(rows).arg(cols));
        for (unsigned int r = 0; r < rows; ++r)
            for (unsigned short c = 0; c < cols; ++c) {
                FreeXL_CellValue v;
                if (freexl_get_cell_value(xls.h, r, c, &v) != FREEXL_OK)
                    damaged(QStringLiteral("лист %1: ячейка %2, %3").arg(i + 1).arg(r + 1).arg(c + 1));
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
                    cell.number = serialFromText(v.value.text_value, v.type);
                    break;
                default:
                    break;
                }
                if (cell.kind != WorkbookCell::Empty)
                    budget.add(sheet, int(r) + 1, int(c) + 1, cell);
            }
        // The dimensions count from row 1 and column A, as the rows are read.
        sheet.lastRow = int(rows);
        sheet.lastCol = int(cols);
        book.sheets << sheet;
    }
    return book;
}

// The BIFF reader trusts some string lengths in the records (libfreexl 1.0.6 reads past its buffers on
// such damage), so it runs in a child process of bounded memory and time; the parent gets the sheets,
// or the reason, through a pipe and survives whatever the child meets.
QByteArray xlsChild(const QString &fileName)
{
    QByteArray out;
    QDataStream stream(&out, QIODevice::WriteOnly);
    try {
        const Workbook book = readXls(fileName);
        stream << quint8(1) << qint32(book.sheets.size());
        for (const WorkSheet &sheet : book.sheets) {
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

Workbook readXlsIsolated(const QString &fileName, qint64 fileSize)
{
    IsolatedLimits limits;
    limits.memoryBytes = kXlsMemoryLimit;
    limits.timeLimitMs = int(kXlsTimeLimitMs + std::min<qint64>(fileSize >> 20, 3600) * kXlsTimePerMiBMs);
    limits.containedLibrary = QStringLiteral("libfreexl");
    const IsolatedResult run = RunIsolated([&] { return xlsChild(fileName); }, limits);
    if (run.outcome == IsolatedOutcome::TimedOut)
        damaged(QStringLiteral("файл .xls читается дольше предела в %1 с").arg(limits.timeLimitMs / 1000));
    if (run.outcome != IsolatedOutcome::Done)
        damaged(QStringLiteral("файл .xls не читается"));

    QDataStream stream(run.bytes);
    quint8 ok = 0;
    stream >> ok;
    if (ok == 0) {
        QString message;
        stream >> message;
        throw EFileError(message);
    }
    Workbook book;
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
            sheet.cells.insert(key, cell);
        }
        book.sheets << sheet;
    }
    if (stream.status() != QDataStream::Ok)
        damaged(QStringLiteral("файл .xls не читается"));
    return book;
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

Workbook ReadXlsxBytes(const QByteArray &Bytes)
{
    const XlsxArchive zip(Bytes);
    const QString workbookName = QStringLiteral("xl/workbook.xml");
    const QString relsName = QStringLiteral("xl/_rels/workbook.xml.rels");

    QHash<QString, QString> targets;
    {
        QXmlStreamReader xml(zip.part(relsName));
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isStartElement() && xml.name() == QLatin1String("Relationship"))
                targets.insert(attr(xml, QLatin1String("Id")), attr(xml, QLatin1String("Target")));
        }
        checkXml(xml, relsName);
    }
    const QStringList strings = readSharedStrings(zip);
    const QList<bool> dateStyles = readDateStyles(zip);

    Workbook book;
    QXmlStreamReader xml(zip.part(workbookName));
    QList<std::pair<QString, QString>> sheets;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("sheet"))
            sheets << std::pair(attr(xml, QLatin1String("name")), attr(xml, QLatin1String("id")));
    }
    checkXml(xml, workbookName);
    // A spreadsheet program gives every sheet a part of its own; one part behind many sheets would be
    // read and kept again for each.
    QStringList parts;
    QHash<QString, QString> sheetOfPart;
    for (const auto &[name, id] : sheets) {
        if (!targets.contains(id))
            damaged(QStringLiteral("нет листа %1").arg(name));
        const QString part = partPath(targets.value(id));
        if (sheetOfPart.contains(part))
            damaged(QStringLiteral("листы %1 и %2 указывают на одну часть %3")
                        .arg(sheetOfPart.value(part), name, part));
        sheetOfPart.insert(part, name);
        parts << part;
    }
    zip.checkStated(parts);
    CellBudget budget;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        WorkSheet sheet;
        sheet.name = sheets[i].first;
        readSheet(zip, parts[i], strings, dateStyles, sheet, budget);
        book.sheets << sheet;
    }
    return book;
}

Workbook ReadWorkbook(const QString &FileName)
{
    QFile file(FileName);
    if (!file.open(QIODevice::ReadOnly))
        throw EFileError(QStringLiteral("Не удалось открыть файл %1: %2").arg(FileName, file.errorString()));
    const QByteArray head = file.peek(8);
    if (head.startsWith("PK")) {
        if (file.size() > qint64(kMaxPartSize) * 4)
            damaged(QStringLiteral("файл слишком велик"));
        const QByteArray bytes = file.readAll();
        if (bytes.size() != file.size())
            throw EFileError(
                QStringLiteral("Не удалось прочитать файл %1: %2").arg(FileName, file.errorString()));
        return ReadXlsxBytes(bytes);
    }
    if (head == QByteArray::fromHex("D0CF11E0A1B11AE1")) {
        const qint64 size = file.size();
        file.close();
        return readXlsIsolated(FileName, size);
    }
    throw EFileError(QStringLiteral("Файл %1 не является книгой Excel (.xls или .xlsx)").arg(FileName));
}
