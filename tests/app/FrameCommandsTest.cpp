// The frame's commands on the sample model; each test's journal is compared with its section of tests/data/app.txt.
// What users of the window rely on:
// - opening a model resets the camera and the transform; the next model keeps the view; a bad file leaves no model;
// - each export item asks its questions in order (range form, then file) and writes its kind; a refused range
//   asks for no file; a series writes one file a view and keeps the window's size;
// - keys, drags and the fly-by timer reach the navigation; texts are on screen while the work runs;
// - the View forms set the viewpoint, the eye and the scales on OK and nothing on Cancel; each placed form
//   puts every control where its template does;
// - the hologram item refuses an empty frame with a box, shows the frame's hologram unless cancelled, and its
//   window refocuses, scores and saves every channel and the preview.

#include "AppTestSupport.h"

#include "app/FormDialog.h"
#include "app/HologramSettingsDialog.h"
#include "app/HologramWindow.h"
#include "export/ExportCommands.h"
#include "model/MeshModel.h"
#include "platform/FatalExit.h"
#include "support/PointFiles.h"

#include <QOpenGLContext>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProgressDialog>
#include <QRegularExpression>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QColorSpace>
#include <QDoubleSpinBox>

#include <GL/gl.h>

#include <fstream>
#include <iterator>

namespace velmora {
namespace {

using namespace velmora::testing;
using Floats = std::vector<float>;
using Texts = std::vector<std::string>;

class FrameCommandsTest : public FrameFixture {
protected:
    void open(const std::string& path = samplePath()) {
        prompt_.queueFile(path);
        frame().action(Command::FileOpen)->trigger();
    }
    Floats eye() { return {frame().view()->eyeX(), frame().view()->eyeY(), frame().view()->eyeZ()}; }
    bool colourMaterial() {
        frame().glWidget()->makeCurrent();
        return glIsEnabled(GL_COLOR_MATERIAL);
    }
    // Triggers `command`; its form gets `texts` in the edits 1001, 1002... and OK or Cancel.
    void ask(int command, Texts texts, bool ok = true) {
        prompt_.queueForm([=](FormRequest& form) {
            for (std::size_t i = 0; i < texts.size(); ++i) form.field(1001 + int(i))->text = texts[i];
            return ok;
        });
        frame().action(command)->trigger();
    }
    // The last form: "id title |labels", then its edits 1001, 1002... marked where any text goes or none is typed.
    Texts lastForm() const {
        const FormRequest& form = prompt_.forms().back();
        Texts out = {std::to_string(form.resourceId) + " " + form.title};
        for (const FormField& field : form.fields) if (!field.label.empty()) out[0] += " |" + field.label;
        for (int id = 1001; const FormField* field = form.field(id); ++id)
            out.push_back(field->text + (field->numeric ? "" : " (any text)") + (field->editable ? "" : " (shown)"));
        return out;
    }
    TempDir dir_;
    Journal note_;
};

TEST_F(FrameCommandsTest, OpeningResetsTheCameraAndTheNextModelKeepsTheView) {
    frame().action(Command::FileOpen)->trigger();  // cancelled: nothing changes
    const FileDialogRequest& asked = prompt_.fileDialogs().at(0);
    note_("cancelled: view ", frame().view() != nullptr, " | to open ", asked.mode == FileDialogRequest::Mode::Open,
          " an existing file ", asked.mustExist, " ", asked.filters.at(0).pattern);
    frame().action(Command::MaterialColour)->trigger();  // before any model: the flag and the mark
    state().modelScale = 3.0f, state().modelOffsetX = 2.0f, state().modelRotY = 45.0f;
    open();
    ASSERT_TRUE(frame().view() && frame().view()->hasModel());
    note_("opened: ", prompt_.transcript().back(), " | ", frame().windowTitle(), " | scale, offset, turn ",
          Floats{state().modelScale, state().modelOffsetX, state().modelRotY}, " | viewport as wide as the widget ",
          frame().view()->viewportWidth() == frame().glWidget()->width(), " | material mark ",
          frame().action(Command::MaterialColour)->isChecked(), " in OpenGL ", colourMaterial(), " | colour bits ",
          frame().glWidget()->surface().colourBits(), " profile ", frame().glWidget()->context()->format().profile(),
          " depth of 24 bits ", frame().glWidget()->context()->format().depthBufferSize() >= 24);
    frame().action(Command::MaterialColour)->trigger();
    frame().glWidget()->doneCurrent(), frame().action(Command::MaterialColour)->trigger();  // whatever is current
    QTest::keyClick(&frame(), Qt::Key_Left), open();
    note_("the next: eye ", eye());
    writeFile(dir_.file("bad.3ds"), std::string("not a model"));
    open(dir_.file("bad.3ds"));
    note_("not a model: model ", frame().view()->hasModel(), " | ", frame().windowTitle(), " | material in OpenGL ",
          colourMaterial());
}

// A PLY file's format line; a CGH file is "colour" when its points carry colours (only those are read as points).
std::string kindOf(const std::string& path) {
    if (!std::filesystem::exists(path)) return "missing";
    if (path.substr(path.size() - 4) == ".3di") return "written";
    const PointFile file = readCgh(path);
    return file.lines.at(0) == "ply" ? file.lines.at(1) : file.points.empty() ? "grey" : "colour";
}

TEST_F(FrameCommandsTest, EachExportItemAsksItsQuestionsAndWritesItsKind) {
    frame().action(Command::ExportColour)->trigger();  // no model: nothing at all
    note_("no model: ", prompt_.transcript().size(), " requests");
    open();
    // Each item and the file it writes, named by its first letter; a series (0 to 1 by 0.5) adds its last view number.
    const std::pair<int, const char*> rows[] = {
        {Command::ExportColour, "a.CGH"}, {Command::ExportGrey, "b.CGH"}, {Command::Export3di, "c.3di"},
        {Command::ExportPly, "d.ply"}, {Command::ExportPlyAscii, "e.ply"}, {Command::MultiViewColour, "f3.CGH"},
        {Command::MultiViewGrey, "g3.CGH"}, {Command::MultiViewChannels, "hb3.CGH"}, {Command::MultiViewPly, "i3.ply"},
        {Command::MultiViewPlyAscii, "j3.ply"}};
    for (const auto& [command, file] : rows) {
        prompt_.clear();
        prompt_.queueFile(dir_.file(std::string(file, 1)));
        std::string(file).find('.') > 1 ? ask(command, {"0", "1", "0.5"}) : frame().action(command)->trigger();
        note_(file, ": ", prompt_.transcript(), " | ", prompt_.fileDialogs().at(0).filters.at(0).pattern, " | ",
              kindOf(dir_.file(file)));
    }
    prompt_.clear();
    ask(Command::MultiViewGrey, {"0", "1", "0"});  // a refused range asks for no file
    note_("refused: ", prompt_.transcript(), " | ", lastForm());
    // A resize amid a series waits for its end: the last view samples the rectangle the series started with.
    const auto sizes = [&] {
        const ClientRect c = frame().clientRect();
        return std::vector<int>{c.width(), c.height(), frame().view()->viewportWidth(),
                                frame().view()->viewportHeight()};
    };
    const std::vector<int> before = sizes();
    const QSize grown = frame().glWidget()->size() + QSize(150, -100);
    std::vector<int> atLastView;
    QObject::connect(&frame(), &MainFrame::viewProgress, &frame(), [&](int number, int) {
        if (number == 2) {
            frame().resize(frame().size() + QSize(150, -100));
            EXPECT_TRUE(QTest::qWaitFor([&] { return frame().glWidget()->size() == grown; }, kPatience));
        }
        if (number < 3) return;
        atLastView = sizes();
        const auto* box = frame().findChild<QProgressDialog*>();  // at the second view: nothing to cancel
        ASSERT_TRUE(box);
        EXPECT_EQ(std::tuple(box->windowTitle(), box->labelText(), box->value(), box->minimum(), box->maximum()),
                  std::tuple(QString("QUNT"), QString("Exporting view 2 of 3"), 1, 0, 3));  // a third done
        EXPECT_TRUE(box->isVisible() && box->windowModality() == Qt::WindowModal && !box->findChild<QPushButton*>());
    });
    prompt_.queueFile(dir_.file("r"));
    ask(Command::MultiViewGrey, {"0", "1", "0.5"});
    note_("resized in a series: ", frame().lastProgressText(), " | the last view at the first size ",
          atLastView == before, " | then grown ",
          sizes() == std::vector<int>{grown.width(), grown.height(), grown.width(), grown.height()});
}

TEST_F(FrameCommandsTest, KeysDragsAndTheFlyByTimerReachTheNavigation) {
    std::istringstream keys(dataSections("app.txt")["virtual keys"]);
    for (std::string name; keys >> name;) {
        const QKeyCombination key = QKeySequence::fromString(QString::fromStdString(name))[0];
        note_(QKeySequence(key).toString(), " ", MainFrame::virtualKeyOf(key.key(), key.keyboardModifiers()));
    }
    open();
    QApplication::setActiveWindow(&frame());  // keys go to the window's focus
    ASSERT_EQ(QApplication::focusWidget(), &frame());
    for (bool repeat : {false, true, true}) {  // a held key: one step per auto-repeat too
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Left, Qt::NoModifier, QString(), repeat);
        QApplication::sendEvent(QApplication::focusWidget(), &press);
    }
    note_("left held for three steps: eye ", eye());
    QWidget* gl = frame().glWidget();  // mouse events straight to it, as the window system delivers them
    const auto send = [gl](QEvent::Type type, QPoint p, Qt::MouseButtons buttons) {
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, QPointF(p), gl->mapToGlobal(QPointF(p)), button, buttons, Qt::NoModifier);
        QApplication::sendEvent(gl, &event);
    };
    const auto rotation = [&] { return Floats{state().modelRotY, state().modelRotX}; };
    send(QEvent::MouseButtonPress, {100, 100}, Qt::LeftButton);
    send(QEvent::MouseMove, {110, 120}, Qt::LeftButton);
    note_("dragged right 10, down 20: turn ", rotation());
    send(QEvent::MouseButtonRelease, {-20, -20}, Qt::NoButton);  // outside: not seen, the drag goes on
    send(QEvent::MouseMove, {120, 120}, Qt::NoButton);
    note_("released outside, then right 10: turn ", rotation());
    send(QEvent::MouseButtonRelease, {120, 120}, Qt::NoButton);
    send(QEvent::MouseMove, {200, 200}, Qt::NoButton);
    note_("released, then moved: turn ", rotation());
    frame().action(Command::FlyBy)->trigger();  // runs on a timer until Home stops it
    EXPECT_TRUE(QTest::qWaitFor([&] { return frame().view()->eyeZ() != 30.0f; }, kPatience));
    QTest::keyClick(&frame(), Qt::Key_Home);
    note_("fly-by, then Home: timer ", frame().flyByTimer().isActive(), " | eye ", eye());
    frame().action(Command::FlyBy)->trigger();
    frame().close();  // the view goes: nothing steps it any more
    note_("fly-by, then closed: timer ", frame().flyByTimer().isActive());
}

// The texts drawn before long work are on the screen at every box; paints and keys amid a load leave them alone.
TEST_F(FrameCommandsTest, TextsAreOnScreenWhileTheWorkRunsAndAVertexArrayIsRetried) {
    open();
    GlWidget* gl = frame().glWidget();
    const QRect area(gl->mapToGlobal(QPoint(0, 0)), gl->size());
    int retries = 0;
    prompt_.onMessage = [&](const RecordingPrompt::Message& box) {
        EXPECT_TRUE(textOnScreen(area)) << "no text on screen at the box " << box.text;
        if (box.buttons == PromptButtons::RetryCancel && ++retries == 2)
            frame().view()->model()->setVertexArrayLimit(frame().view()->model()->vertices().size());
        if (box.caption != "ok") return;
        EXPECT_TRUE(showsText(gl->grabFramebuffer())) << "a paint while the model loaded drew over the text";
        QTest::keyClick(&frame(), Qt::Key_W);
        EXPECT_EQ(state().modelScale, 1.0f) << "a key acted while the model loaded";
        gl->makeCurrent();
    };
    const auto outOfSight = [&] {  // the viewing colour alone on screen
        state().modelOffsetX = 1000.0f;
        QTest::keyClick(&frame(), Qt::Key_L);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !textOnScreen(area, 0); }, kPatience));
        prompt_.clear();
    };
    outOfSight();
    const float x0 = frame().view()->model()->vertices().front().x;
    frame().view()->model()->setVertexArrayLimit(0);
    QTest::keyClick(&frame(), Qt::Key_E);  // doubles the geometry; asked until Retry works
    note_("E: ", prompt_.transcript(), " | a question ", prompt_.messages().back().icon == PromptIcon::Question);
    outOfSight();  // two-sided reads the file again and keeps the camera and the transform
    frame().action(Command::ForceTwoSided)->trigger();
    QTest::keyClick(&frame(), Qt::Key_J);  // taken, one step back: the read is over
    note_("two-sided: ", state().forceTwoSided, " | as read ", frame().view()->model()->vertices().front().x == x0,
          " | offset ", state().modelOffsetX, " | boxes ", prompt_.messages().size(),
          " ", prompt_.messages().at(0).caption);  // no completion box
    prompt_.onMessage = nullptr;  // Cancel ends the program at once with status 0
    frame().view()->model()->setVertexArrayLimit(0);
    prompt_.queueAnswer(PromptAnswer::Cancel);
    int status = -1;
    ScopedFatalExitHandler handler([&](int code) { status = code, throw code; });
    EXPECT_THROW(FrameView::retryVertexArray(prompt_, *frame().view()), int);
    note_("cancelled: status ", status);
}

TEST_F(FrameCommandsTest, ViewMenuFormsSetTheViewpointAndTheEyeAndTheScales) {
    const auto viewpoint = [&] { return Floats{state().viewPointX, state().viewPointY, state().viewPointZ}; };
    const auto scales = [&] { return Floats{state().Output_Scalxy, state().Output_Scalz}; };
    frame().action(Command::ObjCoordinate)->trigger();  // no model: no dialog
    note_("no model: ", prompt_.transcript().size(), " requests");
    ask(Command::ViewPointSet, {"40", "5", "2"});  // z, x, y; before any model the stored viewpoint alone
    note_(lastForm(), " | viewpoint ", viewpoint());
    open();
    ask(Command::ViewPointSet, {"50"});
    note_("z shown ", lastForm().at(1), " | viewpoint ", viewpoint(), " | eye ", eye());  // whatever is stored
    QTest::keyClick(&frame(), Qt::Key_Right);
    ask(Command::ViewPointSet, {"70"}, false);  // Cancel leaves the viewpoint and the eye
    note_("cancelled: viewpoint ", viewpoint(), " | eye ", eye());
    const auto sampled = objectCoordinateTexts(sampleObjectCoordinates(*frame().view(), prompt_, frame().clientRect()));
    restoreViewingFrame(*frame().view());
    EXPECT_NE(sampled.at(0), "0");
    ask(Command::ObjCoordinate, {"2", "3"});
    Texts values;
    for (int id : {1013, 1007, 1008, 1009, 1010, 1011, 1012}) values.push_back(prompt_.forms().back().field(id)->text);
    EXPECT_EQ(values, sampled);
    note_(lastForm(), " | points editable ", prompt_.forms().back().field(1013)->editable, " | scales ", scales());
    ask(Command::ObjCoordinate, {"9", "9"}, false);  // Cancel keeps the scales
    note_("cancelled: scales ", scales());
}

// Each control of a laid-out form in creation order, in dialog units (two pixels each): "kind id x y w h"; then
// the control that takes the focus when the form comes up.
Texts layoutOf(FormDialog& dialog) {
    Texts out = {"size " + std::to_string(dialog.width() / 2) + " " + std::to_string(dialog.height() / 2)};
    for (QWidget* w : dialog.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        auto* label = qobject_cast<QLabel*>(w);
        auto* group = qobject_cast<QGroupBox*>(w);
        auto* button = qobject_cast<QPushButton*>(w);
        const char* kind = qobject_cast<QLineEdit*>(w) ? "edit" : button ? (button->isDefault() ? "default" : "button")
                           : group ? "group" : label && label->frameShape() == QFrame::Panel ? "value" : "label";
        const QString text = group ? group->title() : label && w->objectName().isEmpty() ? label->text() : QString();
        const QRect r = w->geometry();
        out.push_back(std::string(kind) + " " + w->objectName().toStdString() + text.left(20).toStdString() + " " +
                      std::to_string(r.x() / 2) + " " + std::to_string(r.y() / 2) + " " +
                      std::to_string(r.width() / 2) + " " + std::to_string(r.height() / 2));
    }
    out.push_back("focus " + (dialog.focusWidget() ? dialog.focusWidget()->objectName().toStdString() : "none"));
    return out;
}

TEST_F(FrameCommandsTest, EachFormIsLaidOutAsItsTemplatePlacesIt) {
    const auto layOut = [&](int command) {
        prompt_.queueForm([&](FormRequest& form) {
            FormDialog dialog(form, prompt_);
            note_(form.resourceId, ": ", layoutOf(dialog));
            return false;
        });
        frame().action(command)->trigger();
    };
    layOut(Command::WhatToDo);
    layOut(Command::ViewPointSet);
    open();
    layOut(Command::ObjCoordinate);
    layOut(Command::MultiViewColour);
    EXPECT_EQ(prompt_.forms().size(), 4u);
}

// Runs `run`, doing `act` to each progress dialog as it comes up; the last as "title | label | modality".
QString withProgress(const std::function<void(QProgressDialog&)>& act, const std::function<void()>& run) {
    struct Filter : QObject {
        std::function<void(QProgressDialog&)> act;
        QString seen;
        bool eventFilter(QObject* watched, QEvent* event) override {
            if (auto* dialog = qobject_cast<QProgressDialog*>(watched); dialog && event->type() == QEvent::Show) {
                seen = dialog->windowTitle() + " | " + dialog->labelText() + " | " +
                       (dialog->windowModality() == Qt::WindowModal ? "window modal" : "not window modal") +
                       (dialog->maximum() == 0 ? "" : " | a bar that counts");  // not the busy indicator
                act(*dialog);
            }
            return false;
        }
    } filter;
    filter.act = act;
    QApplication::instance()->installEventFilter(&filter);
    run();
    QApplication::instance()->removeEventFilter(&filter);
    return filter.seen;
}

// The session manager closes the windows even under the modal progress box: the hologram is not shown then.
TEST_F(FrameCommandsTest, AFrameClosedWhileTheHologramIsComputedShowsNone) {
    HologramSettings small;
    small.width = small.height = 64, small.planning = FftPlanning::Estimate;
    frame().hologramSettings() = small;
    open();
    prompt_.clear();
    withProgress([&](QProgressDialog&) { frame().close(); }, [&] { ask(Command::Hologram, {}); });
    EXPECT_FALSE(frame().isVisible());
    EXPECT_EQ(frame().findChild<HologramWindow*>(), nullptr);
    EXPECT_TRUE(prompt_.messages().empty());
}

TEST_F(FrameCommandsTest, HologramItemShowsTheFramesReconstructionAndTheSliderFocusesAtThePointsDepth) {
    HologramSettings small;
    small.width = small.height = 64, small.distance = 10e-3, small.planning = FftPlanning::Estimate;
    frame().hologramSettings() = small;  // the form sets all but the planning
    const Texts answer = {"64", "64", "8", "10", "0.8", "wrp", "binary", "8", "0", "2", "", ""};
    ask(Command::Hologram, answer);  // no model: an empty frame's box
    EXPECT_EQ(prompt_.transcript(), (Texts{"form Hologram Settings",
                                           "message Error: Cannot compute the hologram: there are no points: the frame "
                                           "is empty"}));
    RecordingPrompt nextRun;  // the answer is the next run's default, and this run's (the forms below take it)
    IniSettingsStore nextProfile(home_.profile());
    EXPECT_FALSE(askHologramSettings(nextRun, nextProfile, {}));
    Texts kept;
    for (int id = 1001; id <= 1012; ++id) kept.push_back(nextRun.forms().at(0).field(id)->text);
    EXPECT_EQ(kept, answer);
    open();
    prompt_.clear();
    const QString seen = withProgress([](QProgressDialog& dialog) { dialog.findChild<QPushButton*>()->click(); },
                                      [&] { ask(Command::Hologram, {}); });  // Cancel asks for nothing more
    EXPECT_EQ(frame().findChild<HologramWindow*>(), nullptr);
    EXPECT_TRUE(QRegularExpression("^velmora \\| Computing the hologram of [1-9][0-9]* points \\| window modal$")
                    .match(seen).hasMatch()) << seen.toStdString();
    ask(Command::Hologram, {});
    EXPECT_TRUE(prompt_.messages().empty());
    auto* shown = frame().findChild<HologramWindow*>();
    ASSERT_NE(shown, nullptr);
    EXPECT_TRUE(QTest::qWaitForWindowExposed(shown, kPatience));
    EXPECT_NE(shown->scoreText(), nullptr);  // the command hands the window its points
    prompt_.queueFile(dir_.file("b.png"));  // the form's binary encoding: 1-bit pictures (IHDR's bit depth)
    shown->saveButton()->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !prompt_.messages().empty(); }, kPatience));
    std::ifstream png(dir_.file("b-520nm.png"), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(png), {}).at(24), 1);
    EXPECT_TRUE(shown->close() && QTest::qWaitFor([&] { return !frame().findChild<HologramWindow*>(); }, kPatience));
    prompt_.clear();
    const HologramPoints white{{{0, 0, 0, 0, 1.0f, 1.0f, 1.0f}}};  // one white point
    const auto set = computeHolograms(white, small);
    ASSERT_TRUE(set) << set.error();
    auto reconstructed = reconstructHologram(*set, small);
    ASSERT_TRUE(reconstructed) << reconstructed.error();
    reconstructed->points = std::make_shared<HologramPoints>(white);
    HologramWindow window(std::move(*reconstructed), small, prompt_);
    EXPECT_EQ(window.scoreText()->text(), QString("Scoring the reconstruction..."));  // until the score comes
    Reconstruction direct(*set, small);
    const auto refocused = [&](double distance) {  // the rows packed
        const RgbPicture p = *direct.refocus(distance);
        return QImage(p.rgb.data(), p.width, p.height, 3 * p.width, QImage::Format_RGB888).copy();
    };
    EXPECT_TRUE(window.picture() == refocused(10e-3));
    const auto scores = scoreHologram(white, *set, small);
    ASSERT_TRUE(scores && !scores->empty());
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.scoreText()->text().contains(" dB"); }, kPatience));
    EXPECT_TRUE(window.scoreText()->text().split('\n').contains(QString::fromStdString(scoreLine(scores->front()))));
    const QLabel* focusText = nullptr;
    for (const QLabel* label : window.findChildren<QLabel*>())
        if (label->text() == "Focus: 10.00 mm from the hologram") focusText = label;
    ASSERT_TRUE(focusText);
    EXPECT_EQ(window.focusField()->text(), QString("10.00 mm"));  // the field opens on the focus shown
    // Four pages (of 0.2 mm: the range is 8 to 12 mm) while the first refocuses: a task posted after them runs
    // before any picture comes, and only the last position's picture is shown.
    QSignalSpy pictures(&window, &HologramWindow::pictureShown);
    for (int i = 0; i < 4; ++i) QTest::keyClick(window.focusSlider(), Qt::Key_PageUp);
    EXPECT_DOUBLE_EQ(window.focusField()->value(), 10.8);
    EXPECT_DOUBLE_EQ(window.focusField()->singleStep(), 0.02);  // a line, as the arrow keys move: 1/200 of the range
    int shownBeforeTask = -1;
    QTimer::singleShot(0, [&] { shownBeforeTask = int(pictures.count()); });
    ASSERT_TRUE(QTest::qWaitFor([&] { return std::abs(window.shownDistance() - 10.8e-3) < 1e-9; }, kPatience));
    EXPECT_EQ(std::pair(shownBeforeTask, int(pictures.count())), std::pair(0, 1));
    EXPECT_TRUE(window.picture() == refocused(window.focusDistance()));
    // A focus typed into the field is asked for once it is complete, not at each digit.
    window.focusField()->selectAll();
    QTest::keyClicks(window.focusField(), "9.5");
    EXPECT_DOUBLE_EQ(window.focusDistance(), 10.8e-3);
    QTest::keyClick(window.focusField(), Qt::Key_Return);
    EXPECT_NEAR(window.focusDistance(), 9.5e-3, 1e-9);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.shownDistance() == window.focusDistance(); }, kPatience));
    prompt_.queueFile(dir_.file("h.png"));  // the hologram's files, the preview where the window is focused
    window.show(), window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window, kPatience));
    // The controls in one row, the focus line above them and under the picture.
    const QRect slider = window.focusSlider()->geometry(), field = window.focusField()->geometry();
    EXPECT_TRUE(slider.right() < field.left() && field.right() < window.saveButton()->geometry().left());
    EXPECT_TRUE(focusText->geometry().bottom() < slider.top() && focusText->y() > 0);
    QTest::keySequence(window.focusField(), QKeySequence::Save);  // the save button's shortcut
    ASSERT_TRUE(QTest::qWaitFor([&] { return !prompt_.messages().empty(); }, kPatience));
    for (const char* name : {"h-638nm.png", "h-638nm.npy", "h-520nm.png", "h-520nm.npy", "h-450nm.png", "h-450nm.npy"})
        EXPECT_TRUE(std::filesystem::exists(dir_.file(name)) &&
                    prompt_.messages().back().text.find("\n" + dir_.file(name)) != std::string::npos)
            << name;  // written, and named in the box
    EXPECT_EQ(prompt_.messages().back().text.rfind("Saved:\n", 0), 0u);
    prompt_.clear();
    prompt_.queueFile(dir_.file("none/h"));  // a folder that is not there: said, nothing written; ".png" or not
    window.saveButton()->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !prompt_.messages().empty(); }, kPatience));
    EXPECT_EQ(prompt_.messages().back().text, "Cannot save the hologram: cannot create " +
                                                  dir_.file("none/h-638nm.png") + ": No such file or directory");
    QImage preview(QString::fromStdString(dir_.file("h-preview.png")));
    preview.setColorSpace(window.picture().colorSpace());  // the file's sRGB tag aside
    EXPECT_TRUE(preview.convertToFormat(QImage::Format_RGB888) == window.picture());
    // Pixels at least half as bright as the picture's white: few in focus, many more out of it.
    const auto litPixels = [&] { return countPixels(window.picture(), [](QRgb p) { return qGreen(p) >= 128; }); };
    const int inFocus = litPixels();
    for (int end : {window.focusSlider()->minimum(), window.focusSlider()->maximum()}) {
        window.focusSlider()->setValue(end);
        ASSERT_TRUE(QTest::qWaitFor([&] { return window.shownDistance() == window.focusDistance(); }, kPatience));
        EXPECT_LT(inFocus, litPixels() / 4) << window.focusDistance();
    }
}

// The form asks in the units a person reads off a device's sheet; the computation takes metres and radians: 8 um,
// 12.5 mm, a fit of 0.8, the direct sum, 16 bits, 1024 levels over 1.5 pi, a carrier of 0.25 and -0.125 cycles a pixel.
TEST(HologramSettingsForm, AnswersInTheFormsUnitsReachTheComputationInMetresAndRadians) {
    velmora::testing::TempDir dir;
    IniSettingsStore store(dir.file("profile.ini"));
    RecordingPrompt prompt;
    const Texts answer = {"640", "480", "8", "12.5", "0.8", "direct", "double-phase", "16", "1024", "1.5", "0.25",
                          "-0.125"};
    prompt.queueForm([&](FormRequest& form) {
        for (std::size_t i = 0; i < answer.size(); ++i) form.field(1001 + int(i))->text = answer[i];
        return true;
    });
    const auto s = askHologramSettings(prompt, store, {});
    ASSERT_TRUE(s);
    EXPECT_EQ(std::pair(s->width, s->height), std::pair(640, 480));
    EXPECT_DOUBLE_EQ(s->pitch, 8e-6);
    EXPECT_DOUBLE_EQ(s->distance, 12.5e-3);
    EXPECT_DOUBLE_EQ(s->holoFit.value_or(0.0), 0.8);
    EXPECT_TRUE(s->method == HologramMethod::Direct && s->device.encoding == HologramEncoding::DoublePhase);
    EXPECT_EQ(std::pair(s->device.bits, s->device.levels.value_or(0)), std::pair(16, 1024));
    EXPECT_NEAR(s->device.phaseRange, 1.5 * 3.14159265358979, 1e-9);
    EXPECT_EQ(s->device.tilt, (std::array{0.25, -0.125}));
    std::string rows;  // n: the form refuses anything but a number, t: any text; s: the last, a note, is shown
    for (const FormField& row : prompt.forms().at(0).fields) rows += !row.editable ? 's' : row.numeric ? 'n' : 't';
    EXPECT_EQ(rows, "nnnnnttnnntts");
    // An answer out of range, then one the device options refuse: each is said, and the form comes back. Levels of 0
    // then mean all that the bits hold, whatever the settings had before.
    RecordingPrompt again;
    store.writeProfileInt("Hologram", "Encoding", 4);  // a later version's encoding: shown as none, asked for
    for (const auto& [at, text] : {std::pair{0, "0"}, {1, "480.5"}, {6, "hologram"}, {8, "0"}})
        again.queueForm([&, at = at, text = text](FormRequest& form) {
            for (std::size_t i = 0; i < answer.size(); ++i) form.field(1001 + int(i))->text = answer[i];
            return form.field(1001 + at)->text = text, true;
        });
    const auto asked = askHologramSettings(again, store, *s);
    ASSERT_TRUE(asked);
    EXPECT_EQ(std::tuple(again.forms().size(), again.forms()[0].field(1007)->text, asked->width, asked->device.levels),
              std::tuple(std::size_t{4}, std::string(), 640, std::optional<int>{}));
    EXPECT_EQ(again.forms()[0].field(1011)->text + " " + again.forms()[0].field(1012)->text, "0.25 -0.125");  // tilt x, y
    EXPECT_EQ(asked->device.encoding, HologramEncoding::DoublePhase);
    ASSERT_EQ(again.messages().size(), 3u);
    for (int i : {0, 1}) EXPECT_EQ(again.messages()[i].text.rfind("Width and height are whole numbers", 0), 0u) << i;
    EXPECT_EQ(again.messages()[2].text, "The device settings are refused: option --holo-encoding: \"hologram\" is not "
                                        "phase, double-phase, amplitude or binary.");
}

}  // namespace
}  // namespace velmora
