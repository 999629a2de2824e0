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

}  // namespace velmora
