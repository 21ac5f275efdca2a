#include "app/settings/connection_params.h"

QString GetOrxProvider(const Tsett &sett)
{
    return sett.dbtype == 1 ? ProviderOracle : ProviderOdbc;
}

ConnParams GetOrxConnParams(const Tsett &sett, bool mainOrxini, const OrxIniParams &orxIni)
{
    if (sett.dbtype == 0 && mainOrxini)
        return {orxIni.source, orxIni.user, orxIni.password};
    return {sett.ORX_source, sett.ORX_user, sett.ORX_pass};
}

bool IsDirectMode(const Tsett &sett)
{
    return sett.start_mode == 0 && sett.directORXwr;
}

ConnectionSetup ComputeConnectionSetup(const Tsett &sett)
{
    ConnectionSetup setup;
    // Oracle's provider never takes "Mode=ReadWrite"; a dbtype outside 0 and 1 is ODBC for the provider but
    // keeps the plain template.
    setup.orxProvider = GetOrxProvider(sett);
    setup.orxTemplate = sett.dbtype == 0 ? TemplateReadWrite : TemplatePlain;
    setup.direct = IsDirectMode(sett);
    if (setup.direct) {
        setup.label27Caption = QStringLiteral("2. *ORX*");
        setup.showAccessFile = false;
        setup.showSourceCombo = false;
        setup.dbsProvider = setup.orxProvider;
        setup.dbsTemplate = setup.orxTemplate;
    } else {
        setup.label27Caption = QStringLiteral("2.");
        setup.dbsTemplate = TemplateReadWrite;
        if (sett.out_provider == 0) {
            setup.showAccessFile = true;
            setup.showSourceCombo = false;
            setup.dbsProvider = ProviderJet;
        } else {
            setup.showAccessFile = false;
            setup.showSourceCombo = true;
            setup.dbsProvider = ProviderOdbc;
        }
        // The ORX-only mode imports into the ORX database: the page names no station bulletin as its
        // target.
        if (sett.fullorx) {
            setup.label27Caption = QStringLiteral("2. *ORX*");
            setup.showAccessFile = false;
            setup.showSourceCombo = false;
        }
    }
    return setup;
}
