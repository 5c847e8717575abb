#pragma once
// A stand-in for the application model in front of the data-file object: the real installation tables, with a
// page-size override for layouts that need a particular first paper size.

#include "files/iodatafile.h"

#include "app/recordhelpers.h"
#include "app/resourcedata.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestHost : public CIODataFileHost
{
public:
    TestHost() { m_resources.Initialize(); }

    int FindPaperSizeIndexInUnit(int unit, int width, int height) const override
    {
        return m_resources.FindPaperSizeIndexInUnit(unit, width, height);
    }
    int GetPageSizeWidth(int index) const override
    {
        return index == 0 && firstPageWidth > 0 ? firstPageWidth : m_resources.GetPageSizeWidth(index);
    }
    int GetPageSizeHeight(int index) const override
    {
        return index == 0 && firstPageHeight > 0 ? firstPageHeight : m_resources.GetPageSizeHeight(index);
    }
    int GetPageSizeMaxWidth(int index) const override { return m_resources.GetPageSizeMaxWidth(index); }
    int GetPageSizeMaxHeight(int index) const override { return m_resources.GetPageSizeMaxHeight(index); }
    int GetAreaLeftMin() const override { return m_resources.GetAreaLeftMin(); }
    int GetAreaLeftMax() const override { return m_resources.GetAreaLeftMax(); }
    int GetAreaTopMin() const override { return 0; }
    int GetAreaTopMax() const override { return m_resources.GetAreaTopMax(); }
    float GetColorMinValue(int format) const override { return m_resources.GetColorMinValue(format); }
    float GetColorMaxValue(int format) const override { return m_resources.GetColorMaxValue(format); }
    QPair<int, int> GetIso12642DefaultPosition(int id, int patchOrder) const override
    {
        return m_resources.GetIso12642DefaultPosition(id, patchOrder);
    }
    int GetIso12642LayoutLongSide() const override { return m_resources.GetIso12642LayoutLongSide(); }
    int GetIso12642LayoutShortSide() const override { return m_resources.GetIso12642LayoutShortSide(); }

    // 0 = the table's own first paper size.
    int firstPageWidth = 0;
    int firstPageHeight = 0;

private:
    CResourceData m_resources;
};

// Frees the chart's arrays when the test leaves, whatever it asserted.
struct ChartGuard {
    ChartDefinitionDataSheets chart;
    ~ChartGuard() { ClearChartDefinitionData(&chart); }
};

// "RxC,RxC|RxC": the rows and columns of every area, pages separated by '|'.
inline QString AreaGrid(const ChartDefinitionDataSheets &chart)
{
    QStringList pages;
    for (int s = 0; s < chart.SheetCount; ++s) {
        QStringList areas;
        for (int a = 0; a < chart.Sheets[s].AreaCount; ++a)
            areas << QStringLiteral("%1x%2").arg(chart.Sheets[s].Areas[a].RowCount).arg(chart.Sheets[s].Areas[a].ColumnCount);
        pages << areas.join(QLatin1Char(','));
    }
    return pages.join(QLatin1Char('|'));
}

inline QString WriteFixture(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QString();
    file.write(bytes);
    return path;
}
