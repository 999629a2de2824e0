// Start-up, settings, the menu tree with its prompts, sizing and the two
// ways out, in a real window.

#include "AppTestSupport.h"

#include "platform/IniSettingsStore.h"
#include "platform/UserSettings.h"

#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>

#include <sys/resource.h>

namespace velmora {
namespace {

using namespace velmora::testing;

using MainFrameTest = FrameFixture;

QPoint screenCentre() { return QGuiApplication::primaryScreen()->geometry().center(); }

TEST(StartUpTest, StartsCentredAtTheStoredOrDefaultSizeWithoutAModel) {
    struct Row {
        std::map<std::string, int> stored;
        QSize size;
        bool twoSided;
    };
    const Row rows[] = {
        {{}, {600, 600}, true},  // nothing stored yet
        {{{"Options/FrameWidth", 800}, {"Options/FrameHeight", 500}, {"Options/Force2Sided", 0}}, {800, 500}, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.size.width());
        ScopedConfigHome home;
        RecordingPrompt prompt;
        RecordingSettingsStore store;
        store.values = row.stored;
        ViewerApp app(prompt, &store);
        errno = 0;
        const int before = ::getpriority(PRIO_PROCESS, 0);
        ASSERT_TRUE(app.initInstance());
        MainFrame& frame = *app.mainFrame();
        showAndWait(frame);
        EXPECT_EQ(::getpriority(PRIO_PROCESS, 0), std::min(before + 1, 19));

        EXPECT_EQ(store.reads, (std::vector<std::string>{"Options/FrameWidth", "Options/FrameHeight",
                                                         "Options/Force2Sided"}));
        EXPECT_EQ(frame.windowTitle(), "QUNT");
        EXPECT_EQ(frame.frameGeometry().size(), row.size);
        EXPECT_LE((frame.frameGeometry().center() - screenCentre()).manhattanLength(), 1);
        EXPECT_EQ(frame.action(Command::ForceTwoSided)->isChecked(), row.twoSided);
        EXPECT_EQ(app.state().forceTwoSided, row.twoSided ? 1 : 0);
        EXPECT_FALSE(frame.action(Command::MaterialColour)->isChecked());
        EXPECT_EQ(app.state().flyByStep, 200);
        EXPECT_EQ(frame.view(), nullptr);
        EXPECT_TRUE(frame.statusBar()->isVisible());

        // The welcome picture: the red and green cross on the viewing colour,
        // the lines on the centre give or take a pixel.
        const QImage picture = frame.glWidget()->grabFramebuffer();
        const QPoint centre = picture.rect().center();
        EXPECT_EQ(QColor(picture.pixel(10, 10)), QColor(64, 128, 191));
        int red = 0, green = 0;
        for (int d = -1; d <= 1; ++d) {
            red = std::max(red, qRed(picture.pixel(10, centre.y() + d)));
            green = std::max(green, qGreen(picture.pixel(centre.x() + d, 10)));
        }
        EXPECT_GT(red, 200);
        EXPECT_GT(green, 200);

        frame.onCommand(Command::ForceTwoSided);  // no model: only the flag and the mark
        EXPECT_EQ(app.state().forceTwoSided, row.twoSided ? 0 : 1);
        EXPECT_NE(frame.action(Command::ForceTwoSided)->isChecked(), row.twoSided);
        EXPECT_TRUE(prompt.transcript().empty());  // nothing loaded, nothing asked
    }
}

TEST_F(MainFrameTest, AResizeUpdatesTheSizeAndExitWritesTheThreeSettingsInOrder) {
    start();
    frame().statusBar()->hide();
    frame().resize(720, 530);
    EXPECT_TRUE(QTest::qWaitFor([&] { return state().frameWidth == 720 && state().frameHeight == 530; }, kPatience));
    EXPECT_TRUE(frame().statusBar()->isVisible());
    EXPECT_EQ(frame().view(), nullptr);

    frame().action(Command::Exit)->trigger();
    EXPECT_FALSE(frame().isVisible());
    EXPECT_EQ(store_.writes, (std::vector<std::string>{"Options/Force2Sided=1", "Options/FrameWidth=720",
                                                       "Options/FrameHeight=530"}));
}

// The real profile file: Escape leaves it alone, the close box writes it.
// Under a window manager the stored size is the outer size, its frame
// included: the window opens at it, and a session left alone stores it
// unchanged, so the window does not grow from one session to the next.
TEST(ProfileTest, EscapeKeepsTheStoredValuesAndClosingStoresNewOnes) {
    ScopedConfigHome home;
    const std::string path = IniSettingsStore::defaultPath(UserSettings::kOrganisation, executableBaseName());
    EXPECT_EQ(path, home.dir().file("VELMORA/" + executableBaseName() + ".ini"));
    {
        IniSettingsStore store(path);
        store.writeProfileInt("Options", "FrameWidth", 700);
        store.writeProfileInt("Options", "FrameHeight", 650);
        store.writeProfileInt("Options", "Force2Sided", 1);
    }
    const std::string stored = readFile(path);
    WindowManager manager;
    ASSERT_TRUE(manager.managing());

    // Starts on the stored values, checks the outer size, resizes the client
    // area to `client` (if valid), toggles two-sided and leaves. Returns the
    // outer size it left with.
    const auto session = [](QSize outer, QSize client, bool escape) {
        RecordingPrompt prompt;
        ViewerApp app(prompt);
        app.initInstance();
        MainFrame& frame = *app.mainFrame();
        showAndWait(frame);
        const auto placed = [&] {
            const QRect f = frame.frameGeometry();
            return f.size() != frame.size() && f.size() == outer &&
                   (f.center() - screenCentre()).manhattanLength() <= 1;
        };
        EXPECT_TRUE(QTest::qWaitFor(placed, kPatience))
            << frame.frameGeometry().width() << "x" << frame.frameGeometry().height() << " at "
            << frame.frameGeometry().x() << "," << frame.frameGeometry().y();
        if (client.isValid()) {
            frame.resize(client);
            EXPECT_TRUE(QTest::qWaitFor(
                [&] { return frame.size() == client && app.state().frameWidth == frame.frameGeometry().width(); },
                kPatience));
        }
        const QSize left = frame.frameGeometry().size();
        frame.onCommand(Command::ForceTwoSided);
        if (!escape) {
            frame.close();
            return left;
        }
        QTimer::singleShot(0, &frame, [&frame] { QTest::keyClick(&frame, Qt::Key_Escape); });
        QTimer safety;  // gone with the session, so it cannot end a later loop
        safety.setSingleShot(true);
        QObject::connect(&safety, &QTimer::timeout, [] { QCoreApplication::exit(99); });
        safety.start(kPatience);
        EXPECT_EQ(QCoreApplication::exec(), 0);
        return left;
    };
    session({700, 650}, {500, 400}, true);
    EXPECT_EQ(readFile(path), stored);

    const QSize resized = session({700, 650}, {520, 410}, false);
    EXPECT_GT(resized.height(), 410);  // the window manager's frame is part of it
    IniSettingsStore after(path);
    EXPECT_EQ(after.getProfileInt("Options", "FrameWidth", 0), resized.width());
    EXPECT_EQ(after.getProfileInt("Options", "FrameHeight", 0), resized.height());
    EXPECT_EQ(after.getProfileInt("Options", "Force2Sided", -1), 0);

    EXPECT_EQ(session(resized, {}, false), resized);
    IniSettingsStore again(path);
    EXPECT_EQ(again.getProfileInt("Options", "FrameWidth", 0), resized.width());
    EXPECT_EQ(again.getProfileInt("Options", "FrameHeight", 0), resized.height());
}

// One line per item, indented by depth: text | command id (0 for a pop-up) | status prompt.
void describeMenu(const QList<QAction*>& actions, const std::string& indent, std::vector<std::string>& out) {
    for (QAction* a : actions) {
        out.push_back(indent + a->text().toStdString() + " | " + std::to_string(a->menu() ? 0 : a->data().toInt()) +
                      " | " + a->statusTip().toStdString());
        if (a->menu()) describeMenu(a->menu()->actions(), indent + "  ", out);
    }
}

TEST_F(MainFrameTest, MenuTreeCarriesEveryTextIdAndPrompt) {
    start();
    std::vector<std::string> menu;
    describeMenu(frame().menuBar()->actions(), "", menu);
    EXPECT_EQ(menu, (std::vector<std::string>{
                        "&F文件 | 0 | ",
                        "  &O打开 | 57601 | Select an alternate 3D Studio MAX (.3ds) Mesh File",
                        "  彩色输出 | 40041 | ",
                        "  灰度输出 | 40043 | ",
                        "  多视角输出 | 0 | ",
                        "    M_Export_Color | 40044 | ",
                        "    M_Export_Gray | 40045 | ",
                        "    分立彩色输出 | 40049 | 彩色输出分3个文件",
                        "    PLY | 40052 | Export each view as a binary PLY point cloud",
                        "    PLY (ASCII) | 40053 | Export each view as an ASCII PLY point cloud for CGH libraries",
                        "  输出3D数据 | 40048 | 输出3D成像系统仿真数据",
                        "  PLY | 40050 | Export the visible surface as a binary PLY point cloud",
                        "  PLY (ASCII) | 40051 | Export the visible surface as an ASCII PLY point cloud for CGH libraries",
                        "  Hologram | 40054 | Compute the hologram of the visible surface and show it with a focus slider",
                        "  E&xit | 57665 | ",
                        "&O选项 | 0 | ",
                        "  &Force 2-Sided Materials | 40040 | Forces Unspecified Materials to be 2-Sided",
                        "  Material_Color | 40042 | ",
                        "V视图 | 0 | ",
                        "  ViewPoint_Set | 40046 | ",
                        "  ObjCoordinate | 40047 | ",
                        "&H帮助 | 0 | ",
                        "  &About | 40023 | VELMORA",
                        "  &What to do | 40035 | Displays Keystroke usage information",
                        "  Fly &By | 40028 | Performs a Fly By of the mesh graphic... press HOME key to reset.",
                    }));

    // Hovering a command shows its prompt; one without a prompt empties the pane.
    frame().action(Command::FlyBy)->showStatusText(&frame());
    EXPECT_EQ(frame().statusBar()->currentMessage(),
              "Performs a Fly By of the mesh graphic... press HOME key to reset.");
    frame().action(Command::ExportColour)->showStatusText(&frame());
    EXPECT_EQ(frame().statusBar()->currentMessage(), "");

    // F1 runs About.
    QTest::keyClick(&frame(), Qt::Key_F1);
    ASSERT_EQ(prompt_.messages().size(), 1u);
    EXPECT_EQ(prompt_.messages()[0].caption, "About QUNT");
    EXPECT_NE(prompt_.messages()[0].text.find("VELMORA " VELMORA_VERSION), std::string::npos);

    // The File menu open, saved for a look at the Chinese texts.
    QMenu* file = frame().menuBar()->actions().front()->menu();
    frame().menuBar()->setActiveAction(frame().menuBar()->actions().front());
    ASSERT_TRUE(QTest::qWaitFor([&] { return file->isVisible(); }, kPatience));
    file->setActiveAction(frame().action(Command::FileOpen));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return frame().statusBar()->currentMessage() == "Select an alternate 3D Studio MAX (.3ds) Mesh File";
        },
        kPatience))
        << frame().statusBar()->currentMessage().toStdString();
    saveArtefact(QGuiApplication::primaryScreen()->grabWindow(0).copy(frame().frameGeometry().adjusted(0, 0, 0, 100)),
                 "menu-open.png");
    file->hide();
}

TEST_F(MainFrameTest, WhatToDoShowsTheKeyHelpBox) {
    start().action(Command::WhatToDo)->trigger();
    ASSERT_EQ(prompt_.forms().size(), 1u);
    const FormRequest& form = prompt_.forms()[0];
    EXPECT_EQ(form.resourceId, 122);
    ASSERT_EQ(form.fields.size(), 1u);
    EXPECT_EQ(form.fields[0].label, "3D Navigation Controls");
    EXPECT_EQ(form.fields[0].text,
              "Up/Down Arrow Keys (Z-Axis)\nLeft/Right Arrow Keys (X-Axis)\nPage Up/Page Down Keys (Y-Axis)\n"
              "HOME key resets the viewpoint\n+/- Keys Scale Image by 10%\nD and H Keys Double and Half Scale Image");
}

}  // namespace
}  // namespace velmora
