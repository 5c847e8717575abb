#include "chart/vcchartgraphicspatch.h"

#include <QPainter>

CVCChartGraphicsPatch::CVCChartGraphicsPatch(QRectF rect, const ChartDefinitionData::PatchColor &patch,
                                             const InkChannelList &inks, int fontPointSize, bool showsPageImage)
    : CVCGraphicsPatch(rect, patch, inks), m_fontPointSize(fontPointSize), m_showsPageImage(showsPageImage)
{
    setFlag(ItemIsSelectable);
    setAcceptHoverEvents(true);
}

bool CVCChartGraphicsPatch::isAt(int areaNo, int rowNo, int columnNo) const
{
    return areaNo == m_area && rowNo == m_row && columnNo == m_column;
}

void CVCChartGraphicsPatch::paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget)
{
    const QPen kept = painter->pen();
    if (m_display == 3) {
        const QRectF r = boundingRect();
        painter->fillRect(r, m_duplicated ? QColor(Qt::yellow) : QColor(Qt::transparent));
        QPen text = kept;
        text.setCosmetic(true);
        text.setColor(m_showsPageImage ? Qt::green : Qt::black);
        painter->setPen(text);
        QFont font = painter->font();
        const QFont old = font;
        // A size of 0 or less is no font size; the painter's own is kept.
        if (m_fontPointSize > 0)
            font.setPointSize(m_fontPointSize);
        painter->setFont(font);
        painter->drawText(r, Qt::AlignHCenter | Qt::AlignVCenter, QString("%1").arg(m_patchNumber));
        painter->setFont(old);
    }
    painter->setPen(kept);
    CVCGraphicsPatch::paint(painter, option, widget);
}

void CVCChartGraphicsPatch::SetFontPointSize(int fontPointSize)
{
    m_fontPointSize = fontPointSize;
    update();
}

void CVCChartGraphicsPatch::SetDuplicated(int areaNo, int rowNo, int columnNo, bool isDuplicated)
{
    if (!isAt(areaNo, rowNo, columnNo))
        return;
    m_duplicated = isDuplicated;
    update();
}

void CVCChartGraphicsPatch::SetSelected(int areaNo, int rowNo, int columnNo)
{
    if (isAt(areaNo, rowNo, columnNo))
        setSelected(true);
}

void CVCChartGraphicsPatch::ClearSelected()
{
    if (isSelected())
        setSelected(false);
}
