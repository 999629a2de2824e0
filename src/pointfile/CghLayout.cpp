#include "pointfile/CghLayout.h"

namespace velmora {

std::string cghHeader(int pointCount, float scaleXy, float scaleZ) {
    char buffer[3 * kMaxFixedChars];
    char* out = appendInt(buffer, pointCount);
    *out++ = ' ';
    out = appendFixed1(out, scaleXy);
    *out++ = ' ';
    out = appendFixed1(out, scaleZ);
    *out++ = ' ';
    *out++ = '0';
    return std::string(buffer, out);
}

std::string cghStatisticsLine(const SampleBounds& b) {
    return std::string(kStatisticsStart) + " Maxx=" + fixed6(b.maxX) + " Minx=" + fixed6(b.minX) +
           " Maxy=" + fixed6(b.maxY) + " Miny=" + fixed6(b.minY) + " Maxz=" + fixed6(b.maxZ) +
           " Minz=" + fixed6(b.minZ) + " \r\n";
}

std::string cghViewpointLine(const Viewpoint& v) {
    return std::string(kViewpointStart) + " x=" + fixed6(v.x) + "  y=" + fixed6(v.y) + " z=" + fixed6(v.z);
}

std::string channelFileName(const std::string& stem, char letter, const std::string& suffix) {
    std::string name;
    name.reserve(stem.size() + 1 + suffix.size());
    name += stem;
    name += letter;
    name += suffix;
    return name;
}

}  // namespace velmora
