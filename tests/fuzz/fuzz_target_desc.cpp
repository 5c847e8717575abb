// The target-description XML layout of another tool, with the second stage the main window runs when the
// declared layout does not fit the sample locations.
#include "fuzzsupport.h"
#include "recordcheck.h"

VAREMO_FUZZ_TARGET(target_desc)
{
    fuzz::EnsureApplication();
    static fuzz::FuzzHost host;
    CIODataFile io(&host);
    const QString folder = fuzz::FreshFolder("target_desc");
    const QString path = fuzz::WriteInput(folder, QStringLiteral("description.xml"), data, size);
    QDomDocument document;
    if (CIODataFile::LoadXmlDocument(path, document) != CIODataFile::Success)
        return 0;
    fuzz::ChartHolder imported;
    int patchCount = 0;
    int result = io.ImportTargetDescriptionChart(&imported.chart, &patchCount, document.documentElement());
    if (result != CIODataFile::Success && patchCount > 0) {
        const SheetLayout layout = fuzz::ProposedLayout(patchCount);
        result = io.ImportTargetDefinitionWithLayout(&imported.chart, path, layout.rows, layout.columns);
    }
    if (result == CIODataFile::Success)
        fuzz::CheckImportedChart("target_desc", io, &imported.chart, path, folder);
    return 0;
}
