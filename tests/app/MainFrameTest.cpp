// Start-up, a model named on the command line, the profile and outer size, the menu tree and the help boxes, the Qt
// answers to the prompt driven as a person would, and the test program's entry. Journals: tests/data/app.txt.

#include "AppTestSupport.h"

#include "app/FormDialog.h"
#include "app/QtPrompt.h"

#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>

#include <dlfcn.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>

namespace velmora {
namespace {

using namespace velmora::testing;

TEST(StartUpTest, AModelNamedOnTheCommandLineIsRead) {
    ScopedConfigHome home;
    const std::string model = home.dir.file("named.3ds");
    std::filesystem::copy_file(samplePath(), model);
    const int watch = ::inotify_init1(IN_CLOEXEC);
    ASSERT_GE(::inotify_add_watch(watch, model.c_str(), IN_OPEN), 0);
    QProcess program;
    program.start(QStringLiteral(VELMORA_BINARY_DIR "/src/app/velmora"), {QString::fromStdString(model)});
    pollfd opened{watch, POLLIN, 0};
    EXPECT_EQ(::poll(&opened, 1, kPatience), 1) << "the model was not read";
    program.kill();
    program.waitForFinished(kPatience);
    ::close(watch);
}

// The stored size is the outer size: the window opens centred at it and a session left alone stores it unchanged (no
// growth). Escape keeps the profile; Exit and the close box write it. Two-sided, stored off (default on), toggles.
TEST(ProfileTest, StartsCentredAtTheStoredSizeEscapeKeepsItAndClosingStoresTheNewOne) {
    ScopedConfigHome home;
    const auto profile = [](QSize size, int twoSided) {
        return "[Options]\nForce2Sided=" + std::to_string(twoSided) + "\nFrameWidth=" + std::to_string(size.width()) +
               "\nFrameHeight=" + std::to_string(size.height()) + "\n";
    };
    std::filesystem::create_directories(std::filesystem::path(home.profile()).parent_path());
    writeFile(home.profile(), profile({700, 650}, 0));
    WindowManager manager;
    ASSERT_TRUE(manager.managing) << "openbox does not manage windows";
    // Waits for the window centred at `outer`, resizes it to `client` (if valid), toggles two-sided, leaves by `way`.
    enum Way { kEscape, kExit, kCloseBox };
    Journal note;
    const auto session = [&note](QSize outer, QSize client, Way way) {
        RecordingPrompt prompt;
        ViewerApp app(prompt);
        const int priority = ::getpriority(PRIO_PROCESS, 0);
        app.initInstance();
        MainFrame& frame = *app.mainFrame();
        showAndWait(frame);
        const auto twoSidedMark = [&] {
            return frame.action(Command::ForceTwoSided)->isChecked() == (app.state().forceTwoSided == 1);
        };
        note("started: a step lower ", ::getpriority(PRIO_PROCESS, 0) == std::min(priority + 1, 19), " | ",
             frame.windowTitle(), " | view ", frame.view() != nullptr, " | two-sided mark as set ", twoSidedMark(),
             " | material ", frame.action(Command::MaterialColour)->isChecked(), " | the welcome's colour ",
             QColor(frame.glWidget()->grabFramebuffer().pixel(10, 10)) == QColor(64, 128, 191));
        const QPoint centre = QGuiApplication::primaryScreen()->geometry().center();
        const auto onScreen = [&] {
            const auto extents = frameExtents(frame.winId());
            return extents ? frame.geometry().marginsAdded(*extents) : QRect();
        };
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return onScreen().size() == outer && (onScreen().center() - centre).manhattanLength() <= 1; },
            kPatience));
        if (client.isValid()) {
            frame.statusBar()->hide();  // back with the next size
            frame.resize(client);
            EXPECT_TRUE(QTest::qWaitFor(
                [&] { return QSize(app.state().frameWidth, app.state().frameHeight) == onScreen().size(); }, kPatience));
            note("resized: to the size asked ", frame.size() == client, " | status bar ",
                 frame.statusBar()->isVisible());
        }
        const QSize left = onScreen().size();
        frame.onCommand(Command::ForceTwoSided);  // no model: the flag and the mark alone
        note("two-sided: mark as set ", twoSidedMark(), " | asked ", prompt.transcript().size());
        if (way == kExit) frame.action(Command::Exit)->trigger();
        if (way == kCloseBox) frame.close();
        if (way != kEscape) return left;
        QTimer::singleShot(0, &frame, [&frame] { QTest::keyClick(&frame, Qt::Key_Escape); });
        QTimer safety;  // gone with the session, so it cannot end a later loop
        QObject::connect(&safety, &QTimer::timeout, [] { QCoreApplication::exit(99); });
        safety.start(kPatience);
        note("Escape: status ", QCoreApplication::exec());
        return left;
    };
    session({700, 650}, {500, 400}, kEscape);
    EXPECT_EQ(fileText(home.profile()), profile({700, 650}, 0));
    const QSize resized = session({700, 650}, {520, 410}, kExit);
    EXPECT_EQ(fileText(home.profile()), profile(resized, 1));
    EXPECT_EQ(session(resized, {}, kCloseBox), resized);
    EXPECT_EQ(fileText(home.profile()), profile(resized, 0));
}

// One line per item, indented by depth: text | command id (0 for a pop-up) [| status prompt].
std::string describeMenu(const QList<QAction*>& actions, const std::string& indent = "") {
    std::string out;
    for (QAction* a : actions) {
        const std::string tip = a->statusTip().toStdString();
        out += indent + a->text().toStdString() + " | " + std::to_string(a->menu() ? 0 : a->data().toInt()) +
               (tip.empty() ? "" : " | " + tip) + "\n";
        if (a->menu()) out += describeMenu(a->menu()->actions(), indent + "  ");
    }
    return out;
}

using MainFrameTest = FrameFixture;

TEST_F(MainFrameTest, MenuTreeCarriesEveryTextIdAndPromptAndTheHelpBoxesComeUp) {
    EXPECT_EQ(describeMenu(frame().menuBar()->actions()), dataText("menu_tree.txt"));
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frame(), kPatience));  // F1 belongs to the active window
    QTest::keyClick(&frame(), Qt::Key_F1);
    frame().action(Command::WhatToDo)->trigger();
    ASSERT_TRUE(prompt_.messages().size() == 1 && prompt_.forms().size() == 1 && prompt_.forms()[0].fields.size() == 1);
    EXPECT_EQ(prompt_.messages()[0].caption, "About QUNT");
    EXPECT_NE(prompt_.messages()[0].text.find("VELMORA " VELMORA_VERSION), std::string::npos);
    const FormField& help = prompt_.forms()[0].fields[0];
    EXPECT_EQ("form " + std::to_string(prompt_.forms()[0].resourceId) + "\n" + help.label + "\n" + help.text + "\n",
              dataText("key_help.txt"));
}

// Notes the next message box (not `previous`) as "caption|text|icon|buttons" in Qt's numbers and presses `press`.
void answerNextBox(Journal& note, QMessageBox::StandardButton press, QWidget* previous = nullptr) {
    whenModal(
        [&note, press](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            ASSERT_NE(box, nullptr);
            note(box->windowTitle(), "|", box->text(), "|", box->icon(), "|", box->standardButtons().toInt());
            box->button(press)->click();
        },
        previous);
}

TEST(QtPromptTest, MessageBoxesCarryTheExactCaptionTextIconAndButtons) {
    QtPrompt prompt("velmora");
    Journal note;
    answerNextBox(note, QMessageBox::Cancel);
    note("cancelled ", prompt.show("读取完成!", std::string("完成"), PromptIcon::Information,
                                   PromptButtons::OkCancel) == PromptAnswer::Cancel);
    answerNextBox(note, QMessageBox::Ok);  // the framework's box: the application's title, an exclamation mark
    note("ok ", prompt.show("Delta must be nonzero!") == PromptAnswer::Ok);
    FileDialogRequest open;
    open.filters = {{"3D Studio Files", "*.3DS"}};
    open.mustExist = true;
    whenModal([&](QWidget* w) {
        auto* dialog = qobject_cast<QFileDialog*>(w);
        ASSERT_NE(dialog, nullptr);
        note("file dialog: ", dialog->nameFilters().join("; "), " | an existing file ",
             dialog->fileMode() == QFileDialog::ExistingFile);
        dialog->reject();
    });
    note("rejected: chosen ", prompt.chooseFile(open).has_value());
}

FormField label(const std::string& text) { return {0, text, "", false, false}; }

TEST(QtPromptTest, FormRefusesANonNumberKeepsTheFocusThereCancelKeepsTheTextsAndOkTakesThem) {
    QtPrompt prompt("velmora");
    Journal note;
    FormRequest form{134, "ViewPointSet", {label("Postion_z:"), label("Postion_x:"), {1001, "", "30"}, {1002, "", "0"},
                                           {1013, "", "42", false, false}}};
    bool focusKept = false;
    whenModal([&](QWidget* w) {
        auto* dialog = qobject_cast<FormDialog*>(w);
        ASSERT_NE(dialog, nullptr);
        QStringList labels;
        for (QLabel* label : dialog->findChildren<QLabel*>()) labels << label->text();
        auto* value = dialog->findChild<QLabel*>("1013");  // a value text, not an edit
        QLineEdit *z = dialog->edit(1001), *x = dialog->edit(1002);
        ASSERT_TRUE(z && x && value);
        note(dialog->windowTitle(), " | labelled ", labels.contains("Postion_z:"), " | value ", value->text(), " | z ",
             z->text(), " above x ", x->text(), " ", z->y() < x->y());
        x->setText("abc");
        answerNextBox(note, QMessageBox::Ok, dialog);
        dialog->findChild<QPushButton*>("1")->click();  // refused: the box comes up and is answered
        focusKept = QTest::qWaitFor([&] { return dialog->isVisible() && QApplication::focusWidget() == x; }, kPatience);
        x->setText("-7.5");
        dialog->findChild<QPushButton*>("1")->click();
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

// One QApplication for all the tests; listing them (as the build does) needs no display.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();
    QApplication app(argc, argv);
    const int result = RUN_ALL_TESTS();
    // Unloaded before the leak checker runs, what the GL driver and Qt's GL plugins keep for the process's life would
    // be reported from an unknown module, out of reach of the suppressions: keep them loaded.
    for (const char* library : {"swrast_dri.so", "/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so", "libGLX_mesa.so.0",
                                "libEGL_mesa.so.0", "libgallium_dri.so",
                                "/usr/lib/x86_64-linux-gnu/qt6/plugins/xcbglintegrations/libqxcb-glx-integration.so",
                                "/usr/lib/x86_64-linux-gnu/qt6/plugins/platforms/libqxcb.so"})
        ::dlopen(library, RTLD_NOLOAD | RTLD_NOW | RTLD_NODELETE);
    return result;
}
