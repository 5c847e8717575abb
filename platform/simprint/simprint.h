#pragma once
// The spectral print model shared by the simulated chart scanner and the simulated handheld: ink amounts on
// paper become a 36-point reflectance (380-730 nm, 10 nm) and the instruments' 152-value result block.

#include <cstdint>

namespace simprint {

constexpr int kBandCount = 36;      // 380..730 nm in 10 nm steps
constexpr int kBlockSize = 152;     // instrument result block
constexpr int kUvExcludedOffset = 36; // second reflectance inside the block

// Ink coverage, 0 (none) .. 1 (solid) each.
struct Inks {
    float c = 0, m = 0, y = 0, k = 0;
};

// Reflectance of the paper with the inks printed on it; uvExcluded drops the paper's brightener rise.
void Reflectance(const Inks& inks, bool uvExcluded, float out[kBandCount]);

// Values 0-35 the reflectance, 36-71 the UV-excluded reflectance, 72-151 fixed non-zero constants.
void MakeBlock(const Inks& inks, float out[kBlockSize]);

// RGB page values (0-255) read as ink: 1 - value / 255 for C, M, Y, no black.
Inks InksFromRgb(int r, int g, int b);

// The colour a print of these inks shows on screen (only for drawing simulated sheets).
void InksToRgb(const Inks& inks, uint8_t rgb[3]);

} // namespace simprint
