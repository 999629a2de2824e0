#pragma once
// The export commands as the desktop program's menu and the command line run
// them: save dialog, naming, the black export frame, sampling and writing,
// the completion box, then the viewing colour and a redraw. Everything a
// person sees goes through the Prompt; the command line answers the dialogs
// from its options.

#include "export/CghWriter.h"
#include "export/ViewSeries.h"
#include "platform/Prompt.h"

#include <functional>
#include <string>
#include <vector>

namespace velmora {

class GlView;
class Prompt;
struct ViewerState;

enum class ExportStatus {
    Done,       // every file written (a series may have no view), completion box shown
    NoView,     // no model opened yet: nothing happened
    Cancelled,  // a dialog was cancelled: nothing written
    Refused,    // the view range was refused with a message
    Failed,     // a file could not be written: error box shown
};

struct ExportedFile {
    std::string path;
    int pointCount = 0;
};

struct ExportOutcome {
    ExportStatus status = ExportStatus::NoView;
    std::vector<ExportedFile> files;  // written files in order
    bool ok() const { return status == ExportStatus::Done; }
};

// Called before each view of a series is drawn: the view number (from 1),
// the number of views, and the view's eye.
using ViewProgress = std::function<void(int number, int count, float eyeX, float eyeY, float eyeZ)>;

// The texts of the commands.
inline constexpr const char* kExportTitle = "Export Object";
inline constexpr const char* kExportGreyTitle = "Export Object(Gray)";
inline constexpr const char* kCompleteCaption = "完成!";
inline constexpr const char* kCompleteText = "导出完成!";
inline constexpr const char* kErrorCaption = "Error";
inline constexpr int kViewRangeForm = 133;
inline constexpr int kLeftViewPointId = 1001;
inline constexpr int kRightViewPointId = 1002;
inline constexpr int kViewPointIntervalId = 1003;

// The command functions; `view` is null while no model has been opened.
// `client` is the client area of the window being exported.
ExportOutcome exportColour(GlView* view, Prompt& prompt, ViewerState& state, const ClientRect& client);  // 40041
ExportOutcome exportGrey(GlView* view, Prompt& prompt, ViewerState& state, const ClientRect& client);    // 40043
ExportOutcome exportMultiViewColour(GlView* view, Prompt& prompt, ViewerState& state, const ClientRect& client,
                                    const ViewProgress& progress = {});                                  // 40044
ExportOutcome exportMultiViewGrey(GlView* view, Prompt& prompt, ViewerState& state, const ClientRect& client,
                                  const ViewProgress& progress = {});                                    // 40045
ExportOutcome exportMultiViewChannels(GlView* view, Prompt& prompt, ViewerState& state,
                                      const ClientRect& client, const ViewProgress& progress = {});      // 40049
ExportOutcome export3di(GlView* view, Prompt& prompt, ViewerState& state, const ClientRect& client);     // 40048

// The two shapes every export command has, for the commands above and for
// further file kinds. The save dialog of a command:
struct SaveDialog {
    const char* title;
    FileFilter filter;
    std::string (*withExtension)(const std::string& chosen);  // the naming rule
};
// Writes the sampled frame of one view into the files for `name` (the chosen
// name after the naming rule); `number` is 0 for a single view and 1, 2, ...
// in a series; `viewpoint` is the stored viewpoint or the view's eye.
using ViewWriter = std::function<WriteResult(const SampledFrame& frame, const std::string& name, int number,
                                             const Viewpoint& viewpoint)>;
// Save dialog, black export frame, sampling, writing, the completion or
// error box, then the viewing colour and a redraw.
ExportOutcome runSingleViewExport(GlView* view, Prompt& prompt, ViewerState& state, const ClientRect& client,
                                  const SaveDialog& dialog, const ViewWriter& write);
// The view range form and its checks, then the save dialog and one view
// after another from the stored viewpoint shifted along x; stops at the
// first failed view.
ExportOutcome runSeriesExport(GlView* view, Prompt& prompt, ViewerState& state, const ClientRect& client,
                              const SaveDialog& dialog, const ViewWriter& write, const ViewProgress& progress);

// The sampling pass behind "ObjCoordinate": draws the black export frame
// with the current camera and counts the points and their bounds; no phase
// is drawn and nothing is written. The black frame stays on screen: call
// restoreViewingFrame once the dialog has closed.
SampleSummary sampleObjectCoordinates(GlView& view, Prompt& prompt, const ClientRect& client);
// The dialog's value texts 1013, 1007 .. 1012: "%d" count, then "%f" of
// maxX, minX, maxY, minY, maxZ, minZ (all 0.000000 when there is no point).
std::vector<std::string> objectCoordinateTexts(const SampleSummary& summary);

// Sets the clear colour of the export frame (black) or back to the viewing
// colour and redraws.
void beginExportFrame(GlView& view);
void restoreViewingFrame(GlView& view);

}  // namespace velmora
