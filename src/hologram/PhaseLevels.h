#pragma once
// The grey levels of a phase modulator: which grey shows a phase, and which
// phase a grey shows. Evenly spaced levels (the range over the levels, the
// middle grey at phase 0, what is beyond the range going to the nearer end)
// or a measured table, where the grey whose phase lies nearest round the
// circle wins.

#include "hologram/DeviceSettings.h"

#include <cstdint>
#include <vector>

namespace velmora {

class PhaseLevels {
public:
    PhaseLevels(const DeviceSettings& device, double wavelength);

    std::uint16_t level(double phase) const;
    double phase(std::uint16_t level) const;

private:
    std::uint16_t nearestMeasured(double phase) const;

    long count_;
    double range_;
    std::vector<PhaseLut::Entry> byPhase_;  // measured, by phase wrapped into [-pi, pi)
    std::vector<double> phases_;            // measured, per grey; between listed greys interpolated
};

}  // namespace velmora
