#pragma once
// Inside the simulated chart scanner: sheets as it sees them, its QR codec and its patch finder.

#include "OrloSim.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace orlosim {

constexpr int kDpi = 300;

// Millimetre hundredths <-> pixels at 300 dpi.
inline int MmToPx(int hundredths) { return static_cast<int>((static_cast<long long>(hundredths) * kDpi * 2 + 2540) / 5080); }
inline int PxToMm(double px) { return static_cast<int>(px * 2540.0 / kDpi + (px >= 0 ? 0.5 : -0.5)); }

// The largest sheet the scanner takes, either way round: the program's largest custom page, 329 x 1500 mm.
constexpr int kLargestSheetShortPx = (32900 * kDpi * 2 + 2540) / 5080;
constexpr int kLargestSheetLongPx = (150000 * kDpi * 2 + 2540) / 5080;
inline bool FitsScanner(double widthPx, double heightPx)
{
    return widthPx >= 1 && heightPx >= 1 && std::min(widthPx, heightPx) <= kLargestSheetShortPx &&
           std::max(widthPx, heightPx) <= kLargestSheetLongPx;
}

// A sheet inside the instrument: 24-bit RGB for recognition, ink amounts (0-255 each of C, M, Y, K) for
// measuring, grey for the program.
struct SheetImage {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
    std::vector<uint8_t> ink;
    std::vector<uint8_t> grey;
    bool readable = true;
};

// False for a file that is not a sheet: undecodable, or larger than the largest sheet by its own resolution.
bool LoadSheetFile(const std::string& path, SheetImage& out);
bool RenderSheet(const OrloSimSheet& sheet, SheetImage& out);
void MakeGrey(SheetImage& sheet);

// QR codes.
int QrVersionFor(size_t textLength, int level); // 0 when no version holds it
std::string BarcodeText(const uint8_t* record);
bool ParseBarcodeText(const std::string& text, uint8_t record[ORLO_SHEET_RECORD_SIZE]);
// Square picture with a 4-module quiet zone, 8-bit grey, 0 black 255 white.
bool EncodeQr(const std::string& text, int level, int pixelsPerModule, std::vector<uint8_t>& pixels, int& side);
bool WriteGreyTiff(const std::string& path, const std::vector<uint8_t>& pixels, int width, int height);

struct QrRead {
    bool found = false;
    std::string text;
    int left = 0, top = 0, right = 0, bottom = 0; // symbol region in pixels
};
QrRead DecodeQr(const SheetImage& sheet);

// Patch finder: the layout and the measure points of the patches on the sheet (outside the QR region). Given
// regions (four corners in 0.01 mm each), it looks inside them only, pixels outside counting as paper, and
// lists the areas region by region.
void FindPatches(const SheetImage& sheet, const QrRead& qr, OrloLayoutRecord& layout,
                 std::vector<OrloMeasurePoint>& points, const int32_t (*regions)[8] = nullptr, int regionCount = 0);
// Points at the patch centres of a known layout, in area, row, column order.
void LayoutPoints(const OrloLayoutRecord& layout, std::vector<OrloMeasurePoint>& points);

} // namespace orlosim

namespace orlosim {

// Calculation options (Orlo_SetOption groups 0-3) and the registered user illuminant.
struct CalcOptions {
    int condition = 2;
    int illuminant = 2;
    int observer = 0;
    int output = 15;
    bool hasUserIlluminant = false;
    float userIlluminant[97] = {};
};

int CalculateData(const CalcOptions& options, float* out, int outCount, const float* input, int inputCount);
int DeltaE2000(float* out, const float* sampleLab, const float* standardLab);

} // namespace orlosim
