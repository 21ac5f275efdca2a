#include "app/settings/param_dialog.h"
#include "demo_data.h"
#include "products/summary_command.h"
#include "products/summary_editor.h"
#include "support/program_env.h"
#include "support/smtp_server.h"

#include <QDateEdit>
#include <QJsonArray>
#include <QJsonObject>
#include <QPlainTextEdit>

namespace {

// A demo folder, the data module, the summary command and a main window on the first station.
struct SummaryProgram
{
    TestDir dir;
    QString out;
    MessageRecorder messages;
    Tdm dm;
    std::unique_ptr<Tmainf> w;

    SummaryProgram()
    {
        DemoParams params;
        params.stations = 2;
        params.days = 3;
        params.lastDay = QDate(2026, 2, 5);
        params.eventsPerDay = 4;
        GenerateDemoFolder(dir.path(), params);
        out = dir.file(QStringLiteral("out"));
        QDir().mkpath(out);
        qputenv("ORX_INI_DIR", dir.file(QStringLiteral("system")).toLocal8Bit());
        InstallSummaryCommand();
        w = startMainWindow(dir.base());
    }
    ~SummaryProgram() { qunsetenv("ORX_INI_DIR"); }

    // Presses "Создать сводку"; the dialog is answered for 5 February 2026 with mailing as given, the
    // editor with its first button. Returns the editor's text.
    QString run(bool mail)
    {
        QString editorText;
        QTimer answer;
        QObject::connect(&answer, &QTimer::timeout, [&] {
            QWidget *modal = QApplication::activeModalWidget();
            if (auto *par = qobject_cast<Tpar *>(modal)) {
                par->svodka_Date->setDate(QDate(2026, 2, 5));
                par->dir->setText(out);
                par->mail_send->setChecked(mail);
                par->Button1->click();
            } else if (auto *editor = qobject_cast<Tsveditor *>(modal)) {
                editorText = editor->re->toPlainText();
                editor->Button1->click();
            }
        });
        answer.start(10);
        w->findChild<QPushButton *>(QStringLiteral("Svodka"))->click();
        return editorText;
    }
};

TEST(SummaryCommand, MailsTheSummaryAsTextOrAttachment)
{
    SummaryProgram p;
    TestDir received;
    SmtpServer server(received.path());
    ASSERT_GT(server.port(), 0) << server.error().toStdString();
    p.w->sett.smtp_host = QStringLiteral("127.0.0.1");
    p.w->sett.smtp_port = server.port();
    p.w->sett.mails_global = false;
    p.w->sett.mails_from = QStringLiteral("pet@seismo.ru");
    p.w->sett.mails_recv = QStringLiteral("svodka@seismo.ru");
    p.w->sett.mails_subj = QStringLiteral("Сводка PET");

    p.w->sett.mails_att = false;
    p.run(true);
    ASSERT_EQ(p.messages.count(), 1);
    EXPECT_EQ(p.messages.last().text, QStringLiteral("Готово!\rСводка успешно отправлена по почте."));
    EXPECT_EQ(p.messages.last().icon, 64u);
    const QByteArray file = readBytes(p.out + QStringLiteral("/PET_036"));
    const QJsonObject text = server.json(QStringLiteral("msg-1.json")).toObject();
    EXPECT_EQ(text.value(QStringLiteral("subject")).toString(), QStringLiteral("Сводка PET"));
    EXPECT_EQ(text.value(QStringLiteral("charset")).toString(), QStringLiteral("windows-1251"));
    // The mail carries the editor's lines, which are the file's lines.
    EXPECT_TRUE(text.value(QStringLiteral("text")).toString().startsWith(QStringLiteral("SEISMO N6036 ")));

    p.w->sett.mails_att = true;
    p.run(true);
    EXPECT_EQ(p.messages.last().text, QStringLiteral("Готово!\rСводка успешно отправлена по почте."));
    const QJsonObject attached = server.json(QStringLiteral("msg-2.json")).toObject();
    EXPECT_EQ(attached.value(QStringLiteral("text")).toString().trimmed(), QStringLiteral("Сводка PET_036"));
    const QJsonArray parts = attached.value(QStringLiteral("attachments")).toArray();
    ASSERT_EQ(parts.size(), 1);
    EXPECT_EQ(parts.at(0).toObject().value(QStringLiteral("filename")).toString(), QStringLiteral("PET_036"));
    EXPECT_EQ(server.bytes(parts.at(0).toObject().value(QStringLiteral("file")).toString()), file);
}

// "Создать сводку" on the bulletin event page of a demo station, without mail.
TEST(SummaryCommand, RunsEndToEndFromTheEventPage)
{
    SummaryProgram p;
    ASSERT_EQ(p.w->curCode, QStringLiteral("PET"));
    const QString editorText = p.run(false);
    EXPECT_EQ(p.messages.count(), 0) << p.messages.last().text.toStdString();
    // PET, 5 February 2026: day 036 of a year ending in 6.
    const QByteArray bytes = readBytes(p.out + QStringLiteral("/PET_036"));
    ASSERT_FALSE(bytes.isEmpty());
    EXPECT_TRUE(bytes.startsWith("SEISMO N6036 ")) << bytes.left(40).toStdString();
    EXPECT_TRUE(bytes.endsWith("STOP\r\n"));
    EXPECT_EQ(fromCp1251(bytes).left(40), editorText.left(40));
    EXPECT_EQ(p.w->sett.svodka_dir, p.out);
}

} // namespace
