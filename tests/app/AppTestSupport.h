#pragma once
// Shared pieces of the window tests: a settings store that records its
// writes, the application under test in a temporary configuration folder,
// and waiting for modal widgets.

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
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>
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

inline void showAndWait(MainFrame& frame) {
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    QTest::qWait(50);
}

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
