#include "app/settings/reference_files.h"

#include "lib/codec.h"
#include "lib/number_routines.h"

namespace {

QString cell(const QStringList &row, int i)
{
    return row.value(i).trimmed();
}

bool blank(const QStringList &row)
{
    for (const QString &c : row)
        if (!c.trimmed().isEmpty())
            return false;
    return true;
}

// Cut text would come back from the file as another value, so a cell wider than its column stops the save.
QString overlongCell(const QString &file, int rowNumber, const QString &column, const QString &text,
                     int width)
{
    if (text.size() <= width)
        return {};
    return file + QStringLiteral(": значение \"") + text + QStringLiteral("\" в строке № ") +
           QString::number(rowNumber) + QStringLiteral(" (столбец '") + column +
           QStringLiteral("') длиннее ") + QString::number(width) +
           QStringLiteral(" символов.\rИсправьте значение и нажмите OK ещё раз.");
}

} // namespace

ReferenceFile BuildFiltersFile(const QList<QStringList> &Rows, tfilts *Filters)
{
    ReferenceFile out;
    tfilts kept;
    QString text;
    for (int i = 0; i < Rows.size(); ++i) {
        const QStringList &row = Rows.at(i);
        if (blank(row))
            continue;
        const QString kind = cell(row, 0), low = cell(row, 1), high = cell(row, 2);
        for (const auto &[value, column] :
             {std::pair(low, QStringLiteral("От (Гц)")), std::pair(high, QStringLiteral("До (Гц)"))}) {
            out.overlong = overlongCell(QStringLiteral("filters"), i + 1, column, value, 8);
            if (!out.overlong.isEmpty())
                return out;
        }
        tfilt f;
        if (kind.isEmpty() || kind.size() > 6 || !TryStrToFloatAny(low, f.low) ||
            !TryStrToFloatAny(high, f.high)) {
            out.badRows << i + 1;
            continue;
        }
        f.kind = kind.left(2);
        kept << f;
        text += kind.leftJustified(7) + low.leftJustified(8) + high + QStringLiteral("\r\n");
    }
    out.bytes = toCp1251(text);
    if (Filters)
        *Filters = kept;
    return out;
}

ReferenceFile BuildWavesFile(const QList<QStringList> &Rows, TD2D *Table)
{
    ReferenceFile out;
    QList<QStringList> kept;
    QString text;
    for (int i = 0; i < Rows.size(); ++i) {
        const QStringList &row = Rows.at(i);
        if (blank(row))
            continue;
        const QString phase = cell(row, 0), name = cell(row, 1), multiplier = cell(row, 2),
                      channels = cell(row, 3);
        for (const auto &[value, column, width] : {std::tuple(multiplier, QStringLiteral("Множитель"), 10),
                                                   std::tuple(channels, QStringLiteral("Каналы"), 20)}) {
            out.overlong = overlongCell(QStringLiteral("waves"), i + 1, column, value, width);
            if (!out.overlong.isEmpty())
                return out;
        }
        double factor = 0;
        if (phase.size() >= 10 || name.size() >= 10 || name.isEmpty() ||
            !TryStrToFloatAny(multiplier, factor)) {
            out.badRows << i + 1;
            continue;
        }
        kept << QStringList{name, phase, multiplier, channels};
        text += name.leftJustified(10) + phase.leftJustified(10) + multiplier.leftJustified(10) + channels +
                QStringLiteral("\r\n");
    }
    out.bytes = toCp1251(text);
    if (Table) {
        Table->Init(4, int(kept.size()));
        for (int r = 0; r < kept.size(); ++r)
            for (int c = 0; c < 4; ++c)
                Table->SetCell(c, r, kept[r][c]);
    }
    return out;
}

QString BadRowsMessage(const QString &Prefix, const QList<int> &Rows)
{
    if (Rows.isEmpty())
        return {};
    QStringList numbers;
    for (int r : Rows)
        numbers << QString::number(r);
    return Prefix + QStringLiteral(": Встретились ошибки чисел в строках №№ ") +
           numbers.join(QLatin1Char(','));
}
