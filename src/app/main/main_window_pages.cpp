#include "app/main/main_window.h"

#include "app/main/about_page.h"
#include "lib/mstring_grid.h"

#include "lib/control_routines.h"
#include "lib/date_display.h"
#include "lib/date_typing.h"
#include "lib/messages.h"
#include "lib/work_dates.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDateTimeEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSplitter>
#include <QTableView>
#include <QTableWidget>
#include <QTimeEdit>
#include <QToolButton>
#include <QVBoxLayout>

#include <functional>

// The pages of the main window with their named controls. Captions and hints are the program's own
// texts; a "\r" in them is a line break.

namespace {

template <class W> W *named(W *w, const char *name)
{
    if (name)
        w->setObjectName(QString::fromLatin1(name));
    return w;
}

// Qt's own double-click signal needs the item of the first click to survive it, but choosing a network
// rebuilds the list; the hook takes the double click itself, so the list never sees a second press.
class DoubleClickHook : public QObject
{
public:
    DoubleClickHook(QWidget *target, std::function<void()> handler)
        : QObject(target), m_handler(std::move(handler))
    {
        target->installEventFilter(this);
    }
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() != QEvent::MouseButtonDblClick ||
            static_cast<QMouseEvent *>(event)->button() != Qt::LeftButton)
            return false;
        m_handler();
        return true;
    }

private:
    std::function<void()> m_handler;
};

// The edit never gets narrower than Sample in its font, so a value of that shape shows whole.
void holdText(QLineEdit *edit, const QString &sample)
{
    const auto fit = [edit, sample] {
        // The line edit's own hint is 17 "x" wide plus its margins and frame.
        const QFontMetrics fm = edit->fontMetrics();
        const int chrome = edit->sizeHint().width() - 17 * fm.horizontalAdvance(QLatin1Char('x'));
        edit->setMinimumWidth(fm.horizontalAdvance(sample) + chrome + 1);
    };
    fit();
    OnEvent(edit, QEvent::FontChange, fit);
}

// A navigation button as wide as its sign needs, where the style would give it a word's width.
QPushButton *narrowButton(QPushButton *b)
{
    const auto fit = [b] {
        const QFontMetrics fm = b->fontMetrics();
        b->setFixedWidth(fm.horizontalAdvance(b->text()) + 2 * fm.height());
    };
    fit();
    OnEvent(b, QEvent::FontChange, fit);
    return b;
}

QString text(const char *utf8)
{
    return messageTextForDisplay(QString::fromUtf8(utf8));
}

QPushButton *button(QWidget *parent, const char *name, const char *caption, const char *hint = nullptr)
{
    auto *b = named(new QPushButton(text(caption), parent), name);
    b->setAutoDefault(false);
    if (hint)
        b->setToolTip(text(hint));
    return b;
}

// The event page keeps a few buttons of an earlier design that have no action: they stay in their place
// but disabled, so that pressing them never looks like it did something.
QPushButton *inert(QPushButton *b)
{
    b->setEnabled(false);
    return b;
}

QLabel *label(QWidget *parent, const char *name, const char *caption)
{
    return named(new QLabel(text(caption), parent), name);
}

QLineEdit *edit(QWidget *parent, const char *name, const char *hint = nullptr)
{
    auto *e = named(new QLineEdit(parent), name);
    if (hint)
        e->setToolTip(text(hint));
    return e;
}

QCheckBox *check(QWidget *parent, const char *name, const char *caption, const char *hint = nullptr)
{
    auto *c = named(new QCheckBox(text(caption), parent), name);
    if (hint)
        c->setToolTip(text(hint));
    return c;
}

QComboBox *combo(QWidget *parent, const char *name, bool editable, const char *hint = nullptr)
{
    auto *c = named(new QComboBox(parent), name);
    c->setEditable(editable);
    if (hint)
        c->setToolTip(text(hint));
    return c;
}

QHBoxLayout *row(std::initializer_list<QWidget *> widgets, bool stretch = true)
{
    auto *layout = new QHBoxLayout;
    for (QWidget *w : widgets)
        layout->addWidget(w);
    if (stretch)
        layout->addStretch();
    return layout;
}

// The widget that holds a page's controls inside Tab: the controls keep their sizes, and a window too
// small for them scrolls the page rather than squeeze captions and values out of sight. The page's own
// background shows through.
// A scroll area that asks for room for all its page: Qt's own caps its wish at a few dozen lines, so the
// main window would open too small for the page on a screen that has room for it.
class PageScrollArea : public QScrollArea
{
public:
    using QScrollArea::QScrollArea;
    QSize sizeHint() const override
    {
        const int f = 2 * frameWidth();
        return widget() ? widget()->sizeHint() + QSize(f, f) : QScrollArea::sizeHint();
    }
};

QWidget *scrolledPage(QWidget *tab, const char *scrollName)
{
    auto *scroll = named(new PageScrollArea(tab), scrollName);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    auto *tabLayout = new QVBoxLayout(tab);
    tabLayout->setContentsMargins(0, 0, 0, 0);
    tabLayout->addWidget(scroll);
    auto *page = new QWidget;
    scroll->setWidget(page);
    scroll->viewport()->setAutoFillBackground(false);
    page->setAutoFillBackground(false);
    return page;
}

QWidget *hidden(QWidget *w)
{
    w->setVisible(false);
    return w;
}

} // namespace

void Tmainf::buildWindow()
{
    pgc1 = named(new TPageControl(this), "pgc1");
    setCentralWidget(pgc1);
    Jvcb = named(new QToolButton(pgc1), "Jvcb");
    Jvcb->setText(QStringLiteral("Startup"));
    pgc1->setCornerWidget(Jvcb, Qt::TopRightCorner);
    connect(Jvcb, &QToolButton::clicked, this, &Tmainf::JvcbClick);

    TabSheet2 = named(new QWidget, "TabSheet2");
    TabSheet1 = named(new QWidget, "TabSheet1");
    TabSheet6 = named(new QWidget, "TabSheet6");
    TabSheet4 = named(new QWidget, "TabSheet4");
    TabSheet3 = named(new QWidget, "TabSheet3");
    TabSheet5 = named(new QWidget, "TabSheet5");
    pgc1->addTab(TabSheet2, QStringLiteral("Настройка"));
    pgc1->addTab(TabSheet1, QStringLiteral("Параметры землетрясения"));
    pgc1->addTab(TabSheet6, QStringLiteral("Параметры землетрясения"));
    pgc1->addTab(TabSheet4, QStringLiteral("Импорт"));
    pgc1->addTab(TabSheet3, QStringLiteral("Tests"));
    pgc1->addTab(TabSheet5, QStringLiteral("О программе"));

    buildSettingsPage();
    buildBulletinPage();
    buildOrxPage();
    buildImportPage();
    buildTestsPage();
    buildAboutPage();
    connectDialogButtons();

    connect(pgc1, &QTabWidget::currentChanged, this, [this] {
        if (!m_settingPage)
            pgc1Change();
    });
}

void Tmainf::buildSettingsPage()
{
    QWidget *page = TabSheet2;
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    Panel2 = named(new QWidget(page), "Panel2");
    Panel2->setFixedHeight(124);
    label(Panel2, nullptr, "Название")->setGeometry(8, 4, 200, 16);
    Edit2 = edit(Panel2, "Edit2");
    Edit2->setGeometry(8, 40, 200, 22);
    label(Panel2, nullptr, "Код станции")->setGeometry(216, 4, 210, 16);
    label(Panel2, nullptr, "международный")->setGeometry(216, 22, 100, 16);
    Cod_stac = combo(Panel2, "Cod_stac", true, "Международный код станции");
    Cod_stac->setGeometry(216, 40, 100, 22);
    label(Panel2, nullptr, "внутренний ORX")->setGeometry(324, 22, 100, 16);
    icod_stac = combo(Panel2, "icod_stac", true, "Уникальный код станции в базе данных");
    icod_stac->setGeometry(324, 40, 100, 22);
    nosearch =
        check(Panel2, "nosearch", "Отключить поиск",
              "Отключите при редактировании и добавлении новых записей,\rчтобы при вводе названия и кода "
              "курсор не переходил на\rуже существующую станцию с похожим названием/кодом");
    nosearch->setGeometry(432, 40, 180, 22);
    button(Panel2, "Button1", "Добавить обновить",
           "Добавить (если нет в списке) или заменить инфомацию о станции (название и коды)")
        ->setGeometry(8, 68, 130, 25);
    button(Panel2, "Button5", "Удалить", "Удалить станцию из списка")->setGeometry(142, 68, 75, 25);
    button(Panel2, "Button7", "Обновить список", "Полностью перечитать список станций")
        ->setGeometry(221, 68, 120, 25);
    button(Panel2, "Button27", "Список сетей >>")->setGeometry(345, 68, 120, 25);
    button(Panel2, "Button22", "Выбрать все", "Отметить все станции в списке галочками")
        ->setGeometry(8, 96, 110, 25);
    button(Panel2, "Button28", "Снять выбор", "Снять галочки со всех станций в списке")
        ->setGeometry(122, 96, 110, 25);
    button(Panel2, "Button29", "Обратить выбор",
           "Там, где галочки стоят, убрать их,\r\nа там, где не стоят - поставить")
        ->setGeometry(236, 96, 120, 25);
    // The bevel under the station controls sets how narrow the page may get.
    Image1 = named(new QLabel(Panel2), "Image1");
    Image1->setFrameShape(QFrame::HLine);
    Image1->setGeometry(0, 122, 620, 2);
    layout->addWidget(Panel2);

    Splitter2 = named(new QSplitter(Qt::Horizontal, page), "Splitter2");
    Splitter2->setChildrenCollapsible(false);
    Panel8 = named(new QWidget, "Panel8");
    // Two pixels is closed; open, the panel reaches the right edge of "Удалить" at most.
    Panel8->setMinimumWidth(2);
    if (auto *button5 = Panel2->findChild<QWidget *>(QStringLiteral("Button5")))
        Panel8->setMaximumWidth(button5->x() + button5->width());
    auto *netsLayout = new QVBoxLayout(Panel8);
    netsLayout->setContentsMargins(0, 0, 0, 0);
    auto *panel14 = named(new QWidget(Panel8), "Panel14");
    auto *captionRow = row({label(panel14, nullptr, "Список сетей")});
    captionRow->setContentsMargins(2, 2, 4, 2);
    captionRow->setSpacing(7);
    for (QPushButton *b :
         {button(panel14, "Button37", "+", "Добавить сеть"), button(panel14, "Button38", "-", "Удалить сеть"),
          button(panel14, "Button39", "<", "Перенести станции, отмеченные галочками, в выбранную сеть"),
          button(panel14, "Button40", ">", "Убрать станции, отмеченные галочками, из выбранной сети")}) {
        b->setFixedWidth(24); // small buttons, so that the open panel has room for its caption
        captionRow->addWidget(b);
    }
    panel14->setLayout(captionRow);
    netsLayout->addWidget(panel14);
    nets = named(new QListWidget(Panel8), "nets");
    new DoubleClickHook(nets->viewport(), [this] { netsDblClick(); });
    netsLayout->addWidget(nets);
    Splitter2->addWidget(Panel8);

    Panel7 = named(new QWidget, "Panel7");
    auto *listLayout = new QHBoxLayout(Panel7);
    listLayout->setContentsMargins(0, 0, 0, 0);
    auto *listColumn = new QVBoxLayout;
    hlp = label(
        Panel7, "hlp",
        "Почему список станций пуст? Возможные причины:\r\n1) произошла ошибка при работе с БД (тогда было "
        "сообщение об ошибке);\r\n2) в выбранной сети действительно нет ни одной станции;\r\n3) станции "
        "сети не занесены в таблицу SITE;\r\n4) в \"Общих настройках\" (закладка Вид) снята галочка "
        "\"Выбирать станции без данных\" и все станции сети не содержат данных.\r\nЧтобы посмотреть "
        "список кодов станции выбранной сети, дважды щёлкните по сети в списке сетей.");
    hlp->setWordWrap(true);
    listColumn->addWidget(hlp);
    stas = named(new QListWidget(Panel7), "stas");
    stas->setFlow(QListView::TopToBottom);
    stas->setWrapping(true);
    stas->setResizeMode(QListView::Adjust);
    listColumn->addWidget(stas);
    listLayout->addLayout(listColumn, 1);
    Panel10 = named(new QWidget(Panel7), "Panel10");
    auto *periods = new QVBoxLayout(Panel10);
    periods->setContentsMargins(0, 0, 0, 0);
    Edit10 =
        edit(Panel10, "Edit10",
             "Если в данных встретится промежуток,\r\nравный этому количеству дней, то всё\r\nравно "
             "считать, что интервал продолжается\r\n(при значении 1 учитывается пропуск\r\nкаждого дня, при "
             "значении 10 до десяти\r\nдней могут не содержать данных).\r\n\r\nНажатие ENTER в этом поле "
             "приведёт\r\nк пересчёту периодов.");
    periods->addLayout(row({label(Panel10, "Label62", "Макс. промежуток"), Edit10}));
    sgts = named(new QTableWidget(1, 2, Panel10), "sgts");
    sgts->setSelectionBehavior(QAbstractItemView::SelectRows);
    sgts->setEditTriggers(QAbstractItemView::NoEditTriggers);
    periods->addWidget(sgts);
    Panel10->setVisible(false);
    listLayout->addWidget(Panel10);
    Splitter2->addWidget(Panel7);
    Splitter2->setStretchFactor(1, 1);
    layout->addWidget(Splitter2, 1);
    connect(Splitter2, &QSplitter::splitterMoved, this, [this] {
        const int asked = Splitter2->sizes().value(0);
        m_netsWidth = Splitter2CanResize(asked);
        if (m_netsWidth != asked)
            Splitter2->setSizes({m_netsWidth, qMax(1, Splitter2->width() - m_netsWidth)});
        Splitter2Moved();
    });

    auto *panel6 = named(new QWidget(page), "Panel6");
    auto *panel13 = named(new QWidget(panel6), "Panel13");
    auto *bottom = new QHBoxLayout(panel6);
    bottom->setContentsMargins(0, 0, 0, 0);
    bottom->addWidget(panel13);
    panel13->setLayout(
        row({button(panel13, "Button8", "Данные станции", "Проверить, за какие даты есть данные"),
             button(panel13, "Button18", "Формат данных", "Формат данных при импорте и экспорте"),
             button(panel13, "Button26", "Настройки подключения"),
             button(panel13, "Button15", "Общие настройки"), hidden(button(panel13, "Button35", "Filters"))},
            false));
    sg2 = named(new QTableWidget(1, 2, panel6), "sg2");
    sg2->setVisible(false);
    layout->addWidget(panel6);
    connectStationPage();
    connectDataPeriods();
}

void Tmainf::buildBulletinPage()
{
    QWidget *page = scrolledPage(TabSheet1, "TabSheet1Scroll");
    auto *layout = new QVBoxLayout(page);
    select_data2 = check(page, "select_data2", "Выбирать данные");
    connect(select_data2, &QCheckBox::clicked, this, [this] { select_dataClick(select_data2); });
    layout->addLayout(row({select_data2}));

    // A caption and its control side by side in a grid row.
    const auto pair = [page](QGridLayout *grid, int r, int c, const char *caption, QWidget *w) {
        if (caption)
            grid->addWidget(label(page, nullptr, caption), r, c, Qt::AlignRight);
        grid->addWidget(w, r, c + 1);
    };
    const auto list = [page](const char *name, const QStringList &items) {
        QComboBox *c = combo(page, name, false);
        c->addItems(items);
        return c;
    };
    const QStringList signs = {QStringLiteral("+"), QStringLiteral("-")};

    // The current event.
    auto *num = edit(page, "num");
    num->setFixedWidth(80);
    auto *counter1 = edit(page, "Edit1");
    counter1->setFixedWidth(60);
    counter1->setReadOnly(true);
    layout->addLayout(row({num, button(page, "BitBtn6", "|<"), button(page, "BitBtn7", "<"),
                           button(page, "BitBtn8", ">"), button(page, "BitBtn9", ">|"),
                           button(page, "BitBtn10", "+"), counter1, label(page, "Label31", "из ?")}));
    auto *event = new QGridLayout;
    auto *time = named(new QDateTimeEdit(page), "time");
    time->setDisplayFormat(SystemDateEditFormat() + QStringLiteral(" HH:mm:ss"));
    SetWorkDateMaximum(time);
    event->addWidget(time, 0, 0, 1, 2);
    pair(event, 0, 2, "dec", edit(page, "dec"));
    pair(event, 0, 4, "delta(gr)=", edit(page, "deltagr"));
    pair(event, 0, 6, "delta(km)=", edit(page, "deltakm"));
    pair(event, 0, 8, "dep=", edit(page, "depdp"));
    pair(event, 1, 0, "lat", edit(page, "lat"));
    pair(event, 1, 2, "lon", edit(page, "lon"));
    pair(event, 1, 4, "Az=", edit(page, "seaz"));
    pair(event, 1, 6, "e=", edit(page, "emares"));
    pair(event, 1, 8, "Kp+s=", edit(page, "Kps"));
    auto *sp = edit(page, "SPtimedif");
    sp->setInputMask(QStringLiteral("09:99.9;_"));
    pair(event, 2, 0, "S-P", sp);
    event->addWidget(check(page, "FlagQuake", "Отметка \"землетрясений нет \""), 2, 2, 1, 3);
    pair(event, 2, 6, "comment", edit(page, "comment"));
    layout->addLayout(event);

    // The readings of the current event.
    auto *counter2 = edit(page, "Edit7");
    counter2->setFixedWidth(60);
    counter2->setReadOnly(true);
    layout->addLayout(
        row({button(page, "BitBtn5", "|<"), button(page, "BitBtn4", "<"), button(page, "BitBtn3", ">"),
             button(page, "BitBtn1", ">|"), button(page, "BitBtn15", "+"), counter2,
             label(page, "Label36", "из ?"), inert(button(page, "BitBtn16", "Удалить запись"))}));
    auto *reading = new QGridLayout;
    pair(reading, 0, 0, "Station_Cod", edit(page, "Station_Cod"));
    pair(reading, 0, 2, "№ сейсмограммы", edit(page, "N_seismo"));
    auto *date1 = named(new QDateEdit(page), "date1");
    date1->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
    SetWorkDateMaximum(date1);
    pair(reading, 0, 4, "Дата (д/м/г)", date1);
    auto *stbTime = named(new QTimeEdit(page), "stb_time");
    stbTime->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    pair(reading, 0, 6, "Time", stbTime);
    pair(reading, 0, 8, "Десятые сек.", edit(page, "Dec"));
    pair(reading, 1, 0, "Phase", combo(page, "DBComboBox8", true));
    reading->addWidget(label(page, "DBText1", ""), 1, 2, 1, 2);
    pair(reading, 1, 4, "Channel_name", combo(page, "DBComboBox9", true));
    reading->addWidget(label(page, "DBText2", ""), 1, 6, 1, 2);
    pair(reading, 2, 0, "Channel_Cod",
         list("Channel_Cod", {QStringLiteral("SP"), QStringLiteral("MP"), QStringLiteral("LP"),
                              QStringLiteral("BP"), QStringLiteral("UP")}));
    pair(reading, 2, 2, "Channel_component",
         list("Channel_component", {QStringLiteral("Z"), QStringLiteral("N"), QStringLiteral("E")}));
    pair(reading, 2, 4, "Qual",
         list("Qual", {QStringLiteral("i"), QStringLiteral("e"), QStringLiteral("q")}));
    reading->addWidget(check(page, "KPCH", "KPCH"), 2, 7);
    reading->addWidget(check(page, "Interpretation", "Interpretation"), 2, 9);
    pair(reading, 3, 0, "FM", list("FM", signs));
    pair(reading, 3, 2, "FM_Z", list("FM_Z", signs));
    pair(reading, 3, 4, "FM_EW", list("FM_EW", signs));
    pair(reading, 3, 6, "FM_NS", list("FM_NS", signs));
    pair(reading, 4, 0, "A (Z,мм)", edit(page, "FM_Amp_Z"));
    pair(reading, 4, 2, "A (EW,мм)", edit(page, "FM_Amp_EW"));
    pair(reading, 4, 4, "A (NS,мм)", edit(page, "FM_Amp_NS"));
    pair(reading, 5, 0, "T(сек)", edit(page, "FM_Period_Z"));
    pair(reading, 5, 2, "T(сек)", edit(page, "FM_Period_EW"));
    pair(reading, 5, 4, "T(сек)", edit(page, "FM_Period_NS"));
    layout->addLayout(reading);
    layout->addWidget(label(page, nullptr, "Примечания к волнам :"));
    auto *comments = named(new QPlainTextEdit(page), "Comments");
    comments->setFixedHeight(48);
    layout->addWidget(comments);

    layout->addLayout(row({button(page, "Delete_event", "Удалить землетр."),
                           inert(button(page, "Button10", "Добавить  замеры max")),
                           inert(button(page, "Button19", "Расчет угла  ")),
                           inert(button(page, "Button21", "Расчет азимута"))}));
    layout->addStretch();
    layout->addLayout(
        row({button(page, "Button9", "Импорт из ORX"), button(page, "Svodka", "Создать сводку"),
             button(page, "BitBtn12", "Просмотр отчета"), button(page, "BitBtn14", "Экспорт данных"),
             button(page, "BitBtn13", "Закрыть форму")}));
    connect(findChild<QPushButton *>(QStringLiteral("BitBtn13")), &QPushButton::clicked, this,
            &QWidget::close);
    SetupEventPage();
}

void Tmainf::buildOrxPage()
{
    QWidget *page = TabSheet6;
    // The inner page control reaches the page's right and bottom edges; what stands above it keeps 4
    // pixels from the right edge.
    auto *layout = new QVBoxLayout(page);
    const QMargins margins = layout->contentsMargins();
    layout->setContentsMargins(margins.left(), margins.top(), 0, 0);
    select_data = check(page, "select_data", "Выбирать данные");
    dat1 = named(new QDateEdit(page), "dat1");
    tim1 = named(new QTimeEdit(page), "tim1");
    dat2 = named(new QDateEdit(page), "dat2");
    tim2 = named(new QTimeEdit(page), "tim2");
    for (QDateEdit *d : {dat1, dat2}) {
        d->setDisplayFormat(SystemDateEditFormat());
        SetWorkDateRange(d);
        SetDateTyping(d);
    }
    for (QTimeEdit *t : {tim1, tim2}) {
        t->setDisplayFormat(QStringLiteral("HH:mm:ss"));
        SetDateTyping(t);
    }
    filter = check(page, "filter", "Включить", "Определяет, влючен ли заданный фильтр событий");
    onlyfull = check(page, "onlyfull", "Только непустые");
    // Three rows, so that a window three quarters of a small screen wide holds them: the time range, the
    // filter's boxes with the page's buttons, the record counters over the grids.
    layout->addLayout(row({select_data, label(page, "Label63", "Найти события с"), dat1, tim1,
                           label(page, "Label64", "до"), dat2, tim2, button(page, "Button30", ">>")}));
    auto *buttonsRow =
        row({filter, onlyfull, button(page, "Button24", "Создать сводку"),
             button(page, "BitBtn2", "Просмотр отчета"), button(page, "BitBtn17", "Экспорт данных"),
             button(page, "BitBtn18", "Закрыть форму")},
            false);
    buttonsRow->insertStretch(2);
    buttonsRow->setContentsMargins(0, 0, 4, 0);
    layout->addLayout(buttonsRow);
    auto *tcb = check(page, "tcb", "");
    tcb->setFixedSize(13, 13);
    layout->addLayout(row({label(page, "sto1", "ORIGIN: не открыта"),
                           label(page, "sta1", "ARRIVAL: не открыта"), hidden(tcb)}));
    connect(select_data, &QCheckBox::clicked, this, [this] { select_dataClick(select_data); });
    connect(onlyfull, &QCheckBox::clicked, this, &Tmainf::onlyfullClick);

    auto *pc2 = named(new QTabWidget(page), "pc2");
    auto *view = named(new QWidget, "TabSheet8");
    // The events' grid keeps its height, the arrivals' grid takes the rest down to 4 pixels above the
    // bottom; both end 4 pixels short of the right edge.
    auto *viewLayout = new QVBoxLayout(view);
    viewLayout->setContentsMargins(0, 4, 4, 4);
    viewLayout->setSpacing(4);
    auto *dbgo1 = named(new QTableView(view), "dbgo1");
    viewLayout->addWidget(dbgo1);
    viewLayout->addWidget(named(new QTableView(view), "dbga1"), 1);
    const auto sixRows = [dbgo1] {
        dbgo1->setFixedHeight(dbgo1->horizontalHeader()->sizeHint().height() +
                              6 * dbgo1->verticalHeader()->defaultSectionSize() +
                              dbgo1->horizontalScrollBar()->sizeHint().height() + 2 * dbgo1->frameWidth());
    };
    sixRows();
    OnEvent(dbgo1, QEvent::FontChange, sixRows);
    pc2->addTab(view, QStringLiteral("Просмотр"));

    // The edits keep their sizes; a window too small for them scrolls the page.
    auto *editTab = named(new QWidget, "TabSheet10");
    QWidget *editPage = scrolledPage(editTab, nullptr);
    auto *editLayout = new QVBoxLayout(editPage);
    const QString epochMask = QStringLiteral("00.00.0000 00:00:00.0;0");
    auto *mask1 = edit(editPage, "MaskEdit1");
    auto *mask2 = edit(editPage, "MaskEdit2");
    auto *mask3 = edit(editPage, "MaskEdit3");
    for (QLineEdit *m : {mask1, mask2, mask3}) {
        m->setInputMask(epochMask);
        SetMaskedDateTyping(m);
        holdText(m, QStringLiteral("00.00.0000 00:00:00.0"));
    }
    auto *edit13 = edit(editPage, "Edit13");
    auto *edit12 = edit(editPage, "Edit12");
    editLayout->addLayout(
        row({label(editPage, nullptr, "ORIGIN"),
             narrowButton(button(editPage, "BitBtn27", "|<", "Перейти к первой записи в ORIGIN")),
             narrowButton(button(editPage, "BitBtn26", "<", "Перейти к предыдущей записи в ORIGIN")),
             narrowButton(button(editPage, "BitBtn24", ">", "Перейти к следующей записи в ORIGIN")),
             narrowButton(button(editPage, "BitBtn23", ">|", "Перейти к последней записи в ORIGIN")),
             narrowButton(button(editPage, "BitBtn22", "+", "Добавить новую запись в ORIGIN")),
             button(editPage, "BitBtn29", "Удалить это событие"), edit13, label(editPage, "Label80", "из ?"),
             mask1}));
    editLayout->addLayout(
        row({label(editPage, nullptr, "ARRIVAL"),
             narrowButton(button(editPage, "BitBtn21", "|<", "Перейти к первой записи в ARRIVAL")),
             narrowButton(button(editPage, "BitBtn20", "<", "Перейти к предыдущей записи в ARRIVAL")),
             narrowButton(button(editPage, "BitBtn19", ">", "Перейти к следующей записи в ARRIVAL")),
             narrowButton(button(editPage, "BitBtn11", ">|", "Перейти к последней записи в ARRIVAL")),
             narrowButton(button(editPage, "BitBtn25", "+", "Добавить новую запись в ARRIVAL")),
             button(editPage, "BitBtn28", "Удалить эту фазу"), edit12, label(editPage, "Label77", "из ?")}));
    editLayout->addLayout(
        row({label(editPage, nullptr, "Код станции"), edit(editPage, "DBEdit26"),
             label(editPage, nullptr, "Внутренний канал и компонента"), combo(editPage, "DBComboBox14", true),
             label(editPage, "StaticText1", ""), label(editPage, "Label90", "")}));
    // The arrival's two times under their column captions, on a row of their own for narrow windows.
    editLayout->addLayout(row({label(editPage, nullptr, "Время наступления фазы"), mask3,
                               label(editPage, nullptr, "Время замера амплитуды"), mask2}));
    // The field edits, by field; a caption of its own where the field has one. A list (items separated
    // by blanks, possibly none) makes the edit a combo box.
    auto *fields = new QGridLayout;
    const struct
    {
        const char *name, *caption, *items;
    } fieldEdits[] = {
        {"eventid", "Идентификатор события", nullptr},
        {"depth", "dep=", nullptr},
        {"lat", "lat", nullptr},
        {"lon", "lon", nullptr},
        {"MB", "mb=", nullptr},
        {"MS", "ms=", nullptr},
        {"rms", "rms", nullptr},
        {"dh", "dh", nullptr},
        {"dz", "dz", nullptr},
        {"comments", "Комментарий:", nullptr},
        {"CHANTYPE", "CHANTYPE", "SP MP LP BP UP"},
        {"im_em", "im_em", "I E W"},
        {"FM", "FM", "? c d u r + -"},
        {"iphase", "iphase", ""},
        {"ampl", "ampl", nullptr},
        {"per", "per", nullptr},
        {"ms", "ms", nullptr},
        {"mb", "mb", nullptr},
        {"MPSP", "MPSP", nullptr},
        {"MPLP", "MPLP", nullptr},
        {"deltim", "deltim", nullptr},
        {"azimuth", "azimuth", nullptr},
        {"slow", "slow", nullptr},
        {"residuals", "residuals", nullptr},
        {"rect", "rect", nullptr},
        {"ema", "ema", nullptr},
        {"CODA", "CODA", nullptr},
        {"DIST", "DIST", nullptr},
        {"wgt", "wgt", nullptr},
        {"REMARK", "REMARK", nullptr},
        {"REGCLASS", "REGCLASS", nullptr},
        {"MCODA", "MCODA", nullptr},
        {"ML", "ML", nullptr},
        {"MWA", "MWA", nullptr},
        {"PFILTYPE", "PFILTYPE", nullptr},
        {"AFILTYPE", "AFILTYPE", nullptr},
    };
    int at = 0;
    for (const auto &f : fieldEdits) {
        QWidget *control = nullptr;
        if (!f.items) {
            control = edit(editPage, f.name);
        } else {
            auto *list = combo(editPage, f.name, true);
            list->addItems(QString::fromLatin1(f.items).split(QLatin1Char(' '), Qt::SkipEmptyParts));
            control = list;
        }
        fields->addWidget(label(editPage, nullptr, f.caption), at / 4, (at % 4) * 2);
        fields->addWidget(control, at / 4, (at % 4) * 2 + 1);
        ++at;
    }
    fields->addWidget(label(editPage, "iphaseText", ""), at / 4, (at % 4) * 2);
    fields->addWidget(check(editPage, "flag", "flag"), at / 4, (at % 4) * 2 + 1);
    editLayout->addLayout(fields);
    Label44 = label(editPage, "Label44", "");
    editLayout->addWidget(Label44);
    editLayout->addStretch();
    holdText(editPage->findChild<QLineEdit *>(QStringLiteral("eventid")), QStringLiteral("00000000_000000"));
    pc2->addTab(editTab, QStringLiteral("Редактирование"));
    layout->addWidget(pc2, 1);
    Label44->setText(
        text("*  Выделенные поля являются обязательными в заполнении\r*  Для отмены ввода данных в "
             "текущую запись нажмите ESC\r*  Для волн LR и LQ время вступления можно не заполнять"));

    connect(findChild<QPushButton *>(QStringLiteral("BitBtn18")), &QPushButton::clicked, this,
            &QWidget::close);
    SetupOrxEventPages();
}

void Tmainf::buildImportPage()
{
    QWidget *page = TabSheet4;
    auto *layout = new QVBoxLayout(page);
    auto *group = new QGroupBox(QStringLiteral("Импорт из..."), page);
    ifrom = combo(group, "ifrom", false);
    ifrom->addItems({QStringLiteral("Paradox"), QStringLiteral("Excel"), QStringLiteral("Текст"),
                     QStringLiteral("ORX"), QStringLiteral("Текст KRV")});
    ifrom->setCurrentIndex(2);
    group->setLayout(row({ifrom}));
    group->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Preferred);
    dss = combo(page, "dss", false, "Выберите приёмник данных");
    Label27 = label(page, "Label27", "2.");
    Edit6 = edit(page, "Edit6");
    Edit6->setReadOnly(true);
    layout->addLayout(row({group, Label27, dss, Edit6}, false));

    Edit5 = edit(page, "Edit5", "Имя файла с данными (базы данных Paradox, документы Excel, ORV и т.д.)");
    layout->addWidget(Edit5);
    Events = edit(page, "Events");
    Station_bulletin = edit(page, "Station_bulletin");
    XM_Add = edit(page, "XM_Add");
    auto *files = new QGridLayout;
    const std::pair<const char *, QLineEdit *> textFiles[] = {
        {"Evrb", Events}, {"Strb", Station_bulletin}, {"XMrb", XM_Add}};
    const char *captions[] = {"Events", "Station_bulletin", "XM_Add"};
    for (int i = 0; i < 3; ++i) {
        files->addWidget(named(new QRadioButton(text(captions[i]), page), textFiles[i].first), i, 0);
        files->addWidget(textFiles[i].second, i, 1);
    }
    layout->addLayout(files);

    imm = check(page, "imm", "Сразу в БД");
    imm->setChecked(true);
    adde = check(page, "adde", "");
    layout->addLayout(
        row({button(page, "Button12", "Выбрать"), button(page, "Button11", "Чтение данных"),
             button(page, "Button14", "Запись данных"), button(page, "Button25", "Образец"), imm, adde}));
    auto *label23 = label(page, "Label23", "");
    label23->setVisible(false);
    auto *label61 =
        label(page, "Label61", "Таблица только для просмотра!\r\nМожно сортировать ARRIVAL по ITIME");
    label61->setVisible(false);
    layout->addWidget(label23);
    layout->addLayout(row({label(page, "st1", ""), label(page, "st2", ""), label(page, "st3", ""), label61}));

    auto *edit11 = edit(page, "Edit11");
    edit11->setText(QStringLiteral("20070831101400"));
    layout->addLayout(
        row({button(page, "Button13", "+", "Вставить строку в таблицу на месте курсора"),
             button(page, "Button16", "-", "Удалить строку из таблицу на месте курсора"),
             hidden(button(page, "Button20", "+ eLQ", "Добавить запись фазы eLQ, если её не было перед LQM")),
             button(page, "Button33", ">", "Передвинуть выделенные ячейки на один столбец вправо"),
             button(page, "Button34", "<", "Передвинуть выделенные ячейки на один столбец влево"),
             hidden(button(page, "Button6", "Поиск")), hidden(button(page, "Button41", "1")),
             hidden(button(page, "Button42", "3")), hidden(edit11)}));
    sg = named(new TMStringGrid(page), "sg");
    // Row 0 and column 0 are the grid's own header cells; Qt's numbering beside them would say it twice.
    sg->horizontalHeader()->hide();
    sg->verticalHeader()->hide();
    sg->setRowCount(2);
    sg->setColumnCount(2);
    layout->addWidget(sg, 1);
}

void Tmainf::buildTestsPage()
{
    QWidget *page = TabSheet3;
    auto *layout = new QVBoxLayout(page);
    auto *edit9 = edit(page, "Edit9");
    edit9->setText(QStringLiteral("alter table arrival modify (flag integer)"));
    layout->addLayout(row({button(page, "Button2", "Select query"), edit(page, "Edit8")}));
    layout->addLayout(row({button(page, "Button3", "Execute query"), edit9}));
    layout->addLayout(row({edit(page, "Edit3"), button(page, "Button43", "convert (htoe) ->"),
                           button(page, "Button44", "insert now"),
                           button(page, "Button45", "convert (etoh) <-"), edit(page, "Edit4")}));
    layout->addLayout(
        row({button(page, "Button23", "Try stop"), button(page, "Button31", "Showmess"),
             button(page, "Button32", "1000 ins"), button(page, "Button47", "Button47"),
             button(page, "Button4", "Show field type and size"), button(page, "Button17", "Move control"),
             hidden(button(page, "Button36", "Mail"))}));
    layout->addStretch();
}

void Tmainf::buildAboutPage()
{
    BuildAboutPage(TabSheet5, resolvedProgramFolder());
}
