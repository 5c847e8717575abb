// Sheets the simulated chart scanner takes from its feeder: the page file is read as the feeder reads it
// (a separated TIFF through libtiff, any other image through ImageMagick). Every input is read in the state of
// a scanner that has already read a TIFF through ImageMagick, since that read leaves process-wide libtiff
// handlers behind which the scanner's own libtiff calls then meet.
#include "fuzzsupport.h"

#include "OrloSim.h"

#include <QFile>

#include <tiffio.h>

#include <cstdlib>
#include <cstring>

namespace {

// A 2 x 2 CMYK page without spot inks, which the feeder hands to ImageMagick.
void ReadOneTiffThroughImageMagick()
{
    const QString path = fuzz::FreshFolder("scanner_sheet") + QStringLiteral("/cmyk.tif");
    TIFF *tif = TIFFOpen(QFile::encodeName(path).constData(), "w");
    if (!tif)
        std::abort();
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 2u);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 2u);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 4);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_SEPARATED);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 2u);
    unsigned char row[8] = {0, 64, 128, 0, 255, 0, 0, 32};
    const bool written = TIFFWriteScanline(tif, row, 0, 0) == 1 && TIFFWriteScanline(tif, row, 1, 0) == 1;
    TIFFClose(tif);
    if (!written || OrloSim_InsertSheetFile(QFile::encodeName(path).constData()) != 0)
        std::abort();
    OrloSim_Reset();
}

} // namespace

VAREMO_FUZZ_TARGET(scanner_sheet)
{
    fuzz::EnsureApplication();
    static const bool imageMagickRead = (ReadOneTiffThroughImageMagick(), true);
    Q_UNUSED(imageMagickRead)
    const QString folder = fuzz::FreshFolder("scanner_sheet");
    // The feeder takes ".tif", ".tiff" and ".png" pages.
    const bool png = size >= 4 && std::memcmp(data, "\x89PNG", 4) == 0;
    const QString path = fuzz::WriteInput(folder, png ? QStringLiteral("sheet.png") : QStringLiteral("sheet.tif"),
                                          data, size);
    OrloSim_Reset();
    OrloSim_InsertSheetFile(QFile::encodeName(path).constData());
    OrloSim_Reset();
    return 0;
}
