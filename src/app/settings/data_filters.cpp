#include "app/settings/data_filters.h"

namespace {

QString quoted(const QString &s)
{
    return QLatin1Char('"') + QString(s).replace(QStringLiteral("\""), QStringLiteral("\"\"")) +
           QLatin1Char('"');
}

QString dateText(const QVariant &v)
{
    return v.isValid() ? FormatDateTime(QStringLiteral("dd.mm.yyyy"), v.toDouble()) : QString();
}

} // namespace

int FilterValueKind(FieldType Type)
{
    if (IsIntegerFieldType(Type) || IsFloatFieldType(Type))
        return fkNumber;
    if (IsStringFieldType(Type))
        return fkText;
    if (IsDateFieldType(Type))
        return fkDate;
    if (Type == FieldType::Boolean)
        return fkBoolean;
    return fkUnknown;
}

QStringList FilterOperators(int Kind)
{
    const QStringList common = {QStringLiteral("< задано >"), QStringLiteral("< не задано >")};
    switch (Kind) {
    case fkNumber:
        return common +
               QStringList{QStringLiteral("="),     QStringLiteral("не равно"), QStringLiteral("<="),
                           QStringLiteral("<"),     QStringLiteral(">="),       QStringLiteral(">"),
                           QStringLiteral("между"), QStringLiteral("одно из"),  QStringLiteral("ни одно из")};
    case fkText:
        return common +
               QStringList{QStringLiteral("содержит"), QStringLiteral("равно"), QStringLiteral("не равно")};
    case fkDate:
        return common +
               QStringList{
                   QStringLiteral("равно"), QStringLiteral("не равно"),        QStringLiteral("до или равно"),
                   QStringLiteral("до"),    QStringLiteral("после или равно"), QStringLiteral("после"),
                   QStringLiteral("между")};
    case fkBoolean:
        return common + QStringList{QStringLiteral("да/есть/истина"), QStringLiteral("нет/ложь")};
    default:
        return {QStringLiteral("< ??? >")};
    }
}

QString FilterIniValue(const tfiltinfo &Condition)
{
    QString v = QString::number(Condition.op);
    const bool between = Condition.op == OperatorBetween;
    switch (Condition.kind) {
    case fkNumber:
        v += QLatin1Char(' ') + quoted(Condition.value1.toString());
        if (between)
            v += QLatin1Char(' ') + quoted(Condition.value2.toString());
        break;
    case fkText:
        v += QLatin1Char(' ') + quoted(Condition.value1.toString());
        break;
    case fkDate:
        v += QLatin1Char(' ') + quoted(dateText(Condition.value1));
        if (between)
            v += QLatin1Char(' ') + quoted(dateText(Condition.value2));
        break;
    default:
        break;
    }
    return v;
}

QStringList FilterIniTokens(const QString &Value)
{
    QStringList tokens;
    qsizetype i = 0;
    const qsizetype n = Value.size();
    while (i < n) {
        while (i < n && Value[i] == QLatin1Char(' '))
            ++i;
        if (i >= n)
            break;
        QString token;
        if (Value[i] == QLatin1Char('"')) {
            ++i;
            while (i < n) {
                if (Value[i] == QLatin1Char('"')) {
                    if (i + 1 < n && Value[i + 1] == QLatin1Char('"')) {
                        token += QLatin1Char('"');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                token += Value[i++];
            }
        } else {
            while (i < n && Value[i] != QLatin1Char(' '))
                token += Value[i++];
        }
        tokens << token;
    }
    return tokens;
}
