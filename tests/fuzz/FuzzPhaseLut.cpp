// Arbitrary bytes into the reader of measured phase tables, and every table it accepts through the grey-level lookup.

#include "hologram/PhaseLevels.h"
#include "hologram/PhaseLut.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto lut = velmora::parsePhaseLut(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!lut) {
        if (lut.error().empty()) std::abort();  // every refusal says why
        return 0;
    }
    // The shortest pair is "0 0": three bytes and a line end after all but the last.
    if (lut->entries.size() * 4 > size + 1) std::abort();
    velmora::DeviceSettings device;
    device.bits = 16, device.luts = {{0.0, *lut}};
    const velmora::PhaseLevels levels(device, 532e-9);
    for (const double phase : {-10.0, -3.14159, 0.0, 1.0, 3.14159, 1e6}) {
        const std::uint16_t grey = levels.level(phase);
        bool listed = false;
        for (const auto& entry : lut->entries) listed = listed || entry.grey == grey;
        if (!listed || !std::isfinite(levels.phase(grey))) std::abort();
    }
    return 0;
}
