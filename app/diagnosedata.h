#pragma once
// The instrument diagnosis data: reference tile standard values with their information record, the tolerance
// rows and the history of inspections, all kept in Diagnose.bin and rewritten after every change.

#include "app/constants.h"
#include "app/records.h"
#include "app/storeconventions.h"
#include "app/storeio.h"

#include <QObject>
#include <QString>

#include <memory>
#include <type_traits>

constexpr int kReflectanceCount = 36; // 380 to 730 nm in 10 nm steps
constexpr int kColourDifferenceKindCount = 5; // dL*, da*, db*, dE*ab, dE00

// Standard values of one reference tile.
struct StandardValueRecord {
    float Reflectance[kReflectanceCount];
    float Lab[3];
};

// The information stored beside the standard values.
struct TileSetInfo {
    int ModelIndex = 0;
    QString SerialNumber;
    QString CreateTime;
};

// The result for one tile of an inspection: 99 words.
struct TileResultRecord {
    qint32 TileId;
    float MeasuredLab[3];
    float StandardLab[3];
    float Differences[kColourDifferenceKindCount];
    float Tolerances[kColourDifferenceKindCount];
    qint32 Judgements[kColourDifferenceKindCount]; // 1 pass, 0 fail
    qint32 CheckStates[kColourDifferenceKindCount];
    float MeasuredReflectance[kReflectanceCount];
    float StandardReflectance[kReflectanceCount];
};

// One inspection.
struct DiagnoseHistoryRecord {
    int ModelIndex = 0;
    QString SerialNumber;
    QString DateTime; // "yyyy/MM/dd hh:mm:ss"
    int Judgement = 0; // 1 OK, 0 NG
    int Flag = 1;
    quint32 TileCount = 0; // at most kTileCount
    TileResultRecord Tiles[kTileCount] = {};
};

static_assert(sizeof(TileResultRecord) == 396 && sizeof(TileResultRecord) == 99 * 4, "tile result layout");
static_assert(std::is_trivially_copyable<TileResultRecord>::value, "tile result is a plain block");
static_assert(sizeof(StandardValueRecord) == 156, "standard value layout");

constexpr int kDiagnoseFileError = 60001; // the store file cannot be written

class CDiagnoseData : public QObject
{
    Q_OBJECT
public:
    explicit CDiagnoseData(const QString &dataFolder = AppDataDir(), QObject *parent = nullptr);
    ~CDiagnoseData() override;

    // Loads the file; a missing or damaged one leaves the store empty. Always 0.
    int Initialize();
    int Terminate() { return 0; }

    // False when the file is missing or damaged (the store is then empty; a damaged file is kept aside before
    // the next save replaces it).
    bool LoadDiagnose();
    // 0, or kDiagnoseFileError when the file cannot be written (the old one is kept).
    int SaveDiagnose();

    // The arrays stay the store's: the next change or load may free them.
    void GetDiagnoseHistory(unsigned int *count, const DiagnoseHistoryRecord **records) const;
    void GetStandardValues(unsigned int *count, const StandardValueRecord **records) const;
    void GetToleranceValues(unsigned int *count, const ToleranceRecord **records) const;
    const TileSetInfo &GetTileSetRecord() const { return m_info; }

    // Takes over an array of count records and frees the previous one; then saves.
    int SetDiagnoseHistory(unsigned int count, std::unique_ptr<DiagnoseHistoryRecord[]> records);
    // Copy count records (the array grows when too small and is kept for a count of 0); then save.
    int SetStandardValues(unsigned int count, const StandardValueRecord *records);
    int SetToleranceValues(unsigned int count, const ToleranceRecord *records);
    int SetStandardValueInfo(int modelIndex, const QString &serialNumber, const QString &createTime);

    QString FilePath() const;

private:
    void Clear();
    bool ReadFile();

    QString m_dataFolder;
    unsigned int m_historyCount = 0;
    std::unique_ptr<DiagnoseHistoryRecord[]> m_history;
    unsigned int m_standardCount = 0;
    unsigned int m_standardCapacity = 0;
    std::unique_ptr<StandardValueRecord[]> m_standards;
    TileSetInfo m_info;
    unsigned int m_toleranceCount = 0;
    unsigned int m_toleranceCapacity = 0;
    std::unique_ptr<ToleranceRecord[]> m_tolerances;
    Store::DamagedFileGuard m_damagedFile;
};
