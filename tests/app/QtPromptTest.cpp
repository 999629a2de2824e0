// The Qt answers to the prompt: the real boxes, file dialogs and forms,
// driven as a person would.

#include "AppTestSupport.h"

#include "app/FormDialog.h"
#include "app/QtPrompt.h"

#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

namespace velmora {
namespace {

using namespace velmora::testing;

std::string boxText(const QString& title, const QString& text, int icon, QMessageBox::StandardButtons buttons) {
    return (title + "|" + text + "|" + QString::number(icon) + "|" + QString::number(buttons.toInt())).toStdString();
}

// Records what the next message box (other than `previous`) showed and presses `press`.
void answerNextBox(std::string& seen, QMessageBox::StandardButton press, QWidget* previous = nullptr) {
    whenModal(
        [&seen, press](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            ASSERT_NE(box, nullptr);
            seen = boxText(box->windowTitle(), box->text(), box->icon(), box->standardButtons());
            box->button(press)->click();
        },
        previous);
}

TEST(QtPromptTest, MessageBoxesCarryTheExactCaptionTextIconAndButtons) {
    QtPrompt prompt("velmora");
    std::string seen;
    answerNextBox(seen, QMessageBox::Cancel);
    EXPECT_EQ(prompt.show("读取完成!", std::string("完成"), PromptIcon::Information, PromptButtons::OkCancel),
              PromptAnswer::Cancel);
    EXPECT_EQ(seen, boxText("完成", "读取完成!", QMessageBox::Information, QMessageBox::Ok | QMessageBox::Cancel));
    answerNextBox(seen, QMessageBox::Ok);  // the framework's box: the application's title, an exclamation mark
    EXPECT_EQ(prompt.show("Delta must be nonzero!"), PromptAnswer::Ok);
    EXPECT_EQ(seen, boxText("velmora", "Delta must be nonzero!", QMessageBox::Warning, QMessageBox::Ok));

    FileDialogRequest open;
    open.filters = {{"3D Studio Files", "*.3DS"}};
    open.mustExist = true;
    whenModal([&](QWidget* w) {
        auto* dialog = qobject_cast<QFileDialog*>(w);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->nameFilters(), QStringList{"3D Studio Files (*.3DS)"});
        EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFile);
        dialog->reject();
    });
    EXPECT_FALSE(prompt.chooseFile(open));
}

// A form of `labels`, then value texts under their ids.
FormRequest makeForm(int resourceId, std::string title, const std::vector<std::string>& labels,
                     std::vector<FormField> values) {
    FormRequest form{resourceId, std::move(title), {}};
    for (const std::string& label : labels) form.fields.push_back({0, label, "", false, false});
    form.fields.insert(form.fields.end(), values.begin(), values.end());
    return form;
}

TEST(QtPromptTest, FormRefusesANonNumberKeepsTheFocusThereCancelKeepsTheTextsAndOkTakesThem) {
    QtPrompt prompt("velmora");
    FormRequest form = makeForm(134, "ViewPointSet", {"Postion_z:", "Postion_x:"},
                                {{1001, "", "30"}, {1002, "", "0"}, {1013, "", "42", false, false}});
    std::string refusal;
    bool focusKept = false;
    whenModal([&](QWidget* w) {
        auto* dialog = qobject_cast<FormDialog*>(w);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->windowTitle(), "ViewPointSet");
        QStringList labels;
        for (QLabel* label : dialog->findChildren<QLabel*>()) labels << label->text();
        EXPECT_TRUE(labels.contains("Postion_z:"));
        auto* value = dialog->findChild<QLabel*>("1013");  // a value text: read-only and sunken
        EXPECT_TRUE(value && value->text() == "42" && value->frameShadow() == QFrame::Sunken);
        QLineEdit* z = dialog->edit(1001);
        QLineEdit* x = dialog->edit(1002);
        ASSERT_TRUE(z && x);
        EXPECT_EQ(z->text() + "," + x->text(), "30,0");
        EXPECT_LT(z->y(), x->y());  // z comes first
        x->setText("abc");
        answerNextBox(refusal, QMessageBox::Ok, dialog);
        dialog->findChild<QPushButton*>("1")->click();  // refused: the box comes up and is answered
        focusKept = QTest::qWaitFor([&] { return dialog->isVisible() && QApplication::focusWidget() == x; }, kPatience);
        x->setText("-7.5");
        dialog->findChild<QPushButton*>("1")->click();
    });
    EXPECT_TRUE(prompt.runForm(form));
    EXPECT_EQ(refusal, boxText("velmora", kEnterNumberText, QMessageBox::Warning, QMessageBox::Ok));
    EXPECT_TRUE(focusKept);
    EXPECT_EQ(form.field(1002)->text + "," + form.field(1001)->text, "-7.5,30");

    whenModal([](QWidget* w) {
        w->findChild<QLineEdit*>("1001")->setText("99");
        w->findChild<QPushButton*>("2")->click();
    });
    EXPECT_FALSE(prompt.runForm(form));
    EXPECT_EQ(form.field(1001)->text, "30");

    FormRequest plain = makeForm(0, "Laid out by rows", {"A form without a template"}, {{1001, "Width:", "1"}});
    whenModal([](QWidget* w) {
        w->findChild<QLineEdit*>("1001")->setText("2.5");
        w->findChild<QPushButton*>("1")->click();  // the button box's OK
        if (w->isVisible()) static_cast<QDialog*>(w)->reject();
    });
    EXPECT_TRUE(prompt.runForm(plain));
    EXPECT_EQ(plain.field(1001)->text, "2.5");
}

TEST(QtPromptTest, ViewRangeFormHasItsEditsInARowAndKeyHelpNoCaptionBarAndOnlyOk) {
    QtPrompt prompt("velmora");
    FormRequest form = makeForm(133, "ViewRange_Select", {"左视点：", "右视点：", "视点间隔："},
                                {{1001, "", "0"}, {1002, "", "0"}, {1003, "", "0"}});
    FormDialog range(form, prompt);
    range.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&range, kPatience));
    ASSERT_TRUE(range.edit(1001) && range.edit(1002) && range.edit(1003));
    EXPECT_EQ(range.edit(1001)->y(), range.edit(1003)->y());
    EXPECT_LT(range.edit(1001)->x(), range.edit(1002)->x());
    EXPECT_LT(range.edit(1002)->x(), range.edit(1003)->x());
    EXPECT_EQ(range.size(), QSize(362, 188));  // 181 x 94 dialog units

    FormRequest help = makeForm(122, "", {}, {{0, kKeyHelpTitle, kKeyHelpText, false, false}});
    whenModal([&](QWidget* w) {
        EXPECT_TRUE(w->windowFlags().testFlag(Qt::FramelessWindowHint));
        EXPECT_EQ(w->findChild<QPushButton*>("2"), nullptr);
        auto* group = w->findChild<QGroupBox*>();
        EXPECT_EQ(group ? group->title() : QString(), kKeyHelpTitle);
        w->findChild<QPushButton*>("1")->click();
    });
    EXPECT_TRUE(prompt.runForm(help));
}

}  // namespace
}  // namespace velmora
