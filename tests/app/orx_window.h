#pragma once

#include "app/data_module.h"
#include "app/main_window.h"
#include "support/test_support.h"

#include <QDir>
#include <QListWidget>

#include <memory>

// A main window over a program folder of its own, with the data module and a message recorder, that
// a test switches to the ORX-only mode on a database of its choice.
struct OrxWindow
{
    MessageRecorder rec;
    Tdm dm;
    TestDir dir;
    std::unique_ptr<Tmainf> w;

    explicit OrxWindow(const QByteArray &stationsIni = QByteArray())
    {
        QDir(dir.path()).mkpath(QStringLiteral("system"));
        writeBytes(dir.file(QStringLiteral("system/filters.txt")), QByteArray());
        writeBytes(dir.file(QStringLiteral("system/waves.txt")), QByteArray());
        writeBytes(dir.file(QStringLiteral("system/Brenvale.ini")), "[global]\r\neffects=0\r\n");
        if (!stationsIni.isEmpty())
            writeBytes(dir.file(QStringLiteral("system/Stations.ini")), stationsIni);
        TmainfOptions options;
        options.programFolder = dir.path();
        options.arguments = QStringList();
        options.workArea = QRect(0, 0, 1280, 1024);
        w = std::make_unique<Tmainf>(options);
        // Fixed texts whatever the machine's locale.
        w->fsLocal = TFormatSettings();
    }

    void useOrx(const QString &source, const QString &user = QString(), const QString &password = QString())
    {
        w->sett.fullorx = true;
        w->sett.orxini = false;
        w->sett.ORX_source = source;
        w->sett.ORX_user = user;
        w->sett.ORX_pass = password;
    }

    // Adds the station to the list and selects it without running the station change.
    int addStation(const QString &code, const QString &sta, const QString &name)
    {
        tstainfo s;
        s.code = code;
        s.sta = sta;
        s.name = name;
        w->stations.append(s);
        const int entry = int(w->stations.size()) - 1;
        auto *item = new QListWidgetItem(code);
        item->setData(Qt::UserRole, entry);
        w->stas->addItem(item);
        w->stas->setCurrentItem(item);
        item->setSelected(true);
        w->curCode = code;
        return entry;
    }
};
