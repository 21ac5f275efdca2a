#include "demo_samples.h"

#include "app/settings/settings_record.h"
#include "db/db_command.h"
#include "db/db_connection.h"
#include "db/table_creates.h"
#include "exchange/orv/orv_export.h"
#include "lib/codec.h"
#include "lib/datetime.h"
#include "lib/epoch.h"
#include "lib/errors.h"
#include "lib/messages.h"
#include "lib/number_routines.h"
#include "lib/safe_write.h"
#include "platform/zip_archive.h"

#include <QDir>
#include <QFile>
#include <QList>
#include <QVariant>
#include <QtEndian>

#include <zip.h>

#include <cmath>
#include <cstring>
#include <memory>

namespace {

// A reading of the station: its time of day, and for the S wave the amplitude read on its component.
struct SampleReading
{
    const char *phase;
    char quality;   // 'i' or 'e'
    char motion;    // '+', '-' or 0
    char component; // 'Z', 'N' or 'E'
    int hour, minute;
    double second;
    double period = 0, amplitude = 0;
    int ampHour = 0, ampMinute = 0;
    double ampSecond = 0;
};

// An earthquake as PET and two partner stations recorded it. The partners' waves are seconds after the
// minute of the origin, as their bulletin counts them.
struct SampleEvent
{
    int day; // 0 or 1: the first or the second of the two days
    int hour, minute;
    double second;
    double lat, lon, depth, degrees, km, azimuth, klass;
    const char *region;
    SampleReading p, s;
    double partnerPg[2], partnerSg[2]; // KRV, ELT; 0: not read
};

const SampleEvent kEvents[] = {
    {0,
     3,
     12,
     45.3,
     52.81,
     160.12,
     35,
     1.10,
     122,
     91.4,
     11.2,
     "Камчатка",
     {"Pg", 'i', '+', 'Z', 3, 13, 6.4},
     {"Sg", 'e', 0, 'N', 3, 13, 21.9, 0.8, 12.5, 3, 13, 22.5},
     {62.8, 70.5},
     {75.6, 89.0}},
    {1,
     17,
     40,
     2.8,
     54.10,
     162.05,
     20,
     2.14,
     238,
     65.7,
     10.4,
     "Камчатка",
     {"Pg", 'e', '-', 'Z', 17, 40, 39.1},
     {"Sg", 'e', 0, 'E', 17, 41, 5.6, 1.1, 3.4, 17, 41, 6.2},
     {31.7, 0},
     {53.4, 0}},
};

// The channel as the station's channel table names it, and the instrument as its workbook does.
const QString kChannel = QStringLiteral("СКМ-3_SP");
const QString kInstrument = QStringLiteral("СКМ-3");

QString number(double value, QChar separator = QLatin1Char('.'))
{
    return FloatToStr(value, separator);
}

QString twoDigits(int value)
{
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

QString clock(int hour, int minute, double second)
{
    return twoDigits(hour) + QLatin1Char(':') + twoDigits(minute) + QLatin1Char(':') +
           twoDigits(int(std::trunc(second)));
}

int tenths(double second)
{
    return int(RoundHalfEven((second - std::trunc(second)) * 10));
}

// S - P in whole seconds, written minutes "-" seconds as the journal keeps it.
int spSeconds(const SampleEvent &e)
{
    const double p = e.p.hour * 3600 + e.p.minute * 60 + e.p.second;
    const double s = e.s.hour * 3600 + e.s.minute * 60 + e.s.second;
    return int(std::trunc(s - p));
}

// --- The Paradox journal ---

enum PxType : uchar { PxAlpha = 1, PxDate = 2, PxShort = 3, PxNumber = 6 };

struct PxField
{
    const char *name;
    PxType type;
    int size;
};

const PxField kJournal[] = {
    {"N c/c", PxAlpha, 6}, {"N event", PxShort, 2}, {"Data", PxDate, 4},   {"Faza", PxAlpha, 8},
    {"Dev", PxAlpha, 12},  {"Ho", PxShort, 2},      {"Min", PxShort, 2},   {"Sek", PxNumber, 8},
    {"T", PxNumber, 8},    {"A E-W", PxAlpha, 8},   {"A N-S", PxAlpha, 8}, {"A Z", PxAlpha, 8},
    {"S-P", PxAlpha, 6},   {"Del", PxNumber, 8},    {"M", PxAlpha, 8},     {"Notes", PxAlpha, 30},
};

// Paradox keeps numbers big-endian so that their bytes sort as the values do: integers with the sign bit
// flipped, floating point values with the sign bit set when positive and every bit inverted when
// negative; a value of zero bytes is none.
QByteArray pxValue(const PxField &f, const QVariant &v)
{
    QByteArray bytes(f.size, '\0');
    if (!v.isValid())
        return bytes;
    char *b = bytes.data();
    switch (f.type) {
    case PxAlpha: {
        const QByteArray text = toCp866(v.toString()).left(f.size);
        std::memcpy(b, text.constData(), size_t(text.size()));
        break;
    }
    case PxShort:
        qToBigEndian<quint16>(quint16(v.toInt()) ^ 0x8000u, b);
        break;
    case PxDate:
        qToBigEndian<quint32>(quint32(qint32(v.toDouble()) + DateDelta) ^ 0x80000000u, b);
        break;
    case PxNumber: {
        const double d = v.toDouble();
        quint64 bits = 0;
        std::memcpy(&bits, &d, sizeof bits);
        bits = std::signbit(d) ? ~bits : bits | (quint64(1) << 63);
        qToBigEndian<quint64>(bits, b);
        break;
    }
    }
    return bytes;
}

// A Paradox 7 data table without index (the layout Paradox and pxlib write), alpha values in cp866.
QByteArray paradoxTable(const QList<QVariantList> &rows)
{
    constexpr int kHeaderSize = 2048, kBlockSize = 2048, kBlockHeader = 6;
    const int fields = int(std::size(kJournal));
    int recordSize = 0;
    for (const PxField &f : kJournal)
        recordSize += f.size;
    const int perBlock = (kBlockSize - kBlockHeader) / recordSize;
    const int blocks = int((rows.size() + perBlock - 1) / perBlock);

    QByteArray head(kHeaderSize, '\0');
    char *h = head.data();
    qToLittleEndian<quint16>(quint16(recordSize), h);
    qToLittleEndian<quint16>(kHeaderSize, h + 2);
    h[4] = 2; // a data table without primary index
    h[5] = kBlockSize / 1024;
    qToLittleEndian<qint32>(qint32(rows.size()), h + 6);
    qToLittleEndian<quint16>(quint16(blocks), h + 10);    // blocks in use
    qToLittleEndian<quint16>(quint16(blocks), h + 12);    // blocks in the file
    qToLittleEndian<quint16>(blocks > 0 ? 1 : 0, h + 14); // the first block
    qToLittleEndian<quint16>(quint16(blocks), h + 16);    // the last block
    qToLittleEndian<qint16>(qint16(fields), h + 33);
    h[57] = 12; // Paradox 7
    qToLittleEndian<quint16>(quint16(kBlockSize / 1024 * 64), h + 58);
    qToLittleEndian<quint16>(866, h + 106);
    qsizetype at = 120;
    for (const PxField &f : kJournal) {
        h[at++] = char(f.type);
        h[at++] = char(f.size);
    }
    // The pointers to the table's and the fields' names (not used by readers), the table's name in a
    // field of 261 bytes, then the field names.
    at += 4 * (fields + 1);
    const QByteArray name = "PET_journal.db";
    std::memcpy(h + at, name.constData(), size_t(name.size()));
    at += 261;
    for (const PxField &f : kJournal) {
        std::memcpy(h + at, f.name, std::strlen(f.name));
        at += qsizetype(std::strlen(f.name)) + 1;
    }

    QByteArray file = head;
    for (int b = 0; b < blocks; ++b) {
        QByteArray block(kBlockSize, '\0');
        const int first = b * perBlock, count = std::min(perBlock, int(rows.size()) - first);
        qToLittleEndian<quint16>(quint16(b + 1 < blocks ? b + 2 : 0), block.data());
        qToLittleEndian<quint16>(quint16(b), block.data() + 2);
        qToLittleEndian<qint16>(qint16((count - 1) * recordSize), block.data() + 4);
        qsizetype pos = kBlockHeader;
        for (int r = first; r < first + count; ++r)
            for (int c = 0; c < fields; ++c) {
                const QByteArray value = pxValue(kJournal[c], rows[r].value(c));
                std::memcpy(block.data() + pos, value.constData(), size_t(value.size()));
                pos += value.size();
            }
        file += block;
    }
    return file;
}

// Three lines an event: the P reading with the event's number, date, S-P, distance and notes, the S
// reading, and its amplitude line ("SgM").
QList<QVariantList> journalRows(const QDate &firstDay)
{
    QList<QVariantList> rows;
    int line = 0, num = 9001;
    for (const SampleEvent &e : kEvents) {
        const TDateTime day = EncodeDate(firstDay.year(), firstDay.month(), firstDay.day()) + e.day;
        const QString sp =
            QStringLiteral("%1-%2").arg(spSeconds(e) / 60).arg(spSeconds(e) % 60, 2, 10, QLatin1Char('0'));
        const auto amplitudeColumn = [](char component) {
            return component == 'E' ? 9 : component == 'N' ? 10 : 11;
        };
        QVariantList p(16);
        p[0] = QString::number(++line);
        p[1] = num++;
        p[2] = double(day);
        p[3] = (e.p.motion ? QString(QLatin1Char(e.p.motion)) : QString()) + QLatin1Char(e.p.quality) +
               QLatin1String(e.p.phase);
        p[4] = kChannel + QLatin1Char(e.p.component);
        p[5] = e.p.hour;
        p[6] = e.p.minute;
        p[7] = e.p.second;
        if (e.p.motion)
            p[amplitudeColumn(e.p.component)] = QString(QLatin1Char(e.p.motion));
        p[12] = sp;
        p[13] = e.degrees;
        p[15] = QString::fromUtf8(e.region);
        rows << p;
        QVariantList s(16);
        s[0] = QString::number(++line);
        s[3] = QString(QLatin1Char(e.s.quality)) + QLatin1String(e.s.phase);
        s[4] = kChannel + QLatin1Char(e.s.component);
        s[5] = e.s.hour;
        s[6] = e.s.minute;
        s[7] = e.s.second;
        rows << s;
        QVariantList a(16);
        a[0] = QString::number(++line);
        a[3] = QLatin1String(e.s.phase) + QLatin1Char('M');
        a[4] = kChannel + QLatin1Char(e.s.component);
        a[5] = e.s.ampHour;
        a[6] = e.s.ampMinute;
        a[7] = e.s.ampSecond;
        a[8] = e.s.period;
        a[amplitudeColumn(e.s.component)] = number(e.s.amplitude);
        a[14] = QStringLiteral("K=") + number(e.klass);
        rows << a;
    }
    return rows;
}

// --- The text tables, in the default formats: ';' between fields, dates M/d/yy, ',' for decimals ---

QString textDate(const QDate &firstDay, int day)
{
    const QDate d = firstDay.addDays(day);
    return QStringLiteral("%1/%2/%3")
        .arg(d.month())
        .arg(d.day())
        .arg(d.year() % 100, 2, 10, QLatin1Char('0'));
}

QByteArray textLines(const QList<QStringList> &lines)
{
    QString text;
    for (const QStringList &fields : lines)
        text += fields.join(QLatin1Char(';')) + QStringLiteral("\r\n");
    return toCp1251(text);
}

void writeTextTables(const DemoSampleFiles &files, const QDate &firstDay)
{
    const QChar comma = QLatin1Char(',');
    QList<QStringList> events, readings, amplitudes;
    int num = 9003, arid = 0;
    for (const SampleEvent &e : kEvents) {
        const QString date = textDate(firstDay, e.day);
        const QString sp = QStringLiteral("00:00:%1").arg(spSeconds(e), 2, 10, QLatin1Char('0'));
        events << QStringList{QString(),
                              QString::number(num),
                              date + QLatin1Char(' ') + clock(e.hour, e.minute, e.second),
                              QString::number(tenths(e.second)),
                              number(e.lat, comma),
                              number(e.lon, comma),
                              number(e.depth, comma),
                              number(e.degrees, comma),
                              number(e.km, comma),
                              number(e.azimuth, comma),
                              QString(),
                              sp,
                              QStringLiteral("5"),
                              number(e.klass, comma),
                              QString(),
                              QString(),
                              QString::fromUtf8(e.region),
                              QString()};
        for (const SampleReading *r : {&e.p, &e.s}) {
            QStringList line(25);
            line[0] = QString::number(++arid);
            line[2] = QString::number(num);
            line[3] = QStringLiteral("PET");
            line[4] = date;
            if (r->motion)
                line[5] = QString(QLatin1Char(r->motion));
            line[6] = QString(QLatin1Char(r->quality));
            line[7] = QStringLiteral("0");
            line[8] = QLatin1String(r->phase);
            line[9] = kChannel;
            line[10] = QStringLiteral("SP");
            line[11] = QStringLiteral("0");
            line[12] = QString(QLatin1Char(r->component));
            line[13] = date + QLatin1Char(' ') + clock(r->hour, r->minute, r->second);
            line[14] = QString::number(tenths(r->second));
            if (r->motion)
                line[r->component == 'N'   ? 15
                     : r->component == 'E' ? 16
                                           : 17] = QString(QLatin1Char(r->motion));
            readings << line;
        }
        QStringList xm(17);
        xm[1] = QString::number(arid);
        xm[2] = kChannel;
        xm[3] = QStringLiteral("SP");
        xm[4] = QString(QLatin1Char(e.s.component));
        xm[5] = date + QLatin1Char(' ') + clock(e.s.ampHour, e.s.ampMinute, e.s.ampSecond);
        xm[6] = QString::number(tenths(e.s.ampSecond));
        const int axis = e.s.component == 'N' ? 7 : e.s.component == 'E' ? 9 : 11;
        xm[axis] = number(e.s.period, comma);
        xm[axis + 1] = number(e.s.amplitude, comma);
        xm[14] = number(e.klass, comma);
        amplitudes << xm;
        ++num;
    }
    SafeWriteFileOrThrow(files.events, textLines(events));
    SafeWriteFileOrThrow(files.stationBulletin, textLines(readings));
    SafeWriteFileOrThrow(files.xmAdd, textLines(amplitudes));
}

// --- The PET workbook ---

QString xmlEscaped(const QString &text)
{
    return text.toHtmlEscaped();
}

// An .xlsx of one sheet: numbers as numbers, texts inline.
QByteArray workbookBytes(const QList<QVariantList> &rows)
{
    QString sheet = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
                                   "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/"
                                   "main\"><sheetData>");
    for (int r = 0; r < rows.size(); ++r) {
        sheet += QStringLiteral("<row r=\"%1\">").arg(r + 1);
        for (int c = 0; c < rows[r].size(); ++c) {
            const QVariant &v = rows[r][c];
            if (!v.isValid())
                continue;
            const QString ref = QChar(u'A' + c) + QString::number(r + 1);
            if (v.typeId() == QMetaType::QString)
                sheet += QStringLiteral("<c r=\"%1\" t=\"inlineStr\"><is><t>%2</t></is></c>")
                             .arg(ref, xmlEscaped(v.toString()));
            else
                sheet += QStringLiteral("<c r=\"%1\"><v>%2</v></c>").arg(ref, number(v.toDouble()));
        }
        sheet += QStringLiteral("</row>");
    }
    sheet += QStringLiteral("</sheetData></worksheet>");

    const QList<std::pair<QByteArray, QByteArray>> parts = {
        {"[Content_Types].xml",
         "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
         "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
         "<Default Extension=\"rels\" "
         "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
         "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
         "<Override PartName=\"/xl/workbook.xml\" "
         "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
         "<Override PartName=\"/xl/worksheets/sheet1.xml\" "
         "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>"
         "</Types>"},
        {"_rels/.rels",
         "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
         "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
         "<Relationship Id=\"rId1\" "
         "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" "
         "Target=\"xl/workbook.xml\"/></Relationships>"},
        {"xl/workbook.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
                            "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
                            "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
                            "<sheets><sheet name=\"" +
                                QStringLiteral("Журнал").toUtf8() +
                                "\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>"},
        {"xl/_rels/workbook.xml.rels",
         "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
         "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
         "<Relationship Id=\"rId1\" "
         "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" "
         "Target=\"worksheets/sheet1.xml\"/></Relationships>"},
        {"xl/worksheets/sheet1.xml", sheet.toUtf8()},
    };

    zip_error_t error;
    zip_error_init(&error);
    const auto fail = [&](const char *what) {
        const QString reason = QString::fromUtf8(zip_error_strerror(&error));
        zip_error_fini(&error);
        throw EFileError(
            QStringLiteral("Cannot make the sample workbook (%1): %2").arg(QLatin1String(what), reason));
    };
    zip_source_t *buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
    if (!buffer)
        fail("buffer");
    zip_source_keep(buffer);
    std::unique_ptr<zip_source_t, decltype(&zip_source_free)> kept(buffer, zip_source_free);
    zip_t *za = zip_open_from_source(buffer, ZIP_TRUNCATE, &error);
    if (!za) {
        zip_source_free(buffer);
        fail("open");
    }
    for (const auto &[name, data] : parts) {
        zip_source_t *source = zip_source_buffer(za, data.constData(), zip_uint64_t(data.size()), 0);
        if (!source || zip_file_add(za, name.constData(), source, ZIP_FL_ENC_UTF_8) < 0) {
            zip_source_free(source);
            zip_error_set(&error, zip_error_code_zip(zip_get_error(za)), 0);
            zip_discard(za);
            fail("add");
        }
    }
    if (zip_close(za) < 0) {
        zip_error_set(&error, zip_error_code_zip(zip_get_error(za)), 0);
        zip_discard(za);
        fail("close");
    }
    QByteArray bytes;
    if (zip_source_open(buffer) < 0)
        fail("read");
    char chunk[4096];
    for (zip_int64_t n; (n = zip_source_read(buffer, chunk, sizeof chunk)) > 0;)
        bytes.append(chunk, qsizetype(n));
    zip_source_close(buffer);
    zip_error_fini(&error);
    return bytes;
}

// The station's workbook, three rows an event: the P reading with the event's number, date, S-P,
// distance and origin time, the S reading with the latitude, its amplitude row with the longitude.
QList<QVariantList> workbookRows(const QDate &firstDay)
{
    QList<QVariantList> rows = {{QStringLiteral("№"), QStringLiteral("Дата"), QStringLiteral("Волна"),
                                 QStringLiteral("Прибор и составл."), QStringLiteral("Время,ч:м:с"),
                                 QStringLiteral("дес."), QStringLiteral("S-P,м:с"), QStringLiteral("D,км"),
                                 QStringLiteral("T"), QStringLiteral("A-NS"), QStringLiteral("A-EW"),
                                 QStringLiteral("A-Z"), QStringLiteral("M"), QStringLiteral("Примечание")}};
    int num = 9005;
    for (const SampleEvent &e : kEvents) {
        const auto axis = [](char component) { return component == 'N' ? 9 : component == 'E' ? 10 : 11; };
        const auto instrument = [](char component) {
            return kInstrument + QLatin1Char(' ') + QLatin1Char(component);
        };
        QVariantList p(14);
        p[0] = num++;
        p[1] = firstDay.addDays(e.day).toString(QStringLiteral("dd.MM.yyyy"));
        p[2] = (e.p.motion ? QString(QLatin1Char(e.p.motion)) : QString()) + QLatin1Char(e.p.quality) +
               QLatin1String(e.p.phase);
        p[3] = instrument(e.p.component);
        p[4] = clock(e.p.hour, e.p.minute, e.p.second);
        p[5] = tenths(e.p.second);
        p[6] = QStringLiteral("00:00:%1").arg(spSeconds(e), 2, 10, QLatin1Char('0'));
        p[7] = e.km;
        if (e.p.motion)
            p[axis(e.p.component)] = QString(QLatin1Char(e.p.motion));
        p[13] = QStringLiteral("O=%1-%2-%3.%4")
                    .arg(twoDigits(e.hour), twoDigits(e.minute), twoDigits(int(e.second)))
                    .arg(tenths(e.second));
        rows << p;
        QVariantList s(14);
        s[2] = QString(QLatin1Char(e.s.quality)) + QLatin1String(e.s.phase);
        s[3] = instrument(e.s.component);
        s[4] = clock(e.s.hour, e.s.minute, e.s.second);
        s[5] = tenths(e.s.second);
        s[13] = QStringLiteral("LAT=") + number(e.lat) + QLatin1Char('N');
        rows << s;
        QVariantList a(14);
        a[2] = QLatin1String(e.s.phase) + QLatin1Char('M');
        a[3] = instrument(e.s.component);
        a[4] = clock(e.s.ampHour, e.s.ampMinute, e.s.ampSecond);
        a[5] = tenths(e.s.ampSecond);
        a[8] = e.s.period;
        a[axis(e.s.component)] = e.s.amplitude;
        a[12] = QStringLiteral("K=") + number(e.klass);
        a[13] = QStringLiteral("LON=") + number(e.lon) + QLatin1Char('E');
        rows << a;
    }
    return rows;
}

// --- The partner bulletin ---

// A line with each field's text right-aligned to end at its last position (1-based).
class FixedLine
{
public:
    FixedLine &at(int last, const QString &text)
    {
        const int first = last - int(text.size()) + 1;
        if (m_line.size() < last)
            m_line = m_line.leftJustified(last);
        m_line.replace(first - 1, text.size(), text);
        return *this;
    }
    FixedLine &from(int first, const QString &text) { return at(first + int(text.size()) - 1, text); }
    QString text(int least) const { return m_line.leftJustified(least); }

private:
    QString m_line;
};

QString seconds(double value)
{
    return QString::number(value, 'f', 2);
}

QByteArray partnerBulletin(const QDate &firstDay)
{
    QStringList lines;
    for (const SampleEvent &e : kEvents) {
        const QDate d = firstDay.addDays(e.day);
        const int stations = e.partnerPg[1] > 0 ? 2 : 1;
        // day, month, a value of 0-9, hour, minute and four more numbers
        lines << QStringLiteral("%1 %2  1 %3 %4   %5  14   0   7")
                     .arg(d.day(), 3)
                     .arg(d.month(), 2)
                     .arg(e.hour, 2)
                     .arg(e.minute, 2)
                     .arg(stations);
        lines << FixedLine()
                     .from(3, QStringLiteral("%1 %2 %3")
                                  .arg(twoDigits(d.day()), twoDigits(d.month()))
                                  .arg(d.year()))
                     .at(21, twoDigits(e.hour))
                     .from(22, QStringLiteral("h"))
                     .at(26, twoDigits(e.minute))
                     .from(27, QStringLiteral("m"))
                     .at(34, seconds(e.second))
                     .from(35, QStringLiteral("s"))
                     .from(37, QStringLiteral("K="))
                     .at(44, number(e.klass))
                     .from(46, QStringLiteral("Mcoda="))
                     .at(56, QStringLiteral("3.9"))
                     .from(58, QStringLiteral("kt="))
                     .at(62, QStringLiteral("1"))
                     .from(64, QStringLiteral("kolst="))
                     .at(72, QString::number(stations))
                     .text(74);
        lines << FixedLine()
                     .from(1, QStringLiteral(" fi="))
                     .at(11, QString::number(e.lat, 'f', 3))
                     .from(13, QStringLiteral("lam="))
                     .at(26, QString::number(e.lon, 'f', 3))
                     .from(28, QStringLiteral("h="))
                     .at(36, number(e.depth))
                     .from(38, QStringLiteral("t0="))
                     .at(48, QStringLiteral("0.45"))
                     .from(50, QStringLiteral("fmin="))
                     .at(58, QStringLiteral("1.5"))
                     .text(59);
        lines << FixedLine()
                     .from(1, QStringLiteral("Sfi="))
                     .at(11, QStringLiteral("2.5"))
                     .from(13, QStringLiteral("Slam="))
                     .at(24, QStringLiteral("3.1"))
                     .from(36, QStringLiteral("St0="))
                     .from(40, QStringLiteral("0.8"))
                     .text(44);
        for (int s = 0; s < stations; ++s) {
            // An unread wave is written as zero seconds, which the reader drops with its quality mark.
            lines << FixedLine()
                         .at(3, QString::number(s + 1))
                         .at(11, seconds(0))
                         .from(14, QString(QLatin1Char(e.p.quality)))
                         .at(20, seconds(e.partnerPg[s]))
                         .at(29, seconds(0))
                         .from(32, QString(QLatin1Char(e.s.quality)))
                         .at(38, seconds(e.partnerSg[s]))
                         .at(47, number(e.degrees * 111.2 + s * 60, QLatin1Char('.')).left(5))
                         .at(52, number(e.klass))
                         .at(59, QStringLiteral("1.2"))
                         .at(66, QStringLiteral("2.3"))
                         .at(73, QStringLiteral("3.4"))
                         .at(80, QStringLiteral("4.5"))
                         .at(87, QStringLiteral("0.35"))
                         .at(94, QStringLiteral("1.20"))
                         .at(100, QStringLiteral("3.4"))
                         .text(101);
        }
        lines << QString();
    }
    return toCp1251(lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
}

// --- The ORV event file ---

// The export of a scratch ORX database that holds PET's readings of the two events.
class SampleExportHost : public OrvExportHost
{
public:
    SampleExportHost(const QString &database, const Tsett &sett) : m_database(database), m_sett(sett) {}
    QWidget *Owner() override { return nullptr; }
    DbConnection &OrxConnection() override { return m_orx; }
    bool OpenOrx() override
    {
        m_orx.SetProvider(QStringLiteral("MSDASQL"));
        m_orx.SetConnectionString(QStringLiteral("Data Source=\"%1\";Mode=ReadWrite").arg(m_database));
        m_orx.Open(QString(), QString());
        return true;
    }
    void CloseOrx() override { m_orx.Close(); }
    void ShowProgress() override {}
    void SetProgressMaximum(int) override {}
    void SetProgress(int, const QString &) override {}
    void HideProgress() override {}
    Tsett Settings() override { return m_sett; }
    QString CurrentStationSection() override { return QStringLiteral("PET"); }
    QStringList CheckedStations() override { return {}; }
    void ZipFiles(const QString &ZipName, const QStringList &Files) override
    {
        zipFiles(ZipName, QString(), Files, OrvDeflateLevel);
    }
    bool SendMail(const QString &, const QString &) override { return false; }

private:
    QString m_database;
    Tsett m_sett;
    DbConnection m_orx;
};

// The export tells of its end in a message; the demo tool has nobody to tell, and a failure becomes an
// error of the run.
class QuietMessages
{
public:
    QuietMessages() : m_saved(MessageProc)
    {
        MessageProc = [this](QWidget *, const QString &text, unsigned icon, unsigned) {
            if (icon == MB_ICONERROR || icon == MB_ICONWARNING)
                m_failure = text;
            return IDOK;
        };
    }
    ~QuietMessages() { MessageProc = m_saved; }
    const QString &failure() const { return m_failure; }

private:
    MessageProcType m_saved;
    QString m_failure;
};

void exec(DbConnection &c, const QString &sql, const QVariantList &values = {})
{
    DbCommand command(&c);
    command.SetCommandText(sql);
    command.SetParams(values);
    command.Execute();
}

QString writeEventFile(const QString &folder, const QDate &firstDay)
{
    const QString scratch = folder + QStringLiteral("/orx_sample.db");
    QFile::remove(scratch);
    {
        QFile f(scratch);
        if (!f.open(QIODevice::WriteOnly))
            throw EFileError(QStringLiteral("Cannot create %1: %2").arg(scratch, f.errorString()));
    }
    {
        DbConnection c;
        c.SetProvider(QStringLiteral("Microsoft.Jet.OLEDB.4.0"));
        c.SetConnectionString(QStringLiteral("Data Source=\"%1\";Mode=ReadWrite").arg(scratch));
        c.Open(QString(), QString());
        for (const char *sql : OrxTableCreates())
            exec(c, QString::fromUtf8(sql));
        int arid = 9000001, numb = 0;
        for (const SampleEvent &e : kEvents) {
            const QDate d = firstDay.addDays(e.day);
            const QString eventid =
                d.toString(QStringLiteral("yyyyMMdd")) + QStringLiteral("_9000") + QString::number(e.day + 1);
            const double origin = htoe(quint16(d.year()), quint16(d.month()), quint16(d.day()),
                                       quint16(e.hour), quint16(e.minute), e.second);
            exec(c,
                 QStringLiteral("insert into origin (eventid,lat,lon,depth,origintime,comment,orid) values "
                                "(?,?,?,?,?,?,?)"),
                 {eventid, e.lat, e.lon, e.depth, origin, QString::fromUtf8(e.region), 90001 + e.day});
            numb = 0;
            for (const SampleReading *r : {&e.p, &e.s}) {
                const double itime = htoe(quint16(d.year()), quint16(d.month()), quint16(d.day()),
                                          quint16(r->hour), quint16(r->minute), r->second);
                QVariant per, ampl, amptime;
                if (r->amplitude > 0) {
                    per = r->period;
                    ampl = r->amplitude;
                    amptime = htoe(quint16(d.year()), quint16(d.month()), quint16(d.day()),
                                   quint16(r->ampHour), quint16(r->ampMinute), r->ampSecond);
                }
                exec(c,
                     QStringLiteral(
                         "insert into arrival (arid,eventid,sta,chan,iphase,itime,amptime,flag,numb,"
                         "dist,azimuth,fm,im_em,per,ampl,chantype) values (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"),
                     {arid++, eventid, QStringLiteral("PET"),
                      QStringLiteral("SP") + QLatin1Char(r->component), QLatin1String(r->phase), itime,
                      amptime, 1, ++numb, e.degrees, e.azimuth,
                      r->motion == '+'   ? QVariant(QStringLiteral("c"))
                      : r->motion == '-' ? QVariant(QStringLiteral("d"))
                                         : QVariant(),
                      QString(QLatin1Char(r->quality)), per, ampl, QStringLiteral("SP")});
            }
        }
    }
    Tsett sett;
    sett.exp_start_date = EncodeDate(firstDay.year(), firstDay.month(), firstDay.day());
    sett.exp_end_date = sett.exp_start_date + 1;
    sett.exp_dir = folder;
    sett.expset = 0;
    sett.maile_send = false;
    SampleExportHost host(scratch, sett);
    OrvExportStats stats;
    {
        const QuietMessages quiet;
        RunOrxExport(host, &stats);
        if (stats.archive.isEmpty())
            throw EFileError(QStringLiteral("Cannot write the sample event file: ") + quiet.failure());
    }
    QFile::remove(scratch);
    return stats.archive;
}

} // namespace

DemoSampleFiles WriteDemoSamples(const QString &root, const QDate &firstDay)
{
    DemoSampleFiles files;
    files.folder = root + QStringLiteral("/samples");
    if (!QDir().mkpath(files.folder))
        throw EFileError(QStringLiteral("Cannot create %1").arg(files.folder));
    const auto path = [&](const char *name) { return files.folder + QLatin1Char('/') + QLatin1String(name); };
    files.journal = path("PET_journal.db");
    files.events = path("Events1.txt");
    files.stationBulletin = path("Station_bulletin1.txt");
    files.xmAdd = path("Xm_Add1.txt");
    files.workbook = path("PET.xlsx");
    files.partner = path("tab_1.txt");

    SafeWriteFileOrThrow(files.journal, paradoxTable(journalRows(firstDay)));
    writeTextTables(files, firstDay);
    SafeWriteFileOrThrow(files.workbook, workbookBytes(workbookRows(firstDay)));
    SafeWriteFileOrThrow(files.partner, partnerBulletin(firstDay));
    files.eventFile = writeEventFile(files.folder, firstDay);
    return files;
}
