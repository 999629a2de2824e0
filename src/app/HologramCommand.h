#pragma once
// The desktop program's hologram of the current frame. The frame is
// sampled on the GUI thread, which owns the OpenGL context; the hologram is
// computed on a worker thread while a progress dialog shows the library's
// steps, and the reconstruction window opens when it is done.

#include "export/ExportCommands.h"
#include "hologram/HologramSettings.h"

class QWidget;

namespace velmora {

class HologramWindow;

// The points are those a colour export of the frame would write now. The
// window belongs to `parent` and deletes itself when closed; nothing when
// the hologram could not be made, which the prompt has said why.
HologramWindow* showFrameHologram(QWidget* parent, GlView& view, Prompt& prompt, ViewerState& state,
                                  const ClientRect& client, const HologramSettings& settings);

// The same for points already taken, none included (the computation says
// why it cannot be made).
HologramWindow* showHologram(QWidget* parent, const HologramPoints& points, Prompt& prompt,
                             const HologramSettings& settings);

}  // namespace velmora
