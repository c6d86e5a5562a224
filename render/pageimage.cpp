#include "render/pageimage.h"

#include "render/colors.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace render {

namespace {

void releaseBuffer(void *holder)
{
    delete static_cast<std::shared_ptr<uchar[]> *>(holder);
}

} // namespace

void clearRows(QImage &image, CleanMap &map, int top, int bottom)
{
    // Only what was drawn since the rows were last clear needs the page colour again.
    // Each row is copied from one clear row: the library's copy is the fastest
    // way to put the same pixels into memory.
    static std::vector<QRgb> clearRow;
    if (clearRow.size() < size_t(image.width()))
        clearRow.assign(size_t(image.width()), toRgb(kPageColor));
    uchar *bits = image.bits();
    for (int y = std::max(top, 0); y <= std::min(bottom, image.height() - 1); ++y) {
        const int right = std::min(map.dirtyRight(y), image.width());
        if (right > 0)
            std::memcpy(bits + qsizetype(y) * image.bytesPerLine(), clearRow.data(),
                        size_t(right) * sizeof(QRgb));
    }
    map.markClean(top, bottom);
}

void PageImage::create(int size, int spare)
{
    size_ = size;
    allocateBuffer(size + 2 * spare);
    viewAt(spare);
    // Nothing is known of the new image: clearing fills every row.
    clean_ = CleanMap(size);
    clear(0, size - 1);
}

void PageImage::clear(int top, int bottom)
{
    clearRows(page_, clean_, top, bottom);
}

void PageImage::allocateBuffer(int rows)
{
    buffer_.reset(new uchar[size_t(rows) * size_t(size_) * sizeof(QRgb)]);
    bufferRows_ = rows;
}

// Makes the image show the buffer from device row top on.
void PageImage::viewAt(int top)
{
    const qsizetype stride = qsizetype(size_) * qsizetype(sizeof(QRgb));
    viewTop_ = top;
    page_ = QImage(buffer_.get() + top * stride, size_, size_, stride, QImage::Format_RGB32, releaseBuffer,
                   new std::shared_ptr<uchar[]>(buffer_));
}

void PageImage::detach()
{
    if (page_.isDetached())
        return;
    const std::shared_ptr<uchar[]> held = buffer_;
    const size_t at = size_t(viewTop_) * size_t(page_.bytesPerLine());
    allocateBuffer(bufferRows_);
    std::memcpy(buffer_.get() + at, held.get() + at, page_.sizeInBytes());
    viewAt(viewTop_);
}

void PageImage::scroll(int by)
{
    // The window moves down the buffer, so the image shows its pixels higher.
    if (viewTop_ + by < 0 || viewTop_ + by + page_.height() > bufferRows_) {
        // Out of spare rows: the page goes to the far end of the buffer, so
        // that moving on the same way finds every spare row ahead of it.
        const int to = by > 0 ? 0 : bufferRows_ - page_.height();
        const qsizetype stride = page_.bytesPerLine();
        std::memmove(buffer_.get() + to * stride, buffer_.get() + viewTop_ * stride, page_.sizeInBytes());
        viewTop_ = to;
    }
    viewAt(viewTop_ + by);
    clean_.scroll(by);
}

} // namespace render
