#include "app/illuminantdata.h"

#include "app/storeio.h"

#include <QDataStream>
#include <QDate>
#include <QTime>

#include <algorithm>
#include <memory>

namespace {

const char kRecordName[] = "UserLight";
const char kGeneratedName[] = "UserIlluminant";
constexpr int kUniqueSuffixLimit = 4;
// A record as the writer stores it: two texts, four ints and a list of at least one value.
constexpr qint64 kLeastRecordBytes = 4 + 4 + 4 * 4 + 4 + 8;

// Values a record describes; all of them when its range cannot be divided into steps.
int ValueCount(const EnvironLightData &record)
{
    if (record.Step <= 0 || record.End < record.Start)
        return kEnvironLightValueCount;
    const qint64 n = (qint64(record.End) - record.Start) / record.Step + 1;
    return int(std::clamp<qint64>(n, 0, kEnvironLightValueCount));
}

} // namespace

QString LightDateForDisplay(const QString &date)
{
    const QDate day = QDate::fromString(date.left(8), QStringLiteral("yyyyMMdd"));
    const QTime time = QTime::fromString(date.mid(8), QStringLiteral("hhmmss"));
    if (!day.isValid() || !time.isValid())
        return QString();
    return day.toString(QStringLiteral("yyyy/MM/dd")) + QLatin1Char(' ') + time.toString(QStringLiteral("hh:mm:ss"));
}

QString LightDateForStore(const QString &date)
{
    if (date.size() != 19 || date.at(10) != QLatin1Char(' '))
        return date;
    const QDate day = QDate::fromString(date.left(10), QStringLiteral("yyyy/MM/dd"));
    const QTime time = QTime::fromString(date.mid(11), QStringLiteral("hh:mm:ss"));
    if (!day.isValid() || !time.isValid())
        return date;
    return day.toString(QStringLiteral("yyyyMMdd")) + time.toString(QStringLiteral("hhmmss"));
}

CIlluminantData::CIlluminantData(const QString &dataFolder, QObject *parent)
    : QObject(parent), m_dataFolder(dataFolder)
{
}

CIlluminantData::~CIlluminantData() = default;

QString CIlluminantData::FilePath() const
{
    return m_dataFolder + QLatin1Char('/') + WithBinExtension(QLatin1String(kRecordName));
}

int CIlluminantData::Initialize()
{
    LoadUserIlluminant();
    RebuildSlots();
    return 0;
}

bool CIlluminantData::LoadUserIlluminant()
{
    const bool loaded = ReadFile();
    m_damagedFile.AfterLoad(FilePath(), loaded);
    return loaded;
}

bool CIlluminantData::ReadFile()
{
    Store::FileReader reader(FilePath());
    if (!reader.Opened())
        return false;
    QDataStream &stream = reader.stream;
    qint32 count = 0;
    std::unique_ptr<EnvironLightData[]> records;
    const auto readRecord = [](QDataStream &s, EnvironLightData &record) {
        qint32 source = 0, start = 0, step = 0, end = 0;
        s >> record.Name >> record.Date >> source >> start >> step >> end;
        record.Source = source;
        record.Start = start;
        record.Step = step;
        record.End = end;
        return Store::ReadFloatList(s, record.Values, kEnvironLightValueCount) >= 0;
    };
    if (!Store::ReadCount(stream, &count, kLeastRecordBytes) ||
        !Store::ReadRecords(stream, count, &records, readRecord))
        return false;
    m_records = std::move(records);
    m_count = count;
    return true;
}

int CIlluminantData::SaveUserIlluminant()
{
    if (!m_damagedFile.BeforeSave(FilePath()))
        return kIlluminantFileError;
    const bool ok = Store::SaveFile(FilePath(), QLatin1String(kRecordName), [this](QDataStream &stream) {
        stream << qint32(m_count);
        for (int i = 0; i < m_count; ++i) {
            const EnvironLightData &record = m_records[i];
            stream << record.Name << record.Date << qint32(record.Source) << qint32(record.Start)
                   << qint32(record.Step) << qint32(record.End);
            Store::WriteFloatList(stream, record.Values, ValueCount(record));
        }
    });
    return ok ? 0 : kIlluminantFileError;
}

int CIlluminantData::SetEnvironLightData(int count, std::unique_ptr<EnvironLightData[]> records)
{
    m_count = records ? std::max(count, 0) : 0;
    m_records = std::move(records);
    return SaveUserIlluminant();
}

void CIlluminantData::RebuildSlots()
{
    m_slots = UserIlluminantSlots();
    const int filled = std::min(m_count, kUserIlluminantSlotCount);
    for (int i = 0; i < filled; ++i) {
        m_slots[size_t(i)].Number = i;
        m_slots[size_t(i)].Name = m_records[i].Name;
        m_slots[size_t(i)].Source = m_records[i].Source;
        m_slots[size_t(i)].DisplayDate = LightDateForDisplay(m_records[i].Date);
    }
}

EnvironLightData *CIlluminantData::GetRecord(int i) const
{
    return i >= 0 && i < m_count ? &m_records[i] : nullptr;
}

int CIlluminantData::GetNewIlluminantNumber() const
{
    for (int n = 1; n <= kUserIlluminantSlotCount; ++n) {
        const QString name = QLatin1String(kGeneratedName) + QString::number(n);
        const bool taken = std::any_of(m_slots.begin(), m_slots.end(),
                                       [&](const UserIlluminantSlot &slot) { return slot.Name == name; });
        if (!taken)
            return n - 1;
    }
    return -1;
}

void CIlluminantData::SetIlluminantName(EnvironLightData *record, QString *out, const QString &name,
                                        int number) const
{
    record->Name = name.isEmpty() ? QLatin1String(kGeneratedName) + QString::number(number + 1) : name;
    if (out)
        *out = record->Name;
}

bool CIlluminantData::NameTaken(const QString &name, int exceptNumber) const
{
    return std::any_of(m_slots.begin(), m_slots.end(), [&](const UserIlluminantSlot &slot) {
        return slot.Number != -1 && slot.Number != exceptNumber && slot.Name.compare(name, Qt::CaseInsensitive) == 0;
    });
}

bool CIlluminantData::NameExists(const QString &name, int number) const
{
    return NameTaken(name, number);
}

QString CIlluminantData::MakeUniqueName(const QString &name, int number) const
{
    if (!NameExists(name, number))
        return name;
    for (int k = 1; k <= kUniqueSuffixLimit; ++k) {
        const QString candidate = name + QLatin1Char('-') + QString::number(k);
        if (!NameTaken(candidate, number))
            return candidate;
    }
    return name;
}

int CIlluminantData::RenameSlot(const QString &name, int number)
{
    const QString unique = MakeUniqueName(name, number);
    for (UserIlluminantSlot &slot : m_slots) {
        if (slot.Number == -1)
            break;
        if (slot.Number == number) {
            slot.Name = unique;
            return 0;
        }
    }
    return kIlluminantSlotUnused;
}
