#pragma once
// The File menu's exports of the frame: the point files and 3di data with
// their questions and a series' progress, and the hologram.

#include "app/ExportDialogs.h"
#include "app/FrameView.h"
#include "app/HologramCommand.h"
#include "hologram/HologramSettings.h"
#include "platform/SettingsStore.h"

#include <QObject>
#include <QString>

class QProgressDialog;
class QWidget;

namespace velmora {

class FrameExports : public QObject {
    Q_OBJECT
public:
    // `window` parents the dialogs and the hologram's window; everything
    // given must outlive the exports.
    FrameExports(QWidget& window, FrameView& frame, ViewerState& state, Prompt& prompt, SettingsStore& settings);

    // Asks `question` and writes what the answer requests. The export
    // samples the rectangle it starts with: the framebuffer, the projection
    // and the stored size keep theirs until it ends.
    void exportFrame(const ExportQuestion& question);
    // Asks the hologram's settings, then computes the frame's hologram and
    // shows it; without a model the frame has no points, and the empty
    // frame's box says so.
    void showHologram();
    // Stops a hologram being computed and waits for it.
    void cancelHologram() { hologram_.cancelAndWait(); }

    // The label of the last progress step of a multi-view export.
    const QString& lastProgressText() const { return lastProgressText_; }
    // What File > Hologram computes, less what its form asks.
    HologramSettings& hologramSettings() { return hologramSettings_; }

signals:
    // A multi-view export is about to draw view `number` of `count`.
    void viewProgress(int number, int count);

private:
    void showViewProgress(std::unique_ptr<QProgressDialog>& dialog, int number, int count);

    QWidget& window_;
    FrameView& frame_;
    ViewerState& state_;
    Prompt& prompt_;
    SettingsStore& settings_;
    HologramCommand hologram_;
    QString lastProgressText_;
    HologramSettings hologramSettings_;
};

}  // namespace velmora
