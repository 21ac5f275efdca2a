#include "app/settings/form_placement.h"

namespace {

// One axis: raise the start to the area's edge, then narrow what runs past the far edge, moving the
// start back when that would fall below the minimum.
void fitAxis(int &pos, int &size, int areaStart, int areaEnd, int minSize)
{
    if (pos < areaStart)
        pos = areaStart;
    if (pos + size > areaEnd) {
        size = areaEnd - pos;
        if (size < minSize) {
            pos -= minSize - size;
            size = minSize;
        }
    }
}

} // namespace

FormPlacement ComputeFormPlacement(const StoredPlacement &stored, const QRect &workArea, int minWidth,
                                   int minHeight)
{
    FormPlacement result;
    if (stored.winstate == QLatin1String("max")) {
        result.maximized = true;
        return result;
    }
    int w = stored.width.value_or(workArea.width() * 3 / 4);
    int h = stored.height.value_or(workArea.height() * 3 / 4);
    int x = stored.x.value_or(workArea.left() + (workArea.width() - w) / 2);
    int y = stored.y.value_or(workArea.top() + (workArea.height() - h) / 2);
    const int right = workArea.left() + workArea.width();
    const int bottom = workArea.top() + workArea.height();
    fitAxis(x, w, workArea.left(), right, minWidth);
    fitAxis(y, h, workArea.top(), bottom, minHeight);
    result.bounds = QRect(x, y, w, h);
    return result;
}
