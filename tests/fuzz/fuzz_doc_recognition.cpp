// Recognition measurement documents (a chart and its measurement in one file): read, rewrite, read back the same.
#include "fuzzsupport.h"
#include "recordcheck.h"

#include "app/documentfiles.h"

VAREMO_FUZZ_TARGET(doc_recognition)
{
    fuzz::EnsureApplication();
    const QString folder = fuzz::FreshFolder("doc_recognition");
    const QString path = fuzz::WriteInput(folder, QStringLiteral("00001.vrmeas"), data, size);
    ChartRecogData record;
    fuzz::ChartHolder chart;
    fuzz::MeasurementHolder measurement;
    if (ReadRecognitionFile(&record, &chart.chart, &measurement.measurement, path) != kDocumentOk)
        return 0;
    const QString rewritten = folder + QStringLiteral("/00002.vrmeas");
    const int saved = SaveRecognitionFile(rewritten, &record, chart.chart, measurement.measurement);
    if (saved != kDocumentOk)
        fuzz::Fail("doc_recognition",
                   QStringLiteral("the writer refused a recognition its reader accepted (%1)").arg(saved));
    ChartRecogData again;
    fuzz::ChartHolder backChart;
    fuzz::MeasurementHolder backMeasurement;
    const int reread = ReadRecognitionFile(&again, &backChart.chart, &backMeasurement.measurement, rewritten);
    if (reread != kDocumentOk)
        fuzz::Fail("doc_recognition", QStringLiteral("the rewritten recognition does not read (%1)").arg(reread));
    QString diff = fuzz::DiffStoredChart(chart.chart, backChart.chart);
    if (diff.isEmpty())
        diff = fuzz::DiffMeasurement(measurement.measurement, backMeasurement.measurement, false);
    if (!diff.isEmpty())
        fuzz::Fail("doc_recognition", diff);
    return 0;
}
