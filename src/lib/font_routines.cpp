#include "lib/font_routines.h"

#include "lib/number_routines.h"

#include <QGuiApplication>
#include <QPalette>

#include <limits>

void SetFontFromStr(TUserFont &Font, const QString &Name, int Size, const QString &Color, int Charset,
                    const QString &Style)
{
    Font.Font.setFamily(Name);
    // A negative size is a height in pixels; the one negative int without an opposite is no height.
    if (Size > 0)
        Font.Font.setPointSize(Size);
    else if (Size < 0 && Size != std::numeric_limits<int>::min())
        Font.Font.setPixelSize(-Size);
    if (Color.isEmpty()) {
        Font.Color = clWindowText;
    } else if (Color.startsWith(QLatin1String("0x"))) {
        Font.Color = TColor(HexToDWord(Color.mid(2)));
    } else {
        Font.Color = StrToInt(Color);
    }
    Font.Charset = Charset;
    Font.Font.setBold(Style.contains(QLatin1Char('b')));
    Font.Font.setItalic(Style.contains(QLatin1Char('i')));
    Font.Font.setUnderline(Style.contains(QLatin1Char('u')));
    Font.Font.setStrikeOut(Style.contains(QLatin1Char('s')));
}

bool SameUserFont(const TUserFont &A, const TUserFont &B)
{
    const QFont &a = A.Font;
    const QFont &b = B.Font;
    return a.family() == b.family() && a.pointSize() == b.pointSize() && a.pixelSize() == b.pixelSize() &&
           A.Color == B.Color && A.Charset == B.Charset && a.bold() == b.bold() && a.italic() == b.italic() &&
           a.underline() == b.underline() && a.strikeOut() == b.strikeOut();
}

QColor ColorToQColor(TColor Color)
{
    const auto value = uint32_t(Color);
    if ((value & 0xFF000000u) == 0xFF000000u)
        return QGuiApplication::palette().color(QPalette::WindowText);
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}
