// Measurement and calibration operations, the raw buffer they fill and the manual-measurement table.
#pragma once

#include <cstdint>

namespace vexapi {

class cTarselDevice;

constexpr int kRawStride = 132;  // 128 pixels, then the temperature and three extra values
constexpr int kRawPixels = 128;
constexpr int kRawMaxSpectra = 4;
constexpr float kPixelLimit = 20000.0f;

class cRawData {
public:
    cRawData() { Reset(); }
    void Reset();
    bool AddRaw(const float* values);
    bool GetRaw(int index, float* out) const;
    int Count() const { return count_; }
    void SetValue(int value) { value_ = value; }
    int GetValue() const { return value_; }
    void SetProcessed(const float* spectrum);
    bool GetProcessed(float* out) const;

private:
    float raw_[kRawMaxSpectra][kRawStride];
    int count_;
    int value_;
    float processed_[421];
    bool valid_;
};

// One spectral data set as it arrives over the data interface.
struct SpectralDataSet {
    std::int32_t header;
    float values[kRawStride];
};

class Operation {
public:
    virtual ~Operation() = default;
    virtual int Execute(cTarselDevice& device) = 0;
    void SetRunning() { running_ = true; }
    void ClearRunning() { running_ = false; }
    bool IsRunning() const { return running_; }
    int ReadyValue() const { return readyValue_; }

protected:
    bool running_ = false;
    std::int32_t readyValue_ = 0;
};

class OperationIrrad : public Operation {
public:
    int Execute(cTarselDevice& device) override;   // 101, 102, 116
    int ManualStart(cTarselDevice& device);        // 101
    int PlainStart(cTarselDevice& device);         // 107
    int ReadyWait(cTarselDevice& device);          // 108, 109
    int Stop(cTarselDevice& device);               // 105
    int Poll(cTarselDevice& device, int* state);   // 103, 101, 104, 106

private:
    // Polls the status until the ready value is nonzero; codes for {exchange, status 3 with 0}.
    int WaitReady(cTarselDevice& device, int exchangeCode, int zeroCode);
};

class OperationCalibrate : public Operation {
public:
    int Execute(cTarselDevice& device) override;   // 120
    int Poll(cTarselDevice& device, int* state);   // 50, 121-126
};

// The longest any wait of the instrument may take before the library gives up.
constexpr std::uint64_t kReadyLoopLimitMs = 130000;

struct ManualRow {
    int key1;
    int key2;
    int upper;
    int lower;
};

// 1328 key 1 unknown, 1329 key 2 unknown, 1330 pair not a row (as detail codes 28/29/30), 0 when found.
int LookupManualPair(int key1, int key2, ManualRow* row);

// Reads one spectral data set from the data interface; false when a report fails or too many arrive.
bool ReadSpectralDataSet(cTarselDevice& device, SpectralDataSet* set);

}  // namespace vexapi
