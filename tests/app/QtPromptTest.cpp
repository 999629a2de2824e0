// The Qt answers to the prompt: the real boxes, file dialogs and forms,
// driven as a person would.

#include "AppTestSupport.h"

#include "app/FormDialog.h"
#include "app/QtPrompt.h"

#include <QFileDialog>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

namespace velmora {
namespace {

using namespace velmora::testing;

// What a message box showed; answerNextBox records it and presses `press`.
struct SeenBox {
    std::string title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
};

void answerNextBox(SeenBox& seen, QMessageBox::StandardButton press, QWidget* previous = nullptr) {
    whenModal(
        [&seen, press](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            ASSERT_NE(box, nullptr);
            seen = {box->windowTitle().toStdString(), box->text().toStdString(), box->icon(), box->standardButtons()};
            box->button(press)->click();
        },
        previous);
}

TEST(QtPromptTest, MessageBoxesCarryTheExactCaptionTextAndButtons) {
    QtPrompt prompt("velmora");
    SeenBox seen;
    answerNextBox(seen, QMessageBox::Cancel);
    EXPECT_EQ(prompt.show("读取完成!", std::string("完成"), PromptIcon::Information, PromptButtons::OkCancel),
              PromptAnswer::Cancel);
    EXPECT_EQ(seen.title, "完成");
    EXPECT_EQ(seen.text, "读取完成!");
    EXPECT_EQ(seen.icon, QMessageBox::Information);
    EXPECT_EQ(seen.buttons, QMessageBox::Ok | QMessageBox::Cancel);

    // The framework's box: the application's title and an exclamation mark.
    answerNextBox(seen, QMessageBox::Ok);
    EXPECT_EQ(prompt.show("Delta must be nonzero!"), PromptAnswer::Ok);
    EXPECT_EQ(seen.title, "velmora");
    EXPECT_EQ(seen.icon, QMessageBox::Warning);
    EXPECT_EQ(seen.buttons, QMessageBox::Ok);
}

TEST(QtPromptTest, OpenDialogFiltersModelFiles) {
    QtPrompt prompt("velmora");
    QStringList filters;
    QFileDialog::FileMode mode = QFileDialog::AnyFile;
    whenModal([&](QWidget* w) {
        auto* dialog = qobject_cast<QFileDialog*>(w);
        ASSERT_NE(dialog, nullptr);
        filters = dialog->nameFilters();
        mode = dialog->fileMode();
        dialog->reject();
    });
    FileDialogRequest request;
    request.filters = {{"3D Studio Files", "*.3DS"}};
    request.mustExist = true;
    EXPECT_FALSE(prompt.chooseFile(request));
    EXPECT_EQ(filters, QStringList{"3D Studio Files (*.3DS)"});
    EXPECT_EQ(mode, QFileDialog::ExistingFile);
}

// A form with a label per entry of `labels`, then value texts under their ids.
FormRequest makeForm(int resourceId, std::string title, const std::vector<std::string>& labels,
                     std::vector<FormField> values) {
    FormRequest form{resourceId, std::move(title), {}};
    for (const std::string& label : labels) form.fields.push_back({0, label, "", false, false});
    form.fields.insert(form.fields.end(), values.begin(), values.end());
    return form;
}

TEST(QtPromptTest, FormRefusesANonNumberAndKeepsTheFocusOnThatEdit) {
    QtPrompt prompt("velmora");
    FormRequest form = makeForm(134, "ViewPointSet", {"Postion_z:", "Postion_x:", "Postion_y:"},
                                {{1001, "", "30"}, {1002, "", "0"}, {1003, "", "0"}});
    SeenBox refusal;
    bool focusKept = false;
    QStringList labels;
    whenModal([&](QWidget* w) {
        auto* dialog = qobject_cast<FormDialog*>(w);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->windowTitle(), "ViewPointSet");
        for (QLabel* label : dialog->findChildren<QLabel*>()) labels << label->text();
        auto* z = dialog->findChild<QLineEdit*>("1001");
        auto* x = dialog->findChild<QLineEdit*>("1002");
        ASSERT_TRUE(z && x);
        EXPECT_EQ(z->text(), "30");
        EXPECT_EQ(x->text(), "0");
        EXPECT_LT(z->y(), x->y());  // z comes first
        saveArtefact(dialog->grab(), "dialog-134.png");
        x->setText("abc");
        answerNextBox(refusal, QMessageBox::Ok, dialog);
        dialog->findChild<QPushButton*>("1")->click();  // refused: the box comes up and is answered
        focusKept = QTest::qWaitFor([&] { return dialog->isVisible() && QApplication::focusWidget() == x; },
                                    kPatience);
        x->setText("-7.5");
        dialog->findChild<QPushButton*>("1")->click();
    });
    EXPECT_TRUE(prompt.runForm(form));
    EXPECT_EQ(refusal.text, kEnterNumberText);
    EXPECT_EQ(refusal.title, "velmora");
    EXPECT_TRUE(focusKept);
    EXPECT_EQ(form.field(1002)->text, "-7.5");
    EXPECT_EQ(form.field(1001)->text, "30");
    EXPECT_TRUE(labels.contains("Postion_z:"));

    // Cancel leaves the texts as they were.
    whenModal([](QWidget* w) {
        w->findChild<QLineEdit*>("1001")->setText("99");
        w->findChild<QPushButton*>("2")->click();
    });
    EXPECT_FALSE(prompt.runForm(form));
    EXPECT_EQ(form.field(1001)->text, "30");
}

TEST(QtPromptTest, ValueTextsAreReadOnlyAndSunken) {
    QtPrompt prompt("velmora");
    std::vector<FormField> values = {{1013, "", "42", false, false}};
    for (int id = 1007; id <= 1012; ++id) values.push_back({id, "", "-1.250000", false, false});
    values.insert(values.end(), {{1001, "", "1"}, {1002, "", "1"}});
    FormRequest form = makeForm(135, "Obj_Coordinate",
                                {"            Points:", "Object_Max_X:", "Object_Min_X:", "Object_Max_Y:",
                                 "Object_Min_Y:", "Object_Max_Z:", "Object_Min_Z:", "Output_Scalxy:", "Output_Scalz:"},
                                values);
    bool sunkenLabel = false;
    whenModal([&](QWidget* w) {
        auto* label = w->findChild<QLabel*>("1013");
        sunkenLabel = label && label->text() == "42" && label->frameShadow() == QFrame::Sunken;
        saveArtefact(w->grab(), "dialog-135.png");
        w->findChild<QPushButton*>("1")->click();
    });
    EXPECT_TRUE(prompt.runForm(form));
    EXPECT_TRUE(sunkenLabel);
}

TEST(QtPromptTest, ViewRangeFormPlacesItsThreeEditsInARow) {
    QtPrompt prompt("velmora");
    FormRequest form = makeForm(133, "ViewRange_Select", {"左视点：", "右视点：", "视点间隔："},
                                {{1001, "", "0"}, {1002, "", "0"}, {1003, "", "0"}});
    FormDialog dialog(form, prompt);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    QLineEdit* left = dialog.edit(1001);
    QLineEdit* right = dialog.edit(1002);
    QLineEdit* interval = dialog.edit(1003);
    ASSERT_TRUE(left && right && interval);
    EXPECT_EQ(left->y(), right->y());
    EXPECT_LT(left->x(), right->x());
    EXPECT_LT(right->x(), interval->x());
    EXPECT_EQ(dialog.size(), QSize(362, 188));  // 181 x 94 dialog units
    saveArtefact(dialog.grab(), "dialog-133.png");
    dialog.reject();
}

TEST(QtPromptTest, KeyHelpBoxHasNoCaptionBarAndOnlyOk) {
    QtPrompt prompt("velmora");
    FormRequest form = makeForm(122, "", {}, {{0, kKeyHelpTitle, kKeyHelpText, false, false}});
    bool frameless = false, hasCancel = true;
    QString group;
    whenModal([&](QWidget* w) {
        frameless = w->windowFlags().testFlag(Qt::FramelessWindowHint);
        hasCancel = w->findChild<QPushButton*>("2") != nullptr;
        if (auto* box = w->findChild<QGroupBox*>()) group = box->title();
        saveArtefact(w->grab(), "dialog-122.png");
        w->findChild<QPushButton*>("1")->click();
    });
    EXPECT_TRUE(prompt.runForm(form));
    EXPECT_TRUE(frameless);
    EXPECT_FALSE(hasCancel);
    EXPECT_EQ(group, kKeyHelpTitle);
}

// With real boxes the load's bounds box runs a nested event loop; paints
// that arrive then must not draw the half-built model.
TEST(QtPromptTest, PaintsDuringALoadAreSafe) {
    ScopedConfigHome home;
    RecordingSettingsStore store;
    QtPrompt prompt("velmora");
    ViewerApp app(prompt, &store);
    app.initInstance();
    MainFrame& frame = *app.mainFrame();
    showAndWait(frame);

    std::vector<std::string> captions;
    std::function<void(QWidget*)> answer = [&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        ASSERT_NE(box, nullptr);
        captions.push_back(box->windowTitle().toStdString());
        frame.glWidget()->repaint();  // a paint while the box is up
        frame.resize(frame.width() + 10, frame.height());
        QApplication::processEvents();
        if (captions.size() < 2) whenModal(answer, box);
        box->button(QMessageBox::Ok)->click();
    };
    whenModal(answer);
    EXPECT_TRUE(frame.openModel(samplePath()));
    EXPECT_EQ(captions, (std::vector<std::string>{"ok", "完成"}));
    EXPECT_TRUE(frame.view()->hasModel());
    frame.close();
}

}  // namespace
}  // namespace velmora
