#include "platform/mail_client.h"

#include "lib/codec.h"
#include "lib/errors.h"
#include "lib/messages.h"

#include <QFile>
#include <QFileInfo>
#include <QSysInfo>
#include <QUrl>
#include <QUuid>

#include <curl/curl.h>

#include <memory>
#include <mutex>

namespace {

const QByteArray kCrLf("\r\n");
const QByteArray kWordStart("=?windows-1251?Q?");
const QByteArray kWordEnd("?=");
constexpr int kLineLimit = 76;      // a header line holding encoded words, RFC 2047
constexpr int kBodyLineLimit = 998; // octets of an 8bit line, RFC 5322

// Delphi's Trim: everything up to the blank counts as white space.
QString trimControls(const QString &s)
{
    qsizetype b = 0, e = s.size();
    while (b < e && s.at(b).unicode() <= ' ')
        ++b;
    while (e > b && s.at(e - 1).unicode() <= ' ')
        --e;
    return s.mid(b, e - b);
}

bool isPrintableAscii(const QString &s)
{
    for (QChar c : s)
        if (c.unicode() < 0x20 || c.unicode() > 0x7E)
            return false;
    return true;
}

// One byte of Q-encoded text; only characters that are safe in every header position stay as they are.
QByteArray qToken(unsigned char b)
{
    if ((b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') || b == '!' || b == '*' ||
        b == '+' || b == '-' || b == '/')
        return QByteArray(1, char(b));
    if (b == ' ')
        return QByteArrayLiteral("_");
    return '=' + QByteArray::number(b, 16).toUpper().rightJustified(2, '0');
}

QByteArray encodeWords(const QString &text, int used)
{
    const int overhead = int(kWordStart.size() + kWordEnd.size());
    QByteArray out, word;
    int budget = kLineLimit - used; // room left on the current line
    auto flush = [&] {
        out += kWordStart + word + kWordEnd;
        word.clear();
        out += "\r\n ";
        budget = kLineLimit - 1;
    };
    for (char c : toCp1251(text)) {
        const QByteArray token = qToken(static_cast<unsigned char>(c));
        if (!word.isEmpty() && overhead + word.size() + token.size() > qMin(budget, 75))
            flush();
        word += token;
    }
    return out + kWordStart + word + kWordEnd;
}

// A display name in cp1251 would be raw 8-bit in the header; it goes as encoded words instead.
QByteArray encodeAddress(const QString &item, int used)
{
    if (isPrintableAscii(item))
        return item.toLatin1();
    const qsizetype lt = item.lastIndexOf(QLatin1Char('<'));
    if (lt < 0)
        return toCp1251(item);
    QString name = trimControls(item.left(lt));
    if (name.size() >= 2 && name.startsWith(QLatin1Char('"')) && name.endsWith(QLatin1Char('"')))
        name = name.mid(1, name.size() - 2);
    return encodeWords(name, used) + ' ' + toCp1251(item.mid(lt));
}

QByteArray addressHeader(const char *field, const QString &list)
{
    QByteArray line = QByteArray(field) + ": ";
    QByteArray out;
    bool first = true;
    for (const QString &item : splitAddressList(list)) {
        if (!first) {
            const QByteArray next = encodeAddress(item, 1);
            if (line.size() + 2 + next.size() > kLineLimit) {
                out += line + ',' + kCrLf;
                line = ' ' + encodeAddress(item, 1);
            } else {
                line += ", " + next;
            }
        } else {
            line += encodeAddress(item, int(line.size()));
        }
        first = false;
    }
    return out + line + kCrLf;
}

// The text as the lines of the message: any line break becomes CR LF, each line ends with one.
QByteArray bodyBytes(const QString &body)
{
    if (body.isEmpty())
        return {};
    QString text = body;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    if (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    QByteArray out;
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        const QByteArray bytes = toCp1251(line);
        if (bytes.size() > kBodyLineLimit)
            throw BrenvaleError(QStringLiteral("Строка текста письма длиннее %1 байт").arg(kBodyLineLimit));
        out += bytes + kCrLf;
    }
    return out;
}

// Content-Type / Content-Disposition parameter: quoted when plain ASCII, RFC 2231 otherwise.
QByteArray fileParameter(const char *name, const QString &fileName)
{
    if (isPrintableAscii(fileName) && !fileName.contains(QLatin1Char('"')) &&
        !fileName.contains(QLatin1Char('\\')))
        return QByteArray(name) + "=\"" + fileName.toLatin1() + '"';
    return QByteArray(name) + "*=windows-1251''" + toCp1251(fileName).toPercentEncoding("!#$&+^`|~");
}

QByteArray base64Lines(const QByteArray &data)
{
    const QByteArray b64 = data.toBase64();
    QByteArray out;
    for (qsizetype i = 0; i < b64.size(); i += 76)
        out += b64.mid(i, 76) + kCrLf;
    return out;
}

QByteArray readAttachment(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw EFileError(QStringLiteral("Не удалось открыть файл \"%1\"").arg(path));
    QByteArray data = f.readAll();
    if (f.error() != QFileDevice::NoError)
        throw EFileError(QStringLiteral("Не удалось прочитать файл \"%1\"").arg(path));
    return data;
}

void initCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct CurlDeleter
{
    void operator()(CURL *c) const { curl_easy_cleanup(c); }
    void operator()(curl_slist *l) const { curl_slist_free_all(l); }
};

struct Upload
{
    const QByteArray *data;
    qsizetype pos = 0;
};

size_t readUpload(char *buffer, size_t size, size_t count, void *user)
{
    auto *up = static_cast<Upload *>(user);
    const qsizetype n = qMin(qsizetype(size * count), up->data->size() - up->pos);
    memcpy(buffer, up->data->constData() + up->pos, size_t(n));
    up->pos += n;
    return size_t(n);
}

// The SMTP dialogue as far as it went, so a failure can say which step the server refused, with its own
// words and the address concerned.
struct Dialogue
{
    QByteArray command;       // the last command sent: its verb and, for MAIL and RCPT, its argument
    bool messageSent = false; // the message's bytes went out after DATA
    QByteArray refused;       // the command the first negative reply answered ("" for the greeting)
    QByteArray refusal;       // that reply, its lines joined by CR
    bool refusalOpen = false; // a multi-line refusal still coming
};

int watchDialogue(CURL *, curl_infotype type, char *data, size_t size, void *user)
{
    auto *d = static_cast<Dialogue *>(user);
    const QByteArray text = QByteArray(data, qsizetype(size)).trimmed();
    if (type == CURLINFO_HEADER_OUT) {
        const QByteArray verb = text.left(4).toUpper();
        // AUTH's continuation lines carry the credentials: only the command's name is kept.
        if (verb == "MAIL" || verb == "RCPT")
            d->command = text;
        else if (verb == "AUTH" || verb == "DATA" || verb == "EHLO" || verb == "HELO" || verb == "QUIT")
            d->command = verb;
    } else if (type == CURLINFO_DATA_OUT) {
        d->messageSent = true;
    } else if (type == CURLINFO_HEADER_IN && !text.isEmpty()) {
        if (d->refusalOpen) {
            d->refusal += '\r' + text;
        } else if (d->refusal.isEmpty() && (text.startsWith('4') || text.startsWith('5'))) {
            d->refusal = text;
            d->refused = d->messageSent ? QByteArrayLiteral("MESSAGE") : d->command;
        } else {
            return 0;
        }
        // "550-..." goes on, "550 ..." ends the reply.
        d->refusalOpen = text.size() > 3 && text.at(3) == '-';
    }
    return 0;
}

// The address of a MAIL FROM or RCPT TO command as it was sent, without the parameters after it.
QString commandAddress(const QByteArray &command)
{
    QByteArray address = command.mid(command.indexOf(':') + 1).trimmed();
    if (const qsizetype end = address.indexOf('>'); address.startsWith('<') && end > 0)
        address.truncate(end + 1);
    return QString::fromUtf8(address);
}

// What went wrong, in the analyst's words: the step, the server and its port, the address concerned and
// the server's own reply; libcurl's English text only where nothing better is known.
QString mailFailure(CURLcode rc, const Dialogue &d, const SmtpSettings &server, int port,
                    const char *curlText)
{
    const QString at = QStringLiteral("Почтовый сервер %1 (порт %2)").arg(server.host).arg(port);
    const QString reply = QString::fromUtf8(d.refusal);
    if (!d.refusal.isEmpty()) {
        const QByteArray verb = d.refused.left(4);
        QString what;
        if (verb == "MAIL")
            what = QStringLiteral(" не принял адрес отправителя ") + commandAddress(d.refused);
        else if (verb == "RCPT")
            what = QStringLiteral(" не принял адрес получателя ") + commandAddress(d.refused);
        else if (verb == "AUTH")
            what =
                QStringLiteral(" не принял имя пользователя или пароль \"") + server.user + QLatin1Char('"');
        else if (verb == "DATA")
            what = QStringLiteral(" отказался принять текст письма");
        else if (d.refused == "MESSAGE")
            what = QStringLiteral(" не принял письмо");
        else if (verb == "EHLO" || verb == "HELO")
            what = QStringLiteral(" не принял приветствие программы");
        else if (d.refused.isEmpty())
            what = QStringLiteral(" отказал в соединении");
        else
            what = QStringLiteral(" отказал в выполнении команды ") + QString::fromUtf8(d.refused);
        return at + what + QStringLiteral(". Ответ сервера:\r") + reply;
    }
    switch (rc) {
    case CURLE_COULDNT_RESOLVE_HOST:
        return QStringLiteral("Не найден почтовый сервер \"%1\": проверьте имя сервера SMTP в параметрах "
                              "соединения.")
            .arg(server.host);
    case CURLE_COULDNT_CONNECT:
        return QStringLiteral("Не удалось соединиться с почтовым сервером %1 (порт %2): по этому адресу "
                              "соединения не принимаются.")
            .arg(server.host)
            .arg(port);
    case CURLE_OPERATION_TIMEDOUT:
        return at +
               (d.messageSent ? QStringLiteral(" перестал отвечать при передаче письма")
                              : QStringLiteral(" не ответил вовремя")) +
               QStringLiteral("; письмо не отправлено.");
    case CURLE_LOGIN_DENIED:
        return at + QStringLiteral(" не принял имя пользователя или пароль \"") + server.user +
               QStringLiteral("\".");
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_GOT_NOTHING:
        if (d.messageSent)
            return at + QStringLiteral(" закрыл соединение при передаче письма; письмо не отправлено.");
        return at + QStringLiteral(" закрыл соединение") +
               (d.command.isEmpty()
                    ? QString()
                    : QStringLiteral(" после команды ") + QString::fromUtf8(d.command.left(4))) +
               QStringLiteral("; письмо не отправлено.");
    case CURLE_WEIRD_SERVER_REPLY:
        return at + QStringLiteral(" ответил не по протоколу SMTP; письмо не отправлено.");
    default:
        return QStringLiteral("Ошибка при отправке письма через сервер %1 (порт %2): %3")
            .arg(server.host)
            .arg(port)
            .arg(QString::fromUtf8(curlText && *curlText ? curlText : curl_easy_strerror(rc)));
    }
}

long clampSeconds(int s)
{
    return s > 0 ? long(s) : 1L;
}

} // namespace

QByteArray encodeHeaderText(const QString &text, int used)
{
    if (isPrintableAscii(text) && !text.contains(QLatin1String("=?")) && used + text.size() <= kLineLimit)
        return text.toLatin1();
    return encodeWords(text, used);
}

QStringList splitAddressList(const QString &list)
{
    QStringList items;
    QString current;
    bool quoted = false;
    int angle = 0;
    auto take = [&] {
        const QString item = trimControls(current);
        if (!item.isEmpty())
            items << item;
        current.clear();
    };
    for (QChar c : list) {
        if (c == QLatin1Char('"'))
            quoted = !quoted;
        else if (!quoted && c == QLatin1Char('<'))
            ++angle;
        else if (!quoted && c == QLatin1Char('>') && angle > 0)
            --angle;
        else if (!quoted && angle == 0 && c == QLatin1Char(',')) {
            take();
            continue;
        }
        current += c;
    }
    take();
    return items;
}

QString bareAddress(const QString &item)
{
    const qsizetype lt = item.lastIndexOf(QLatin1Char('<'));
    const qsizetype gt = item.indexOf(QLatin1Char('>'), lt + 1);
    if (lt >= 0 && gt > lt)
        return trimControls(item.mid(lt + 1, gt - lt - 1));
    return trimControls(item);
}

QByteArray mailDate(const QDateTime &date)
{
    static const char *const days[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    static const char *const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const QDate d = date.date();
    const QTime t = date.time();
    const int offset = date.offsetFromUtc() / 60;
    const int absOffset = offset < 0 ? -offset : offset;
    auto two = [](int v) { return QByteArray::number(v).rightJustified(2, '0'); };
    return QByteArray(days[d.dayOfWeek() - 1]) + ", " + two(d.day()) + ' ' + months[d.month() - 1] + ' ' +
           QByteArray::number(d.year()) + ' ' + two(t.hour()) + ':' + two(t.minute()) + ':' +
           two(t.second()) + ' ' + (offset < 0 ? '-' : '+') + two(absOffset / 60) + two(absOffset % 60);
}

namespace {

// A line break inside a header value or an envelope address would end it early and let the rest be
// read as further headers or SMTP commands.
void refuseLineBreaks(const MailMessage &message)
{
    const auto broken = [](const QString &s) {
        return s.contains(QLatin1Char('\r')) || s.contains(QLatin1Char('\n'));
    };
    bool bad = broken(trimControls(message.subject));
    for (const QString &list : {message.from, message.to, message.cc})
        for (const QString &item : splitAddressList(list))
            bad = bad || broken(item);
    if (bad)
        throw BrenvaleError(QStringLiteral("Адрес, имя или тема письма содержат перевод строки"));
}

} // namespace

QByteArray composeMail(const MailMessage &message, const QDateTime &date, const QByteArray &boundary,
                       const QByteArray &messageId)
{
    refuseLineBreaks(message);
    const QByteArray textHeaders = "Content-Type: text/plain; charset=\"windows-1251\"\r\n"
                                   "Content-Transfer-Encoding: 8bit\r\n";
    const QByteArray text = bodyBytes(message.body);

    QByteArray out;
    if (!splitAddressList(message.from).isEmpty())
        out += addressHeader("From", message.from);
    if (!splitAddressList(message.to).isEmpty())
        out += addressHeader("To", message.to);
    if (!splitAddressList(message.cc).isEmpty())
        out += addressHeader("Cc", message.cc);
    out += "Subject: " + encodeHeaderText(trimControls(message.subject), 9) + kCrLf;
    out += "Date: " + mailDate(date) + kCrLf;
    out += "Message-ID: <" + messageId + '>' + kCrLf;
    out += "MIME-Version: 1.0\r\n";

    if (message.attachment.isEmpty())
        return out + textHeaders + kCrLf + text;

    const QByteArray file = readAttachment(message.attachment);
    const QString fileName = QFileInfo(message.attachment).fileName();
    const QByteArray delimiter = "--" + boundary;
    out += "Content-Type: multipart/mixed;\r\n boundary=\"" + boundary + "\"\r\n\r\n";
    out += delimiter + kCrLf + textHeaders + kCrLf + (text.isEmpty() ? kCrLf : text);
    out += delimiter + kCrLf;
    out += "Content-Type: application/octet-stream;\r\n " + fileParameter("name", fileName) + kCrLf;
    out += "Content-Transfer-Encoding: base64\r\n";
    out += "Content-Disposition: attachment;\r\n " + fileParameter("filename", fileName) + kCrLf;
    out += kCrLf + base64Lines(file);
    out += delimiter + "--" + kCrLf;
    return out;
}

bool sendMail(const SmtpSettings &server, const MailMessage &message, QWidget *owner)
{
    try {
        initCurlOnce();

        QStringList recipients;
        for (const QString &list : {message.to, message.cc})
            for (const QString &item : splitAddressList(list))
                recipients << bareAddress(item);
        if (recipients.isEmpty())
            throw BrenvaleError(QStringLiteral("Не указан ни один получатель"));
        if (trimControls(server.host).isEmpty())
            throw BrenvaleError(
                QStringLiteral("Не задан почтовый сервер (SMTP): укажите его в параметрах соединения."));

        const QString from = bareAddress(message.from);
        const QByteArray domain = from.contains(QLatin1Char('@'))
                                      ? from.section(QLatin1Char('@'), -1).toUtf8()
                                      : QByteArrayLiteral("localhost");
        const QByteArray messageId = QUuid::createUuid().toByteArray(QUuid::Id128) + '@' + domain;
        QByteArray boundary;
        const QByteArray plain = toCp1251(message.body);
        do
            boundary = "=_" + QUuid::createUuid().toByteArray(QUuid::Id128);
        while (plain.contains(boundary));
        const QByteArray data = composeMail(message, QDateTime::currentDateTime(), boundary, messageId);

        std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
        if (!curl)
            throw BrenvaleError(QStringLiteral("Не удалось начать сеанс SMTP"));
        std::unique_ptr<curl_slist, CurlDeleter> rcpt;
        for (const QString &r : recipients) {
            curl_slist *next = curl_slist_append(rcpt.get(), ('<' + r.toUtf8() + '>').constData());
            if (!next)
                throw BrenvaleError(QStringLiteral("Недостаточно памяти"));
            rcpt.release();
            rcpt.reset(next);
        }

        const int port = server.port > 0 ? server.port : 25;
        // The URL path is the name we greet the server with.
        const QString host = server.host.contains(QLatin1Char(':')) ? u'[' + server.host + u']' : server.host;
        const QByteArray url = "smtp://" + host.toUtf8() + ':' + QByteArray::number(port) + '/' +
                               QUrl::toPercentEncoding(QSysInfo::machineHostName());
        const QByteArray mailFrom = '<' + from.toUtf8() + '>';
        const QByteArray user = toCp1251(server.user);
        const QByteArray password = toCp1251(server.password);
        Upload upload{&data};
        Dialogue dialogue;
        char errorText[CURL_ERROR_SIZE] = {};

        CURL *c = curl.get();
        curl_easy_setopt(c, CURLOPT_URL, url.constData());
        curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errorText);
        curl_easy_setopt(c, CURLOPT_VERBOSE, 1L);
        curl_easy_setopt(c, CURLOPT_DEBUGFUNCTION, watchDialogue);
        curl_easy_setopt(c, CURLOPT_DEBUGDATA, &dialogue);
        curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, clampSeconds(server.connectTimeoutSec));
        curl_easy_setopt(c, CURLOPT_SERVER_RESPONSE_TIMEOUT, clampSeconds(server.responseTimeoutSec));
        curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, clampSeconds(server.stallTimeoutSec));
        curl_easy_setopt(c, CURLOPT_TIMEOUT, clampSeconds(server.totalTimeoutSec));
        if (!server.user.isEmpty()) {
            curl_easy_setopt(c, CURLOPT_USERNAME, user.constData());
            curl_easy_setopt(c, CURLOPT_PASSWORD, password.constData());
            curl_easy_setopt(c, CURLOPT_LOGIN_OPTIONS, "AUTH=LOGIN");
        }
        if (!from.isEmpty())
            curl_easy_setopt(c, CURLOPT_MAIL_FROM, mailFrom.constData());
        curl_easy_setopt(c, CURLOPT_MAIL_RCPT, rcpt.get());
        curl_easy_setopt(c, CURLOPT_UPLOAD, 1L);
        curl_easy_setopt(c, CURLOPT_READFUNCTION, readUpload);
        curl_easy_setopt(c, CURLOPT_READDATA, &upload);
        curl_easy_setopt(c, CURLOPT_INFILESIZE_LARGE, curl_off_t(data.size()));

        const CURLcode rc = curl_easy_perform(c);
        if (rc != CURLE_OK)
            throw BrenvaleError(mailFailure(rc, dialogue, server, port, errorText));
        return true;
    } catch (const BrenvaleError &e) {
        MessageProc(owner, QStringLiteral("Сообщение об ошибке:\r") + e.message(), MB_ICONERROR, MB_OK);
    } catch (const std::exception &e) {
        MessageProc(owner, QStringLiteral("Сообщение об ошибке:\r") + ExceptionText(e), MB_ICONERROR, MB_OK);
    }
    return false;
}
