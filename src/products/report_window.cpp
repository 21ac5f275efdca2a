#include "products/report_window.h"

#include "app/data/data_module.h"
#include "app/main/main_window.h"
#include "app/main/product_commands.h"
#include "app/main/program_folder.h"
#include "app/settings/mail_settings_grid.h"
#include "app/settings/progress_window.h"
#include "app/settings/settings_persistence.h"
#include "db/db_connection.h"
#include "db/db_query.h"
#include "lib/codec.h"
#include "lib/control_routines.h"
#include "lib/coordinates.h"
#include "lib/date_routines.h"
#include "lib/date_typing.h"
#include "lib/dual_ini.h"
#include "lib/errors.h"
#include "lib/ini_file.h"
#include "lib/messages.h"
#include "lib/number_routines.h"
#include "lib/safe_write.h"
#include "lib/sql_text.h"
#include "lib/statements.h"
#include "lib/work_dates.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateEdit>
#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QStatusBar>
#include <QTableWidget>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include <climits>

ReportWindowShell &reportWindowShell()
{
    static ReportWindowShell shell{
        [](QWidget *owner, const QString &title, const QString &filter, const QString &name,
           QString &chosen) {
            // The dialog wants Qt's filter form: "Описание (*.a *.b);;...".
            QStringList parts = filter.split(QLatin1Char('|'));
            QStringList qtFilters;
            for (int i = 0; i + 1 < parts.size(); i += 2)
                qtFilters << parts[i] + QStringLiteral(" (") +
                                 QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' ')) +
                                 QLatin1Char(')');
            chosen = QFileDialog::getSaveFileName(owner, title, name, qtFilters.join(QStringLiteral(";;")));
            return !chosen.isEmpty();
        },
        [](const QString &file) { return QDesktopServices::openUrl(QUrl::fromLocalFile(file)); },
        [](const QString &program, const QStringList &args) {
            return QProcess::startDetached(program, args);
        }};
    return shell;
}

namespace {

QDate toQDate(TDateTime d)
{
    int y, m, day;
    DecodeDate(d, y, m, day);
    return QDate(y, m, day);
}

TDateTime fromQDate(const QDate &d)
{
    return EncodeDate(d.year(), d.month(), d.day());
}

int tag(const QWidget *w)
{
    return ControlTag(w);
}

} // namespace

// The report window's way to the main window, the data module and its own screen. What the window froze
// at its creation (the ORX connection, the filters, the date format) needs no main window; the rest asks
// the main window only while it lives.
class ReportWindowHost : public ReportHost
{
public:
    ReportWindowHost(TRepfrm &window, Tmainf &mainf, Tdm &dm, const Tsett &sett)
        : m_window(window), m_mainf(&mainf), m_dm(dm), m_orx(mainf.GetOrxConnParams(sett)),
          m_filters(mainf.filters), m_dateFormat(mainf.fsLocal), m_counter(mainf.reportCounter)
    {}

    QWidget *Owner() override { return &m_window; }
    bool GetStationDBParams(QString &Source, QString &User, QString &Password) override
    {
        if (!m_mainf) {
            MessageProc(&m_window,
                        QStringLiteral("Главное окно программы закрыто: станция для отчёта не выбрана."),
                        MB_ICONWARNING, MB_OK);
            return false;
        }
        // The main window's lookup is silent without a selected station; the report says why it stops.
        if (m_mainf->selectedStationEntry() < 0) {
            MessageProc(&m_window,
                        QStringLiteral("Станция для отчёта не выбрана: выберите станцию в списке станций."),
                        MB_ICONWARNING, MB_OK);
            return false;
        }
        return m_mainf->GetStationDBParams(Source, User, Password, -1, false);
    }
    bool OpenDB_ADO(DbConnection &Conn, const QString &Source, const QString &User,
                    const QString &Password) override
    {
        return m_dm.OpenDB_ADO(&Conn, Source, User, Password, false);
    }
    void CloseDB_ADO(DbConnection &Conn) override { m_dm.CloseDB_ADO(&Conn); }
    ConnParams OrxConnParams(const Tsett &) override { return m_orx; }
    bool MainStation(const QString &Code, tstainfo &Station) override
    {
        if (m_mainf)
            for (const tstainfo &s : std::as_const(m_mainf->stations))
                if (s.code.compare(Code, Qt::CaseInsensitive) == 0) {
                    Station = s;
                    return true;
                }
        return false;
    }
    QString CodeToSta(const QString &Code, bool Mark) override
    {
        QString sta = Code;
        if (m_mainf)
            m_mainf->CodeToSta(Code, Mark, sta);
        return sta;
    }
    const tfilts &Filters() override { return m_filters; }
    QString ProgramFolder() override { return ::ProgramFolder(); }
    int ReportCounter() override { return m_mainf ? m_mainf->reportCounter : m_counter; }
    QString ShortDateText(TDateTime Date) override
    {
        return FormatDateTime(QStringLiteral("ddddd"), Date, m_dateFormat);
    }
    void ZipFiles(const QString &ZipName, const QString &File) override { m_dm.ZipFiles(ZipName, File, {}); }
    bool SendMail(const QString &Body, const QString &Attachment, bool UseGlobal, const QString &From,
                  const QString &To, const QString &Cc, const QString &Subject) override
    {
        return m_dm.SendMail('r', Body, Attachment, &UseGlobal, From, To, Cc, Subject);
    }
    void Progress(int Max, int Position, const QString &Caption, bool *Cancel) override
    {
        if (!m_pro) {
            m_pro = std::make_unique<Tpro>(&m_window);
            m_pro->SetCancelFlag(Cancel != nullptr, Cancel);
            m_cancel = Cancel;
            m_pro->show();
        }
        m_pro->pb->setMaximum(std::max(Max, 0));
        m_pro->pb->setValue(Position);
        m_pro->setWindowTitle(Caption);
        // The progress window is modal: only its cancel button takes input, so nothing the run uses
        // can be changed or closed under it.
        QApplication::processEvents();
    }
    void HideProgress() override
    {
        m_pro.reset();
        m_cancel = nullptr;
    }
    // Asks a running bulletin to stop where it can; false when it cannot be cancelled.
    bool CancelRun()
    {
        if (!m_cancel)
            return false;
        *m_cancel = true;
        return true;
    }
    void ShowReport(const QString &FileName) override
    {
        QFile file(FileName);
        if (file.open(QIODevice::ReadOnly)) {
            m_window.rwin->setSearchPaths({QFileInfo(FileName).absolutePath()});
            // A row is far shorter than the slack: the first row end after the limit is in what is read.
            const QByteArray head = file.read(kBulletinViewLimit + 256 * 1024);
            m_window.rwin->setHtml(
                BulletinViewHtml(fromCp1251(BulletinViewPart(head, file.size(), kBulletinViewLimit))));
        }
    }

private:
    TRepfrm &m_window;
    QPointer<Tmainf> m_mainf;
    Tdm &m_dm;
    const ConnParams m_orx;
    const tfilts m_filters;
    const TFormatSettings m_dateFormat;
    const int m_counter;
    std::unique_ptr<Tpro> m_pro;
    bool *m_cancel = nullptr;
};

namespace {

const QStringList kMonths{
    QStringLiteral("01 - январь"),  QStringLiteral("02 - февраль"), QStringLiteral("03 - март"),
    QStringLiteral("04 - апрель"),  QStringLiteral("05 - май"),     QStringLiteral("06 - июнь"),
    QStringLiteral("07 - июль"),    QStringLiteral("08 - август"),  QStringLiteral("09 - сентябрь"),
    QStringLiteral("10 - октябрь"), QStringLiteral("11 - ноябрь"),  QStringLiteral("12 - декабрь")};

template <class T> T *named(T *w, const char *name)
{
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

} // namespace

TRepfrm::TRepfrm(Tmainf &Mainf, Tdm &Dm) : QWidget(nullptr, Qt::Window), m_mainf(&Mainf), m_dm(Dm)
{
    setAttribute(Qt::WA_DeleteOnClose);
    // The program ends with its main window, which closes its report windows first.
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowTitle(QStringLiteral("Отчёт"));
    m_loading = true;
    build();
    Mainf.ApplyFormFont(this, 4, Mainf.mainFont);

    m_state.sett = Mainf.sett;
    m_host = std::make_unique<ReportWindowHost>(*this, Mainf, m_dm, m_state.sett);
    if (QListWidgetItem *item = Mainf.nets ? Mainf.nets->currentItem() : nullptr;
        item && item->isSelected() && Mainf.nets->row(item) > 0) {
        const int index = item->data(Qt::UserRole).toInt();
        if (index >= 0 && index < Mainf.networks.size() && Mainf.networks.at(index).list)
            m_state.networkCodes = *Mainf.networks.at(index).list;
    }

    dbs = new DbConnection(this);
    conPubs = new DbConnection(this);
    dbs->SetProvider(m_dm.dbs->Provider());
    dbs->SetConnectionString(m_dm.dbs->ConnectionString());
    conPubs->SetProvider(m_dm.conPubs->Provider());
    conPubs->SetConnectionString(m_dm.conPubs->ConnectionString());

    m_state.tempFile = ProgramFolder() + QStringLiteral("system/stbul_") +
                       QString::number(Mainf.reportCounter) + QStringLiteral(".htm");
    ++Mainf.reportCounter;
    Mainf.SetDoubleBuffered(this, m_state.sett.double_buf);
    Mainf.AddCompanionWindow(this);

    if (!Mainf.curCode.isEmpty()) {
        m_state.codes << Mainf.curCode;
        m_state.codes << Mainf.checkedStations;
    }
    for (const QString &code : std::as_const(m_state.codes)) {
        tstainfo s;
        if (!m_host->MainStation(code, s))
            s.code = code;
        m_state.stations << s;
    }

    QRadioButton *radios[] = {rs1, rs2, rs3, rs4};
    radios[std::clamp(Mainf.sett.repset, 0, 3)]->setChecked(true);

    // The upper panel stays whole, the extra settings included, with room for the view under it. The
    // style's polish changes the controls' sizes, so they are measured polished.
    ensurePolished();
    // The labels of the period controls change with the kind of report; their column holds the longest.
    int labels = 0;
    QLabel probe;
    probe.setFont(Label1->font());
    for (const char *caption : {"Вид отчёта", "Начальная дата", "Конечная дата", "Номер отчёта",
                                "Декада месяца", "Декада года", "Месяц", "Год", "Дата"}) {
        probe.setText(QString::fromUtf8(caption));
        labels = std::max(labels, probe.minimumSizeHint().width());
    }
    m_periodGrid->setColumnMinimumWidth(0, labels);
    const QMargins outer = layout()->contentsMargins();
    m_minWidth = std::max(layout()->totalMinimumSize().width(),
                          Panel2->minimumSizeHint().width() + outer.left() + outer.right());
    m_minHeight = Panel1->minimumSizeHint().height() + 150;
    // On a small screen the window opens tall enough for a page of the bulletin under the extra
    // settings, which are shown at this point.
    m_preferred = QSize(m_minWidth, layout()->totalSizeHint().height() - rwin->sizeHint().height() + 320);
    setMinimumSize(m_minWidth, m_minHeight);

    readSettings();

    IniFile global(Mainf.MainIniPath());
    m_opExe = global.ReadString(QStringLiteral("global"), QStringLiteral("rep_opexe"),
                                QStringLiteral("winword.exe"));
    m_opPar = global.ReadString(QStringLiteral("global"), QStringLiteral("rep_oppar"), QString());
    const QString opName =
        global.ReadString(QStringLiteral("global"), QStringLiteral("rep_opname"), QStringLiteral("Word"));
    m_opName = m_opExe.isEmpty() ? QString() : opName.isEmpty() ? m_opExe : opName;
    if (!m_opName.isEmpty()) {
        Button2->setText(QStringLiteral("Открыть в ") + m_opName);
        Button2->setToolTip(
            QStringLiteral("Открывает отчёт в ") + m_opName +
            QStringLiteral(". Затем отчёт можно сохранить в другом формате (DOC, RTF и т.д.)"));
    } else {
        Button2->setText(QStringLiteral("Открыть"));
        Button2->setToolTip(QStringLiteral("Открывает отчёт программой, которая связана с расширением HTM"));
    }
    Panel2->hide();
    UpdateCaption();
    m_loading = false;
}

void TRepfrm::build()
{
    resize(800, 363);
    auto *outer = new QVBoxLayout(this);
    Panel1 = named(new QWidget(this), "Panel1");
    auto *panel1Layout = new QVBoxLayout(Panel1);
    panel1Layout->setContentsMargins(0, 0, 0, 0);
    Panel3 = named(new QWidget(Panel1), "Panel3");
    Panel2 = named(new QWidget(Panel1), "Panel2");
    panel1Layout->addWidget(Panel3);
    panel1Layout->addWidget(Panel2);
    outer->addWidget(Panel1);

    auto *top = new QHBoxLayout(Panel3);
    auto *periodBox = new QGridLayout;
    rstyle = named(new QComboBox(Panel3), "rstyle");
    rstyle->addItems({QStringLiteral("ежедневный"), QStringLiteral("декадный (месяц,декада)"),
                      QStringLiteral("декадный (декада в году)"), QStringLiteral("произвольный (дата)")});
    rstyle->setToolTip(QStringLiteral("Выберите период отчёта (обычно - декадный (месяц,декада))"));
    auto *label6 = named(new QLabel(QStringLiteral("Вид отчёта"), Panel3), "Label6");
    auto *label10 = named(new QLabel(QStringLiteral("Отчёт"), Panel3), "Label10");
    Label1 = named(new QLabel(Panel3), "Label1");
    Label2 = named(new QLabel(Panel3), "Label2");
    Label3 = named(new QLabel(Panel3), "Label3");
    rbegdate = named(new QDateEdit(Panel3), "rbegdate");
    renddate = named(new QDateEdit(Panel3), "renddate");
    for (QDateEdit *d : {rbegdate, renddate}) {
        d->setCalendarPopup(true);
        d->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
        SetWorkDateRange(d);
        SetDateTyping(d);
    }
    rnum = named(new QSpinBox(Panel3), "rnum");
    rnum->setRange(-2147483647, 2147483647);
    rmonth = named(new QComboBox(Panel3), "rmonth");
    rmonth->addItems(kMonths);
    rmdec = named(new QComboBox(Panel3), "rmdec");
    rmdec->addItems({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")});
    rydec = named(new QSpinBox(Panel3), "rydec");
    rydec->setRange(1, 36);
    // "Отчёт" heads the period controls as the group's title heads the stations beside them; the kinds
    // of report are listed whole.
    rstyle->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    periodBox->addWidget(label10, 0, 0, 1, 2);
    periodBox->addWidget(label6, 1, 0);
    periodBox->addWidget(rstyle, 1, 1);
    periodBox->addWidget(Label1, 2, 0);
    periodBox->addWidget(rbegdate, 2, 1);
    periodBox->addWidget(Label2, 3, 0);
    periodBox->addWidget(renddate, 3, 1);
    periodBox->addWidget(rmonth, 3, 1);
    periodBox->addWidget(rydec, 3, 1);
    periodBox->addWidget(Label3, 4, 0);
    periodBox->addWidget(rmdec, 4, 1);
    periodBox->addWidget(rnum, 4, 1);
    periodBox->setRowStretch(5, 1);
    m_periodGrid = periodBox;
    top->addLayout(periodBox);

    auto *buttons = new QVBoxLayout;
    mainbtn = named(new QPushButton(QStringLiteral("Создать отчёт"), Panel3), "mainbtn");
    Button1 = named(new QPushButton(QStringLiteral("Сохранить в файл"), Panel3), "Button1");
    Button1->setToolTip(QStringLiteral("Сохраняет отчёт в виде HTML-файла"));
    Button2 = named(new QPushButton(QStringLiteral("Открыть в Word"), Panel3), "Button2");
    buttons->addWidget(mainbtn);
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    buttons->addStretch();
    top->addLayout(buttons);

    auto *rsgb = named(new QGroupBox(QStringLiteral("Делать отчёт по..."), Panel3), "rsgb");
    auto *rsLayout = new QVBoxLayout(rsgb);
    rs1 = named(new QRadioButton(QStringLiteral("выбранной станции"), rsgb), "rs1");
    rs2 = named(new QRadioButton(QStringLiteral("станциям с галочкой"), rsgb), "rs2");
    rs3 = named(new QRadioButton(QStringLiteral("выбранной и с галочкой"), rsgb), "rs3");
    rs4 = named(new QRadioButton(QStringLiteral("всем станциям за период"), rsgb), "rs4");
    rs4->setToolTip(
        QStringLiteral("Все станции (в пределах выбранной сети), у которых есть данные за период"));
    for (QRadioButton *r : {rs1, rs2, rs3, rs4})
        rsLayout->addWidget(r);
    qtype = named(new QComboBox(rsgb), "qtype");
    qtype->addItems(
        {QStringLiteral("с группировкой по станциям"), QStringLiteral("с группировкой по событиям")});
    qtype->setToolTip(QStringLiteral("Выберите вид запроса к БД"));
    rsLayout->addWidget(qtype);
    // The choices keep together at the top when the row is taller; the room goes to the view below.
    rsLayout->addStretch();
    top->addWidget(rsgb);

    auto *mailBox = new QVBoxLayout;
    mail_send = named(new QCheckBox(QStringLiteral("Отправлять отчёт по почте"), Panel3), "mail_send");
    mail_global =
        named(new QCheckBox(QStringLiteral("Брать глобальные параметры отправки"), Panel3), "mail_global");
    sg1 = named(new QTableWidget(4, 2, Panel3), "sg1");
    sg1->horizontalHeader()->hide();
    sg1->verticalHeader()->hide();
    const QStringList heads{QStringLiteral("От"), QStringLiteral("Кому"), QStringLiteral("Копия"),
                            QStringLiteral("Тема")};
    for (int r = 0; r < 4; ++r) {
        auto *item = new QTableWidgetItem(heads[r]);
        item->setFlags(item->flags() & ~Qt::ItemIsEditable);
        sg1->setItem(r, 0, item);
        sg1->setItem(r, 1, new QTableWidgetItem());
    }
    sg1->setColumnWidth(0, sg1->fontMetrics().horizontalAdvance(QStringLiteral("Копия")) + 6);
    sg1->horizontalHeader()->setStretchLastSection(true);
    // Four rows of the font's height and no more: the upper panel's height is the view's loss.
    const int rowHeight = sg1->fontMetrics().height() + 6;
    sg1->verticalHeader()->setMinimumSectionSize(rowHeight);
    sg1->verticalHeader()->setDefaultSectionSize(rowHeight);
    sg1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    sg1->setFixedHeight(4 * rowHeight + 2 * sg1->frameWidth());
    mailBox->addWidget(mail_send);
    mailBox->addWidget(mail_global);
    mailBox->addWidget(sg1);
    mailBox->addStretch();
    // Under the mail grid, at the panel's right edge, the window stays narrow enough for a small screen.
    showc = named(new QPushButton(QStringLiteral("Показать дополнительные настройки"), Panel3), "showc");
    hidec = named(new QPushButton(QStringLiteral("Спрятать дополнительные настройки"), Panel3), "hidec");
    hidec->hide();
    mailBox->addWidget(showc, 0, Qt::AlignRight);
    mailBox->addWidget(hidec, 0, Qt::AlignRight);
    top->addLayout(mailBox, 1);
    top->setContentsMargins(0, 0, 8, 0);

    auto *extra = new QGridLayout(Panel2);
    subter = named(new QLineEdit(Panel2), "subter");
    fi = named(new QLineEdit(Panel2), "fi");
    lamb = named(new QLineEdit(Panel2), "lamb");
    hval = named(new QLineEdit(Panel2), "hval");
    // Any character in every place; the signs stand between the fixed widths.
    fi->setInputMask(QStringLiteral("xx° xx' xx\" x"));
    lamb->setInputMask(QStringLiteral("xxx° xx' xx\" x"));
    subter->setToolTip(QStringLiteral("Подпочва станции (не редактируется для БД ORX)"));
    fi->setToolTip(QStringLiteral("Координата станции (не редактируется для БД ORX)"));
    lamb->setToolTip(QStringLiteral("Координата станции (не редактируется для БД ORX)"));
    hval->setToolTip(QStringLiteral("Высота станции (не редактируется для БД ORX)"));
    putbegdate = named(new QCheckBox(QStringLiteral("ставить начальный месяц и год"), Panel2), "putbegdate");
    drawtable = named(new QCheckBox(QStringLiteral("рисовать рамку"), Panel2), "drawtable");
    dline = named(new QCheckBox(QStringLiteral("рисовать разделительную линию"), Panel2), "dline");
    savetxt = named(new QCheckBox(QStringLiteral("простой текст"), Panel2), "savetxt");
    savetxt->setToolTip(QStringLiteral("Делать отчёт в виде TXT- файла (НЕ РЕАЛИЗОВАНО)"));
    txtwids = named(new QLineEdit(Panel2), "txtwids");
    auto *label9 = named(new QLabel(QStringLiteral("Ширина столбцов"), Panel2), "Label9");
    extra->addWidget(new QLabel(QStringLiteral("Подпочва"), Panel2), 0, 0);
    extra->addWidget(subter, 0, 1);
    extra->addWidget(fi, 0, 2);
    extra->addWidget(lamb, 0, 3);
    extra->addWidget(new QLabel(QStringLiteral("H ="), Panel2), 0, 4);
    extra->addWidget(hval, 0, 5);
    extra->addWidget(putbegdate, 1, 0, 1, 2);
    extra->addWidget(drawtable, 1, 2);
    extra->addWidget(dline, 1, 3);
    extra->addWidget(savetxt, 1, 4);
    // Two rows: the plain text's widths beside its box, so the view keeps the height of a third row.
    auto *widths = new QHBoxLayout;
    widths->addWidget(label9);
    widths->addWidget(txtwids, 1);
    extra->addLayout(widths, 1, 5);

    rwin = named(new QTextBrowser(this), "rwin");
    rwin->setOpenLinks(false);
    rtwin = named(new QPlainTextEdit(this), "rtwin");
    rtwin->hide();
    stb1 = named(new QStatusBar(this), "stb1");
    outer->addWidget(rwin, 1);
    outer->addWidget(rtwin, 1);
    outer->addWidget(stb1);

    connect(rstyle, &QComboBox::activated, this, [this](int i) { SetReportStyle(i); });
    const auto changed = [this] {
        if (!m_periodSetting) {
            ReadPeriodControls();
        }
    };
    connect(rbegdate, &QDateEdit::dateChanged, this, changed);
    connect(renddate, &QDateEdit::dateChanged, this, changed);
    connect(rnum, &QSpinBox::valueChanged, this, changed);
    connect(rydec, &QSpinBox::valueChanged, this, changed);
    connect(rmonth, &QComboBox::currentIndexChanged, this, changed);
    connect(rmdec, &QComboBox::currentIndexChanged, this, changed);
    connect(showc, &QPushButton::clicked, this, [this] {
        Panel2->show();
        showc->hide();
        hidec->show();
    });
    connect(hidec, &QPushButton::clicked, this, [this] {
        Panel2->hide();
        showc->show();
        hidec->hide();
    });
    connect(savetxt, &QCheckBox::clicked, this, [this] { applyTextMode(); });
    // Any change of what the bulletin is made of leaves the one shown behind. The period controls do it
    // through ReadPeriodControls, the coordinate edits through coordinateChanged.
    const auto stale = [this] { invalidateReport(); };
    for (QRadioButton *r : {rs1, rs2, rs3, rs4})
        connect(r, &QRadioButton::toggled, this, stale);
    for (QCheckBox *c : {putbegdate, drawtable, dline, savetxt})
        connect(c, &QCheckBox::toggled, this, stale);
    connect(rstyle, &QComboBox::currentIndexChanged, this, stale);
    connect(qtype, &QComboBox::currentIndexChanged, this, stale);
    connect(txtwids, &QLineEdit::textChanged, this, stale);
    connect(mail_send, &QCheckBox::clicked, this, [this] { mailSendClick(); });
    connect(mail_global, &QCheckBox::clicked, this, [this] { mailGlobalClick(); });
    for (QLineEdit *e : {subter, fi, lamb, hval})
        connect(e, &QLineEdit::textChanged, this, [this, e] { coordinateChanged(e); });
    connect(mainbtn, &QPushButton::clicked, this, [this] { mainbtnClick(); });
    connect(Button1, &QPushButton::clicked, this, [this] { SaveReportAs(); });
    connect(Button2, &QPushButton::clicked, this, [this] { OpenReport(); });
}

void TRepfrm::readSettings()
{
    if (m_state.stations.isEmpty()) {
        rstyle->setCurrentIndex(1);
        m_state.period.begDate = m_state.period.endDate = Today();
        SetReportStyle(1);
        putbegdate->setChecked(false);
        drawtable->setChecked(false);
        dline->setChecked(true);
        txtwids->clear();
        savetxt->setChecked(false);
        applyTextMode();
        qtype->setCurrentIndex(0);
        mailSendClick();
        return;
    }
    const QString section = m_state.stations.first().code;
    TDualIni ini(&m_mainf->sett.CommonKeys, ProgramFolder());
    // A day the bulletin cannot carry reads as today, as text that is no date does.
    const auto date = [&](const char *key) {
        bool error = false;
        const TDateTime d =
            StrToDateTimeDMY(ini.ReadString(section, QString::fromLatin1(key), QString()), &error, Today());
        return DateOf(IsWorkDate(d) ? d : Today());
    };
    m_state.period.begDate = date("repbeg");
    m_state.period.endDate = date("repend");
    // The numbers as far as their controls take them: the number box, the four kinds of period, the two
    // kinds of query.
    m_state.period.number = ini.ReadIntegerIn(section, QStringLiteral("repnum"), 0, -INT_MAX, INT_MAX);
    m_state.period.fileName = ini.ReadString(section, QStringLiteral("repfile"), QString());
    const int style = ini.ReadIntegerIn(section, QStringLiteral("repstyle"), 1, 0, 3);
    rstyle->setCurrentIndex(style);
    SetReportStyle(style);
    putbegdate->setChecked(ini.ReadBool(section, QStringLiteral("put_beg_date"), false));
    drawtable->setChecked(ini.ReadBool(section, QStringLiteral("draw_table"), false));
    dline->setChecked(ini.ReadBool(section, QStringLiteral("draw_line"), true));
    txtwids->setText(ini.ReadString(section, QStringLiteral("txtwids"), QString()));
    savetxt->setChecked(ini.ReadBool(section, QStringLiteral("save_text"), false));
    applyTextMode();
    qtype->setCurrentIndex(ini.ReadIntegerIn(section, QStringLiteral("qtype"), 0, 0, 1));
    if (!m_state.sett.fullorx) {
        subter->setText(ini.ReadString(section, QStringLiteral("subter"), QString()));
        fi->setText(CoordinateShown(ini.ReadString(section, QStringLiteral("fi"), QString()), 2));
        lamb->setText(CoordinateShown(ini.ReadString(section, QStringLiteral("lamb"), QString()), 3));
        hval->setText(ini.ReadString(section, QStringLiteral("hval"), QString()));
    } else {
        LoadSTIORX();
    }
    m_mailFrom = ini.ReadString(section, QStringLiteral("mailr_from"), QString());
    m_mailTo = ini.ReadString(section, QStringLiteral("mailr_recv"), QString());
    m_mailCc = ini.ReadString(section, QStringLiteral("mailr_cc"), QString());
    m_mailSubject = ini.ReadString(section, QStringLiteral("mailr_subj"), QString());
    SetMailGridValue(sg1, 0, m_mailFrom);
    SetMailGridValue(sg1, 1, m_mailTo);
    SetMailGridValue(sg1, 2, m_mailCc);
    SetMailGridValue(sg1, 3, m_mailSubject);
    mail_send->setChecked(ini.ReadBool(section, QStringLiteral("mailr_send"), false));
    mailSendClick();
    mail_global->setChecked(ini.ReadBool(section, QStringLiteral("mailr_global"), true));
    SwapMailSettingsGrid(m_mailFrom, m_mailTo, m_mailSubject, m_mailCc, sg1, mail_global->isChecked(),
                         mail_send->isChecked(), m_mainf->sett);
    mailSendClick();
    LoadFormPlacement(this, ini, section, m_minWidth, m_minHeight, m_mainf->workArea(), m_preferred);
}

TRepfrm::~TRepfrm()
{
    try {
        QFile::remove(m_state.tempFile);
        if (!m_mainf)
            return;
        m_mainf->sett.repset = rs1->isChecked() ? 0 : rs2->isChecked() ? 1 : rs3->isChecked() ? 2 : 3;
        if (!m_state.stations.isEmpty())
            writeSettings();
    } catch (const std::exception &e) {
        MessageProc(nullptr, ExceptionText(e), MB_ICONERROR, MB_OK);
    }
}

void TRepfrm::writeSettings()
{
    const QString section = m_state.stations.first().code;
    TDualIni ini(&m_mainf->sett.CommonKeys, ProgramFolder());
    ini.WriteInteger(section, QStringLiteral("repstyle"), rstyle->currentIndex());
    ini.WriteString(section, QStringLiteral("repbeg"), DateTimeToStrDMY(m_state.period.begDate));
    ini.WriteString(section, QStringLiteral("repend"), DateTimeToStrDMY(m_state.period.endDate));
    ini.WriteInteger(section, QStringLiteral("repnum"), m_state.period.number);
    ini.WriteString(section, QStringLiteral("repfile"), m_state.period.fileName);
    ini.WriteBool(section, QStringLiteral("put_beg_date"), putbegdate->isChecked());
    ini.WriteBool(section, QStringLiteral("draw_table"), drawtable->isChecked());
    ini.WriteBool(section, QStringLiteral("draw_line"), dline->isChecked());
    ini.WriteBool(section, QStringLiteral("save_text"), savetxt->isChecked());
    ini.WriteInteger(section, QStringLiteral("qtype"), qtype->currentIndex());
    ini.WriteString(section, QStringLiteral("txtwids"), txtwids->text());
    ini.WriteBool(section, QStringLiteral("mailr_send"), mail_send->isChecked());
    ini.WriteBool(section, QStringLiteral("mailr_global"), mail_global->isChecked());
    const bool kept = mail_global->isChecked();
    ini.WriteString(section, QStringLiteral("mailr_from"), kept ? m_mailFrom : MailGridValue(sg1, 0));
    ini.WriteString(section, QStringLiteral("mailr_recv"), kept ? m_mailTo : MailGridValue(sg1, 1));
    ini.WriteString(section, QStringLiteral("mailr_cc"), kept ? m_mailCc : MailGridValue(sg1, 2));
    ini.WriteString(section, QStringLiteral("mailr_subj"), kept ? m_mailSubject : MailGridValue(sg1, 3));
    if (m_coordsChanged) {
        if (!m_state.sett.fullorx) {
            const auto fixed = [](const QString &kept, int degWidth) {
                const QString v = PadStr(kept, QLatin1Char(' '), degWidth + 5, false);
                const auto part = [](const QString &s, int w) {
                    return PadStr(s.trimmed(), QLatin1Char(' '), w, false);
                };
                return part(v.mid(0, degWidth), degWidth) + part(v.mid(degWidth, 2), 2) +
                       part(v.mid(degWidth + 2, 2), 2) + v.mid(degWidth + 4, 1);
            };
            if (tag(subter) > 0)
                ini.WriteString(section, QStringLiteral("subter"), subter->text());
            if (typedCoordinate(fi, false))
                ini.WriteString(section, QStringLiteral("fi"),
                                fixed(CoordinateKept(fi->displayText(), 2), 2));
            if (typedCoordinate(lamb, true))
                ini.WriteString(section, QStringLiteral("lamb"),
                                fixed(CoordinateKept(lamb->displayText(), 3), 3));
            if (tag(hval) > 0)
                ini.WriteString(section, QStringLiteral("hval"), hval->text());
        } else {
            // The settings of a window whose site row could not be written are not kept either.
            bool written = false;
            try {
                written = writeSiteRow();
            } catch (const std::exception &e) {
                MessageProc(nullptr, ExceptionText(e), MB_ICONERROR, MB_OK);
            }
            if (!written)
                return;
        }
    }
    SaveFormPlacement(this, ini, section);
    ini.UpdateFile();
}

bool TRepfrm::typedCoordinate(QLineEdit *Edit, bool IsLon)
{
    if (tag(Edit) <= 0)
        return false;
    const QString problem = CoordinateProblem(Edit->displayText(), IsLon);
    if (problem.isEmpty())
        return true;
    MessageProc(nullptr, problem + QStringLiteral("\rОна не сохранена."), MB_ICONERROR, MB_OK);
    return false;
}

bool TRepfrm::writeSiteRow()
{
    const ConnParams params = m_host->OrxConnParams(m_state.sett);
    if (!m_host->OpenDB_ADO(*conPubs, params.source, params.user, params.password))
        return false;
    struct Close
    {
        ReportHost &host;
        DbConnection &conn;
        ~Close() { host.CloseDB_ADO(conn); }
    } close{*m_host, *conPubs};
    DbQuery rstORX(conPubs);
    if (!QAct(rstORX, QStringLiteral("select lat,lon,elev,underground from site where rtrim(sta)='") +
                          SqlEscape(m_state.stations.first().code) + QLatin1Char('\'')))
        return false;
    if (!rstORX.Eof()) {
        rstORX.Edit();
        double deg = 0;
        // A part that is no whole number leaves the stored coordinate as it was.
        if (typedCoordinate(fi, false) && CoordinateDegrees(CoordinateKept(fi->displayText(), 2), 2, deg))
            rstORX.FieldByName(QStringLiteral("lat"))->SetValue(deg);
        if (typedCoordinate(lamb, true) && CoordinateDegrees(CoordinateKept(lamb->displayText(), 3), 3, deg))
            rstORX.FieldByName(QStringLiteral("lon"))->SetValue(deg);
        EditToField(hval, rstORX.FieldByName(QStringLiteral("elev")), false);
        if (tag(subter) > 0)
            rstORX.FieldByName(QStringLiteral("underground"))->SetValue(subter->text());
        rstORX.Post();
    }
    rstORX.Close();
    return true;
}

bool TRepfrm::LoadSTIORX()
{
    bool result = false;
    DbQuery rstORX(conPubs);
    try {
        const ConnParams params = m_host->OrxConnParams(m_state.sett);
        if (m_host->OpenDB_ADO(*conPubs, params.source, params.user, params.password) &&
            QAct(rstORX, QStringLiteral("select * from site where rtrim(sta)='") +
                             SqlEscape(m_state.stations.value(0).code) + QLatin1Char('\''))) {
            if (!rstORX.Eof()) {
                const auto kept = [&](const char *column, bool isLon) {
                    return DegToStationText(rstORX.FieldByName(QString::fromLatin1(column))->AsFloat(),
                                            isLon);
                };
                fi->setText(CoordinateShown(kept("lat", false), 2));
                lamb->setText(CoordinateShown(kept("lon", true), 3));
                TField *elev = rstORX.FieldByName(QStringLiteral("elev"));
                hval->setText(elev->IsNull() ? QString() : RoundedText(elev->AsFloat(), 3));
                subter->setText(rstORX.FieldByName(QStringLiteral("underground"))->AsString());
            }
            result = true;
        }
    } catch (const std::exception &e) {
        MessageProc(this,
                    QStringLiteral("LoadSTIORX: Сбой чтения информации о стациии. Сообщение об ошибке:\r") +
                        ExceptionText(e),
                    MB_ICONERROR, MB_OK);
        result = false;
    }
    rstORX.Close();
    m_host->CloseDB_ADO(*conPubs);
    return result;
}

void TRepfrm::SetReportStyle(int Kind)
{
    m_periodSetting = true;
    PeriodControls c;
    PeriodControlsFromPeriod(Kind, m_state.period, c);
    for (QWidget *w :
         {static_cast<QWidget *>(Label1), static_cast<QWidget *>(rbegdate), static_cast<QWidget *>(renddate),
          static_cast<QWidget *>(rmonth), static_cast<QWidget *>(rydec), static_cast<QWidget *>(rmdec),
          static_cast<QWidget *>(Label3)})
        w->hide();
    QGridLayout *grid = m_periodGrid;
    grid->removeWidget(rnum);
    // A report number is any number; a year only one whose decades every product can carry.
    if (Kind == StyleMonthDecade || Kind == StyleYearDecade)
        rnum->setRange(FirstWorkDate().year(), LastWorkDate().year());
    else
        rnum->setRange(-2147483647, 2147483647);
    switch (Kind) {
    case StyleDaily:
        Label2->setText(QStringLiteral("Дата"));
        Label3->setText(QStringLiteral("Номер отчёта"));
        Label3->show();
        renddate->show();
        grid->addWidget(rnum, 4, 1);
        renddate->setDate(toQDate(c.endDate));
        rnum->setValue(c.rnum);
        break;
    case StyleMonthDecade:
        Label1->setText(QStringLiteral("Год"));
        Label2->setText(QStringLiteral("Месяц"));
        Label3->setText(QStringLiteral("Декада месяца"));
        Label1->show();
        Label3->show();
        rmonth->show();
        rmdec->show();
        grid->addWidget(rnum, 2, 1);
        rnum->setValue(c.rnum);
        rmonth->setCurrentIndex(c.rmonth);
        rmdec->setCurrentIndex(c.rmdec);
        break;
    case StyleYearDecade:
        Label1->setText(QStringLiteral("Год"));
        Label2->setText(QStringLiteral("Декада года"));
        Label1->show();
        rydec->show();
        grid->addWidget(rnum, 2, 1);
        rnum->setValue(c.rnum);
        rydec->setValue(c.rydec);
        break;
    default:
        Label1->setText(QStringLiteral("Начальная дата"));
        Label2->setText(QStringLiteral("Конечная дата"));
        Label3->setText(QStringLiteral("Номер отчёта"));
        Label1->show();
        Label3->show();
        rbegdate->show();
        renddate->show();
        grid->addWidget(rnum, 4, 1);
        rbegdate->setDate(toQDate(c.begDate));
        renddate->setDate(toQDate(c.endDate));
        rnum->setValue(c.rnum);
        break;
    }
    rnum->show();
    ReadPeriodControls();
    m_periodSetting = false;
}

void TRepfrm::ReadPeriodControls()
{
    PeriodControls c;
    c.begDate = fromQDate(rbegdate->date());
    c.endDate = fromQDate(renddate->date());
    c.rnum = rnum->value();
    c.rmonth = rmonth->currentIndex();
    c.rmdec = rmdec->currentIndex();
    c.rydec = rydec->value();
    try {
        ReadPeriod(rstyle->currentIndex(), c, m_state.period);
    } catch (const EConvertError &) {
        // A year the calendar does not have (the number spin has no limits) leaves the period as it was.
    }
    UpdateCaption();
    invalidateReport();
}

void TRepfrm::UpdateCaption()
{
    QString caption =
        QStringLiteral("Отчёт №") + QString::number(m_state.period.number) + QStringLiteral(" - ");
    if (m_state.stations.isEmpty()) {
        setWindowTitle(caption + QStringLiteral("??? (станция не выбрана)"));
        return;
    }
    const tstainfo &s = m_state.stations.first();
    caption += s.name.isEmpty()
                   ? s.sta + QLatin1Char(',') + s.code
                   : s.name + QStringLiteral(" (") + s.sta + QLatin1Char(',') + s.code + QLatin1Char(')');
    caption += QStringLiteral(" - (") + m_host->ShortDateText(m_state.period.begDate) +
               QStringLiteral(" - ") + m_host->ShortDateText(m_state.period.endDate) + QLatin1Char(')');
    setWindowTitle(caption);
}

bool TRepfrm::refuseTextMode()
{
    if (!savetxt->isChecked())
        return false;
    MessageProc(this,
                QStringLiteral("Отчёт в виде простого текста не делается. Чтобы сделать или сохранить "
                               "отчёт в HTML, снимите галочку \"простой текст\"."),
                MB_ICONWARNING, MB_OK);
    return true;
}

bool TRepfrm::CheckReportMade()
{
    if (!m_state.reportMade)
        MessageProc(this, QStringLiteral("Сначала создайте отчёт!"), MB_ICONWARNING, MB_OK);
    return m_state.reportMade;
}

void TRepfrm::SaveReportAs()
{
    // In text mode no bulletin is shown, so none is saved.
    if (refuseTextMode() || !CheckReportMade())
        return;
    QString chosen;
    if (!reportWindowShell().saveDialog(
            this, QStringLiteral("Сохранить отчёт"),
            QStringLiteral("HTML-отчёт (*.htm;*.html)|*.htm;*.html|Все файлы (*.*)|*.*"),
            m_state.period.fileName, chosen))
        return;
    SaveReportCopy(chosen);
    m_state.period.fileName = chosen;
}

namespace {

// The Greek letter the Symbol font draws for a Latin letter; any other character is itself.
QChar symbolFontChar(QChar c)
{
    static const char16_t lower[] = u"αβχδεϕγηιφκλμνοπθρστυϖωξψζ";
    static const char16_t upper[] = u"ΑΒΧΔΕΦΓΗΙϑΚΛΜΝΟΠΘΡΣΤΥςΩΞΨΖ";
    const char16_t u = c.unicode();
    if (u >= u'a' && u <= u'z')
        return QChar(lower[u - u'a']);
    if (u >= u'A' && u <= u'Z')
        return QChar(upper[u - u'A']);
    return c;
}

bool startsWithTag(QStringView text, qsizetype at, QLatin1StringView tag)
{
    const QStringView rest = text.mid(at);
    return rest.startsWith(tag, Qt::CaseInsensitive) &&
           (rest.size() == tag.size() || !rest.at(tag.size()).isLetterOrNumber());
}

} // namespace

QString BulletinViewHtml(const QString &Html)
{
    static const QRegularExpression bare(QStringLiteral("&(nbsp|amp|lt|gt|quot)(?!;)"));
    static const QRegularExpression symbolSpan(
        QStringLiteral("<span\\b[^>]*font-family\\s*:\\s*['\"]?symbol\\b[^>]*>"),
        QRegularExpression::CaseInsensitiveOption);
    QString html = Html;
    html.replace(bare, QStringLiteral("&\\1;"));

    QString out;
    out.reserve(html.size());
    qsizetype at = 0;
    for (auto it = symbolSpan.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (m.capturedStart() < at)
            continue; // inside the span just read
        out += QStringView(html).mid(at, m.capturedEnd() - at);
        at = m.capturedEnd();
        // The span's text up to its own end tag; tags and entities inside it stay as they are.
        for (int depth = 1; at < html.size() && depth > 0;) {
            const QChar c = html.at(at);
            if (c == QLatin1Char('<')) {
                qsizetype end = html.indexOf(QLatin1Char('>'), at);
                end = end < 0 ? html.size() : end + 1;
                if (startsWithTag(html, at, QLatin1StringView("</span")))
                    --depth;
                else if (startsWithTag(html, at, QLatin1StringView("<span")))
                    ++depth;
                out += QStringView(html).mid(at, end - at);
                at = end;
            } else if (c == QLatin1Char('&')) {
                qsizetype end = at + 1;
                while (end < html.size() &&
                       (html.at(end).isLetterOrNumber() || html.at(end) == QLatin1Char('#')))
                    ++end;
                if (end < html.size() && html.at(end) == QLatin1Char(';'))
                    ++end;
                out += QStringView(html).mid(at, end - at);
                at = end;
            } else {
                out += symbolFontChar(c);
                ++at;
            }
        }
    }
    out += QStringView(html).mid(at);
    return out;
}

QByteArray BulletinViewPart(const QByteArray &Head, qint64 Size, qsizetype Limit)
{
    if (Size <= Limit)
        return Head;
    qsizetype end = Head.indexOf("</tr>", Limit);
    if (end < 0)
        end = Head.lastIndexOf("</tr>");
    if (end < 0)
        end = std::min(Limit, Head.size());
    else
        end += 5;
    const auto megabytes = [](qint64 bytes) {
        return QByteArray::number(double(bytes) / (1024 * 1024), 'f', 1);
    };
    return Head.left(end) +
           toCp1251(QStringLiteral("\r\n</table><p><b>Отчёт велик для просмотра: показано начало, ") +
                    QString::fromLatin1(megabytes(end)) + QStringLiteral(" МБ из ") +
                    QString::fromLatin1(megabytes(Size)) +
                    QStringLiteral(" МБ. Отчёт целиком сохраняется и открывается кнопками этого "
                                   "окна.</b></p></body></html>\r\n"));
}

QString CoordinateProblem(const QString &Shown, bool IsLon)
{
    const int degWidth = IsLon ? 3 : 2;
    const QString kept = PadStr(CoordinateKept(Shown, degWidth), QLatin1Char(' '), degWidth + 5, false);
    if (kept.trimmed().isEmpty())
        return {};
    static const QRegularExpression number(QStringLiteral("^[0-9]+$"));
    const QString parts[] = {kept.mid(0, degWidth).trimmed(), kept.mid(degWidth, 2).trimmed(),
                             kept.mid(degWidth + 2, 2).trimmed()};
    const int maxDegrees = IsLon ? 180 : 90;
    const QString hemispheres = QString::fromLatin1(IsLon ? "EW" : "NS");
    bool sound = hemispheres.contains(kept.at(degWidth + 4).toUpper());
    for (const QString &part : parts)
        sound = sound && number.match(part).hasMatch();
    if (sound) {
        const int d = parts[0].toInt(), m = parts[1].toInt(), sec = parts[2].toInt();
        sound = m <= 59 && sec <= 59 && d * 3600 + m * 60 + sec <= maxDegrees * 3600;
    }
    if (sound)
        return {};
    return (IsLon ? QStringLiteral("Неверная долгота станции: ")
                  : QStringLiteral("Неверная широта станции: ")) +
           CutForMessage(Shown) + QStringLiteral("\rГрадусы от 0 до ") + QString::number(maxDegrees) +
           QStringLiteral(", минуты и секунды от 0 до 59, полушарие ") +
           (IsLon ? QStringLiteral("E или W.") : QStringLiteral("N или S."));
}

QString ReportCopyName(const QString &FileName)
{
    const QString name = QFileInfo(FileName).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString ext = dot < 0 ? QString() : name.mid(dot);
    return ext == QLatin1String(".htm") || ext == QLatin1String(".html") ? FileName
                                                                         : FileName + QStringLiteral(".htm");
}

void TRepfrm::SaveReportCopy(const QString &FileName)
{
    if (FileName.isEmpty()) {
        MessageProc(this, QStringLiteral("Не задано имя файла отчёта!"), MB_ICONERROR, MB_OK);
        return;
    }
    QFile temp(m_state.tempFile);
    const bool ok = temp.open(QIODevice::ReadOnly) && SafeWriteFile(ReportCopyName(FileName), temp.readAll());
    if (ok)
        MessageProc(this, QStringLiteral("Готово"), MB_ICONINFORMATION, MB_OK);
    else
        MessageProc(this, QStringLiteral("copyfile: отчёт не сохранён!"), MB_ICONERROR, MB_OK);
}

void TRepfrm::OpenReport()
{
    if (!CheckReportMade())
        return;
    if (m_opExe.isEmpty()) {
        if (!reportWindowShell().openFile(m_state.tempFile))
            MessageProc(this,
                        QStringLiteral("Не удалось открыть отчёт \"") + m_state.tempFile +
                            QStringLiteral("\": нет программы, которая открывает файлы HTM."),
                        MB_ICONERROR, MB_OK);
        return;
    }
    const QString quoted = QLatin1Char('"') + m_state.tempFile + QLatin1Char('"');
    const QString params = m_opPar.isEmpty() ? quoted : m_opPar + QLatin1Char(' ') + quoted;
    if (!reportWindowShell().startProgram(m_opExe, QProcess::splitCommand(params)))
        MessageProc(this,
                    QStringLiteral("Не удалось открыть отчёт в ") + m_opName +
                        QStringLiteral(": не запускается программа \"") + m_opExe +
                        QStringLiteral("\".\rПрограмму можно выбрать в \"Общих настройках\" "
                                       "(закладка \"Выходные данные\")."),
                    MB_ICONERROR, MB_OK);
}

void TRepfrm::readOptions()
{
    ReportOptions &o = m_state.options;
    o.putBegDate = putbegdate->isChecked();
    o.drawTable = drawtable->isChecked();
    o.dline = dline->isChecked();
    o.qtype = qtype->currentIndex();
    o.repset = rs1->isChecked() ? 0 : rs2->isChecked() ? 1 : rs3->isChecked() ? 2 : 3;
    o.mailSend = mail_send->isChecked();
    o.mailGlobal = mail_global->isChecked();
    o.mailFrom = MailGridValue(sg1, 0);
    o.mailTo = MailGridValue(sg1, 1);
    o.mailCc = MailGridValue(sg1, 2);
    o.mailSubject = MailGridValue(sg1, 3);
    o.fi = fi->displayText();
    o.lamb = lamb->displayText();
    o.hval = hval->text();
    o.subter = subter->text();
}

void TRepfrm::mainbtnClick()
{
    if (m_running)
        return;
    // Whatever this click ends in, the bulletin shown before it is not what the window now asks for.
    invalidateReport();
    if (refuseTextMode())
        return;
    // A coordinate typed here goes into the bulletin's head as it stands.
    for (const auto &[edit, isLon] : {std::pair{fi, false}, std::pair{lamb, true}})
        if (tag(edit) > 0)
            if (const QString problem = CoordinateProblem(edit->displayText(), isLon); !problem.isEmpty()) {
                MessageProc(this, problem, MB_ICONERROR, MB_OK);
                return;
            }
    readOptions();
    {
        struct Running
        {
            bool &flag;
            explicit Running(bool &f) : flag(f) { flag = true; }
            ~Running() { flag = false; }
        } running(m_running);
        if (m_state.sett.fullorx)
            ORXMakeReport(m_state, *m_host, *conPubs, true);
        else
            MakeReport(m_state, *m_host, *dbs, true);
    }
    // A close asked for during the run was held back until now.
    if (m_closeRequested)
        close();
}

void TRepfrm::closeEvent(QCloseEvent *event)
{
    if (m_running) {
        // The run uses the window's connections, file and controls: it ends first, cancelled where it
        // can be, and the window closes after it.
        m_closeRequested = true;
        m_host->CancelRun();
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

void TRepfrm::invalidateReport()
{
    if (m_loading)
        return;
    m_state.reportMade = false;
    rwin->clear();
    rtwin->clear();
}

void TRepfrm::applyTextMode()
{
    const bool text = savetxt->isChecked();
    rtwin->setVisible(text);
    rwin->setVisible(!text);
    Button2->setVisible(!text);
    txtwids->setEnabled(text);
    if (auto *label9 = findChild<QLabel *>(QStringLiteral("Label9")))
        label9->setEnabled(text);
}

void TRepfrm::mailSendClick()
{
    mail_global->setEnabled(mail_send->isChecked());
    sg1->setEnabled(mail_send->isChecked() && !mail_global->isChecked());
    PaintMailSettingsGrid(sg1);
}

void TRepfrm::mailGlobalClick()
{
    // The global header is the main window's, or the copy taken at creation once that is gone.
    SwapMailSettingsGrid(m_mailFrom, m_mailTo, m_mailSubject, m_mailCc, sg1, mail_global->isChecked(),
                         mail_send->isChecked(), m_mainf ? m_mainf->sett : m_state.sett);
    mailSendClick();
}

void TRepfrm::coordinateChanged(QLineEdit *Edit)
{
    if (m_loading)
        return;
    if (Edit == hval) {
        const QString t = hval->text();
        QPalette p = hval->palette();
        p.setColor(QPalette::Base,
                   t.isEmpty() || CheckNumStr(t) ? palette().color(QPalette::Base) : QColor(Qt::red));
        hval->setPalette(p);
    }
    m_coordsChanged = true;
    SetControlTag(Edit, 1);
    invalidateReport();
}

void OpenReportWindow(Tmainf &Mainf, bool)
{
    Tdm *dm = Tdm::instance();
    if (!dm)
        return;
    try {
        auto *w = new TRepfrm(Mainf, *dm);
        w->show();
    } catch (const std::exception &e) {
        MessageProc(&Mainf, ExceptionText(e), MB_ICONERROR, MB_OK);
    }
}

void InstallReportCommand()
{
    productCommands().report = [](Tmainf &mainf, bool orx) { OpenReportWindow(mainf, orx); };
}
