#include "export/ThreeDiWriter.h"

#include "export/OutputFile.h"
#include "export/PointValues.h"
#include "export/SurfaceSampler.h"
#include "view/ViewerState.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace velmora {

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the 3di writer stores numbers in host order");

WriteResult write3di(const SampledFrame& frame, const std::string& path, const ViewerState& state) {
    WriteResult result;
    std::string reason;
    auto file = OutputFile::create(path, reason);
    if (!file) {
        std::fputs("Cant open file\n", stderr);
        result.openFailed = true;
        result.failedPath = path;
        result.error = reason;
        return result;
    }

    const std::int32_t shape[2] = {frame.rows(), frame.columns()};
    file->append(std::string_view(reinterpret_cast<const char*>(shape), sizeof shape));

    const double scaleXy = state.Output_Scalxy;
    const double scaleZ = state.Output_Scalz;
    const SampleSummary summary = frame.walk(
        [&](const SurfacePoint& point, int) {
            // point.x is -ox, so X = -(scale × ox) = scale × point.x exactly.
            const double values[3] = {scaleXy * point.x, scaleXy * point.y, scaleZ * point.z};
            const float grey = static_cast<float>(greyLevel(point.red, point.green, point.blue));
            char* out = file->reserve(kThreeDiRecordSize);
            std::memcpy(out, values, sizeof values);
            std::memcpy(out + sizeof values, &grey, sizeof grey);
            file->advance(out + kThreeDiRecordSize);
        },
        [&](int, int) {
            char* out = file->reserve(kThreeDiRecordSize);
            std::memset(out, 0, kThreeDiRecordSize);
            file->advance(out + kThreeDiRecordSize);
        });

    result.summary = summary;
    if (!file->commit(reason)) {
        std::fprintf(stderr, "Cant write file %s: %s\n", path.c_str(), reason.c_str());
        result.failedPath = path;
        result.error = reason;
        return result;
    }
    result.ok = true;
    result.paths.push_back(path);
    return result;
}

WriteResult write3di(const ClientRect& rect, const std::string& path, Prompt& prompt, const ViewerState& state) {
    return write3di(SurfaceSampler::sample(rect, prompt), path, state);
}

}  // namespace velmora
