#include "app/HologramCommand.h"

#include "app/HologramWindow.h"

#include <QEventLoop>
#include <QProgressDialog>

#include <atomic>
#include <memory>
#include <optional>
#include <thread>

namespace velmora {

HologramWindow* showFrameHologram(QWidget* parent, GlView& view, Prompt& prompt, ViewerState& state,
                                  const ClientRect& client, const HologramSettings& settings) {
    return showHologram(parent, sampleFramePoints(view, prompt, state, client, true), prompt, settings);
}

HologramWindow* showHologram(QWidget* parent, const HologramPoints& points, Prompt& prompt,
                             const HologramSettings& settings) {
    QProgressDialog dialog(parent);
    dialog.setWindowTitle(QString::fromStdString(prompt.applicationTitle()));
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setRange(0, 0);
    dialog.setMinimumDuration(0);
    dialog.setLabelText(QStringLiteral("Computing the hologram of %1 points").arg(points.points.size()));
    std::atomic<bool> cancel = false;
    QObject::connect(&dialog, &QProgressDialog::canceled, [&cancel] { cancel = true; });
    dialog.show();

    // The dialog and the loop outlive the worker: it is joined before they go.
    std::optional<Result<HologramSet>> result;
    QEventLoop loop;
    std::thread worker([&] {
        result = computeHolograms(
            points, settings,
            [&dialog](const std::string& step) {
                QMetaObject::invokeMethod(
                    &dialog, [&dialog, text = QString::fromStdString(step)] { dialog.setLabelText(text); },
                    Qt::QueuedConnection);
            },
            &cancel);
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    // Read before closing: closing a progress dialog signals canceled too.
    // A person who pressed Cancel asked for nothing more, even when the
    // computation had just finished.
    const bool cancelled = cancel;
    dialog.close();
    if (cancelled) return nullptr;
    if (!*result) {
        prompt.show("Cannot compute the hologram: " + result->error(), std::string(kErrorCaption), PromptIcon::Error);
        return nullptr;
    }
    auto window = std::make_unique<HologramWindow>(**result, settings, parent);
    if (!window->reconstructionError().empty()) {
        prompt.show("Cannot show the hologram: " + window->reconstructionError(), std::string(kErrorCaption),
                    PromptIcon::Error);
        return nullptr;
    }
    window->show();
    // Owned by its parent from here, like every widget of the frame.
    return window.release();
}

}  // namespace velmora
