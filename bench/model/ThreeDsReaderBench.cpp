// Loading speed and peak memory of the .3ds reader, with Assimp's 3DS
// importer (no post-processing) on the same file as the yardstick.
//
// The input is generated: 100 meshes of 60,000 vertices and 65,000 faces,
// each with two face-material groups (about 137 MB). Every measurement runs
// in a fresh child process, so its peak resident memory is its own.
//
// Usage: bench_threeds_reader [FILE]   (generates FILE when it is missing;
//        default /tmp/velmora-bench-137mb.3ds)

#include "model/ThreeDsReader.h"
#include "platform/RecordingPrompt.h"

#include <assimp/Importer.hpp>
#include <assimp/scene.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

extern char** environ;

namespace {

constexpr int kMeshes = 100;
constexpr int kVertices = 60000;
constexpr int kFaces = 65000;

void put16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
// Opens a chunk; returns the offset of its length field for closing it.
std::size_t open(std::vector<std::uint8_t>& out, std::uint16_t id) {
    put16(out, id);
    put32(out, 0);
    return out.size() - 6;
}
void close(std::vector<std::uint8_t>& out, std::size_t at) {
    const auto length = static_cast<std::uint32_t>(out.size() - at);
    for (int i = 0; i < 4; ++i) out[at + 2 + i] = static_cast<std::uint8_t>(length >> (8 * i));
}
void name(std::vector<std::uint8_t>& out, const char* s) { out.insert(out.end(), s, s + std::strlen(s) + 1); }

bool generate(const std::string& path) {
    std::mt19937 rng(12345);
    std::uniform_real_distribution<float> coordinate(-100.0f, 100.0f);
    std::uniform_int_distribution<int> corner(0, kVertices - 1);
    std::vector<std::uint8_t> out;
    out.reserve(140u << 20);
    const auto main = open(out, 0x4D4D);
    const auto editor = open(out, 0x3D3D);
    for (const char* material : {"Matte", "Shiny"}) {
        const auto m = open(out, 0xAFFF);
        const auto n = open(out, 0xA000);
        name(out, material);
        close(out, n);
        close(out, m);
    }
    for (int mesh = 0; mesh < kMeshes; ++mesh) {
        const auto object = open(out, 0x4000);
        name(out, ("Mesh" + std::to_string(mesh)).c_str());
        const auto trimesh = open(out, 0x4100);
        const auto vertices = open(out, 0x4110);
        put16(out, kVertices);
        for (int i = 0; i < kVertices * 3; ++i) {
            const float f = coordinate(rng);
            std::uint32_t bits;
            std::memcpy(&bits, &f, 4);
            put32(out, bits);
        }
        close(out, vertices);
        const auto faces = open(out, 0x4120);
        put16(out, kFaces);
        for (int i = 0; i < kFaces; ++i) {
            put16(out, static_cast<std::uint16_t>(corner(rng)));
            put16(out, static_cast<std::uint16_t>(corner(rng)));
            put16(out, static_cast<std::uint16_t>(corner(rng)));
            put16(out, static_cast<std::uint16_t>(i % 8));
        }
        const int split = kFaces / 2;
        for (int g = 0; g < 2; ++g) {
            const auto group = open(out, 0x4130);
            name(out, g == 0 ? "Matte" : "Shiny");
            const int from = g == 0 ? 0 : split, to = g == 0 ? split : kFaces;
            put16(out, static_cast<std::uint16_t>(to - from));
            for (int i = from; i < to; ++i) put16(out, static_cast<std::uint16_t>(i));
            close(out, group);
        }
        close(out, faces);
        close(out, trimesh);
        close(out, object);
    }
    close(out, editor);
    close(out, main);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(out.data(), 1, out.size(), f) == out.size();
    return std::fclose(f) == 0 && ok;
}

double now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Child: load once, print "seconds faces".
int child(const std::string& which, const std::string& path) {
    const double start = now();
    std::size_t faces = 0;
    if (which == "velmora") {
        velmora::RecordingPrompt prompt;
        velmora::ParsedScene scene;
        velmora::ThreeDsReader reader(prompt, [](std::string_view) {});
        if (!reader.readFile(path, scene)) return 1;
        for (const auto& o : scene.objects) faces += o.faces.size();
    } else {
        Assimp::Importer importer;
        const aiScene* scene = importer.ReadFile(path, 0);
        if (!scene) return 1;
        for (unsigned i = 0; i < scene->mNumMeshes; ++i) faces += scene->mMeshes[i]->mNumFaces;
    }
    std::printf("%.6f %zu\n", now() - start, faces);
    return 0;
}

struct Run {
    double seconds = 0;
    std::size_t faces = 0;
    long peakKiB = 0;
};

bool spawnChild(const std::string& which, const std::string& path, Run& run) {
    int fds[2];
    if (::pipe(fds) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    std::string self = "/proc/self/exe";
    std::vector<char*> argv{self.data(), const_cast<char*>("--child"), const_cast<char*>(which.c_str()),
                            const_cast<char*>(path.c_str()), nullptr};
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, "/proc/self/exe", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (rc != 0) {
        ::close(fds[0]);
        return false;
    }
    char buffer[128] = {};
    const ssize_t n = ::read(fds[0], buffer, sizeof buffer - 1);
    ::close(fds[0]);
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    if (n <= 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return false;
    run.peakKiB = usage.ru_maxrss;
    return std::sscanf(buffer, "%lf %zu", &run.seconds, &run.faces) == 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--child") return child(argv[2], argv[3]);
    const std::string path = argc > 1 ? argv[1] : "/tmp/velmora-bench-137mb.3ds";

    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        std::printf("generating %s ...\n", path.c_str());
        if (!generate(path) || ::stat(path.c_str(), &st) != 0) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
    }
    const double megabytes = static_cast<double>(st.st_size) / 1e6;
    std::printf("input: %s, %.1f MB, %d meshes x %d vertices x %d faces\n", path.c_str(), megabytes, kMeshes,
                kVertices, kFaces);

    // Warm the page cache so both readers see the same, cached file.
    {
        Run warm;
        spawnChild("velmora", path, warm);
    }
    Run best;
    best.seconds = 1e9;
    for (int i = 0; i < 5; ++i) {
        Run r;
        if (!spawnChild("velmora", path, r)) {
            std::fprintf(stderr, "velmora run failed\n");
            return 1;
        }
        if (r.seconds < best.seconds) best = r;
    }
    Run assimp;
    if (!spawnChild("assimp", path, assimp)) {
        std::fprintf(stderr, "assimp run failed\n");
        return 1;
    }
    std::printf("velmora: %.3f s (best of 5), %.0f MB/s, peak %.0f MB (%.2f x file), %zu faces\n", best.seconds,
                megabytes / best.seconds, best.peakKiB / 1024.0, best.peakKiB * 1024.0 / st.st_size, best.faces);
    std::printf("assimp:  %.3f s, %.0f MB/s, peak %.0f MB (%.2f x file), %zu faces\n", assimp.seconds,
                megabytes / assimp.seconds, assimp.peakKiB / 1024.0, assimp.peakKiB * 1024.0 / st.st_size,
                assimp.faces);
    std::printf("ratio: velmora is %.1f x faster\n", assimp.seconds / best.seconds);
    return 0;
}
