#pragma once
// Chart pages as printable 300 dpi TIFF files, written by libtiff in bands of rows: RGB and CMYK pages laid out as
// Magick++ wrote them before (its strips, tags and colour roundings), five- to eight-ink pages as separated TIFF
// with the spot inks named in a Photoshop resource block. Magick++ still makes the QR tile. Each page is written
// under a temporary name and renamed when complete.

#include "app/records.h"

#include <QByteArray>
#include <QString>

#include <cstdlib>
#include <memory>
#include <vector>

namespace Magick {
class Image;
}

class CIODataFileHost;

class COutputImage
{
public:
    enum Result { Success = 0, WriteFailed = 100001, ImageLibraryFailed = 100002 };

    static constexpr int kDpi = 300;
    // The largest custom paper (32900 x 150000 in 0.01 mm) at 300 dpi.
    static constexpr int kMaxPageWidthPixels = 3885;
    static constexpr int kMaxPageHeightPixels = 17716;

    struct RasterDeleter {
        void operator()(unsigned char *p) const { std::free(p); }
    };
    // Rows from the top, the samples of a pixel adjacent (C, M, Y, K, spots), native-endian at 16 bits.
    using InkRaster = std::unique_ptr<unsigned char[], RasterDeleter>;

    explicit COutputImage(CIODataFileHost *host);
    virtual ~COutputImage();

    // depthChoice 0: 8 bits per sample, otherwise 16. 0, 100001 (a page could not be written, a chart without
    // patches), 100002 (image library failure), or the scanner's code of the first QR picture that failed.
    int Output(const QString &path, const ChartDefinitionDataSheets *chart, int depthChoice);

    // The QR tile of page `page`; an empty image when the chart carries no code. 0, the scanner's code, 100001
    // (a picture larger than the tile was sized for). Image-library errors are thrown.
    int MakeBarcodeTile(Magick::Image &tile, const ChartDefinitionDataSheets *chart, int page, int depth);

    // colorFormat 0: the format of the sheet's first patch. False for a page of no usable size, a grid position
    // without a patch or a file that could not be written.
    bool WriteRgbPage(const QString &fileName, const ChartDefinitionData::Sheet *sheet, const Magick::Image &tile,
                      int depth);
    bool WriteCmykPage(const QString &fileName, const ChartDefinitionData::Sheet *sheet, const Magick::Image &tile,
                       int depth);
    bool WriteSeparatedPage(const QString &fileName, const ChartDefinitionData::Sheet *sheet,
                            const Magick::Image &tile, int depth, int colorFormat = 0);

    // All ink zero where no patch lies; null for a page of no usable size or a grid position without a patch.
    // Throws std::bad_alloc when the raster cannot be allocated.
    InkRaster MakeInkRaster(const ChartDefinitionData::Sheet *sheet, int depth, int colorFormat = 0) const;
    // The image-resource block naming the spot channels (alpha names, Unicode alpha names, display information).
    QByteArray MakeSpotChannelResources(const ChartDefinitionData::Sheet *sheet, int colorFormat = 0) const;

    // Points Magick++ at <program folder>/imcoders when that folder exists, then initialises it.
    static void InitializeImageLibrary(const char *programPath);

    // path with "_001" (page 0) inserted before the last '.' of its file name, or appended without one.
    static QString PageFileName(const QString &path, int page);
    // Length in 0.01 mm to pixels at 300 dpi, truncated toward zero.
    static int ToPixels(qint64 value);
    // Ink percentage to a sample: clamped to 0-100, NaN 0, truncated.
    static quint16 InkSample(float percent, int depth);

private:
    // The page's colour format: its first patch's, or for a page without patches the chart's first patch's;
    // 0 when the chart has no patch at all.
    static int PageColorFormat(const ChartDefinitionDataSheets &chart, int page);
    // 0; 100001 for a page that cannot be made or a separated file that cannot be written; 100002 for an RGB or
    // CMYK file that cannot be written.
    int WritePage(const QString &fileName, const ChartDefinitionData::Sheet *sheet, const Magick::Image &tile,
                  int depth, int format);

    CIODataFileHost *m_host;
    std::vector<unsigned char> m_band; // rows of the page being written, kept for the next page

};
