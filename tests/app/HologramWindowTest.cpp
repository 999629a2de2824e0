// File > Hologram on the sample model, and the reconstruction window's focus
// slider on a hologram of one point, which is sharpest at the point's depth.
#include "AppTestSupport.h"
#include "app/HologramWindow.h"
#include <QProgressDialog>
#include <QRegularExpression>
#include <QSlider>

namespace velmora {
namespace {

using namespace velmora::testing;

HologramSettings smallHologram() {
    HologramSettings s;
    s.width = s.height = 64;
    s.distance = 10e-3;
    s.planning = FftPlanning::Estimate;
    return s;
}

// Pixels at least half as bright as the picture's white: few in focus.
int litPixels(const QImage& picture) {
    int lit = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) lit += qGreen(picture.pixel(x, y)) >= 128;
    return lit;
}

// The label of a progress dialog as it comes up, before the work's first step replaces it.
struct ProgressLabel : QObject {
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (auto* dialog = qobject_cast<QProgressDialog*>(watched); dialog && event->type() == QEvent::Show)
            text = dialog->labelText();
        return false;
    }
    QString text;
};

class HologramWindowTest : public FrameFixture {};

TEST_F(HologramWindowTest, TheMenuItemShowsTheFramesReconstructionAndTheSliderFocusesAtThePointsDepth) {
    prompt_.queueFile(samplePath());
    frame().action(Command::FileOpen)->trigger();
    prompt_.clear();
    frame().hologramSettings() = smallHologram();
    frame().hologramSettings().holoFit = 0.8;
    ProgressLabel progress;
    QApplication::instance()->installEventFilter(&progress);
    frame().action(Command::Hologram)->trigger();
    EXPECT_TRUE(QRegularExpression("^Computing the hologram of [1-9][0-9]* points$").match(progress.text).hasMatch())
        << progress.text.toStdString();
    EXPECT_TRUE(prompt_.messages().empty());
    auto* shown = frame().findChild<HologramWindow*>();
    ASSERT_NE(shown, nullptr);
    EXPECT_TRUE(QTest::qWaitForWindowExposed(shown, kPatience));

    HologramPoints one;
    one.points.push_back({0, 0, 0, 0, 1.0f, 1.0f, 1.0f});
    const auto set = computeHolograms(one, smallHologram());
    ASSERT_TRUE(set) << set.error();
    HologramWindow window(*set, smallHologram());
    EXPECT_DOUBLE_EQ(window.focusDistance(), 10e-3);
    const int inFocus = litPixels(window.picture());
    for (int end : {window.focusSlider()->minimum(), window.focusSlider()->maximum()}) {
        window.focusSlider()->setValue(end);
        EXPECT_LT(inFocus, litPixels(window.picture()) / 4) << window.focusDistance();
    }
}

}  // namespace
}  // namespace velmora
