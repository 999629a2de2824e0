// The per-user settings: file location, format, defaults and write order.

#include "platform/IniSettingsStore.h"
#include "platform/SettingsStore.h"
#include "platform/UserSettings.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using namespace velmora;
using velmora::testing::TempDir;

namespace {

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeAll(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// Records the calls made on it.
class LoggingStore : public SettingsStore {
public:
    int getProfileInt(const std::string& section, const std::string& entry, int defaultValue) override {
        log.push_back("get " + section + "/" + entry + " " + std::to_string(defaultValue));
        return defaultValue;
    }
    bool writeProfileInt(const std::string& section, const std::string& entry, int value) override {
        log.push_back("write " + section + "/" + entry + " " + std::to_string(value));
        return true;
    }
    std::vector<std::string> log;
};

class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (old_) ::setenv(name_, old_->c_str(), 1);
        else ::unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

}  // namespace

TEST(UserSettings, ReadsThenWritesInTheFixedOrders) {
    LoggingStore store;
    UserSettings settings;
    settings.read(store);
    EXPECT_EQ(settings.frameWidth, 600);
    EXPECT_EQ(settings.frameHeight, 600);
    EXPECT_EQ(settings.forceTwoSided, 1);
    settings.write(store);
    EXPECT_EQ(store.log, (std::vector<std::string>{
                             "get Options/FrameWidth 600",
                             "get Options/FrameHeight 600",
                             "get Options/Force2Sided 1",
                             "write Options/Force2Sided 1",
                             "write Options/FrameWidth 600",
                             "write Options/FrameHeight 600",
                         }));
}

TEST(IniSettingsStore, LivesInTheUsersConfigFolder) {
    {
        ScopedEnv xdg("XDG_CONFIG_HOME", "/somewhere/config");
        EXPECT_EQ(IniSettingsStore::defaultPath("VELMORA", "velmora"), "/somewhere/config/VELMORA/velmora.ini");
    }
    ScopedEnv xdg("XDG_CONFIG_HOME", "");
    ScopedEnv home("HOME", "/home/someone");
    EXPECT_EQ(IniSettingsStore::defaultPath("VELMORA", "velmora"), "/home/someone/.config/VELMORA/velmora.ini");
}

TEST(IniSettingsStore, RoundTripThroughAFreshConfigFolder) {
    TempDir dir;
    ScopedEnv xdg("XDG_CONFIG_HOME", dir.path().string());
    const std::string path = IniSettingsStore::defaultPath(UserSettings::kOrganisation, "velmora");
    {
        IniSettingsStore store(path);
        UserSettings settings;
        settings.read(store);  // nothing stored yet: the defaults
        EXPECT_EQ(settings.frameWidth, 600);
        EXPECT_EQ(settings.forceTwoSided, 1);
        settings.frameWidth = 1024;
        settings.frameHeight = -5;  // values are not validated
        settings.forceTwoSided = 0;
        settings.write(store);
    }
    // The folder was created; the entries appear in the order written.
    EXPECT_EQ(readAll(path), "[Options]\nForce2Sided=0\nFrameWidth=1024\nFrameHeight=-5\n");

    IniSettingsStore again(path);
    UserSettings settings;
    settings.read(again);
    EXPECT_EQ(settings.frameWidth, 1024);
    EXPECT_EQ(settings.frameHeight, -5);
    EXPECT_EQ(settings.forceTwoSided, 0);
}

TEST(IniSettingsStore, KeepsWhatItDoesNotKnowAndRewritesInPlace) {
    TempDir dir;
    const std::string path = dir.file("velmora.ini");
    writeAll(path,
             "; written by hand\n"
             "[General]\nFrameWidth=1\n\n"
             "[Options]\nFrameHeight=480\nColour=blue\n");
    IniSettingsStore store(path);
    EXPECT_EQ(store.getProfileInt("Options", "FrameWidth", 600), 600);  // only [General] has one
    EXPECT_EQ(store.getProfileInt("General", "FrameWidth", 600), 1);
    EXPECT_EQ(store.getProfileInt("Options", "FrameHeight", 600), 480);
    EXPECT_EQ(store.getProfileInt("Options", "Colour", 7), 7);  // not an integer
    ASSERT_TRUE(store.writeProfileInt("Options", "FrameHeight", 500));
    ASSERT_TRUE(store.writeProfileInt("Options", "FrameWidth", 640));
    EXPECT_EQ(readAll(path),
              "; written by hand\n"
              "[General]\nFrameWidth=1\n\n"
              "[Options]\nFrameHeight=500\nColour=blue\nFrameWidth=640\n");
}

TEST(IniSettingsStore, OutOfRangeAndGarbageGiveTheDefault) {
    TempDir dir;
    const std::string path = dir.file("s.ini");
    writeAll(path, "[Options]\r\nFrameWidth=99999999999\r\nFrameHeight= 42 \r\nForce2Sided=7x\r\n");
    IniSettingsStore store(path);
    EXPECT_EQ(store.getProfileInt("Options", "FrameWidth", 600), 600);
    EXPECT_EQ(store.getProfileInt("Options", "FrameHeight", 600), 42);
    EXPECT_EQ(store.getProfileInt("Options", "Force2Sided", 1), 1);
}

TEST(IniSettingsStore, UnwritableFolderReportsFailureAndKeepsGoing) {
    IniSettingsStore store("/proc/velmora-cannot-write-here/s.ini");
    EXPECT_FALSE(store.writeProfileInt("Options", "FrameWidth", 1));
    EXPECT_EQ(store.getProfileInt("Options", "FrameWidth", 600), 1);  // still known for this run
}
