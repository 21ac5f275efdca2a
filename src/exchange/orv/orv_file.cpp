#include "exchange/orv/orv_file.h"

#include "exchange/read_limits.h"
#include "lib/codec.h"
#include "lib/dataset_api.h"
#include "lib/messages.h"
#include "lib/record_stream.h"
#include "lib/sql_text.h"
#include "lib/string_table.h"

#include <QIODevice>
#include <QtEndian>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

namespace {

// Smallest bytes a station entry and a field-list item can take on disk.
constexpr qint64 kMinStationEntry = 4 + 8 + 8;
constexpr qint64 kMinFieldItem = 1 + 4;
// 01.01.0001 and 31.12.9999 as date-time values: what a calendar text can be made of.
constexpr double kFirstDate = -693593.0;
constexpr double kPastLastDate = 2958466.0;

qint64 bytesLeft(QIODevice &stream)
{
    return stream.size() - stream.pos();
}

void putInt32(char *at, qint32 value)
{
    qToLittleEndian(value, at);
}

void putDouble(char *at, double value)
{
    quint64 bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    qToLittleEndian(bits, at);
}

qint32 getInt32(const char *at)
{
    return qFromLittleEndian<qint32>(at);
}

double getDouble(const char *at)
{
    const quint64 bits = qFromLittleEndian<quint64>(at);
    double value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// A length-prefixed text of fixed capacity: length byte, characters, the rest reserved.
void putShortString(char *at, const QByteArray &text, int capacity)
{
    const int n = int(qMin<qsizetype>(text.size(), capacity));
    at[0] = char(n);
    std::memcpy(at + 1, text.constData(), size_t(n));
}

bool getShortString(const char *at, int capacity, QString &text)
{
    const int n = quint8(at[0]);
    if (n > capacity)
        return false;
    text = fromCp1251(QByteArray(at + 1, n));
    return true;
}

bool readBytes(QIODevice &stream, char *to, qint64 count)
{
    return stream.read(to, count) == count;
}

bool writeBytes(QIODevice &stream, const char *from, qint64 count)
{
    return stream.write(from, count) == count;
}

bool readDouble(QIODevice &stream, double &value)
{
    char bytes[8];
    if (!readBytes(stream, bytes, 8))
        return false;
    value = getDouble(bytes);
    return true;
}

bool validDateTime(double value)
{
    return std::isfinite(value) && value >= kFirstDate && value < kPastLastDate;
}

QString twoDigits(int value)
{
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

} // namespace

QStringList SplitOrvSystem(const QString &text)
{
    QStringList tables;
    QString name;
    bool quoted = false;
    bool started = false;
    for (const QChar c : text) {
        if (c == QLatin1Char('"')) {
            quoted = !quoted;
            started = true;
        } else if (!quoted && (c == QLatin1Char(' ') || c == QLatin1Char('\r') || c == QLatin1Char('\n') ||
                               c == QLatin1Char('\t'))) {
            if (started)
                tables << name.toLower();
            name.clear();
            started = false;
        } else {
            name += c;
            started = true;
        }
    }
    if (started)
        tables << name.toLower();
    return tables;
}

bool WriteOrvHeader(QIODevice &stream, const orxheader &header)
{
    char image[OrvHeaderSize11] = {};
    putShortString(image, "1.1", 3);
    putShortString(image + 8, toCp1251(header.table), OrvTableNameCapacity);
    putInt32(image + 136, header.fieldCount);
    putInt32(image + OrvRecordCountOffset, header.recordCount);
    putDouble(image + 144, header.periodStart);
    putDouble(image + 152, header.periodEnd);
    putInt32(image + 160, qint32(header.stations.size()));
    bool ok = writeBytes(stream, image, sizeof image);
    for (const torxhsta &s : header.stations) {
        if (!ok)
            break;
        char times[16];
        putDouble(times, s.start);
        putDouble(times + 8, s.end);
        ok = WriteStr2Stream(stream, s.code) && writeBytes(stream, times, sizeof times);
    }
    for (int i = 0; ok && i < header.fieldNames.size(); ++i) {
        const char type = i < header.fieldTypes.size() ? header.fieldTypes[i] : char(0);
        ok = writeBytes(stream, &type, 1) && WriteStr2Stream(stream, header.fieldNames[i]);
    }
    if (!ok)
        MessageProc(nullptr, QStringLiteral("Ошибка при записи заголовка экспортного файла!"), MB_ICONERROR,
                    MB_OK);
    return ok;
}

QByteArray OrvRecordCountBytes(qint32 count)
{
    QByteArray bytes(4, '\0');
    putInt32(bytes.data(), count);
    return bytes;
}

OrvVersion DetectOrvVersion(QIODevice &stream)
{
    const qint64 start = stream.pos();
    char length = 0;
    if (!readBytes(stream, &length, 1))
        return OrvVersion::Unknown;
    const QByteArray text = stream.read(quint8(length));
    stream.seek(start);
    return text == "ZIP" ? OrvVersion::V10 : OrvVersion::V11;
}

OrvReadStatus ReadOrvHeader(QIODevice &stream, OrvVersion version, orxheader &header)
{
    const bool old = version == OrvVersion::V10;
    char image[OrvHeaderSize10] = {};
    if (!readBytes(stream, image, old ? OrvHeaderSize10 : OrvHeaderSize11))
        return OrvReadStatus::Short;
    QString table;
    if (!getShortString(image, 3, header.version) || !getShortString(image + 8, OrvTableNameCapacity, table))
        return OrvReadStatus::Damaged;
    header.table = table.toLower();
    header.fieldCount = getInt32(image + 136);
    header.recordCount = getInt32(image + 140);
    header.stations.clear();
    header.stationCode.clear();
    qint32 stationCount = 0;
    if (old) {
        if (!getShortString(image + 144, 7, header.stationCode))
            return OrvReadStatus::Damaged;
        if (header.stationCode.contains(QChar(0)))
            return OrvReadStatus::NulText;
        header.periodStart = getDouble(image + 152);
        header.periodEnd = getDouble(image + 160);
    } else {
        header.periodStart = getDouble(image + 144);
        header.periodEnd = getDouble(image + 152);
        stationCount = getInt32(image + 160);
    }
    // The period goes into statements and captions: it must be a calendar date.
    if (header.fieldCount < 0 || header.recordCount < 0 || stationCount < 0 ||
        !validDateTime(header.periodStart) || !validDateTime(header.periodEnd) ||
        stationCount > bytesLeft(stream) / kMinStationEntry)
        return OrvReadStatus::Damaged;
    header.stations.reserve(stationCount);
    for (qint32 i = 0; i < stationCount; ++i) {
        torxhsta s;
        if (!ReadStrStream(stream, s.code))
            return OrvReadStatus::ShortText;
        if (s.code.contains(QChar(0)))
            return OrvReadStatus::NulText;
        if (!readDouble(stream, s.start) || !readDouble(stream, s.end))
            return OrvReadStatus::Short;
        if (!validDateTime(s.start) || !validDateTime(s.end))
            return OrvReadStatus::Damaged;
        header.stations << s;
    }
    return OrvReadStatus::Ok;
}

OrvReadStatus ReadOrvFieldList(QIODevice &stream, orxheader &header)
{
    const qint32 count = header.fieldCount;
    if (count > bytesLeft(stream) / kMinFieldItem)
        return OrvReadStatus::Damaged;
    header.fieldNames.clear();
    header.fieldTypes.clear();
    for (qint32 i = 0; i < count; ++i) {
        char type = 0;
        QString name;
        if (!readBytes(stream, &type, 1))
            return OrvReadStatus::Short;
        if (!ReadStrStream(stream, name))
            return OrvReadStatus::ShortText;
        header.fieldTypes.append(type);
        header.fieldNames << name;
    }
    // Every record takes at least its NULL bytes; the count sizes the view table.
    if (header.recordCount > 0 && qint64(header.recordCount) * qMax(count, 1) > bytesLeft(stream))
        return OrvReadStatus::Damaged;
    header.texts = QStringList(count, QString());
    header.literals = QStringList(count, QString());
    header.nulls = QList<bool>(count, true);
    header.values = QVariantList(count, QVariant());
    header.dates = QList<double>(count, 0);
    return OrvReadStatus::Ok;
}

QString OrvFieldText(const orxheader &header, int field, bool literal)
{
    if (header.nulls[field])
        return QString();
    return OrvValueText(header.fieldTypes[field], header.values[field], header.dates[field], literal);
}

QString OrvValueText(char fieldType, const QVariant &value, double date, bool literal)
{
    const FieldType type = FieldType(quint8(fieldType));
    if (type == FieldType::Time)
        return OrvTimeLiteral(date);
    if (IsDateFieldType(type))
        return OrvTimestampLiteral(date);
    if (IsOrvStringType(fieldType))
        return literal ? SqlQuote(value.toString()) : value.toString();
    // A statement gets every digit of a number; a text shows fifteen, as the view does.
    if (value.typeId() == QMetaType::Double)
        return literal ? SqlNumber(value.toDouble()) : FloatToStr(value.toDouble());
    return QString::number(value.toLongLong());
}

UnzipLimits OrvUnzipLimits()
{
    UnzipLimits limits;
    limits.maxMembers = 1000;
    limits.scratch = true;
    limits.distinctNames = true;
    return limits;
}

OrvViewBudget::OrvViewBudget(qint64 ArchiveBytes, qint64 UnpackedBytes)
    : m_budget(ReadBudgetBytes(ArchiveBytes, UnpackedBytes))
{}

bool OrvViewBudget::growTable(qint64 Columns, qint64 FromRows, qint64 ToRows)
{
    // A table's rows are counted in an int; past that no share could hold it anyway.
    if (Columns < 0 || FromRows < 0 || ToRows < FromRows || ToRows >= INT_MAX)
        return false;
    const qint64 perColumn = CellWords::bytesFor(ToRows) - CellWords::bytesFor(FromRows);
    if (perColumn != 0 && Columns > m_budget.limit() / perColumn)
        return false;
    const qint64 bytes = Columns * perColumn;
    if (!m_budget.fits(bytes))
        return false;
    m_budget.spend(bytes);
    return true;
}

bool OrvViewBudget::takeTexts(const QStringList &Texts)
{
    // The table keeps a text's characters back to back, nothing more.
    qint64 bytes = 0;
    for (const QString &t : Texts)
        bytes += 2 * qint64(t.size());
    return m_budget.spend(bytes);
}

QString OrvViewBudget::refusal(qint64 Columns, qint64 Rows) const
{
    return OverBudgetText(m_budget.limit()) +
           QStringLiteral(" (таблица %1 столбцов x %2 строк)").arg(Columns).arg(Rows);
}

bool IsOrvStringType(char code)
{
    const FieldType t = FieldType(quint8(code));
    return t == FieldType::String || t == FieldType::Blob || t == FieldType::Memo ||
           t == FieldType::FixedChar || t == FieldType::WideString;
}

bool IsOrvReadableType(char code)
{
    const FieldType t = FieldType(quint8(code));
    return IsOrvStringType(code) || IsIntegerFieldType(t) || IsFloatFieldType(t) || IsDateFieldType(t) ||
           t == FieldType::Boolean;
}

QString OrvTimestampLiteral(TDateTime value)
{
    int y = 0, m = 0, d = 0, h = 0, n = 0, s = 0, ms = 0;
    DecodeDateTime(value, y, m, d, h, n, s, ms);
    return QStringLiteral("{ts '%1-%2-%3 %4:%5:%6'}")
        .arg(y, 4, 10, QLatin1Char('0'))
        .arg(twoDigits(m), twoDigits(d), twoDigits(h), twoDigits(n), twoDigits(s));
}

QString OrvTimeLiteral(TDateTime value)
{
    int h = 0, n = 0, s = 0, ms = 0;
    DecodeTime(value, h, n, s, ms);
    return QStringLiteral("{t '%1:%2:%3'}").arg(twoDigits(h), twoDigits(n), twoDigits(s));
}

OrvReadStatus ReadOrvRecord(QIODevice &stream, orxheader &header, const OrvValueForms &forms)
{
    const int count = int(header.fieldTypes.size());
    // Without fields a record has no bytes and the end would never come.
    if (count == 0 || stream.atEnd())
        return OrvReadStatus::End;
    const bool values = forms.valuesOnly;
    if (header.dates.size() != count)
        header.dates.resize(count);
    for (int i = 0; i < count; ++i) {
        if (!values || !header.texts[i].isEmpty()) {
            header.texts[i].clear();
            header.literals[i].clear();
        }
        header.nulls[i] = true;
        header.values[i] = QVariant();
        char flag = 0;
        if (!readBytes(stream, &flag, 1))
            return OrvReadStatus::Short;
        if (flag == 1)
            continue;
        if (flag != 0)
            return OrvReadStatus::Damaged;
        const FieldType type = FieldType(quint8(header.fieldTypes[i]));
        QString text, literal;
        QVariant bound;
        switch (type) {
        case FieldType::String:
        case FieldType::Blob:
        case FieldType::Memo:
        case FieldType::FixedChar:
        case FieldType::WideString:
            if (!ReadStrStream(stream, text))
                return OrvReadStatus::ShortText;
            if (text.contains(QChar(0)))
                return OrvReadStatus::NulText;
            bound = text;
            if (values)
                text.clear();
            else
                literal = SqlQuote(text);
            break;
        case FieldType::SmallInt:
        case FieldType::Integer:
        case FieldType::Word:
        case FieldType::AutoInc: {
            char bytes[4];
            if (!readBytes(stream, bytes, 4))
                return OrvReadStatus::Short;
            bound = qlonglong(getInt32(bytes));
            if (!values)
                text = literal = QString::number(getInt32(bytes));
            break;
        }
        case FieldType::LargeInt: {
            char bytes[8];
            if (!readBytes(stream, bytes, 8))
                return OrvReadStatus::Short;
            bound = qlonglong(qFromLittleEndian<qint64>(bytes));
            if (!values)
                text = literal = QString::number(qFromLittleEndian<qint64>(bytes));
            break;
        }
        case FieldType::Boolean: {
            char value = 0;
            if (!readBytes(stream, &value, 1))
                return OrvReadStatus::Short;
            if (!values)
                text = literal = value ? QStringLiteral("1") : QStringLiteral("0");
            bound = qlonglong(value ? 1 : 0);
            break;
        }
        case FieldType::Float:
        case FieldType::Currency:
        case FieldType::BCD: {
            double value = 0;
            if (!readDouble(stream, value))
                return OrvReadStatus::Short;
            // No statement can carry an infinity or a NaN.
            if (!std::isfinite(value))
                return OrvReadStatus::Damaged;
            if (!values) {
                text = FloatToStr(value);
                literal = SqlNumber(value);
            }
            bound = value;
            break;
        }
        case FieldType::Date:
        case FieldType::Time:
        case FieldType::DateTime: {
            double value = 0;
            if (!readDouble(stream, value))
                return OrvReadStatus::Short;
            if (!validDateTime(value))
                return OrvReadStatus::Damaged;
            // Bound as its calendar parts: a local date-time would look the time zone up for every value
            // and move a time in a daylight-saving gap.
            int y = 0, m = 0, d = 0, h = 0, n = 0, sec = 0, ms = 0;
            DecodeDateTime(value, y, m, d, h, n, sec, ms);
            bound = QDateTime(QDate(y, m, d), QTime(h, n, sec, ms), Qt::UTC);
            header.dates[i] = value;
            if (values)
                break;
            if (type == FieldType::Time) {
                literal = OrvTimeLiteral(value);
                text = forms.viewOnly ? FormatDateTime(QStringLiteral("tt"), value, forms.fs) : literal;
            } else {
                literal = OrvTimestampLiteral(value);
                text = forms.viewOnly ? FormatDateTime(QStringLiteral("c"), value, forms.fs) : literal;
            }
            break;
        }
        default: {
            // A code past the enumeration has no name: the byte of the file says which it was.
            const QString name = FieldTypeName(type);
            MessageProc(nullptr,
                        QStringLiteral("ReadSQLStream: операция прервана.\rТип данных ") +
                            (name.isEmpty() ? QStringLiteral("с кодом ") + QString::number(int(type))
                                            : QLatin1Char('"') + name + QLatin1Char('"')) +
                            QStringLiteral(" в таблице не поддерживается!"),
                        MB_ICONERROR, MB_OK);
            return OrvReadStatus::Unsupported;
        }
        }
        if (!text.isEmpty() || !literal.isEmpty()) {
            header.texts[i] = text;
            header.literals[i] = literal;
        }
        header.nulls[i] = false;
        header.values[i] = bound;
    }
    return OrvReadStatus::Ok;
}
