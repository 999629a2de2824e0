#include "pointfile/PointFileReader.h"

#include "pointfile/CghLayout.h"
#include "pointfile/PlyLayout.h"
#include "platform/ByteStream.h"
#include "platform/InputFile.h"
#include "platform/MappedFile.h"
#include "platform/MemoryBudget.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <new>
#include <optional>
#include <vector>

namespace velmora {

namespace {

using Parsed = Result<PointFile>;

// Beyond this a count is not believed: more points than a 16K x 16K frame.
constexpr std::uint64_t kMostPoints = 1ull << 28;

// Beyond the longest line the writers make, with room to spare. Past it a
// "line" is no line of a point file (/dev/zero, a binary file) and is
// refused at once instead of being gathered.
constexpr std::size_t kLongestLine = 2048;
static_assert(kLongestLine >= kLongestCghLine);
// Point sets smaller than this are not weighed against the memory left.
constexpr std::uint64_t kSmallSet = std::uint64_t{1} << 26;

// The next line of `in`; false at the end or for a line too long to be one.
bool nextLine(ByteStream& in, std::string_view& line) {
    return in.nextLine(line, kLongestLine) == ByteStream::Line::Ok;
}

// A refusal when `count` points would not fit in the memory left.
std::optional<std::string> roomFor(std::uint64_t count) {
    const std::uint64_t bytes = count * sizeof(HologramPoint);
    if (bytes < kSmallSet) return std::nullopt;
    const auto shortfall = memoryShortfall(bytes);
    if (!shortfall) return std::nullopt;
    return "holding " + std::to_string(count) + " points " + *shortfall;
}

// Up to `most` space-separated numbers of a line; false on anything else.
bool splitNumbers(std::string_view line, double* out, std::size_t most, int& count) {
    count = 0;
    const char* p = line.data();
    const char* end = p + line.size();
    while (true) {
        while (p < end && *p == ' ') ++p;
        if (p == end) return true;
        if (static_cast<std::size_t>(count) == most) return false;
        const auto [next, ec] = std::from_chars(p, end, out[count]);
        if (ec != std::errc() || (next < end && *next != ' ')) return false;
        ++count;
        p = next;
    }
}

// As many numbers as `out` holds, at most.
template <std::size_t N>
bool splitNumbers(std::string_view line, double (&out)[N], int& count) {
    return splitNumbers(line, out, N, count);
}

bool startsWith(std::string_view text, std::string_view start) { return text.substr(0, start.size()) == start; }

std::string at(int line) { return "line " + std::to_string(line) + ": "; }

Parsed parseCgh(ByteStream& lines) {
    std::string_view line;
    double header[4];
    int fields = 0;
    if (!nextLine(lines, line) || !splitNumbers(line, header, fields) || fields != 4 || header[0] < 0 ||
        header[0] != std::floor(header[0]))
        return Parsed::failure(at(1) + "not a CGH header (count, two scales and 0)");
    if (header[0] > static_cast<double>(kMostPoints)) return Parsed::failure(at(1) + "the point count is too large");
    const auto count = static_cast<std::uint64_t>(header[0]);
    if (auto refusal = roomFor(count)) return Parsed::failure(*refusal);
    PointFile file;
    file.points.scaleXy = static_cast<float>(header[1]);
    file.points.scaleZ = static_cast<float>(header[2]);
    const std::size_t headerLength = line.size();
    // A stream's length is unknown: its points are gathered as they come.
    if (const auto size = lines.knownSize())
        file.points.points.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(count, *size / 16)));
    int width = 0;
    bool ended = false;
    for (;;) {
        const auto got = lines.nextLine(line, kLongestLine);
        if (got == ByteStream::Line::End) break;
        if (got == ByteStream::Line::TooLong) return Parsed::failure(at(lines.lineNumber() + 1) + "not a point line");
        if (startsWith(line, kStatisticsStart)) {
            if (ended) return Parsed::failure(at(lines.lineNumber()) + "a second statistics line");
            ended = true;
            continue;
        }
        if (startsWith(line, kViewpointStart)) {
            if (!lines.atEnd()) return Parsed::failure(at(lines.lineNumber() + 1) + "text after the viewpoint");
            break;
        }
        if (ended) return Parsed::failure(at(lines.lineNumber()) + "a point after the statistics line");
        double v[8];
        int n = 0;
        if (!splitNumbers(line, v, n) || (n != 6 && n != 8) || (width != 0 && n != width))
            return Parsed::failure(at(lines.lineNumber()) + "not a point line");
        width = n;
        HologramPoint p{v[1], v[2], v[3], v[4], static_cast<float>(v[5]), static_cast<float>(v[5]),
                        static_cast<float>(v[5])};
        if (n == 8) p.green = static_cast<float>(v[6]), p.blue = static_cast<float>(v[7]);
        file.points.points.push_back(p);
    }
    if (file.points.points.size() != count)
        return Parsed::failure("the header says " + std::to_string(count) + " points, the file has " +
                               std::to_string(file.points.points.size()));
    file.kind = width == 8 ? PointFileKind::ColourCgh
                : headerLength == kColourPlaceholder ? PointFileKind::ChannelCgh
                                                     : PointFileKind::GreyCgh;
    if (width == 0) file.kind = headerLength == kGreyPlaceholder ? PointFileKind::GreyCgh : PointFileKind::ColourCgh;
    file.points.colour = file.kind != PointFileKind::GreyCgh;
    return file;
}

struct PlyProperty {
    std::string name;
    char type = 'f';  // b B h H i I f d: the sizes and signedness of PLY's scalar types
    std::size_t size = 4;
};

struct PlyElement {
    std::string name;
    std::uint64_t count = 0;
    std::vector<PlyProperty> properties;
    std::size_t recordSize() const {
        std::size_t size = 0;
        for (const auto& p : properties) size += p.size;
        return size;
    }
};

bool plyType(std::string_view name, PlyProperty& property) {
    static const std::map<std::string_view, std::pair<char, std::size_t>> types = {
        {"char", {'b', 1}},   {"int8", {'b', 1}},    {"uchar", {'B', 1}},  {"uint8", {'B', 1}},
        {"short", {'h', 2}},  {"int16", {'h', 2}},   {"ushort", {'H', 2}}, {"uint16", {'H', 2}},
        {"int", {'i', 4}},    {"int32", {'i', 4}},   {"uint", {'I', 4}},   {"uint32", {'I', 4}},
        {"float", {'f', 4}},  {"float32", {'f', 4}}, {"double", {'d', 8}}, {"float64", {'d', 8}}};
    const auto found = types.find(name);
    if (found == types.end()) return false;
    property.type = found->second.first;
    property.size = found->second.second;
    return true;
}

double binaryValue(const char* p, char type) {
    switch (type) {
        case 'b': return static_cast<std::int8_t>(*p);
        case 'B': return static_cast<std::uint8_t>(*p);
        case 'h': { std::int16_t v; std::memcpy(&v, p, 2); return v; }
        case 'H': { std::uint16_t v; std::memcpy(&v, p, 2); return v; }
        case 'i': { std::int32_t v; std::memcpy(&v, p, 4); return v; }
        case 'I': { std::uint32_t v; std::memcpy(&v, p, 4); return v; }
        case 'f': { float v; std::memcpy(&v, p, 4); return v; }
        default: { double v; std::memcpy(&v, p, 8); return v; }
    }
}

// The header's elements; `binary` from its format line.
Result<std::vector<PlyElement>> readPlyHeader(ByteStream& lines, bool& binary) {
    using Header = Result<std::vector<PlyElement>>;
    std::vector<PlyElement> elements;
    std::string_view line;
    nextLine(lines, line);
    bool formatSeen = false;
    for (;;) {
        const auto got = lines.nextLine(line, kLongestLine);
        if (got == ByteStream::Line::End) break;
        if (got == ByteStream::Line::TooLong)
            return Header::failure(at(lines.lineNumber() + 1) + "not a PLY header line");
        if (line == "end_header") {
            if (!formatSeen) return Header::failure("the PLY header has no format line");
            return elements;
        }
        if (line == kPlyAsciiFormat) binary = false, formatSeen = true;
        else if (line == kPlyBinaryFormat) binary = true, formatSeen = true;
        else if (startsWith(line, "format ")) return Header::failure(at(lines.lineNumber()) + "unsupported PLY format");
        else if (startsWith(line, "element ")) {
            const std::string_view rest = line.substr(8);
            const std::size_t space = rest.find(' ');
            PlyElement element;
            element.name = std::string(rest.substr(0, space));
            const std::string_view number = space == std::string_view::npos ? "" : rest.substr(space + 1);
            const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), element.count);
            if (ec != std::errc() || end != number.data() + number.size() || element.count > kMostPoints)
                return Header::failure(at(lines.lineNumber()) + "bad element count");
            elements.push_back(element);
        } else if (startsWith(line, "property ")) {
            const std::string_view rest = line.substr(9);
            const std::size_t space = rest.find(' ');
            PlyProperty property;
            if (elements.empty() || space == std::string_view::npos || !plyType(rest.substr(0, space), property))
                return Header::failure(at(lines.lineNumber()) + "unsupported property");
            property.name = std::string(rest.substr(space + 1));
            elements.back().properties.push_back(property);
        } else if (!startsWith(line, "comment") && !startsWith(line, "obj_info")) {
            return Header::failure(at(lines.lineNumber()) + "not a PLY header line");
        }
    }
    return Header::failure("the PLY header has no end_header");
}

// Where each wanted value sits in a vertex record; -1 when absent.
struct VertexLayout {
    int index[7];  // x y z phase red green blue
    explicit VertexLayout(const PlyElement& vertex) {
        static const char* const names[7] = {"x", "y", "z", "phase", "red", "green", "blue"};
        for (int k = 0; k < 7; ++k) {
            index[k] = -1;
            for (std::size_t i = 0; i < vertex.properties.size(); ++i)
                if (vertex.properties[i].name == names[k]) index[k] = static_cast<int>(i);
        }
    }
    bool complete() const { return index[0] >= 0 && index[1] >= 0 && index[2] >= 0 && index[3] >= 0; }
    HologramPoint point(const double* values) const {
        const auto value = [&](int k, double otherwise) { return index[k] >= 0 ? values[index[k]] : otherwise; };
        return {value(0, 0), value(1, 0), value(2, 0), value(3, 0), static_cast<float>(value(4, 255) / 255.0),
                static_cast<float>(value(5, 255) / 255.0), static_cast<float>(value(6, 255) / 255.0)};
    }
};

Parsed parsePly(ByteStream& lines) {
    bool binary = false;
    auto elements = readPlyHeader(lines, binary);
    if (!elements) return Parsed::failure(elements.error());
    PointFile file;
    file.kind = PointFileKind::Ply;
    for (const PlyElement& element : *elements) {
        const bool isVertex = element.name == "vertex";
        const VertexLayout layout(element);
        if (isVertex && !layout.complete()) return Parsed::failure("the vertex element lacks x, y, z or phase");
        if (auto refusal = isVertex ? roomFor(element.count) : std::nullopt) return Parsed::failure(*refusal);
        const std::size_t fields = element.properties.size();
        if (fields == 0 || fields > 64) return Parsed::failure("element " + element.name + " has no usable properties");
        std::vector<double> values(fields);
        for (std::uint64_t e = 0; e < element.count; ++e) {
            std::string_view record;
            if (binary) {
                if (!lines.take(element.recordSize(), record)) return Parsed::failure("the PLY data ends early");
                for (std::size_t i = 0, offset = 0; i < fields; offset += element.properties[i++].size)
                    values[i] = binaryValue(record.data() + offset, element.properties[i].type);
            } else {
                int n = 0;
                if (!nextLine(lines, record) || !splitNumbers(record, values.data(), values.size(), n) ||
                    n != static_cast<int>(fields))
                    return Parsed::failure("PLY data line " + std::to_string(e + 1) + " of " + element.name +
                                           " is not " + std::to_string(fields) + " numbers");
            }
            if (isVertex) file.points.points.push_back(layout.point(values.data()));
        }
    }
    return file;
}

Parsed parse(ByteStream& bytes) {
    try {
        const std::string_view start = bytes.peek(5);
        if (startsWith(start, "ply\n") || startsWith(start, "ply\r\n")) return parsePly(bytes);
        if (bytes.atEnd()) return Parsed::failure("the file is empty");
        return parseCgh(bytes);
    } catch (const std::bad_alloc&) {
        return Parsed::failure("not enough memory for the points");
    }
}

}  // namespace

Result<PointFile> parsePointFile(std::string_view bytes) {
    ByteStream stream(bytes);
    return parse(stream);
}

Result<PointFile> readPointFile(const std::string& path) {
    InputFile in;
    if (in.open(path) != InputFile::Status::Ok) return Parsed::failure("cannot open " + path);
    MappedFile mapped;
    if (in.regular()) {
        const auto status = mapped.open(std::move(in));
        if (status == MappedFile::Status::TooLarge)
            return Parsed::failure(path + ": the file does not fit in the memory left");
        if (status != MappedFile::Status::Ok) return Parsed::failure("cannot read " + path);
    }
    // A regular file is parsed where it is mapped; a pipe or device as it comes.
    ByteStream bytes = in.isOpen()
                           ? ByteStream(in)
                           : ByteStream(std::string_view(reinterpret_cast<const char*>(mapped.data()), mapped.size()));
    auto parsed = parse(bytes);
    if (bytes.readFailed()) return Parsed::failure("cannot read " + path);
    if (!parsed) return Parsed::failure(path + ": " + parsed.error());
    return parsed;
}

Result<HologramPoints> mergeChannels(const PointFile& red, const PointFile& green, const PointFile& blue) {
    const auto& r = red.points.points;
    const auto& g = green.points.points;
    const auto& b = blue.points.points;
    if (g.size() != r.size() || b.size() != r.size())
        return Result<HologramPoints>::failure("the three channel files have different point counts");
    HologramPoints merged = red.points;
    merged.colour = true;
    for (std::size_t i = 0; i < r.size(); ++i) {
        const auto same = [&](const HologramPoint& o) {
            return o.x == r[i].x && o.y == r[i].y && o.z == r[i].z && o.phase == r[i].phase;
        };
        if (!same(g[i]) || !same(b[i]))
            return Result<HologramPoints>::failure("point " + std::to_string(i) +
                                                   " differs between the channel files");
        merged.points[i].green = g[i].green;
        merged.points[i].blue = b[i].blue;
    }
    return merged;
}

}  // namespace velmora
