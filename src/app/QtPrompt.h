#pragma once
// The desktop program's answers to the Prompt: message boxes, file dialogs
// and the small forms as real Qt widgets, modal over the main frame.

#include "platform/Prompt.h"

#include <QPointer>
#include <QWidget>

namespace velmora {

class QtPrompt : public Prompt {
public:
    // `title` captions the framework's boxes (the executable's base name).
    explicit QtPrompt(std::string title);

    // The window the boxes are modal over; none before the frame exists.
    void setOwner(QWidget* owner) { owner_ = owner; }

    PromptAnswer message(const MessageRequest& request) override;
    std::optional<std::string> chooseFile(const FileDialogRequest& request) override;
    bool runForm(FormRequest& request) override;
    std::string applicationTitle() const override { return title_; }

    // The Qt name filter of a file dialog entry: "CGH File (*.CGH)".
    static QString nameFilter(const FileFilter& filter);

private:
    std::string title_;
    QPointer<QWidget> owner_;
};

}  // namespace velmora
