// The frame's commands on the bundled sample model: opening, the exports
// through the menu, navigation in the window, the fly-by and the dialogs.

#include "AppTestSupport.h"

#include "model/MeshModel.h"
#include "platform/FatalExit.h"
#include "support/ThreeDsBuilder.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>

#include <filesystem>
#include <optional>
#include <fstream>
#include <sstream>

namespace velmora {
namespace {

using namespace velmora::testing;

// The file's lines, split at CR LF; the viewpoint line at the end has none.
std::vector<std::string> lines(const std::string& path) {
    const std::string all = readFile(path);
    std::vector<std::string> out;
    std::size_t start = 0;
    for (std::size_t end; (end = all.find("\r\n", start)) != std::string::npos; start = end + 2)
        out.push_back(all.substr(start, end - start));
    out.push_back(all.substr(start));
    return out;
}

// The last line of a CGH file from the eye (x, 0, 30), six decimals each.
std::string viewpointLine(double x) { return "ViewPoint: x=" + std::to_string(x) + "  y=0.000000 z=30.000000"; }

// Checks a CGH file's frame: header count = point lines, each with `fields`
// numbers, then the statistics and viewpoint lines. Returns the count.
int checkCgh(const std::string& path, int fields, const std::string& viewpoint, std::size_t headerLength) {
    SCOPED_TRACE(path);
    const std::vector<std::string> l = lines(path);
    if (l.size() < 3) {
        ADD_FAILURE() << "too short";
        return -1;
    }
    int count = -1;
    std::istringstream(l[0]) >> count;
    EXPECT_EQ(l[0].size(), headerLength);
    EXPECT_EQ(static_cast<int>(l.size()) - 3, count);
    for (std::size_t i = 1; i + 2 < l.size(); i += 97) {  // a sample of the point lines
        std::istringstream in(l[i]);
        int index = -1, n = 0;
        double v;
        in >> index;
        EXPECT_EQ(index, static_cast<int>(i) - 1);
        while (in >> v) ++n;
        EXPECT_EQ(n, fields - 1) << l[i];
    }
    EXPECT_EQ(l[l.size() - 2].rfind("Statics: Maxx=", 0), 0u);
    EXPECT_EQ(l.back(), viewpoint);
    return count;
}

class FrameCommandsTest : public FrameFixture {
protected:
    void SetUp() override {
        ASSERT_TRUE(app_.initInstance());
        showAndWait(frame());
    }
    void open() {
        prompt_.queueFile(std::string(samplePath()));
        frame().action(Command::FileOpen)->trigger();
        ASSERT_NE(frame().view(), nullptr);
        ASSERT_TRUE(frame().view()->hasModel());
        prompt_.clear();
    }
    void expectEye(float x, float y, float z) {
        EXPECT_FLOAT_EQ(frame().view()->eyeX(), x);
        EXPECT_FLOAT_EQ(frame().view()->eyeY(), y);
        EXPECT_FLOAT_EQ(frame().view()->eyeZ(), z);
    }
    std::string out(const std::string& name) const { return dir_.file(name); }
    // Runs an export command, answering its save dialog with `name` in the
    // temporary folder (after the range dialog with `range`, if given).
    void exportTo(int command, const std::string& name, std::function<bool(FormRequest&)> range = {}) {
        if (range) prompt_.queueForm(std::move(range));
        prompt_.queueFile(out(name));
        frame().action(command)->trigger();
        ASSERT_FALSE(prompt_.messages().empty());
        EXPECT_EQ(prompt_.messages().back().caption, "完成!");
        EXPECT_EQ(prompt_.messages().back().text, "导出完成!");
    }
    // Answers a form by typing `texts` into the edits of those ids, then OK or Cancel.
    static std::function<bool(FormRequest&)> answer(std::map<int, std::string> texts, bool ok = true) {
        return [=](FormRequest& form) {
            for (const auto& [id, text] : texts) form.field(id)->text = text;
            return ok;
        };
    }
    static std::function<bool(FormRequest&)> fill(const char* first, const char* second, const char* third) {
        return answer({{1001, first}, {1002, second}, {1003, third}});
    }

    TempDir dir_;
};

TEST_F(FrameCommandsTest, OpeningShowsTheCompletionBoxAndResetsTheCamera) {
    frame().onCommand(Command::FileOpen);  // cancelled: nothing changes
    EXPECT_EQ(frame().view(), nullptr);
    ASSERT_EQ(prompt_.fileDialogs().size(), 1u);
    const FileDialogRequest& request = prompt_.fileDialogs()[0];
    EXPECT_EQ(request.mode, FileDialogRequest::Mode::Open);
    // The 3D Studio filter first, then every format the program opens.
    ASSERT_EQ(request.filters.size(), 2u);
    EXPECT_EQ(request.filters[0].name, "3D Studio Files");
    EXPECT_EQ(request.filters[0].pattern, "*.3DS");
    EXPECT_EQ(request.filters[1].name, "All supported models");
    EXPECT_EQ(request.filters[1].pattern, "*.3ds *.obj *.stl *.ply *.gltf *.glb *.dae *.fbx");
    EXPECT_TRUE(request.mustExist);

    state().modelScale = 3.0f;
    state().modelOffsetX = 2.0f;
    state().modelRotY = 45.0f;
    prompt_.clear();
    prompt_.queueFile(std::string(samplePath()));
    frame().action(Command::FileOpen)->trigger();
    ASSERT_NE(frame().view(), nullptr);
    ASSERT_GE(prompt_.messages().size(), 2u);
    EXPECT_EQ(prompt_.messages().front().caption, "ok");  // the bounds, during the load
    EXPECT_EQ(prompt_.messages().back().caption, "完成");
    EXPECT_EQ(prompt_.messages().back().text, "读取完成!");
    EXPECT_EQ(frame().windowTitle(), "QUNT - sample.3ds");
    EXPECT_EQ(state().modelPath, samplePath());
    expectEye(0, 0, 30);
    EXPECT_EQ(state().modelScale, 1.0f);
    EXPECT_EQ(state().modelOffsetX, 0.0f);
    EXPECT_EQ(state().modelRotY, 45.0f);  // rotations are kept
    EXPECT_EQ(frame().view()->viewportWidth(), frame().glWidget()->width());
    saveArtefact(frame().grab(), "model-open.png");

    // A second open keeps the view and its OpenGL set-up (a new view would
    // start without colour material) and replaces the model.
    frame().action(Command::MaterialColour)->trigger();
    QTest::keyClick(&frame(), Qt::Key_Left);
    prompt_.queueFile(std::string(samplePath()));
    frame().action(Command::FileOpen)->trigger();
    ASSERT_TRUE(frame().view()->hasModel());
    frame().glWidget()->makeCurrent();
    EXPECT_TRUE(glIsEnabled(GL_COLOR_MATERIAL));
    expectEye(0, 0, 30);

    // A file that cannot be read leaves the program running with a view
    // without a model.
    const std::string bad = out("bad.3ds");
    std::ofstream(bad) << "not a model";
    prompt_.clear();
    prompt_.queueFile(bad);
    frame().action(Command::FileOpen)->trigger();
    ASSERT_NE(frame().view(), nullptr);
    EXPECT_FALSE(frame().view()->hasModel());
    frame().glWidget()->makeCurrent();
    EXPECT_TRUE(glIsEnabled(GL_COLOR_MATERIAL));
    ASSERT_FALSE(prompt_.messages().empty());
    EXPECT_EQ(prompt_.messages().back().text, "Failed to Decode 3D Studio MAX file!: " + bad);
    EXPECT_TRUE(frame().isVisible());
}

TEST_F(FrameCommandsTest, ExportsThroughTheMenuWriteTheirFiles) {
    frame().action(Command::ExportColour)->trigger();  // no view: nothing at all
    EXPECT_TRUE(prompt_.transcript().empty());
    open();
    const std::string viewpoint = "ViewPoint: x=0.000000  y=0.000000 z=30.000000";

    exportTo(Command::ExportColour, "scan");
    EXPECT_EQ(prompt_.fileDialogs().back().title, "Export Object");
    const int colourPoints = checkCgh(out("scan.CGH"), 8, viewpoint, 41);
    EXPECT_GT(colourPoints, 100);

    exportTo(Command::ExportGrey, "grey.cgh");
    EXPECT_EQ(prompt_.fileDialogs().back().title, "Export Object(Gray)");
    EXPECT_EQ(checkCgh(out("grey.cgh"), 6, viewpoint, 42), colourPoints);  // same camera, same points

    // Three views at x offsets -1, 0, 1 of the stored viewpoint.
    exportTo(Command::MultiViewColour, "mv.CGH", fill("-1", "1", "1"));
    for (int v = 1; v <= 3; ++v) checkCgh(out("mv" + std::to_string(v) + ".CGH"), 8, viewpointLine(v - 2), 41);
    EXPECT_FALSE(std::filesystem::exists(out("mv4.CGH")));
    EXPECT_EQ(frame().lastProgressText(), "Exporting view 3 of 3");
    EXPECT_EQ(prompt_.forms().back().resourceId, 133);

    exportTo(Command::MultiViewGrey, "mg", fill("0", "0.5", "0.5"));
    checkCgh(out("mg1.CGH"), 6, viewpoint, 42);
    checkCgh(out("mg2.CGH"), 6, viewpointLine(0.5), 42);

    exportTo(Command::MultiViewChannels, "ch.CGH", fill("0", "0", "1"));
    for (const char* name : {"chr1.CGH", "chg1.CGH", "chb1.CGH"}) checkCgh(out(name), 6, viewpoint, 41);

    // A zero interval is refused before any file dialog.
    const std::size_t dialogs = prompt_.fileDialogs().size();
    prompt_.queueForm(fill("0", "1", "0"));
    frame().action(Command::MultiViewGrey)->trigger();
    EXPECT_EQ(prompt_.messages().back().text, "Delta must be nonzero!");
    EXPECT_EQ(prompt_.fileDialogs().size(), dialogs);

    // 3di: two int32 (rows, columns to a multiple of 4), then 28 bytes a pixel.
    const ClientRect client = frame().clientRect();
    exportTo(Command::Export3di, "grid");
    EXPECT_EQ(prompt_.fileDialogs().back().title, "Export Object(Gray)");
    EXPECT_EQ(prompt_.fileDialogs().back().filters[0].pattern, "*.3di");
    const int rows = client.height(), columns = client.width() / 4 * 4;
    EXPECT_EQ(std::filesystem::file_size(out("grid.3di")), 8u + 28u * rows * columns);
    std::int32_t header[2] = {};
    std::ifstream(out("grid.3di"), std::ios::binary).read(reinterpret_cast<char*>(header), sizeof header);
    EXPECT_EQ(header[0], rows);
    EXPECT_EQ(header[1], columns);

    // PLY point clouds: the same points as the colour file, one file per view in a series.
    exportTo(Command::ExportPlyAscii, "cloud");
    EXPECT_EQ(prompt_.fileDialogs().back().filters[0].pattern, "*.ply");
    EXPECT_NE(readFile(out("cloud.ply")).find("\nelement vertex " + std::to_string(colourPoints) + "\n"),
              std::string::npos);
    exportTo(Command::MultiViewPly, "row.PLY", fill("-1", "1", "1"));
    for (int v = 1; v <= 3; ++v) EXPECT_TRUE(std::filesystem::exists(out("row" + std::to_string(v) + ".ply")));

    // The window resized in the middle of a series: the series keeps the
    // rectangle and projection it started with, the new size counts after.
    const QSize resized = frame().glWidget()->size() + QSize(150, -100);
    const auto connection = QObject::connect(&frame(), &MainFrame::viewProgress, [&](int number, int) {
        if (number == 2) frame().resize(frame().size() + QSize(150, -100));
    });
    exportTo(Command::MultiViewColour, "mr.CGH", fill("-1", "1", "1"));
    QObject::disconnect(connection);
    for (int v = 1; v <= 3; ++v) {
        const std::vector<std::string> before = lines(out("mv" + std::to_string(v) + ".CGH"));
        const std::vector<std::string> after = lines(out("mr" + std::to_string(v) + ".CGH"));
        ASSERT_GE(after.size(), 2u);
        EXPECT_EQ(after.front(), before.front()) << v;  // the count
        EXPECT_EQ(after[after.size() - 2], before[before.size() - 2]) << v;  // the bounds
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return frame().glWidget()->size() == resized; }, kPatience));
    EXPECT_EQ(frame().view()->viewportWidth(), resized.width());
    EXPECT_EQ(frame().view()->viewportHeight(), resized.height());
    EXPECT_EQ(state().frameWidth, frame().frameGeometry().width());
}

TEST_F(FrameCommandsTest, KeysAndDragsInTheWindowMoveTheEyeAndTheModel) {
    // Before any open: transform keys change their values, eye keys nothing.
    QTest::keyClick(&frame(), Qt::Key_B);
    EXPECT_EQ(state().modelOffsetZ, 1.0f);
    open();
    EXPECT_EQ(state().modelOffsetZ, 0.0f);  // the open reset it

    // A held key: the first press and two auto-repeats, one step each.
    for (bool repeat : {false, true, true}) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Left, Qt::NoModifier, QString(), repeat);
        QApplication::sendEvent(&frame(), &press);
    }
    expectEye(-3, 0, 30);
    QTest::keyClick(&frame(), Qt::Key_PageUp);
    QTest::keyClick(&frame(), Qt::Key_Down);
    expectEye(-3, 1, 29);
    QTest::keyClick(&frame(), Qt::Key_L);
    QTest::keyClick(&frame(), Qt::Key_W);
    QTest::keyClick(&frame(), Qt::Key_M, Qt::ShiftModifier);  // letters act the same with Shift
    EXPECT_EQ(state().modelOffsetX, 1.0f);
    EXPECT_EQ(state().modelOffsetY, -1.0f);
    EXPECT_EQ(state().modelScale, 1.100000023841858f);

    // Keypad plus rescales the geometry; the main keyboard's plus does not.
    const float x0 = frame().view()->model()->vertices().front().x;
    QTest::keyClick(&frame(), Qt::Key_Plus);
    EXPECT_EQ(frame().view()->model()->vertices().front().x, x0);
    QTest::keyClick(&frame(), Qt::Key_Plus, Qt::KeypadModifier);
    EXPECT_FLOAT_EQ(frame().view()->model()->vertices().front().x, x0 * 1.1f);
    QTest::keyClick(&frame(), Qt::Key_H);  // unbound
    QTest::keyClick(&frame(), Qt::Key_Home);
    expectEye(0, 0, 30);

    // Drag right 10 pixels and down 20: 3 and 6 degrees. The mouse events go
    // straight to the widget, as the window system delivers them, so the
    // result does not depend on where the pointer of the test display is.
    QWidget* gl = frame().glWidget();
    const auto send = [gl](QEvent::Type type, QPoint p, Qt::MouseButton button, Qt::MouseButtons buttons) {
        QMouseEvent event(type, QPointF(p), gl->mapToGlobal(QPointF(p)), button, buttons, Qt::NoModifier);
        QApplication::sendEvent(gl, &event);
    };
    send(QEvent::MouseButtonPress, {100, 100}, Qt::LeftButton, Qt::LeftButton);
    send(QEvent::MouseMove, {110, 120}, Qt::NoButton, Qt::LeftButton);
    EXPECT_FLOAT_EQ(state().modelRotY, 3.0f);
    EXPECT_FLOAT_EQ(state().modelRotX, 6.0f);
    // A release outside the window is not seen: the drag goes on without a button.
    send(QEvent::MouseButtonRelease, {-20, -20}, Qt::LeftButton, Qt::NoButton);
    send(QEvent::MouseMove, {120, 120}, Qt::NoButton, Qt::NoButton);
    EXPECT_FLOAT_EQ(state().modelRotY, 6.0f);
    send(QEvent::MouseButtonRelease, {120, 120}, Qt::LeftButton, Qt::NoButton);
    send(QEvent::MouseMove, {200, 200}, Qt::NoButton, Qt::NoButton);
    EXPECT_FLOAT_EQ(state().modelRotY, 6.0f);

    QTest::keyClick(&frame(), Qt::Key_A);
    EXPECT_EQ(state().modelRotY, 0.0f);
    EXPECT_EQ(state().modelScale, 1.0f);
}

TEST_F(FrameCommandsTest, AVertexArrayMemoryCannotHoldIsAskedAboutUntilRetryWorksOrCancelEnds) {
    open();
    MeshModel& model = *frame().view()->model();
    const float x0 = model.vertices().front().x;
    model.setVertexArrayLimit(0);
    int asked = 0;
    prompt_.onMessage = [&](const RecordingPrompt::Message& box) {
        if (box.buttons == PromptButtons::RetryCancel && ++asked == 2)
            model.setVertexArrayLimit(model.vertices().size());
    };
    prompt_.queueAnswer(PromptAnswer::Retry);
    prompt_.queueAnswer(PromptAnswer::Retry);
    QTest::keyClick(&frame(), Qt::Key_E);  // doubles the geometry
    ASSERT_EQ(asked, 2);
    const auto& box = prompt_.messages().back();
    EXPECT_EQ(box.text, "Failed to load the 3DS mesh into System memory!");
    EXPECT_TRUE(box.frameworkBox);
    EXPECT_EQ(box.icon, PromptIcon::Question);
    EXPECT_FLOAT_EQ(model.vertices().front().x, 2 * x0);
    EXPECT_EQ(model.vertexArray().size(), model.vertices().size());

    model.setVertexArrayLimit(0);
    prompt_.onMessage = nullptr;
    prompt_.queueAnswer(PromptAnswer::Cancel);
    ScopedFatalExitHandler handler([](int status) { throw status; });
    ASSERT_FALSE(frame().view()->recompileModel());
    std::optional<int> status;
    try {
        MainFrame::retryVertexArray(prompt_, *frame().view());
    } catch (int code) {
        status = code;
    }
    EXPECT_EQ(status, std::optional<int>(0));
}

TEST_F(FrameCommandsTest, FlyByRunsOnATimerUntilItEndsOrHomeStopsIt) {
    frame().action(Command::FlyBy)->trigger();  // no view: only counts
    EXPECT_TRUE(frame().flyByTimer().isActive());
    EXPECT_TRUE(QTest::qWaitFor([&] { return state().flyByStep == 200; }, 3 * kPatience));
    EXPECT_FALSE(frame().flyByTimer().isActive());

    open();
    frame().action(Command::FlyBy)->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return state().flyByStep >= 10; }, kPatience));
    EXPECT_NE(frame().view()->eyeZ(), 30.0f);  // somewhere on the path behind the model
    QTest::keyClick(&frame(), Qt::Key_Home);
    EXPECT_EQ(state().flyByStep, 200);
    EXPECT_FALSE(frame().flyByTimer().isActive());
    expectEye(0, 0, 30);

    frame().action(Command::FlyBy)->trigger();
    EXPECT_TRUE(QTest::qWaitFor([&] { return state().flyByStep == 200; }, 3 * kPatience));
    expectEye(0, 0, 30);  // the last step brings the eye home
}

TEST_F(FrameCommandsTest, ViewPointSetSetsTheViewpointAndTheEye) {
    // Before any model only the stored viewpoint changes.
    prompt_.queueForm(fill("40", "5", "2"));  // z, x, y
    frame().action(Command::ViewPointSet)->trigger();
    ASSERT_EQ(prompt_.forms().size(), 1u);
    const FormRequest& form = prompt_.forms()[0];
    EXPECT_EQ(form.resourceId, 134);
    EXPECT_EQ(form.title, "ViewPointSet");
    ASSERT_EQ(form.fields.size(), 6u);
    EXPECT_EQ(form.fields[0].label, "Postion_z:");
    EXPECT_EQ(form.fields[1].label, "Postion_x:");
    EXPECT_EQ(form.fields[2].label, "Postion_y:");
    EXPECT_EQ(form.field(1001)->text, "30");  // as the dialog opened
    EXPECT_EQ(state().viewPointX, 5.0f);
    EXPECT_EQ(state().viewPointY, 2.0f);
    EXPECT_EQ(state().viewPointZ, 40.0f);

    open();
    // The dialog shows z 30, x 0, y 0 again, whatever was stored.
    std::vector<std::string> shown;
    prompt_.queueForm([&](FormRequest& f) {
        shown = {f.field(1001)->text, f.field(1002)->text, f.field(1003)->text};
        f.field(1001)->text = "50";
        return true;
    });
    frame().action(Command::ViewPointSet)->trigger();
    EXPECT_EQ(shown, (std::vector<std::string>{"30", "0", "0"}));
    EXPECT_EQ(state().viewPointZ, 50.0f);
    EXPECT_EQ(state().viewPointX, 0.0f);
    expectEye(0, 0, 50);

    // Cancel leaves the viewpoint and the eye.
    QTest::keyClick(&frame(), Qt::Key_Right);
    prompt_.queueForm(answer({{1001, "70"}}, false));
    frame().action(Command::ViewPointSet)->trigger();
    EXPECT_EQ(state().viewPointZ, 50.0f);
    expectEye(1, 0, 50);

    // Later CGH files carry the stored viewpoint.
    exportTo(Command::ExportColour, "vp.CGH");
    EXPECT_EQ(lines(out("vp.CGH")).back(), "ViewPoint: x=0.000000  y=0.000000 z=50.000000");
}

TEST_F(FrameCommandsTest, ObjCoordinateCountsThePointsAndSetsTheScales) {
    frame().action(Command::ObjCoordinate)->trigger();  // no view: no dialog
    EXPECT_TRUE(prompt_.forms().empty());
    open();

    std::vector<std::string> values;
    prompt_.queueForm([&](FormRequest& f) {
        for (int id : {1013, 1007, 1008, 1009, 1010, 1011, 1012}) values.push_back(f.field(id)->text);
        EXPECT_EQ(f.field(1001)->text, "1");
        EXPECT_EQ(f.field(1002)->text, "1");
        f.field(1001)->text = "2";
        return true;
    });
    frame().action(Command::ObjCoordinate)->trigger();
    const FormRequest& form = prompt_.forms().back();
    EXPECT_EQ(form.resourceId, 135);
    EXPECT_EQ(form.title, "Obj_Coordinate");
    EXPECT_EQ(form.fields[0].label, "            Points:");
    EXPECT_FALSE(form.field(1013)->editable);
    ASSERT_EQ(values.size(), 7u);
    EXPECT_GT(std::stoi(values[0]), 100);
    EXPECT_GE(std::stod(values[1]), std::stod(values[2]));  // max x >= min x
    EXPECT_EQ(state().Output_Scalxy, 2.0f);
    EXPECT_EQ(state().Output_Scalz, 1.0f);

    // The same count a colour export from the same camera writes.
    exportTo(Command::ExportColour, "count.CGH");
    EXPECT_EQ(lines(out("count.CGH")).front().substr(0, values[0].size() + 10), values[0] + " 2.0 1.0 0");

    // Cancel keeps the scales.
    prompt_.queueForm(answer({{1002, "9"}}, false));
    frame().action(Command::ObjCoordinate)->trigger();
    EXPECT_EQ(state().Output_Scalz, 1.0f);

    // A frame the model does not cover: 0 points.
    state().modelOffsetX = 1000.0f;
    std::string points;
    prompt_.queueForm([&](FormRequest& f) {
        points = f.field(1013)->text;
        return true;
    });
    frame().action(Command::ObjCoordinate)->trigger();
    EXPECT_EQ(points, "0");
}

// A model of about 200,000 triangles, big enough that reading it and
// scaling it take a while.
std::string writeBigModel(const std::string& path) {
    constexpr int kSide = 128;  // vertices per side of one sheet
    std::vector<Chunk> sheets;
    for (int sheet = 0; sheet < 6; ++sheet) {
        std::vector<Vec3> vertices;
        for (int j = 0; j < kSide; ++j)
            for (int i = 0; i < kSide; ++i) vertices.push_back({i * 0.1f, sheet * 0.5f, j * 0.1f});
        std::vector<Face> faces;
        const auto at = [](int i, int j) { return static_cast<std::uint16_t>(j * kSide + i); };
        for (int j = 0; j + 1 < kSide; ++j)
            for (int i = 0; i + 1 < kSide; ++i) {
                faces.push_back({at(i, j), at(i + 1, j + 1), at(i + 1, j)});
                faces.push_back({at(i, j), at(i, j + 1), at(i + 1, j + 1)});
            }
        sheets.push_back(object("sheet", {mesh({vertexList(vertices), faceList(faces)})}));
    }
    EXPECT_TRUE(writeFile(path, model(sheets)));
    return path;
}

TEST_F(FrameCommandsTest, MaterialColourTwoSidedAndTheTextsOnScreenWhileTheWorkRuns) {
    frame().action(Command::MaterialColour)->trigger();  // before any open: flag and mark
    EXPECT_TRUE(frame().materialColour());
    EXPECT_TRUE(frame().action(Command::MaterialColour)->isChecked());
    prompt_.queueFile(writeBigModel(out("big.3ds")));
    frame().action(Command::FileOpen)->trigger();
    ASSERT_TRUE(frame().view() && frame().view()->hasModel());
    frame().glWidget()->makeCurrent();
    EXPECT_FALSE(glIsEnabled(GL_COLOR_MATERIAL));  // the new view starts without it
    frame().action(Command::MaterialColour)->trigger();
    EXPECT_FALSE(frame().materialColour());
    frame().action(Command::MaterialColour)->trigger();
    frame().glWidget()->makeCurrent();
    EXPECT_TRUE(glIsEnabled(GL_COLOR_MATERIAL));

    // The texts are on the real screen while the work runs, as another X
    // client sees it: "Re-scaling..." 5 units left of the centre, "Loading..."
    // 4, of 16 units across the shorter side.
    QWidget* gl = frame().glWidget();
    const QRect area(gl->mapToGlobal(QPoint(0, 0)), gl->size());
    const double unit = std::min(area.width(), area.height()) / 16.0;
    const auto expectText = [&](std::optional<int> column, double x, const char* text) {
        ASSERT_TRUE(column) << text << " was not on screen while the work ran";
        EXPECT_NEAR(*column, area.width() / 2.0 + x * unit, 0.5 * unit) << text;
    };
    // The model moved out of sight: the frame shows the viewing colour
    // alone, and a text white on it.
    state().modelOffsetX = 1000.0f;
    QTest::keyClick(&frame(), Qt::Key_Up);
    QTest::keyClick(&frame(), Qt::Key_L);
    const float x0 = frame().view()->model()->vertices().front().x;
    {
        ScreenWatcher watcher(area);
        QTest::keyClick(&frame(), Qt::Key_Plus, Qt::KeypadModifier);
        expectText(watcher.stop(), -5.0, "Re-scaling...");
    }
    EXPECT_FLOAT_EQ(frame().view()->model()->vertices().front().x, x0 * 1.1f);

    // Two-sided with a model reads the file again, keeping camera and
    // transform: the reader's bounds box comes again and the model has the
    // file's size again.
    prompt_.clear();
    {
        ScreenWatcher watcher(area);
        frame().action(Command::ForceTwoSided)->trigger();
        expectText(watcher.stop(), -4.0, "Loading...");
    }
    EXPECT_EQ(state().forceTwoSided, 0);
    ASSERT_TRUE(frame().view()->hasModel());
    EXPECT_EQ(frame().view()->model()->vertices().front().x, x0);
    expectEye(0, 0, 31);
    EXPECT_EQ(state().modelOffsetX, 1001.0f);
    ASSERT_EQ(prompt_.messages().size(), 1u);
    EXPECT_EQ(prompt_.messages().back().caption, "ok");  // no completion box this time
}

}  // namespace
}  // namespace velmora
