// The layout record and colour-check list built for the chart scanner from a registered sheet.

#include "orlostubmodel.h"

#include "app/colourhelpers.h"
#include "app/orlobuilders.h"

#include <QtTest>

namespace {

// The run chart (one area of 2 x 3 RGB patches), cleared when the test ends.
struct SheetFixture {
    ChartDefinitionDataSheets chart;
    SheetFixture() { MakeRunChart(&chart); }
    ~SheetFixture() { ClearChartDefinitionData(&chart); }
    ChartDefinitionData::Sheet &sheet() { return chart.Sheets[0]; }
};

// A barcode image owned by the sheet, its bytes numbered 1, 2, 3, ...
void GiveBarcodeImage(ChartDefinitionData::Sheet *sheet, int width, int height, int bits, int dpi)
{
    const size_t bytes = size_t(ImageByteCount(width, height, bits));
    sheet->ImageBytes = NewImageBytes(bytes);
    for (size_t i = 0; i < bytes; ++i)
        sheet->ImageBytes[i] = static_cast<unsigned char>(i + 1);
    sheet->HasImage = 1;
    sheet->ImageWidth = width;
    sheet->ImageHeight = height;
    sheet->BitPerPixel = bits;
    sheet->ImageDPI = dpi;
}

struct Entry {
    int area, row, column;
    float value[3];
};

QVector<Entry> EntriesOf(OrloColorCheckBuffer &list)
{
    QVector<Entry> entries;
    for (int i = 0; i < list.List()->count; ++i) {
        const OrloColorCheckEntry &e = list.Entries()[i];
        entries.push_back({e.area, e.row, e.column, {e.value[0], e.value[1], e.value[2]}});
    }
    return entries;
}

} // namespace

class TestOrloBuilders : public QObject
{
    Q_OBJECT

private slots:
    void layoutRecordFields()
    {
        SheetFixture f;
        ChartDefinitionData::Sheet &sheet = f.sheet();
        sheet.AreaCount = 2;
        sheet.Areas[1] = {1, 4, 3};
        sheet.Placements[1] = {11, 12, 13, 14, 15, 16};
        sheet.PatchCount = 9;
        OrloLayoutRecord layout;
        std::memset(&layout, 0x5a, sizeof layout);
        std::vector<unsigned char> enlarged;
        BuildLayoutRecord(sheet, &layout, &enlarged);

        QCOMPARE(QVector<int>({layout.width, layout.height, layout.areaCount, layout.patchCount}),
                 QVector<int>({20000, 15000, 2, 9}));
        QCOMPARE(QVector<int>(layout.areaCounts[0], layout.areaCounts[0] + 3), QVector<int>({2, 3, 6}));
        QCOMPARE(QVector<int>(layout.areaCounts[1], layout.areaCounts[1] + 3), QVector<int>({1, 4, 3}));
        QCOMPARE(QVector<int>(layout.areaGeometry[0], layout.areaGeometry[0] + 6),
                 QVector<int>({3000, 4000, 1000, 1000, 1200, 1200}));
        QCOMPARE(QVector<int>(layout.areaGeometry[1], layout.areaGeometry[1] + 6),
                 QVector<int>({11, 12, 13, 14, 15, 16}));
        // Everything past the areas is zero, and without a barcode image nothing of it is passed.
        QCOMPARE(layout.areaCounts[2][0], 0);
        QCOMPARE(layout.flag, 0);
        QCOMPARE(layout.clipCount, 0);
        QVERIFY(layout.image.pixels == nullptr);
        QVERIFY(enlarged.empty());

        // A barcode flag without image bytes passes no image either.
        sheet.HasImage = 1;
        sheet.ImageWidth = sheet.ImageHeight = 4;
        sheet.BitPerPixel = 8;
        BuildLayoutRecord(sheet, &layout, &enlarged);
        QCOMPARE(layout.flag, 0);
        QVERIFY(layout.image.pixels == nullptr);
    }

    void barcodeImageEnlarged_data()
    {
        QTest::addColumn<int>("dpi");
        QTest::addColumn<int>("bits");
        QTest::newRow("150 dpi by default, grey") << 0 << 8;
        QTest::newRow("150 dpi, colour") << 150 << 24;
        QTest::newRow("300 dpi kept") << 300 << 8;
    }

    void barcodeImageEnlarged()
    {
        QFETCH(int, dpi);
        QFETCH(int, bits);
        const int bytesPerPixel = bits / 8;
        SheetFixture f;
        ChartDefinitionData::Sheet &sheet = f.sheet();
        GiveBarcodeImage(&sheet, 3, 2, bits, dpi);
        const unsigned char *pixels = sheet.ImageBytes.get();
        sheet.ClipAreaCount = 1;
        sheet.ClipAreas[0].RightBottomY = 55;
        OrloLayoutRecord layout;
        std::vector<unsigned char> enlarged;
        BuildLayoutRecord(sheet, &layout, &enlarged);
        QCOMPARE(layout.flag, 1);
        QCOMPARE(layout.clipCount, 1);
        QCOMPARE(layout.clips[0][7], 55);
        QCOMPARE(layout.areaCount, 1);
        QCOMPARE(layout.patchCount, 6);
        QCOMPARE(layout.areaGeometry[0][4], 1200);
        if (dpi == 300) {
            QCOMPARE(layout.image.width, 3);
            QVERIFY(layout.image.pixels == pixels);
            return;
        }
        QCOMPARE(layout.image.width, 6);
        QCOMPARE(layout.image.height, 4);
        QVERIFY(layout.image.pixels == enlarged.data());
        QCOMPARE(enlarged.size(), size_t(6 * 4 * bytesPerPixel));
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 6; ++x)
                for (int c = 0; c < bytesPerPixel; ++c)
                    QCOMPARE(enlarged[size_t((y * 6 + x) * bytesPerPixel + c)],
                             pixels[size_t(((y / 2) * 3 + x / 2) * bytesPerPixel + c)]);
    }

    void colourCheckListLeftEmpty()
    {
        SheetFixture f;
        OrloColorCheckBuffer list;
        list.Reset(1, 3); // whatever was there before goes
        f.sheet().Patches[0].ColorFormat = ChartDefinitionData::FormatNone;
        BuildColorCheckList(f.sheet(), ReferenceInkChannels(), &list);
        QVERIFY(list.IsEmpty());

        // Only the first patch decides: later patches with a format do not make a list.
        f.sheet().Patches[0].ColorFormat = ChartDefinitionData::FormatRGB;
        f.sheet().Patches[1].ColorFormat = ChartDefinitionData::FormatNone;
        BuildColorCheckList(f.sheet(), ReferenceInkChannels(), &list);
        QVERIFY(!list.IsEmpty());
    }

    void colourCheckListFlag_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<int>("flag");
        QTest::newRow("RGB") << int(ChartDefinitionData::FormatRGB) << 1;
        QTest::newRow("CMYK") << int(ChartDefinitionData::FormatCMYK) << 0;
        QTest::newRow("5 colours") << int(ChartDefinitionData::Format5Color) << 1;
        QTest::newRow("8 colours") << int(ChartDefinitionData::Format8Color) << 1;
    }

    void colourCheckListFlag()
    {
        QFETCH(int, format);
        QFETCH(int, flag);
        SheetFixture f;
        for (int k = 0; k < f.sheet().PatchCount; ++k)
            f.sheet().Patches[k].ColorFormat = format;
        OrloColorCheckBuffer list;
        BuildColorCheckList(f.sheet(), ReferenceInkChannels(), &list);
        QCOMPARE(list.List()->flag, flag);
        QCOMPARE(list.List()->count, 6);
    }

    // One entry per grid position that has a patch, walked area by area, row by row; the first record of a
    // position wins; RGB and CMYK values as stored.
    void colourCheckListEntries()
    {
        SheetFixture f;
        ChartDefinitionData::Sheet &sheet = f.sheet();
        sheet.AreaCount = 2;
        sheet.Areas[1] = {1, 2, 2};
        ChartDefinitionData::PatchColor *p = sheet.Patches.get();
        p[0] = {1, 1, 0, 1, 1, {10, 11, 12}};   // area 1, (0, 1)
        p[1] = {2, 0, 1, 2, 1, {20, 21, 22}};   // area 0, (1, 2)
        p[2] = {3, 0, 0, 0, 1, {30, 31, 32}};   // area 0, (0, 0)
        p[3] = {4, 0, 1, 2, 1, {40, 41, 42}};   // (1, 2) again: not taken
        p[4] = {5, 0, 0, 1, 2, {50, 51, 52, 53}}; // a CMYK record in an RGB sheet: its first three values
        p[5] = {6, 5, 0, 0, 1, {60, 61, 62}};   // an area the sheet does not have
        OrloColorCheckBuffer list;
        BuildColorCheckList(sheet, ReferenceInkChannels(), &list);
        const QVector<Entry> entries = EntriesOf(list);
        QCOMPARE(entries.size(), 4);
        const int expected[4][6] = {
            {0, 0, 0, 30, 31, 32}, {0, 0, 1, 50, 51, 52}, {0, 1, 2, 20, 21, 22}, {1, 0, 1, 10, 11, 12}};
        for (int i = 0; i < 4; ++i) {
            const Entry &e = entries[i];
            QCOMPARE(QVector<float>({float(e.area), float(e.row), float(e.column), e.value[0], e.value[1], e.value[2]}),
                     QVector<float>(expected[i], expected[i] + 6));
        }
    }

    // Formats of more than four inks are checked as the RGB the settings' inks print.
    void colourCheckListMixesInks()
    {
        SheetFixture f;
        ChartDefinitionData::Sheet &sheet = f.sheet();
        for (int k = 0; k < sheet.PatchCount; ++k)
            sheet.Patches[k] = {k + 1, 0, k / 3, k % 3, ChartDefinitionData::Format5Color, {}};
        sheet.Patches[1].ColorValue[0] = 100.0f; // full first ink
        InkChannelList inks = ReferenceInkChannels();
        inks[0] = {QStringLiteral("Grey"), 5000, 0, 0};
        OrloColorCheckBuffer list;
        BuildColorCheckList(sheet, inks, &list);
        const QVector<Entry> entries = EntriesOf(list);
        QCOMPARE(entries.size(), 6);
        float grey[3];
        InkTintToRgb(grey, 100.0f, inks[0]);
        QVERIFY(grey[0] < 200.0f);
        for (int c = 0; c < 3; ++c) {
            QVERIFY2(qAbs(entries[0].value[c] - 255.0f) < 0.5f, "no ink is the paper");
            QVERIFY(qAbs(entries[1].value[c] - grey[c]) < 0.01f);
        }
    }
};

QTEST_GUILESS_MAIN(TestOrloBuilders)
#include "test_orlo_builders.moc"
