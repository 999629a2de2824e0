#include "app/HologramCommand.h"

#include "app/HologramWindow.h"

#include <QFutureWatcher>
#include <QProgressDialog>
#include <QtConcurrent/QtConcurrentRun>

#include <memory>

namespace velmora {

namespace {

void setUpDialog(QProgressDialog& dialog, const Prompt& prompt, std::size_t pointCount) {
    dialog.setWindowTitle(QString::fromStdString(prompt.applicationTitle()));
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setRange(0, 0);
    dialog.setMinimumDuration(0);
    dialog.setLabelText(QStringLiteral("Computing the hologram of %1 points").arg(pointCount));
}

}  // namespace

HologramWindow* HologramCommand::showFrameHologram(QWidget* parent, GlView& view, ViewerState& state,
                                                   const ClientRect& client, const HologramSettings& settings) {
    const HologramPoints points =
        sampleFramePoints(view, prompt_, client, {state.Output_Scalxy, state.Output_Scalz}, state.random, true);
    return showHologram(parent, points, settings);
}

HologramWindow* HologramCommand::showHologram(QWidget* parent, const HologramPoints& points,
                                              const HologramSettings& settings) {
    QProgressDialog dialog(parent);
    setUpDialog(dialog, prompt_, points.points.size());
    // Cancel only raises the flag the computation reads: the dialog stays
    // until the worker has stopped, and the watcher alone closes it, so it
    // never goes before its modal loop has started.
    // (The dialog connects that signal to its own hide by name.)
    QObject::disconnect(&dialog, SIGNAL(canceled()), &dialog, SLOT(cancel()));
    QObject::connect(&dialog, &QProgressDialog::canceled, [this] { cancel_ = true; });
    QFutureWatcher<Result<ReconstructedHologram>> watcher;
    // Closing a progress dialog signals canceled too: the computation's end
    // is no cancel.
    QObject::connect(&watcher, &QFutureWatcherBase::finished, &dialog, [&dialog] {
        QObject::disconnect(&dialog, &QProgressDialog::canceled, nullptr, nullptr);
        dialog.accept();
    });

    cancel_ = false;
    // The dialog and the points outlive the worker: it is waited for before they go.
    future_ = QtConcurrent::run([this, &points, &settings, shown = &dialog] {
        const auto step = [shown](const std::string& text) {
            QMetaObject::invokeMethod(
                shown, [shown, text = QString::fromStdString(text)] { shown->setLabelText(text); },
                Qt::QueuedConnection);
        };
        return computeAndReconstruct(points, settings, step);
    });
    watcher.setFuture(future_);
    dialog.exec();
    // The modal loop also ends when the program quits: nothing is shown then.
    if (!future_.isFinished()) cancelAndWait();
    // A person who pressed Cancel asked for nothing more, even when the
    // computation had just finished.
    if (cancel_) return nullptr;
    Result<ReconstructedHologram> result = future_.takeResult();
    if (!result) {
        prompt_.show(result.error(), std::string(kErrorCaption), PromptIcon::Error);
        return nullptr;
    }
    result->points = std::make_shared<const HologramPoints>(points);
    auto window = std::make_unique<HologramWindow>(std::move(*result), settings, prompt_, parent);
    window->show();
    // Owned by its parent from here, like every widget of the frame.
    return window.release();
}

Result<ReconstructedHologram> HologramCommand::computeAndReconstruct(const HologramPoints& points,
                                                                     const HologramSettings& settings,
                                                                     const HologramProgress& step) {
    using Reconstructed = Result<ReconstructedHologram>;
    Result<HologramSet> computed = computeHolograms(points, settings, step, &cancel_);
    if (!computed) return Reconstructed::failure("Cannot compute the hologram: " + computed.error());
    // The reconstruction takes as long as a few refocuses: a Cancel pressed
    // meanwhile is seen at its end.
    if (cancel_) return Reconstructed::failure(kCancelled);
    Reconstructed reconstructed = reconstructHologram(std::move(*computed), settings, step);
    if (!reconstructed) return Reconstructed::failure("Cannot show the hologram: " + reconstructed.error());
    return reconstructed;
}

void HologramCommand::cancelAndWait() {
    // Also when the work has just finished: a hologram whose window has not
    // come up yet is no longer wanted.
    cancel_ = true;
    if (future_.isValid()) future_.waitForFinished();
}

}  // namespace velmora
