#pragma once
// The application-wide values, one of each for the run: the settings, the
// model transform that navigation changes and the view applies, the fly-by
// counter, and the desktop program's export settings and phase generator.
// The desktop program and the command line each own one and hand it to the
// view; the export takes its settings from its request, never from here.

#include "platform/RandomGenerator.h"

#include <string>

namespace velmora {

struct ViewerState {
    // The shown model and the per-user settings.
    std::string modelPath = "Sample.3ds";
    int frameWidth = 600;
    int frameHeight = 600;
    // As stored: any non-zero value is on, and the value goes back to the
    // settings unchanged unless the menu toggles it.
    int forceTwoSided = 0;

    // Model transform, applied by the view in the order scale, translate,
    // rotate about x, rotate about y. Angles in degrees.
    float modelScale = 1.0f;
    float modelOffsetX = 0.0f;
    float modelOffsetY = 0.0f;
    float modelOffsetZ = 0.0f;
    float modelRotX = 0.0f;
    float modelRotY = 0.0f;

    // Fly-by step; 200 means idle.
    int flyByStep = 200;

    // The desktop program's export settings as its viewpoint and coordinates
    // dialogs set them (not stored between runs); it hands them to each
    // export in the request.
    float viewPointX = 0.0f;
    float viewPointY = 0.0f;
    float viewPointZ = 30.0f;
    float Output_Scalxy = 1.0f;
    float Output_Scalz = 1.0f;
    static constexpr float zCutoff = -50.0f;

    // Draws the desktop exports' phases; seeded when the view is set up.
    RandomGenerator random;

    // Resets the model transform's scale and offsets (after an open); the
    // rotations are kept.
    void resetScaleAndOffsets() {
        modelScale = 1.0f;
        modelOffsetX = modelOffsetY = modelOffsetZ = 0.0f;
    }
};

}  // namespace velmora
