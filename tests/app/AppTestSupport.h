#pragma once
// The window tests' shared pieces. Every wait is for a condition, under a generous ceiling.

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
#include <QProcess>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <iomanip>
#include <sstream>

namespace velmora::testing {

inline constexpr int kPatience = 20000;  // far above what a loaded machine needs

struct ScopedConfigHome {
    ScopedConfigHome() { ::setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1); }
    ~ScopedConfigHome() { ::unsetenv("XDG_CONFIG_HOME"); }
    std::string profile() const { return IniSettingsStore::defaultPath(UserSettings::kOrganisation, executableBaseName()); }
    TempDir dir;
};

inline void showAndWait(MainFrame& frame) {  // until the window is on screen with its first picture
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame, kPatience));
    ASSERT_TRUE(QTest::qWaitFor([&] { return frame.glWidget()->framesShown() > 0; }, kPatience));
}

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

// The frame (left, top, right, bottom) the window manager declares around `window`, as the X server has it; with
// `declared` (left, right, top, bottom) declared first, as a window manager does.
inline std::optional<QMargins> frameExtents(WId window, const std::uint32_t* declared = nullptr) {
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    const char name[] = "_NET_FRAME_EXTENTS";
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, sizeof name - 1, name), nullptr);
    if (declared && atom)
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, xcb_window_t(window), atom->atom, XCB_ATOM_CARDINAL, 32, 4,
                            declared);
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        c, xcb_get_property(c, 0, xcb_window_t(window), atom ? atom->atom : 0, XCB_ATOM_CARDINAL, 0, 4), nullptr);
    std::optional<QMargins> extents;
    if (reply && xcb_get_property_value_length(reply) == 16) {
        const auto* v = static_cast<const std::uint32_t*>(xcb_get_property_value(reply));
        extents = QMargins(int(v[0]), int(v[2]), int(v[1]), int(v[3]));
    }
    std::free(reply);
    std::free(atom);
    xcb_disconnect(c);
    return extents;
}

// Openbox on the test display for the object's lifetime, managing windows once the constructor returns.
struct WindowManager {
    WindowManager() {
        process.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
        QWidget probe;
        probe.show();
        managing = process.waitForStarted(kPatience) &&
                   QTest::qWaitFor([&] { return frameExtents(probe.winId()).has_value(); }, kPatience);
    }
    ~WindowManager() {
        process.terminate();
        process.waitForFinished(kPatience);
    }
    QProcess process;
    bool managing = false;
};

inline int countPixels(const QImage& picture, bool (*counted)(QRgb)) {
    int n = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) n += counted(picture.pixel(x, y));
    return n;
}

// Whether at least 20 pixels are white (the overlay texts are white on the viewing colour).
inline bool showsText(const QImage& picture) {
    return countPixels(picture, [](QRgb p) { return qRed(p) > 200 && qGreen(p) > 200 && qBlue(p) > 200; }) >= 20;
}

// Whether the screen's `area`, read from the X server, shows text within `patience` ms. The event loop does not run
// meanwhile: only what the program has sent the X server already can reach the screen.
inline bool textOnScreen(QRect area, int patience = kPatience) {
    const QDeadlineTimer deadline(patience);
    QScreen* screen = QGuiApplication::primaryScreen();
    while (!showsText(screen->grabWindow(0, area.x(), area.y(), area.width(), area.height()).toImage()))
        if (deadline.hasExpired()) return false;
    return true;
}

// Runs `check` on the next modal widget other than `previous` once it is up; that widget must be a `Widget`.
template <typename Widget = QWidget, typename Check> void whenModal(Check check, QWidget* previous = nullptr) {
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, check, previous] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal == previous || !modal->isVisible()) return;
        timer->stop();
        timer->deleteLater();
        auto* widget = qobject_cast<Widget*>(modal);
        ASSERT_NE(widget, nullptr) << "the modal widget is a " << modal->metaObject()->className();
        check(widget);
    });
    timer->start(20);
}

// What a test saw, one line per note, compared with the section of tests/data/app.txt named after the test. Truths
// show as 0 and 1, lists with "; " between items (numbers with spaces), floats with nine digits.
struct Journal {
    Journal() { out << std::setprecision(9); }
    ~Journal() {
        const char* test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        expectData(out.str(), "app.txt", test);
    }
    template <typename... Parts> void operator()(const Parts&... parts) { (put(parts), ...), out << '\n'; }
    void put(const QString& text) { out << text.toStdString(); }
    template <typename T> void put(const std::vector<T>& items) {
        const char* between = std::is_arithmetic_v<T> ? " " : "; ";
        for (std::size_t i = 0; i < items.size(); ++i) out << (i ? between : ""), put(items[i]);
    }
    template <typename T> void put(const T& part) { out << part; }
    std::ostringstream out;
};

inline const char* samplePath() { return VELMORA_SOURCE_DIR "/samples/sample.3ds"; }

}  // namespace velmora::testing
