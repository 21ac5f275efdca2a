#include "products/orx_summary.h"

#include "db/db_connection.h"
#include "db/db_query.h"
#include "lib/codec.h"
#include "lib/epoch.h"
#include "lib/errors.h"
#include "lib/messages.h"
#include "lib/number_routines.h"
#include "lib/safe_write.h"
#include "lib/sql_text.h"
#include "lib/statements.h"
#include "products/summary_rules.h"
#include "products/summary_text.h"

#include <QFileInfo>
#include <QHash>
#include <QLocale>
#include <QSet>

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>
#include <vector>

namespace {

const QChar LF(u'\n');

QString two(int v)
{
    return QString::number(v).rightJustified(2, QLatin1Char('0'));
}

// Calendar parts of an epoch to the millisecond.
struct Parts
{
    int day = 0, month = 0, hour = 0, min = 0, sec = 0, ms = 0;
    double secs = 0; // second + milliseconds / 1000
    QString secText() const
    {
        return ms / 100 != 0 ? two(sec) + QLatin1Char('.') + QString::number(ms / 100) : two(sec);
    }
};

Parts partsOf(double Epoch)
{
    quint16 y, m, d, h, n, s, frac;
    if (!etoh(Epoch, y, m, d, h, n, s, frac, true))
        throw EConvertError(QStringLiteral("Время вне допустимого диапазона: ") +
                            QString::number(Epoch, 'g', QLocale::FloatingPointShortest));
    Parts p;
    p.day = d;
    p.month = m;
    p.hour = h;
    p.min = n;
    p.sec = s;
    p.ms = frac;
    p.secs = s + frac / 1000.0;
    return p;
}

QString fieldText(TDataSet &q, const char *name)
{
    const TField *f = q.FindField(QString::fromLatin1(name));
    return f && !f->IsNull() ? f->AsString().trimmed() : QString();
}

double fieldNumber(TDataSet &q, const char *name)
{
    const TField *f = q.FindField(QString::fromLatin1(name));
    return f && !f->IsNull() ? f->AsFloat() : 0.0;
}

bool fieldNull(TDataSet &q, const char *name)
{
    const TField *f = q.FindField(QString::fromLatin1(name));
    return !f || f->IsNull();
}

void dropTrailingBlank(QString &Text)
{
    if (Text.endsWith(QLatin1Char(' ')))
        Text.chop(1);
}

bool oneOf(const QString &s, std::initializer_list<const char *> names)
{
    return std::any_of(names.begin(), names.end(), [&](const char *n) { return s == QLatin1String(n); });
}

QString withPoint(QString s)
{
    EnsureDecimalPoint(s);
    return s;
}

} // namespace

void OrxEventText::AppendEvent(QString &Text, TDataSet &Origin, TDataSet &Arrivals)
{
    const QString eventid = fieldText(Origin, "eventid");
    dropTrailingBlank(Text);
    Text += LF;

    int lastHour = -1, lastMin = -1, lastSec = -1, lastMs = -1, lastGroup = 0;
    double lastSecs = -1, lastItime = -1;
    QString lastName, lastDesig, lastBody;
    QString distance, klass, ms, mpsp, mplp;
    QList<tchanrec> designations;

    for (Arrivals.First(); !Arrivals.Eof(); Arrivals.Next()) {
        const double itime = fieldNumber(Arrivals, "itime");
        const Parts t = partsOf(itime);
        if (t.day != m_lastDay) {
            if (!Text.endsWith(LF))
                Text += LF;
            Text += MonthAbbreviation(t.month) + two(t.day) + LF;
            // Once written, the date line stands for every later arrival of that day.
            m_lastDay = t.day;
        }

        QString chanType = fieldText(Arrivals, "CHANTYPE").toUpper();
        if (chanType.isEmpty() || chanType == QLatin1String("BH"))
            chanType = QStringLiteral("BP");
        const bool shortPeriod = !IsNotSP(chanType);
        const QString chan = fieldText(Arrivals, "chan").toUpper();
        if (chan.isEmpty())
            throw OrxSummaryError{QStringLiteral("Не найдена компонента канала (eventid = ") +
                                  CutForMessage(eventid) + QStringLiteral(")!")};
        const QString component = chan.size() > 3 ? chan.mid(2, 1) : chan.right(1);
        const QString desig = chanType + component;

        const QString imEm = fieldText(Arrivals, "im_em").toUpper();
        QString onset;
        if (imEm.startsWith(QLatin1Char('E')))
            onset = QStringLiteral("E");
        else if (imEm.startsWith(QLatin1Char('I')))
            onset = QStringLiteral("I");
        else if (imEm.startsWith(QLatin1Char('W')))
            onset = QStringLiteral("Q");

        QString name = fieldText(Arrivals, "iphase");
        const QString upper = name.toUpper();
        const bool ampOnly = oneOf(upper, {"TX", "AML", "AMB", "AMS"});
        const bool surface = oneOf(upper, {"LR", "LQ", "LRM", "LQM"});
        const bool lr = upper == QLatin1String("LR") || upper == QLatin1String("LRM");
        const bool lq = upper == QLatin1String("LQ") || upper == QLatin1String("LQM");
        if (ampOnly)
            name = lastBody.isEmpty() ? QStringLiteral("P") : lastBody;
        else if (upper == QLatin1String("LRM") || upper == QLatin1String("LQM"))
            name = name.left(2);
        else if (oneOf(upper, {"_", "SX", "N", "I", "E", "TK", "A"}))
            name = onset.isEmpty() ? QStringLiteral("E") : onset;

        const int row = m_waves.ColCount() > wcPhase ? m_waves.Columns[wcPhase].indexOf(name) : -1;
        if (row < 0) {
            if (!m_unknown.contains(name, Qt::CaseInsensitive))
                m_unknown << name;
            continue;
        }
        const QString msk = m_waves.GetCell(wcSummaryName, row);
        const int group = PhaseGroup(name.toUpper());
        const bool groupChanged = group != lastGroup;

        QString timeText;
        if (t.hour != lastHour || (groupChanged && group == 1))
            timeText = two(t.hour);
        if (!lr) {
            if (!(timeText.isEmpty() && t.min == lastMin && t.sec == lastSec && t.ms == lastMs))
                timeText += two(t.min) + t.secText();
        } else if (!(timeText.isEmpty() && t.min == lastMin && t.secs == lastSecs)) {
            timeText += two(t.min) + two(int(RoundDecimals(t.secs, 0)));
        }

        const QString fm = fieldText(Arrivals, "fm").toUpper();
        QString fmLetter;
        const QChar f = fm.isEmpty() ? QChar() : fm.front();
        const bool compression = f == u'+' || f == u'C' || f == u'U';
        const bool dilatation = f == u'-' || f == u'D' || f == u'R';
        if (compression || dilatation) {
            if (component == QLatin1String("Z"))
                fmLetter = compression ? QStringLiteral("C") : QStringLiteral("D");
            else if (component == QLatin1String("N"))
                fmLetter = compression ? QStringLiteral("N") : QStringLiteral("S");
            else if (component == QLatin1String("E"))
                fmLetter = compression ? QStringLiteral("E") : QStringLiteral("W");
            else
                throw OrxSummaryError{QStringLiteral("Неверная компонента канала: \"") + component +
                                      QStringLiteral("\" (eventid = ") + CutForMessage(eventid) +
                                      QLatin1Char(')')};
        }

        const double per = fieldNumber(Arrivals, "per");
        QString ampTimeText, periodText, amplText, waveType;
        if (!fieldNull(Arrivals, "ampl")) {
            const bool ownTime =
                !fieldNull(Arrivals, "amptime") && fieldNumber(Arrivals, "amptime") - itime >= per / 2;
            const Parts a = partsOf(ownTime ? fieldNumber(Arrivals, "amptime") : itime + per / 2);
            ampTimeText = (a.hour != t.hour ? two(a.hour) : QString()) + two(a.min) + a.secText();
            if (ampOnly) {
                waveType = QStringLiteral("MP");
            } else if (group == 1) {
                waveType = QStringLiteral("SP");
            } else if (group == 3) {
                waveType = QStringLiteral("LP");
            } else {
                waveType = chanType;
                QString filter = fieldText(Arrivals, "AFILTYPE");
                if (filter.isEmpty())
                    filter = fieldText(Arrivals, "PFILTYPE");
                const QStringList tokens = filter.split(QLatin1Char(' '), Qt::SkipEmptyParts);
                double low = 0, high = 0;
                if (tokens.size() >= 2 && TryStrToFloatAny(tokens[0], low) &&
                    TryStrToFloatAny(tokens[1], high))
                    for (const tfilt &flt : m_filters)
                        if (std::fabs(flt.low - low) <= 1E-5 && std::fabs(flt.high - high) <= 1E-5)
                            waveType = flt.kind;
            }
            const double factor = GetAmplitudeFactor(m_waves, m_factors, row, waveType);
            amplText = withPoint(SummaryNumber(fieldNumber(Arrivals, "ampl") * factor, 3));
            periodText = surface ? SummaryNumber(per, 0) : withPoint(SummaryNumber(per, 1));
        }

        FieldToSummaryNumber(klass, 1, Arrivals.FindField(QStringLiteral("REGCLASS")), false);
        FieldToSummaryNumber(distance, 1, Arrivals.FindField(QStringLiteral("DIST")), false);
        FieldToSummaryNumber(ms, 1, Arrivals.FindField(QStringLiteral("ms")), true);
        FieldToSummaryNumber(mpsp, 1, Arrivals.FindField(QStringLiteral("MPSP")), true);
        FieldToSummaryNumber(mplp, 1, Arrivals.FindField(QStringLiteral("MPLP")), true);

        if (groupChanged && group > 1 && !Text.endsWith(LF)) {
            dropTrailingBlank(Text);
            Text += LF;
        }

        bool noXm = false;
        if (msk != lastName || groupChanged || (group > 1 && itime != lastItime)) {
            if (desig != lastDesig || (groupChanged && group == 1))
                designations << tchanrec{desig + QLatin1Char(' '), int(Text.size()) + 1, groupChanged, false};
            Text += (onset == msk || surface) ? msk : onset + msk;
            if (lq && !periodText.isEmpty()) {
                if (per >= 100.0) {
                    Text += timeText + QLatin1Char(' ');
                    noXm = true;
                } else {
                    Text += QLatin1Char(' ');
                }
            } else {
                Text += timeText + QLatin1Char(' ');
            }
        }

        const int fmPoint = int(Text.size()) + 1;
        if (!amplText.isEmpty()) {
            if (!waveType.isEmpty())
                designations << tchanrec{waveType + component + QLatin1Char(' '), int(Text.size()) + 1, false,
                                         false};
            if (!noXm)
                Text += QStringLiteral("XM") + ampTimeText + QLatin1Char(' ');
            Text += QLatin1Char('T') + periodText + QLatin1Char('A') + amplText + QLatin1Char(' ');
        }

        if (!fmLetter.isEmpty()) {
            const QString fmGroup =
                (shortPeriod ? QStringLiteral("FM") + fmLetter : QStringLiteral("FM,") + fmLetter) +
                QLatin1Char(' ');
            Text.insert(fmPoint - 1, fmGroup);
            for (tchanrec &d : designations)
                if (d.position >= fmPoint)
                    d.position += int(fmGroup.size());
        }

        lastGroup = group;
        lastDesig = desig;
        lastName = msk;
        if (!ampOnly)
            lastBody = name;
        lastItime = itime;
        lastHour = t.hour;
        lastMin = t.min;
        lastSec = t.sec;
        lastMs = t.ms;
        lastSecs = t.secs;
    }

    // The closing comment.
    QStringList parts;
    if (!fieldNull(Origin, "origintime")) {
        const Parts o = partsOf(fieldNumber(Origin, "origintime"));
        if (!(o.hour == 0 && o.min == 0 && o.sec == 0 && o.ms < 50))
            parts << QStringLiteral("FOCUS ") + two(o.hour) + two(o.min) + two(o.sec) + QLatin1Char('.') +
                         (o.ms / 100 != 0 ? QString::number(o.ms / 100) : QString());
    }
    if (!fieldNull(Origin, "lat") && !fieldNull(Origin, "lon")) {
        const auto coordinate = [](double v, QChar negative, QChar positive) {
            const double r = RoundDecimals(v, 1);
            return withPoint(SummaryNumber(std::fabs(r), 1)) + (r < 0 ? negative : positive);
        };
        parts << QStringLiteral("LAT ") + coordinate(fieldNumber(Origin, "lat"), u'S', u'N') +
                     QStringLiteral(" LON ") + coordinate(fieldNumber(Origin, "lon"), u'W', u'E');
    }
    if (!fieldNull(Origin, "depth"))
        parts << QStringLiteral("DEP ") + SummaryNumber(fieldNumber(Origin, "depth"), 0) + QLatin1Char('.');
    if (!distance.isEmpty())
        parts << QLatin1Char('D') + distance;
    if (!ms.isEmpty() || !mpsp.isEmpty() || !mplp.isEmpty()) {
        QString mag = QStringLiteral("MAG ");
        if (!mpsp.isEmpty())
            mag += QStringLiteral("MPSP") + mpsp;
        for (const auto &[label, value] : {std::pair{"MPLP", mplp}, {"MS", ms}})
            if (!value.isEmpty())
                mag += (mag.endsWith(QLatin1Char(' ')) ? QString() : QStringLiteral(" ")) +
                       QLatin1String(label) + value;
        parts << mag;
    }
    QString comment = fieldText(Origin, "COMMENTS");
    if (comment.isEmpty())
        comment = fieldText(Origin, "comment");
    const qsizetype cla = comment.toUpper().indexOf(QLatin1String("CLA"));
    if (cla >= 0)
        parts << comment.mid(cla);
    if (!klass.isEmpty())
        parts << QLatin1Char('K') + klass;
    const QString closing = parts.join(QLatin1Char(' ')).trimmed();
    if (!closing.isEmpty()) {
        dropTrailingBlank(Text);
        Text += LF + QStringLiteral("(( ") + closing + QStringLiteral(" ))");
    }

    // Designations: none where another follows at once or a line ends, none repeating the one before.
    const qsizetype n = designations.size();
    const auto at = [&](int position) { return position - 1 < Text.size() ? Text[position - 1] : QChar(); };
    for (qsizetype i = 0; i < n; ++i) {
        tchanrec &d = designations[i];
        const bool hidden = (i + 1 < n && d.position == designations[i + 1].position) || at(d.position) == LF;
        if (hidden)
            d.remove = !d.keep;
    }
    const tchanrec *previous = nullptr;
    for (tchanrec &d : designations) {
        if (d.remove)
            continue;
        if (previous && previous->text == d.text)
            d.remove = !d.keep;
        previous = &d;
    }
    for (qsizetype i = n - 1; i >= 0; --i)
        if (!designations[i].remove)
            Text.insert(designations[i].position - 1, designations[i].text);
}

QString OrxTelegramHeader(const QString &Code, TDateTime Day, bool DPeriod)
{
    int y, m, d, y2, m2, d2;
    DecodeDate(Day, y, m, d);
    DecodeDate(Day + 1, y2, m2, d2);
    return QStringLiteral("SEISMO N") + QString::number(y % 10) +
           QString::number(DayOfTheYear(Day)).rightJustified(3, QLatin1Char('0')) + QLatin1Char(' ') +
           (DPeriod ? QStringLiteral(":") : QString()) + Code + QStringLiteral(" BEG ") +
           MonthAbbreviation(m) + two(d) + QStringLiteral(" 000000 END ") + MonthAbbreviation(m2) + two(d2) +
           QStringLiteral(" 000000");
}

QString LayoutSummaryLines(const QString &Text)
{
    QString out;
    for (const QString &line : Text.split(LF, Qt::SkipEmptyParts)) {
        QString current;
        for (const QString &word : line.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            if (current.isEmpty() ? word.size() <= 70 : current.size() + 1 + word.size() <= 70) {
                current += (current.isEmpty() ? QString() : QStringLiteral(" ")) + word;
            } else if (current.isEmpty()) {
                out += word + LF;
            } else {
                out += current + LF;
                current = word;
            }
        }
        if (!current.isEmpty())
            out += current + LF;
    }
    return out;
}

bool GetSummaryStations(OrxSummaryHost &Host, TDataSet &Query, QStringList &List, const QString &PeriodCond,
                        QString &SetName)
{
    const Tsett &sett = Host.Settings();
    const auto add = [&](const QString &code) {
        const auto it = std::lower_bound(List.begin(), List.end(), code);
        if (it == List.end() || *it != code)
            List.insert(it, code);
    };
    const auto nameFor = [&] { SetName = List.size() > 1 ? sett.multi_name : List.value(0); };
    const QStringList checked = Host.CheckedStations();
    switch (sett.svset) {
    case 0:
        add(Host.CurrentStationSection());
        SetName = Host.CurrentStationSection();
        break;
    case 1:
        for (const QString &c : checked)
            add(c);
        SetName = List.size() > 1 ? sett.multi_name : checked.join(QLatin1Char(','));
        break;
    case 2:
        for (const QString &c : checked)
            add(c);
        add(Host.CurrentStationSection());
        nameFor();
        break;
    case 3: {
        if (!QAct(Query, QStringLiteral("select distinct sta from arrival where ") + PeriodCond))
            return false;
        QStringList network;
        const bool filtered = Host.SelectedNetwork(network);
        for (Query.First(); !Query.Eof(); Query.Next()) {
            const QString code = Query.Field(0)->AsString().trimmed();
            // A network without stations narrows nothing, as "<<< все станции >>>" does.
            if (!filtered || network.isEmpty() || network.contains(code))
                add(code);
        }
        Query.Close();
        nameFor();
        break;
    }
    default:
        break;
    }
    return true;
}

namespace {

struct StatementFailed
{
};

// The rows of a statement read forward only and kept. A static dataset would keep them too, but it also
// asks the server's catalog about its table (to write rows back), several round trips at every
// connection; the summary only reads.
struct KeptRows
{
    struct Column
    {
        QString name;
        FieldType type;
        int size;
    };
    QList<Column> columns;
    QHash<QString, int> byName; // case-folded; the first of a name
    QList<QVariant> values;     // row after row
    int rowCount = 0;

    explicit KeptRows(TDataSet &Query)
    {
        for (int f = 0; f < Query.FieldCount(); ++f) {
            const TField *field = Query.Field(f);
            columns << Column{field->FieldName(), field->DataType(), field->Size()};
        }
        for (int f = int(columns.size()) - 1; f >= 0; --f)
            byName.insert(columns[f].name.toCaseFolded(), f);
        std::vector<TField *> fields;
        for (int f = 0; f < columns.size(); ++f)
            fields.push_back(Query.Field(f));
        for (; !Query.Eof(); Query.Next(), ++rowCount)
            for (const TField *field : fields)
                values.append(field->Value());
    }
    const QVariant &value(int row, int column) const { return values[row * columns.size() + column]; }
};

// A field of the current row of a RowsOf.
class KeptField : public TField
{
public:
    KeptField(const KeptRows &Rows, int Column, const int &Row) : m_rows(Rows), m_column(Column), m_row(Row)
    {}
    QString FieldName() const override { return m_rows.columns[m_column].name; }
    FieldType DataType() const override { return m_rows.columns[m_column].type; }
    int Size() const override { return m_rows.columns[m_column].size; }
    bool IsNull() const override { return value().isNull(); }
    QVariant Value() const override { return value(); }
    void SetValue(const QVariant &) override { throw DbError(QStringLiteral("Поле только для чтения")); }
    // The same as TField's, without a copy of the value.
    QString AsString() const override
    {
        const QVariant &v = value();
        return v.isNull() ? QString() : FieldValueText(DataType(), v);
    }
    double AsFloat() const override
    {
        const QVariant &v = value();
        switch (v.typeId()) {
        case QMetaType::Double:
            return *static_cast<const double *>(v.constData());
        case QMetaType::LongLong:
            return double(*static_cast<const qlonglong *>(v.constData()));
        default:
            return TField::AsFloat();
        }
    }

private:
    const QVariant &value() const
    {
        static const QVariant none;
        return m_row >= 0 ? m_rows.value(m_row, m_column) : none;
    }

    const KeptRows &m_rows;
    int m_column;
    const int &m_row;
};

// Kept rows, in the order given, as a dataset of their own: one event's origin or arrivals out of the
// station's read at once. It only reads.
class RowsOf : public TDataSet
{
public:
    RowsOf(const KeptRows &Rows, const QList<int> &Indexes) : m_rows(Rows), m_indexes(Indexes)
    {
        for (int f = 0; f < Rows.columns.size(); ++f)
            m_fields.push_back(std::make_unique<KeptField>(Rows, f, m_row));
        moveTo(0);
    }

    QString SQL() const override { return QString(); }
    void SetSQL(const QString &) override { readOnly(); }
    void Open() override { readOnly(); }
    void ExecSQL() override { readOnly(); }
    int RowsAffected() const override { return -1; }
    void Close() override {}
    bool Active() const override { return true; }
    DataSetState State() const override { return DataSetState::Browse; }
    int FieldCount() const override { return int(m_fields.size()); }
    TField *Field(int index) override { return m_fields.at(std::size_t(index)).get(); }
    TField *FindField(const QString &name) override
    {
        auto asked = m_asked.constFind(name);
        if (asked == m_asked.cend())
            asked = m_asked.insert(name, m_rows.byName.value(name.toCaseFolded(), -1));
        return *asked < 0 ? nullptr : Field(*asked);
    }
    void First() override { moveTo(0); }
    void Prior() override { moveTo(m_at - 1); }
    void Next() override { moveTo(m_at + 1); }
    void Last() override { moveTo(int(m_indexes.size()) - 1); }
    bool Eof() const override { return m_at >= m_indexes.size(); }
    bool Bof() const override { return m_at <= 0; }
    int RecordCount() const override { return int(m_indexes.size()); }
    int RecNo() const override { return m_row >= 0 ? m_at + 1 : 0; }
    void SetRecNo(int recNo) override { moveTo(recNo - 1); }
    bool Locate(const QString &, const QVariantList &, LocateOptions) override
    {
        readOnly();
        return false;
    }
    void Edit() override { readOnly(); }
    void Append() override { readOnly(); }
    void Post() override { readOnly(); }
    void Cancel() override {}
    void Delete() override { readOnly(); }

private:
    [[noreturn]] static void readOnly() { throw DbError(QStringLiteral("Набор строк только для чтения")); }
    void moveTo(int at)
    {
        m_at = std::clamp(at, -1, int(m_indexes.size()));
        m_row = m_at >= 0 && m_at < m_indexes.size() ? m_indexes[m_at] : -1;
    }

    const KeptRows &m_rows;
    QList<int> m_indexes;
    std::vector<std::unique_ptr<KeptField>> m_fields;
    QHash<QString, int> m_asked; // names as asked for
    int m_at = 0, m_row = -1;
};

// An identifier as the databases may compare it: blind to case and to trailing blanks (Jet texts, fixed
// width columns). Rows are told apart by their exact text only where no two of them fold alike.
QString folded(const QString &id)
{
    qsizetype end = id.size();
    while (end > 0 && id.at(end - 1) == QLatin1Char(' '))
        --end;
    return id.left(end).toCaseFolded();
}

QString quotedList(const QStringList &ids)
{
    QStringList quoted;
    quoted.reserve(ids.size());
    for (const QString &id : ids)
        quoted << SqlQuote(id);
    return quoted.join(QLatin1Char(','));
}

// Where the rows of a set read at once belong: for each identifier asked for, the record numbers of the
// rows whose identifier column holds exactly that text, in the order read (indexes into rows). An identifier
// is left out when another one asked for folds alike, or when rows folding alike hold another text: the
// database may have matched those otherwise, so the caller asks for them one by one, as it always did.
QHash<QString, QList<int>> rowsById(const KeptRows &rows, const char *column, const QStringList &ids)
{
    QHash<QString, int> asked;
    for (const QString &id : ids)
        ++asked[folded(id)];
    const int key = rows.byName.value(QString::fromLatin1(column).toCaseFolded(), -1);
    QHash<QString, QList<int>> byFold;
    QHash<QString, QString> texts;
    QSet<QString> mixed;
    for (int r = 0; r < rows.rowCount; ++r) {
        const QString id = key < 0 ? QString() : KeptField(rows, key, r).AsString();
        const QString f = folded(id);
        byFold[f] << r;
        const auto text = texts.constFind(f);
        if (text == texts.cend())
            texts.insert(f, id);
        else if (*text != id)
            mixed.insert(f);
    }
    QHash<QString, QList<int>> result;
    for (const QString &id : ids) {
        const QString f = folded(id);
        const auto text = texts.constFind(f);
        if (asked.value(f) == 1 && !mixed.contains(f) && (text == texts.cend() || *text == id))
            result.insert(id, byFold.value(f));
    }
    return result;
}

class OrxSummaryRun
{
public:
    OrxSummaryRun(OrxSummaryHost &host, SummaryRunStats &stats)
        : m_host(host), m_stats(stats), m_conn(host.OrxConnection()), rstORX(&m_conn), rstw_ori(&m_conn),
          rstw_arr(&m_conn), dayOrigins(&m_conn), dayArrivals(&m_conn)
    {
        // Read once, front to back.
        for (DbQuery *q : {&rstORX, &dayOrigins, &dayArrivals})
            q->SetForwardOnly(true);
    }

    bool run()
    {
        bool shown = false;
        try {
            shown = body();
        } catch (const StatementFailed &) {
            // The statement runner or the step has told the user.
        } catch (const std::exception &e) {
            MessageProc(
                m_host.Owner(),
                QStringLiteral("ORXSvodka: Не удалось получить МСК-85 по ORX. Сообщение об ошибке:\r") +
                    ExceptionText(e),
                MB_ICONERROR, MB_OK);
        }
        if (m_fileCreated && !m_handedOver)
            writeFile(false);
        for (DbQuery *q : {&rstORX, &rstw_arr, &rstw_ori, &dayOrigins, &dayArrivals}) {
            try {
                q->Close();
            } catch (const std::exception &) {
                // The connection closes below in any case.
            }
        }
        if (m_opened)
            m_host.CloseDB_ADO(m_conn);
        return shown;
    }

private:
    // The station's arrivals (with extra columns) of the events whose eventid matches events, in time
    // order; tie orders what the time leaves equal.
    static QString arrivalStatement(const QString &cond, const QString &extraColumns, const QString &events,
                                    const QString &tie)
    {
        return QStringLiteral(
                   "select nindex,numb,rtrim(sta),chan,iphase,itime,deltim,azimuth,slow,ema,rect,fm,"
                   "im_em,per,residuals,ampl,wgt,ARID,ms,mb,amptime,DIST,CODA,REGCLASS,MCODA,MPSP,"
                   "MPLP,CHANTYPE,REMARK,AFILTYPE,PFILTYPE,MWA,ML") +
               extraColumns + QStringLiteral(" from arrival where ") + cond + QStringLiteral(" and eventid") +
               events + QStringLiteral(" order by itime,amptime,chan desc") + tie;
    }

    void act(DbQuery &q, const QString &sql)
    {
        ++m_stats.statements;
        if (!QAct(q, sql))
            throw StatementFailed();
    }

    // The telegrams written so far; a failure while writing is the run's general error, naming the file
    // as the summary of the bulletin database names it.
    void writeFile(bool raise)
    {
        QString error;
        if (!SafeWriteFile(m_fileName, toCp1251(m_file), &error) && raise)
            throw EFileError(QStringLiteral("Не удалось записать файл \"%1\": %2").arg(m_fileName, error));
    }

    bool body()
    {
        Tsett &sett = m_host.Settings();
        if (!m_host.AskSummaryParameters())
            return false;
        RefuseSummaryDay(sett.svodka_date);
        if (sett.svset == 1 && m_host.CheckedStations().isEmpty()) {
            MessageProc(
                m_host.Owner(),
                QStringLiteral("Была выбрана опция \"делать сводку по станциям с галочкой\",\rно ни одна "
                               "станция не отмечена галочкой,\rпоэтому сводка не будет сделана.\rОтметьте "
                               "нужные станции галочкой или выберите другую опцию и\rповторите снова."),
                MB_ICONWARNING, MB_OK);
            return false;
        }
        QString source, user, password;
        m_host.GetOrxConnParams(source, user, password);
        if (!m_host.OpenDB_ADO(m_conn, source, user, password, false))
            return false;
        m_opened = true;

        const TDateTime day = DateOf(sett.svodka_date);
        int y, m, d;
        DecodeDate(day, y, m, d);
        const double t1 = htoe(quint16(y), quint16(m), quint16(d), 0, 0, 0);
        const double t2 = t1 + 86400;
        const auto epoch = [](double v) { return QString::number(v, 'f', QLocale::FloatingPointShortest); };
        QString periodCond, originCond;
        if (sett.selperiod == 0) {
            periodCond = QStringLiteral("itime>=") + epoch(t1) + QStringLiteral(" and itime<") + epoch(t2);
        } else {
            originCond =
                QStringLiteral("origintime>=") + epoch(t1) + QStringLiteral(" and origintime<") + epoch(t2);
            periodCond = QStringLiteral("eventid in (select eventid from origin where ") + originCond +
                         QLatin1Char(')');
        }

        QStringList stations;
        QString setName;
        ++m_stats.statements;
        if (!GetSummaryStations(m_host, rstORX, stations, periodCond, setName))
            throw StatementFailed();
        m_fileName = sett.svodka_dir + QLatin1Char('/') + setName + QLatin1Char('_') +
                     QString::number(y % 10) +
                     QString::number(DayOfTheYear(day)).rightJustified(3, QLatin1Char('0'));
        m_fileCreated = true;
        // A file already there stays whole until the new one is; a missing one is made at once, so a
        // folder that cannot take it is reported before the work.
        if (!QFileInfo::exists(m_fileName))
            writeFile(true);
        m_stats.fileName = m_fileName;

        QStringList unknown, empty;
        OrxEventText events(m_host.WaveTable(), m_host.WaveFactors(), m_host.Filters(), unknown);
        for (const QString &code : stations) {
            const QString sta = m_host.StationSta(code);
            const QString header = sta.isEmpty() ? code : sta;
            QString cond = QStringLiteral("rtrim(sta)=") + SqlQuote(code);
            if (sett.useflag)
                cond += QStringLiteral(" and flag<>0");
            if (sett.selperiod == 0)
                act(rstORX,
                    QStringLiteral("select eventid,mn from (select ata0.eventid,(select min(ata1.itime) from "
                                   "arrival ata1 where ata1.eventid=ata0.eventid and ") +
                        cond + QStringLiteral(") as mn from (select distinct eventid from arrival where ") +
                        cond + QStringLiteral(" and ") + periodCond +
                        QStringLiteral(") ata0) ata2 order by mn"));
            else
                act(rstORX, QStringLiteral("select ata0.eventid from origin ata0 where ") + originCond +
                                QStringLiteral(" and (select count(*) from arrival ata1 where ") + cond +
                                QStringLiteral(" and ata1.eventid=ata0.eventid)>0 order by origintime"));
            QStringList ids;
            for (rstORX.First(); !rstORX.Eof(); rstORX.Next()) {
                if (sett.selperiod == 0) {
                    const TField *mn = rstORX.Field(1);
                    if (mn->IsNull() || mn->AsFloat() < t1 || mn->AsFloat() >= t2)
                        continue;
                }
                ids << rstORX.Field(0)->AsString();
            }
            rstORX.Close();
            rstw_ori.Close();
            ++m_stats.stations;

            if (ids.isEmpty()) {
                m_file += (OrxTelegramHeader(header, day, sett.dperiod) + LF + QStringLiteral("STOP") + LF)
                              .toUpper();
                if (stations.size() == 1) {
                    writeFile(true);
                    MessageProc(m_host.Owner(),
                                QStringLiteral("Данные по станции ") +
                                    CutForMessage(m_host.CurrentStationSection()) +
                                    QStringLiteral(" за этот период отсутствуют"),
                                MB_ICONWARNING, MB_OK);
                    return false;
                }
                empty << code;
                continue;
            }
            QString text = OrxTelegramHeader(header, day, sett.dperiod);
            events.StartStation();

            // The events' origins and the station's arrivals of them, each read at once (a statement per
            // event is a round trip per event to a server on the network). An event whose rows cannot be
            // told apart by their exact identifier is read on its own.
            act(dayOrigins, QStringLiteral("select * from origin where eventid in (") + quotedList(ids) +
                                QLatin1Char(')'));
            const KeptRows originRows(dayOrigins);
            dayOrigins.Close();
            const QHash<QString, QList<int>> origins = rowsById(originRows, "eventid", ids);
            QHash<QString, QString> keyOf;
            QStringList keys;
            QSet<QString> known;
            for (const QString &id : ids) {
                const auto own = origins.constFind(id);
                if (own == origins.cend() || own->size() != 1)
                    continue;
                RowsOf origin(originRows, *own);
                const QString key = fieldText(origin, "eventid");
                keyOf.insert(id, key);
                if (!known.contains(key)) {
                    known.insert(key);
                    keys << key;
                }
            }
            std::optional<KeptRows> arrivalRows;
            QHash<QString, QList<int>> arrivals;
            if (!keys.isEmpty()) {
                act(dayArrivals,
                    arrivalStatement(cond, QStringLiteral(",eventid"),
                                     QStringLiteral(" in (") + quotedList(keys) + QLatin1Char(')'),
                                     QStringLiteral(",ARID")));
                arrivals = rowsById(arrivalRows.emplace(dayArrivals), "eventid", keys);
                dayArrivals.Close();
            }

            for (const QString &id : ids) {
                const auto key = keyOf.constFind(id);
                const auto own = key == keyOf.cend() ? arrivals.cend() : arrivals.constFind(*key);
                TDataSet *origin = nullptr, *rows = nullptr;
                std::optional<RowsOf> eventOrigin, eventRows;
                if (own != arrivals.cend()) {
                    origin = &eventOrigin.emplace(originRows, origins.value(id));
                    rows = &eventRows.emplace(*arrivalRows, *own);
                } else {
                    act(rstw_ori, QStringLiteral("select * from origin where eventid=") + SqlQuote(id));
                    act(rstw_arr,
                        arrivalStatement(cond, QString(),
                                         QStringLiteral("=") + SqlQuote(fieldText(rstw_ori, "eventid")),
                                         QString()));
                    origin = &rstw_ori;
                    rows = &rstw_arr;
                }
                m_stats.rows += rows->RecordCount();
                try {
                    events.AppendEvent(text, *origin, *rows);
                } catch (const OrxSummaryError &e) {
                    MessageProc(m_host.Owner(), e.text, MB_ICONERROR, MB_OK);
                    throw StatementFailed();
                }
            }
            dropTrailingBlank(text);
            text += LF + QStringLiteral("STOP") + LF;
            m_file += LayoutSummaryLines(text);
        }
        writeFile(true);

        QStringList lines;
        // From here the file is the editor's.
        m_handedOver = true;
        const int result = m_host.EditSummary(m_fileName, sett.mails_send, lines);
        QString final;
        bool mailFailed = false;
        if (sett.mails_send && result == IDOK) {
            const bool sent =
                sett.mails_att
                    ? m_host.SendMail(u's', QStringLiteral("Сводка ") + QFileInfo(m_fileName).fileName(),
                                      m_fileName)
                    : m_host.SendMail(u's', lines.join(QStringLiteral("\r\n")), QString());
            final += sent ? QStringLiteral("\rСводка успешно отправлена по почте.")
                          : QStringLiteral("\rНе удалось отправить сводку по почте!");
            mailFailed = !sent;
        }
        if (!empty.isEmpty())
            final += QStringLiteral("\r\rНет данных по следующим станциям: ") + empty.join(QLatin1Char(','));
        if (!unknown.isEmpty()) {
            QStringList reversed(unknown.rbegin(), unknown.rend());
            final += QStringLiteral("\r\rВстретились неизвестные фазы: ") +
                     reversed.join(QStringLiteral(", ")) + QStringLiteral("\rЭти фазы игнорировались");
        }
        if (!final.isEmpty())
            MessageProc(m_host.Owner(), QStringLiteral("Готово!") + final,
                        mailFailed ? MB_ICONWARNING : MB_ICONINFORMATION, MB_OK);
        return true;
    }

    OrxSummaryHost &m_host;
    SummaryRunStats &m_stats;
    DbConnection &m_conn;
    DbQuery rstORX, rstw_ori, rstw_arr, dayOrigins, dayArrivals;
    bool m_opened = false, m_fileCreated = false, m_handedOver = false;
    QString m_fileName, m_file;
};

} // namespace

bool ORXSvodka(OrxSummaryHost &Host, SummaryRunStats *Stats)
{
    SummaryRunStats local;
    return OrxSummaryRun(Host, Stats ? *Stats : local).run();
}
