// Chart pages as TIFF: geometry and names, the three writers read back with libtiff, the spot-ink resource block,
// the QR tile and the failures that must leave no partial page behind.

#include "pagefixtures.h"

#include "app/helpers.h"
#include "app/recordhelpers.h"
#include "app/storeconventions.h"
#include "files/outputimage.h"

#include <Magick++.h>
#include <OrloSim.h>
#include <tiffio.h>
#include <zbar.h>

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <limits>
#include <vector>

#include <sys/resource.h>

using ChartDefinitionData::Format5Color;
using ChartDefinitionData::Format6Color;
using ChartDefinitionData::Format8Color;
using ChartDefinitionData::FormatCMYK;
using ChartDefinitionData::FormatRGB;

Q_DECLARE_METATYPE(std::vector<uint32_t>)

namespace {

const QString kGoldenDir = QStringLiteral(VAREMO_FILES_TEST_DATA "/golden");

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// A page read back with libtiff: the tags the writers set and every sample.
struct TiffPage {
    bool ok = false;
    uint32_t width = 0, height = 0, rowsPerStrip = 0;
    uint16_t bits = 0, samples = 0, photometric = 0, compression = 0, planar = 0, fillOrder = 0, orientation = 0,
             resUnit = 0;
    float xRes = 0, yRes = 0;
    std::vector<uint16_t> extra;
    QByteArray photoshop;
    std::vector<unsigned char> data;

    uint32_t Sample(int x, int y, int k) const
    {
        const size_t index = (size_t(y) * width + size_t(x)) * samples + size_t(k);
        if (bits == 16) {
            uint16_t v;
            std::memcpy(&v, &data[index * 2], 2);
            return v;
        }
        return data[index];
    }
    std::vector<uint32_t> Pixel(int x, int y) const
    {
        std::vector<uint32_t> out;
        for (int k = 0; k < samples; ++k)
            out.push_back(Sample(x, y, k));
        return out;
    }
};

TiffPage ReadTiff(const QString &path)
{
    TiffPage page;
    TIFF *tif = TIFFOpen(QFile::encodeName(path).constData(), "r");
    if (!tif)
        return page;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &page.width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &page.height);
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &page.bits);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &page.samples);
    TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &page.photometric);
    TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &page.compression);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &page.planar);
    TIFFGetField(tif, TIFFTAG_FILLORDER, &page.fillOrder);
    TIFFGetField(tif, TIFFTAG_ORIENTATION, &page.orientation);
    TIFFGetField(tif, TIFFTAG_RESOLUTIONUNIT, &page.resUnit);
    TIFFGetField(tif, TIFFTAG_XRESOLUTION, &page.xRes);
    TIFFGetField(tif, TIFFTAG_YRESOLUTION, &page.yRes);
    TIFFGetField(tif, TIFFTAG_ROWSPERSTRIP, &page.rowsPerStrip);
    uint16_t extraCount = 0;
    uint16_t *extra = nullptr;
    if (TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &extraCount, &extra))
        page.extra.assign(extra, extra + extraCount);
    uint32_t irbSize = 0;
    void *irb = nullptr;
    if (TIFFGetField(tif, TIFFTAG_PHOTOSHOP, &irbSize, &irb))
        page.photoshop = QByteArray(static_cast<const char *>(irb), int(irbSize));
    const tmsize_t line = TIFFScanlineSize(tif);
    page.data.resize(size_t(line) * page.height);
    page.ok = page.planar == PLANARCONFIG_CONTIG &&
              size_t(line) == size_t(page.width) * page.samples * page.bits / 8;
    for (uint32_t y = 0; y < page.height && page.ok; ++y)
        page.ok = TIFFReadScanline(tif, &page.data[size_t(line) * y], y, 0) == 1;
    TIFFClose(tif);
    return page;
}

// Image resources: each "8BIM", id, empty name (2 zero bytes), size, data padded to even length.
struct Resource {
    int id;
    QByteArray data;
};

bool ParseResources(const QByteArray &block, QVector<Resource> *out)
{
    int pos = 0;
    const auto be = [&](int at, int bytes) {
        quint32 v = 0;
        for (int i = 0; i < bytes; ++i)
            v = (v << 8) | quint8(block[at + i]);
        return v;
    };
    while (pos < block.size()) {
        if (pos + 12 > block.size() || block.mid(pos, 4) != "8BIM" || be(pos + 6, 2) != 0)
            return false;
        const int id = int(be(pos + 4, 2));
        const int size = int(be(pos + 8, 4));
        pos += 12;
        if (pos + size > block.size())
            return false;
        out->append({id, block.mid(pos, size)});
        pos += size + (size % 2);
    }
    return pos == block.size();
}

QString DecodeQr(const std::vector<unsigned char> &grey, int width, int height)
{
    zbar::ImageScanner scanner;
    scanner.set_config(zbar::ZBAR_NONE, zbar::ZBAR_CFG_ENABLE, 0);
    scanner.set_config(zbar::ZBAR_QRCODE, zbar::ZBAR_CFG_ENABLE, 1);
    scanner.set_config(zbar::ZBAR_QRCODE, zbar::ZBAR_CFG_BINARY, 1);
    zbar::Image image(unsigned(width), unsigned(height), "Y800", grey.data(), grey.size());
    if (scanner.scan(image) <= 0)
        return QString();
    return QString::fromStdString(image.symbol_begin()->get_data());
}

QByteArray Hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

// Patch (r, c) of the default page: origin pixels(300 + 1000 c), 70 pixels wide.
int PatchCentre(int index)
{
    return COutputImage::ToPixels(300 + 1000 * index) + 35;
}

QStringList PageFiles(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

// No file may grow past `bytes` while this lives; writes beyond fail even for root, unlike permissions.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(qint64 bytes)
    {
        m_set = getrlimit(RLIMIT_FSIZE, &m_old) == 0;
        m_handler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_old;
        limit.rlim_cur = rlim_t(bytes);
        m_set = m_set && setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_handler);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;
    bool IsSet() const { return m_set; }

private:
    rlimit m_old {};
    void (*m_handler)(int) = nullptr;
    bool m_set = false;
};

} // namespace

class TestOutputImage : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void pageFileNames_data();
    void pageFileNames();
    void twoPageGeometry();
    void rgbPage_data();
    void rgbPage();
    void cmykPage_data();
    void cmykPage();
    void separatedPage_data();
    void separatedPage();
    void spotResources_data();
    void spotResources();
    void spotNameCutAtCharacter();
    void barcodeTile_data();
    void barcodeTile();
    void noBarcode();

    void qrFailureEndsOutput();
    void emptyPageWrittenBlank();
    void chartWithoutPatches();
    void missingGridPosition_data();
    void missingGridPosition();
    void clippedAtPageEdge_data();
    void clippedAtPageEdge();
    void pageSizeLimits_data();
    void pageSizeLimits();
    void unwritableTarget_data();
    void unwritableTarget();
    void failedPageKeepsOlderFile();
    void stalePartFilesRemoved_data();
    void stalePartFilesRemoved();
    void writeFailsPartway_data();
    void writeFailsPartway();
    void oversizedQrPicture();
    void tallPage();
    void outputChartImageTakesUserDepth();
    void goldenPages_data();
    void goldenPages();
    void rowsPerStrip_data();
    void rowsPerStrip();

private:
    QTemporaryDir m_dir;
    QString Path(const QString &name) const { return m_dir.filePath(name); }
};

void TestOutputImage::init()
{
    QVERIFY(m_dir.isValid());
    QDir(m_dir.path()).removeRecursively();
    QVERIFY(QDir().mkpath(m_dir.path()));
    QFile::remove(BarcodeImagePath());
    OrloSim_Reset();
}

void TestOutputImage::pageFileNames_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("expected");
    QTest::newRow("first page") << "out.tif" << 0 << "out_001.tif";
    QTest::newRow("dotted folder") << "out.v2/chart.tif" << 1 << "out.v2/chart_002.tif";
    QTest::newRow("no suffix") << "/tmp/a.b/chart" << 0 << "/tmp/a.b/chart_001";
    QTest::newRow("two dots") << "c.tar.tif" << 9 << "c.tar_010.tif";
    QTest::newRow("page 1000") << "/x/p.tiff" << 999 << "/x/p_1000.tiff";
}

void TestOutputImage::pageFileNames()
{
    QFETCH(QString, path);
    QFETCH(int, page);
    QFETCH(QString, expected);
    QCOMPARE(COutputImage::PageFileName(path, page), expected);
}

void TestOutputImage::twoPageGeometry()
{
    QCOMPARE(COutputImage::ToPixels(763), 90);
    PageHost host;
    ChartGuard guard;
    PageLayout a4;
    a4.width = 21000;
    a4.height = 29700;
    a4.format = FormatCMYK;
    a4.values = {{10, 20, 30, 40}};
    PageLayout small = a4;
    small.width = small.height = 3000;
    MakeChart(&guard.chart, {a4, small});
    COutputImage output(&host);
    QCOMPARE(output.Output(Path("out.tif"), &guard.chart, 0), 0);
    QCOMPARE(PageFiles(m_dir.path()), QStringList({"out_001.tif", "out_002.tif"}));
    const TiffPage first = ReadTiff(Path("out_001.tif"));
    const TiffPage second = ReadTiff(Path("out_002.tif"));
    QVERIFY(first.ok && second.ok);
    QCOMPARE(first.width, 2480u);
    QCOMPARE(first.height, 3507u);
    QCOMPARE(second.width, 354u);
    for (const TiffPage *page : {&first, &second}) {
        QCOMPARE(page->bits, uint16_t(8));
        QCOMPARE(page->resUnit, uint16_t(RESUNIT_INCH));
        QCOMPARE(page->xRes, 300.0f);
        QCOMPARE(page->yRes, 300.0f);
    }
}

void TestOutputImage::rgbPage_data()
{
    QTest::addColumn<int>("depthChoice");
    QTest::newRow("8 bits") << 0;
    QTest::newRow("16 bits") << 1;
}

void TestOutputImage::rgbPage()
{
    QFETCH(int, depthChoice);
    const int depth = depthChoice ? 16 : 8;
    const uint32_t full = depthChoice ? 65535 : 255;
    PageHost host;
    ChartGuard guard;
    PageLayout layout;
    layout.values = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {300, kNaN, -5}};
    MakeChart(&guard.chart, {layout});
    COutputImage output(&host);
    QCOMPARE(output.Output(Path("rgb.tif"), &guard.chart, depthChoice), 0);
    const TiffPage page = ReadTiff(Path("rgb_001.tif"));
    QVERIFY(page.ok);
    QCOMPARE(page.photometric, uint16_t(PHOTOMETRIC_RGB));
    QCOMPARE(page.bits, uint16_t(depth));
    QCOMPARE(page.samples, uint16_t(3));
    QCOMPARE(page.width, 354u);
    const std::vector<std::vector<uint32_t>> expected = {{full, 0, 0}, {0, full, 0}, {0, 0, full}, {full, 0, 0}};
    for (int i = 0; i < 4; ++i)
        QCOMPARE(page.Pixel(PatchCentre(i % 2), PatchCentre(i / 2)), expected[size_t(i)]);
    const std::vector<uint32_t> white = {full, full, full};
    // Crisp edges, both corners included: pixels 35 to 35 + 70.
    QCOMPARE(page.Pixel(34, PatchCentre(0)), white);
    QCOMPARE(page.Pixel(35, PatchCentre(0)), expected[0]);
    QCOMPARE(page.Pixel(105, PatchCentre(0)), expected[0]);
    QCOMPARE(page.Pixel(106, PatchCentre(0)), white);
    QCOMPARE(page.Pixel(5, 5), white);
    QCOMPARE(page.Pixel(125, 125), white);
    QCOMPARE(page.Pixel(353, 353), white);

    Magick::Image image;
    image.read(QFile::encodeName(Path("rgb_001.tif")).toStdString());
    const Magick::ColorRGB red = image.pixelColor(size_t(PatchCentre(0)), size_t(PatchCentre(0)));
    QCOMPARE(red.red(), 1.0);
    QCOMPARE(red.green(), 0.0);
    const Magick::ColorRGB paper = image.pixelColor(5, 5);
    QCOMPARE(paper.blue(), 1.0);
}

void TestOutputImage::cmykPage_data()
{
    QTest::addColumn<int>("depthChoice");
    QTest::addColumn<std::vector<uint32_t>>("black");
    QTest::addColumn<std::vector<uint32_t>>("mixed");
    QTest::newRow("8 bits") << 0 << std::vector<uint32_t>{0, 0, 0, 255} << std::vector<uint32_t>{95, 255, 0, 0};
    QTest::newRow("16 bits") << 1 << std::vector<uint32_t>{0, 0, 0, 65535}
                             << std::vector<uint32_t>{24575, 65535, 0, 0};
}

void TestOutputImage::cmykPage()
{
    QFETCH(int, depthChoice);
    QFETCH(std::vector<uint32_t>, black);
    QFETCH(std::vector<uint32_t>, mixed);
    PageHost host;
    ChartGuard guard;
    PageLayout layout;
    layout.format = FormatCMYK;
    // 37.5 % truncates; 101 % and -1 % clamp; NaN is no ink.
    layout.values = {{0, 0, 0, 100}, {37.5f, 101, -1, kNaN}};
    MakeChart(&guard.chart, {layout});
    COutputImage output(&host);
    QCOMPARE(output.Output(Path("cmyk.tif"), &guard.chart, depthChoice), 0);
    const TiffPage page = ReadTiff(Path("cmyk_001.tif"));
    QVERIFY(page.ok);
    QCOMPARE(page.photometric, uint16_t(PHOTOMETRIC_SEPARATED));
    QCOMPARE(page.samples, uint16_t(4));
    QCOMPARE(page.bits, uint16_t(depthChoice ? 16 : 8));
    QCOMPARE(page.xRes, 300.0f);
    QCOMPARE(page.Pixel(PatchCentre(0), PatchCentre(0)), black);
    QCOMPARE(page.Pixel(PatchCentre(1), PatchCentre(0)), mixed);
    QCOMPARE(page.Pixel(PatchCentre(1), PatchCentre(1)), mixed);
    const std::vector<uint32_t> none(4, 0);
    QCOMPARE(page.Pixel(5, 5), none);
    QCOMPARE(page.Pixel(125, 125), none);
}

void TestOutputImage::separatedPage_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("depthChoice");
    for (int format : {Format5Color, Format6Color, Format8Color}) {
        for (int choice : {0, 1})
            QTest::addRow("%d inks, %d bits", format + 2, choice ? 16 : 8) << format << choice;
    }
}

void TestOutputImage::separatedPage()
{
    QFETCH(int, format);
    QFETCH(int, depthChoice);
    const int channels = format + 2;
    const double full = depthChoice ? 65535.0 : 255.0;
    PageHost host;
    ChartGuard guard;
    PageLayout layout;
    layout.format = format;
    layout.values.clear();
    // Every patch and channel its own value.
    for (int i = 0; i < 4; ++i) {
        QVector<float> values;
        for (int k = 0; k < channels; ++k)
            values.append(float(5 * i + 10 * k + 2.5));
        layout.values.append(values);
    }
    MakeChart(&guard.chart, {layout});
    COutputImage output(&host);
    QCOMPARE(output.Output(Path("spot.tif"), &guard.chart, depthChoice), 0);
    QCOMPARE(PageFiles(m_dir.path()), QStringList({"spot_001.tif"}));

    const TiffPage page = ReadTiff(Path("spot_001.tif"));
    QVERIFY(page.ok);
    QCOMPARE(page.width, 354u);
    QCOMPARE(page.height, 354u);
    QCOMPARE(page.bits, uint16_t(depthChoice ? 16 : 8));
    QCOMPARE(page.samples, uint16_t(channels));
    QCOMPARE(page.compression, uint16_t(COMPRESSION_NONE));
    QCOMPARE(page.photometric, uint16_t(PHOTOMETRIC_SEPARATED));
    QCOMPARE(page.fillOrder, uint16_t(FILLORDER_MSB2LSB));
    QCOMPARE(page.planar, uint16_t(PLANARCONFIG_CONTIG));
    QCOMPARE(page.orientation, uint16_t(ORIENTATION_TOPLEFT));
    QCOMPARE(page.xRes, 300.0f);
    QCOMPARE(page.yRes, 300.0f);
    QCOMPARE(page.resUnit, uint16_t(RESUNIT_INCH));
    QCOMPARE(page.extra, std::vector<uint16_t>(size_t(channels - 4), 0));
    QCOMPARE(page.rowsPerStrip, 1u);
    QCOMPARE(page.photoshop, output.MakeSpotChannelResources(&guard.chart.Sheets[0]));
    QVector<Resource> resources;
    QVERIFY(ParseResources(page.photoshop, &resources));
    QCOMPARE(resources.size(), 3);

    for (int i = 0; i < 4; ++i) {
        for (int k = 0; k < channels; ++k) {
            const uint32_t want = uint32_t(std::trunc((5 * i + 10 * k + 2.5) / 100.0 * full));
            QCOMPARE(page.Sample(PatchCentre(i % 2), PatchCentre(i / 2), k), want);
        }
    }
    QCOMPARE(page.Pixel(5, 5), std::vector<uint32_t>(size_t(channels), 0));
    QCOMPARE(page.Pixel(125, 300), std::vector<uint32_t>(size_t(channels), 0));
}

void TestOutputImage::spotResources_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("inkCount");
    QTest::addColumn<QByteArray>("expected");
    // Orange: 6 + 2 bytes of 1006 data, even.
    QTest::newRow("one spot") << int(Format5Color) << 8
                              << Hex("3842494d 03ee 0000 00000008 07 4f72616e6765 00"
                                     "3842494d 0415 0000 00000012 00000007 004f 0072 0061 006e 0067 0065 0000"
                                     "3842494d 03ef 0000 0000000e 0007 1964 0fa0 e890 0000 0000 02 00");
    // Orange + Green: 8 + 7 = 15 bytes, one padding byte before the next resource.
    QTest::newRow("two spots, odd names") << int(Format6Color) << 8
                                          << Hex("3842494d 03ee 0000 0000000f 07 4f72616e6765 00 06 477265656e 00 00"
                                                 "3842494d 0415 0000 00000022 00000007 004f 0072 0061 006e 0067 0065 "
                                                 "0000 00000006 0047 0072 0065 0065 006e 0000"
                                                 "3842494d 03ef 0000 0000001c 0007 1964 0fa0 e890 0000 0000 02 00 "
                                                 "0007 1194 f060 0064 0000 0000 02 00");
    // The sixth entry is missing: empty name, L*a*b* 0.
    QTest::newRow("missing entry") << int(Format6Color) << 5
                                   << Hex("3842494d 03ee 0000 0000000a 07 4f72616e6765 00 01 00"
                                          "3842494d 0415 0000 00000018 00000007 004f 0072 0061 006e 0067 0065 "
                                          "0000 00000001 0000"
                                          "3842494d 03ef 0000 0000001c 0007 1964 0fa0 e890 0000 0000 02 00 "
                                          "0007 0000 0000 0000 0000 0000 02 00");
}

void TestOutputImage::spotResources()
{
    QFETCH(int, format);
    QFETCH(int, inkCount);
    QFETCH(QByteArray, expected);
    PageHost host;
    InkChannelList &inks = host.environment.Inks;
    inks[4] = {QStringLiteral("Orange"), 6500, 4000, -6000};
    inks[5] = {QStringLiteral("Green"), 4500, -4000, 100};
    while (inks.size() > inkCount)
        inks.removeLast();
    ChartGuard guard;
    PageLayout layout;
    layout.format = format;
    MakeChart(&guard.chart, {layout});
    const QByteArray block = COutputImage(&host).MakeSpotChannelResources(&guard.chart.Sheets[0]);
    QCOMPARE(block.toHex(' '), expected.toHex(' '));
}

void TestOutputImage::spotNameCutAtCharacter()
{
    PageHost host;
    // 200 two-byte characters: the one-byte length allows 254 bytes, so 127 characters stay whole.
    host.environment.Inks[4] = {QString(200, QChar(0x00e9)), 100000, -100000, 0};
    ChartGuard guard;
    PageLayout layout;
    layout.format = Format5Color;
    MakeChart(&guard.chart, {layout});
    QVector<Resource> resources;
    QVERIFY(ParseResources(COutputImage(&host).MakeSpotChannelResources(&guard.chart.Sheets[0]), &resources));
    QCOMPARE(resources.size(), 3);
    const QByteArray names = resources[0].data;
    QCOMPARE(quint8(names[0]), quint8(255));
    QCOMPARE(names.size(), 1 + 254 + 1);
    QCOMPARE(QString::fromUtf8(names.mid(1, 254)), QString(127, QChar(0x00e9)));
    QCOMPARE(resources[1].data.left(4), Hex("000000c9")); // the Unicode name is whole: 200 + 1
    QCOMPARE(resources[2].data.mid(2, 4), Hex("7fff 8000")); // L* and a* clamped to 16 bits
}

void TestOutputImage::barcodeTile_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("depthChoice");
    QTest::newRow("RGB 8") << int(FormatRGB) << 0;
    QTest::newRow("RGB 16") << int(FormatRGB) << 1;
    QTest::newRow("CMYK 8") << int(FormatCMYK) << 0;
    QTest::newRow("6 inks 8") << int(Format6Color) << 0;
    QTest::newRow("6 inks 16") << int(Format6Color) << 1;
}

void TestOutputImage::barcodeTile()
{
    QFETCH(int, format);
    QFETCH(int, depthChoice);
    PageHost host;
    ChartGuard guard;
    PageLayout layout;
    layout.width = layout.height = 8000;
    layout.format = format;
    layout.values = {QVector<float>(8, format == FormatRGB ? 128.0f : 40.0f)};
    layout.barcodeX = layout.barcodeY = 2000;
    MakeChart(&guard.chart, {layout}, 1);
    COutputImage output(&host);
    QCOMPARE(output.Output(Path("qr.tif"), &guard.chart, depthChoice), 0);
    QCOMPARE(host.barcodeCalls, 1);
    QVERIFY(QFile::exists(BarcodeImagePath()));
    const TiffPage page = ReadTiff(Path("qr_001.tif"));
    QVERIFY(page.ok);
    // Grey patches and a black and white code still make an RGB page.
    QCOMPARE(page.samples, uint16_t(format == FormatRGB ? 3 : format + 2));

    SheetInfoRecord record;
    FillSheetInfoRecord(&record, guard.chart, 0);
    const int codeSide = host.GetBarcodeSize(record);
    QVERIFY(codeSide > 0);
    const int at = COutputImage::ToPixels(2000);
    const uint32_t full = depthChoice ? 65535 : 255;

    // Paper (white, or no ink) and a black module in ink terms.
    const auto isPaper = [&](int x, int y) {
        const std::vector<uint32_t> p = page.Pixel(x, y);
        if (format == FormatRGB)
            return p == std::vector<uint32_t>(3, full);
        return p == std::vector<uint32_t>(p.size(), 0);
    };
    const auto isBlack = [&](int x, int y) {
        std::vector<uint32_t> want(page.samples, 0);
        if (format != FormatRGB)
            want[3] = full;
        return page.Pixel(x, y) == want;
    };
    // 90 pixels of margin and the 28-pixel quiet zone, then the finder pattern's corner module.
    const int module = at + 90 + 28;
    for (int d = 0; d < 90 + 28; ++d) {
        QVERIFY2(isPaper(at + d, module + 3), qPrintable(QString::number(d)));
        QVERIFY2(isPaper(module + 3, at + d), qPrintable(QString::number(d)));
    }
    QVERIFY(isBlack(module, module + 3));
    QVERIFY(isBlack(module + 3, module));
    QVERIFY(isBlack(module + 6, module + 6));
    // The tile's far edge is white margin too; the page beyond it is paper.
    const int far = at + codeSide + 2 * 90 - 1;
    QVERIFY(isPaper(far, far));

    // The picture decodes to the sheet's QR text.
    std::vector<unsigned char> grey(size_t(page.width) * page.height);
    for (uint32_t y = 0; y < page.height; ++y) {
        for (uint32_t x = 0; x < page.width; ++x) {
            const double v = format == FormatRGB ? page.Sample(int(x), int(y), 1) : full - page.Sample(int(x), int(y), 3);
            grey[size_t(y) * page.width + x] = static_cast<unsigned char>(v * 255.0 / full);
        }
    }
    QCOMPARE(DecodeQr(grey, int(page.width), int(page.height)), host.BarcodeText(record));
}

void TestOutputImage::noBarcode()
{
    PageHost host;
    ChartGuard guard;
    PageLayout layout;
    layout.barcodeX = layout.barcodeY = 0;
    MakeChart(&guard.chart, {layout}, 0);
    QCOMPARE(COutputImage(&host).Output(Path("plain.tif"), &guard.chart, 0), 0);
    QCOMPARE(host.barcodeCalls, 0);
    QVERIFY(!QFile::exists(BarcodeImagePath()));
    const TiffPage page = ReadTiff(Path("plain_001.tif"));
    QVERIFY(page.ok);
    QCOMPARE(page.Pixel(0, 0), std::vector<uint32_t>(3, 255));
    QCOMPARE(page.Pixel(30, 30), std::vector<uint32_t>(3, 255));
}

void TestOutputImage::qrFailureEndsOutput()
{
    PageHost host;
    ChartGuard guard;
    MakeChart(&guard.chart, {PageLayout(), PageLayout()}, 1);
    QFile old(Path("q_002.tif"));
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("older page");
    old.close();
    OrloSim_FailNext("Orlo_CreateBarcodeImage", 1010);
    QCOMPARE(COutputImage(&host).Output(Path("q.tif"), &guard.chart, 0), 1010);
    QCOMPARE(host.barcodeCalls, 1);
    QCOMPARE(PageFiles(m_dir.path()), QStringList({"q_002.tif"}));
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), QByteArray("older page"));
}

void TestOutputImage::emptyPageWrittenBlank()
{
    PageHost host;
    ChartGuard guard;
    PageLayout first;
    first.format = FormatCMYK;
    first.values = {{0, 100, 0, 0}};
    PageLayout blank;
    blank.empty = true;
    MakeChart(&guard.chart, {first, blank}, 1);
    QCOMPARE(COutputImage(&host).Output(Path("e.tif"), &guard.chart, 0), 0);
    QCOMPARE(host.barcodeCalls, 2);
    const TiffPage page = ReadTiff(Path("e_002.tif"));
    QVERIFY(page.ok);
    QCOMPARE(page.samples, uint16_t(4)); // the chart's format
    QCOMPARE(page.Pixel(PatchCentre(0), PatchCentre(0)), std::vector<uint32_t>(4, 0));
}

void TestOutputImage::chartWithoutPatches()
{
    PageHost host;
    ChartGuard guard;
    PageLayout blank;
    blank.empty = true;
    MakeChart(&guard.chart, {blank, blank}, 1);
    QCOMPARE(COutputImage(&host).Output(Path("n.tif"), &guard.chart, 0), 100001);
    QCOMPARE(host.barcodeCalls, 0);
    QVERIFY(PageFiles(m_dir.path()).isEmpty());

    ChartGuard none;
    QCOMPARE(COutputImage(&host).Output(Path("n.tif"), &none.chart, 0), 100001);
    QCOMPARE(COutputImage(&host).Output(Path("n.tif"), nullptr, 0), 100001);
}

void TestOutputImage::missingGridPosition_data()
{
    QTest::addColumn<int>("format");
    QTest::newRow("RGB") << int(FormatRGB);
    QTest::newRow("CMYK") << int(FormatCMYK);
    QTest::newRow("6 inks") << int(Format6Color);
}

void TestOutputImage::missingGridPosition()
{
    QFETCH(int, format);
    PageHost host;
    ChartGuard guard;
    PageLayout layout;
    layout.format = format;
    layout.values = {QVector<float>(8, 50)};
    layout.dropLastPatch = true;
    MakeChart(&guard.chart, {layout});
    COutputImage output(&host);
    QCOMPARE(output.Output(Path("m.tif"), &guard.chart, 1), 100001);
    QVERIFY(PageFiles(m_dir.path()).isEmpty());
    if (format != FormatRGB)
        QVERIFY(!output.MakeInkRaster(&guard.chart.Sheets[0], 8));
}

void TestOutputImage::clippedAtPageEdge_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("depthChoice");
    QTest::newRow("RGB") << int(FormatRGB) << 0;
    QTest::newRow("CMYK") << int(FormatCMYK) << 1;
    QTest::newRow("6 inks") << int(Format6Color) << 1;
}

void TestOutputImage::clippedAtPageEdge()
{
    QFETCH(int, format);
    QFETCH(int, depthChoice);
    PageHost host;
    ChartGuard guard;
    PageLayout layout;
    layout.format = format;
    layout.values = {QVector<float>(8, 100)};
    // The second column and row run 4 mm past the right and bottom edges; the tile starts 1 mm from them.
    layout.left = layout.top = 1800;
    layout.barcodeX = layout.barcodeY = 2900;
    MakeChart(&guard.chart, {layout}, 1);
    QCOMPARE(COutputImage(&host).Output(Path("c.tif"), &guard.chart, depthChoice), 0);
    const TiffPage page = ReadTiff(Path("c_001.tif"));
    QVERIFY(page.ok);
    QCOMPARE(page.width, 354u);
    // Inside the patch, just left of the tile: full ink (or black for RGB values 100 of 255).
    const int x = COutputImage::ToPixels(2800) + 10;
    const std::vector<uint32_t> edge = page.Pixel(x, 353);
    QCOMPARE(edge, page.Pixel(x, COutputImage::ToPixels(2800) + 10));
    QVERIFY(edge != std::vector<uint32_t>(edge.size(), 0));
    // The tile's white margin covers the bottom-right corner.
    const uint32_t paper = format == FormatRGB ? (depthChoice ? 65535 : 255) : 0;
    QCOMPARE(page.Pixel(353, 353), std::vector<uint32_t>(page.samples, paper));
}

void TestOutputImage::pageSizeLimits_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    for (int format : {FormatRGB, FormatCMYK, Format8Color}) {
        QTest::addRow("0 x 0, format %d", format) << format << 0 << 0;
        QTest::addRow("below a pixel, format %d", format) << format << 8 << 3000;
        QTest::addRow("wider than custom, format %d", format) << format << 33000 << 3000;
        QTest::addRow("taller than custom, format %d", format) << format << 3000 << 150100;
        QTest::addRow("huge, format %d", format) << format << INT_MAX << INT_MAX;
        QTest::addRow("negative, format %d", format) << format << -21000 << 29700;
    }
}

void TestOutputImage::pageSizeLimits()
{
    QFETCH(int, format);
    QFETCH(int, width);
    QFETCH(int, height);
    PageHost host;
    ChartGuard guard;
    PageLayout layout;
    layout.format = format;
    layout.values = {QVector<float>(8, 50)};
    layout.width = width;
    layout.height = height;
    MakeChart(&guard.chart, {layout});
    COutputImage output(&host);
    QCOMPARE(output.Output(Path("s.tif"), &guard.chart, 1), 100001);
    QVERIFY(PageFiles(m_dir.path()).isEmpty());
    QVERIFY(!output.MakeInkRaster(&guard.chart.Sheets[0], 16, Format8Color));
}

void TestOutputImage::unwritableTarget_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("expected");
    QTest::newRow("RGB") << int(FormatRGB) << 100002;
    QTest::newRow("CMYK") << int(FormatCMYK) << 100002;
    QTest::newRow("6 inks") << int(Format6Color) << 100001;
}

void TestOutputImage::unwritableTarget()
{
    QFETCH(int, format);
    QFETCH(int, expected);
    PageHost host;
    ChartGuard guard;
    PageLayout layout;
    layout.format = format;
    layout.values = {QVector<float>(8, 50)};
    MakeChart(&guard.chart, {layout});
    QCOMPARE(COutputImage(&host).Output(Path("missing/u.tif"), &guard.chart, 0), expected);
    QVERIFY(!QFileInfo::exists(Path("missing")));
}

void TestOutputImage::failedPageKeepsOlderFile()
{
    // The second page fails after the first was written; the older second page and no partial file remain.
    PageHost host;
    ChartGuard guard;
    PageLayout good;
    good.format = Format5Color;
    good.values = {QVector<float>(8, 50)};
    PageLayout broken = good;
    broken.dropLastPatch = true;
    MakeChart(&guard.chart, {good, broken});
    QFile old(Path("k_002.tif"));
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("older page");
    old.close();
    QCOMPARE(COutputImage(&host).Output(Path("k.tif"), &guard.chart, 0), 100001);
    QCOMPARE(PageFiles(m_dir.path()), QStringList({"k_001.tif", "k_002.tif"}));
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), QByteArray("older page"));
    QVERIFY(ReadTiff(Path("k_001.tif")).ok);
}

void TestOutputImage::stalePartFilesRemoved_data()
{
    QTest::addColumn<int>("format");
    QTest::newRow("image library pages") << int(FormatCMYK);
    QTest::newRow("separated pages") << int(Format5Color);
}

// What an interrupted write of a page left goes with the next write of that page; files of other names stay.
void TestOutputImage::stalePartFilesRemoved()
{
    QFETCH(int, format);
    PageHost host;
    ChartGuard guard;
    PageLayout layout;
    layout.format = format;
    layout.values = {QVector<float>(8, 50)};
    MakeChart(&guard.chart, {layout, layout});
    const QStringList stale = {".s_001.tif.0123abcd.part", ".s_002.tif.ffffffff.part"};
    const QStringList others = {".other_001.tif.0123abcd.part", ".s_001.tif.0123abcd.part.keep",
                                ".s_001.tif.0123ABCD.part", ".s_003.tif.0123abcd.part", "s_001.tif.AbCdEf",
                                "s_001.tif.0123abcd.part"};
    for (const QString &name : stale + others) {
        QFile file(Path(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("partial page");
    }
    QCOMPARE(COutputImage(&host).Output(Path("s.tif"), &guard.chart, 0), 0);
    QStringList expected = others + QStringList{"s_001.tif", "s_002.tif"};
    expected.sort();
    QCOMPARE(PageFiles(m_dir.path()), expected);
}

void TestOutputImage::writeFailsPartway_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<bool>("midPage");
    QTest::addColumn<int>("expected");
    QTest::newRow("strip in mid page") << int(Format6Color) << true << 100001;
    QTest::newRow("directory at flush") << int(Format6Color) << false << 100001;
    QTest::newRow("RGB strip in mid page") << int(FormatRGB) << true << 100002;
    QTest::newRow("CMYK directory at flush") << int(FormatCMYK) << false << 100002;
}

void TestOutputImage::writeFailsPartway()
{
    // A small first page fits under the size limit; the second runs into it in its strips or, one byte short of
    // its full size, when the directory is flushed.
    QFETCH(int, format);
    QFETCH(bool, midPage);
    QFETCH(int, expected);
    PageHost host;
    ChartGuard guard;
    PageLayout small;
    small.format = format;
    small.values = {QVector<float>(8, 50)};
    small.width = small.height = 1000;
    small.rows = small.columns = 1;
    PageLayout large = small;
    large.width = large.height = 3000;
    large.rows = large.columns = 2;
    MakeChart(&guard.chart, {small, large});
    QCOMPARE(COutputImage(&host).Output(Path("ref.tif"), &guard.chart, 0), 0);
    const qint64 smallSize = QFileInfo(Path("ref_001.tif")).size();
    const qint64 largeSize = QFileInfo(Path("ref_002.tif")).size();
    QVERIFY(smallSize > 0 && smallSize < largeSize / 2);
    QVERIFY(QFile::remove(Path("ref_001.tif")) && QFile::remove(Path("ref_002.tif")));

    QFile old(Path("w_002.tif"));
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("older page");
    old.close();
    int result = -1;
    {
        const FileSizeLimit limit(midPage ? largeSize / 2 : largeSize - 1);
        QVERIFY(limit.IsSet());
        result = COutputImage(&host).Output(Path("w.tif"), &guard.chart, 0);
    }
    QCOMPARE(result, expected);
    QCOMPARE(PageFiles(m_dir.path()), QStringList({"w_001.tif", "w_002.tif"}));
    QVERIFY(ReadTiff(Path("w_001.tif")).ok);
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), QByteArray("older page"));
}

void TestOutputImage::oversizedQrPicture()
{
    PageHost host;
    host.barcodeSizeShift = -7; // the table promises one module less than the picture has
    ChartGuard guard;
    PageLayout layout;
    layout.width = layout.height = 8000;
    MakeChart(&guard.chart, {layout}, 1);
    QCOMPARE(COutputImage(&host).Output(Path("o.tif"), &guard.chart, 0), 100001);
    QVERIFY(PageFiles(m_dir.path()).isEmpty());
}

void TestOutputImage::tallPage()
{
    // Above the 16384 pixels the system image policy allows an image: libtiff writes the page all the same.
    PageHost host;
    ChartGuard guard;
    PageLayout layout;
    layout.width = 1000;
    layout.height = 140000; // 16535 pixels
    MakeChart(&guard.chart, {layout});
    QCOMPARE(COutputImage(&host).Output(Path("t.tif"), &guard.chart, 0), 0);
    const TiffPage page = ReadTiff(Path("t_001.tif"));
    QVERIFY(page.ok);
    QCOMPARE(page.height, 16535u);
    QCOMPARE(page.Pixel(PatchCentre(0), PatchCentre(0)), std::vector<uint32_t>({255, 0, 0}));
    QCOMPARE(page.Pixel(5, 16534), std::vector<uint32_t>({255, 255, 255}));
}

void TestOutputImage::outputChartImageTakesUserDepth()
{
    PageHost host;
    host.environment.BitDepth = 0;
    ChartGuard guard;
    MakeChart(&guard.chart, {PageLayout()});
    CIODataFile files(&host);
    QCOMPARE(files.OutputChartImage(Path("d.tif"), &guard.chart), 0);
    QCOMPARE(ReadTiff(Path("d_001.tif")).bits, uint16_t(8));
    host.environment.BitDepth = 1;
    QCOMPARE(files.OutputChartImage(Path("d.tif"), &guard.chart), 0);
    QCOMPARE(ReadTiff(Path("d_001.tif")).bits, uint16_t(16));
}

void TestOutputImage::goldenPages_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("depthChoice");
    for (int depthChoice : {0, 1}) {
        QTest::addRow("rgb_%d", depthChoice ? 16 : 8) << int(FormatRGB) << depthChoice;
        QTest::addRow("cmyk_%d", depthChoice ? 16 : 8) << int(FormatCMYK) << depthChoice;
        QTest::addRow("spot6_%d", depthChoice ? 16 : 8) << int(Format6Color) << depthChoice;
    }
}

// Two small pages of different sizes byte for byte: the QR code's edge lies on each page (its tile placed partly
// off the page), the right column of patches runs past the page edge, and the colour values take the roundings,
// clamps and NaN. The larger strips of big pages are covered by rowsPerStrip.
void TestOutputImage::goldenPages()
{
    QFETCH(int, format);
    QFETCH(int, depthChoice);
    PageHost host;
    ChartGuard guard;
    PageLayout first;
    first.format = format;
    first.width = 1694; // 200 x 24 pixels
    first.height = 204;
    first.rows = 2;
    first.columns = 3;
    first.left = 1457;
    first.top = 0;
    first.size = 94;
    first.pitch = 102;
    first.barcodeX = -2270; // the code's right part over the left 53 columns
    first.barcodeY = -1846;
    if (format == FormatRGB)
        first.values = {{255, 0, 0}, {128, 127.5f, 300}, {kNaN, -4, 0.4f}, {1, 254.9f, 64}, {0, 0, 0},
                        {255, 255, 255}};
    else
        first.values = {{37.5f, 0, 100, 150, 50.2f, 99.9f}, {kNaN, -5, 0.3f, 100, 0, 12.5f},
                        {1, 2, 3, 4, 5, 6}, {0, 0, 0, 0, 0, 0}, {100, 100, 100, 100, 100, 100},
                        {66.6f, 33.3f, 0.1f, 99.99f, 25, 75}};
    PageLayout second = first;
    second.width = 1440; // 170 x 30 pixels
    second.height = 254;
    second.rows = 2;
    second.columns = 2;
    second.left = 1186;
    second.top = 17;
    second.size = 102;
    second.pitch = 119;
    second.barcodeX = -2540; // the code's bottom-right corner at the top left
    second.barcodeY = -2634;
    std::reverse(second.values.begin(), second.values.end());
    MakeChart(&guard.chart, {first, second}, 1);
    const QString base = QString::fromLatin1(QTest::currentDataTag());
    QCOMPARE(COutputImage(&host).Output(Path("page_" + base + ".tif"), &guard.chart, depthChoice), 0);
    for (const char *page : {"_001.tif", "_002.tif"}) {
        const QString name = "page_" + base + QLatin1String(page);
        QFile written(Path(name));
        QVERIFY(written.open(QIODevice::ReadOnly));
        const QByteArray ours = written.readAll();
        QFile golden(kGoldenDir + QLatin1Char('/') + name);
        if (qEnvironmentVariableIsSet("VAREMO_UPDATE_GOLDENS")) {
            QVERIFY(golden.open(QIODevice::WriteOnly));
            QCOMPARE(golden.write(ours), qint64(ours.size()));
            continue;
        }
        QVERIFY2(golden.open(QIODevice::ReadOnly), qPrintable(golden.fileName()));
        const QByteArray expected = golden.readAll();
        QCOMPARE(ours.size(), expected.size());
        QVERIFY2(ours == expected, qPrintable(name));
    }
}

// Strips of a multiple of 16 rows near 1 MiB, or the whole page in one, as the value stored in the file (a reader
// that chops one large strip reports fewer rows).
void TestOutputImage::rowsPerStrip_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("depthChoice");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<uint32_t>("rowsPerStrip");
    QTest::newRow("RGB 8, 944 wide") << int(FormatRGB) << 0 << 8000 << 8000 << 368u;
    QTest::newRow("RGB 16, 944 wide") << int(FormatRGB) << 1 << 8000 << 8000 << 176u;
    QTest::newRow("CMYK 8, 944 wide") << int(FormatCMYK) << 0 << 8000 << 8000 << 272u;
    QTest::newRow("CMYK 16, 944 wide") << int(FormatCMYK) << 1 << 8000 << 8000 << 128u;
    // 1 MiB over a row of 2343 bytes is 447.5 rows.
    QTest::newRow("RGB 8, 781 wide, 449 rows") << int(FormatRGB) << 0 << 6613 << 3802 << 448u;
    QTest::newRow("RGB 8, 781 wide, 448 rows") << int(FormatRGB) << 0 << 6613 << 3794 << 448u;
    QTest::newRow("RGB 8, 781 wide, 300 rows") << int(FormatRGB) << 0 << 6613 << 2541 << 300u;
    QTest::newRow("CMYK 16, 3885 wide") << int(FormatCMYK) << 1 << 32900 << 2000 << 32u;
    QTest::newRow("CMYK 8, 2480 wide, 1 row") << int(FormatCMYK) << 0 << 21000 << 9 << 1u;
    QTest::newRow("6 inks, 944 wide") << int(Format6Color) << 0 << 8000 << 8000 << 1u;
}

void TestOutputImage::rowsPerStrip()
{
    QFETCH(int, format);
    QFETCH(int, depthChoice);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(uint32_t, rowsPerStrip);
    PageHost host;
    ChartGuard guard;
    PageLayout layout;
    layout.format = format;
    layout.values = {QVector<float>(8, 50)};
    layout.width = width;
    layout.height = height;
    layout.rows = layout.columns = 1;
    layout.left = layout.top = 0;
    MakeChart(&guard.chart, {layout});
    QCOMPARE(COutputImage(&host).Output(Path("r.tif"), &guard.chart, depthChoice), 0);
    TIFF *tif = TIFFOpen(QFile::encodeName(Path("r_001.tif")).constData(), "rc"); // no strip chopping
    QVERIFY(tif);
    uint32_t stored = 0;
    TIFFGetField(tif, TIFFTAG_ROWSPERSTRIP, &stored);
    TIFFClose(tif);
    QCOMPARE(stored, rowsPerStrip);
    QVERIFY(ReadTiff(Path("r_001.tif")).ok);
}

int main(int argc, char **argv)
{
    // The QR picture goes to the per-user data folder; keep it inside a temporary one.
    QTemporaryDir dataHome;
    qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome.path()));
    COutputImage::InitializeImageLibrary(argv[0]);
    QCoreApplication app(argc, argv);
    app.setOrganizationName(QStringLiteral("VaremoTest"));
    app.setApplicationName(QStringLiteral("files_outputimage"));
    QDir().mkpath(AppDataDir());
    TestOutputImage test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_outputimage.moc"
