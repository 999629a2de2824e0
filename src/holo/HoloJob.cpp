#include "HoloJob.h"

#include "hologram/HologramComputer.h"
#include "hologram/HologramScore.h"
#include "pointfile/PointFileReader.h"
#include "platform/OutputCheck.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <set>

namespace velmora {

namespace {

void say(const std::string& text) { std::fprintf(stderr, "velmora-holo: %s\n", text.c_str()); }

std::string withoutExtension(const std::string& path) {
    const std::filesystem::path p(path);
    return (p.parent_path() / p.stem()).string();
}

// One hologram's worth of points and the prefix of its files.
struct PointSet {
    HologramPoints points;
    std::string prefix;
    std::string label;
};

std::optional<PointSet> loadSet(const std::string& path, std::set<std::string>& done, bool& readFailed) {
    auto file = readPointFile(path);
    if (!file) {
        say(file.error());
        readFailed = true;
        return std::nullopt;
    }
    if (file->kind != PointFileKind::ChannelCgh) return PointSet{std::move(file->points), withoutExtension(path), path};
    std::string stem;
    const auto names = channelSiblings(path, stem);
    if (!names) {
        say(path + ": one file of a per-channel set; its r, g and b siblings are needed");
        readFailed = true;
        return std::nullopt;
    }
    if (done.count((*names)[0])) return std::nullopt;
    done.insert((*names)[0]);
    std::vector<PointFile> parts;
    for (const auto& name : *names) {
        auto part = name == path ? std::move(file) : readPointFile(name);
        if (!part) {
            say(part.error());
            readFailed = true;
            return std::nullopt;
        }
        parts.push_back(std::move(*part));
    }
    auto merged = mergeChannels(parts[0], parts[1], parts[2]);
    if (!merged) {
        say((*names)[0] + ": " + merged.error());
        readFailed = true;
        return std::nullopt;
    }
    return PointSet{std::move(*merged), withoutExtension(stem), (*names)[0] + " + g + b"};
}

HologramOutputRequest outputOf(const PointSet& set, const HologramOptions& options) {
    HologramOutputRequest request = options.output;
    request.prefix = set.prefix;
    request.keepFields = options.score;
    return request;
}

// Every file of every set, checked before the first hologram is computed.
bool tiled(const PointSet& set, const HoloJob& job) {
    return job.tiles || !wholeHologramFits(set.points, job.options.settings);
}

// A tiled hologram's tile names wait for its layout: its manifest stands for them.
std::optional<OutputRefusal> checkAllOutputs(const std::vector<PointSet>& sets, const HoloJob& job) {
    const HologramOptions& options = job.options;
    std::vector<std::string> names;
    for (const PointSet& set : sets) {
        if (auto refusal = checkOutputPrefix(set.prefix)) return refusal;
        const auto own = tiled(set, job) ? std::vector<std::string>{tileManifestName(set.prefix)}
                                         : hologramOutputNames(set.points.colour, options.settings, outputOf(set, options));
        names.insert(names.end(), own.begin(), own.end());
    }
    return checkOutputs(names);
}

// One line per channel and depth band on stdout, for scripts to read.
bool printScores(const PointSet& set, const HologramSet& holograms, const HologramSettings& settings) {
    say("scoring the reconstruction");
    const auto scores = scoreHologram(set.points, holograms, settings);
    if (!scores) {
        say(set.label + ": cannot score: " + scores.error());
        return false;
    }
    for (const BandScore& score : *scores) std::printf("%s\n", scoreLine(score).c_str());
    std::fflush(stdout);
    return true;
}

bool makeTiles(const PointSet& set, const HoloJob& job) {
    const HologramOptions& options = job.options;
    if (options.output.npy || options.score) {
        say(set.label + ": a tiled hologram has no .npy files and no score: each needs the whole field");
        return false;
    }
    const auto start = std::chrono::steady_clock::now();
    const TiledRequest request{set.prefix, job.tiles.value_or(TileShare{}), job.wholePicture};
    auto written = computeAndWriteTiles(set.points, options.settings, request, say);
    if (!written) {
        say(set.label + ": " + written.error());
        return false;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    char text[200];
    std::snprintf(text, sizeof text, "done in %.2f s: share %d of %d, %zu files written, %zu tiles kept", seconds,
                  request.share.index, request.share.count, written->paths.size(), written->kept);
    say(text);
    return true;
}

bool makeHologram(const PointSet& set, const HoloJob& job) {
    const HologramOptions& options = job.options;
    const auto start = std::chrono::steady_clock::now();
    say(set.label + ": " + std::to_string(set.points.points.size()) + " points");
    if (tiled(set, job)) return makeTiles(set, job);
    auto written = computeAndWriteHolograms(set.points, options.settings, outputOf(set, options), say);
    if (!written) {
        say(set.label + ": " + written.error());
        return false;
    }
    const HologramSet* holograms = &written->frame;
    if (options.score && !printScores(set, *holograms, options.settings)) return false;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    char text[160];
    std::snprintf(text, sizeof text, "done in %.2f s (unit %.4g mm, object %.4g to %.4g mm from the hologram)",
                  seconds, holograms->unit * 1e3, holograms->nearestDistance * 1e3,
                  holograms->farthestDistance * 1e3);
    say(text);
    return true;
}

}  // namespace

std::optional<std::vector<std::string>> channelSiblings(const std::string& path, std::string& withoutLetter) {
    const std::size_t nameStart = path.find_last_of('/') + 1;
    for (std::size_t i = path.size(); i-- > nameStart;) {
        const char letter = path[i];
        if (letter != 'r' && letter != 'g' && letter != 'b') continue;
        std::vector<std::string> names;
        for (const char c : {'r', 'g', 'b'}) {
            std::string name = path;
            name[i] = c;
            names.push_back(name);
        }
        std::error_code ec;
        if (std::filesystem::is_regular_file(names[0], ec) && std::filesystem::is_regular_file(names[1], ec) &&
            std::filesystem::is_regular_file(names[2], ec)) {
            withoutLetter = path.substr(0, i) + path.substr(i + 1);
            return names;
        }
    }
    return std::nullopt;
}

ExitStatus runHoloJob(const HoloJob& job) {
    std::set<std::string> done;
    bool readFailed = false, failed = false;
    std::vector<PointSet> sets;
    for (const auto& path : job.files) {
        auto set = loadSet(path, done, readFailed);
        if (!set) continue;
        if (job.output) set->prefix = *job.output;
        sets.push_back(std::move(*set));
    }
    if (auto refusal = checkAllOutputs(sets, job)) {
        say(refusal->text());
        return ExitStatus::Failed;
    }
    for (const PointSet& set : sets)
        if (!makeHologram(set, job)) failed = true;
    return failed ? ExitStatus::Failed : readFailed ? ExitStatus::Unreadable : ExitStatus::Success;
}

}  // namespace velmora
