#include "render/colors.h"

#include <algorithm>

namespace render {

QRect hvLineRect(int x1, int y1, int x2, int y2)
{
    if (y1 == y2 && x1 != x2) {
        const int from = x1 < x2 ? x1 : x2 + 1;
        const int to = x1 < x2 ? x2 - 1 : x1;
        return QRect(from, y1, to - from + 1, 1);
    }
    if (x1 == x2 && y1 != y2) {
        const int from = y1 < y2 ? y1 : y2 + 1;
        const int to = y1 < y2 ? y2 - 1 : y1;
        return QRect(x1, from, 1, to - from + 1);
    }
    return {};
}

void hvLine(QPainter &p, uint32_t color, int x1, int y1, int x2, int y2)
{
    const QRect r = hvLineRect(x1, y1, x2, y2);
    if (!r.isEmpty())
        p.fillRect(r, bgr(color));
}

} // namespace render
