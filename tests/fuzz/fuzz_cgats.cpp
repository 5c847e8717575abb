// CGATS text chart import, with the second stage the main window runs when the file lacks its layout: the
// ISO 12642-2 patch order (alternating between inputs) or the rows and columns its dialog proposes.
#include "fuzzsupport.h"
#include "recordcheck.h"

VAREMO_FUZZ_TARGET(cgats)
{
    fuzz::EnsureApplication();
    static fuzz::FuzzHost host;
    CIODataFile io(&host);
    const QString folder = fuzz::FreshFolder("cgats");
    const QString path = fuzz::WriteInput(folder, QStringLiteral("chart.txt"), data, size);
    fuzz::ChartHolder imported;
    int request = 0;
    int patchCount = 0;
    int result = io.ImportCgatsChart(&imported.chart, &request, &patchCount, path);
    if (result != CIODataFile::Success && patchCount > 0) {
        if (request == CIODataFile::RequestIsoPatchOrder) {
            result = io.ImportCgatsChartWithFormat(&imported.chart, path, int(size % 2));
        } else if (request == CIODataFile::RequestRowsColumns) {
            const SheetLayout layout = fuzz::ProposedLayout(patchCount);
            result = io.ImportCgatsChartWithLayout(&imported.chart, path, layout.rows, layout.columns);
        }
    }
    if (result == CIODataFile::Success)
        fuzz::CheckImportedChart("cgats", io, &imported.chart, path, folder);
    return 0;
}
