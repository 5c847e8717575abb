// Sheets entering the simulated scanner: page files from the feeder folder and sheets drawn for tests, kept at
// 300 dpi as RGB plus ink amounts, and the grey capture the program receives.

#include "orlo_internal.h"

#include "simprint.h"

#include <Magick++.h>
#include <tiffio.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

namespace orlosim {
namespace {

void InitMagick()
{
    static std::once_flag once;
    std::call_once(once, [] { Magick::InitializeMagick(nullptr); });
}

void Allocate(SheetImage& s, int w, int h)
{
    s.width = w;
    s.height = h;
    s.rgb.assign(static_cast<size_t>(w) * h * 3, 255);
    s.ink.assign(static_cast<size_t>(w) * h * 4, 0);
    s.grey.clear();
}

// Nearest-neighbour resampling to 300 dpi.
void Resample(SheetImage& s, double dpiX, double dpiY)
{
    if (dpiX <= 0)
        dpiX = kDpi;
    if (dpiY <= 0)
        dpiY = dpiX;
    if (std::fabs(dpiX - kDpi) < 0.01 && std::fabs(dpiY - kDpi) < 0.01)
        return;
    const int w = std::max(1, static_cast<int>(std::lround(s.width * kDpi / dpiX)));
    const int h = std::max(1, static_cast<int>(std::lround(s.height * kDpi / dpiY)));
    SheetImage out;
    Allocate(out, w, h);
    for (int y = 0; y < h; ++y) {
        const int sy = std::min(s.height - 1, static_cast<int>((y + 0.5) * dpiY / kDpi));
        for (int x = 0; x < w; ++x) {
            const int sx = std::min(s.width - 1, static_cast<int>((x + 0.5) * dpiX / kDpi));
            const size_t from = static_cast<size_t>(sy) * s.width + sx, to = static_cast<size_t>(y) * w + x;
            std::memcpy(&out.rgb[to * 3], &s.rgb[from * 3], 3);
            std::memcpy(&out.ink[to * 4], &s.ink[from * 4], 4);
        }
    }
    s = std::move(out);
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

// Separated pages with extra ink channels: C, M, Y, K are the first four samples, spot inks are ignored.
bool LoadSeparatedTiff(const std::string& path, SheetImage& out, bool& handled)
{
    handled = false;
    TIFFSetWarningHandler(nullptr);
    TIFF* tif = TIFFOpen(path.c_str(), "r");
    if (!tif)
        return false;
    uint16_t photometric = 0, spp = 1, bps = 8, planar = PLANARCONFIG_CONTIG;
    uint32_t w = 0, h = 0;
    TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &spp);
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bps);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
    if (photometric != PHOTOMETRIC_SEPARATED || spp <= 4) {
        TIFFClose(tif);
        return false;
    }
    handled = true;
    bool ok = bps == 8 && planar == PLANARCONFIG_CONTIG && w > 0 && h > 0 && w < 100000 && h < 100000;
    float xres = 0, yres = 0;
    uint16_t unit = RESUNIT_INCH;
    TIFFGetField(tif, TIFFTAG_XRESOLUTION, &xres);
    TIFFGetField(tif, TIFFTAG_YRESOLUTION, &yres);
    TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &unit);
    if (unit == RESUNIT_CENTIMETER) {
        xres *= 2.54f;
        yres *= 2.54f;
    }
    if (ok) {
        Allocate(out, static_cast<int>(w), static_cast<int>(h));
        std::vector<uint8_t> line(static_cast<size_t>(TIFFScanlineSize(tif)));
        for (uint32_t y = 0; y < h && ok; ++y) {
            ok = TIFFReadScanline(tif, line.data(), y, 0) == 1;
            for (uint32_t x = 0; ok && x < w; ++x)
                SetFromCmyk(out, static_cast<size_t>(y) * w + x, &line[static_cast<size_t>(x) * spp]);
        }
    }
    TIFFClose(tif);
    if (ok)
        Resample(out, xres, yres);
    return ok;
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
    bool handled = false;
    if (LoadSeparatedTiff(path, out, handled))
        return true;
    if (handled)
        return false;
    InitMagick();
    try {
        Magick::Image image;
        image.quiet(true);
        image.read(path);
        const int w = static_cast<int>(image.columns()), h = static_cast<int>(image.rows());
        if (w <= 0 || h <= 0)
            return false;
        double dx = image.xResolution(), dy = image.yResolution();
        if (image.resolutionUnits() == MagickCore::PixelsPerCentimeterResolution) {
            dx *= 2.54;
            dy *= 2.54;
        }
        Allocate(out, w, h);
        const size_t n = static_cast<size_t>(w) * h;
        if (image.colorSpace() == MagickCore::CMYKColorspace) {
            std::vector<uint8_t> cmyk(n * 4);
            image.write(0, 0, static_cast<size_t>(w), static_cast<size_t>(h), "CMYK", Magick::CharPixel, cmyk.data());
            for (size_t i = 0; i < n; ++i)
                SetFromCmyk(out, i, &cmyk[i * 4]);
        } else {
            std::vector<uint8_t> rgb(n * 3);
            image.write(0, 0, static_cast<size_t>(w), static_cast<size_t>(h), "RGB", Magick::CharPixel, rgb.data());
            for (size_t i = 0; i < n; ++i)
                SetFromRgb(out, i, &rgb[i * 3]);
        }
        Resample(out, dx, dy);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool RenderSheet(const OrloSimSheet& sheet, SheetImage& out)
{
    const int w = MmToPx(sheet.width), h = MmToPx(sheet.height);
    if (w <= 0 || h <= 0 || w > 20000 || h > 20000 || sheet.areaCount < 0 || sheet.areaCount > ORLO_MAX_AREAS ||
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
