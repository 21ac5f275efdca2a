#pragma once

#include <QRect>
#include <QSize>
#include <QString>

#include <optional>

// A window's stored placement: "winstate", "winwidth", "winheight", "winx", "winy".
struct FormPlacement
{
    bool maximized = false;
    QRect bounds;
};

// What the INI section holds; absent values take defaults that centre three quarters of the work area, or
// more of it where the window's contents want more (Preferred, a client size): on a small screen a window
// opens as large as its contents ask, up to the work area less the window system's frame (Frame). The
// result lies inside the work area where it can and is never smaller than the minimum size.
struct StoredPlacement
{
    QString winstate;
    std::optional<int> width;
    std::optional<int> height;
    std::optional<int> x;
    std::optional<int> y;
};

FormPlacement ComputeFormPlacement(const StoredPlacement &stored, const QRect &workArea, int minWidth,
                                   int minHeight, const QSize &preferred = QSize(),
                                   const QSize &frame = QSize());
