// Density chart documents of the document store: read, rewrite, read back the same.
#include "fuzzsupport.h"
#include "recordcheck.h"

#include "app/documentfiles.h"

VAREMO_FUZZ_TARGET(doc_density_chart)
{
    fuzz::EnsureApplication();
    const QString folder = fuzz::FreshFolder("doc_density_chart");
    const QString path = fuzz::WriteInput(folder, QStringLiteral("00001.vrchart"), data, size);
    DensityBalanceData record;
    fuzz::ChartHolder read;
    if (ReadDensityChartFile(&record, &read.chart, path) != kDocumentOk)
        return 0;
    const QString rewritten = folder + QStringLiteral("/00002.vrchart");
    const int saved = SaveDensityChartFile(rewritten, &record, read.chart);
    if (saved != kDocumentOk)
        fuzz::Fail("doc_density_chart",
                   QStringLiteral("the writer refused a chart its reader accepted (%1)").arg(saved));
    DensityBalanceData again;
    fuzz::ChartHolder back;
    const int reread = ReadDensityChartFile(&again, &back.chart, rewritten);
    if (reread != kDocumentOk)
        fuzz::Fail("doc_density_chart", QStringLiteral("the rewritten chart does not read (%1)").arg(reread));
    QString diff = fuzz::DiffStoredChart(read.chart, back.chart);
    if (diff.isEmpty() && (again.Template != record.Template || again.SecondNumber != record.SecondNumber))
        diff = QStringLiteral("template %1/%2 became %3/%4")
                   .arg(record.Template)
                   .arg(record.SecondNumber)
                   .arg(again.Template)
                   .arg(again.SecondNumber);
    if (!diff.isEmpty())
        fuzz::Fail("doc_density_chart", diff);
    return 0;
}
