// The frame's commands on the bundled sample model: what each item asks and
// hands on, what keys, drags and the fly-by timer reach, the screen during
// long work and the forms of the view menu.

#include "AppTestSupport.h"

#include "export/ExportCommands.h"
#include "model/MeshModel.h"
#include "platform/FatalExit.h"
#include "support/PointFiles.h"

#include <QKeyEvent>
#include <QMouseEvent>

#include <GL/gl.h>

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
    // Types `texts` into the edits 1001, 1002... and answers OK or Cancel.
    static std::function<bool(FormRequest&)> fill(Texts texts, bool ok = true) {
        return [=](FormRequest& form) {
            for (std::size_t i = 0; i < texts.size(); ++i) form.field(1001 + int(i))->text = texts[i];
            return ok;
        };
    }
    // The last form as shown: its number, title and labels, then the texts of its edits 1001, 1002...
    Texts lastForm() const {
        const FormRequest& form = prompt_.forms().back();
        Texts out = {std::to_string(form.resourceId) + " " + form.title};
        for (const FormField& field : form.fields)
            if (!field.label.empty()) out[0] += " |" + field.label;
        for (int id = 1001; const FormField* field = form.field(id); ++id) out.push_back(field->text);
        return out;
    }
    TempDir dir_;
};

TEST_F(FrameCommandsTest, OpeningResetsTheCameraAndTheNextModelKeepsTheView) {
    frame().action(Command::FileOpen)->trigger();  // cancelled: nothing changes
    EXPECT_EQ(frame().view(), nullptr);
    const FileDialogRequest& request = prompt_.fileDialogs().at(0);
    EXPECT_TRUE(request.mode == FileDialogRequest::Mode::Open && request.mustExist);
    EXPECT_EQ(request.filters.at(0).pattern, "*.3DS");

    frame().action(Command::MaterialColour)->trigger();  // before any model: the flag and the mark
    state().modelScale = 3.0f;
    state().modelOffsetX = 2.0f;
    state().modelRotY = 45.0f;
    open();
    ASSERT_TRUE(frame().view() && frame().view()->hasModel());
    EXPECT_EQ(prompt_.transcript().back(), "message 完成: 读取完成!");
    EXPECT_EQ(frame().windowTitle(), "QUNT - sample.3ds");
    EXPECT_EQ((Floats{state().modelScale, state().modelOffsetX, state().modelRotY}), (Floats{1, 0, 45}));
    EXPECT_EQ(frame().view()->viewportWidth(), frame().glWidget()->width());
    EXPECT_TRUE(frame().action(Command::MaterialColour)->isChecked());
    frame().glWidget()->makeCurrent();
    EXPECT_FALSE(glIsEnabled(GL_COLOR_MATERIAL));  // a new view starts without it
    frame().action(Command::MaterialColour)->trigger();
    frame().action(Command::MaterialColour)->trigger();

    // The next model goes into the same view, OpenGL set-up and all.
    QTest::keyClick(&frame(), Qt::Key_Left);
    open();
    EXPECT_EQ(eye(), (Floats{0, 0, 30}));
    writeFile(dir_.file("bad.3ds"), std::string("not a model"));
    open(dir_.file("bad.3ds"));
    ASSERT_NE(frame().view(), nullptr);
    EXPECT_FALSE(frame().view()->hasModel());
    EXPECT_EQ(frame().windowTitle(), "QUNT");
    frame().glWidget()->makeCurrent();
    EXPECT_TRUE(glIsEnabled(GL_COLOR_MATERIAL));
}

// What tells the kinds apart: a PLY file's format line; whether a CGH file's
// points carry colours (only those lines are read as points).
std::string kindOf(const std::string& path) {
    const PointFile file = readCgh(path);
    return file.lines.at(0) == "ply" ? file.lines.at(1) : file.points.empty() ? "grey" : "colour";
}

TEST_F(FrameCommandsTest, EachExportItemAsksItsQuestionsAndWritesItsKind) {
    frame().action(Command::ExportColour)->trigger();  // no model: nothing at all
    EXPECT_TRUE(prompt_.transcript().empty());
    open();
    const std::string binary = "format binary_little_endian 1.0", ascii = "format ascii 1.0";
    struct Row {
        int command;
        bool series;  // asks for a range: 0 to 1 by 0.5, three views
        std::string title, filter, file, kind;  // the file's first letter is the name given
    };
    const Row rows[] = {{Command::ExportColour, false, "Export Object", "*.CGH", "a.CGH", "colour"},
                        {Command::ExportGrey, false, "Export Object(Gray)", "*.CGH", "b.CGH", "grey"},
                        {Command::Export3di, false, "Export Object(Gray)", "*.3di", "c.3di", ""},
                        {Command::ExportPly, false, "Export Object", "*.ply", "d.ply", binary},
                        {Command::ExportPlyAscii, false, "Export Object", "*.ply", "e.ply", ascii},
                        {Command::MultiViewColour, true, "Export Object", "*.CGH", "f3.CGH", "colour"},
                        {Command::MultiViewGrey, true, "Export Object", "*.CGH", "g3.CGH", "grey"},
                        {Command::MultiViewChannels, true, "Export Object", "*.CGH", "hb3.CGH", "grey"},
                        {Command::MultiViewPly, true, "Export Object", "*.ply", "i3.ply", binary},
                        {Command::MultiViewPlyAscii, true, "Export Object", "*.ply", "j3.ply", ascii}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.file);
        prompt_.clear();
        if (row.series) prompt_.queueForm(fill({"0", "1", "0.5"}));
        prompt_.queueFile(dir_.file(row.file.substr(0, 1)));
        frame().action(row.command)->trigger();
        Texts asked = {"file " + row.title, "message 完成!: 导出完成!"};
        if (row.series) asked.insert(asked.begin(), "form ViewRange_Select");
        EXPECT_EQ(prompt_.transcript(), asked);
        EXPECT_EQ(prompt_.fileDialogs().at(0).filters.at(0).pattern, row.filter);
        EXPECT_TRUE(std::filesystem::exists(dir_.file(row.file)));
        EXPECT_EQ(row.kind.empty() ? "" : kindOf(dir_.file(row.file)), row.kind);
    }
    prompt_.clear();
    prompt_.queueForm(fill({"0", "1", "0"}));  // a refused range asks for no file
    frame().action(Command::MultiViewGrey)->trigger();
    EXPECT_EQ(prompt_.transcript(), (Texts{"form ViewRange_Select", "message velmora: Delta must be nonzero!"}));
    EXPECT_EQ(lastForm(), (Texts{"133 ViewRange_Select |左视点： |右视点： |视点间隔：", "0", "0", "0"}));

    // A resize in the middle of a series waits until it ends: the last view
    // samples the rectangle the series started with.
    const auto sizes = [&] {
        const ClientRect c = frame().clientRect();
        return std::vector<int>{c.width(), c.height(), frame().view()->viewportWidth(), frame().view()->viewportHeight()};
    };
    const std::vector<int> before = sizes();
    const QSize grown = frame().glWidget()->size() + QSize(150, -100);
    std::vector<int> atLastView;
    QObject::connect(&frame(), &MainFrame::viewProgress, &frame(), [&](int number, int) {
        if (number == 2) {
            frame().resize(frame().size() + QSize(150, -100));
            EXPECT_TRUE(QTest::qWaitFor([&] { return frame().glWidget()->size() == grown; }, kPatience));
        }
        if (number == 3) atLastView = sizes();
    });
    prompt_.queueForm(fill({"0", "1", "0.5"}));
    prompt_.queueFile(dir_.file("r"));
    frame().action(Command::MultiViewGrey)->trigger();
    EXPECT_EQ(frame().lastProgressText(), "Exporting view 3 of 3");
    EXPECT_EQ(atLastView, before);
    EXPECT_EQ(sizes(), (std::vector<int>{grown.width(), grown.height(), grown.width(), grown.height()}));
}

TEST_F(FrameCommandsTest, KeysDragsAndTheFlyByTimerReachTheNavigation) {
    const std::tuple<int, Qt::KeyboardModifiers, int> keys[] = {
        {Qt::Key_Escape, {}, 27}, {Qt::Key_PageUp, {}, 33}, {Qt::Key_PageDown, {}, 34}, {Qt::Key_Home, {}, 36},
        {Qt::Key_Left, {}, 37}, {Qt::Key_Up, {}, 38}, {Qt::Key_Right, {}, 39}, {Qt::Key_Down, {}, 40},
        {Qt::Key_Plus, Qt::KeypadModifier, 107}, {Qt::Key_Minus, Qt::KeypadModifier, 109},
        {Qt::Key_Plus, {}, 0}, {Qt::Key_Minus, {}, 0},  // the main keyboard's are not bound
        {Qt::Key_A, {}, 'A'}, {Qt::Key_Z, Qt::ShiftModifier, 'Z'}, {Qt::Key_F1, {}, 0}, {Qt::Key_End, {}, 0}};
    for (const auto& [key, modifiers, code] : keys) EXPECT_EQ(MainFrame::virtualKeyOf(key, modifiers), code) << key;
    open();
    for (bool repeat : {false, true, true}) {  // a held key: one step per auto-repeat too
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Left, Qt::NoModifier, QString(), repeat);
        QApplication::sendEvent(&frame(), &press);
    }
    QTest::keyClick(&frame(), Qt::Key_W);
    EXPECT_EQ(eye(), (Floats{-3, 0, 30}));
    EXPECT_EQ(state().modelScale, 1.100000023841858f);

    // The mouse events go straight to the widget, as the window system
    // delivers them, whatever the test display's pointer does.
    QWidget* gl = frame().glWidget();
    const auto send = [gl](QEvent::Type type, QPoint p, Qt::MouseButtons buttons) {
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, QPointF(p), gl->mapToGlobal(QPointF(p)), button, buttons, Qt::NoModifier);
        QApplication::sendEvent(gl, &event);
    };
    const auto rotation = [&] { return Floats{state().modelRotY, state().modelRotX}; };
    send(QEvent::MouseButtonPress, {100, 100}, Qt::LeftButton);
    send(QEvent::MouseMove, {110, 120}, Qt::LeftButton);  // right 10, down 20: 3 and 6 degrees
    EXPECT_EQ(rotation(), (Floats{3, 6}));
    send(QEvent::MouseButtonRelease, {-20, -20}, Qt::NoButton);  // outside: not seen, the drag goes on
    send(QEvent::MouseMove, {120, 120}, Qt::NoButton);
    EXPECT_EQ(rotation(), (Floats{6, 6}));
    send(QEvent::MouseButtonRelease, {120, 120}, Qt::NoButton);
    send(QEvent::MouseMove, {200, 200}, Qt::NoButton);
    EXPECT_EQ(rotation(), (Floats{6, 6}));

    frame().action(Command::FlyBy)->trigger();  // runs on a timer until Home stops it
    EXPECT_TRUE(QTest::qWaitFor([&] { return frame().view()->eyeZ() != 30.0f; }, kPatience));
    QTest::keyClick(&frame(), Qt::Key_Home);
    EXPECT_FALSE(frame().flyByTimer().isActive());
    EXPECT_EQ(eye(), (Floats{0, 0, 30}));
}

// The texts drawn before long work ("Re-scaling...", "Loading...") are on
// the screen while it runs, read from the X server at every box it shows.
// Paints and keys that come while a model loads leave the text and the
// model alone.
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
        ASSERT_TRUE(QTest::qWaitFor([&] { return !textOnScreen(area, false, 0); }, kPatience));
        prompt_.clear();
    };

    outOfSight();
    const float x0 = frame().view()->model()->vertices().front().x;
    frame().view()->model()->setVertexArrayLimit(0);
    QTest::keyClick(&frame(), Qt::Key_E);  // doubles the geometry; asked until Retry works
    EXPECT_EQ(prompt_.transcript(), Texts(2, "message velmora: Failed to load the 3DS mesh into System memory!"));
    EXPECT_EQ(prompt_.messages().back().icon, PromptIcon::Question);
    EXPECT_FLOAT_EQ(frame().view()->model()->vertices().front().x, 2 * x0);

    outOfSight();  // two-sided reads the file again and keeps the camera and the transform
    frame().action(Command::ForceTwoSided)->trigger();
    EXPECT_EQ(state().forceTwoSided, 0);
    EXPECT_EQ(frame().view()->model()->vertices().front().x, x0);
    EXPECT_EQ(state().modelOffsetX, 1001.0f);
    ASSERT_EQ(prompt_.messages().size(), 1u);
    EXPECT_EQ(prompt_.messages()[0].caption, "ok");  // no completion box

    outOfSight();
    open();
    EXPECT_EQ(prompt_.messages().size(), 2u);  // the model's bounds and the completion box

    prompt_.onMessage = nullptr;  // Cancel ends the program at once with status 0
    frame().view()->model()->setVertexArrayLimit(0);
    prompt_.queueAnswer(PromptAnswer::Cancel);
    int status = -1;
    ScopedFatalExitHandler handler([&](int code) { status = code, throw code; });
    EXPECT_THROW(MainFrame::retryVertexArray(prompt_, *frame().view()), int);
    EXPECT_EQ(status, 0);
}

TEST_F(FrameCommandsTest, ViewMenuFormsSetTheViewpointAndTheEyeAndTheScales) {
    const auto viewpoint = [&] { return Floats{state().viewPointX, state().viewPointY, state().viewPointZ}; };
    const auto scales = [&] { return Floats{state().Output_Scalxy, state().Output_Scalz}; };
    frame().action(Command::ObjCoordinate)->trigger();  // no model: no dialog
    EXPECT_TRUE(prompt_.forms().empty());
    prompt_.queueForm(fill({"40", "5", "2"}));  // z, x, y; before any model the stored viewpoint alone
    frame().action(Command::ViewPointSet)->trigger();
    EXPECT_EQ(lastForm(), (Texts{"134 ViewPointSet |Postion_z: |Postion_x: |Postion_y:", "30", "0", "0"}));
    EXPECT_EQ(viewpoint(), (Floats{5, 2, 40}));
    open();
    prompt_.queueForm(fill({"50"}));
    frame().action(Command::ViewPointSet)->trigger();
    EXPECT_EQ(lastForm().at(1), "30");  // whatever is stored
    EXPECT_EQ(viewpoint(), (Floats{0, 0, 50}));
    EXPECT_EQ(eye(), (Floats{0, 0, 50}));
    QTest::keyClick(&frame(), Qt::Key_Right);
    prompt_.queueForm(fill({"70"}, false));  // Cancel leaves the viewpoint and the eye
    frame().action(Command::ViewPointSet)->trigger();
    EXPECT_EQ(viewpoint(), (Floats{0, 0, 50}));
    EXPECT_EQ(eye(), (Floats{1, 0, 50}));

    // ObjCoordinate shows what the current frame samples to.
    const auto sampled = objectCoordinateTexts(sampleObjectCoordinates(*frame().view(), prompt_, frame().clientRect()));
    restoreViewingFrame(*frame().view());
    EXPECT_NE(sampled.at(0), "0");
    prompt_.queueForm(fill({"2", "3"}));
    frame().action(Command::ObjCoordinate)->trigger();
    EXPECT_EQ(lastForm(), (Texts{"135 Obj_Coordinate |            Points: |Object_Max_X: |Object_Min_X: |Object_Max_Y: "
                                 "|Object_Min_Y: |Object_Max_Z: |Object_Min_Z: |Output_Scalxy: |Output_Scalz:",
                                 "1", "1"}));
    Texts values;
    for (int id : {1013, 1007, 1008, 1009, 1010, 1011, 1012}) values.push_back(prompt_.forms().back().field(id)->text);
    EXPECT_EQ(values, sampled);
    EXPECT_FALSE(prompt_.forms().back().field(1013)->editable);
    EXPECT_EQ(scales(), (Floats{2, 3}));
    prompt_.queueForm(fill({"9", "9"}, false));  // Cancel keeps the scales
    frame().action(Command::ObjCoordinate)->trigger();
    EXPECT_EQ(scales(), (Floats{2, 3}));
}

}  // namespace
}  // namespace velmora
