// CxF3 chart import (root element "cc:CxF").
#include "fuzzsupport.h"
#include "recordcheck.h"

VAREMO_FUZZ_TARGET(cxf)
{
    fuzz::EnsureApplication();
    static fuzz::FuzzHost host;
    CIODataFile io(&host);
    const QString folder = fuzz::FreshFolder("cxf");
    const QString path = fuzz::WriteInput(folder, QStringLiteral("chart.cxf"), data, size);
    QDomDocument document;
    if (CIODataFile::LoadXmlDocument(path, document) != CIODataFile::Success)
        return 0;
    fuzz::ChartHolder imported;
    if (io.ImportCxfChart(&imported.chart, document.documentElement()) == CIODataFile::Success)
        fuzz::CheckImportedChart("cxf", io, &imported.chart, path, folder);
    return 0;
}
