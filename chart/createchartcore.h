#pragma once
// The chart editor's own records: what the editor edits, free of widgets. Lengths in 0.01 mm.

#include "app/records.h"

#include <QByteArray>
#include <QVector>

#include <array>

// One cell of the editor: identifier and colour values (the colour format uses format + 2 of them).
struct CreateChartPatch {
    qint32 Duplicated = 0; // 1 while another patch of the page list has the same ID
    qint32 ID = 0;         // 1..9999, 0 none
    float ColorValue[8] = {};
};

// One area slot; used when PatchCount is above 0. The gaps are the pitch from one patch's origin to the next.
struct CreateChartArea {
    qint32 LeftTopX = 0;
    qint32 LeftTopY = 0;
    qint32 RowCount = 0;
    qint32 ColumnCount = 0;
    qint32 PatchCount = 0;
    qint32 PatchWidth = 0;
    qint32 PatchHeight = 0;
    qint32 PatchWidthGap = 0;
    qint32 PatchHeightGap = 0;
    QVector<CreateChartPatch> Patches; // row-major: row x ColumnCount + column
};

// One page of the editor. Copying a page copies its patch lists and image.
struct CreateChartPage {
    qint32 PaperSize = 0; // row of the paper-size table, 8 custom
    qint32 Width = 0;
    qint32 Height = 0;
    qint32 AreaCount = 0; // used slots; they need not be contiguous
    std::array<CreateChartArea, kMaxAreaCount> Areas;
    qint32 ImageWidth = 0;
    qint32 ImageHeight = 0;
    qint32 BitPerPixel = 0;
    QByteArray ImageBytes; // ImageWidth x ImageHeight x BitPerPixel / 8
    qint32 BarcodeLeftTopX = 0;
    qint32 BarcodeLeftTopY = 0;
    qint32 BarcodeWidth = 0;
    qint32 BarcodeHeight = 0;
};

using CreateChartPageList = QVector<CreateChartPage>;
