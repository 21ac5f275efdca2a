#include "db/db_query.h"

#include "db/db_connection.h"

#include <QDateTime>
#include <QMetaMethod>

#include <cmath>
#include <limits>

namespace {

// The type of the values a field of this type hands out; UnknownType where it takes any.
int valueTypeOf(FieldType type)
{
    switch (type) {
    case FieldType::Unknown:
    case FieldType::String:
    case FieldType::Memo:
    case FieldType::FmtMemo:
    case FieldType::FixedChar:
    case FieldType::WideString:
        return QMetaType::QString;
    case FieldType::SmallInt:
    case FieldType::Integer:
    case FieldType::Word:
    case FieldType::AutoInc:
    case FieldType::LargeInt:
        return QMetaType::LongLong;
    case FieldType::Float:
    case FieldType::Currency:
    case FieldType::BCD:
    case FieldType::Date:
    case FieldType::Time:
    case FieldType::DateTime:
        return QMetaType::Double;
    case FieldType::Boolean:
        return QMetaType::Bool;
    case FieldType::Blob:
    case FieldType::Bytes:
    case FieldType::VarBytes:
        return QMetaType::QByteArray;
    default:
        return QMetaType::UnknownType;
    }
}

QVariant coerce(const QString &fieldName, FieldType type, const QVariant &v)
{
    if (v.isNull())
        return QVariant();
    // A value already of the field's own type stays as it is; bulk writes mostly give such values.
    if (v.typeId() == valueTypeOf(type))
        return v;
    const bool isText = v.typeId() == QMetaType::QString;
    if (IsStringFieldType(type) || type == FieldType::Unknown) {
        if (v.typeId() == QMetaType::Double)
            return FloatToStr(v.toDouble());
        return v.toString();
    }
    if (IsIntegerFieldType(type)) {
        if (isText) {
            bool ok = false;
            const qlonglong n = v.toString().trimmed().toLongLong(&ok);
            if (!ok)
                throw DbError(NotIntegerText(v.toString()));
            return n;
        }
        if (v.typeId() == QMetaType::Double) {
            int64_t n = 0;
            if (!TryRoundHalfEven(v.toDouble(), n))
                throw DbError(DbFault::OutOfRange,
                              QStringLiteral("Число %1 не помещается в целое поле \"%2\"")
                                  .arg(FloatToStr(v.toDouble()), fieldName),
                              QString(), fieldName);
            return qlonglong(n);
        }
        return v.toLongLong();
    }
    if (IsFloatFieldType(type)) {
        if (isText) {
            bool ok = false;
            const double d = v.toString().trimmed().toDouble(&ok);
            if (!ok)
                throw DbError(NotNumberText(v.toString()));
            return d;
        }
        return v.toDouble();
    }
    if (IsDateFieldType(type)) {
        if (v.typeId() == QMetaType::QDateTime)
            return FromQDateTime(v.toDateTime());
        if (v.typeId() == QMetaType::QDate)
            return FromQDateTime(QDateTime(v.toDate(), QTime(0, 0)));
        bool ok = false;
        const double d = v.toDouble(&ok);
        if (!ok)
            throw DbError(NotDateTimeText(v.toString()) + QStringLiteral(" (поле \"%1\")").arg(fieldName));
        return d;
    }
    if (type == FieldType::Boolean) {
        if (isText) {
            const QString s = v.toString().trimmed();
            return s.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 || (s.toLongLong() != 0);
        }
        return v.toBool();
    }
    if (type == FieldType::Blob || type == FieldType::Bytes || type == FieldType::VarBytes)
        return v.toByteArray();
    return v;
}

// A value the column can store as its type says: Jet's and the server's integers are of fixed width
// (SQLite would keep any), and no column holds an infinity or a date outside the calendar.
void requireFits(const DbColumn &c, const QVariant &v)
{
    if (v.isNull())
        return;
    qint64 low = 0, high = 0;
    if (IntegerFieldRange(c.type, low, high)) {
        const qint64 n = v.toLongLong();
        if (n < low || n > high)
            throw DbError(DbFault::OutOfRange,
                          QStringLiteral("Число %1 не помещается в поле \"%2\": оно целое, от %3 до %4")
                              .arg(n)
                              .arg(c.name)
                              .arg(low)
                              .arg(high),
                          QString(), c.name);
    } else if (IsFloatFieldType(c.type) || IsDateFieldType(c.type)) {
        const double d = v.toDouble();
        if (!std::isfinite(d))
            throw DbError(DbFault::OutOfRange,
                          QStringLiteral("Значение поля \"%1\" не является числом").arg(c.name), QString(),
                          c.name);
        if (IsDateFieldType(c.type) && !IsValidDateTime(d))
            throw DbError(
                DbFault::OutOfRange,
                QStringLiteral("Значение %1 поля \"%2\" не является датой").arg(FloatToStr(d), c.name),
                QString(), c.name);
    }
}

double asNumber(const QVariant &v, bool *ok)
{
    if (v.typeId() == QMetaType::QDateTime) {
        *ok = true;
        return FromQDateTime(v.toDateTime());
    }
    if (v.typeId() == QMetaType::Bool) {
        *ok = true;
        return v.toBool() ? 1 : 0;
    }
    return v.toString().trimmed().toDouble(ok);
}

bool matches(FieldType type, const QVariant &stored, const QVariant &wanted, LocateOptions options)
{
    if (wanted.isNull() || stored.isNull())
        return wanted.isNull() && stored.isNull();
    if (IsStringFieldType(type) || stored.typeId() == QMetaType::QString) {
        const QString s = stored.toString(), w = wanted.toString();
        const Qt::CaseSensitivity cs = options.caseInsensitive ? Qt::CaseInsensitive : Qt::CaseSensitive;
        return options.partialKey ? s.startsWith(w, cs) : s.compare(w, cs) == 0;
    }
    bool ok1 = false, ok2 = false;
    const double a = asNumber(stored, &ok1), b = asNumber(wanted, &ok2);
    if (ok1 && ok2)
        return a == b;
    return stored == wanted;
}

} // namespace

// Field properties are read per row by the exporters: no copy of the column description.
static const DbColumn kNoColumn;
static const DbColumn &columnAt(const QList<DbColumn> &columns, int index)
{
    return index >= 0 && index < columns.size() ? columns.at(index) : kNoColumn;
}

DbScalar DbField::Scalar() const
{
    return m_query->currentScalar(m_index);
}

void DbField::TextInto(QString &out) const
{
    if (IsStringFieldType(DataType()))
        m_query->currentTextInto(m_index, out);
    else
        out = AsString();
}

QString DbField::FieldName() const
{
    return columnAt(m_query->m_columns, m_index).name;
}
FieldType DbField::DataType() const
{
    return columnAt(m_query->m_columns, m_index).type;
}
int DbField::Size() const
{
    return columnAt(m_query->m_columns, m_index).size;
}
int DbField::MaxLength() const
{
    return m_query->maxLength(m_index);
}
QVariant DbField::Value() const
{
    return m_query->currentValue(m_index);
}

// The getters read the common values straight from the rows, as Value() would give them, and leave
// the rest to TField's reading of Value().
bool DbField::IsNull() const
{
    const DbScalar s = m_query->currentScalar(m_index);
    return s.kind == DbScalar::Other ? Value().isNull() : s.kind == DbScalar::Null;
}

QString DbField::AsString() const
{
    const DbScalar s = m_query->currentScalar(m_index);
    if (s.kind == DbScalar::Null)
        return QString();
    if (s.kind == DbScalar::Text && IsStringFieldType(DataType()))
        return m_query->currentText(m_index);
    return TField::AsString();
}

qint64 DbField::AsLargeInt() const
{
    const DbScalar s = m_query->currentScalar(m_index);
    if (s.kind == DbScalar::Null)
        return 0;
    if (s.kind == DbScalar::Integer) {
        const FieldType type = DataType();
        if (!IsFloatFieldType(type) && !IsDateFieldType(type))
            return s.integer;
    }
    return TField::AsLargeInt();
}

double DbField::AsFloat() const
{
    const DbScalar s = m_query->currentScalar(m_index);
    switch (s.kind) {
    case DbScalar::Null:
        return 0;
    case DbScalar::Integer:
        return double(s.integer);
    case DbScalar::Number:
        return s.number;
    default:
        return TField::AsFloat();
    }
}

TDateTime DbField::AsDateTime() const
{
    const DbScalar s = m_query->currentScalar(m_index);
    if (s.kind == DbScalar::Null)
        return 0.0;
    if (s.kind == DbScalar::Number && IsValidDateTime(s.number))
        return s.number;
    return TField::AsDateTime();
}
void DbField::SetValue(const QVariant &value)
{
    m_query->setCurrentValue(m_index, value);
}
bool DbField::CanModify() const
{
    return m_query->fieldWritable(m_index);
}

DbQuery::DbQuery(DbConnection *connection, QObject *parent) : QObject(parent)
{
    SetConnection(connection);
}

DbQuery::~DbQuery()
{
    if (m_master)
        m_master->m_details.removeAll(this);
    // Rows still waiting go with the next statement or the commit, or with a rollback; this dataset no
    // longer hears of them.
    if (m_batch && m_waitingFrom >= 0 && m_connection && m_connection->Connected()) {
        m_batch->setReturning({}, {});
        m_batch->setOnLost({});
        m_connection->backend().adopt(std::move(m_batch));
    }
    m_batch.reset();
    m_waitingFrom = -1;
    closeInternal();
}

void DbQuery::SetConnection(DbConnection *connection)
{
    if (m_connection == connection)
        return;
    closeInternal();
    if (m_connection)
        disconnect(m_connection, nullptr, this, nullptr);
    m_connection = connection;
    if (connection)
        connect(connection, &DbConnection::closing, this, [this] { closeInternal(); });
}

void DbQuery::SetSQL(const QString &sql)
{
    if (sql != m_sql)
        Close();
    m_sql = sql;
}

void DbQuery::SetForwardOnly(bool on)
{
    if (Active())
        throw DbError(QStringLiteral("Набор данных открыт: сначала закройте его"));
    m_forwardOnly = on;
}

void DbQuery::SetMasterSource(DbQuery *master, const QString &masterField, const QString &detailField)
{
    if (m_master)
        m_master->m_details.removeAll(this);
    m_master = master;
    m_masterField = masterField;
    m_detailField = detailField;
    if (master)
        master->m_details.append(this);
}

DbBackend &DbQuery::backend() const
{
    if (!m_connection)
        throw DbError(DbFault::Closed, QStringLiteral("Не задано подключение к базе данных"));
    return m_connection->backend();
}

void DbQuery::requireActive() const
{
    if (!Active())
        throw DbError(DbFault::Closed, QStringLiteral("Набор данных закрыт: операция невозможна"));
}

void DbQuery::requireStatic(const char *operation) const
{
    requireActive();
    if (m_forwardOnly)
        throw DbError(QStringLiteral("Операция %1 невозможна: набор данных читается только вперёд")
                          .arg(QLatin1String(operation)));
}

void DbQuery::Open()
{
    m_followsMaster = true;
    openInternal();
}

void DbQuery::openInternal()
{
    closeInternal();
    QVariantList params = m_params;
    if (m_master) {
        m_lastMasterValue = masterValue();
        params << m_lastMasterValue;
    }
    DbBackend &b = backend();
    std::unique_ptr<DbCursor> cursor = b.executeJet(m_sql, params);
    if (!cursor || cursor->columns().isEmpty())
        throw DbError(QStringLiteral("Запрос не возвращает записей"));
    setUpFields(cursor->columns());
    if (m_forwardOnly) {
        m_cursor = std::move(cursor);
        m_cursorRow = m_cursor->next();
        m_cursorRecNo = m_cursorRow ? 1 : 0;
        m_bof = true;
        m_eof = !m_cursorRow;
    } else {
        m_data.reset(int(m_columns.size()));
        while (cursor->next())
            cursor->appendRow(m_data);
        m_rowCount = int(m_data.rowCount());
        cursor.reset();
        resolveBaseTable();
        m_current = m_rowCount > 0 ? 0 : -1;
        m_bof = true;
        m_eof = m_rowCount == 0;
    }
    m_state = DataSetState::Browse;
    emit opened();
    emit stateChanged();
    notifyDetails();
    emit scrolled();
}

void DbQuery::setUpFields(const QList<DbColumn> &columns)
{
    bool same = columns.size() == m_columns.size() && int(m_fields.size()) == int(columns.size());
    for (int i = 0; same && i < columns.size(); ++i)
        same = columns[i].name == m_columns[i].name;
    m_columns = columns;
    if (!same) {
        // Field objects survive a new query with the same columns, so callers may keep them.
        m_fields.clear();
        for (int i = 0; i < columns.size(); ++i)
            m_fields.push_back(std::make_unique<DbField>(this, i));
        m_foldedNames.clear();
        m_namesAsked.clear();
        for (int i = int(columns.size()) - 1; i >= 0; --i)
            m_foldedNames.insert(columns[i].name.toCaseFolded(), i);
    }
    m_baseColumns = QStringList(columns.size(), QString());
    m_counter = QList<bool>(columns.size(), false);
    m_writable = QList<bool>(columns.size(), false);
    m_keyFields.clear();
    m_rowidField = -1;
    m_table.clear();
    m_tableInfo = DbTableInfo();
    m_insertSql.clear();
    m_lengths.clear();
    m_lengthsRead = false;
}

void DbQuery::resolveBaseTable()
{
    const QString jetName = SqlDialect::singleBaseTable(m_sql);
    if (jetName.isEmpty())
        return;
    DbBackend &b = backend();
    const QString stored = b.dialect().storedName(jetName);
    const DbTableInfo info = b.tableInfo(stored);
    if (info.columns.isEmpty())
        return;
    m_tableInfo = info;
    const bool sqlite = b.dialect().backend() == SqlBackend::SQLite;
    for (int i = 0; i < m_columns.size(); ++i) {
        const DbColumn &c = m_columns[i];
        QString base;
        if (sqlite) {
            if (!c.baseColumn.isEmpty() && c.baseTable.compare(info.name, Qt::CaseInsensitive) == 0)
                base = c.baseColumn;
        } else {
            for (const QString &col : info.columns)
                if (col == c.name)
                    base = col;
            for (int k = 0; base.isEmpty() && k < info.columns.size(); ++k)
                if (info.columns[k].compare(c.name, Qt::CaseInsensitive) == 0)
                    base = info.columns[k];
        }
        m_baseColumns[i] = base;
        if (!base.isEmpty() && info.counters.contains(base)) {
            m_counter[i] = true;
            m_columns[i].type = FieldType::AutoInc;
        }
    }
    for (const QString &key : info.keys) {
        const int f = int(m_baseColumns.indexOf(key));
        if (f < 0) {
            m_keyFields.clear();
            break;
        }
        m_keyFields << f;
    }
    for (int i = 0; i < m_columns.size(); ++i)
        m_writable[i] = !m_baseColumns[i].isEmpty() && !m_counter[i];
    m_table = info.name;
    if (!info.rowidCounter.isEmpty())
        m_rowidField = int(m_baseColumns.indexOf(info.rowidCounter));
}

void DbQuery::ExecSQL()
{
    std::unique_ptr<DbCursor> cursor = backend().executeJet(m_sql, m_params);
    m_rowsAffected = cursor ? cursor->rowsAffected() : -1;
}

void DbQuery::Close()
{
    m_followsMaster = false;
    closeInternal();
}

void DbQuery::closeInternal()
{
    if (m_state == DataSetState::Inactive)
        return;
    if (m_batch) {
        FlushInserts();
        m_batch.reset();
    }
    m_cursor.reset();
    m_data.reset(0);
    m_rowCount = 0;
    m_current = -1;
    m_bof = m_eof = true;
    m_buffer.clear();
    m_original.clear();
    m_modified.clear();
    m_state = DataSetState::Inactive;
    emit closed();
    emit stateChanged();
    for (const QPointer<DbQuery> &d : std::as_const(m_details))
        if (d)
            d->closeInternal();
}

TField *DbQuery::Field(int index)
{
    if (!Active() || index < 0 || index >= int(m_fields.size()))
        throw DbError(QStringLiteral("Нет поля с номером %1").arg(index));
    return m_fields[index].get();
}

TField *DbQuery::FindField(const QString &name)
{
    if (!Active())
        return nullptr;
    const int i = fieldIndex(name);
    return i < 0 ? nullptr : m_fields[i].get();
}

// Products look their fields up by name on every row; the few names they use are remembered as they
// write them, so a lookup is one hash of the name instead of a case-blind compare with every column.
int DbQuery::fieldIndex(const QString &name)
{
    const auto asked = m_namesAsked.constFind(name);
    if (asked != m_namesAsked.cend())
        return *asked;
    const int index = m_foldedNames.value(name.toCaseFolded(), -1);
    if (m_namesAsked.size() >= 256)
        m_namesAsked.clear();
    m_namesAsked.insert(name, index);
    return index;
}

QVariant DbQuery::currentValue(int index) const
{
    if (m_state == DataSetState::Edit || m_state == DataSetState::Insert)
        return m_buffer.value(index);
    if (m_forwardOnly)
        return m_cursor && m_cursorRow ? m_cursor->value(index) : QVariant();
    if (m_current < 0)
        return QVariant();
    settleRow(m_current);
    return m_data.value(m_current, index);
}

DbScalar DbQuery::currentScalar(int index) const
{
    if (m_state == DataSetState::Edit || m_state == DataSetState::Insert)
        return {DbScalar::Other};
    if (m_forwardOnly)
        return m_cursor && m_cursorRow ? m_cursor->scalar(index) : DbScalar{DbScalar::Null};
    if (m_current < 0)
        return {DbScalar::Null};
    settleRow(m_current);
    return m_data.scalar(m_current, index);
}

QString DbQuery::currentText(int index) const
{
    if (m_state == DataSetState::Edit || m_state == DataSetState::Insert)
        return m_buffer.value(index).toString();
    if (m_forwardOnly)
        return m_cursor && m_cursorRow ? m_cursor->text(index) : QString();
    if (m_current < 0)
        return QString();
    settleRow(m_current);
    return m_data.text(m_current, index);
}

void DbQuery::currentTextInto(int index, QString &out) const
{
    if (m_forwardOnly && m_state != DataSetState::Edit && m_state != DataSetState::Insert && m_cursor &&
        m_cursorRow)
        m_cursor->textInto(index, out);
    else
        out = currentText(index);
}

QVariant DbQuery::RowValue(int row, int column) const
{
    if ((m_state == DataSetState::Edit && row == m_current) ||
        (m_state == DataSetState::Insert && row == m_rowCount))
        return m_buffer.value(column);
    if (m_forwardOnly || row < 0 || row >= m_rowCount || column < 0 || column >= m_columns.size())
        return QVariant();
    settleRow(row);
    return m_data.value(row, column);
}

QList<QVariant> DbQuery::rowValues(int row) const
{
    settleRow(row);
    return m_data.row(row);
}

bool DbQuery::fieldWritable(int index) const
{
    return index >= 0 && index < m_writable.size() && m_writable[index];
}

void DbQuery::setCurrentValue(int index, const QVariant &value)
{
    if (m_state != DataSetState::Edit && m_state != DataSetState::Insert)
        throw DbError(QStringLiteral("Запись не редактируется: изменить поле нельзя"));
    const DbColumn &c = m_columns[index];
    if (!fieldWritable(index))
        throw DbError(QStringLiteral("Поле \"%1\" нельзя изменить").arg(c.name));
    QVariant stored = coerce(c.name, c.type, value);
    requireFits(c, stored);
    requireLength(index, stored);
    m_buffer[index] = std::move(stored);
    m_modified[index] = true;
    // Bulk writers set every field of every row, mostly with no control bound to the dataset.
    if (m_fieldChangedWatched)
        emit fieldChanged(index);
}

int DbQuery::maxLength(int index)
{
    if (m_table.isEmpty() || index < 0 || index >= m_baseColumns.size() || m_baseColumns[index].isEmpty())
        return 0;
    // Asked once a dataset writes text: most datasets only read.
    if (!m_lengthsRead) {
        m_lengths = backend().columnLengths(m_table);
        m_lengthsRead = true;
    }
    return m_lengths.value(m_baseColumns[index].toLower(), 0);
}

void DbQuery::requireLength(int index, const QVariant &value)
{
    if (value.typeId() != QMetaType::QString)
        return;
    const int limit = maxLength(index);
    if (limit <= 0)
        return;
    const QString text = value.toString();
    // Blanks past the end are dropped by a server as the standard has it, and by nobody else.
    qsizetype n = text.size();
    while (n > limit && text.at(n - 1) == QLatin1Char(' '))
        --n;
    if (n > limit)
        throw TooLongError(m_table, m_baseColumns[index], text.left(n), limit);
}

void DbQuery::connectNotify(const QMetaMethod &signal)
{
    if (signal == QMetaMethod::fromSignal(&DbQuery::fieldChanged))
        m_fieldChangedWatched = true;
}

bool DbQuery::Modified() const
{
    return m_modified.contains(true);
}

void DbQuery::checkBrowseMode()
{
    requireActive();
    if (m_state == DataSetState::Edit || m_state == DataSetState::Insert) {
        if (Modified())
            Post();
        else
            Cancel();
    }
}

void DbQuery::moveTo(int row, bool bof, bool eof)
{
    const bool moved = row != m_current;
    m_current = row;
    m_bof = bof;
    m_eof = eof;
    if (moved || bof || eof) {
        notifyDetails();
        emit scrolled();
    }
}

void DbQuery::First()
{
    checkBrowseMode();
    if (m_forwardOnly) {
        // A forward-only statement starts again from the top, as ADO does.
        if (m_cursorRecNo > 1)
            openInternal();
        return;
    }
    moveTo(m_rowCount > 0 ? 0 : -1, true, m_rowCount == 0);
}

void DbQuery::Next()
{
    checkBrowseMode();
    if (m_forwardOnly) {
        if (!m_cursorRow) {
            m_eof = true;
            return;
        }
        m_cursorRow = m_cursor->next();
        m_bof = false;
        if (m_cursorRow) {
            ++m_cursorRecNo;
            emit scrolled();
        } else {
            m_eof = true;
        }
        return;
    }
    if (m_current + 1 < m_rowCount)
        moveTo(m_current + 1, false, false);
    else
        m_eof = true;
}

void DbQuery::Prior()
{
    requireStatic("Prior");
    checkBrowseMode();
    if (m_current > 0)
        moveTo(m_current - 1, false, false);
    else
        m_bof = true;
}

void DbQuery::Last()
{
    requireStatic("Last");
    checkBrowseMode();
    moveTo(m_rowCount - 1, m_rowCount == 0, true);
}

int DbQuery::RecordCount() const
{
    requireActive();
    return m_forwardOnly ? -1 : m_rowCount;
}

int DbQuery::RecNo() const
{
    if (!Active())
        return 0;
    if (m_forwardOnly)
        return m_cursorRow ? m_cursorRecNo : 0;
    if (m_state == DataSetState::Insert)
        return 0;
    return m_current + 1;
}

void DbQuery::SetRecNo(int recNo)
{
    requireStatic("RecNo");
    checkBrowseMode();
    if (recNo < 1 || recNo > m_rowCount)
        throw DbError(QStringLiteral("Нет записи с номером %1").arg(recNo));
    moveTo(recNo - 1, false, false);
}

bool DbQuery::Locate(const QString &fieldNames, const QVariantList &values, LocateOptions options)
{
    requireStatic("Locate");
    checkBrowseMode();
    const QStringList names = fieldNames.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    if (names.size() != values.size())
        throw DbError(QStringLiteral("Поиск: полей %1, а значений %2").arg(names.size()).arg(values.size()));
    QList<int> indexes;
    for (const QString &n : names)
        indexes << static_cast<DbField *>(FieldByName(n.trimmed()))->Index();
    for (int row = 0; row < m_rowCount; ++row) {
        bool all = true;
        for (int k = 0; all && k < indexes.size(); ++k)
            all = matches(m_columns[indexes[k]].type, m_data.value(row, indexes[k]), values[k], options);
        if (all) {
            moveTo(row, false, false);
            return true;
        }
    }
    return false;
}

void DbQuery::Edit()
{
    requireStatic("Edit");
    if (m_state == DataSetState::Edit || m_state == DataSetState::Insert)
        return;
    if (!CanModify())
        throw DbError(DbFault::ReadOnly, QStringLiteral("Эти данные только для чтения: изменить их нельзя"));
    if (m_rowCount == 0) {
        Append();
        return;
    }
    const qsizetype cols = m_columns.size();
    m_original = rowValues(m_current);
    m_buffer = m_original;
    m_modified = QList<bool>(cols, false);
    m_state = DataSetState::Edit;
    emit stateChanged();
}

void DbQuery::Append()
{
    requireStatic("Append");
    checkBrowseMode();
    if (!CanModify())
        throw DbError(DbFault::ReadOnly, QStringLiteral("Эти данные только для чтения: изменить их нельзя"));
    const qsizetype cols = m_columns.size();
    m_original.clear();
    // Cleared and refilled rather than replaced, so a run of appends reuses the same memory.
    m_buffer.clear();
    m_buffer.resize(cols);
    m_modified.fill(false, cols);
    m_state = DataSetState::Insert;
    if (m_master && !m_detailField.isEmpty()) {
        const int f = static_cast<DbField *>(FieldByName(m_detailField))->Index();
        m_buffer[f] = coerce(m_columns[f].name, m_columns[f].type, masterValue());
        m_modified[f] = true;
    }
    emit stateChanged();
}

QString DbQuery::whereClause(const QList<QVariant> &row, QVariantList &params) const
{
    const SqlDialect &d = backend().dialect();
    QList<int> fields = m_keyFields;
    // A key left empty (SQLite lets a declared key hold NULL) tells no row from another that shares it.
    for (int f : std::as_const(fields))
        if (row[f].isNull()) {
            fields.clear();
            break;
        }
    if (fields.isEmpty())
        for (int i = 0; i < m_columns.size(); ++i)
            if (!m_baseColumns[i].isEmpty() && m_columns[i].type != FieldType::Blob)
                fields << i;
    QStringList terms;
    for (int f : fields) {
        const QString col = d.quoteIdentifier(m_baseColumns[f]);
        if (row[f].isNull()) {
            terms << col + QLatin1String(" IS NULL");
        } else {
            terms << col + QLatin1String("=?");
            params << d.toDriverValue(m_columns[f].type, row[f]);
        }
    }
    return terms.join(QLatin1String(" AND "));
}

void DbQuery::requireKeyValues(bool inserting) const
{
    const bool sqlite = backend().dialect().backend() == SqlBackend::SQLite;
    for (int f : m_keyFields) {
        if (m_counter[f] || !m_buffer[f].isNull())
            continue;
        // A key an insert leaves out may take a default, which a server fills in or refuses itself.
        if (inserting && !m_modified[f] && (!sqlite || m_tableInfo.defaults.contains(m_baseColumns[f])))
            continue;
        throw EmptyKeyError(m_table, m_baseColumns[f]);
    }
}

DbError DbQuery::postError(const DbError &e, const char *action) const
{
    if (m_postErrorText) {
        const QString words = m_postErrorText(e);
        if (!words.isEmpty())
            return DbError(e.fault(), words, QString(), e.column());
    }
    if (e.fault() == DbFault::Busy)
        return e.reworded(e.words() + QStringLiteral(". %1 таблицы \"%2\" не записано и не отменено: "
                                                     "повторите позже")
                                          .arg(QString::fromUtf8(action), m_table));
    return e;
}

void DbQuery::refreshFrom(DbCursor &cursor)
{
    const QList<DbColumn> &cols = cursor.columns();
    for (int i = 0; i < m_columns.size(); ++i) {
        if (m_baseColumns[i].isEmpty())
            continue;
        for (int j = 0; j < cols.size(); ++j) {
            if (cols[j].name.compare(m_baseColumns[i], Qt::CaseInsensitive) == 0) {
                m_buffer[i] = coerce(m_columns[i].name, m_columns[i].type, cursor.value(j));
                break;
            }
        }
    }
}

void DbQuery::postBatched(const QVariantList &values)
{
    if (!m_batch) {
        QStringList columns;
        m_batchColumn = QList<int>(m_columns.size(), -1);
        for (int i = 0; i < m_columns.size(); ++i)
            if (m_writable[i]) {
                m_batchColumn[i] = int(columns.size());
                columns << m_baseColumns[i];
            }
        m_batchColumns = int(columns.size());
        m_batch =
            std::make_unique<DbInsertBatch>(*m_connection, m_table, columns, DbInsertBatch::Names::Stored);
        m_batch->setCapacity(m_insertBatch);
        // As a single insert reads back the stored row: counters and defaults.
        m_batch->setReturning({QStringLiteral("*")},
                              [this](qint64 row, const DbCursor &c) { refreshStored(row, c); });
        m_batch->setOnLost([this](qint64 row) { forgetRowsFrom(row); });
        m_returnedField.clear();
    }
    // The values came in field order, those of the fields set only.
    QVariantList all(m_batchColumns);
    qsizetype next = 0;
    for (int i = 0; i < m_columns.size(); ++i)
        if (m_modified[i] && m_writable[i])
            all[m_batchColumn[i]] = values[next++];
    const qint64 row = m_rowCount;
    m_data.appendRow(std::move(m_buffer));
    m_buffer.clear();
    ++m_rowCount;
    if (m_batch->waiting() == 0)
        m_waitingFrom = row;
    try {
        m_batch->add(all, row);
    } catch (...) {
        // The rows from the one refused on are gone, this one too.
        m_state = DataSetState::Browse;
        m_modified.clear();
        emit stateChanged();
        throw;
    }
    if (m_batch->waiting() == 0)
        m_waitingFrom = -1;
}

void DbQuery::refreshStored(qint64 row, const DbCursor &cursor)
{
    const QList<DbColumn> &cols = cursor.columns();
    if (m_returnedField.size() != m_columns.size()) {
        m_returnedField = QList<int>(m_columns.size(), -1);
        for (int i = 0; i < m_columns.size(); ++i)
            for (int j = 0; j < cols.size() && !m_baseColumns[i].isEmpty(); ++j)
                if (cols[j].name.compare(m_baseColumns[i], Qt::CaseInsensitive) == 0) {
                    m_returnedField[i] = j;
                    break;
                }
    }
    for (int i = 0; i < m_columns.size(); ++i) {
        const int j = m_returnedField[i];
        if (j < 0)
            continue;
        const QVariant v = coerce(m_columns[i].name, m_columns[i].type, cursor.value(j));
        if (v != m_data.value(row, i) || v.isNull() != m_data.value(row, i).isNull())
            m_data.setValue(row, i, v);
    }
}

void DbQuery::forgetRowsFrom(qint64 row)
{
    m_waitingFrom = -1;
    while (m_rowCount > row)
        m_data.removeRow(--m_rowCount);
    if (m_current >= m_rowCount)
        m_current = m_rowCount - 1;
    if (m_rowCount == 0)
        m_bof = m_eof = true;
}

void DbQuery::FlushInserts()
{
    if (!m_batch || m_waitingFrom < 0)
        return;
    m_batch->send();
    m_waitingFrom = -1;
}

// Writes the row being edited or inserted at once; the row it now is in the dataset.
int DbQuery::writeRow(const QVariantList &values, quint64 mask)
{
    DbBackend &b = backend();
    const SqlDialect &d = b.dialect();
    const qsizetype cols = m_columns.size();
    int row = m_current;
    if (m_state == DataSetState::Insert) {
        // Appends of a bulk write fill the same fields each time: build their statement once.
        QString sql = cols <= 64 ? m_insertSql.value(mask) : QString();
        if (sql.isEmpty()) {
            sql = d.insertStatement(m_table, setColumns());
            if (cols <= 64)
                m_insertSql.insert(mask, sql);
        }
        std::unique_ptr<DbCursor> c = b.execute(sql, values);
        if (d.insertReturnsRow()) {
            if (c->next())
                refreshFrom(*c);
        } else if (!m_tableInfo.counters.isEmpty()) {
            c.reset();
            if (m_tableInfo.counters.size() == 1 && m_rowidField >= 0) {
                // The key counter is the rowid itself: no need to read the row again.
                m_buffer[m_rowidField] = b.lastInsertRowId();
            } else {
                std::unique_ptr<DbCursor> stored = b.insertedRow(m_table);
                if (stored && stored->next())
                    refreshFrom(*stored);
            }
        }
        m_data.appendRow(std::move(m_buffer));
        m_buffer.clear();
        row = m_rowCount++;
    } else if (!values.isEmpty()) {
        QVariantList whereParams;
        const QString where = whereClause(m_original, whereParams);
        QStringList sets;
        for (const QString &n : setColumns())
            sets << d.quoteIdentifier(n) + QLatin1String("=?");
        const QString sql = QStringLiteral("UPDATE %1 SET %2 WHERE %3")
                                .arg(d.quoteIdentifier(m_table), sets.join(QLatin1Char(',')), where);
        m_connection->WriteOneRow(m_table,
                                  [&] { return b.execute(sql, values + whereParams)->rowsAffected(); });
        m_data.setRow(row, m_buffer);
    }
    return row;
}

QStringList DbQuery::setColumns() const
{
    QStringList names;
    for (int i = 0; i < m_columns.size(); ++i)
        if (m_modified[i] && m_writable[i])
            names << m_baseColumns[i];
    return names;
}

void DbQuery::Post()
{
    requireActive();
    if (m_state != DataSetState::Edit && m_state != DataSetState::Insert)
        throw DbError(QStringLiteral("Запись не редактируется: записывать нечего"));
    DbBackend &b = backend();
    const SqlDialect &d = b.dialect();
    const qsizetype cols = m_columns.size();
    QVariantList values;
    values.reserve(cols);
    quint64 mask = 0;
    // SQLite takes the values as the field setters made them (see coerce); a server takes its own forms.
    const bool asSet = d.backend() == SqlBackend::SQLite;
    const bool *modified = m_modified.constData(), *writable = m_writable.constData();
    const QVariant *buffer = m_buffer.constData();
    for (int i = 0; i < cols; ++i) {
        if (modified[i] && writable[i]) {
            values << (asSet ? buffer[i] : d.toDriverValue(m_columns.at(i).type, buffer[i]));
            mask |= quint64(1) << (i % 64);
        }
    }
    const bool inserting = m_state == DataSetState::Insert;
    int row = m_current;
    try {
        requireKeyValues(inserting);
    } catch (const DbError &e) {
        throw postError(e, "");
    }
    if (inserting && m_insertBatch > 1 && b.batchesInserts() && m_connection->InTransaction()) {
        postBatched(values);
        row = m_rowCount - 1;
    } else {
        try {
            row = writeRow(values, mask);
        } catch (const DbError &e) {
            throw postError(e, inserting ? "Добавление записи" : "Изменение записи");
        }
    }
    m_state = DataSetState::Browse;
    m_buffer.clear();
    m_original.clear();
    m_modified.clear();
    m_current = row;
    m_bof = m_eof = false;
    emit stateChanged();
    emit posted(row, inserting);
    notifyDetails();
}

void DbQuery::Cancel()
{
    if (m_state != DataSetState::Edit && m_state != DataSetState::Insert)
        return;
    m_state = DataSetState::Browse;
    m_buffer.clear();
    m_original.clear();
    m_modified.clear();
    emit stateChanged();
    emit scrolled();
}

void DbQuery::Delete()
{
    requireStatic("Delete");
    if (m_state == DataSetState::Insert) {
        Cancel();
        return;
    }
    if (m_state == DataSetState::Edit)
        Cancel();
    if (m_current < 0)
        throw DbError(QStringLiteral("Нет записей: удалять нечего"));
    if (!CanModify())
        throw DbError(DbFault::ReadOnly, QStringLiteral("Эти данные только для чтения: изменить их нельзя"));
    DbBackend &b = backend();
    const QList<QVariant> row = rowValues(m_current);
    QVariantList params;
    const QString where = whereClause(row, params);
    const QString sql =
        QStringLiteral("DELETE FROM %1 WHERE %2").arg(b.dialect().quoteIdentifier(m_table), where);
    try {
        m_connection->WriteOneRow(m_table, [&] { return b.execute(sql, params)->rowsAffected(); });
    } catch (const DbError &e) {
        if (e.fault() != DbFault::Busy)
            throw;
        throw e.reworded(e.words() +
                         QStringLiteral(". Запись таблицы \"%1\" не удалена: повторите позже").arg(m_table));
    }
    const int removed = m_current;
    m_data.removeRow(removed);
    --m_rowCount;
    emit deleted(removed);
    // The same index now holds the next row, so the details follow even when the index stays.
    m_current = m_rowCount == 0 ? -1 : qMin(removed, m_rowCount - 1);
    m_bof = m_eof = m_rowCount == 0;
    notifyDetails();
    emit scrolled();
}

QVariant DbQuery::masterValue() const
{
    if (!m_master || !m_master->Active())
        return QVariant();
    TField *f = m_master->FindField(m_masterField);
    if (!f)
        throw DbError(DbFault::NoSuchColumn, QStringLiteral("Нет поля \"%1\"").arg(m_masterField));
    return f->Value();
}

void DbQuery::notifyDetails()
{
    for (const QPointer<DbQuery> &d : std::as_const(m_details))
        if (d)
            d->followMaster(false);
}

void DbQuery::followMaster(bool force)
{
    if (!m_followsMaster)
        return;
    const QVariant value = masterValue();
    if (!force && Active() && value == m_lastMasterValue && value.isNull() == m_lastMasterValue.isNull())
        return;
    if (Active())
        checkBrowseMode();
    openInternal();
}
