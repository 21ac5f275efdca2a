#pragma once

#include <QJsonValue>
#include <QProcess>
#include <QString>
#include <QStringList>

// The aiosmtpd server of tests/support/smtp_server.py on a free loopback port, writing what it receives
// into outDir; killed when the object goes.
class SmtpServer
{
public:
    explicit SmtpServer(const QString &outDir, bool refuseLogin = false);
    // With the script's options: "--refuse-login", "--refuse-rcpt" and an address, "--close-in-data".
    SmtpServer(const QString &outDir, const QStringList &options);
    ~SmtpServer();
    SmtpServer(const SmtpServer &) = delete;
    SmtpServer &operator=(const SmtpServer &) = delete;

    int port() const { return m_port; }
    QString error() const;
    // A JSON file the server wrote (msg-<n>.json, auth.json, ...).
    QJsonValue json(const QString &name) const;
    QByteArray bytes(const QString &name) const;

private:
    QString m_dir;
    mutable QProcess m_process;
    int m_port = 0;
};
