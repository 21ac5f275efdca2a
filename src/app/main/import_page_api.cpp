#include "app/main/import_page_api.h"

namespace {
ImportPageInstaller g_installer = nullptr;
}

void SetImportPageInstaller(ImportPageInstaller installer)
{
    g_installer = installer;
}

ImportPageInstaller importPageInstaller()
{
    return g_installer;
}
