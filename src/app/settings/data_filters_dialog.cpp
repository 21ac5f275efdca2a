#include "app/settings/data_filters_dialog.h"

#include "app/data/data_module.h"
#include "app/main/main_window.h"
#include "db/db_query.h"
#include "lib/date_typing.h"
#include "lib/errors.h"
#include "lib/ini_file.h"
#include "lib/messages.h"
#include "lib/statements.h"
#include "lib/work_dates.h"

#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace {

enum SlotOffset : int { soField = 0, soOperator = 1, soValue1 = 2, soAnd = 3, soValue2 = 4 };

QWidget *box(const Tfilt *form, bool origin)
{
    return (origin ? form->scbo : form->scba)->widget();
}

TDateTime pickerDate(QWidget *w)
{
    auto *d = qobject_cast<QDateEdit *>(w);
    return d ? FromQDateTime(QDateTime(d->date(), QTime(0, 0))) : 0;
}

} // namespace

// ---- Tfilters ----

QWidget *Tfilters::slot(int Index, int Offset) const
{
    const int s = Conditions[Index].firstControl + Offset;
    return s >= 0 && s < m_owner->controlSlots.size() && !m_owner->controlSlots[s].empty
               ? m_owner->controlSlots[s].control
               : nullptr;
}

void Tfilters::setSlot(int Index, int Offset, QWidget *w)
{
    const int s = Conditions[Index].firstControl + Offset;
    w->setObjectName(w->objectName() + QString::number(s));
    w->setProperty("tag", Index);
    m_owner->controlSlots[s] = {w, false};
}

void Tfilters::freeSlot(int Index, int Offset)
{
    const int s = Conditions[Index].firstControl + Offset;
    if (s < 0 || s >= m_owner->controlSlots.size() || m_owner->controlSlots[s].empty)
        return;
    delete m_owner->controlSlots[s].control;
    m_owner->controlSlots[s] = {};
}

void Tfilters::LoadFieldLists(Tmainf &Main)
{
    OriginFields.clear();
    ArrivalFields.clear();
    Tdm *dm = Tdm::instance();
    if (!dm)
        return;
    dm->WithOrx(Main, m_owner, QString(), [this](Tdm &dm) {
        const std::pair<const char *, tfildia *> tables[] = {{"origin", &OriginFields},
                                                             {"arrival", &ArrivalFields}};
        for (const auto &[table, fields] : tables) {
            if (!QAct(*dm.rstORX, QStringLiteral("select * from ") + QString::fromLatin1(table) +
                                      QStringLiteral(" where eventid='0'")))
                continue;
            for (int i = 0; i < dm.rstORX->FieldCount(); ++i)
                fields->append({dm.rstORX->Field(i)->FieldName(), dm.rstORX->Field(i)->DataType()});
            dm.rstORX->Close();
        }
        return true;
    });
}

int Tfilters::AddFilter(bool IsOrigin)
{
    tfiltinfo c;
    c.IsOrigin = IsOrigin;
    c.table = IsOrigin ? QStringLiteral("origin") : QStringLiteral("arrival");
    c.firstControl = int(m_owner->controlSlots.size());
    Conditions.append(c);
    const int index = int(Conditions.size()) - 1;
    for (int i = 0; i < 5; ++i)
        m_owner->controlSlots.append(Tfilt::Slot{});

    int &top = m_owner->tops[IsOrigin ? 0 : 1];
    auto *field = new QComboBox(box(m_owner, IsOrigin));
    field->setObjectName(QStringLiteral("cb"));
    for (const tfildinfo &f : IsOrigin ? OriginFields : ArrivalFields)
        field->addItem(f.name);
    field->setGeometry(4, top, 80, 22);
    field->show();
    setSlot(index, soField, field);
    top += 24;
    box(m_owner, IsOrigin)->setMinimumHeight(top);
    QObject::connect(field, &QComboBox::activated, m_owner,
                     [this, field] { FieldChange(field->property("tag").toInt()); });
    field->setCurrentIndex(field->count() > 0 ? 0 : -1);
    FieldChange(index);
    return index;
}

void Tfilters::FieldChange(int Index)
{
    tfiltinfo &c = Conditions[Index];
    auto *field = qobject_cast<QComboBox *>(slot(Index, soField));
    const tfildia &fields = c.IsOrigin ? OriginFields : ArrivalFields;
    FieldType type = FieldType::Unknown;
    for (const tfildinfo &f : fields)
        if (f.name == field->currentText() && field->currentIndex() >= 0)
            type = f.type;
    c.kind = FilterValueKind(type);
    auto *op = qobject_cast<QComboBox *>(slot(Index, soOperator));
    if (!op) {
        op = new QComboBox(field->parentWidget());
        op->setObjectName(QStringLiteral("cb"));
        // Wide enough for the longest operator in the user's font, never narrower than 80.
        int width = 80;
        for (int kind = fkUnknown; kind <= fkBoolean; ++kind)
            for (const QString &t : FilterOperators(kind))
                width = qMax(width, op->fontMetrics().horizontalAdvance(t) + 36);
        op->setGeometry(field->geometry().right() + 1 + 8, field->y(), width, 22);
        op->show();
        setSlot(Index, soOperator, op);
        QObject::connect(op, &QComboBox::activated, m_owner,
                         [this, op] { OperatorChange(op->property("tag").toInt()); });
    }
    op->clear();
    op->addItems(FilterOperators(c.kind));
    op->setEnabled(c.kind != fkUnknown);
    op->setCurrentIndex(0);
    OperatorChange(Index);
}

void Tfilters::OperatorChange(int Index)
{
    const tfiltinfo &c = Conditions[Index];
    for (int o : {soValue1, soAnd, soValue2})
        freeSlot(Index, o);
    auto *op = slot(Index, soOperator);
    QWidget *parent = op->parentWidget();
    const auto value = [&](int offset, int left) {
        QWidget *w;
        if (c.kind == fkDate) {
            auto *d = new QDateEdit(QDate::currentDate(), parent);
            d->setObjectName(QStringLiteral("dt"));
            d->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
            d->setCalendarPopup(true);
            SetWorkDateRange(d);
            SetDateTyping(d);
            w = d;
        } else {
            w = new QLineEdit(parent);
            w->setObjectName(QStringLiteral("ed"));
        }
        w->setGeometry(left, op->y(), 80, 22);
        w->show();
        setSlot(Index, offset, w);
        return w;
    };
    if (c.kind != fkNumber && c.kind != fkText && c.kind != fkDate)
        return;
    QWidget *v1 = value(soValue1, op->geometry().right() + 1 + 4);
    if (c.kind != fkText && qobject_cast<QComboBox *>(op)->currentIndex() == OperatorBetween) {
        auto *label = new QLabel(QStringLiteral("и"), parent);
        label->setObjectName(QStringLiteral("lab"));
        label->setGeometry(v1->geometry().right() + 1 + 4, op->y(), 12, 22);
        label->show();
        setSlot(Index, soAnd, label);
        value(soValue2, label->geometry().right() + 1 + 4);
    }
}

void Tfilters::DeleteLast(bool IsOrigin)
{
    for (int i = int(Conditions.size()) - 1; i >= 0; --i) {
        if (Conditions[i].IsOrigin != IsOrigin)
            continue;
        for (int o = soField; o <= soValue2; ++o)
            freeSlot(i, o);
        m_owner->tops[IsOrigin ? 0 : 1] -= 24;
        Conditions.removeAt(i);
        // The controls of the conditions after it carry their new index.
        for (int j = i; j < Conditions.size(); ++j)
            for (int o = soField; o <= soValue2; ++o)
                if (QWidget *w = slot(j, o))
                    w->setProperty("tag", j);
        return;
    }
}

void Tfilters::ReadControls()
{
    for (int i = 0; i < Conditions.size(); ++i) {
        tfiltinfo &c = Conditions[i];
        c.field = qobject_cast<QComboBox *>(slot(i, soField))->currentText();
        c.op = qobject_cast<QComboBox *>(slot(i, soOperator))->currentIndex();
        c.value1 = c.value2 = QVariant();
        const bool between = c.op == OperatorBetween;
        if (c.kind == fkNumber || c.kind == fkText) {
            c.value1 = qobject_cast<QLineEdit *>(slot(i, soValue1))->text();
            if (c.kind == fkNumber && between)
                c.value2 = qobject_cast<QLineEdit *>(slot(i, soValue2))->text();
        } else if (c.kind == fkDate) {
            c.value1 = pickerDate(slot(i, soValue1));
            if (between)
                c.value2 = pickerDate(slot(i, soValue2));
        }
    }
}

void Tfilters::SaveToIni(const QString &IniPath, const QString &TableName)
{
    IniFile ini(IniPath);
    const QString table = TableName.toLower();
    for (const tfiltinfo &c : std::as_const(Conditions))
        if (table.isEmpty() || c.table == table)
            ini.WriteString(c.table, c.field, FilterIniValue(c));
    ini.UpdateFile();
}

void Tfilters::LoadFromIni(const QString &IniPath, const QString &TableName)
{
    const IniFile ini(IniPath);
    const bool origin = TableName.compare(QLatin1String("origin"), Qt::CaseInsensitive) == 0;
    for (const QString &key : ini.ReadSection(TableName)) {
        const QStringList tokens = FilterIniTokens(ini.ReadString(TableName, key, QString()));
        if (tokens.isEmpty())
            continue;
        bool isInt = false;
        int op = tokens[0].toInt(&isInt);
        if (!isInt)
            throw EConvertError(NotIntegerText(tokens[0]));
        const int i = AddFilter(origin);
        auto *field = qobject_cast<QComboBox *>(slot(i, soField));
        field->setCurrentIndex(field->findText(key, Qt::MatchFixedString));
        FieldChange(i);
        auto *ops = qobject_cast<QComboBox *>(slot(i, soOperator));
        // An operator the column's list does not hold is its first, as a newly chosen column has.
        if (op < 0 || op >= ops->count())
            op = 0;
        ops->setCurrentIndex(op);
        OperatorChange(i);
        const tfiltinfo &c = Conditions[i];
        for (int t = 1; t <= 2 && t < tokens.size(); ++t) {
            if (t == 2 && op != OperatorBetween)
                break;
            QWidget *w = slot(i, t == 1 ? soValue1 : soValue2);
            if (auto *e = qobject_cast<QLineEdit *>(w))
                e->setText(tokens[t]);
            else if (auto *d = qobject_cast<QDateEdit *>(w); d && c.kind == fkDate)
                d->setDate(QDate::fromString(tokens[t], QStringLiteral("dd.MM.yyyy")));
        }
    }
}

// ---- Tfilt ----

Tfilt::Tfilt(Tmainf &Main, QWidget *owner) : QDialog(owner), m_main(Main)
{
    setObjectName(QStringLiteral("filt"));
    setWindowTitle(QStringLiteral("Фильтры данных"));
    auto *top = new QVBoxLayout(this);
    const auto group = [this, top](QGroupBox *&g, const char *name, const QString &title, QScrollArea *&area,
                                   const char *areaName, QPushButton *&add, const char *addName,
                                   QPushButton *&del, const char *delName) {
        g = new QGroupBox(title, this);
        g->setObjectName(QString::fromLatin1(name));
        auto *l = new QVBoxLayout(g);
        auto *buttons = new QHBoxLayout;
        add = new QPushButton(QStringLiteral("+"), g);
        add->setObjectName(QString::fromLatin1(addName));
        add->setToolTip(QStringLiteral("Добавить фильтр"));
        del = new QPushButton(QStringLiteral("-"), g);
        del->setObjectName(QString::fromLatin1(delName));
        del->setToolTip(QStringLiteral("Удалить фильтр"));
        for (QPushButton *b : {add, del}) {
            b->setAutoDefault(false);
            b->setFixedWidth(32);
            buttons->addWidget(b);
        }
        buttons->addStretch();
        l->addLayout(buttons);
        area = new QScrollArea(g);
        area->setObjectName(QString::fromLatin1(areaName));
        auto *inner = new QWidget;
        inner->setMinimumSize(420, 4);
        area->setWidget(inner);
        area->setWidgetResizable(true);
        l->addWidget(area, 1);
        top->addWidget(g, 1);
    };
    group(GroupBox1, "GroupBox1", QStringLiteral("Фильтр для Origin (События)"), scbo, "scbo", ori_add,
          "ori_add", ori_del, "ori_del");
    group(GroupBox2, "GroupBox2", QStringLiteral("Фильтр для Arrival (Фазы)"), scba, "scba", arr_add,
          "arr_add", arr_del, "arr_del");
    auto *bottom = new QHBoxLayout;
    save = new QPushButton(QStringLiteral("Save"), this);
    save->setObjectName(QStringLiteral("save"));
    load = new QPushButton(QStringLiteral("Load"), this);
    load->setObjectName(QStringLiteral("load"));
    ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("ok"));
    cancel = new QPushButton(QStringLiteral("Отмена"), this);
    cancel->setObjectName(QStringLiteral("cancel"));
    bottom->addWidget(save);
    bottom->addWidget(load);
    bottom->addStretch();
    bottom->addWidget(ok);
    bottom->addWidget(cancel);
    for (QPushButton *b : {save, load, cancel})
        b->setAutoDefault(false);
    top->addLayout(bottom);
    resize(480, 420);

    connect(ori_add, &QPushButton::clicked, this, [this] { filters.AddFilter(true); });
    connect(arr_add, &QPushButton::clicked, this, [this] { filters.AddFilter(false); });
    connect(ori_del, &QPushButton::clicked, this, [this] { filters.DeleteLast(true); });
    connect(arr_del, &QPushButton::clicked, this, [this] { filters.DeleteLast(false); });
    connect(save, &QPushButton::clicked, this, &Tfilt::saveClick);
    connect(load, &QPushButton::clicked, this, &Tfilt::loadClick);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    filters.SetOwner(this);
    filters.LoadFieldLists(m_main);
}

void Tfilt::saveClick()
{
    try {
        filters.ReadControls();
        filters.SaveToIni(m_main.MainIniPath(), QStringLiteral("origin"));
        filters.SaveToIni(m_main.MainIniPath(), QStringLiteral("arrival"));
    } catch (const BrenvaleError &e) {
        MessageProc(this, e.message(), MB_ICONERROR, MB_OK);
    }
}

void Tfilt::loadClick()
{
    try {
        filters.LoadFromIni(m_main.MainIniPath(), QStringLiteral("origin"));
        filters.LoadFromIni(m_main.MainIniPath(), QStringLiteral("arrival"));
    } catch (const BrenvaleError &e) {
        MessageProc(this, e.message(), MB_ICONERROR, MB_OK);
    }
}
