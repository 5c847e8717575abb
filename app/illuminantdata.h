#pragma once
// The user illuminants: up to five light-source spectra the user measured or imported, kept in UserLight.bin,
// and the five slots through which the rest of the program names them.

#include "app/records.h"
#include "app/storeconventions.h"
#include "app/storeio.h"

#include <QObject>
#include <QString>

#include <memory>

constexpr int kEnvironLightValueCount = 97; // 300 to 780 nm in 5 nm steps

// One light-source spectrum.
struct EnvironLightData {
    QString Name;
    QString Date; // "yyyyMMddhhmmss"
    int Source = 0; // instrument kind that measured it, 0 = none
    int Start = 300;
    int Step = 5;
    int End = 780;
    float Values[kEnvironLightValueCount] = {};
};
static_assert(sizeof(EnvironLightData::Values) / sizeof(float) == kEnvironLightValueCount, "97 values");

// A light-source date "yyyyMMddhhmmss" as "yyyy/MM/dd hh:mm:ss"; empty when the text is no such date.
QString LightDateForDisplay(const QString &date);
// A date as the store keeps it, "yyyyMMddhhmmss": files from other installations carry "yyyy/MM/dd hh:mm:ss";
// any other text is kept as it is.
QString LightDateForStore(const QString &date);

constexpr int kIlluminantFileError = 90001;  // the file cannot be written
constexpr int kIlluminantSlotUnused = 90002; // rename of a slot that is not in use

class CIlluminantData : public QObject
{
    Q_OBJECT
public:
    explicit CIlluminantData(const QString &dataFolder = AppDataDir(), QObject *parent = nullptr);
    ~CIlluminantData() override;

    // Loads the file (a missing or damaged one changes nothing) and rebuilds the slots; always 0.
    int Initialize();
    int Terminate() { return 0; }

    // False when the file is missing or damaged; the store is then unchanged (and a damaged file is kept aside
    // before the next save replaces it).
    bool LoadUserIlluminant();
    int SaveUserIlluminant();
    // Takes over an array of count records, frees the previous one and saves.
    int SetEnvironLightData(int count, std::unique_ptr<EnvironLightData[]> records);

    void RebuildSlots();
    const UserIlluminantSlots &GetSlots() const { return m_slots; }
    int GetRecordCount() const { return m_count; }
    // Null when i is out of range. The record stays the store's: the next hand-over or load frees it.
    EnvironLightData *GetRecord(int i) const;

    // Index n - 1 of the first generated name "UserIlluminant" + n (n = 1..5) no slot holds; -1 when all are.
    int GetNewIlluminantNumber() const;
    void SetIlluminantName(EnvironLightData *record, QString *out, const QString &name, int number) const;
    // True when a filled slot with another number holds the name, in any letter case.
    bool NameExists(const QString &name, int number) const;
    QString MakeUniqueName(const QString &name, int number) const;
    // Gives slot `number` the name made unique; kIlluminantSlotUnused when the slot is not filled.
    int RenameSlot(const QString &name, int number);

    QString FilePath() const;

private:
    bool NameTaken(const QString &name, int exceptNumber) const;
    bool ReadFile();

    QString m_dataFolder;
    int m_count = 0;
    std::unique_ptr<EnvironLightData[]> m_records;
    UserIlluminantSlots m_slots;
    Store::DamagedFileGuard m_damagedFile;
};
