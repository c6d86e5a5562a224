#pragma once
// The two link glyphs: a blue arrow pointing down for a pointer and a blue disc
// for a marker, 20 x 25 pixels on white, with white left out when drawn.

#include <QImage>

namespace render {

constexpr int kGlyphWidth = 20;
constexpr int kGlyphHeight = 25;

// Returns the pointer glyph: ARGB image, blue arrow, white made transparent;
// at a device pixel ratio, the same drawing at the device's resolution.
QImage createPointerGlyph(double ratio = 1.0);
// Returns the marker glyph: ARGB image, blue 10 x 10 disc, white made transparent.
QImage createMarkerGlyph(double ratio = 1.0);

} // namespace render
