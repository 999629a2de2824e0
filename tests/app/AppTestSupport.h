#pragma once
// Shared pieces of the window tests: a settings store that records its
// writes, the application under test in a temporary configuration folder,
// waiting for modal widgets, a window manager on the test display and a
// watcher of the screen. Every wait waits for a condition, with a generous
// ceiling, never for a fixed time.

#include "app/GlWidget.h"
#include "app/MainFrame.h"
#include "app/ViewerApp.h"
#include "platform/RecordingPrompt.h"
#include "platform/SettingsStore.h"
#include "support/TempDir.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QProcess>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <optional>
#include <thread>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace velmora::testing {

class RecordingSettingsStore : public SettingsStore {
public:
    int getProfileInt(const std::string& section, const std::string& entry, int defaultValue) override {
        reads.push_back(section + "/" + entry);
        const auto found = values.find(section + "/" + entry);
        return found == values.end() ? defaultValue : found->second;
    }
    bool writeProfileInt(const std::string& section, const std::string& entry, int value) override {
        writes.push_back(section + "/" + entry + "=" + std::to_string(value));
        values[section + "/" + entry] = value;
        return true;
    }
    std::map<std::string, int> values;
    std::vector<std::string> reads, writes;
};

// Points XDG_CONFIG_HOME at a fresh folder for the test's lifetime.
class ScopedConfigHome {
public:
    ScopedConfigHome() {
        if (const char* old = std::getenv("XDG_CONFIG_HOME")) old_ = old;
        ::setenv("XDG_CONFIG_HOME", dir_.path().c_str(), 1);
    }
    ~ScopedConfigHome() {
        old_.empty() ? ::unsetenv("XDG_CONFIG_HOME") : ::setenv("XDG_CONFIG_HOME", old_.c_str(), 1);
    }
    const TempDir& dir() const { return dir_; }

private:
    TempDir dir_;
    std::string old_;
};

// The ceiling of every wait: far above what a loaded machine needs.
inline constexpr int kPatience = 20000;

// Until the window is on screen with its first picture.
inline void showAndWait(MainFrame& frame) {
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame, kPatience));
    ASSERT_TRUE(QTest::qWaitFor([&] { return frame.glWidget()->framesShown() > 0; }, kPatience));
}

// Openbox on the test display for the object's lifetime; the constructor
// returns once it puts its frame around a window. (The window tests share
// one display and run one at a time: see CMakeLists.txt.)
class WindowManager {
public:
    WindowManager() {
        process_.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
        EXPECT_TRUE(process_.waitForStarted(kPatience)) << "openbox did not start";
        // It manages windows once it has put its frame extents on a window
        // shown for the purpose (read from the X server: Qt keeps the frame
        // it measured first).
        xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
        const char name[] = "_NET_FRAME_EXTENTS";
        xcb_intern_atom_reply_t* atom =
            xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, sizeof name - 1, name), nullptr);
        QWidget probe;
        probe.resize(200, 100);
        probe.show();
        const auto window = static_cast<xcb_window_t>(probe.winId());
        const auto framed = [&] {
            xcb_get_property_reply_t* reply = xcb_get_property_reply(
                connection, xcb_get_property(connection, 0, window, atom ? atom->atom : 0, XCB_ATOM_CARDINAL, 0, 4),
                nullptr);
            const bool extents = reply && xcb_get_property_value_length(reply) == 16;
            std::free(reply);
            return extents;
        };
        managing_ = QTest::qWaitFor(framed, kPatience);
        std::free(atom);
        xcb_disconnect(connection);
        EXPECT_TRUE(managing_) << "openbox does not manage windows";
    }
    ~WindowManager() {
        process_.terminate();
        process_.waitForFinished(kPatience);
    }
    bool managing() const { return managing_; }

private:
    QProcess process_;
    bool managing_ = false;
};

// Looks at the screen from a thread of its own, over a connection of its
// own to the X server, while the program's thread is busy: takes pictures of
// `area` (screen coordinates) until one shows white text pixels (the
// overlay texts are white on the viewing colour) or until stop(). What
// stop() returns is the leftmost text column, relative to the area, of the
// first such picture taken before stop() was called, if there was one.
class ScreenWatcher {
public:
    explicit ScreenWatcher(QRect area) : area_(area) {
        thread_ = std::thread([this] { watch(); });
        // The first picture is taken before the work starts.
        EXPECT_TRUE(QTest::qWaitFor([&] { return pictures_.load() > 0 || failed_.load(); }, kPatience));
        EXPECT_FALSE(textBefore_.load()) << "text on screen before the work";
    }
    ~ScreenWatcher() { stop(); }
    std::optional<int> stop() {
        stopped_ = true;
        if (thread_.joinable()) thread_.join();
        EXPECT_FALSE(failed_.load()) << "no picture of the screen";
        return leftmost_;
    }

private:
    void watch() {
        xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(connection)) {
            failed_ = true;
            xcb_disconnect(connection);
            return;
        }
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
        while (!stopped_.load()) {
            const auto cookie =
                xcb_get_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, root, static_cast<int16_t>(area_.x()),
                              static_cast<int16_t>(area_.y()), static_cast<uint16_t>(area_.width()),
                              static_cast<uint16_t>(area_.height()), ~0u);
            xcb_get_image_reply_t* reply = xcb_get_image_reply(connection, cookie, nullptr);
            if (!reply) {
                failed_ = true;
                break;
            }
            const std::optional<int> column = textColumn(xcb_get_image_data(reply));
            std::free(reply);
            if (pictures_++ == 0) {
                textBefore_ = column.has_value();  // must be a picture without text
                continue;
            }
            // Taken before stop(): the picture was on screen while the work ran.
            if (column && !stopped_.load()) {
                leftmost_ = column;
                break;
            }
        }
        xcb_disconnect(connection);
    }
    // 32 bits a pixel, blue first.
    std::optional<int> textColumn(const uint8_t* pixels) const {
        int count = 0, leftmost = area_.width();
        for (int y = 0; y < area_.height(); ++y)
            for (int x = 0; x < area_.width(); ++x) {
                const uint8_t* p = pixels + 4 * (y * area_.width() + x);
                if (p[0] > 200 && p[1] > 200 && p[2] > 200) {
                    ++count;
                    leftmost = std::min(leftmost, x);
                }
            }
        return count >= 20 ? std::optional<int>(leftmost) : std::nullopt;
    }

    QRect area_;
    std::thread thread_;
    std::atomic<bool> stopped_{false}, failed_{false}, textBefore_{false};
    std::atomic<int> pictures_{0};
    std::optional<int> leftmost_;
};

// The application with a scripted prompt and a recording settings store, in
// a fresh configuration folder; start() brings up the frame.
class FrameFixture : public ::testing::Test {
protected:
    MainFrame& start() {
        EXPECT_TRUE(app_.initInstance());
        showAndWait(frame());
        return frame();
    }
    MainFrame& frame() { return *app_.mainFrame(); }
    ViewerState& state() { return app_.state(); }

    ScopedConfigHome home_;
    RecordingPrompt prompt_;
    RecordingSettingsStore store_;
    ViewerApp app_{prompt_, &store_};
};

// Runs `check` on the next modal widget once it is up (polling the event
// loop), so a test can answer a real dialog.
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

// Saves a picture for a person to look at, in the build folder.
inline void saveArtefact(const QPixmap& picture, const char* name) {
    const QString folder = QStringLiteral(VELMORA_BINARY_DIR "/test-artifacts");
    QDir().mkpath(folder);
    EXPECT_TRUE(picture.save(folder + "/" + name)) << name;
}

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

inline const char* samplePath() { return VELMORA_SOURCE_DIR "/samples/sample.3ds"; }

}  // namespace velmora::testing
