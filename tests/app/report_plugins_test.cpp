#include "app/main/report_plugins.h"
#include "support/program_env.h"

#include <QFile>
#include <QLibrary>
#include <QRegularExpression>

namespace {

class ReportPluginsTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("plugins"))); }

    // Puts the built plug-in `kind` into the program folder as plugins/<name>.
    QString install(const QString &kind, const QString &name)
    {
        const QString target = dir.base() + QStringLiteral("plugins/") + name;
        EXPECT_TRUE(
            QFile::copy(QStringLiteral(BRENVALE_TEST_PLUGIN_DIR "/") + kind + QStringLiteral(".so"), target))
            << kind.toStdString();
        return target;
    }

    static QStringList texts(const MessageRecorder &m)
    {
        QStringList out;
        for (const auto &msg : m.messages()) {
            EXPECT_EQ(msg.icon, 48u) << msg.text.toStdString();
            out << msg.text;
        }
        return out;
    }

    TestDir dir;
    MessageRecorder messages;
    ReportPlugins loader;
};

// The platform's error code closes these messages; only its form is fixed.
void expectWithErrorCode(const QString &text, const QString &expectedBeforeCode)
{
    ASSERT_TRUE(text.startsWith(expectedBeforeCode)) << text.toStdString();
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral("^\\d+$")).match(text.mid(expectedBeforeCode.size())).hasMatch())
        << text.toStdString();
}

TEST_F(ReportPluginsTest, LibraryWithoutGetidsIsSkippedAndTheNextTakesSlotZero)
{
    const QString first = install(QStringLiteral("nogetids"), QStringLiteral("a.so"));
    install(QStringLiteral("good"), QStringLiteral("b.so"));
    loader.LoadReportPlugins(dir.base(), nullptr);

    const QStringList shown = texts(messages);
    ASSERT_EQ(shown.size(), 1);
    expectWithErrorCode(shown[0], QStringLiteral("GetProcAddress: ошибка загрузки ") + first +
                                      QStringLiteral(" (GetProcAddress вернула 0/nil/NULL)\r"
                                                     "Не найдена экспортируемая функция getids. "
                                                     "Библиотека не будет загружена!\rGetLastError()="));
    ASSERT_EQ(loader.plugins().size(), 1u);
    const tpl_interface &p = loader.plugins()[0];
    EXPECT_TRUE(p.library->fileName().endsWith(QStringLiteral("b.so")));
    EXPECT_NE(p.mainfunc, nullptr);
    EXPECT_NE(p.shutdowndl, nullptr);
    ASSERT_EQ(p.ids.size(), 2u);
    EXPECT_EQ(p.ids[1][163], 'b');
    EXPECT_EQ(loader.reports(), (std::vector<TReportRef>{{0, 0}, {0, 1}}));
}

TEST_F(ReportPluginsTest, FailedReportIsSkippedAndOthersKeepTheirIndexes)
{
    // Sorted without regard to case: "alpha" before "Zeta".
    const QString failing = install(QStringLiteral("getidsfail"), QStringLiteral("alpha.so"));
    install(QStringLiteral("good"), QStringLiteral("Zeta.so"));
    loader.LoadReportPlugins(dir.base(), nullptr);

    EXPECT_EQ(texts(messages),
              QStringList{failing + QStringLiteral(": getids: неожиданная ошибка.\rОтчёт №1 пропускается.")});
    ASSERT_EQ(loader.plugins().size(), 2u);
    const tpl_interface &p = loader.plugins()[0];
    EXPECT_EQ(p.shutdowndl, nullptr); // an optional export
    ASSERT_EQ(p.ids.size(), 3u);
    EXPECT_EQ(p.ids[0][0], 'a');
    EXPECT_EQ(p.ids[1], TReportDescriptor{});
    EXPECT_EQ(p.ids[2][0], 'c');
    EXPECT_EQ(loader.reports(), (std::vector<TReportRef>{{0, 0}, {0, 2}, {1, 0}, {1, 1}}));
}

TEST_F(ReportPluginsTest, UnloadableAndEmptyLibrariesAreEachReportedOnce)
{
    const QString broken = dir.base() + QStringLiteral("plugins/a.so");
    ASSERT_TRUE(writeBytes(broken, "not a library"));
    const QString empty = install(QStringLiteral("noreports"), QStringLiteral("b.so"));
    install(QStringLiteral("good"), QStringLiteral("c.so"));
    ASSERT_TRUE(
        writeBytes(dir.base() + QStringLiteral("plugins/readme.txt"), "other files are not plug-ins"));
    loader.LoadReportPlugins(dir.base(), nullptr);

    const QStringList shown = texts(messages);
    ASSERT_EQ(shown.size(), 2);
    expectWithErrorCode(shown[0], QStringLiteral("LoadLibrary: ошибка загрузки ") + broken +
                                      QStringLiteral(" (LoadLibrary вернула 0/nil/NULL)\r"
                                                     "Библиотека не будет загружена!\rGetLastError()="));
    EXPECT_EQ(shown[1], QStringLiteral("Библиотека ") + empty +
                            QStringLiteral(" не содержит правильного набора функций отчёта.\r"
                                           "Она не будет использована."));
    ASSERT_EQ(loader.plugins().size(), 1u);
    EXPECT_TRUE(loader.plugins()[0].library->fileName().endsWith(QStringLiteral("c.so")));
    EXPECT_EQ(loader.reports(), (std::vector<TReportRef>{{0, 0}, {0, 1}}));

    loader.FreeReportPlugins();
    EXPECT_TRUE(loader.plugins().empty());
    EXPECT_TRUE(loader.reports().empty());
}

TEST(ReportPlugins, NoPluginsFolderGivesNothingAndNoMessage)
{
    TestDir dir;
    MessageRecorder messages;
    ReportPlugins loader;
    loader.LoadReportPlugins(dir.base(), nullptr);
    EXPECT_TRUE(loader.plugins().empty());
    EXPECT_TRUE(loader.reports().empty());
    EXPECT_EQ(messages.count(), 0);
}

} // namespace
