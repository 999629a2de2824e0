#pragma once
// The command line's Prompt: every message goes to standard error as
// "caption: text" and nothing ever waits for a person. Questions get the
// answer the caller configured; file dialogs and forms are cancelled (the
// command line asks nothing: it builds its requests from its options).

#include "platform/Prompt.h"

#include <cstdio>

namespace velmora {

class ConsolePrompt : public Prompt {
public:
    explicit ConsolePrompt(std::string applicationTitle, std::FILE* out = stderr);

    PromptAnswer message(const MessageRequest& request) override;
    std::optional<std::string> chooseFile(const FileDialogRequest& request) override;
    bool runForm(FormRequest& request) override;
    std::string applicationTitle() const override { return title_; }

    // true: questions are answered OK / Retry; false: Cancel.
    void setAffirmative(bool affirmative) { affirmative_ = affirmative; }
    // Whether informational messages are printed (they are by default).
    void setInformational(bool printed) { informational_ = printed; }

private:
    std::string title_;
    std::FILE* out_;
    bool affirmative_ = false;
    bool informational_ = true;
};

}  // namespace velmora
