#pragma once

// For the bulletin tests: a report host that stands in for the main window, the data module and the
// screen, and the golden files written by hand next to the tests.

#include "db/db_connection.h"
#include "lib/codec.h"
#include "products/bulletin_report.h"
#include "support/test_support.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>

#include <gtest/gtest.h>

// The folder of the golden files: beside this header, found from the source path or from the program.
inline QString goldenDir()
{
    const QString here = QFileInfo(QStringLiteral(__FILE__)).absolutePath() + QStringLiteral("/golden");
    if (QFileInfo::exists(here))
        return here;
    QDir dir(QCoreApplication::applicationDirPath());
    do {
        if (dir.exists(QStringLiteral("tests/products/golden")))
            return dir.filePath(QStringLiteral("tests/products/golden"));
    } while (dir.cdUp());
    return here;
}

// The lines of a golden file (kept in UTF-8 with LF here); a line "@name" stands for the lines of the
// golden file of that name, so the parts every head shares are written once.
inline QStringList goldenLines(const QString &name)
{
    QFile f(goldenDir() + QLatin1Char('/') + name);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << name.toStdString();
    QStringList lines;
    for (const QString &line : QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        lines << (line.startsWith(QLatin1Char('@')) ? goldenLines(line.mid(1)) : QStringList{line});
    return lines;
}

// Golden files as the program must write them: in windows-1251, each line ended by CR LF.
inline QByteArray golden(const QStringList &names)
{
    QByteArray out;
    for (const QString &name : names)
        for (const QString &line : goldenLines(name))
            out += toCp1251(line) + "\r\n";
    return out;
}

// Two byte strings compared line by line, so a failure names the first line that differs.
inline void expectSameLines(const QByteArray &actual, const QByteArray &expected)
{
    const QStringList a = fromCp1251(actual).split(QStringLiteral("\r\n"));
    const QStringList e = fromCp1251(expected).split(QStringLiteral("\r\n"));
    for (qsizetype i = 0; i < std::min(a.size(), e.size()); ++i)
        if (a[i] != e[i]) {
            ADD_FAILURE() << "line " << i + 1 << "\n  actual:   " << a[i].toStdString()
                          << "\n  expected: " << e[i].toStdString();
            return;
        }
    EXPECT_EQ(a.size(), e.size());
    EXPECT_EQ(actual, expected);
}

class FakeReportHost : public ReportHost
{
public:
    explicit FakeReportHost(const QString &folder) : folder(folder) {}

    QWidget *Owner() override { return nullptr; }
    bool GetStationDBParams(QString &Source, QString &, QString &) override
    {
        Source = QStringLiteral("bulletin");
        return stationDb;
    }
    bool OpenDB_ADO(DbConnection &Conn, const QString &, const QString &, const QString &) override
    {
        if (!Conn.Connected())
            Conn.Open();
        return true;
    }
    void CloseDB_ADO(DbConnection &Conn) override { Conn.Close(); }
    ConnParams OrxConnParams(const Tsett &) override { return {}; }
    bool MainStation(const QString &Code, tstainfo &Station) override
    {
        if (!stations.contains(Code))
            return false;
        Station = stations.value(Code);
        return true;
    }
    QString CodeToSta(const QString &Code, bool Mark) override
    {
        const QString sta = stations.value(Code).sta;
        return !sta.isEmpty() ? sta : Mark ? QStringLiteral("/ ") + Code : Code;
    }
    const tfilts &Filters() override { return filters; }
    QString ProgramFolder() override { return folder + QLatin1Char('/'); }
    int ReportCounter() override { return 5; }
    QString ShortDateText(TDateTime Date) override
    {
        return FormatDateTime(QStringLiteral("dd.mm.yyyy"), Date);
    }
    void ZipFiles(const QString &ZipName, const QString &File) override
    {
        zipped << QStringList{ZipName, File};
        QFile z(ZipName);
        EXPECT_TRUE(z.open(QIODevice::WriteOnly));
    }
    bool SendMail(const QString &Body, const QString &Attachment, bool UseGlobal, const QString &From,
                  const QString &To, const QString &Cc, const QString &Subject) override
    {
        mails << QStringList{Body,   Attachment, UseGlobal ? QStringLiteral("global") : QStringLiteral("own"),
                             From,   To,         Cc,
                             Subject};
        return mailOk;
    }
    void Progress(int, int, const QString &, bool *Cancel) override
    {
        ++progressCalls;
        if (Cancel && cancelAtCall > 0 && progressCalls >= cancelAtCall)
            *Cancel = true;
    }
    void HideProgress() override {}
    void ShowReport(const QString &FileName) override { shown << FileName; }

    QString folder;
    bool stationDb = true;
    QMap<QString, tstainfo> stations;
    tfilts filters;
    bool mailOk = true;
    QList<QStringList> zipped, mails;
    QStringList shown;
    int progressCalls = 0;
    int cancelAtCall = 0;
};

inline QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
