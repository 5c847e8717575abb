// The committed pictures under Resource/: each loads from the compiled resource, the QR picture decodes, and
// drawing them again gives the same pixels, so no committed file drifts from tools/icons.

#include "icondrawing.h"

#include <zbar.h>

#include <QDir>
#include <QIcon>
#include <QImageReader>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <vector>

namespace {

const QString kPrefix = QStringLiteral(":/CVaremo/Resource/");

// Every frame of a picture file, as ARGB32 (null frames kept, so a frame that fails to decode shows).
QList<QImage> DecodeFrames(const QString &path)
{
    QList<QImage> frames;
    QImageReader probe(path);
    const int count = qMax(1, probe.imageCount());
    for (int i = 0; i < count; ++i) {
        QImageReader reader(path);
        if (i > 0 && !reader.jumpToImage(i)) {
            frames.append(QImage());
            continue;
        }
        frames.append(reader.read().convertToFormat(QImage::Format_ARGB32));
    }
    return frames;
}

// Qt's raster engine picks its blending code by the processor's features, and the paths round edge pixels
// differently by one step; more than that is a changed drawing.
bool SamePixel(QRgb a, QRgb b)
{
    return qAbs(qRed(a) - qRed(b)) <= 1 && qAbs(qGreen(a) - qGreen(b)) <= 1 && qAbs(qBlue(a) - qBlue(b)) <= 1 &&
           qAbs(qAlpha(a) - qAlpha(b)) <= 1;
}

QString FirstDifference(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return QStringLiteral("size %1x%2 against %3x%4").arg(a.width()).arg(a.height()).arg(b.width()).arg(b.height());
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (!SamePixel(a.pixel(x, y), b.pixel(x, y)))
                return QStringLiteral("pixel (%1, %2): %3 against %4")
                    .arg(x).arg(y).arg(a.pixel(x, y), 8, 16, QLatin1Char('0')).arg(b.pixel(x, y), 8, 16, QLatin1Char('0'));
    return QString();
}

QString DecodeQr(const QImage &image)
{
    const QImage grey = image.convertToFormat(QImage::Format_Grayscale8);
    std::vector<unsigned char> bytes;
    bytes.reserve(size_t(grey.width()) * size_t(grey.height()));
    for (int y = 0; y < grey.height(); ++y)
        bytes.insert(bytes.end(), grey.constScanLine(y), grey.constScanLine(y) + grey.width());
    zbar::ImageScanner scanner;
    scanner.set_config(zbar::ZBAR_NONE, zbar::ZBAR_CFG_ENABLE, 0);
    scanner.set_config(zbar::ZBAR_QRCODE, zbar::ZBAR_CFG_ENABLE, 1);
    zbar::Image frame(unsigned(grey.width()), unsigned(grey.height()), "Y800", bytes.data(), bytes.size());
    if (scanner.scan(frame) <= 0)
        return QString();
    return QString::fromStdString(frame.symbol_begin()->get_data());
}

bool IsGrey(QRgb pixel)
{
    return qRed(pixel) == qGreen(pixel) && qGreen(pixel) == qBlue(pixel);
}

} // namespace

class TestIcons : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void iconLoads_data();
    void iconLoads();
    void greyTwin_data();
    void greyTwin();
    void tileStrip_data();
    void tileStrip();
    void splashLeavesTheLabelsAQuietField();
    void appIconHoldsEverySize();
    void barcodePicture();
    void regeneratedEqualsCommitted_data();
    void regeneratedEqualsCommitted();
    void committedFolderHoldsNothingElse();

private:
    QTemporaryDir m_generated;
    QStringList m_written;
};

void TestIcons::initTestCase()
{
    Q_INIT_RESOURCE(Resource);
    QVERIFY(m_generated.isValid());
    QString error;
    m_written = IconDrawing::WriteAll(m_generated.path(), &error);
    QVERIFY2(!m_written.isEmpty(), qPrintable(error));
    QCOMPARE(m_written, IconDrawing::OutputFileNames());

    // The names the chart editors and dialogs ask for.
    const QStringList required = {"id", "tb-02v", "chart_side_turn", "copy", "paste", "chart_side_UD",
                                  "chart_side_LR", "chart_side_RC", "undo", "redo", "color", "zoomin", "zoomout",
                                  "delete", "new", "open", "save", "setting_measure", "setting_environ",
                                  "setting_connect", "setting_network", "illuminant_data", "connect", "disconnect",
                                  "adjust_density", "mes_t"};
    for (const QString &name : required)
        QVERIFY2(IconDrawing::IconNames().contains(name), qPrintable(name));
    // The measurement button asks for its disabled picture by this name.
    QCOMPARE(IconDrawing::GreyName(QStringLiteral("mes_t")), QStringLiteral("mes_g"));
}

void TestIcons::iconLoads_data()
{
    QTest::addColumn<QString>("file");
    for (const QString &name : IconDrawing::IconNames()) {
        QTest::newRow(qPrintable(name)) << name + ".png";
        QTest::newRow(qPrintable(IconDrawing::GreyName(name))) << IconDrawing::GreyName(name) + ".png";
    }
}

void TestIcons::iconLoads()
{
    QFETCH(QString, file);
    const QIcon icon(kPrefix + file);
    QVERIFY(!icon.isNull());
    QVERIFY(!icon.pixmap(IconDrawing::kIconSize).isNull());
    const QImage image(kPrefix + file);
    QCOMPARE(image.size(), QSize(IconDrawing::kIconSize, IconDrawing::kIconSize));
    int opaque = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            opaque += qAlpha(image.pixel(x, y)) > 128 ? 1 : 0;
    QVERIFY2(opaque >= 20, "the icon is (nearly) empty");
}

void TestIcons::greyTwin_data()
{
    QTest::addColumn<QString>("name");
    for (const QString &name : IconDrawing::IconNames())
        QTest::newRow(qPrintable(name)) << name;
}

// The disabled twin keeps the shape, loses the colour and is never darker.
void TestIcons::greyTwin()
{
    QFETCH(QString, name);
    const QImage normal = QImage(kPrefix + name + ".png").convertToFormat(QImage::Format_ARGB32);
    const QImage grey = QImage(kPrefix + IconDrawing::GreyName(name) + ".png").convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(grey.size(), normal.size());
    bool coloured = false;
    for (int y = 0; y < normal.height(); ++y) {
        for (int x = 0; x < normal.width(); ++x) {
            const QRgb n = normal.pixel(x, y);
            const QRgb g = grey.pixel(x, y);
            QCOMPARE(qAlpha(g), qAlpha(n));
            if (qAlpha(n) == 0)
                continue;
            QVERIFY2(IsGrey(g), qPrintable(QStringLiteral("(%1, %2)").arg(x).arg(y)));
            QVERIFY2(qRed(g) >= qGray(n), qPrintable(QStringLiteral("(%1, %2)").arg(x).arg(y)));
            coloured = coloured || !IsGrey(n);
        }
    }
    QVERIFY2(coloured, "the normal icon has no colour, so the twin cannot be told from it");
}

void TestIcons::tileStrip_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QList<QRgb>>("swatches");
    QTest::newRow("tile1") << "tile1"
                           << QList<QRgb>{qRgb(255, 255, 255), qRgb(221, 221, 221), qRgb(147, 147, 147),
                                          qRgb(140, 140, 140), qRgb(71, 71, 71),    qRgb(148, 74, 75),
                                          qRgb(255, 0, 0)};
    QTest::newRow("tile2") << "tile2"
                           << QList<QRgb>{qRgb(255, 165, 0), qRgb(255, 255, 0), qRgb(0, 128, 0), qRgb(87, 136, 72),
                                          qRgb(0, 255, 255), qRgb(0, 0, 128),   qRgb(0, 0, 0)};
}

// A label picture: within the label's 430 x 345, opaque, and each tile of its strip fills a swatch of its own.
void TestIcons::tileStrip()
{
    QFETCH(QString, name);
    QFETCH(QList<QRgb>, swatches);
    const QImage image = QImage(kPrefix + name + ".png").convertToFormat(QImage::Format_ARGB32);
    QVERIFY(!image.isNull());
    QVERIFY(image.width() <= 430 && image.height() <= 345);
    QHash<QRgb, int> counts;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            QCOMPARE(qAlpha(image.pixel(x, y)), 255);
            ++counts[image.pixel(x, y)];
        }
    }
    for (QRgb colour : swatches)
        QVERIFY2(counts.value(colour) >= 4000, qPrintable(QString::number(colour, 16)));
    // The two strips differ: the orange tile is on No.2 only, the red one on No.1 only.
    QCOMPARE(counts.value(qRgb(255, 165, 0)) > 0, name == "tile2");
    QCOMPARE(counts.value(qRgb(255, 0, 0)) > 0, name == "tile1");
}

// The version and notice labels are drawn over the picture in teal and mid grey: their areas stay light and plain,
// while the rest carries the design (the name in light strokes on a dark band).
void TestIcons::splashLeavesTheLabelsAQuietField()
{
    const QImage image = QImage(kPrefix + IconDrawing::SplashFileName()).convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(image.size(), QSize(512, 316));
    const QList<QRect> labels = {QRect(390, 160, 120, 21), QRect(200, 200, 310, 20), QRect(200, 220, 310, 90)};
    for (const QRect &label : labels) {
        int lightest = 0, darkest = 255;
        for (int y = label.top(); y <= label.bottom(); ++y) {
            for (int x = label.left(); x <= label.right(); ++x) {
                QCOMPARE(qAlpha(image.pixel(x, y)), 255);
                lightest = qMax(lightest, qGray(image.pixel(x, y)));
                darkest = qMin(darkest, qGray(image.pixel(x, y)));
            }
        }
        QVERIFY2(darkest >= 225 && lightest - darkest <= 12,
                 qPrintable(QStringLiteral("label area at (%1, %2): grey %3 to %4")
                                .arg(label.x()).arg(label.y()).arg(darkest).arg(lightest)));
    }
    int dark = 0, light = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            QCOMPARE(qAlpha(image.pixel(x, y)), 255);
            const int grey = qGray(image.pixel(x, y));
            dark += grey < 100 ? 1 : 0;
            light += grey > 200 ? 1 : 0;
        }
    }
    QVERIFY2(dark > 20000 && light > 20000, "the picture is (nearly) plain");
}

void TestIcons::appIconHoldsEverySize()
{
    const QString path = kPrefix + IconDrawing::AppIconFileName();
    QVERIFY(!QIcon(path).isNull());
    const QList<QImage> frames = DecodeFrames(path);
    QList<int> sizes;
    for (const QImage &frame : frames) {
        QVERIFY(!frame.isNull());
        QCOMPARE(frame.width(), frame.height());
        sizes.append(frame.width());
        QCOMPARE(qAlpha(frame.pixel(frame.width() / 2, frame.height() / 2)), 255);
        QCOMPARE(qAlpha(frame.pixel(0, 0)), 0); // rounded corner
    }
    std::sort(sizes.begin(), sizes.end());
    QCOMPARE(sizes, IconDrawing::AppIconSizes());
}

void TestIcons::barcodePicture()
{
    QVERIFY2(QImageReader::supportedImageFormats().contains("tiff"),
             "Qt's TIFF plugin is missing: install qt5-image-formats-plugins");
    const QImage image(kPrefix + IconDrawing::BarcodeFileName());
    QVERIFY(!image.isNull());
    QCOMPARE(image.format(), QImage::Format_Grayscale8);
    // Version 1 (21 modules) with the quiet zone on both sides.
    const int side = (21 + 2 * IconDrawing::kQrQuietModules) * IconDrawing::kQrModulePixels;
    QCOMPARE(image.size(), QSize(side, side));
    const int quiet = IconDrawing::kQrQuietModules * IconDrawing::kQrModulePixels;
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            const int v = qGray(image.pixel(x, y));
            QVERIFY(v == 0 || v == 255);
            if (x < quiet || y < quiet || x >= side - quiet || y >= side - quiet)
                QCOMPARE(v, 255);
        }
    }
    // The finder pattern's corner module starts right inside the quiet zone.
    QCOMPARE(qGray(image.pixel(quiet, quiet)), 0);
    QCOMPARE(DecodeQr(image), QStringLiteral("VAREMO"));
}

void TestIcons::regeneratedEqualsCommitted_data()
{
    QTest::addColumn<QString>("file");
    for (const QString &file : IconDrawing::OutputFileNames())
        QTest::newRow(qPrintable(file)) << file;
}

void TestIcons::regeneratedEqualsCommitted()
{
    QFETCH(QString, file);
    const QString committed = QDir(QStringLiteral(VAREMO_RESOURCE_DIR)).filePath(file);
    const QString fresh = QDir(m_generated.path()).filePath(file);
    QVERIFY2(QFile::exists(committed), qPrintable(committed + " is missing: run varemo_icons Resource"));
    if (file.endsWith(".qrc")) {
        QFile a(committed), b(fresh);
        QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(a.readAll()), QString::fromUtf8(b.readAll()));
        return;
    }
    const QList<QImage> expected = DecodeFrames(fresh);
    const QList<QImage> actual = DecodeFrames(committed);
    QCOMPARE(actual.size(), expected.size());
    for (int i = 0; i < expected.size(); ++i) {
        QVERIFY(!expected.at(i).isNull());
        const QString difference = FirstDifference(actual.at(i), expected.at(i));
        QVERIFY2(difference.isEmpty(), qPrintable(QStringLiteral("frame %1, %2; run varemo_icons Resource")
                                                      .arg(i).arg(difference)));
    }
}

// A picture dropped from the tool's table must leave the folder too.
void TestIcons::committedFolderHoldsNothingElse()
{
    QStringList committed = QDir(QStringLiteral(VAREMO_RESOURCE_DIR)).entryList(QDir::Files, QDir::Name);
    committed.removeAll(QStringLiteral("CMakeLists.txt"));
    committed.sort();
    QStringList expected = IconDrawing::OutputFileNames();
    expected.sort();
    QCOMPARE(committed, expected);
}

QTEST_MAIN(TestIcons)
#include "test_icons.moc"
