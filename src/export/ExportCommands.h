#pragma once
// The exports carried out: the black export frame, sampling and writing one
// view or a row of views, the completion or error box, then the viewing
// colour and a redraw. The programs ask what to export (the desktop program
// with its dialogs, the command line from its options) and hand the answer
// over as a request; every message a person sees goes through the Prompt.

#include "export/ViewSeries.h"
#include "hologram/HologramPoints.h"
#include "platform/Prompt.h"
#include "pointfile/CghWriter.h"
#include "pointfile/PlyWriter.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace velmora {

class GlView;

enum class ExportKind { Colour, Grey, Channels, ThreeDi, Ply };

struct ExportRequest {
    ExportKind kind = ExportKind::Colour;
    std::string path;                // the name as chosen; the naming rule of the kind makes the file names
    std::optional<ViewRange> views;  // a row of views; a 3di file holds one view and takes none
    PlyLayout plyLayout = PlyLayout::Binary;
    OutputScales scales;  // the CGH header's Output_Scalxy, Output_Scalz; the 3di file's factors
    Viewpoint viewpoint;  // a single view's ViewPoint line; a series starts here, shifted along x
    // The generator the phases are drawn from, one draw per point, run on
    // from view to view of a series; the caller owns it, and for a share
    // has moved it on by pointsBeforeShare. Null: a generator of the
    // export's own at its initial state.
    RandomGenerator* random = nullptr;
    ViewShare share;  // the part of the row to export; files keep their numbers in the row
};

enum class ExportStatus {
    Done,     // every file written (a series may have no view), completion box shown
    Refused,  // the view range was refused with a message
    Failed,   // a file could not be written: error box shown
};

struct ExportedFile {
    std::string path;
    int pointCount = 0;
};

struct ExportOutcome {
    ExportStatus status = ExportStatus::Done;
    std::vector<ExportedFile> files;  // written files in order
    bool ok() const { return status == ExportStatus::Done; }
};

// Called before each view of a series is drawn: the view number (from 1),
// the number of views, and the view's eye.
using ViewProgress = std::function<void(int number, int count, float eyeX, float eyeY, float eyeZ)>;

inline constexpr const char* kCompleteCaption = "完成!";
inline constexpr const char* kCompleteText = "导出完成!";
inline constexpr const char* kErrorCaption = "Error";

// Shows why a range cannot be exported (in the framework's box) and returns
// false, or returns true for a range that can be.
bool acceptViewRange(Prompt& prompt, const ViewRange& range);

// The files `request` writes, known before anything is drawn: for a series
// those of its share's first view (the others go to the same folder), none
// when its share holds no view or its range is refused.
std::vector<std::string> exportFileNames(const ExportRequest& request);

// Carries the request out on the view's current frame size `client`. A
// series starts at the request's viewpoint shifted along x, exports the
// views of its share, leaves the eye at the share's last view and stops at
// the first view that fails.
ExportOutcome runExport(GlView& view, Prompt& prompt, const ClientRect& client, const ExportRequest& request,
                        const ViewProgress& progress = {});

// The points of the views before the share's first, which one run of the
// whole series draws phases for before it reaches that view; 0 for a
// refused range. Draws those views without writing anything.
std::uint64_t pointsBeforeShare(GlView& view, Prompt& prompt, const ClientRect& client, const Viewpoint& start,
                                const ViewRange& range, const ViewShare& share);

// The sampling pass behind "ObjCoordinate": draws the black export frame
// with the current camera and counts the points and their bounds; no phase
// is drawn and nothing is written. The black frame stays on screen: call
// restoreViewingFrame once the dialog has closed.
SampleSummary sampleObjectCoordinates(GlView& view, Prompt& prompt, const ClientRect& client);
// The dialog's value texts: "%d" count, then "%f" of maxX, minX, maxY,
// minY, maxZ, minZ (all 0.000000 when there is no point).
std::vector<std::string> objectCoordinateTexts(const SampleSummary& summary);

// The points a colour export (grey: a grey export) of the current frame
// with these scales would write, phases drawn from `random` as that export
// draws them; nothing is written and no box is shown. The viewing frame is
// back after.
HologramPoints sampleFramePoints(GlView& view, Prompt& prompt, const ClientRect& client, const OutputScales& scales,
                                 RandomGenerator& random, bool colour);

// Sets the clear colour of the export frame (black) or back to the viewing
// colour and redraws.
void beginExportFrame(GlView& view);
void restoreViewingFrame(GlView& view);

}  // namespace velmora
