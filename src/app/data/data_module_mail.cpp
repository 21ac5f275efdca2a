#include "app/data/data_module.h"

#include "app/main/main_window.h"
#include "app/settings/settings_record.h"
#include "platform/mail_client.h"
#include "platform/zip_archive.h"

void Tdm::GetMailParams(char Kind, QString &From, QString &To, QString &Cc, QString &Subject,
                        const bool *UseGlobal, const QString &OwnFrom, const QString &OwnTo,
                        const QString &OwnCc, const QString &OwnSubject) const
{
    static const Tsett none;
    const Tsett &s = m_settings ? *m_settings : none;
    const auto take = [&](const QString &f, const QString &t, const QString &c, const QString &subj) {
        From = f;
        To = t;
        Cc = c;
        Subject = subj;
    };
    if (UseGlobal && !*UseGlobal)
        take(OwnFrom, OwnTo, OwnCc, OwnSubject);
    else if (!UseGlobal && Kind == 'e' && !s.maile_global)
        take(s.maile_from, s.maile_recv, s.maile_cc, s.maile_subj);
    else if (!UseGlobal && Kind == 's' && !s.mails_global)
        take(s.mails_from, s.mails_recv, s.mails_cc, s.mails_subj);
    else
        take(s.mail_from, s.mail_recv, s.mail_cc, s.mail_subj);
}

bool Tdm::SendMail(char Kind, const QString &Body, const QString &Attachment, const bool *UseGlobal,
                   const QString &From, const QString &To, const QString &Cc, const QString &Subject)
{
    static const Tsett none;
    const Tsett &s = m_settings ? *m_settings : none;
    SmtpSettings server;
    server.host = s.smtp_host;
    server.port = s.smtp_port;
    server.user = s.smtp_user;
    server.password = s.smtp_pass;

    MailMessage message;
    GetMailParams(Kind, message.from, message.to, message.cc, message.subject, UseGlobal, From, To, Cc,
                  Subject);
    message.subject = message.subject.trimmed();
    message.body = Body;
    message.attachment = Attachment;
    return sendMail(server, message, Tmainf::instance());
}

void Tdm::ZipFiles(const QString &ZipName, const QString &OneFile, const QStringList &Files)
{
    zipFiles(ZipName, OneFile, Files);
}

void Tdm::UnzipAll(const QString &ZipName, const QString &Dir)
{
    QString dir = Dir;
    if (dir.size() > 1 && dir.endsWith(QLatin1Char('/')))
        dir.chop(1);
    unzipAll(ZipName, dir);
}
