#pragma once
// The application object: start-up, the per-user settings and the
// application-wide values. One per process.

#include "platform/Prompt.h"
#include "platform/SettingsStore.h"
#include "view/ViewerState.h"

#include <memory>
#include <string>

namespace velmora {

class MainFrame;
class QtPrompt;

class ViewerApp {
public:
    // The program's own: Qt message boxes and dialogs, and the INI profile
    // of organisation VELMORA named after the executable.
    ViewerApp();
    // With a prompt of the caller's and, optionally, a settings store (tests);
    // both must outlive the application. Without a store the INI profile is
    // used.
    explicit ViewerApp(Prompt& prompt, SettingsStore* settings = nullptr);
    ~ViewerApp();
    ViewerApp(const ViewerApp&) = delete;
    ViewerApp& operator=(const ViewerApp&) = delete;

    // In this order: lowers the process's scheduling priority a step, opens
    // the settings store, reads "FrameWidth", "FrameHeight" and
    // "Force2Sided" from section "Options", creates the main frame and shows
    // it. No model is loaded. Always true.
    bool initInstance();

    // Opens `path` once the event loop runs, as File > Open would.
    void openAtStart(const std::string& path);

    MainFrame* mainFrame() { return frame_.get(); }
    ViewerState& state() { return state_; }
    SettingsStore* settings() { return settings_; }

private:
    ViewerState state_;
    std::unique_ptr<QtPrompt> ownPrompt_;
    std::unique_ptr<SettingsStore> ownSettings_;
    Prompt* prompt_ = nullptr;
    SettingsStore* settings_ = nullptr;
    std::unique_ptr<MainFrame> frame_;
};

}  // namespace velmora
