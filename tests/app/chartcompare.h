#pragma once
// Field-by-field comparison of two charts for tests: a failed QCOMPARE names the first field that differs.

#include "app/recordhelpers.h"
#include "app/records.h"

#include <QtTest>

#include <cstring>

namespace fixture {

inline void CompareCharts(const ChartDefinitionDataSheets &a, const ChartDefinitionDataSheets &b)
{
    QCOMPARE(a.Kind, b.Kind);
    QCOMPARE(a.SheetCount, b.SheetCount);
    QCOMPARE(a.ChartPatchCount, b.ChartPatchCount);
    QCOMPARE(a.Diameter, b.Diameter);
    QCOMPARE(a.UUID, b.UUID);
    QCOMPARE(a.ChartName, b.ChartName);
    QCOMPARE(a.CreateTime, b.CreateTime);
    QCOMPARE(a.UNIT, b.UNIT);
    QCOMPARE(a.Barcode, b.Barcode);
    QCOMPARE(a.Recog, b.Recog);
    for (int s = 0; s < a.SheetCount; ++s) {
        const ChartDefinitionData::Sheet &x = a.Sheets[s];
        const ChartDefinitionData::Sheet &y = b.Sheets[s];
        QCOMPARE(x.Width, y.Width);
        QCOMPARE(x.Height, y.Height);
        QCOMPARE(x.PatchCount, y.PatchCount);
        QCOMPARE(x.AreaCount, y.AreaCount);
        QVERIFY(std::memcmp(x.Areas, y.Areas, sizeof(x.Areas)) == 0);
        QVERIFY(std::memcmp(x.Placements, y.Placements, sizeof(x.Placements)) == 0);
        QCOMPARE(x.HasImage, y.HasImage);
        QCOMPARE(x.ClipAreaCount, y.ClipAreaCount);
        QVERIFY(std::memcmp(x.ClipAreas, y.ClipAreas, sizeof(x.ClipAreas)) == 0);
        QCOMPARE(x.ImageWidth, y.ImageWidth);
        QCOMPARE(x.ImageHeight, y.ImageHeight);
        QCOMPARE(x.BitPerPixel, y.BitPerPixel);
        QCOMPARE(x.ImageDPI, y.ImageDPI);
        const qint64 bytes = x.HasImage ? ImageByteCount(x.ImageWidth, x.ImageHeight, x.BitPerPixel) : 0;
        if (bytes > 0)
            QVERIFY(std::memcmp(x.ImageBytes.get(), y.ImageBytes.get(), size_t(bytes)) == 0);
        QCOMPARE(x.BarcodeLeftTopX, y.BarcodeLeftTopX);
        QCOMPARE(x.BarcodeLeftTopY, y.BarcodeLeftTopY);
        QCOMPARE(x.BarcodeWidth, y.BarcodeWidth);
        QCOMPARE(x.BarcodeHeight, y.BarcodeHeight);
        for (int p = 0; p < x.PatchCount; ++p) {
            const ChartDefinitionData::PatchColor &u = x.Patches[p];
            const ChartDefinitionData::PatchColor &v = y.Patches[p];
            QCOMPARE(u.ID, v.ID);
            QCOMPARE(u.Area, v.Area);
            QCOMPARE(u.Row, v.Row);
            QCOMPARE(u.Column, v.Column);
            QCOMPARE(u.ColorFormat, v.ColorFormat);
            for (int k = 0; k < kMaxColorValueCount; ++k)
                QCOMPARE(u.ColorValue[k], v.ColorValue[k]);
        }
    }
}

} // namespace fixture
