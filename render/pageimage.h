#pragma once
// The image a page is rendered into, with what is known of its clear pixels.
// The image is a window onto a taller buffer: moving the page by whole rows
// moves the window, not the pixels, until the spare rows run out.

#include "render/cleanmap.h"

#include <QImage>
#include <memory>

namespace render {

class PageImage {
public:
    // Makes the page-coloured image of size x size device pixels, with spare
    // device rows of buffer above and below it.
    void create(int size, int spare);
    // Returns the image.
    QImage &image() { return page_; }
    const QImage &image() const { return page_; }
    // Returns what is known of the image's clear pixels.
    CleanMap &clean() { return clean_; }
    // Gives device rows top..bottom the page colour.
    void clear(int top, int bottom);
    // Gives the image a buffer of its own while a copy of it is held
    // elsewhere, so that the copy keeps the pixels it had, as any image copy does.
    void detach();
    // Moves the pixels up by `by` device rows (down for a negative by); nothing
    // is known of the rows that move in.
    void scroll(int by);

private:
    void allocateBuffer(int rows);
    void viewAt(int top);

    // The buffer of rows the image shows part of, from row viewTop_ on; every
    // copy of the image keeps the buffer it shows alive.
    std::shared_ptr<uchar[]> buffer_;
    int bufferRows_ = 0;
    int viewTop_ = 0;
    int size_ = 0;
    QImage page_;
    CleanMap clean_;
};

// Gives rows top..bottom of image the page colour, as far as map says they
// hold anything else, and records them clear.
void clearRows(QImage &image, CleanMap &map, int top, int bottom);

} // namespace render
