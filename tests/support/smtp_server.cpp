#include "smtp_server.h"

#include "test_support.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

QString python()
{
    // python3-aiosmtpd lives in Debian's own interpreter, whatever else is first on PATH.
    return QFileInfo::exists(QStringLiteral("/usr/bin/python3")) ? QStringLiteral("/usr/bin/python3")
                                                                 : QStringLiteral("python3");
}

} // namespace

SmtpServer::SmtpServer(const QString &outDir, bool refuseLogin)
    : SmtpServer(outDir, refuseLogin ? QStringList{QStringLiteral("--refuse-login")} : QStringList())
{}

SmtpServer::SmtpServer(const QString &outDir, const QStringList &options) : m_dir(outDir)
{
    // From the build, not __FILE__: a shared compiler cache compiles with relative source paths.
    const QStringList args =
        QStringList{QStringLiteral(BRENVALE_TEST_SUPPORT_DIR "/smtp_server.py"), outDir} + options;
    m_process.start(python(), args);
    // Python starts in a fraction of a second; the minute only keeps a server that never starts from
    // hanging the test.
    QElapsedTimer timer;
    timer.start();
    while (!m_process.canReadLine() && timer.elapsed() < 60000 && m_process.state() != QProcess::NotRunning)
        m_process.waitForReadyRead(200);
    const QByteArray line = m_process.readLine().trimmed();
    if (line.startsWith("READY "))
        m_port = line.mid(6).toInt();
}

SmtpServer::~SmtpServer()
{
    m_process.kill();
    m_process.waitForFinished(5000);
}

QString SmtpServer::error() const
{
    return QString::fromUtf8(m_process.readAllStandardError());
}

QJsonValue SmtpServer::json(const QString &name) const
{
    const QJsonDocument doc = QJsonDocument::fromJson(readBytes(m_dir + u'/' + name));
    return doc.isArray() ? QJsonValue(doc.array()) : QJsonValue(doc.object());
}

QByteArray SmtpServer::bytes(const QString &name) const
{
    return readBytes(m_dir + u'/' + name);
}
