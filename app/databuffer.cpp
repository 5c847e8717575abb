#include "app/databuffer.h"

#include "app/recordhelpers.h"
#include "app/unithelpers.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

namespace {

constexpr int kImageDpi = 300;

// A grid position within one page.
struct GridKey {
    int area;
    int row;
    int column;
    bool operator==(const GridKey &o) const { return area == o.area && row == o.row && column == o.column; }
};

inline uint qHash(const GridKey &k, uint seed = 0)
{
    return ::qHash(quint64(quint32(k.area)) * 0x9E3779B1u ^ (quint64(quint32(k.row)) << 32 | quint32(k.column)),
                   seed);
}

// Grid position -> index of its first entry in list order.
template <typename T>
QHash<GridKey, int> FirstIndexMap(const T *items, int count)
{
    QHash<GridKey, int> map;
    map.reserve(std::max(0, count));
    // insert() replaces, so walking backwards leaves the first entry.
    for (int i = count - 1; i >= 0; --i)
        map.insert({items[i].Area, items[i].Row, items[i].Column}, i);
    return map;
}

QHash<GridKey, int> FirstPointMap(const OrloMeasurePoint *points, int count)
{
    QHash<GridKey, int> map;
    map.reserve(std::max(0, count));
    for (int i = count - 1; i >= 0; --i)
        map.insert({points[i].area, points[i].row, points[i].column}, i);
    return map;
}

int ClampCount(int value, int maximum)
{
    return std::clamp(value, 0, maximum);
}

// Bytes of a captured or layout image, 0 when the record is not a usable image.
qint64 UsableImageBytes(const OrloImage *image)
{
    if (!image || !image->pixels)
        return 0;
    return ImageByteCount(image->width, image->height, image->bitsPerPixel);
}

std::unique_ptr<unsigned char[]> CopyBytes(const unsigned char *source, qint64 count)
{
    if (!source || count <= 0)
        return nullptr;
    std::unique_ptr<unsigned char[]> bytes = NewImageBytes(size_t(count));
    std::memcpy(bytes.get(), source, size_t(count));
    return bytes;
}

} // namespace

CDataBuffer::CDataBuffer(CDataBufferHost *host) : m_host(host) {}

CDataBuffer::~CDataBuffer()
{
    ClearChartDefinitionData(&m_chart);
    ClearMeasureFileData(&m_measurement);
}

int CDataBuffer::GetMeasurement(MeasurementDataSheets **measurement)
{
    if (measurement)
        *measurement = &m_measurement;
    return 0;
}

void CDataBuffer::ResetPosition()
{
    m_chartPageIndex = 0;
    m_storedPageCount = 0;
}

void CDataBuffer::ClearChart()
{
    ClearChartDefinitionData(&m_chart);
}

void CDataBuffer::ClearMeasurement()
{
    ClearMeasureFileData(&m_measurement);
}

void CDataBuffer::AllocatePages(int count)
{
    count = std::max(0, count);
    m_measurement.Sheets = count > 0 ? NewMeasurementPages(size_t(count)) : nullptr;
    m_measurement.SheetCount = count;
}

MeasurementData *CDataBuffer::CurrentPage() const
{
    if (!m_measurement.Sheets || m_measurement.SheetCount <= 0 ||
        m_storedPageCount >= unsigned(m_measurement.SheetCount))
        return nullptr;
    return &m_measurement.Sheets[m_storedPageCount];
}

bool CDataBuffer::HoldsMeasuredData() const
{
    return m_chart.Sheets && m_chart.SheetCount > 0 && m_measurement.Sheets && m_measurement.SheetCount > 0 &&
           m_measurement.Sheets[0].RecordCount > 0;
}

void CDataBuffer::MarkPageStored()
{
    ++m_storedPageCount;
    m_chartPageIndex = m_storedPageCount;
}

bool CDataBuffer::IsCurrentPageComplete() const
{
    const MeasurementData *page = CurrentPage();
    return page && page->MeasuredCount == page->RecordCount;
}

unsigned CDataBuffer::GetCurrentRecordCount() const
{
    const MeasurementData *page = CurrentPage();
    return page ? unsigned(std::max(0, page->MeasuredCount)) : 0;
}

unsigned CDataBuffer::GetExpectedRecordCount() const
{
    const MeasurementData *page = CurrentPage();
    return page ? unsigned(std::max(0, page->RecordCount)) : 0;
}

QList<unsigned> CDataBuffer::GetChartPageNumbers() const
{
    QList<unsigned> numbers;
    for (int i = 1; i <= m_chart.SheetCount; ++i)
        numbers.append(unsigned(i));
    return numbers;
}

QList<unsigned> CDataBuffer::GetMeasuredPageNumbers() const
{
    QList<unsigned> numbers;
    for (int i = 0; m_measurement.Sheets && i < m_measurement.SheetCount; ++i) {
        if (m_measurement.Sheets[i].PageNumber != 0)
            numbers.append(unsigned(m_measurement.Sheets[i].PageNumber));
    }
    return numbers;
}

void CDataBuffer::CopyChartDefinition(ChartDefinitionDataSheets *out) const
{
    if (out)
        CopyChartForMeasurement(out, m_chart, m_measurement);
}

int CDataBuffer::ReplaceChartSheet(const ChartDefinitionData::Sheet &sheet, int index)
{
    if (!m_chart.Sheets || index < 0 || index >= m_chart.SheetCount)
        return IndexOutOfRange;
    // Copy first: the given sheet may share its arrays with the one it replaces.
    ChartDefinitionData::Sheet copy;
    CopySheetData(&copy, sheet);
    if (!sheet.HasImage) {
        copy.ImageBytes.reset();
        copy.ImageWidth = copy.ImageHeight = copy.BitPerPixel = 0;
    }
    m_chart.Sheets[index] = std::move(copy);
    m_chart.ChartPatchCount = 0;
    for (int i = 0; i < m_chart.SheetCount; ++i)
        m_chart.ChartPatchCount += m_chart.Sheets[i].PatchCount;
    return Success;
}

int CDataBuffer::ReplaceMeasurementSheet(const MeasurementData &page, int index)
{
    if (!m_measurement.Sheets || index < 0 || index >= m_measurement.SheetCount)
        return IndexOutOfRange;
    MeasurementData copy;
    CopyMeasurementPage(&copy, page);
    m_measurement.Sheets[index] = std::move(copy);
    m_measurement.RecordCount = 0;
    for (int i = 0; i < m_measurement.SheetCount; ++i)
        m_measurement.RecordCount += m_measurement.Sheets[i].RecordCount;
    return Success;
}

void CDataBuffer::SetSheetImage(const OrloImage *image, int pageMode)
{
    int count = 1;
    if (pageMode == 0)
        ClearChart();
    else
        count = std::max(0, m_chart.SheetCount);
    if (m_storedPageCount == 0) {
        ClearMeasurement();
        AllocatePages(count);
    }
    if (image) {
        MeasurementData *page = CurrentPage();
        const qint64 bytes = UsableImageBytes(image);
        if (page && bytes > 0) {
            page->ImageBytes = CopyBytes(image->pixels, bytes);
            page->Width = image->width;
            page->Height = image->height;
            page->BitPerPixel = image->bitsPerPixel;
            page->ImageDPI = kImageDpi;
        }
    }
    // The page list keeps its length once pages are stored, so only the plan follows the count then.
    m_plannedSheetCount = unsigned(count);
}

int CDataBuffer::StorePatch(int patchIndex, const int location[3], const float *block,
                            const PatchColorResult &result, int mode, bool handheld)
{
    MeasurementData *page = CurrentPage();
    if (!page || patchIndex < 0 || patchIndex >= page->RecordCount || !location)
        return IndexOutOfRange;
    ChartDefinitionData::Sheet *sheet = nullptr;
    if (m_chart.Sheets && m_chartPageIndex < unsigned(std::max(0, m_chart.SheetCount)))
        sheet = &m_chart.Sheets[m_chartPageIndex];
    const bool toChart = !handheld && (mode == ModeChartPatch || mode == ModeBoth);
    if (toChart && (!sheet || patchIndex >= sheet->PatchCount))
        return IndexOutOfRange;
    if (!page->Records)
        return LocationNotFound;
    MeasurementData::PatchData *record = nullptr;
    for (int i = 0; i < page->RecordCount; ++i) {
        MeasurementData::PatchData &r = page->Records[i];
        if (r.Area == location[0] && r.Row == location[1] && r.Column == location[2]) {
            record = &r;
            break;
        }
    }
    if (!record)
        return LocationNotFound;

    const bool wasMeasured = AnyMeasuredValue(*record);
    if (block)
        std::copy(block, block + kInstrumentValueCount, record->Values);
    page->PageNumber = int(m_storedPageCount) + 1;
    if (!handheld || !wasMeasured) {
        ++page->MeasuredCount;
        ++m_measurement.RecordCount;
    }

    ChartDefinitionData::PatchColor *patch =
        toChart && sheet->Patches && patchIndex < sheet->PatchCount ? &sheet->Patches[patchIndex] : nullptr;
    const auto toRecord = [&] {
        record->ColorFormat = result.ColorFormat;
        std::copy(result.ColorValue, result.ColorValue + kMaxColorValueCount, record->ColorValue);
    };
    if (handheld) {
        if (mode == ModeRecord)
            toRecord();
        return Success;
    }
    switch (mode) {
    case ModeChartPatch:
        if (patch) {
            patch->ColorFormat = result.ColorFormat;
            std::copy(result.ColorValue, result.ColorValue + kMaxColorValueCount, patch->ColorValue);
        }
        break;
    case ModeRecord:
        toRecord();
        break;
    case ModeBoth:
        if (patch) {
            patch->ColorFormat = result.ChartColorFormat;
            std::copy(result.ChartColorValue, result.ChartColorValue + kMaxColorValueCount, patch->ColorValue);
        }
        toRecord();
        break;
    default:
        break;
    }
    return Success;
}

int CDataBuffer::SetPatchMeasurement(int patchIndex, const int location[3], const float *block,
                                     const PatchColorResult &result, int mode)
{
    return StorePatch(patchIndex, location, block, result, mode, false);
}

int CDataBuffer::SetHandyPatchMeasurement(int patchIndex, const int location[3], const float *block,
                                          const PatchColorResult &result, int mode)
{
    return StorePatch(patchIndex, location, block, result, mode, true);
}

int CDataBuffer::SetRecognitionResult(const OrloLayoutRecord *layout, const OrloImage *image,
                                      const OrloMeasurePoint *points, unsigned count, unsigned diameter)
{
    const int n = points ? int(std::min<unsigned>(count, unsigned(INT_MAX))) : 0;
    const QHash<GridKey, int> pointIndex = FirstPointMap(points, n);
    const auto matched = [&](int area, int row, int column) {
        return pointIndex.value({area, row, column}, -1);
    };
    const int layoutAreas = layout ? ClampCount(layout->areaCount, kMaxAreaCount) : 0;

    if (layout) {
        ClearChart();
        ChartDefinitionData::Sheet page;
        if (n > 0) {
            page.Patches = NewChartPatches(size_t(n));
            const Setting::UserEnvironment *environment = m_host ? m_host->GetUserEnvironment() : nullptr;
            const int format = environment ? environment->ColorFormat : ChartDefinitionData::FormatRGB;
            const float paper = m_host ? m_host->GetColorDefaultValue(format) : 0.0f;
            const int values = ClampCount(format + 2, kMaxColorValueCount);
            int id = 0;
            for (int a = 0; a < layoutAreas; ++a) {
                for (int r = 0; r < layout->areaCounts[a][0]; ++r) {
                    for (int c = 0; c < layout->areaCounts[a][1]; ++c) {
                        const int k = matched(a, r, c);
                        if (k < 0)
                            continue;
                        ChartDefinitionData::PatchColor &patch = page.Patches[k];
                        patch.ID = ++id;
                        patch.Area = a;
                        patch.Row = r;
                        patch.Column = c;
                        patch.ColorFormat = format;
                        std::fill(patch.ColorValue, patch.ColorValue + values, paper);
                    }
                }
            }
        }
        page.PatchCount = n;
        page.AreaCount = layoutAreas;
        page.Width = layout->width;
        page.Height = layout->height;
        if (page.Width == 0 && image)
            page.Width = PixelsToUnitFixed(kUnitMm, image->width, kImageDpi);
        if (page.Height == 0 && image)
            page.Height = PixelsToUnitFixed(kUnitMm, image->height, kImageDpi);
        for (int a = 0; a < layoutAreas; ++a) {
            page.Areas[a] = {layout->areaCounts[a][0], layout->areaCounts[a][1], layout->areaCounts[a][2]};
            const int32_t *g = layout->areaGeometry[a];
            page.Placements[a] = {g[0], g[1], g[2], g[3], g[4], g[5]};
        }
        page.HasImage = layout->flag;
        const qint64 layoutBytes = UsableImageBytes(&layout->image);
        if (layout->flag == 1 && layoutBytes > 0) {
            page.ClipAreaCount = ClampCount(layout->clipCount, kMaxClipAreaCount);
            for (int i = 0; i < page.ClipAreaCount; ++i) {
                const int32_t *c = layout->clips[i];
                page.ClipAreas[i] = {c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7]};
            }
            page.ImageWidth = layout->image.width;
            page.ImageHeight = layout->image.height;
            page.BitPerPixel = layout->image.bitsPerPixel;
            page.ImageBytes = CopyBytes(layout->image.pixels, layoutBytes);
            page.ImageDPI = kImageDpi;
        }
        m_chart.Sheets = NewChartSheets(1);
        m_chart.Sheets[0] = std::move(page);
        m_chart.SheetCount = 1;
        m_chart.ChartPatchCount = n;
        m_chart.Diameter = diameter <= 4 ? int(diameter) : 1;
    }

    bool madePages = false;
    if (m_storedPageCount == 0) {
        ClearMeasurement();
        AllocatePages(m_chart.SheetCount);
        madePages = true;
    }
    if (m_storedPageCount >= unsigned(std::max(0, m_chart.SheetCount)) || !CurrentPage()) {
        if (layout)
            ClearChart();
        if (madePages)
            ClearMeasurement();
        return PageOutOfRange;
    }

    MeasurementData *page = CurrentPage();
    const qint64 imageBytes = UsableImageBytes(image);
    page->ImageBytes = CopyBytes(image ? image->pixels : nullptr, imageBytes);
    const bool copied = page->ImageBytes != nullptr;
    page->ImageDPI = kImageDpi;
    page->Width = copied ? image->width : 0;
    page->Height = copied ? image->height : 0;
    page->BitPerPixel = copied ? image->bitsPerPixel : 0;

    std::unique_ptr<MeasurementData::PatchData[]> records = n > 0 ? NewMeasurementRecords(size_t(n)) : nullptr;
    int filled = 0;
    const auto fill = [&](int area, int row, int column, int k) {
        if (k < 0 || filled >= n)
            return;
        MeasurementData::PatchData &record = records[filled++];
        record.Area = area;
        record.Row = row;
        record.Column = column;
        record.X = points[k].x;
        record.Y = points[k].y;
    };
    if (layout) {
        for (int a = 0; a < layoutAreas; ++a)
            for (int r = 0; r < layout->areaCounts[a][0]; ++r)
                for (int c = 0; c < layout->areaCounts[a][1]; ++c)
                    fill(a, r, c, matched(a, r, c));
        filled = n;
    } else if (n > 0 && m_chart.Sheets && m_chartPageIndex < unsigned(m_chart.SheetCount)) {
        const ChartDefinitionData::Sheet &sheet = m_chart.Sheets[m_chartPageIndex];
        const int areas = ClampCount(sheet.AreaCount, kMaxAreaCount);
        for (int a = 0; a < areas; ++a)
            for (int r = 0; r < sheet.Areas[a].RowCount; ++r)
                for (int c = 0; c < sheet.Areas[a].ColumnCount; ++c)
                    fill(a, r, c, m_rowsColumnsSwapped ? matched(a, c, r) : matched(a, r, c));
    }
    page->Records = std::move(records);
    page->RecordCount = filled;

    m_measurement.Mode = 0;
    if (m_host)
        m_measurement.SerialNumber = m_host->GetInstrumentSerialNumber(0).left(8);
    m_measurement.Diameter = m_chart.Diameter;
    return Success;
}

int CDataBuffer::BuildPageMeasurePoints(ChartDefinitionData::Sheet *a, MeasurementData *b,
                                        const ChartDefinitionData::Sheet *c, const MeasurementData *d,
                                        const QList<ChartDefinitionData::PatchColor> &removed)
{
    if (!a || !b || !c || !d)
        return NoTargetArrays;

    QSet<GridKey> removedSet;
    for (const ChartDefinitionData::PatchColor &p : removed)
        removedSet.insert({p.Area, p.Row, p.Column});

    struct Run {
        int area, row, firstColumn, columnCount, rowCount;
    };
    std::vector<Run> runs;
    int kept = 0;
    const int sourceAreas = ClampCount(c->AreaCount, kMaxAreaCount);
    for (int ai = 0; ai < sourceAreas; ++ai) {
        const int rows = std::max(0, c->Areas[ai].RowCount);
        const int columns = std::max(0, c->Areas[ai].ColumnCount);
        const qint64 grid = qint64(rows) * columns;
        const qint64 toVisit = std::clamp<qint64>(c->Areas[ai].PatchCount, 0, grid);
        qint64 visited = 0;
        for (int r = 0; r < rows && visited < toVisit; ++r) {
            int length = 0;
            int col = 0;
            for (; col < columns && visited < toVisit; ++col, ++visited) {
                if (removedSet.contains({ai, r, col})) {
                    if (length > 0)
                        runs.push_back({ai, r, col - length, length, 1});
                    length = 0;
                } else {
                    ++length;
                    ++kept;
                }
            }
            if (length > 0)
                runs.push_back({ai, r, col - length, length, 1});
        }
    }

    std::vector<Run> rects;
    std::vector<bool> absorbed(runs.size(), false);
    for (size_t i = 0; i < runs.size(); ++i) {
        if (absorbed[i])
            continue;
        Run rect = runs[i];
        for (size_t j = i + 1; j < runs.size(); ++j) {
            if (runs[j].area != rect.area || runs[j].row > rect.row + rect.rowCount)
                break; // runs come in walk order: nothing later can join
            if (!absorbed[j] && runs[j].firstColumn == rect.firstColumn &&
                runs[j].columnCount == rect.columnCount && runs[j].row == rect.row + rect.rowCount) {
                absorbed[j] = true;
                ++rect.rowCount;
            }
        }
        rects.push_back(rect);
    }
    if (rects.size() > size_t(kMaxAreaCount))
        return TooManyAreas;

    // The target may be the source: read every source placement before writing any.
    ChartDefinitionData::AreaPlacement placements[kMaxAreaCount];
    std::copy(c->Placements, c->Placements + kMaxAreaCount, placements);
    for (int i = 0; i < kMaxAreaCount; ++i) {
        if (size_t(i) < rects.size()) {
            const Run &rect = rects[size_t(i)];
            const ChartDefinitionData::AreaPlacement &s = placements[rect.area];
            a->Areas[i] = {rect.rowCount, rect.columnCount, rect.rowCount * rect.columnCount};
            a->Placements[i] = {s.LeftTopX + rect.firstColumn * s.PatchWidthGap,
                                s.LeftTopY + rect.row * s.PatchHeightGap,
                                s.PatchWidth,
                                s.PatchHeight,
                                s.PatchWidthGap,
                                s.PatchHeightGap};
        } else {
            a->Areas[i] = {};
            a->Placements[i] = {};
        }
    }
    a->AreaCount = int(rects.size());

    const int sourcePatchCount = c->Patches ? std::max(0, c->PatchCount) : 0;
    const int sourceRecordCount = d->Records ? std::max(0, d->RecordCount) : 0;
    std::vector<ChartDefinitionData::PatchColor> patches(c->Patches.get(), c->Patches.get() + sourcePatchCount);
    std::vector<MeasurementData::PatchData> records(d->Records.get(), d->Records.get() + sourceRecordCount);
    if (!a->Patches || !b->Records)
        return NoTargetArrays;

    const int n = kept;
    if (a->PatchCount < n)
        a->Patches = NewChartPatches(size_t(n));
    if (b->RecordCount < n)
        b->Records = NewMeasurementRecords(size_t(n));
    std::fill(a->Patches.get(), a->Patches.get() + n, ChartDefinitionData::PatchColor());
    std::fill(b->Records.get(), b->Records.get() + n, MeasurementData::PatchData());

    const QHash<GridKey, int> patchIndex = FirstIndexMap(patches.data(), sourcePatchCount);
    const QHash<GridKey, int> recordIndex = FirstIndexMap(records.data(), sourceRecordCount);
    int o = 0;
    for (size_t i = 0; i < rects.size(); ++i) {
        const Run &rect = rects[i];
        for (int rr = 0; rr < rect.rowCount; ++rr) {
            for (int cc = 0; cc < rect.columnCount && o < n; ++cc) {
                const GridKey source = {rect.area, rect.row + rr, rect.firstColumn + cc};
                const int pj = patchIndex.value(source, -1);
                if (pj < 0)
                    continue;
                ChartDefinitionData::PatchColor &patch = a->Patches[o];
                patch = patches[size_t(pj)];
                patch.Area = int(i);
                patch.Row = rr;
                patch.Column = cc;
                patch.ID = o + 1;
                MeasurementData::PatchData &record = b->Records[o];
                record.Area = int(i);
                record.Row = rr;
                record.Column = cc;
                const int rj = recordIndex.value(source, -1);
                if (rj >= 0) {
                    const MeasurementData::PatchData &from = records[size_t(rj)];
                    record.X = from.X;
                    record.Y = from.Y;
                    std::copy(from.Values, from.Values + kInstrumentValueCount, record.Values);
                }
                ++o;
            }
        }
    }
    a->PatchCount = n;
    b->RecordCount = n;
    return Success;
}

int CDataBuffer::PrepareHandyMeasurement(int modelCode)
{
    ClearMeasurement();
    AllocatePages(m_chart.Sheets ? m_chart.SheetCount : 0);
    m_measurement.Mode = modelCode;
    MeasurementData *page = CurrentPage();
    if (!page || !m_chart.Sheets || m_chartPageIndex >= unsigned(m_chart.SheetCount))
        return IndexOutOfRange;
    const ChartDefinitionData::Sheet &sheet = m_chart.Sheets[m_chartPageIndex];
    const int n = std::max(0, sheet.PatchCount);
    std::unique_ptr<MeasurementData::PatchData[]> records = n > 0 ? NewMeasurementRecords(size_t(n)) : nullptr;
    int o = 0;
    const int areas = ClampCount(sheet.AreaCount, kMaxAreaCount);
    for (int a = 0; a < areas; ++a) {
        const qint64 grid = qint64(std::max(0, sheet.Areas[a].RowCount)) * std::max(0, sheet.Areas[a].ColumnCount);
        const qint64 inArea = std::clamp<qint64>(sheet.Areas[a].PatchCount, 0, grid);
        qint64 visited = 0;
        for (int r = 0; r < sheet.Areas[a].RowCount && visited < inArea; ++r) {
            for (int c = 0; c < sheet.Areas[a].ColumnCount && visited < inArea && o < n; ++c, ++visited) {
                records[o].Area = a;
                records[o].Row = r;
                records[o].Column = c;
                ++o;
            }
        }
    }
    page->Records = std::move(records);
    page->RecordCount = n;
    page->MeasuredCount = 0;
    return Success;
}

int CDataBuffer::Load(int kind, int fileId, int chartId)
{
    ClearMeasurement();
    if (kind < 0 || kind > 4 || fileId < 0 || !m_host)
        return Success;
    int result = Success;
    switch (kind) {
    case 0:
        ClearChart();
        result = m_host->ReadRecognitionMeasure(fileId, &m_chart, &m_measurement);
        if (result != Success) {
            ClearChart();
            ClearMeasurement();
        }
        break;
    case 1:
    case 3:
        ClearChart();
        result = kind == 1 ? m_host->ReadDesignationChart(fileId, &m_chart) : m_host->ReadDensityChart(fileId, &m_chart);
        m_selectionPending = false;
        break;
    case 2:
        result = m_host->ReadDesignationMeasure(fileId, chartId, &m_measurement);
        break;
    case 4:
        result = m_host->ReadDensityMeasure(fileId, chartId, &m_measurement);
        break;
    }
    return result;
}
