#include "exchange/excel/pet_conversion.h"

#include "lib/date_routines.h"
#include "lib/errors.h"
#include "lib/number_routines.h"
#include "lib/string_table.h"

namespace {

// Values beyond the table's columns are dropped, as the station's export format has them.
void appendRow(TD2D &table, const QStringList &values)
{
    const int row = table.AddRows(1);
    if (row < 0)
        return;
    for (int c = 0; c < std::min(int(values.size()), table.ColCount()); ++c)
        table.SetCell(c, row, values[c]);
}

QString between(const QString &cell, QChar from, const QString &to)
{
    const qsizetype a = cell.indexOf(from);
    const qsizetype b = cell.indexOf(to);
    return b > a ? cell.mid(a + 1, b - a - 1) : QString();
}

int hourOf(const QString &time)
{
    const QString text = TrimBlanks(time.section(QLatin1Char(':'), 0, 0));
    int hour = 0;
    if (!TryStrToInt(text, hour))
        throw EConvertError(QStringLiteral("Неверное время: \"%1\"").arg(CutForMessage(time)));
    return hour;
}

class Conversion
{
public:
    Conversion(const TD2D &grid, const TFormatSettings &fs, const TFormatSettings &locale, TDateTime today,
               TD2D &events, TD2D &bulletin, TD2D &xm)
        : m_grid(grid), m_fs(fs), m_locale(locale), m_events(events), m_bulletin(bulletin), m_xm(xm)
    {
        m_mark = FormatDateTime(QStringLiteral("ddddd"), EncodeDate(1970, 1, 1), fs);
        m_today = FormatDateTime(QStringLiteral("ddddd"), today, fs);
    }

    void row(int r)
    {
        const auto cell = [&](int c) { return m_grid.GetCell(c, r); };

        const QString number = cell(1);
        if (!number.isEmpty()) {
            if (m_open) {
                appendEvent();
                m_lat.clear(), m_lon.clear(), m_depth.clear(), m_az.clear(), m_deltagr.clear(),
                    m_deltakm.clear();
                m_originDec.clear(), m_comment.clear(), m_spDec.clear();
                m_originTime = m_mark;
                m_spTime = m_mark;
                ++m_eventCounter;
            }
            m_open = true;
            m_num = number;
        }
        if (!cell(2).isEmpty())
            m_lastDate = cell(2);
        const QString date = m_lastDate;

        QString phase = cell(3), fm, qual;
        const auto isQual = [](QChar c) { return c == u'e' || c == u'i' || c == u'q'; };
        if (phase.startsWith(QLatin1Char('+')) || phase.startsWith(QLatin1Char('-'))) {
            fm = phase.left(1);
            if (phase.size() > 1 && isQual(phase.at(1))) {
                qual = phase.mid(1, 1);
                phase = phase.mid(2);
            } else {
                phase = phase.mid(1);
            }
        } else if (!phase.isEmpty() && isQual(phase.at(0))) {
            qual = phase.left(1);
            phase = phase.mid(1);
        }

        const bool hasM = phase.contains(QLatin1Char('M'));
        const bool continues = phase == m_prevPhase + QLatin1Char('M') || phase == m_prevPhase;
        if (!hasM) {
            ++m_arrival;
        } else {
            ++m_amplitude;
            if (!continues && !m_firstRow)
                ++m_arrival;
        }

        QString instrument = TrimBlanks(cell(4)), component;
        if (!instrument.isEmpty() && QStringLiteral("ENZenz").contains(instrument.back())) {
            component = instrument.right(1);
            instrument = TrimBlanks(instrument.left(instrument.size() - 1));
        } else if (!instrument.isEmpty()) {
            component = QStringLiteral("Z");
        }
        const QString band =
            instrument.contains(QLatin1String("-3")) ? QStringLiteral("SP")
            : instrument.contains(QLatin1String("SD-1")) || instrument.contains(QLatin1String("CD-1"))
                ? QStringLiteral("LP")
            : !instrument.isEmpty() ? QStringLiteral("MP")
                                    : QString();

        const QString dateTime = date + QLatin1Char(' ') + cell(5);
        const QString tenths = cell(6);

        const QString sp = cell(7);
        if (!sp.isEmpty()) {
            const qsizetype point = sp.indexOf(QLatin1Char('.'));
            if (point >= 0) {
                m_spTime = QStringLiteral("00") + m_fs.TimeSeparator + sp.left(point);
                m_spDec = sp.right(1);
            } else {
                m_spTime = sp;
                m_spDec = QStringLiteral("0");
            }
        }

        const QString distance = cell(8);
        if (!distance.isEmpty())
            (StrToFloatAny(distance) < 100 ? m_deltagr : m_deltakm) = distance;

        const QString period = cell(9);
        QString fms[3], periods[3], amps[3];
        for (int i = 0; i < 3; ++i) {
            const QString a = TrimBlanks(cell(10 + i));
            double v = 0;
            if (a.contains(QLatin1Char('+')))
                fms[i] = QStringLiteral("+");
            else if (a.contains(QLatin1Char('-')))
                fms[i] = QStringLiteral("-");
            else if (TryStrToFloatAny(a, v))
                amps[i] = a;
            if (!amps[i].isEmpty())
                periods[i] = period;
        }

        QString magNE, klassNE, magZ, klassZ;
        const QString m = cell(13);
        if (!m.isEmpty()) {
            const qsizetype eq = m.indexOf(QLatin1Char('='));
            const QString value = eq < 0 ? m : m.mid(eq + 1);
            const bool z = component == QLatin1String("Z");
            const bool ne = component.contains(QLatin1Char('N')) || component.contains(QLatin1Char('E'));
            if (m.contains(QLatin1Char('K'))) {
                (z ? klassZ : ne ? klassNE : m_unused) = value;
            } else if (m.contains(QLatin1Char('M'))) {
                (z ? magZ : ne ? magNE : m_unused) = value;
            }
        }

        note(cell(14), date, cell(5));

        const QStringList bulletinRow = {QString::number(m_arrival),
                                         {},
                                         m_num,
                                         QStringLiteral("PET"),
                                         date,
                                         fm,
                                         qual,
                                         QStringLiteral("0"),
                                         phase,
                                         instrument,
                                         band,
                                         QStringLiteral("0"),
                                         component,
                                         dateTime,
                                         tenths,
                                         fms[0],
                                         fms[1],
                                         fms[2]};
        const QStringList xmRow = {QString::number(m_amplitude),
                                   QString::number(m_arrival),
                                   instrument,
                                   band,
                                   component,
                                   dateTime,
                                   tenths,
                                   periods[0],
                                   amps[0],
                                   periods[1],
                                   amps[1],
                                   periods[2],
                                   amps[2],
                                   magNE,
                                   klassNE,
                                   magZ,
                                   klassZ};
        const qsizetype p = phase.indexOf(QLatin1Char('M')) + 1;
        if (phase == m_prevPhase + QLatin1Char('M') || (phase == m_prevPhase && hasM)) {
            appendRow(m_xm, xmRow);
        } else if (p > 0 && p == phase.size()) {
            QStringList withoutM = bulletinRow;
            withoutM[8] = phase.left(p - 1);
            withoutM[13] = m_mark;
            withoutM[14].clear();
            appendRow(m_bulletin, withoutM);
            appendRow(m_xm, xmRow);
        } else {
            appendRow(m_bulletin, bulletinRow);
        }

        m_prevPhase = hasM ? phase.left(phase.size() - 1) : phase;
        m_firstRow = false;
    }

    void finish()
    {
        appendEvent();
        for (int c : {3, 4})
            for (int r = 1; r < m_bulletin.RowCount(); ++r)
                if (c < m_bulletin.ColCount() && m_bulletin.GetCell(c, r).isEmpty())
                    m_bulletin.SetCell(c, r, m_bulletin.GetCell(c, r - 1));
    }

private:
    void note(const QString &cell, const QString &date, const QString &time)
    {
        if (cell.isEmpty())
            return;
        const qsizetype eq = cell.indexOf(QLatin1Char('='));
        if (cell.contains(QLatin1String("O="))) {
            const qsizetype point = cell.indexOf(QLatin1Char('.'));
            if (point < 0) {
                m_originTime = cell.mid(eq + 1);
                return;
            }
            QString clock = cell.mid(eq + 1, point - eq - 1);
            clock.replace(QLatin1Char('-'), QLatin1Char(':'));
            const QString digit = cell.mid(point + 1, 1);
            m_originDec = IsIntStr(digit) ? digit : QString();
            TDateTime day = 0;
            if (!TryStrToDateTime(date, day, m_fs))
                throw EConvertError(QStringLiteral("Неверная дата: \"%1\"").arg(CutForMessage(date)));
            if (hourOf(clock) > hourOf(time))
                day -= 1;
            m_originTime = FormatDateTime(QStringLiteral("ddddd"), day, m_fs) + QLatin1Char(' ') + clock;
        } else if (cell.contains(QLatin1String("LAT="))) {
            coordinate(cell, QStringLiteral("S"), QStringLiteral("N"), m_lat);
        } else if (cell.contains(QLatin1String("LON="))) {
            coordinate(cell, QStringLiteral("W"), QStringLiteral("E"), m_lon);
        } else if (cell.contains(QLatin1String("AZ="))) {
            m_az = cell.mid(eq + 1);
        } else if (cell.contains(QLatin1String("H="))) {
            m_depth = between(cell, QLatin1Char('='), QStringLiteral("km"));
        } else {
            m_comment = cell;
        }
    }

    void coordinate(const QString &cell, const QString &negative, const QString &positive, QString &target)
    {
        if (cell.contains(negative))
            target = FloatToStr(-StrToFloatAny(between(cell, QLatin1Char('='), negative)),
                                m_locale.DecimalSeparator);
        else if (cell.contains(positive))
            target = between(cell, QLatin1Char('='), positive);
    }

    void appendEvent()
    {
        appendRow(m_events, {QString::number(m_eventCounter),
                             m_num,
                             m_originTime,
                             m_originDec,
                             m_lat,
                             m_lon,
                             m_depth,
                             m_deltagr,
                             m_deltakm,
                             m_az,
                             {},
                             m_spTime,
                             m_spDec,
                             {},
                             {},
                             {},
                             m_comment,
                             m_today});
    }

    const TD2D &m_grid;
    const TFormatSettings &m_fs;
    const TFormatSettings &m_locale;
    TD2D &m_events, &m_bulletin, &m_xm;
    QString m_mark, m_today;
    int m_eventCounter = 1, m_arrival = 1, m_amplitude = 1;
    bool m_open = false, m_firstRow = true;
    QString m_num, m_originTime, m_originDec, m_lat, m_lon, m_depth, m_deltagr, m_deltakm, m_az, m_spTime,
        m_spDec, m_comment, m_lastDate, m_prevPhase, m_unused;
};

} // namespace

bool PetMacro(const TD2D &Grid, const TFormatSettings &EventsFormat, const TFormatSettings &Locale,
              const PetTableColumns &Columns, TDateTime Today, TD2D &Events, TD2D &StationBulletin,
              TD2D &XmAdd, QString &Message, const std::function<void(int Row)> &Progress)
{
    Events.Init(Columns.events, 0);
    StationBulletin.Init(Columns.stationBulletin, 0);
    XmAdd.Init(Columns.xmAdd, 0);
    int number = -1;
    try {
        Conversion conversion(Grid, EventsFormat, Locale, Today, Events, StationBulletin, XmAdd);
        for (int r = 1; r < Grid.RowCount(); ++r) {
            number = r;
            if (Progress)
                Progress(r);
            conversion.row(r);
        }
        number = -1;
        conversion.finish();
        return true;
    } catch (const std::exception &e) {
        Message =
            QStringLiteral("PetMacro: строка №%1\rСообщение об ошибке: \r").arg(number) + ExceptionText(e);
        return false;
    }
}
