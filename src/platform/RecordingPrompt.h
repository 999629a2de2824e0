#pragma once
// A Prompt for tests: records every request in order and answers from a
// script. Unscripted messages get the affirmative answer of their buttons
// (OK, Retry); unscripted file dialogs and forms are cancelled.

#include "platform/Prompt.h"

#include <deque>
#include <functional>

namespace velmora {

class RecordingPrompt : public Prompt {
public:
    struct Message {
        std::string caption;  // resolved: the application title for framework boxes
        bool frameworkBox = false;
        std::string text;
        PromptIcon icon = PromptIcon::None;
        PromptButtons buttons = PromptButtons::Ok;
        PromptAnswer answer = PromptAnswer::Ok;
    };

    explicit RecordingPrompt(std::string applicationTitle = "velmora");

    PromptAnswer message(const MessageRequest& request) override;
    std::optional<std::string> chooseFile(const FileDialogRequest& request) override;
    bool runForm(FormRequest& request) override;
    std::string applicationTitle() const override { return title_; }

    // Script.
    void queueAnswer(PromptAnswer answer) { messageAnswers_.push_back(answer); }
    void queueFile(std::optional<std::string> path) { fileAnswers_.push_back(std::move(path)); }
    // The handler edits the form's texts and returns true for OK, false for Cancel.
    void queueForm(std::function<bool(FormRequest&)> handler) { formAnswers_.push_back(std::move(handler)); }
    // Called when a message box is shown, before it is answered (for checks
    // that need the state at that moment).
    std::function<void(const Message&)> onMessage;

    // Record.
    const std::vector<Message>& messages() const { return messages_; }
    const std::vector<FileDialogRequest>& fileDialogs() const { return fileDialogs_; }
    const std::vector<FormRequest>& forms() const { return forms_; }
    // Every request as one line, in order: "message <caption>: <text>",
    // "file <title>", "form <title>".
    const std::vector<std::string>& transcript() const { return transcript_; }
    std::vector<std::string> messageTexts() const;
    void clear();

private:
    std::string title_;
    std::deque<PromptAnswer> messageAnswers_;
    std::deque<std::optional<std::string>> fileAnswers_;
    std::deque<std::function<bool(FormRequest&)>> formAnswers_;
    std::vector<Message> messages_;
    std::vector<FileDialogRequest> fileDialogs_;
    std::vector<FormRequest> forms_;
    std::vector<std::string> transcript_;
};

}  // namespace velmora
