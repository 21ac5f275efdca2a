#include "lib/record_stream.h"

#include "lib/codec.h"
#include "lib/dataset_api.h"
#include "lib/messages.h"

#include <QIODevice>
#include <QtEndian>

#include <cstring>
#include <limits>

namespace {

bool writeAll(QIODevice &stream, const char *data, qint64 size)
{
    return size == 0 || stream.write(data, size) == size;
}

template <typename T> bool writeLittleEndian(QIODevice &stream, T value)
{
    char bytes[sizeof(T)];
    qToLittleEndian(value, bytes);
    return writeAll(stream, bytes, sizeof(T));
}

bool writeDouble(QIODevice &stream, double value)
{
    quint64 bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return writeLittleEndian(stream, bits);
}

bool writeByte(QIODevice &stream, char value)
{
    return writeAll(stream, &value, 1);
}

// Devices may hand out fewer bytes than asked for (pipes, sockets, devices of others), so a read goes
// on until the count is complete or the device has nothing more.
bool readFully(QIODevice &stream, char *data, qint64 count)
{
    qint64 done = 0;
    while (done < count) {
        const qint64 got = stream.read(data + done, count - done);
        if (got <= 0)
            return false;
        done += got;
    }
    return true;
}

// Reads exactly count bytes. A sequential device cannot say how much is left, so it is read in
// bounded chunks and a damaged count never makes us allocate more than actually arrived. A short value
// is read at once: asking a file its size costs a system call, more than most values take to read.
bool readExactly(QIODevice &stream, qint64 count, QByteArray &out)
{
    constexpr qint64 chunk = 64 * 1024;
    if (count <= chunk) {
        out.resize(count);
        if (readFully(stream, out.data(), count))
            return true;
        out.clear();
        return false;
    }
    out.clear();
    if (!stream.isSequential()) {
        if (count > stream.size() - stream.pos())
            return false;
        out.resize(count);
        return readFully(stream, out.data(), count);
    }
    while (out.size() < count) {
        const qint64 want = qMin(chunk, count - qint64(out.size()));
        const qsizetype had = out.size();
        out.resize(had + want);
        if (!readFully(stream, out.data() + had, want))
            return false;
    }
    return true;
}

QString unsupportedTypeMessage(const char *routine, FieldType type)
{
    return QString::fromLatin1(routine) + QStringLiteral(": операция прервана.\rТип данных \"") +
           FieldTypeName(type) + QStringLiteral("\" в таблице не поддерживается!");
}

// Blob values arrive as bytes and go out unchanged; text goes out in windows-1251.
QByteArray fieldBytes(const TField &field)
{
    const QVariant value = field.Value();
    if (value.typeId() == QMetaType::QByteArray)
        return value.toByteArray();
    return toCp1251(field.AsString());
}

bool writeStringBytes(QIODevice &stream, const QByteArray &bytes)
{
    const bool ok = bytes.size() <= std::numeric_limits<qint32>::max() &&
                    writeLittleEndian(stream, qint32(bytes.size())) &&
                    writeAll(stream, bytes.constData(), bytes.size());
    if (!ok)
        MessageProc(nullptr, QStringLiteral("WriteStr2Stream: данные не записаны в поток!"), MB_ICONERROR,
                    MB_OK);
    return ok;
}

} // namespace

bool WriteStr2Stream(QIODevice &Stream, const QString &S)
{
    return writeStringBytes(Stream, toCp1251(S));
}

bool ReadStrStream(QIODevice &Stream, QString &S)
{
    char countBytes[4];
    QByteArray text;
    bool ok = readFully(Stream, countBytes, 4);
    if (ok) {
        const qint32 count = qFromLittleEndian<qint32>(countBytes);
        ok = count >= 0 && readExactly(Stream, count, text);
    }
    if (!ok) {
        MessageProc(nullptr, QStringLiteral("ReadStrStream: данные не считаны из потока!"), MB_ICONERROR,
                    MB_OK);
        return false;
    }
    S = fromCp1251(text);
    return true;
}

bool WriteRec2Stream(QIODevice &Stream, TDataSet &DataSet)
{
    for (int i = 0; i < DataSet.FieldCount(); ++i) {
        const TField &field = *DataSet.Field(i);
        const FieldType type = field.DataType();
        const bool isNull = field.IsNull();
        // A lost NULL byte would shift every following value, so it is checked like the rest.
        if (!writeByte(Stream, isNull ? 1 : 0))
            return false;
        if (isNull)
            continue;
        bool ok = false;
        switch (type) {
        case FieldType::String:
        case FieldType::Blob:
        case FieldType::Memo:
        case FieldType::FixedChar:
        case FieldType::WideString:
            ok = writeStringBytes(Stream, fieldBytes(field));
            break;
        case FieldType::SmallInt:
        case FieldType::Integer:
        case FieldType::Word:
        case FieldType::AutoInc:
            ok = writeLittleEndian(Stream, qint32(field.AsInteger()));
            break;
        case FieldType::Boolean:
            ok = writeByte(Stream, field.AsBoolean() ? 1 : 0);
            break;
        case FieldType::Float:
        case FieldType::Currency:
        case FieldType::BCD:
            ok = writeDouble(Stream, field.AsFloat());
            break;
        case FieldType::Date:
        case FieldType::Time:
        case FieldType::DateTime:
            ok = writeDouble(Stream, field.AsDateTime());
            break;
        case FieldType::LargeInt:
            ok = writeLittleEndian(Stream, qint64(field.AsLargeInt()));
            break;
        default:
            MessageProc(nullptr, unsupportedTypeMessage("WriteRec2Stream", type), MB_ICONERROR, MB_OK);
            return false;
        }
        if (!ok)
            return false;
    }
    return true;
}

bool copytablestruc(TDataSet &DataSet, QString &Columns)
{
    Columns.clear();
    for (int i = 0; i < DataSet.FieldCount(); ++i) {
        const TField &field = *DataSet.Field(i);
        if (i > 0)
            Columns += QLatin1Char(',');
        Columns += field.FieldName();
        QString jetType;
        switch (field.DataType()) {
        case FieldType::String:
        case FieldType::WideString:
            jetType = QStringLiteral("varchar(%1)").arg(field.Size());
            break;
        case FieldType::FixedChar:
            jetType = QStringLiteral("char(%1)").arg(field.Size());
            break;
        case FieldType::SmallInt:
        case FieldType::Integer:
        case FieldType::Word:
        case FieldType::Boolean:
        case FieldType::LargeInt:
            jetType = QStringLiteral("integer");
            break;
        case FieldType::Float:
        case FieldType::Currency:
            jetType = QStringLiteral("float");
            break;
        case FieldType::Date:
        case FieldType::Time:
        case FieldType::DateTime:
            jetType = QStringLiteral("date");
            break;
        case FieldType::AutoInc:
            jetType = QStringLiteral("counter");
            break;
        case FieldType::Blob:
            jetType = QStringLiteral("blob");
            break;
        case FieldType::Memo:
            jetType = QStringLiteral("memo");
            break;
        default:
            MessageProc(nullptr, unsupportedTypeMessage("copytablestruc", field.DataType()), MB_ICONERROR,
                        MB_OK);
            return false;
        }
        Columns += QLatin1Char(' ') + jetType;
    }
    return true;
}
