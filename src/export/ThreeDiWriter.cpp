#include "export/ThreeDiWriter.h"

#include "platform/OutputFile.h"
#include "pointfile/PointValues.h"

#include <cstdint>
#include <cstring>

namespace velmora {

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the 3di writer stores numbers in host order");

Result<SampleSummary> write3di(const SampledFrame& frame, const std::string& path, const OutputScales& scales) {
    auto file = OutputFile::create(path);
    if (!file) return cannotOpen(path);

    const std::int32_t shape[2] = {frame.rows(), frame.columns()};
    file->append(std::string_view(reinterpret_cast<const char*>(shape), sizeof shape));

    const double scaleXy = scales.xy;
    const double scaleZ = scales.z;
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

    if (auto committed = file->commit(); !committed) return cannotWrite(path, committed.error());
    return summary;
}

}  // namespace velmora
