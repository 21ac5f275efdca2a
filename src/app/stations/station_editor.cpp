#include "app/stations/station_editor.h"

#include "app/data/data_module.h"
#include "app/main/appearance.h"
#include "app/main/main_window.h"
#include "app/main/program_folder.h"
#include "db/db_query.h"
#include "lib/control_routines.h"
#include "lib/coordinates.h"
#include "lib/date_display.h"
#include "lib/date_typing.h"
#include "lib/errors.h"
#include "lib/ini_file.h"
#include "lib/messages.h"
#include "lib/number_routines.h"
#include "lib/sql_text.h"
#include "lib/statements.h"
#include "lib/work_dates.h"

#include <QApplication>
#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimeEdit>
#include <QVBoxLayout>

#include <cmath>

namespace {

const QString kSiteColumns = QStringLiteral(
    "ngroups,elev,lat,lon,descr,DNORTH,DEAST,REFSTA,STANAME,cod,STATYPE,UNDERGROUND,ONDATE,OFFDATE");

QString siteSelect(const QString &columns, const QString &code)
{
    return QStringLiteral("select ") + columns + QStringLiteral(" from site where rtrim(sta)='") +
           SqlEscape(code) + QLatin1Char('\'');
}

double roundTo5(double value)
{
    return double(RoundHalfEven(value * 1e5)) / 1e5;
}

QString numberText(double value, QChar decimalSeparator)
{
    return FloatToStr(roundTo5(value), decimalSeparator);
}

QLabel *buddyOf(QWidget *control)
{
    for (QLabel *label : control->window()->findChildren<QLabel *>())
        if (label->buddy() == control)
            return label;
    return nullptr;
}

void setValidColor(QLineEdit *edit, bool valid)
{
    QPalette p = edit->palette();
    p.setColor(QPalette::Base, valid ? QApplication::palette(edit).color(QPalette::Base) : QColor(Qt::red));
    edit->setPalette(p);
}

bool touched(const QObject *control)
{
    return ControlTag(control) > 0;
}

void setPickers(QDateEdit *date, QTimeEdit *time, TDateTime value)
{
    const QDateTime dt = ToQDateTime(value);
    date->setDate(dt.date());
    time->setTime(dt.time());
}

} // namespace

TStaEdit::TStaEdit(Tmainf *owner, int entry) : QDialog(owner), m_owner(owner), m_entry(entry)
{
    setObjectName(QStringLiteral("StaEdit"));
    setWindowTitle(QStringLiteral("Сведения о станции"));
    buildForm();
    ApplyUserAppearance(this, KindOther);
    FormCreate();
}

void TStaEdit::buildForm()
{
    auto *layout = new QVBoxLayout(this);
    auto *grid = new QGridLayout;
    int row = 0;
    const auto edit = [&](QLineEdit *&e, const char *name, const char *caption) {
        e = new QLineEdit(this);
        e->setObjectName(QString::fromLatin1(name));
        auto *label = new QLabel(QString::fromUtf8(caption), this);
        label->setBuddy(e);
        grid->addWidget(label, row, 0);
        grid->addWidget(e, row, 1);
        ++row;
    };
    edit(descr, "descr", "Русское название");
    edit(staname, "staname", "Английское название");
    edit(underground, "underground", "Подпочва");
    edit(sta, "sta", "Внутренний код станции");
    edit(cod, "cod", "Междунар. код станции");
    edit(elev, "elev", "Высота над ур. моря");
    edit(lat, "lat", "Широта");
    edit(lon, "lon", "Долгота");
    edit(ngroups, "ngroups", "Кол-во групп (NGROUPS)");
    edit(dnorth, "dnorth", "DNORTH");
    edit(deast, "deast", "DEAST");
    edit(refsta, "refsta", "REFSTA");
    edit(statype, "statype", "Тип станции (STATYPE)");
    sta->setEnabled(false);
    lat->setToolTip(QStringLiteral("Не вводите буквы N и S: южная широта задаётся отрицательным числом "
                                   "(со знаком минус)"));
    lon->setToolTip(QStringLiteral("Не вводите буквы E и W: западная долгота задаётся отрицательным числом "
                                   "(со знаком минус)"));
    layout->addLayout(grid);

    auto *dates = new QGroupBox(QStringLiteral("30 декабря 1899 года означает, что дата не задана"), this);
    dates->setObjectName(QStringLiteral("GroupBox1"));
    auto *datesGrid = new QGridLayout(dates);
    const auto pickers = [&](QDateEdit *&d, QTimeEdit *&t, const char *dn, const char *tn,
                             const char *caption, int r) {
        d = new QDateEdit(QDate::currentDate(), dates);
        d->setObjectName(QString::fromLatin1(dn));
        d->setCalendarPopup(true);
        d->setDisplayFormat(SystemDateEditFormat());
        SetWorkDateMaximum(d);
        // A station's dates are no product's: any day the edit shows, the one the group's caption names
        // for no date among them, is typed as well as picked.
        SetDateTyping(d, DateTimeTyping::Days::Shown);
        t = new QTimeEdit(QTime(0, 0), dates);
        t->setObjectName(QString::fromLatin1(tn));
        t->setDisplayFormat(QStringLiteral("HH:mm:ss"));
        SetDateTyping(t);
        auto *label = new QLabel(QString::fromUtf8(caption), dates);
        label->setBuddy(d);
        datesGrid->addWidget(label, r, 0);
        datesGrid->addWidget(d, r, 1);
        datesGrid->addWidget(t, r, 2);
    };
    pickers(dat1, tim1, "dat1", "tim1", "Дата и время запуска станции", 0);
    pickers(dat2, tim2, "dat2", "tim2", "Дата и время закрытия станции", 1);
    layout->addWidget(dates);

    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setDefault(true);
    Button2 = new QPushButton(QStringLiteral("Отмена"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    layout->addLayout(buttons);

    connect(Button1, &QPushButton::clicked, this, [this] {
        if (Button1Click())
            accept();
    });
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
    connect(ngroups, &QLineEdit::textChanged, this, [this] { ngroupsChange(ngroups); });
    for (QLineEdit *e : {elev, lat, lon, dnorth, deast})
        connect(e, &QLineEdit::textChanged, this, [this, e] { elevChange(e); });
    for (QLineEdit *e : {descr, staname, underground, cod, refsta, statype})
        connect(e, &QLineEdit::textChanged, this, [this, e] { staChange(e); });
    for (QDateEdit *d : {dat1, dat2})
        connect(d, &QDateEdit::dateChanged, this, [this, d] { staChange(d); });
    for (QTimeEdit *t : {tim1, tim2})
        connect(t, &QTimeEdit::timeChanged, this, [this, t] { staChange(t); });
}

void TStaEdit::FormCreate()
{
    loading = true;
    const QString failure = QStringLiteral("TStaEdit.FormCreate: Не удалось прочитать сведения о станции.");
    // Only a read that broke off disables OK: a connection that did not open has been reported and
    // leaves the form as it was made.
    bool broken = false;
    try {
        if (m_owner->sett.fullorx) {
            dataModule().WithOrx(*m_owner, this, failure, [&](Tdm &dm) {
                broken = true;
                readOrx(dm);
                broken = false;
                return true;
            });
        } else {
            readIni();
        }
    } catch (const std::exception &e) {
        MessageProc(this, failure + QStringLiteral(" Сообщение об ошибке:\r") + ExceptionText(e),
                    MB_ICONERROR, MB_OK);
        broken = true;
    }
    if (broken)
        Button1->setEnabled(false);
    changed = false;
    loading = false;
}

Tdm &TStaEdit::dataModule()
{
    Tdm *dm = Tdm::instance();
    if (!dm)
        throw BrenvaleError(QStringLiteral("Нет модуля данных"));
    return *dm;
}

void TStaEdit::readOrx(Tdm &dm)
{
    DbQuery &q = *dm.rstORX;
    if (!QAct(q, siteSelect(kSiteColumns, m_owner->curCode)) || q.RecordCount() == 0)
        return;
    q.First();
    const QChar separator = m_owner->fsLocal.DecimalSeparator;
    const auto number = [&](const char *column, QLineEdit *e) {
        TField *f = q.FieldByName(QString::fromLatin1(column));
        e->setText(f->IsNull() ? QString() : numberText(f->AsFloat(), separator));
    };
    const auto text = [&](const char *column, QLineEdit *e) {
        e->setText(q.FieldByName(QString::fromLatin1(column))->AsString());
    };
    const auto date = [&](const char *column, QDateEdit *d, QTimeEdit *t) {
        TField *f = q.FieldByName(QString::fromLatin1(column));
        setPickers(d, t, f->IsNull() ? 0 : f->AsDateTime());
    };
    sta->setText(m_owner->curCode);
    text("ngroups", ngroups);
    number("elev", elev);
    number("lat", lat);
    number("lon", lon);
    number("DNORTH", dnorth);
    number("DEAST", deast);
    text("descr", descr);
    text("REFSTA", refsta);
    text("STANAME", staname);
    text("cod", cod);
    text("STATYPE", statype);
    text("UNDERGROUND", underground);
    date("ONDATE", dat1, tim1);
    date("OFFDATE", dat2, tim2);
}

void TStaEdit::readIni()
{
    const IniFile ini(ProgramFolder() + QStringLiteral("system/Stations.ini"));
    const QString &code = m_owner->curCode;
    sta->setText(code);
    cod->setText(ini.ReadString(code, QStringLiteral("code"), QString()));
    descr->setText(ini.ReadString(code, QStringLiteral("name"), QString()));
    underground->setText(ini.ReadString(code, QStringLiteral("subter"), QString()));
    elev->setText(ini.ReadString(code, QStringLiteral("hval"), QString()));
    const QChar separator = m_owner->fsLocal.DecimalSeparator;
    // A coordinate off the globe is shown as none, as a missing one is.
    double value = 0;
    if (StationTextToDeg(ini.ReadString(code, QStringLiteral("fi"), QString()), false, value) &&
        std::abs(value) <= 90)
        lat->setText(numberText(value, separator));
    if (StationTextToDeg(ini.ReadString(code, QStringLiteral("lamb"), QString()), true, value) &&
        std::abs(value) <= 180)
        lon->setText(numberText(value, separator));
    for (QLineEdit *e : {staname, ngroups, dnorth, deast, refsta, statype}) {
        e->clear();
        e->setEnabled(false);
        if (QLabel *label = buddyOf(e))
            label->setEnabled(false);
    }
    setPickers(dat1, tim1, 0);
    setPickers(dat2, tim2, 0);
    for (QWidget *w : std::initializer_list<QWidget *>{dat1, tim1, dat2, tim2}) {
        w->setEnabled(false);
        if (QLabel *label = buddyOf(w))
            label->setEnabled(false);
    }
}

void TStaEdit::ngroupsChange(QLineEdit *Sender)
{
    if (loading)
        return;
    int n = 0;
    setValidColor(Sender, Sender->text().isEmpty() || CheckNumStr(Sender->text(), &n));
    staChange(Sender);
}

void TStaEdit::elevChange(QLineEdit *Sender)
{
    if (loading)
        return;
    setValidColor(Sender, Sender->text().isEmpty() || CheckNumStr(Sender->text()));
    staChange(Sender);
}

void TStaEdit::staChange(QWidget *Sender)
{
    if (loading)
        return;
    changed = true;
    SetControlTag(Sender, 1);
}

bool TStaEdit::checkNumbers()
{
    const struct
    {
        QLineEdit *edit;
        bool integer;
    } numbers[] = {{elev, false},   {lat, false},    {lon, false},
                   {ngroups, true}, {dnorth, false}, {deast, false}};
    for (const auto &n : numbers) {
        const QString text = n.edit->text();
        int whole = 0;
        double value = 0;
        QString problem;
        if (!touched(n.edit) || text.isEmpty())
            continue;
        if (!(n.integer ? CheckNumStr(text, &whole) : CheckNumStr(text, nullptr, &value)))
            problem = n.integer ? QStringLiteral(" - не целое число!") : QStringLiteral(" - не число!");
        // The stations file keeps two digits of latitude degrees and three of longitude.
        else if (!m_owner->sett.fullorx && (n.edit == lat || n.edit == lon) &&
                 !(std::fabs(value) <= (n.edit == lat ? 90 : 180)))
            problem = n.edit == lat ? QStringLiteral(" - вне пределов от -90 до 90!")
                                    : QStringLiteral(" - вне пределов от -180 до 180!");
        else
            continue;
        const QLabel *label = buddyOf(n.edit);
        MessageProc(this,
                    (label ? label->text() : n.edit->objectName()) + QStringLiteral(": \"") +
                        CutForMessage(text) + QLatin1Char('"') + problem +
                        QStringLiteral("\rСведения о станции не записаны."),
                    MB_ICONWARNING, MB_OK);
        n.edit->setFocus();
        n.edit->selectAll();
        return false;
    }
    return true;
}

bool TStaEdit::Button1Click()
{
    if (!changed)
        return true;
    // Checked before anything is written: the old value would stay without a word otherwise.
    if (!checkNumbers())
        return false;
    const QString failure = QStringLiteral("Не удалось обновить сведения о станции.");
    try {
        if (m_owner->sett.fullorx)
            dataModule().WithOrx(*m_owner, this, failure, [this](Tdm &dm) {
                writeOrx(dm);
                return true;
            });
        else
            writeIni();
    } catch (const std::exception &e) {
        MessageProc(this, failure + QStringLiteral(" Сообщение об ошибке:\r") + ExceptionText(e),
                    MB_ICONERROR, MB_OK);
    }
    return true;
}

void TStaEdit::writeOrx(Tdm &dm)
{
    DbQuery &q = *dm.rstORX;
    const QString &code = m_owner->curCode;
    const QString columns = kSiteColumns + QStringLiteral(",lddate");
    if (!QAct(q, siteSelect(columns, code)))
        return;
    if (q.RecordCount() == 0) {
        // A new row carries the station's code, its key.
        if (!QAct(q, siteSelect(columns + QStringLiteral(",sta"), code)))
            return;
        q.Append();
        q.FieldByName(QStringLiteral("sta"))->SetValue(code);
    } else {
        q.First();
        q.Edit();
    }
    EditToField(ngroups, q.FieldByName(QStringLiteral("ngroups")), true);
    EditToField(elev, q.FieldByName(QStringLiteral("elev")), false);
    EditToField(lat, q.FieldByName(QStringLiteral("lat")), false);
    EditToField(lon, q.FieldByName(QStringLiteral("lon")), false);
    EditToField(dnorth, q.FieldByName(QStringLiteral("DNORTH")), false);
    EditToField(deast, q.FieldByName(QStringLiteral("DEAST")), false);
    const struct
    {
        QLineEdit *edit;
        const char *column;
    } texts[] = {{descr, "descr"}, {refsta, "REFSTA"},   {staname, "STANAME"},
                 {cod, "cod"},     {statype, "STATYPE"}, {underground, "UNDERGROUND"}};
    for (const auto &t : texts)
        if (touched(t.edit))
            q.FieldByName(QString::fromLatin1(t.column))->SetValue(t.edit->text());
    PickersToField(dat1, tim1, q.FieldByName(QStringLiteral("ONDATE")));
    PickersToField(dat2, tim2, q.FieldByName(QStringLiteral("OFFDATE")));
    q.FieldByName(QStringLiteral("lddate"))->SetValue(Now());
    q.Post();

    const QString newSta = cod->text(), newName = descr->text();
    updateEntry(touched(cod) ? &newSta : nullptr, touched(descr) ? &newName : nullptr);
}

void TStaEdit::writeIni()
{
    IniFile ini(ProgramFolder() + QStringLiteral("system/Stations.ini"));
    const QString &code = m_owner->curCode;
    // Both coordinates are converted before anything is written, so bad text leaves the file as it was.
    const QString fi = touched(lat) ? DegToStationText(StrToFloatAny(lat->text()), false) : QString();
    const QString lamb = touched(lon) ? DegToStationText(StrToFloatAny(lon->text()), true) : QString();
    if (touched(cod))
        ini.WriteString(code, QStringLiteral("code"), cod->text());
    if (touched(descr))
        ini.WriteString(code, QStringLiteral("name"), descr->text());
    if (touched(underground))
        ini.WriteString(code, QStringLiteral("subter"), underground->text());
    if (touched(elev))
        ini.WriteString(code, QStringLiteral("hval"), elev->text());
    if (touched(lat))
        ini.WriteString(code, QStringLiteral("fi"), fi);
    if (touched(lon))
        ini.WriteString(code, QStringLiteral("lamb"), lamb);
    ini.UpdateFile();

    const QString newSta = cod->text(), newName = descr->text();
    updateEntry(touched(cod) ? &newSta : nullptr, touched(descr) ? &newName : nullptr);
}

// The station array follows only what reached the file or the database.
void TStaEdit::updateEntry(const QString *Sta, const QString *Name)
{
    if (m_entry < 0 || m_entry >= m_owner->stations.size())
        return;
    tstainfo &k = m_owner->stations[m_entry];
    if (Sta)
        k.sta = *Sta;
    if (Name)
        k.name = *Name;
}

void Tmainf::OpenStationEditor()
{
    const int entry = selectedStationEntry();
    if (entry < 0)
        return;
    TStaEdit dialog(this, entry);
    if (dialog.exec() == QDialog::Accepted && dialog.changed)
        StationChanged(false);
}
