#include "products/summary_text.h"

#include "lib/codec.h"
#include "lib/errors.h"
#include "lib/number_routines.h"
#include "lib/text_routines.h"
#include "lib/work_dates.h"
#include "products/summary_rules.h"

#include <QHash>

namespace {

const QChar LF = QLatin1Char('\n');

const char *const kMonths[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                               "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};

QString two(int n)
{
    return QString::number(n).rightJustified(2, QLatin1Char('0'));
}

// MON + DD of a day.
QString monthDay(TDateTime day)
{
    int y, m, d;
    DecodeDate(day, y, m, d);
    // A day past the calendar decodes as zeros; the runs refuse such days before they get here.
    if (m < 1 || m > 12)
        return QStringLiteral("???") + two(d);
    return QLatin1String(kMonths[m - 1]) + two(d);
}

// Y + DDD of the summary day.
QString yearDayCode(TDateTime day)
{
    int y, m, d;
    DecodeDate(day, y, m, d);
    return QString::number(y % 10) + QString::number(DayOfTheYear(day)).rightJustified(3, QLatin1Char('0'));
}

int yearOf(double value)
{
    int y, m, d;
    DecodeDate(value, y, m, d);
    return y;
}

// A time cell: 0 when empty, so that it counts as absent like any year before 1971.
double timeValue(const QString &cell)
{
    return cell.isEmpty() ? 0.0 : StrToFloatAny(cell);
}

bool isTime(double value)
{
    return yearOf(value) > 1970;
}

int hourOf(double value)
{
    int h, n, s, ms;
    DecodeTime(value, h, n, s, ms);
    return h;
}

bool isTrueText(const QString &text)
{
    double v = 0;
    if (TryStrToFloatAny(text, v))
        return v != 0;
    return text.trimmed().compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
}

// A month token followed or preceded by its day: "5 JAN" and "JAN 5" both give "JAN05".
bool dayToken(const QString &token, int &day)
{
    return TryStrToInt(token, day) && day >= 1 && day <= 31;
}

class Composer
{
public:
    Composer(QString &text, TD2D &table, const SummaryStation &station)
        : m_text(text), m_table(table), m_station(station), m_lineLimit(station.lineLimit)
    {
        m_idXm = column("Id_XM");
        m_componentXm = column("Channel_componentXM");
        m_codXm = column("Channel_CodXM");
        m_timeXm = column("TimeXm");
        m_decXm = column("DecXm");
        m_periodNs = column("Period_NS");
        m_ampNs = column("Amp_NS");
        m_periodEw = column("Period_EW");
        m_ampEw = column("Amp_EW");
        m_periodZ = column("Period_Z");
        m_ampZ = column("Amp_Z");
        m_magnitudeZ = column("Magnitude_Z");
        for (const SummaryDesignation &d : station.designations)
            if (!m_designations.contains(d.iphase))
                m_designations.insert(d.iphase, d.phase);
    }

    void run()
    {
        const int rows = m_table.RowCount();
        const TDateTime firstDay = timeValue(m_table.GetCell(ColDate, 1));
        m_text += QLatin1String("SEISMO N") + yearDayCode(m_station.day) + QLatin1Char(' ') +
                  (m_station.dperiod ? QStringLiteral(":") : QString()) + m_station.code +
                  QLatin1String(" BEG ") + monthDay(firstDay) + QLatin1String(" 000000 END ") +
                  monthDay(firstDay + 1) + QLatin1String(" 000000 ") + LF;
        m_lineStart = int(m_text.size());
        m_lastHour = -1;
        for (const QString &out : m_station.outTexts) {
            const QString line = OutTextLine(out);
            if (!line.isEmpty())
                m_text += line + LF;
        }
        m_text += monthDay(firstDay) + QLatin1Char(' ');
        for (m_row = 1; m_row < rows; ++m_row)
            row();
        closeEvent(true);
    }

private:
    int column(const char *name) const { return m_table.FindCol(QLatin1String(name), false); }
    QString cell(int col) const { return col < 0 ? QString() : m_table.GetCell(col, m_row); }

    void breakLine()
    {
        m_text += LF;
        m_lineStart = int(m_text.size());
        m_lineLen = 0;
    }

    int currentLineLength() const { return int(m_text.size()) - m_lineStart; }

    // HHMMSS, or MMSS within the hour of the last time written in full.
    void writeTime(double value)
    {
        int h, n, s, ms;
        DecodeTime(value, h, n, s, ms);
        if (h == m_lastHour) {
            m_text += two(n) + two(s);
        } else {
            m_text += two(h) + two(n) + two(s);
            m_lastHour = h;
        }
    }

    // The measurement time and its tenths; the tenths only after a written time.
    void writeMeasurementTime()
    {
        const double t = timeValue(cell(m_timeXm));
        if (!isTime(t))
            return;
        writeTime(t);
        const QString dec = cell(m_decXm);
        const QString phase = cell(ColPhase);
        if (!dec.isEmpty() && StrToInt(dec) != 0 && phase != QLatin1String("LR") &&
            phase != QLatin1String("LRM") && phase != QLatin1String("LQ"))
            m_text += dec.left(1);
    }

    void row()
    {
        const int num = StrToInt(cell(ColNum));
        const QString arid = cell(ColArid);
        const QString phase = cell(ColPhase);
        const bool newEvent = num != m_prevEvent;
        const bool newArrival = !m_hasPrevArrival || arid != m_prevArrival;

        if (m_prevEvent > 0 && newEvent)
            closeEvent(false);

        double t = timeValue(cell(ColArrTime));
        if (isTime(m_prevTime) && TimeOf(t) != 0 && m_prevTime > t && hourOf(m_prevTime) == 23 &&
            hourOf(t) <= 1) {
            t += 1;
            m_table.SetCell(ColArrTime, m_row, DateTimeNumberText(t));
        }

        if (m_row == 1) {
            m_text += LF;
            m_lineStart = int(m_text.size());
        }

        if (newEvent) {
            if ((PhaseGroup(phase.toUpper()) == 1 || m_lastHour == -1) && !m_text.endsWith(LF))
                m_text += LF;
            static const char *const noSlash[] = {"P",    "PKiKP", "Pdiff", "PKP", "PKHKP", "PKIKP",
                                                  "PKP2", "UNK",   "Pg",    "Pn",  "PG",    "PN"};
            bool pFirst = false;
            for (const char *name : noSlash)
                pFirst = pFirst || phase == QLatin1String(name);
            if (!pFirst) {
                m_text += QLatin1Char('/');
                m_slashOpen = true;
            }
        }

        const QString channel = cell(ColChannelCod) + cell(ColChannelComponent);
        if (newArrival)
            arrivalGroup(channel, phase, t);
        measurementPart(newArrival ? channel : QString());
        magnitudePart(phase);

        if (!m_slashOpen) {
            if (!cell(m_idXm).isEmpty()) {
                breakLine();
            } else {
                m_lineLen = currentLineLength();
                if (m_lineLen >= m_lineLimit)
                    breakLine();
            }
        }

        if (newEvent) {
            buildFocusText();
            m_prevEvent = num;
        }
        m_text += QLatin1Char(' ');
        m_prevArrival = arid;
        m_hasPrevArrival = true;
        m_prevTime = t;
    }

    void arrivalGroup(const QString &channel, const QString &phase, double arrTime)
    {
        if (channel.isEmpty()) {
            m_text += m_lastChannel + QLatin1Char(' ');
        } else if (channel != m_lastChannel) {
            m_text += channel + QLatin1Char(' ');
            m_lastChannel = channel;
        }
        const QString qual = cell(ColQual);
        m_text += qual;

        if (!phase.isEmpty()) {
            m_token.clear();
            QString designation;
            bool found = false;
            if (phase.toUpper() == QLatin1String("UNK")) {
                designation = QStringLiteral("UNK");
                found = true;
            } else if (auto it = m_designations.constFind(phase); it != m_designations.constEnd()) {
                designation = it.value();
                found = true;
            }
            if (found) {
                m_text += isTrueText(cell(ColInterpretation))
                              ? QString(QLatin1Char('(') + designation + QLatin1Char(')'))
                              : designation;
                m_token = designation;
            } else if (qual.isEmpty()) {
                m_text += QLatin1Char('I');
            }
        } else if (m_lastHour == -1) {
            m_text += QLatin1String("UNK");
        }

        if (phase != QLatin1String("LRM") && isTime(arrTime)) {
            writeTime(arrTime);
            const QString dec = cell(ColArrDec);
            if (!dec.isEmpty() && StrToInt(dec) > 0)
                m_text += dec.left(1);
        }
        m_text += QLatin1Char(' ');

        const QString cod = cell(ColChannelCod);
        const bool sp = cod == QLatin1String("SP");
        if (sp || cod == QLatin1String("LP") || cod == QLatin1String("BP") || cod == QLatin1String("MP")) {
            QString letters;
            const auto motion = [&](int col, QChar plus, QChar minus) {
                const QString v = cell(col);
                if (v == QLatin1String("+"))
                    letters += plus;
                else if (v == QLatin1String("-"))
                    letters += minus;
            };
            motion(ColFM, QLatin1Char('C'), QLatin1Char('D'));
            motion(ColFMNS, QLatin1Char('N'), QLatin1Char('S'));
            motion(ColFMEW, QLatin1Char('E'), QLatin1Char('W'));
            if (!letters.isEmpty())
                m_text += (sp ? QLatin1String("FM") : QLatin1String("FM,")) + letters;
        }
    }

    void measurementPart(const QString &arrivalChannel)
    {
        const QString component = cell(m_componentXm);
        const QString idXm = cell(m_idXm);
        QString cur = arrivalChannel;
        if (!cell(m_codXm).isEmpty())
            cur = cell(m_codXm);
        if (!component.isEmpty())
            cur += component;
        if (!cur.isEmpty() && cur != m_lastChannel) {
            if (!component.isEmpty())
                m_text += QLatin1Char(' ') + cur;
            m_lastChannel = cur;
        }

        m_lineLen = currentLineLength();
        if (m_lineLen >= m_lineLimit || (!idXm.isEmpty() && m_lineLen >= m_lineLimit - 20))
            breakLine();

        if (!component.isEmpty()) {
            if (!idXm.isEmpty())
                m_text += QLatin1String(" XM");
            writeMeasurementTime();
            m_text += QLatin1Char(' ');
        }

        struct Group
        {
            QChar letter;
            int period, amplitude;
        };
        const Group z{QLatin1Char('Z'), m_periodZ, m_ampZ};
        const Group n{QLatin1Char('N'), m_periodNs, m_ampNs};
        const Group e{QLatin1Char('E'), m_periodEw, m_ampEw};

        const QString channel = m_lastChannel;
        const auto written = [&](const Group &g) {
            return !cell(g.period).isEmpty() && !cell(g.amplitude).isEmpty();
        };
        const auto values = [&](const Group &g) {
            const double period = StrToFloatAny(cell(g.period));
            const double amplitude = StrToFloatAny(cell(g.amplitude));
            m_text += QLatin1Char('T') + SummaryNumber(period, m_token == QLatin1String("LR") ? 0 : 1) +
                      QLatin1Char('A') +
                      (channel.left(2) == QLatin1String("SP") ? SummaryNumber(amplitude * 1000, 1)
                                                              : SummaryNumber(amplitude, 3)) +
                      QLatin1Char(' ');
        };
        const auto own = [&](const Group &g) {
            if (written(g))
                values(g);
        };
        const auto other = [&](const Group &g) {
            if (!written(g))
                return false;
            m_lineLen = currentLineLength();
            if (m_lineLen >= m_lineLimit)
                breakLine();
            m_text += QLatin1Char(' ') + channel.left(2) + g.letter + QLatin1String(" XM");
            writeMeasurementTime();
            m_text += QLatin1Char(' ');
            values(g);
            return true;
        };

        if (channel.size() > 2) {
            const QChar last = channel.back();
            bool lastOtherWritten = false;
            if (last == QLatin1Char('Z')) {
                own(z);
                other(n);
                lastOtherWritten = other(e);
            } else if (last == QLatin1Char('N')) {
                own(n);
                other(z);
                lastOtherWritten = other(e);
            } else if (last == QLatin1Char('E')) {
                own(e);
                other(z);
                lastOtherWritten = other(n);
            }
            if (lastOtherWritten)
                m_lastChannel.clear();
        } else {
            other(e);
            other(z);
            other(n);
        }
    }

    void magnitudePart(const QString &phase)
    {
        const QString magnitude = cell(m_magnitudeZ);
        const QString cod = cell(m_codXm);
        if (magnitude.isEmpty() || cod.isEmpty() || cell(m_componentXm) != QLatin1String("Z"))
            return;
        const QString m = SummaryNumber(StrToFloatAny(magnitude), 1);
        if (phase.startsWith(QLatin1String("P")))
            m_magText =
                (cod == QLatin1String("LP") ? QLatin1String(" MAG MPLP") : QLatin1String(" MAG MPSP")) + m;
        else if (phase.startsWith(QLatin1String("LR")))
            m_magText =
                m_magText.isEmpty() ? QLatin1String(" MAG MS") + m : m_magText + QLatin1String(" MS") + m;
    }

    void buildFocusText()
    {
        m_focusText.clear();
        const double origin = timeValue(cell(ColTime));
        if (isTime(origin)) {
            int h, n, s, ms;
            DecodeTime(origin, h, n, s, ms);
            const QString dec = cell(ColDec);
            m_focusText = QLatin1String("FOCUS ") + two(h) + two(n) + two(s) + QLatin1Char('.') +
                          (dec.isEmpty() ? QStringLiteral("0") : dec);
        }
        const QString lat = cell(ColLat), lon = cell(ColLon);
        if (!lat.isEmpty() && !lon.isEmpty())
            m_focusText += QLatin1String(" LAT ") + SummaryNumber(StrToFloatAny(lat), 4) +
                           QLatin1String(" LON ") + SummaryNumber(StrToFloatAny(lon), 4);
        const QString depth = cell(ColDepth);
        if (!depth.isEmpty())
            m_focusText += QLatin1String(" DEP ") + depth + QLatin1Char('.');
        const QString deltaGr = cell(ColDeltaGr), deltaKm = cell(ColDeltaKm);
        if (!deltaGr.isEmpty())
            m_focusText += QLatin1String(" D") + SummaryNumber(StrToFloatAny(deltaGr), 1);
        else if (!deltaKm.isEmpty())
            m_focusText += QLatin1String(" D") + SummaryNumber(StrToFloatAny(deltaKm) / 111, 1);
        const QString comment = cell(ColComment);
        if (!comment.isEmpty())
            m_focusText = m_focusText.isEmpty() ? comment : m_focusText + LF + comment;
    }

    // The hypocentre and magnitude group that closes an event; at the end, also the end token.
    void closeEvent(bool atEnd)
    {
        if (m_lineLen > 0)
            m_text += LF;
        if (!m_focusText.isEmpty() || !m_magText.isEmpty()) {
            m_text += QLatin1String("(( ") + m_focusText +
                      (m_focusText.size() + m_magText.size() > 63 ? QString(LF) : QString()) + m_magText +
                      QLatin1String(" ))") + (m_slashOpen ? QLatin1String(" /") : QLatin1String()) + LF;
        } else if (atEnd) {
            if (m_slashOpen)
                m_text += QLatin1Char('/') + QString(LF);
            m_text += LF;
        } else if (m_slashOpen) {
            m_text += QLatin1Char('/');
        }
        if (atEnd) {
            m_text += QLatin1String("STOP  ");
            return;
        }
        m_slashOpen = false;
        m_focusText.clear();
        m_magText.clear();
        m_lastChannel.clear();
        m_lastHour = -1;
        m_lineStart = int(m_text.size());
    }

    QString &m_text;
    TD2D &m_table;
    const SummaryStation &m_station;
    QHash<QString, QString> m_designations;
    int m_row = 0;

    int m_idXm, m_componentXm, m_codXm, m_timeXm, m_decXm;
    int m_periodNs, m_ampNs, m_periodEw, m_ampEw, m_periodZ, m_ampZ, m_magnitudeZ;

    int m_lineStart = 0;
    int m_lineLen = 0;
    int m_lastHour = -1;
    QString m_lastChannel;
    int m_prevEvent = -1;
    QString m_prevArrival;
    bool m_hasPrevArrival = false;
    double m_prevTime = -600000.0;
    bool m_slashOpen = false;
    QString m_token;
    QString m_focusText;
    QString m_magText;
    int m_lineLimit;
};

} // namespace

QString DateTimeNumberText(double value)
{
    return QString::number(value, 'g', 17);
}

void AppendEmptyTelegram(QString &Text, const QString &Code, TDateTime Day, bool DPeriod)
{
    Text += QLatin1String("SEISMO N") +
            (yearDayCode(Day) + QLatin1Char(' ') + (DPeriod ? QStringLiteral(":") : QString()) + Code +
             QLatin1String(" BEG ") + monthDay(Day) + QLatin1String(" 000000 END ") + monthDay(Day + 1))
                .toUpper() +
            QLatin1String(" 000000") + LF + QLatin1String("STOP");
}

void RefuseSummaryDay(TDateTime Day)
{
    if (!IsWorkDate(Day))
        throw EConvertError(WorkDateProblem(FormatDateTime(QStringLiteral("dd.mm.yyyy"), Day),
                                            QStringLiteral("Дата сводки")));
}

void ComposeTelegram(QString &Text, TD2D &Table, const SummaryStation &Station)
{
    Composer(Text, Table, Station).run();
}

QString OutTextLine(const QString &StrQuake)
{
    QString t = TrimBlanks(StrQuake).toUpper();
    const qsizetype out = t.indexOf(QLatin1String("OUT"));
    if (out < 0)
        return {};
    t = t.mid(out);
    const qsizetype stop = t.indexOf(QLatin1String(" @."));
    if (stop >= 0)
        t.truncate(stop);
    QStringList tokens = t.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (const char *month : kMonths) {
        const QString name = QLatin1String(month);
        for (qsizetype k = tokens.indexOf(name); k >= 0; k = tokens.indexOf(name)) {
            int day = 0;
            if (k > 0 && dayToken(tokens[k - 1], day)) {
                tokens[k] = name + two(day);
                tokens.removeAt(k - 1);
            } else if (k + 1 < tokens.size() && dayToken(tokens[k + 1], day)) {
                tokens[k] = name + two(day);
                tokens.removeAt(k + 1);
            } else {
                tokens[k] = name + QLatin1String("??");
            }
        }
    }
    return tokens.join(QLatin1Char(' '));
}

QString CleanSummaryText(const QString &Text)
{
    const QStringList pieces = Text.split(LF);
    QString out;
    out.reserve(Text.size());
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        const bool last = i + 1 == pieces.size();
        QString line = TrimBlanks(pieces[i]);
        if (line.isEmpty() && !last)
            continue;
        line.replace(QLatin1String("  "), QLatin1String(" "));
        out += line.toUpper();
        if (!last)
            out += LF;
    }
    return out;
}

QString SummaryFileName(const QString &InternalCode, TDateTime Day)
{
    return InternalCode + QLatin1Char('_') +
           QString::number(DayOfTheYear(Day)).rightJustified(3, QLatin1Char('0'));
}

QByteArray SummaryFileBytes(const QString &Text)
{
    return toCp1251(Text) + "\r\n";
}
