#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

class QWidget;

// The SMTP server and how long we wait for it. Sending blocks the GUI thread, so every wait is bounded.
struct SmtpSettings
{
    QString host;
    int port = 25; // 0 or less means 25
    QString user;  // empty: no authentication; otherwise AUTH LOGIN
    QString password;
    int connectTimeoutSec = 30;  // TCP connect
    int responseTimeoutSec = 60; // each server reply, the greeting included
    int stallTimeoutSec = 60;    // the data flow below one byte a second this long ends the transfer
    int totalTimeoutSec = 600;   // the whole session
};

// One message as the caller has already chosen its header. To and Cc are comma-separated address
// lists; Attachment is a file path or empty.
struct MailMessage
{
    QString from;
    QString to;
    QString cc;
    QString subject;
    QString body;
    QString attachment;
};

// Sends one message. True when the server accepted it; otherwise "Сообщение об ошибке:\r" + the reason
// has been shown through MessageProc (icon 16, owner as given) and the result is false.
bool sendMail(const SmtpSettings &server, const MailMessage &message, QWidget *owner = nullptr);

// The pieces sendMail is made of; the data module and the tests use them directly.

// The message bytes as they go after DATA: windows-1251 text, 8bit, CR LF line ends, the attachment
// in base64. Throws BrenvaleError (an over-long line, a line break inside an address, a name or the
// subject) or EFileError (an unreadable attachment).
QByteArray composeMail(const MailMessage &message, const QDateTime &date, const QByteArray &boundary,
                       const QByteArray &messageId);

// A header value in RFC 2047 Q-encoded windows-1251 words when it holds anything but printable ASCII.
// `used` is how much of the first line the field name already takes ("Subject: " is 9); each line of
// the result stays within 76 characters.
QByteArray encodeHeaderText(const QString &text, int used);

// The items of a comma-separated address list; commas inside quotes or angle brackets do not split.
QStringList splitAddressList(const QString &list);

// The mailbox of one list item: the part in angle brackets when there is one.
QString bareAddress(const QString &item);

// Date header value in the RFC 5322 form, English names whatever the locale.
QByteArray mailDate(const QDateTime &date);
