#include "app/settings/param_dialog.h"
#include "demo_data.h"
#include "lib/codec.h"
#include "products/summary_command.h"
#include "products/summary_editor.h"
#include "support/program_env.h"
#include "support/smtp_server.h"

#include <QDateEdit>
#include <QJsonObject>
#include <QPlainTextEdit>
#include <QRegularExpression>

namespace {

// "Создать сводку" of the ORX-only page on a demo folder started in ORX-only mode: the dialog, the
// summary from ORX, the editor and the mail to a local SMTP server.
TEST(OrxSummaryCommand, RunsEndToEndInOrxOnlyMode)
{
    TestDir dir;
    DemoParams params;
    params.stations = 2;
    params.days = 3;
    params.lastDay = QDate(2026, 2, 5);
    params.eventsPerDay = 4;
    GenerateDemoFolder(dir.path(), params);
    const QString ini = dir.file(QStringLiteral("system/Brenvale.ini"));
    QString settings = fromCp1251(readBytes(ini));
    settings.replace(QRegularExpression(QStringLiteral("fullorx=[^\r\n]*")), QStringLiteral("fullorx=1"));
    ASSERT_TRUE(writeBytes(ini, toCp1251(settings)));
    const QString out = dir.file(QStringLiteral("out"));
    QDir().mkpath(out);
    qputenv("ORX_INI_DIR", dir.file(QStringLiteral("system")).toLocal8Bit());
    const auto unset = qScopeGuard([] { qunsetenv("ORX_INI_DIR"); });

    MessageRecorder messages;
    Tdm dm;
    InstallSummaryCommand();
    auto w = startMainWindow(dir.base());
    ASSERT_TRUE(w->sett.fullorx);
    ASSERT_FALSE(w->curCode.isEmpty());
    TestDir received;
    SmtpServer server(received.path());
    ASSERT_GT(server.port(), 0) << server.error().toStdString();
    w->sett.smtp_host = QStringLiteral("127.0.0.1");
    w->sett.smtp_port = server.port();
    w->sett.mails_global = false;
    w->sett.mails_from = QStringLiteral("orx@seismo.ru");
    w->sett.mails_recv = QStringLiteral("svodka@seismo.ru");
    w->sett.mails_subj = QStringLiteral("Сводка ORX");
    w->sett.mails_att = false;
    w->sett.svset = 0;

    QString editorText;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        if (auto *par = qobject_cast<Tpar *>(modal)) {
            par->svodka_Date->setDate(QDate(2026, 2, 5));
            par->dir->setText(out);
            par->mail_send->setChecked(true);
            par->Button1->click();
        } else if (auto *editor = qobject_cast<Tsveditor *>(modal)) {
            editorText = editor->re->toPlainText();
            editor->Button1->click();
        }
    });
    answer.start(10);
    auto *button = w->findChild<QPushButton *>(QStringLiteral("Button24"));
    ASSERT_NE(button, nullptr);
    button->click();
    answer.stop();

    ASSERT_GE(messages.count(), 1);
    // One click, one run: a second handler on the button would summarise and mail twice.
    EXPECT_EQ(std::count_if(messages.messages().begin(), messages.messages().end(),
                            [](const auto &m) { return m.text.startsWith(QStringLiteral("Готово!")); }),
              1);
    EXPECT_TRUE(
        messages.last().text.startsWith(QStringLiteral("Готово!\rСводка успешно отправлена по почте.")))
        << messages.last().text.toStdString();
    // The current station's code and day 036 of a year ending in 6; lines end with a line feed alone.
    const QString text = fromCp1251(readBytes(out + QLatin1Char('/') + w->curCode + QStringLiteral("_6036")));
    EXPECT_TRUE(text.startsWith(QStringLiteral("SEISMO N6036 "))) << text.left(60).toStdString();
    EXPECT_TRUE(text.endsWith(QStringLiteral("\nSTOP\n")));
    EXPECT_FALSE(text.contains(QLatin1Char('\r')));
    EXPECT_GT(text.count(QLatin1Char('\n')), 3);
    EXPECT_EQ(editorText.left(40), text.left(40));
    const QJsonObject mail = server.json(QStringLiteral("msg-1.json")).toObject();
    EXPECT_EQ(mail.value(QStringLiteral("subject")).toString(), QStringLiteral("Сводка ORX"));
    EXPECT_TRUE(mail.value(QStringLiteral("text")).toString().startsWith(QStringLiteral("SEISMO N6036 ")));
}

} // namespace
