#pragma once

// For the tests that press a product's button: a demo folder of two stations and three days up to
// 5 February 2026, the data module and a main window started on it with the product's command.

#include "demo_data.h"
#include "lib/codec.h"
#include "support/program_env.h"
#include "support/smtp_server.h"

#include <QRegularExpression>

struct DemoProgram
{
    TestDir dir;
    MessageRecorder messages;
    Tdm dm;
    std::unique_ptr<Tmainf> w;

    explicit DemoProgram(void (*installCommand)(), bool fullOrx = false, const QRect &area = kWorkArea)
    {
        DemoParams params;
        params.stations = 2;
        params.days = 3;
        params.lastDay = QDate(2026, 2, 5);
        params.eventsPerDay = 4;
        GenerateDemoFolder(dir.path(), params);
        if (fullOrx) {
            const QString ini = dir.file(QStringLiteral("system/Brenvale.ini"));
            QString settings = fromCp1251(readBytes(ini));
            settings.replace(QRegularExpression(QStringLiteral("fullorx=[^\r\n]*")),
                             QStringLiteral("fullorx=1"));
            EXPECT_TRUE(writeBytes(ini, toCp1251(settings)));
        }
        qputenv("ORX_INI_DIR", dir.file(QStringLiteral("system")).toLocal8Bit());
        installCommand();
        w = startMainWindow(dir.base(), {}, area);
    }
    ~DemoProgram() { qunsetenv("ORX_INI_DIR"); }

    // In ORX-only mode: a network without stations added to the ORX database and chosen in the network
    // list as the analyst chooses one, which empties the station list.
    void chooseNetworkWithoutStations(const QString &name)
    {
        {
            DbConnection c;
            c.SetProvider(dm.conPubs->Provider());
            c.SetConnectionString(dm.conPubs->ConnectionString());
            const ConnParams orx = w->GetOrxConnParams(w->sett);
            ASSERT_TRUE(dm.OpenDB_ADO(&c, orx.source, orx.user, orx.password));
            exec(c, QStringLiteral("insert into networks (netname,netlist) values (?,null)"), {name});
            dm.CloseDB_ADO(&c);
        }
        w->findChild<QPushButton *>(QStringLiteral("Button7"))->click();
        const QList<QListWidgetItem *> items = w->nets->findItems(name, Qt::MatchExactly);
        ASSERT_EQ(items.size(), 1);
        w->nets->setCurrentItem(items.first());
        QApplication::processEvents(); // the reload it asks for
        ASSERT_EQ(w->nets->currentItem()->text(), name);
        ASSERT_EQ(w->stas->count(), 0);
    }

    // The program's mail goes to this local server from its own sender.
    void mailTo(const SmtpServer &server, const QString &from, const QString &to, const QString &subject)
    {
        w->sett.smtp_host = QStringLiteral("127.0.0.1");
        w->sett.smtp_port = server.port();
        w->sett.mails_global = false;
        w->sett.mails_from = from;
        w->sett.mails_recv = to;
        w->sett.mails_subj = subject;
    }
};
