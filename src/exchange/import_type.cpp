#include "exchange/import_type.h"

QStringList ImportTypeItems()
{
    return {QStringLiteral("Paradox"), QStringLiteral("Excel"), QStringLiteral("Текст"),
            QStringLiteral("ORX"), QStringLiteral("Текст KRV")};
}

ImportTypeKeys ImportTypeSettingsKeys(int importType)
{
    switch (importType) {
    case ImportParadox:
        return {{QStringLiteral("in_file_jet")}, {QStringLiteral("smpjet")}, {QStringLiteral("?")}};
    case ImportExcel:
        return {{QStringLiteral("in_excel")}, {QStringLiteral("smpxls")}, {QStringLiteral("?")}};
    case ImportText:
        return {{QStringLiteral("in_event"), QStringLiteral("in_stbul"), QStringLiteral("in_xmadd")},
                {QStringLiteral("smpev"), QStringLiteral("smpst"), QStringLiteral("smpxm")},
                {QStringLiteral("Events?"), QStringLiteral("Station_bulletin?"), QStringLiteral("Xm_Add?")}};
    case ImportOrv:
        return {{QStringLiteral("in_orv")}, {QStringLiteral("smporx")}, {QStringLiteral("orx?")}};
    case ImportKrv:
        return {{QStringLiteral("in_krv")}, {QStringLiteral("smpkrv")}, {QStringLiteral("tab_?")}};
    default:
        return {};
    }
}
