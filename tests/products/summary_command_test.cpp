#include "app/settings/param_dialog.h"
#include "demo_program.h"
#include "products/summary_command.h"
#include "products/summary_editor.h"

#include <QDateEdit>
#include <QJsonArray>
#include <QJsonObject>
#include <QPlainTextEdit>

namespace {

const QString kSent = QStringLiteral("Готово!\rСводка успешно отправлена по почте.");

struct SummaryProgram : DemoProgram
{
    QString out = dir.file(QStringLiteral("out"));

    explicit SummaryProgram(bool fullOrx = false) : DemoProgram(&InstallSummaryCommand, fullOrx)
    {
        QDir().mkpath(out);
    }

    // Presses the button; the dialog is answered for 5 February 2026 with mailing as given, the editor
    // with its first button. Returns the editor's text.
    QString run(bool mail, const char *button = "Svodka")
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
        auto *pressed = w->findChild<QPushButton *>(QString::fromLatin1(button));
        EXPECT_NE(pressed, nullptr) << button;
        if (pressed)
            pressed->click();
        return editorText;
    }
};

// "Создать сводку" on the bulletin event page of a demo station, without mail.
TEST(SummaryCommand, RunsEndToEndFromTheEventPage)
{
    SummaryProgram p;
    ASSERT_EQ(p.w->curCode, QStringLiteral("PET"));
    const QString editorText = p.run(false);
    EXPECT_EQ(p.messages.count(), 0) << p.messages.last().text.toStdString();
    // PET, 5 February 2026: day 036 of a year ending in 6.
    const QByteArray bytes = readBytes(p.out + QStringLiteral("/PET_036"));
    EXPECT_TRUE(bytes.startsWith("SEISMO N6036 ")) << bytes.left(40).toStdString();
    EXPECT_TRUE(bytes.endsWith("STOP\r\n"));
    EXPECT_EQ(fromCp1251(bytes).left(40), editorText.left(40));
    EXPECT_EQ(p.w->sett.svodka_dir, p.out);
}

TEST(SummaryCommand, MailsTheSummaryAsTextOrAttachment)
{
    SummaryProgram p;
    TestDir received;
    SmtpServer server(received.path());
    ASSERT_GT(server.port(), 0) << server.error().toStdString();
    p.mailTo(server, QStringLiteral("pet@seismo.ru"), QStringLiteral("svodka@seismo.ru"),
             QStringLiteral("Сводка PET"));

    p.w->sett.mails_att = false;
    p.run(true);
    EXPECT_EQ(shown(p.messages), QList<Shown>{Shown(kSent, MB_ICONINFORMATION)});
    const QJsonObject text = server.json(QStringLiteral("msg-1.json")).toObject();
    EXPECT_EQ(text.value(QStringLiteral("subject")).toString(), QStringLiteral("Сводка PET"));
    EXPECT_EQ(text.value(QStringLiteral("charset")).toString(), QStringLiteral("windows-1251"));
    // The mail carries the editor's lines, which are the file's lines.
    EXPECT_TRUE(text.value(QStringLiteral("text")).toString().startsWith(QStringLiteral("SEISMO N6036 ")));

    p.w->sett.mails_att = true;
    p.run(true);
    EXPECT_EQ(p.messages.last().text, kSent);
    const QJsonObject attached = server.json(QStringLiteral("msg-2.json")).toObject();
    EXPECT_EQ(attached.value(QStringLiteral("text")).toString().trimmed(), QStringLiteral("Сводка PET_036"));
    const QJsonArray parts = attached.value(QStringLiteral("attachments")).toArray();
    ASSERT_EQ(parts.size(), 1);
    EXPECT_EQ(parts.at(0).toObject().value(QStringLiteral("filename")).toString(), QStringLiteral("PET_036"));
    EXPECT_EQ(server.bytes(parts.at(0).toObject().value(QStringLiteral("file")).toString()),
              readBytes(p.out + QStringLiteral("/PET_036")));
}

// The ORX-only page of a demo folder started in ORX-only mode: the summary from ORX, mailed.
TEST(SummaryCommand, RunsEndToEndInOrxOnlyMode)
{
    SummaryProgram p(true);
    ASSERT_TRUE(p.w->sett.fullorx);
    TestDir received;
    SmtpServer server(received.path());
    ASSERT_GT(server.port(), 0) << server.error().toStdString();
    p.mailTo(server, QStringLiteral("orx@seismo.ru"), QStringLiteral("svodka@seismo.ru"),
             QStringLiteral("Сводка ORX"));
    p.w->sett.mails_att = false;
    p.w->sett.svset = 0;
    const QString editorText = p.run(true, "Button24");

    // One click, one run: a second handler on the button would summarise and mail twice.
    const auto &all = p.messages.messages();
    EXPECT_EQ(std::count_if(all.begin(), all.end(), [](const auto &m) { return m.text.startsWith(kSent); }),
              1);
    EXPECT_TRUE(p.messages.last().text.startsWith(kSent)) << p.messages.last().text.toStdString();
    // The current station's code and day 036 of a year ending in 6; lines end with a line feed alone.
    const QString text =
        fromCp1251(readBytes(p.out + QLatin1Char('/') + p.w->curCode + QStringLiteral("_6036")));
    EXPECT_TRUE(text.startsWith(QStringLiteral("SEISMO N6036 "))) << text.left(60).toStdString();
    EXPECT_TRUE(text.endsWith(QStringLiteral("\nSTOP\n")));
    EXPECT_FALSE(text.contains(QLatin1Char('\r')));
    EXPECT_GT(text.count(QLatin1Char('\n')), 3);
    EXPECT_EQ(editorText.left(40), text.left(40));
    const QJsonObject mail = server.json(QStringLiteral("msg-1.json")).toObject();
    EXPECT_EQ(mail.value(QStringLiteral("subject")).toString(), QStringLiteral("Сводка ORX"));
    EXPECT_TRUE(mail.value(QStringLiteral("text")).toString().startsWith(QStringLiteral("SEISMO N6036 ")));
}

// In ORX-only mode with a network without stations chosen, "всем станциям за период" takes every station
// with arrivals in the day, as "<<< все станции >>>" does.
TEST(SummaryCommand, ANetworkWithoutStationsNarrowsNothing)
{
    SummaryProgram p(true);
    p.chooseNetworkWithoutStations(QStringLiteral("Пустая"));
    p.w->sett.svset = 3;
    p.w->sett.dperiod = true;
    p.w->sett.multi_name = QStringLiteral("_multi");
    p.run(false, "Button24");
    EXPECT_EQ(p.messages.count(), 0) << p.messages.last().text.toStdString();
    const QString text = fromCp1251(readBytes(p.out + QStringLiteral("/_multi_6036")));
    QStringList headers;
    for (const QString &line : text.split(QLatin1Char('\n')))
        if (line.startsWith(QStringLiteral("SEISMO ")))
            headers << line;
    // Both demo stations record the day.
    EXPECT_EQ(headers, (QStringList{"SEISMO N6036 :MNK BEG FEB05 000000 END FEB06 000000",
                                    "SEISMO N6036 :PET BEG FEB05 000000 END FEB06 000000"}))
        << text.left(200).toStdString();
}

} // namespace
