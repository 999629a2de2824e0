#pragma once
// The program's one top-level window: it wires the menu's items to their
// commands and holds the pieces they share: the GL client area and its
// view, the navigation and the per-user settings written at the teardown.
// It paints, sizes, opens a model, and takes keys, drags and drops.

#include "app/FrameCommands.h"
#include "app/FrameExports.h"
#include "app/FrameView.h"
#include "app/MainMenu.h"
#include "app/WindowPlacement.h"
#include "platform/SettingsStore.h"
#include "textures/TextureManager.h"

#include <QMainWindow>

#include <memory>
#include <optional>
#include <string>

class QAction;

namespace velmora {

class MainFrame : public QMainWindow {
    Q_OBJECT
public:
    // Builds the window at the stored outer size, centred on the screen, with
    // the menu, the status bar and the GL client area. The state, prompt and
    // settings must outlive the frame.
    MainFrame(ViewerState& state, Prompt& prompt, SettingsStore& settings);
    ~MainFrame() override;

    // File > Open after the dialog: loads `path`, shows the completion box,
    // puts the eye home and resets scale and offsets. False when the model
    // could not be read (the view then stays without a model).
    bool openModel(const std::string& path);

    // The frame's pieces, for the program and its tests.
    GlView* view() { return frame_.view.get(); }
    GlWidget* glWidget() { return frame_.gl; }
    // The menu item of command `id`; null for none.
    QAction* action(int id) const { return menu_ ? menu_->action(id) : nullptr; }
    Navigation& navigation() { return navigation_; }
    QTimer& flyByTimer() { return commands_->flyByTimer(); }
    bool materialColour() const { return commands_->materialColour(); }
    ClientRect clientRect() const { return frame_.clientRect(); }
    const QString& lastProgressText() const { return exports_->lastProgressText(); }
    // What File > Hologram computes: the programs' defaults, wisdom in the user's cache.
    HologramSettings& hologramSettings() { return exports_->hologramSettings(); }

signals:
    // A multi-view export is about to draw view `number` of `count`.
    void viewProgress(int number, int count);

public:
    // Virtual-key code of a Qt key event, or 0 for a key the program does
    // not know.
    static int virtualKeyOf(int qtKey, Qt::KeyboardModifiers modifiers);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void connectCommands();
    void connectExports();
    // Runs `command` when item `id` is chosen, unless long work is running.
    template <typename Command>
    void onTriggered(int id, Command command);
    void onFileOpen();
    void onExit();
    void exportFrame(const ExportQuestion& question);
    void createView();
    void showOpened(const QString& fileName);
    void onSize();
    void onPaint();
    void onMouse(const QEvent& event);
    void storeFrameSize();
    void tearDown();

    ViewerState& state_;
    Prompt& prompt_;
    SettingsStore& settings_;
    TextureManager textures_;
    FrameView frame_;
    Navigation navigation_;
    std::optional<MainMenu> menu_;
    std::optional<FrameCommands> commands_;
    std::optional<FrameExports> exports_;
    std::optional<WindowPlacement> placement_;
    // While an export runs, size changes wait until it ends (no input until
    // a series ends; the series samples one rectangle).
    bool exporting_ = false;
    bool sizeWaiting_ = false;
    bool tornDown_ = false;
};

}  // namespace velmora
