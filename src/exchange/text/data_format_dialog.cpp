#include "exchange/text/data_format_dialog.h"

#include "app/main/appearance.h"
#include "app/main/import_page_api.h"
#include "app/main/main_window.h"
#include "app/main/product_commands.h"
#include "exchange/text/data_format_rules.h"
#include "lib/messages.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr int WorkImport = 0;
constexpr int WorkExport = 3;

const char *const kDateOrders[] = {"dmy", "mdy", "ymd"};

template <typename T> T *named(T *w, const char *name)
{
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

QLineEdit *charEdit(QWidget *parent, const char *name, int length)
{
    auto *e = named(new QLineEdit(parent), name);
    e->setMaxLength(length);
    e->setFixedWidth(e->fontMetrics().horizontalAdvance(QLatin1Char('W')) * (length + 1) + 12);
    return e;
}

const char *tableName(int index)
{
    static const char *const names[] = {"Events", "Station_bulletin", "XM_Add"};
    return names[index];
}

} // namespace

Tdfmtfrm::Tdfmtfrm(const TFormatSettings &locale, int currentYear, QWidget *parent)
    : QDialog(parent), m_locale(locale), m_currentYear(currentYear)
{
    setObjectName(QStringLiteral("dfmtfrm"));
    setWindowTitle(QStringLiteral("Формат данных"));

    rgf = named(new QGroupBox(QStringLiteral("Формат для..."), this), "rgf");
    rgfImport = new QRadioButton(QStringLiteral("импорта"), rgf);
    rgfExport = new QRadioButton(QStringLiteral("экспорта"), rgf);
    auto *rgfLayout = new QHBoxLayout(rgf);
    rgfLayout->addWidget(rgfImport);
    rgfLayout->addWidget(rgfExport);
    rgfLayout->addStretch();

    fdel = charEdit(this, "fdel", 1);
    sdel = charEdit(this, "sdel", 1);
    dtdel = charEdit(this, "dtdel", 1);
    tmdel = charEdit(this, "tmdel", 1);
    decdel = charEdit(this, "decdel", 1);
    byear = charEdit(this, "byear", 2);
    datefmt = named(new QComboBox(this), "datefmt");
    datefmt->addItems({QStringLiteral("ДМГ"), QStringLiteral("МДГ"), QStringLiteral("ГМД")});
    foury = named(new QCheckBox(QStringLiteral("год из четырех знаков"), this), "foury");
    ext0 = named(new QCheckBox(QStringLiteral("дополнять даты нулями"), this), "ext0");

    auto *fields = new QGridLayout;
    int row = 0;
    const auto labelled = [&](const QString &caption, QWidget *control, int column) {
        auto *label = new QLabel(caption, this);
        label->setBuddy(control);
        fields->addWidget(label, row, column);
        fields->addWidget(control, row, column + 1, Qt::AlignLeft);
    };
    labelled(QStringLiteral("Разделитель полей"), fdel, 0);
    labelled(QStringLiteral("формат даты"), datefmt, 2);
    ++row;
    labelled(QStringLiteral("Ограничитель текста"), sdel, 0);
    labelled(QStringLiteral("разделитель даты"), dtdel, 2);
    ++row;
    labelled(QStringLiteral("десятичный разделитель"), decdel, 0);
    labelled(QStringLiteral("разделитель времени"), tmdel, 2);
    ++row;
    fields->addWidget(foury, row, 0, 1, 2);
    labelled(QStringLiteral("граничный год"), byear, 2);
    ++row;
    fields->addWidget(ext0, row, 0, 1, 2);
    fields->setColumnStretch(4, 1);

    Label8 = named(new QLabel(PivotExplanation(currentYear), this), "Label8");
    Label8->setWordWrap(true);
    Label9 = named(new QLabel(QStringLiteral("Образец"), this), "Label9");
    ex = named(new QLabel(this), "ex");
    ex->setFrameShape(QFrame::StyledPanel);
    ex->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Label9->setBuddy(ex);

    tbl = named(new QComboBox(this), "tbl");
    tgb = named(new QGroupBox(QStringLiteral("Таблица"), this), "tgb");
    Label10 =
        named(new QLabel(
                  QStringLiteral("Поля, включаемые в обработку (при импорте!) и порядок их следования"), tgb),
              "Label10");
    Label10->setWordWrap(true);
    clb = named(new QListWidget(tgb), "clb");
    Label10->setBuddy(clb);
    BitBtn1 = named(new QPushButton(QStringLiteral("Вверх"), tgb), "BitBtn1");
    BitBtn2 = named(new QPushButton(QStringLiteral("Вниз"), tgb), "BitBtn2");
    auto *moves = new QVBoxLayout;
    moves->addWidget(BitBtn1);
    moves->addWidget(BitBtn2);
    moves->addStretch();
    auto *columns = new QHBoxLayout;
    columns->addWidget(clb, 1);
    columns->addLayout(moves);
    auto *tgbLayout = new QVBoxLayout(tgb);
    tgbLayout->addWidget(Label10);
    tgbLayout->addLayout(columns, 1);

    okBtn = named(new QPushButton(QStringLiteral("ОК"), this), "okBtn");
    CancelBtn = named(new QPushButton(QStringLiteral("Отмена"), this), "CancelBtn");
    okBtn->setDefault(true);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(okBtn);
    buttons->addWidget(CancelBtn);

    auto *sample = new QHBoxLayout;
    sample->addWidget(Label9);
    sample->addWidget(ex, 1);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(rgf);
    layout->addLayout(fields);
    layout->addWidget(Label8);
    layout->addLayout(sample);
    layout->addWidget(tbl);
    layout->addWidget(tgb, 1);
    layout->addLayout(buttons);

    tm = named(new QTimer(this), "tm");
    tm->setInterval(1000);
    connect(tm, &QTimer::timeout, this, &Tdfmtfrm::UpdateSample);

    connect(rgfImport, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            rgfClick();
    });
    connect(rgfExport, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            rgfClick();
    });
    connect(tbl, &QComboBox::currentIndexChanged, this, [this] {
        if (!m_filling)
            tblChange();
    });

    connectDelimiter(fdel, &tspec::fdel, QLatin1Char(';'));
    connectDelimiter(sdel, &tspec::sdel, QLatin1Char('"'));
    connectDelimiter(dtdel, &tspec::dtdel, m_locale.DateSeparator);
    connectDelimiter(tmdel, &tspec::tmdel, m_locale.TimeSeparator);
    connectDelimiter(decdel, &tspec::decdel, m_locale.DecimalSeparator);
    connect(datefmt, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (!m_filling && curSpec && index >= 0)
            curSpec->datefmt = QString::fromLatin1(kDateOrders[index]);
    });
    connect(foury, &QCheckBox::toggled, this, [this](bool on) {
        if (!m_filling && curSpec)
            curSpec->foury = on;
    });
    connect(ext0, &QCheckBox::toggled, this, [this](bool on) {
        if (!m_filling && curSpec)
            curSpec->ext0 = on;
    });
    connect(byear, &QLineEdit::textChanged, this, [this](const QString &text) {
        if (m_filling || !curSpec)
            return;
        bool whole = false;
        const uint value = text.toUInt(&whole);
        if (whole) {
            curSpec->byear = quint16(value);
            return;
        }
        const QSignalBlocker block(byear);
        byear->setText(QStringLiteral("50"));
        byear->selectAll();
    });
    connect(clb, &QListWidget::itemChanged, this, [this](QListWidgetItem *item) {
        const int i = clb->row(item);
        if (!m_filling && curSpec && i >= 0 && i < curSpec->cols.size())
            curSpec->cols[i].used = item->checkState() == Qt::Checked;
    });
    connect(BitBtn1, &QPushButton::clicked, this, [this] { moveColumn(-1); });
    connect(BitBtn2, &QPushButton::clicked, this, [this] { moveColumn(1); });
    connect(okBtn, &QPushButton::clicked, this, &Tdfmtfrm::okBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);

    for (QLineEdit *e : {fdel, sdel, dtdel, tmdel, decdel, byear})
        e->installEventFilter(this);

    ApplyUserAppearance(this, KindDataFormat);
    // Room for the longest line the formats give: four-digit years, every part qualified.
    ex->setMinimumWidth(ex->fontMetrics().horizontalAdvance(
                            QStringLiteral("1234;\"05.03.2008 14:07:09\";\"12,753\";\"комментарий\"")) +
                        2 * ex->frameWidth() + 8);
}

void Tdfmtfrm::connectDelimiter(QLineEdit *edit, QChar tspec::*field, QChar fallback)
{
    connect(edit, &QLineEdit::textChanged, this, [this, edit, field, fallback] {
        if (m_filling || !curSpec)
            return;
        curSpec->*field = DelimChanged(edit, fallback);
    });
}

QChar Tdfmtfrm::DelimChanged(QLineEdit *Edit, QChar Default)
{
    QChar result = Default;
    if (Edit->text().isEmpty()) {
        const QSignalBlocker block(Edit);
        Edit->setText(Default);
    } else {
        result = Edit->text().at(0);
    }
    Edit->selectAll();
    return result;
}

bool Tdfmtfrm::eventFilter(QObject *watched, QEvent *event)
{
    // The edits hold one or two characters: typing replaces them whole.
    if (event->type() == QEvent::FocusIn || event->type() == QEvent::MouseButtonRelease) {
        if (auto *edit = qobject_cast<QLineEdit *>(watched))
            QTimer::singleShot(0, edit, &QLineEdit::selectAll);
    }
    return QDialog::eventFilter(watched, event);
}

void Tdfmtfrm::Init(tspec *ExpEvents, tspec *ExpSB, tspec *ExpXM, tspec *ImpEvents, tspec *ImpSB,
                    tspec *ImpXM, bool *dirty)
{
    tspec *given[6] = {ImpEvents, ImpSB, ImpXM, ExpEvents, ExpSB, ExpXM};
    for (int i = 0; i < 6; ++i) {
        targetSpec[i] = given[i];
        if (given[i])
            CopySpec(*given[i], workSpec[i], true, true);
    }
    m_dirty = dirty;
    if (rgfImport->isChecked())
        rgfClick();
    else
        rgfImport->setChecked(true);
    UpdateSample();
    tm->start();
}

void Tdfmtfrm::rgfClick()
{
    showCols = targetSpec[WorkImport + SpecStationBulletin] != nullptr || rgfExport->isChecked();
    {
        m_filling = true;
        tbl->clear();
        if (showCols)
            tbl->addItems({QStringLiteral("Events (События)"),
                           QStringLiteral("Station_bulletin (Станционный бюллетень)"),
                           QStringLiteral("XM_Add (Динамические замеры)")});
        else
            tbl->addItem(QStringLiteral("Главная"));
        tbl->setCurrentIndex(0);
        m_filling = false;
    }
    tgb->setEnabled(showCols);
    tbl->setEnabled(showCols);
    tblChange();
}

void Tdfmtfrm::tblChange()
{
    const int base = rgfExport->isChecked() ? WorkExport : WorkImport;
    ShowFormat(&workSpec[base + qBound(0, tbl->currentIndex(), 2)]);
}

void Tdfmtfrm::ShowFormat(tspec *Spec)
{
    curSpec = Spec;
    m_filling = true;
    fdel->setText(Spec->fdel);
    sdel->setText(Spec->sdel);
    dtdel->setText(Spec->dtdel);
    tmdel->setText(Spec->tmdel);
    decdel->setText(Spec->decdel);
    if (Spec->datefmt == QLatin1String("ymd"))
        datefmt->setCurrentIndex(2);
    else if (Spec->datefmt == QLatin1String("mdy"))
        datefmt->setCurrentIndex(1);
    else
        datefmt->setCurrentIndex(0);
    foury->setChecked(Spec->foury);
    ext0->setChecked(Spec->ext0);
    byear->setText(QString::number(Spec->byear));
    clb->clear();
    if (showCols) {
        for (const tspeccol &c : Spec->cols) {
            auto *item = new QListWidgetItem(c.name, clb);
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(c.used ? Qt::Checked : Qt::Unchecked);
        }
    }
    m_filling = false;
}

void Tdfmtfrm::UpdateSample()
{
    if (curSpec)
        ex->setText(DataFormatSample(*curSpec, m_locale, m_currentYear, Now()));
}

void Tdfmtfrm::moveColumn(int step)
{
    const int i = clb->currentRow();
    const int j = i + step;
    if (!curSpec || i < 0 || j < 0 || j >= clb->count() || j >= curSpec->cols.size())
        return;
    m_filling = true;
    clb->insertItem(j, clb->takeItem(i));
    clb->setCurrentRow(j);
    m_filling = false;
    curSpec->cols.swapItemsAt(i, j);
}

void Tdfmtfrm::okBtnClick()
{
    // A format no reader can split would reach the station's file with the next save; the user fixes it
    // here, where it is shown, and nothing is written back meanwhile.
    for (int i = 0; i < 6; ++i) {
        if (!targetSpec[i])
            continue;
        const QString reason = FormatRefusal(workSpec[i]);
        if (reason.isEmpty())
            continue;
        const bool exporting = i >= WorkExport;
        const int table = i % 3;
        (exporting ? rgfExport : rgfImport)->setChecked(true);
        if (showCols)
            tbl->setCurrentIndex(table);
        const QString which = showCols
                                  ? QStringLiteral("таблица %1").arg(QString::fromLatin1(tableName(table)))
                                  : QStringLiteral("все таблицы");
        MessageProc(this,
                    reason +
                        QStringLiteral("\rФормат %1 (%2) не сохранен.")
                            .arg(exporting ? QStringLiteral("экспорта") : QStringLiteral("импорта"), which),
                    MB_ICONERROR, MB_OK);
        return;
    }
    for (int i = 0; i < 6; ++i)
        if (targetSpec[i])
            CopySpec(workSpec[i], *targetSpec[i], true, true);
    if (m_dirty)
        *m_dirty = true;
    accept();
}

bool EditTextFormats(QWidget *Owner, const TFormatSettings &Locale, int CurrentYear, TextFormats &Formats,
                     bool TextImport)
{
    Tdfmtfrm dialog(Locale, CurrentYear, Owner);
    dialog.Init(&Formats.exportSpec[SpecEvents], &Formats.exportSpec[SpecStationBulletin],
                &Formats.exportSpec[SpecXmAdd], &Formats.importSpec[SpecEvents],
                TextImport ? &Formats.importSpec[SpecStationBulletin] : nullptr,
                TextImport ? &Formats.importSpec[SpecXmAdd] : nullptr, &Formats.specsDirty);
    return dialog.exec() == QDialog::Accepted;
}

void InstallDataFormatCommand()
{
    productCommands().dataFormat = [](Tmainf &mainf) {
        if (ImportPageApi *page = mainf.importPage())
            page->EditFormats();
    };
}
