// Sheets entering the simulated scanner: page files from the feeder folder and sheets drawn for tests, kept at
// 300 dpi as RGB plus ink amounts, and the grey capture the program receives.

#include "orlo_internal.h"

#include "quiettiffhandlers.h"
#include "simprint.h"

#include <Magick++.h>
#include <tiffio.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <mutex>

namespace orlosim {
namespace {

void InitMagick()
{
    static std::once_flag once;
    std::call_once(once, [] { Magick::InitializeMagick(nullptr); });
}

// The image library decodes a whole file before a row can be read: no file may have more pixels than the largest
// sheet holds at 300 dpi.
constexpr double kMaxSourcePixels = double(kLargestSheetShortPx) * kLargestSheetLongPx;

void Allocate(SheetImage& s, int w, int h)
{
    s.width = w;
    s.height = h;
    s.rgb.assign(static_cast<size_t>(w) * h * 3, 255);
    s.ink.assign(static_cast<size_t>(w) * h * 4, 0);
    s.grey.clear();
}

void SetFromCmyk(SheetImage& s, size_t i, const uint8_t cmyk[4])
{
    std::memcpy(&s.ink[i * 4], cmyk, 4);
    const simprint::Inks inks{cmyk[0] / 255.0f, cmyk[1] / 255.0f, cmyk[2] / 255.0f, cmyk[3] / 255.0f};
    simprint::InksToRgb(inks, &s.rgb[i * 3]);
}

void SetFromRgb(SheetImage& s, size_t i, const uint8_t rgb[3])
{
    std::memcpy(&s.rgb[i * 3], rgb, 3);
    for (int c = 0; c < 3; ++c)
        s.ink[i * 4 + c] = static_cast<uint8_t>(255 - rgb[c]);
    s.ink[i * 4 + 3] = 0;
}

// A page file's pixels and resolution (dots per inch; unset means 300) and its size once taken in at 300 dpi.
struct SourceSize {
    int width = 0, height = 0;
    double dpiX = kDpi, dpiY = kDpi;
    int sheetWidth = 0, sheetHeight = 0;
};

// The physical size comes from the file's resolution; a file that is no sheet the scanner takes is refused
// before anything of its size is allocated.
bool MeasureSource(double width, double height, double dpiX, double dpiY, bool centimetres, SourceSize& out)
{
    if (!(width >= 1 && height >= 1) || width * height > kMaxSourcePixels)
        return false;
    if (centimetres) {
        dpiX *= 2.54;
        dpiY *= 2.54;
    }
    if (!(dpiX > 0) || !std::isfinite(dpiX))
        dpiX = kDpi;
    if (!(dpiY > 0) || !std::isfinite(dpiY))
        dpiY = dpiX;
    const double w = std::max(1.0, std::round(width * kDpi / dpiX)), h = std::max(1.0, std::round(height * kDpi / dpiY));
    if (!FitsScanner(w, h))
        return false;
    out = {static_cast<int>(width), static_cast<int>(height), dpiX, dpiY, static_cast<int>(w), static_cast<int>(h)};
    return true;
}

// Takes the source in at 300 dpi by nearest neighbour. readRow (row) gives the source row's pixels, `stride`
// bytes each, C, M, Y, K first or R, G, B; rows are asked for in order, each once; null fails the sheet.
template <typename ReadRow>
bool TakeIn(const SourceSize& src, int stride, bool cmyk, SheetImage& out, ReadRow readRow)
{
    const int w = src.sheetWidth, h = src.sheetHeight;
    Allocate(out, w, h);
    std::vector<size_t> from(static_cast<size_t>(w));
    for (int x = 0; x < w; ++x)
        from[x] = static_cast<size_t>(std::min(src.width - 1, static_cast<int>((x + 0.5) * src.dpiX / kDpi))) * stride;
    int last = -1;
    for (int y = 0; y < h; ++y) {
        const int sy = std::min(src.height - 1, static_cast<int>((y + 0.5) * src.dpiY / kDpi));
        const size_t at = static_cast<size_t>(y) * w;
        if (sy == last) { // enlarged: the row above again
            std::memcpy(&out.rgb[at * 3], &out.rgb[(at - w) * 3], static_cast<size_t>(w) * 3);
            std::memcpy(&out.ink[at * 4], &out.ink[(at - w) * 4], static_cast<size_t>(w) * 4);
            continue;
        }
        const uint8_t* row = readRow(sy);
        if (!row)
            return false;
        last = sy;
        for (int x = 0; x < w; ++x) {
            if (cmyk)
                SetFromCmyk(out, at + x, row + from[x]);
            else
                SetFromRgb(out, at + x, row + from[x]);
        }
    }
    return true;
}

enum class TiffRead { NotSeparated, Refused, Loaded };

// Separated pages with extra ink channels: C, M, Y, K are the first four samples, spot inks are ignored.
TiffRead LoadSeparatedTiff(const std::string& path, SheetImage& out)
{
    const QuietTiffHandlers quiet; // a PNG or a damaged file makes libtiff report
    const std::unique_ptr<TIFF, void (*)(TIFF*)> tif(TIFFOpen(path.c_str(), "r"), [](TIFF* t) {
        if (t)
            TIFFClose(t);
    });
    if (!tif)
        return TiffRead::NotSeparated; // the image library decides
    uint16_t photometric = 0, spp = 1, bps = 8, planar = PLANARCONFIG_CONTIG, unit = RESUNIT_INCH;
    uint32_t w = 0, h = 0;
    float xres = 0, yres = 0;
    TIFFGetField(tif.get(), TIFFTAG_PHOTOMETRIC, &photometric);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_SAMPLESPERPIXEL, &spp);
    if (photometric != PHOTOMETRIC_SEPARATED || spp <= 4)
        return TiffRead::NotSeparated;
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_BITSPERSAMPLE, &bps);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &h);
    TIFFGetField(tif.get(), TIFFTAG_XRESOLUTION, &xres);
    TIFFGetField(tif.get(), TIFFTAG_YRESOLUTION, &yres);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_RESOLUTIONUNIT, &unit);
    SourceSize src;
    const tmsize_t bytesPerSample = bps / 8;
    if ((bps != 8 && bps != 16) || planar != PLANARCONFIG_CONTIG ||
        !MeasureSource(w, h, xres, yres, unit == RESUNIT_CENTIMETER, src) ||
        TIFFScanlineSize(tif.get()) < static_cast<tmsize_t>(w) * spp * bytesPerSample)
        return TiffRead::Refused;
    std::vector<uint8_t> line(static_cast<size_t>(TIFFScanlineSize(tif.get())));
    // 16-bit samples (the chart writer's default depth) come to 8 bits, rounded.
    std::vector<uint8_t> narrowed(bps == 16 ? static_cast<size_t>(w) * spp : 0);
    uint32_t next = 0;
    const bool ok = TakeIn(src, spp, true, out, [&](int sy) -> const uint8_t* {
        for (; next <= static_cast<uint32_t>(sy); ++next) // strips read in order, also the rows left out
            if (TIFFReadScanline(tif.get(), line.data(), next, 0) != 1)
                return nullptr;
        if (bps == 8)
            return line.data();
        const auto* wide = reinterpret_cast<const uint16_t*>(line.data());
        for (size_t i = 0; i < narrowed.size(); ++i)
            narrowed[i] = static_cast<uint8_t>((wide[i] + 128u) / 257u);
        return narrowed.data();
    });
    return ok ? TiffRead::Loaded : TiffRead::Refused;
}

bool LoadWithMagick(const std::string& path, SheetImage& out)
{
    InitMagick();
    Magick::Image image;
    image.quiet(true);
    const auto measure = [&image](SourceSize& src) {
        return MeasureSource(static_cast<double>(image.columns()), static_cast<double>(image.rows()),
                             image.xResolution(), image.yResolution(),
                             image.resolutionUnits() == MagickCore::PixelsPerCentimeterResolution, src);
    };
    SourceSize src;
    image.ping(path); // size and resolution without decoding
    if (!measure(src))
        return false;
    image.read(path);
    if (!measure(src))
        return false;
    const bool cmyk = image.colorSpace() == MagickCore::CMYKColorspace;
    const int stride = cmyk ? 4 : 3;
    std::vector<uint8_t> row(static_cast<size_t>(src.width) * stride);
    return TakeIn(src, stride, cmyk, out, [&](int sy) -> const uint8_t* {
        image.write(0, sy, static_cast<size_t>(src.width), 1, cmyk ? "CMYK" : "RGB", Magick::CharPixel, row.data());
        return row.data();
    });
}

} // namespace

void MakeGrey(SheetImage& s)
{
    const size_t n = static_cast<size_t>(s.width) * s.height;
    s.grey.resize(n);
    for (size_t i = 0; i < n; ++i) {
        const uint8_t* p = &s.rgb[i * 3];
        s.grey[i] = static_cast<uint8_t>((299 * p[0] + 587 * p[1] + 114 * p[2] + 500) / 1000);
    }
}

bool LoadSheetFile(const std::string& path, SheetImage& out)
{
    // Runs on the scanner's own thread: whatever a file does to the decoders ends here as an unreadable sheet.
    try {
        switch (LoadSeparatedTiff(path, out)) {
        case TiffRead::Loaded:
            return true;
        case TiffRead::Refused:
            return false;
        case TiffRead::NotSeparated:
            break;
        }
        return LoadWithMagick(path, out);
    } catch (...) {
        return false;
    }
}

bool RenderSheet(const OrloSimSheet& sheet, SheetImage& out)
{
    const int w = MmToPx(sheet.width), h = MmToPx(sheet.height);
    if (!FitsScanner(w, h) || sheet.areaCount < 0 || sheet.areaCount > ORLO_MAX_AREAS ||
        (sheet.areaCount > 0 && !sheet.areas))
        return false;
    Allocate(out, w, h);
    int patch = 0;
    for (int a = 0; a < sheet.areaCount; ++a) {
        const OrloSimArea& area = sheet.areas[a];
        for (int r = 0; r < area.rows; ++r) {
            for (int c = 0; c < area.columns; ++c, ++patch) {
                uint8_t cmyk[4] = {255, 255, 255, 255};
                if (sheet.inks) {
                    for (int i = 0; i < 4; ++i)
                        cmyk[i] = static_cast<uint8_t>(std::lround(std::clamp(sheet.inks[patch * 4 + i], 0.0f, 1.0f) * 255));
                }
                const int left = area.left + c * area.pitchX, top = area.top + r * area.pitchY;
                const int x0 = std::max(0, MmToPx(left)), x1 = std::min(w, MmToPx(left + area.patchWidth));
                const int y0 = std::max(0, MmToPx(top)), y1 = std::min(h, MmToPx(top + area.patchHeight));
                for (int y = y0; y < y1; ++y)
                    for (int x = x0; x < x1; ++x)
                        SetFromCmyk(out, static_cast<size_t>(y) * w + x, cmyk);
            }
        }
    }
    if (sheet.sheetRecord) {
        std::vector<uint8_t> qr;
        int side = 0;
        if (!EncodeQr(BarcodeText(sheet.sheetRecord), 1, 7, qr, side))
            return false;
        const int qx = MmToPx(sheet.qrLeft), qy = MmToPx(sheet.qrTop);
        const uint8_t black[4] = {0, 0, 0, 255}, white[4] = {0, 0, 0, 0};
        for (int y = 0; y < side; ++y) {
            for (int x = 0; x < side; ++x) {
                const int px = qx + x, py = qy + y;
                if (px >= 0 && px < w && py >= 0 && py < h)
                    SetFromCmyk(out, static_cast<size_t>(py) * w + px, qr[static_cast<size_t>(y) * side + x] ? white : black);
            }
        }
    }
    if (sheet.rotate90) {
        SheetImage turned;
        Allocate(turned, h, w);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                // Clockwise: (x, y) goes to (h - 1 - y, x).
                const size_t from = static_cast<size_t>(y) * w + x;
                const size_t to = static_cast<size_t>(x) * h + (h - 1 - y);
                std::memcpy(&turned.rgb[to * 3], &out.rgb[from * 3], 3);
                std::memcpy(&turned.ink[to * 4], &out.ink[from * 4], 4);
            }
        }
        out = std::move(turned);
    }
    return true;
}

} // namespace orlosim
