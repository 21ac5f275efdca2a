#include "app/stations/data_periods.h"

#include "app/data/data_module.h"
#include "app/main/main_window.h"
#include "app/settings/progress_window.h"
#include "db/db_query.h"
#include "lib/epoch.h"
#include "lib/number_routines.h"
#include "lib/sql_text.h"
#include "lib/statements.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>

bool ReadPeriodTolerance(const QString &Text, double &Tolerance)
{
    return TryStrToFloatAny(Text, Tolerance);
}

bool EpochDay(double Epoch, TDateTime &Day)
{
    quint16 year, month, day, hour, min, sec, frac;
    if (!etoh(Epoch, year, month, day, hour, min, sec, frac, true))
        return false;
    Day = EncodeDate(year, month, day);
    return true;
}

void DataPeriodRuns::add(TDateTime Day)
{
    if (m_periods.isEmpty()) {
        m_periods.append({Day, Day});
        return;
    }
    DataPeriod &last = m_periods.last();
    const double gap = Day - last.end;
    if (gap < 1)
        return;
    if (gap < m_limit)
        last.end = Day;
    else
        m_periods.append({Day, Day});
}

void PeriodCells(const DataPeriod &Period, const TFormatSettings &Fs, QString &Start, QString &End)
{
    Start = FormatDateTime(QStringLiteral("ddddd"), Period.start, Fs);
    End = Period.end == Period.start ? QString() : FormatDateTime(QStringLiteral("ddddd"), Period.end, Fs);
}

// ---- The panel of the main window ----

void Tmainf::connectDataPeriods()
{
    if (auto *b = findChild<QPushButton *>(QStringLiteral("Button8")))
        connect(b, &QPushButton::clicked, this, &Tmainf::Button8Click);
    connect(Edit10, &QLineEdit::returnPressed, this, [this] { Edit10KeyDown(13); });
}

void Tmainf::Button8Click()
{
    if (Panel10->isHidden()) {
        Panel10->setVisible(true);
        StationChanged(true);
    } else {
        Panel10->setVisible(false);
    }
}

void Tmainf::Edit10KeyDown(int Key)
{
    if (Key != 13)
        return;
    periodsForced = true;
    StationChanged(true);
}

void Tmainf::showPeriodRows()
{
    if (m_periodRows.isEmpty())
        return;
    sgts->setRowCount(int(m_periodRows.size()));
    for (int r = 0; r < m_periodRows.size(); ++r)
        for (int c = 0; c < 2; ++c)
            sgts->setItem(r, c, new QTableWidgetItem(m_periodRows.at(r).value(c)));
}

void Tmainf::CheckSTIORXData(bool CheckData)
{
    if (!CheckData)
        return;
    sgts->setRowCount(1);
    sgts->clearContents();
    if (!sett.fullorx || Panel10->isHidden() || curCode.isEmpty())
        return;
    // The same station again shows what was computed for it rather than an empty table.
    if (periodsCode == curCode && !periodsForced) {
        showPeriodRows();
        return;
    }
    periodsCode = curCode;
    periodsForced = false;
    m_periodRows.clear();
    Tdm *dm = Tdm::instance();
    if (!dm)
        return;
    double tolerance = 1;
    if (!ReadPeriodTolerance(Edit10->text(), tolerance)) {
        tolerance = 1;
        Edit10->setText(QStringLiteral("1"));
    }

    dm->WithOrx(*this, this,
                QStringLiteral("CheckSTIORXData: Не удалось извлечь информацию об имеющихся данных."),
                [&](Tdm &dm) {
                    DbQuery &q = *dm.rstORX;
                    if (!QAct(q, QStringLiteral("select itime from arrival where rtrim(sta)='") +
                                     SqlEscape(curCode) + QStringLiteral("' order by itime")) ||
                        q.RecordCount() == 0)
                        return false;

                    q.Last();
                    const int total = q.RecNo();
                    Tpro progress(this);
                    progress.SetCancelFlag(false, nullptr);
                    progress.pb->setMaximum(total);
                    const QString suffix = QStringLiteral(" из ") + QString::number(total);
                    QElapsedTimer clock;
                    clock.start();
                    qint64 lastUpdate = 0;
                    q.First();

                    TField *itime = q.FieldByName(QStringLiteral("itime"));
                    DataPeriodRuns runs(tolerance + 1);
                    for (bool first = true; !q.Eof(); q.Next(), first = false) {
                        if (!first) {
                            if (progress.isHidden() && clock.elapsed() > 500) {
                                progress.show();
                                lastUpdate = clock.elapsed() - 600;
                            }
                            if (!progress.isHidden() && clock.elapsed() - lastUpdate > 500) {
                                progress.pb->setValue(q.RecNo());
                                progress.setWindowTitle(QStringLiteral("Расчёт периодов данных: ") +
                                                        QString::number(q.RecNo()) + suffix);
                                // Only painting: a click on another station now would reuse the query under
                                // us.
                                QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
                                lastUpdate = clock.elapsed();
                            }
                        }
                        // An arrival without a time belongs to no day.
                        TDateTime day = 0;
                        if (!itime->IsNull() && EpochDay(itime->AsFloat(), day))
                            runs.add(day);
                    }

                    QList<QStringList> rows;
                    for (const DataPeriod &p : runs.periods()) {
                        QString start, end;
                        PeriodCells(p, fsLocal, start, end);
                        rows.append({start, end});
                    }
                    m_periodRows = rows;
                    showPeriodRows();
                    return true;
                });
}
