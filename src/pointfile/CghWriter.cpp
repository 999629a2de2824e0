#include "pointfile/CghWriter.h"

#include "pointfile/FramePoints.h"
#include "pointfile/PointValues.h"
#include "platform/OutputFile.h"

#include <array>
#include <cstring>
#include <optional>

namespace velmora {

namespace {

const std::vector<ReadyText>& phaseTexts() {
    static const std::vector<ReadyText> texts = readyTexts(RandomGenerator::kMax + 1, phaseOfDraw, appendFixed6);
    return texts;
}

const std::vector<ReadyText>& fractionTexts() {
    static const std::vector<ReadyText> texts = readyTexts(
        256, [](int c) { return colourFraction(static_cast<std::uint8_t>(c)); }, appendFixed6);
    return texts;
}

inline char* lineEnd(char* out) {
    out[0] = '\r';
    out[1] = '\n';
    return out + 2;
}

// index x y z phase, each followed by a space.
inline char* putPointStart(char* out, int index, const SurfacePoint& point, const ReadyText& phase) {
    out = appendInt(out, index);
    *out++ = ' ';
    out = appendFixed6(out, point.x);
    *out++ = ' ';
    out = appendFixed6(out, point.y);
    *out++ = ' ';
    out = appendFixed6(out, point.z);
    *out++ = ' ';
    out = put(out, phase);
    *out++ = ' ';
    return out;
}

// The files of one writer call, opened in order, finished together.
class CghFiles {
public:
    CghFiles(const SampledFrame& frame, const OutputScales& scales, std::size_t placeholder)
        : frame_(frame), scales_(scales), placeholder_(placeholder) {}

    // Opens every file; on failure the ones already open are discarded.
    std::optional<Result<SampleSummary>> open(const std::vector<std::string>& paths) {
        for (const auto& path : paths) {
            auto file = OutputFile::create(path);
            if (!file) return cannotOpen(path);
            files_.push_back(std::move(*file));
        }
        writeFirstLine();
        return std::nullopt;
    }

    OutputFile& file(std::size_t i) { return files_[i]; }

    Result<SampleSummary> finish(const SampleSummary& summary, const Viewpoint& viewpoint) {
        const std::string tail = cghStatisticsLine(summary.bounds) + cghViewpointLine(viewpoint);
        const std::string header = cghHeader(summary.pointCount, scales_.xy, scales_.z);
        for (auto& file : files_) {
            file.append(tail);
            if (headerLater_) file.overwriteStart(header);
            if (auto finished = file.finish(); !finished) return cannotWrite(file.path(), finished.error());
        }
        for (auto& file : files_)
            if (auto published = file.publish(); !published) return cannotWrite(file.path(), published.error());
        return summary;
    }

private:
    // The header goes over a placeholder once the count is known. When even
    // the largest possible count could make it longer than the placeholder,
    // the points are counted first and the line is written at its full length.
    void writeFirstLine() {
        const long long mostPoints = static_cast<long long>(frame_.rows()) * frame_.columns();
        const std::string widest = cghHeader(static_cast<int>(std::min<long long>(mostPoints, 2147483647)),
                                             scales_.xy, scales_.z);
        std::string line;
        if (widest.size() <= placeholder_) {
            headerLater_ = true;
            line.assign(placeholder_, ' ');
        } else {
            line = cghHeader(frame_.summarize().pointCount, scales_.xy, scales_.z);
            if (line.size() < placeholder_) line.resize(placeholder_, ' ');
        }
        line += "\r\n";
        for (auto& file : files_) file.append(line);
    }

    const SampledFrame& frame_;
    OutputScales scales_;
    std::size_t placeholder_;
    bool headerLater_ = false;
    std::vector<OutputFile> files_;
};

}  // namespace

Result<SampleSummary> writeColourCgh(const SampledFrame& frame, const std::string& path, const OutputScales& scales,
                                     RandomGenerator& random, const Viewpoint& viewpoint) {
    CghFiles files(frame, scales, kColourPlaceholder);
    if (auto failure = files.open({path})) return *failure;
    OutputFile& file = files.file(0);
    const auto& phases = phaseTexts();
    const auto& fractions = fractionTexts();
    const SampleSummary summary = forEachFramePoint(frame, random, [&](const SurfacePoint& point, int index, int draw) {
        char* out = file.reserve(kLongestCghLine);
        out = putPointStart(out, index, point, phases[draw]);
        out = put(out, fractions[point.red]);
        *out++ = ' ';
        out = put(out, fractions[point.green]);
        *out++ = ' ';
        out = put(out, fractions[point.blue]);
        file.advance(lineEnd(out));
    });
    return files.finish(summary, viewpoint);
}

Result<SampleSummary> writeGreyCgh(const SampledFrame& frame, const std::string& path, const OutputScales& scales,
                                   RandomGenerator& random, const Viewpoint& viewpoint) {
    CghFiles files(frame, scales, kGreyPlaceholder);
    if (auto failure = files.open({path})) return *failure;
    OutputFile& file = files.file(0);
    const auto& phases = phaseTexts();
    const SampleSummary summary = forEachFramePoint(frame, random, [&](const SurfacePoint& point, int index, int draw) {
        char* out = file.reserve(kLongestCghLine);
        out = putPointStart(out, index, point, phases[draw]);
        out = appendFixed6(out, greyLevel(point.red, point.green, point.blue));
        file.advance(lineEnd(out));
    });
    return files.finish(summary, viewpoint);
}

Result<SampleSummary> writeChannelCgh(const SampledFrame& frame, const std::string& stem, const std::string& suffix,
                                      const OutputScales& scales, RandomGenerator& random, const Viewpoint& viewpoint) {
    CghFiles files(frame, scales, kColourPlaceholder);
    if (auto failure = files.open({channelFileName(stem, 'r', suffix), channelFileName(stem, 'g', suffix),
                                   channelFileName(stem, 'b', suffix)}))
        return *failure;
    OutputFile* channel[3] = {&files.file(0), &files.file(1), &files.file(2)};
    const auto& phases = phaseTexts();
    const auto& fractions = fractionTexts();
    char start[kLongestCghLine];
    const SampleSummary summary = forEachFramePoint(frame, random, [&](const SurfacePoint& point, int index, int draw) {
        const std::size_t startSize =
            static_cast<std::size_t>(putPointStart(start, index, point, phases[draw]) - start);
        const std::uint8_t values[3] = {point.red, point.green, point.blue};
        for (int c = 0; c < 3; ++c) {
            char* out = channel[c]->reserve(kLongestCghLine);
            std::memcpy(out, start, startSize);
            out = put(out + startSize, fractions[values[c]]);
            channel[c]->advance(lineEnd(out));
        }
    });
    return files.finish(summary, viewpoint);
}

}  // namespace velmora
