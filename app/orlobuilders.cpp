#include "app/orlobuilders.h"

#include "app/colourhelpers.h"
#include "app/recordhelpers.h"

#include <QHash>

#include <algorithm>
#include <cstring>
#include <new>

namespace {

constexpr int kMaxImageSide = 20000;

struct GridKey {
    int area, row, column;
    bool operator==(const GridKey &o) const { return area == o.area && row == o.row && column == o.column; }
};

inline uint qHash(const GridKey &k, uint seed = 0)
{
    return ::qHash((quint64(quint32(k.area)) << 40) ^ (quint64(quint32(k.row)) << 20) ^ quint32(k.column), seed);
}

} // namespace

void OrloColorCheckBuffer::Reset(int flag, int count)
{
    count = std::max(0, count);
    const size_t bytes = sizeof(OrloColorCheckList) + size_t(count) * sizeof(OrloColorCheckEntry);
    m_bytes.reset(new unsigned char[bytes]);
    std::memset(m_bytes.get(), 0, bytes);
    new (m_bytes.get()) OrloColorCheckList{flag, count};
    for (int i = 0; i < count; ++i)
        new (OrloColorCheckEntries(List()) + i) OrloColorCheckEntry{};
}

void BuildLayoutRecord(const ChartDefinitionData::Sheet &sheet, OrloLayoutRecord *layout,
                       std::vector<unsigned char> *enlarged)
{
    std::memset(layout, 0, sizeof *layout);
    layout->width = sheet.Width;
    layout->height = sheet.Height;
    const int areas = std::clamp(sheet.AreaCount, 0, ORLO_MAX_AREAS);
    layout->areaCount = areas;
    layout->patchCount = sheet.PatchCount;
    for (int a = 0; a < areas; ++a) {
        layout->areaCounts[a][0] = sheet.Areas[a].RowCount;
        layout->areaCounts[a][1] = sheet.Areas[a].ColumnCount;
        layout->areaCounts[a][2] = sheet.Areas[a].PatchCount;
        const ChartDefinitionData::AreaPlacement &p = sheet.Placements[a];
        const int32_t g[6] = {p.LeftTopX, p.LeftTopY, p.PatchWidth, p.PatchHeight, p.PatchWidthGap, p.PatchHeightGap};
        std::copy(g, g + 6, layout->areaGeometry[a]);
    }
    const qint64 bytes = ImageByteCount(sheet.ImageWidth, sheet.ImageHeight, sheet.BitPerPixel);
    if (sheet.HasImage != 1 || !sheet.ImageBytes || bytes <= 0)
        return;
    layout->flag = 1;
    layout->clipCount = std::clamp(sheet.ClipAreaCount, 0, ORLO_MAX_AREAS);
    for (int i = 0; i < layout->clipCount; ++i) {
        const ChartDefinitionData::ClipArea &c = sheet.ClipAreas[i];
        const int32_t corners[8] = {c.LeftTopX,    c.LeftTopY,    c.RightTopX,    c.RightTopY,
                                    c.LeftBottomX, c.LeftBottomY, c.RightBottomX, c.RightBottomY};
        std::copy(corners, corners + 8, layout->clips[i]);
    }
    layout->image = {sheet.ImageWidth, sheet.ImageHeight, sheet.BitPerPixel, sheet.ImageBytes.get()};
    const int pixelBytes = sheet.BitPerPixel / 8;
    if (ImageDpiOrDefault(sheet.ImageDPI) != 150 || !enlarged || sheet.BitPerPixel % 8 != 0 || pixelBytes < 1)
        return;
    // The instrument expects the barcode picture at 300 dpi: every pixel becomes a 2 x 2 block.
    const qint64 enlargedBytes = ImageByteCount(qint64(sheet.ImageWidth) * 2, qint64(sheet.ImageHeight) * 2,
                                                sheet.BitPerPixel);
    if (enlargedBytes <= 0 || sheet.ImageWidth * 2 > kMaxImageSide * 2)
        return;
    enlarged->assign(size_t(enlargedBytes), 0);
    const size_t sourceRow = size_t(sheet.ImageWidth) * size_t(pixelBytes);
    const size_t targetRow = sourceRow * 2;
    for (int y = 0; y < sheet.ImageHeight; ++y) {
        const unsigned char *from = sheet.ImageBytes.get() + size_t(y) * sourceRow;
        unsigned char *to = enlarged->data() + size_t(y) * 2 * targetRow;
        for (int x = 0; x < sheet.ImageWidth; ++x) {
            for (int k = 0; k < 2; ++k)
                std::memcpy(to + (size_t(x) * 2 + size_t(k)) * size_t(pixelBytes), from + size_t(x) * pixelBytes,
                            size_t(pixelBytes));
        }
        std::memcpy(to + targetRow, to, targetRow);
    }
    layout->image = {sheet.ImageWidth * 2, sheet.ImageHeight * 2, sheet.BitPerPixel, enlarged->data()};
}

void BuildColorCheckList(const ChartDefinitionData::Sheet &sheet, const InkChannelList &inks,
                         OrloColorCheckBuffer *list)
{
    *list = OrloColorCheckBuffer();
    if (!sheet.Patches || sheet.PatchCount <= 0 || sheet.Patches[0].ColorFormat == ChartDefinitionData::FormatNone)
        return;
    QHash<GridKey, int> first;
    for (int i = sheet.PatchCount - 1; i >= 0; --i)
        first.insert({sheet.Patches[i].Area, sheet.Patches[i].Row, sheet.Patches[i].Column}, i);
    std::vector<std::pair<GridKey, int>> entries;
    const int areas = std::clamp(sheet.AreaCount, 0, ORLO_MAX_AREAS);
    for (int a = 0; a < areas; ++a)
        for (int r = 0; r < sheet.Areas[a].RowCount; ++r)
            for (int c = 0; c < sheet.Areas[a].ColumnCount; ++c) {
                const int i = first.value({a, r, c}, -1);
                if (i >= 0)
                    entries.push_back({{a, r, c}, i});
            }
    const int flag = sheet.Patches[0].ColorFormat == ChartDefinitionData::FormatCMYK ? 0 : 1;
    list->Reset(flag, int(entries.size()));
    OrloColorCheckEntry *out = list->Entries();
    for (size_t k = 0; k < entries.size(); ++k) {
        const ChartDefinitionData::PatchColor &patch = sheet.Patches[entries[k].second];
        OrloColorCheckEntry &e = out[k];
        e.area = entries[k].first.area;
        e.row = entries[k].first.row;
        e.column = entries[k].first.column;
        if (patch.ColorFormat == ChartDefinitionData::FormatRGB || patch.ColorFormat == ChartDefinitionData::FormatCMYK) {
            std::copy(patch.ColorValue, patch.ColorValue + 3, e.value);
        } else {
            float rgb[3] = {255.0f, 255.0f, 255.0f};
            MixInkColorsToRgb(rgb, patch.ColorFormat, patch.ColorValue, inks);
            std::copy(rgb, rgb + 3, e.value);
        }
    }
}
