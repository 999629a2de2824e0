#include "app/FrameExports.h"

#include "app/HologramSettingsDialog.h"

#include <QCoreApplication>
#include <QProgressDialog>
#include <QWidget>

#include <memory>

namespace velmora {

FrameExports::FrameExports(QWidget& window, FrameView& frame, ViewerState& state, Prompt& prompt,
                           SettingsStore& settings)
    : window_(window), frame_(frame), state_(state), prompt_(prompt), settings_(settings), hologram_(prompt) {
    hologramSettings_.wisdomFolder = defaultWisdomFolder();
}

void FrameExports::exportFrame(const ExportQuestion& question) {
    const ClientRect client = frame_.clientRect();
    std::unique_ptr<QProgressDialog> dialog;
    const ViewProgress progress = [&](int number, int count, float, float, float) {
        showViewProgress(dialog, number, count);
    };
    frame_.busy = true;
    frame_.gl->holdSize(true);
    if (auto request = askExport(prompt_, frame_.view.get(), question)) {
        // The values the viewpoint and coordinates dialogs last set, and the
        // phases running on from the program's one generator.
        request->scales = {state_.Output_Scalxy, state_.Output_Scalz};
        request->viewpoint = {state_.viewPointX, state_.viewPointY, state_.viewPointZ};
        request->random = &state_.random;
        runExport(*frame_.view, prompt_, client, *request, progress);
    }
    frame_.busy = false;
    frame_.gl->holdSize(false);
}

void FrameExports::showViewProgress(std::unique_ptr<QProgressDialog>& dialog, int number, int count) {
    lastProgressText_ = QStringLiteral("Exporting view %1 of %2").arg(number).arg(count);
    emit viewProgress(number, count);
    // A series shows which view it is at, and the window stays painted.
    if (count < 2) return;
    if (!dialog) {
        dialog = std::make_unique<QProgressDialog>(&window_);
        dialog->setWindowTitle(QStringLiteral("QUNT"));
        dialog->setWindowModality(Qt::WindowModal);
        dialog->setCancelButton(nullptr);
        dialog->setMinimumDuration(0);
        dialog->setRange(0, count);
    }
    dialog->setLabelText(lastProgressText_);
    dialog->setValue(number - 1);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void FrameExports::showHologram() {
    const auto asked = askHologramSettings(prompt_, settings_, hologramSettings_);
    if (!asked) return;
    hologramSettings_ = *asked;
    frame_.busy = true;
    if (frame_.view)
        hologram_.showFrameHologram(&window_, *frame_.view, state_, frame_.clientRect(), hologramSettings_);
    else
        hologram_.showHologram(&window_, HologramPoints{}, hologramSettings_);
    frame_.busy = false;
}

}  // namespace velmora
