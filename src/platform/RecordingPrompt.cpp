#include "platform/RecordingPrompt.h"

namespace velmora {

namespace {
PromptAnswer affirmative(PromptButtons buttons) {
    switch (buttons) {
        case PromptButtons::Ok:
        case PromptButtons::OkCancel: return PromptAnswer::Ok;
        case PromptButtons::RetryCancel: return PromptAnswer::Retry;
    }
    return PromptAnswer::Ok;
}
}  // namespace

RecordingPrompt::RecordingPrompt(std::string applicationTitle) : title_(std::move(applicationTitle)) {}

PromptAnswer RecordingPrompt::message(const MessageRequest& request) {
    Message m;
    m.frameworkBox = !request.caption.has_value();
    m.caption = request.caption.value_or(title_);
    m.text = request.text;
    m.icon = request.icon;
    m.buttons = request.buttons;
    if (!messageAnswers_.empty()) {
        m.answer = messageAnswers_.front();
        messageAnswers_.pop_front();
    } else {
        m.answer = affirmative(request.buttons);
    }
    transcript_.push_back("message " + m.caption + ": " + m.text);
    messages_.push_back(m);
    if (onMessage) onMessage(messages_.back());
    return m.answer;
}

std::optional<std::string> RecordingPrompt::chooseFile(const FileDialogRequest& request) {
    fileDialogs_.push_back(request);
    transcript_.push_back("file " + request.title);
    if (fileAnswers_.empty()) return std::nullopt;
    auto answer = fileAnswers_.front();
    fileAnswers_.pop_front();
    return answer;
}

bool RecordingPrompt::runForm(FormRequest& request) {
    transcript_.push_back("form " + request.title);
    // Kept as it was shown, before any answer edits it.
    forms_.push_back(request);
    if (formAnswers_.empty()) return false;
    auto handler = std::move(formAnswers_.front());
    formAnswers_.pop_front();
    FormRequest edited = request;
    if (!handler(edited)) return false;
    request = std::move(edited);
    return true;
}

std::vector<std::string> RecordingPrompt::messageTexts() const {
    std::vector<std::string> texts;
    texts.reserve(messages_.size());
    for (const auto& m : messages_) texts.push_back(m.text);
    return texts;
}

void RecordingPrompt::clear() {
    messages_.clear();
    fileDialogs_.clear();
    forms_.clear();
    transcript_.clear();
}

}  // namespace velmora
