#pragma once

// The program as main() sets it up on a freshly written demo folder, for the tests of the demo tool.

#include "app/main/fade_animation.h"
#include "demo_data.h"
#include "exchange/orv/orv_export_command.h"
#include "exchange/orx_copy/orx_copy.h"
#include "exchange/page/import_page.h"
#include "exchange/text/data_format_dialog.h"
#include "products/report_window.h"
#include "products/summary_command.h"
#include "program_setup.h"
#include "support/program_env.h"

#include <gtest/gtest.h>

// The program as main() sets it up, on a demo folder: every command installed, the ORX database found
// through the demo's orx.ini, the window shown and its fade run to the end. No message may appear.
struct DemoProgram
{
    TestDir dir;
    DemoSummary demo;
    MessageRecorder recorder;
    std::unique_ptr<Tdm> dm;
    std::unique_ptr<Tmainf> w;

    explicit DemoProgram(const DemoParams &params) : demo(GenerateDemoFolder(dir.path(), params))
    {
        qputenv("ORX_INI_DIR", dir.file(QStringLiteral("system")).toUtf8());
        dm = std::make_unique<Tdm>();
        InstallProgramCommands();
        w = startMainWindow(dir.path());
        SetImportPageInstaller(nullptr);
        w->show();
        finishFade();
    }
    ~DemoProgram()
    {
        w.reset();
        dm.reset();
        qunsetenv("ORX_INI_DIR");
        for (const auto &m : recorder.messages())
            ADD_FAILURE() << m.text.toStdString();
    }
    // Runs the window's fade to its end, as its timer would.
    void finishFade()
    {
        for (int i = 0; i < 100 && w->fade().fading(); ++i)
            w->fade().tick();
    }
};
