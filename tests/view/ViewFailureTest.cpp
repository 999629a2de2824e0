// What the view shows and the status the program is to end with when the surface cannot be used, and how a model that
// cannot be read leaves the view running.

#include "platform/FatalExit.h"
#include "view/ViewTestSupport.h"
#include "view/WelcomePicture.h"

#include <cerrno>

namespace velmora {
namespace {

// A surface of a given colour depth that refuses to become current.
struct FakeSurface : GlSurface {
    explicit FakeSurface(int bits) : bits(bits) {}
    bool makeCurrent() override {
        ++makeCurrentCalls, errno = EACCES;
        return false;
    }
    void swapBuffers() override {}
    int colourBits() const override { return bits; }
    int width() const override { return 64; }
    int height() const override { return 64; }
    int bits, makeCurrentCalls = 0;
};

TEST(ViewFailureTest, SurfaceThatCannotBeUsedEndsTheProgramAfterOneBox) {
    std::string shown;
    for (const auto& [bits, welcome] : {std::pair{15, true}, {15, false}, {16, false}}) {  // 16: just deep enough
        FakeSurface surface(bits);
        RecordingPrompt prompt("VELMORA");  // the caption of a framework box
        ViewerState state;
        int status = -1;  // stays when the program may go on
        if (welcome) {
            if (auto drawn = WelcomePicture(surface, prompt, state).draw(); !drawn) status = drawn.error().status;
        } else if (auto opened = GlView::open(surface, prompt, state); !opened) {
            status = opened.error().status;
        }
        shown += "== " + std::string(welcome ? "welcome picture" : "view") + ", " + std::to_string(bits) + " bits\n"
               + "status " + std::to_string(status) + ", made current " + std::to_string(surface.makeCurrentCalls) + "\n";
        for (const std::string& line : prompt.transcript()) shown += line + "\n";
    }
    testing::expectData(shown, "view_failures.txt");
}

using testing::ViewFixture;

TEST_F(ViewFixture, UnreadableModelIsReportedAndTheViewGoesOnWithoutOne) {
    ScopedFatalExitHandler handler([](int status) { throw status; });
    open(32, 32);
    load(square({1.0f, 1.0f, 1.0f}, 4.0f), 1);
    view->drawFrame();
    ASSERT_FALSE(testing::isClearColour(testing::Frame(*surface).at(16, 16)));
    const std::string missing = dir.file("missing.3ds");
    prompt.clear();
    EXPECT_EQ(view->loadModel(missing, 1), ModelLoad::Unreadable);
    EXPECT_FALSE(view->hasModel());
    EXPECT_EQ(prompt.transcript(), (std::vector<std::string>{"message Error: Failed to open " + missing + "\n",
                                                             "message velmora: Failed to Decode 3D Studio MAX file!: " + missing}));
    // Still running: a redraw shows the clear colour, a rescale is ignored.
    view->rescaleModel(2.0f), view->drawFrame();
    EXPECT_TRUE(testing::isClearColour(testing::Frame(*surface).at(16, 16)));  // where the square was
}

}  // namespace
}  // namespace velmora
