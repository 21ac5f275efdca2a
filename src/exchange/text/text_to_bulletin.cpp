#include "exchange/text/text_to_bulletin.h"

#include "db/db_backend.h"
#include "db/db_command.h"
#include "db/db_connection.h"
#include "db/db_query.h"
#include "db/insert_batch.h"
#include "db/sql_dialect.h"
#include "exchange/text/text_cells.h"
#include "lib/errors.h"
#include "lib/messages.h"
#include "lib/number_routines.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHash>

#include <cmath>
#include <vector>

namespace {

const QString kEvents = QStringLiteral("[События]");
const QString kBulletin = QStringLiteral("[Станционный бюллетень]");
const QString kXm = QStringLiteral("[Динамические замеры]");

// The day a text date leaves empty.
constexpr TDateTime kEmptyDay = 36524; // 30.12.1999

// What a cell that does not convert is said to be: "Неверное число: "NaN"".
[[noreturn]] void refuseCell(const char *what, const QString &cell)
{
    throw EConvertError(QStringLiteral("Неверн") + QString::fromUtf8(what) + QStringLiteral(": \"") +
                        CutForMessage(cell) + QLatin1Char('"'));
}

double number(const QString &cell, const TFormatSettings &fs)
{
    try {
        return StrToFloatAnyFS(cell, fs);
    } catch (const EConvertError &) {
        refuseCell("ое число", cell);
    }
}

TDateTime dateTime(const QString &cell, TextDateTimeCells &dates, const char *what)
{
    TDateTime v = 0;
    if (!dates.read(cell, v))
        refuseCell(what, cell);
    return v;
}

QVariant convertCell(const QString &cell, FieldType type, const TFormatSettings &fs, TextDateTimeCells &dates)
{
    switch (type) {
    case FieldType::String:
    case FieldType::FixedChar:
    case FieldType::WideString:
        return QString(cell.constData(), cell.size()); // its own copy, whatever cell refers to
    case FieldType::SmallInt:
    case FieldType::Integer:
    case FieldType::Word:
    case FieldType::AutoInc:
    case FieldType::LargeInt: {
        const double v = std::trunc(number(cell, fs));
        if (!(std::abs(v) < 9.2e18))
            refuseCell("ое целое число", cell);
        return qlonglong(v);
    }
    case FieldType::Boolean: {
        int v = 0;
        if (!TryStrToInt(cell, v))
            refuseCell("ое целое число", cell);
        return v > 0;
    }
    case FieldType::Float:
    case FieldType::Currency:
    case FieldType::BCD:
        return number(cell, fs);
    case FieldType::Date: {
        const TDateTime d = DateOf(dateTime(cell, dates, "ая дата"));
        return d == kEmptyDay ? 0.0 : d;
    }
    case FieldType::Time:
        return TimeOf(dateTime(cell, dates, "ое время"));
    case FieldType::DateTime: {
        const TDateTime d = dateTime(cell, dates, "ые дата и время");
        return DateOf(d) == kEmptyDay ? TimeOf(d) : d;
    }
    default:
        return cell;
    }
}

void failPass(const QString &place, const QString &tableName, const QString &reason)
{
    MessageProc(nullptr,
                place + QStringLiteral(" (таблица ") + tableName + QStringLiteral("). Операция прервана.\r") +
                    QStringLiteral("Сообщение об ошибке:\r\r") + reason,
                MB_ICONERROR, MB_OK);
}

QString rowPlace(int r)
{
    return QStringLiteral("строка №") + QString::number(r + 1);
}
QString colPlace(int k)
{
    return QStringLiteral("столбец №") + QString::number(k + 1);
}

bool intCell(const QString &cell, int &v)
{
    return TryStrToInt(cell, v);
}

// Lets the window paint (no clicks: they would start another operation on the same connection) every
// tenth of a second of a long pass.
class Repaint
{
public:
    Repaint() { m_clock.start(); }
    bool due()
    {
        if (m_clock.elapsed() < 100)
            return false;
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        m_clock.restart();
        return true;
    }

private:
    QElapsedTimer m_clock;
};

// One text table's rows converted by the field types of its database table (a bracketed name). Each row
// is converted when it is checked and again when it is written, so no converted table is kept.
class TextTableRows
{
public:
    TextTableRows(const TD2D &table, const tspec &spec, const TFormatSettings &fs, int currentYear)
        : m_table(table), m_spec(spec), m_fs(fs), m_currentYear(currentYear)
    {}

    // Looks the format's columns up among the table's fields; false after the message naming the column.
    // skipNum > 0 leaves out the [События] row whose num equals it.
    bool open(DbConnection &db, const QString &tableName, int skipNum);
    // Converts every row; false after the message naming the row and the column. The event numbers of
    // [События] must be given and differ.
    bool check();
    // Appends the rows with bound parameters, a column of an empty cell left out of its row so that it
    // takes the table's default; on a server the rows go many to a statement. The first row's counter
    // comes back in firstArid when asked; adjust may change a row's values before it goes.
    void append(DbConnection &db, int *firstArid, const std::function<void(int, ConvertedRow &)> &adjust,
                const std::function<void(int)> &progress, int from, int to);

private:
    int rows() const { return std::max(m_table.RowCount(), 0); }
    bool skipped(int r) const;
    bool convert(int r, ConvertedRow &row);

    const TD2D &m_table;
    const tspec &m_spec;
    const TFormatSettings &m_fs;
    const int m_currentYear;
    QString m_tableName;
    QList<FieldType> m_types;
    QStringList m_names;
    QString m_storedName; // the table as the database names it
    QStringList m_fields; // the fields as the database names them
    QList<int> m_limits;  // per column: the characters its text may have, 0 for any
    int m_columns = 0;
    int m_numCol = -1;
    int m_skipNum = 0;
    // A column repeats its cells from row to row (a station, a day), and a cell converts the same every
    // time: the last one of each column is kept with its value.
    struct Last
    {
        QString cell;
        QVariant value;
        TextDateTimeCells dates;
    };
    std::vector<Last> m_last;
};

bool TextTableRows::open(DbConnection &db, const QString &tableName, int skipNum)
{
    if (m_table.ColCount() == 0)
        return false;
    m_tableName = tableName;
    m_skipNum = tableName == kEvents && skipNum > 0 ? skipNum : 0;
    try {
        DbQuery q(&db);
        q.SetSQL(QStringLiteral("select * from ") + tableName + QStringLiteral(" where 1=0"));
        q.Open();
        for (int k = 0; k < m_spec.cols.size(); ++k) {
            TField *f = q.FindField(m_spec.cols[k].name);
            if (!f) {
                failPass(colPlace(k), tableName,
                         QStringLiteral("В таблице нет поля \"%1\"").arg(CutForMessage(m_spec.cols[k].name)));
                return false;
            }
            m_types << f->DataType();
            m_names << QLatin1Char('[') + f->FieldName() + QLatin1Char(']');
            m_fields << f->FieldName();
            if (tableName == kEvents && m_spec.cols[k].name.toLower() == QLatin1String("num"))
                m_numCol = k;
        }
        // A text longer than its column is told with its row and column before anything is asked or
        // written: a SQLite file would keep it, a server refuses it in words that name no column.
        m_storedName = db.backend().dialect().storedName(tableName);
        const QHash<QString, int> lengths = db.backend().columnLengths(m_storedName);
        for (int k = 0; k < m_fields.size(); ++k)
            m_limits << (IsStringFieldType(m_types[k]) ? lengths.value(m_fields[k].toLower(), 0) : 0);
    } catch (const std::exception &e) {
        failPass(QStringLiteral("Ошибка импорта"), tableName, ExceptionText(e));
        return false;
    }
    m_columns = std::min(int(m_spec.cols.size()), m_table.ColCount());
    if (m_numCol >= m_columns)
        m_numCol = -1;
    m_last.assign(size_t(m_columns), Last{QString(), QVariant(), TextDateTimeCells(m_fs, m_currentYear)});
    return true;
}

bool TextTableRows::skipped(int r) const
{
    int num = 0;
    return m_skipNum > 0 && m_numCol >= 0 && intCell(m_table.Columns.at(m_numCol).at(r), num) &&
           num == m_skipNum;
}

bool TextTableRows::convert(int r, ConvertedRow &row)
{
    if (row.size() == m_spec.cols.size())
        std::fill(row.begin(), row.end(), QVariant());
    else
        row = ConvertedRow(m_spec.cols.size());
    for (int k = 0; k < m_columns; ++k) {
        const QStringView cell = m_table.Columns.at(k).view(r);
        if (!m_spec.cols[k].used || cell.isEmpty())
            continue;
        Last &l = m_last[size_t(k)];
        if (cell == l.cell) {
            row[k] = l.value;
            continue;
        }
        try {
            // Compared and converted where the table keeps it, which stays put while the rows are read.
            l.cell = QString::fromRawData(reinterpret_cast<const QChar *>(cell.utf16()), cell.size());
            row[k] = convertCell(l.cell, m_types[k], m_fs, l.dates);
            if (const int limit = m_limits[k]; limit > 0) {
                qsizetype n = l.cell.size();
                while (n > limit && l.cell.at(n - 1) == QLatin1Char(' '))
                    --n;
                if (n > limit)
                    throw TooLongError(m_storedName, m_fields[k], l.cell.left(n), limit);
            }
            l.value = row[k];
        } catch (const std::exception &e) {
            l.cell.clear();
            failPass(rowPlace(r) + QStringLiteral(", ") + colPlace(k), m_tableName, ExceptionText(e));
            return false;
        }
    }
    return true;
}

bool TextTableRows::check()
{
    ConvertedRow row;
    Repaint repaint;
    // The event number is the key of [События]: a number given twice, or none, would be refused by the
    // database in the middle of the writing, in its own words.
    QHash<qlonglong, int> numbers;
    for (int r = 0; r < rows(); ++r) {
        repaint.due();
        if (skipped(r))
            continue;
        if (!convert(r, row))
            return false;
        if (m_numCol < 0 || !m_spec.cols[m_numCol].used)
            continue;
        const QString place = rowPlace(r) + QStringLiteral(", ") + colPlace(m_numCol);
        if (!row[m_numCol].isValid()) {
            failPass(place, m_tableName, QStringLiteral("Событие без номера"));
            return false;
        }
        const qlonglong num = row[m_numCol].toLongLong();
        if (const auto it = numbers.constFind(num); it != numbers.cend()) {
            failPass(place, m_tableName,
                     QStringLiteral("Событие с номером %1 уже есть (%2)").arg(num).arg(rowPlace(*it)));
            return false;
        }
        numbers.insert(num, r);
    }
    return true;
}

void TextTableRows::append(DbConnection &db, int *firstArid,
                           const std::function<void(int, ConvertedRow &)> &adjust,
                           const std::function<void(int)> &progress, int from, int to)
{
    const SqlDialect &dialect = db.backend().dialect();
    DbInsertBatch insert(db, m_tableName, m_names);
    const int n = rows();
    bool first = true;
    Repaint repaint;
    ConvertedRow row;
    for (int r = 0; r < n; ++r) {
        if (skipped(r))
            continue;
        // Every row converted when it was checked, so this one does too.
        if (!convert(r, row))
            throw EConvertError(rowPlace(r));
        if (adjust)
            adjust(r, row);
        QVariantList values(m_names.size());
        for (qsizetype k = 0; k < values.size(); ++k)
            if (row[k].isValid())
                values[k] = dialect.toDriverValue(m_types[k], std::move(row[k]));
        insert.add(std::move(values), r);
        if (first && firstArid) {
            insert.send();
            DbQuery mx(&db);
            mx.SetSQL(QStringLiteral("select max(arid) as mx from ") + m_tableName);
            mx.Open();
            *firstArid = mx.Field(0)->AsInteger();
        }
        first = false;
        if (progress && n > 1 && r % 15 == 0)
            progress(from + int(double(r) / (n - 1) * (to - from)));
        repaint.due();
    }
    insert.send();
    if (progress) {
        progress(to);
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
}

} // namespace

bool WriteTextToBulletin(DbConnection &db, TextTablesInput &in)
{
    TD2D &events = *in.tables[0];
    TD2D &bulletin = *in.tables[1];
    TD2D &xm = *in.tables[2];
    if (events.ColCount() < 2 || bulletin.ColCount() < 1 || xm.ColCount() < 2)
        throw EConvertError(QStringLiteral("В таблицах импорта недостаточно столбцов"));
    TFormatSettings fs[3];
    for (int t = 0; t < 3; ++t)
        TspecToFormatSettings(fs[t], *in.specs[t], in.locale, in.currentYear);

    int maxNum = 0, minNum = 0;
    MinMaxIntLines(events.Columns[1].toStringList(), maxNum, minNum);
    const int skipNum = in.merge ? minNum : 0;
    // A merged first event stays the database's, so the range starts after it: past the largest number
    // an event can have (or with no number in the file) it holds none.
    const qint64 fromNum = in.merge ? qint64(minNum) + 1 : minNum;

    // Every value is checked before the question, so a bad file neither asks nor changes anything.
    const QString names[3] = {kEvents, kBulletin, kXm};
    std::vector<TextTableRows> rows;
    rows.reserve(3);
    for (int t = 0; t < 3; ++t) {
        rows.emplace_back(*in.tables[t], *in.specs[t], fs[t], in.currentYear);
        if (!rows.back().open(db, names[t], t == 0 ? skipNum : 0) || !rows.back().check())
            return false;
    }
    const int bulletinRows = std::max(bulletin.RowCount(), 0);
    // Each amplitude row follows the first reading with its old arid to the counter the database gives
    // that reading: found through a hash, as a year holds hundreds of thousands of each.
    QHash<int, int> firstReading;
    firstReading.reserve(bulletinRows);
    for (int i = 0; i < bulletinRows; ++i) {
        int arid = 0;
        if (!intCell(bulletin.GetCell(0, i), arid))
            throw EConvertError(
                QStringLiteral("%1, %2 (таблица %3): неверный номер отсчёта \"%4\"")
                    .arg(rowPlace(i), colPlace(0), kBulletin, CutForMessage(bulletin.GetCell(0, i))));
        if (!firstReading.contains(arid))
            firstReading.insert(arid, i);
    }
    const int xmArid = 1;
    const bool xmAridWritten = in.specs[2]->cols.size() > xmArid && in.specs[2]->cols[xmArid].used;
    QList<int> readingOfXm(std::max(xm.RowCount(), 0), -1);
    for (qsizetype j = 0; j < readingOfXm.size(); ++j)
        if (int arid = 0; intCell(xm.GetCell(xmArid, int(j)), arid))
            readingOfXm[j] = firstReading.value(arid, -1);

    const QString lo = QString::number(fromNum), hi = QString::number(maxNum);
    bool replace = false;
    // An empty range is not asked about: its start may lie past what the server's integer column takes.
    if (fromNum <= maxNum) {
        DbQuery q(&db);
        q.SetSQL(QStringLiteral("select num from [События] where num between ? and ?"));
        q.SetParams({qlonglong(fromNum), qlonglong(maxNum)});
        q.Open();
        if (!q.Eof()) {
            if (MessageProc(nullptr,
                            QStringLiteral("В таблице \"События\" уже есть землетрясения с номерами от ") +
                                lo + QStringLiteral(" до ") + hi +
                                QStringLiteral("\r\rХотите удалить существующие данные и записать новые?"),
                            MB_ICONQUESTION, MB_YESNO) != IDYES)
                return false;
            replace = true;
        }
    }

    int firstArid = -1;
    QString failedTable;
    db.BeginTrans();
    try {
        if (replace) {
            const QVariantList range{qlonglong(fromNum), qlonglong(maxNum)};
            const char *const deletes[] = {
                ("delete from [Динамические замеры] where arid in (select arid from [Станционный бюллетень] "
                 "where N_equake between ? and ?)"),
                "delete from [Станционный бюллетень] where N_equake between ? and ?",
                "delete from [События] where num between ? and ?"};
            for (const char *sql : deletes) {
                DbQuery d(&db);
                d.SetSQL(QString::fromUtf8(sql));
                d.SetParams(range);
                d.ExecSQL();
            }
        }
        failedTable = kEvents;
        rows[0].append(db, nullptr, {}, in.progress, 0, 199);
        failedTable = kBulletin;
        rows[1].append(db, &firstArid, {}, in.progress, 200, 399);
        failedTable = kXm;
        const auto renumber = [&](int j, ConvertedRow &row) {
            if (xmAridWritten && readingOfXm[j] >= 0)
                row[xmArid] = qlonglong(firstArid + readingOfXm[j]);
        };
        rows[2].append(db, nullptr, renumber, in.progress, 400, 599);
        db.CommitTrans();
        for (int i = 0; i < bulletinRows; ++i)
            bulletin.SetCell(0, i, QString::number(firstArid + i));
        for (qsizetype j = 0; j < readingOfXm.size(); ++j)
            if (readingOfXm[j] >= 0)
                xm.SetCell(xmArid, int(j), QString::number(firstArid + readingOfXm[j]));
    } catch (const std::exception &e) {
        db.RollbackTrans();
        failPass(QStringLiteral("Ошибка импорта"), failedTable, ExceptionText(e));
        return false;
    }
    return true;
}
