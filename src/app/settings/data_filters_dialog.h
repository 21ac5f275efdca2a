#pragma once

#include "app/settings/data_filters.h"

#include <QDialog>

class QComboBox;
class QGroupBox;
class QPushButton;
class QScrollArea;
class Tfilt;
class Tmainf;

// The conditions shown in the dialog and the column lists of the two tables. Each condition owns five
// control controlSlots of the dialog: field combo, operator combo, first value, the label "и", second value.
class Tfilters
{
public:
    void SetOwner(Tfilt *Form) { m_owner = Form; }
    // Reads the column names and types of origin and arrival from the ORX database; without one the lists
    // stay empty (the reason has been shown).
    void LoadFieldLists(Tmainf &Main);
    int AddFilter(bool IsOrigin);
    // Removes the last condition of the group; nothing when it has none.
    void DeleteLast(bool IsOrigin);
    void ReadControls();
    // TableName compared lower-cased; empty writes every condition. EFileError when the file cannot be
    // written.
    void SaveToIni(const QString &IniPath, const QString &TableName);
    // EConvertError on an operator that is no integer; the conditions read before it stay.
    void LoadFromIni(const QString &IniPath, const QString &TableName);

    tfiltia Conditions;
    tfildia OriginFields, ArrivalFields;

    // Rebuild the controls of condition Index after its field or operator changed.
    void FieldChange(int Index);
    void OperatorChange(int Index);

private:
    QWidget *slot(int Index, int Offset) const;
    void setSlot(int Index, int Offset, QWidget *w);
    void freeSlot(int Index, int Offset);

    Tfilt *m_owner = nullptr;
};

// "Фильтры данных": conditions on origin (События) and arrival (Фазы), saved with 'Save' and read back
// with 'Load'; OK and Отмена only close.
class Tfilt : public QDialog
{
    Q_OBJECT
public:
    explicit Tfilt(Tmainf &Main, QWidget *owner = nullptr);

    QGroupBox *GroupBox1 = nullptr, *GroupBox2 = nullptr;
    QScrollArea *scbo = nullptr, *scba = nullptr;
    QPushButton *ori_add = nullptr, *ori_del = nullptr, *arr_add = nullptr, *arr_del = nullptr;
    QPushButton *save = nullptr, *load = nullptr, *ok = nullptr, *cancel = nullptr;

    Tfilters filters;
    void saveClick();
    void loadClick();

    // The control controlSlots, five per condition; a freed slot stays, marked empty.
    struct Slot
    {
        QWidget *control = nullptr;
        bool empty = true;
    };
    QList<Slot> controlSlots;
    int tops[2] = {4, 4}; // running top of the origin and the arrival box

private:
    Tmainf &m_main;
};
