#include "app/data_module.h"
#include "app/main_window.h"
#include "app/param_dialog.h"
#include "demo_data.h"
#include "lib/codec.h"
#include "products/summary_command.h"
#include "products/summary_editor.h"
#include "support/test_support.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateEdit>
#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

// "Создать сводку" on the bulletin event page of a demo station, with the test answering the parameter
// dialog and the summary editor the way an analyst would.
TEST(SummaryCommand, RunsEndToEndFromTheEventPage)
{
    TestDir dir;
    DemoParams params;
    params.stations = 2;
    params.days = 3;
    params.lastDay = QDate(2026, 2, 5);
    params.eventsPerDay = 4;
    GenerateDemoFolder(dir.path(), params);
    const QString out = dir.file(QStringLiteral("out"));
    ASSERT_TRUE(QDir().mkpath(out));
    qputenv("ORX_INI_DIR", dir.file(QStringLiteral("system")).toLocal8Bit());

    MessageRecorder messages;
    Tdm dm;
    InstallSummaryCommand();
    TmainfOptions options;
    options.programFolder = dir.base();
    options.arguments = QStringList();
    Tmainf w(options);
    ASSERT_EQ(w.curCode, QStringLiteral("PET"));

    QString editorText;
    bool dialogAnswered = false;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        if (auto *par = qobject_cast<Tpar *>(modal)) {
            par->svodka_Date->setDate(QDate(2026, 2, 5));
            par->dir->setText(out);
            par->mail_send->setChecked(false);
            dialogAnswered = true;
            par->Button1->click();
        } else if (auto *editor = qobject_cast<Tsveditor *>(modal)) {
            editorText = editor->re->toPlainText();
            editor->Button1->click();
        }
    });
    answer.start(10);
    w.findChild<QPushButton *>(QStringLiteral("Svodka"))->click();
    answer.stop();

    EXPECT_TRUE(dialogAnswered);
    EXPECT_EQ(messages.count(), 0) << messages.last().text.toStdString();
    // PET, 5 February 2026: day 036 of a year ending in 6.
    const QByteArray bytes = readBytes(out + QStringLiteral("/PET_036"));
    ASSERT_FALSE(bytes.isEmpty());
    EXPECT_TRUE(bytes.startsWith("SEISMO N6036 ")) << bytes.left(40).toStdString();
    EXPECT_TRUE(bytes.endsWith("STOP\r\n"));
    EXPECT_EQ(fromCp1251(bytes).left(20), editorText.left(20));
    EXPECT_EQ(w.sett.svodka_dir, out);
    qunsetenv("ORX_INI_DIR");
}

} // namespace
