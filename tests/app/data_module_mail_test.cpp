#include "app/settings/settings_record.h"
#include "lib/errors.h"
#include "support/program_env.h"
#include "support/smtp_server.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

namespace {

// Header values named by their source: g global, s summary, e export.
Tsett mailSettings()
{
    Tsett s;
    QString *headers[3][4] = {{&s.mail_from, &s.mail_recv, &s.mail_cc, &s.mail_subj},
                              {&s.mails_from, &s.mails_recv, &s.mails_cc, &s.mails_subj},
                              {&s.maile_from, &s.maile_recv, &s.maile_cc, &s.maile_subj}};
    for (int k = 0; k < 3; ++k)
        for (int i = 0; i < 4; ++i)
            *headers[k][i] =
                QChar::fromLatin1("gse"[k]) + QStringList{"@from.ru", "@to.ru", "@cc.ru", " subj"}[i];
    return s;
}

TEST(DmMailParams, HeaderByKindFlagAndStationSwitches)
{
    const bool yes = true, no = false;
    const struct
    {
        char kind;
        const bool *useGlobal;
        bool mailsGlobal, maileGlobal;
        char header; // g global, s summary, e export, o the caller's own
    } cases[] = {
        {'r', nullptr, false, false, 'g'}, {'s', nullptr, true, false, 'g'}, {'s', nullptr, false, true, 's'},
        {'e', nullptr, false, true, 'g'},  {'e', nullptr, true, false, 'e'}, {'s', &yes, false, false, 'g'},
        {'r', &no, true, true, 'o'},
    };
    Tdm dm;
    for (const auto &c : cases) {
        Tsett s = mailSettings();
        s.mails_global = c.mailsGlobal;
        s.maile_global = c.maileGlobal;
        dm.SetSettings(&s);
        QString from, to, cc, subject;
        dm.GetMailParams(c.kind, from, to, cc, subject, c.useGlobal, QStringLiteral("o@from.ru"),
                         QStringLiteral("o@to.ru"), QStringLiteral("o@cc.ru"), QStringLiteral("o subj"));
        const QString p(QChar::fromLatin1(c.header));
        EXPECT_EQ(QStringList({from, to, cc, subject}),
                  QStringList({p + "@from.ru", p + "@to.ru", p + "@cc.ru", p + " subj"}))
            << c.kind << ' ' << c.header;
    }
}

TEST(DmSendMail, SummaryWithTheGlobalHeaderAndAnUnreachableServer)
{
    TestDir dir;
    SmtpServer server(dir.path());
    ASSERT_GT(server.port(), 0);
    Tsett s = mailSettings();
    s.smtp_host = QStringLiteral("127.0.0.1");
    s.smtp_port = server.port();
    s.mail_subj = QStringLiteral("  Сводка  ");
    MessageRecorder rec;
    Tdm dm;
    dm.SetSettings(&s);
    EXPECT_TRUE(dm.SendMail('s', QStringLiteral("Текст сводки"), QString()));
    EXPECT_EQ(rec.count(), 0);
    const QJsonObject m = QJsonDocument::fromJson(readBytes(dir.file(QStringLiteral("msg-1.json")))).object();
    QStringList got;
    for (const char *key : {"from", "cc", "subject", "content_type", "charset"})
        got << m.value(QLatin1String(key)).toString();
    EXPECT_EQ(got, QStringList({"g@from.ru", "g@cc.ru", "Сводка", "text/plain", "windows-1251"}));
    EXPECT_TRUE(readBytes(dir.file(QStringLiteral("msg-1.eml")))
                    .contains("Subject: =?windows-1251?Q?=D1=E2=EE=E4=EA=E0?=\r\n"));

    s.smtp_port = 1; // nothing listens there
    EXPECT_FALSE(dm.SendMail('r', QStringLiteral("Станционный бюллетень"), QString()));
    ASSERT_EQ(rec.count(), 1);
    EXPECT_TRUE(rec.last().text.startsWith(QStringLiteral("Сообщение об ошибке:\r")))
        << rec.last().text.toStdString();
    EXPECT_EQ(rec.last().icon, 16u);
}

// The archive work itself is the platform's; the module hands it on and lets its failures through.
TEST(DmZip, ForwardsAndRaisesSilently)
{
    TestDir dir;
    const QString a = dir.file(QStringLiteral("a.txt")), zip = dir.file(QStringLiteral("one.zip"));
    writeBytes(a, "a");
    MessageRecorder rec;
    Tdm dm;
    dm.ZipFiles(zip, a, {});
    QFile::remove(a);
    dm.UnzipAll(zip, QString());
    EXPECT_EQ(readBytes(a), QByteArray("a"));
    EXPECT_THROW(dm.ZipFiles(dir.file(QStringLiteral("x.zip")), dir.file(QStringLiteral("нет.txt")), {}),
                 EFileError);
    EXPECT_THROW(dm.UnzipAll(dir.file(QStringLiteral("нет.zip")), QString()), EFileError);
    EXPECT_EQ(rec.count(), 0);
}

} // namespace
