// Designation chart documents of the document store: what the reader accepts is rewritten by the store's writer
// and must read back the same.
#include "fuzzsupport.h"
#include "recordcheck.h"

#include "app/documentfiles.h"

VAREMO_FUZZ_TARGET(doc_chart)
{
    fuzz::EnsureApplication();
    const QString folder = fuzz::FreshFolder("doc_chart");
    const QString path = fuzz::WriteInput(folder, QStringLiteral("00001.vrchart"), data, size);
    ChartDesigData record;
    fuzz::ChartHolder read;
    if (ReadChartFile(&record, &read.chart, path) != kDocumentOk)
        return 0;
    const QString rewritten = folder + QStringLiteral("/00002.vrchart");
    const int saved = SaveChartFile(rewritten, &record, read.chart);
    if (saved != kDocumentOk)
        fuzz::Fail("doc_chart", QStringLiteral("the writer refused a chart its reader accepted (%1)").arg(saved));
    ChartDesigData again;
    fuzz::ChartHolder back;
    const int reread = ReadChartFile(&again, &back.chart, rewritten);
    if (reread != kDocumentOk)
        fuzz::Fail("doc_chart", QStringLiteral("the rewritten chart does not read (%1)").arg(reread));
    const QString diff = fuzz::DiffStoredChart(read.chart, back.chart);
    if (!diff.isEmpty())
        fuzz::Fail("doc_chart", diff);
    if (again.Recog != record.Recog)
        fuzz::Fail("doc_chart", QStringLiteral("record Recog %1 became %2").arg(record.Recog).arg(again.Recog));
    return 0;
}
