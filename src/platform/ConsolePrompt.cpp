#include "platform/ConsolePrompt.h"

namespace velmora {

ConsolePrompt::ConsolePrompt(std::string applicationTitle, std::FILE* out)
    : title_(std::move(applicationTitle)), out_(out) {}

PromptAnswer ConsolePrompt::message(const MessageRequest& request) {
    if (informational_ || !request.informational) {
        const std::string& caption = request.caption ? *request.caption : title_;
        std::string text = request.text;
        // Message texts often end in a line break already; print exactly one.
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
        std::fprintf(out_, "%s: %s\n", caption.c_str(), text.c_str());
        std::fflush(out_);
    }
    switch (request.buttons) {
        case PromptButtons::Ok: return PromptAnswer::Ok;
        case PromptButtons::OkCancel: return affirmative_ ? PromptAnswer::Ok : PromptAnswer::Cancel;
        case PromptButtons::RetryCancel: return affirmative_ ? PromptAnswer::Retry : PromptAnswer::Cancel;
    }
    return PromptAnswer::Ok;
}

std::optional<std::string> ConsolePrompt::chooseFile(const FileDialogRequest&) { return std::nullopt; }

bool ConsolePrompt::runForm(FormRequest&) { return false; }

}  // namespace velmora
