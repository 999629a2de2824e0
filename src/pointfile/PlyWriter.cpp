#include "pointfile/PlyWriter.h"

#include "pointfile/FramePoints.h"
#include "pointfile/NumberText.h"
#include "pointfile/PointValues.h"
#include "platform/OutputFile.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <vector>

namespace velmora {

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the binary PLY writer stores numbers in host order");

namespace {

constexpr std::size_t kBinaryRecord = 3 * sizeof(float) + 3 + sizeof(float);
// Room for one shortest single-precision text (at most 15 characters).
constexpr std::size_t kFloatRoom = 24;
// x y z, three bytes, the phase text, separators and the line end.
constexpr std::size_t kMaxAsciiLine = 3 * (kFloatRoom + 1) + 3 * 4 + 32 + 2;

// The phase as the shortest text of the double the CGH file prints.
char* shortestText(char* out, double value) { return std::to_chars(out, out + sizeof(ReadyText::text), value).ptr; }

// A channel byte with the space before it.
char* spacedByte(char* out, int value) {
    *out = ' ';
    return appendInt(out + 1, value);
}

const std::vector<ReadyText>& phaseTexts() {
    static const std::vector<ReadyText> texts = readyTexts(RandomGenerator::kMax + 1, phaseOfDraw, shortestText);
    return texts;
}

const std::vector<ReadyText>& byteTexts() {
    static const std::vector<ReadyText> texts = readyTexts(256, [](int c) { return c; }, spacedByte);
    return texts;
}

inline float toFloat(double value) {
    const float f = static_cast<float>(value);
    return std::fpclassify(f) == FP_SUBNORMAL ? std::copysign(0.0f, f) : f;
}

inline char* putFloat(char* out, double value) { return std::to_chars(out, out + kFloatRoom, toFloat(value)).ptr; }

}  // namespace

Result<SampleSummary> writePly(const SampledFrame& frame, const std::string& path, RandomGenerator& random,
                               PlyLayout layout) {
    auto file = OutputFile::create(path);
    if (!file) return cannotOpen(path);

    const std::int64_t mostPoints = static_cast<std::int64_t>(frame.rows()) * frame.columns();
    const std::size_t headerSize = plyHeader(layout, mostPoints).size();
    file->append(plyHeader(layout, mostPoints));
    if (layout == PlyLayout::Ascii) file->append(kPlyColourData);

    SampleSummary summary;
    if (layout == PlyLayout::Ascii) {
        const auto& phases = phaseTexts();
        const auto& bytes = byteTexts();
        summary = forEachFramePoint(frame, random, [&](const SurfacePoint& point, int, int draw) {
            char* out = file->reserve(kMaxAsciiLine);
            out = putFloat(out, point.x);
            *out++ = ' ';
            out = putFloat(out, point.y);
            *out++ = ' ';
            out = putFloat(out, point.z);
            out = put(out, bytes[point.red]);
            out = put(out, bytes[point.green]);
            out = put(out, bytes[point.blue]);
            *out++ = ' ';
            out = put(out, phases[draw]);
            *out++ = '\n';
            file->advance(out);
        });
    } else {
        summary = forEachFramePoint(frame, random, [&](const SurfacePoint& point, int, int draw) {
            const float values[3] = {static_cast<float>(point.x), static_cast<float>(point.y),
                                     static_cast<float>(point.z)};
            const std::uint8_t colour[3] = {point.red, point.green, point.blue};
            const float phase = static_cast<float>(phaseOfDraw(draw));
            char* out = file->reserve(kBinaryRecord);
            std::memcpy(out, values, sizeof values);
            std::memcpy(out + sizeof values, colour, sizeof colour);
            std::memcpy(out + sizeof values + sizeof colour, &phase, sizeof phase);
            file->advance(out + kBinaryRecord);
        });
    }

    const std::size_t shortSize = plyHeader(layout, summary.pointCount).size();
    file->overwriteStart(plyHeader(layout, summary.pointCount, headerSize - shortSize));
    if (auto committed = file->commit(); !committed) return cannotWrite(path, committed.error());
    return summary;
}

}  // namespace velmora
