#pragma once

#include "lib/dataset_api.h"
#include "lib/datetime.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

// Conditions on the columns of the ORX tables origin and arrival, kept in sections "origin" and "arrival"
// of the main INI file. Nothing in the program applies them yet; the dialog only edits, saves and loads.

struct tfildinfo
{
    QString name;
    FieldType type = FieldType::Unknown;
};
using tfildia = QList<tfildinfo>;

enum FilterValueKind : int { fkUnknown = 0, fkNumber = 1, fkText = 2, fkDate = 3, fkBoolean = 4 };

struct tfiltinfo
{
    bool IsOrigin = true;
    QString table; // "origin" or "arrival"
    int kind = fkUnknown;
    int firstControl = -1;
    QString field;
    int op = 0;
    QVariant value1, value2; // text of an edit, or a TDateTime of a date picker; empty when not needed
};
using tfiltia = QList<tfiltinfo>;

// The operator index that takes two values, for numbers and dates.
constexpr int OperatorBetween = 8;

int FilterValueKind(FieldType Type);
// The operators offered for a kind, in the order whose index is stored.
QStringList FilterOperators(int Kind);

// The stored value of a condition: the operator, then its values quoted (quotes doubled); dates as
// "dd.mm.yyyy".
QString FilterIniValue(const tfiltinfo &Condition);
// The tokens of a stored value: split at blanks, double quotes quoting.
QStringList FilterIniTokens(const QString &Value);
