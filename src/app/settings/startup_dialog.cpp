#include "app/settings/startup_dialog.h"

#include "app/main/appearance.h"
#include "lib/errors.h"
#include "lib/ini_file.h"
#include "lib/messages.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QStylePainter>

void TWrapRadioButton::paintEvent(QPaintEvent *)
{
    QStylePainter p(this);
    QStyleOptionButton opt;
    initStyleOption(&opt);
    const QRect indicator = style()->subElementRect(QStyle::SE_RadioButtonIndicator, &opt, this);
    QStyleOptionButton box = opt;
    box.rect = QRect(indicator.left(), 2, indicator.width(), indicator.height());
    p.drawPrimitive(QStyle::PE_IndicatorRadioButton, box);
    const QRect textRect = rect().adjusted(indicator.right() + 6, 0, 0, 0);
    p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    p.drawText(textRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text());
}

bool TWrapRadioButton::hitButton(const QPoint &pos) const
{
    return rect().contains(pos);
}

Tstartupf::Tstartupf(Tsett &Settings, const QString &MainIniPath, std::function<void()> ApplyStartMode,
                     QWidget *owner)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowStaysOnTopHint |
                         Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_sett(Settings), m_iniPath(MainIniPath), m_applyStartMode(std::move(ApplyStartMode))
{
    setObjectName(QStringLiteral("startupf"));
    setWindowTitle(QStringLiteral("Настройка запуска"));
    setFixedSize(371, 251);

    Label2 = new QLabel(QStringLiteral("Выберите режим запуска программы."), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(8, 8, 355, 17);

    GroupBox1 = new QGroupBox(QStringLiteral("Запускать программу..."), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(8, 30, 355, 180);
    sub1 = new TWrapRadioButton(
        QStringLiteral(
            "в режиме одной станции (выбор и настройка станции при первом запуске; при последующих "
            "запусках работа только с формой \"Параметры землетрясения\")"),
        GroupBox1);
    sub1->setObjectName(QStringLiteral("sub1"));
    sub1->setGeometry(10, 20, 335, 52);
    sub2 = new TWrapRadioButton(
        QStringLiteral("в режиме многих станций (при запуске программы доступны все закладки: Настройка, "
                       "Параметры землетрясения, Импорт, О программе)"),
        GroupBox1);
    sub2->setObjectName(QStringLiteral("sub2"));
    sub2->setGeometry(10, 76, 335, 52);
    Label1 = new QLabel(QStringLiteral("Стартовать с закладки:"), GroupBox1);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(28, 138, 140, 21);
    start_from = new QComboBox(GroupBox1);
    start_from->setObjectName(QStringLiteral("start_from"));
    start_from->addItems(
        {QStringLiteral("Настройки"), QStringLiteral("Параметры землетрясения"), QStringLiteral("Импорт")});
    start_from->setCurrentIndex(1);
    start_from->setGeometry(170, 136, 175, 23);

    okb = new QPushButton(QStringLiteral("OK"), this);
    okb->setObjectName(QStringLiteral("okb"));
    okb->setGeometry(104, 218, 75, 25);
    okb->setDefault(true);
    Button1 = new QPushButton(QStringLiteral("Отмена"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(192, 218, 75, 25);

    connect(sub1, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            sub1Click();
    });
    connect(sub2, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            sub2Click();
    });
    connect(okb, &QPushButton::clicked, this, &Tstartupf::okbClick);
    connect(Button1, &QPushButton::clicked, this, &QDialog::reject);

    ApplyUserAppearance(this, KindStartup);
    if (m_sett.start_mode == 0) {
        sub1->setChecked(true);
    } else if (m_sett.start_mode == 1) {
        sub2->setChecked(true);
    }
    start_from->setCurrentIndex(m_sett.start_from);
    okb->setFocus();
}

void Tstartupf::sub1Click()
{
    Label1->setEnabled(false);
    start_from->setEnabled(false);
}

void Tstartupf::sub2Click()
{
    Label1->setEnabled(true);
    start_from->setEnabled(true);
}

void Tstartupf::okbClick()
{
    const int mode = sub1->isChecked() ? 0 : 1;
    const int page = start_from->currentIndex();
    if (mode != m_sett.start_mode || page != m_sett.start_from) {
        // The record changes only once the file holds the new values.
        try {
            IniFile ini(m_iniPath);
            if (mode != m_sett.start_mode)
                ini.WriteInteger(QStringLiteral("global"), QStringLiteral("start_mode"), mode);
            if (page != m_sett.start_from)
                ini.WriteInteger(QStringLiteral("global"), QStringLiteral("start_from"), page);
            ini.UpdateFile();
        } catch (const BrenvaleError &e) {
            MessageProc(this, e.message(), MB_ICONERROR, MB_OK);
            reject();
            return;
        }
        m_sett.start_mode = mode;
        m_sett.start_from = page;
    }
    if (m_applyStartMode)
        m_applyStartMode();
    accept();
}
