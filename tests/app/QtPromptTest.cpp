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

TEST(DialogNumberTest, AcceptsDecimalNumbersWithBlanksOnly) {
    EXPECT_EQ(parseDialogNumber("30"), 30.0f);
    EXPECT_EQ(parseDialogNumber("  -2.5\t"), -2.5f);
    EXPECT_EQ(parseDialogNumber("1e2"), 100.0f);
    EXPECT_EQ(parseDialogNumber(".5"), 0.5f);
    for (const char* bad : {"", "  ", "abc", "3x", "1,5", "--1"})
        EXPECT_FALSE(parseDialogNumber(bad)) << '"' << bad << '"';
    EXPECT_EQ(formatDialogNumber(30.0f), "30");
    EXPECT_EQ(formatDialogNumber(0.5f), "0.5");
    EXPECT_EQ(formatDialogNumber(1.0f / 3.0f), "0.333333");  // six significant digits
}

TEST(QtPromptTest, MessageBoxesCarryTheExactCaptionTextAndButtons) {
    QtPrompt prompt("velmora");
    std::string title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    whenModal([&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        ASSERT_NE(box, nullptr);
        title = box->windowTitle().toStdString();
        text = box->text().toStdString();
        icon = box->icon();
        buttons = box->standardButtons();
        box->button(QMessageBox::Cancel)->click();
    });
    EXPECT_EQ(prompt.show("读取完成!", std::string("完成"), PromptIcon::Information, PromptButtons::OkCancel),
              PromptAnswer::Cancel);
    EXPECT_EQ(title, "完成");
    EXPECT_EQ(text, "读取完成!");
    EXPECT_EQ(icon, QMessageBox::Information);
    EXPECT_EQ(buttons, QMessageBox::Ok | QMessageBox::Cancel);

    // The framework's box: the application's title and an exclamation mark.
    whenModal([&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        ASSERT_NE(box, nullptr);
        title = box->windowTitle().toStdString();
        icon = box->icon();
        box->button(QMessageBox::Ok)->click();
    });
    EXPECT_EQ(prompt.show("Delta must be nonzero!"), PromptAnswer::Ok);
    EXPECT_EQ(title, "velmora");
    EXPECT_EQ(icon, QMessageBox::Warning);
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

FormRequest viewPointForm() {
    FormRequest form;
    form.resourceId = 134;
    form.title = "ViewPointSet";
    form.fields = {{0, "Postion_z:", "", false, false}, {0, "Postion_x:", "", false, false},
                   {0, "Postion_y:", "", false, false}, {1001, "", "30", true, true},
                   {1002, "", "0", true, true},         {1003, "", "0", true, true}};
    return form;
}

TEST(QtPromptTest, FormRefusesANonNumberAndKeepsTheFocusOnThatEdit) {
    QtPrompt prompt("velmora");
    FormRequest form = viewPointForm();
    std::string refusal, refusalTitle;
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
        whenModal(
            [&, dialog, x](QWidget* box) {
                auto* message = qobject_cast<QMessageBox*>(box);
                ASSERT_NE(message, nullptr);
                refusal = message->text().toStdString();
                refusalTitle = message->windowTitle().toStdString();
                message->button(QMessageBox::Ok)->click();
                QTimer::singleShot(50, dialog, [&, dialog, x] {
                    focusKept = dialog->isVisible() && QApplication::focusWidget() == x;
                    x->setText("-7.5");
                    dialog->findChild<QPushButton*>("1")->click();
                });
            },
            dialog);
        dialog->findChild<QPushButton*>("1")->click();
    });
    EXPECT_TRUE(prompt.runForm(form));
    EXPECT_EQ(refusal, kEnterNumberText);
    EXPECT_EQ(refusalTitle, "velmora");
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
    FormRequest form;
    form.resourceId = 135;
    form.title = "Obj_Coordinate";
    for (const char* label : {"            Points:", "Object_Max_X:", "Object_Min_X:", "Object_Max_Y:",
                              "Object_Min_Y:", "Object_Max_Z:", "Object_Min_Z:", "Output_Scalxy:",
                              "Output_Scalz:"})
        form.fields.push_back({0, label, "", false, false});
    form.fields.push_back({1013, "", "42", false, false});
    for (int id = 1007; id <= 1012; ++id) form.fields.push_back({id, "", "-1.250000", false, false});
    form.fields.push_back({1001, "", "1", true, true});
    form.fields.push_back({1002, "", "1", true, true});
    bool sunken = false, isLabel = false;
    whenModal([&](QWidget* w) {
        QWidget* value = w->findChild<QWidget*>("1013");
        auto* label = qobject_cast<QLabel*>(value);
        isLabel = label && label->text() == "42";
        sunken = label && label->frameShadow() == QFrame::Sunken;
        saveArtefact(w->grab(), "dialog-135.png");
        w->findChild<QPushButton*>("1")->click();
    });
    EXPECT_TRUE(prompt.runForm(form));
    EXPECT_TRUE(isLabel);
    EXPECT_TRUE(sunken);
}

TEST(QtPromptTest, ViewRangeFormPlacesItsThreeEditsInARow) {
    QtPrompt prompt("velmora");
    FormRequest form;
    form.resourceId = 133;
    form.title = "ViewRange_Select";
    form.fields = {{0, "左视点：", "", false, false}, {0, "右视点：", "", false, false},
                   {0, "视点间隔：", "", false, false}, {1001, "", "0", true, true},
                   {1002, "", "0", true, true},       {1003, "", "0", true, true}};
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
    FormRequest form;
    form.resourceId = 122;
    form.fields = {{0, kKeyHelpTitle, kKeyHelpText, false, false}};
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
