#include "densityprint.h"

#include "app/documentfiles.h"
#include "app/recordhelpers.h"
#include "app/records.h"
#include "app/resourcedata.h"
#include "app/storeconventions.h"
#include "files/iodatafile.h"
#include "files/outputimage.h"

#include <OrloSDK.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstring>

namespace {

// The scanner library draws the QR picture, as for the program's own pages; this host first writes what the
// printer adds to the sheet record.
class PrinterHost : public CIODataFileHost
{
public:
    explicit PrinterHost(const DensityPrintCode &code) : m_code(code) { m_resources.Initialize(); }

    int FindPaperSizeIndexInUnit(int, int, int) const override { return 0; }
    int GetPageSizeWidth(int) const override { return 0; }
    int GetPageSizeHeight(int) const override { return 0; }
    int GetPageSizeMaxWidth(int) const override { return 0; }
    int GetPageSizeMaxHeight(int) const override { return 0; }
    int GetAreaLeftMin() const override { return 0; }
    int GetAreaLeftMax() const override { return 0; }
    int GetAreaTopMin() const override { return 0; }
    int GetAreaTopMax() const override { return 0; }
    float GetColorMinValue(int) const override { return 0.0f; }
    float GetColorMaxValue(int) const override { return 0.0f; }
    QPair<int, int> GetIso12642DefaultPosition(int, int) const override { return {0, 0}; }
    int GetIso12642LayoutLongSide() const override { return 0; }
    int GetIso12642LayoutShortSide() const override { return 0; }

    const Setting::UserEnvironment *GetUserEnvironment() const override { return &m_environment; }
    // Level 1 and 7 pixels per module, as the program draws its own codes.
    int GetBarcodeSize(const SheetInfoRecord &record) const override
    {
        return m_resources.GetBarcodeSize(record, 1, 7);
    }
    int GetBarcodeInsetPixels() const override { return m_resources.GetBarcodeInsetPixels(7); }
    int CreateBarcodeImage(const QString &path, SheetInfoRecord *record) override
    {
        std::memcpy(record->ModelText, "Orlo", 4);
        std::memcpy(record->DeviceCode, m_code.deviceCode.leftJustified(4, '0').constData(), 4);
        std::memset(record->Text, 0, sizeof record->Text);
        const int length = qMin(m_code.text.size(), int(sizeof record->Text) - 1);
        std::memcpy(record->Text, m_code.text.constData(), size_t(length));
        m_record = *record;
        return Orlo_CreateBarcodeImage(QFile::encodeName(path).constData(), reinterpret_cast<const uint8_t *>(record),
                                       1, 7);
    }

    const SheetInfoRecord &Record() const { return m_record; }

private:
    DensityPrintCode m_code;
    CResourceData m_resources;
    Setting::UserEnvironment m_environment;
    SheetInfoRecord m_record{};
};

} // namespace

QString ReadDensityChartNamed(const QString &chartName, ChartDefinitionDataSheets *chart)
{
    const QDir folder(AppDataDir() + QStringLiteral("/Density"));
    for (const QFileInfo &file : folder.entryInfoList({QStringLiteral("*.vrchart")}, QDir::Files, QDir::Name)) {
        DensityBalanceData record;
        if (ReadDensityChartFile(&record, chart, file.filePath()) == 0 && chart->ChartName == chartName)
            return QString();
    }
    ClearChartDefinitionData(chart);
    return QStringLiteral("no density chart \"%1\" in %2").arg(chartName, folder.path());
}

QString PrintDensityChart(const ChartDefinitionDataSheets &chart, const DensityPrintCode &code, const QString &path,
                          QString *printed)
{
    if (chart.SheetCount < 1 || !chart.Sheets)
        return QStringLiteral("chart \"%1\" has no page").arg(chart.ChartName);
    // The printer's print is one page with the QR code on.
    ChartDefinitionDataSheets page;
    InitChartDefinitionData(&page);
    CopyChartDefinitionData(&page, chart);
    page.SheetCount = 1;
    page.Barcode = 1;
    PrinterHost host(code);
    CIODataFile files(&host);
    const QString pageFile = COutputImage::PageFileName(path, 0);
    QFile::remove(pageFile);
    const int written = files.OutputChartImage(path, &page);
    ClearChartDefinitionData(&page);
    if (written != 0)
        return QStringLiteral("the print of \"%1\" was not written (%2)").arg(chart.ChartName).arg(written);
    if (QByteArray(host.Record().Text) != code.text)
        return QStringLiteral("the print's QR record lacks its text");
    if (!QFileInfo::exists(pageFile))
        return QStringLiteral("no print file %1").arg(pageFile);
    if (printed)
        *printed = pageFile;
    return QString();
}
