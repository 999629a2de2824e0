#include "app/MainFrame.h"

#include "app/FormDialog.h"
#include "app/GlWidget.h"
#include "app/QtPrompt.h"
#include "app/ExportDialogs.h"
#include "app/HologramCommand.h"
#include "model/AssimpImporter.h"
#include "platform/DecimalText.h"
#include "platform/Diagnostics.h"
#include "platform/FatalExit.h"
#include "platform/NameSuffix.h"
#include "platform/UserSettings.h"

#include <GL/gl.h>

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QProgressDialog>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QUrl>
#include <QWindow>

#if QT_CONFIG(xcb)
#include <xcb/xcb.h>
#endif

#include <cstdlib>
#include <memory>
#include <optional>

namespace velmora {

namespace {

// One menu entry: a command, a pop-up (with children) or a separator-free
// list as the resource has them.
struct MenuEntry {
    const char* text;
    int id;              // 0 for a pop-up
    const char* prompt;  // the status-bar prompt, "" for none
    std::vector<MenuEntry> children;
};

const std::vector<MenuEntry>& menuTree() {
    static const std::vector<MenuEntry> tree = {
        {"&F文件",
         0,
         "",
         {
             {"&O打开", Command::FileOpen, "Select an alternate 3D Studio MAX (.3ds) Mesh File", {}},
             {"彩色输出", Command::ExportColour, "", {}},
             {"灰度输出", Command::ExportGrey, "", {}},
             {"多视角输出",
              0,
              "",
              {
                  {"M_Export_Color", Command::MultiViewColour, "", {}},
                  {"M_Export_Gray", Command::MultiViewGrey, "", {}},
                  {"分立彩色输出", Command::MultiViewChannels, "彩色输出分3个文件", {}},
                  {"PLY", Command::MultiViewPly, "Export each view as a binary PLY point cloud", {}},
                  {"PLY (ASCII)", Command::MultiViewPlyAscii,
                   "Export each view as an ASCII PLY point cloud for CGH libraries", {}},
              }},
             {"输出3D数据", Command::Export3di, "输出3D成像系统仿真数据", {}},
             {"PLY", Command::ExportPly, "Export the visible surface as a binary PLY point cloud", {}},
             {"PLY (ASCII)", Command::ExportPlyAscii,
              "Export the visible surface as an ASCII PLY point cloud for CGH libraries", {}},
             {"Hologram", Command::Hologram,
              "Compute the hologram of the visible surface and show it with a focus slider", {}},
             {"E&xit", Command::Exit, "", {}},
         }},
        {"&O选项",
         0,
         "",
         {
             {"&Force 2-Sided Materials", Command::ForceTwoSided, "Forces Unspecified Materials to be 2-Sided", {}},
             {"Material_Color", Command::MaterialColour, "", {}},
         }},
        {"V视图",
         0,
         "",
         {
             {"ViewPoint_Set", Command::ViewPointSet, "", {}},
             {"ObjCoordinate", Command::ObjCoordinate, "", {}},
         }},
        {"&H帮助",
         0,
         "",
         {
             {"&About", Command::About, "VELMORA", {}},
             {"&What to do", Command::WhatToDo, "Displays Keystroke usage information", {}},
             {"Fly &By", Command::FlyBy, "Performs a Fly By of the mesh graphic... press HOME key to reset.", {}},
         }},
    };
    return tree;
}

constexpr int kFlyByIntervalMs = 20;

const char* const kAboutText =
    "VELMORA " VELMORA_VERSION
    "\n\n"
    "Prepares 3D Studio (.3ds) models for computer-generated hologram computation: open a model, "
    "move the camera and the model, then export the visible surface as CGH point files (colour, "
    "grey, per channel, or a row of viewpoints) or as 3di simulation data.\n\n"
    "Keys:\n"
    "Left/Right, Page Up/Page Down, Up/Down: move the eye along x, y, z\n"
    "Home: eye back home, stops the fly-by\n"
    "A: reset the model transform and the eye\n"
    "J/L, M/I, N/B: move the model along x, y, z\n"
    "S/W: shrink/grow the model by 10%\n"
    "D/E: halve/double the geometry; keypad +/-: geometry by 10%\n"
    "Drag with the left button: rotate the model\n"
    "F1: this box; Esc: quit without saving the settings";

#if QT_CONFIG(xcb)
xcb_atom_t frameExtentsAtom(xcb_connection_t* connection) {
    static const xcb_atom_t atom = [connection] {
        const char name[] = "_NET_FRAME_EXTENTS";
        const std::unique_ptr<xcb_intern_atom_reply_t, void (*)(void*)> reply(
            xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, sizeof name - 1, name), nullptr),
            std::free);
        return reply ? reply->atom : xcb_atom_t(XCB_NONE);
    }();
    return atom;
}
#endif

bool isModelFile(const QString& path) {
    const std::string name = QFile::encodeName(path).toStdString();
    return hasSuffixIgnoringCase(name, ".3ds") || isAssimpModel(name);
}

}  // namespace

MainFrame::MainFrame(ViewerState& state, Prompt& prompt, SettingsStore& settings)
    : state_(state), prompt_(prompt), settings_(settings), textures_(prompt), navigation_(state) {
    setWindowTitle(QStringLiteral("QUNT"));
    setAcceptDrops(true);
    setFocusPolicy(Qt::StrongFocus);

    gl_ = new GlWidget(this);
    gl_->setPaintHandler([this] { onPaint(); });
    gl_->installEventFilter(this);
    setCentralWidget(gl_);
    if (auto* boxes = dynamic_cast<QtPrompt*>(&prompt_)) {
        boxes->setOwner(this);
        boxes->setContextRestorer([gl = gl_] { gl->surface().makeCurrent(); });
    }

    buildMenu();
    statusBar()->setSizeGripEnabled(true);
    statusBar()->show();

    // F1 runs the same command as Help > About.
    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(help, &QShortcut::activated, this, [this] { onCommand(Command::About); });

    state_.flyByStep = Navigation::kFlyByIdle;
    flyByTimer_.setInterval(kFlyByIntervalMs);
    connect(&flyByTimer_, &QTimer::timeout, this, &MainFrame::onFlyByTimer);

    // The export's phase generator.
    state_.random.seedFromClock();
    hologramSettings_.wisdomFolder = defaultWisdomFolder();
    startOuterSize_ = QSize(state_.frameWidth, state_.frameHeight);
    placeWindow(QMargins());
    QCoreApplication::instance()->installNativeEventFilter(this);
}

MainFrame::~MainFrame() {
    // Without the teardown (Escape) the view still goes before its widget;
    // no settings are written here.
    flyByTimer_.stop();
    view_.reset();
}

void MainFrame::buildMenu() {
    const std::function<void(QMenu*, const MenuEntry&)> add = [&](QMenu* menu, const MenuEntry& entry) {
        if (entry.id == 0) {
            QMenu* popup = menu->addMenu(QString::fromUtf8(entry.text));
            for (const auto& child : entry.children) add(popup, child);
            return;
        }
        QAction* action = menu->addAction(QString::fromUtf8(entry.text));
        action->setData(entry.id);
        action->setStatusTip(QString::fromUtf8(entry.prompt));
        const int id = entry.id;
        connect(action, &QAction::triggered, this, [this, id] { onCommand(id); });
        actions_[id] = action;
    };
    for (const auto& top : menuTree()) {
        QMenu* menu = menuBar()->addMenu(QString::fromUtf8(top.text));
        for (const auto& child : top.children) add(menu, child);
    }
    for (int id : {Command::ForceTwoSided, Command::MaterialColour}) actions_[id]->setCheckable(true);
    actions_[Command::ForceTwoSided]->setChecked(state_.forceTwoSided);
    actions_[Command::MaterialColour]->setChecked(false);
}

void MainFrame::placeWindow(const QMargins& frame) {
    // The stored size is the outer size: the window manager's frame is taken
    // off, and the outer rectangle is centred on the screen.
    QRect outer(QPoint(), startOuterSize_);
    if (QScreen* screen = this->screen()) outer.moveCenter(screen->geometry().center());
    setGeometry(outer.marginsRemoved(frame));
}

QAction* MainFrame::action(int id) const {
    const auto found = actions_.find(id);
    return found == actions_.end() ? nullptr : found->second;
}

ClientRect MainFrame::clientRect() const {
    GlSurface& surface = gl_->surface();
    return ClientRect::ofSize(surface.width(), surface.height());
}

int MainFrame::virtualKeyOf(int key, Qt::KeyboardModifiers modifiers) {
    if (key >= Qt::Key_A && key <= Qt::Key_Z) return key;  // the same codes
    switch (key) {
        case Qt::Key_Escape:
            return VirtualKey::Escape;
        case Qt::Key_PageUp:
            return VirtualKey::PageUp;
        case Qt::Key_PageDown:
            return VirtualKey::PageDown;
        case Qt::Key_Home:
            return VirtualKey::Home;
        case Qt::Key_Left:
            return VirtualKey::Left;
        case Qt::Key_Up:
            return VirtualKey::Up;
        case Qt::Key_Right:
            return VirtualKey::Right;
        case Qt::Key_Down:
            return VirtualKey::Down;
        case Qt::Key_Plus:
            return modifiers & Qt::KeypadModifier ? VirtualKey::Add : 0;
        case Qt::Key_Minus:
            return modifiers & Qt::KeypadModifier ? VirtualKey::Subtract : 0;
        default:
            return 0;
    }
}

void MainFrame::setEye(float x, float y, float z) {
    gl_->surface().makeCurrent();
    view_->setEye(x, y, z);
}

// --- window messages -------------------------------------------------------

void MainFrame::storeFrameSize() {
    const QSize outer = size().grownBy(declaredFrame().value_or(QMargins()));
    state_.frameWidth = outer.width();
    state_.frameHeight = outer.height();
}

void MainFrame::onSize() {
    // The status bar cannot stay hidden.
    statusBar()->show();
    if (view_) {
        const ClientRect client = clientRect();
        view_->resize(client.left, client.top, client.right, client.bottom);
    }
    storeFrameSize();
    if (view_ && !busy_) view_->drawFrame();
}

void MainFrame::followFrameMargins() {
    // Once the window manager has declared its frame, the stored size
    // becomes the outer size (once: later sizes are the user's); until then,
    // and without a window manager, the start-up placement stands. The frame
    // is read from the X server, as the window manager declares it: what Qt
    // measured while the window was being framed may be stale or partial.
    if (!placing_ || !isVisible() || !windowHandle() || !windowHandle()->isExposed()) return;
    const std::optional<QMargins> frame = declaredFrame();
    if (!frame) return;
    placing_ = false;
    placeWindow(*frame);
}

std::optional<QMargins> MainFrame::declaredFrame() const {
#if QT_CONFIG(xcb)
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !internalWinId()) return std::nullopt;
    xcb_connection_t* connection = x11->connection();
    const auto window = static_cast<xcb_window_t>(internalWinId());
    const std::unique_ptr<xcb_get_property_reply_t, void (*)(void*)> reply(
        xcb_get_property_reply(connection,
                               xcb_get_property(connection, 0, window, frameExtentsAtom(connection),
                                                XCB_ATOM_CARDINAL, 0, 4),
                               nullptr),
        std::free);
    if (!reply || xcb_get_property_value_length(reply.get()) != 16) return std::nullopt;
    const auto* v = static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
    return QMargins(int(v[0]), int(v[2]), int(v[1]), int(v[3]));  // sent as left, right, top, bottom
#else
    return std::nullopt;
#endif
}

bool MainFrame::nativeEventFilter(const QByteArray& type, void* message, qintptr*) {
#if QT_CONFIG(xcb)
    // Qt notes a new frame but tells the widget nothing: the window may
    // have been shown, exposed and moved before the frame was declared.
    if (!placing_ || type != "xcb_generic_event_t") return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != XCB_PROPERTY_NOTIFY) return false;
    const auto* change = static_cast<const xcb_property_notify_event_t*>(message);
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 && change->window == internalWinId() && change->atom == frameExtentsAtom(x11->connection()))
        QTimer::singleShot(0, this, [this] { followFrameMargins(); });
#else
    Q_UNUSED(type);
    Q_UNUSED(message);
#endif
    return false;
}

void MainFrame::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    if (exporting_) {
        sizeWaiting_ = true;  // handled when the export ends
        return;
    }
    onSize();
    followFrameMargins();
}

void MainFrame::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    followFrameMargins();
}

void MainFrame::onPaint() {
    if (busy_) return;  // show the framebuffer as it is
    if (view_)
        view_->drawFrame();
    else
        GlView::drawWelcome(gl_->surface(), prompt_, state_);
}

void MainFrame::keyPressEvent(QKeyEvent* event) {
    const int key = virtualKeyOf(event->key(), event->modifiers());
    if (key == 0 || busy_) {
        QMainWindow::keyPressEvent(event);
        return;
    }
    // Every auto-repeat is one more step.
    switch (navigation_.onKeyDown(view_.get(), key)) {
        case Navigation::KeyResult::Quit:
            // Straight out of the event loop: no teardown, no settings.
            flyByTimer_.stop();
            QCoreApplication::exit(0);
            break;
        case Navigation::KeyResult::OutOfMemory:
            retryVertexArray(prompt_, *view_);
            view_->drawFrame();
            [[fallthrough]];
        case Navigation::KeyResult::Handled:
            if (!navigation_.flyByRunning()) flyByTimer_.stop();
            break;
        case Navigation::KeyResult::Ignored:
            QMainWindow::keyPressEvent(event);
            return;
    }
    event->accept();
}

void MainFrame::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    // The window manager's frame is known once the window is on screen.
    if (QWindow* window = windowHandle()) window->installEventFilter(this);
}

bool MainFrame::eventFilter(QObject* watched, QEvent* event) {
    if (placing_ && watched == windowHandle() && event->type() == QEvent::Expose)
        QTimer::singleShot(0, this, [this] { followFrameMargins(); });
    if (watched != gl_ || busy_) return QMainWindow::eventFilter(watched, event);
    switch (event->type()) {
        case QEvent::MouseButtonPress: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() == Qt::LeftButton) {
                const QPoint p = mouse->position().toPoint();
                navigation_.onLButtonDown(p.x(), p.y());
            }
            break;
        }
        case QEvent::MouseButtonRelease: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            // The mouse is not captured: a release outside the window is not
            // seen and the drag goes on.
            if (mouse->button() == Qt::LeftButton && gl_->rect().contains(mouse->position().toPoint()))
                navigation_.onLButtonUp();
            break;
        }
        case QEvent::MouseMove: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            const QPoint p = mouse->position().toPoint();
            if (gl_->rect().contains(p)) navigation_.onMouseMove(view_.get(), p.x(), p.y());
            break;
        }
        default:
            break;
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainFrame::dragEnterEvent(QDragEnterEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.size() == 1 && urls.front().isLocalFile() && isModelFile(urls.front().toLocalFile()))
        event->acceptProposedAction();
}

void MainFrame::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.size() != 1 || !urls.front().isLocalFile()) return;
    event->acceptProposedAction();
    const std::string path = QFile::encodeName(urls.front().toLocalFile()).toStdString();
    // Open once the drop has finished.
    QTimer::singleShot(0, this, [this, path] { openModel(path); });
}

void MainFrame::closeEvent(QCloseEvent* event) {
    tearDown();
    event->accept();
}

void MainFrame::tearDown() {
    if (tornDown_) return;
    tornDown_ = true;
    flyByTimer_.stop();
    // The menu, then the view (its lists, then the model), then the settings.
    actions_.clear();
    delete menuBar();
    view_.reset();
    UserSettings settings;
    settings.forceTwoSided = state_.forceTwoSided;
    settings.frameWidth = state_.frameWidth;
    settings.frameHeight = state_.frameHeight;
    settings.write(settings_);
}

// --- commands --------------------------------------------------------------

void MainFrame::onCommand(int id) {
    if (busy_) return;
    switch (id) {
        case Command::FileOpen:
            onFileOpen();
            break;
        case Command::ExportColour:
        case Command::ExportGrey:
        case Command::MultiViewColour:
        case Command::MultiViewGrey:
        case Command::MultiViewChannels:
        case Command::Export3di:
        case Command::ExportPly:
        case Command::ExportPlyAscii:
        case Command::MultiViewPly:
        case Command::MultiViewPlyAscii:
            runExport(id);
            break;
        case Command::Hologram:
            onHologram();
            break;
        case Command::Exit:
            // The menu that chose Exit is still handling that key press or
            // click, and the teardown deletes it: the close waits until the
            // menu has returned.
            QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
            break;
        case Command::ForceTwoSided:
            onForce2Sided();
            break;
        case Command::MaterialColour:
            onMaterialColor();
            break;
        case Command::ViewPointSet:
            onViewPointSet();
            break;
        case Command::ObjCoordinate:
            onObjCoordinate();
            break;
        case Command::About:
            onAbout();
            break;
        case Command::WhatToDo:
            onWhatToDo();
            break;
        case Command::FlyBy:
            onFlyBy();
            break;
        default:
            break;
    }
}

void MainFrame::onFileOpen() {
    FileDialogRequest request;
    request.mode = FileDialogRequest::Mode::Open;
    request.filters = modelFileFilters();  // "3D Studio Files (*.3DS)" first
    request.defaultExtension = "3DS";
    request.mustExist = true;
    const auto chosen = prompt_.chooseFile(request);
    if (!chosen) return;
    openModel(*chosen);
}

bool MainFrame::openModel(const std::string& path) {
    const QFileInfo file(QFile::decodeName(path.c_str()));
    state_.modelPath = QFile::encodeName(file.absoluteFilePath()).toStdString();

    busy_ = true;
    bool loaded = false;
    if (!view_) {
        view_ = std::make_unique<GlView>(gl_->surface(), prompt_, state_, textures_.factory());
        // A new view starts with OpenGL's defaults: no colour material,
        // whatever the menu's check mark says.
        glDisable(GL_COLOR_MATERIAL);
        loaded = loadIntoView();
        const ClientRect client = clientRect();
        view_->resize(client.left, client.top, client.right, client.bottom);
        storeFrameSize();
    } else {
        loaded = loadIntoView();
    }
    busy_ = false;

    if (!loaded) {
        // The view stays, without a model: show its cleared frame.
        view_->drawFrame();
        gl_->update();
        setWindowTitle(QStringLiteral("QUNT"));
        return false;
    }
    setWindowTitle(QStringLiteral("QUNT - ") + file.fileName());
    prompt_.show("读取完成!", std::string("完成"));
    setEye(0.0f, 0.0f, GlView::kHomeEyeZ);
    state_.resetScaleAndOffsets();
    view_->drawFrame();
    return true;
}

bool MainFrame::loadIntoView() {
    const ModelLoad result = view_->loadModel(state_.modelPath, state_.forceTwoSided);
    if (result == ModelLoad::OutOfMemory) retryVertexArray(prompt_, *view_);
    return result != ModelLoad::Unreadable;
}

void MainFrame::retryVertexArray(Prompt& prompt, GlView& view) {
    do {
        const PromptAnswer answer =
            prompt.show(kVertexArrayFailedText, std::nullopt, PromptIcon::Question, PromptButtons::RetryCancel);
        if (answer == PromptAnswer::Cancel) fatalExit(0);
    } while (!view.recompileModel());
}

void MainFrame::onForce2Sided() {
    state_.forceTwoSided = !state_.forceTwoSided;
    actions_[Command::ForceTwoSided]->setChecked(state_.forceTwoSided);
    if (!view_) return;
    // The file is read again; the "Loading..." picture stays until the next
    // repaint.
    busy_ = true;
    loadIntoView();
    busy_ = false;
}

void MainFrame::onMaterialColor() {
    materialColour_ = !materialColour_;
    gl_->surface().makeCurrent();
    if (materialColour_)
        glEnable(GL_COLOR_MATERIAL);
    else
        glDisable(GL_COLOR_MATERIAL);
    actions_[Command::MaterialColour]->setChecked(materialColour_);
    if (view_) view_->drawFrame();
}

void MainFrame::onViewPointSet() {
    FormRequest form;
    form.resourceId = kViewPointForm;
    form.title = "ViewPointSet";
    form.fields = {
        {0, "Postion_z:", "", false, false},
        {0, "Postion_x:", "", false, false},
        {0, "Postion_y:", "", false, false},
        {1001, "", generalText(30.0f), true, true},
        {1002, "", generalText(0.0f), true, true},
        {1003, "", generalText(0.0f), true, true},
    };
    // Cancel leaves the stored viewpoint and the eye as they were.
    if (!prompt_.runForm(form)) return;
    const auto value = [&](int id) { return parseDecimal(form.field(id)->text).value_or(0.0f); };
    state_.viewPointZ = value(1001);
    state_.viewPointX = value(1002);
    state_.viewPointY = value(1003);
    // Before any model only the stored viewpoint changes.
    if (!view_) return;
    setEye(state_.viewPointX, state_.viewPointY, state_.viewPointZ);
    view_->drawFrame();
}

void MainFrame::onObjCoordinate() {
    if (!view_) return;
    busy_ = true;
    const SampleSummary summary = sampleObjectCoordinates(*view_, prompt_, clientRect());
    const std::vector<std::string> values = objectCoordinateTexts(summary);

    FormRequest form;
    form.resourceId = kObjCoordinateForm;
    form.title = "Obj_Coordinate";
    const char* const labels[] = {"            Points:", "Object_Max_X:", "Object_Min_X:",
                                  "Object_Max_Y:",       "Object_Min_Y:", "Object_Max_Z:",
                                  "Object_Min_Z:",       "Output_Scalxy:", "Output_Scalz:"};
    for (const char* label : labels) form.fields.push_back({0, label, "", false, false});
    const int valueIds[] = {1013, 1007, 1008, 1009, 1010, 1011, 1012};
    for (std::size_t i = 0; i < values.size(); ++i) form.fields.push_back({valueIds[i], "", values[i], false, false});
    form.fields.push_back({1001, "", generalText(state_.Output_Scalxy), true, true});
    form.fields.push_back({1002, "", generalText(state_.Output_Scalz), true, true});

    // While the dialog is up the black export frame stays on screen.
    if (prompt_.runForm(form)) {
        state_.Output_Scalxy = parseDecimal(form.field(1001)->text).value_or(state_.Output_Scalxy);
        state_.Output_Scalz = parseDecimal(form.field(1002)->text).value_or(state_.Output_Scalz);
    }
    busy_ = false;
    restoreViewingFrame(*view_);
}

void MainFrame::onAbout() {
    MessageRequest request;
    request.caption = "About QUNT";
    request.text = kAboutText;
    request.icon = PromptIcon::Information;
    prompt_.message(request);
}

void MainFrame::onWhatToDo() {
    FormRequest form;
    form.resourceId = kKeyHelpForm;
    form.fields = {{0, kKeyHelpTitle, kKeyHelpText, false, false}};
    prompt_.runForm(form);
}

void MainFrame::onFlyBy() {
    navigation_.startFlyBy();
    flyByTimer_.start();
}

void MainFrame::onFlyByTimer() {
    if (busy_) return;
    if (!navigation_.flyByRunning()) {
        flyByTimer_.stop();
        return;
    }
    navigation_.stepFlyBy(view_.get());
    if (view_) view_->drawFrame();
    if (!navigation_.flyByRunning()) flyByTimer_.stop();
}

namespace {

ExportQuestion exportQuestion(int command) {
    switch (command) {
        case Command::ExportGrey: return {ExportKind::Grey};
        case Command::MultiViewColour: return {ExportKind::Colour, true};
        case Command::MultiViewGrey: return {ExportKind::Grey, true};
        case Command::MultiViewChannels: return {ExportKind::Channels, true};
        case Command::Export3di: return {ExportKind::ThreeDi};
        case Command::ExportPly: return {ExportKind::Ply};
        case Command::ExportPlyAscii: return {ExportKind::Ply, false, PlyLayout::Ascii};
        case Command::MultiViewPly: return {ExportKind::Ply, true};
        case Command::MultiViewPlyAscii: return {ExportKind::Ply, true, PlyLayout::Ascii};
        default: return {ExportKind::Colour};
    }
}

}  // namespace

void MainFrame::runExport(int id) {
    const ClientRect client = clientRect();
    std::unique_ptr<QProgressDialog> progressDialog;
    // A series shows which view it is at, and the window stays painted.
    const ViewProgress progress = [&](int number, int count, float, float, float) {
        lastProgressText_ = QStringLiteral("Exporting view %1 of %2").arg(number).arg(count);
        emit viewProgress(number, count);
        if (count < 2) return;
        if (!progressDialog) {
            progressDialog = std::make_unique<QProgressDialog>(this);
            progressDialog->setWindowTitle(QStringLiteral("QUNT"));
            progressDialog->setWindowModality(Qt::WindowModal);
            progressDialog->setCancelButton(nullptr);
            progressDialog->setMinimumDuration(0);
            progressDialog->setRange(0, count);
        }
        progressDialog->setLabelText(lastProgressText_);
        progressDialog->setValue(number - 1);
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    };

    busy_ = true;
    // The export samples the rectangle taken above: the framebuffer, the
    // projection and the stored size keep theirs until it ends.
    exporting_ = true;
    gl_->holdSize(true);
    if (const auto request = askExport(prompt_, view_.get(), exportQuestion(id)))
        velmora::runExport(*view_, prompt_, state_, client, *request, progress);
    busy_ = false;
    exporting_ = false;
    gl_->holdSize(false);
    if (sizeWaiting_) {
        sizeWaiting_ = false;
        onSize();
    }
}

void MainFrame::onHologram() {
    busy_ = true;
    // Without a model the frame has no points: the empty frame's answer.
    if (view_)
        showFrameHologram(this, *view_, prompt_, state_, clientRect(), hologramSettings_);
    else
        showHologram(this, HologramPoints{}, prompt_, hologramSettings_);
    busy_ = false;
}

}  // namespace velmora
