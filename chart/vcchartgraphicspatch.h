#pragma once
// The patch item of the chart views: the base item plus, in display state 3, the patch number over a clear or
// (duplicated) yellow ground, green over a page image so it stays readable.

#include "chart/vcgraphicspatch.h"

class CVCChartGraphicsPatch : public CVCGraphicsPatch
{
    Q_OBJECT
public:
    CVCChartGraphicsPatch(QRectF rect, const ChartDefinitionData::PatchColor &patch, const InkChannelList &inks,
                          int fontPointSize, bool showsPageImage);

    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget = nullptr) override;

    int GetFontPointSize() const { return m_fontPointSize; }
    bool ShowsPageImage() const { return m_showsPageImage; }
    bool IsDuplicated() const { return m_duplicated; }

public slots:
    void SetFontPointSize(int fontPointSize);
    // The three below act only for the item's own position, except ClearSelected.
    void SetDuplicated(int areaNo, int rowNo, int columnNo, bool isDuplicated);
    void SetSelected(int areaNo, int rowNo, int columnNo);
    void ClearSelected();

private:
    bool isAt(int areaNo, int rowNo, int columnNo) const;

    int m_fontPointSize = 0;
    bool m_showsPageImage = false;
    bool m_duplicated = false;
};
