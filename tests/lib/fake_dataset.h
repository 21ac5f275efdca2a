#pragma once

#include "lib/dataset_api.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QIODevice>

#include <limits>

#include <memory>
#include <vector>

// Small stand-ins for the database objects: they hold what they are given, log the calls the
// routines under test make, and fail on demand with a DbError.

class FakeField : public TField
{
public:
    FakeField(QString name, FieldType type, QVariant value = {}, int size = 0)
        : m_name(std::move(name)), m_type(type), m_size(size), m_value(std::move(value))
    {}
    QString FieldName() const override { return m_name; }
    FieldType DataType() const override { return m_type; }
    int Size() const override { return m_size; }
    bool IsNull() const override { return m_value.isNull(); }
    QVariant Value() const override { return m_value; }
    void SetValue(const QVariant &value) override { m_value = value; }

private:
    QString m_name;
    FieldType m_type;
    int m_size;
    QVariant m_value;
};

class FakeDataSet : public TDataSet
{
public:
    FakeField &add(const QString &name, FieldType type, QVariant value = {}, int size = 0)
    {
        m_fields.push_back(std::make_unique<FakeField>(name, type, std::move(value), size));
        return *m_fields.back();
    }

    QStringList log;       // "Close", "SetSQL <text>", "Open <text>", "ExecSQL <text>"
    QString failWith;      // when set, Open and ExecSQL throw a DbError with this text
    QString closeFailWith; // when set, Close throws

    QString SQL() const override { return m_sql; }
    void SetSQL(const QString &sql) override
    {
        log << QStringLiteral("SetSQL ") + sql;
        m_sql = sql;
    }
    void Open() override { run(QStringLiteral("Open ")); }
    void ExecSQL() override { run(QStringLiteral("ExecSQL ")); }
    int RowsAffected() const override { return 0; }
    void Close() override
    {
        log << QStringLiteral("Close");
        if (!closeFailWith.isEmpty())
            throw DbError(closeFailWith);
        m_active = false;
    }
    bool Active() const override { return m_active; }
    DataSetState State() const override { return m_active ? DataSetState::Browse : DataSetState::Inactive; }

    int FieldCount() const override { return int(m_fields.size()); }
    TField *Field(int index) override { return m_fields.at(size_t(index)).get(); }
    TField *FindField(const QString &name) override
    {
        for (auto &f : m_fields)
            if (f->FieldName().compare(name, Qt::CaseInsensitive) == 0)
                return f.get();
        return nullptr;
    }

    void First() override {}
    void Prior() override {}
    void Next() override {}
    void Last() override {}
    bool Eof() const override { return true; }
    bool Bof() const override { return true; }
    int RecordCount() const override { return 1; }
    int RecNo() const override { return 1; }
    void SetRecNo(int) override {}
    bool Locate(const QString &, const QVariantList &, LocateOptions) override { return false; }
    void Edit() override {}
    void Append() override {}
    void Post() override {}
    void Cancel() override {}
    void Delete() override {}

private:
    void run(const QString &what)
    {
        log << what + m_sql;
        if (!failWith.isEmpty())
            throw DbError(failWith);
        m_active = true;
    }

    std::vector<std::unique_ptr<FakeField>> m_fields;
    QString m_sql;
    bool m_active = false;
};

class FakeCommand : public TCommand
{
public:
    QStringList log;
    QString failWith;

    QString CommandText() const override { return m_text; }
    void SetCommandText(const QString &text) override { m_text = text; }
    void Execute() override
    {
        log << QStringLiteral("Execute ") + m_text;
        if (!failWith.isEmpty())
            throw std::runtime_error(failWith.toStdString());
    }
    int RowsAffected() const override { return 0; }

private:
    QString m_text;
};

class FakeConnection : public TConnection
{
public:
    explicit FakeConnection(QString text, bool connected = false)
        : m_text(std::move(text)), m_connected(connected)
    {}
    QStringList log;

    QString ConnectionString() const override { return m_text; }
    void SetConnectionString(const QString &text) override
    {
        log << QStringLiteral("Set ") + text;
        m_text = text;
    }
    bool Connected() const override { return m_connected; }
    void Open() override
    {
        log << QStringLiteral("Open");
        m_connected = true;
    }
    void Close() override
    {
        log << QStringLiteral("Close");
        m_connected = false;
    }

private:
    QString m_text;
    bool m_connected;
};

// A byte stream that accepts only `capacity` bytes, or hands out its bytes as a sequential device
// that cannot tell its size: the two ways a real stream lets a reader or writer down.
class LimitedDevice : public QIODevice
{
public:
    explicit LimitedDevice(qint64 capacity, bool sequential = false, QByteArray content = {})
        : m_capacity(capacity), m_sequential(sequential), m_data(std::move(content))
    {
        open(QIODevice::ReadWrite | QIODevice::Unbuffered);
    }
    bool isSequential() const override { return m_sequential; }
    qint64 size() const override { return m_sequential ? 0 : m_data.size(); }
    const QByteArray &data() const { return m_data; }
    qint64 largestRead() const { return m_largestRead; }
    // At most this many bytes per read, as pipes and sockets hand them out.
    void setReadChunk(qint64 chunk) { m_readChunk = chunk; }

protected:
    qint64 readData(char *out, qint64 max) override
    {
        m_largestRead = qMax(m_largestRead, max);
        const qint64 n = qMin(qMin(max, m_readChunk), qint64(m_data.size()) - m_readPos);
        if (n <= 0)
            return m_sequential ? -1 : 0;
        memcpy(out, m_data.constData() + m_readPos, size_t(n));
        m_readPos += n;
        return n;
    }
    qint64 writeData(const char *in, qint64 len) override
    {
        const qint64 n = qMin(len, m_capacity - qint64(m_data.size()));
        if (n <= 0)
            return -1;
        m_data.append(in, n);
        return n;
    }

private:
    qint64 m_capacity;
    bool m_sequential;
    QByteArray m_data;
    qint64 m_readPos = 0;
    qint64 m_largestRead = 0;
    qint64 m_readChunk = std::numeric_limits<qint64>::max();
};

// Exactly one message was shown: this text in an error box without extra buttons, through the error
// procedure or the plain one as `error` says.
inline void expectOneError(const MessageRecorder &m, const QString &text, bool error = false)
{
    ASSERT_EQ(m.count(), 1);
    EXPECT_EQ(m.last().text, text);
    EXPECT_EQ(m.last().icon, 16u);
    EXPECT_EQ(m.last().buttons, 0u);
    EXPECT_EQ(m.last().error, error);
}
