#include "app/diagnosedata.h"

#include "app/storeio.h"

#include <QDataStream>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

const char kRecordName[] = "Diagnose";

// The least bytes of one item as the writer stores it, to refuse counts the file cannot hold.
constexpr qint64 kListBytes = 4;                 // a list's count, before its doubles
constexpr qint64 kDoubleBytes = 8;
constexpr qint64 kLeastHistoryBytes = 6 * 4;     // four ints, two texts, no entries
constexpr qint64 kEntryBytes = 4 + 8 * kListBytes + (3 + 3 + 4 * kColourDifferenceKindCount + 2 * kReflectanceCount) *
                                                         kDoubleBytes; // tile id and its eight full lists
constexpr qint64 kStandardBytes = 2 * kListBytes + (kReflectanceCount + 3) * kDoubleBytes;
constexpr qint64 kLeastToleranceBytes = 3 * 4;   // three ints, no pairs
constexpr qint64 kPairBytes = 4 + kDoubleBytes;  // int and double

// Judgements and check states are ints held in float lists on the stream.
void WriteIntList(QDataStream &stream, const qint32 *values, int count)
{
    float asFloats[kColourDifferenceKindCount] = {};
    for (int i = 0; i < count; ++i)
        asFloats[i] = float(values[i]);
    Store::WriteFloatList(stream, asFloats, count);
}

qint32 RoundToInt(float value)
{
    const double d = value;
    if (!std::isfinite(d) || d < -2147483648.0 || d >= 2147483647.5)
        return 0;
    return qint32(std::lround(d));
}

bool ReadIntList(QDataStream &stream, qint32 *values, int count)
{
    float asFloats[kColourDifferenceKindCount] = {};
    if (Store::ReadFloatList(stream, asFloats, count) < 0)
        return false;
    for (int i = 0; i < count; ++i)
        values[i] = RoundToInt(asFloats[i]);
    return true;
}

void WriteEntry(QDataStream &stream, const TileResultRecord &entry)
{
    stream << qint32(entry.TileId);
    Store::WriteFloatList(stream, entry.MeasuredLab, 3);
    Store::WriteFloatList(stream, entry.StandardLab, 3);
    Store::WriteFloatList(stream, entry.Differences, kColourDifferenceKindCount);
    Store::WriteFloatList(stream, entry.Tolerances, kColourDifferenceKindCount);
    WriteIntList(stream, entry.Judgements, kColourDifferenceKindCount);
    WriteIntList(stream, entry.CheckStates, kColourDifferenceKindCount);
    Store::WriteFloatList(stream, entry.MeasuredReflectance, kReflectanceCount);
    Store::WriteFloatList(stream, entry.StandardReflectance, kReflectanceCount);
}

bool ReadEntry(QDataStream &stream, TileResultRecord *entry)
{
    qint32 tileId = 0;
    stream >> tileId;
    entry->TileId = tileId;
    return Store::ReadFloatList(stream, entry->MeasuredLab, 3) >= 0 &&
           Store::ReadFloatList(stream, entry->StandardLab, 3) >= 0 &&
           Store::ReadFloatList(stream, entry->Differences, kColourDifferenceKindCount) >= 0 &&
           Store::ReadFloatList(stream, entry->Tolerances, kColourDifferenceKindCount) >= 0 &&
           ReadIntList(stream, entry->Judgements, kColourDifferenceKindCount) &&
           ReadIntList(stream, entry->CheckStates, kColourDifferenceKindCount) &&
           Store::ReadFloatList(stream, entry->MeasuredReflectance, kReflectanceCount) >= 0 &&
           Store::ReadFloatList(stream, entry->StandardReflectance, kReflectanceCount) >= 0;
}

bool ReadHistoryRecord(QDataStream &stream, DiagnoseHistoryRecord *record)
{
    qint32 modelIndex = 0, judgement = 0, flag = 0;
    stream >> modelIndex >> record->SerialNumber >> record->DateTime >> judgement >> flag;
    record->ModelIndex = modelIndex;
    record->Judgement = judgement;
    record->Flag = flag;
    qint32 entryCount = 0;
    if (!Store::ReadCount(stream, &entryCount, kEntryBytes))
        return false;
    // Entries past the fixed fourteen are read and dropped so the stream stays aligned.
    record->TileCount = quint32(std::min(entryCount, kTileCount));
    for (int i = 0; i < entryCount; ++i) {
        TileResultRecord dropped = {};
        if (!ReadEntry(stream, i < kTileCount ? &record->Tiles[i] : &dropped))
            return false;
    }
    return stream.status() == QDataStream::Ok;
}

bool ReadTolerance(QDataStream &stream, ToleranceRecord *record)
{
    qint32 kind = 0, rowIndex = 0, pairCount = 0;
    stream >> kind >> rowIndex;
    record->Kind = kind;
    record->RowIndex = rowIndex;
    if (!Store::ReadCount(stream, &pairCount, kPairBytes))
        return false;
    record->PairCount = quint32(std::min(pairCount, kTolerancePairCount));
    for (int i = 0; i < pairCount; ++i) {
        qint32 tileId = 0;
        double tolerance = 0.0;
        stream >> tileId >> tolerance;
        if (i < kTolerancePairCount) {
            record->Pairs[i].TileId = tileId;
            record->Pairs[i].Tolerance = float(tolerance);
        }
    }
    return stream.status() == QDataStream::Ok;
}

} // namespace

CDiagnoseData::CDiagnoseData(const QString &dataFolder, QObject *parent) : QObject(parent), m_dataFolder(dataFolder)
{
}

CDiagnoseData::~CDiagnoseData() = default;

QString CDiagnoseData::FilePath() const
{
    return m_dataFolder + QLatin1Char('/') + WithBinExtension(QLatin1String(kRecordName));
}

int CDiagnoseData::Initialize()
{
    LoadDiagnose();
    return 0;
}

void CDiagnoseData::Clear()
{
    m_history.reset();
    m_historyCount = 0;
    m_standardCount = 0;
    m_toleranceCount = 0;
    m_info = TileSetInfo();
}

bool CDiagnoseData::LoadDiagnose()
{
    const bool loaded = ReadFile();
    m_damagedFile.AfterLoad(FilePath(), loaded);
    return loaded;
}

bool CDiagnoseData::ReadFile()
{
    Clear();
    Store::FileReader reader(FilePath());
    if (!reader.Opened())
        return false;
    QDataStream &stream = reader.stream;

    // Every array grows with the records read: a history record takes 5.5 KB in memory for 24 bytes on file.
    qint32 historyCount = 0;
    std::unique_ptr<DiagnoseHistoryRecord[]> history;
    if (!Store::ReadCount(stream, &historyCount, kLeastHistoryBytes) ||
        !Store::ReadRecords(stream, historyCount, &history,
                            [](QDataStream &s, DiagnoseHistoryRecord &r) { return ReadHistoryRecord(s, &r); }))
        return false;

    qint32 standardCount = 0;
    std::unique_ptr<StandardValueRecord[]> standards;
    if (!Store::ReadCount(stream, &standardCount, kStandardBytes) ||
        !Store::ReadRecords(stream, standardCount, &standards, [](QDataStream &s, StandardValueRecord &r) {
            return Store::ReadFloatList(s, r.Reflectance, kReflectanceCount) >= 0 &&
                   Store::ReadFloatList(s, r.Lab, 3) >= 0;
        }))
        return false;

    TileSetInfo info;
    qint32 modelIndex = 0;
    stream >> modelIndex >> info.SerialNumber >> info.CreateTime;
    info.ModelIndex = modelIndex;

    qint32 toleranceCount = 0;
    std::unique_ptr<ToleranceRecord[]> tolerances;
    if (!Store::ReadCount(stream, &toleranceCount, kLeastToleranceBytes) ||
        !Store::ReadRecords(stream, toleranceCount, &tolerances,
                            [](QDataStream &s, ToleranceRecord &r) { return ReadTolerance(s, &r); }))
        return false;
    if (stream.status() != QDataStream::Ok)
        return false;

    m_history = std::move(history);
    m_historyCount = quint32(historyCount);
    if (standardCount > 0) {
        m_standards = std::move(standards);
        m_standardCapacity = m_standardCount = quint32(standardCount);
    }
    m_info = info;
    if (toleranceCount > 0) {
        m_tolerances = std::move(tolerances);
        m_toleranceCapacity = m_toleranceCount = quint32(toleranceCount);
    }
    return true;
}

int CDiagnoseData::SaveDiagnose()
{
    if (!m_damagedFile.BeforeSave(FilePath()))
        return kDiagnoseFileError;
    const bool ok = Store::SaveFile(FilePath(), QLatin1String(kRecordName), [this](QDataStream &stream) {
        stream << qint32(m_historyCount);
        for (unsigned int i = 0; i < m_historyCount; ++i) {
            const DiagnoseHistoryRecord &record = m_history[i];
            const int entries = int(std::min<quint32>(record.TileCount, kTileCount));
            stream << qint32(record.ModelIndex) << record.SerialNumber << record.DateTime << qint32(record.Judgement)
                   << qint32(record.Flag) << qint32(entries);
            for (int k = 0; k < entries; ++k)
                WriteEntry(stream, record.Tiles[k]);
        }
        stream << qint32(m_standardCount);
        for (unsigned int i = 0; i < m_standardCount; ++i) {
            Store::WriteFloatList(stream, m_standards[i].Reflectance, kReflectanceCount);
            Store::WriteFloatList(stream, m_standards[i].Lab, 3);
        }
        stream << qint32(m_info.ModelIndex) << m_info.SerialNumber << m_info.CreateTime;
        stream << qint32(m_toleranceCount);
        for (unsigned int i = 0; i < m_toleranceCount; ++i) {
            const ToleranceRecord &record = m_tolerances[i];
            const int pairs = int(std::min<quint32>(record.PairCount, kTolerancePairCount));
            stream << qint32(record.Kind) << qint32(record.RowIndex) << qint32(pairs);
            for (int k = 0; k < pairs; ++k)
                stream << qint32(record.Pairs[k].TileId) << double(record.Pairs[k].Tolerance);
        }
    });
    return ok ? 0 : kDiagnoseFileError;
}

void CDiagnoseData::GetDiagnoseHistory(unsigned int *count, const DiagnoseHistoryRecord **records) const
{
    *count = m_historyCount;
    *records = m_history.get();
}

void CDiagnoseData::GetStandardValues(unsigned int *count, const StandardValueRecord **records) const
{
    *count = m_standardCount;
    *records = m_standards.get();
}

void CDiagnoseData::GetToleranceValues(unsigned int *count, const ToleranceRecord **records) const
{
    *count = m_toleranceCount;
    *records = m_tolerances.get();
}

int CDiagnoseData::SetDiagnoseHistory(unsigned int count, std::unique_ptr<DiagnoseHistoryRecord[]> records)
{
    m_historyCount = records ? count : 0;
    m_history = std::move(records);
    return SaveDiagnose();
}

namespace {

template <typename T>
void CopyIntoStore(unsigned int count, const T *source, std::unique_ptr<T[]> *array, unsigned int *capacity,
                   unsigned int *stored)
{
    if (count == 0 || !source) {
        *stored = 0;
        return;
    }
    if (count > *capacity) {
        auto grown = std::make_unique<T[]>(count);
        std::copy(source, source + count, grown.get());
        *array = std::move(grown);
        *capacity = count;
    } else if (source != array->get()) { // the store's own records handed back need no copy
        std::copy(source, source + count, array->get());
    }
    *stored = count;
}

} // namespace

int CDiagnoseData::SetStandardValues(unsigned int count, const StandardValueRecord *records)
{
    CopyIntoStore(count, records, &m_standards, &m_standardCapacity, &m_standardCount);
    return SaveDiagnose();
}

int CDiagnoseData::SetToleranceValues(unsigned int count, const ToleranceRecord *records)
{
    CopyIntoStore(count, records, &m_tolerances, &m_toleranceCapacity, &m_toleranceCount);
    return SaveDiagnose();
}

int CDiagnoseData::SetStandardValueInfo(int modelIndex, const QString &serialNumber, const QString &createTime)
{
    m_info.ModelIndex = modelIndex;
    m_info.SerialNumber = serialNumber;
    m_info.CreateTime = createTime;
    return SaveDiagnose();
}
