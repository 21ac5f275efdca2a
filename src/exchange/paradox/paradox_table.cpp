#include "exchange/paradox/paradox_table.h"

#include "exchange/read_limits.h"
#include "lib/messages.h"
#include "lib/number_routines.h"

#include <QFileInfo>
#include <QIODevice>
#include <QtEndian>

#include <cmath>
#include <vector>

void AddImportStat(int Kind, const QString &Value, const TFormatSettings &, ImportStats &Stats)
{
    if (Value.isEmpty())
        return;
    if (Kind == 2) {
        Stats.LastDate = Value;
        if (Stats.FirstDate.isEmpty())
            Stats.FirstDate = Value;
        return;
    }
    if (Kind != 1)
        return;
    Stats.PrevNum = Stats.CurNum;
    double v = 0;
    // Both separators are taken, as with the format's own; a number past the integers is no number.
    if (TryStrToFloatAny(Value, v) && std::fabs(v) < 2147483647.0)
        Stats.CurNum = int(std::trunc(v));
    else
        Stats.CurNum = -1;
    const bool broken = Stats.CurNum != Stats.PrevNum && Stats.CurNum != Stats.PrevNum + 1;
    if ((broken && Stats.FirstNum >= 0) || Stats.CurNum == -1)
        Stats.FirstNum = -2;
    if (Stats.FirstNum == -1)
        Stats.FirstNum = Stats.CurNum;
}

namespace {

constexpr int kBaseHeader = 88;
constexpr int kExtendedHeader = 32;
constexpr int kBlockHeader = 6;
// The table's memory is weighed against the budget every so many records, and at the end.
constexpr int kRecordsPerWeighing = 4096;

struct Failure
{
    ParadoxStatus status;
    QString detail;
};

Failure readError(const QString &detail = {})
{
    return {ParadoxStatus::ReadError, detail};
}

class Reader
{
public:
    Reader(QIODevice &f, TD2D &table, const TFormatSettings &fs, ImportStats &stats, qint64 rowBytes)
        : m_f(f), m_table(table), m_fs(fs), m_stats(stats), m_size(f.size()),
          m_budget(ReadBudgetBytes(m_size)), m_rowBytes(rowBytes)
    {}

    void run(ParadoxResult &result, int provider);

private:
    QByteArray readExactly(qint64 n, const char *what);
    void seekTo(qint64 pos, const char *what);
    qint64 remaining() const { return m_size - m_f.pos(); }

    QIODevice &m_f;
    TD2D &m_table;
    const TFormatSettings &m_fs;
    ImportStats &m_stats;
    const qint64 m_size;
    const ReadBudget m_budget;
    const qint64 m_rowBytes;
};

QByteArray Reader::readExactly(qint64 n, const char *what)
{
    if (n > remaining())
        throw readError(QStringLiteral("Файл обрывается: ") + QString::fromUtf8(what));
    QByteArray bytes = m_f.read(n);
    if (bytes.size() != n)
        throw readError(QStringLiteral("Файл обрывается: ") + QString::fromUtf8(what));
    return bytes;
}

void Reader::seekTo(qint64 pos, const char *what)
{
    if (pos < 0 || pos > m_size || !m_f.seek(pos))
        throw readError(QStringLiteral("Файл обрывается: ") + QString::fromUtf8(what));
}

void Reader::run(ParadoxResult &result, int provider)
{
    const QByteArray head = readExactly(kBaseHeader, "заголовок");
    const auto *h = reinterpret_cast<const uchar *>(head.constData());
    const int recordSize = qFromLittleEndian<quint16>(h);
    const int headerSize = qFromLittleEndian<quint16>(h + 2);
    const int fileType = h[4];
    const int blockSize = h[5] * 1024;
    const qint32 numRecords = qFromLittleEndian<qint32>(h + 6);
    const int firstBlock = qFromLittleEndian<quint16>(h + 14);
    const int numFields = qFromLittleEndian<qint16>(h + 33);
    result.version = h[57];
    if (fileType != 0 && fileType != 2)
        throw Failure{ParadoxStatus::NotDataTable, {}};
    if (m_size > MaxInputBytes)
        throw readError(QStringLiteral("Файл слишком велик: ") + InputTooLargeText(m_size));
    if (result.version > 4) {
        const QByteArray ext = readExactly(kExtendedHeader, "заголовок");
        result.codePage = qFromLittleEndian<quint16>(ext.constData() + (106 - kBaseHeader));
    }

    if (numFields < 1 || qint64(numFields) * 2 > remaining())
        throw readError(QStringLiteral("Заголовок повреждён: число полей ") + QString::number(numFields));
    const QByteArray descriptors = readExactly(qint64(numFields) * 2, "описания полей");
    qint64 fieldBytes = 0;
    for (int i = 0; i < numFields; ++i) {
        TFullFldRec fld;
        fld.FldType = uchar(descriptors[2 * i]);
        fld.FldSize = uchar(descriptors[2 * i + 1]);
        // Every field takes a byte of its record at least, so no record holds more cells than bytes.
        if (fld.FldSize == 0)
            throw readError(QStringLiteral("Заголовок повреждён: размер поля ") + QString::number(i + 1) +
                            QStringLiteral(" равен 0"));
        fieldBytes += fld.FldSize;
        result.fields << fld;
    }

    if (provider == ParadoxEngine)
        throw Failure{ParadoxStatus::EngineMissing, {}};
    if (provider != ParadoxBuiltIn)
        return;

    // Paradox 7 tables (version 12 and up) keep a 261-byte table name, the older ones 79 bytes.
    const qint64 skip = qint64(numFields + 1) * 4 + (result.version <= 11 ? 79 : 261);
    seekTo(m_f.pos() + skip, "имена полей");
    m_table.Init(numFields, 1);
    for (int i = 0; i < numFields; ++i) {
        QString name;
        bool terminated = false;
        if (!ReadZStrFromHandle(m_f, name, -1, &terminated) || !terminated)
            throw readError(QStringLiteral("Файл обрывается: имена полей"));
        result.fields[i].Name = name;
        m_table.SetCell(i, 0, name);
    }

    // The counts that size the table and place the blocks must fit the file.
    if (recordSize == 0 || fieldBytes != recordSize)
        throw readError(QStringLiteral("Заголовок повреждён: размер записи ") + QString::number(recordSize));
    if (blockSize == 0)
        throw readError(QStringLiteral("Заголовок повреждён: размер блока 0"));
    if (numRecords < 0)
        throw readError(QStringLiteral("Заголовок повреждён: число записей ") + QString::number(numRecords));
    result.recordsCounted = numRecords;

    // The chain is walked first, its block headers only: the table gets the rows the blocks hold, never
    // more than the header counts. The blocks past the header's count are only counted, for the note, as
    // far as they are whole: their damage does not stop a read that never needed them.
    struct Block
    {
        qint64 start;
        int records;
    };
    std::vector<Block> chain;
    std::vector<bool> visited(65536, false);
    qint64 held = 0;
    for (int b = firstBlock; b != 0;) {
        const bool surplus = held >= numRecords;
        QString damage;
        const QString blockName = QStringLiteral("блок ") + QString::number(b);
        const qint64 start = headerSize + qint64(b - 1) * blockSize;
        int inBlock = 0;
        if (visited[b]) {
            damage = QStringLiteral("Цепочка блоков зациклена на блоке ") + QString::number(b);
        } else if (start + kBlockHeader > m_size) {
            damage = QStringLiteral("Файл обрывается: ") + blockName;
        } else {
            visited[b] = true;
            seekTo(start, "блок");
            const QByteArray bh = readExactly(kBlockHeader, "блок");
            const auto *p = reinterpret_cast<const uchar *>(bh.constData());
            b = qFromLittleEndian<quint16>(p);
            const int lastOffset = qFromLittleEndian<qint16>(p + 4);
            inBlock = lastOffset < 0 ? 0 : lastOffset / recordSize + 1;
            if (kBlockHeader + qint64(inBlock) * recordSize > blockSize ||
                start + kBlockHeader + qint64(inBlock) * recordSize > m_size)
                damage = QStringLiteral("Блок повреждён: ") + blockName;
        }
        if (!damage.isEmpty()) {
            if (!surplus)
                throw readError(damage);
            result.chainCut = true;
            break;
        }
        result.recordsInChain += inBlock;
        if (surplus)
            continue;
        const int taken = int(std::min<qint64>(inBlock, numRecords - held));
        chain.push_back({start + kBlockHeader, taken});
        held += taken;
    }
    // Each row costs its cells' words, and what a view keeps of it, before a character is read; what the
    // characters cost is weighed as the rows fill.
    const qint64 cells = qint64(numFields) * (held + 1);
    const qint64 viewed = (held + 1) * m_rowBytes;
    if (!m_budget.fits(m_table.MemoryBytes() + cells * TStringColumn::CellBytes + viewed))
        throw readError(QStringLiteral("Файл слишком велик: ") + OverBudgetText(m_budget.limit()));
    m_table.SetSize(numFields, int(held) + 1);

    int r = 1;
    for (const Block &block : chain) {
        seekTo(block.start, "блок");
        for (int k = 0; k < block.records; ++k, ++r) {
            for (int c = 0; c < numFields; ++c) {
                QString value;
                if (!ReadPdxField(m_f, result.fields[c], result.codePage, value, m_fs))
                    throw readError(QStringLiteral("Запись ") + QString::number(r) +
                                    QStringLiteral(", поле \"") + CutForMessage(result.fields[c].Name) +
                                    QStringLiteral("\" (тип ") + QString::number(result.fields[c].FldType) +
                                    QLatin1Char(')'));
                m_table.SetCell(c, r, value);
                AddImportStat(c, value, m_fs, m_stats);
            }
            if (r % kRecordsPerWeighing == 0 && !m_budget.fits(m_table.MemoryBytes() + viewed))
                throw readError(QStringLiteral("Файл слишком велик: ") + OverBudgetText(m_budget.limit()));
        }
    }
    if (!m_budget.fits(m_table.MemoryBytes() + viewed))
        throw readError(QStringLiteral("Файл слишком велик: ") + OverBudgetText(m_budget.limit()));
    result.recordsRead = held;
}

} // namespace

ParadoxResult ReadParadoxTable(QIODevice &F, TD2D &Table, const TFormatSettings &FS, ImportStats &Stats,
                               int Provider, qint64 RowBytes)
{
    ParadoxResult result;
    Table.Clear();
    try {
        Reader(F, Table, FS, Stats, RowBytes).run(result, Provider);
    } catch (const Failure &f) {
        result.status = f.status;
        result.detail = f.detail;
    }
    return result;
}

QString ParadoxFailureMessage(const ParadoxResult &Result)
{
    switch (Result.status) {
    case ParadoxStatus::Complete:
        return {};
    case ParadoxStatus::NotDataTable:
        return QStringLiteral("Это не файл таблицы с данными Paradox");
    case ParadoxStatus::EngineMissing:
        return QStringLiteral("ReadParadox: Произошла ошибка с сообщением:\rBorland Database Engine не "
                              "установлен. Выберите встроенный интерфейс к Paradox в настройках.");
    case ParadoxStatus::ReadError:
        break;
    }
    QString text = QStringLiteral("Ошибка при чтении файла");
    if (!Result.detail.isEmpty())
        text += QLatin1Char('\r') + Result.detail;
    return text;
}

QString ParadoxCountNote(const ParadoxResult &Result, const QString &FileName)
{
    if (Result.status != ParadoxStatus::Complete || Result.recordsInChain == Result.recordsCounted)
        return {};
    return QStringLiteral("Файл \"%1\": число записей в заголовке таблицы %2, а в цепочке блоков %3%4.\r"
                          "Прочитано записей: %5.")
        .arg(CutForMessage(QFileInfo(FileName).fileName()))
        .arg(Result.recordsCounted)
        .arg(Result.chainCut ? QStringLiteral("не менее ") : QString())
        .arg(Result.recordsInChain)
        .arg(Result.recordsRead);
}
