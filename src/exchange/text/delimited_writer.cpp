#include "exchange/text/delimited_writer.h"

#include "db/db_query.h"
#include "exchange/text/text_cells.h"
#include "lib/codec.h"
#include "lib/dataset_api.h"
#include "lib/messages.h"
#include "lib/safe_write.h"
#include "lib/statements.h"

#include <QDir>

namespace {

bool writable(FieldType type)
{
    switch (type) {
    case FieldType::String:
    case FieldType::FixedChar:
    case FieldType::WideString:
    case FieldType::Memo:
    case FieldType::Blob:
    case FieldType::SmallInt:
    case FieldType::Integer:
    case FieldType::Word:
    case FieldType::AutoInc:
    case FieldType::LargeInt:
    case FieldType::Boolean:
    case FieldType::Float:
    case FieldType::Currency:
    case FieldType::Date:
    case FieldType::Time:
    case FieldType::DateTime:
        return true;
    default:
        return false;
    }
}

QString qualified(const QString &text, QChar q)
{
    QString doubled = text;
    doubled.replace(q, QString(2, q));
    return q + doubled + q;
}

// Qualified when the value's own separator could be taken for the line's separators, and whenever
// its text holds one of them (a minus sign under a '-' separator would otherwise split the field).
QString guarded(const QString &text, const tspec &spec, std::initializer_list<QChar> used = {})
{
    for (QChar c : used)
        if (c == spec.fdel || c == spec.sdel)
            return qualified(text, spec.sdel);
    if (text.contains(spec.fdel) || text.contains(spec.sdel))
        return qualified(text, spec.sdel);
    return text;
}

QString valueText(const QVariant &v, FieldType type, const tspec &spec, const TFormatSettings &fs)
{
    if (v.isNull())
        return QString();
    switch (type) {
    case FieldType::String:
    case FieldType::FixedChar:
    case FieldType::WideString:
    case FieldType::Memo:
        return qualified(v.toString(), spec.sdel);
    case FieldType::Blob:
        return qualified(v.typeId() == QMetaType::QByteArray ? fromCp1251(v.toByteArray()) : v.toString(),
                         spec.sdel);
    case FieldType::SmallInt:
    case FieldType::Integer:
    case FieldType::Word:
    case FieldType::AutoInc:
    case FieldType::LargeInt:
        return guarded(QString::number(v.toLongLong()), spec);
    case FieldType::Boolean:
        return v.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    case FieldType::Float:
    case FieldType::Currency:
        return guarded(FloatCellText(v.toDouble(), spec.decdel), spec, {spec.decdel});
    case FieldType::Date:
        return guarded(FormatDateTime(fs.ShortDateFormat, v.toDouble(), fs), spec, {spec.dtdel});
    case FieldType::Time:
        return guarded(FormatDateTime(fs.LongTimeFormat, v.toDouble(), fs), spec, {spec.tmdel});
    case FieldType::DateTime: {
        const TDateTime d = v.toDouble();
        QString text;
        if (DateOf(d) == 0) {
            text = FormatDateTime(fs.LongTimeFormat, d, fs);
        } else {
            text = FormatDateTime(fs.ShortDateFormat, d, fs);
            int h, n, sec, ms;
            DecodeTime(d, h, n, sec, ms);
            if (h != 0 || n != 0 || sec != 0)
                text += QLatin1Char(' ') + FormatDateTime(fs.LongTimeFormat, d, fs);
        }
        return guarded(text, spec, {spec.dtdel, spec.tmdel});
    }
    default:
        return QString();
    }
}

} // namespace

QString DelimitedValueText(const QVariant &value, FieldType type, const tspec &spec,
                           const TFormatSettings &fs)
{
    return valueText(value, type, spec, fs);
}

QByteArray DelimitedLine(const tspec &spec, const TFormatSettings &fs, const QList<TField *> &fields,
                         const QList<FieldType> &types)
{
    QString line;
    for (int k = 0; k < fields.size(); ++k) {
        if (k > 0)
            line += spec.fdel;
        line += valueText(fields[k]->Value(), types[k], spec, fs);
    }
    return toCp1251(line) + "\r\n";
}

int ExportQueryToText(TDataSet &query, const tspec &spec, const QString &sql, const QString &fileName,
                      const TFormatSettings &fs)
{
    struct Closer
    {
        TDataSet &q;
        ~Closer() { q.Close(); }
    } closer{query};

    if (!QAct(query, QStringLiteral("select count(*) as cnt from (") + sql + QStringLiteral(") cq")))
        return 0;
    const qint64 count = query.FieldCount() > 0 && !query.Eof() ? query.Field(0)->AsLargeInt() : 0;
    if (count <= 0)
        return 0;
    // The lines are written in one pass, so a layer dataset need not keep the rows.
    auto *layer = dynamic_cast<DbQuery *>(&query);
    const bool wasForwardOnly = layer && layer->ForwardOnly();
    struct Restore
    {
        DbQuery *q;
        bool forwardOnly;
        ~Restore()
        {
            if (q) {
                q->Close();
                q->SetForwardOnly(forwardOnly);
            }
        }
    } restore{layer, wasForwardOnly};
    query.Close();
    if (layer)
        layer->SetForwardOnly(true);
    if (!QAct(query, sql))
        return 0;

    QList<TField *> fields;
    for (const tspeccol &col : spec.cols)
        fields << query.FieldByName(col.name);
    // The types are known before any line, so a column the text cannot hold leaves no file behind.
    for (int i = 0; i < query.FieldCount(); ++i) {
        TField *f = query.Field(i);
        if (fields.contains(f) && !writable(f->DataType())) {
            MessageProc(nullptr,
                        QStringLiteral("Неподдерживаемый тип столбца. Экспорт невозможен.\rТип = ") +
                            FieldTypeName(f->DataType()) + QStringLiteral(", столбец №") +
                            QString::number(i + 1),
                        MB_ICONERROR, MB_OK);
            return 0;
        }
    }

    SafeFileWriter out(fileName);
    if (!out.open())
        throw EFileError(SafeWriteMessage(fileName, out.errorString()));
    QList<FieldType> types;
    for (TField *f : fields)
        types << f->DataType();
    QByteArray chunk;
    for (; !query.Eof(); query.Next()) {
        chunk += DelimitedLine(spec, fs, fields, types);
        if (chunk.size() >= (1 << 16)) {
            if (!out.write(chunk))
                throw EFileError(SafeWriteMessage(fileName, out.errorString()));
            chunk.clear();
        }
    }
    if (!out.write(chunk) || !out.commit())
        throw EFileError(SafeWriteMessage(fileName, out.errorString()));
    return int(count);
}

int ExportQueryToFile(TDataSet &query, const QString &folder, const QString &name, const tspec &spec,
                      const QString &sql, bool checkDir, const TFormatSettings &fs)
{
    if (checkDir && !QDir(folder).exists()) {
        MessageProc(nullptr, QStringLiteral("Директория \"") + folder + QStringLiteral("\" не найдена"),
                    MB_ICONERROR, MB_OK);
        return -1;
    }
    return ExportQueryToText(query, spec, sql, QDir(folder).filePath(name + QStringLiteral(".txt")), fs);
}
