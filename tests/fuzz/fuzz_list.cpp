// Comma-separated list chart import.
#include "fuzzsupport.h"
#include "recordcheck.h"

VAREMO_FUZZ_TARGET(list)
{
    fuzz::EnsureApplication();
    static fuzz::FuzzHost host;
    CIODataFile io(&host);
    const QString folder = fuzz::FreshFolder("list");
    const QString path = fuzz::WriteInput(folder, QStringLiteral("chart.csv"), data, size);
    fuzz::ChartHolder imported;
    if (io.ImportListChart(&imported.chart, path) == CIODataFile::Success)
        fuzz::CheckImportedChart("list", io, &imported.chart, path, folder);
    return 0;
}
