// The program started on a freshly written demo folder, as scripts/run starts it.

#include "demo_data.h"

#include "app/main/fade_animation.h"
#include "exchange/import_page.h"
#include "support/program_env.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// Runs the window's fade to its end, as its timer would.
void finishFade(Tmainf &w)
{
    for (int i = 0; i < 100 && w.fade().fading(); ++i)
        w.fade().tick();
}

} // namespace

TEST(DemoStart, SwitchingStationsAndClosingShowNoMessage)
{
    TestDir dir;
    DemoParams params;
    params.stations = 3;
    params.days = 2;
    params.eventsPerDay = 2;
    const DemoSummary demo = GenerateDemoFolder(dir.path(), params);

    MessageRecorder recorder;
    {
        Tdm dm;
        SetImportPageInstaller(&InstallImportPage);
        auto w = startMainWindow(dir.path());
        SetImportPageInstaller(nullptr);
        w->show();
        finishFade(*w);
        ASSERT_EQ(w->stas->count(), demo.stationCodes.size());
        // Every station once, then back to the first: each change saves the previous station's formats.
        QStringList visited;
        for (int row : {1, 2, 0}) {
            w->stas->setCurrentRow(row);
            w->StationChanged(true);
            EXPECT_EQ(w->curCode, w->stations.at(w->stas->item(row)->data(Qt::UserRole).toInt()).code);
            visited << w->curCode;
        }
        visited.sort();
        QStringList codes = demo.stationCodes;
        codes.sort();
        EXPECT_EQ(visited, codes);
        EXPECT_FALSE(w->close());
        finishFade(*w);
        EXPECT_EQ(w->CloseAction, 2);
    }
    for (const auto &m : recorder.messages())
        ADD_FAILURE() << m.text.toStdString();
    for (const QString &code : demo.stationCodes)
        EXPECT_TRUE(QFileInfo::exists(dir.file(u"specs/%1.spe"_s.arg(code)))) << code.toStdString();
}
