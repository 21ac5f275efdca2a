#include "lib/combo_routines.h"

#include "lib/data_sources.h"

#include <QComboBox>

int SelectComboText(QComboBox *Combo, const QString &S)
{
    if (!Combo)
        return -1;
    const int index = S.isEmpty() ? -1 : Combo->findText(S, Qt::MatchFixedString);
    Combo->setCurrentIndex(index);
    return index;
}

void FillDataSourceCombos(int Kind, const QList<QComboBox *> &Combos, bool KeepText, QStringList *List)
{
    QStringList own;
    QStringList &sources = List ? *List : own;

    QStringList remembered;
    if (KeepText)
        for (QComboBox *combo : Combos)
            remembered.append(combo ? combo->currentText() : QString());

    if (Kind <= 0)
        GetODBCSources(sources);
    else if (Kind == 1)
        GetOracleTNSNames(sources);

    for (qsizetype i = 0; i < Combos.size(); ++i) {
        QComboBox *combo = Combos.at(i);
        if (!combo)
            continue;
        combo->clear();
        combo->addItems(sources);
        // Filling a list selects nothing; Qt would pick the first item on its own.
        if (KeepText)
            SelectComboText(combo, remembered.at(i));
        else
            combo->setCurrentIndex(-1);
    }
}
