#include "exchange/page/import_page.h"

#include "app/data/data_module.h"
#include "app/main/main_window.h"
#include "app/main/product_commands.h"
#include "app/main/program_folder.h"
#include "app/settings/param_dialog.h"
#include "app/settings/progress_window.h"
#include "app/settings/settings_record.h"
#include "db/db_connection.h"
#include "exchange/excel/excel_import.h"
#include "exchange/krv/krv_import.h"
#include "exchange/orv/orv_import.h"
#include "exchange/orv/orv_import_page.h"
#include "exchange/page/import_grid.h"
#include "exchange/page/import_page_files.h"
#include "exchange/page/import_type.h"
#include "exchange/paradox/paradox_reader.h"
#include "exchange/text/bulletin_export_command.h"
#include "exchange/text/data_format_dialog.h"
#include "exchange/text/delimited_reader.h"
#include "exchange/text/text_to_bulletin.h"
#include "exchange/text/text_to_orx.h"
#include "lib/errors.h"
#include "lib/messages.h"
#include "lib/mstring_grid.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QWheelEvent>

namespace {

class ProgramDialogs : public ImportPageDialogs
{
public:
    explicit ProgramDialogs(Tmainf &mainf) : m_mainf(mainf) {}
    bool ChooseFile(const QString &Title, const QString &Filter, const QString &FileName, int FilterIndex,
                    QString &Chosen) override
    {
        Tdm *dm = Tdm::instance();
        return dm && dm->ExecOpenDialog(Title, Filter, FileName, FilterIndex, Chosen);
    }
    void EditNameSamples() override
    {
        Tpar dialog(&m_mainf);
        dialog.Setup(3, nullptr, {});
        dialog.exec();
    }

private:
    Tmainf &m_mainf;
};
} // namespace

ImportPage::ImportPage(Tmainf &mainf)
    : QObject(&mainf), m_mainf(mainf), m_dialogs(std::make_unique<ProgramDialogs>(mainf))
{
    connect(m_mainf.ifrom, &QComboBox::currentIndexChanged, this, [this] { ifromChange(); });
    connect(m_mainf.imm, &QCheckBox::clicked, this, [this] { SetImmediateMode(m_mainf.imm->isChecked()); });
    const auto on = [this](const char *name, auto slot) {
        if (auto *b = control<QAbstractButton>(name))
            connect(b, &QAbstractButton::clicked, this, slot);
    };
    on("Button11", [this] { ReadData(); });
    on("Button12", [this] { Button12Click(); });
    on("Button25", [this] { Button25Click(); });
    on("Button14", [this] { WriteData(); });
    for (const char *radio : {"Evrb", "Strb", "XMrb"})
        if (auto *b = control<QRadioButton>(radio))
            connect(b, &QRadioButton::toggled, this, [this](bool checked) {
                if (checked)
                    RadioChanged();
            });
    on("Button13", [this] {
        if (m_gridLock)
            GridInsertRow(*m_mainf.sg);
    });
    on("Button16", [this] {
        if (m_gridLock)
            GridDeleteRow(*m_mainf.sg);
    });
    on("Button20", [this] {
        if (m_gridLock)
            GridAddELQ(*m_mainf.sg);
    });
    // The page's hidden search buttons, kept for the developers.
    on("Button6", [this] {
        if (!m_gridLock)
            return;
        const int row = GridFindRow(*m_mainf.sg, 1, 1, QStringLiteral("20061030101254"), true);
        if (row > 0)
            m_mainf.sg->verticalScrollBar()->setValue(row);
        MessageProc(&m_mainf, QStringLiteral("ряд: ") + QString::number(row), MB_ICONERROR, MB_OK);
    });
    for (const auto &[name, col] : {std::pair{"Button41", 1}, std::pair{"Button42", 3}})
        on(name, [this, col = col] {
            TMStringGrid *sg = m_mainf.sg;
            const QList<QTableWidgetSelectionRange> ranges = sg->selectedRanges();
            const int from = ranges.isEmpty() ? std::max(sg->currentRow(), 1) : ranges.first().topRow();
            const int row = GridFindRow(*sg, col, from, control<QLineEdit>("Edit11")->text(), false);
            if (row < 0) {
                MessageProc(&m_mainf, QStringLiteral("Ничего не найдено!"), MB_ICONERROR, MB_OK);
                return;
            }
            sg->clearSelection();
            sg->setCurrentCell(row, col);
            sg->verticalScrollBar()->setValue(row);
        });
    on("Button33", [this] {
        if (m_gridLock)
            GridShiftCells(*m_mainf.sg, 1);
    });
    on("Button34", [this] {
        if (m_gridLock)
            GridShiftCells(*m_mainf.sg, -1);
    });
    // The ORX page's export button does what the event page's does (its own handler lives there).
    on("BitBtn17", [this] { m_mainf.BitBtn14Click(); });

    // The wheel moves the grid one row, never the current cell.
    m_mainf.sg->viewport()->installEventFilter(this);
    // A click on the itime header of the ORV arrival view sorts the arrivals by time.
    connect(m_mainf.sg, &TMStringGrid::cellClicked, this, [this](int row, int col) {
        if (row != 0 || col < 1 || !m_gridLock || GetImportType() != ImportOrv ||
            !control<QRadioButton>("XMrb")->isChecked())
            return;
        TD2D &arrivals = m_mainf.importTable(2);
        if (arrivals.RowCount() < 1 || col - 1 >= arrivals.ColCount() ||
            arrivals.GetCell(col - 1, 0).compare(QLatin1String("itime"), Qt::CaseInsensitive) != 0)
            return;
        try {
            SortByItime(arrivals, col - 1, m_mainf.fsDmy);
        } catch (const std::exception &e) {
            MessageProc(&m_mainf, ExceptionText(e), MB_ICONERROR, MB_OK);
        }
        TableToGrid(arrivals, *m_mainf.sg);
    });
    if (Tdm *dm = Tdm::instance(); dm && dm->pm1) {
        QAction *items[] = {dm->N1, dm->N2, dm->N3, dm->N4};
        for (int op = 0; op < 4; ++op)
            connect(items[op], &QAction::triggered, this, [this, op] {
                if (!m_mainf.gridClip)
                    m_mainf.gridClip = std::make_unique<TD2D>();
                GridClipboardOp(*m_mainf.sg, *m_mainf.gridClip, op);
            });
        m_mainf.sg->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(m_mainf.sg, &QWidget::customContextMenuRequested, this, [this, dm](const QPoint &at) {
            const QModelIndex cell = m_mainf.sg->indexAt(at);
            if (GetImportType() != ImportOrv && cell.isValid() &&
                m_mainf.sg->selectionModel()->isSelected(cell))
                dm->pm1->popup(m_mainf.sg->viewport()->mapToGlobal(at));
        });
    }
}

template <typename T> T *ImportPage::control(const char *name) const
{
    return m_mainf.findChild<T *>(QString::fromLatin1(name));
}

bool ImportPage::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::Wheel || watched != m_mainf.sg->viewport())
        return QObject::eventFilter(watched, event);
    QScrollBar *bar = m_mainf.sg->verticalScrollBar();
    const int delta = static_cast<QWheelEvent *>(event)->angleDelta().y();
    if (delta != 0)
        bar->setValue(bar->value() + (delta < 0 ? 1 : -1));
    return true;
}

TMStringGrid &ImportPage::grid() const
{
    return *m_mainf.sg;
}

TD2D &ImportPage::importTable(int slot) const
{
    return m_mainf.importTable(slot);
}

bool ImportPage::immediate() const
{
    return m_mainf.imm->isChecked();
}

bool ImportPage::mergeEvents() const
{
    return m_mainf.adde->isChecked();
}

TFormatSettings ImportPage::eventsFormat() const
{
    TFormatSettings fs;
    TspecToFormatSettings(fs, m_formats.importSpec[SpecEvents], m_mainf.fsLocal, m_mainf.curYear);
    return fs;
}

void ImportPage::showStatus(const QString &st1, const QString &st2, const QString &st3)
{
    const std::pair<const char *, QString> panels[] = {{"st1", st1}, {"st2", st2}, {"st3", st3}};
    for (const auto &[name, text] : panels)
        if (auto *label = control<QLabel>(name))
            label->setText(text);
}

void ImportPage::ClearImportGrid(bool lock)
{
    m_gridLock = lock;
    if (lock)
        return;
    m_gridTable = 0;
    // The panels speak of the grid's rows: with the rows gone they would tell of an earlier read.
    ShowImportStats(control<QLabel>("st1"), control<QLabel>("st2"), control<QLabel>("st3"), {});
    m_gridWritten = false;
    TMStringGrid *sg = m_mainf.sg;
    // The numbers' column keeps its width (a read narrows it first).
    const int numbers = sg->columnWidth(0);
    sg->cells().Reset(2, 2);
    sg->setColumnWidth(0, numbers);
    const int width = sg->horizontalHeader()->defaultSectionSize();
    for (int c = 1; c < sg->columnCount(); ++c)
        sg->setColumnWidth(c, width);
}

void ImportPage::SetImportType(int value)
{
    // Choosing the item from the program is no choice of the user, so the change handler stays out.
    const QSignalBlocker block(m_mainf.ifrom);
    m_mainf.ifrom->setCurrentIndex(value);
    m_fieldsType = GetImportType();
}

int ImportPage::GetImportType() const
{
    return m_mainf.ifrom->currentIndex();
}

void ImportPage::ifromChange()
{
    const int left = std::exchange(m_fieldsType, GetImportType());
    if (m_mainf.initializing)
        return;
    LoadSpec(m_mainf.curCode, true);
    if (left >= 0)
        m_mainf.SwitchImportFiles(left);
    SetupImportControls();
    SetImmediateMode(m_mainf.imm->isChecked());
    ClearImportGrid(false);
    UpdateImportControls();
}

void ImportPage::SetupImportControls()
{
    auto *evrb = control<QRadioButton>("Evrb");
    auto *strb = control<QRadioButton>("Strb");
    auto *xmrb = control<QRadioButton>("XMrb");
    QLineEdit *textEdits[] = {m_mainf.Events, m_mainf.Station_bulletin, m_mainf.XM_Add};

    control<QLabel>("Label61")->setVisible(false);
    m_mainf.sg->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                                QAbstractItemView::AnyKeyPressed);
    control<QPushButton>("Button12")->setVisible(true);

    const int type = GetImportType();
    const bool text = type == ImportText;
    m_mainf.Edit5->setVisible(!text);
    for (QLineEdit *edit : textEdits)
        edit->setVisible(text);
    evrb->setVisible(text);
    if (text) {
        strb->setVisible(true);
        xmrb->setVisible(true);
        evrb->setChecked(true);
        strb->setText(QStringLiteral("Station_bulletin"));
        xmrb->setText(QStringLiteral("XM_Add"));
    } else if (type == ImportOrv && m_mainf.sett.fullorx) {
        strb->setVisible(true);
        xmrb->setVisible(true);
        strb->setText(QStringLiteral("Origin"));
        xmrb->setText(QStringLiteral("Arrival"));
        strb->setChecked(true);
        m_mainf.sg->setEditTriggers(QAbstractItemView::NoEditTriggers);
    } else {
        strb->setVisible(false);
        xmrb->setVisible(false);
    }
}

void ImportPage::ImportRefusalReason(QString &Reason) const
{
    Reason.clear();
    const int type = GetImportType();
    if (m_mainf.sett.fullorx) {
        if (type == ImportParadox || type == ImportExcel || type == ImportKrv)
            Reason = QStringLiteral("Нельзя закачивать в БД ORX файлы Paradox, Excel и текст KRV");
    } else if (type == ImportOrv) {
        Reason = QStringLiteral("Нельзя закачивать экспорт из БД ORX в БДСТБЮЛ");
    } else if (type == ImportExcel) {
        const QString &sta = m_mainf.curSta;
        if (sta != QLatin1String("LVV") && sta != QLatin1String("PET") && sta != QLatin1String("TBLG"))
            Reason = QStringLiteral(
                "Для этой станции нельзя читать из Excel-файла (не поддерживается формат данных)");
    }
}

void ImportPage::UpdateImportControls()
{
    QString reason;
    ImportRefusalReason(reason);
    auto *label23 = control<QLabel>("Label23");
    QWidget *controls[] = {control<QPushButton>("Button11"), control<QPushButton>("Button12"),
                           control<QPushButton>("Button14"), m_mainf.imm};
    QCheckBox *adde = m_mainf.adde;
    const bool allowed = reason.isEmpty();
    label23->setText(reason);
    label23->setVisible(!allowed);
    for (QWidget *c : controls)
        c->setEnabled(allowed);
    if (!allowed) {
        adde->setEnabled(false);
        return;
    }
    const int type = GetImportType();
    const bool merges = type == ImportText || type == ImportOrv;
    if (type == ImportText)
        adde->setText(QStringLiteral("Сливать первые и последние события в TXT и БД"));
    else if (type == ImportOrv)
        adde->setText(QStringLiteral("Сливать с имеющимися событиями"));
    adde->setEnabled(merges);
}

void ImportPage::SetImmediateMode(bool immediate)
{
    auto *button11 = control<QPushButton>("Button11");
    control<QPushButton>("Button14")->setVisible(!immediate);
    if (immediate) {
        button11->setText(QStringLiteral("Чтение и запись"));
        button11->setToolTip(
            QStringLiteral("Нажмите, чтобы прочитать данные из файла(ов) и записать в базу данных"));
    } else {
        button11->setText(QStringLiteral("Чтение данных"));
        button11->setToolTip(
            QStringLiteral("Нажмите, чтобы прочитать данные из файла(ов) и вывести их в таблицу"));
    }
}

void ImportPage::UpdateELQButton()
{
    // Each mode exports through its own command, which may not be installed.
    const ProductCommands &commands = productCommands();
    const bool exportable = bool(m_mainf.sett.fullorx ? commands.orvExport : commands.textExport);
    for (const char *name : {"BitBtn14", "BitBtn17"})
        if (auto *b = control<QPushButton>(name))
            b->setEnabled(exportable);
    control<QPushButton>("Button20")->setVisible(m_mainf.curCode == QLatin1String("MNK"));
}

bool ImportPage::refused()
{
    QString reason;
    ImportRefusalReason(reason);
    if (reason.isEmpty())
        return false;
    // The buttons are off for a refused type, but the settings dialog reads as well.
    MessageProc(&m_mainf, reason, MB_ICONWARNING, MB_OK);
    return true;
}

void ImportPage::ReadData()
{
    const int type = GetImportType();
    if (type < ImportParadox || type > ImportKrv || refused())
        return;
    // What goes into the database at once shows on the event pages the next time they are shown.
    const auto reread = qScopeGuard([this] { m_mainf.viewReload = m_mainf.viewReload || immediate(); });
    // A read that ends without a table must not leave an earlier one in view, to be written again.
    ClearImportGrid(false);
    // The view-only note speaks of a view just shown, never of a read that failed.
    control<QLabel>("Label61")->setVisible(false);
    const QString file = m_mainf.Edit5->text();
    if (type != ImportText && !CheckImportFile(file, QString(), true))
        return;
    if (type == ImportText) {
        QLineEdit *const edits[] = {m_mainf.Events, m_mainf.Station_bulletin, m_mainf.XM_Add};
        QString files[3];
        const char *captions[] = {"Events: ", "Station_bulletin: ", "Xm_add: "};
        for (int t = 0; t < 3; ++t) {
            // The field shows the file that is read.
            files[t] = ExistingFileIgnoringCase(edits[t]->text());
            if (files[t] != edits[t]->text())
                edits[t]->setText(files[t]);
            if (!CheckImportFile(files[t], QString::fromLatin1(captions[t]), t == 2))
                return;
        }
        ReadTextFiles(files[0], files[1], files[2]);
    } else if (type == ImportKrv) {
        ReadKRV(*this, file);
    } else if (type == ImportOrv) {
        // An event file is shown unless it goes straight into the database; the view shows its origins.
        const bool view = !m_mainf.imm->isChecked();
        OrvImportStats stats;
        ReadORVOnPage(*this, file, view, &stats);
        if (view && stats.viewed) {
            ClearImportGrid(true);
            {
                const QSignalBlocker block(control<QRadioButton>("Strb"));
                control<QRadioButton>("Strb")->setChecked(true);
            }
            ShowImportTable(1);
            control<QLabel>("Label61")->setVisible(true);
        }
    } else if (type == ImportExcel) {
        ReadXls(*this, file);
    } else {
        ReadParadox(*this, file);
    }
    m_mainf.sg->viewport()->update();
}

bool ImportPage::CheckImportFile(const QString &FileName, const QString &Caption, bool NarrowRowHeader)
{
    if (QFileInfo(FileName).isFile()) {
        if (NarrowRowHeader)
            m_mainf.sg->setColumnWidth(0, 8);
        return true;
    }
    MessageProc(&m_mainf,
                Caption +
                    QStringLiteral("Заданный файл не найден.\rУбедитесь, что правильно задали путь,\rи файл "
                                   "действительно там есть и доступен для чтения."),
                MB_ICONERROR, MB_OK);
    return false;
}

void ImportPage::Button12Click()
{
    const int type = GetImportType();
    QLineEdit *textEdits[] = {m_mainf.Events, m_mainf.Station_bulletin, m_mainf.XM_Add};
    const int checked = control<QRadioButton>("Evrb")->isChecked()   ? 0
                        : control<QRadioButton>("Strb")->isChecked() ? 1
                                                                     : 2;
    QLineEdit *target = type == ImportText ? textEdits[checked] : m_mainf.Edit5;
    QString chosen;
    if (!m_dialogs->ChooseFile(QStringLiteral("Выберите файл для импорта"), ImportFileFilter(type),
                               target->text(), 1, chosen))
        return;
    if (type == ImportText) {
        const std::array<QString, 3> files =
            TextFileSiblings({m_mainf.sett.smp1, m_mainf.sett.smp2, m_mainf.sett.smp3}, checked, chosen);
        for (int t = 0; t < 3; ++t)
            textEdits[t]->setText(files[t]);
    } else {
        m_mainf.Edit5->setText(chosen);
    }
    ReadData();
}

void ImportPage::Button25Click()
{
    m_dialogs->EditNameSamples();
}

void ImportPage::ReadTextFiles(const QString &eventsFile, const QString &sbFile, const QString &xmFile)
{
    ClearImportGrid(false);
    const QString files[3] = {eventsFile, sbFile, xmFile};
    TD2D *const tables[3] = {&m_mainf.importTable(0), &m_mainf.importTable(1), &m_mainf.importTable(2)};
    const tspec *const specs[3] = {&m_formats.importSpec[0], &m_formats.importSpec[1],
                                   &m_formats.importSpec[2]};
    if (!ReadTextTables(tables, specs, files))
        return;
    // Without events nothing can be written, however many readings the other two files hold.
    if (m_mainf.importTable(0).RowCount() <= 0) {
        MessageProc(&m_mainf,
                    QStringLiteral("В файле \"") + QFileInfo(eventsFile).fileName() +
                        QStringLiteral("\" нет данных!"),
                    MB_ICONWARNING, MB_OK);
        return;
    }
    if (!m_mainf.imm->isChecked()) {
        ClearImportGrid(true);
        RadioChanged();
    } else {
        WriteTxt(false);
    }
}

void ImportPage::showStats(const ImportStats &stats, bool numbersOn, bool datesOn)
{
    ShowImportStats(control<QLabel>("st1"), control<QLabel>("st2"), control<QLabel>("st3"),
                    ImportStatsText(*m_mainf.sg, numbersOn, datesOn, stats));
}

bool ImportPage::CheckImportGrid()
{
    return ::CheckImportGrid(*m_mainf.sg, eventsFormat(), m_mainf.cellPad, control<QLabel>("st1"),
                             control<QLabel>("st2"), control<QLabel>("st3"));
}

void ImportPage::ShowImportTable(int slot)
{
    TD2D &table = m_mainf.importTable(slot);
    if (GetImportType() != ImportText) {
        TableToGrid(table, *m_mainf.sg);
        return;
    }
    const tspec &spec = m_formats.importSpec[slot];
    TFormatSettings fs;
    TspecToFormatSettings(fs, spec, m_mainf.fsLocal, m_mainf.curYear);
    const bool numbers = slot != 2, dates = slot == 1;
    const ImportStats stats =
        TableToGridBySpec(table, spec, *m_mainf.sg, numbers, dates, slot == 0 ? 1 : 2, 4, fs);
    m_gridTable = "esx"[slot];
    importStats = stats;
    showStats(stats, numbers, dates);
}

void ImportPage::RadioChanged()
{
    if (!m_gridLock)
        return;
    const int slot = control<QRadioButton>("Evrb")->isChecked()   ? 0
                     : control<QRadioButton>("Strb")->isChecked() ? 1
                                                                  : 2;
    if (GetImportType() == ImportText) {
        const int shown = m_gridTable == 'e' ? 0 : m_gridTable == 's' ? 1 : m_gridTable == 'x' ? 2 : -1;
        if (shown >= 0 && shown != slot)
            GridToTable(*m_mainf.sg, m_mainf.importTable(shown), false);
    }
    ShowImportTable(slot);
}

void ImportPage::GridToShownTable()
{
    const int slot = control<QRadioButton>("Evrb")->isChecked()   ? 0
                     : control<QRadioButton>("Strb")->isChecked() ? 1
                                                                  : 2;
    GridToTable(*m_mainf.sg, m_mainf.importTable(slot), false);
}

void ImportPage::WriteData()
{
    const int type = GetImportType();
    if (type < ImportParadox || type > ImportKrv || refused())
        return;
    // What is written shows on the event pages the next time they are shown.
    const auto reread = qScopeGuard([this] { m_mainf.viewReload = true; });
    // An event file is always imported from the file itself, read or not.
    if (type == ImportOrv) {
        if (CheckImportFile(m_mainf.Edit5->text(), QString(), true))
            ReadORVOnPage(*this, m_mainf.Edit5->text(), false);
        return;
    }
    if (!m_gridLock) {
        MessageProc(&m_mainf, QStringLiteral("Сначала нужно прочитать данные!"), MB_ICONINFORMATION, MB_OK);
        return;
    }
    if (type == ImportParadox) {
        WriteParadoxJournal(*this);
    } else if (type == ImportExcel) {
        RunStationMacro(*this);
    } else if (type == ImportText) {
        GridToShownTable();
        WriteTxt(true);
    } else {
        // A partner bulletin is appended: a second write would add every event again. The grid written
        // from here is asked about once; a new read of the same file is found in the database.
        if (m_gridWritten &&
            MessageProc(&m_mainf,
                        QStringLiteral("Эти данные уже внесены в БД.\rВсё равно хотите внести их ещё раз?"),
                        MB_ICONQUESTION, MB_YESNO | MB_DEFBUTTON2) != IDYES)
            return;
        if (WriteKRV(*this, !m_gridWritten))
            m_gridWritten = true;
    }
}

void ImportPage::WriteTxt(bool refreshGrid)
{
    Tdm *dm = Tdm::instance();
    if (!dm)
        return;
    TextTablesInput in;
    for (int t = 0; t < 3; ++t) {
        in.tables[t] = &m_mainf.importTable(t);
        in.specs[t] = &m_formats.importSpec[t];
    }
    if (in.tables[0]->ColCount() == 0 || in.tables[0]->RowCount() <= 0)
        return;
    in.merge = mergeEvents();
    in.locale = m_mainf.fsLocal;
    in.currentYear = m_mainf.curYear;
    // The window comes with the first step of the writing, after the questions and checks.
    std::unique_ptr<Tpro> progress;
    const int maximum = m_mainf.sett.fullorx ? in.tables[0]->RowCount() - 1 : 599;
    in.progress = [&](int position) {
        if (!progress) {
            progress = std::make_unique<Tpro>(&m_mainf);
            progress->SetCancelFlag(false, nullptr);
            progress->setWindowTitle(QStringLiteral("Запись в базу данных"));
            progress->pb->setRange(0, maximum);
            progress->show();
        }
        progress->pb->setValue(position);
    };
    try {
        if (m_mainf.sett.fullorx) {
            WriteTextToOrx(in, m_mainf.filters, [this, dm]() -> DbConnection * {
                return m_mainf.OpenOrx(*dm) ? dm->conPubs : nullptr;
            });
        } else {
            QString source, user, password;
            if (m_mainf.GetStationDBParams(source, user, password, -1, false) &&
                dm->OpenDB_ADO(dm->dbs, source, user, password) && WriteTextToBulletin(*dm->dbs, in) &&
                refreshGrid)
                RadioChanged();
        }
    } catch (const std::exception &e) {
        MessageProc(nullptr,
                    QStringLiteral("WriteTxt: Импорт прерван.\rСообщение об ошибке:\r\r") + ExceptionText(e),
                    MB_ICONERROR, MB_OK);
    }
    progress.reset();
    dm->CloseDB_ADO(dm->dbs);
    dm->CloseDB_ADO(dm->conPubs);
}

bool ImportPage::LoadSpec(const QString &name, bool reset)
{
    return m_formats.LoadSpec(ProgramFolder(), name, reset, GetImportType());
}

bool ImportPage::SaveSpec(const QString &name)
{
    return m_formats.SaveSpec(ProgramFolder(), name, GetImportType());
}

void ImportPage::ClearImportTables()
{
    // The grid may be showing one of them.
    ClearImportGrid(false);
    for (auto &table : m_mainf.importTables)
        if (table)
            table->Clear();
    if (m_mainf.gridClip)
        m_mainf.gridClip->Clear();
}

void ImportPage::EditFormats()
{
    // The station's settings are written only on a change of station or at exit; a format the user
    // confirmed should not wait for either.
    if (EditTextFormats(&m_mainf, m_mainf.fsLocal, m_mainf.curYear, m_formats,
                        GetImportType() == ImportText) &&
        !m_mainf.curCode.isEmpty())
        SaveSpec(m_mainf.curCode);
}

void ImportPage::ExportBulletin()
{
    Export_St_bull_Click(m_mainf, m_formats);
}

void InstallImportPage(Tmainf &mainf)
{
    // The text export of the bulletin database belongs with the import page's formats.
    productCommands().textExport = [](Tmainf &mainf) {
        if (ImportPageApi *page = mainf.importPage())
            page->ExportBulletin();
    };
    mainf.SetImportPage(new ImportPage(mainf));
}
