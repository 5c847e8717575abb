// Density measurement documents of the document store: read, rewrite, read back the same.
#include "fuzzsupport.h"
#include "recordcheck.h"

VAREMO_FUZZ_TARGET(doc_density_measure)
{
    fuzz::EnsureApplication();
    const QString folder = fuzz::FreshFolder("doc_density_measure");
    fuzz::CheckMeasureDocument("doc_density_measure",
                               fuzz::WriteInput(folder, QStringLiteral("00001.vrmeas"), data, size), true);
    return 0;
}
