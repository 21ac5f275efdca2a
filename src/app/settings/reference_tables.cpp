#include "app/settings/reference_tables.h"

#include "lib/number_routines.h"
#include "lib/text_routines.h"

void LoadFiltersAndWaves(const QString &programDir, TD2D &refTable, tfilts &filters, tmulss &waves)
{
    // Each file starts from an empty table of its own shape, so a file that cannot be read never leaves
    // the other file's rows behind as if they were its own.
    dptarray filterCols{{1, 7}, {8, 8}, {16, 8}};
    refTable.Init(int(filterCols.size()), 0);
    ReadFWTxt(refTable, programDir + QStringLiteral("system/filters.txt"), filterCols, false);
    filters.clear();
    const int rows = refTable.RowCount();
    filters.reserve(rows);
    for (int r = 0; r < rows; ++r) {
        tfilt f;
        if (TryStrToFloatAny(refTable.GetCell(1, r), f.low) &&
            TryStrToFloatAny(refTable.GetCell(2, r), f.high)) {
            f.kind = refTable.GetCell(0, r).left(2);
            filters.append(f);
        }
    }

    dptarray waveCols{{1, 10}, {11, 10}, {21, 10}, {31, 20}};
    refTable.Init(int(waveCols.size()), 0);
    ReadFWTxt(refTable, programDir + QStringLiteral("system/waves.txt"), waveCols, false);
    ParseWaveTable(refTable, waves);
}

void ParseWaveTable(TD2D &refTable, tmulss &waves)
{
    waves.clear();
    if (refTable.ColCount() <= wcChannels)
        return;
    const int rows = refTable.RowCount();
    waves.reserve(rows);
    for (int r = 0; r < rows; ++r) {
        double multiplier = 1;
        if (!TryStrToFloatAny(refTable.GetCell(wcMultiplier, r), multiplier)) {
            refTable.SetCell(wcMultiplier, r, QStringLiteral("1"));
            multiplier = 1;
        }
        if (refTable.GetCell(wcChannels, r).isEmpty())
            refTable.SetCell(wcChannels, r, QStringLiteral("*"));
        const QString channels = refTable.GetCell(wcChannels, r);

        tmuls muls;
        if (channels != QLatin1String("*")) {
            dsarray items;
            SplitTokens(channels, CharSet(QStringLiteral(" ,;")), CharSet(QStringLiteral("\"'")), items);
            for (const QString &item : items) {
                tphchmul m;
                m.factor = multiplier;
                const qsizetype eq = item.indexOf(QLatin1Char('='));
                if (eq < 0) {
                    m.name = item.trimmed().toUpper();
                } else {
                    m.name = item.left(eq).trimmed().toUpper();
                    if (!TryStrToFloatAny(item.mid(eq + 1).trimmed(), m.factor))
                        m.factor = multiplier;
                }
                muls.append(m);
            }
        }
        waves.append(muls);
    }
}

double WaveAmplitudeFactor(const TD2D &refTable, const tmulss &waves, int Row, const QString &Channel)
{
    double multiplier = 1;
    if (!TryStrToFloatAny(refTable.GetCell(wcMultiplier, Row), multiplier))
        multiplier = 1;
    // A table rewritten but not yet parsed again has no channel list for its new rows.
    if (Row >= waves.size())
        return multiplier;
    const QString channel = Channel.toUpper();
    for (const tphchmul &m : waves.at(Row))
        if (m.name == channel)
            return m.factor;
    return multiplier;
}
