#pragma once
// The style machine the render and link targets measure and draw with.

#include "fuzzsupport.h"
#include "render/glyphs.h"
#include "render/stylemachine.h"

namespace fuzz {

// Returns the one style machine with its two glyphs; starts the offscreen GUI
// on first use, so call it from LLVMFuzzerInitialize.
inline render::StyleMachine &styleMachine()
{
    startOffscreenGui();
    static const QImage pointer = render::createPointerGlyph();
    static const QImage marker = render::createMarkerGlyph();
    static render::StyleMachine machine(pointer, marker);
    return machine;
}

} // namespace fuzz
