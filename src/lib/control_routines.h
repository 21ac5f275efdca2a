#pragma once

#include <QEvent>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QComboBox;
class QDateTimeEdit;
class QLabel;
class QLineEdit;
class QTableWidget;
class QWidget;
class TDataSet;
class TField;

// Handlers as the run-time controls take them: the sender, and for keys the key code and modifiers.
// A key handler that sets Key to 0 swallows the key.
using TNotifyEvent = std::function<void(QObject *Sender)>;
using TKeyEvent = std::function<void(QObject *Sender, int &Key, Qt::KeyboardModifiers Shift)>;

// The control's Tag: a number the program keeps on a control; above 0 it marks a change by the user,
// and handlers use it to tell the program's own changes from the user's.
int ControlTag(const QObject *Control);
void SetControlTag(QObject *Control, int Tag);

// Each creates the control on Parent (which owns it), named Name, at Left/Top with Width, and with Height
// only when it is 0 or more: a negative Height keeps the control's default height. The font is the
// parent's at creation and no longer follows it.
void CreateLabel(QLabel *&Lbl, QWidget *Parent, const QString &Name, int Left, int Top, int Width, int Height,
                 TNotifyEvent OnClick);
// OnChange also serves as the exit handler; OnKeyDown gets every key pressed in the control.
void CreateEdit(QLineEdit *&Ed, QWidget *Parent, const QString &Name, int Left, int Top, int Width,
                int Height, TNotifyEvent OnChange, TKeyEvent OnKeyDown);
// A drop-down list: the user picks an item, there is no text to type. OnChange runs on the user's choice.
void CreateComboBox(QComboBox *&Cb, QWidget *Parent, const QString &Name, int Left, int Top, int Width,
                    int Height, TNotifyEvent OnChange, TKeyEvent OnKeyDown);
void CreateDateTimePicker(QDateTimeEdit *&Dtp, QWidget *Parent, const QString &Name, int Left, int Top,
                          int Width, int Height, TNotifyEvent OnChange, TKeyEvent OnKeyDown);

// Runs Handler whenever an event of Type reaches Target, which goes on handling it as usual; the
// watcher lives as long as Target. For the events Qt widgets have no signals for.
void OnEvent(QObject *Target, QEvent::Type Type, std::function<void()> Handler);

void SetVisibleAll(const QList<QWidget *> &Controls, bool Value);
void SetEnabledAll(const QList<QWidget *> &Controls, bool Value);
void SetLeftAll(const QList<QWidget *> &Controls, int Value);
void SetWidthAll(const QList<QWidget *> &Controls, int Value);
void SetTopAll(const QList<QWidget *> &Controls, int Value);

// Centres Control vertically on Ref (a label beside an edit).
void CenterVert(QWidget *Control, const QWidget *Ref);

// Row height := height of "ABCDEFGH" in the grid's font + margin; each column as wide as its widest text
// (its header text included) + margin, at least 8. The margin defaults to twice the grid line width + 3.
void AutoSizeGridCols(QTableWidget *Grid, std::optional<int> Margin = std::nullopt);

// One entry of a name list filled from a query: the name and the index of its code in the code list.
struct TCodedName
{
    QString Name;
    int CodeIndex = -1;
    bool operator==(const TCodedName &) const = default;
};
using TCodedNames = QList<TCodedName>;

// Empties both lists and opens SQL on Query (through QAct, with its message on failure); each row adds
// its second column to Codes and its first column to Names. The query is closed afterwards.
void FillListFromQuery(TDataSet &Query, TCodedNames &Names, QStringList &Codes, const QString &SQL);

// Transfers that act only on a control the user touched (Tag above 0).
// Empty text -> NULL; a number (an integer when AsInteger) -> the value; other text leaves the field.
void EditToField(const QLineEdit *Edit, TField *Field, bool AsInteger);
// The date of DatePicker with the time of TimePicker; a value within 0.1 s of zero -> NULL.
void PickersToField(const QDateTimeEdit *DatePicker, const QDateTimeEdit *TimePicker, TField *Field);

// The truth of a field whatever its type holds it as.
bool FieldAsBool(const TField *Field);
// Puts DataSet (the field's) into edit mode and stores Value in the field's own terms; does not post.
void SetFieldBool(TDataSet &DataSet, TField *Field, bool Value);
