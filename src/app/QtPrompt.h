#pragma once
// The desktop program's answers to the Prompt: message boxes, file dialogs
// and the small forms as real Qt widgets, modal over the main frame.

#include "platform/Prompt.h"

#include <QPointer>
#include <QWidget>

#include <functional>

namespace velmora {

class QtPrompt : public Prompt {
public:
    // `title` captions the framework's boxes (the executable's base name).
    explicit QtPrompt(std::string title);

    // The window the boxes are modal over; none before the frame exists.
    void setOwner(QWidget* owner) { owner_ = owner; }
    // A box runs a nested event loop in which Qt draws the window with
    // contexts of its own. When an OpenGL context was current before the
    // box, this makes the program's context current again afterwards, so
    // work interrupted by the box (a model being built) goes on where it was.
    void setContextRestorer(std::function<void()> restore) { restoreContext_ = std::move(restore); }

    PromptAnswer message(const MessageRequest& request) override;
    std::optional<std::string> chooseFile(const FileDialogRequest& request) override;
    bool runForm(FormRequest& request) override;
    std::string applicationTitle() const override { return title_; }

    // The Qt name filter of a file dialog entry: "CGH File (*.CGH)".
    static QString nameFilter(const FileFilter& filter);

private:
    class ModalScope;

    std::string title_;
    std::function<void()> restoreContext_;
    QPointer<QWidget> owner_;
};

}  // namespace velmora
