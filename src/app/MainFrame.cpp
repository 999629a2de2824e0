#include "app/MainFrame.h"

#include "app/QtPrompt.h"
#include "model/AssimpImporter.h"
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
#include <QKeyEvent>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QShortcut>
#include <QStatusBar>
#include <QUrl>
#include <QWindow>

#include <utility>

namespace velmora {

namespace {

// The export items and the questions they ask.
const std::pair<int, ExportQuestion> kExportItems[] = {
    {Command::ExportColour, {ExportKind::Colour}},
    {Command::ExportGrey, {ExportKind::Grey}},
    {Command::MultiViewColour, {ExportKind::Colour, true}},
    {Command::MultiViewGrey, {ExportKind::Grey, true}},
    {Command::MultiViewChannels, {ExportKind::Channels, true}},
    {Command::Export3di, {ExportKind::ThreeDi}},
    {Command::ExportPly, {ExportKind::Ply}},
    {Command::ExportPlyAscii, {ExportKind::Ply, false, PlyLayout::Ascii}},
    {Command::MultiViewPly, {ExportKind::Ply, true}},
    {Command::MultiViewPlyAscii, {ExportKind::Ply, true, PlyLayout::Ascii}},
};

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

    frame_.gl = new GlWidget(this);
    frame_.gl->setPaintHandler([this] { onPaint(); });
    frame_.gl->installEventFilter(this);
    setCentralWidget(frame_.gl);
    if (auto* boxes = dynamic_cast<QtPrompt*>(&prompt_)) {
        boxes->setOwner(this);
        boxes->setContextRestorer([gl = frame_.gl] { gl->surface().makeCurrent(); });
    }

    menu_.emplace(*menuBar(), state_.forceTwoSided);
    commands_.emplace(frame_, state_, prompt_, navigation_, *menu_);
    exports_.emplace(*this, frame_, state_, prompt_, settings_);
    connectCommands();
    connectExports();
    statusBar()->setSizeGripEnabled(true);
    statusBar()->show();

    // The export's phase generator.
    state_.random.seedFromClock();
    placement_.emplace(*this, QSize(state_.frameWidth, state_.frameHeight));
}

MainFrame::~MainFrame() {
    // Without the teardown (Escape) the view still goes before its widget;
    // no settings are written here.
    exports_->cancelHologram();
    flyByTimer().stop();
    frame_.view.reset();
}

template <typename Command>
void MainFrame::onTriggered(int id, Command command) {
    connect(menu_->action(id), &QAction::triggered, this, [this, command] {
        if (!frame_.busy) command();
    });
}

void MainFrame::connectCommands() {
    FrameCommands& commands = *commands_;
    onTriggered(Command::FileOpen, [this] { onFileOpen(); });
    onTriggered(Command::Exit, [this] { onExit(); });
    onTriggered(Command::ForceTwoSided, [&commands] { commands.toggleTwoSided(); });
    onTriggered(Command::MaterialColour, [&commands] { commands.toggleMaterialColour(); });
    onTriggered(Command::ViewPointSet, [&commands] { commands.setViewPoint(); });
    onTriggered(Command::ObjCoordinate, [&commands] { commands.showObjectCoordinates(); });
    onTriggered(Command::About, [&commands] { commands.showAbout(); });
    onTriggered(Command::WhatToDo, [&commands] { commands.showKeyHelp(); });
    onTriggered(Command::FlyBy, [&commands] { commands.startFlyBy(); });
    // F1 runs the same command as Help > About.
    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(help, &QShortcut::activated, this, [this, &commands] {
        if (!frame_.busy) commands.showAbout();
    });
}

void MainFrame::connectExports() {
    for (const auto& [id, question] : kExportItems)
        onTriggered(id, [this, question = question] { exportFrame(question); });
    onTriggered(Command::Hologram, [this] { exports_->showHologram(); });
    connect(&*exports_, &FrameExports::viewProgress, this, &MainFrame::viewProgress);
}

int MainFrame::virtualKeyOf(int key, Qt::KeyboardModifiers modifiers) {
    if (key >= Qt::Key_A && key <= Qt::Key_Z) return key;  // the same codes
    switch (key) {
        case Qt::Key_Escape: return VirtualKey::Escape;
        case Qt::Key_PageUp: return VirtualKey::PageUp;
        case Qt::Key_PageDown: return VirtualKey::PageDown;
        case Qt::Key_Home: return VirtualKey::Home;
        case Qt::Key_Left: return VirtualKey::Left;
        case Qt::Key_Up: return VirtualKey::Up;
        case Qt::Key_Right: return VirtualKey::Right;
        case Qt::Key_Down: return VirtualKey::Down;
        case Qt::Key_Plus: return modifiers & Qt::KeypadModifier ? VirtualKey::Add : 0;
        case Qt::Key_Minus: return modifiers & Qt::KeypadModifier ? VirtualKey::Subtract : 0;
        default: return 0;
    }
}

// --- window messages -------------------------------------------------------

void MainFrame::storeFrameSize() {
    const QSize outer = placement_->outerSize();
    state_.frameWidth = outer.width();
    state_.frameHeight = outer.height();
}

void MainFrame::onSize() {
    // The status bar cannot stay hidden.
    statusBar()->show();
    if (frame_.view) {
        const ClientRect client = clientRect();
        frame_.view->resize(client.left, client.top, client.right, client.bottom);
    }
    storeFrameSize();
    if (frame_.view && !frame_.busy) frame_.view->drawFrame();
}

void MainFrame::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    if (exporting_) {
        sizeWaiting_ = true;  // handled when the export ends
        return;
    }
    onSize();
    placement_->follow();
}

void MainFrame::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    placement_->follow();
}

void MainFrame::onPaint() {
    if (frame_.busy) return;  // show the framebuffer as it is
    if (frame_.view)
        frame_.view->drawFrame();
    else if (auto drawn = GlView::drawWelcome(frame_.gl->surface(), prompt_, state_); !drawn)
        fatalExit(drawn.error().status);
}

void MainFrame::keyPressEvent(QKeyEvent* event) {
    const int key = virtualKeyOf(event->key(), event->modifiers());
    if (key == 0 || frame_.busy) {
        QMainWindow::keyPressEvent(event);
        return;
    }
    // Every auto-repeat is one more step.
    switch (navigation_.onKeyDown(frame_.view.get(), key)) {
        case Navigation::KeyResult::Quit:
            // Straight out of the event loop: no teardown, no settings.
            flyByTimer().stop();
            QCoreApplication::exit(0);
            break;
        case Navigation::KeyResult::OutOfMemory:
            FrameView::retryVertexArray(prompt_, *frame_.view);
            frame_.view->drawFrame();
            [[fallthrough]];
        case Navigation::KeyResult::Handled:
            if (!navigation_.flyByRunning()) flyByTimer().stop();
            break;
        case Navigation::KeyResult::Ignored: QMainWindow::keyPressEvent(event); return;
    }
    event->accept();
}

void MainFrame::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    // The window manager's frame is known once the window is on screen.
    placement_->watch(windowHandle());
}

bool MainFrame::eventFilter(QObject* watched, QEvent* event) {
    if (watched == frame_.gl && !frame_.busy) onMouse(*event);
    return QMainWindow::eventFilter(watched, event);
}

void MainFrame::onMouse(const QEvent& event) {
    const auto type = event.type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease && type != QEvent::MouseMove) return;
    const auto& mouse = static_cast<const QMouseEvent&>(event);
    const QPoint p = mouse.position().toPoint();
    const bool left = mouse.button() == Qt::LeftButton;
    if (type == QEvent::MouseButtonPress && left) navigation_.onLButtonDown(p.x(), p.y());
    // The mouse is not captured: a release outside the window is not seen
    // and the drag goes on.
    if (type == QEvent::MouseButtonRelease && left && frame_.gl->rect().contains(p)) navigation_.onLButtonUp();
    if (type == QEvent::MouseMove && frame_.gl->rect().contains(p))
        navigation_.onMouseMove(frame_.view.get(), p.x(), p.y());
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
    // A hologram still computing is not shown.
    exports_->cancelHologram();
    flyByTimer().stop();
    // The menu, then the view (its lists, then the model), then the settings.
    menu_->clear();
    delete menuBar();
    frame_.view.reset();
    UserSettings settings;
    settings.forceTwoSided = state_.forceTwoSided;
    settings.frameWidth = state_.frameWidth;
    settings.frameHeight = state_.frameHeight;
    settings.write(settings_);
}

// --- commands --------------------------------------------------------------

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

void MainFrame::onExit() {
    // The menu that chose Exit is still handling that key press or click,
    // and the teardown deletes it: the close waits until the menu has
    // returned.
    QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

void MainFrame::exportFrame(const ExportQuestion& question) {
    exporting_ = true;
    exports_->exportFrame(question);
    exporting_ = false;
    if (sizeWaiting_) {
        sizeWaiting_ = false;
        onSize();
    }
}

bool MainFrame::openModel(const std::string& path) {
    const QFileInfo file(QFile::decodeName(path.c_str()));
    state_.modelPath = QFile::encodeName(file.absoluteFilePath()).toStdString();
    frame_.busy = true;
    const bool firstView = !frame_.view;
    if (firstView) createView();
    const bool loaded = frame_.loadModel(state_, prompt_);
    if (firstView) {
        const ClientRect client = clientRect();
        frame_.view->resize(client.left, client.top, client.right, client.bottom);
        storeFrameSize();
    }
    frame_.busy = false;
    if (!loaded) {
        // The view stays, without a model: show its cleared frame.
        frame_.view->drawFrame();
        frame_.gl->update();
        setWindowTitle(QStringLiteral("QUNT"));
        return false;
    }
    showOpened(file.fileName());
    return true;
}

void MainFrame::createView() {
    auto opened = GlView::open(frame_.gl->surface(), prompt_, state_, textures_.factory());
    if (!opened) fatalExit(opened.error().status);
    frame_.view = std::move(*opened);
    // A new view starts with OpenGL's defaults: no colour material,
    // whatever the menu's check mark says.
    glDisable(GL_COLOR_MATERIAL);
}

void MainFrame::showOpened(const QString& fileName) {
    setWindowTitle(QStringLiteral("QUNT - ") + fileName);
    prompt_.show("读取完成!", std::string("完成"));
    frame_.setEye(0.0f, 0.0f, GlView::kHomeEyeZ);
    state_.resetScaleAndOffsets();
    frame_.view->drawFrame();
}

}  // namespace velmora
