#include "app/settings/connection_dialog.h"

#include "app/data/data_module.h"
#include "app/main/appearance.h"
#include "app/main/main_window.h"
#include "app/main/program_folder.h"
#include "app/settings/dialog_controls.h"
#include "lib/combo_routines.h"
#include "lib/data_sources.h"
#include "lib/dual_ini.h"
#include "lib/errors.h"
#include "lib/messages.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

const QString G = QStringLiteral("global");

QLabel *label(QWidget *parent, const char *name, const char *caption)
{
    return NamedControl(new QLabel(QString::fromUtf8(caption), parent), name);
}

QLineEdit *edit(QWidget *parent, const char *name)
{
    auto *e = NamedControl(new QLineEdit(parent), name);
    e->setMinimumWidth(200);
    return e;
}

QToolButton *tool(QWidget *parent, const char *name, const char *caption, const char *hint)
{
    auto *b = NamedControl(new QToolButton(parent), name, hint);
    b->setText(QString::fromUtf8(caption));
    return b;
}

void boldBlue(QWidget *w)
{
    QFont f = w->font();
    f.setBold(true);
    w->setFont(f);
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, Qt::blue);
    p.setColor(QPalette::ButtonText, Qt::blue);
    w->setPalette(p);
}

} // namespace

Tcpar::Tcpar(Tmainf &Main, QWidget *owner) : QDialog(owner), m_main(Main)
{
    setObjectName(QStringLiteral("cpar"));
    setWindowTitle(QStringLiteral("Настройки подключения"));
    buildControls();
    ApplyUserAppearance(this, KindConnection);

    m_stationIndex = m_main.stas->currentRow();
    m_entry = m_main.selectedStationEntry();
    if (m_entry >= 0)
        m_station = m_main.stations.at(m_entry);
    Load();
    pc->setCurrentIndex(0);
}

void Tcpar::buildControls()
{
    auto *top = new QVBoxLayout(this);
    pc = NamedControl(new QTabWidget(this), "pc");
    top->addWidget(pc, 1);
    ts1 = NamedControl(new QWidget, "ts1");
    ts2 = NamedControl(new QWidget, "ts2");
    pc->addTab(ts1, QStringLiteral("Глобальные"));
    pc->addTab(ts2, QStringLiteral("E-mail"));

    auto *page1 = new QVBoxLayout(ts1);
    GroupBox2 = NamedControl(new QGroupBox(QStringLiteral("Режим работы с базами"), ts1), "GroupBox2");
    rbd1 = NamedControl(new QRadioButton(QStringLiteral("Работать только с БД ORX"), GroupBox2), "rbd1",
                        "Сводки и станц. бюллетени делаются по данным из БД ORX");
    rbd2 = NamedControl(new QRadioButton(QStringLiteral("Работать с БД станц. бюллетеня и ORX"), GroupBox2),
                        "rbd2",
                        "Сводки и станц. бюллетени делаются по данным из БДСТБЮЛ, импорт из ORX в БДСТБЮЛ");
    boldBlue(rbd1);
    boldBlue(rbd2);
    auto *modes = new QVBoxLayout(GroupBox2);
    modes->addWidget(rbd1);
    modes->addWidget(rbd2);
    page1->addWidget(GroupBox2);

    auto *orx = new QGridLayout;
    Label11 = label(ts1, "Label11", "Тип подключ. к БД");
    dbtype = NamedControl(new QComboBox(ts1), "dbtype", "Выберите тип подключения к БД");
    dbtype->addItems({QStringLiteral("ODBC"), QStringLiteral("Oracle")});
    orxini = NamedControl(new QCheckBox(QStringLiteral("Брать ODBC-подключение из ORX.ini"), ts1), "orxini");
    Label21 = label(ts1, "Label21", "");
    dsorx = NamedControl(new QComboBox(ts1), "dsorx");
    dsorx->setMaxVisibleItems(20);
    // Editable, so a source the lists do not know (a file, a source of another user) survives OK.
    dsorx->setEditable(true);
    dsorx->setMinimumWidth(220);
    bmout = tool(ts1, "bmout", "...", "Редактировать ODBC");
    brout = tool(ts1, "brout", "↻", "Обновить список источников");
    Label22 = label(ts1, "Label22", "Пользователь ORX");
    dir = edit(ts1, "dir");
    Label1 = label(ts1, "Label1", "Пароль ORX");
    stb = edit(ts1, "stb");
    dorx = NamedControl(new QCheckBox(QStringLiteral("Использовать БД ORX для промежуточных данных"), ts1),
                        "dorx");
    orx->addWidget(Label11, 0, 0);
    orx->addWidget(dbtype, 0, 1);
    orx->addWidget(orxini, 0, 2, 1, 3);
    orx->addWidget(Label21, 1, 0);
    orx->addWidget(dsorx, 1, 1, 1, 2);
    orx->addWidget(bmout, 1, 3);
    orx->addWidget(brout, 1, 4);
    orx->addWidget(Label22, 2, 0);
    orx->addWidget(dir, 2, 1, 1, 2);
    orx->addWidget(Label1, 3, 0);
    orx->addWidget(stb, 3, 1, 1, 2);
    orx->addWidget(dorx, 4, 0, 1, 5);
    page1->addLayout(orx);

    GroupBox1 = NamedControl(new QGroupBox(QStringLiteral("Интерфейс к выходной БД"), ts1), "GroupBox1");
    rb1b = NamedControl(new QRadioButton(QStringLiteral("MS Jet 4.0"), GroupBox1), "rb1b",
                        "Можно указать путь к файлу БД на диске (для MS Access)");
    rb2b = NamedControl(new QRadioButton(QStringLiteral("ODBC"), GroupBox1), "rb2b",
                        "Можно работать с любой СУБД, подключение настраивается с помощью программы ODBC "
                        "Administrator");
    auto *ifaces = new QHBoxLayout(GroupBox1);
    ifaces->addWidget(rb1b);
    ifaces->addWidget(rb2b);
    ifaces->addStretch();
    page1->addWidget(GroupBox1);

    auto *out = new QGridLayout;
    Label2 = label(ts1, "Label2", "");
    ed2 = edit(ts1, "ed2");
    sflb = tool(ts1, "sflb", "...", "Выбрать файл");
    dsout = NamedControl(new QComboBox(ts1), "dsout");
    dsout->setEditable(true);
    dsout->setMinimumWidth(220);
    Label3 = label(ts1, "Label3", "Пользователь БД");
    xm = edit(ts1, "xm");
    Label4 = label(ts1, "Label4", "Пароль БД");
    ed1 = edit(ts1, "ed1");
    auto *source = new QHBoxLayout;
    source->addWidget(ed2, 1);
    source->addWidget(sflb);
    source->addWidget(dsout, 1);
    out->addWidget(Label2, 0, 0);
    out->addLayout(source, 0, 1);
    out->addWidget(Label3, 1, 0);
    out->addWidget(xm, 1, 1);
    out->addWidget(Label4, 2, 0);
    out->addWidget(ed1, 2, 1);
    page1->addLayout(out);
    page1->addStretch();

    auto *page2 = new QVBoxLayout(ts2);
    GroupBox5 = NamedControl(new QGroupBox(QStringLiteral("Транспорт"), ts2), "GroupBox5");
    using Row = std::tuple<QLabel **, const char *, const char *, QLineEdit **, const char *>;
    const auto rows = [](QGroupBox *box, std::initializer_list<Row> list) {
        auto *grid = new QGridLayout(box);
        int r = 0;
        for (const auto &[l, ln, caption, e, en] : list) {
            *l = label(box, ln, caption);
            *e = edit(box, en);
            grid->addWidget(*l, r, 0);
            grid->addWidget(*e, r++, 1);
        }
    };
    rows(GroupBox5, {{&Label12, "Label12", "Сервер отправки", &Edit6, "Edit6"},
                     {&Label13, "Label13", "Порт SMTP", &Edit7, "Edit7"},
                     {&Label14, "Label14", "Пользователь", &Edit8, "Edit8"},
                     {&Label15, "Label15", "Пароль", &Edit9, "Edit9"}});
    Edit9->setEchoMode(QLineEdit::Password);
    page2->addWidget(GroupBox5);
    GroupBox6 =
        NamedControl(new QGroupBox(QStringLiteral("Глобальные параметры отправки"), ts2), "GroupBox6");
    rows(GroupBox6, {{&Label16, "Label16", "От", &Edit13, "Edit13"},
                     {&Label17, "Label17", "Кому", &Edit12, "Edit12"},
                     {&Label5, "Label5", "Копия", &Edit1, "Edit1"},
                     {&Label18, "Label18", "Тема", &Edit11, "Edit11"}});
    page2->addWidget(GroupBox6);
    page2->addStretch();

    auto *bottom = new QHBoxLayout;
    bottom->addStretch();
    Button1 = NamedControl(new QPushButton(QStringLiteral("OK"), this), "Button1");
    Button1->setDefault(true);
    Button2 = NamedControl(new QPushButton(QStringLiteral("Отмена"), this), "Button2");
    bottom->addWidget(Button1);
    bottom->addWidget(Button2);
    top->addLayout(bottom);

    rb1b->setProperty("tag", 0);
    rb2b->setProperty("tag", 1);
    connect(Button1, &QPushButton::clicked, this, &Tcpar::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
    for (QRadioButton *rb : {rb1b, rb2b})
        connect(rb, &QRadioButton::clicked, this, [this, rb] { rb1bClick(rb); });
    for (QRadioButton *rb : {rbd1, rbd2})
        connect(rb, &QRadioButton::clicked, this, &Tcpar::rbd1Click);
    connect(orxini, &QCheckBox::clicked, this, &Tcpar::orxiniClick);
    connect(dbtype, &QComboBox::activated, this, &Tcpar::dbtypeChange);
    for (QComboBox *c : {dsorx, dsout})
        connect(c, &QComboBox::activated, this, [this, c] { dsorxChange(c); });
    connect(bmout, &QToolButton::clicked, this, &Tcpar::bmoutClick);
    connect(brout, &QToolButton::clicked, this, &Tcpar::broutClick);
    connect(sflb, &QToolButton::clicked, this, &Tcpar::sflbClick);
}

void Tcpar::Load()
{
    m_loaded = m_main.sett;
    const Tsett &s = m_loaded;
    dbtype->setCurrentIndex(s.dbtype);
    (s.out_provider == 0 ? rb1b : rb2b)->setChecked(true);
    m_outProvider = s.out_provider;
    FillDataSourceCombos(s.dbtype, {dsorx, dsout}, false);
    if (SelectComboText(dsorx, s.ORX_source) < 0)
        dsorx->setEditText(s.ORX_source);
    dir->setText(s.ORX_user);
    stb->setText(s.ORX_pass);
    if (m_entry >= 0) {
        if (SelectComboText(dsout, m_station.source) < 0)
            dsout->setEditText(m_station.source);
        xm->setText(m_station.user);
        ed1->setText(m_station.pass);
        ed2->setText(m_station.out_file_jet);
    }
    dorx->setChecked(s.directORXwr);
    (s.fullorx ? rbd1 : rbd2)->setChecked(true);
    rbd1Click();
    applyInterfaceView();
    orxini->setChecked(s.orxini);
    orxiniClick();
    Edit6->setText(s.smtp_host);
    Edit7->setText(QString::number(s.smtp_port));
    Edit8->setText(s.smtp_user);
    Edit9->setText(s.smtp_pass);
    Edit13->setText(s.mail_from);
    Edit12->setText(s.mail_recv);
    Edit1->setText(s.mail_cc);
    Edit11->setText(s.mail_subj);
    dorx->setToolTip(messageTextForDisplay(QStringLiteral(
        "Таблицы События, Станц. бюллетень и\rДин. замеры хранятся в базе данных ORX\r(ТОЛЬКО для "
        "режима одной станции!)")));
}

void Tcpar::applyInterfaceView()
{
    const bool jet = m_outProvider == 0;
    ed2->setVisible(jet);
    sflb->setVisible(jet);
    dsout->setVisible(!jet);
    Label2->setText(jet ? QStringLiteral("Файл БД") : QStringLiteral("ОDBC-источник БД"));
}

void Tcpar::rb1bClick(QRadioButton *Sender)
{
    m_outProvider = Sender->property("tag").toInt();
    applyInterfaceView();
}

void Tcpar::rbd1Click()
{
    const bool bulletin = rbd2->isChecked();
    for (QWidget *w : std::initializer_list<QWidget *>{Label2, Label3, Label4, rb1b, rb2b, dsout, xm, ed1,
                                                       sflb, ed2, dorx})
        w->setEnabled(bulletin);
}

void Tcpar::orxiniClick()
{
    const bool odbc = dbtype->currentIndex() == 0;
    const bool fromIni = orxini->isChecked() && odbc;
    for (QWidget *w : std::initializer_list<QWidget *>{Label21, Label22, Label1, dsorx, dir, stb})
        w->setEnabled(!fromIni);
    Label21->setText(odbc ? QStringLiteral("ОDBC-источник ORX") : QStringLiteral("Источник ORX"));
    orxini->setEnabled(odbc);
}

void Tcpar::dbtypeChange()
{
    orxiniClick();
    broutClick();
}

void Tcpar::broutClick()
{
    // The lists are editable: a source they do not name (a file, another user's source) is kept as
    // typed, or OK would store an empty source.
    const QString typed[] = {dsorx->currentText(), dsout->currentText()};
    try {
        FillDataSourceCombos(dbtype->currentIndex(), {dsorx, dsout}, true);
    } catch (const BrenvaleError &e) {
        MessageProc(this, e.message(), MB_ICONERROR, MB_OK);
    }
    QComboBox *const combos[] = {dsorx, dsout};
    for (int i = 0; i < 2; ++i)
        if (combos[i]->currentIndex() < 0)
            combos[i]->setEditText(typed[i]);
}

void Tcpar::dsorxChange(QComboBox *Sender)
{
    const QString t = Sender->currentText();
    if ((t == OdbcUserSourcesHeader() || t == OdbcSystemSourcesHeader()) &&
        Sender->currentIndex() + 1 < Sender->count())
        Sender->setCurrentIndex(Sender->currentIndex() + 1);
}

void Tcpar::bmoutClick()
{
    m_main.RunOdbcAdmin();
}

void Tcpar::sflbClick()
{
    Tdm *dm = Tdm::instance();
    if (!dm)
        return;
    QString chosen;
    if (dm->ExecOpenDialog(QStringLiteral("Выберите файл базы данных MS Access"),
                           QStringLiteral("Базы данных MS Access (*.mdb)|*.mdb|Все файлы (*.*)|*.*"),
                           ed2->text(), 1, chosen))
        ed2->setText(chosen);
}

int Tcpar::PortOfText(const QString &Text)
{
    bool ok = false;
    const int port = Text.trimmed().toInt(&ok);
    return ok ? port : 25;
}

void Tcpar::Button1Click()
{
    // The record takes the new values only once the file holds them, so a failed write changes nothing.
    Tsett s = m_main.sett;
    bool changed = false;
    try {
        IniFile ini(m_main.MainIniPath());
        if (m_outProvider != s.out_provider) {
            s.out_provider = m_outProvider;
            ini.WriteInteger(G, QStringLiteral("out_provider"), s.out_provider);
            changed = true;
        }
        if (dbtype->currentIndex() != s.dbtype) {
            s.dbtype = dbtype->currentIndex();
            ini.WriteInteger(G, QStringLiteral("dbtype"), s.dbtype);
            changed = true;
        }
        s.ORX_source = dsorx->currentText();
        s.ORX_user = dir->text();
        s.ORX_pass = stb->text();
        ini.WriteString(G, QStringLiteral("ORX_source"), s.ORX_source);
        ini.WriteString(G, QStringLiteral("ORX_user"), s.ORX_user);
        ini.WriteString(G, QStringLiteral("ORX_pass"), s.ORX_pass);
        s.directORXwr = dorx->isChecked();
        s.fullorx = rbd1->isChecked();
        s.orxini = orxini->isChecked();
        ini.WriteBool(G, QStringLiteral("directORXwr"), s.directORXwr);
        ini.WriteBool(G, QStringLiteral("fullorx"), s.fullorx);
        ini.WriteBool(G, QStringLiteral("orxini"), s.orxini);

        s.smtp_host = Edit6->text();
        s.smtp_port = PortOfText(Edit7->text());
        s.smtp_user = Edit8->text();
        s.smtp_pass = Edit9->text();
        s.mail_from = Edit13->text();
        s.mail_recv = Edit12->text();
        s.mail_cc = Edit1->text();
        s.mail_subj = Edit11->text();
        ini.WriteString(G, QStringLiteral("smtp_host"), s.smtp_host);
        ini.WriteInteger(G, QStringLiteral("smtp_port"), s.smtp_port);
        ini.WriteString(G, QStringLiteral("smtp_user"), s.smtp_user);
        ini.WriteString(G, QStringLiteral("smtp_pass"), s.smtp_pass);
        ini.WriteString(G, QStringLiteral("mail_from"), s.mail_from);
        ini.WriteString(G, QStringLiteral("mail_recv"), s.mail_recv);
        ini.WriteString(G, QStringLiteral("mail_cc"), s.mail_cc);
        ini.WriteString(G, QStringLiteral("mail_subj"), s.mail_subj);
        ini.UpdateFile();
    } catch (const BrenvaleError &e) {
        MessageProc(this, e.message(), MB_ICONERROR, MB_OK);
        return;
    }
    m_main.sett = s;
    if (changed)
        m_main.SetupConnections();
    m_main.ApplyFullOrxMode();

    const bool reload = s.out_provider != m_loaded.out_provider || s.ORX_source != m_loaded.ORX_source ||
                        s.ORX_user != m_loaded.ORX_user || s.ORX_pass != m_loaded.ORX_pass ||
                        s.fullorx != m_loaded.fullorx || s.orxini != m_loaded.orxini ||
                        s.dbtype != m_loaded.dbtype;

    if (reload)
        m_main.reloadRequested = true;
    if (m_entry >= 0) {
        try {
            TDualIni ini(&m_main.sett.CommonKeys, ProgramFolder());
            const QString code = m_station.code;
            ini.WriteString(code, QStringLiteral("source"), dsout->currentText());
            ini.WriteString(code, QStringLiteral("user"), xm->text());
            ini.WriteString(code, QStringLiteral("pass"), ed1->text());
            ini.WriteString(code, QStringLiteral("out_file_jet"), ed2->text());
            ini.UpdateFile();
        } catch (const BrenvaleError &e) {
            MessageProc(this, e.message(), MB_ICONERROR, MB_OK);
            return;
        }
        // By index: the list may have been copied since the dialog opened.
        if (m_entry < m_main.stations.size()) {
            tstainfo &r = m_main.stations[m_entry];
            r.source = dsout->currentText();
            r.user = xm->text();
            r.pass = ed1->text();
            r.out_file_jet = ed2->text();
        }
    }
    if (!reload && m_entry >= 0)
        m_main.StationChanged(false);
    accept();
}
