#include "app/documentfiles.h"

#include "app/recordhelpers.h"
#include "app/storablechart.h"
#include "app/storeconventions.h"
#include "app/storeio.h"

#include <QByteArray>
#include <QDataStream>
#include <QIODevice>
#include <QtEndian>

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

namespace {

// The bytes one item takes on the stream as the writers store it (at the least: no areas, no image, the
// smallest colour format), so that a count is checked against what the rest of the file must hold before
// anything is sized by it.
constexpr qint64 kIntBytes = 4;
constexpr qint64 kDoubleBytes = 8;
constexpr qint64 kLeastColourListBytes = kIntBytes + 2 * kDoubleBytes; // format 0 stores two values
constexpr qint64 kStoredPageBytes = 9 * kIntBytes;                     // sizes, counts and image header
constexpr qint64 kStoredAreaBytes = 9 * kIntBytes;
constexpr qint64 kStoredClipAreaBytes = 8 * kIntBytes;
constexpr qint64 kStoredPatchBytes = 5 * kIntBytes + kLeastColourListBytes;
constexpr qint64 kStoredBarcodeBytes = 4 * kIntBytes;      // per page of a designation chart from version 2
constexpr qint64 kStoredResolutionBytes = kIntBytes;       // per page of a designation chart from version 4
constexpr qint64 kStoredMeasuredPageBytes = 6 * kIntBytes; // image header, page number, the two counts
constexpr qint64 kStoredRecordBytes =
    6 * kIntBytes + kIntBytes + kInstrumentValueCount * kDoubleBytes + kIntBytes + kLeastColourListBytes;
// Arrays read from a file start this small and double while their items are read.
constexpr int kFirstChunk = 16;

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

// Makes room for item index of an owned array that grows while its items are read: a small first chunk,
// doubling up to total, so memory follows what the file really holds, not the count it claims. *allocated is
// the record's count field, so that clearing a half-read record frees every slot made.
template <typename T>
void MakeRoom(std::unique_ptr<T[]> *items, int *allocated, int index, int total,
              std::unique_ptr<T[]> (*newArray)(size_t))
{
    if (index < *allocated)
        return;
    const int size = int(std::min<qint64>(total, std::max<qint64>(kFirstChunk, 2 * qint64(*allocated))));
    std::unique_ptr<T[]> grown = newArray(size_t(size));
    if (*items)
        std::move(items->get(), items->get() + *allocated, grown.get());
    *items = std::move(grown);
    *allocated = size;
}

// Reads a text only when the rest of the file holds the length it claims.
bool ReadText(QDataStream &stream, QString *text)
{
    QIODevice *device = stream.device();
    char head[4];
    if (stream.status() == QDataStream::Ok && device && device->peek(head, 4) == 4) {
        const quint32 bytes = stream.byteOrder() == QDataStream::BigEndian ? qFromBigEndian<quint32>(head)
                                                                           : qFromLittleEndian<quint32>(head);
        if (bytes != 0xffffffffu && qint64(bytes) > device->bytesAvailable() - 4) {
            stream.setStatus(QDataStream::ReadCorruptData);
            return false;
        }
    }
    stream >> *text;
    return stream.status() == QDataStream::Ok;
}

bool SkipBytes(QDataStream &stream, qint64 count)
{
    while (count > 0) {
        const int chunk = int(std::min<qint64>(count, 1 << 30));
        if (stream.skipRawData(chunk) != chunk)
            return false;
        count -= chunk;
    }
    return true;
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
    if (size > 0 && (!bytes || size > kMaxStorableImageBytes)) {
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

// Reads an image header and its bytes, which are skipped unallocated unless kept; false for negative sizes, for
// more bytes than a byte array holds or the file has left, and for a byte array whose length differs from the
// header.
bool ReadImage(QDataStream &stream, int *width, int *height, int *bitsPerPixel,
               std::unique_ptr<unsigned char[]> *bytes, bool keep)
{
    *width = ReadInt(stream);
    *height = ReadInt(stream);
    *bitsPerPixel = ReadInt(stream);
    if (stream.status() != QDataStream::Ok || !IsStorableImageSize(*width, *height, *bitsPerPixel))
        return false;
    const qint64 size = ImageByteCount(*width, *height, *bitsPerPixel);
    if (size <= 0)
        return true;
    qint32 length = 0;
    stream >> length;
    if (stream.status() != QDataStream::Ok || length != size || size > kMaxStorableImageBytes ||
        !Store::CountFits(stream, size, 1))
        return false;
    if (!keep)
        return SkipBytes(stream, size);
    std::unique_ptr<unsigned char[]> data = NewImageBytes(size_t(size));
    if (stream.readRawData(reinterpret_cast<char *>(data.get()), int(size)) != size)
        return false;
    *bytes = std::move(data);
    return true;
}

int ColorValueCount(int format)
{
    return std::clamp(format + 2, 0, kMaxColorValueCount);
}

// A colour list as a file holds it: the format's values are kept; a list shorter than the format's values or
// longer than the eight slots is invalid.
bool ReadColorValues(QDataStream &stream, int format, float *values)
{
    float read[kMaxColorValueCount] = {};
    bool longer = false;
    const int count = Store::ReadFloatList(stream, read, kMaxColorValueCount, &longer);
    if (count < ColorValueCount(format) || longer)
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
    WriteImage(stream, sheet.ImageWidth, sheet.ImageHeight, sheet.BitPerPixel, sheet.ImageBytes.get());
    for (int i = 0; i < patchCount; ++i) {
        const auto &patch = sheet.Patches[i];
        stream << qint32(patch.ID) << qint32(patch.Area) << qint32(patch.Row) << qint32(patch.Column)
               << qint32(patch.ColorFormat);
        Store::WriteFloatList(stream, patch.ColorValue, ColorValueCount(patch.ColorFormat));
    }
}

// Reads one page block; the image bytes are skipped unless kept.
bool ReadPage(QDataStream &stream, ChartDefinitionData::Sheet *sheet, bool keepImage)
{
    sheet->Width = ReadInt(stream);
    sheet->Height = ReadInt(stream);
    qint32 patchCount = ReadInt(stream);
    const qint32 areaCount = ReadInt(stream);
    if (stream.status() != QDataStream::Ok || patchCount < 0 || !IsStorableAreaCount(areaCount) ||
        !Store::CountFits(stream, areaCount, kStoredAreaBytes))
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
    if (stream.status() != QDataStream::Ok || !IsStorableClipAreaCount(clipCount) ||
        !Store::CountFits(stream, clipCount, kStoredClipAreaBytes))
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
    if (!ReadImage(stream, &sheet->ImageWidth, &sheet->ImageHeight, &sheet->BitPerPixel, &sheet->ImageBytes,
                   keepImage))
        return false;
    if (!Store::CountFits(stream, patchCount, kStoredPatchBytes))
        return false;
    for (int i = 0; i < patchCount; ++i) {
        MakeRoom(&sheet->Patches, &sheet->PatchCount, i, patchCount, NewChartPatches);
        auto &patch = sheet->Patches[i];
        patch.ID = ReadInt(stream);
        patch.Area = ReadInt(stream);
        patch.Row = ReadInt(stream);
        patch.Column = ReadInt(stream);
        patch.ColorFormat = ReadInt(stream);
        if (stream.status() != QDataStream::Ok || !IsPatchInGrid(*sheet, patch) ||
            !IsStorableColorFormat(patch.ColorFormat))
            return false;
        if (!ReadColorValues(stream, patch.ColorFormat, patch.ColorValue))
            return false;
    }
    return stream.status() == QDataStream::Ok;
}

// Reads one measured page; the image bytes are skipped unless kept. A record holds its 152 result values.
bool ReadMeasuredPage(QDataStream &stream, MeasurementData *page, int version, bool keepImage)
{
    if (!ReadImage(stream, &page->Width, &page->Height, &page->BitPerPixel, &page->ImageBytes, keepImage))
        return false;
    page->PageNumber = ReadInt(stream);
    qint32 recordCount = 0;
    if (!Store::ReadCount(stream, &recordCount, kStoredRecordBytes))
        return false;
    page->MeasuredCount = ReadInt(stream);
    for (int i = 0; i < recordCount; ++i) {
        MakeRoom(&page->Records, &page->RecordCount, i, recordCount, NewMeasurementRecords);
        auto &record = page->Records[i];
        record.ID = ReadInt(stream);
        record.Area = ReadInt(stream);
        record.Row = ReadInt(stream);
        record.Column = ReadInt(stream);
        record.X = ReadInt(stream);
        record.Y = ReadInt(stream);
        if (Store::ReadFloatList(stream, record.Values, kInstrumentValueCount) != kInstrumentValueCount)
            return false;
        record.ColorFormat = ReadInt(stream);
        if (stream.status() != QDataStream::Ok || !IsStorableColorFormat(record.ColorFormat))
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
    for (int i = 0; chart->Sheets && i < chart->SheetCount; ++i) {
        auto &sheet = chart->Sheets[i];
        sheet.ImageBytes.reset();
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

// The writers refuse what the readers would refuse: the chart's fields and every page as it would be written.
bool PagesStorable(const ChartDefinitionDataSheets &chart, const ChartDefinitionData::Sheet *page, int index)
{
    if (!IsStorableChartFields(chart))
        return false;
    const int stored = StoredPages(chart);
    const int count = PagesToWrite(stored, page, index);
    for (int i = 0; i < count; ++i) {
        if (!IsStorableSheet(*PageAt(chart.Sheets.get(), stored, page, index, i)))
            return false;
    }
    return true;
}

// The same for a measurement: its fields and every page as it would be written.
bool MeasurementStorable(const MeasurementDataSheets &measurement, const MeasurementData *page, int index)
{
    if (!IsStorableMeasurementFields(measurement))
        return false;
    const int stored = StoredPages(measurement);
    const int count = PagesToWrite(stored, page, index);
    for (int i = 0; i < count; ++i) {
        if (!IsStorableMeasuredPage(*PageAt(measurement.Sheets.get(), stored, page, index, i)))
            return false;
    }
    return true;
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
    if (!ReplacementIndexValid(chart, page, index) || !PagesStorable(chart, page, index))
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
    if (!ReplacementIndexValid(chart, page, index) || !PagesStorable(chart, page, index))
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

template <typename Record>
void WriteMeasureHead(QDataStream &stream, const Record &r)
{
    stream << r.ChartName << r.CreateTime << qint32(r.RecordCount) << qint32(r.Diameter);
}

int MeasureBody(const QString *path, QIODevice *device, const char *recordName, ChartDesigMeasureData *record,
                const MeasurementDataSheets &measurement, const MeasurementData *page, int index, bool withTexts)
{
    if (!ReplacementIndexValid(measurement, page, index) || !MeasurementStorable(measurement, page, index))
        return kDocumentInvalid;
    AdjustRecordCount(record, measurement, page, index);
    const ChartDesigMeasureData &r = *record;
    return SaveBody(path, device, recordName, [&](QDataStream &stream) {
        WriteMeasureHead(stream, r);
        WriteMeasurement(stream, measurement, page, index);
        if (withTexts)
            stream << measurement.BarcodeText1 << measurement.BarcodeText2;
    });
}

int RecognitionBody(const QString *path, QIODevice *device, ChartRecogData *record,
                    const ChartDefinitionDataSheets &chart, const MeasurementDataSheets &measurement,
                    const MeasurementData *page, int index)
{
    if (!ReplacementIndexValid(measurement, page, index) || !PagesStorable(chart, nullptr, -1) ||
        !MeasurementStorable(measurement, page, index))
        return kDocumentInvalid;
    AdjustRecordCount(record, measurement, page, index);
    const ChartRecogData &r = *record;
    return SaveBody(path, device, kRecogRecord, [&](QDataStream &stream) {
        WriteMeasureHead(stream, r);
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
        *target = std::move(value);
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
        if (!ReadText(reader.stream, &name) || !ReadText(reader.stream, &createTime))
            return false;
        reader.stream >> recordCount >> diameter;
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

// What a reader keeps of the pages it reads.
enum class KeepPages {
    None,       // each page is checked in one scratch page and dropped: a read for the list entry only
    Pages,      // the pages without their images
    WithImages, // the pages with their images
};

// A pages block. pageTrailerBytes: what the file stores for every page after the block (a designation chart's
// barcode and resolution blocks), so that the page count is checked against all of it.
bool ReadSheetsBlock(QDataStream &stream, ChartDefinitionDataSheets *chart, qint64 pageTrailerBytes, KeepPages keep)
{
    qint32 count = 0;
    if (!Store::ReadCount(stream, &count, kStoredPageBytes + pageTrailerBytes))
        return false;
    const qint32 unit = ReadInt(stream);
    if (stream.status() != QDataStream::Ok || !IsStorableUnit(unit))
        return false;
    chart->UNIT = unit;
    if (keep == KeepPages::None) {
        ChartDefinitionData::Sheet scratch;
        for (int i = 0; i < count; ++i) {
            const bool read = ReadPage(stream, &scratch, false);
            ClearSheetData(&scratch);
            if (!read)
                return false;
        }
        chart->SheetCount = count;
        return true;
    }
    for (int i = 0; i < count; ++i) {
        MakeRoom(&chart->Sheets, &chart->SheetCount, i, count, NewChartSheets);
        if (!ReadPage(stream, &chart->Sheets[i], keep == KeepPages::WithImages))
            return false;
    }
    return true;
}

qint64 ChartPageTrailerBytes(int version)
{
    return (version >= 2 ? kStoredBarcodeBytes : 0) + (version >= 4 ? kStoredResolutionBytes : 0);
}

// A measurement block; without keep each page is checked in one scratch page and dropped.
bool ReadMeasurementBlock(QDataStream &stream, MeasurementDataSheets *measurement, int version, bool keep)
{
    qint32 count = 0;
    if (!Store::ReadCount(stream, &count, kStoredMeasuredPageBytes + (version >= 2 ? kIntBytes : 0)))
        return false;
    const qint32 mode = ReadInt(stream);
    QString text;
    if (!ReadText(stream, &text) || !IsStorableMeasurementMode(mode))
        return false;
    measurement->Mode = mode;
    measurement->SerialNumber = text.left(kMeasurementTextLength);
    if (!keep) {
        MeasurementData scratch;
        for (int i = 0; i < count; ++i) {
            const bool read = ReadMeasuredPage(stream, &scratch, version, false);
            ClearMeasurementPage(&scratch);
            if (!read)
                return false;
        }
        measurement->SheetCount = count;
        return true;
    }
    for (int i = 0; i < count; ++i) {
        MakeRoom(&measurement->Sheets, &measurement->SheetCount, i, count, NewMeasurementPages);
        if (!ReadMeasuredPage(stream, &measurement->Sheets[i], version, true))
            return false;
    }
    return true;
}

// A document file's bytes for a list entry, walked by its small count fields; the blocks between them are
// stepped over, never decoded. Small files are read whole; a large one (page images) is read through a window
// at the fields the walk visits, not mapped: a file cut by another program while mapped would kill the process.
// The checks are the full readers' checks of the file's structure, so a file that is cut short or whose counts
// do not fit its length is refused here as there.
class ListWalk
{
public:
    explicit ListWalk(const QString &path) : m_file(path)
    {
        m_opened = m_file.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
        if (!m_opened)
            return;
        m_size = m_file.size();
        if (m_size <= kReadWholeBytes)
            m_ok = Load(0, m_size);
        version = Byte();
        Byte();
    }
    ListWalk(const ListWalk &) = delete;
    ListWalk &operator=(const ListWalk &) = delete;

    bool Opened() const { return m_opened; }
    bool Ok() const { return m_ok; }
    bool AtEnd() const { return m_pos == m_size; }

    qint32 Int()
    {
        const uchar *bytes = Bytes(kIntBytes);
        if (!bytes)
            return 0;
        m_pos += kIntBytes;
        return qFromBigEndian<qint32>(bytes);
    }
    bool Skip(qint64 bytes)
    {
        if (!m_ok || bytes < 0 || bytes > m_size - m_pos)
            return Fail();
        m_pos += bytes;
        return true;
    }
    // True when count items of at least leastItemBytes each can still follow.
    bool Fits(qint64 count, qint64 leastItemBytes)
    {
        qint64 needed = 0;
        if (!m_ok || count < 0 || __builtin_mul_overflow(count, leastItemBytes, &needed) || needed > m_size - m_pos)
            return Fail();
        return true;
    }
    // A text as the stream stores it: a byte length (all ones for a null text), then UTF-16 code units.
    bool Text(QString *text)
    {
        const quint32 bytes = quint32(Int());
        if (!m_ok)
            return false;
        if (bytes == 0xffffffffu) {
            *text = QString();
            return true;
        }
        if ((bytes & 1) || qint64(bytes) > m_size - m_pos)
            return Fail();
        const uchar *data = Bytes(qint64(bytes));
        if (!data)
            return false;
        const int length = int(bytes / 2);
        QString read(length, Qt::Uninitialized);
        QChar *chars = read.data();
        for (int i = 0; i < length; ++i)
            chars[i] = QChar(qFromBigEndian<quint16>(data + 2 * i));
        m_pos += bytes;
        *text = length > 0 ? read : QString(QLatin1String(""));
        return true;
    }

    qint8 version = 0;

private:
    static constexpr qint64 kReadWholeBytes = 4 << 20;
    static constexpr qint64 kWindowBytes = 64 << 10;
    // Kept between files: most files of a store are read whole into it.
    static std::vector<char> &ReadBuffer()
    {
        static thread_local std::vector<char> buffer;
        return buffer;
    }
    bool Load(qint64 from, qint64 bytes)
    {
        std::vector<char> &buffer = ReadBuffer();
        if (buffer.size() < size_t(bytes))
            buffer.resize(size_t(bytes));
        m_windowStart = from;
        m_windowEnd = from;
        if (!m_file.seek(from) || m_file.read(buffer.data(), bytes) != bytes)
            return false;
        m_windowEnd = from + bytes;
        return true;
    }
    // The next n bytes of the file, or null (and the walk failed) when the file ends first or cannot be read.
    const uchar *Bytes(qint64 n)
    {
        if (!m_ok || n > m_size - m_pos)
            return Fail(), nullptr;
        if (m_pos < m_windowStart || m_pos + n > m_windowEnd) {
            if (!Load(m_pos, qMin(qMax(n, kWindowBytes), m_size - m_pos)))
                return Fail(), nullptr;
        }
        return reinterpret_cast<const uchar *>(ReadBuffer().data()) + (m_pos - m_windowStart);
    }
    qint8 Byte()
    {
        const uchar *byte = Bytes(1);
        if (!byte)
            return 0;
        ++m_pos;
        return qint8(*byte);
    }
    int Fail()
    {
        m_ok = false;
        return 0;
    }

    QFile m_file;
    qint64 m_size = 0;
    qint64 m_pos = 0;
    qint64 m_windowStart = 0;
    qint64 m_windowEnd = 0;
    bool m_opened = false;
    bool m_ok = true;
};

// A float list of first to last values: only its count is read.
bool WalkFloatList(ListWalk &walk, qint32 first, qint32 last)
{
    const qint32 count = walk.Int();
    return walk.Ok() && count >= first && count <= last && walk.Skip(count * kDoubleBytes);
}

bool WalkImage(ListWalk &walk)
{
    const qint32 width = walk.Int();
    const qint32 height = walk.Int();
    const qint32 bits = walk.Int();
    if (!walk.Ok() || !IsStorableImageSize(width, height, bits))
        return false;
    const qint64 size = ImageByteCount(width, height, bits);
    if (size <= 0)
        return true;
    const qint32 length = walk.Int();
    return walk.Ok() && length == size && size <= kMaxStorableImageBytes && walk.Skip(size);
}

bool WalkPage(ListWalk &walk)
{
    walk.Skip(2 * kIntBytes);
    const qint32 patchCount = walk.Int();
    const qint32 areaCount = walk.Int();
    if (!walk.Ok() || patchCount < 0 || !IsStorableAreaCount(areaCount) || !walk.Skip(areaCount * kStoredAreaBytes))
        return false;
    walk.Skip(kIntBytes);
    const qint32 clipCount = walk.Int();
    if (!walk.Ok() || !IsStorableClipAreaCount(clipCount) || !walk.Skip(clipCount * kStoredClipAreaBytes) ||
        !WalkImage(walk) || !walk.Fits(patchCount, kStoredPatchBytes))
        return false;
    for (qint32 i = 0; i < patchCount; ++i) {
        walk.Skip(5 * kIntBytes);
        if (!WalkFloatList(walk, 0, kMaxColorValueCount))
            return false;
    }
    return walk.Ok();
}

// A pages block: the page count and unit, then every page. pageTrailerBytes as for ReadSheetsBlock.
bool WalkSheets(ListWalk &walk, qint64 pageTrailerBytes, qint32 *count, qint32 *unit)
{
    *count = walk.Int();
    if (!walk.Fits(*count, kStoredPageBytes + pageTrailerBytes))
        return false;
    *unit = walk.Int();
    if (!walk.Ok() || !IsStorableUnit(*unit))
        return false;
    for (qint32 i = 0; i < *count; ++i)
        if (!WalkPage(walk))
            return false;
    return true;
}

bool WalkMeasuredPage(ListWalk &walk, int version)
{
    if (!WalkImage(walk))
        return false;
    walk.Skip(kIntBytes);
    const qint32 recordCount = walk.Int();
    if (!walk.Fits(recordCount, kStoredRecordBytes))
        return false;
    walk.Skip(kIntBytes);
    for (qint32 i = 0; i < recordCount; ++i) {
        walk.Skip(6 * kIntBytes);
        if (!WalkFloatList(walk, kInstrumentValueCount, kInstrumentValueCount))
            return false;
        walk.Skip(kIntBytes);
        if (!WalkFloatList(walk, 0, kMaxColorValueCount))
            return false;
    }
    if (version >= 2)
        walk.Skip(kIntBytes);
    return walk.Ok();
}

bool WalkMeasurement(ListWalk &walk, int version)
{
    const qint32 count = walk.Int();
    if (!walk.Fits(count, kStoredMeasuredPageBytes + (version >= 2 ? kIntBytes : 0)))
        return false;
    const qint32 mode = walk.Int();
    QString text;
    if (!walk.Text(&text) || !IsStorableMeasurementMode(mode))
        return false;
    for (qint32 i = 0; i < count; ++i)
        if (!WalkMeasuredPage(walk, version))
            return false;
    return true;
}

// The header of the measurement and recognition files, as a list entry takes it.
template <typename Record>
bool WalkMeasureHeader(ListWalk &walk, Record *read)
{
    if (!walk.Text(&read->ChartName) || !walk.Text(&read->CreateTime))
        return false;
    read->RecordCount = walk.Int();
    read->Diameter = walk.Int();
    return walk.Ok();
}

// The list-entry fields both chart records share; the ID is left alone.
template <typename Record>
void FillListedChart(Record *record, const Record &read, int kind, int sheetCount)
{
    record->Kind = kind;
    record->SheetCount = sheetCount;
    record->ChartPatchCount = read.ChartPatchCount;
    record->Diameter = read.Diameter;
    record->UUID = read.UUID;
    record->ChartName = read.ChartName;
    record->CreateTime = read.CreateTime;
}

// The list-entry fields of a measurement record; its ID and chart ID are left alone.
template <typename Record>
void FillListedMeasure(Record *record, const Record &read)
{
    record->RecordCount = read.RecordCount;
    record->Diameter = read.Diameter;
    record->ChartName = read.ChartName;
    record->CreateTime = read.CreateTime;
}

} // namespace

void WriteSheets(QDataStream &stream, const ChartDefinitionDataSheets &chart, const ChartDefinitionData::Sheet *page,
                 int index)
{
    const int stored = StoredPages(chart);
    const int count = PagesToWrite(stored, page, index);
    stream << qint32(count) << qint32(chart.UNIT);
    for (int i = 0; i < count; ++i)
        WritePage(stream, *PageAt(chart.Sheets.get(), stored, page, index, i));
}

bool ReadSheets(QDataStream &stream, ChartDefinitionDataSheets *chart)
{
    return ReadSheetsBlock(stream, chart, 0, KeepPages::WithImages);
}

void WriteSheetsBarcode(QDataStream &stream, const ChartDefinitionDataSheets &chart,
                        const ChartDefinitionData::Sheet *page, int index)
{
    const int stored = StoredPages(chart);
    const int count = PagesToWrite(stored, page, index);
    for (int i = 0; i < count; ++i) {
        const auto *sheet = PageAt(chart.Sheets.get(), stored, page, index, i);
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
        stream << qint32(PageAt(chart.Sheets.get(), stored, page, index, i)->ImageDPI);
}

void WriteMeasurementSheet(QDataStream &stream, const MeasurementData &page)
{
    WriteImage(stream, page.Width, page.Height, page.BitPerPixel, page.ImageBytes.get());
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
        WriteMeasurementSheet(stream, *PageAt(measurement.Sheets.get(), stored, page, index, i));
}

QByteArray MeasurementSheetBytes(const MeasurementData &page)
{
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    Store::PrepareStream(stream);
    WriteMeasurementSheet(stream, page);
    return bytes;
}

int SaveMeasurePageBytes(const QString &path, bool density, const ChartDesigMeasureData &record, qint32 mode,
                         const QString &serialNumber, const std::vector<QByteArray> &pages,
                         const QString &barcodeText1, const QString &barcodeText2)
{
    return SaveBody(&path, nullptr, density ? kDensityMeasRecord : kMeasRecord, [&](QDataStream &stream) {
        WriteMeasureHead(stream, record);
        stream << qint32(pages.size()) << mode << serialNumber;
        for (const QByteArray &bytes : pages)
            stream.writeRawData(bytes.constData(), bytes.size());
        if (density)
            stream << barcodeText1 << barcodeText2;
    });
}

bool ReadMeasurement(QDataStream &stream, MeasurementDataSheets *measurement, int version)
{
    return ReadMeasurementBlock(stream, measurement, version, true);
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
    if (!ReadText(stream, &name) || !ReadText(stream, &createTime))
        return kDocumentInvalid;
    stream >> patchCount >> diameter;
    if (!ReadText(stream, &uuid))
        return kDocumentInvalid;
    stream >> barcode;
    if (!reader.Ok() || !IsStorableBarcodeFlag(barcode))
        return kDocumentInvalid;
    OwnedChart read;
    ChartDefinitionDataSheets &c = read.value;
    if (!ReadSheetsBlock(stream, &c, ChartPageTrailerBytes(reader.version), chart ? KeepPages::Pages : KeepPages::None))
        return kDocumentInvalid;
    // Pages not held still have their entries in the barcode and resolution blocks.
    ChartDefinitionData::Sheet unheld;
    auto page = [&](int i) -> ChartDefinitionData::Sheet & { return c.Sheets ? c.Sheets[i] : unheld; };
    if (reader.version >= 2) {
        for (int i = 0; i < c.SheetCount; ++i) {
            auto &sheet = page(i);
            sheet.BarcodeLeftTopX = ReadInt(stream);
            sheet.BarcodeLeftTopY = ReadInt(stream);
            sheet.BarcodeWidth = ReadInt(stream);
            sheet.BarcodeHeight = ReadInt(stream);
        }
    }
    if (reader.version >= 4)
        for (int i = 0; i < c.SheetCount; ++i)
            page(i).ImageDPI = ReadInt(stream);
    const qint32 recog = reader.version >= 5 ? ReadInt(stream) : ChartDefinitionData::RecogCombine;
    if (!reader.Ok())
        return kDocumentInvalid;
    FinishReadChart(&c, ChartDefinitionData::KindNormal, name, createTime, patchCount, diameter);
    c.UUID = uuid;
    c.Barcode = barcode;
    c.Recog = recog;
    // Pages read only for the list entry were checked one by one and are not held.
    if (c.Sheets && !IsStorableChart(c))
        return kDocumentInvalid;
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
    stream >> templateNumber >> secondNumber;
    if (!ReadText(stream, &name) || !ReadText(stream, &createTime))
        return kDocumentInvalid;
    stream >> patchCount >> diameter;
    if (!ReadText(stream, &uuid))
        return kDocumentInvalid;
    OwnedChart read;
    ChartDefinitionDataSheets &c = read.value;
    if (!ReadSheetsBlock(stream, &c, 0, chart ? KeepPages::Pages : KeepPages::None))
        return kDocumentInvalid;
    const qint32 recog = reader.version >= 2 ? ReadInt(stream) : ChartDefinitionData::RecogCombine;
    if (!reader.Ok())
        return kDocumentInvalid;
    FinishReadChart(&c, ChartDefinitionData::KindDensity, name, createTime, patchCount, diameter);
    c.UUID = uuid;
    c.Recog = recog;
    // Pages read only for the list entry were checked one by one and are not held.
    if (c.Sheets && !IsStorableChart(c))
        return kDocumentInvalid;
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
    if (!ReadMeasurementBlock(stream, &m, reader.version, measurement != nullptr))
        return kDocumentInvalid;
    if (density) {
        if (reader.version >= 3 && (!ReadText(stream, &m.BarcodeText1) || !ReadText(stream, &m.BarcodeText2)))
            return kDocumentInvalid;
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
    if (!ReadSheetsBlock(stream, &c, 0, chart ? KeepPages::Pages : KeepPages::None) ||
        !ReadMeasurementBlock(stream, &m, reader.version, measurement != nullptr) || !reader.Ok())
        return kDocumentInvalid;
    FinishReadChart(&c, ChartDefinitionData::KindNormal, header.name, header.createTime,
                    c.SheetCount > 0 && c.Sheets ? c.Sheets[0].PatchCount : 0, header.diameter);
    // Pages read only for the list entry were checked one by one and are not held.
    if (c.Sheets && !IsStorableChart(c))
        return kDocumentInvalid;
    header.Fill(&m, record);
    readChart.HandTo(chart);
    readMeasurement.HandTo(measurement);
    return kDocumentOk;
}

int ListChartFile(ChartDesigData *record, const QString &path, int *unit)
{
    ListWalk walk(path);
    if (!walk.Opened())
        return kDocumentFileError;
    ChartDesigData read;
    if (!walk.Text(&read.ChartName) || !walk.Text(&read.CreateTime))
        return kDocumentInvalid;
    read.ChartPatchCount = walk.Int();
    read.Diameter = walk.Int();
    if (!walk.Text(&read.UUID))
        return kDocumentInvalid;
    const qint32 barcode = walk.Int();
    qint32 count = 0, pageUnit = 0;
    if (!walk.Ok() || !IsStorableBarcodeFlag(barcode) ||
        !WalkSheets(walk, ChartPageTrailerBytes(walk.version), &count, &pageUnit))
        return kDocumentInvalid;
    if (walk.version >= 2)
        walk.Skip(count * kStoredBarcodeBytes);
    if (walk.version >= 4)
        walk.Skip(count * kStoredResolutionBytes);
    read.Recog = walk.version >= 5 ? walk.Int() : ChartDefinitionData::RecogCombine;
    if (!walk.Ok())
        return kDocumentInvalid;
    FillListedChart(record, read, ChartDefinitionData::KindNormal, count);
    record->Recog = read.Recog;
    if (unit)
        *unit = pageUnit;
    return kDocumentOk;
}

int ListDensityChartFile(DensityBalanceData *record, const QString &path)
{
    ListWalk walk(path);
    if (!walk.Opened())
        return kDocumentFileError;
    DensityBalanceData read;
    read.Template = walk.Int();
    read.SecondNumber = walk.Int();
    if (!walk.Text(&read.ChartName) || !walk.Text(&read.CreateTime))
        return kDocumentInvalid;
    read.ChartPatchCount = walk.Int();
    read.Diameter = walk.Int();
    if (!walk.Text(&read.UUID))
        return kDocumentInvalid;
    qint32 count = 0, unit = 0;
    if (!WalkSheets(walk, 0, &count, &unit))
        return kDocumentInvalid;
    if (walk.version >= 2)
        walk.Int();
    if (!walk.Ok())
        return kDocumentInvalid;
    FillListedChart(record, read, ChartDefinitionData::KindDensity, count);
    record->Template = read.Template;
    record->SecondNumber = read.SecondNumber;
    return kDocumentOk;
}

namespace {

int ListMeasureKind(ChartDesigMeasureData *record, const QString &path, bool density)
{
    ListWalk walk(path);
    if (!walk.Opened())
        return kDocumentFileError;
    ChartDesigMeasureData read;
    if (!WalkMeasureHeader(walk, &read) || !WalkMeasurement(walk, walk.version))
        return kDocumentInvalid;
    if (density) {
        QString text;
        if (walk.version >= 3 && (!walk.Text(&text) || !walk.Text(&text)))
            return kDocumentInvalid;
    } else if (!walk.Ok() || !walk.AtEnd()) {
        return kDocumentInvalid;
    }
    FillListedMeasure(record, read);
    return kDocumentOk;
}

} // namespace

int ListMeasureFile(ChartDesigMeasureData *record, const QString &path)
{
    return ListMeasureKind(record, path, false);
}

int ListDensityMeasureFile(ChartDesigMeasureData *record, const QString &path)
{
    return ListMeasureKind(record, path, true);
}

int ListRecognitionFile(ChartRecogData *record, const QString &path)
{
    ListWalk walk(path);
    if (!walk.Opened())
        return kDocumentFileError;
    ChartRecogData read;
    qint32 count = 0, unit = 0;
    if (!WalkMeasureHeader(walk, &read) || !WalkSheets(walk, 0, &count, &unit) ||
        !WalkMeasurement(walk, walk.version) || !walk.Ok())
        return kDocumentInvalid;
    FillListedMeasure(record, read);
    return kDocumentOk;
}
