#pragma once
// For every vertex of a mesh model, the triangles that use it, in the order
// they were entered. All lists share one contiguous block: the lists of the
// vertices that exist when the lists are built are packed by a counting pass,
// and lists added later (for split vertices) are appended at the tail.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace velmora {

// A triangle of the model: its material's index and its index in that
// material's triangle list.
struct FaceRef {
    std::uint32_t material = 0;
    std::uint32_t triangle = 0;
};

class VertexFaceLists {
public:
    std::size_t size() const { return offsets_.size() - 1; }
    bool empty() const { return size() == 0; }

    // The face list of vertex `vertex`: `count(vertex)` entries from `begin(vertex)`.
    std::size_t count(std::size_t vertex) const { return offsets_[vertex + 1] - offsets_[vertex]; }
    std::size_t begin(std::size_t vertex) const { return offsets_[vertex]; }
    const FaceRef& entry(std::size_t position) const { return entries_[position]; }
    std::size_t totalEntries() const { return entries_.size(); }

    // Adds a list for a new vertex, empty or with one face.
    void appendEmpty() { offsets_.push_back(offsets_.back()); }
    void appendWith(FaceRef face) {
        entries_.push_back(face);
        offsets_.push_back(static_cast<std::uint64_t>(entries_.size()));
    }

    void reserve(std::size_t vertices, std::size_t entries) {
        offsets_.reserve(vertices + 1);
        entries_.reserve(entries);
    }
    void clear() {
        offsets_.assign(1, 0);
        entries_.clear();
        entries_.shrink_to_fit();
    }

    // Fills all lists at once from the corner references of the triangles.
    // The lists must be empty. `forEachCorner(visit)` must call
    // visit(vertex, face) for every corner of every triangle in list order;
    // it is called twice (a counting pass, then the fill), and each vertex's
    // entries keep the order of the calls.
    template <typename ForEachCorner>
    void fill(ForEachCorner&& forEachCorner);

private:
    std::vector<std::uint64_t> offsets_ = std::vector<std::uint64_t>(1, 0);
    std::vector<FaceRef> entries_;
};

template <typename ForEachCorner>
void VertexFaceLists::fill(ForEachCorner&& forEachCorner) {
    const std::size_t vertices = size();
    std::vector<std::uint64_t> counts(vertices + 1, 0);
    forEachCorner([&](std::size_t vertex, FaceRef) {
        if (vertex < vertices) ++counts[vertex + 1];
    });
    for (std::size_t i = 0; i < vertices; ++i) counts[i + 1] += counts[i];
    // Room for one more list per vertex, of one entry: the most that splitting
    // vertices adds.
    offsets_.reserve(2 * vertices + 1);
    offsets_.assign(counts.begin(), counts.end());
    entries_.reserve(static_cast<std::size_t>(counts.back()) + vertices);
    entries_.resize(static_cast<std::size_t>(counts.back()));
    forEachCorner([&](std::size_t vertex, FaceRef face) {
        if (vertex < vertices) entries_[static_cast<std::size_t>(counts[vertex]++)] = face;
    });
}

}  // namespace velmora
