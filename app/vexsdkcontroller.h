#pragma once
// Reads the light-source spectra stored in a Lumet through libvexapi, so that one of them can become a user
// illuminant. Calls the library only; it never reaches the model.

#include <QString>

#include <memory>

struct EnvironLightData;

class CVexSDKController
{
public:
    enum Result {
        kAlreadyOpen = 40001,
        kNoInstrument = 40002,
        kDeviceIdFailed = 40003,
        kCloseFailed = 40004,
        kNothingStored = 40005,
        kStoredReadFailed = 40007,
        kIndexOutOfRange = 40009,
        kNoRecords = 40010,
        kRemoteModeFailed = 40011,
    };

    // Source field of a downloaded record: the illuminance spectrophotometer.
    static constexpr int kLumetSource = 3;
    // Device-type field of the device-ID record for a Lumet, and the instrument kind it maps to.
    static constexpr int kLumetDeviceType = 100;
    static constexpr int kLumetKind = 3;

    CVexSDKController();
    virtual ~CVexSDKController();

    CVexSDKController(const CVexSDKController &) = delete;
    CVexSDKController &operator=(const CVexSDKController &) = delete;

    // Opens the first Lumet, switches remote mode on and reads its identity. A failure after the open closes
    // the instrument again, so no half-open handle is kept.
    int OpenDevice(int *kind, int *serial);
    // Remote mode off, then close; 0 without a handle.
    int CloseDevice();
    bool IsOpen() const;
    // The serial number as decimal text; empty without a handle or when it cannot be read.
    QString GetSerialNumber();
    // Downloads every stored measurement; on success the array and its count are handed out to read. The array
    // stays the controller's until the next download or its destruction.
    int ReadStoredData(const EnvironLightData **records, int *count);
    int GetStoredRecord(EnvironLightData *record, int index) const;

private:
    void FreeRecords();

    void *m_handle = nullptr;
    int m_count = 0;
    std::unique_ptr<EnvironLightData[]> m_records;
};
