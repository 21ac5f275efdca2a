#include "lib/control_routines.h"

#include "lib/dataset_api.h"
#include "lib/datetime.h"
#include "lib/number_routines.h"
#include "lib/statements.h"

#include <QComboBox>
#include <QDateTimeEdit>
#include <QEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTableWidget>

#include <algorithm>
#include <cmath>

namespace {

const char *const kTagProperty = "tag";

// Carries the click, exit and key handlers that Qt widgets have no signals for.
class ControlEvents : public QObject
{
public:
    ControlEvents(QWidget *control, TNotifyEvent onClick, TNotifyEvent onExit, TKeyEvent onKeyDown)
        : QObject(control), m_onClick(std::move(onClick)), m_onExit(std::move(onExit)),
          m_onKeyDown(std::move(onKeyDown))
    {
        control->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonRelease:
            if (m_onClick) {
                auto *me = static_cast<QMouseEvent *>(event);
                auto *w = static_cast<QWidget *>(watched);
                if (me->button() == Qt::LeftButton && w->rect().contains(me->position().toPoint()))
                    m_onClick(watched);
            }
            break;
        case QEvent::FocusOut:
            if (m_onExit)
                m_onExit(watched);
            break;
        case QEvent::KeyPress:
            if (m_onKeyDown) {
                auto *ke = static_cast<QKeyEvent *>(event);
                int key = ke->key();
                m_onKeyDown(watched, key, ke->modifiers());
                if (key == 0)
                    return true;
            }
            break;
        default:
            break;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    TNotifyEvent m_onClick;
    TNotifyEvent m_onExit;
    TKeyEvent m_onKeyDown;
};

class EventWatcher : public QObject
{
public:
    EventWatcher(QObject *target, QEvent::Type type, std::function<void()> handler)
        : QObject(target), m_type(type), m_handler(std::move(handler))
    {
        target->installEventFilter(this);
    }
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == m_type)
            m_handler();
        return false;
    }

private:
    QEvent::Type m_type;
    std::function<void()> m_handler;
};

void placeControl(QWidget *w, QWidget *parent, const QString &name, int left, int top, int width, int height)
{
    w->setObjectName(name);
    // A font with every property marked as set stops Qt from passing the parent's later changes on.
    QFont font = parent ? parent->font() : w->font();
    font.setResolveMask(QFont::AllPropertiesResolved);
    w->setFont(font);
    w->move(left, top);
    w->resize(width, height >= 0 ? height : w->sizeHint().height());
    w->show();
}

} // namespace

void OnEvent(QObject *Target, QEvent::Type Type, std::function<void()> Handler)
{
    new EventWatcher(Target, Type, std::move(Handler));
}

int ControlTag(const QObject *Control)
{
    return Control ? Control->property(kTagProperty).toInt() : 0;
}

void SetControlTag(QObject *Control, int Tag)
{
    if (Control)
        Control->setProperty(kTagProperty, Tag);
}

void CreateLabel(QLabel *&Lbl, QWidget *Parent, const QString &Name, int Left, int Top, int Width, int Height,
                 TNotifyEvent OnClick)
{
    Lbl = new QLabel(Parent);
    placeControl(Lbl, Parent, Name, Left, Top, Width, Height);
    new ControlEvents(Lbl, std::move(OnClick), {}, {});
}

void CreateEdit(QLineEdit *&Ed, QWidget *Parent, const QString &Name, int Left, int Top, int Width,
                int Height, TNotifyEvent OnChange, TKeyEvent OnKeyDown)
{
    Ed = new QLineEdit(Parent);
    Ed->setFrame(true);
    placeControl(Ed, Parent, Name, Left, Top, Width, Height);
    if (OnChange) {
        QLineEdit *ed = Ed;
        QObject::connect(Ed, &QLineEdit::textChanged, Ed, [ed, OnChange] { OnChange(ed); });
    }
    new ControlEvents(Ed, {}, OnChange, std::move(OnKeyDown));
}

void CreateComboBox(QComboBox *&Cb, QWidget *Parent, const QString &Name, int Left, int Top, int Width,
                    int Height, TNotifyEvent OnChange, TKeyEvent OnKeyDown)
{
    Cb = new QComboBox(Parent);
    Cb->setEditable(false);
    Cb->setFrame(true);
    placeControl(Cb, Parent, Name, Left, Top, Width, Height);
    if (OnChange) {
        QComboBox *cb = Cb;
        QObject::connect(Cb, &QComboBox::activated, Cb, [cb, OnChange] { OnChange(cb); });
    }
    new ControlEvents(Cb, {}, OnChange, std::move(OnKeyDown));
}

void CreateDateTimePicker(QDateTimeEdit *&Dtp, QWidget *Parent, const QString &Name, int Left, int Top,
                          int Width, int Height, TNotifyEvent OnChange, TKeyEvent OnKeyDown)
{
    Dtp = new QDateTimeEdit(Parent);
    placeControl(Dtp, Parent, Name, Left, Top, Width, Height);
    if (OnChange) {
        QDateTimeEdit *dtp = Dtp;
        QObject::connect(Dtp, &QDateTimeEdit::dateTimeChanged, Dtp, [dtp, OnChange] { OnChange(dtp); });
    }
    new ControlEvents(Dtp, {}, OnChange, std::move(OnKeyDown));
}

void SetVisibleAll(const QList<QWidget *> &Controls, bool Value)
{
    for (QWidget *w : Controls)
        w->setVisible(Value);
}

void SetEnabledAll(const QList<QWidget *> &Controls, bool Value)
{
    for (QWidget *w : Controls)
        w->setEnabled(Value);
}

void SetLeftAll(const QList<QWidget *> &Controls, int Value)
{
    for (QWidget *w : Controls)
        w->move(Value, w->y());
}

void SetWidthAll(const QList<QWidget *> &Controls, int Value)
{
    for (QWidget *w : Controls)
        w->resize(Value, w->height());
}

void SetTopAll(const QList<QWidget *> &Controls, int Value)
{
    for (QWidget *w : Controls)
        w->move(w->x(), Value);
}

void CenterVert(QWidget *Control, const QWidget *Ref)
{
    Control->move(Control->x(), Ref->y() + (Ref->height() - Control->height()) / 2);
}

void AutoSizeGridCols(QTableWidget *Grid, std::optional<int> Margin)
{
    const int gridLineWidth = Grid->showGrid() ? 1 : 0;
    const int margin = Margin ? *Margin : 2 * gridLineWidth + 3;
    const QFontMetrics fm(Grid->font());
    const int rowHeight = fm.size(0, QStringLiteral("ABCDEFGH")).height() + margin;
    // The headers' own minimums would otherwise keep narrow columns and low rows wider than measured.
    QHeaderView *rows = Grid->verticalHeader();
    rows->setMinimumSectionSize(std::min(rows->minimumSectionSize(), rowHeight));
    rows->setDefaultSectionSize(rowHeight);
    for (int r = 0; r < Grid->rowCount(); ++r)
        Grid->setRowHeight(r, rowHeight);
    for (int c = 0; c < Grid->columnCount(); ++c) {
        int widest = 0;
        if (const QTableWidgetItem *h = Grid->horizontalHeaderItem(c))
            widest = fm.horizontalAdvance(h->text());
        for (int r = 0; r < Grid->rowCount(); ++r)
            if (const QTableWidgetItem *item = Grid->item(r, c))
                widest = std::max(widest, int(fm.horizontalAdvance(item->text())));
        const int width = std::max(widest + margin, 8);
        QHeaderView *cols = Grid->horizontalHeader();
        cols->setMinimumSectionSize(std::min(cols->minimumSectionSize(), width));
        Grid->setColumnWidth(c, width);
    }
}

void FillListFromQuery(TDataSet &Query, TCodedNames &Names, QStringList &Codes, const QString &SQL)
{
    Names.clear();
    Codes.clear();
    if (QAct(Query, SQL)) {
        try {
            for (Query.First(); !Query.Eof(); Query.Next()) {
                Codes.append(Query.Field(1)->AsString());
                Names.append({Query.Field(0)->AsString(), int(Codes.size()) - 1});
            }
        } catch (...) {
            Query.Close();
            throw;
        }
    }
    Query.Close();
}

void EditToField(const QLineEdit *Edit, TField *Field, bool AsInteger)
{
    if (ControlTag(Edit) <= 0)
        return;
    const QString text = Edit->text();
    if (text.isEmpty()) {
        Field->Clear();
        return;
    }
    if (AsInteger) {
        int n = 0;
        if (TryStrToInt(text, n))
            Field->SetValue(qlonglong(n));
        return;
    }
    double x = 0;
    if (TryStrToFloatAny(text, x))
        Field->SetValue(x);
}

void PickersToField(const QDateTimeEdit *DatePicker, const QDateTimeEdit *TimePicker, TField *Field)
{
    if (ControlTag(DatePicker) < 1 && ControlTag(TimePicker) < 1)
        return;
    // Composed in the system's own terms, so a date before 30.12.1899 keeps its time running forward.
    const TDateTime value = FromQDateTime(QDateTime(DatePicker->date(), TimePicker->time()));
    if (std::fabs(value) < 1.0 / 864000)
        Field->Clear();
    else
        Field->SetValue(value);
}

bool FieldAsBool(const TField *Field)
{
    if (Field->IsNull())
        return false;
    const FieldType type = Field->DataType();
    if (IsIntegerFieldType(type))
        return Field->AsLargeInt() != 0;
    if (IsStringFieldType(type)) {
        const QString text = Field->AsString();
        if (text.isEmpty())
            return false;
        int n = 0;
        if (TryStrToInt(text, n))
            return n != 0;
        return text.at(0) == QLatin1Char('T') || text.at(0) == QLatin1Char('t');
    }
    if (IsFloatFieldType(type))
        return Field->AsFloat() != 0;
    try {
        return Field->AsBoolean();
    } catch (const std::exception &) {
        return false;
    }
}

void SetFieldBool(TDataSet &DataSet, TField *Field, bool Value)
{
    if (DataSet.State() != DataSetState::Edit && DataSet.State() != DataSetState::Insert)
        DataSet.Edit();
    const FieldType type = Field->DataType();
    if (IsStringFieldType(type))
        Field->SetValue(Value ? QStringLiteral("1") : QStringLiteral("0"));
    else if (IsIntegerFieldType(type))
        Field->SetValue(qlonglong(Value ? 1 : 0));
    else if (IsFloatFieldType(type))
        Field->SetValue(Value ? 1.0 : 0.0);
    else {
        try {
            Field->SetValue(Value);
        } catch (const std::exception &) {
            Field->Clear();
        }
    }
}
