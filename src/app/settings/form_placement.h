#pragma once

#include <QRect>
#include <QString>

#include <optional>

// A window's stored placement: "winstate", "winwidth", "winheight", "winx", "winy".
struct FormPlacement
{
    bool maximized = false;
    QRect bounds;
};

// What the INI section holds; absent values take defaults that centre three quarters of the work area.
// The result lies inside the work area where it can and is never smaller than the minimum size.
struct StoredPlacement
{
    QString winstate;
    std::optional<int> width;
    std::optional<int> height;
    std::optional<int> x;
    std::optional<int> y;
};

FormPlacement ComputeFormPlacement(const StoredPlacement &stored, const QRect &workArea, int minWidth,
                                   int minHeight);
