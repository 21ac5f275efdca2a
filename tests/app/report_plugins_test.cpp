#include "app/main/report_plugins.h"
#include "support/program_env.h"

#include <QFile>
#include <QLibrary>
#include <QRegularExpression>

namespace {

class ReportPluginsTest : public ::testing::Test
{
protected:
    // Puts the built plug-in `kind` into the program folder as plugins/<name> and loads the folder's.
    QString install(const char *kind, const char *name)
    {
        QDir(dir.path()).mkpath(QStringLiteral("plugins"));
        const QString target = dir.base() + QStringLiteral("plugins/") + QLatin1String(name);
        EXPECT_TRUE(QFile::copy(QStringLiteral(BRENVALE_TEST_PLUGIN_DIR "/%1.so").arg(kind), target)) << kind;
        return target;
    }
    QStringList load()
    {
        loader.LoadReportPlugins(dir.base(), nullptr);
        QStringList out;
        for (const auto &msg : messages.messages()) {
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
    const QString first = install("nogetids", "a.so");
    install("good", "b.so");
    const QStringList shown = load();
    ASSERT_EQ(shown.size(), 1);
    expectWithErrorCode(
        shown[0], QStringLiteral("GetProcAddress: ошибка загрузки ") + first +
                      QStringLiteral(" (GetProcAddress вернула 0/nil/NULL)\rНе найдена экспортируемая "
                                     "функция getids. Библиотека не будет загружена!\rGetLastError()="));
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
    const QString failing = install("getidsfail", "alpha.so");
    install("good", "Zeta.so");
    EXPECT_EQ(load(),
              QStringList{failing + QStringLiteral(": getids: неожиданная ошибка.\rОтчёт №1 пропускается.")});
    ASSERT_EQ(loader.plugins().size(), 2u);
    const tpl_interface &p = loader.plugins()[0];
    EXPECT_EQ(p.shutdowndl, nullptr); // an optional export
    ASSERT_EQ(p.ids.size(), 3u);
    EXPECT_EQ(p.ids[1], TReportDescriptor{});
    EXPECT_EQ(p.ids[2][0], 'c');
    EXPECT_EQ(loader.reports(), (std::vector<TReportRef>{{0, 0}, {0, 2}, {1, 0}, {1, 1}}));
}

TEST_F(ReportPluginsTest, UnloadableAndEmptyLibrariesAreEachReportedOnce)
{
    EXPECT_TRUE(load().isEmpty()); // no plug-in folder at all
    const QString empty = install("noreports", "b.so");
    const QString broken = dir.base() + QStringLiteral("plugins/a.so");
    ASSERT_TRUE(writeBytes(broken, "not a library"));
    install("good", "c.so");
    ASSERT_TRUE(
        writeBytes(dir.base() + QStringLiteral("plugins/readme.txt"), "other files are not plug-ins"));
    const QStringList shown = load();
    ASSERT_EQ(shown.size(), 2);
    expectWithErrorCode(shown[0], QStringLiteral("LoadLibrary: ошибка загрузки ") + broken +
                                      QStringLiteral(" (LoadLibrary вернула 0/nil/NULL)\r"
                                                     "Библиотека не будет загружена!\rGetLastError()="));
    EXPECT_EQ(
        shown[1],
        QStringLiteral("Библиотека ") + empty +
            QStringLiteral(" не содержит правильного набора функций отчёта.\rОна не будет использована."));
    ASSERT_EQ(loader.plugins().size(), 1u);
    EXPECT_TRUE(loader.plugins()[0].library->fileName().endsWith(QStringLiteral("c.so")));
    EXPECT_EQ(loader.reports(), (std::vector<TReportRef>{{0, 0}, {0, 1}}));
    loader.FreeReportPlugins();
    EXPECT_TRUE(loader.plugins().empty() && loader.reports().empty());
}

} // namespace
