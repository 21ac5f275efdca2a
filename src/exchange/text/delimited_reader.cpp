#include "exchange/text/delimited_reader.h"

#include "lib/codec.h"
#include "lib/codepage_keys.h"
#include "lib/errors.h"
#include "lib/messages.h"
#include "lib/system_errors.h"
#include "lib/text_routines.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>

#include <optional>

namespace {

void failRead(TD2D &table, const QString &fileName, const QString &reason)
{
    table.Clear();
    MessageProc(nullptr,
                QStringLiteral("Txt2dsl: Не удалось импортировать файл \"") + QFileInfo(fileName).fileName() +
                    QStringLiteral("\"\rСообщение об ошибке:\r") + reason,
                MB_ICONERROR, MB_OK);
}

// Bytes of a file are taken a piece at a time, so a file costs the table it makes and its longest line.
constexpr qint64 kChunkBytes = qint64(1) << 20;
// The table's memory is weighed against the budget every so many lines, and at the end.
constexpr int kLinesPerWeighing = 64;

class LineReader
{
public:
    LineReader(TD2D &table, const tspec &spec, const QString &fileName, ReadBudget &budget)
        : m_table(table), m_spec(spec), m_fileName(fileName), m_budget(budget), m_before(budget.spent()),
          m_columns(int(spec.cols.size())), m_delims{spec.fdel}, m_quotes{spec.sdel},
          m_fdelByte(toCp1251Char(spec.fdel))
    {}

    bool run(QIODevice &in)
    {
        m_table.Clear();
        if (m_columns == 0) {
            failRead(m_table, m_fileName, QStringLiteral("В формате данных нет ни одного столбца"));
            return false;
        }
        // A damaged format may name more columns than any line could fill: each costs even empty.
        if (!m_budget.fits(qint64(m_columns) * qint64(sizeof(TStringColumn)))) {
            failRead(m_table, m_fileName, OverBudgetText(m_budget.limit()));
            return false;
        }
        m_table.Init(m_columns, 0, false);
        // The bytes not yet taken as lines lie in buffer from its start on; a line longer than a chunk
        // grows it, and what was taken is dropped once it is half of it.
        QByteArray buffer;
        qsizetype start = 0, scanned = 0;
        for (;;) {
            if (start > 0 && start * 2 >= buffer.size()) {
                buffer.remove(0, start);
                scanned -= start;
                start = 0;
            }
            const QByteArray chunk = in.read(kChunkBytes);
            if (chunk.isEmpty()) {
                if (in.bytesAvailable() > 0 || (!in.isSequential() && !in.atEnd())) {
                    failRead(m_table, m_fileName, DeviceErrorText(in));
                    return false;
                }
                break;
            }
            buffer += chunk;
            for (qsizetype end; (end = buffer.indexOf('\n', scanned)) >= 0; start = scanned = end + 1)
                if (!line(QByteArrayView(buffer).sliced(start, end - start)))
                    return false;
            scanned = buffer.size();
        }
        if (start < buffer.size() && !line(QByteArrayView(buffer).sliced(start)))
            return false;
        return weigh();
    }

private:
    bool weigh()
    {
        m_budget.setSpent(m_before + m_table.MemoryBytes());
        if (m_budget.spent() <= m_budget.limit())
            return true;
        failRead(m_table, m_fileName, OverBudgetText(m_budget.limit()));
        return false;
    }

    void tooFewFields(int field)
    {
        MessageProc(nullptr,
                    QStringLiteral("В строке №") + QString::number(m_lineNo) + QStringLiteral(" файла \"") +
                        m_fileName + QStringLiteral("\" произошла ошибка при импорте ") +
                        QString::number(field + 1) + QStringLiteral("-го столбца. Операция прервана."),
                    MB_ICONERROR, MB_OK);
    }

    void appendEmpty(int upTo)
    {
        for (; m_col < upTo && m_col < m_columns; ++m_col)
            m_table.Columns[m_col].append(QStringView());
    }

    bool line(QByteArrayView raw)
    {
        ++m_lineNo;
        if (raw.endsWith('\r'))
            raw.chop(1);
        // A NUL would go into the database and cut the statements that later carry the text.
        if (raw.contains('\0')) {
            failRead(m_table, m_fileName,
                     QStringLiteral("Символ NUL в строке №") + QString::number(m_lineNo));
            return false;
        }
        if (m_lineNo % kLinesPerWeighing == 0 && !weigh())
            return false;
        m_col = 0;
        // A line without a separator is one field: when the format wants more, it fails at the first
        // column, however long it is, and is not converted.
        if (m_columns > 1 && !raw.contains(m_fdelByte)) {
            appendEmpty(m_columns);
            tooFewFields(0);
            return false;
        }
        m_line = fromCp1251(QByteArray::fromRawData(raw.data(), raw.size()));
        // Only a line with bytes of DOS letters can hold a token to convert.
        bool dosBytes = false;
        for (const char b : raw) {
            const auto u = static_cast<unsigned char>(b);
            if (u >= 0x80 && u <= 0xAF && u != 0xA8) {
                dosBytes = true;
                break;
            }
        }
        int field = 0;
        int pos = 1;
        const int len = int(m_line.size());
        do {
            int k = 0;
            GetNextTokenChars(m_line, len, pos, m_delims, m_quotes, m_token, m_spec.fdel, &k);
            if (pos == 0 && field + k < m_columns - 1) {
                // The row of the line stays as far as it was read; the rest of the file is not looked at.
                appendEmpty(m_columns);
                tooFewFields(field);
                return false;
            }
            if (field < m_columns) {
                appendEmpty(field);
                const QStringView text(m_token.constData(), m_token.size());
                QString converted;
                if (dosBytes && !text.isEmpty() && DetectDosText(text.toString(), converted, true, 0))
                    m_table.Columns[field].append(converted);
                else
                    m_table.Columns[field].append(text);
                m_col = field + 1;
            }
            field += k;
        } while (pos != 0);
        appendEmpty(m_columns);
        return true;
    }

    TD2D &m_table;
    const tspec &m_spec;
    const QString &m_fileName;
    ReadBudget &m_budget;
    const qint64 m_before;
    const int m_columns;
    const CharSet m_delims, m_quotes;
    const char m_fdelByte; // the separator as the file's bytes hold it
    TokenChars m_token;
    QString m_line;
    int m_lineNo = 0;
    int m_col = 0; // the next column of the row to get a cell
};

bool readDevice(TD2D &table, const tspec &spec, QIODevice &in, const QString &fileName, qint64 size,
                ReadBudget *given)
{
    std::optional<ReadBudget> own;
    if (!given)
        given = &own.emplace(ReadBudgetBytes(size));
    if (size > MaxInputBytes) {
        failRead(table, fileName, InputTooLargeText(size));
        return false;
    }
    return LineReader(table, spec, fileName, *given).run(in);
}

} // namespace

bool Txt2dslBytes(TD2D &table, const tspec &spec, const QByteArray &bytes, const QString &fileName,
                  ReadBudget *budget)
{
    QByteArray data = bytes;
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    return readDevice(table, spec, buffer, fileName, bytes.size(), budget);
}

bool Txt2dsl(TD2D &table, const tspec &spec, const QString &fileName, ReadBudget *budget)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        failRead(table, fileName, FileErrorText(file));
        return false;
    }
    return readDevice(table, spec, file, fileName, file.size(), budget);
}

bool ReadTextTables(TD2D *const (&tables)[3], const tspec *const (&specs)[3], const QString (&files)[3])
{
    qint64 bytes = 0;
    for (const QString &file : files)
        bytes += QFileInfo(file).size();
    // The three files make one input, refused as a whole past the limit.
    if (bytes > MaxInputBytes) {
        failRead(*tables[0], files[0],
                 QStringLiteral("три файла импорта вместе больше предела в %1 МиБ (%2 байт)")
                     .arg(MaxInputBytes / kMiB)
                     .arg(bytes));
        return false;
    }
    ReadBudget budget(ReadBudgetBytes(bytes));
    for (int t = 0; t < 3; ++t)
        if (!Txt2dsl(*tables[t], *specs[t], files[t], &budget))
            return false;
    return true;
}
