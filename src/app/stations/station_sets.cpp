#include "app/data/data_module.h"
#include "app/main/main_window.h"
#include "db/db_query.h"
#include "lib/sql_text.h"
#include "lib/statements.h"

#include <QHash>
#include <QListWidget>

#include <algorithm>

namespace {

// Sorted, case-insensitive, duplicates ignored: the form of every station-code list here.
void addCode(QStringList &list, const QString &code)
{
    const auto less = [](const QString &a, const QString &b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    };
    const auto it = std::lower_bound(list.begin(), list.end(), code, less);
    if (it == list.end() || it->compare(code, Qt::CaseInsensitive) != 0)
        list.insert(it, code);
}

// Codes in the form of the lists above, built at once: sorted and the first of each spelling kept, as
// adding them one by one keeps it.
void sortCodes(QStringList &list)
{
    std::stable_sort(list.begin(), list.end(), [](const QString &a, const QString &b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    const auto last = std::unique(list.begin(), list.end(), [](const QString &a, const QString &b) {
        return a.compare(b, Qt::CaseInsensitive) == 0;
    });
    list.erase(last, list.end());
}

// The first row of each code in the list, by its case-folded text: one pass, so that setting the ticks
// of many stations stays linear.
QHash<QString, int> rowsByCode(const QListWidget *list)
{
    QHash<QString, int> rows;
    rows.reserve(list->count());
    for (int i = list->count() - 1; i >= 0; --i)
        rows.insert(list->item(i)->text().toCaseFolded(), i);
    return rows;
}

} // namespace

void Tmainf::setItemTick(int Row, bool Ticked)
{
    QListWidgetItem *item = stas->item(Row);
    const bool enabled = checkEnabled;
    checkEnabled = false;
    item->setCheckState(Ticked ? Qt::Checked : Qt::Unchecked);
    checkEnabled = enabled;
    const int entry = item->data(Qt::UserRole).toInt();
    if (entry >= 0 && entry < stations.size())
        stations[entry].checked = Ticked;
}

void Tmainf::SetCheckedCodes(const dsarray &Codes)
{
    checkedStations.clear();
    QList<bool> ticked(stas->count(), false);
    const QHash<QString, int> rows = rowsByCode(stas);
    for (const QString &code : Codes) {
        const int row = rows.value(code.toCaseFolded(), -1);
        if (row < 0)
            continue;
        checkedStations << code;
        setItemTick(row, true);
        ticked[row] = true;
    }
    sortCodes(checkedStations);
    BuildCheckedLists();
    for (int i = 0; i < stas->count(); ++i)
        if (!ticked.at(i))
            setItemTick(i, false);
}

void Tmainf::BuildCheckedLists()
{
    QStringList quoted;
    for (const QString &code : std::as_const(checkedStations))
        quoted << SqlQuote(code);
    checkedQuoted = quoted.join(QLatin1Char(','));
    checkedPlain = checkedStations.join(QLatin1Char(','));
}

void Tmainf::stasClickCheck(int Row)
{
    QListWidgetItem *item = stas->item(Row);
    if (!checkEnabled || !item)
        return;
    const int entry = item->data(Qt::UserRole).toInt();
    if (entry < 0 || entry >= stations.size())
        return;
    const bool ticked = item->checkState() == Qt::Checked;
    // The list reports every change of an item; only a new tick counts.
    if (stations.at(entry).checked == ticked)
        return;
    stations[entry].checked = ticked;
    if (ticked) {
        addCode(checkedStations, item->text());
    } else {
        checkedStations.removeIf(
            [&](const QString &code) { return code.compare(item->text(), Qt::CaseInsensitive) == 0; });
    }
    BuildCheckedLists();
    if (sett.flagbeg)
        SortStations(false);
}

void Tmainf::SetAllChecks(bool Value, bool Invert)
{
    checkEnabled = false;
    checkedStations.clear();
    for (int i = 0; i < stas->count(); ++i) {
        QListWidgetItem *item = stas->item(i);
        const bool tick = Invert ? item->checkState() != Qt::Checked : Value;
        setItemTick(i, tick);
        if (tick)
            checkedStations << item->text();
    }
    sortCodes(checkedStations);
    BuildCheckedLists();
    if (sett.flagbeg)
        SortStations(false);
    checkEnabled = true;
}

void Tmainf::RestoreChecks()
{
    QList<bool> ticked(stas->count(), false);
    const QHash<QString, int> rows = rowsByCode(stas);
    for (const QString &code : std::as_const(checkedStations)) {
        const int row = rows.value(code.toCaseFolded(), -1);
        if (row < 0)
            continue;
        setItemTick(row, true);
        ticked[row] = true;
    }
    for (int i = 0; i < stas->count(); ++i)
        if (!ticked.at(i))
            setItemTick(i, false);
}

void Tmainf::CodeToSta(const QString &Code, bool Mark, QString &Sta) const
{
    const int row = stationRow(Code);
    if (row >= 0) {
        const int entry = stas->item(row)->data(Qt::UserRole).toInt();
        if (entry >= 0 && entry < stations.size() && !stations.at(entry).sta.isEmpty()) {
            Sta = stations.at(entry).sta;
            return;
        }
    }
    Sta = Mark ? QStringLiteral("/ ") + Code : Code;
}

void Tmainf::BuildStationSet(QStringList &List, const QString &PeriodCond, QString &SetName)
{
    // An empty code is no station: nothing selected gives no telegram.
    const auto add = [&List](const QString &code) {
        if (!code.isEmpty())
            addCode(List, code);
    };
    const auto nameOfSet = [&] {
        return List.size() > 1 ? sett.multi_name : List.isEmpty() ? QString() : List.first();
    };
    switch (sett.svset) {
    case 0:
        add(curCode);
        SetName = curCode;
        break;
    case 1:
        for (const QString &code : std::as_const(checkedStations))
            add(code);
        SetName = List.size() > 1 ? sett.multi_name : checkedPlain;
        break;
    case 2:
        if (checkedStations.isEmpty()) {
            add(curCode);
            SetName = curCode;
            break;
        }
        for (const QString &code : std::as_const(checkedStations))
            add(code);
        add(curCode);
        SetName = nameOfSet();
        break;
    case 3: {
        Tdm *dm = Tdm::instance();
        if (!dm)
            return;
        DbQuery &q = *dm->rstORX;
        if (!QAct(q, QStringLiteral("select distinct sta from arrival where ") + PeriodCond)) {
            SetName.clear();
            return;
        }
        // A network narrows the set to its own stations; one without stations narrows nothing, as
        // "<<< все станции >>>" does.
        const QStringList *members = nullptr;
        if (QListWidgetItem *item = nets->currentItem(); item && item->isSelected() && nets->row(item) > 0) {
            const int index = item->data(Qt::UserRole).toInt();
            if (index >= 0 && index < networks.size() && networks.at(index).list &&
                !networks.at(index).list->isEmpty())
                members = networks.at(index).list.get();
        }
        for (; !q.Eof(); q.Next()) {
            const QString code = q.Field(0)->AsString().trimmed();
            if (!members || members->contains(code, Qt::CaseInsensitive))
                add(code);
        }
        q.Close();
        SetName = nameOfSet();
        break;
    }
    default:
        break;
    }
}
