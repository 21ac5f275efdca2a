#include "exchange/import_page.h"

#include "app/main/main_window.h"
#include "app/main/program_folder.h"
#include "exchange/import_type.h"
#include "exchange/orv_import.h"
#include "exchange/paradox_reader.h"
#include "lib/messages.h"
#include "lib/mstring_grid.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>

ImportPage::ImportPage(Tmainf &mainf) : QObject(&mainf), m_mainf(mainf)
{
    connect(m_mainf.ifrom, &QComboBox::currentIndexChanged, this, [this] { ifromChange(); });
    connect(m_mainf.imm, &QCheckBox::clicked, this, [this] { SetImmediateMode(m_mainf.imm->isChecked()); });
}

template <typename T> T *ImportPage::control(const char *name) const
{
    return m_mainf.findChild<T *>(QString::fromLatin1(name));
}

void ImportPage::ClearImportGrid(bool lock)
{
    m_gridLock = lock;
    if (lock)
        return;
    m_gridTable = 0;
    TMStringGrid *sg = m_mainf.sg;
    sg->setColumnCount(2);
    sg->setRowCount(2);
    const int width = sg->horizontalHeader()->defaultSectionSize();
    for (int c = 1; c < sg->columnCount(); ++c)
        sg->setColumnWidth(c, width);
    sg->clearContents();
}

void ImportPage::SetImportType(int value)
{
    // Choosing the item from the program is no choice of the user, so the change handler stays out.
    const QSignalBlocker block(m_mainf.ifrom);
    m_mainf.ifrom->setCurrentIndex(value);
}

int ImportPage::GetImportType() const
{
    return m_mainf.ifrom->currentIndex();
}

void ImportPage::ifromChange()
{
    if (m_mainf.initializing)
        return;
    LoadSpec(m_mainf.curCode, true);
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
    adde->setVisible(merges);
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
    control<QPushButton>("Button20")->setVisible(m_mainf.curCode == QLatin1String("MNK"));
}

void ImportPage::ReadData()
{
    // Only the Paradox and ORV readers are linked in so far; the other types read nothing yet.
    const int type = GetImportType();
    if (type != ImportParadox && type != ImportOrv)
        return;
    const QString file = m_mainf.Edit5->text();
    if (!QFileInfo::exists(file)) {
        MessageProc(&m_mainf,
                    QStringLiteral("Заданный файл не найден.\rУбедитесь, что правильно задали путь,\rи файл "
                                   "действительно там есть и доступен для чтения."),
                    MB_ICONERROR, MB_OK);
        return;
    }
    if (type == ImportParadox)
        ReadParadox(m_mainf, file);
    else // an event file is shown unless it goes straight into the database
        ReadORV(m_mainf, file, !m_mainf.imm->isChecked());
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
    for (auto &table : m_mainf.importTables)
        if (table)
            table->Clear();
    if (m_mainf.gridClip)
        m_mainf.gridClip->Clear();
}

void InstallImportPage(Tmainf &mainf)
{
    mainf.SetImportPage(new ImportPage(mainf));
}
