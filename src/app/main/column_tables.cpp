#include "app/main/column_tables.h"

tcwarr OriginColumnTable()
{
    const QString comment = QStringLiteral("Комментарий");
    return {
        {QStringLiteral("eventid"), QStringLiteral("Идентификатор события"), 92},
        {QStringLiteral("lat"), QStringLiteral("Широта"), 44},
        {QStringLiteral("lon"), QStringLiteral("Долгота"), 44},
        {QStringLiteral("depth"), QStringLiteral("Глубина, км"), 44},
        {QStringLiteral("origintime"), QStringLiteral("Время в очаге"), 115},
        {QStringLiteral("rms"), QString(), 35},
        {QStringLiteral("dh"), QString(), 35},
        {QStringLiteral("dz"), QString(), 35},
        {QStringLiteral("comment"), comment, 312},
        {QStringLiteral("lddate"), QStringLiteral("Дата создания"), 112},
        {QStringLiteral("orid"), QString(), 44},
        {QStringLiteral("mb"), QStringLiteral("Магнитуда MB"), 44},
        {QStringLiteral("mbunc"), QString(), 44},
        {QStringLiteral("ms"), QStringLiteral("Магнитуда MS"), 44},
        {QStringLiteral("msunc"), QString(), 44},
        {QStringLiteral("comments"), comment, 312},
        {QStringLiteral("comments_"), comment, 312},
        {QStringLiteral("coment"), comment, 312},
        {QStringLiteral("coments"), comment, 312},
        {QStringLiteral("coments_"), comment, 312},
    };
}

tcwarr ArrivalColumnTable()
{
    return {
        {QStringLiteral("nindex"), QString(), 40},
        {QStringLiteral("flag"), QString(), 20},
        {QStringLiteral("eventid"), QStringLiteral("Идентификатор события"), 92},
        {QStringLiteral("numb"), QString(), 32},
        {QStringLiteral("sta"), QStringLiteral("Код станции (внутренний)"), 40},
        {QStringLiteral("chan"), QStringLiteral("Код канала"), 37},
        {QStringLiteral("iphase"), QStringLiteral("Фаза"), 52},
        {QStringLiteral("itime"), QStringLiteral("Время наступления фазы"), 115},
        {QStringLiteral("deltim"), QString(), 36},
        {QStringLiteral("azimuth"), QStringLiteral("Азимут"), 44},
        {QStringLiteral("slow"), QString(), 44},
        {QStringLiteral("ema"), QString(), 44},
        {QStringLiteral("rect"), QString(), 44},
        {QStringLiteral("fm"), QStringLiteral("Направление первого движения"), 15},
        {QStringLiteral("im_em"), QStringLiteral("Точность"), 34},
        {QStringLiteral("per"), QStringLiteral("Период"), 44},
        {QStringLiteral("residuals"), QStringLiteral("Резидулы"), 50},
        {QStringLiteral("ampl"), QStringLiteral("Амплитуда"), 44},
        {QStringLiteral("lddate"), QStringLiteral("Дата создания"), 112},
        {QStringLiteral("wgt"), QStringLiteral("Вес"), 24},
        {QStringLiteral("arid"), QStringLiteral("Идентификатор в ARRIVAL"), 50},
        {QStringLiteral("ms"), QStringLiteral("Магнитуда MS"), 44},
        {QStringLiteral("mb"), QStringLiteral("Магнитуда MB"), 44},
        {QStringLiteral("amptime"), QStringLiteral("Время замера амплитуды"), 115},
        {QStringLiteral("dist"), QString(), 44},
        {QStringLiteral("coda"), QString(), 38},
        {QStringLiteral("regclass"), QStringLiteral("Класс"), 64},
        {QStringLiteral("mcoda"), QString(), 44},
        {QStringLiteral("mpsp"), QStringLiteral("Магнитуда MPSP"), 37},
        {QStringLiteral("mplp"), QStringLiteral("Магнитуда MPLP"), 35},
        {QStringLiteral("chantype"), QStringLiteral("Тип канала"), 62},
        {QStringLiteral("remark"), QString(), 312},
        {QStringLiteral("afiltype"), QString(), 107},
        {QStringLiteral("pfiltype"), QString(), 107},
        {QStringLiteral("mwa"), QString(), 44},
        {QStringLiteral("ml"), QString(), 44},
    };
}

int ColumnIndex(const tcwarr &Cols, const QString &FieldName)
{
    for (int i = 0; i < Cols.size(); ++i)
        if (Cols.at(i).field.compare(FieldName, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}
