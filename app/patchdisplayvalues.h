#pragma once
// The values of one selected patch that a window collects through the model and hands to the patch value tree
// and the spectral chart: its place, its defined colour, one value set per displayed measurement condition and
// the same-colour averages.

constexpr int kPatchValueSetSize = 49;       // 4 densities, L*a*b*, L*C*h, XYZ, 36 reflectances 380-730 nm
constexpr int kPatchValueSpectralFirst = 13; // index of the 380 nm reflectance
constexpr int kPatchValueSpectralCount = 36;
constexpr int kDisplayConditionCount = 20;   // one set per value column

struct PatchDisplayValues {
    int ID;
    int PageNumber; // sheet index + 1
    int Area;
    int Row;
    int Column;
    int ColorFormat;
    bool Averaged; // the averages cover more than one measured patch
    float ColorValue[8];
    float Values[kDisplayConditionCount][kPatchValueSetSize];
    float Averages[kDisplayConditionCount][kPatchValueSetSize];
};
