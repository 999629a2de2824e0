#pragma once
// The command line's Prompt: every message goes to standard error as
// "caption: text" and nothing ever waits for a person. Questions get the
// answer the caller configured; file dialogs and forms are answered by the
// caller's handlers (the command line fills them from its options).

#include "platform/Prompt.h"

#include <cstdio>
#include <functional>

namespace velmora {

class ConsolePrompt : public Prompt {
public:
    explicit ConsolePrompt(std::string applicationTitle, std::FILE* out = stderr);

    PromptAnswer message(const MessageRequest& request) override;
    std::optional<std::string> chooseFile(const FileDialogRequest& request) override;
    bool runForm(FormRequest& request) override;
    std::string applicationTitle() const override { return title_; }

    // true: questions are answered OK / Retry / Yes; false: Cancel / No.
    void setAffirmative(bool affirmative) { affirmative_ = affirmative; }
    // Messages with these captions are not printed (e.g. the "ok" bounds box
    // when the caller prints the bounds itself).
    void setQuiet(bool quiet) { quiet_ = quiet; }
    std::function<std::optional<std::string>(const FileDialogRequest&)> fileHandler;
    std::function<bool(FormRequest&)> formHandler;

private:
    std::string title_;
    std::FILE* out_;
    bool affirmative_ = false;
    bool quiet_ = false;
};

}  // namespace velmora
