#pragma once
// Colours are written as 0xBBGGRR values (blue in the high byte); these helpers
// turn them into Qt colours, and name the ones the page uses.

#include <QColor>
#include <QPainter>
#include <QRect>
#include <cstdint>

namespace render {

// Returns the Qt colour of a 0xBBGGRR value.
inline QColor bgr(uint32_t v)
{
    return QColor(int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF));
}

// Returns the opaque image pixel (0xAARRGGBB) of a 0xBBGGRR value.
constexpr QRgb toRgb(uint32_t v)
{
    return 0xFF000000u | ((v & 0xFF) << 16) | (v & 0xFF00) | ((v >> 16) & 0xFF);
}

// Returns the 0xBBGGRR value of an image pixel.
inline uint32_t toBgr(QRgb rgb)
{
    return uint32_t(qRed(rgb)) | (uint32_t(qGreen(rgb)) << 8) | (uint32_t(qBlue(rgb)) << 16);
}

constexpr uint32_t kPageColor = 0xF0FFFF;
constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kBlue = 0xFF0000;
constexpr uint32_t kRed = 0x0000FF;
constexpr uint32_t kHeaderColor = 0x0000A0;
constexpr uint32_t kGreyBackground = 0xD8D8D8;
constexpr uint32_t kBoxColor = 0x707070;
constexpr uint32_t kWhite = 0xFFFFFF;

// Returns the pixels that hvLine covers for these end points; empty when none.
QRect hvLineRect(int x1, int y1, int x2, int y2);

// Draws a horizontal or vertical line from (x1, y1) towards (x2, y2) that covers
// its start point and stops one pixel short of its end point; a line of no
// length draws nothing. Any other direction is not used by the editor.
void hvLine(QPainter &p, uint32_t color, int x1, int y1, int x2, int y2);

} // namespace render
