#pragma once

#include "lib/datetime.h"

#include <QString>
#include <QStringList>

// Every setting the other parts of the program consult, held by the main window. Global fields come
// from section "global" of the main INI file, station fields from the station's settings.
struct Tsett
{
    bool effects = true;
    bool double_buf = true;
    int shownames = 0;
    int start_mode = 1;
    int start_from = 0;
    bool showempty = true;
    bool sg_main = true;
    bool flagbeg = true;
    QString smtp_host;
    int smtp_port = 25;
    QString smtp_user;
    QString smtp_pass;
    QString mail_from;
    QString mail_recv;
    QString mail_cc;
    QString mail_subj;
    int dbtype = 0;
    QString ORX_source = QStringLiteral("orx");
    QString ORX_user;
    QString ORX_pass;
    bool directORXwr = true;
    bool fullorx = false;
    bool orxini = true;
    int in_provider = 0;
    int out_provider = 1;
    QStringList CommonKeys;
    QString find_fstr;
    int find_fopt = 0;
    QString find_rfstr;
    QString find_rstr;
    int find_ropt = 0;
    QString multi_name = QStringLiteral("_multi");
    TDateTime start_date = 0;
    TDateTime end_date = 0;
    TDateTime svodka_date = 0;
    QString svodka_dir;
    TDateTime exp_start_date = 0;
    TDateTime exp_end_date = 0;
    QString exp_dir;
    QString smp1;
    QString smp2;
    QString smp3;
    int svset = 0;
    int repset = 0;
    int expset = 0;
    bool dperiod = true;
    bool useflag = false;
    int selperiod = 0;
    int orvfmt = 0;
    QString mails_from;
    QString mails_recv;
    QString mails_cc;
    QString mails_subj;
    QString maile_from;
    QString maile_recv;
    QString maile_cc;
    QString maile_subj;
    bool mails_global = true;
    bool mails_send = false;
    bool mails_att = false;
    bool maile_global = true;
    bool maile_send = false;
};
