#pragma once

#include "app/main/column_tables.h"
#include "lib/date_typing.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>

#include <functional>
#include <vector>

class DbQuery;
class QCheckBox;
class QComboBox;
class QDateTimeEdit;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QTableView;
class QWidget;
class TField;

// A field's own text handler: Text arrives empty; DisplayText is true for the text shown, false for the
// text being edited.
using TFieldGetTextEvent = std::function<void(const TField &Sender, QString &Text, bool DisplayText)>;

// Binds controls to the fields of one dataset, as data-aware controls do. Every control shows the
// current record and is disabled and empty while the dataset is closed or lacks its field. A change
// by the user puts the dataset into edit state and writes the field at once; navigation then posts it
// (the dataset does that on First, Prior, Next, Last, Append).
//
// Controls: a line edit, an editable combo box or a plain-text memo takes the text; a list combo box
// the chosen item; a check box writes True/False in the field's own terms (1/0 for numbers, "True" or
// "False" for text) and reads it with FieldAsBool; a date or date-time edit shows a null field as
// blank at 30.12.1899 00:00 and a time within 0.1 s of that date stores null again; a label only shows.
// A date or time typed into a date or date-time edit is taken as typed, section by section (a section
// is done when it is full or a separator is typed), rather than by the edit's own rules, which drop or
// shift digits; a day outside 01.01.1900-31.12.9998 is refused as every date entry refuses it.
// A line edit, an editable combo box or a memo takes no more characters than the field's column holds
// (a row that holds more is shown whole), so nothing typed or pasted past it is lost unseen.
// A text that does not convert to the field's type, or gives a number outside what the column holds or
// outside the field's range, leaves the field as it was before the typing began; when the control loses
// the focus or shows another record, the user is told and it shows the field again. Esc in a control
// gives up the edit or the new record. Failures of the dataset are shown through MessageProc.
class DataSource : public QObject
{
    Q_OBJECT
public:
    explicit DataSource(DbQuery *dataSet, QObject *parent = nullptr);

    DbQuery *DataSet() const;

    void Bind(QLineEdit *edit, const QString &field);
    void Bind(QComboBox *combo, const QString &field);
    void Bind(QCheckBox *box, const QString &field);
    void Bind(QDateTimeEdit *edit, const QString &field);
    void Bind(QPlainTextEdit *memo, const QString &field);
    void Bind(QLabel *label, const QString &field);
    // A control that writes the dataset's fields itself, such as an epoch edit: Esc there gives up the
    // edit or the new record as in the bound controls, and DataChange has the record shown again.
    void BindEscape(QWidget *control);

    // Rows are added only by the page's own button, which gives them their keys: a dataset without a row
    // offers its controls (the bound ones and those of BindEscape) nothing to type into, rather than
    // starting a row no write could store.
    void SetRowsOnlyAdded(bool on);

    // While one lives, each data source tells a change of its record once, when the last one goes: a
    // write and the move after it are one change, for the record moved to.
    class HeldChanges
    {
    public:
        HeldChanges();
        ~HeldChanges();
        HeldChanges(const HeldChanges &) = delete;
        HeldChanges &operator=(const HeldChanges &) = delete;
    };
    // The change held since is not told: the record is shown as it was before it (an edit given up where
    // nothing could be read again).
    void ForgetHeldChange() { m_changeHeld = false; }

    // A field's text handler (matched by name, regardless of case) until cleared; the controls show
    // the field through it from now on.
    void SetGetText(const QString &field, TFieldGetTextEvent hook);
    void ClearGetText();
    // The field's text through its handler, else its plain text.
    QString FieldText(const TField &field, bool displayText) const;

    // The numbers a field takes from the controls (matched by name, regardless of case), both ends
    // included.
    void SetRange(const QString &field, double low, double high);

    // Shows the current record in every control again.
    void Refresh();

signals:
    // Something shown changed while the dataset is open: Field is the field written, null when the
    // record itself changed (read, moved to, added, written, given up, deleted), once for each of these.
    void DataChange(TField *Field);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    enum class Kind { Edit, Combo, Check, DateTime, Memo, Label };
    struct Link
    {
        QPointer<QWidget> control;
        QString field;
        Kind kind;
        QPointer<DateTimeTyping> typing; // of a date-time edit
    };

    void add(QWidget *control, const QString &field, Kind kind);
    void changed(TField *field, bool recordChanged = true);
    bool hasNoRow() const;
    static void releaseHeldChanges();
    void show(const Link &link);
    void writeText(QWidget *control, const QString &text);
    void writeCheck(QWidget *control, bool checked);
    void writeDateTime(QWidget *control);
    template <class Fn> void write(QWidget *control, Fn store);
    const Link *linkOf(const QObject *control) const;
    QString refusal(const TField &f, double value, const QString &text) const;
    void writeTypedDateTime(QDateTimeEdit *edit, const DateTimeTyping::Result &typed);

    QPointer<DbQuery> m_dataSet;
    std::vector<Link> m_links;
    QHash<QString, TFieldGetTextEvent> m_getText;       // by lower-case field name
    QHash<QString, std::pair<double, double>> m_ranges; // by lower-case field name
    QWidget *m_writer = nullptr;                        // the control whose change is being stored
    bool m_showing = false;
    // The control being typed in, its field's value before the typing, and what is said of the text it
    // refused (null while it refuses nothing).
    QPointer<QWidget> m_typing;
    QVariant m_typingValue;
    QString m_refused;
    QHash<const QWidget *, int> m_memoRooms; // the characters each memo takes, 0 for no limit
    std::vector<QPointer<QWidget>> m_escapes;
    bool m_rowsOnlyAdded = false;
    bool m_changeHeld = false;
};

// Widths of the grid's columns from the table, by the field name each column shows (its header). The
// table's widths were made for a narrower font: a column whose header or texts need more is widened to
// show them whole, to no more than the table's widest column.
void ApplyColumnWidths(QTableView *Grid, const tcwarr &Cols);
