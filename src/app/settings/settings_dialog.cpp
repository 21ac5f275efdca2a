#include "app/settings/settings_dialog.h"

#include "app/data/data_module.h"
#include "app/main/appearance.h"
#include "app/main/fade_animation.h"
#include "app/main/import_page_api.h"
#include "app/main/main_window.h"
#include "app/main/program_folder.h"
#include "app/settings/dialog_controls.h"
#include "app/settings/reference_files.h"
#include "lib/data_sources.h"
#include "lib/errors.h"
#include "lib/messages.h"
#include "lib/safe_write.h"
#include "lib/settings_keys.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QFontDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

const QString G = QStringLiteral("global");

QPushButton *button(QWidget *parent, const char *name, const char *caption, const char *hint = nullptr)
{
    auto *b = NamedControl(new QPushButton(QString::fromUtf8(caption), parent), name, hint);
    b->setAutoDefault(false);
    return b;
}

QTableWidget *grid(QWidget *parent, const char *name, const QStringList &headers)
{
    auto *g = NamedControl(new QTableWidget(0, int(headers.size()), parent), name);
    g->setHorizontalHeaderLabels(headers);
    g->verticalHeader()->setDefaultSectionSize(g->fontMetrics().height() + 6);
    g->setSelectionMode(QAbstractItemView::SingleSelection);
    return g;
}

QString cellText(const QTableWidget *g, int r, int c)
{
    const QTableWidgetItem *item = g->item(r, c);
    return item ? item->text() : QString();
}

void setCellText(QTableWidget *g, int r, int c, const QString &text)
{
    if (QTableWidgetItem *item = g->item(r, c))
        item->setText(text);
    else
        g->setItem(r, c, new QTableWidgetItem(text));
}

// Hides the drop-down over the grid once the focus has gone to another control: a click elsewhere, a
// tab change. Its own list, which takes the focus while it is open, and a switch to another window are
// no leaving.
class LeaveHider : public QObject
{
public:
    explicit LeaveHider(QWidget *target) : QObject(target), m_target(target)
    {
        target->installEventFilter(this);
    }
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() != QEvent::FocusOut ||
            static_cast<QFocusEvent *>(event)->reason() == Qt::ActiveWindowFocusReason)
            return false;
        // The widget that has the focus now; the list is a window of its own, so ask its parents.
        for (QObject *o = QApplication::focusWidget(); o; o = o->parent())
            if (o == m_target)
                return false;
        m_target->hide();
        return false;
    }

private:
    QWidget *m_target;
};

} // namespace

TSetts::TSetts(Tmainf &Main, QWidget *owner) : QDialog(owner), m_main(Main)
{
    setObjectName(QStringLiteral("Setts"));
    setWindowTitle(QStringLiteral("Настройки"));
    buildControls();
    ApplyUserAppearance(this, KindSettings);
    // After the user font, which would otherwise widen the columns to its own measure.
    glo->setColumnWidth(0, 24);
    glo->setColumnWidth(1, 100);
    glo->setColumnWidth(2, 600);
    sg2->setColumnWidth(3, 200);
    doublebuf->setToolTip(messageTextForDisplay(QStringLiteral(
        "Если включено, снижает мерцание надписей и кнопок\rв окнах программы при изменении их "
        "размеров, но\rпри этом требуется больше оперативной памяти")));
    LoadSettings();
    pc->setCurrentIndex(0);
}

void TSetts::buildControls()
{
    auto *top = new QVBoxLayout(this);
    pc = NamedControl(new QTabWidget(this), "pc");
    top->addWidget(pc, 1);

    TabSheet3 = NamedControl(new QWidget, "TabSheet3");
    auto *p3 = new QVBoxLayout(TabSheet3);
    Label1 = NamedControl(
        new QLabel(QStringLiteral("Параметры, отмеченные галочками, будут раздельны для всех станций.\n"
                                  "НЕ отмеченные галочками - общие параметры для всех станций.\n"
                                  "Имеет значение только для режима \"многих станций\"."),
                   TabSheet3),
        "Label1");
    p3->addWidget(Label1);
    glo = grid(TabSheet3, "glo", {QString(), QStringLiteral("Параметр"), QStringLiteral("Описание")});
    glo->horizontalHeader()->setMinimumSectionSize(24);
    glo->setEditTriggers(QAbstractItemView::NoEditTriggers);
    glo->setSelectionBehavior(QAbstractItemView::SelectRows);
    glo->verticalHeader()->setVisible(false);
    p3->addWidget(glo, 1);
    glocb = NamedControl(new QCheckBox(TabSheet3), "glocb");
    glocb->setVisible(false);
    pc->addTab(TabSheet3, QStringLiteral("Глобальные"));

    TabSheet1 = NamedControl(new QWidget, "TabSheet1");
    auto *p1 = new QVBoxLayout(TabSheet1);
    sg = grid(TabSheet1, "sg",
              {QStringLiteral("Канал"), QStringLiteral("От (Гц)"), QStringLiteral("До (Гц)")});
    Button1 = button(TabSheet1, "Button1", "+", "Добавить фильтр");
    Button2 = button(TabSheet1, "Button2", "-", "Удалить фильтр");
    auto *r1 = new QHBoxLayout;
    r1->addWidget(Button1);
    r1->addWidget(Button2);
    r1->addStretch();
    p1->addLayout(r1);
    p1->addWidget(sg, 1);
    cb = NamedControl(new QComboBox(sg->viewport()), "cb");
    cb->setEditable(true);
    cb->addItems({QStringLiteral("SP"), QStringLiteral("MP"), QStringLiteral("LP"), QStringLiteral("BP"),
                  QStringLiteral("UP")});
    cb->setVisible(false);
    pc->addTab(TabSheet1, QStringLiteral("Фильтры"));

    TabSheet2 = NamedControl(new QWidget, "TabSheet2");
    auto *p2 = new QVBoxLayout(TabSheet2);
    sg2 = grid(TabSheet2, "sg2",
               {QStringLiteral("Фаза"), QStringLiteral("В МСК-85"), QStringLiteral("Множитель"),
                QStringLiteral("Каналы")});
    Button4 = button(TabSheet2, "Button4", "+", "Добавить фазу");
    Button3 = button(TabSheet2, "Button3", "-", "Удалить фазу");
    auto *r2 = new QHBoxLayout;
    r2->addWidget(Button4);
    r2->addWidget(Button3);
    r2->addStretch();
    p2->addLayout(r2);
    p2->addWidget(sg2, 1);
    pc->addTab(TabSheet2, QStringLiteral("Фазы ORX"));

    ts1 = NamedControl(new QWidget, "ts1");
    auto *pi = new QVBoxLayout(ts1);
    auto *paradox = new QGroupBox(QStringLiteral("Интерфейс к Paradox"), ts1);
    rb1a = NamedControl(new QRadioButton(QStringLiteral("Встроенный"), paradox), "rb1a");
    rb2a = NamedControl(new QRadioButton(QStringLiteral("BDE"), paradox), "rb2a");
    rb1a->setProperty("tag", 0);
    rb2a->setProperty("tag", 1);
    auto *pl = new QVBoxLayout(paradox);
    pl->addWidget(rb1a);
    pl->addWidget(rb2a);
    pi->addWidget(paradox);
    pi->addStretch();
    pc->addTab(ts1, QStringLiteral("Входные данные"));

    TabSheet4 = NamedControl(new QWidget, "TabSheet4");
    auto *po = new QVBoxLayout(TabSheet4);
    auto *opener = new QGroupBox(
        QStringLiteral("Программа, открывающая отчёт (ст.бюлл.) по кнопке \"Открыть в...\""), TabSheet4);
    auto *ol = new QGridLayout(opener);
    rep_opexe = NamedControl(new QLineEdit(opener), "rep_opexe",
                             "Если поле пустое, отчёт открывается программой,\rсвязанной с файлами HTM");
    Button9 = button(opener, "Button9", "...");
    rep_oppar = NamedControl(new QLineEdit(opener), "rep_oppar");
    rep_opname = NamedControl(new QLineEdit(opener), "rep_opname");
    ol->addWidget(new QLabel(QStringLiteral("Программа (exe-файл)"), opener), 0, 0);
    ol->addWidget(rep_opexe, 0, 1);
    ol->addWidget(Button9, 0, 2);
    ol->addWidget(new QLabel(QStringLiteral("Параметры командной строки"), opener), 1, 0);
    ol->addWidget(rep_oppar, 1, 1, 1, 2);
    ol->addWidget(new QLabel(QStringLiteral("Краткое название (например, Word или OpenWord)"), opener), 2, 0);
    ol->addWidget(rep_opname, 2, 1, 1, 2);
    po->addWidget(opener);
    po->addWidget(
        new QLabel(QStringLiteral("(СВОДКА, ОТЧЁТ) Выбирать данные, руководствуясь..."), TabSheet4));
    selperiod = NamedControl(new QComboBox(TabSheet4), "selperiod");
    selperiod->addItems(
        {QStringLiteral("Временем первой фазы в событии"), QStringLiteral("Временем в очаге")});
    po->addWidget(selperiod);
    po->addWidget(
        new QLabel(QStringLiteral("(ЭКСПОРТ БД ORX) Экспортировать данные в формате..."), TabSheet4));
    orvfmt = NamedControl(new QComboBox(TabSheet4), "orvfmt");
    orvfmt->addItems({QStringLiteral("ORV - ORX binary Export"), QStringLiteral("TXT - текстовые файлы")});
    po->addWidget(orvfmt);
    po->addStretch();
    pc->addTab(TabSheet4, QStringLiteral("Выходные данные"));

    ts3 = NamedControl(new QWidget, "ts3");
    auto *pv = new QVBoxLayout(ts3);
    auto *names = new QGroupBox(QStringLiteral("В списке станций показывать..."), ts3);
    rb1c = NamedControl(new QRadioButton(QStringLiteral("коды станций"), names), "rb1c");
    rb2c = NamedControl(new QRadioButton(QStringLiteral("названия станций"), names), "rb2c");
    auto *nl = new QHBoxLayout(names);
    nl->addWidget(rb1c);
    nl->addWidget(rb2c);
    nl->addStretch();
    pv->addWidget(names);
    cbveff = NamedControl(new QCheckBox(QStringLiteral("Показывать визуальные эффекты"), ts3), "cbveff");
    doublebuf = NamedControl(new QCheckBox(QStringLiteral("Убрать мерцание окон"), ts3), "doublebuf");
    showempty =
        NamedControl(new QCheckBox(QStringLiteral("Показывать станции без данных"), ts3), "showempty");
    flagbeg =
        NamedControl(new QCheckBox(QStringLiteral("Станции с галочками - в начало списка"), ts3), "flagbeg");
    for (QWidget *w : std::initializer_list<QWidget *>{cbveff, doublebuf, showempty, flagbeg})
        pv->addWidget(w);
    auto *fonts = new QGroupBox(QStringLiteral("Шрифт"), ts3);
    auto *fl = new QGridLayout(fonts);
    Button4a = button(fonts, "Button4a", "Шрифт/Font");
    sg_main = NamedControl(new QCheckBox(QStringLiteral("Такой же, как у всех окон"), fonts), "sg_main");
    Button5 = button(fonts, "Button5", "Шрифт/Font");
    fl->addWidget(new QLabel(QStringLiteral("Все окна"), fonts), 0, 0);
    fl->addWidget(Button4a, 0, 1);
    fl->addWidget(new QLabel(QStringLiteral("Таблица импорта"), fonts), 1, 0);
    fl->addWidget(sg_main, 1, 1);
    fl->addWidget(Button5, 1, 2);
    pv->addWidget(fonts);
    pv->addStretch();
    pc->addTab(ts3, QStringLiteral("Вид"));

    auto *bottom = new QHBoxLayout;
    bottom->addStretch();
    okb = NamedControl(new QPushButton(QStringLiteral("OK"), this), "okb");
    okb->setDefault(true);
    cancelb = NamedControl(new QPushButton(QStringLiteral("Отмена"), this), "cancelb");
    cancelb->setAutoDefault(false);
    bottom->addWidget(okb);
    bottom->addWidget(cancelb);
    top->addLayout(bottom);
    resize(780, 520);

    connect(okb, &QPushButton::clicked, this, [this] {
        if (SaveSettings())
            accept();
    });
    connect(cancelb, &QPushButton::clicked, this, &QDialog::reject);
    connect(Button1, &QPushButton::clicked, this, [this] { AddRow(sg); });
    connect(Button4, &QPushButton::clicked, this, [this] { AddRow(sg2); });
    connect(Button2, &QPushButton::clicked, this, [this] { DeleteRow(sg); });
    connect(Button3, &QPushButton::clicked, this, [this] { DeleteRow(sg2); });
    connect(sg, &QTableWidget::currentCellChanged, this, [this](int r, int c) { sgSelectCell(r, c); });
    // The drop-down hides when the focus leaves it; a click on its cell, still the current one, brings it
    // back, as the grid's own editing is off there.
    new LeaveHider(cb);
    connect(sg, &QTableWidget::cellClicked, this, [this](int r, int c) {
        if (c == 0 && cb->isHidden())
            sgSelectCell(r, c);
    });
    connect(cb, &QComboBox::currentTextChanged, this, [this](const QString &t) {
        if (!cb->isHidden() && sg->currentRow() >= 0)
            setCellText(sg, sg->currentRow(), 0, t);
    });
    for (QRadioButton *rb : {rb1a, rb2a})
        connect(rb, &QRadioButton::clicked, this, [this, rb] { m_paradox = rb->property("tag").toInt(); });
    connect(Button9, &QPushButton::clicked, this, [this] {
        QString chosen;
        if (Tdm *dm = Tdm::instance())
            if (dm->ExecOpenDialog(
                    QStringLiteral("Выберите программу"),
                    QStringLiteral("Исполнимые файлы (*.exe;*.com;*.bat;*.cmd)|*.exe;*.com;*.bat;*.cmd|"
                                   "Все файлы (*.*)|*.*"),
                    rep_opexe->text(), 1, chosen))
                rep_opexe->setText(chosen);
    });
    connect(Button4a, &QPushButton::clicked, this, [this] {
        bool ok = false;
        const QFont f = QFontDialog::getFont(&ok, m_main.mainFont.Font, this);
        if (ok) {
            m_main.mainFont.Font = f;
            Button4a->setFont(f);
            ApplyUserAppearance(this, KindSettings);
        }
    });
    connect(Button5, &QPushButton::clicked, this, [this] {
        bool ok = false;
        const QFont f = QFontDialog::getFont(&ok, m_main.gridFont.Font, this);
        if (ok) {
            m_main.gridFont.Font = f;
            Button5->setFont(f);
        }
    });
    connect(sg_main, &QCheckBox::clicked, this, [this] { Button5->setEnabled(!sg_main->isChecked()); });
    connect(glo, &QTableWidget::cellPressed, this, &TSetts::gloClick);
}

void TSetts::LoadSettings()
{
    const Tsett &s = m_main.sett;
    try {
        IniFile ini(m_main.MainIniPath());
        rep_opexe->setText(ini.ReadString(G, QStringLiteral("rep_opexe"), QStringLiteral("winword.exe")));
        rep_oppar->setText(ini.ReadString(G, QStringLiteral("rep_oppar"), QString()));
        rep_opname->setText(ini.ReadString(G, QStringLiteral("rep_opname"), QStringLiteral("Word")));
    } catch (const BrenvaleError &e) {
        MessageProc(this, e.message(), MB_ICONERROR, MB_OK);
    }
    if (!BDEAvailable()) {
        rb2a->setText(QStringLiteral("BDE (не установлен)"));
        rb2a->setEnabled(false);
    }
    m_paradox = s.in_provider;
    if (s.in_provider == 0)
        rb1a->setChecked(true);
    else if (s.in_provider == 1)
        rb2a->setChecked(true);
    if (s.shownames == 0)
        rb1c->setChecked(true);
    else if (s.shownames == 1)
        rb2c->setChecked(true);
    sg_main->setChecked(s.sg_main);
    flagbeg->setChecked(s.flagbeg);
    showempty->setChecked(s.showempty);
    cbveff->setChecked(s.effects);
    doublebuf->setChecked(s.double_buf);
    Button5->setEnabled(!s.sg_main);
    Button4a->setFont(m_main.mainFont.Font);
    Button5->setFont(m_main.gridFont.Font);
    selperiod->setCurrentIndex(s.selperiod);
    orvfmt->setCurrentIndex(s.orvfmt);

    sg->setRowCount(qMax(1, int(m_main.filters.size())));
    for (int r = 0; r < m_main.filters.size(); ++r) {
        const tfilt &f = m_main.filters.at(r);
        setCellText(sg, r, 0, f.kind);
        setCellText(sg, r, 1, FloatToStr(f.low));
        setCellText(sg, r, 2, FloatToStr(f.high));
    }
    const TD2D &t = *m_main.refTable;
    const int waveRows = t.ColCount() > wcChannels ? t.RowCount() : 0;
    sg2->setRowCount(qMax(1, waveRows));
    for (int r = 0; r < waveRows; ++r) {
        setCellText(sg2, r, 0, t.GetCell(wcPhase, r));
        setCellText(sg2, r, 1, t.GetCell(wcSummaryName, r));
        setCellText(sg2, r, 2, t.GetCell(wcMultiplier, r));
        setCellText(sg2, r, 3, t.GetCell(wcChannels, r));
    }

    glo->setRowCount(int(SettingsKeyCatalogue.size()));
    m_marks.clear();
    for (int r = 0; r < int(SettingsKeyCatalogue.size()); ++r) {
        const QString key = SettingsKeyCatalogue[r].Key.toString();
        setCellText(glo, r, 1, key);
        setCellText(glo, r, 2, SettingsKeyCatalogue[r].Description.toString());
        m_marks << !s.CommonKeys.contains(key, Qt::CaseInsensitive);
        setMark(r, m_marks.last());
    }
}

void TSetts::setMark(int Row, bool Value)
{
    m_marks[Row] = Value;
    auto *item = glo->item(Row, 0);
    if (!item) {
        item = new QTableWidgetItem;
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        glo->setItem(Row, 0, item);
    }
    item->setData(Qt::CheckStateRole, Value ? Qt::Checked : Qt::Unchecked);
}

void TSetts::gloClick(int Row, int Column)
{
    if (Row < 0 || Row >= m_marks.size())
        return;
    const bool moved = Row != m_lastGloRow;
    m_lastGloRow = Row;
    if (moved && Column != 0)
        return;
    setMark(Row, !m_marks[Row]);
}

void TSetts::AddRow(QTableWidget *Grid)
{
    const int r = Grid->rowCount();
    Grid->setRowCount(r + 1);
    for (int c = 0; c < Grid->columnCount(); ++c)
        setCellText(Grid, r, c, QString());
    Grid->setCurrentCell(r, 1);
    Grid->setFocus();
}

void TSetts::DeleteRow(QTableWidget *Grid)
{
    const int rows = Grid->rowCount();
    const int r = Grid->currentRow();
    if (rows == 0 || r < 0)
        return;
    if (rows == 1) {
        for (int c = 0; c < Grid->columnCount(); ++c)
            setCellText(Grid, 0, c, QString());
        return;
    }
    Grid->removeRow(r);
}

void TSetts::sgSelectCell(int Row, int Column)
{
    if (Row < 0)
        return;
    if (Column == 0) {
        sg->setEditTriggers(QAbstractItemView::NoEditTriggers);
        cb->setGeometry(sg->visualRect(sg->model()->index(Row, 0)));
        const QSignalBlocker block(cb);
        const QString text = cellText(sg, Row, 0);
        const int i = cb->findText(text);
        if (i >= 0)
            cb->setCurrentIndex(i);
        else
            cb->setEditText(text);
        cb->show();
        cb->setFocus();
    } else {
        sg->setEditTriggers(QAbstractItemView::AllEditTriggers);
        cb->hide();
    }
}

QList<QStringList> TSetts::GridRows(const QTableWidget *Grid)
{
    QList<QStringList> rows;
    for (int r = 0; r < Grid->rowCount(); ++r) {
        QStringList row;
        for (int c = 0; c < Grid->columnCount(); ++c)
            row << cellText(Grid, r, c);
        rows << row;
    }
    return rows;
}

void TSetts::SaveFont(IniFile &Ini, const TUserFont &Font, const QString &Section)
{
    Ini.WriteString(Section, QStringLiteral("name"), Font.Font.family());
    Ini.WriteInteger(Section, QStringLiteral("size"), Font.Font.pointSize());
    Ini.WriteString(Section, QStringLiteral("color"),
                    QStringLiteral("0x") +
                        QStringLiteral("%1").arg(quint32(Font.Color), 8, 16, QLatin1Char('0')).toUpper());
    Ini.WriteInteger(Section, QStringLiteral("charset"), Font.Charset);
    QString style;
    if (Font.Font.bold())
        style += QLatin1Char('b');
    if (Font.Font.italic())
        style += QLatin1Char('i');
    if (Font.Font.underline())
        style += QLatin1Char('u');
    if (Font.Font.strikeOut())
        style += QLatin1Char('s');
    Ini.WriteString(Section, QStringLiteral("style"), style);
}

bool TSetts::SaveSettings()
{
    // Both tables are checked before anything is written, so a refused value leaves every file as it was.
    tfilts newFilters;
    TD2D newWaves;
    const ReferenceFile filtersFile = BuildFiltersFile(GridRows(sg), &newFilters);
    const ReferenceFile wavesFile = BuildWavesFile(GridRows(sg2), &newWaves);
    for (const ReferenceFile *f : {&filtersFile, &wavesFile})
        if (!f->overlong.isEmpty()) {
            MessageProc(this, f->overlong, MB_ICONERROR, MB_OK);
            return false;
        }

    Tsett &s = m_main.sett;
    try {
        IniFile ini(m_main.MainIniPath());
        ini.WriteString(G, QStringLiteral("rep_opexe"), rep_opexe->text());
        ini.WriteString(G, QStringLiteral("rep_oppar"), rep_oppar->text());
        ini.WriteString(G, QStringLiteral("rep_opname"), rep_opname->text());

        ImportPageApi *page = m_main.importPage();
        const bool reread = m_paradox != s.in_provider && page && page->gridLock();
        s.in_provider = m_paradox;
        ini.WriteInteger(G, QStringLiteral("in_provider"), s.in_provider);

        QStringList common;
        for (int r = 0; r < m_marks.size(); ++r)
            if (!m_marks[r])
                common << SettingsKeyCatalogue[r].Key.toString();
        s.CommonKeys = common;
        m_main.WriteCommonKeys(ini);

        const int names = rb1c->isChecked() ? 0 : 1;
        const bool emptyChanged = showempty->isChecked() != s.showempty;
        const bool listChanged = names != s.shownames || flagbeg->isChecked() != s.flagbeg;
        if (emptyChanged || listChanged) {
            s.shownames = names;
            s.showempty = showempty->isChecked();
            s.flagbeg = flagbeg->isChecked();
            ini.WriteInteger(G, QStringLiteral("shownames"), s.shownames);
            ini.WriteBool(G, QStringLiteral("showempty"), s.showempty);
            ini.WriteBool(G, QStringLiteral("flagbeg"), s.flagbeg);
        }
        if (cbveff->isChecked() != s.effects) {
            s.effects = cbveff->isChecked();
            ini.WriteBool(G, QStringLiteral("effects"), s.effects);
            if (s.effects) {
                m_main.CloseAction = 0;
            } else {
                FadeAnimation::SetAlpha(&m_main, 255);
                m_main.CloseAction = 2;
            }
        }
        if (doublebuf->isChecked() != s.double_buf) {
            s.double_buf = doublebuf->isChecked();
            ini.WriteBool(G, QStringLiteral("double_buf"), s.double_buf);
            m_main.SetDoubleBuffered(&m_main, s.double_buf);
        }
        if (selperiod->currentIndex() != s.selperiod) {
            s.selperiod = selperiod->currentIndex();
            ini.WriteInteger(G, QStringLiteral("selperiod"), s.selperiod);
        }
        if (orvfmt->currentIndex() != s.orvfmt) {
            s.orvfmt = orvfmt->currentIndex();
            ini.WriteInteger(G, QStringLiteral("orvfmt"), s.orvfmt);
        }
        s.sg_main = sg_main->isChecked();
        ini.WriteBool(G, QStringLiteral("sg_main"), s.sg_main);

        m_main.ApplyGridFont();
        m_main.ApplyFormFont(&m_main, KindMain, m_main.mainFont);
        SaveFont(ini, m_main.gridFont, QStringLiteral("font"));
        SaveFont(ini, m_main.mainFont, QStringLiteral("font_main"));
        ini.UpdateFile();

        if (reread)
            page->ReadData();
        if (page)
            page->SetupImportControls();
        if (emptyChanged) {
            m_main.reloadRequested = true;
        } else if (listChanged) {
            m_main.SortStations(false);
            m_main.stas->viewport()->update();
        }
    } catch (const BrenvaleError &e) {
        MessageProc(this, e.message(), MB_ICONERROR, MB_OK);
        return false;
    }

    const QString dir = ProgramFolder() + QStringLiteral("system/");
    QString reason;
    if (SafeWriteFile(dir + QStringLiteral("filters.txt"), filtersFile.bytes, &reason))
        m_main.filters = newFilters;
    else
        MessageProc(this, SafeWriteMessage(dir + QStringLiteral("filters.txt"), reason), MB_ICONERROR, MB_OK);
    if (const QString m = BadRowsMessage(QStringLiteral("filters"), filtersFile.badRows); !m.isEmpty())
        MessageProc(this, m, MB_ICONERROR, MB_OK);

    if (SafeWriteFile(dir + QStringLiteral("waves.txt"), wavesFile.bytes, &reason)) {
        m_main.refTable->Columns = newWaves.Columns;
        ParseWaveTable(*m_main.refTable, m_main.waves);
    } else {
        MessageProc(this, SafeWriteMessage(dir + QStringLiteral("waves.txt"), reason), MB_ICONERROR, MB_OK);
    }
    if (const QString m = BadRowsMessage(QStringLiteral("waves"), wavesFile.badRows); !m.isEmpty())
        MessageProc(this, m, MB_ICONERROR, MB_OK);
    return true;
}
