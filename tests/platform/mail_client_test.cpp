#include "platform/mail_client.h"

#include "support/smtp_server.h"
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

using namespace Qt::StringLiterals;

namespace {

// A loopback socket that is bound and listening, so connections complete, but nobody ever answers.
class SilentListener
{
public:
    SilentListener()
    {
        m_fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (bind(m_fd, reinterpret_cast<sockaddr *>(&a), len) == 0 && listen(m_fd, 4) == 0 &&
            getsockname(m_fd, reinterpret_cast<sockaddr *>(&a), &len) == 0)
            m_port = ntohs(a.sin_port);
    }
    ~SilentListener() { close(m_fd); }
    int port() const { return m_port; }

private:
    int m_fd = -1;
    int m_port = 0;
};

// A port that was free a moment ago and has nothing listening.
int closedPort()
{
    SilentListener probe;
    return probe.port();
}

SmtpSettings quickServer(int port)
{
    SmtpSettings s;
    s.host = u"127.0.0.1"_s;
    s.port = port;
    s.connectTimeoutSec = 2;
    s.responseTimeoutSec = 2;
    s.stallTimeoutSec = 2;
    // Far above the others, so that only they can end a session that hangs; a mail delivered on a busy
    // machine is not cut short.
    s.totalTimeoutSec = 120;
    return s;
}

QStringList strings(const QJsonValue &v)
{
    QStringList out;
    for (const QJsonValue &x : v.toArray())
        out << x.toString();
    return out;
}

// The named members of a received message's description, as text.
QStringList texts(const QJsonObject &o, std::initializer_list<const char *> names)
{
    QStringList out;
    for (const char *name : names)
        out << o[QLatin1String(name)].toString();
    return out;
}

const QString kErrorPrefix = u"Сообщение об ошибке:\r"_s;

TEST(MailHeaderText, EncodedWordsInWindows1251)
{
    const QByteArray ya20 = QByteArray("=DF").repeated(20);
    const std::tuple<const char *, int, QByteArray> cases[] = {
        {"", 9, ""},
        {"Daily summary", 9, "Daily summary"},
        {"Сводка", 9, "=?windows-1251?Q?=D1=E2=EE=E4=EA=E0?="},
        {"Сводка 1_ok?", 9, "=?windows-1251?Q?=D1=E2=EE=E4=EA=E0_1=5Fok=3F?="},
        {"ёЁ№", 9, "=?windows-1251?Q?=B8=A8=B9?="},
        // Text that would read as an encoded word is encoded itself.
        {"a=?b", 9, "=?windows-1251?Q?a=3D=3Fb?="},
        // "Subject: " leaves 67 characters for the first word, later lines 75 after the fold's blank.
        {"ЯЯЯЯЯЯЯЯЯЯЯЯЯЯЯЯЯЯЯЯ", 9,
         "=?windows-1251?Q?" + ya20.left(48) + "?=\r\n =?windows-1251?Q?" + ya20.mid(48) + "?="},
    };
    for (const auto &[text, used, expected] : cases)
        EXPECT_EQ(encodeHeaderText(QString::fromUtf8(text), used), expected) << text;
}

TEST(MailAddresses, ListsSplitOnCommasOutsideQuotesAndBrackets)
{
    const std::tuple<const char *, QStringList, QStringList> cases[] = {
        {"", {}, {}},
        {"a@x.ru", {"a@x.ru"}, {"a@x.ru"}},
        {" a@x.ru ,b@y.ru,, ,", {"a@x.ru", "b@y.ru"}, {"a@x.ru", "b@y.ru"}},
        {"\"Иванов, И. И.\" <i@x.ru>, Пётр <p@y.ru>",
         {"\"Иванов, И. И.\" <i@x.ru>", "Пётр <p@y.ru>"},
         {"i@x.ru", "p@y.ru"}},
        {"a@x.ru; b@y.ru", {"a@x.ru; b@y.ru"}, {"a@x.ru; b@y.ru"}},
    };
    for (const auto &[list, wantItems, wantBare] : cases) {
        const QStringList items = splitAddressList(QString::fromUtf8(list));
        EXPECT_EQ(items, wantItems) << list;
        QStringList bare;
        for (const QString &i : items)
            bare << bareAddress(i);
        EXPECT_EQ(bare, wantBare) << list;
    }
}

TEST(MailDate, EnglishNamesAndOffset)
{
    EXPECT_EQ(mailDate(QDateTime(QDate(2024, 3, 5), QTime(9, 7, 3), Qt::OffsetFromUTC, 3 * 3600)),
              QByteArray("Tue, 05 Mar 2024 09:07:03 +0300"));
    EXPECT_EQ(
        mailDate(QDateTime(QDate(2023, 12, 31), QTime(23, 59, 59), Qt::OffsetFromUTC, -(5 * 3600 + 1800))),
        QByteArray("Sun, 31 Dec 2023 23:59:59 -0530"));
}

TEST(MailCompose, PlainMessageBytes)
{
    MailMessage m;
    m.from = u"st@example.org"_s;
    m.to = u"a@example.org,b@example.org"_s;
    m.cc = u"c@example.org"_s;
    m.subject = u"  Тест \t"_s;
    m.body = u"Да\rНет\nок\r\n"_s;
    const QByteArray expected = "From: st@example.org\r\n"
                                "To: a@example.org, b@example.org\r\n"
                                "Cc: c@example.org\r\n"
                                "Subject: =?windows-1251?Q?=D2=E5=F1=F2?=\r\n"
                                "Date: Tue, 05 Mar 2024 09:07:03 +0300\r\n"
                                "Message-ID: <id@example.org>\r\n"
                                "MIME-Version: 1.0\r\n"
                                "Content-Type: text/plain; charset=\"windows-1251\"\r\n"
                                "Content-Transfer-Encoding: 8bit\r\n"
                                "\r\n"
                                "\xC4\xE0\r\n\xCD\xE5\xF2\r\n\xEE\xEA\r\n";
    EXPECT_EQ(composeMail(m, QDateTime(QDate(2024, 3, 5), QTime(9, 7, 3), Qt::OffsetFromUTC, 3 * 3600), "b",
                          "id@example.org"),
              expected);
}

// Faults found before any connection: each is one message and false.
TEST(MailSend, LocalFailuresReportOnce)
{
    const QString kLineBreak = u"Адрес, имя или тема письма содержат перевод строки"_s;
    TestDir dir;
    const std::tuple<const char *, MailMessage, QString> cases[] = {
        {"line over 998 bytes",
         {"a@x.ru", "b@x.ru", "", "s", u"ok\r\n"_s + QString(999, u'Ж'), ""},
         u"Строка текста письма длиннее 998 байт"_s},
        {"missing attachment",
         {"a@x.ru", "b@x.ru", "", "s", "text", dir.file(u"нет.zip"_s)},
         u"Не удалось открыть файл \"%1\""_s.arg(dir.file(u"нет.zip"_s))},
        {"no recipient", {"a@x.ru", " , ", "", "s", "text", ""}, u"Не указан ни один получатель"_s},
        // A line break would end the header or the envelope command early and start a new one.
        {"CR LF in the subject", {"a@x.ru", "b@x.ru", "", "Сводка\r\nBcc: c@x.ru", "text", ""}, kLineBreak},
        {"LF in a recipient address",
         {"a@x.ru", "b@x.ru\nRCPT TO:<c@x.ru>", "", "s", "text", ""},
         kLineBreak},
        {"CR in a copy's name",
         {"a@x.ru", "b@x.ru", "\"Станция\r ПЕТ\" <c@x.ru>", "s", "text", ""},
         kLineBreak},
        {"CR in the sender's name", {"Отдел\rсводок <a@x.ru>", "b@x.ru", "", "s", "text", ""}, kLineBreak},
    };
    for (const auto &[name, message, reason] : cases) {
        MessageRecorder rec;
        EXPECT_FALSE(sendMail(quickServer(closedPort()), message)) << name;
        ASSERT_EQ(rec.count(), 1) << name;
        EXPECT_EQ(rec.last().text, kErrorPrefix + reason) << name;
        EXPECT_EQ(rec.last().icon, unsigned(MB_ICONERROR)) << name;
        EXPECT_FALSE(rec.last().error) << name;
    }
}

TEST(MailSend, DeliversLoginRecipientsSubjectTextAndAttachment)
{
    TestDir dir;
    SmtpServer server(dir.path());
    ASSERT_GT(server.port(), 0) << server.error().toStdString();

    QByteArray payload;
    for (int i = 0; i < 3000; ++i)
        payload.append(char(i * 7 % 256));
    const QString attachment = dir.file(u"бюллетень 05.zip"_s);
    ASSERT_TRUE(writeBytes(attachment, payload));

    SmtpSettings smtp = quickServer(server.port());
    smtp.user = u"operator"_s;
    smtp.password = u"секрет1"_s;
    const QString subject = u"Сводка за 05.03.2024 по станции Обнинск (длинная тема письма)"_s;
    MailMessage m;
    m.from = u"Станция <st@example.org>"_s;
    m.to = u"a@example.org, Борис <b@example.org>"_s;
    m.cc = u"c@example.org,d@example.org"_s;
    m.subject = u"  "_s + subject + u" "_s;
    m.body = u"Строка 1\nСтрока 2\n.\nконец"_s;
    m.attachment = attachment;

    MessageRecorder rec;
    ASSERT_TRUE(sendMail(smtp, m));
    EXPECT_EQ(rec.count(), 0);

    const QJsonArray logins = server.json(u"auth.json"_s).toArray();
    ASSERT_EQ(logins.size(), 1);
    EXPECT_EQ(texts(logins[0].toObject(), {"mechanism", "login", "password"}),
              (QStringList{u"LOGIN"_s, u"operator"_s, u"секрет1"_s}));

    const QJsonObject got = server.json(u"msg-1.json"_s).toObject();
    EXPECT_EQ(strings(got[u"rcpt_tos"_s]),
              (QStringList{"a@example.org", "b@example.org", "c@example.org", "d@example.org"}));
    EXPECT_EQ(texts(got, {"mail_from", "from", "to", "cc", "subject", "content_type", "charset", "encoding"}),
              (QStringList{u"st@example.org"_s, u"Станция <st@example.org>"_s,
                           u"a@example.org, Борис <b@example.org>"_s, u"c@example.org, d@example.org"_s,
                           subject, u"multipart/mixed"_s, u"windows-1251"_s, u"8bit"_s}));
    EXPECT_TRUE(got[u"defects"_s].toArray().isEmpty());

    const QJsonArray parts = got[u"attachments"_s].toArray();
    ASSERT_EQ(parts.size(), 1);
    EXPECT_EQ(parts[0][u"filename"_s].toString(), u"бюллетень 05.zip"_s);
    EXPECT_EQ(parts[0][u"encoding"_s].toString(), u"base64"_s);
    EXPECT_EQ(server.bytes(parts[0][u"file"_s].toString()), payload);

    // The text goes in windows-1251 with CR LF, the lone "." line intact after the server's unstuffing.
    const QByteArray raw = server.bytes(u"msg-1.eml"_s);
    EXPECT_TRUE(raw.contains("\r\n\r\n\xD1\xF2\xF0\xEE\xEA\xE0 1\r\n\xD1\xF2\xF0\xEE\xEA\xE0 2\r\n.\r\n"
                             "\xEA\xEE\xED\xE5\xF6\r\n--"));
    EXPECT_EQ(raw.count("\n"), raw.count("\r\n"));
    for (const QByteArray &line : raw.split('\n'))
        EXPECT_LE(line.size(), 77) << line.constData();
}

TEST(MailSend, PlainTextWithoutLoginOrAttachment)
{
    TestDir dir;
    SmtpServer server(dir.path());
    ASSERT_GT(server.port(), 0) << server.error().toStdString();

    MailMessage m{u"st@example.org"_s, u"a@example.org"_s, QString(),
                  u"Daily summary"_s,  u"ОБН 05001\r\n"_s, QString()};
    MessageRecorder rec;
    ASSERT_TRUE(sendMail(quickServer(server.port()), m));
    EXPECT_EQ(rec.count(), 0);
    EXPECT_FALSE(QFileInfo::exists(dir.file(u"auth.json"_s)));

    const QJsonObject got = server.json(u"msg-1.json"_s).toObject();
    EXPECT_EQ(strings(got[u"rcpt_tos"_s]), QStringList{"a@example.org"});
    EXPECT_EQ(texts(got, {"content_type", "subject"}), (QStringList{u"text/plain"_s, u"Daily summary"_s}));
    EXPECT_TRUE(got[u"attachments"_s].toArray().isEmpty());
    const QByteArray raw = server.bytes(u"msg-1.eml"_s);
    EXPECT_TRUE(raw.contains("\nSubject: Daily summary\r\n"));
    EXPECT_TRUE(raw.endsWith("\r\n\r\n\xCE\xC1\xCD 05001\r\n"));
}

// A dead, silent or refusing server ends in one message and false, within the configured waits.
TEST(MailSend, ServerFailuresReportOnceAndQuickly)
{
    TestDir dir;
    SmtpServer refusing(dir.path(), true);
    ASSERT_GT(refusing.port(), 0) << refusing.error().toStdString();
    SilentListener silent;
    ASSERT_GT(silent.port(), 0);

    const std::tuple<const char *, int, QString, QString> cases[] = {
        {"closed port", closedPort(), QString(), QString()},
        {"server that never answers", silent.port(), QString(), QString()},
        {"refused login", refusing.port(), u"operator"_s,
         u"\r535 5.7.8 Authentication credentials invalid"_s},
    };
    for (const auto &[name, port, user, says] : cases) {
        SmtpSettings smtp = quickServer(port);
        smtp.user = user;
        smtp.password = u"wrong"_s;
        MailMessage m{u"st@example.org"_s, u"a@example.org"_s, QString(), u"s"_s, u"text"_s, QString()};
        MessageRecorder rec;
        QElapsedTimer timer;
        timer.start();
        EXPECT_FALSE(sendMail(smtp, m)) << name;
        // Ended by the two seconds of a reply, long before the session's limit.
        EXPECT_LT(timer.elapsed(), 60000) << name;
        ASSERT_EQ(rec.count(), 1) << name;
        EXPECT_TRUE(rec.last().text.startsWith(kErrorPrefix)) << name;
        EXPECT_GT(rec.last().text.size(), kErrorPrefix.size()) << name;
        EXPECT_TRUE(rec.last().text.contains(says)) << name;
        EXPECT_EQ(rec.last().icon, unsigned(MB_ICONERROR)) << name;
    }
    EXPECT_FALSE(QFileInfo::exists(dir.file(u"msg-1.eml"_s)));
}

// Each failure says in Russian which step failed, at which server, for which address, and what the server
// itself answered; libcurl's English never reaches the analyst.
TEST(MailSend, FailuresSayWhatFailedWithTheServersReply)
{
    TestDir dir;
    for (const char *folder : {"login", "rcpt", "data"})
        QDir().mkpath(dir.file(QString::fromLatin1(folder)));
    SmtpServer refusing(dir.file(u"login"_s), true);
    SmtpServer noSuchUser(dir.file(u"rcpt"_s), {u"--refuse-rcpt"_s, u"bad@example.org"_s});
    SmtpServer closing(dir.file(u"data"_s), {u"--close-in-data"_s});
    for (const SmtpServer *s : {&refusing, &noSuchUser, &closing})
        ASSERT_GT(s->port(), 0) << s->error().toStdString();
    SilentListener silent;
    ASSERT_GT(silent.port(), 0);
    const int closed = closedPort();
    const auto at = [](int port) { return u"Почтовый сервер 127.0.0.1 (порт %1)"_s.arg(port); };

    const struct
    {
        const char *name;
        QString host;
        int port;
        QString user, to, says;
    } cases[] = {
        {"nothing listens", u"127.0.0.1"_s, closed, QString(), u"a@example.org"_s,
         u"Не удалось соединиться с почтовым сервером 127.0.0.1 (порт %1): по этому адресу соединения не "
         "принимаются."_s.arg(closed)},
        {"a server that never answers", u"127.0.0.1"_s, silent.port(), QString(), u"a@example.org"_s,
         at(silent.port()) + u" не ответил вовремя; письмо не отправлено."_s},
        {"a refused login", u"127.0.0.1"_s, refusing.port(), u"operator"_s, u"a@example.org"_s,
         at(refusing.port()) + u" не принял имя пользователя или пароль \"operator\". Ответ сервера:\r"
                               "535 5.7.8 Authentication credentials invalid"_s},
        {"a refused recipient", u"127.0.0.1"_s, noSuchUser.port(), QString(),
         u"a@example.org, Борис <bad@example.org>"_s,
         at(noSuchUser.port()) +
             u" не принял адрес получателя <bad@example.org>. Ответ сервера:\r550 5.1.1 No such user"_s},
        {"the server closes during DATA", u"127.0.0.1"_s, closing.port(), QString(), u"a@example.org"_s,
         at(closing.port()) + u" закрыл соединение при передаче письма; письмо не отправлено."_s},
        {"no server set", u"  "_s, 25, QString(), u"a@example.org"_s,
         u"Не задан почтовый сервер (SMTP): укажите его в параметрах соединения."_s},
    };
    for (const auto &c : cases) {
        SmtpSettings smtp = quickServer(c.port);
        smtp.host = c.host;
        smtp.user = c.user;
        smtp.password = u"wrong"_s;
        MailMessage m{u"st@example.org"_s, c.to, QString(), u"s"_s, u"text"_s, QString()};
        MessageRecorder rec;
        EXPECT_FALSE(sendMail(smtp, m)) << c.name;
        ASSERT_EQ(rec.count(), 1) << c.name;
        EXPECT_EQ(rec.last().text, kErrorPrefix + c.says) << c.name;
        EXPECT_EQ(rec.last().icon, unsigned(MB_ICONERROR)) << c.name;
    }
    for (const char *folder : {"login", "rcpt", "data"})
        EXPECT_FALSE(QFileInfo::exists(dir.file(QString::fromLatin1(folder) + u"/msg-1.eml"_s))) << folder;
}

} // namespace
