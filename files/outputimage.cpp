#include "files/outputimage.h"

#include "app/colourhelpers.h"
#include "app/helpers.h"
#include "app/recordhelpers.h"
#include "app/unithelpers.h"
#include "files/iodatafile.h"
#include "files/partfile.h"
#include "quiettiffhandlers.h"

#include <Magick++.h>
#include <tiffio.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <unordered_map>
#include <vector>

namespace {

using ChartDefinitionData::PatchColor;
using ChartDefinitionData::Sheet;

constexpr int kMmUnit = 0;
// The 1006 length byte counts the name and its terminating zero.
constexpr int kMaxAlphaNameBytes = 254;

int PatchCountOf(const Sheet &sheet)
{
    return sheet.Patches ? std::max(sheet.PatchCount, 0) : 0;
}

int FirstPatchFormat(const Sheet &sheet)
{
    return PatchCountOf(sheet) > 0 ? sheet.Patches[0].ColorFormat : 0;
}

struct PixelRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// Page size in pixels; false when it is below one pixel or beyond the largest custom paper.
bool PagePixels(const Sheet &sheet, int *width, int *height)
{
    *width = COutputImage::ToPixels(sheet.Width);
    *height = COutputImage::ToPixels(sheet.Height);
    return *width >= 1 && *height >= 1 && *width <= COutputImage::kMaxPageWidthPixels &&
           *height <= COutputImage::kMaxPageHeightPixels;
}

// Walks every grid position of the sheet (areas, rows, columns in order) with the first patch recorded there and
// its pixel rectangle. False at the first position without a patch.
template <typename Visit>
bool ForEachGridPatch(const Sheet &sheet, Visit visit)
{
    const int areaCount = std::clamp(sheet.AreaCount, 0, kMaxAreaCount);
    std::vector<std::unordered_map<quint64, int>> firstIndex(static_cast<size_t>(areaCount));
    const int n = PatchCountOf(sheet);
    for (int i = 0; i < n; ++i) {
        const PatchColor &patch = sheet.Patches[i];
        if (patch.Area < 0 || patch.Area >= areaCount)
            continue;
        const quint64 key = (quint64(quint32(patch.Row)) << 32) | quint32(patch.Column);
        firstIndex[static_cast<size_t>(patch.Area)].emplace(key, i);
    }
    for (int a = 0; a < areaCount; ++a) {
        const ChartDefinitionData::AreaPlacement &place = sheet.Placements[a];
        const int rows = sheet.Areas[a].RowCount;
        const int columns = sheet.Areas[a].ColumnCount;
        PixelRect rect;
        rect.width = COutputImage::ToPixels(place.PatchWidth);
        rect.height = COutputImage::ToPixels(place.PatchHeight);
        for (int r = 0; r < rows; ++r) {
            rect.y = COutputImage::ToPixels(qint64(place.LeftTopY) + qint64(r) * place.PatchHeightGap);
            for (int c = 0; c < columns; ++c) {
                const auto found =
                    firstIndex[static_cast<size_t>(a)].find((quint64(quint32(r)) << 32) | quint32(c));
                if (found == firstIndex[static_cast<size_t>(a)].end())
                    return false;
                rect.x = COutputImage::ToPixels(qint64(place.LeftTopX) + qint64(c) * place.PatchWidthGap);
                visit(sheet.Patches[found->second], rect);
            }
        }
    }
    return true;
}

// Writes one sample of depth 8 or 16 (native byte order).
inline void PutSample(unsigned char *p, quint16 value, int bytesPerSample)
{
    if (bytesPerSample == 1) {
        *p = static_cast<unsigned char>(value);
    } else {
        std::memcpy(p, &value, sizeof value);
    }
}

// Fills the part of the rectangle that lies on the page with one pixel value.
void FillRect(unsigned char *raster, int pageWidth, int pageHeight, const PixelRect &rect,
              const unsigned char *pixel, size_t pixelBytes)
{
    const qint64 x0 = std::max<qint64>(rect.x, 0);
    const qint64 y0 = std::max<qint64>(rect.y, 0);
    const qint64 x1 = std::min<qint64>(qint64(rect.x) + std::max(rect.width, 0), pageWidth);
    const qint64 y1 = std::min<qint64>(qint64(rect.y) + std::max(rect.height, 0), pageHeight);
    if (x0 >= x1 || y0 >= y1)
        return;
    const size_t rowBytes = size_t(pageWidth) * pixelBytes;
    const size_t spanBytes = size_t(x1 - x0) * pixelBytes;
    unsigned char *first = raster + size_t(y0) * rowBytes + size_t(x0) * pixelBytes;
    for (size_t off = 0; off < spanBytes; off += pixelBytes)
        std::memcpy(first + off, pixel, pixelBytes);
    for (qint64 y = y0 + 1; y < y1; ++y)
        std::memcpy(raster + size_t(y) * rowBytes + size_t(x0) * pixelBytes, first, spanBytes);
}

// Closes exactly once, also when a tile read or the raster allocation throws.
struct TiffCloser {
    void operator()(TIFF *tif) const
    {
        if (tif)
            TIFFClose(tif);
    }
};

bool HasTile(const Magick::Image &tile)
{
    return tile.columns() > 0 && tile.rows() > 0;
}

// A quantum of the image library (16 bits) as it writes it at the page's depth.
inline quint16 QuantumToDepth(MagickCore::Quantum q, int depth)
{
    if (depth == 16)
        return quint16(q);
    const unsigned int v = unsigned(q) + 128u;
    return quint16((v - (v >> 8)) >> 8);
}

// An RGB patch value as the image library took it: a fraction of 255 truncated to a quantum.
inline MagickCore::Quantum RgbQuantum(float value)
{
    using MagickCore::Quantum; // QuantumRange names it unqualified
    const double fraction = value > 0.0f ? std::min(double(value), 255.0) / 255.0 : 0.0; // NaN gives 0
    return static_cast<Quantum>(fraction * QuantumRange);
}

// Pixel rows of a page, a whole rectangle of one value each, the QR tile over them.
struct PageContent {
    int width = 0;
    int height = 0;
    size_t pixelBytes = 0;
    unsigned char paper = 0; // the byte every sample of uncovered paper holds
    struct Fill {
        qint64 x0, y0, x1, y1; // on the page, end exclusive
        unsigned char pixel[kMaxColorValueCount * 2];
    };
    std::vector<Fill> fills; // in drawing order: a later patch covers an earlier one
    std::vector<unsigned char> tile; // tile pixels in the page's sample layout
    qint64 tileLeft = 0;
    qint64 tileTop = 0;
    qint64 tileWidth = 0;
    qint64 tileHeight = 0;

    // Keeps the part of the rectangle [x0, x1) x [y0, y1) that lies on the page.
    void AddFill(qint64 x0, qint64 y0, qint64 x1, qint64 y1, const unsigned char *pixel)
    {
        Fill fill;
        fill.x0 = std::max<qint64>(x0, 0);
        fill.y0 = std::max<qint64>(y0, 0);
        fill.x1 = std::min<qint64>(x1, width);
        fill.y1 = std::min<qint64>(y1, height);
        if (fill.x0 >= fill.x1 || fill.y0 >= fill.y1)
            return;
        std::memcpy(fill.pixel, pixel, pixelBytes);
        fills.push_back(fill);
    }

    // Rows [top, top + rows) of the page into band, rows adjacent.
    void Render(unsigned char *band, qint64 top, qint64 rows) const
    {
        const size_t rowBytes = size_t(width) * pixelBytes;
        std::memset(band, paper, size_t(rows) * rowBytes);
        const qint64 bottom = top + rows;
        for (const Fill &fill : fills) {
            const qint64 y0 = std::max(fill.y0, top);
            const qint64 y1 = std::min(fill.y1, bottom);
            if (y0 >= y1)
                continue;
            const size_t spanBytes = size_t(fill.x1 - fill.x0) * pixelBytes;
            unsigned char *first = band + size_t(y0 - top) * rowBytes + size_t(fill.x0) * pixelBytes;
            if (std::all_of(fill.pixel + 1, fill.pixel + pixelBytes,
                            [&](unsigned char b) { return b == fill.pixel[0]; })) {
                std::memset(first, fill.pixel[0], spanBytes);
            } else {
                std::memcpy(first, fill.pixel, pixelBytes);
                // Doubling copies: a few calls fill even a wide span.
                for (size_t done = pixelBytes; done < spanBytes;) {
                    const size_t n = std::min(done, spanBytes - done);
                    std::memcpy(first + done, first, n);
                    done += n;
                }
            }
            for (qint64 y = y0 + 1; y < y1; ++y)
                std::memcpy(first + size_t(y - y0) * rowBytes, first, spanBytes);
        }
        if (tile.empty())
            return;
        const qint64 x0 = std::max<qint64>(tileLeft, 0);
        const qint64 x1 = std::min<qint64>(tileLeft + tileWidth, width);
        const qint64 y0 = std::max(tileTop, top);
        const qint64 y1 = std::min(tileTop + tileHeight, bottom);
        if (x0 >= x1)
            return;
        const size_t tileRowBytes = size_t(tileWidth) * pixelBytes;
        for (qint64 y = y0; y < y1; ++y)
            std::memcpy(band + size_t(y - top) * rowBytes + size_t(x0) * pixelBytes,
                        tile.data() + size_t(y - tileTop) * tileRowBytes + size_t(x0 - tileLeft) * pixelBytes,
                        size_t(x1 - x0) * pixelBytes);
    }
};

// The QR tile in the page's sample layout, placed as the page's top layer.
void PlaceTile(PageContent &page, const Magick::Image &tile, const Sheet &sheet, int depth, int format)
{
    const size_t tileWidth = tile.columns();
    const size_t tileHeight = tile.rows();
    const int bytesPerSample = depth / 8;
    page.tileLeft = COutputImage::ToPixels(sheet.BarcodeLeftTopX);
    page.tileTop = COutputImage::ToPixels(sheet.BarcodeLeftTopY);
    page.tileWidth = qint64(tileWidth);
    page.tileHeight = qint64(tileHeight);
    page.tile.assign(tileWidth * tileHeight * page.pixelBytes, 0);
    const Magick::PixelPacket *pixels = tile.getConstPixels(0, 0, tileWidth, tileHeight);
    const MagickCore::IndexPacket *black = tile.getConstIndexes();
    unsigned char *out = page.tile.data();
    if (format == ChartDefinitionData::FormatRGB || format == ChartDefinitionData::FormatCMYK) {
        // The tile was made in the page's colour space; its samples go over the page as they are.
        const bool cmyk = format == ChartDefinitionData::FormatCMYK && black;
        for (size_t i = 0; i < tileWidth * tileHeight; ++i, out += page.pixelBytes) {
            const Magick::PixelPacket &p = pixels[i];
            PutSample(out, QuantumToDepth(p.red, depth), bytesPerSample);
            PutSample(out + bytesPerSample, QuantumToDepth(p.green, depth), bytesPerSample);
            PutSample(out + 2 * bytesPerSample, QuantumToDepth(p.blue, depth), bytesPerSample);
            if (format == ChartDefinitionData::FormatCMYK)
                PutSample(out + 3 * bytesPerSample, cmyk ? QuantumToDepth(black[i], depth) : 0, bytesPerSample);
        }
        return;
    }
    using MagickCore::Quantum; // QuantumRange names it unqualified
    const double scale = 255.0 / double(QuantumRange);
    unsigned char sample[kMaxColorValueCount * 2] = {};
    float lastRgb[3] = {-1.0f, -1.0f, -1.0f};
    for (size_t i = 0; i < tileWidth * tileHeight; ++i, out += page.pixelBytes) {
        const Magick::PixelPacket &p = pixels[i];
        const float rgb[3] = {float(double(p.red) * scale), float(double(p.green) * scale),
                              float(double(p.blue) * scale)};
        if (std::memcmp(rgb, lastRgb, sizeof rgb) != 0) { // the tile has few colours
            float cmykInk[4];
            RgbToCmyk(cmykInk, rgb);
            std::memset(sample, 0, sizeof sample); // spot inks stay off under the code
            for (int k = 0; k < 4; ++k)
                PutSample(sample + k * bytesPerSample, COutputImage::InkSample(cmykInk[k], depth), bytesPerSample);
            std::memcpy(lastRgb, rgb, sizeof rgb);
        }
        std::memcpy(out, sample, page.pixelBytes);
    }
}

// The image library's strips for an uncompressed page: a multiple of 16 rows near 1 MiB, or the whole page.
uint32_t MagickRowsPerStrip(size_t rowBytes, int height)
{
    const size_t rows = ((size_t(1) << 20) / rowBytes + 1) / 16 * 16;
    return uint32_t(std::clamp<size_t>(rows, 1, size_t(height)));
}

void AppendU16(QByteArray &out, quint16 value)
{
    out.append(char(value >> 8));
    out.append(char(value & 0xff));
}

void AppendU32(QByteArray &out, quint32 value)
{
    AppendU16(out, quint16(value >> 16));
    AppendU16(out, quint16(value & 0xffff));
}

void AppendResource(QByteArray &out, quint16 id, const QByteArray &data)
{
    out.append("8BIM", 4);
    AppendU16(out, id);
    AppendU16(out, 0); // empty name, padded to even
    AppendU32(out, quint32(data.size()));
    out.append(data);
    if (data.size() % 2 != 0)
        out.append('\0');
}

// The name in the local 8-bit encoding, cut at a character boundary to what one length byte can count.
QByteArray AlphaNameBytes(QString name)
{
    if (name.size() > kMaxAlphaNameBytes)
        name.truncate(name.at(kMaxAlphaNameBytes - 1).isHighSurrogate() ? kMaxAlphaNameBytes - 1 : kMaxAlphaNameBytes);
    QByteArray bytes = name.toLocal8Bit();
    while (bytes.size() > kMaxAlphaNameBytes) {
        const int n = name.size();
        name.chop(n >= 2 && name.at(n - 1).isLowSurrogate() && name.at(n - 2).isHighSurrogate() ? 2 : 1);
        bytes = name.toLocal8Bit();
    }
    return bytes;
}

quint16 ClampedShort(int value)
{
    return quint16(qint16(std::clamp(value, int(SHRT_MIN), int(SHRT_MAX))));
}

} // namespace

COutputImage::COutputImage(CIODataFileHost *host) : m_host(host) {}

COutputImage::~COutputImage() = default;

int COutputImage::ToPixels(qint64 value)
{
    const int v = int(std::clamp<qint64>(value, INT_MIN, INT_MAX));
    return int(std::trunc(UnitFixedToPixels(kMmUnit, v, kDpi)));
}

quint16 COutputImage::InkSample(float percent, int depth)
{
    const double full = depth == 16 ? 65535.0 : 255.0;
    if (!(percent > 0.0f))
        return 0; // also NaN
    if (percent >= 100.0f)
        return quint16(full);
    return quint16(std::trunc(double(percent) / 100.0 * full));
}

QString COutputImage::PageFileName(const QString &path, int page)
{
    const QString suffix = QStringLiteral("_%1").arg(page + 1, 3, 10, QLatin1Char('0'));
    const QString name = QFileInfo(path).fileName();
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot < 0)
        return path + suffix;
    const int at = path.size() - name.size() + dot;
    return path.left(at) + suffix + path.mid(at);
}

int COutputImage::PageColorFormat(const ChartDefinitionDataSheets &chart, int page)
{
    if (!chart.Sheets || page < 0 || page >= chart.SheetCount)
        return 0;
    if (PatchCountOf(chart.Sheets[page]) > 0)
        return chart.Sheets[page].Patches[0].ColorFormat;
    for (int i = 0; i < chart.SheetCount; ++i) {
        if (PatchCountOf(chart.Sheets[i]) > 0)
            return chart.Sheets[i].Patches[0].ColorFormat;
    }
    return 0;
}

int COutputImage::Output(const QString &path, const ChartDefinitionDataSheets *chart, int depthChoice)
{
    const int depth = depthChoice == 0 ? 8 : 16;
    if (!chart || chart->SheetCount <= 0 || !chart->Sheets || PageColorFormat(*chart, 0) == 0)
        return WriteFailed;
    try {
        for (int i = 0; i < chart->SheetCount; ++i) {
            int width = 0;
            int height = 0;
            if (!PagePixels(chart->Sheets[i], &width, &height))
                return WriteFailed; // before the tile or a raster is made
            Magick::Image tile;
            const int tileResult = MakeBarcodeTile(tile, chart, i, depth);
            if (tileResult != 0)
                return tileResult;
            const QString fileName = PageFileName(path, i);
            const Sheet *sheet = &chart->Sheets[i];
            const int format = PageColorFormat(*chart, i);
            const int written = WritePage(fileName, sheet, tile, depth, format);
            if (written != Success)
                return written;
        }
    } catch (const Magick::Exception &) {
        return ImageLibraryFailed;
    } catch (const std::bad_alloc &) {
        return ImageLibraryFailed;
    }
    return Success;
}

int COutputImage::MakeBarcodeTile(Magick::Image &tile, const ChartDefinitionDataSheets *chart, int page, int depth)
{
    tile = Magick::Image();
    if (!chart || chart->Barcode != 1)
        return Success;
    if (!m_host || !chart->Sheets || page < 0 || page >= chart->SheetCount)
        return WriteFailed;

    SheetInfoRecord record;
    FillSheetInfoRecord(&record, *chart, page);
    const QString picturePath = BarcodeImagePath();
    const int created = m_host->CreateBarcodeImage(picturePath, &record);
    if (created != 0)
        return created;

    const int codeSide = m_host->GetBarcodeSize(record);
    const int inset = PixelsToUnitFixed(kMmUnit, m_host->GetBarcodeInsetPixels(), kDpi);
    const int margin = std::max(ToPixels(1000 - qint64(inset)), 0);
    Magick::Image code;
    code.quiet(true);
    code.read("TIFF:" + QFile::encodeName(picturePath).toStdString());
    // The tile is sized for the code the table promises; a larger picture would be cut and unreadable.
    if (codeSide <= 0 || codeSide > kMaxPageHeightPixels || code.columns() > size_t(codeSide) ||
        code.rows() > size_t(codeSide))
        return WriteFailed;

    const size_t side = size_t(codeSide) + 2 * size_t(margin);
    Magick::Image made(Magick::Geometry(side, side), Magick::ColorRGB(1.0, 1.0, 1.0));
    made.quiet(true);
    const int format = PageColorFormat(*chart, page);
    if (format == ChartDefinitionData::FormatRGB || format == ChartDefinitionData::FormatCMYK) {
        const MagickCore::ColorspaceType space =
            format == ChartDefinitionData::FormatRGB ? MagickCore::sRGBColorspace : MagickCore::CMYKColorspace;
        for (Magick::Image *image : {&made, &code}) {
            image->depth(static_cast<size_t>(depth));
            image->colorSpace(space);
        }
    }
    const ssize_t offset = ssize_t((side - code.columns()) / 2);
    made.composite(code, offset, offset, MagickCore::OverCompositeOp);
    tile = made;
    return Success;
}

bool COutputImage::WriteRgbPage(const QString &fileName, const Sheet *sheet, const Magick::Image &tile, int depth)
{
    return WritePage(fileName, sheet, tile, depth, ChartDefinitionData::FormatRGB) == Success;
}

bool COutputImage::WriteCmykPage(const QString &fileName, const Sheet *sheet, const Magick::Image &tile, int depth)
{
    return WritePage(fileName, sheet, tile, depth, ChartDefinitionData::FormatCMYK) == Success;
}

COutputImage::InkRaster COutputImage::MakeInkRaster(const Sheet *sheet, int depth, int colorFormat) const
{
    int width = 0;
    int height = 0;
    if (!sheet || (depth != 8 && depth != 16) || !PagePixels(*sheet, &width, &height))
        return nullptr;
    const int format = colorFormat != 0 ? colorFormat : FirstPatchFormat(*sheet);
    if (format < ChartDefinitionData::FormatCMYK || format > ChartDefinitionData::Format8Color)
        return nullptr;
    const int channels = format + 2;
    const int bytesPerSample = depth / 8;
    const size_t pixelBytes = size_t(channels) * size_t(bytesPerSample);
    InkRaster raster(static_cast<unsigned char *>(std::calloc(size_t(width) * size_t(height), pixelBytes)));
    if (!raster)
        throw std::bad_alloc();

    unsigned char pixel[kMaxColorValueCount * 2];
    const bool complete = ForEachGridPatch(*sheet, [&](const PatchColor &patch, const PixelRect &rect) {
        for (int k = 0; k < channels; ++k)
            PutSample(pixel + k * bytesPerSample, InkSample(patch.ColorValue[k], depth), bytesPerSample);
        FillRect(raster.get(), width, height, rect, pixel, pixelBytes);
    });
    if (!complete)
        return nullptr;
    return raster;
}

QByteArray COutputImage::MakeSpotChannelResources(const Sheet *sheet, int colorFormat) const
{
    const int format = colorFormat != 0 ? colorFormat : (sheet ? FirstPatchFormat(*sheet) : 0);
    const int channels = std::clamp(format + 2, 4, kMaxColorValueCount);
    const Setting::UserEnvironment *environment = m_host ? m_host->GetUserEnvironment() : nullptr;
    const InkChannelList inks = environment ? environment->Inks : Setting::UserEnvironment().Inks;

    QByteArray names;
    QByteArray unicodeNames;
    QByteArray display;
    for (int k = 4; k < channels; ++k) {
        const InkChannel ink = inks.value(k); // a missing entry: empty name, L*a*b* 0
        const QByteArray local = AlphaNameBytes(ink.name);
        names.append(char(local.size() + 1));
        names.append(local);
        names.append('\0');

        AppendU32(unicodeNames, quint32(ink.name.size() + 1));
        for (QChar unit : ink.name)
            AppendU16(unicodeNames, unit.unicode());
        AppendU16(unicodeNames, 0);

        AppendU16(display, 7); // Lab
        AppendU16(display, ClampedShort(ink.L));
        AppendU16(display, ClampedShort(ink.a));
        AppendU16(display, ClampedShort(ink.b));
        AppendU16(display, 0);
        AppendU16(display, 0); // opacity
        display.append(char(2)); // spot colour
        display.append('\0');
    }
    QByteArray block;
    AppendResource(block, 0x03EE, names);
    AppendResource(block, 0x0415, unicodeNames);
    AppendResource(block, 0x03EF, display);
    return block;
}

bool COutputImage::WriteSeparatedPage(const QString &fileName, const Sheet *sheet, const Magick::Image &tile,
                                      int depth, int colorFormat)
{
    const int format = colorFormat != 0 ? colorFormat : (sheet ? FirstPatchFormat(*sheet) : 0);
    if (format < ChartDefinitionData::Format5Color || format > ChartDefinitionData::Format8Color)
        return false;
    return WritePage(fileName, sheet, tile, depth, format) == Success;
}

int COutputImage::WritePage(const QString &fileName, const Sheet *sheet, const Magick::Image &tile, int depth,
                            int format)
{
    PageContent page;
    if (!sheet || (depth != 8 && depth != 16) || !PagePixels(*sheet, &page.width, &page.height))
        return WriteFailed;
    const bool rgb = format == ChartDefinitionData::FormatRGB;
    const bool cmyk = format == ChartDefinitionData::FormatCMYK;
    if (!rgb && !cmyk && (format < ChartDefinitionData::Format5Color || format > ChartDefinitionData::Format8Color))
        return WriteFailed;
    // RGB and CMYK pages keep the result of the image library that wrote them before: a file that cannot be
    // opened or written is its failure.
    const int fileFailed = rgb || cmyk ? ImageLibraryFailed : WriteFailed;
    const int channels = rgb ? 3 : format + 2;
    const int bytesPerSample = depth / 8;
    page.pixelBytes = size_t(channels) * size_t(bytesPerSample);
    page.paper = rgb ? 0xff : 0; // white paper, or no ink

    unsigned char pixel[kMaxColorValueCount * 2];
    const bool complete = ForEachGridPatch(*sheet, [&](const PatchColor &patch, const PixelRect &rect) {
        if (rgb) {
            for (int k = 0; k < 3; ++k)
                PutSample(pixel + k * bytesPerSample, QuantumToDepth(RgbQuantum(patch.ColorValue[k]), depth),
                          bytesPerSample);
            // Drawn as a rectangle with both corners on it, whichever way the size points.
            const qint64 x0 = rect.x;
            const qint64 x1 = qint64(rect.x) + rect.width;
            const qint64 y0 = rect.y;
            const qint64 y1 = qint64(rect.y) + rect.height;
            page.AddFill(std::min(x0, x1), std::min(y0, y1), std::max(x0, x1) + 1, std::max(y0, y1) + 1, pixel);
        } else {
            for (int k = 0; k < channels; ++k)
                PutSample(pixel + k * bytesPerSample, InkSample(patch.ColorValue[k], depth), bytesPerSample);
            page.AddFill(rect.x, rect.y, qint64(rect.x) + std::max(rect.width, 0),
                         qint64(rect.y) + std::max(rect.height, 0), pixel);
        }
    });
    if (!complete)
        return WriteFailed;
    if (HasTile(tile))
        PlaceTile(page, tile, *sheet, depth, format);

    PartFile file(fileName);
    if (!file.Reserve())
        return fileFailed;
    const QuietTiffHandlers quiet; // outlives the handle: closing flushes and may report too
    std::unique_ptr<TIFF, TiffCloser> owner(TIFFOpen(file.TempPath().constData(), "w"));
    TIFF *tif = owner.get();
    if (!tif)
        return fileFailed;

    const size_t rowBytes = size_t(page.width) * page.pixelBytes;
    const uint32_t rowsPerStrip = rgb || cmyk ? MagickRowsPerStrip(rowBytes, page.height) : 1;
    bool ok = TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(page.width)) &&
              TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(page.height)) &&
              TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, uint16_t(depth)) &&
              TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, uint16_t(channels)) &&
              TIFFSetField(tif, TIFFTAG_COMPRESSION, uint16_t(COMPRESSION_NONE)) &&
              TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, uint16_t(rgb ? PHOTOMETRIC_RGB : PHOTOMETRIC_SEPARATED)) &&
              TIFFSetField(tif, TIFFTAG_FILLORDER, uint16_t(FILLORDER_MSB2LSB)) &&
              TIFFSetField(tif, TIFFTAG_PLANARCONFIG, uint16_t(PLANARCONFIG_CONTIG)) &&
              TIFFSetField(tif, TIFFTAG_ORIENTATION, uint16_t(ORIENTATION_TOPLEFT)) &&
              TIFFSetField(tif, TIFFTAG_XRESOLUTION, double(kDpi)) &&
              TIFFSetField(tif, TIFFTAG_YRESOLUTION, double(kDpi)) &&
              TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, uint16_t(RESUNIT_INCH));
    if (ok && (rgb || cmyk)) {
        // What the image library adds to every page: page 1 of 1 and the sRGB chromaticities. libtiff writes
        // these values in the order they were set.
        float primaries[6] = {0.64f, 0.33f, 0.3f, 0.6f, 0.15f, 0.06f};
        float whitePoint[2] = {0.3127f, 0.329f};
        ok = TIFFSetField(tif, TIFFTAG_PAGENUMBER, uint16_t(0), uint16_t(1)) &&
             TIFFSetField(tif, TIFFTAG_PRIMARYCHROMATICITIES, primaries) &&
             TIFFSetField(tif, TIFFTAG_WHITEPOINT, whitePoint) &&
             (rgb || TIFFSetField(tif, TIFFTAG_INKSET, uint16_t(INKSET_CMYK)));
    } else if (ok) {
        const QByteArray resources = MakeSpotChannelResources(sheet, format);
        const std::vector<uint16_t> extra(size_t(channels - 4), 0);
        ok = TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, uint16_t(extra.size()), extra.data()) &&
             TIFFSetField(tif, TIFFTAG_PHOTOSHOP, uint32_t(resources.size()), resources.constData());
    }
    ok = ok && TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, rowsPerStrip);

    if (ok) {
        // Bands of whole strips near 1 MiB, one buffer for every page of the chart.
        const size_t stripBytes = size_t(rowsPerStrip) * rowBytes;
        const size_t stripsPerBand = std::max<size_t>(1, (size_t(1) << 20) / stripBytes);
        const qint64 bandRows = std::min<qint64>(qint64(stripsPerBand) * rowsPerStrip, page.height);
        if (m_band.size() < size_t(bandRows) * rowBytes)
            m_band.resize(size_t(bandRows) * rowBytes);
        uint32_t strip = 0;
        for (qint64 top = 0; top < page.height && ok; top += bandRows) {
            const qint64 rows = std::min<qint64>(bandRows, page.height - top);
            page.Render(m_band.data(), top, rows);
            for (qint64 y = 0; y < rows && ok; y += rowsPerStrip) {
                const tmsize_t bytes = tmsize_t(size_t(std::min<qint64>(rowsPerStrip, rows - y)) * rowBytes);
                ok = TIFFWriteRawStrip(tif, strip++, m_band.data() + size_t(y) * rowBytes, bytes) == bytes;
            }
        }
        ok = ok && TIFFFlush(tif) == 1;
    }
    owner.reset();
    if (!ok)
        return fileFailed;
    return file.Commit() ? Success : WriteFailed;
}

void COutputImage::InitializeImageLibrary(const char *programPath)
{
    QString program = QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
    if (program.isEmpty() && programPath)
        program = QFile::decodeName(programPath);
    const QString coders = QFileInfo(program).absolutePath() + QStringLiteral("/imcoders");
    // Only a folder shipped beside the program may replace the system's coders.
    if (!program.isEmpty() && QFileInfo(coders).isDir())
        qputenv("MAGICK_CODER_MODULE_PATH", QFile::encodeName(coders));
    Magick::InitializeMagick(programPath);
}

int CIODataFile::OutputChartImage(const QString &path, const ChartDefinitionDataSheets *chart)
{
    const Setting::UserEnvironment *environment = m_host ? m_host->GetUserEnvironment() : nullptr;
    COutputImage output(m_host);
    return output.Output(path, chart, environment ? environment->BitDepth : Setting::UserEnvironment().BitDepth);
}
