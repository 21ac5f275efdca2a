#include "app/main/appearance.h"

namespace {
AppearanceHook g_hook = nullptr;
}

void ApplyUserAppearance(QWidget *form, FormKind kind)
{
    if (g_hook)
        g_hook(form, kind);
}

void SetAppearanceHook(AppearanceHook hook)
{
    g_hook = hook;
}
