#include "exchange/orv/orv_import.h"

#include "db/db_command.h"
#include "db/db_connection.h"
#include "db/db_query.h"
#include "db/insert_batch.h"
#include "exchange/orv/orv_file.h"
#include "exchange/orv/unique_event_id.h"
#include "exchange/read_limits.h"
#include "lib/codec.h"
#include "lib/dataset_api.h"
#include "lib/epoch.h"
#include "lib/held_messages.h"
#include "lib/messages.h"
#include "lib/number_routines.h"
#include "lib/safe_write.h"
#include "lib/sql_text.h"
#include "lib/statements.h"
#include "lib/string_table.h"
#include "lib/temp_folders.h"
#include "platform/zip_archive.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSet>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <deque>
#include <limits>
#include <memory>
#include <optional>

namespace {

// A row given to a table's inserts, kept while it may still be refused: a failure names it with its
// literal text, made only then.
struct InsertedRow
{
    int step = 0;
    QVariantList values; // per field that goes in, invalid for NULL
    QList<double> dates; // of its date fields, in their order
};

// A record read ahead of the one the import works on, or what ended the reading there, with the messages
// the reader gave on the way (shown when the import gets to it).
struct AheadRecord
{
    OrvReadStatus status = OrvReadStatus::Ok;
    QVariantList values;
    QList<bool> nulls;
    QList<double> dates;
    bool mayBeTaken = true; // its EVENTID may be in the database
    QList<std::pair<QString, unsigned>> messages;
};

struct Member
{
    orxheader header;
    QString path;
    qint64 recordsAt = 0;
    // Per field: left out of the INSERT (missing in the target), the name the INSERT uses, and the type
    // the target declares for its column.
    QList<bool> skip;
    QStringList insertNames;
    QList<FieldType> columnTypes;
};

// Epoch seconds of a date-time, to the millisecond.
double epochOf(TDateTime value)
{
    int y = 0, m = 0, d = 0, h = 0, n = 0, s = 0, ms = 0;
    DecodeDateTime(value, y, m, d, h, n, s, ms);
    return htoe(quint16(y), quint16(m), quint16(d), quint16(h), quint16(n), s + ms / 1000.0);
}

// A span of epoch seconds from its start, up to its end included or, for a day taken whole, up to the
// next midnight.
struct EpochSpan
{
    double from = 0, to = 0;
    bool toIncluded = true;

    bool contains(double t) const { return t >= from && (toIncluded ? t <= to : t < to); }
    QString condition() const
    {
        return QStringLiteral("(itime>=") + SqlNumber(from) +
               (toIncluded ? QStringLiteral(" and itime<=") : QStringLiteral(" and itime<")) + SqlNumber(to) +
               QLatin1Char(')');
    }
};

// The period a header names. An end given as a bare date takes that day whole, as the export's own
// files and the older program's mean it, and is named by the day's last second; an end given to the
// second takes that second whole; an end with milliseconds ends there. So the period checked and deleted
// is never past what the question or message names, nor short of it.
struct HeaderPeriod
{
    EpochSpan span;
    TDateTime start = 0, last = 0;
};

HeaderPeriod headerPeriod(const orxheader &h)
{
    int hour = 0, minute = 0, second = 0, ms = 0;
    DecodeTime(h.periodEnd, hour, minute, second, ms);
    const bool bareDate = hour == 0 && minute == 0 && second == 0 && ms == 0;
    HeaderPeriod p;
    p.start = h.periodStart;
    p.last = bareDate ? h.periodEnd + EncodeTime(23, 59, 59, 0) : h.periodEnd;
    if (bareDate)
        p.span = {epochOf(h.periodStart), epochOf(h.periodEnd + 1), false};
    else
        p.span = {epochOf(h.periodStart), epochOf(h.periodEnd) + (ms == 0 ? 1 : 0), ms != 0};
    return p;
}

// The key and time columns, of the kind the ORX tables are described with: eventid and sta text; arid,
// orid and nindex integers; origintime, itime and amptime epoch seconds, as is time where a target has
// it. A value of another kind would go in as something it is not (a day number as epoch seconds) or pass
// the period check by.
enum class ColumnKind { Other, Text, Number };

ColumnKind keyColumnKind(const QString &name)
{
    const QString lower = name.toLower();
    if (lower == QLatin1String("eventid") || lower == QLatin1String("sta"))
        return ColumnKind::Text;
    if (lower == QLatin1String("arid") || lower == QLatin1String("orid") ||
        lower == QLatin1String("nindex") || lower == QLatin1String("origintime") ||
        lower == QLatin1String("itime") || lower == QLatin1String("amptime") ||
        lower == QLatin1String("time"))
        return ColumnKind::Number;
    return ColumnKind::Other;
}

// Whether a field of that type code carries a value of the column's kind whole. A number is carried by
// any integer or float code, as other back ends export integer columns as floats; an EVENTID may also be
// an integer, which the rename writes bare. A code the reader cannot read is left to its own message.
bool carriesKind(const QString &name, char code)
{
    const FieldType type = FieldType(quint8(code));
    switch (keyColumnKind(name)) {
    case ColumnKind::Other:
        return true;
    case ColumnKind::Text:
        return IsOrvStringType(code) ||
               (name.toLower() == QLatin1String("eventid") && IsIntegerFieldType(type)) ||
               !IsOrvReadableType(code);
    case ColumnKind::Number:
        return IsIntegerFieldType(type) || IsFloatFieldType(type) || !IsOrvReadableType(code);
    }
    return true;
}

// Whether a column holds whole numbers only: the integer keys, and every column the target declares
// integer. A number with a fraction would be kept as it is by SQLite and rounded by the server.
bool wholeColumn(const QString &name, FieldType target)
{
    const QString lower = name.toLower();
    return lower == QLatin1String("arid") || lower == QLatin1String("orid") ||
           lower == QLatin1String("nindex") || IsIntegerFieldType(target);
}

// The whole numbers a column of the target holds: as wide as its type where that is fixed, else those of
// 64 bits.
std::pair<qint64, qint64> wholeRange(FieldType target)
{
    qint64 low = 0, high = 0;
    if (!IntegerFieldRange(target, low, high))
        return {std::numeric_limits<qint64>::min(), std::numeric_limits<qint64>::max()};
    return {low, high};
}

// Whether a number bound for a field (qlonglong or double) is a whole number within [low, high].
bool holdsWhole(const QVariant &value, qint64 low, qint64 high)
{
    if (value.typeId() != QMetaType::Double) {
        const qlonglong n = value.toLongLong();
        return n >= low && n <= high;
    }
    // 2^63 is the first double past the 64-bit range; every smaller whole double converts exactly.
    const double d = value.toDouble();
    return std::isfinite(d) && d == std::floor(d) && d >= -0x1p63 && d < 0x1p63 && qint64(d) >= low &&
           qint64(d) <= high;
}

// Calendar fields as the view and the messages show them: dd.mm.yyyy hh:nn:ss.
QString calendarFields(int y, int m, int d, int h, int n, int s)
{
    const auto two = [](int v) { return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0')); };
    return two(d) + QLatin1Char('.') + two(m) + QLatin1Char('.') +
           QStringLiteral("%1").arg(y, 4, 10, QLatin1Char('0')) + QLatin1Char(' ') + two(h) +
           QLatin1Char(':') + two(n) + QLatin1Char(':') + two(s);
}

// An epoch-seconds text as the view shows it: dd.mm.yyyy hh:nn:ss.t
QString calendarText(const QString &text)
{
    double epoch = 0;
    quint16 y = 0, m = 0, d = 0, h = 0, n = 0, s = 0, tenths = 0;
    if (!TryStrToFloatAny(text, epoch) || !etoh(epoch, y, m, d, h, n, s, tenths, false))
        return text;
    return calendarFields(y, m, d, h, n, s) + QLatin1Char('.') + QString::number(tenths);
}

// A station code as the database tells stations apart: without the blanks and tabs around it, whatever
// the case of its letters. The file's codes and the database's meet in this one form.
QString stationKey(const QString &code)
{
    return code.trimmed().toCaseFolded();
}

// An epoch-seconds value as a refusal shows it: its number, and the calendar time to the millisecond
// with the digits of that number cut rather than rounded, so that a time outside a period never reads as
// its bound and never as another time than the number beside it.
QString epochText(double t)
{
    const QString number = SqlNumber(t);
    const qsizetype point = number.indexOf(QLatin1Char('.'));
    bool plain = false;
    const qint64 seconds = number.left(point).toLongLong(&plain);
    // Before 1970 or written with an exponent, it is rounded: no period of the ORX tables lies there.
    const bool cut = plain && seconds >= 0;
    quint16 y = 0, m = 0, d = 0, h = 0, n = 0, s = 0, frac = 0;
    if (!etoh(cut ? double(seconds) : t, y, m, d, h, n, s, frac, true))
        return number;
    const QString ms = !cut        ? QStringLiteral("%1").arg(frac, 3, 10, QLatin1Char('0'))
                       : point < 0 ? QString()
                                   : number.mid(point + 1, 3);
    return number + QStringLiteral(", ") + calendarFields(y, m, d, h, n, s) + QLatin1Char('.') +
           ms.leftJustified(3, QLatin1Char('0'));
}

class OrvRun
{
public:
    OrvRun(OrvImportHost &host, const QString &fileName, bool viewOnly, OrvImportStats *stats)
        : m_host(host), m_fileName(fileName), m_viewOnly(viewOnly), m_stats(stats),
          m_locale(host.LocaleSettings()), m_merge(host.MergeEvents())
    {
        m_forms.viewOnly = viewOnly;
        m_forms.valuesOnly = !viewOnly;
        m_forms.fs = m_locale;
    }

    void run();

private:
    bool unpack(const QString &dir);
    bool readMembers(const QString &dir);
    bool openMember(QFile &file, Member &member, bool first);
    bool tablesPresent();
    void probeColumns(Member &member);
    bool askMissing(const Member &member);
    bool checkKeyTypes(const Member &member);
    bool lookUpStationCodes();
    bool readAhead();
    bool readThrough(Member &member, bool arrivalTimes);
    bool askReplacements();
    int ask(const QString &text);
    bool confirmReplaceStationData(const QString &stations, const QString &code, TDateTime start,
                                   TDateTime end, const QString &period);
    bool readFailed(OrvReadStatus status, const Member &member, int row);
    bool readTable(Member &member);
    bool applyEventIdRules(Member &member, int field, bool &insert);
    void log(const QString &header, const QString &line);
    bool count(const QString &sql, qint64 &value);
    bool list(const QString &sql, QStringList &ids);
    void damaged(const QString &member);
    void tooLarge(const QString &member, qint64 columns, qint64 rows);
    void clearViews();
    void refuseNul(const QString &member, const QString &where);
    void showStatus();
    QString insertText(const InsertedRow &row) const;
    OrvReadStatus nextRecord(QFile &file, orxheader &h);
    bool lookAhead(QFile &file, Member &member, int eventIdColumn);
    bool knownFree(const orxheader &h, int field) const;
    void finish();
    void progressStep();

    OrvImportHost &m_host;
    QString m_fileName;
    bool m_viewOnly;
    OrvImportStats *m_stats;
    TFormatSettings m_locale;
    bool m_merge;
    OrvValueForms m_forms;
    std::optional<OrvViewBudget> m_viewBudget;

    orxsystem m_system;
    QList<Member> m_members;
    OrvVersion m_version = OrvVersion::Unknown;
    QString m_stationsText;
    qint64 m_total = 0;
    qint64 m_done = 0;

    QString m_table;
    int m_step = 0;
    QString m_lastSql;
    std::unique_ptr<DbInsertBatch> m_inserts; // the current table's
    const Member *m_inserting = nullptr;      // and its member
    QList<InsertedRow> m_waiting;             // the rows given to it that may not be in the table yet
    // Origins read ahead, so that whether their EVENTIDs are free is asked once for many; whether the
    // current record's may be taken (unknown: ask as ever); the keys of the EVENTIDs inserted.
    std::deque<AheadRecord> m_ahead;
    std::optional<bool> m_currentMayBeTaken;
    QSet<QString> m_insertedIds;
    std::optional<HeldTransaction> m_transaction;
    // The replacement the user agreed to, run first in the transaction.
    QStringList m_replacements;
    // Per station of the file's arrivals (by stationKey): their earliest and latest itime.
    QHash<QString, std::pair<double, double>> m_arrivalTimes;
    // Per station the database holds (by stationKey): the codes its rows carry, and the one most carry,
    // which the file's rows of the station are written with.
    struct StoredCodes
    {
        QStringList codes;
        QString written;
        qint64 rows = -1;
    };
    QHash<QString, StoredCodes> m_storedCodes;
    bool m_both = false; // the file brings origin and arrival
    qint64 m_asking = 0; // milliseconds the questions waited for their answers
    std::unique_ptr<DbQuery> m_query;
    std::unique_ptr<DbCommand> m_command;
    std::optional<UniqueEventIds> m_unique;
    QSet<QString> m_originIds;
    QSet<QString> m_skippedIds;
    std::unique_ptr<SafeFileWriter> m_log;
    bool m_logFailed = false;

    bool m_progressShown = false;
    int m_progressMaximum = 0;
    QElapsedTimer m_clock;
    qint64 m_lastRefresh = 0;
    QString m_suffix;
};

void OrvRun::damaged(const QString &member)
{
    MessageProc(m_host.Owner(),
                QStringLiteral("ReadORV: файл \"") + QFileInfo(member).fileName() +
                    QStringLiteral("\" повреждён, данные не считаны!"),
                MB_ICONERROR, MB_OK);
}

// A NUL would end the statement text on SQLite at that character and is cut off silently elsewhere.
void OrvRun::refuseNul(const QString &member, const QString &where)
{
    MessageProc(m_host.Owner(),
                QStringLiteral("ReadORV: в файле \"") + QFileInfo(member).fileName() +
                    QStringLiteral("\" текст с символом NUL (") + where +
                    QStringLiteral("), данные не считаны!"),
                MB_ICONERROR, MB_OK);
}

void OrvRun::tooLarge(const QString &member, qint64 columns, qint64 rows)
{
    MessageProc(m_host.Owner(),
                QStringLiteral("ReadORV: файл \"") + QFileInfo(member).fileName() +
                    QStringLiteral("\" не может быть показан: ") + m_viewBudget->refusal(columns, rows) +
                    QLatin1Char('!'),
                MB_ICONERROR, MB_OK);
}

// A view refused half-way gives its memory back at once.
void OrvRun::clearViews()
{
    m_host.ViewTable(1).Clear();
    m_host.ViewTable(2).Clear();
}

bool OrvRun::count(const QString &sql, qint64 &value)
{
    // The rows given so far are what the answer depends on; a row refused is named as the import names it.
    if (m_inserts)
        m_inserts->send();
    if (!QAct(*m_query, sql))
        return false;
    value = m_query->FieldCount() > 0 && !m_query->Eof() ? m_query->Field(0)->AsLargeInt() : 0;
    m_query->Close();
    return true;
}

bool OrvRun::list(const QString &sql, QStringList &ids)
{
    if (m_inserts)
        m_inserts->send();
    if (!QAct(*m_query, sql))
        return false;
    for (; !m_query->Eof(); m_query->Next())
        ids << m_query->Field(0)->AsString();
    m_query->Close();
    return true;
}

bool OrvRun::unpack(const QString &dir)
{
    // The ZIP layer writes nothing outside dir and raises for a member that would go there; the folder
    // is ours alone, so a member cannot replace a file of the program, and it need not reach the disk.
    unzipAll(m_fileName, dir, OrvUnzipLimits());
    return true;
}

bool OrvRun::openMember(QFile &file, Member &member, bool first)
{
    if (!file.open(QIODevice::ReadOnly)) {
        damaged(member.path);
        return false;
    }
    if (first) {
        m_version = DetectOrvVersion(file);
        if (m_version == OrvVersion::Unknown) {
            damaged(member.path);
            return false;
        }
    }
    OrvReadStatus status = ReadOrvHeader(file, m_version, member.header);
    if (status == OrvReadStatus::Ok)
        status = ReadOrvFieldList(file, member.header);
    if (status == OrvReadStatus::ShortText)
        return false;
    if (status == OrvReadStatus::NulText) {
        refuseNul(member.path, QStringLiteral("заголовок"));
        return false;
    }
    if (status != OrvReadStatus::Ok) {
        damaged(member.path);
        return false;
    }
    member.header.fileName = member.path;
    member.recordsAt = file.pos();
    member.skip = QList<bool>(member.header.fieldCount, false);
    member.insertNames = member.header.fieldNames;
    member.columnTypes = QList<FieldType>(member.header.fieldCount, FieldType::Unknown);
    return true;
}

bool OrvRun::readMembers(const QString &dir)
{
    const QStringList names = QDir(dir).entryList(
        {QStringLiteral("*.orv")}, QDir::Files | QDir::Hidden | QDir::System, QDir::Name | QDir::IgnoreCase);
    if (names.isEmpty()) {
        MessageProc(m_host.Owner(), QStringLiteral("Не найдено ни одного ORV-файла!"), MB_ICONERROR, MB_OK);
        return false;
    }
    QFile system(QDir(dir).filePath(OrvSystemMember));
    if (!system.open(QIODevice::ReadOnly)) {
        damaged(OrvSystemMember);
        return false;
    }
    m_system.text = fromCp1251(system.readAll());
    m_system.tables = SplitOrvSystem(m_system.text);

    for (const QString &name : names) {
        Member member;
        member.path = QDir(dir).filePath(name);
        QFile file(member.path);
        if (!openMember(file, member, m_members.isEmpty()))
            return false;
        m_total += member.header.recordCount;
        m_members << member;
    }
    const orxheader &first = m_members.first().header;
    if (m_version == OrvVersion::V10) {
        m_stationsText = first.stationCode;
    } else {
        QStringList codes;
        for (const torxhsta &s : first.stations)
            codes << s.code.trimmed();
        m_stationsText = codes.join(QLatin1Char(','));
    }

    // Only the two tables of an event file go into statements; the names come from the file.
    for (const QString &table : std::as_const(m_system.tables)) {
        if (table != QLatin1String("origin") && table != QLatin1String("arrival")) {
            MessageProc(m_host.Owner(),
                        QStringLiteral("ReadORV: таблица \"") + CutForMessage(table) +
                            QStringLiteral("\" не может быть прочитана из ORV-файла!"),
                        MB_ICONERROR, MB_OK);
            return false;
        }
        bool found = false;
        for (const Member &m : std::as_const(m_members))
            found = found || m.header.table == table;
        if (!found) {
            MessageProc(m_host.Owner(),
                        QStringLiteral("Таблица \"") + CutForMessage(table) +
                            QStringLiteral("\" не найдена в архиве!"),
                        MB_ICONERROR, MB_OK);
            return false;
        }
    }
    return true;
}

// A target without the tables would only fail at its first insert, after the questions.
bool OrvRun::tablesPresent()
{
    QStringList missing;
    for (const QString &table : std::as_const(m_system.tables)) {
        if (!QOpen(*m_query, QStringLiteral("select * from ") + table + QStringLiteral(" where 1=0")))
            missing << QLatin1Char('"') + table + QLatin1Char('"');
        m_query->Close();
    }
    if (missing.isEmpty())
        return true;
    MessageProc(m_host.Owner(),
                (missing.size() == 1 ? QStringLiteral("ReadORV: в БД ORX нет таблицы ")
                                     : QStringLiteral("ReadORV: в БД ORX нет таблиц ")) +
                    missing.join(QStringLiteral(", ")) + QStringLiteral(", импорт невозможен!"),
                MB_ICONERROR, MB_OK);
    return false;
}

void OrvRun::probeColumns(Member &member)
{
    static const QRegularExpression identifier(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    const QString table = member.header.table;
    member.header.missing.clear();
    for (int i = 0; i < member.header.fieldNames.size(); ++i) {
        const QString name = member.header.fieldNames[i];
        QStringList forms;
        if (!identifier.match(name).hasMatch())
            forms.clear(); // no statement is built from a name that is not a plain column name
        else if (table == QLatin1String("origin") && name.toLower() == QLatin1String("comment"))
            forms = {QStringLiteral("comment"), QStringLiteral("\"comment\""), QStringLiteral("`comment`"),
                     QStringLiteral("\"COMMENT\""), QStringLiteral("`COMMENT`")};
        else
            forms = {name};
        QString found;
        for (const QString &form : forms) {
            if (QOpen(*m_query, QStringLiteral("select ") + form + QStringLiteral(" from ") + table +
                                    QStringLiteral(" where eventid is null"))) {
                found = form;
                member.columnTypes[i] = m_query->Field(0)->DataType();
                break;
            }
        }
        m_query->Close();
        if (found.isEmpty()) {
            member.skip[i] = true;
            member.header.missing << name;
        } else {
            member.insertNames[i] = found;
        }
    }
    member.header.missingText = member.header.missing.join(QLatin1Char(','));
}

bool OrvRun::askMissing(const Member &member)
{
    if (member.header.missing.isEmpty())
        return true;
    return ask(QStringLiteral("Следующие поля в таблице \"") + member.header.table +
               QStringLiteral("\" отсутствуют и не могут быть импортированы: ") +
               CutForMessage(member.header.missingText, MaxQuotedStatementChars) +
               QStringLiteral("\rХотите импортировать остальные поля?")) == IDYES;
}

// A key or time field that goes in with values of another kind than its column's refuses the file
// before anything is asked.
bool OrvRun::checkKeyTypes(const Member &member)
{
    const orxheader &h = member.header;
    for (int i = 0; i < h.fieldCount; ++i) {
        if (member.skip[i] || carriesKind(h.fieldNames[i], h.fieldTypes[i]))
            continue;
        const FieldType type = FieldType(quint8(h.fieldTypes[i]));
        MessageProc(m_host.Owner(),
                    QStringLiteral("ReadORV: в файле \"") + QFileInfo(member.path).fileName() +
                        QStringLiteral("\" поле \"") + CutForMessage(h.fieldNames[i]) +
                        QStringLiteral("\" имеет тип \"") + FieldTypeName(type) +
                        (keyColumnKind(h.fieldNames[i]) == ColumnKind::Text
                             ? QStringLiteral("\", а в БД ORX оно текстовое")
                             : QStringLiteral("\", а в БД ORX оно числовое")) +
                        QStringLiteral(": файл повреждён, данные не считаны!"),
                    MB_ICONERROR, MB_OK);
        return false;
    }
    return true;
}

// The codes the database's arrivals carry, so that a station is asked about with every code its rows
// carry and the file's rows of it go in with the code most of them carry: the comparison of rtrim(sta)
// tells case apart on either back end, and a station's pages select its own code.
bool OrvRun::lookUpStationCodes()
{
    if (!m_system.tables.contains(QStringLiteral("arrival")))
        return true;
    if (!QAct(*m_query, QStringLiteral("select rtrim(sta),count(*) from arrival where sta is not null group "
                                       "by rtrim(sta)")))
        return false;
    for (; !m_query->Eof(); m_query->Next()) {
        const QString code = m_query->Field(0)->AsString();
        const qint64 rows = m_query->Field(1)->AsLargeInt();
        StoredCodes &stored = m_storedCodes[stationKey(code)];
        stored.codes << code;
        if (rows > stored.rows || (rows == stored.rows && code < stored.written)) {
            stored.written = code;
            stored.rows = rows;
        }
    }
    m_query->Close();
    return true;
}

int OrvRun::ask(const QString &text)
{
    const qint64 asked = m_host.ClockMs();
    const int answer = MessageProc(m_host.Owner(), text, MB_ICONQUESTION, MB_YESNO);
    m_asking += m_host.ClockMs() - asked;
    return answer;
}

bool OrvRun::confirmReplaceStationData(const QString &stations, const QString &code, TDateTime start,
                                       TDateTime end, const QString &period)
{
    qint64 n = 0;
    if (!count(QStringLiteral("select count(eventid) from arrival where ") + stations +
                   QStringLiteral(" and ") + period,
               n))
        return false;
    if (n <= 0)
        return true;
    const QString range =
        QStringLiteral(" уже есть землетрясения за период от ") +
        FormatDateTime(QStringLiteral("c"), start, m_locale) + QStringLiteral(" до ") +
        FormatDateTime(QStringLiteral("c"), end, m_locale) +
        QStringLiteral("\r\rХотите удалить существующие данные и записать новые?\r(удалятся ");
    const QString deleteArrivals =
        QStringLiteral("delete from arrival where ") + stations + QStringLiteral(" and ") + period;
    if (m_merge) {
        if (ask(QStringLiteral("Для станции с кодом \"") + CutForMessage(code) +
                QStringLiteral("\" в таблице \"arrival\"") + range +
                QStringLiteral("только записи для импортируемой станции)")) != IDYES)
            return false;
        m_replacements << deleteArrivals;
        return true;
    }
    if (ask(QStringLiteral("Для станции с кодом \"") + CutForMessage(code) +
            QStringLiteral("\" в таблицах \"origin\" и \"arrival\"") + range +
            QStringLiteral(
                "записи обо всех событиях в данном интервале, для всех станций внутри этих событий)")) !=
        IDYES)
        return false;
    m_replacements << QStringLiteral(
                          "delete from origin where eventid in (select eventid from arrival where ") +
                          stations + QStringLiteral(" and ") + period + QLatin1Char(')')
                   << deleteArrivals;
    return true;
}

// The station entries give a station's first and last arrival rounded to the millisecond, and its
// arrivals may hold more digits.
constexpr double kEntryRounding = 0.001;

// Reads every record the import takes before anything is asked or written, so that a file that cannot
// be read is one failure, said once.
bool OrvRun::readAhead()
{
    for (const QString &table : std::as_const(m_system.tables)) {
        for (Member &m : m_members) {
            if (m.header.table != table)
                continue;
            if (!readThrough(m, m_both && table == QLatin1String("arrival")))
                return false;
            break;
        }
    }
    return true;
}

// The file's own arrival times widen a station's range by no more than the rounding of its entry, so a
// file imported over the data it came from replaces every row it brings. An arrival further out belies
// the entry the question names, and one of a station without a usable entry (every station of a
// version-1.0 file) must lie within the file's period: else the file is damaged and is refused before
// anything is asked.
bool OrvRun::readThrough(Member &member, bool arrivalTimes)
{
    orxheader &h = member.header;
    int sta = -1, itime = -1;
    for (int i = 0; arrivalTimes && i < h.fieldCount; ++i) {
        const QString name = h.fieldNames[i].toLower();
        if (sta < 0 && name == QLatin1String("sta"))
            sta = i;
        else if (itime < 0 && name == QLatin1String("itime"))
            itime = i;
    }
    // Fields of another kind that go in are refused already; a time of another kind that does not is
    // checked no more than it is written.
    const FieldType itimeType = itime < 0 ? FieldType::Unknown : FieldType(quint8(h.fieldTypes[itime]));
    if (sta < 0 || itime < 0 || !IsOrvStringType(h.fieldTypes[sta]) ||
        !(IsIntegerFieldType(itimeType) || IsFloatFieldType(itimeType)))
        arrivalTimes = false;
    // The usable entries of a station, their times as epoch seconds beside them.
    struct Entry
    {
        torxhsta entry;
        EpochSpan span;
    };
    QHash<QString, QList<Entry>> entries;
    const orxheader &first = m_members.first().header;
    for (const torxhsta &s : first.stations)
        if (arrivalTimes && s.start > 0 && s.end > 0)
            entries[stationKey(s.code)]
                << Entry{s, {epochOf(s.start) - kEntryRounding, epochOf(s.end) + kEntryRounding, true}};
    const HeaderPeriod period = headerPeriod(first);
    // The numbers going into whole-number columns, with what those columns hold.
    struct Whole
    {
        int field;
        qint64 low, high;
    };
    QList<Whole> wholes;
    for (int i = 0; i < h.fieldCount; ++i) {
        const FieldType type = FieldType(quint8(h.fieldTypes[i]));
        if (!member.skip[i] && (IsIntegerFieldType(type) || IsFloatFieldType(type)) &&
            wholeColumn(h.fieldNames[i], member.columnTypes[i])) {
            const auto [low, high] = wholeRange(member.columnTypes[i]);
            wholes.append({i, low, high});
        }
    }
    QFile file(member.path);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(member.recordsAt)) {
        damaged(member.path);
        return false;
    }
    for (int row = 1;; ++row) {
        const OrvReadStatus status = ReadOrvRecord(file, h, m_forms);
        if (status == OrvReadStatus::End)
            return true;
        if (status != OrvReadStatus::Ok)
            return readFailed(status, member, row);
        for (const Whole &w : std::as_const(wholes)) {
            if (h.nulls[w.field] || holdsWhole(h.values[w.field], w.low, w.high))
                continue;
            const QVariant &v = h.values[w.field];
            MessageProc(m_host.Owner(),
                        QStringLiteral("ReadORV: в файле \"") + QFileInfo(member.path).fileName() +
                            QStringLiteral("\" поле \"") + CutForMessage(h.fieldNames[w.field]) +
                            QStringLiteral("\" (запись ") + QString::number(row) +
                            QStringLiteral(") имеет значение ") +
                            (v.typeId() == QMetaType::Double ? SqlNumber(v.toDouble()) : v.toString()) +
                            QStringLiteral(", а в БД ORX оно целое, от ") + QString::number(w.low) +
                            QStringLiteral(" до ") + QString::number(w.high) +
                            QStringLiteral(": файл повреждён, данные не считаны!"),
                        MB_ICONERROR, MB_OK);
            return false;
        }
        if (!arrivalTimes || h.nulls[sta] || h.nulls[itime])
            continue;
        const double t = h.values[itime].toDouble();
        const QString code = h.values[sta].toString().trimmed(), key = stationKey(code);
        const auto own = entries.constFind(key);
        const bool hasEntry = own != entries.cend();
        const bool within = hasEntry ? std::any_of(own->cbegin(), own->cend(),
                                                   [t](const Entry &e) { return e.span.contains(t); })
                                     : period.span.contains(t);
        if (!within) {
            const TDateTime from = hasEntry ? own->first().entry.start : period.start;
            const TDateTime to = hasEntry ? own->first().entry.end : period.last;
            MessageProc(m_host.Owner(),
                        QStringLiteral("ReadORV: в файле \"") + QFileInfo(member.path).fileName() +
                            QStringLiteral("\" время прихода станции \"") + CutForMessage(code) +
                            QStringLiteral("\" (запись ") + QString::number(row) +
                            QStringLiteral(", itime = ") + epochText(t) +
                            (hasEntry ? QStringLiteral(") вне её периода в заголовке, от ")
                                      : QStringLiteral(") вне периода файла в заголовке, от ")) +
                            FormatDateTime(QStringLiteral("c"), from, m_locale) + QStringLiteral(" до ") +
                            FormatDateTime(QStringLiteral("c"), to, m_locale) +
                            QStringLiteral(": файл повреждён, данные не считаны!"),
                        MB_ICONERROR, MB_OK);
            return false;
        }
        const auto found = m_arrivalTimes.find(key);
        if (found == m_arrivalTimes.end())
            m_arrivalTimes.insert(key, {t, t});
        else
            *found = {qMin(found->first, t), qMax(found->second, t)};
    }
}

// Says why a record could not be read, where the reader has not; false.
bool OrvRun::readFailed(OrvReadStatus status, const Member &member, int row)
{
    if (status == OrvReadStatus::NulText)
        refuseNul(member.path, QStringLiteral("запись ") + QString::number(row));
    else if (status != OrvReadStatus::ShortText && status != OrvReadStatus::Unsupported)
        damaged(member.path);
    return false;
}

// Asks, before anything is written, whether the file's stations may replace what they hold for its
// period; the deletions agreed to run first in the import's transaction. A station's rows are found as
// the database holds its code: trimmed and in any case, which neither back end's comparison of
// rtrim(sta) does, so they are named by every code the station's rows carry.
bool OrvRun::askReplacements()
{
    struct Asked
    {
        QString code;
        TDateTime start, end;
        EpochSpan span;
    };
    QList<Asked> asked;
    const orxheader &first = m_members.first().header;
    if (m_version == OrvVersion::V10) {
        const HeaderPeriod period = headerPeriod(first);
        asked.append({m_stationsText.trimmed(), period.start, period.last, period.span});
    } else {
        for (const torxhsta &s : first.stations) {
            if (!(s.start > 0 && s.end > 0))
                continue;
            // What is deleted stays within the rounding of the times the question names.
            double from = epochOf(s.start), to = epochOf(s.end);
            const auto own = m_arrivalTimes.constFind(stationKey(s.code));
            if (own != m_arrivalTimes.cend()) {
                from = qMax(qMin(from, own->first), from - kEntryRounding);
                to = qMin(qMax(to, own->second), to + kEntryRounding);
            }
            asked.append({s.code.trimmed(), s.start, s.end, {from, to, true}});
        }
    }
    for (const Asked &a : std::as_const(asked)) {
        const auto stored = m_storedCodes.constFind(stationKey(a.code));
        if (stored == m_storedCodes.cend())
            continue;
        QStringList codes;
        for (const QString &code : stored->codes)
            codes << SqlQuote(code);
        const QString stations = codes.size() == 1 ? QStringLiteral("rtrim(sta)=") + codes.first()
                                                   : QStringLiteral("rtrim(sta) in (") +
                                                         codes.join(QLatin1Char(',')) + QLatin1Char(')');
        if (!confirmReplaceStationData(stations, a.code, a.start, a.end, a.span.condition()))
            return false;
    }
    return true;
}

void OrvRun::log(const QString &header, const QString &line)
{
    bool ok = true;
    if (!m_log) {
        m_log =
            std::make_unique<SafeFileWriter>(m_host.ProgramFolder() + QStringLiteral("system/log_imp.txt"));
        ok = m_log->open() && m_log->write(toCp1251(header + QStringLiteral("\r\n")));
    }
    ok = ok && m_log->write(toCp1251(line + QStringLiteral("\r\n")));
    if (!ok) {
        // The old log stays; the run ends with the reason.
        const QString message = SafeWriteMessage(m_log->fileName(), m_log->errorString());
        m_log->cancel();
        m_logFailed = true;
        throw EFileError(message);
    }
}

bool OrvRun::applyEventIdRules(Member &member, int field, bool &insert)
{
    orxheader &h = member.header;
    QString text = OrvFieldText(h, field, false);
    const bool quoted = IsOrvStringType(h.fieldTypes[field]);
    const auto replaceWith = [&](const QString &id) {
        text = id;
        bool number = false;
        const qlonglong n = id.toLongLong(&number);
        h.values[field] = quoted || !number ? QVariant(id) : QVariant(n);
    };
    if (h.table == QLatin1String("origin")) {
        m_originIds.insert(text.toLower());
        // Free already when asked with the records around it, and no row given since takes it.
        if (knownFree(h, field))
            return true;
        if (m_merge) {
            qint64 n = 0;
            // Compared as the text its column holds, whatever the type the file gives it.
            if (!count(QStringLiteral("select count(eventid) from origin where eventid=") + SqlQuote(text),
                       n))
                return false;
            if (n > 0)
                insert = false;
            return true;
        }
        std::optional<QString> found;
        try {
            found = m_unique->MakeUniqueEventId(text);
        } catch (const EventIdsExhausted &e) {
            MessageProc(m_host.Owner(),
                        QStringLiteral("ReadORV: ") + e.message() +
                            QStringLiteral(" (таблица origin, запись ") + QString::number(m_step) +
                            QStringLiteral(").\rИмпорт прерван, БД ORX не изменена."),
                        MB_ICONERROR, MB_OK);
            return false;
        }
        if (!found)
            return false;
        const QString renamed = *found;
        if (!renamed.isEmpty()) {
            QString old = text;
            if (old.size() < 24)
                old = old.leftJustified(24, QLatin1Char(' '));
            log(QStringLiteral("EVENTID                 NEW_EVENTID"), old + renamed);
            replaceWith(renamed);
        }
        return true;
    }
    if (!m_originIds.contains(text.toLower())) {
        insert = false;
        m_skippedIds.insert(text.toLower());
        if (m_stats)
            ++m_stats->skipped;
        log(QStringLiteral("EVENTID"), text);
        return true;
    }
    const QString renamed = m_unique->Renamed(text);
    if (!renamed.isEmpty())
        replaceWith(renamed);
    return true;
}

void OrvRun::progressStep()
{
    ++m_done;
    if (!m_progressShown || m_clock.elapsed() - m_lastRefresh <= 500)
        return;
    // Only painting: a click elsewhere now would work on the connection under us.
    m_host.SetProgress(int(qMin<qint64>(m_done, m_progressMaximum)), QString::number(m_done) + m_suffix);
    m_lastRefresh = m_clock.elapsed();
}

bool OrvRun::readTable(Member &member)
{
    orxheader &h = member.header;
    m_table = h.table;
    QFile file(member.path);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(member.recordsAt)) {
        damaged(member.path);
        return false;
    }
    const int fields = h.fieldCount;
    const bool origin = h.table == QLatin1String("origin");
    int eventIdColumn = -1, staColumn = -1;
    QList<int> timeColumns;
    TD2D *view = nullptr;
    if (m_viewOnly) {
        // Sized by the count the file states, which its bytes bound, within what the view may take.
        if (!m_viewBudget->takeCells(fields, qint64(h.recordCount) + 1) ||
            !m_viewBudget->takeTexts(h.fieldNames)) {
            tooLarge(member.path, fields, qint64(h.recordCount) + 1);
            return false;
        }
        view = &m_host.ViewTable(origin ? 1 : 2);
        view->Init(fields, h.recordCount + 1);
        QSet<QString> seen;
        for (int i = 0; i < fields; ++i) {
            view->SetCell(i, 0, h.fieldNames[i]);
            const QString lower = h.fieldNames[i].toLower();
            const bool isTime = origin ? lower == QLatin1String("origintime")
                                       : lower == QLatin1String("itime") || lower == QLatin1String("amptime");
            if (isTime && !seen.contains(lower)) {
                seen.insert(lower);
                timeColumns << i;
            }
        }
    } else {
        for (int i = 0; i < fields && eventIdColumn < 0; ++i)
            if (h.fieldNames[i].toLower() == QLatin1String("eventid"))
                eventIdColumn = i;
        for (int i = 0; !origin && i < fields && staColumn < 0; ++i)
            if (h.fieldNames[i].toLower() == QLatin1String("sta") && !member.skip[i] &&
                IsOrvStringType(h.fieldTypes[i]))
                staColumn = i;
        QStringList columns;
        for (int i = 0; i < fields; ++i)
            if (!member.skip[i])
                columns << member.insertNames[i];
        if (!m_waiting.isEmpty())
            m_lastSql = insertText(m_waiting.last());
        m_waiting.clear();
        m_inserts = std::make_unique<DbInsertBatch>(*m_query->Connection(), h.table, columns);
        m_inserting = &member;
    }

    m_step = 1;
    m_ahead.clear();
    const bool asksAhead = !m_viewOnly && origin && eventIdColumn >= 0 && !member.skip[eventIdColumn];
    for (int row = 1;; ++row) {
        const OrvReadStatus status = nextRecord(file, h);
        if (status == OrvReadStatus::End)
            break;
        if (status != OrvReadStatus::Ok)
            return readFailed(status, member, row);
        progressStep();
        if (view) {
            for (int i : std::as_const(timeColumns))
                if (!h.texts[i].isEmpty())
                    h.texts[i] = calendarText(h.texts[i]);
            // The count only sized the table; the records run to the end of the member.
            const bool added = row >= view->RowCount();
            if ((added && !m_viewBudget->growTable(fields, row, qint64(row) + 1)) ||
                !m_viewBudget->takeTexts(h.texts)) {
                clearViews();
                tooLarge(member.path, fields, qint64(row) + 1);
                return false;
            }
            if (added)
                view->AddRows(1);
            for (int i = 0; i < fields; ++i)
                view->SetCell(i, row, h.texts[i]);
            continue;
        }
        bool insert = true;
        if (asksAhead && !h.nulls[eventIdColumn] && !m_currentMayBeTaken.has_value() &&
            !lookAhead(file, member, eventIdColumn))
            return false;
        if (eventIdColumn >= 0 && !h.nulls[eventIdColumn] && !member.skip[eventIdColumn] &&
            !applyEventIdRules(member, eventIdColumn, insert))
            return false;
        if (insert && asksAhead && !h.nulls[eventIdColumn])
            m_insertedIds.insert(EventIdKey(OrvFieldText(h, eventIdColumn, false)));
        if (insert && staColumn >= 0 && !h.nulls[staColumn]) {
            // A station the database holds goes in under its own code; a new one as the file gives it,
            // without the blanks and tabs around it, so that it meets itself the next time.
            const QString code = h.values[staColumn].toString();
            const auto stored = m_storedCodes.constFind(stationKey(code));
            h.values[staColumn] = stored != m_storedCodes.cend() ? stored->written : code.trimmed();
        }
        if (insert) {
            // The values are bound, a NULL left to the table as a statement that does not name it would.
            InsertedRow r;
            r.step = m_step;
            r.values.reserve(fields);
            for (int i = 0; i < fields; ++i) {
                if (member.skip[i])
                    continue;
                r.values << (h.nulls[i] ? QVariant() : h.values[i]);
                if (!h.nulls[i] && IsDateFieldType(FieldType(quint8(h.fieldTypes[i]))))
                    r.dates << h.dates[i];
            }
            m_waiting << r;
            m_inserts->add(r.values, m_step);
            // Only the rows still waiting can be refused; the last one stays for the message of a failure
            // elsewhere.
            const qsizetype keep = qMax(m_inserts->waiting(), 1);
            if (m_waiting.size() > keep)
                m_waiting.remove(0, m_waiting.size() - keep);
            if (m_stats)
                ++m_stats->inserted;
        }
        ++m_step;
    }
    if (m_inserts)
        m_inserts->send();
    return true;
}

QString OrvRun::insertText(const InsertedRow &row) const
{
    const orxheader &h = m_inserting->header;
    QString names, values;
    qsizetype at = 0, dates = 0;
    for (int i = 0; i < h.fieldCount; ++i) {
        if (m_inserting->skip[i])
            continue;
        const QVariant &v = row.values[at++];
        if (!v.isValid())
            continue;
        const FieldType type = FieldType(quint8(h.fieldTypes[i]));
        names += m_inserting->insertNames[i] + QLatin1Char(',');
        values +=
            OrvValueText(h.fieldTypes[i], v, IsDateFieldType(type) ? row.dates.value(dates++) : 0, true) +
            QLatin1Char(',');
    }
    names.chop(1);
    values.chop(1);
    return QStringLiteral("insert into ") + h.table + QStringLiteral(" (") + names +
           QStringLiteral(") values (") + values + QLatin1Char(')');
}

OrvReadStatus OrvRun::nextRecord(QFile &file, orxheader &h)
{
    m_currentMayBeTaken.reset();
    if (m_ahead.empty())
        return ReadOrvRecord(file, h, m_forms);
    AheadRecord r = std::move(m_ahead.front());
    m_ahead.pop_front();
    for (const auto &[text, icon] : std::as_const(r.messages))
        MessageProc(nullptr, text, icon, MB_OK);
    if (r.status == OrvReadStatus::Ok) {
        h.values = std::move(r.values);
        h.nulls = std::move(r.nulls);
        h.dates = std::move(r.dates);
        m_currentMayBeTaken = r.mayBeTaken;
    }
    return r.status;
}

// Reads the next origins ahead and asks in one statement which of their EVENTIDs, and the current one's,
// the database may hold, comparing them as UniqueEventIds and the merge do; false once the statement
// runner has shown why it failed.
bool OrvRun::lookAhead(QFile &file, Member &member, int eventIdColumn)
{
    constexpr int kAhead = 500;
    orxheader &h = member.header;
    const orxheader current = h;
    const auto id = [&](const QVariant &value, double date) {
        return OrvValueText(h.fieldTypes[eventIdColumn], value, date, false);
    };
    QStringList ids{OrvFieldText(h, eventIdColumn, false)};
    {
        // What the reader says goes with the record it stopped at, shown when the import gets there.
        const MessageProcType shown = MessageProc;
        const auto restore = qScopeGuard([&] { MessageProc = shown; });
        while (int(m_ahead.size()) < kAhead) {
            AheadRecord r;
            MessageProc = [&r](QWidget *, const QString &text, unsigned icon, unsigned) {
                r.messages.append({text, icon});
                return int(IDOK);
            };
            r.status = ReadOrvRecord(file, h, m_forms);
            if (r.status == OrvReadStatus::Ok) {
                r.values = h.values;
                r.nulls = h.nulls;
                r.dates = h.dates;
                if (!h.nulls[eventIdColumn])
                    ids << OrvFieldText(h, eventIdColumn, false);
            }
            const bool last = r.status != OrvReadStatus::Ok;
            m_ahead.push_back(std::move(r));
            if (last)
                break;
        }
    }
    h = current;
    QStringList quoted;
    for (const QString &id : std::as_const(ids))
        quoted << SqlQuote(id);
    const QString sql = m_merge ? QStringLiteral("select eventid from origin where eventid in (") +
                                      quoted.join(QLatin1Char(',')) + QLatin1Char(')')
                                : TakenEventIdsStatement(ids);
    QStringList stored;
    if (!list(sql, stored))
        return false;
    QSet<QString> held;
    for (const QString &id : std::as_const(stored))
        held.insert(EventIdKey(id));
    m_currentMayBeTaken = held.contains(EventIdKey(ids.first()));
    for (AheadRecord &r : m_ahead)
        if (r.status == OrvReadStatus::Ok && !r.nulls[eventIdColumn])
            r.mayBeTaken = held.contains(EventIdKey(id(r.values[eventIdColumn], r.dates[eventIdColumn])));
    return true;
}

bool OrvRun::knownFree(const orxheader &h, int field) const
{
    return m_currentMayBeTaken.has_value() && !*m_currentMayBeTaken &&
           !m_insertedIds.contains(EventIdKey(OrvFieldText(h, field, false)));
}

void OrvRun::showStatus()
{
    const orxheader &first = m_members.first().header;
    m_host.ShowStatus(
        QStringLiteral("Станции: ") + m_stationsText,
        QStringLiteral("с ") + FormatDateTime(QStringLiteral("c"), first.periodStart, m_locale) +
            QStringLiteral(" по ") + FormatDateTime(QStringLiteral("c"), first.periodEnd, m_locale),
        m_version == OrvVersion::V10 ? QStringLiteral("Версия ORV: 1.0") : QStringLiteral("Версия ORV: 1.1"));
}

void OrvRun::run()
{
    const qint64 started = m_host.ClockMs();
    m_host.ClearImportGrid();
    // Set once the connection is open; it is closed whether it opened or not.
    DbConnection *conn = nullptr;
    bool opening = false;
    ProgramTempDir unpacked;
    const auto cleanup = qScopeGuard([&] {
        m_host.HideProgress();
        // Ended before anything is said of the failure.
        m_transaction.reset();
        m_inserts.reset();
        m_query.reset();
        m_command.reset();
        if (opening)
            m_host.CloseOrx();
        if (m_log && !m_logFailed && !m_log->commit())
            MessageProc(m_host.Owner(), SafeWriteMessage(m_log->fileName(), m_log->errorString()),
                        MB_ICONERROR, MB_OK);
        unpacked.remove();
    });
    try {
        if (!unpacked.isValid())
            throw EFileError(QStringLiteral("Не удалось создать временную папку: ") + unpacked.errorString());
        if (!unpack(unpacked.path()) || !readMembers(unpacked.path()))
            return;
        if (m_viewOnly) {
            qint64 unpackedBytes = 0;
            for (const QFileInfo &f : QDir(unpacked.path()).entryInfoList(QDir::Files | QDir::Hidden))
                unpackedBytes += f.size();
            m_viewBudget.emplace(QFileInfo(m_fileName).size(), unpackedBytes);
        }
        m_both = m_system.tables.contains(QStringLiteral("origin")) &&
                 m_system.tables.contains(QStringLiteral("arrival"));
        if (!m_viewOnly) {
            opening = true;
            if (!m_host.OpenOrx())
                return;
            conn = &m_host.OrxConnection();
            m_query = std::make_unique<DbQuery>(conn);
            m_command = std::make_unique<DbCommand>(conn);
            m_unique.emplace([this](const QString &sql, qint64 &n) { return count(sql, n); },
                             [this](const QString &sql, QStringList &ids) { return list(sql, ids); });
            if (!tablesPresent())
                return;
            // Every column is looked up before the transaction: a failed lookup would spoil it on
            // servers that give up a transaction at its first error.
            QList<Member *> taken;
            for (const QString &table : std::as_const(m_system.tables))
                for (Member &m : m_members)
                    if (m.header.table == table)
                        taken << &m;
            for (Member *m : std::as_const(taken))
                probeColumns(*m);
            for (const Member *m : std::as_const(taken))
                if (!checkKeyTypes(*m))
                    return;
            // Every value is checked against the column it goes into, before anything is asked.
            if (!readAhead())
                return;
            for (const Member *m : std::as_const(taken))
                if (!askMissing(*m))
                    return;
            if (!lookUpStationCodes() || (m_both && !askReplacements()))
                return;
            // From here on the database is locked for other writers: what goes wrong is said once the
            // transaction is rolled back.
            m_transaction.emplace(*conn);
            for (const QString &sql : std::as_const(m_replacements))
                if (!QExe(*m_command, sql))
                    return;
        }

        m_host.ShowProgress();
        m_progressShown = true;
        m_progressMaximum = int(qMin<qint64>(m_total, INT_MAX));
        m_host.SetProgressMaximum(m_progressMaximum);
        m_suffix = QStringLiteral(" из ") + QString::number(m_total);
        m_clock.start();

        for (const QString &table : std::as_const(m_system.tables)) {
            for (Member &m : m_members) {
                if (m.header.table != table)
                    continue;
                if (!readTable(m))
                    return;
                break;
            }
        }
        if (!m_viewOnly) {
            m_transaction->commit();
            if (m_stats)
                m_stats->committed = true;
        }
        m_host.HideProgress();
        showStatus();
        if (m_viewOnly) {
            if (m_stats)
                m_stats->viewed = true;
            return;
        }
        if (m_stats)
            m_stats->renamed = int(m_unique->renames().size());
        QString text = QStringLiteral("Готово!");
        if (!m_unique->renames().isEmpty())
            text += QStringLiteral("\r\rНекоторые EVENTID изменены, т.к. обнаружены совпадения!");
        if (!m_skippedIds.isEmpty())
            text +=
                QStringLiteral("\r\rНарушена целостность данных (некоторые записи из ARRIVAL имеют EVENTID,\r"
                               "отсутствующий в ORIGIN, эти записи пропущены, см. в ") +
                m_host.ProgramFolder() + QStringLiteral("system/log_imp.txt).");
        text += QStringLiteral("\r\rИмпорт занял ") +
                FloatToStr(std::round((m_host.ClockMs() - started - m_asking) / 10.0) / 100.0) +
                QStringLiteral(" секунд.");
        MessageProc(m_host.Owner(), text, MB_ICONINFORMATION, MB_OK);
    } catch (const std::exception &e) {
        m_host.HideProgress();
        const QString reason = ExceptionText(e);
        if (dynamic_cast<const std::bad_alloc *>(&e) && m_viewOnly)
            clearViews();
        // A file only looked at, or one that failed before the database was opened (an archive that
        // does not unpack), touched no database: the failure is the file's, in the ZIP layer's words.
        if (m_viewOnly || !conn)
            MessageProc(m_host.Owner(),
                        QStringLiteral("ReadORV: Не удалось прочитать файл \"") +
                            QFileInfo(m_fileName).fileName() + QStringLiteral("\".\rСообщение об ошибке:\r") +
                            reason,
                        MB_ICONERROR, MB_OK);
        else {
            // The row refused may have waited for others; the last one given stands for a failure elsewhere.
            const auto *refused = dynamic_cast<const DbBatchError *>(&e);
            for (const InsertedRow &r : std::as_const(m_waiting))
                if (refused && r.step == refused->tag()) {
                    m_step = r.step;
                    m_lastSql = insertText(r);
                }
            if (!refused && !m_waiting.isEmpty())
                m_lastSql = insertText(m_waiting.last());
            MessageProc(m_host.Owner(),
                        QStringLiteral("ReadORV: Не удалось импортировать данные в БД ORX.\rшаг цикла = ") +
                            QString::number(m_step) + QStringLiteral("; таблица = ") + m_table +
                            QStringLiteral("; last sql = \r\r") +
                            CutForMessage(m_lastSql, MaxQuotedStatementChars) +
                            QStringLiteral("\r\rСообщение об ошибке:\r") + reason,
                        MB_ICONERROR, MB_OK);
        }
    }
}

} // namespace

qint64 OrvImportHost::ClockMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void ReadORV(OrvImportHost &Host, const QString &FileName, bool ViewOnly, OrvImportStats *Stats)
{
    OrvRun(Host, FileName, ViewOnly, Stats).run();
}
