#include "app/settings/param_dialog.h"

#include "app/main/appearance.h"
#include "app/settings/mail_settings_grid.h"
#include "lib/data_sources.h"
#include "lib/date_display.h"
#include "lib/date_routines.h"
#include "lib/date_typing.h"
#include "lib/errors.h"
#include "lib/messages.h"
#include "lib/work_dates.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFileDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QStyle>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <stdexcept>

namespace {

Tsett *g_mainSettings = nullptr;

// The period edits show and read the system's date-and-time text in full, with the time even at
// midnight, so the mask always matches what is shown.
const QString DateTimeLayout = QStringLiteral("99.99.9999 99:99:99");
const QString DateTimeFormat = QStringLiteral("dd.mm.yyyy hh:nn:ss");

constexpr int EditHeight = 21;
constexpr int DesignedEditWidth = 265;
constexpr int DateEditWidth = 97;
constexpr int DateTimeEditWidth = 129;
constexpr int GridRowHeight = 17;
constexpr int GridMinValueWidth = 150;

QDate toQDate(TDateTime value)
{
    int y = 0, m = 0, d = 0;
    DecodeDate(value, y, m, d);
    return QDate(y, m, d);
}

TDateTime fromQDate(const QDate &date)
{
    return EncodeDate(date.year(), date.month(), date.day());
}

// The period edit's date and time; Caption names the edit when its text is no date and time or the date
// is one no product carries.
TDateTime readDateTime(const QLineEdit *edit, const QString &caption)
{
    const QString text = edit->displayText();
    bool error = true;
    const TDateTime value = StrToDateTimeDMY(text, &error, 0);
    if (error)
        throw EConvertError(caption + QStringLiteral(": ") + NotDateTimeText(text));
    if (!IsWorkDate(value))
        throw EConvertError(WorkDateProblem(text.left(10), caption));
    return value;
}

} // namespace

Tpar::Tpar(QWidget *owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("par"));
    setWindowTitle(QStringLiteral("Параметры"));

    auto add = [this](auto *widget, const char *name, QWidget *parent = nullptr) {
        widget->setParent(parent ? parent : this);
        widget->setObjectName(QString::fromLatin1(name));
        m_controls.append(widget);
        return widget;
    };
    auto edit = [&add](const char *name) {
        QLineEdit *e = add(new QLineEdit, name);
        e->resize(DesignedEditWidth, EditHeight);
        return e;
    };

    Label21 = add(new QLabel, "Label21");
    Label22 = add(new QLabel, "Label22");
    Label1 = add(new QLabel, "Label1");
    Label4 = add(new QLabel, "Label4");
    Label5 = add(new QLabel(QStringLiteral("Имя файла")), "Label5");
    Label2 = add(new QLabel, "Label2");
    Label3 = add(new QLabel, "Label3");

    Start_ORX = edit("Start_ORX");
    Stop_ORX = edit("Stop_ORX");
    for (QLineEdit *e : {Start_ORX, Stop_ORX}) {
        e->setInputMask(DateTimeLayout + QStringLiteral(";_"));
        SetMaskedDateTyping(e, true);
        connect(e, &QLineEdit::textChanged, this, [this, e] { Start_ORXChange(e); });
    }
    svodka_Date = add(new QDateEdit, "svodka_Date");
    End_Date = add(new QDateEdit, "End_Date");
    for (QDateEdit *d : {svodka_Date, End_Date}) {
        d->setCalendarPopup(true);
        d->setDisplayFormat(SystemDateEditFormat());
        SetWorkDateRange(d);
        SetDateTyping(d);
    }

    dir = edit("dir");
    stb = edit("stb");
    xm = edit("xm");
    multi_name = edit("multi_name");

    sfb = add(new QPushButton(QStringLiteral("...")), "sfb");
    sfb->setToolTip(QStringLiteral("Выбрать директорию"));
    sfb->resize(21, EditHeight);
    connect(sfb, &QPushButton::clicked, this, &Tpar::sfbClick);
    mydoc = add(new QPushButton(QStringLiteral("\"Мои докум.\"")), "mydoc");
    mydoc->setToolTip(QStringLiteral("Вставить путь к папке \"Мои документы\""));
    connect(mydoc, &QPushButton::clicked, this, &Tpar::mydocClick);

    rsgb = add(new QGroupBox, "rsgb");
    auto *radios = new QVBoxLayout(rsgb);
    radios->setSpacing(2);
    const struct
    {
        QRadioButton *&radio;
        const char *name;
        QString caption, hint;
    } radioSpecs[] = {
        {rs1, "rs1", QStringLiteral("выбранной станции"),
         QStringLiteral("Только станция, выбранная темно-синим (обычно) выделением в списке станций")},
        {rs2, "rs2", QStringLiteral("станциям с галочкой"),
         QStringLiteral("Станции, отмеченные галочками в списке станций")},
        {rs3, "rs3", QStringLiteral("выбранной станции и станциям с галочкой"),
         QStringLiteral(
             "Выбранная станция и станции, отмеченные галочками (выбранная может быть и без галочки)")},
        {rs4, "rs4", QStringLiteral("всем станциям за период"),
         QStringLiteral("Все станции (в пределах выбранной сети), у которых есть данные за период")},
    };
    for (const auto &r : radioSpecs) {
        r.radio = add(new QRadioButton(r.caption), r.name, rsgb);
        r.radio->setToolTip(r.hint);
        radios->addWidget(r.radio);
    }

    auto check = [&add](const char *name, const QString &caption) {
        QCheckBox *c = add(new QCheckBox(caption), name);
        c->resize(c->sizeHint().width(), 17);
        return c;
    };
    dperiod = check("dperiod", QStringLiteral("Ставить двоеточие перед кодом станции"));
    useflag = check("useflag", QStringLiteral("Поле Arrival.Flag определяет нужные данные"));
    mail_send = check("mail_send", QStringLiteral("Отправлять сводку по почте"));
    mail_global = check("mail_global", QStringLiteral("Брать глобальные параметры отправки"));
    mails_att = check("mails_att", QStringLiteral("Посылать сводку вложением"));
    connect(mail_send, &QCheckBox::clicked, this, &Tpar::mail_sendClick);
    connect(mail_global, &QCheckBox::clicked, this, &Tpar::mail_globalClick);

    sg1 = add(new QTableWidget(4, 2), "sg1");
    sg1->horizontalHeader()->hide();
    sg1->verticalHeader()->hide();
    sg1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    sg1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    const QStringList titles{QStringLiteral("От"), QStringLiteral("Кому"), QStringLiteral("Копия"),
                             QStringLiteral("Тема")};
    for (int row = 0; row < 4; ++row) {
        auto *title = new QTableWidgetItem(titles[row]);
        title->setFlags(Qt::ItemIsEnabled);
        sg1->setItem(row, 0, title);
        sg1->setItem(row, 1, new QTableWidgetItem);
    }

    filter = add(new QPushButton(QStringLiteral("Фильтр...")), "filter");
    filter->setEnabled(false); // kept for its place in the form; it has no action
    cb1 = add(new QComboBox, "cb1");

    Button1 = add(new QPushButton(QStringLiteral("OK")), "Button1");
    Button2 = add(new QPushButton(QStringLiteral("Отмена")), "Button2");
    for (QPushButton *b : {Button1, Button2, mydoc})
        b->resize(75, 25);
    // Enter takes the dialog as OK does, in every mode, wherever the focus stands but on Cancel; no other
    // button that takes the focus becomes the default, or Enter on a date would open the folder choice.
    for (QPushButton *b : findChildren<QPushButton *>())
        b->setAutoDefault(b == Button2);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, [this] {
        if (Button1Click())
            accept();
    });
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);

    ApplyUserAppearance(this, KindOther);
    sizeByFont();
    resize(MinWidth, MinHeight);
}

// Sizes that depend on the text must follow the user font.
void Tpar::sizeByFont()
{
    const int dateTimeWidth = Start_ORX->fontMetrics().horizontalAdvance(DateTimeLayout) +
                              2 * Start_ORX->fontMetrics().averageCharWidth();
    for (QLineEdit *e : {Start_ORX, Stop_ORX})
        e->resize(std::max(DateTimeEditWidth, dateTimeWidth), EditHeight);
    for (QDateEdit *d : {svodka_Date, End_Date})
        d->resize(std::max(DateEditWidth, d->sizeHint().width()), EditHeight);

    // Qt keeps a focus-frame margin on either side of a cell's text, and a taller font needs taller rows.
    const QFontMetrics fm = sg1->fontMetrics();
    const int textMargin = sg1->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, sg1) + 1;
    const int rowHeight = std::max(GridRowHeight, fm.height() + 4);
    sg1->verticalHeader()->setMinimumSectionSize(rowHeight);
    sg1->verticalHeader()->setDefaultSectionSize(rowHeight);
    for (int row = 0; row < sg1->rowCount(); ++row)
        sg1->setRowHeight(row, rowHeight);
    sg1->setColumnWidth(0, fm.horizontalAdvance(QStringLiteral("Копия")) + 6 + 2 * textMargin);
    sg1->resize(DesignedEditWidth, sg1->rowCount() * rowHeight + 2 * sg1->frameWidth());
}

void Tpar::SetMainSettings(Tsett *sett)
{
    g_mainSettings = sett;
}

Tsett &Tpar::mainSettings()
{
    // Defaults here would send mail under an empty header and write answers nobody reads.
    if (!g_mainSettings)
        throw std::logic_error("Tpar: no main settings record; the main window hands it over at start");
    return *g_mainSettings;
}

void Tpar::Setup(int Mode, Tsett *Sett, const QStringList &Labels)
{
    this->Sett = Sett ? Sett : &mainSettings();
    const Tsett &s = *this->Sett;
    SettingUp = true;
    for (QWidget *w : std::as_const(m_controls))
        w->hide();
    Button1->show();
    Button2->show();
    this->Mode = Mode;
    sfb->resize(sfb->width(), dir->height());

    auto showAll = [](std::initializer_list<QWidget *> widgets) {
        for (QWidget *w : widgets)
            w->show();
    };
    auto showStations = [&](const QString &caption, int index) {
        rsgb->setTitle(caption);
        showAll({rsgb, rs1, rs2, rs3, rs4});
        SetRadioIndex(index);
    };

    switch (Mode) {
    case 0:
        Label21->setText(QStringLiteral("Дата старта"));
        Label22->setText(QStringLiteral("Дата окончания"));
        showAll({Label21, Start_ORX, Label22, Stop_ORX});
        Start_ORX->setText(FormatDateTime(DateTimeFormat, s.start_date));
        Stop_ORX->setText(FormatDateTime(DateTimeFormat, s.end_date));
        layRows({{Label21, Start_ORX, Button1}, {Label22, Stop_ORX, Button2}});
        break;
    case 1:
        Label21->setText(QStringLiteral("Дата"));
        Label22->setText(QStringLiteral("Директория"));
        mail_send->setText(QStringLiteral("Отправлять сводку по почте"));
        showAll({Label21, svodka_Date, Label22, dir, sfb, mydoc, Label5, multi_name, dperiod, useflag, sg1,
                 mail_send, mail_global, mails_att});
        showStations(QStringLiteral("Делать сводку по..."), s.svset);
        useflag->setEnabled(s.fullorx);
        svodka_Date->setDate(toQDate(s.svodka_date));
        dir->setText(s.svodka_dir);
        useflag->setChecked(s.useflag);
        dperiod->setChecked(s.dperiod);
        multi_name->setText(s.multi_name);
        mails_att->setChecked(s.mails_att);
        showMailSettings(s.mails_from, s.mails_recv, s.mails_cc, s.mails_subj, s.mails_send, s.mails_global);
        layRows({{nullptr, rsgb, nullptr},
                 {nullptr, mail_send, nullptr},
                 {nullptr, mail_global, nullptr},
                 {nullptr, mails_att, nullptr},
                 {nullptr, sg1, nullptr},
                 {Label5, multi_name, nullptr},
                 {Label21, svodka_Date, nullptr},
                 {Label22, dir, Button1},
                 {nullptr, dperiod, Button2},
                 {nullptr, useflag, mydoc}});
        break;
    case 2:
        Label21->setText(QStringLiteral("Дата старта"));
        Label22->setText(QStringLiteral("Дата окончания"));
        Label1->setText(QStringLiteral("Директория"));
        mail_send->setText(QStringLiteral("Отправлять экспорт по почте"));
        showAll(
            {Label21, svodka_Date, Label22, End_Date, Label1, dir, sfb, mydoc, sg1, mail_send, mail_global});
        showStations(QStringLiteral("Экспортировать данные по..."), s.expset);
        svodka_Date->setDate(toQDate(s.exp_start_date));
        End_Date->setDate(toQDate(s.exp_end_date));
        dir->setText(s.exp_dir);
        showMailSettings(s.maile_from, s.maile_recv, s.maile_cc, s.maile_subj, s.maile_send, s.maile_global);
        layRows({{nullptr, rsgb, nullptr},
                 {nullptr, mail_send, nullptr},
                 {nullptr, mail_global, nullptr},
                 {nullptr, sg1, nullptr},
                 {Label21, svodka_Date, Button1},
                 {Label22, End_Date, Button2},
                 {Label1, dir, mydoc}});
        break;
    case 3:
        Label21->setText(QStringLiteral("События"));
        Label22->setText(QStringLiteral("Станц.бюллетень"));
        Label1->setText(QStringLiteral("Дин.замеры"));
        showAll({Label21, dir, Label22, stb, Label1, xm});
        dir->setText(s.smp1);
        stb->setText(s.smp2);
        xm->setText(s.smp3);
        layRows({{Label21, dir, Button1}, {Label22, stb, Button2}, {Label1, xm, nullptr}});
        break;
    case 4:
        setupMode4(Labels);
        break;
    default:
        layRows({});
        break;
    }
}

void Tpar::setupMode4(QStringList Labels)
{
    const Tsett &s = *Sett;
    dir->show();
    Label1->show();
    PromptKind = std::min<int>(int(Labels.size()), 2);
    if (Labels.isEmpty()) {
        Label1->setText(QStringLiteral("Имя сети"));
    } else if (PromptKind == 2) {
        const qsizetype p = Labels[0].indexOf(QLatin1Char('_'));
        if (p >= 0) {
            Label4->setText(Labels[0].mid(p + 1));
            Labels[0] = Labels[0].left(p);
            Label4->show();
            stb->show();
            dir->setText(s.find_rfstr);
            stb->setText(s.find_rstr);
            SetRadioIndex(s.find_ropt);
        } else {
            dir->setText(s.find_fstr);
            SetRadioIndex(s.find_fopt);
        }
    }
    for (int i = 0; i < Labels.size(); ++i)
        SetItemCaption(i, Labels[i]);

    QList<Row> rows{{Label1, dir, Button1}};
    if (!stb->isHidden())
        rows.append({Label4, stb, Button2});
    if (!rsgb->isHidden())
        rows.append({nullptr, rsgb, rows.size() < 2 ? Button2 : nullptr});
    layRows(rows);
}

void Tpar::showMailSettings(const QString &From, const QString &To, const QString &Cc, const QString &Subject,
                            bool Send, bool Global)
{
    KeptFrom = From;
    KeptTo = To;
    KeptCc = Cc;
    KeptSubject = Subject;
    SetMailGridValue(sg1, 0, From);
    SetMailGridValue(sg1, 1, To);
    SetMailGridValue(sg1, 2, Cc);
    SetMailGridValue(sg1, 3, Subject);
    mail_send->setChecked(Send);
    mail_global->setChecked(Global);
    mail_sendClick();
    // Towards the global header the grid's values are kept first; otherwise the kept ones are shown.
    SwapMailSettingsGrid(KeptFrom, KeptTo, KeptSubject, KeptCc, sg1, Global, Send, mainSettings());
}

void Tpar::readMailSettings(QString &From, QString &To, QString &Cc, QString &Subject) const
{
    if (mail_global->isChecked()) {
        From = KeptFrom;
        To = KeptTo;
        Cc = KeptCc;
        Subject = KeptSubject;
    } else {
        From = MailGridValue(sg1, 0);
        To = MailGridValue(sg1, 1);
        Cc = MailGridValue(sg1, 2);
        Subject = MailGridValue(sg1, 3);
    }
}

// Rows from top 12, 8 pixels apart; labelled controls share one left edge right of the widest label. The
// client width leaves the controls their designed widths beside the button column, and FormResize then
// stretches them from there.
void Tpar::layRows(const QList<Row> &rows)
{
    int editLeft = 8;
    for (const Row &row : rows)
        if (row.label) {
            row.label->resize(row.label->sizeHint());
            editLeft = std::max(editLeft, 8 + row.label->width() + 8);
        }
    if (!rsgb->isHidden())
        rsgb->resize(rsgb->width(), rsgb->sizeHint().height());

    int top = 12;
    int contentRight = 0;
    bool button2Placed = false;
    Button1->move(Button1->x(), top);
    for (const Row &row : rows) {
        QWidget *c = row.control;
        const int height = std::max(c->height(), row.button ? row.button->height() : 0);
        const int left = row.label ? editLeft : 8;
        c->move(left, top + (height - c->height()) / 2);
        if (row.label)
            row.label->move(8, c->y() + (c->height() - row.label->height()) / 2);
        if (row.button) {
            row.button->move(row.button->x(), top + (height - row.button->height()) / 2);
            button2Placed = button2Placed || row.button == Button2;
        }
        int right = left + c->width();
        if (c == dir || c == stb || c == xm || c == multi_name)
            right = left + DesignedEditWidth + (c == dir && !sfb->isHidden() ? sfb->width() : 0);
        else if (qobject_cast<QCheckBox *>(c))
            right = editLeft + c->sizeHint().width();
        else if (c == rsgb)
            right = left + rsgb->sizeHint().width();
        else if (c == sg1)
            right = left + sg1->columnWidth(0) + GridMinValueWidth;
        contentRight = std::max(contentRight, right);
        top += height + 8;
    }
    if (!button2Placed)
        Button2->move(Button2->x(), Button1->y() + Button1->height() + 8);
    if (!sfb->isHidden())
        sfb->move(sfb->x(), dir->y());

    int lowest = 0;
    for (QWidget *w : std::as_const(m_controls))
        if (!w->isHidden() && w->parentWidget() == this)
            lowest = std::max(lowest, w->y() + w->height());
    const int clientWidth = contentRight + 8 + Button1->width() + 8;
    const QSize frame = frameExtent();
    MinHeight = lowest + 12 + frame.height();
    MinWidth = clientWidth + frame.width();
    SettingUp = false;
    setMinimumSize(MinWidth - frame.width(), MinHeight - frame.height());
    resize(MinWidth - frame.width(), MinHeight - frame.height());
    FormResize();
}

// What the window system adds around the client area (sizing frame and caption); nothing until the
// window has been shown, and nothing offscreen.
QSize Tpar::frameExtent() const
{
    return frameGeometry().size() - geometry().size();
}

void Tpar::SetItemCaption(int Index, const QString &Text)
{
    QWidget *item = nullptr;
    switch (Index) {
    case 0:
        Label1->setText(Text);
        item = Label1;
        break;
    case 1:
        rsgb->setTitle(Text);
        item = rsgb;
        break;
    case 2:
        rs1->setText(Text);
        item = rs1;
        break;
    case 3:
        rs2->setText(Text);
        item = rs2;
        break;
    case 4:
        rs3->setText(Text);
        item = rs3;
        break;
    default:
        rs4->setText(Text);
        item = rs4;
        break;
    }
    item->show();
}

void Tpar::SetRadioIndex(int Index)
{
    QRadioButton *radio = Index == 0 ? rs1 : Index == 1 ? rs2 : Index == 2 ? rs3 : rs4;
    radio->setChecked(true);
}

int Tpar::RadioIndex() const
{
    return rs1->isChecked() ? 0 : rs2->isChecked() ? 1 : rs3->isChecked() ? 2 : 3;
}

bool Tpar::Button1Click()
{
    Tsett &s = Sett ? *Sett : mainSettings();
    try {
        switch (Mode) {
        case 0:
            s.start_date = readDateTime(Start_ORX, Label21->text());
            s.end_date = readDateTime(Stop_ORX, Label22->text());
            break;
        case 1:
            s.svodka_date = fromQDate(svodka_Date->date());
            s.svodka_dir = dir->text();
            s.svset = RadioIndex();
            s.useflag = useflag->isChecked();
            s.dperiod = dperiod->isChecked();
            s.multi_name = multi_name->text();
            s.mails_send = mail_send->isChecked();
            s.mails_global = mail_global->isChecked();
            readMailSettings(s.mails_from, s.mails_recv, s.mails_cc, s.mails_subj);
            s.mails_att = mails_att->isChecked();
            break;
        case 2:
            s.exp_start_date = fromQDate(svodka_Date->date());
            s.exp_end_date = fromQDate(End_Date->date());
            s.exp_dir = dir->text();
            s.expset = RadioIndex();
            s.maile_send = mail_send->isChecked();
            s.maile_global = mail_global->isChecked();
            readMailSettings(s.maile_from, s.maile_recv, s.maile_cc, s.maile_subj);
            break;
        case 3:
            s.smp1 = dir->text();
            s.smp2 = stb->text();
            s.smp3 = xm->text();
            break;
        case 4:
            if (PromptKind != 2)
                break;
            if (!stb->isHidden()) {
                s.find_rfstr = dir->text();
                s.find_rstr = stb->text();
                s.find_ropt = RadioIndex();
            } else {
                s.find_fstr = dir->text();
                s.find_fopt = RadioIndex();
            }
            break;
        }
    } catch (const EConvertError &e) {
        MessageProc(this, e.message(), MB_ICONERROR, MB_OK);
        return false;
    }
    return true;
}

void Tpar::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    FormResize();
}

void Tpar::FormResize()
{
    const int cw = width();
    const int bw = Button1->width();
    for (QWidget *b :
         {static_cast<QWidget *>(Button1), static_cast<QWidget *>(Button2), static_cast<QWidget *>(mydoc)})
        b->move(cw - b->width() - 8, b->y());
    if (!SettingUp) {
        rsgb->resize(cw - rsgb->x() - bw - 16, rsgb->height());
        const int w = cw - dir->x() - bw - 16;
        dir->resize(Mode == 3 || Mode == 4 ? w : w - sfb->width(), dir->height());
        for (QWidget *c :
             {static_cast<QWidget *>(stb), static_cast<QWidget *>(xm), static_cast<QWidget *>(multi_name),
              static_cast<QWidget *>(dperiod), static_cast<QWidget *>(mail_send),
              static_cast<QWidget *>(mail_global), static_cast<QWidget *>(mails_att)})
            c->resize(w, c->height());
        sg1->resize(rsgb->width(), sg1->height());
        sg1->setColumnWidth(1, std::max(0, sg1->width() - 2 * sg1->frameWidth() - sg1->columnWidth(0)));
    }
    sfb->move(cw - bw - sfb->width() - 16, sfb->y());
}

void Tpar::sfbClick()
{
    const QString chosen =
        QFileDialog::getExistingDirectory(this, QStringLiteral("Выберите директорию"), dir->text());
    if (!chosen.isEmpty())
        dir->setText(chosen);
}

void Tpar::mydocClick()
{
    dir->setText(GetPersonalFolder());
}

// Every digit position that is still blank reads as '0', so a partly typed date-time is always whole.
void Tpar::Start_ORXChange(QLineEdit *edit)
{
    QString text = edit->displayText();
    bool changed = false;
    for (int i = 0; i < DateTimeLayout.size() && i < text.size(); ++i)
        if (DateTimeLayout[i] == QLatin1Char('9') &&
            (text[i] < QLatin1Char('0') || text[i] > QLatin1Char('9'))) {
            text[i] = QLatin1Char('0');
            changed = true;
        }
    if (!changed)
        return;
    const int cursor = edit->cursorPosition();
    edit->setText(text);
    edit->setCursorPosition(cursor);
}

void Tpar::mail_sendClick()
{
    const bool send = mail_send->isChecked();
    mail_global->setEnabled(send);
    mails_att->setEnabled(send);
    sg1->setEnabled(!mail_global->isChecked() && send);
    PaintMailSettingsGrid(sg1);
}

void Tpar::mail_globalClick()
{
    SwapMailSettingsGrid(KeptFrom, KeptTo, KeptSubject, KeptCc, sg1, mail_global->isChecked(),
                         mail_send->isChecked(), mainSettings());
}
