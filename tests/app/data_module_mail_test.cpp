#include "app/data_module.h"
#include "app/settings_record.h"
#include "lib/errors.h"
#include "support/test_support.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The receiving server of the platform's mail tests, killed when the object goes.
class SmtpServer
{
public:
    explicit SmtpServer(const QString &outDir) : m_dir(outDir)
    {
        const QString script = QFileInfo(QStringLiteral(__FILE__)).absolutePath() +
                               QStringLiteral("/../platform/smtp_server.py");
        m_process.start(QStringLiteral("/usr/bin/python3"), {script, outDir});
        QElapsedTimer timer;
        timer.start();
        while (!m_process.canReadLine() && timer.elapsed() < 10000 &&
               m_process.state() != QProcess::NotRunning)
            m_process.waitForReadyRead(200);
        const QByteArray line = m_process.readLine().trimmed();
        if (line.startsWith("READY "))
            m_port = line.mid(6).toInt();
    }
    ~SmtpServer()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    int port() const { return m_port; }
    QJsonValue json(const QString &name) const
    {
        const QJsonDocument doc = QJsonDocument::fromJson(readBytes(m_dir + u'/' + name));
        return doc.isArray() ? QJsonValue(doc.array()) : QJsonValue(doc.object());
    }

private:
    QString m_dir;
    QProcess m_process;
    int m_port = 0;
};

// A loopback port that nothing listens on.
int closedPort()
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    bind(fd, reinterpret_cast<sockaddr *>(&a), len);
    getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len);
    close(fd);
    return ntohs(a.sin_port);
}

Tsett mailSettings()
{
    Tsett s;
    s.mail_from = QStringLiteral("g@from.ru");
    s.mail_recv = QStringLiteral("g@to.ru");
    s.mail_cc = QStringLiteral("g@cc.ru");
    s.mail_subj = QStringLiteral("g subj");
    s.mails_from = QStringLiteral("s@from.ru");
    s.mails_recv = QStringLiteral("s@to.ru");
    s.mails_cc = QStringLiteral("s@cc.ru");
    s.mails_subj = QStringLiteral("s subj");
    s.maile_from = QStringLiteral("e@from.ru");
    s.maile_recv = QStringLiteral("e@to.ru");
    s.maile_cc = QStringLiteral("e@cc.ru");
    s.maile_subj = QStringLiteral("e subj");
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
        {'e', &no, false, false, 'o'},     {'r', &no, true, true, 'o'},
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

TEST(DmSendMail, SummaryAndExportReachTheServer)
{
    TestDir dir;
    const QString out = dir.file(QStringLiteral("out"));
    QDir().mkpath(out);
    SmtpServer server(out);
    ASSERT_GT(server.port(), 0);
    const QString attachment = dir.file(QStringLiteral("exp.zip"));
    ASSERT_TRUE(writeBytes(attachment, QByteArray("PK\x05\x06", 4) + QByteArray(18, '\0')));

    Tsett s = mailSettings();
    s.smtp_host = QStringLiteral("127.0.0.1");
    s.smtp_port = server.port();
    s.smtp_user = QStringLiteral("оператор");
    s.smtp_pass = QStringLiteral("pw");
    s.mail_subj = QStringLiteral("  Сводка  ");
    s.maile_global = false;
    MessageRecorder rec;
    Tdm dm;
    dm.SetSettings(&s);
    EXPECT_TRUE(dm.SendMail('s', QStringLiteral("Текст сводки"), QString()));
    EXPECT_TRUE(dm.SendMail('e', QStringLiteral("Экспорт exp.zip"), attachment));
    EXPECT_EQ(rec.count(), 0);

    const QJsonObject summary = server.json(QStringLiteral("msg-1.json")).toObject();
    EXPECT_EQ(summary.value("from").toString(), QStringLiteral("g@from.ru"));
    EXPECT_EQ(summary.value("cc").toString(), QStringLiteral("g@cc.ru"));
    EXPECT_EQ(summary.value("subject").toString(), QStringLiteral("Сводка"));
    EXPECT_EQ(summary.value("content_type").toString(), QStringLiteral("text/plain"));
    EXPECT_EQ(summary.value("charset").toString(), QStringLiteral("windows-1251"));
    EXPECT_EQ(summary.value("encoding").toString(), QStringLiteral("8bit"));
    EXPECT_TRUE(summary.value("attachments").toArray().isEmpty());
    EXPECT_TRUE(readBytes(out + QStringLiteral("/msg-1.eml"))
                    .contains("Subject: =?windows-1251?Q?=D1=E2=EE=E4=EA=E0?=\r\n"));

    const QJsonObject exported = server.json(QStringLiteral("msg-2.json")).toObject();
    EXPECT_EQ(exported.value("mail_from").toString(), QStringLiteral("e@from.ru"));
    const QJsonArray rcpt = exported.value("rcpt_tos").toArray();
    EXPECT_EQ(rcpt.size(), 2);
    EXPECT_EQ(exported.value("subject").toString(), QStringLiteral("e subj"));
    EXPECT_EQ(exported.value("text").toString().trimmed(), QStringLiteral("Экспорт exp.zip"));
    const QJsonArray parts = exported.value("attachments").toArray();
    ASSERT_EQ(parts.size(), 1);
    EXPECT_EQ(parts.at(0).toObject().value("filename").toString(), QStringLiteral("exp.zip"));

    const QJsonArray logins = server.json(QStringLiteral("auth.json")).toArray();
    ASSERT_FALSE(logins.isEmpty());
    EXPECT_EQ(logins.at(0).toObject().value("mechanism").toString(), QStringLiteral("LOGIN"));
    EXPECT_EQ(logins.at(0).toObject().value("login").toString(), QStringLiteral("оператор"));
}

TEST(DmSendMail, UnreachableServerIsShownOnceAndFails)
{
    Tsett s = mailSettings();
    s.smtp_host = QStringLiteral("127.0.0.1");
    s.smtp_port = closedPort();
    MessageRecorder rec;
    Tdm dm;
    dm.SetSettings(&s);
    EXPECT_FALSE(dm.SendMail('r', QStringLiteral("Станционный бюллетень"), QString()));
    ASSERT_EQ(rec.count(), 1);
    EXPECT_TRUE(rec.last().text.startsWith(QStringLiteral("Сообщение об ошибке:\r")))
        << rec.last().text.toStdString();
    EXPECT_GT(rec.last().text.size(), QStringLiteral("Сообщение об ошибке:\r").size());
    EXPECT_EQ(rec.last().icon, 16u);
}

QStringList filesIn(const QString &dir)
{
    return QDir(dir).entryList(QDir::Files, QDir::Name);
}

TEST(DmZip, PackedMembersComeBackWhereAsked)
{
    TestDir dir;
    QDir().mkpath(dir.file(QStringLiteral("src")));
    for (const char *name : {"a.txt", "b.txt"})
        ASSERT_TRUE(writeBytes(dir.file(QStringLiteral("src/") + QString::fromLatin1(name)), name));
    const QString a = dir.file(QStringLiteral("src/a.txt")), b = dir.file(QStringLiteral("src/b.txt"));
    const struct
    {
        const char *name;
        QString oneFile;
        QStringList files;
        const char *dir; // where UnzipAll is asked to put them; empty: beside the archive
        QStringList members;
    } cases[] = {
        {"one", a, {b}, "", {"a.txt"}},
        {"list", QString(), {b, a}, "out/", {"a.txt", "b.txt"}},
        {"none", QString(), {}, "out", {}},
    };
    MessageRecorder rec;
    Tdm dm;
    for (const auto &c : cases) {
        const QString folder = dir.file(QString::fromLatin1(c.name));
        QDir().mkpath(folder + QStringLiteral("/out"));
        const QString zip = folder + QStringLiteral("/p.zip");
        dm.ZipFiles(zip, c.oneFile, c.files);
        const QString target = *c.dir ? folder + u'/' + QString::fromLatin1(c.dir) : QString();
        dm.UnzipAll(zip, target);
        QStringList got = filesIn(*c.dir ? folder + QStringLiteral("/out") : folder);
        got.removeAll(QStringLiteral("p.zip"));
        EXPECT_EQ(got, c.members) << c.name;
    }
    EXPECT_EQ(readBytes(dir.file(QStringLiteral("one/a.txt"))), QByteArray("a.txt"));

    // Failures go to the caller, never to the user directly.
    EXPECT_THROW(dm.ZipFiles(dir.file(QStringLiteral("x.zip")), dir.file(QStringLiteral("нет.txt")), {}),
                 EFileError);
    EXPECT_THROW(dm.UnzipAll(dir.file(QStringLiteral("нет.zip")), QString()), EFileError);
    EXPECT_EQ(rec.count(), 0);
}

} // namespace
