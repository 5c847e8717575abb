#include "app/documentfiles.h"

#include "app/recordhelpers.h"
#include "app/storeconventions.h"
#include "app/storeio.h"

#include <QByteArray>
#include <QDataStream>

#include <algorithm>
#include <climits>
#include <cstring>

namespace {

// The least bytes one item can take on the stream, to refuse counts the file cannot hold.
constexpr qint64 kIntBytes = 4;
constexpr qint64 kLeastPageBytes = 9 * kIntBytes;        // sizes, counts and image header of a chart page
constexpr qint64 kLeastPatchBytes = 6 * kIntBytes;       // five ints and the colour list's count
constexpr qint64 kLeastMeasuredPageBytes = 6 * kIntBytes; // image header, page number and the two counts
constexpr qint64 kLeastRecordBytes = 9 * kIntBytes;      // six ints, two list counts and the format

const char kChartRecord[] = "Chart";
const char kDensityChartRecord[] = "DensityChart";
const char kMeasRecord[] = "Meas";
const char kDensityMeasRecord[] = "DensityMeas";
const char kRecogRecord[] = "Recog";

constexpr int kDefaultMeasuredDpi = 150;
constexpr int kMeasurementTextLength = 8;

qint32 ReadInt(QDataStream &stream)
{
    qint32 value = 0;
    stream >> value;
    return value;
}

// Page i of the pages to write, with the replacement page substituted or appended.
template <typename Page>
const Page *PageAt(const Page *pages, int count, const Page *replacement, int index, int i)
{
    if (replacement && (index < 0 ? i == count : i == index))
        return replacement;
    return &pages[i];
}

// Pages a chart or measurement holds, as the writers count them.
template <typename Pages>
int StoredPages(const Pages &pages)
{
    return pages.Sheets ? std::max(pages.SheetCount, 0) : 0;
}

template <typename Page>
int PagesToWrite(int count, const Page *replacement, int index)
{
    return replacement && index < 0 ? count + 1 : count;
}

// An image goes out only when its bytes exist and fit a byte array; otherwise as no image at all, so the
// header never promises bytes that are not there.
QByteArray ImageToWrite(int width, int height, int bitsPerPixel, const unsigned char *bytes, int *outWidth,
                        int *outHeight, int *outBits)
{
    const qint64 size = ImageByteCount(width, height, bitsPerPixel);
    if (size > 0 && (!bytes || size > INT_MAX - 64)) {
        *outWidth = *outHeight = *outBits = 0;
        return QByteArray();
    }
    *outWidth = width;
    *outHeight = height;
    *outBits = bitsPerPixel;
    if (size <= 0)
        return QByteArray();
    return QByteArray::fromRawData(reinterpret_cast<const char *>(bytes), int(size));
}

void WriteImage(QDataStream &stream, int width, int height, int bitsPerPixel, const unsigned char *bytes)
{
    int w = 0, h = 0, bits = 0;
    const QByteArray data = ImageToWrite(width, height, bitsPerPixel, bytes, &w, &h, &bits);
    stream << qint32(w) << qint32(h) << qint32(bits);
    if (ImageByteCount(w, h, bits) > 0)
        stream << data;
}

// Reads an image header and its bytes; false for negative sizes, for more bytes than the file has left and for
// a byte array whose length differs from the header.
bool ReadImage(QDataStream &stream, int *width, int *height, int *bitsPerPixel, unsigned char **bytes)
{
    *width = ReadInt(stream);
    *height = ReadInt(stream);
    *bitsPerPixel = ReadInt(stream);
    if (stream.status() != QDataStream::Ok || *width < 0 || *height < 0 || *bitsPerPixel < 0)
        return false;
    const qint64 size = ImageByteCount(*width, *height, *bitsPerPixel);
    if (size <= 0)
        return true;
    if (!Store::CountFits(stream, size + kIntBytes, 1))
        return false;
    QByteArray data;
    stream >> data;
    if (stream.status() != QDataStream::Ok || data.size() != size)
        return false;
    *bytes = new unsigned char[size_t(size)];
    std::memcpy(*bytes, data.constData(), size_t(size));
    return true;
}

int ColorValueCount(int format)
{
    return std::clamp(format + 2, 0, kMaxColorValueCount);
}

// A colour list as a file holds it: the format's values are kept, a shorter list leaves the rest 0, a list
// longer than the eight slots is invalid.
bool ReadColorValues(QDataStream &stream, int format, float *values)
{
    float read[kMaxColorValueCount] = {};
    bool longer = false;
    const int count = Store::ReadFloatList(stream, read, kMaxColorValueCount, &longer);
    if (count < 0 || longer)
        return false;
    std::fill(values, values + kMaxColorValueCount, 0.0f);
    std::copy(read, read + std::min(count, ColorValueCount(format)), values);
    return true;
}

void WritePage(QDataStream &stream, const ChartDefinitionData::Sheet &sheet)
{
    const int areaCount = std::clamp(sheet.AreaCount, 0, kMaxAreaCount);
    const int clipCount = std::clamp(sheet.ClipAreaCount, 0, kMaxClipAreaCount);
    const int patchCount = sheet.Patches ? std::max(sheet.PatchCount, 0) : 0;
    stream << qint32(sheet.Width) << qint32(sheet.Height) << qint32(patchCount) << qint32(areaCount);
    for (int i = 0; i < areaCount; ++i) {
        const auto &counts = sheet.Areas[i];
        const auto &place = sheet.Placements[i];
        stream << qint32(counts.RowCount) << qint32(counts.ColumnCount) << qint32(counts.PatchCount)
               << qint32(place.LeftTopX) << qint32(place.LeftTopY) << qint32(place.PatchWidth)
               << qint32(place.PatchHeight) << qint32(place.PatchWidthGap) << qint32(place.PatchHeightGap);
    }
    stream << qint32(sheet.HasImage) << qint32(clipCount);
    for (int i = 0; i < clipCount; ++i) {
        const auto &clip = sheet.ClipAreas[i];
        stream << qint32(clip.LeftTopX) << qint32(clip.LeftTopY) << qint32(clip.RightTopX) << qint32(clip.RightTopY)
               << qint32(clip.LeftBottomX) << qint32(clip.LeftBottomY) << qint32(clip.RightBottomX)
               << qint32(clip.RightBottomY);
    }
    WriteImage(stream, sheet.ImageWidth, sheet.ImageHeight, sheet.BitPerPixel, sheet.ImageBytes);
    for (int i = 0; i < patchCount; ++i) {
        const auto &patch = sheet.Patches[i];
        stream << qint32(patch.ID) << qint32(patch.Area) << qint32(patch.Row) << qint32(patch.Column)
               << qint32(patch.ColorFormat);
        Store::WriteFloatList(stream, patch.ColorValue, ColorValueCount(patch.ColorFormat));
    }
}

bool ReadPage(QDataStream &stream, ChartDefinitionData::Sheet *sheet)
{
    sheet->Width = ReadInt(stream);
    sheet->Height = ReadInt(stream);
    qint32 patchCount = ReadInt(stream);
    const qint32 areaCount = ReadInt(stream);
    if (stream.status() != QDataStream::Ok || patchCount < 0 || areaCount < 0 || areaCount > kMaxAreaCount)
        return false;
    sheet->AreaCount = areaCount;
    for (int i = 0; i < areaCount; ++i) {
        auto &counts = sheet->Areas[i];
        auto &place = sheet->Placements[i];
        counts.RowCount = ReadInt(stream);
        counts.ColumnCount = ReadInt(stream);
        counts.PatchCount = ReadInt(stream);
        place.LeftTopX = ReadInt(stream);
        place.LeftTopY = ReadInt(stream);
        place.PatchWidth = ReadInt(stream);
        place.PatchHeight = ReadInt(stream);
        place.PatchWidthGap = ReadInt(stream);
        place.PatchHeightGap = ReadInt(stream);
    }
    sheet->HasImage = ReadInt(stream);
    const qint32 clipCount = ReadInt(stream);
    if (stream.status() != QDataStream::Ok || clipCount < 0 || clipCount > kMaxClipAreaCount)
        return false;
    sheet->ClipAreaCount = clipCount;
    for (int i = 0; i < clipCount; ++i) {
        auto &clip = sheet->ClipAreas[i];
        clip.LeftTopX = ReadInt(stream);
        clip.LeftTopY = ReadInt(stream);
        clip.RightTopX = ReadInt(stream);
        clip.RightTopY = ReadInt(stream);
        clip.LeftBottomX = ReadInt(stream);
        clip.LeftBottomY = ReadInt(stream);
        clip.RightBottomX = ReadInt(stream);
        clip.RightBottomY = ReadInt(stream);
    }
    if (!ReadImage(stream, &sheet->ImageWidth, &sheet->ImageHeight, &sheet->BitPerPixel, &sheet->ImageBytes))
        return false;
    if (!Store::CountFits(stream, patchCount, kLeastPatchBytes))
        return false;
    if (patchCount > 0)
        sheet->Patches = new ChartDefinitionData::PatchColor[size_t(patchCount)];
    sheet->PatchCount = patchCount;
    for (int i = 0; i < patchCount; ++i) {
        auto &patch = sheet->Patches[i];
        patch.ID = ReadInt(stream);
        patch.Area = ReadInt(stream);
        patch.Row = ReadInt(stream);
        patch.Column = ReadInt(stream);
        patch.ColorFormat = ReadInt(stream);
        if (stream.status() != QDataStream::Ok || patch.Area < 0 || patch.Area >= areaCount)
            return false;
        const auto &counts = sheet->Areas[patch.Area];
        if (patch.Row < 0 || patch.Row >= counts.RowCount || patch.Column < 0 || patch.Column >= counts.ColumnCount ||
            patch.ColorFormat < 0 || patch.ColorFormat > ChartDefinitionData::Format8Color)
            return false;
        if (!ReadColorValues(stream, patch.ColorFormat, patch.ColorValue))
            return false;
    }
    return stream.status() == QDataStream::Ok;
}

bool ReadMeasuredPage(QDataStream &stream, MeasurementData *page, int version)
{
    if (!ReadImage(stream, &page->Width, &page->Height, &page->BitPerPixel, &page->ImageBytes))
        return false;
    page->PageNumber = ReadInt(stream);
    qint32 recordCount = 0;
    if (!Store::ReadCount(stream, &recordCount, kLeastRecordBytes))
        return false;
    page->MeasuredCount = ReadInt(stream);
    if (recordCount > 0)
        page->Records = new MeasurementData::PatchData[size_t(recordCount)];
    page->RecordCount = recordCount;
    for (int i = 0; i < recordCount; ++i) {
        auto &record = page->Records[i];
        record.ID = ReadInt(stream);
        record.Area = ReadInt(stream);
        record.Row = ReadInt(stream);
        record.Column = ReadInt(stream);
        record.X = ReadInt(stream);
        record.Y = ReadInt(stream);
        bool longer = false;
        if (Store::ReadFloatList(stream, record.Values, kInstrumentValueCount, &longer) < 0 || longer)
            return false;
        record.ColorFormat = ReadInt(stream);
        if (stream.status() != QDataStream::Ok || record.ColorFormat < 0 ||
            record.ColorFormat > ChartDefinitionData::Format8Color)
            return false;
        if (!ReadColorValues(stream, record.ColorFormat, record.ColorValue))
            return false;
    }
    page->ImageDPI = version >= 2 ? ReadInt(stream) : kDefaultMeasuredDpi;
    return stream.status() == QDataStream::Ok;
}

// Charts held by the store carry no page images and no clip areas.
void DropImagesAndClipAreas(ChartDefinitionDataSheets *chart)
{
    for (int i = 0; i < chart->SheetCount; ++i) {
        auto &sheet = chart->Sheets[i];
        delete[] sheet.ImageBytes;
        sheet.ImageBytes = nullptr;
        sheet.HasImage = 0;
        sheet.ClipAreaCount = 0;
        std::fill(std::begin(sheet.ClipAreas), std::end(sheet.ClipAreas), ChartDefinitionData::ClipArea());
        sheet.ImageWidth = sheet.ImageHeight = sheet.BitPerPixel = 0;
    }
}

int SaveBody(const QString *path, QIODevice *device, const char *recordName, const Store::WriteBody &body)
{
    const bool ok = path ? Store::SaveFile(*path, QLatin1String(recordName), body)
                         : Store::WriteStream(*device, QLatin1String(recordName), body);
    return ok ? kDocumentOk : kDocumentFileError;
}

template <typename Pages, typename Page>
bool ReplacementIndexValid(const Pages &pages, const Page *page, int index)
{
    return !page || index < pages.SheetCount;
}

template <typename Record>
void AdjustChartPatchCount(Record *record, const ChartDefinitionDataSheets &chart,
                           const ChartDefinitionData::Sheet *page, int index)
{
    if (!page)
        return;
    if (index >= 0)
        record->ChartPatchCount -= chart.Sheets[index].PatchCount;
    record->ChartPatchCount += page->PatchCount;
}

int ChartBody(const QString *path, QIODevice *device, ChartDesigData *record, const ChartDefinitionDataSheets &chart,
              const ChartDefinitionData::Sheet *page, int index)
{
    if (!ReplacementIndexValid(chart, page, index))
        return kDocumentInvalid;
    AdjustChartPatchCount(record, chart, page, index);
    const ChartDesigData &r = *record;
    return SaveBody(path, device, kChartRecord, [&](QDataStream &stream) {
        stream << r.ChartName << r.CreateTime << qint32(r.ChartPatchCount) << qint32(r.Diameter) << r.UUID
               << qint32(chart.Barcode);
        WriteSheets(stream, chart, page, index);
        WriteSheetsBarcode(stream, chart, page, index);
        WriteSheetsResolution(stream, chart, page, index);
        stream << qint32(chart.Recog);
    });
}

int DensityChartBody(const QString *path, QIODevice *device, DensityBalanceData *record,
                     const ChartDefinitionDataSheets &chart, const ChartDefinitionData::Sheet *page, int index)
{
    if (!ReplacementIndexValid(chart, page, index))
        return kDocumentInvalid;
    AdjustChartPatchCount(record, chart, page, index);
    const DensityBalanceData &r = *record;
    return SaveBody(path, device, kDensityChartRecord, [&](QDataStream &stream) {
        stream << qint32(r.Template) << qint32(r.SecondNumber) << r.ChartName << r.CreateTime
               << qint32(r.ChartPatchCount) << qint32(r.Diameter) << r.UUID;
        WriteSheets(stream, chart, page, index);
        stream << qint32(chart.Recog);
    });
}

template <typename Record>
void AdjustRecordCount(Record *record, const MeasurementDataSheets &measurement, const MeasurementData *page,
                       int index)
{
    if (!page)
        return;
    if (index >= 0)
        record->RecordCount -= measurement.Sheets[index].RecordCount;
    record->RecordCount += page->RecordCount;
}

int MeasureBody(const QString *path, QIODevice *device, const char *recordName, ChartDesigMeasureData *record,
                const MeasurementDataSheets &measurement, const MeasurementData *page, int index, bool withTexts)
{
    if (!ReplacementIndexValid(measurement, page, index))
        return kDocumentInvalid;
    AdjustRecordCount(record, measurement, page, index);
    const ChartDesigMeasureData &r = *record;
    return SaveBody(path, device, recordName, [&](QDataStream &stream) {
        stream << r.ChartName << r.CreateTime << qint32(r.RecordCount) << qint32(r.Diameter);
        WriteMeasurement(stream, measurement, page, index);
        if (withTexts)
            stream << measurement.BarcodeText1 << measurement.BarcodeText2;
    });
}

int RecognitionBody(const QString *path, QIODevice *device, ChartRecogData *record,
                    const ChartDefinitionDataSheets &chart, const MeasurementDataSheets &measurement,
                    const MeasurementData *page, int index)
{
    if (!ReplacementIndexValid(measurement, page, index))
        return kDocumentInvalid;
    AdjustRecordCount(record, measurement, page, index);
    const ChartRecogData &r = *record;
    return SaveBody(path, device, kRecogRecord, [&](QDataStream &stream) {
        stream << r.ChartName << r.CreateTime << qint32(r.RecordCount) << qint32(r.Diameter);
        WriteSheets(stream, chart);
        WriteMeasurement(stream, measurement, page, index);
    });
}

template <typename T, void (*Clear)(T *)>
struct Owned {
    T value;
    Owned() = default;
    Owned(const Owned &) = delete;
    Owned &operator=(const Owned &) = delete;
    ~Owned() { Clear(&value); }
    // Hands the read data to the caller's record, which is cleared first.
    void HandTo(T *target)
    {
        if (!target)
            return;
        Clear(target);
        *target = value;
        value = T();
    }
};
using OwnedChart = Owned<ChartDefinitionDataSheets, ClearChartDefinitionData>;
using OwnedMeasurement = Owned<MeasurementDataSheets, ClearMeasureFileData>;

// Store charts keep no page images or clip areas; the header fields every chart kind carries.
void FinishReadChart(ChartDefinitionDataSheets *chart, int kind, const QString &name, const QString &createTime,
                     int patchCount, int diameter)
{
    DropImagesAndClipAreas(chart);
    chart->Kind = kind;
    chart->ChartName = name;
    chart->CreateTime = createTime;
    chart->ChartPatchCount = patchCount;
    chart->Diameter = diameter;
}

// The list-entry fields both chart records take from a read chart.
template <typename Record>
void FillChartRecord(Record *record, const ChartDefinitionDataSheets &chart)
{
    record->Kind = chart.Kind;
    record->SheetCount = chart.SheetCount;
    record->ChartPatchCount = chart.ChartPatchCount;
    record->Diameter = chart.Diameter;
    record->UUID = chart.UUID;
    record->ChartName = chart.ChartName;
    record->CreateTime = chart.CreateTime;
}

// The header the measurement and recognition files start with.
struct MeasureHeader {
    QString name;
    QString createTime;
    qint32 recordCount = 0;
    qint32 diameter = 0;

    bool Read(Store::FileReader &reader)
    {
        reader.stream >> name >> createTime >> recordCount >> diameter;
        return reader.Ok();
    }
    template <typename Record>
    void Fill(MeasurementDataSheets *measurement, Record *record) const
    {
        measurement->RecordCount = recordCount;
        measurement->Diameter = diameter;
        record->RecordCount = recordCount;
        record->Diameter = diameter;
        record->ChartName = name;
        record->CreateTime = createTime;
    }
};

} // namespace

void WriteSheets(QDataStream &stream, const ChartDefinitionDataSheets &chart, const ChartDefinitionData::Sheet *page,
                 int index)
{
    const int stored = StoredPages(chart);
    const int count = PagesToWrite(stored, page, index);
    stream << qint32(count) << qint32(chart.UNIT);
    for (int i = 0; i < count; ++i)
        WritePage(stream, *PageAt(chart.Sheets, stored, page, index, i));
}

bool ReadSheets(QDataStream &stream, ChartDefinitionDataSheets *chart)
{
    qint32 count = 0;
    if (!Store::ReadCount(stream, &count, kLeastPageBytes))
        return false;
    const qint32 unit = ReadInt(stream);
    if (stream.status() != QDataStream::Ok || (unit != 0 && unit != 1))
        return false;
    chart->UNIT = unit;
    if (count > 0)
        chart->Sheets = new ChartDefinitionData::Sheet[size_t(count)];
    chart->SheetCount = count;
    for (int i = 0; i < count; ++i)
        if (!ReadPage(stream, &chart->Sheets[i]))
            return false;
    return true;
}

void WriteSheetsBarcode(QDataStream &stream, const ChartDefinitionDataSheets &chart,
                        const ChartDefinitionData::Sheet *page, int index)
{
    const int stored = StoredPages(chart);
    const int count = PagesToWrite(stored, page, index);
    for (int i = 0; i < count; ++i) {
        const auto *sheet = PageAt(chart.Sheets, stored, page, index, i);
        stream << qint32(sheet->BarcodeLeftTopX) << qint32(sheet->BarcodeLeftTopY) << qint32(sheet->BarcodeWidth)
               << qint32(sheet->BarcodeHeight);
    }
}

void WriteSheetsResolution(QDataStream &stream, const ChartDefinitionDataSheets &chart,
                           const ChartDefinitionData::Sheet *page, int index)
{
    const int stored = StoredPages(chart);
    const int count = PagesToWrite(stored, page, index);
    for (int i = 0; i < count; ++i)
        stream << qint32(PageAt(chart.Sheets, stored, page, index, i)->ImageDPI);
}

void WriteMeasurementSheet(QDataStream &stream, const MeasurementData &page)
{
    WriteImage(stream, page.Width, page.Height, page.BitPerPixel, page.ImageBytes);
    const int recordCount = page.Records ? std::max(page.RecordCount, 0) : 0;
    stream << qint32(page.PageNumber) << qint32(recordCount) << qint32(page.MeasuredCount);
    for (int i = 0; i < recordCount; ++i) {
        const auto &record = page.Records[i];
        stream << qint32(record.ID) << qint32(record.Area) << qint32(record.Row) << qint32(record.Column)
               << qint32(record.X) << qint32(record.Y);
        Store::WriteFloatList(stream, record.Values, kInstrumentValueCount);
        stream << qint32(record.ColorFormat);
        Store::WriteFloatList(stream, record.ColorValue, ColorValueCount(record.ColorFormat));
    }
    stream << qint32(page.ImageDPI);
}

void WriteMeasurement(QDataStream &stream, const MeasurementDataSheets &measurement, const MeasurementData *page,
                      int index)
{
    const int stored = StoredPages(measurement);
    const int count = PagesToWrite(stored, page, index);
    stream << qint32(count) << qint32(measurement.Mode) << measurement.SerialNumber;
    for (int i = 0; i < count; ++i)
        WriteMeasurementSheet(stream, *PageAt(measurement.Sheets, stored, page, index, i));
}

bool ReadMeasurement(QDataStream &stream, MeasurementDataSheets *measurement, int version)
{
    qint32 count = 0;
    if (!Store::ReadCount(stream, &count, kLeastMeasuredPageBytes))
        return false;
    const qint32 mode = ReadInt(stream);
    QString text;
    stream >> text;
    if (stream.status() != QDataStream::Ok || mode < 0 || mode > 3)
        return false;
    measurement->Mode = mode;
    measurement->SerialNumber = text.left(kMeasurementTextLength);
    if (count > 0)
        measurement->Sheets = new MeasurementData[size_t(count)];
    measurement->SheetCount = count;
    for (int i = 0; i < count; ++i)
        if (!ReadMeasuredPage(stream, &measurement->Sheets[i], version))
            return false;
    return true;
}

int SaveChartFile(const QString &path, ChartDesigData *record, const ChartDefinitionDataSheets &chart,
                  const ChartDefinitionData::Sheet *page, int index)
{
    return ChartBody(&path, nullptr, record, chart, page, index);
}

int SaveChartFile(QIODevice &device, ChartDesigData *record, const ChartDefinitionDataSheets &chart,
                  const ChartDefinitionData::Sheet *page, int index)
{
    return ChartBody(nullptr, &device, record, chart, page, index);
}

int SaveDensityChartFile(const QString &path, DensityBalanceData *record, const ChartDefinitionDataSheets &chart,
                         const ChartDefinitionData::Sheet *page, int index)
{
    return DensityChartBody(&path, nullptr, record, chart, page, index);
}

int SaveDensityChartFile(QIODevice &device, DensityBalanceData *record, const ChartDefinitionDataSheets &chart,
                         const ChartDefinitionData::Sheet *page, int index)
{
    return DensityChartBody(nullptr, &device, record, chart, page, index);
}

int SaveMeasureFile(const QString &path, ChartDesigMeasureData *record, const MeasurementDataSheets &measurement,
                    const MeasurementData *page, int index)
{
    return MeasureBody(&path, nullptr, kMeasRecord, record, measurement, page, index, false);
}

int SaveMeasureFile(QIODevice &device, ChartDesigMeasureData *record, const MeasurementDataSheets &measurement,
                    const MeasurementData *page, int index)
{
    return MeasureBody(nullptr, &device, kMeasRecord, record, measurement, page, index, false);
}

int SaveDensityMeasureFile(const QString &path, ChartDesigMeasureData *record,
                           const MeasurementDataSheets &measurement, const MeasurementData *page, int index)
{
    return MeasureBody(&path, nullptr, kDensityMeasRecord, record, measurement, page, index, true);
}

int SaveDensityMeasureFile(QIODevice &device, ChartDesigMeasureData *record,
                           const MeasurementDataSheets &measurement, const MeasurementData *page, int index)
{
    return MeasureBody(nullptr, &device, kDensityMeasRecord, record, measurement, page, index, true);
}

int SaveRecognitionFile(const QString &path, ChartRecogData *record, const ChartDefinitionDataSheets &chart,
                        const MeasurementDataSheets &measurement, const MeasurementData *page, int index)
{
    return RecognitionBody(&path, nullptr, record, chart, measurement, page, index);
}

int SaveRecognitionFile(QIODevice &device, ChartRecogData *record, const ChartDefinitionDataSheets &chart,
                        const MeasurementDataSheets &measurement, const MeasurementData *page, int index)
{
    return RecognitionBody(nullptr, &device, record, chart, measurement, page, index);
}

int ReadChartFile(ChartDesigData *record, ChartDefinitionDataSheets *chart, const QString &path)
{
    Store::FileReader reader(path);
    if (!reader.Opened())
        return kDocumentFileError;
    QDataStream &stream = reader.stream;
    QString name, createTime, uuid;
    qint32 patchCount = 0, diameter = 0, barcode = 0;
    stream >> name >> createTime >> patchCount >> diameter >> uuid >> barcode;
    if (!reader.Ok() || (barcode != 0 && barcode != 1))
        return kDocumentInvalid;
    OwnedChart read;
    ChartDefinitionDataSheets &c = read.value;
    if (!ReadSheets(stream, &c))
        return kDocumentInvalid;
    if (reader.version >= 2) {
        for (int i = 0; i < c.SheetCount; ++i) {
            auto &sheet = c.Sheets[i];
            sheet.BarcodeLeftTopX = ReadInt(stream);
            sheet.BarcodeLeftTopY = ReadInt(stream);
            sheet.BarcodeWidth = ReadInt(stream);
            sheet.BarcodeHeight = ReadInt(stream);
        }
    }
    if (reader.version >= 4)
        for (int i = 0; i < c.SheetCount; ++i)
            c.Sheets[i].ImageDPI = ReadInt(stream);
    const qint32 recog = reader.version >= 5 ? ReadInt(stream) : ChartDefinitionData::RecogCombine;
    if (!reader.Ok())
        return kDocumentInvalid;
    FinishReadChart(&c, ChartDefinitionData::KindNormal, name, createTime, patchCount, diameter);
    c.UUID = uuid;
    c.Barcode = barcode;
    c.Recog = recog;
    FillChartRecord(record, c);
    record->Recog = recog;
    read.HandTo(chart);
    return kDocumentOk;
}

int ReadDensityChartFile(DensityBalanceData *record, ChartDefinitionDataSheets *chart, const QString &path)
{
    Store::FileReader reader(path);
    if (!reader.Opened())
        return kDocumentFileError;
    QDataStream &stream = reader.stream;
    QString name, createTime, uuid;
    qint32 templateNumber = 0, secondNumber = 0, patchCount = 0, diameter = 0;
    stream >> templateNumber >> secondNumber >> name >> createTime >> patchCount >> diameter >> uuid;
    if (!reader.Ok())
        return kDocumentInvalid;
    OwnedChart read;
    ChartDefinitionDataSheets &c = read.value;
    if (!ReadSheets(stream, &c))
        return kDocumentInvalid;
    const qint32 recog = reader.version >= 2 ? ReadInt(stream) : ChartDefinitionData::RecogCombine;
    if (!reader.Ok())
        return kDocumentInvalid;
    FinishReadChart(&c, ChartDefinitionData::KindDensity, name, createTime, patchCount, diameter);
    c.UUID = uuid;
    c.Recog = recog;
    FillChartRecord(record, c);
    record->Template = templateNumber;
    record->SecondNumber = secondNumber;
    read.HandTo(chart);
    return kDocumentOk;
}

namespace {

// The two measurement kinds differ only in their trailing fields.
int ReadMeasureKind(ChartDesigMeasureData *record, MeasurementDataSheets *measurement, const QString &path,
                    bool density)
{
    Store::FileReader reader(path);
    if (!reader.Opened())
        return kDocumentFileError;
    QDataStream &stream = reader.stream;
    MeasureHeader header;
    if (!header.Read(reader))
        return kDocumentInvalid;
    OwnedMeasurement read;
    MeasurementDataSheets &m = read.value;
    if (!ReadMeasurement(stream, &m, reader.version))
        return kDocumentInvalid;
    if (density) {
        if (reader.version >= 3)
            stream >> m.BarcodeText1 >> m.BarcodeText2;
        if (!reader.Ok())
            return kDocumentInvalid;
    } else if (!reader.Ok() || !stream.atEnd()) {
        return kDocumentInvalid;
    }
    header.Fill(&m, record);
    read.HandTo(measurement);
    return kDocumentOk;
}

} // namespace

int ReadMeasureFile(ChartDesigMeasureData *record, MeasurementDataSheets *measurement, const QString &path)
{
    return ReadMeasureKind(record, measurement, path, false);
}

int ReadDensityMeasureFile(ChartDesigMeasureData *record, MeasurementDataSheets *measurement, const QString &path)
{
    return ReadMeasureKind(record, measurement, path, true);
}

int ReadRecognitionFile(ChartRecogData *record, ChartDefinitionDataSheets *chart, MeasurementDataSheets *measurement,
                        const QString &path)
{
    Store::FileReader reader(path);
    if (!reader.Opened())
        return kDocumentFileError;
    QDataStream &stream = reader.stream;
    MeasureHeader header;
    if (!header.Read(reader))
        return kDocumentInvalid;
    OwnedChart readChart;
    OwnedMeasurement readMeasurement;
    ChartDefinitionDataSheets &c = readChart.value;
    MeasurementDataSheets &m = readMeasurement.value;
    if (!ReadSheets(stream, &c) || !ReadMeasurement(stream, &m, reader.version) || !reader.Ok())
        return kDocumentInvalid;
    FinishReadChart(&c, ChartDefinitionData::KindNormal, header.name, header.createTime,
                    c.SheetCount > 0 ? c.Sheets[0].PatchCount : 0, header.diameter);
    header.Fill(&m, record);
    readChart.HandTo(chart);
    readMeasurement.HandTo(measurement);
    return kDocumentOk;
}
