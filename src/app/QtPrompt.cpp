#include "app/QtPrompt.h"

#include "app/FormDialog.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QOpenGLContext>
#include <QPushButton>

namespace velmora {

namespace {

QMessageBox::Icon iconOf(PromptIcon icon) {
    switch (icon) {
        case PromptIcon::Error:
            return QMessageBox::Critical;
        case PromptIcon::Warning:
            return QMessageBox::Warning;
        case PromptIcon::Question:
            return QMessageBox::Question;
        case PromptIcon::Information:
            return QMessageBox::Information;
        case PromptIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

class QtPrompt::ModalScope {
public:
    explicit ModalScope(const QtPrompt& prompt)
        : prompt_(prompt), hadContext_(QOpenGLContext::currentContext() != nullptr) {}
    ~ModalScope() {
        if (hadContext_ && prompt_.restoreContext_) prompt_.restoreContext_();
    }
    ModalScope(const ModalScope&) = delete;
    ModalScope& operator=(const ModalScope&) = delete;

private:
    const QtPrompt& prompt_;
    bool hadContext_;
};

QtPrompt::QtPrompt(std::string title) : title_(std::move(title)) {}

QString QtPrompt::nameFilter(const FileFilter& filter) {
    return QString::fromStdString(filter.name) + QStringLiteral(" (") + QString::fromStdString(filter.pattern) +
           QStringLiteral(")");
}

PromptAnswer QtPrompt::message(const MessageRequest& request) {
    QMessageBox box(owner_);
    box.setWindowTitle(QString::fromStdString(request.caption.value_or(title_)));
    box.setText(QString::fromStdString(request.text));
    box.setTextFormat(Qt::PlainText);
    PromptIcon icon = request.icon;
    // The framework's box shows an exclamation mark, or a question mark when
    // there is a choice to make, unless an icon was asked for.
    if (!request.caption && icon == PromptIcon::None)
        icon = request.buttons == PromptButtons::Ok || request.buttons == PromptButtons::RetryCancel
                   ? PromptIcon::Warning
                   : PromptIcon::Question;
    box.setIcon(iconOf(icon));

    struct Choice {
        QMessageBox::StandardButton button;
        PromptAnswer answer;
    };
    Choice choices[2] = {{QMessageBox::Ok, PromptAnswer::Ok}, {QMessageBox::Ok, PromptAnswer::Ok}};
    int count = 1;
    switch (request.buttons) {
        case PromptButtons::Ok:
            break;
        case PromptButtons::OkCancel:
            choices[1] = {QMessageBox::Cancel, PromptAnswer::Cancel};
            count = 2;
            break;
        case PromptButtons::RetryCancel:
            choices[0] = {QMessageBox::Retry, PromptAnswer::Retry};
            choices[1] = {QMessageBox::Cancel, PromptAnswer::Cancel};
            count = 2;
            break;
    }
    QMessageBox::StandardButtons buttons;
    for (int i = 0; i < count; ++i) buttons |= choices[i].button;
    box.setStandardButtons(buttons);
    box.setDefaultButton(choices[0].button);
    box.setEscapeButton(choices[count - 1].button);

    ModalScope scope(*this);
    const auto result = static_cast<QMessageBox::StandardButton>(box.exec());
    for (int i = 0; i < count; ++i)
        if (choices[i].button == result) return choices[i].answer;
    return choices[count - 1].answer;
}

std::optional<std::string> QtPrompt::chooseFile(const FileDialogRequest& request) {
    const bool save = request.mode == FileDialogRequest::Mode::Save;
    QString title = QString::fromStdString(request.title);
    if (title.isEmpty()) title = save ? QStringLiteral("Save As") : QStringLiteral("Open");
    QFileDialog dialog(owner_, title);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    QStringList filters;
    for (const auto& f : request.filters) filters << nameFilter(f);
    dialog.setNameFilters(filters);
    // "*.3DS" also finds model.3ds.
    dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);
    if (save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(request.mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    }
    if (!request.defaultExtension.empty()) dialog.setDefaultSuffix(QString::fromStdString(request.defaultExtension));
    if (!request.initialName.empty()) dialog.selectFile(QString::fromStdString(request.initialName));
    ModalScope scope(*this);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return std::nullopt;
    return QFile::encodeName(chosen.front()).toStdString();
}

bool QtPrompt::runForm(FormRequest& request) {
    FormDialog dialog(request, *this, owner_);
    ModalScope scope(*this);
    return dialog.exec() == QDialog::Accepted;
}

}  // namespace velmora
