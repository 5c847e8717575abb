// The target-configuration XML layout of another tool (root element "root").
#include "fuzzsupport.h"
#include "recordcheck.h"

VAREMO_FUZZ_TARGET(target_config)
{
    fuzz::EnsureApplication();
    static fuzz::FuzzHost host;
    CIODataFile io(&host);
    const QString folder = fuzz::FreshFolder("target_config");
    const QString path = fuzz::WriteInput(folder, QStringLiteral("layout.xml"), data, size);
    QDomDocument document;
    if (CIODataFile::LoadXmlDocument(path, document) != CIODataFile::Success)
        return 0;
    fuzz::ChartHolder imported;
    if (io.ImportTargetConfigurationChart(&imported.chart, document.documentElement()) == CIODataFile::Success)
        fuzz::CheckImportedChart("target_config", io, &imported.chart, path, folder);
    return 0;
}
