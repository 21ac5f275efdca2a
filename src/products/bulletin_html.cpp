#include "products/bulletin_html.h"

#include "lib/codec.h"
#include "lib/coordinates.h"
#include "lib/dataset_api.h"
#include "lib/epoch.h"
#include "lib/errors.h"
#include "lib/number_routines.h"
#include "lib/safe_write.h"
#include "lib/text_routines.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace {

// The stream is handed to the disk in pieces of this size.
constexpr qsizetype kFlushSize = 256 * 1024;

void encodeInto(std::string &out, QStringView text)
{
    const std::size_t at = out.size();
    out.resize(at + std::size_t(text.size()));
    char *dst = out.data() + at;
    for (const QChar c : text)
        *dst++ = c.unicode() < 0x80 ? char(c.unicode()) : toCp1251Char(c);
}

} // namespace

BulletinLines::BulletinLines(const QString &FileName) : m_file(std::make_unique<SafeFileWriter>(FileName))
{
    m_buffer.reserve(std::size_t(kFlushSize) + 4096);
}

BulletinLines::BulletinLines() = default;

BulletinLines::~BulletinLines() = default;

BulletinLines &BulletinLines::put(QStringView text)
{
    encodeInto(m_buffer, text);
    return *this;
}

BulletinLines &BulletinLines::put(const char *literal)
{
    const char *p = literal;
    while (*p && static_cast<unsigned char>(*p) < 0x80)
        ++p;
    m_buffer.append(literal, std::size_t(p - literal));
    if (*p)
        encodeInto(m_buffer, QString::fromUtf8(p));
    return *this;
}

BulletinLines &BulletinLines::put(int number)
{
    char digits[16];
    const auto end = std::to_chars(digits, digits + sizeof digits, number).ptr;
    m_buffer.append(digits, std::size_t(end - digits));
    return *this;
}

void BulletinLines::End()
{
    m_buffer.append("\r\n", 2);
    if (m_file && m_buffer.size() >= std::size_t(kFlushSize))
        flush();
}

void BulletinLines::flush()
{
    // The temporary file is made with the first bytes, so a run that stops before leaves nothing behind.
    if ((!m_opened && !m_file->open()) || !m_file->write(m_buffer.data(), qint64(m_buffer.size())))
        throw EFileError(SafeWriteMessage(m_file->fileName(), m_file->errorString()));
    m_opened = true;
    m_buffer.clear();
}

void BulletinLines::Commit()
{
    if (!m_file)
        return;
    flush();
    if (!m_file->commit())
        throw EFileError(SafeWriteMessage(m_file->fileName(), m_file->errorString()));
}

QStringList BulletinLines::lines() const
{
    QStringList out = fromCp1251(bytes()).split(QStringLiteral("\r\n"));
    if (!out.isEmpty() && out.last().isEmpty())
        out.removeLast();
    return out;
}

const std::array<const char *, 74> HtmlBulletinTemplate = {
    R"(<html><head><meta http-equiv=Content-Type content="text/html; charset=windows-1251">)",
    "<title>Отчёт</title></head>",
    "<body lang=RU>",
    "<table width=100% border=0 cellspacing=0 cellpadding=4",
    R"(style="font-family:Times New Roman;font-size:11.0pt;color:black">)",
    R"(<tr style="color:navy">)",
    "<td nowrap colspan=2>Сейсмическая станция</td>",
    R"(<td nowrap align=right style="font-size:20.0pt">)",
    "<b><i>Бюллетень №</i></b>",
    R"(<span style="font-size:18.0pt;font-family:Arial;color:black">)",
    "",
    "</span>",
    "</td></tr>",
    "<tr height=30pt>",
    "",
    R"(<td nowrap colspan=2 valign=top style="font-size:10.0pt"><u>)",
    "",
    "</u></td>",
    "<td nowrap align=right valign=bottom><u>",
    R"(<span style="color:navy">c</span>)",
    "",
    R"(<span style="font-size:8.0pt;font-family:Arial">)",
    "",
    "</span>",
    R"(<span style="color:navy">по</span>)",
    "",
    R"(<span style="font-size:8.0pt;font-family:Arial">)",
    "",
    "</span>",
    "</u></td></tr>",
    "<tr height=30pt>",
    R"(<td nowrap colspan=3 valign=top style="color:navy">)",
    R"(<b><span style="font-family:Symbol">j = </span></b>)",
    "",
    R"(<b><span style="font-family:Symbol">l = </span></b>)",
    "",
    "</td></tr>",
    R"(<tr valign=top height=40pt style="color:navy">)",
    "<td>подпочва</td>",
    "<td nowrap><u>",
    "",
    "</u></td><td width=20pt>&nbsp;</td></tr></table>",
    "<table width=100% border=0 cellspacing=0 cellpadding=2",
    R"(style="font-family:Arial;font-size:8pt;)",
    R"(color:black">)",
    R"(<tr align=left valign=top style="font-family:Times New Roman;)",
    R"(font-size:10pt;color:navy">)",
    "<td rowspan=2>",
    "№ сей<br>cмо<br>грам<br>мы</td>",
    "<td rowspan=2>",
    "№ земле<br>трясе<br>ния</td>",
    "<td rowspan=2>",
    "Дата</td>",
    "<td rowspan=2>",
    "Обоз<br>наче<br>ние волны</td>",
    "<td rowspan=2>",
    "Тип прибора и состав<br>ляющая</td>",
    "<td rowspan=2>",
    "Время, ч:м:с</td>",
    "<td rowspan=2>",
    "S-P (м c)</td>",
    "<td rowspan=2>",
    R"(<b><span style="font-family:Symbol">D°</span></b><br>)",
    "град</td>",
    "<td rowspan=2>T</td>",
    "<td colspan=3 align=center>A</td>",
    "<td rowspan=2>М</td>",
    "<td rowspan=2>",
    "Примечание</td></tr>",
    R"(<tr align=left valign=bottom style="font-family:Times New Roman;)",
    R"(font-size:10pt;color:navy">)",
    "<td>NS</td>",
    "<td>EW</td>",
    "<td>Z</td></tr>",
};

namespace {

QString monthYear(int month, int year)
{
    return GenitiveMonthNames[month - 1].toString() + QLatin1Char(' ') + QString::number(year) +
           QStringLiteral(" г.");
}

} // namespace

void WriteHtmlHead(BulletinLines &Out)
{
    for (int i = 0; i < 3; ++i)
        Out.add(QString::fromUtf8(HtmlBulletinTemplate[size_t(i)]));
}

void WriteReportHeader(BulletinLines &Out, const HeaderOptions &Options, const HeaderStation &Station,
                       bool FirstStation)
{
    int by, bm, bd, ey, em, ed;
    DecodeDate(Options.begDate, by, bm, bd);
    DecodeDate(Options.endDate, ey, em, ed);
    const bool oneDay = by == ey && bm == em && bd == ed;
    const bool grouped = Options.qtype == 1 && Options.severalStations;
    if (FirstStation)
        WriteHtmlHead(Out);
    for (int i = 3; i < int(HtmlBulletinTemplate.size()); ++i) {
        QString value = QString::fromUtf8(HtmlBulletinTemplate[size_t(i)]);
        switch (i) {
        case 10:
            value = QString::number(Options.number);
            break;
        case 16:
            value = grouped ? QStringLiteral("&lt; несколько станций &gt;") : Station.name;
            break;
        case 19:
        case 21:
        case 23:
        case 24:
            if (oneDay)
                value.clear();
            break;
        case 20:
            value = oneDay ? QString() : QString::number(bd);
            break;
        case 22:
            value = oneDay || (!Options.putBegDate && by == ey && bm == em) ? QString() : monthYear(bm, by);
            break;
        case 25:
            value = QString::number(ed);
            break;
        case 27:
            value = monthYear(em, ey);
            break;
        case 32:
            if (grouped)
                value = QStringLiteral("&nbsp;");
            break;
        case 34:
            if (grouped)
                value.clear();
            break;
        case 38:
            if (grouped)
                value = QStringLiteral("<td>&nbsp;</td>");
            break;
        case 33:
            value = grouped ? QString() : Station.latitude + QLatin1Char(';');
            break;
        case 35:
            value = grouped ? QString()
                            : Station.longitude + QStringLiteral("; <b>H = </b>") + Station.height +
                                  QStringLiteral(" м");
            break;
        case 40:
            value = grouped ? QString() : IfEmptyStr(Station.ground, QStringLiteral("&lt; не указана &gt;"));
            break;
        case 42:
            if (Options.drawTable)
                value.replace(QStringLiteral("border=0"), QStringLiteral("border=1"));
            break;
        case 48:
            if (Options.orx)
                value = Options.qtype == 1 ? QStringLiteral("Станция /<br>№ земле<br>трясения</td>")
                                           : QStringLiteral("№ земле<br>трясения</td>");
            break;
        case 50:
            if (Options.orx)
                value = QStringLiteral("&nbsp;</td>");
            break;
        default:
            break;
        }
        if (!value.isEmpty())
            Out.add(value);
    }
}

QString CoordinateShown(const QString &Value, int DegWidth)
{
    const QString v = PadStr(Value, QLatin1Char(' '), DegWidth + 5, false);
    return v.mid(0, DegWidth) + QStringLiteral("° ") + v.mid(DegWidth, 2) + QStringLiteral("' ") +
           v.mid(DegWidth + 2, 2) + QStringLiteral("\" ") + v.mid(DegWidth + 4, 1);
}

QString CoordinateKept(const QString &Shown, int DegWidth)
{
    const QString s = PadStr(Shown, QLatin1Char(' '), DegWidth + 11, false);
    return s.mid(0, DegWidth) + s.mid(DegWidth + 2, 2) + s.mid(DegWidth + 6, 2) + s.mid(DegWidth + 10, 1);
}

QString CoordinateHtml(double Degrees, bool IsLon)
{
    int d, m, s;
    QChar hemi;
    if (!(std::fabs(Degrees) <= (IsLon ? 180 : 90)))
        return FloatToStr(Degrees) + QStringLiteral("°");
    DegToDMS(Degrees, IsLon, d, m, s, hemi);
    const auto pad = [](int v, int w) { return PadStr(QString::number(v), QLatin1Char(' '), w, false); };
    return pad(d, IsLon ? 3 : 2) + QStringLiteral("° ") + pad(m, 2) + QStringLiteral("' ") + pad(s, 2) +
           QStringLiteral("&quot; ") + hemi;
}

bool CoordinateDegrees(const QString &Kept, int DegWidth, double &Degrees)
{
    const QString v = PadStr(Kept, QLatin1Char(' '), DegWidth + 5, false);
    bool okD, okM, okS;
    const int d = v.mid(0, DegWidth).trimmed().toInt(&okD);
    const int m = v.mid(DegWidth, 2).trimmed().toInt(&okM);
    const int s = v.mid(DegWidth + 2, 2).trimmed().toInt(&okS);
    if (!okD || !okM || !okS)
        return false;
    Degrees = DMSToDeg(d, m, s, v.at(DegWidth + 4));
    return true;
}

namespace {

// FloatToStr's text of a number without exponent (sizes 1e-4 to 1e14) is printf's "%.15g", except for a
// number exactly between two texts of 15 digits, which the two round apart: false for those and for other
// sizes, which go the slow way.
bool fastFloatText(double Value, char (&Text)[32], char *&End)
{
    const double a = std::fabs(Value);
    if (!(a >= 1e-4 && a < 1e14))
        return false;
    char digits[48];
    std::to_chars(digits, digits + sizeof digits, a, std::chars_format::scientific, 24);
    // "d.ddd…": the 16th significant digit stands at 16; a tie is a 5 there and nothing after it.
    if (digits[16] == '5' && std::all_of(digits + 17, digits + 26, [](char c) { return c == '0'; }))
        return false;
    End = std::to_chars(Text, Text + sizeof Text, Value, std::chars_format::general, 15).ptr;
    return true;
}

} // namespace

double FloatTextValue(double Value)
{
    char text[32];
    char *end;
    if (Value == 0 || !fastFloatText(Value, text, end))
        return Value == 0 ? 0 : FloatToStr(Value).toDouble();
    double back = 0;
    std::from_chars(text, end, back);
    return back;
}

QString RoundedText(double Value, int Digits)
{
    const double scale = std::pow(10.0, Digits);
    // Past 2^53 a double has no fraction left to round; scaled past the largest double it would be INF.
    if (!std::isfinite(Value * scale) || std::fabs(Value) >= 9007199254740992.0)
        return FloatToStr(Value);
    const double r = std::round(Value * scale) / scale;
    if (r == 0)
        return QStringLiteral("0"); // no "-0"
    char text[32];
    char *end;
    return fastFloatText(r, text, end) ? QString::fromLatin1(text, end - text) : FloatToStr(r);
}

QString TruncatedText(double Value)
{
    const double t = std::trunc(Value);
    if (t >= -9223372036854775808.0 && t < 9223372036854775808.0)
        return QString::number(qint64(t));
    return FloatToStr(t);
}

bool FieldTextNumber(const TField *Field, double &Value)
{
    if (!Field)
        return false;
    const QVariant v = Field->Value();
    if (v.isNull())
        return false;
    if (v.typeId() == QMetaType::Double && IsFloatFieldType(Field->DataType()) &&
        std::isfinite(v.toDouble())) {
        Value = FloatTextValue(v.toDouble());
        return true;
    }
    return TryStrToFloatAny(FieldValueText(Field->DataType(), v), Value);
}

double FieldFloat(const TField *Field)
{
    if (!Field)
        return 0;
    const QVariant v = Field->Value();
    return v.typeId() == QMetaType::Double ? v.toDouble() : Field->AsFloat();
}

QString FieldToText(const TField *Field, bool ZeroAsEmpty)
{
    if (!Field)
        return {};
    const QVariant v = Field->Value();
    if (v.isNull())
        return {};
    double x;
    if (!FieldTextNumber(Field, x))
        return FieldValueText(Field->DataType(), v);
    if (ZeroAsEmpty && x == 0)
        return {};
    return RoundedText(x, 3);
}

QString FixedFieldText(const TField *Field)
{
    if (!Field || Field->IsNull())
        return {};
    QString s = Field->AsString();
    if (Field->DataType() == FieldType::FixedChar) {
        qsizetype end = s.size();
        while (end > 0 && s.at(end - 1) == QLatin1Char(' '))
            --end;
        s.truncate(end);
    }
    return s;
}
