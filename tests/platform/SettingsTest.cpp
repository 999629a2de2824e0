#include "platform/IniSettingsStore.h"
#include "platform/UserSettings.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <climits>
#include <csignal>
#include <filesystem>

#include <sys/resource.h>

using namespace velmora;
using velmora::testing::fileText;
using velmora::testing::expectData;

namespace {
struct ScopedEnv {
    ScopedEnv(const char* name, const std::string& value) : name(name), old(std::getenv(name) ? std::getenv(name) : "") {
        set(value);
    }
    ~ScopedEnv() { set(old); }
    void set(const std::string& v) const { v.empty() ? ::unsetenv(name) : ::setenv(name, v.c_str(), 1); }
    const char* name;
    std::string old;
};

std::array<int, 3> read(const std::string& path) {
    IniSettingsStore store(path);
    UserSettings settings;
    settings.read(store);
    return {settings.frameWidth, settings.frameHeight, settings.forceTwoSided};
}
}  // namespace

TEST(UserSettings, DefaultsThenWritesInTheFixedOrderInTheUsersConfigFolder) {
    const ScopedEnv xdg("XDG_CONFIG_HOME", ""), home("HOME", "/home/someone");
    EXPECT_EQ(IniSettingsStore::defaultPath("VELMORA", "velmora"), "/home/someone/.config/VELMORA/velmora.ini");
    EXPECT_EQ(executableBaseName(), "test_platform");  // the program's own name, without its folder
    velmora::testing::TempDir dir;
    xdg.set(dir.path().string());
    const std::string path = IniSettingsStore::defaultPath(UserSettings::kOrganisation, "velmora");
    EXPECT_EQ(std::pair(path, read(path)), std::pair(dir.file("VELMORA/velmora.ini"), std::array{600, 600, 1}));
    {
        IniSettingsStore store(path);  // through a config folder that is not there yet
        UserSettings settings;
        settings.frameWidth = 1024;
        settings.frameHeight = -5;  // values are not validated
        settings.forceTwoSided = 0;
        settings.write(store);
    }
    expectData(fileText(path), "platform.txt", "settings written");
    EXPECT_EQ(read(path), (std::array{1024, -5, 0}));
}

TEST(IniSettingsStore, KeepsWhatItDoesNotKnowRewritesInPlaceAndDefaultsOnGarbage) {
    velmora::testing::TempDir dir;
    const std::string path = dir.file("velmora.ini");
    velmora::testing::writeFile(path, std::string("; written by hand\n[General]\nFrameWidth=1\n\n"
                                         "[Options]\r\n FrameHeight = 42 \r\n# FrameWidth=2\nColour=blue\nBig=99999999999\nOdd=7x\n"
                                         "Top=2147483647\nLow=-2147483648\nOver=2147483648\nEmpty=\nFrameWidth\n"));
    IniSettingsStore store(path);
    const std::pair<const char*, int> entries[] = {
        {"FrameWidth", 600}, {"FrameHeight", 42},      {"Colour", 600}, {"Big", 600},  {"Odd", 600},
        {"Top", INT_MAX},    {"Low", INT_MIN},         {"Over", 600},   {"Empty", 600}};
    for (const auto& [entry, value] : entries) EXPECT_EQ(store.getProfileInt("Options", entry, 600), value) << entry;
    EXPECT_EQ(store.getProfileInt("General", "FrameWidth", 600), 1);
    ASSERT_TRUE(store.writeProfileInt("Options", "FrameHeight", 500));
    ASSERT_TRUE(store.writeProfileInt("Options", "FrameWidth", 640));
    ASSERT_TRUE(store.writeProfileInt("General", "FrameHeight", 7));  // before the blank line ending its section
    ASSERT_TRUE(store.writeProfileInt("Window", "X", 1));            // a new section after a blank line
    const rlimit full{16, 16};  // a disk that fills as the profile is written: refused, the old profile kept
    EXPECT_EXIT({ ::signal(SIGXFSZ, SIG_IGN); ::setrlimit(RLIMIT_FSIZE, &full);
                  std::exit(store.writeProfileInt("Options", "Colour", 5)); }, ::testing::ExitedWithCode(0), "");
    expectData(fileText(path), "platform.txt", "profile rewritten");
    IniSettingsStore unwritable("/proc/velmora-cannot-write-here/s.ini");
    EXPECT_FALSE(unwritable.writeProfileInt("Options", "FrameWidth", 1));
    EXPECT_EQ(unwritable.getProfileInt("Options", "FrameWidth", 600), 1);  // still known for this run
    std::filesystem::create_directory(dir.file("folder.ini"));
    EXPECT_FALSE(IniSettingsStore(dir.file("folder.ini")).writeProfileInt("Options", "FrameWidth", 1));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);  // no temporary file left
}
