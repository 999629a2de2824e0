#include "app/FormDialog.h"

#include "platform/DecimalText.h"

#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QFormLayout>
#include <QDialogButtonBox>
#include <QVBoxLayout>


namespace velmora {

namespace {

struct Box {
    int x, y, w, h;
};

// A template in dialog units: its size, the rectangles of its labels in the
// order the form lists them, those of its id'd controls, and its buttons.
struct Placement {
    int resourceId;
    Box size;
    std::vector<Box> labels;
    std::vector<std::pair<int, Box>> controls;
    Box ok;
    std::optional<Box> cancel;
};

const std::vector<Placement>& placements() {
    static const std::vector<Placement> table = {
        {122, {0, 0, 243, 126}, {{16, 23, 212, 66}}, {}, {96, 97, 50, 14}, std::nullopt},
        {133,
         {0, 0, 181, 94},
         {{26, 21, 32, 11}, {75, 21, 33, 10}, {121, 21, 42, 9}},
         {{1001, {23, 37, 34, 13}}, {1002, {72, 37, 34, 13}}, {1003, {122, 37, 34, 13}}},
         {38, 65, 50, 14},
         Box{108, 64, 50, 14}},
        {134,
         {0, 0, 168, 140},
         {{15, 24, 37, 11}, {15, 44, 37, 11}, {15, 69, 37, 11}},
         {{1001, {56, 22, 38, 13}}, {1002, {56, 44, 38, 13}}, {1003, {56, 67, 39, 13}}},
         {104, 85, 50, 14},
         Box{104, 108, 50, 14}},
        {135,
         {0, 0, 167, 179},
         {{27, 20, 53, 10},
          {25, 32, 53, 10},
          {27, 45, 53, 10},
          {25, 58, 53, 10},
          {27, 71, 53, 10},
          {25, 85, 53, 10},
          {27, 98, 53, 10},
          {26, 115, 49, 10},
          {30, 129, 49, 10}},
         {{1013, {85, 18, 53, 11}},
          {1007, {85, 31, 53, 11}},
          {1008, {85, 44, 53, 11}},
          {1009, {85, 57, 53, 11}},
          {1010, {85, 70, 53, 11}},
          {1011, {85, 83, 53, 11}},
          {1012, {85, 96, 53, 11}},
          {1001, {85, 116, 53, 11}},
          {1002, {84, 130, 53, 11}}},
         {31, 152, 36, 11},
         Box{105, 154, 35, 10}},
    };
    return table;
}

const Placement* placementFor(int resourceId) {
    for (const auto& p : placements())
        if (p.resourceId == resourceId) return &p;
    return nullptr;
}

// Dialog units to pixels for the templates' font: two pixels per unit
// both ways.
constexpr int kPixelsPerUnit = 2;
QRect pixels(const Box& b) {
    return {b.x * kPixelsPerUnit, b.y * kPixelsPerUnit, b.w * kPixelsPerUnit, b.h * kPixelsPerUnit};
}

QString qs(const std::string& text) { return QString::fromStdString(text); }
QString idName(int id) { return QString::number(id); }

}  // namespace

FormDialog::FormDialog(FormRequest& request, Prompt& prompt, QWidget* parent)
    : QDialog(parent), request_(request), prompt_(prompt) {
    setModal(true);
    setObjectName(idName(request.resourceId));
    setWindowTitle(qs(request.title));
    if (placementFor(request.resourceId))
        buildPlaced();
    else
        buildPlain();
}

void FormDialog::buildPlaced() {
    const Placement& p = *placementFor(request_.resourceId);
    // The key-help box has no caption bar.
    if (request_.resourceId == 122) setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setFixedSize(pixels(p.size).size());

    std::size_t nextLabel = 0;
    QWidget* firstEdit = nullptr;
    for (const FormField& field : request_.fields) {
        if (field.id == 0) {
            if (nextLabel >= p.labels.size()) continue;
            const QRect where = pixels(p.labels[nextLabel++]);
            if (request_.resourceId == 122) {
                // A group box with its centred text inside.
                auto* group = new QGroupBox(qs(field.label), this);
                group->setGeometry(where);
                auto* text = new QLabel(qs(field.text), this);
                text->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
                text->setGeometry(pixels({22, 34, 198, 50}));
                continue;
            }
            auto* label = new QLabel(qs(field.label), this);
            label->setGeometry(where);
            continue;
        }
        QRect where;
        for (const auto& [id, box] : p.controls)
            if (id == field.id) where = pixels(box);
        if (field.editable) {
            auto* edit = new QLineEdit(qs(field.text), this);
            edit->setObjectName(idName(field.id));
            edit->setGeometry(where);
            edits_.push_back({field.id, edit});
            if (!firstEdit) firstEdit = edit;
        } else {
            auto* value = new QLabel(qs(field.text), this);
            value->setObjectName(idName(field.id));
            value->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            value->setGeometry(where);
        }
    }

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("1"));
    ok->setGeometry(pixels(p.ok));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &FormDialog::accept);
    if (p.cancel) {
        auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
        cancel->setObjectName(QStringLiteral("2"));
        cancel->setGeometry(pixels(*p.cancel));
        connect(cancel, &QPushButton::clicked, this, &FormDialog::reject);
    }
    if (firstEdit) {
        firstEdit->setFocus();
    } else {
        ok->setFocus();
    }
}

void FormDialog::buildPlain() {
    auto* layout = new QFormLayout(this);
    for (const FormField& field : request_.fields) {
        QWidget* widget = nullptr;
        if (field.editable) {
            auto* edit = new QLineEdit(qs(field.text), this);
            edits_.push_back({field.id, edit});
            widget = edit;
        } else if (field.id != 0) {
            auto* value = new QLabel(qs(field.text), this);
            value->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            widget = value;
        }
        if (widget) {
            widget->setObjectName(idName(field.id));
            layout->addRow(qs(field.label), widget);
        } else {
            layout->addRow(new QLabel(qs(field.label), this));
        }
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("1"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("2"));
    connect(buttons, &QDialogButtonBox::accepted, this, &FormDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &FormDialog::reject);
    layout->addRow(buttons);
}

QLineEdit* FormDialog::edit(int id) const {
    for (const auto& [editId, edit] : edits_)
        if (editId == id) return edit;
    return nullptr;
}

void FormDialog::accept() {
    // Check every number edit first, in the order of the form: the first
    // one that holds no number keeps the dialog open.
    for (const auto& [id, edit] : edits_) {
        const FormField* field = request_.field(id);
        if (!field || !field->numeric) continue;
        if (!parseDecimal(edit->text().toStdString())) {
            prompt_.show(kEnterNumberText);
            edit->setFocus();
            edit->selectAll();
            return;
        }
    }
    for (const auto& [id, edit] : edits_)
        if (FormField* field = request_.field(id)) field->text = edit->text().toStdString();
    QDialog::accept();
}

}  // namespace velmora
