#include "app/ViewerApp.h"

#include "app/MainFrame.h"
#include "app/QtPrompt.h"
#include "platform/IniSettingsStore.h"
#include "platform/UserSettings.h"

#include <QTimer>

#include <sys/resource.h>

#include <cerrno>

namespace velmora {

namespace {

// One step below the priority the process was started with.
void lowerPriority() {
    errno = 0;
    const int current = ::getpriority(PRIO_PROCESS, 0);
    if (current == -1 && errno != 0) return;
    ::setpriority(PRIO_PROCESS, 0, current + 1);
}

}  // namespace

ViewerApp::ViewerApp() : ownPrompt_(std::make_unique<QtPrompt>(executableBaseName())), prompt_(ownPrompt_.get()) {}

ViewerApp::ViewerApp(Prompt& prompt, SettingsStore* settings) : prompt_(&prompt), settings_(settings) {}

ViewerApp::~ViewerApp() = default;

bool ViewerApp::initInstance() {
    lowerPriority();
    if (!settings_) {
        ownSettings_ = std::make_unique<IniSettingsStore>(
            IniSettingsStore::defaultPath(UserSettings::kOrganisation, executableBaseName()));
        settings_ = ownSettings_.get();
    }
    UserSettings settings;
    settings.read(*settings_);
    state_.frameWidth = settings.frameWidth;
    state_.frameHeight = settings.frameHeight;
    state_.forceTwoSided = settings.forceTwoSided;

    frame_ = std::make_unique<MainFrame>(state_, *prompt_, *settings_);
    frame_->show();
    frame_->activateWindow();
    return true;
}

void ViewerApp::openAtStart(const std::string& path) {
    MainFrame* frame = frame_.get();
    if (!frame) return;
    QTimer::singleShot(0, frame, [frame, path] { frame->openModel(path); });
}

}  // namespace velmora
