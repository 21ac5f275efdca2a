#include "app/settings/form_placement.h"

#include <algorithm>
#include <limits>

namespace {

// One axis, in 64 bits because the stored values are any integers the file holds: never below the
// minimum size, the start raised to the area's edge, then what runs past the far edge narrowed, moving
// the start back when that would fall below the minimum.
void fitAxis(qint64 &pos, qint64 &size, qint64 areaStart, qint64 areaEnd, qint64 minSize)
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

int toInt(qint64 value)
{
    return int(std::clamp<qint64>(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

} // namespace

FormPlacement ComputeFormPlacement(const StoredPlacement &stored, const QRect &workArea, int minWidth,
                                   int minHeight, const QSize &preferred, const QSize &frame)
{
    FormPlacement result;
    if (stored.winstate == QLatin1String("max")) {
        result.maximized = true;
        return result;
    }
    const qint64 left = workArea.left(), top = workArea.top();
    const qint64 width = workArea.width(), height = workArea.height();
    const auto byDefault = [](qint64 area, int wanted, int frame) {
        return std::max(area * 3 / 4, std::min<qint64>(std::max(wanted, 0), area - std::max(frame, 0)));
    };
    qint64 w =
        std::max<qint64>(stored.width.value_or(byDefault(width, preferred.width(), frame.width())), minWidth);
    qint64 h = std::max<qint64>(stored.height.value_or(byDefault(height, preferred.height(), frame.height())),
                                minHeight);
    qint64 x = stored.x ? qint64(*stored.x) : left + (width - w) / 2;
    qint64 y = stored.y ? qint64(*stored.y) : top + (height - h) / 2;
    fitAxis(x, w, left, left + width, minWidth);
    fitAxis(y, h, top, top + height, minHeight);
    result.bounds = QRect(toInt(x), toInt(y), toInt(w), toInt(h));
    return result;
}
