#pragma once

#include "lib/datetime.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>
#include <memory>
#include <string>

class SafeFileWriter;
class TField;

// An HTML bulletin as it is written: one fragment per line; windows-1251, each line ended by CR LF.
// Made for a file, the bytes stream into the safe-write helper's temporary file as they come and reach
// the file only at Commit: a run that stops before writes nothing. Made without a file, they stay in
// memory. A line is either added whole or put together from pieces and ended by End.
class BulletinLines
{
public:
    BulletinLines();
    explicit BulletinLines(const QString &FileName);
    ~BulletinLines();
    BulletinLines(const BulletinLines &) = delete;
    BulletinLines &operator=(const BulletinLines &) = delete;

    void add(QStringView line)
    {
        put(line);
        End();
    }
    BulletinLines &operator<<(QStringView line)
    {
        add(line);
        return *this;
    }
    BulletinLines &operator<<(const QString &line)
    {
        add(line);
        return *this;
    }
    // A piece of the current line: text (encoded), an ASCII or UTF-8 literal, a whole number.
    BulletinLines &put(QStringView text);
    BulletinLines &put(const QString &text) { return put(QStringView(text)); }
    BulletinLines &put(const char *literal);
    BulletinLines &put(int number);
    // Several pieces and the end of the line.
    template <class... Pieces> void line(const Pieces &...pieces)
    {
        (put(pieces), ...);
        End();
    }
    void End();

    // Without a file: what was written, and its lines decoded.
    QByteArray bytes() const { return QByteArray(m_buffer.data(), qsizetype(m_buffer.size())); }
    QStringList lines() const;
    // Writes the rest and puts the file in place; EFileError with the reason when it cannot.
    void Commit();

private:
    void flush();

    std::string m_buffer;
    std::unique_ptr<SafeFileWriter> m_file;
    bool m_opened = false;
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

// The html head and the body's opening (template lines 0 to 2).
void WriteHtmlHead(BulletinLines &Out);
// The head of a bulletin: from the html head on for the first station of the file, from the station's
// table on (template line 3) for a further one. Leaves the bulletin table open.
void WriteReportHeader(BulletinLines &Out, const HeaderOptions &Options, const HeaderStation &Station,
                       bool FirstStation);

// A coordinate kept as degrees, minutes, seconds and hemisphere in fixed widths ("5545 30N") as the
// report window shows it: degrees + "° " + minutes + "' " + seconds + "\" " + hemisphere.
QString CoordinateShown(const QString &Value, int DegWidth);
// The kept value of a shown coordinate; the inverse of CoordinateShown.
QString CoordinateKept(const QString &Shown, int DegWidth);
// A coordinate in degrees as the head shows it (hemisphere letters N/S or E/W), quotes as "&quot;". One
// beyond 90° or 180° (or not a number) is no coordinate: it shows as its number of degrees.
QString CoordinateHtml(double Degrees, bool IsLon);
// Degrees of a kept coordinate; false when a part is not a whole number.
bool CoordinateDegrees(const QString &Kept, int DegWidth, double &Degrees);

// A field as the bulletin writes it: null empty, a number rounded to 3 decimals in its shortest form, any
// other text unchanged; with ZeroAsEmpty a zero is empty.
QString FieldToText(const TField *Field, bool ZeroAsEmpty = false);
// The number a field's text reads as (either decimal separator); false for null and for other text.
bool FieldTextNumber(const TField *Field, double &Value);
// TField::AsFloat, straight for a number.
double FieldFloat(const TField *Field);
// A field's text without the blanks some servers pad fixed-width text columns with; null is empty.
QString FixedFieldText(const TField *Field);
// A number rounded to Digits decimals in its shortest form. A number too large to round (its decimals
// beyond a double) is its own text, an infinity or NaN FloatToStr's ("INF", "NAN").
QString RoundedText(double Value, int Digits);
// The integer part of a number. A value with no 64-bit integer (beyond about 9.2E18, infinite or NaN) is an
// impossible one for every column the bulletins truncate: it prints as stored, in FloatToStr's form
// ("1.5E308"), as a date outside the calendar prints as its number.
QString TruncatedText(double Value);
// A number as its FloatToStr text (15 significant digits) reads back.
double FloatTextValue(double Value);
