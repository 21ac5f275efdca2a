#include "exchange/excel/station_sheets.h"

#include "exchange/excel/workbook.h"
#include "exchange/paradox/paradox_table.h"
#include "lib/errors.h"
#include "lib/messages.h"
#include "lib/number_routines.h"
#include "lib/string_table.h"

#include <QFileInfo>
#include <QRegularExpression>

namespace {

const char *const kLvv[] = {"№ eark",  "date",    "phase", "comph CD-1", "time h", "time m", "time s", "T s",
                            "AMP N-S", "AMP E-W", "AMP Z", "S-P m s",    "D km",   "M",      "Comment"};
const char *const kPet[] = {
    "№",    "Дата", "Волна", "Прибор и составл.", "Время,ч:м:с", "дес.", "S-P,м:с", "D,км", "T", "A-NS",
    "A-EW", "A-Z",  "M",     "Примечание"};
const char *const kTblg[] = {"year", "month", "day", "hour", "min", "psec", "smin", "ssec",
                             "s",    "p",     "s-p", "e",    "n",   "z",    "Ml",   "station"};

QStringList headerNames(int layout)
{
    QStringList names;
    const auto add = [&](const auto &list) {
        for (const char *n : list)
            names << QString::fromUtf8(n);
    };
    if (layout == 2)
        add(kLvv);
    else if (layout == 3)
        add(kPet);
    else if (layout == 4)
        add(kTblg);
    return names;
}

// A sheet's column as the spreadsheet program names it: 1 A, 26 Z, 27 AA.
QString columnLetters(int col)
{
    QString letters;
    for (; col > 0; col /= 26) {
        --col;
        letters.prepend(QChar(u'A' + col % 26));
    }
    return letters;
}

QStringList dateParts(const QString &text)
{
    static const QRegularExpression separators(QStringLiteral("[-./]+"));
    return text.split(separators, Qt::SkipEmptyParts);
}

} // namespace

int StationCodeToMacroNum(const QString &Code)
{
    if (Code == QLatin1String("LVV"))
        return 2;
    if (Code == QLatin1String("PET"))
        return 3;
    if (Code == QLatin1String("TBLG"))
        return 4;
    return -1;
}

void StationSheetColumns(int Layout, int &First, int &Last)
{
    First = Layout == 2 ? 1 : 0;
    Last = Layout == 2 ? 15 : Layout == 3 ? 13 : Layout == 4 ? 15 : 0;
}

void SetStationSheetHeaders(TD2D &Grid, int Layout)
{
    const QStringList names = headerNames(Layout);
    for (int c = 1; c < Grid.ColCount(); ++c)
        Grid.SetCell(c, 0, QStringLiteral("[%1] ").arg(c) + names.value(c - 1));
}

void FixXlsDatesPET(TD2D &Grid, const TFormatSettings &EventsFormat,
                    const std::function<QString(int Row)> &Place, const std::function<QString(int Row)> &Held)
{
    const auto refuse = [&](int row, const QString &cell) {
        const QString held = Held ? Held(row) : QString();
        throw EConvertError((Place ? Place(row) + QStringLiteral(": н") : QStringLiteral("Н")) +
                            QStringLiteral("еверная дата \"") + CutForMessage(held.isEmpty() ? cell : held) +
                            QLatin1Char('"'));
    };
    const auto part = [&](int row, const QString &cell, const QString &text) {
        int value = 0;
        if (!TryStrToInt(text, value))
            refuse(row, cell);
        return value;
    };
    const QString mark = FormatDateTime(QStringLiteral("ddddd"), EncodeDate(1970, 1, 1), EventsFormat);
    dptarray hist;
    for (int r = 1; r < Grid.RowCount(); ++r) {
        const QString cell = Grid.GetCell(2, r);
        if (cell.isEmpty())
            continue;
        const QStringList parts = dateParts(cell);
        if (parts.size() < 3) {
            Grid.SetCell(2, r, mark);
            continue;
        }
        CountValue(hist, part(r, cell, parts[0]));
        CountValue(hist, part(r, cell, parts[1]));
    }
    const int best = MostFrequent(hist);
    if (best < 0)
        return;
    const int month = hist.at(best).first;
    for (int r = 1; r < Grid.RowCount(); ++r) {
        const QString cell = Grid.GetCell(2, r);
        if (cell.isEmpty() || cell == mark)
            continue;
        const QStringList parts = dateParts(cell);
        const int first = part(r, cell, parts[0]), second = part(r, cell, parts[1]),
                  year = part(r, cell, parts[2]);
        const bool monthFirst = first == month;
        TDateTime date = 0;
        if (!TryEncodeDate(year, monthFirst ? first : second, monthFirst ? second : first, date))
            refuse(r, cell);
        Grid.SetCell(2, r, FormatDateTime(QStringLiteral("ddddd"), date, EventsFormat));
    }
}

bool ReadStationSheets(const Workbook &Book, int Layout, const TFormatSettings &Locale,
                       const TFormatSettings &EventsFormat, TD2D &Grid, QString &Message, unsigned &Icon,
                       ImportStats *Stats, const std::function<void(int Row, int First, int Rows)> &Progress)
{
    int first = 0, last = 0;
    StationSheetColumns(Layout, first, last);
    Grid.Init(last - first + 2, 1);
    SetStationSheetHeaders(Grid, Layout);
    TFormatSettings timeFs = Locale;
    timeFs.TimeSeparator = QLatin1Char(':');
    bool dataRead = false;
    int g = 1;
    // Where each grid row came from, so that a date is named by its sheet and cell.
    QList<std::pair<const WorkSheet *, int>> origins{{nullptr, 0}};
    try {
        for (const WorkSheet &sheet : Book.sheets) {
            // Rows are counted from row 1 of the sheet whatever its first used row. Only the rows that
            // hold a cell are looked at: an empty row gives no grid row, and the used range may reach a
            // million rows below the last value.
            QList<int> used = sheet.RowsWithCells();
            while (!used.isEmpty() && used.last() > sheet.lastRow)
                used.removeLast();
            const auto text = [&](int row, int col) {
                return TrimBlanks(WorkbookCellText(sheet.Cell(row, col), Locale));
            };
            qsizetype from = 0;
            while (from < used.size() && !IsIntStr(text(used[from], first + 1)))
                ++from;
            if (from == used.size())
                continue;
            const int r = used[from], rows = used.last();
            if (Stats) {
                Stats->FirstNum = Stats->CurNum = -1;
                Stats->FirstDate.clear();
            }
            for (qsizetype i = from; i < used.size(); ++i) {
                const int row = used[i];
                if (Progress && (i == from || i >= used.size() - 5 || (i - from) % 15 == 0))
                    Progress(row, r, rows);
                if (Layout == 3) {
                    const QString number = text(row, 1);
                    if (!number.isEmpty() && !IsIntStr(number))
                        continue;
                    if (Stats && !number.isEmpty())
                        AddImportStat(1, number, Locale, *Stats);
                    if (const QString date = text(row, 2); Stats && !date.isEmpty())
                        AddImportStat(2, date, Locale, *Stats);
                }
                QStringList cells;
                bool any = false;
                for (int c = first; c <= last; ++c) {
                    QString value = text(row, c + 1);
                    const int k = c - first + 1;
                    if (Layout == 3 && (k == 5 || k == 7)) {
                        double days = 0;
                        if (TryStrToFloatAny(value, days)) {
                            timeFs.LongTimeFormat =
                                k == 5 ? QStringLiteral("hh:nn:ss") : QStringLiteral("\"00:\"nn:ss");
                            value = FormatDateTime(QStringLiteral("tt"), days, timeFs);
                        }
                    }
                    any = any || !value.isEmpty();
                    cells << value;
                }
                if (!any)
                    continue;
                if (Grid.RowCount() <= g)
                    Grid.AddRows(1);
                Grid.SetCell(0, g, QString::number(g));
                for (int k = 0; k < cells.size(); ++k)
                    Grid.SetCell(k + 1, g, cells[k]);
                origins.append({&sheet, row});
                dataRead = true;
                ++g;
            }
        }
        if (dataRead && Layout == 3)
            FixXlsDatesPET(
                Grid, EventsFormat,
                [&](int r) {
                    const auto &[sheet, row] = origins.value(r);
                    QString place = Book.fileName.isEmpty()
                                        ? QString()
                                        : QStringLiteral("файл \"") + QFileInfo(Book.fileName).fileName() +
                                              QStringLiteral("\", ");
                    if (sheet)
                        place += QStringLiteral("лист \"") + CutForMessage(sheet->name) +
                                 QStringLiteral("\", ячейка ") + columnLetters(first + 2) +
                                 QString::number(row);
                    else
                        place += QStringLiteral("строка таблицы %1, столбец 2").arg(r);
                    place[0] = place[0].toUpper();
                    return place;
                },
                // A date cell that holds no date shows as zeros; the file's own value is what is quoted.
                [&](int r) {
                    const auto &[sheet, row] = origins.value(r);
                    const WorkbookCell cell = sheet ? sheet->Cell(row, first + 2) : WorkbookCell();
                    return cell.kind == WorkbookCell::Date ? cell.text : QString();
                });
    } catch (const std::exception &e) {
        Message = QStringLiteral("ReadXls: Произошла ошибка с сообщением:\r") + ExceptionText(e);
        Icon = MB_ICONERROR;
        return false;
    }
    if (!dataRead) {
        Grid.AddRows(1);
        Message = QStringLiteral("В Excel - файле нет данных!");
        Icon = MB_ICONWARNING;
        return false;
    }
    return true;
}
