#include "app/main/main_window.h"

#include "app/main/diagnostics_page.h"
#include "app/main/hint_timings.h"
#include "app/main/product_commands.h"
#include "app/settings/connection_dialog.h"
#include "app/settings/data_filters_dialog.h"
#include "app/settings/settings_dialog.h"

#include <QPushButton>

// The settings page's two dialogs, the summary button of the ORX event page and the network panel's
// bound. Each dialog lives for its own modal run; the reload happens after it has gone.

void Tmainf::connectDialogButtons()
{
    const auto clicked = [this](const char *name, auto handler) {
        if (auto *b = findChild<QPushButton *>(QString::fromLatin1(name)))
            connect(b, &QPushButton::clicked, this, handler);
    };
    clicked("Button15", &Tmainf::Button15Click);
    clicked("Button26", &Tmainf::Button26Click);
    clicked("Button24", &Tmainf::Svodka_Click);
    // The summaries are another library's; until the program installs the one of the mode in force, the
    // summary button of the ORX page stays off.
    if (auto *summary = findChild<QPushButton *>(QStringLiteral("Button24"))) {
        const auto enable = [this, summary] {
            const ProductCommands &commands = productCommands();
            summary->setEnabled(bool(sett.fullorx ? commands.orxSvodka : commands.svodka));
        };
        enable();
        connect(pgc1, &QTabWidget::currentChanged, summary, enable);
    }
    clicked("Button35", &Tmainf::Button35Click);
    InstallHintTimings();
    new DiagnosticsPage(*this, TabSheet3);
}

void Tmainf::Button15Click()
{
    reloadRequested = false;
    {
        TSetts dialog(*this, this);
        dialog.exec();
    }
    if (reloadRequested) {
        reloadRequested = false;
        Reload();
    }
}

void Tmainf::Button26Click()
{
    reloadRequested = false;
    {
        Tcpar dialog(*this, this);
        dialog.exec();
    }
    if (reloadRequested) {
        reloadRequested = false;
        Reload();
    }
}

void Tmainf::Button35Click()
{
    Tfilt dialog(*this, this);
    dialog.exec();
}

int Tmainf::Splitter2CanResize(int NewWidth) const
{
    int width = qMax(2, NewWidth);
    if (auto *button5 = findChild<QWidget *>(QStringLiteral("Button5")))
        width = qMin(width, qMax(2, button5->x() + button5->width()));
    return width;
}
