#include "exchange/text/delimited_writer.h"

#include "db/db_query.h"
#include "exchange/text/text_cells.h"
#include "lib/codec.h"
#include "lib/dataset_api.h"
#include "lib/messages.h"
#include "lib/safe_write.h"
#include "lib/statements.h"

#include <QDir>

#include <charconv>
#include <cmath>
#include <string_view>
#include <vector>

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

namespace {

char cp1251Of(QChar c)
{
    return c.unicode() < 0x80 ? char(c.unicode()) : toCp1251Char(c);
}

void appendCp1251(QByteArray &out, QStringView text)
{
    const qsizetype at = out.size();
    out.resize(at + text.size());
    char *to = out.data() + at;
    for (const QChar c : text)
        *to++ = cp1251Of(c);
}

// A text between qualifiers, the qualifier within it doubled.
void appendQualified(QByteArray &out, QStringView text, QChar q)
{
    const char quote = cp1251Of(q);
    const qsizetype at = out.size();
    out.resize(at + 2 * text.size() + 2);
    char *to = out.data() + at;
    *to++ = quote;
    for (const QChar c : text) {
        if (c == q)
            *to++ = quote;
        *to++ = cp1251Of(c);
    }
    *to++ = quote;
    out.truncate(to - out.constData());
}

// Whether a date format makes its text of the day alone: then a date-time's date part is the same for
// every value of that day.
bool daysOnly(const QString &format)
{
    for (const QChar c : format) {
        const QChar l = c.toLower();
        if (l == u'h' || l == u'n' || l == u's' || l == u'z' || l == u't' || l == u'c' || l == u'a')
            return false;
    }
    return true;
}

// The last text of a column's dates: a file holds many rows of one day.
struct DateTexts
{
    bool daysOnly = false;
    double value = std::nan("");
    QByteArray text;
    int day = -1; // of dayText, as year * 10000 + month * 100 + day
    QString dayText;
};

// A number's text, qualified as guarded() qualifies it.
bool holdsSeparator(QStringView text, const tspec &spec)
{
    for (const QChar c : text)
        if (c == spec.fdel || c == spec.sdel)
            return true;
    return false;
}

void appendGuarded(QByteArray &out, QStringView text, const tspec &spec, QChar own = QChar())
{
    if ((!own.isNull() && (own == spec.fdel || own == spec.sdel)) || holdsSeparator(text, spec))
        appendQualified(out, text, spec.sdel);
    else
        appendCp1251(out, text);
}

// Digits and a sign, with '.' standing for the separator decimal, qualified as guarded() qualifies the
// text they make.
void appendGuarded(QByteArray &out, std::string_view text, const tspec &spec, QChar decimal = QChar())
{
    bool qualify = !decimal.isNull() && (decimal == spec.fdel || decimal == spec.sdel);
    for (const char c : text)
        qualify = qualify || (c != '.' && (QLatin1Char(c) == spec.fdel || QLatin1Char(c) == spec.sdel));
    if (qualify) {
        QString wide = QString::fromLatin1(text.data(), qsizetype(text.size()));
        wide.replace(QLatin1Char('.'), decimal);
        appendQualified(out, wide, spec.sdel);
        return;
    }
    const char point = decimal.isNull() ? '.' : cp1251Of(decimal);
    const qsizetype at = out.size();
    out.resize(at + qsizetype(text.size()));
    char *to = out.data() + at;
    for (const char c : text)
        *to++ = c == '.' ? point : c;
}

// The line of the current record appended to out as DelimitedLine makes it. Values the layer holds as
// plain numbers and texts are read without a QVariant; anything else goes the general way.
void appendLine(QByteArray &out, const tspec &spec, const TFormatSettings &fs, const QList<TField *> &fields,
                const QList<DbField *> &layer, const QList<FieldType> &types, std::vector<DateTexts> &dates,
                QString &scratch)
{
    for (int k = 0; k < fields.size(); ++k) {
        if (k > 0)
            out.append(toCp1251Char(spec.fdel));
        const FieldType type = types[k];
        const DbScalar v = layer[k] ? layer[k]->Scalar() : DbScalar{DbScalar::Other};
        if (v.kind == DbScalar::Null)
            continue;
        if (v.kind == DbScalar::Text && (IsStringFieldType(type) && type != FieldType::FmtMemo)) {
            layer[k]->TextInto(scratch);
            appendQualified(out, scratch, spec.sdel);
            continue;
        }
        if (v.kind == DbScalar::Integer && IsIntegerFieldType(type)) {
            char digits[24];
            const auto end = std::to_chars(digits, digits + sizeof digits, v.integer).ptr;
            appendGuarded(out, std::string_view(digits, size_t(end - digits)), spec);
            continue;
        }
        if (v.kind == DbScalar::Number && (type == FieldType::Float || type == FieldType::Currency)) {
            char buffer[kFloatCellBuffer];
            const std::string_view plain = FloatCellPlainText(v.number, buffer);
            if (plain.empty())
                appendGuarded(out, FloatCellText(v.number, spec.decdel), spec, spec.decdel);
            else
                appendGuarded(out, plain, spec, spec.decdel);
            continue;
        }
        if (v.kind == DbScalar::Number && IsDateFieldType(type)) {
            DateTexts &last = dates[size_t(k)];
            if (v.number != last.value) {
                QString text;
                if (type == FieldType::DateTime && last.daysOnly && DateOf(v.number) != 0) {
                    // As valueText writes it, the day's text made once per day.
                    int y, mo, d, h, n, sec, ms;
                    DecodeDateTime(v.number, y, mo, d, h, n, sec, ms);
                    if (y * 10000 + mo * 100 + d != last.day) {
                        last.day = y * 10000 + mo * 100 + d;
                        last.dayText = FormatDateTime(fs.ShortDateFormat, v.number, fs);
                    }
                    text = last.dayText;
                    DecodeTime(v.number, h, n, sec, ms);
                    if (h != 0 || n != 0 || sec != 0)
                        text += QLatin1Char(' ') + FormatDateTime(fs.LongTimeFormat, v.number, fs);
                    text = guarded(text, spec, {spec.dtdel, spec.tmdel});
                } else {
                    text = valueText(v.number, type, spec, fs);
                }
                last.value = v.number;
                last.text.clear();
                appendCp1251(last.text, text);
            }
            out.append(last.text);
            continue;
        }
        appendCp1251(out, valueText(fields[k]->Value(), type, spec, fs));
    }
    out.append("\r\n", 2);
}

} // namespace

int ExportQueryToText(TDataSet &query, const tspec &spec, const QString &sql, const QString &fileName,
                      const TFormatSettings &fs)
{
    struct Closer
    {
        TDataSet &q;
        ~Closer() { q.Close(); }
    } closer{query};

    // The lines are written in one pass, so a layer dataset need not keep the rows; their count is the
    // lines written.
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
    if (!QAct(query, sql) || query.Eof())
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
    QList<DbField *> layerFields;
    for (TField *f : fields) {
        types << f->DataType();
        layerFields << dynamic_cast<DbField *>(f);
    }
    std::vector<DateTexts> dates(size_t(fields.size()));
    for (DateTexts &d : dates)
        d.daysOnly = daysOnly(fs.ShortDateFormat);
    QByteArray chunk;
    chunk.reserve(1 << 17);
    QString text;
    int written = 0;
    for (; !query.Eof(); query.Next()) {
        appendLine(chunk, spec, fs, fields, layerFields, types, dates, text);
        ++written;
        if (chunk.size() >= (1 << 16)) {
            if (!out.write(chunk))
                throw EFileError(SafeWriteMessage(fileName, out.errorString()));
            chunk.clear();
        }
    }
    if (!out.write(chunk) || !out.commit())
        throw EFileError(SafeWriteMessage(fileName, out.errorString()));
    return written;
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
