// The Qt answers to the prompt, driven as a person would; each journal goes with its section of tests/data/app.txt.
// What users rely on: boxes carry the exact caption, text, icon and buttons; a form refuses a non-number and
// keeps the focus on it, Cancel keeps the texts and OK takes them; the key help has no caption bar and only OK.

#include "AppTestSupport.h"

#include "app/FormDialog.h"
#include "app/QtPrompt.h"
#include "platform/RecordingPrompt.h"

#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

namespace velmora {
namespace {

using namespace velmora::testing;

// Notes the next message box (not `previous`) as "caption|text|icon|buttons" in Qt's numbers and presses `press`.
void answerNextBox(Journal& note, QMessageBox::StandardButton press, QWidget* previous = nullptr) {
    whenModal<QMessageBox>([&note, press](QMessageBox* box) {
        note(box->windowTitle(), "|", box->text(), "|", box->icon(), "|", box->standardButtons().toInt());
        box->button(press)->click();
    }, previous);
}

TEST(QtPromptTest, MessageBoxesCarryTheExactCaptionTextIconAndButtons) {
    QtPrompt prompt("velmora");
    Journal note;
    answerNextBox(note, QMessageBox::Cancel);
    note("cancelled ", prompt.show("读取完成!", std::string("完成"), PromptIcon::Information,
                                   PromptButtons::OkCancel) == PromptAnswer::Cancel);
    answerNextBox(note, QMessageBox::Ok);  // the framework's box: the application's title, an exclamation mark
    note("ok ", prompt.show("Delta must be nonzero!") == PromptAnswer::Ok);
    whenModal<QMessageBox>([&note](QMessageBox* box) {  // a text is never read as markup: file names hold < and &
        note(box->text(), " as plain text ", box->textFormat() == Qt::PlainText, " | ", box->standardButtons().toInt());
        box->button(QMessageBox::Retry)->click();
    });
    note("retry ", prompt.show("<b>a</b> & b", std::nullopt, PromptIcon::None, PromptButtons::RetryCancel) ==
                       PromptAnswer::Retry);
    FileDialogRequest open;
    open.filters = {{"3D Studio Files", "*.3DS"}}, open.mustExist = true;
    const auto seen = [&](QFileDialog* dialog) {  // a save dialog takes a new name, given without its ending
        note(dialog->windowTitle(), ": ", dialog->nameFilters().join("; "), " | an existing file ",
             dialog->fileMode() == QFileDialog::ExistingFile, " | to save ",
             dialog->acceptMode() == QFileDialog::AcceptSave, " asking before overwriting ",
             !dialog->testOption(QFileDialog::DontConfirmOverwrite));
        if (!open.mustExist) dialog->findChild<QLineEdit*>("fileNameEdit")->setText(QDir::temp().filePath("new"));
        open.mustExist ? dialog->reject() : static_cast<QDialog*>(dialog)->accept();
    };
    whenModal<QFileDialog>(seen);
    note("rejected: chosen ", prompt.chooseFile(open).has_value());
    open.mode = FileDialogRequest::Mode::Save, open.mustExist = false, open.defaultExtension = "cgh";
    whenModal<QFileDialog>(seen);
    note("accepted: ", prompt.chooseFile(open).value_or("none") == QDir::temp().filePath("new.cgh").toStdString());
}

FormField label(const std::string& text) { return {0, text, "", false, false}; }

TEST(QtPromptTest, FormRefusesANonNumberKeepsTheFocusThereCancelKeepsTheTextsAndOkTakesThem) {
    QtPrompt prompt("velmora");
    Journal note;
    FormRequest form{134, "ViewPointSet", {label("Postion_z:"), label("Postion_x:"), {1001, "", "30"}, {1002, "", "0"},
                                           {1013, "", "42", false, false}}};
    bool focusKept = false;
    whenModal<FormDialog>([&](FormDialog* dialog) {
        auto* value = dialog->findChild<QLabel*>("1013");  // a value text, not an edit
        QLineEdit *z = dialog->edit(1001), *x = dialog->edit(1002);
        ASSERT_TRUE(z && x && value);
        note(dialog->windowTitle(), " | first label ", dialog->findChild<QLabel*>()->text(), " | value ", value->text(),
             " | z ", z->text(), " above x ", x->text(), " ", z->y() < x->y());
        x->setText("abc");
        answerNextBox(note, QMessageBox::Ok, dialog);
        dialog->findChild<QPushButton*>("1")->click();  // refused: the box comes up and is answered
        // The dialog's own focus: the window's activation after the box is the X server's, slow under load.
        focusKept = QTest::qWaitFor([&] { return dialog->isVisible() && dialog->focusWidget() == x; }, kPatience);
        x->setText("-7.5");
        QTest::keyClick(x, Qt::Key_Return);  // Enter in an edit presses OK
        if (dialog->isVisible()) dialog->reject();
    });
    const bool taken = prompt.runForm(form);
    note("refused: focus kept ", focusKept, " | then taken ", taken, ": x ", form.field(1002)->text,
         " z ", form.field(1001)->text);
    whenModal([](QWidget* w) {
        w->findChild<QLineEdit*>("1001")->setText("99");
        w->findChild<QPushButton*>("2")->click();
    });
    const bool cancelTaken = prompt.runForm(form);
    note("cancelled: taken ", cancelTaken, " z ", form.field(1001)->text);
    FormRequest plain{0, "Laid out by rows", {label("A form without a template"), {1001, "Width:", "1"}}};
    whenModal([](QWidget* w) {
        w->findChild<QLineEdit*>("1001")->setText("2.5");
        w->findChild<QPushButton*>("1")->click();  // the button box's OK
        if (w->isVisible()) static_cast<QDialog*>(w)->reject();
    });
    const bool plainTaken = prompt.runForm(plain);
    note("without a template: taken ", plainTaken, " ", plain.field(1001)->text);
}

// Only number rows must hold a number; a text row takes any text. The refusal goes through the prompt.
TEST(QtPromptTest, FormChecksItsNumberRowsOnly) {
    RecordingPrompt recording;
    FormRequest mixed{0, "Rows", {{1001, "Width:", "1"}, {1002, "Method:", "wrp", true, false}}};
    FormDialog dialog(mixed, recording);
    dialog.edit(1001)->setText("x");
    dialog.accept();
    EXPECT_EQ(recording.messageTexts(), std::vector<std::string>{kEnterNumberText});
    dialog.edit(1001)->setText("2");
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(mixed.field(1001)->text + " " + mixed.field(1002)->text, "2 wrp");
}

TEST(QtPromptTest, KeyHelpHasNoCaptionBarAndOnlyOk) {
    QtPrompt prompt("velmora");
    Journal note;
    FormRequest help{122, "", {{0, kKeyHelpTitle, kKeyHelpText, false, false}}};
    whenModal([&](QWidget* w) {
        auto* group = w->findChild<QGroupBox*>();
        note("key help: frameless ", w->windowFlags().testFlag(Qt::FramelessWindowHint), " | cancel ",
             w->findChild<QPushButton*>("2") != nullptr, " | ", group ? group->title() : QString());
        w->findChild<QPushButton*>("1")->click();
    });
    note("key help: taken ", prompt.runForm(help));
}

}  // namespace
}  // namespace velmora
