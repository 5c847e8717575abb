// Constant tables of the colour library; the definitions are generated (generated/*.cpp).
#pragma once

#include "vexcolor.h"
#include "generated/isotemperature.h"

namespace vexcolor {

constexpr int kPoints = 421;             // 360-780 nm at 1 nm
constexpr int kPoints5 = 81;             // 380-780 nm at 5 nm
constexpr int kLocusRows = 69;           // 380-720 nm at 5 nm
constexpr int kWeightPoints = 43;        // 360-780 nm at 10 nm
constexpr int kReflectancePoints = 36;   // 380-730 nm at 10 nm
constexpr int kIlluminantSlots = 26;
constexpr int kWeightTableCount = 16;    // ids 0-14 and 160
constexpr int kDensityVectors = 18;
constexpr int kVisualVector = 15;

struct ColourMatching {
    double f[3][kPoints];                // x-bar, y-bar, z-bar
};

struct LocusPoint {
    std::int32_t x;
    std::int32_t y;
};

struct ObserverWeights {
    double w[3][kWeightPoints];
    double white[3];
};

struct WeightTable {
    std::int32_t id;
    ObserverWeights observer[2];
};

extern const ColourMatching kCmf[2];
extern const double kScotopic[kPoints];
extern const LocusPoint kLocus[2][kLocusRows];
extern const double kTestSamples[15][kPoints5];
extern const double kDaylight[3][kPoints5];
extern const CalIlluminantSlot kIlluminantTable[kIlluminantSlots];
extern const WeightTable kWeightTables[kWeightTableCount];
// [status * 3 + channel] for status 0-4 and channels cyan, magenta, yellow; then visual and two spare.
extern const float kDensityWeights[kDensityVectors][kReflectancePoints];

}  // namespace vexcolor
