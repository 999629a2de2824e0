#pragma once
// The program's one top-level window: the Chinese menu with its command ids,
// the status bar with the commands' prompts, the GL client area, and every
// handler: painting, sizing, opening a model, the display toggles, the help
// boxes, navigation, the fly-by, the export commands and their dialogs, and
// the teardown that writes the per-user settings.

#include "export/ExportCommands.h"
#include "hologram/HologramSettings.h"
#include "platform/Prompt.h"
#include "platform/SettingsStore.h"
#include "textures/TextureManager.h"
#include "view/GlView.h"
#include "view/Navigation.h"
#include "view/ViewerState.h"

#include <QAbstractNativeEventFilter>
#include <QMainWindow>
#include <QTimer>

#include <map>
#include <memory>
#include <optional>
#include <string>

class QAction;
class QProgressDialog;

namespace velmora {

class GlWidget;

// The command ids of the menu and the accelerator.
namespace Command {
inline constexpr int FileOpen = 57601;
inline constexpr int ExportColour = 40041;
inline constexpr int ExportGrey = 40043;
inline constexpr int MultiViewColour = 40044;
inline constexpr int MultiViewGrey = 40045;
inline constexpr int MultiViewChannels = 40049;
inline constexpr int Export3di = 40048;
// Point clouds for CGH libraries (ASCII) and point tools (binary).
inline constexpr int ExportPly = 40050;
inline constexpr int ExportPlyAscii = 40051;
inline constexpr int MultiViewPly = 40052;
inline constexpr int MultiViewPlyAscii = 40053;
inline constexpr int Hologram = 40054;
inline constexpr int Exit = 57665;
inline constexpr int ForceTwoSided = 40040;
inline constexpr int MaterialColour = 40042;
inline constexpr int ViewPointSet = 40046;
inline constexpr int ObjCoordinate = 40047;
inline constexpr int About = 40023;
inline constexpr int WhatToDo = 40035;
inline constexpr int FlyBy = 40028;
}  // namespace Command

// The dialogs' resource numbers and control ids.
inline constexpr int kKeyHelpForm = 122;
inline constexpr int kViewPointForm = 134;
inline constexpr int kObjCoordinateForm = 135;

inline constexpr const char* kKeyHelpTitle = "3D Navigation Controls";
inline constexpr const char* kKeyHelpText =
    "Up/Down Arrow Keys (Z-Axis)\nLeft/Right Arrow Keys (X-Axis)\nPage Up/Page Down Keys (Y-Axis)\n"
    "HOME key resets the viewpoint\n+/- Keys Scale Image by 10%\nD and H Keys Double and Half Scale Image";

class MainFrame : public QMainWindow, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    // Builds the window at the stored outer size, centred on the screen, with
    // the menu, the status bar and the GL client area. The window manager's
    // frame is known only once the window is shown and managed: the stored
    // size is applied as the outer size again then. The state, prompt and
    // settings must outlive the frame.
    MainFrame(ViewerState& state, Prompt& prompt, SettingsStore& settings);
    ~MainFrame() override;

    // Runs a menu command by its id.
    void onCommand(int id);

    // File > Open after the dialog: loads `path`, shows the completion box,
    // puts the eye home and resets scale and offsets. False when the model
    // could not be read (the view then stays without a model).
    bool openModel(const std::string& path);

    // The frame's pieces, for the program and its tests.
    GlView* view() { return view_.get(); }
    GlWidget* glWidget() { return gl_; }
    QAction* action(int id) const;
    Navigation& navigation() { return navigation_; }
    QTimer& flyByTimer() { return flyByTimer_; }
    bool materialColour() const { return materialColour_; }
    // The client area: the GL widget's size in pixels.
    ClientRect clientRect() const;
    // The label of the last progress step of a multi-view export.
    const QString& lastProgressText() const { return lastProgressText_; }
    // What File > Hologram computes: the programs' defaults, wisdom in the user's cache.
    HologramSettings& hologramSettings() { return hologramSettings_; }

signals:
    // A multi-view export is about to draw view `number` of `count`.
    void viewProgress(int number, int count);

public:
    // Virtual-key code of a Qt key event, or 0 for a key the program does
    // not know.
    static int virtualKeyOf(int qtKey, Qt::KeyboardModifiers modifiers);

    // After the view's model could not have its vertex array: asks Retry or
    // Cancel until a compilation succeeds; Cancel ends the program at once
    // with status 0, saving nothing.
    static void retryVertexArray(Prompt& prompt, GlView& view);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Sees the window manager declare its frame around the window.
    bool nativeEventFilter(const QByteArray& type, void* message, qintptr* result) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void buildMenu();
    void placeWindow(const QMargins& frame);
    void followFrameMargins();
    // The frame the window manager declares around the window, as the X
    // server has it now; zero without one.
    std::optional<QMargins> declaredFrame() const;
    void onSize();
    void onPaint();
    void onFileOpen();
    // Loads the state's model into the view, retrying its vertex array as
    // the user asks; false when the file could not be read.
    bool loadIntoView();
    void onForce2Sided();
    void onMaterialColor();
    void onViewPointSet();
    void onObjCoordinate();
    void onAbout();
    void onWhatToDo();
    void onFlyBy();
    void onFlyByTimer();
    void runExport(int id);
    void onHologram();
    void storeFrameSize();
    void setEye(float x, float y, float z);
    void tearDown();

    ViewerState& state_;
    Prompt& prompt_;
    SettingsStore& settings_;
    TextureManager textures_;
    GlWidget* gl_ = nullptr;  // owned by the window
    std::unique_ptr<GlView> view_;
    Navigation navigation_;
    std::map<int, QAction*> actions_;
    QTimer flyByTimer_;
    bool materialColour_ = false;
    // While a model loads or an export runs, a paint shows the framebuffer
    // as it is: the model may be half-built, or the export frame must stay.
    bool busy_ = false;
    // While an export runs, size changes wait until it ends (no input until
    // a series ends; the series samples one rectangle).
    bool exporting_ = false;
    bool sizeWaiting_ = false;
    // The outer size asked for at start-up; placing ends once the window
    // manager has declared its frame.
    QSize startOuterSize_;
    bool placing_ = true;
    bool tornDown_ = false;
    QString lastProgressText_;
    HologramSettings hologramSettings_;
};

}  // namespace velmora
