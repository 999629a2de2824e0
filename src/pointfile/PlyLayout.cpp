#include "pointfile/PlyLayout.h"

namespace velmora {

std::string plyHeader(PlyLayout layout, std::int64_t count, std::size_t padding) {
    std::string header = "ply\n";
    header += layout == PlyLayout::Ascii ? kPlyAsciiFormat : kPlyBinaryFormat;
    header += "\ncomment VELMORA surface points";
    header.append(padding, ' ');
    header += '\n';
    if (layout == PlyLayout::Ascii) header += "element color 1\nproperty int channel\n";
    header += "element vertex " + std::to_string(count) + "\n";
    header += "property float x\nproperty float y\nproperty float z\n";
    header += "property uchar red\nproperty uchar green\nproperty uchar blue\n";
    header += layout == PlyLayout::Ascii ? "property double phase\n" : "property float phase\n";
    header += "end_header\n";
    return header;
}

}  // namespace velmora
