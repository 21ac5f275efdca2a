#pragma once

#include "exchange/text/text_format.h"

#include <QString>

#include <functional>

class DbConnection;
struct Tsett;

// What the export of the station bulletin database needs of the program; tests replace it.
class BulletinExportHost
{
public:
    virtual ~BulletinExportHost() = default;
    // The parameter dialog in its export mode; true on OK, the answers in Settings().
    virtual bool AskExportParameters() = 0;
    virtual Tsett &Settings() = 0;
    virtual bool GetStationDBParams(QString &Source, QString &User, QString &Password) = 0;
    virtual DbConnection &BulletinConnection() = 0;
    virtual bool OpenBulletin(const QString &Source, const QString &User, const QString &Password) = 0;
    virtual void CloseBulletin() = 0;
    virtual void SqlDateRange(QString &FromLit, QString &ToLit, TDateTime FromDate, TDateTime ToDate) = 0;
    // The export formats of Events, Station_bulletin and XM_Add.
    virtual const tspec &ExportSpec(int table) = 0;
    virtual TFormatSettings LocaleSettings() = 0;
    virtual int CurrentYear() = 0;
    virtual QString StationName() = 0;
    virtual QString StationCode() = 0;
    virtual void ZipFiles(const QString &ZipName, const QStringList &Files) = 0; // EFileError on failure
    virtual bool SendMail(const QString &Body, const QString &Attachment) = 0;
};

// The ten-day period of the year a date falls in, 1..36.
int ExportDecade(TDateTime date);

// The station's bulletin database of the period into Station_bulletin<N>.txt, Events<N>.txt and
// XM_Add<N>.txt in the export folder, packed and mailed when asked. Reports everything itself.
void ExportBullet(BulletinExportHost &host);
