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

double number(const QString &cell, const TFormatSettings &fs)
{
    return StrToFloatAnyFS(cell, fs);
}

TDateTime dateTime(const QString &cell, TextDateTimeCells &dates)
{
    TDateTime v = 0;
    if (!dates.read(cell, v))
        throw EConvertError(QStringLiteral("'%1' is not a valid date and time").arg(cell));
    return v;
}

QVariant convert(const QString &cell, FieldType type, const TFormatSettings &fs, TextDateTimeCells &dates)
{
    switch (type) {
    case FieldType::String:
    case FieldType::FixedChar:
    case FieldType::WideString:
        return cell;
    case FieldType::SmallInt:
    case FieldType::Integer:
    case FieldType::Word:
    case FieldType::AutoInc:
    case FieldType::LargeInt: {
        const double v = std::trunc(number(cell, fs));
        if (!(std::abs(v) < 9.2e18))
            throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(cell));
        return qlonglong(v);
    }
    case FieldType::Boolean: {
        int v = 0;
        if (!TryStrToInt(cell, v))
            throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(cell));
        return v > 0;
    }
    case FieldType::Float:
    case FieldType::Currency:
    case FieldType::BCD:
        return number(cell, fs);
    case FieldType::Date: {
        const TDateTime d = DateOf(dateTime(cell, dates));
        return d == kEmptyDay ? 0.0 : d;
    }
    case FieldType::Time:
        return TimeOf(dateTime(cell, dates));
    case FieldType::DateTime: {
        const TDateTime d = dateTime(cell, dates);
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

// Appends the converted rows with bound parameters, a column of an empty cell left out of its row, so
// that it takes the table's default; on a server the rows go many to a statement. The first row's counter
// comes back in firstArid when asked. The values are moved out of rows.
void appendRows(DbConnection &db, const QString &tableName, const tspec &spec, QList<ConvertedRow> &rows,
                int *firstArid, const std::function<void(int)> &progress, int from, int to)
{
    DbQuery q(&db);
    q.SetSQL(QStringLiteral("select * from ") + tableName + QStringLiteral(" where 1=0"));
    q.Open();
    QList<FieldType> types;
    QStringList names;
    for (const tspeccol &c : spec.cols) {
        TField *f = q.FieldByName(c.name);
        types << f->DataType();
        names << QLatin1Char('[') + f->FieldName() + QLatin1Char(']');
    }
    q.Close();
    const SqlDialect &dialect = db.backend().dialect();
    DbInsertBatch insert(db, tableName, names);
    const int n = int(rows.size());
    bool first = true;
    Repaint repaint;
    QVariantList values(names.size());
    for (int r = 0; r < n; ++r) {
        ConvertedRow &row = rows[r];
        if (row.isEmpty())
            continue;
        for (qsizetype k = 0; k < values.size(); ++k)
            values[k] = k < row.size() && row[k].isValid()
                            ? dialect.toDriverValue(types[k], std::move(row[k]))
                            : QVariant();
        insert.add(std::move(values), r);
        if (first && firstArid) {
            insert.send();
            DbQuery mx(&db);
            mx.SetSQL(QStringLiteral("select max(arid) as mx from ") + tableName);
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

bool ConvertTextTable(DbConnection &db, const TD2D &table, const tspec &spec, const QString &tableName,
                      const TFormatSettings &fs, int currentYear, int skipNum, QList<ConvertedRow> &rows)
{
    rows.clear();
    if (table.ColCount() == 0)
        return false;
    QList<FieldType> types;
    int numCol = -1;
    const bool skip = tableName == kEvents && skipNum > 0;
    try {
        DbQuery q(&db);
        q.SetSQL(QStringLiteral("select * from ") + tableName + QStringLiteral(" where 1=0"));
        q.Open();
        for (int k = 0; k < spec.cols.size(); ++k) {
            TField *f = q.FindField(spec.cols[k].name);
            if (!f) {
                failPass(colPlace(k), tableName,
                         QStringLiteral("Field '%1' not found").arg(spec.cols[k].name));
                return false;
            }
            types << f->DataType();
            if (skip && spec.cols[k].name.toLower() == QLatin1String("num"))
                numCol = k;
        }
    } catch (const std::exception &e) {
        failPass(QStringLiteral("Ошибка импорта"), tableName, ExceptionText(e));
        return false;
    }
    const int columns = std::min(int(spec.cols.size()), table.ColCount());
    const int n = std::max(table.RowCount(), 0);
    rows.reserve(n);
    // A column repeats its cells from row to row (a station, a day), and a cell converts the same every
    // time: the last one of each column is kept with its value.
    struct Last
    {
        QString cell;
        QVariant value;
        TextDateTimeCells dates;
    };
    std::vector<Last> last(size_t(columns), Last{QString(), QVariant(), TextDateTimeCells(fs, currentYear)});
    Repaint repaint;
    for (int r = 0; r < n; ++r) {
        repaint.due();
        int num = 0;
        if (numCol >= 0 && numCol < columns && intCell(table.GetCell(numCol, r), num) && num == skipNum) {
            rows.append(ConvertedRow());
            continue;
        }
        ConvertedRow row(spec.cols.size());
        for (int k = 0; k < columns; ++k) {
            const QString &cell = table.Columns.at(k).at(r);
            if (!spec.cols[k].used || cell.isEmpty())
                continue;
            Last &l = last[size_t(k)];
            if (cell.size() == l.cell.size() && (cell.constData() == l.cell.constData() || cell == l.cell)) {
                row[k] = l.value;
                continue;
            }
            try {
                row[k] = convert(cell, types[k], fs, l.dates);
                l.cell = cell;
                l.value = row[k];
            } catch (const std::exception &e) {
                failPass(rowPlace(r) + QStringLiteral(", ") + colPlace(k), tableName, ExceptionText(e));
                rows.clear();
                return false;
            }
        }
        rows.append(row);
    }
    return true;
}

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
    MinMaxIntLines(events.Columns[1], maxNum, minNum);
    const int skipNum = in.merge ? minNum : 0;
    // A merged first event stays the database's, so the range starts after it: past the largest number
    // an event can have (or with no number in the file) it holds none.
    const qint64 fromNum = in.merge ? qint64(minNum) + 1 : minNum;

    // Every value is checked before the question, so a bad file neither asks nor changes anything.
    QList<ConvertedRow> rows[3];
    const QString names[3] = {kEvents, kBulletin, kXm};
    for (int t = 0; t < 3; ++t)
        if (!ConvertTextTable(db, *in.tables[t], *in.specs[t], names[t], fs[t], in.currentYear,
                              t == 0 ? skipNum : 0, rows[t]))
            return false;
    const int bulletinRows = std::max(bulletin.RowCount(), 0);
    // Each amplitude row follows the first reading with its old arid to the counter the database gives
    // that reading: found through a hash, as a year holds hundreds of thousands of each.
    QHash<int, int> firstReading;
    firstReading.reserve(bulletinRows);
    for (int i = 0; i < bulletinRows; ++i) {
        int arid = 0;
        if (!intCell(bulletin.GetCell(0, i), arid))
            throw EConvertError(
                QStringLiteral("'%1' is not a valid integer value").arg(bulletin.GetCell(0, i)));
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
    {
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
        appendRows(db, kEvents, *in.specs[0], rows[0], nullptr, in.progress, 0, 199);
        failedTable = kBulletin;
        appendRows(db, kBulletin, *in.specs[1], rows[1], &firstArid, in.progress, 200, 399);
        if (xmAridWritten)
            for (qsizetype j = 0; j < readingOfXm.size(); ++j)
                if (readingOfXm[j] >= 0)
                    rows[2][j][xmArid] = qlonglong(firstArid + readingOfXm[j]);
        failedTable = kXm;
        appendRows(db, kXm, *in.specs[2], rows[2], nullptr, in.progress, 400, 599);
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
