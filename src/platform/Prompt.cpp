#include "platform/Prompt.h"

namespace velmora {

FormField* FormRequest::field(int id) {
    for (auto& f : fields)
        if (f.id == id) return &f;
    return nullptr;
}

const FormField* FormRequest::field(int id) const {
    for (const auto& f : fields)
        if (f.id == id) return &f;
    return nullptr;
}

PromptAnswer Prompt::show(std::string text, std::optional<std::string> caption, PromptIcon icon,
                          PromptButtons buttons) {
    MessageRequest request;
    request.caption = std::move(caption);
    request.text = std::move(text);
    request.icon = icon;
    request.buttons = buttons;
    return message(request);
}

void Prompt::inform(std::string text, std::string caption) {
    MessageRequest request;
    request.caption = std::move(caption);
    request.text = std::move(text);
    request.informational = true;
    message(request);
}

const char* toString(PromptIcon icon) {
    switch (icon) {
        case PromptIcon::None: return "none";
        case PromptIcon::Error: return "error";
        case PromptIcon::Warning: return "warning";
        case PromptIcon::Question: return "question";
        case PromptIcon::Information: return "information";
    }
    return "?";
}

const char* toString(PromptButtons buttons) {
    switch (buttons) {
        case PromptButtons::Ok: return "ok";
        case PromptButtons::OkCancel: return "ok-cancel";
        case PromptButtons::RetryCancel: return "retry-cancel";
        case PromptButtons::YesNo: return "yes-no";
    }
    return "?";
}

const char* toString(PromptAnswer answer) {
    switch (answer) {
        case PromptAnswer::Ok: return "ok";
        case PromptAnswer::Cancel: return "cancel";
        case PromptAnswer::Retry: return "retry";
        case PromptAnswer::Yes: return "yes";
        case PromptAnswer::No: return "no";
    }
    return "?";
}

}  // namespace velmora
