#pragma once
// Everything a person sees or answers goes through a Prompt: message boxes,
// file dialogs and the small forms. The desktop program answers with
// real widgets, the command line writes to standard error, and tests script
// the answers and check the exact texts.

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace velmora {

enum class PromptIcon { None, Error, Warning, Question, Information };
enum class PromptButtons { Ok, OkCancel, RetryCancel };
enum class PromptAnswer { Ok, Cancel, Retry };

// One message box. Without a caption the box is the framework's kind, which
// carries the application's title; with one it is the system kind with
// exactly that caption.
struct MessageRequest {
    std::optional<std::string> caption;
    std::string text;
    PromptIcon icon = PromptIcon::None;
    PromptButtons buttons = PromptButtons::Ok;
    // Only tells what happened (a completion, the bounds): a prompt without
    // a person to read it may leave it out.
    bool informational = false;
};

struct FileFilter {
    std::string name;     // "CGH File"
    std::string pattern;  // "*.CGH"
};

struct FileDialogRequest {
    enum class Mode { Open, Save };
    Mode mode = Mode::Open;
    std::string title;
    std::vector<FileFilter> filters;
    std::string defaultExtension;
    std::string initialName;
    bool mustExist = false;
};

// A small modal form: labels with edits or read-only value texts, identified
// by their control ids. The caller fills the texts before showing it and
// reads them back after OK.
struct FormField {
    int id = 0;            // control id; labels without an id use 0
    std::string label;
    std::string text;
    bool editable = true;
    bool numeric = true;   // an edit that must hold a number before OK is accepted
};

struct FormRequest {
    int resourceId = 0;    // the template the form is laid out by
    std::string title;
    std::vector<FormField> fields;

    FormField* field(int id);
    const FormField* field(int id) const;
};

class Prompt {
public:
    virtual ~Prompt() = default;

    virtual PromptAnswer message(const MessageRequest& request) = 0;
    // The chosen path, or nothing when the user cancels.
    virtual std::optional<std::string> chooseFile(const FileDialogRequest& request) = 0;
    // true on OK (the request's texts then hold the answers), false on Cancel
    // (the texts are left as they were).
    virtual bool runForm(FormRequest& request) = 0;

    // The title of the framework's message box.
    virtual std::string applicationTitle() const = 0;

    // Shorthands.
    PromptAnswer show(std::string text, std::optional<std::string> caption = std::nullopt,
                      PromptIcon icon = PromptIcon::None,
                      PromptButtons buttons = PromptButtons::Ok);
    // An informational box with an OK button and this caption.
    void inform(std::string text, std::string caption);
};

}  // namespace velmora
