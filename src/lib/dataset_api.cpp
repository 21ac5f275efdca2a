#include "lib/dataset_api.h"

#include <array>
#include <limits>
#include <optional>

namespace {
const std::array<const char *, 26> kFieldTypeNames = {
    "Unknown",     "String", "SmallInt",  "Integer",    "Word",     "Boolean",    "Float",
    "Currency",    "BCD",    "Date",      "Time",       "DateTime", "Bytes",      "VarBytes",
    "AutoInc",     "Blob",   "Memo",      "Graphic",    "FmtMemo",  "ParadoxOle", "dBaseOle",
    "TypedBinary", "Cursor", "FixedChar", "WideString", "LargeInt"};

// The whole number a value holds as a number of its own, which needs no parsing; none for text.
std::optional<qint64> heldInteger(const QVariant &v)
{
    switch (v.typeId()) {
    case QMetaType::LongLong:
        return *static_cast<const qlonglong *>(v.constData());
    case QMetaType::Int:
        return *static_cast<const int *>(v.constData());
    case QMetaType::Bool:
        return v.toBool() ? 1 : 0;
    default:
        return std::nullopt;
    }
}
} // namespace

namespace {
QString faultMessage(const QString &words, const QString &driverText)
{
    if (driverText.isEmpty() || driverText == words)
        return words;
    // The database's text may quote a whole value or statement.
    return words + QStringLiteral("\rСообщение СУБД: ") + CutForMessage(driverText, MaxQuotedStatementChars);
}
} // namespace

DbError::DbError(DbFault fault, const QString &words, const QString &driverText, const QString &column)
    : BrenvaleError(faultMessage(words, driverText)), m_fault(fault), m_words(words),
      m_driverText(driverText == words ? QString() : driverText), m_column(column)
{}

QString FieldTypeName(FieldType type)
{
    const int code = int(type);
    return code >= 0 && code < int(kFieldTypeNames.size()) ? QString::fromLatin1(kFieldTypeNames[code])
                                                           : QString();
}

bool IsStringFieldType(FieldType t)
{
    return t == FieldType::String || t == FieldType::Memo || t == FieldType::FmtMemo ||
           t == FieldType::FixedChar || t == FieldType::WideString;
}

bool IsIntegerFieldType(FieldType t)
{
    return t == FieldType::SmallInt || t == FieldType::Integer || t == FieldType::Word ||
           t == FieldType::AutoInc || t == FieldType::LargeInt;
}

bool IsFloatFieldType(FieldType t)
{
    return t == FieldType::Float || t == FieldType::Currency || t == FieldType::BCD;
}

bool IsDateFieldType(FieldType t)
{
    return t == FieldType::Date || t == FieldType::Time || t == FieldType::DateTime;
}

bool IntegerFieldRange(FieldType type, qint64 &low, qint64 &high)
{
    switch (type) {
    case FieldType::SmallInt:
        low = std::numeric_limits<qint16>::min(), high = std::numeric_limits<qint16>::max();
        return true;
    case FieldType::Word:
        low = 0, high = std::numeric_limits<quint16>::max();
        return true;
    case FieldType::Integer:
    case FieldType::AutoInc:
        low = std::numeric_limits<qint32>::min(), high = std::numeric_limits<qint32>::max();
        return true;
    default:
        return false;
    }
}

QString FieldValueText(FieldType t, const QVariant &v)
{
    if (v.isNull())
        return QString();
    if (IsDateFieldType(t)) {
        const TDateTime d = v.toDouble();
        // A stored number that is no date at all is shown as it stands rather than as a made-up date.
        if (!IsValidDateTime(d))
            return FloatToStr(d);
        if (t == FieldType::Time)
            return FormatDateTime(QStringLiteral("hh:nn:ss"), d);
        return FormatDateTime(QStringLiteral("c"), d);
    }
    if (IsFloatFieldType(t))
        return FloatToStr(v.toDouble());
    if (t == FieldType::Boolean)
        return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    return v.toString();
}

// The getters ask for the value once: a field's value may cost a read from the driver.
QString TField::AsString() const
{
    const QVariant v = Value();
    return v.isNull() ? QString() : FieldValueText(DataType(), v);
}

qint64 TField::AsLargeInt() const
{
    const QVariant v = Value();
    if (v.isNull())
        return 0;
    if (IsFloatFieldType(DataType()) || IsDateFieldType(DataType())) {
        int64_t r = 0;
        if (!TryRoundHalfEven(v.toDouble(), r))
            throw DbError(NotIntegerText(FloatToStr(v.toDouble())));
        return r;
    }
    if (const std::optional<qint64> held = heldInteger(v))
        return *held;
    bool ok = false;
    const qint64 r = v.toString().trimmed().toLongLong(&ok);
    if (!ok)
        throw DbError(NotIntegerText(v.toString()));
    return r;
}

int TField::AsInteger() const
{
    const qint64 r = AsLargeInt();
    if (r < std::numeric_limits<int>::min() || r > std::numeric_limits<int>::max())
        throw DbError(NotIntegerText(QString::number(r)));
    return int(r);
}

double TField::AsFloat() const
{
    const QVariant v = Value();
    if (v.isNull())
        return 0;
    // Numbers are taken as they are; only a text is parsed.
    if (v.typeId() == QMetaType::Double)
        return *static_cast<const double *>(v.constData());
    if (const std::optional<qint64> held = heldInteger(v))
        return double(*held);
    bool ok = false;
    const double r = v.toString().trimmed().toDouble(&ok);
    if (!ok)
        throw DbError(NotNumberText(v.toString()));
    return r;
}

TDateTime TField::AsDateTime() const
{
    const QVariant v = Value();
    if (v.isNull())
        return 0.0;
    const double d = v.toDouble();
    if (!IsValidDateTime(d))
        throw DbError(NotDateTimeText(FloatToStr(d)));
    return d;
}

bool TField::AsBoolean() const
{
    const QVariant v = Value();
    if (v.isNull())
        return false;
    if (v.typeId() == QMetaType::QString) {
        const QString s = v.toString().trimmed();
        if (s.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
            return true;
        if (s.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0 || s.isEmpty())
            return false;
        bool ok = false;
        const qint64 n = s.toLongLong(&ok);
        return ok ? n != 0 : false;
    }
    if (v.typeId() == QMetaType::Double)
        return v.toDouble() != 0;
    return v.toLongLong() != 0;
}

TField *TDataSet::FieldByName(const QString &name)
{
    TField *f = FindField(name);
    if (!f)
        throw DbError(DbFault::NoSuchColumn, QStringLiteral("Нет поля \"%1\"").arg(name));
    return f;
}

void TDataSet::SetParams(const QVariantList &)
{
    throw DbError(QStringLiteral("Parameters are not supported by this dataset"));
}

void TCommand::SetParams(const QVariantList &)
{
    throw DbError(QStringLiteral("Parameters are not supported by this command"));
}

void TConnection::BeginTrans()
{
    throw DbError(QStringLiteral("Transactions are not supported by this connection"));
}

void TConnection::CommitTrans()
{
    throw DbError(QStringLiteral("Transactions are not supported by this connection"));
}

void TConnection::RollbackTrans()
{
    throw DbError(QStringLiteral("Transactions are not supported by this connection"));
}
