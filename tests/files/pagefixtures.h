#pragma once
// Small charts for the page-image tests and a host whose QR pictures come from the simulated chart scanner.

#include "testhost.h"

#include "app/recordhelpers.h"
#include "app/resourcedata.h"
#include "app/settingrecords.h"

#include <OrloSDK.h>

#include <QFile>
#include <QVector>

#include <cstring>

class PageHost : public TestHost
{
public:
    PageHost() { m_resources.Initialize(); }

    const Setting::UserEnvironment *GetUserEnvironment() const override { return &environment; }
    int GetBarcodeSize(const SheetInfoRecord &record) const override
    {
        return m_resources.GetBarcodeSize(record, 1, 7) + barcodeSizeShift;
    }
    int GetBarcodeInsetPixels() const override { return m_resources.GetBarcodeInsetPixels(7); }
    // As the scanner controller does: model and device code preset, level 1, 7 pixels per module.
    int CreateBarcodeImage(const QString &path, SheetInfoRecord *record) override
    {
        ++barcodeCalls;
        std::memcpy(record->ModelText, "Orlo", 4);
        std::memcpy(record->DeviceCode, "0000", 4);
        return Orlo_CreateBarcodeImage(QFile::encodeName(path).constData(),
                                       reinterpret_cast<const uint8_t *>(record), 1, 7);
    }
    QString BarcodeText(const SheetInfoRecord &record) const { return m_resources.MakeBarcodeText(record); }

    Setting::UserEnvironment environment;
    int barcodeSizeShift = 0;
    int barcodeCalls = 0;

private:
    CResourceData m_resources;
};

// One area of rows x columns patches; lengths in 0.01 mm. Patch (r, c) takes values[r * columns + c], or the
// last entry when the list is shorter.
struct PageLayout {
    int width = 3000;
    int height = 3000;
    int rows = 2;
    int columns = 2;
    int left = 300;
    int top = 300;
    int size = 600;
    int pitch = 1000;
    int format = ChartDefinitionData::FormatRGB;
    QVector<QVector<float>> values = {{255, 0, 0}};
    int barcodeX = 0;
    int barcodeY = 0;
    bool dropLastPatch = false;
    bool empty = false; // no area, no patch
};

inline void FillPage(ChartDefinitionData::Sheet *sheet, const PageLayout &layout)
{
    sheet->Width = layout.width;
    sheet->Height = layout.height;
    sheet->BarcodeLeftTopX = layout.barcodeX;
    sheet->BarcodeLeftTopY = layout.barcodeY;
    if (layout.empty)
        return;
    const int n = layout.rows * layout.columns - (layout.dropLastPatch ? 1 : 0);
    sheet->AreaCount = 1;
    sheet->Areas[0] = {layout.rows, layout.columns, n};
    sheet->Placements[0] = {layout.left, layout.top, layout.size, layout.size, layout.pitch, layout.pitch};
    sheet->PatchCount = n;
    sheet->Patches = NewChartPatches(size_t(n));
    for (int i = 0; i < n; ++i) {
        ChartDefinitionData::PatchColor &patch = sheet->Patches[i];
        patch.ID = i + 1;
        patch.Row = i / layout.columns;
        patch.Column = i % layout.columns;
        patch.ColorFormat = layout.format;
        const QVector<float> &values = layout.values.value(i, layout.values.last());
        for (int k = 0; k < values.size() && k < kMaxColorValueCount; ++k)
            patch.ColorValue[k] = values[k];
    }
}

inline void MakeChart(ChartDefinitionDataSheets *chart, const QVector<PageLayout> &pages, int barcode = 0)
{
    chart->ChartName = QStringLiteral("PAGETEST");
    chart->Barcode = barcode;
    chart->SheetCount = pages.size();
    chart->Sheets = NewChartSheets(size_t(pages.size()));
    for (int i = 0; i < pages.size(); ++i) {
        FillPage(&chart->Sheets[i], pages[i]);
        chart->ChartPatchCount += chart->Sheets[i].PatchCount;
    }
}
