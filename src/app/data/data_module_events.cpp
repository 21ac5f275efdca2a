#include "app/data/data_module.h"

#include "app/events/data_binding.h"
#include "app/events/epoch_text.h"
#include "app/events/event_page.h"
#include "app/main/main_window.h"
#include "db/db_connection.h"
#include "db/db_query.h"
#include "lib/control_routines.h"
#include "lib/sql_text.h"
#include "lib/statements.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QScopeGuard>
#include <QTableView>

// The handlers of the ORX event browsers: imo (events) and ima (the arrivals of the current event).

namespace {

template <class T> T *pageControl(Tmainf &w, const char *name)
{
    return w.TabSheet6 ? w.TabSheet6->findChild<T *>(QString::fromLatin1(name)) : nullptr;
}

void setText(QLabel *label, const QString &text)
{
    if (label)
        label->setText(text);
}

void setText(QLineEdit *edit, const QString &text)
{
    if (edit)
        edit->setText(text);
}

QString counterText(const char *table, int recNo, int count)
{
    return QString::fromLatin1(table) + QStringLiteral(": ") + QString::number(recNo) +
           QStringLiteral(" из ") + QString::number(count) + QStringLiteral(" записей");
}

} // namespace

void Tdm::imdsoDataChange(TField *Field)
{
    Tmainf *w = Tmainf::instance();
    // Typing into the event reads nothing: its arrivals are read again once it is written or left.
    if (!w || Field || m_editingField || w->suppressOriginChange)
        return;
    if (auto *chan = pageControl<QComboBox>(*w, "DBComboBox14"))
        chan->clear();
    setText(pageControl<QLabel>(*w, "StaticText1"), QString());
    setText(pageControl<QLabel>(*w, "Label90"), QString());

    const bool open = imo->Active();
    const int recNo = open ? imo->RecNo() : -1;
    const int count = open ? imo->RecordCount() : 0;
    setText(pageControl<QLabel>(*w, "sto1"), counterText("ORIGIN", recNo, count));
    setText(pageControl<QLineEdit>(*w, "Edit13"), QString::number(recNo));
    setText(pageControl<QLabel>(*w, "Label80"), QStringLiteral("из ") + QString::number(count));

    // A new arrival (or an edit) still pending belongs to the event it was begun on: it is written
    // before its dataset closes rather than dropped with it.
    if (ima->Active())
        PostPending(ima);
    CloseDB_ADO(imc12);
    setText(pageControl<QLabel>(*w, "sta1"), QStringLiteral("ARRIVAL: -1 из 0 записей"));
    setText(pageControl<QLineEdit>(*w, "Edit12"), QStringLiteral("-1"));
    setText(pageControl<QLabel>(*w, "Label77"), QStringLiteral("из 0"));

    if (!open || count == 0)
        return;
    ShowEpochInMaskEdit(imo->FindField(QStringLiteral("origintime")),
                        pageControl<QLineEdit>(*w, "MaskEdit1"));
    const TField *eventid = imo->FindField(QStringLiteral("eventid"));
    const QString id = eventid ? eventid->AsString() : QString();
    if (id.isEmpty())
        return;
    if (!w->OpenOrx(*this, imc12))
        return;
    QString sql = QStringLiteral("select * from arrival where eventid=") + SqlQuote(id) +
                  QStringLiteral(" and rtrim(sta)");
    if (!w->checkedQuoted.isEmpty())
        sql += QStringLiteral(" in (") + w->checkedQuoted + QLatin1Char(')');
    else
        sql += QLatin1Char('=') + SqlQuote(w->curCode);
    sql += QStringLiteral(" order by itime");
    if (QAct(*ima, sql))
        if (auto *grid = pageControl<QTableView>(*w, "dbga1"))
            ApplyColumnWidths(grid, w->arrivalColumns);
}

void Tdm::imdsaDataChange(TField *Field)
{
    Tmainf *w = Tmainf::instance();
    if (!w || Field || m_editingField || !ima->Active())
        return;
    const int recNo = ima->RecNo();
    const int count = ima->RecordCount();
    setText(pageControl<QLabel>(*w, "sta1"), counterText("ARRIVAL", recNo, count));
    setText(pageControl<QLineEdit>(*w, "Edit12"), QString::number(recNo));
    setText(pageControl<QLabel>(*w, "Label77"), QStringLiteral("из ") + QString::number(count));
    ShowEpochInMaskEdit(ima->FindField(QStringLiteral("itime")), pageControl<QLineEdit>(*w, "MaskEdit3"));
    ShowEpochInMaskEdit(ima->FindField(QStringLiteral("amptime")), pageControl<QLineEdit>(*w, "MaskEdit2"));
    ShowBoolInCheckBox(ima->FindField(QStringLiteral("flag")), pageControl<QCheckBox>(*w, "flag"));
}

void Tdm::imaAfterScroll()
{
    LoadSiteChanList();
}

void Tdm::LoadSiteChanList()
{
    Tmainf *w = Tmainf::instance();
    if (!w)
        return;
    if (!w->OpenOrx(*this, imc13))
        return;
    // Codes come blank-padded from fixed-width columns, and the condition trims the stored side.
    const TField *staField = ima->Active() ? ima->FindField(QStringLiteral("sta")) : nullptr;
    const QString sta = staField ? TrimRightText(staField->AsString()) : QString();
    TCodedNames names;
    FillListFromQuery(*imq, names, w->channelList,
                      QStringLiteral("select chan,descr from sitechan where rtrim(sta)=") + SqlQuote(sta) +
                          QStringLiteral(" order by chan"));
    CloseDB_ADO(imc13);
    if (auto *chan = pageControl<QComboBox>(*w, "DBComboBox14")) {
        QStringList items;
        for (const TCodedName &n : names)
            items << n.Name;
        chan->clear();
        chan->addItems(items);
        // The list is new; the arrival's own channel is shown again over the first item.
        if (w->imdsa)
            w->imdsa->Refresh();
    }
    w->ShowChanDescr();
}

namespace {

// The dataset of imo and ima that Field belongs to.
TDataSet *datasetOf(const TField *Field, DbQuery *imo, DbQuery *ima)
{
    for (DbQuery *q : {imo, ima})
        for (int i = 0; i < q->FieldCount(); ++i)
            if (q->Field(i) == Field)
                return q;
    return nullptr;
}

} // namespace

bool Tdm::DateTextToEpoch(const QString &Text, TField *Field, double *Epoch)
{
    if (!Field)
        return ::DateTextToEpoch(Text, nullptr, nullptr, Epoch);
    TDataSet *dataset = datasetOf(Field, imo, ima);
    m_editingField = Field;
    const auto done = qScopeGuard([this] { m_editingField = nullptr; });
    return ::DateTextToEpoch(Text, dataset, Field, Epoch);
}

void Tdm::SetEpochField(TField *Field, const QVariant &Value)
{
    if (!Field)
        return;
    TDataSet *dataset = datasetOf(Field, imo, ima);
    m_editingField = Field;
    const auto done = qScopeGuard([this] { m_editingField = nullptr; });
    if (dataset && dataset->State() != DataSetState::Edit && dataset->State() != DataSetState::Insert)
        dataset->Edit();
    // The same value again is no change: an edit where nothing changed writes nothing.
    if (Field->IsNull() != Value.isNull() || (!Value.isNull() && Field->Value() != Value))
        Field->SetValue(Value);
}

void Tdm::ShowEpochInMaskEdit(const TField *Field, QLineEdit *MaskEdit)
{
    if (!MaskEdit)
        return;
    // The edit shows its field again: what was typed in it is over.
    MaskEdit->setProperty("typedFrom", QVariant());
    SetControlTag(MaskEdit, 1);
    MaskEdit->setText(EpochText(Field));
    SetControlTag(MaskEdit, 0);
}

void Tdm::ShowBoolInCheckBox(const TField *Field, QCheckBox *CheckBox)
{
    if (!CheckBox)
        return;
    SetControlTag(CheckBox, 1);
    CheckBox->setChecked(Field && FieldAsBool(Field));
    SetControlTag(CheckBox, 0);
}
