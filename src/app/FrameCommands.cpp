#include "app/FrameCommands.h"

#include "export/ExportCommands.h"
#include "platform/DecimalText.h"

#include <GL/gl.h>

#include <string>
#include <vector>

namespace velmora {

namespace {

constexpr int kFlyByIntervalMs = 20;

const char* const kAboutText =
    "VELMORA " VELMORA_VERSION
    "\n\n"
    "Prepares 3D Studio (.3ds) models for computer-generated hologram computation: open a model, "
    "move the camera and the model, then export the visible surface as CGH point files (colour, "
    "grey, per channel, or a row of viewpoints) or as 3di simulation data.\n\n"
    "Keys:\n"
    "Left/Right, Page Up/Page Down, Up/Down: move the eye along x, y, z\n"
    "Home: eye back home, stops the fly-by\n"
    "A: reset the model transform and the eye\n"
    "J/L, M/I, N/B: move the model along x, y, z\n"
    "S/W: shrink/grow the model by 10%\n"
    "D/E: halve/double the geometry; keypad +/-: geometry by 10%\n"
    "Drag with the left button: rotate the model\n"
    "F1: this box; Esc: quit without saving the settings";

FormRequest viewPointForm() {
    FormRequest form;
    form.resourceId = kViewPointForm;
    form.title = "ViewPointSet";
    form.fields = {
        {0, "Postion_z:", "", false, false},       {0, "Postion_x:", "", false, false},
        {0, "Postion_y:", "", false, false},       {1001, "", generalText(30.0f), true, true},
        {1002, "", generalText(0.0f), true, true}, {1003, "", generalText(0.0f), true, true},
    };
    return form;
}

FormRequest objectCoordinateForm(const std::vector<std::string>& values, const ViewerState& state) {
    FormRequest form;
    form.resourceId = kObjCoordinateForm;
    form.title = "Obj_Coordinate";
    const char* const labels[] = {
        "            Points:", "Object_Max_X:", "Object_Min_X:",  "Object_Max_Y:", "Object_Min_Y:",
        "Object_Max_Z:",       "Object_Min_Z:", "Output_Scalxy:", "Output_Scalz:"};
    for (const char* label : labels) form.fields.push_back({0, label, "", false, false});
    const int valueIds[] = {1013, 1007, 1008, 1009, 1010, 1011, 1012};
    for (std::size_t i = 0; i < values.size(); ++i) form.fields.push_back({valueIds[i], "", values[i], false, false});
    form.fields.push_back({1001, "", generalText(state.Output_Scalxy), true, true});
    form.fields.push_back({1002, "", generalText(state.Output_Scalz), true, true});
    return form;
}

}  // namespace

FrameCommands::FrameCommands(FrameView& frame, ViewerState& state, Prompt& prompt, Navigation& navigation,
                             const MainMenu& menu)
    : frame_(frame), state_(state), prompt_(prompt), navigation_(navigation), menu_(menu) {
    state_.flyByStep = Navigation::kFlyByIdle;
    flyByTimer_.setInterval(kFlyByIntervalMs);
    QObject::connect(&flyByTimer_, &QTimer::timeout, [this] { stepFlyBy(); });
}

void FrameCommands::toggleTwoSided() {
    state_.forceTwoSided = !state_.forceTwoSided;
    menu_.setChecked(Command::ForceTwoSided, state_.forceTwoSided);
    if (!frame_.view) return;
    // The file is read again; the "Loading..." picture stays until the next
    // repaint.
    frame_.busy = true;
    frame_.loadModel(state_, prompt_);
    frame_.busy = false;
}

void FrameCommands::toggleMaterialColour() {
    materialColour_ = !materialColour_;
    frame_.gl->surface().makeCurrent();
    if (materialColour_)
        glEnable(GL_COLOR_MATERIAL);
    else
        glDisable(GL_COLOR_MATERIAL);
    menu_.setChecked(Command::MaterialColour, materialColour_);
    if (frame_.view) frame_.view->drawFrame();
}

void FrameCommands::setViewPoint() {
    FormRequest form = viewPointForm();
    // Cancel leaves the stored viewpoint and the eye as they were.
    if (!prompt_.runForm(form)) return;
    const auto value = [&](int id) { return parseDecimal(form.field(id)->text).value_or(0.0f); };
    state_.viewPointZ = value(1001);
    state_.viewPointX = value(1002);
    state_.viewPointY = value(1003);
    // Before any model only the stored viewpoint changes.
    if (!frame_.view) return;
    frame_.setEye(state_.viewPointX, state_.viewPointY, state_.viewPointZ);
    frame_.view->drawFrame();
}

void FrameCommands::showObjectCoordinates() {
    if (!frame_.view) return;
    frame_.busy = true;
    const SampleSummary summary = sampleObjectCoordinates(*frame_.view, prompt_, frame_.clientRect());
    FormRequest form = objectCoordinateForm(objectCoordinateTexts(summary), state_);
    // While the dialog is up the black export frame stays on screen.
    if (prompt_.runForm(form)) {
        state_.Output_Scalxy = parseDecimal(form.field(1001)->text).value_or(state_.Output_Scalxy);
        state_.Output_Scalz = parseDecimal(form.field(1002)->text).value_or(state_.Output_Scalz);
    }
    frame_.busy = false;
    restoreViewingFrame(*frame_.view);
}

void FrameCommands::showAbout() {
    MessageRequest request;
    request.caption = "About QUNT";
    request.text = kAboutText;
    request.icon = PromptIcon::Information;
    prompt_.message(request);
}

void FrameCommands::showKeyHelp() {
    FormRequest form;
    form.resourceId = kKeyHelpForm;
    form.fields = {{0, kKeyHelpTitle, kKeyHelpText, false, false}};
    prompt_.runForm(form);
}

void FrameCommands::startFlyBy() {
    navigation_.startFlyBy();
    flyByTimer_.start();
}

void FrameCommands::stepFlyBy() {
    if (frame_.busy) return;
    if (!navigation_.flyByRunning()) {
        flyByTimer_.stop();
        return;
    }
    navigation_.stepFlyBy(frame_.view.get());
    if (frame_.view) frame_.view->drawFrame();
    if (!navigation_.flyByRunning()) flyByTimer_.stop();
}

}  // namespace velmora
