#pragma once
// The desktop program's hologram of the current frame. The frame is
// sampled on the GUI thread, which owns the OpenGL context; the hologram is
// computed on a pool thread while a progress dialog shows the library's
// steps, and so is the reconstruction behind the window, which opens with
// its first picture when both are done.

#include "export/ExportCommands.h"
#include "hologram/HologramComputer.h"
#include "app/HologramWindow.h"
#include "hologram/HologramSettings.h"
#include "view/ViewerState.h"

#include <QFuture>

#include <atomic>

class QWidget;

namespace velmora {

class HologramCommand {
public:
    explicit HologramCommand(Prompt& prompt) : prompt_(prompt) {}
    // A computation still running is cancelled and waited for.
    ~HologramCommand() { cancelAndWait(); }
    HologramCommand(const HologramCommand&) = delete;
    HologramCommand& operator=(const HologramCommand&) = delete;

    // The points are those a colour export of the frame would write now. The
    // window belongs to `parent` and deletes itself when closed; nothing when
    // the hologram could not be made, which the prompt has said why, or
    // when the person cancelled it.
    HologramWindow* showFrameHologram(QWidget* parent, GlView& view, ViewerState& state, const ClientRect& client,
                                      const HologramSettings& settings);

    // The same for points already taken, none included (the computation says
    // why it cannot be made).
    HologramWindow* showHologram(QWidget* parent, const HologramPoints& points, const HologramSettings& settings);

    // Asks a running computation to stop and waits until it has. What it
    // computed, even when it had just finished, is then not shown.
    void cancelAndWait();

private:
    // On the worker; the failure is the whole sentence to show.
    Result<ReconstructedHologram> computeAndReconstruct(const HologramPoints& points, const HologramSettings& settings,
                                                        const HologramProgress& step);

    Prompt& prompt_;
    std::atomic<bool> cancel_ = false;
    QFuture<Result<ReconstructedHologram>> future_;
};

}  // namespace velmora
