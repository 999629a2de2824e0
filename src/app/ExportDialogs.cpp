#include "app/ExportDialogs.h"

#include "platform/DecimalText.h"

namespace velmora {

namespace {

constexpr int kViewRangeForm = 133;
constexpr int kLeftViewPointId = 1001;
constexpr int kRightViewPointId = 1002;
constexpr int kViewPointIntervalId = 1003;

std::optional<ViewRange> askViewRange(Prompt& prompt) {
    FormRequest form;
    form.resourceId = kViewRangeForm;
    form.title = "ViewRange_Select";
    form.fields = {
        {0, "左视点：", "", false, false},
        {0, "右视点：", "", false, false},
        {0, "视点间隔：", "", false, false},
        {kLeftViewPointId, "", "0", true, true},
        {kRightViewPointId, "", "0", true, true},
        {kViewPointIntervalId, "", "0", true, true},
    };
    if (!prompt.runForm(form)) return std::nullopt;
    // The form has refused anything but a number already.
    const auto value = [&](int id) { return parseDecimal(form.field(id)->text).value_or(0.0f); };
    return ViewRange{value(kLeftViewPointId), value(kRightViewPointId), value(kViewPointIntervalId)};
}

// A series always asks with the colour title and the CGH filter, whatever
// it writes; single grey and 3di exports carry the grey title.
FileDialogRequest saveDialog(const ExportQuestion& question) {
    FileDialogRequest request;
    request.mode = FileDialogRequest::Mode::Save;
    const bool greyTitle =
        !question.series && (question.kind == ExportKind::Grey || question.kind == ExportKind::ThreeDi);
    request.title = greyTitle ? "Export Object(Gray)" : "Export Object";
    if (question.kind == ExportKind::Ply)
        request.filters.push_back({"PLY File", "*.ply"});
    else if (question.kind == ExportKind::ThreeDi)
        request.filters.push_back({"3di File", "*.3di"});
    else
        request.filters.push_back({"CGH File", "*.CGH"});
    return request;
}

}  // namespace

std::optional<ExportRequest> askExport(Prompt& prompt, GlView* view, const ExportQuestion& question) {
    ExportRequest request;
    request.kind = question.kind;
    request.plyLayout = question.plyLayout;
    if (question.series) {
        request.views = askViewRange(prompt);
        if (!request.views || !acceptViewRange(prompt, *request.views)) return std::nullopt;
    }
    if (!view) return std::nullopt;
    auto chosen = prompt.chooseFile(saveDialog(question));
    if (!chosen) {
        restoreViewingFrame(*view);
        return std::nullopt;
    }
    request.path = std::move(*chosen);
    return request;
}

}  // namespace velmora
