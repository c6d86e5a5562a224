#include "render/cleanmap.h"

#include <algorithm>
#include <cstdlib>

namespace render {

void CleanMap::markClean(int top, int bottom)
{
    top = std::max(top, 0);
    bottom = std::min(bottom, height() - 1);
    for (int y = top; y <= bottom; ++y)
        dirtyRight_[size_t(y)] = 0;
}

void CleanMap::markDirty(const QRect &r)
{
    markDirtyWasClean(r);
}

bool CleanMap::markDirtyWasClean(const QRect &r)
{
    if (r.isEmpty())
        return true;
    const int top = std::max(r.top(), 0);
    const int bottom = std::min(r.bottom(), height() - 1);
    const int left = r.left();
    const int right = r.right() + 1;
    bool clean = true;
    for (int y = top; y <= bottom; ++y) {
        int &d = dirtyRight_[size_t(y)];
        clean = clean && d <= left;
        d = std::max(d, right);
    }
    return clean;
}

void CleanMap::scroll(int dy)
{
    const int n = std::min(std::abs(dy), height());
    if (dy > 0) {
        std::move(dirtyRight_.begin() + n, dirtyRight_.end(), dirtyRight_.begin());
        std::fill(dirtyRight_.end() - n, dirtyRight_.end(), INT_MAX);
    } else {
        std::move_backward(dirtyRight_.begin(), dirtyRight_.end() - n, dirtyRight_.end());
        std::fill(dirtyRight_.begin(), dirtyRight_.begin() + n, INT_MAX);
    }
}

void CleanMap::markAllDirty()
{
    std::fill(dirtyRight_.begin(), dirtyRight_.end(), INT_MAX);
}

bool CleanMap::isClean(const QRect &r) const
{
    const int top = std::max(r.top(), 0);
    const int bottom = std::min(r.bottom(), height() - 1);
    for (int y = top; y <= bottom; ++y) {
        if (dirtyRight_[size_t(y)] > r.left())
            return false;
    }
    return true;
}

} // namespace render
