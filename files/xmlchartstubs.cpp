// Readers of the other XML chart layouts. Until they exist, such a document is refused like an unknown one.

#include "files/iodatafile.h"

int CIODataFile::ImportTargetConfigurationChart(ChartDefinitionDataSheets *chart, const QDomElement &root)
{
    Q_UNUSED(chart);
    Q_UNUSED(root);
    return UnknownXmlRoot;
}

int CIODataFile::ImportTargetDescriptionChart(ChartDefinitionDataSheets *chart, int *patchCount,
                                              const QDomElement &root)
{
    Q_UNUSED(chart);
    Q_UNUSED(patchCount);
    Q_UNUSED(root);
    return UnknownXmlRoot;
}

int CIODataFile::ImportCxfChart(ChartDefinitionDataSheets *chart, const QDomElement &root)
{
    Q_UNUSED(chart);
    Q_UNUSED(root);
    return UnknownXmlRoot;
}
