#include "app/events/data_binding.h"

#include "db/db_query.h"
#include "lib/control_routines.h"
#include "lib/date_typing.h"
#include "lib/datetime.h"
#include "lib/errors.h"
#include "lib/messages.h"
#include "lib/number_routines.h"
#include "lib/work_dates.h"

#include <QAbstractItemModel>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTableView>
#include <QTextCursor>

#include <algorithm>
#include <limits>
#include <utility>

namespace {

// Values within a tenth of a second of day 0 are an empty date, as the pickers store them.
constexpr double kEmptyDate = 1.0 / 864000;

QString trimmedRight(const QString &s)
{
    qsizetype n = s.size();
    while (n > 0 && s.at(n - 1).isSpace())
        --n;
    return s.left(n);
}

bool writable(DbQuery *q, TField *f)
{
    return q->CanModify() && static_cast<DbField *>(f)->CanModify();
}

// The characters a control takes for its field: what the column holds, or the text it shows where a row
// holds more, which is never cut; 0 where nothing limits it.
int textRoom(TField *f, bool canWrite, const QString &shown)
{
    const int limit = f && canWrite ? static_cast<DbField *>(f)->MaxLength() : 0;
    return limit > 0 ? std::max(limit, int(shown.size())) : 0;
}

// A line edit's own limit, Qt's default where nothing limits it.
void setRoom(QLineEdit *edit, int room)
{
    edit->setMaxLength(room > 0 ? room : 32767);
}

int g_heldChanges = 0;

std::vector<QPointer<DataSource>> &sourcesHeld()
{
    static std::vector<QPointer<DataSource>> held;
    return held;
}

} // namespace

DataSource::DataSource(DbQuery *dataSet, QObject *parent) : QObject(parent), m_dataSet(dataSet)
{
    // An operation of the dataset tells the change of its record by its last signal: an open by scrolled,
    // a write by posted, a given-up edit or a deletion by scrolled; a new row by stateChanged alone.
    // Each change reaches the handlers once, as each may read the database again.
    for (auto signal : {&DbQuery::opened, &DbQuery::closed})
        connect(dataSet, signal, this, [this] { changed(nullptr, false); });
    connect(dataSet, &DbQuery::deleted, this, [this] { changed(nullptr, false); });
    connect(dataSet, &DbQuery::stateChanged, this,
            [this] { changed(nullptr, m_dataSet->State() == DataSetState::Insert); });
    connect(dataSet, &DbQuery::scrolled, this, [this] { changed(nullptr); });
    connect(dataSet, &DbQuery::posted, this, [this] { changed(nullptr); });
    connect(dataSet, &DbQuery::fieldChanged, this, [this](int index) { changed(m_dataSet->Field(index)); });
}

DataSource::HeldChanges::HeldChanges()
{
    ++g_heldChanges;
}

DataSource::HeldChanges::~HeldChanges()
{
    if (--g_heldChanges == 0)
        releaseHeldChanges();
}

void DataSource::releaseHeldChanges()
{
    const std::vector<QPointer<DataSource>> held = std::exchange(sourcesHeld(), {});
    for (const QPointer<DataSource> &source : held) {
        if (!source || !std::exchange(source->m_changeHeld, false))
            continue;
        if (!source->m_dataSet || !source->m_dataSet->Active())
            continue;
        try {
            emit source->DataChange(nullptr);
        } catch (const std::exception &e) {
            MessageProc(nullptr, ExceptionText(e), MB_ICONERROR, MB_OK);
        }
    }
}

void DataSource::SetRowsOnlyAdded(bool on)
{
    m_rowsOnlyAdded = on;
    Refresh();
}

bool DataSource::hasNoRow() const
{
    return m_rowsOnlyAdded && m_dataSet && m_dataSet->Active() &&
           m_dataSet->State() == DataSetState::Browse && m_dataSet->RecordCount() == 0;
}

DbQuery *DataSource::DataSet() const
{
    return m_dataSet;
}

void DataSource::changed(TField *field, bool recordChanged)
{
    Refresh();
    if (!m_dataSet || !m_dataSet->Active() || (!field && !recordChanged))
        return;
    if (!field && g_heldChanges > 0) {
        if (!std::exchange(m_changeHeld, true))
            sourcesHeld().emplace_back(this);
        return;
    }
    emit DataChange(field);
}

void DataSource::add(QWidget *control, const QString &field, Kind kind)
{
    control->installEventFilter(this);
    if (auto *combo = qobject_cast<QComboBox *>(control); combo && combo->lineEdit())
        combo->lineEdit()->installEventFilter(this);
    m_links.push_back({control, field, kind, nullptr});
    show(m_links.back());
}

const DataSource::Link *DataSource::linkOf(const QObject *control) const
{
    for (const Link &link : m_links)
        if (link.control == control)
            return &link;
    return nullptr;
}

void DataSource::Bind(QLineEdit *edit, const QString &field)
{
    // The edit shows the display text and switches to the full value while it has the focus.
    connect(edit, &QLineEdit::textEdited, this, [this, edit](const QString &text) { writeText(edit, text); });
    add(edit, field, Kind::Edit);
}

void DataSource::Bind(QComboBox *combo, const QString &field)
{
    connect(combo, &QComboBox::activated, this,
            [this, combo](int index) { writeText(combo, combo->itemText(index)); });
    // The list is the program's to fill; an entered text is a value, not a new item.
    combo->setInsertPolicy(QComboBox::NoInsert);
    if (combo->isEditable())
        connect(combo->lineEdit(), &QLineEdit::textEdited, this,
                [this, combo](const QString &text) { writeText(combo, text); });
    add(combo, field, Kind::Combo);
}

void DataSource::Bind(QCheckBox *box, const QString &field)
{
    connect(box, &QCheckBox::clicked, this, [this, box](bool checked) { writeCheck(box, checked); });
    add(box, field, Kind::Check);
}

void DataSource::Bind(QDateTimeEdit *edit, const QString &field)
{
    edit->setMinimumDateTime(ToQDateTime(0));
    connect(edit, &QDateTimeEdit::dateTimeChanged, this, [this, edit] {
        if (!m_showing)
            writeDateTime(edit);
    });
    // Made before the link's own filter, so that Esc reaches the link first.
    auto *typing = new DateTimeTyping(edit);
    typing->OnTyped = [this, edit](const DateTimeTyping::Result &typed) { writeTypedDateTime(edit, typed); };
    // The edit shows its field again, telling what it refused, and the key that ended the typing works on
    // that.
    typing->OnEnded = [this, edit] {
        if (const Link *link = linkOf(edit))
            show(*link);
        return false;
    };
    add(edit, field, Kind::DateTime);
    m_links.back().typing = typing;
}

void DataSource::Bind(QPlainTextEdit *memo, const QString &field)
{
    connect(memo, &QPlainTextEdit::textChanged, this, [this, memo] {
        if (m_showing)
            return;
        const QString text = memo->toPlainText();
        const int room = m_memoRooms.value(memo);
        if (room > 0 && text.size() > room) {
            // The memo takes what its column holds, as a line edit does: the characters past it, typed or
            // pasted last and so standing before the cursor, go again, which tells the field.
            const int excess = int(text.size()) - room;
            QTextCursor cursor = memo->textCursor();
            const int from = cursor.position() >= excess ? cursor.position() - excess : room;
            cursor.setPosition(from);
            cursor.setPosition(from + excess, QTextCursor::KeepAnchor);
            cursor.removeSelectedText();
            return;
        }
        writeText(memo, text);
    });
    add(memo, field, Kind::Memo);
}

void DataSource::Bind(QLabel *label, const QString &field)
{
    add(label, field, Kind::Label);
}

void DataSource::BindEscape(QWidget *control)
{
    control->installEventFilter(this);
    m_escapes.push_back(control);
    Refresh();
}

void DataSource::SetGetText(const QString &field, TFieldGetTextEvent hook)
{
    m_getText.insert(field.toLower(), std::move(hook));
    Refresh();
}

void DataSource::ClearGetText()
{
    m_getText.clear();
    Refresh();
}

QString DataSource::FieldText(const TField &field, bool displayText) const
{
    const auto it = m_getText.constFind(field.FieldName().toLower());
    if (it == m_getText.constEnd())
        return field.AsString();
    QString text;
    it.value()(field, text, displayText);
    return text;
}

void DataSource::Refresh()
{
    for (const Link &link : m_links)
        show(link);
    const bool editable = m_dataSet && m_dataSet->Active() && !hasNoRow();
    for (const QPointer<QWidget> &control : m_escapes)
        if (control)
            control->setEnabled(editable);
}

void DataSource::show(const Link &link)
{
    QWidget *w = link.control;
    if (!w || w == m_writer)
        return;
    // The control shows its field again: a text it refused is told once, and its typing is over.
    QString refused;
    if (w == m_typing) {
        refused = m_refused;
        m_typing = nullptr;
        m_refused = QString();
    }
    if (link.typing)
        link.typing->Reset();
    DbQuery *q = m_dataSet;
    TField *f = q && q->Active() && !hasNoRow() ? q->FindField(link.field) : nullptr;
    const bool canWrite = f && writable(q, f);
    const bool null = !f || f->IsNull();
    m_showing = true;
    w->setEnabled(f != nullptr);
    switch (link.kind) {
    case Kind::Edit: {
        auto *edit = static_cast<QLineEdit *>(w);
        edit->setReadOnly(!canWrite);
        const QString text = f ? FieldText(*f, !edit->hasFocus()) : QString();
        setRoom(edit, textRoom(f, canWrite, text));
        edit->setText(text);
        break;
    }
    case Kind::Combo: {
        auto *combo = static_cast<QComboBox *>(w);
        const QString text = f ? FieldText(*f, true) : QString();
        if (f && !canWrite)
            combo->setEnabled(false);
        if (combo->isEditable()) {
            setRoom(combo->lineEdit(), textRoom(f, canWrite, text));
            combo->setEditText(text);
        } else {
            // Fixed-width text columns may come padded, and a list matches its items as the user sees them.
            int index = combo->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
            if (index < 0 && !text.isEmpty())
                index = combo->findText(trimmedRight(text), Qt::MatchFixedString);
            combo->setCurrentIndex(index);
        }
        break;
    }
    case Kind::Check: {
        auto *box = static_cast<QCheckBox *>(w);
        if (f && !canWrite)
            box->setEnabled(false);
        box->setChecked(f && FieldAsBool(f));
        break;
    }
    case Kind::DateTime: {
        auto *edit = static_cast<QDateTimeEdit *>(w);
        edit->setReadOnly(!canWrite);
        // A time-only edit narrows its range to the day it shows, so day 0 is set rather than compared.
        edit->setSpecialValueText(null ? QStringLiteral(" ") : QString());
        edit->setDateTime(ToQDateTime(null ? 0 : f->Value().toDouble()));
        break;
    }
    case Kind::Memo: {
        auto *memo = static_cast<QPlainTextEdit *>(w);
        memo->setReadOnly(!canWrite);
        const QString text = f ? FieldText(*f, true) : QString();
        m_memoRooms.insert(memo, textRoom(f, canWrite, text));
        if (memo->toPlainText() != text)
            memo->setPlainText(text);
        break;
    }
    case Kind::Label:
        static_cast<QLabel *>(w)->setText(f ? FieldText(*f, true) : QString());
        break;
    }
    m_showing = false;
    if (!refused.isEmpty())
        MessageProc(w->window(), refused, MB_ICONERROR, MB_OK);
}

template <class Fn> void DataSource::write(QWidget *control, Fn store)
{
    const Link *link = linkOf(control);
    DbQuery *q = m_dataSet;
    if (!link || !q || !q->Active() || hasNoRow())
        return;
    TField *f = q->FindField(link->field);
    if (!f)
        return;
    m_writer = control;
    try {
        if (q->State() != DataSetState::Edit && q->State() != DataSetState::Insert)
            q->Edit();
        store(f);
    } catch (const std::exception &e) {
        MessageProc(nullptr, ExceptionText(e), MB_ICONERROR, MB_OK);
    }
    m_writer = nullptr;
}

void DataSource::SetRange(const QString &field, double low, double high)
{
    m_ranges.insert(field.toLower(), {low, high});
}

// What the user is told of a number the field's column or its range cannot take; null when it can.
QString DataSource::refusal(const TField &f, double value, const QString &text) const
{
    double low = -std::numeric_limits<double>::infinity(), high = std::numeric_limits<double>::infinity();
    qint64 intLow = 0, intHigh = 0;
    if (IntegerFieldRange(f.DataType(), intLow, intHigh))
        low = double(intLow), high = double(intHigh);
    if (const auto range = m_ranges.constFind(f.FieldName().toLower()); range != m_ranges.cend())
        low = std::max(low, range->first), high = std::min(high, range->second);
    if (value >= low && value <= high)
        return QString();
    return QStringLiteral("Число вне допустимых пределов (от %1 до %2): \"%3\"")
        .arg(FloatToStr(low), FloatToStr(high), CutForMessage(text));
}

void DataSource::writeText(QWidget *control, const QString &text)
{
    write(control, [&](TField *f) {
        if (m_typing != control) {
            m_typing = control;
            m_typingValue = f->Value();
        }
        const FieldType type = f->DataType();
        const auto wrong = [&text](const char *kind) {
            return QStringLiteral("Неверное ") + QString::fromUtf8(kind) + QStringLiteral(": \"") +
                   CutForMessage(text) + QLatin1Char('"');
        };
        QString refused;
        if (text.isEmpty()) {
            f->Clear();
        } else if (IsIntegerFieldType(type)) {
            bool ok = false;
            const qlonglong n = text.trimmed().toLongLong(&ok);
            refused = ok ? refusal(*f, double(n), text) : wrong("целое число");
            if (refused.isNull())
                f->SetValue(n);
        } else if (IsFloatFieldType(type)) {
            double d = 0;
            refused = TryStrToFloatAny(text, d) ? refusal(*f, d, text) : wrong("число");
            if (refused.isNull())
                f->SetValue(d);
        } else if (IsStringFieldType(type) || type == FieldType::Unknown) {
            f->SetValue(text);
        } else {
            try {
                f->SetValue(text);
            } catch (const DbError &) {
                refused = wrong("значение");
            }
        }
        // Not a value of this type (perhaps not yet, while the user types): the field holds what it
        // held before the typing, not a part of the text that happened to convert.
        m_refused = refused;
        if (!refused.isNull()) {
            if (m_typingValue.isNull())
                f->Clear();
            else
                f->SetValue(m_typingValue);
        }
    });
}

void DataSource::writeCheck(QWidget *control, bool checked)
{
    write(control, [checked](TField *f) {
        const FieldType type = f->DataType();
        if (IsStringFieldType(type))
            f->SetValue(checked ? QStringLiteral("True") : QStringLiteral("False"));
        else if (IsIntegerFieldType(type))
            f->SetValue(qlonglong(checked ? 1 : 0));
        else if (IsFloatFieldType(type))
            f->SetValue(checked ? 1.0 : 0.0);
        else
            f->SetValue(checked);
    });
}

void DataSource::writeDateTime(QWidget *control)
{
    const TDateTime value = FromQDateTime(static_cast<QDateTimeEdit *>(control)->dateTime());
    write(control, [value](TField *f) {
        if (qAbs(value) < kEmptyDate)
            f->Clear();
        else
            f->SetValue(value);
    });
}

bool DataSource::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape &&
        m_dataSet &&
        (m_dataSet->State() == DataSetState::Edit || m_dataSet->State() == DataSetState::Insert)) {
        // What was typed is given up with the edit, so nothing is left to be told of it.
        m_typing = nullptr;
        m_refused = QString();
        for (const Link &link : m_links)
            if (link.typing)
                link.typing->Reset();
        m_dataSet->Cancel();
        return true;
    }
    // The focus has moved when these arrive, so show() picks the edit text or the display text.
    if ((event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut) &&
        qobject_cast<QLineEdit *>(watched))
        if (const Link *link = linkOf(watched))
            show(*link);
    return QObject::eventFilter(watched, event);
}

void DataSource::writeTypedDateTime(QDateTimeEdit *edit, const DateTimeTyping::Result &typed)
{
    write(edit, [&](TField *f) {
        if (m_typing != edit) {
            m_typing = edit;
            m_typingValue = f->Value();
        }
        m_refused = typed.refused;
        const TDateTime value = typed.refused.isNull() ? FromQDateTime(typed.value) : 0;
        if (typed.refused.isNull() && qAbs(value) >= kEmptyDate)
            f->SetValue(value);
        else if (typed.refused.isNull() || m_typingValue.isNull())
            f->Clear();
        else
            f->SetValue(m_typingValue);
    });
}

void ApplyColumnWidths(QTableView *Grid, const tcwarr &Cols)
{
    const QAbstractItemModel *model = Grid->model();
    if (!model)
        return;
    int widest = 0;
    for (const tcolwid &col : Cols)
        widest = std::max(widest, col.width);
    QHeaderView *header = Grid->horizontalHeader();
    // The rows in view and this many more are measured: the values of a column are much alike.
    header->setResizeContentsPrecision(100);
    for (int c = 0; c < model->columnCount(); ++c) {
        const int i = ColumnIndex(Cols, model->headerData(c, Qt::Horizontal).toString());
        if (i < 0)
            continue;
        const int need = std::max(header->sectionSizeHint(c),
                                  static_cast<const QAbstractItemView *>(Grid)->sizeHintForColumn(c));
        Grid->setColumnWidth(c, std::max(Cols.at(i).width, std::min(need, widest)));
    }
}
