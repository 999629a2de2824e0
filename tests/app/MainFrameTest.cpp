// Start-up, a model named on the command line, the profile and outer size, the menu tree and the help boxes. What users
// rely on: the window starts centred at the stored size and stores the new one on close, not on Escape; every menu item
// carries its text, id and status prompt; one dropped model file is read, anything else dropped is refused.

#include "AppTestSupport.h"

#include "app/QtPrompt.h"
#include "app/WindowPlacement.h"

#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QStatusBar>

#include <poll.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>

namespace velmora {
namespace {

using namespace velmora::testing;

TEST(StartUpTest, AModelNamedOnTheCommandLineIsRead) {
    ScopedConfigHome home;
    const std::string model = home.dir.file("named.3ds");
    std::filesystem::copy_file(samplePath(), model);
    const int watch = ::inotify_init1(IN_CLOEXEC);
    ASSERT_GE(::inotify_add_watch(watch, model.c_str(), IN_OPEN), 0);
    QProcess program;
    program.start(QStringLiteral(VELMORA_BINARY_DIR "/src/app/velmora"), {QString::fromStdString(model)});
    pollfd opened{watch, POLLIN, 0};
    EXPECT_EQ(::poll(&opened, 1, kPatience), 1) << "the model was not read";
    program.kill(), program.waitForFinished(kPatience);
    ::close(watch);
}

enum Way { kEscape, kExitByKeys, kExitByClick, kCloseBox };

// As a person leaves: Escape, File > Exit through the real menu by Alt+F, x or by two clicks, or the close box.
void leave(MainFrame& frame, Way way) {
    QMenu* file = frame.menuBar()->actions().at(0)->menu();
    const auto click = [](QWidget* on, QRect item) { QTest::mouseClick(on, Qt::LeftButton, {}, item.center()); };
    const auto up = [file] { return QTest::qWaitFor([file] { return qApp->activePopupWidget() == file; }, kPatience); };
    if (way == kEscape) QTest::keyClick(&frame, Qt::Key_Escape);
    if (way == kCloseBox) frame.close();
    if (way == kExitByKeys && QTest::qWaitForWindowActive(&frame, kPatience)) {  // Alt+F goes to the active window
        QTest::keyClick(&frame, Qt::Key_F, Qt::AltModifier);
        if (up()) QTest::keyClick(file, Qt::Key_X);
    }
    if (way == kExitByClick) {
        click(frame.menuBar(), frame.menuBar()->actionGeometry(file->menuAction()));
        if (up()) click(file, file->actionGeometry(frame.action(Command::Exit)));
    }
}

// The stored size is the outer size: the window opens centred at it and a session left alone stores it unchanged (no
// growth). Escape keeps the profile; each other way out writes it. Two-sided, stored off (default on), toggles.
TEST(ProfileTest, StartsCentredAtTheStoredSizeEscapeKeepsItAndClosingStoresTheNewOne) {
    ScopedConfigHome home;
    const auto profile = [](QSize size, int twoSided) {
        return "[Options]\nForce2Sided=" + std::to_string(twoSided) + "\nFrameWidth=" + std::to_string(size.width()) +
               "\nFrameHeight=" + std::to_string(size.height()) + "\n";
    };
    std::filesystem::create_directories(std::filesystem::path(home.profile()).parent_path());
    writeFile(home.profile(), profile({700, 650}, 0));
    WindowManager manager;
    ASSERT_TRUE(manager.managing) << "openbox does not manage windows";
    Journal note;
    const auto session = [&note](QSize outer, QSize client, Way way) {
        RecordingPrompt prompt;
        ViewerApp app(prompt);
        const int priority = ::getpriority(PRIO_PROCESS, 0);
        app.initInstance();
        MainFrame& frame = *app.mainFrame();
        showAndWait(frame);
        const auto twoSidedMark = [&] {
            return frame.action(Command::ForceTwoSided)->isChecked() == (app.state().forceTwoSided == 1);
        };
        note("started: a step lower ", ::getpriority(PRIO_PROCESS, 0) == std::min(priority + 1, 19), " | ",
             frame.windowTitle(), " | two-sided mark as set ", twoSidedMark(), " | the welcome's colour ",
             QColor(frame.glWidget()->grabFramebuffer().pixel(10, 10)) == QColor(64, 128, 191));
        const QPoint centre = QGuiApplication::primaryScreen()->geometry().center();
        const auto onScreen = [&] {
            const auto extents = frameExtents(frame.winId());
            return extents ? frame.geometry().marginsAdded(*extents) : QRect();
        };
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return onScreen().size() == outer && (onScreen().center() - centre).manhattanLength() <= 1; },
            kPatience));
        if (client.isValid()) {
            frame.statusBar()->hide();  // back with the next size
            frame.resize(client);
            EXPECT_TRUE(QTest::qWaitFor(
                [&] { return QSize(app.state().frameWidth, app.state().frameHeight) == onScreen().size(); }, kPatience));
            note("resized: to the size asked ", frame.size() == client, " | status bar ",
                 frame.statusBar()->isVisible());
        }
        const QSize left = onScreen().size();
        frame.action(Command::ForceTwoSided)->trigger();  // no model: the flag and the mark alone
        note("two-sided: mark as set ", twoSidedMark(), " | asked ", prompt.transcript().size());
        QTimer::singleShot(0, &frame, [&frame, way] { leave(frame, way); });
        QTimer::singleShot(kPatience, &frame, [] { QCoreApplication::exit(99); });  // dies with the frame
        note("left: status ", QCoreApplication::exec());
        return left;
    };
    session({700, 650}, {500, 400}, kEscape);
    EXPECT_EQ(fileText(home.profile()), profile({700, 650}, 0));
    const QSize resized = session({700, 650}, {520, 410}, kExitByKeys);
    EXPECT_EQ(fileText(home.profile()), profile(resized, 1));
    EXPECT_EQ(session(resized, {}, kExitByClick), resized);
    EXPECT_EQ(fileText(home.profile()), profile(resized, 0));
    EXPECT_EQ(session(resized, {}, kCloseBox), resized);
    EXPECT_EQ(fileText(home.profile()), profile(resized, 1));
}

// One line per item, indented by depth: text | command id (0 for a pop-up) [| status prompt].
std::string describeMenu(const QList<QAction*>& actions, const std::string& indent = "") {
    std::string out;
    for (QAction* a : actions) {
        const std::string tip = a->statusTip().toStdString();
        out += indent + a->text().toStdString() + " | " + std::to_string(a->menu() ? 0 : a->data().toInt()) +
               (tip.empty() ? "" : " | " + tip) + "\n";
        if (a->menu()) out += describeMenu(a->menu()->actions(), indent + "  ");
    }
    return out;
}

using MainFrameTest = FrameFixture;

// A window manager may declare its frame only after the window is up: the stored outer size is kept then too.
TEST(PlacementTest, AFrameDeclaredLateIsTakenOffTheStoredSize) {
    QWidget window;
    WindowPlacement placement(window, {400, 300});
    window.show();
    placement.watch(window.windowHandle());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window, kPatience));
    QCoreApplication::processEvents();  // the exposure's look for a frame: none, no window manager runs
    const QRect unframed = window.geometry();
    EXPECT_EQ(unframed.size(), QSize(400, 300));
    const std::uint32_t declared[] = {5, 7, 20, 3};  // read back before the connection goes: the server has it
    ASSERT_EQ(frameExtents(window.winId(), declared), QMargins(5, 20, 7, 3));
    const QRect framed(unframed.topLeft() + QPoint(5, 20), QSize(388, 277));
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.geometry() == framed; }, kPatience))
        << window.geometry().x() << "," << window.geometry().y();
}

TEST_F(MainFrameTest, MenuTreeCarriesEveryTextIdAndPromptAndTheHelpBoxesComeUp) {
    expectData(describeMenu(frame().menuBar()->actions()), "menu_tree.txt");
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frame(), kPatience));  // F1 belongs to the active window
    QTest::keyClick(&frame(), Qt::Key_F1);
    frame().action(Command::WhatToDo)->trigger();
    ASSERT_TRUE(prompt_.messages().size() == 1 && prompt_.forms().size() == 1 && prompt_.forms()[0].fields.size() == 1);
    EXPECT_EQ(prompt_.messages()[0].caption, "About QUNT");
    EXPECT_NE(prompt_.messages()[0].text.find("VELMORA " VELMORA_VERSION), std::string::npos);
    const FormField& help = prompt_.forms()[0].fields[0];
    expectData("form " + std::to_string(prompt_.forms()[0].resourceId) + "\n" + help.label + "\n" + help.text + "\n",
               "key_help.txt");
}

// The real boxes come up over the main window, not somewhere on the screen of their own.
TEST(StartUpTest, BoxesBelongToTheMainWindow) {
    ScopedConfigHome home;
    QtPrompt prompt("velmora");
    ViewerApp app(prompt);
    ASSERT_TRUE(app.initInstance());
    const QWidget* owner = nullptr;
    whenModal<QMessageBox>([&owner](QMessageBox* box) { owner = box->parentWidget(), box->accept(); });
    app.mainFrame()->action(Command::About)->trigger();
    EXPECT_EQ(owner, app.mainFrame());
}

// One model file dragged onto the window is offered the drop and, dropped, is read; two files, a file of
// another kind or a remote address are not offered it.
TEST_F(MainFrameTest, OneModelFileDroppedIsReadAndOtherDragsAreRefused) {
    const std::string model = home_.dir.file("dropped.3ds");
    std::filesystem::copy_file(samplePath(), model);
    const QUrl one = QUrl::fromLocalFile(QString::fromStdString(model));
    const auto offered = [&](const QList<QUrl>& urls) {
        QMimeData mime;
        mime.setUrls(urls);
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&frame(), &enter);
        return enter.isAccepted();
    };
    EXPECT_TRUE(offered({one}));
    EXPECT_FALSE(offered({one, one}));
    EXPECT_FALSE(offered({QUrl::fromLocalFile(QString::fromStdString(home_.dir.file("notes.txt")))}));
    EXPECT_FALSE(offered({QUrl(QStringLiteral("https://example.org/remote.3ds"))}));
    QMimeData mime;
    mime.setUrls({one});
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&frame(), &drop);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_TRUE(QTest::qWaitFor([&] { return state().modelPath == model; }, kPatience));
}

}  // namespace
}  // namespace velmora
