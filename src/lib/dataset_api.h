#pragma once

#include "lib/datetime.h"
#include "lib/errors.h"

#include <QString>
#include <QStringList>
#include <QVariant>

// The database objects as the common library sees them. src/db implements them over Qt SQL; tests
// may implement them with small fakes.

// Field-type codes, in the order the record stream and the ORV field lists store them.
enum class FieldType : int {
    Unknown = 0,
    String = 1,
    SmallInt = 2,
    Integer = 3,
    Word = 4,
    Boolean = 5,
    Float = 6,
    Currency = 7,
    BCD = 8,
    Date = 9,
    Time = 10,
    DateTime = 11,
    Bytes = 12,
    VarBytes = 13,
    AutoInc = 14,
    Blob = 15,
    Memo = 16,
    Graphic = 17,
    FmtMemo = 18,
    ParadoxOle = 19,
    DBaseOle = 20,
    TypedBinary = 21,
    Cursor = 22,
    FixedChar = 23,
    WideString = 24,
    LargeInt = 25,
};

// "Unknown", "String", ... "LargeInt"; empty for a code outside 0..25.
QString FieldTypeName(FieldType type);
bool IsStringFieldType(FieldType type);  // String, Memo, FmtMemo, FixedChar, WideString
bool IsIntegerFieldType(FieldType type); // SmallInt, Integer, Word, AutoInc, LargeInt
bool IsFloatFieldType(FieldType type);   // Float, Currency, BCD
bool IsDateFieldType(FieldType type);    // Date, Time, DateTime
// The whole numbers a column of this type holds, as Jet and the servers size them (SmallInt 16 bits,
// Word unsigned 16, Integer and AutoInc 32); false for types of no fixed width (LargeInt, non-integers).
bool IntegerFieldRange(FieldType type, qint64 &low, qint64 &high);

// What a DbError reports, where the layer can tell; a program may word a fault its own way.
enum class DbFault {
    Other,
    Unique,         // the value of a key or unique column is stored already
    NotNull,        // a column that must hold a value was left empty
    ForeignKey,     // a row refers to one that is not there, or is referred to
    Check,          // a value the table's own condition refuses
    OutOfRange,     // a number the column cannot hold
    Busy,           // another connection held the lock past the wait allowed
    ReadOnly,       // the database is open for reading only
    ConnectionLost, // the server is gone or stopped answering
    Timeout,        // the statement ran past its time-out
    NoSuchTable,
    NoSuchColumn,
    DiskFull,
    Damaged, // the file is no database or is damaged
    FileError,
    RowNotFound,  // the row being written back is no longer there
    RowNotUnique, // the row being written back cannot be told from others
    Closed,       // the dataset or connection is not open
    TooLong,      // a text longer than its column holds
    OutOfMemory,  // the database ran out of memory
    NoSource,     // no such data source, driver or database to connect to
    LoginRefused, // the user or the password was refused
};

// A failure reported by the database or the layer: the system's words, then the database's own text
// (for the specialist) where it said something.
class DbError : public BrenvaleError
{
public:
    using BrenvaleError::BrenvaleError;
    DbError(DbFault fault, const QString &words, const QString &driverText = QString(),
            const QString &column = QString());
    DbFault fault() const { return m_fault; }
    // The system's words without the database's text.
    QString words() const { return m_driverText.isEmpty() ? message() : m_words; }
    const QString &driverText() const { return m_driverText; }
    // The column the failure is about, where the database named it.
    const QString &column() const { return m_column; }
    // The same failure said in other words; the database's text stays.
    DbError reworded(const QString &words) const { return DbError(m_fault, words, m_driverText, m_column); }

private:
    DbFault m_fault = DbFault::Other;
    QString m_words, m_driverText, m_column;
};

// A field value as text, as TField::AsString gives it: "" for NULL, numbers as FloatToStr, dates
// "dd.mm.yyyy[ hh:nn:ss]", times "hh:nn:ss", a date field holding no valid date as its number.
QString FieldValueText(FieldType type, const QVariant &value);

class TField
{
public:
    virtual ~TField() = default;

    virtual QString FieldName() const = 0;
    virtual FieldType DataType() const = 0;
    virtual int Size() const = 0; // characters of a text field, 0 for others
    virtual bool IsNull() const = 0;
    // A null QVariant for NULL; otherwise QString for text, qlonglong for integers, double for
    // numbers and for dates (a TDateTime), bool for Boolean, QByteArray for bytes.
    virtual QVariant Value() const = 0;
    // A null QVariant stores NULL. Only while the dataset edits or inserts; DbError otherwise.
    virtual void SetValue(const QVariant &value) = 0;

    // What these give is decided from Value(); an implementation may override them only to give the same
    // without a QVariant in between.
    virtual QString AsString() const; // "" for NULL; numbers as FloatToStr; dates "dd.mm.yyyy[ hh:nn:ss]"
    int AsInteger() const;            // 0 for NULL; DbError for text that is no integer
    virtual qint64 AsLargeInt() const;
    virtual double AsFloat() const; // 0 for NULL; DbError for text that is no number
    virtual TDateTime AsDateTime() const;
    bool AsBoolean() const;
    void Clear() { SetValue(QVariant()); }
};

enum class DataSetState { Inactive, Browse, Edit, Insert };

struct LocateOptions
{
    bool caseInsensitive = false;
    bool partialKey = false;
};

class TDataSet
{
public:
    virtual ~TDataSet() = default;

    virtual QString SQL() const = 0;
    virtual void SetSQL(const QString &sql) = 0;
    virtual void Open() = 0;    // runs the statement and fetches the rows; DbError on failure
    virtual void ExecSQL() = 0; // runs the statement without a result set; DbError on failure
    virtual int RowsAffected() const = 0;
    virtual void Close() = 0;
    virtual bool Active() const = 0;
    virtual DataSetState State() const = 0;

    virtual int FieldCount() const = 0;
    virtual TField *Field(int index) = 0;
    virtual TField *FindField(const QString &name) = 0; // case-insensitive; nullptr when absent
    TField *FieldByName(const QString &name);           // DbError when absent

    virtual void First() = 0;
    virtual void Prior() = 0;
    virtual void Next() = 0;
    virtual void Last() = 0;
    virtual bool Eof() const = 0;
    virtual bool Bof() const = 0;
    virtual int RecordCount() const = 0;
    virtual int RecNo() const = 0; // 1-based; 0 when there is no current row
    virtual void SetRecNo(int recNo) = 0;
    // Field names separated by ';', one value each; moves to the first match.
    virtual bool Locate(const QString &fieldNames, const QVariantList &values,
                        LocateOptions options = {}) = 0;
    // Values for the statement's "?" markers, in order, bound when it runs; DbError where unsupported.
    virtual void SetParams(const QVariantList &values);

    virtual void Edit() = 0;
    virtual void Append() = 0;
    virtual void Post() = 0;
    virtual void Cancel() = 0;
    virtual void Delete() = 0;
};

class TCommand
{
public:
    virtual ~TCommand() = default;
    virtual QString CommandText() const = 0;
    virtual void SetCommandText(const QString &text) = 0;
    virtual void Execute() = 0; // DbError on failure; any result set is released
    virtual int RowsAffected() const = 0;
    // Values for the command's "?" markers, in order; DbError where unsupported.
    virtual void SetParams(const QVariantList &values);
};

class TConnection
{
public:
    virtual ~TConnection() = default;
    virtual QString ConnectionString() const = 0;
    virtual void SetConnectionString(const QString &text) = 0;
    virtual bool Connected() const = 0;
    virtual void Open() = 0; // DbError on failure
    virtual void Close() = 0;
    // A write that replaces data runs between these; DbError where unsupported.
    virtual void BeginTrans();
    virtual void CommitTrans();
    virtual void RollbackTrans();
};
