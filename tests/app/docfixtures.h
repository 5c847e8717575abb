#pragma once
// Test-side document builders: a stream writer that lays out document files field by field on its own (never
// through the production writers), and small in-memory charts and measurements.

#include "app/recordhelpers.h"
#include "app/records.h"

#include <QByteArray>
#include <QDataStream>
#include <QFile>
#include <QIODevice>
#include <QString>
#include <QVector>

#include <csignal>
#include <sys/resource.h>

namespace fixture {

// No file may grow while this lives, so the next write fails (works for root too, unlike permissions).
class NoFileGrowth {
public:
    NoFileGrowth()
    {
        getrlimit(RLIMIT_FSIZE, &m_old);
        m_handler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_old;
        limit.rlim_cur = 0;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~NoFileGrowth()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_handler);
    }
    NoFileGrowth(const NoFileGrowth &) = delete;
    NoFileGrowth &operator=(const NoFileGrowth &) = delete;

private:
    rlimit m_old {};
    void (*m_handler)(int) = nullptr;
};

// Big-endian, Qt 5.2 stream format, every float value as a double.
class Writer {
public:
    Writer() : m_stream(&bytes, QIODevice::WriteOnly)
    {
        m_stream.setVersion(QDataStream::Qt_5_2);
        m_stream.setByteOrder(QDataStream::BigEndian);
        m_stream.setFloatingPointPrecision(QDataStream::DoublePrecision);
    }
    Writer &version(int first) { m_stream << qint8(first) << qint8(0); return *this; }
    Writer &i(qint32 value) { m_stream << value; return *this; }
    Writer &ints(std::initializer_list<qint32> values) { for (qint32 v : values) m_stream << v; return *this; }
    Writer &d(double value) { m_stream << value; return *this; }
    Writer &t(const QString &text) { m_stream << text; return *this; }
    Writer &b(const QByteArray &data) { m_stream << data; return *this; }
    Writer &list(const QVector<double> &values)
    {
        m_stream << qint32(values.size());
        for (double v : values)
            m_stream << v;
        return *this;
    }
    Writer &raw(const QByteArray &data) { m_stream.writeRawData(data.constData(), data.size()); return *this; }

    QByteArray bytes;

private:
    QDataStream m_stream;
};

inline QVector<double> Sequence(int n, double start, double step = 1.0)
{
    QVector<double> values;
    for (int k = 0; k < n; ++k)
        values << start + k * step;
    return values;
}

inline bool WriteFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

inline QByteArray ReadAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// One page of `rows` x `columns` patches in one area, RGB colours derived from the id.
inline void FillPage(ChartDefinitionData::Sheet *sheet, int rows, int columns, int firstId)
{
    sheet->Width = 21000;
    sheet->Height = 29700;
    sheet->AreaCount = 1;
    sheet->Areas[0] = {rows, columns, rows * columns};
    sheet->Placements[0] = {1000, 2000, 600, 600, 600, 600};
    sheet->PatchCount = rows * columns;
    sheet->Patches = NewChartPatches(size_t(sheet->PatchCount));
    for (int k = 0; k < sheet->PatchCount; ++k) {
        auto &p = sheet->Patches[k];
        p.ID = firstId + k;
        p.Row = k / columns;
        p.Column = k % columns;
        p.ColorFormat = 1;
        p.ColorValue[0] = float(k);
        p.ColorValue[1] = 100.0f;
        p.ColorValue[2] = 200.0f;
    }
    sheet->BarcodeLeftTopX = 400;
    sheet->BarcodeLeftTopY = 500;
    sheet->BarcodeWidth = 2000;
    sheet->BarcodeHeight = 2000;
    sheet->ImageDPI = 300;
}

// A chart of `pages` pages; the caller clears it.
inline ChartDefinitionDataSheets MakeChart(int pages, int rows = 2, int columns = 2)
{
    ChartDefinitionDataSheets chart;
    chart.ChartName = QStringLiteral("Chart");
    chart.CreateTime = QStringLiteral("2024/01/02 03:04:05");
    chart.UUID = QStringLiteral("{00000000-0000-0000-0000-000000000001}");
    chart.SheetCount = pages;
    chart.Sheets = pages > 0 ? NewChartSheets(size_t(pages)) : nullptr;
    for (int k = 0; k < pages; ++k) {
        FillPage(&chart.Sheets[k], rows, columns, 1 + k * rows * columns);
        chart.ChartPatchCount += rows * columns;
    }
    chart.Recog = 1;
    return chart;
}

inline void FillMeasuredPage(MeasurementData *page, int pageNumber, int records, float seed)
{
    page->PageNumber = pageNumber;
    page->RecordCount = records;
    page->MeasuredCount = records;
    page->Records = records > 0 ? NewMeasurementRecords(size_t(records)) : nullptr;
    for (int k = 0; k < records; ++k) {
        auto &r = page->Records[k];
        r.ID = k + 1;
        r.Row = k / 2;
        r.Column = k % 2;
        r.X = 1000 + k;
        r.Y = 2000 + k;
        for (int v = 0; v < kInstrumentValueCount; ++v)
            r.Values[v] = seed + float(v) / 4.0f;
        r.ColorFormat = 1;
        r.ColorValue[0] = 10.0f + k;
        r.ColorValue[1] = 20.0f;
        r.ColorValue[2] = 30.0f;
    }
    page->ImageDPI = 200;
}

// A measurement of `pages` pages with `records` records each; the caller clears it.
inline MeasurementDataSheets MakeMeasurement(int pages, int records = 4)
{
    MeasurementDataSheets m;
    m.Mode = 0;
    m.SerialNumber = QStringLiteral("SN000001");
    m.SheetCount = pages;
    m.Sheets = pages > 0 ? NewMeasurementPages(size_t(pages)) : nullptr;
    for (int k = 0; k < pages; ++k) {
        FillMeasuredPage(&m.Sheets[k], k + 1, records, float(k));
        m.RecordCount += records;
    }
    return m;
}

// Frees a chart or measurement when the test leaves the scope.
struct ChartGuard {
    ChartDefinitionDataSheets *chart;
    ~ChartGuard() { ClearChartDefinitionData(chart); }
};
struct MeasurementGuard {
    MeasurementDataSheets *measurement;
    ~MeasurementGuard() { ClearMeasureFileData(measurement); }
};

} // namespace fixture
