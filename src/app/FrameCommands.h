#pragma once
// The commands of the Options, View and Help menus on the frame's view: the
// display toggles, the viewpoint and object-coordinate forms, the help boxes
// and the fly-by.

#include "app/FrameView.h"
#include "app/MainMenu.h"
#include "view/Navigation.h"

#include <QTimer>

namespace velmora {

// The dialogs' resource numbers.
inline constexpr int kKeyHelpForm = 122;
inline constexpr int kViewPointForm = 134;
inline constexpr int kObjCoordinateForm = 135;

inline constexpr const char* kKeyHelpTitle = "3D Navigation Controls";
inline constexpr const char* kKeyHelpText =
    "Up/Down Arrow Keys (Z-Axis)\nLeft/Right Arrow Keys (X-Axis)\nPage Up/Page Down Keys (Y-Axis)\n"
    "HOME key resets the viewpoint\n+/- Keys Scale Image by 10%\nD and H Keys Double and Half Scale Image";

class FrameCommands {
public:
    // Everything given must outlive the commands.
    FrameCommands(FrameView& frame, ViewerState& state, Prompt& prompt, Navigation& navigation, const MainMenu& menu);

    // Options > Force 2-Sided Materials: the flag and its mark; an open
    // model is read again.
    void toggleTwoSided();
    // Options > Material_Color: OpenGL's colour material and its mark.
    void toggleMaterialColour();
    // View > ViewPoint_Set: the stored viewpoint, and the eye once a model is open.
    void setViewPoint();
    // View > ObjCoordinate: the sampled bounds and the output scales.
    void showObjectCoordinates();
    void showAbout();
    void showKeyHelp();
    // Help > Fly By: steps on a timer until the navigation stops it.
    void startFlyBy();

    bool materialColour() const { return materialColour_; }
    QTimer& flyByTimer() { return flyByTimer_; }

private:
    void stepFlyBy();

    FrameView& frame_;
    ViewerState& state_;
    Prompt& prompt_;
    Navigation& navigation_;
    const MainMenu& menu_;
    QTimer flyByTimer_;
    bool materialColour_ = false;
};

}  // namespace velmora
