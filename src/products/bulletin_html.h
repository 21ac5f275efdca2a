#pragma once

#include "lib/datetime.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>

class TField;

// An HTML bulletin as it is written: one fragment per line; on disk windows-1251, each line ended by CR LF.
class BulletinLines
{
public:
    void add(const QString &line) { m_lines << line; }
    BulletinLines &operator<<(const QString &line)
    {
        m_lines << line;
        return *this;
    }
    const QStringList &lines() const { return m_lines; }
    void clear() { m_lines.clear(); }
    QByteArray bytes() const;
    // Through the safe-write helper; EFileError with the reason when the file cannot be written.
    void save(const QString &FileName) const;

private:
    QStringList m_lines;
};

extern const std::array<const char *, 74> HtmlBulletinTemplate;

// What the bulletin head says of one station, already in HTML.
struct HeaderStation
{
    QString name;
    QString latitude;  // "55° 45' 30&quot; N"
    QString longitude; // "037° 37' 00&quot; E"
    QString height;
    QString ground;
};

// The head's settings from the report window.
struct HeaderOptions
{
    int number = 0;
    TDateTime begDate = 0;
    TDateTime endDate = 0;
    bool putBegDate = false;
    bool drawTable = false;
    bool orx = false;
    int qtype = 0;
    bool severalStations = false; // the window's station code list holds more than one code
};

// The head of a bulletin: from the html head on for the first station of the file, from the station's
// table on (template line 3) for a further one. Leaves the bulletin table open.
void WriteReportHeader(BulletinLines &Out, const HeaderOptions &Options, const HeaderStation &Station,
                       bool FirstStation);

// A coordinate kept as degrees, minutes, seconds and hemisphere in fixed widths ("5545 30N") as the
// report window shows it: degrees + "° " + minutes + "' " + seconds + "\" " + hemisphere.
QString CoordinateShown(const QString &Value, int DegWidth);
// The kept value of a shown coordinate; the inverse of CoordinateShown.
QString CoordinateKept(const QString &Shown, int DegWidth);
// A coordinate in degrees as the head shows it (hemisphere letters N/S or E/W), quotes as "&quot;".
QString CoordinateHtml(double Degrees, bool IsLon);
// Degrees of a kept coordinate; false when a part is not a whole number.
bool CoordinateDegrees(const QString &Kept, int DegWidth, double &Degrees);

// A field as the bulletin writes it: null empty, a number rounded to 3 decimals in its shortest form, any
// other text unchanged; with ZeroAsEmpty a zero is empty.
QString FieldToText(const TField *Field, bool ZeroAsEmpty = false);
// A field's text without the blanks some servers pad fixed-width text columns with; null is empty.
QString FixedFieldText(const TField *Field);
// A number rounded to Digits decimals in its shortest form.
QString RoundedText(double Value, int Digits);
