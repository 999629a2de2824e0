#pragma once
// The small modal forms: the key-help box (122), ViewRange_Select (133),
// ViewPointSet (134) and Obj_Coordinate (135) laid out as their templates
// place them, and a plain form for anything else. Every control carries its
// id as its object name ("1001"; OK is "1", Cancel "2"). A number edit that
// does not hold a number keeps the form open on that edit after a prompt.

#include "platform/Prompt.h"

#include <QDialog>

#include <optional>
#include <string>
#include <utility>
#include <vector>

class QLineEdit;

namespace velmora {

inline constexpr const char* kEnterNumberText = "Please enter a number.";

class FormDialog : public QDialog {
    Q_OBJECT
public:
    // `request` must outlive the dialog; its texts are written back on OK.
    // Refusals are shown through `prompt`.
    FormDialog(FormRequest& request, Prompt& prompt, QWidget* parent = nullptr);

    QLineEdit* edit(int id) const;

    void accept() override;

private:
    void buildPlaced();
    void buildPlain();

    FormRequest& request_;
    Prompt& prompt_;
    std::vector<std::pair<int, QLineEdit*>> edits_;
};

}  // namespace velmora
