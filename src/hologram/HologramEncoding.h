#pragma once
// The picture a device is driven with, made from a complex hologram, and the
// field that device then gives back under a plane wave (what the preview
// propagates).
//
//   phase         grey of arg(u) + carrier, through the device's levels
//   double-phase  u band-limited to half the sampling limit on both axes,
//                 a = |u| / A, phases theta +- acos(a) in a checkerboard:
//                 each pair of neighbours averages to a exp(i theta)
//   amplitude     I = 0.5 (1 + Re(u exp(i carrier)) / A) on grey 0..levels-1,
//                 u first band-limited along the carrier so that the +1
//                 order around the carrier does not meet the others
//   binary        the amplitude picture diffused to 0 and 1 (Floyd-Steinberg)
//
// A is one scale for every channel (encodingScale), so their brightness
// keeps its balance. For amplitude and binary the device's field is the +1
// order alone: the picture shifted back by the carrier and band-limited as
// it was encoded.

#include "hologram/ComplexField.h"
#include "hologram/DeviceSettings.h"
#include "hologram/HologramComputer.h"

#include <cstdint>
#include <vector>

namespace velmora {

struct HologramPicture {
    int width = 0;
    int height = 0;
    int bits = 8;  // 1, 8 or 16
    std::vector<std::uint16_t> levels;  // row 0 at the top
};

// The amplitude A that stands for full modulation: the largest over all the
// channels once each is band-limited as its encoding needs (1 for phase).
double encodingScale(const HologramSet& set, const DeviceSettings& device);

HologramPicture encodeHologram(const ComplexField& field, double wavelength, const DeviceSettings& device,
                               double scale);

// The field the device makes of `picture`, on the hologram's grid.
ComplexField deviceField(const HologramPicture& picture, double pitch, double wavelength,
                         const DeviceSettings& device);

// What the device shows of one channel: its picture, then its field.
ComplexField shownByDevice(const ComplexField& field, double wavelength, const DeviceSettings& device,
                           double scale);

// 0 and 1 whose local mean follows `intensity` (0..1, row 0 at the top):
// each pixel's rounding error goes 7/16 right, 3/16 down-left, 5/16 down
// and 1/16 down-right.
std::vector<std::uint8_t> diffuseErrors(std::vector<double> intensity, int width, int height);

// The PNG bytes of a picture: grey at its bit depth; empty when it cannot
// be encoded.
std::vector<std::uint8_t> encodePicturePng(const HologramPicture& picture);

}  // namespace velmora
