#pragma once

#include <QColor>
#include <QFont>
#include <QString>

#include <cstdint>

// A colour as the settings files store it: 0x00BBGGRR, or a system colour with the high byte 0xFF.
using TColor = int32_t;

constexpr TColor clWindowText = TColor(0xFF000008);
constexpr TColor clRed = 0x0000FF;
constexpr TColor clGreen = 0x008000;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clNavy = 0x800000;

// A user font: the face with its style, plus what QFont does not hold, the colour and the character set
// the settings keep for it.
struct TUserFont
{
    QFont Font;
    TColor Color = clWindowText;
    int Charset = 1;
};

// Name and Size as given; Color empty is the window-text colour, "0x..." (small x only) hexadecimal,
// anything else decimal (EConvertError when it does not convert); Style takes bold, italic, underline
// and strike-out from the letters b, i, u, s anywhere in it.
void SetFontFromStr(TUserFont &Font, const QString &Name, int Size, const QString &Color, int Charset,
                    const QString &Style);

// Name, size, colour, character set and style equal.
bool SameUserFont(const TUserFont &A, const TUserFont &B);

// The colour to paint with; system colours come from the application palette.
QColor ColorToQColor(TColor Color);
