#pragma once
// The window tests' shared pieces: the program in a fresh configuration
// folder with a scripted prompt, a window manager on the test display and
// the screen as another X client sees it. Every wait waits for a condition,
// with a generous ceiling, never for a fixed time.

#include "app/GlWidget.h"
#include "app/MainFrame.h"
#include "app/ViewerApp.h"
#include "platform/IniSettingsStore.h"
#include "platform/RecordingPrompt.h"
#include "platform/UserSettings.h"
#include "support/TempDir.h"

#include <QAction>
#include <QApplication>
#include <QDeadlineTimer>
#include <QImage>
#include <QProcess>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <functional>
#include <optional>
#include <string>

namespace velmora::testing {

// The ceiling of every wait: far above what a loaded machine needs.
inline constexpr int kPatience = 20000;

// XDG_CONFIG_HOME in a fresh folder for the object's lifetime; profile() is
// the program's settings file there.
struct ScopedConfigHome {
    ScopedConfigHome() { ::setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1); }
    ~ScopedConfigHome() { ::unsetenv("XDG_CONFIG_HOME"); }
    std::string profile() const { return IniSettingsStore::defaultPath(UserSettings::kOrganisation, executableBaseName()); }
    TempDir dir;
};

// Until the window is on screen with its first picture.
inline void showAndWait(MainFrame& frame) {
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame, kPatience));
    ASSERT_TRUE(QTest::qWaitFor([&] { return frame.glWidget()->framesShown() > 0; }, kPatience));
}

// The program with a scripted prompt, started before each test.
class FrameFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(app_.initInstance());
        showAndWait(frame());
    }
    MainFrame& frame() { return *app_.mainFrame(); }
    ViewerState& state() { return app_.state(); }

    ScopedConfigHome home_;
    RecordingPrompt prompt_;
    ViewerApp app_{prompt_};
};

// A connection of the test's own to the X server: it sees what any other
// client sees, whatever the program's connection holds back.
struct XConnection {
    XConnection() : c(xcb_connect(nullptr, nullptr)) {}
    ~XConnection() { xcb_disconnect(c); }
    xcb_window_t root() const { return xcb_setup_roots_iterator(xcb_get_setup(c)).data->root; }
    xcb_connection_t* c;
};

// The frame extents (left, top, right, bottom) the window manager has put on
// `window`, as the X server has them.
inline std::optional<QMargins> frameExtents(WId window) {
    XConnection x;
    const char name[] = "_NET_FRAME_EXTENTS";
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(x.c, xcb_intern_atom(x.c, 0, sizeof name - 1, name), nullptr);
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        x.c, xcb_get_property(x.c, 0, xcb_window_t(window), atom ? atom->atom : 0, XCB_ATOM_CARDINAL, 0, 4), nullptr);
    std::optional<QMargins> extents;
    if (reply && xcb_get_property_value_length(reply) == 16) {
        const auto* v = static_cast<const std::uint32_t*>(xcb_get_property_value(reply));
        extents = QMargins(int(v[0]), int(v[2]), int(v[1]), int(v[3]));
    }
    std::free(reply);
    std::free(atom);
    return extents;
}

// The leftmost column of the white pixels (the overlay texts are white on
// the viewing colour); nothing when fewer than 20 are white.
inline std::optional<int> textColumn(const QImage& picture) {
    int count = 0, leftmost = picture.width();
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            if (const QRgb p = picture.pixel(x, y); qRed(p) > 200 && qGreen(p) > 200 && qBlue(p) > 200) {
                ++count;
                leftmost = std::min(leftmost, x);
            }
    return count >= 20 ? std::optional<int>(leftmost) : std::nullopt;
}

// The text column of `area` (screen coordinates) on the screen, as another
// X client sees it, once it shows text (or none, as `text` says) or
// `patience` ms have passed. The program's own thread does not go back to
// its event loop meanwhile: only what it has sent the X server already can
// reach the screen.
inline std::optional<int> textOnScreen(QRect area, bool text = true, int patience = kPatience) {
    XConnection x;
    std::optional<int> column;
    const QDeadlineTimer deadline(patience);
    do {
        xcb_get_image_reply_t* image = xcb_get_image_reply(
            x.c,
            xcb_get_image(x.c, XCB_IMAGE_FORMAT_Z_PIXMAP, x.root(), std::int16_t(area.x()), std::int16_t(area.y()),
                          std::uint16_t(area.width()), std::uint16_t(area.height()), ~0u),
            nullptr);
        if (!image) break;
        column = textColumn(QImage(xcb_get_image_data(image), area.width(), area.height(), QImage::Format_RGB32));
        std::free(image);
    } while (column.has_value() != text && !deadline.hasExpired());
    return column;
}

// Openbox on the test display for the object's lifetime; the constructor
// returns once it has framed a window. (The window tests share one display
// and run one at a time: see CMakeLists.txt.)
class WindowManager {
public:
    WindowManager() {
        process_.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
        QWidget probe;
        probe.show();
        managing = process_.waitForStarted(kPatience) &&
                   QTest::qWaitFor([&] { return frameExtents(probe.winId()).has_value(); }, kPatience);
    }
    ~WindowManager() {
        process_.terminate();
        process_.waitForFinished(kPatience);
    }
    bool managing = false;

private:
    QProcess process_;
};

// Runs `check` on the next modal widget other than `previous` once it is up,
// so a test can answer a real dialog.
inline void whenModal(std::function<void(QWidget*)> check, QWidget* previous = nullptr) {
    auto* timer = new QTimer;
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [timer, check, previous] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal == previous || !modal->isVisible()) return;
        timer->stop();
        timer->deleteLater();
        check(modal);
    });
    timer->start();
}

inline const char* samplePath() { return VELMORA_SOURCE_DIR "/samples/sample.3ds"; }

}  // namespace velmora::testing
