#include "app/checkchartcoordinate.h"

#include <algorithm>
#include <cstring>

namespace {

int AreaSlots(int count)
{
    return std::clamp(count, 0, ORLO_MAX_AREAS);
}

} // namespace

CCheckChartCoordinate::CCheckChartCoordinate(const OrloLayoutRecord &recognised,
                                             const ChartDefinitionData::Sheet &registered)
{
    std::memcpy(&m_recognised, &recognised, sizeof m_recognised);
    std::memset(&m_registered, 0, sizeof m_registered);
    SetRegisteredCoordinate(registered);
}

void CCheckChartCoordinate::SetRegisteredCoordinate(const ChartDefinitionData::Sheet &sheet)
{
    m_registered.width = sheet.Width;
    m_registered.height = sheet.Height;
    m_registered.areaCount = sheet.AreaCount;
    m_registered.patchCount = sheet.PatchCount;
    for (int a = 0; a < AreaSlots(sheet.AreaCount); ++a) {
        m_registered.areaCounts[a][0] = sheet.Areas[a].RowCount;
        m_registered.areaCounts[a][1] = sheet.Areas[a].ColumnCount;
        m_registered.areaCounts[a][2] = sheet.Areas[a].PatchCount;
        const ChartDefinitionData::AreaPlacement &p = sheet.Placements[a];
        const int32_t geometry[6] = {p.LeftTopX, p.LeftTopY, p.PatchWidth, p.PatchHeight, p.PatchWidthGap,
                                     p.PatchHeightGap};
        std::copy(geometry, geometry + 6, m_registered.areaGeometry[a]);
    }
}

int CCheckChartCoordinate::CheckCoordinate() const
{
    if (m_recognised.areaCount != m_registered.areaCount)
        return AreaCountDiffers;
    if (m_recognised.patchCount != m_registered.patchCount)
        return PatchCountDiffers;
    const int areas = AreaSlots(m_registered.areaCount);
    bool same = true;
    for (int a = 0; a < areas && same; ++a)
        same = m_recognised.areaCounts[a][0] == m_registered.areaCounts[a][0] &&
               m_recognised.areaCounts[a][1] == m_registered.areaCounts[a][1];
    if (same)
        return Same;
    for (int a = 0; a < areas; ++a) {
        if (m_recognised.areaCounts[a][0] != m_registered.areaCounts[a][1] ||
            m_recognised.areaCounts[a][1] != m_registered.areaCounts[a][0])
            return RowsColumnsDiffer;
    }
    return RowsColumnsSwapped;
}
