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
#include <list>
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

void SetPageProperties(Magick::Image &image, int depth)
{
    image.magick("TIFF");
    image.depth(static_cast<size_t>(depth));
    image.resolutionUnits(Magick::PixelsPerInchResolution);
    image.density(Magick::Geometry(COutputImage::kDpi, COutputImage::kDpi));
}

// Writes the finished image through a temporary file, so a failing write never leaves a partial TIFF and an
// older page of that name survives; Magick++ reports failures by throwing.
bool WriteMagickPage(Magick::Image &image, const QString &fileName)
{
    PartFile file(fileName);
    if (!file.Reserve())
        throw Magick::ErrorFileOpen("unable to open image " + QFile::encodeName(fileName).toStdString());
    image.write("TIFF:" + file.TempPath().toStdString());
    return file.Commit();
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
            bool written = false;
            if (format == ChartDefinitionData::FormatRGB)
                written = WriteRgbPage(fileName, sheet, tile, depth);
            else if (format == ChartDefinitionData::FormatCMYK)
                written = WriteCmykPage(fileName, sheet, tile, depth);
            else
                written = WriteSeparatedPage(fileName, sheet, tile, depth, format);
            if (!written)
                return WriteFailed;
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
    int width = 0;
    int height = 0;
    if (!sheet || !PagePixels(*sheet, &width, &height))
        return false;

    std::list<Magick::Drawable> drawing;
    drawing.push_back(Magick::DrawableStrokeColor(Magick::Color("none")));
    drawing.push_back(Magick::DrawableStrokeWidth(0));
    drawing.push_back(Magick::DrawableStrokeAntialias(false));
    const auto fraction = [](float value) {
        return value > 0.0f ? std::min(double(value), 255.0) / 255.0 : 0.0; // NaN gives 0
    };
    const bool complete = ForEachGridPatch(*sheet, [&](const PatchColor &patch, const PixelRect &rect) {
        drawing.push_back(Magick::DrawableFillColor(Magick::ColorRGB(
            fraction(patch.ColorValue[0]), fraction(patch.ColorValue[1]), fraction(patch.ColorValue[2]))));
        drawing.push_back(Magick::DrawableRectangle(rect.x, rect.y, double(rect.x) + rect.width,
                                                    double(rect.y) + rect.height));
    });
    if (!complete)
        return false;

    Magick::Image image(Magick::Geometry(size_t(width), size_t(height)), Magick::ColorRGB(1.0, 1.0, 1.0));
    image.quiet(true);
    SetPageProperties(image, depth);
    image.colorSpace(MagickCore::sRGBColorspace);
    image.antiAlias(false);
    image.strokeAntiAlias(false);
    image.draw(drawing);
    image.matte(false); // drawing leaves an alpha channel behind; the page is opaque
    if (HasTile(tile))
        image.composite(tile, ToPixels(sheet->BarcodeLeftTopX), ToPixels(sheet->BarcodeLeftTopY),
                        MagickCore::OverCompositeOp);
    // Otherwise a page of greys alone would be written as a grey or bilevel TIFF.
    image.type(MagickCore::TrueColorType);
    return WriteMagickPage(image, fileName);
}

bool COutputImage::WriteCmykPage(const QString &fileName, const Sheet *sheet, const Magick::Image &tile, int depth)
{
    int width = 0;
    int height = 0;
    if (!sheet || !PagePixels(*sheet, &width, &height))
        return false;
    InkRaster raster = MakeInkRaster(sheet, depth, ChartDefinitionData::FormatCMYK);
    if (!raster)
        return false;
    Magick::Image image(size_t(width), size_t(height), "CMYK",
                        depth == 16 ? MagickCore::ShortPixel : MagickCore::CharPixel, raster.get());
    raster.reset(); // Magick++ holds its own copy
    image.quiet(true);
    SetPageProperties(image, depth);
    if (HasTile(tile))
        image.composite(tile, ToPixels(sheet->BarcodeLeftTopX), ToPixels(sheet->BarcodeLeftTopY),
                        MagickCore::OverCompositeOp);
    return WriteMagickPage(image, fileName);
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
    int width = 0;
    int height = 0;
    if (!sheet || !PagePixels(*sheet, &width, &height) || (depth != 8 && depth != 16))
        return false;
    const int format = colorFormat != 0 ? colorFormat : FirstPatchFormat(*sheet);
    if (format < ChartDefinitionData::Format5Color || format > ChartDefinitionData::Format8Color)
        return false;
    const int channels = format + 2;

    PartFile file(fileName);
    if (!file.Reserve())
        return false;
    const QuietTiffHandlers quiet; // outlives the handle: closing flushes and may report too
    std::unique_ptr<TIFF, TiffCloser> owner(TIFFOpen(file.TempPath().constData(), "w"));
    TIFF *tif = owner.get();
    if (!tif)
        return false;

    bool ok = true;
    const int bytesPerSample = depth / 8;
    const size_t pixelBytes = size_t(channels) * size_t(bytesPerSample);
    InkRaster raster = MakeInkRaster(sheet, depth, format);
    ok = raster != nullptr;

    if (ok && HasTile(tile)) {
        const size_t tileWidth = tile.columns();
        const size_t tileHeight = tile.rows();
        const Magick::PixelPacket *pixels = tile.getConstPixels(0, 0, tileWidth, tileHeight);
        const qint64 left = ToPixels(sheet->BarcodeLeftTopX);
        const qint64 top = ToPixels(sheet->BarcodeLeftTopY);
        using MagickCore::Quantum; // QuantumRange names it unqualified
        const double scale = 255.0 / double(QuantumRange);
        unsigned char sample[kMaxColorValueCount * 2] = {};
        float lastRgb[3] = {-1.0f, -1.0f, -1.0f};
        for (size_t r = 0; r < tileHeight; ++r) {
            const qint64 y = top + qint64(r);
            if (y < 0 || y >= height)
                continue;
            for (size_t c = 0; c < tileWidth; ++c) {
                const qint64 x = left + qint64(c);
                if (x < 0 || x >= width)
                    continue;
                const Magick::PixelPacket &p = pixels[r * tileWidth + c];
                const float rgb[3] = {float(double(p.red) * scale), float(double(p.green) * scale),
                                      float(double(p.blue) * scale)};
                if (std::memcmp(rgb, lastRgb, sizeof rgb) != 0) { // the tile has few colours
                    float cmyk[4];
                    RgbToCmyk(cmyk, rgb);
                    std::memset(sample, 0, sizeof sample); // spot inks stay off under the code
                    for (int k = 0; k < 4; ++k)
                        PutSample(sample + k * bytesPerSample, InkSample(cmyk[k], depth), bytesPerSample);
                    std::memcpy(lastRgb, rgb, sizeof rgb);
                }
                std::memcpy(raster.get() + (size_t(y) * size_t(width) + size_t(x)) * pixelBytes, sample, pixelBytes);
            }
        }
    }

    if (ok) {
        const QByteArray resources = MakeSpotChannelResources(sheet, format);
        const std::vector<uint16_t> extra(size_t(channels - 4), 0);
        ok = TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(width)) &&
             TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(height)) &&
             TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, uint16_t(depth)) &&
             TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, uint16_t(channels)) &&
             TIFFSetField(tif, TIFFTAG_COMPRESSION, uint16_t(COMPRESSION_NONE)) &&
             TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, uint16_t(PHOTOMETRIC_SEPARATED)) &&
             TIFFSetField(tif, TIFFTAG_FILLORDER, uint16_t(FILLORDER_MSB2LSB)) &&
             TIFFSetField(tif, TIFFTAG_PLANARCONFIG, uint16_t(PLANARCONFIG_CONTIG)) &&
             TIFFSetField(tif, TIFFTAG_ORIENTATION, uint16_t(ORIENTATION_TOPLEFT)) &&
             TIFFSetField(tif, TIFFTAG_XRESOLUTION, double(kDpi)) &&
             TIFFSetField(tif, TIFFTAG_YRESOLUTION, double(kDpi)) &&
             TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, uint16_t(RESUNIT_INCH)) &&
             TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, uint16_t(extra.size()), extra.data()) &&
             TIFFSetField(tif, TIFFTAG_PHOTOSHOP, uint32_t(resources.size()), resources.constData()) &&
             TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, uint32_t(1));
    }
    if (ok) {
        const size_t rowBytes = size_t(width) * pixelBytes;
        for (int y = 0; y < height && ok; ++y)
            ok = TIFFWriteEncodedStrip(tif, uint32_t(y), raster.get() + size_t(y) * rowBytes, tmsize_t(rowBytes)) ==
                 tmsize_t(rowBytes);
        ok = ok && TIFFFlush(tif) == 1;
    }
    raster.reset();
    owner.reset();
    return ok && file.Commit();
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
