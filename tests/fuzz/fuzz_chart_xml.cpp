// Chart-definition XML as the user opens it: the program's own chart XML (and whatever layout the root element
// names), then the store and XML round trips of what was accepted.
#include "fuzzsupport.h"
#include "recordcheck.h"

VAREMO_FUZZ_TARGET(chart_xml)
{
    fuzz::EnsureApplication();
    static fuzz::FuzzHost host;
    CIODataFile io(&host);
    const QString folder = fuzz::FreshFolder("chart_xml");
    const QString path = fuzz::WriteInput(folder, QStringLiteral("chart.xml"), data, size);
    fuzz::ChartHolder imported;
    int kind = 0;
    int patchCount = 0;
    int result = io.ImportXmlChartDefinition(&imported.chart, &kind, &patchCount, path);
    if (result != CIODataFile::Success && patchCount > 0 && kind == CIODataFile::XmlTargetDescription) {
        const SheetLayout layout = fuzz::ProposedLayout(patchCount);
        result = io.ImportTargetDefinitionWithLayout(&imported.chart, path, layout.rows, layout.columns);
    }
    if (result == CIODataFile::Success)
        fuzz::CheckImportedChart("chart_xml", io, &imported.chart, path, folder);
    return 0;
}
