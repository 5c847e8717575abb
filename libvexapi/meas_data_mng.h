// cMeasDataMng: the device's cache of the instrument's stored measurements (index 0 = record 1).
#pragma once

#include "vexapi.h"

#include <vector>

namespace vexapi {

class cMeasDataMng {
public:
    static constexpr int kCapacity = 100;

    cMeasDataMng() = default;
    virtual ~cMeasDataMng() = default;
    cMeasDataMng(const cMeasDataMng&) = default;
    cMeasDataMng& operator=(const cMeasDataMng&) = default;

    int GetCount() const { return static_cast<int>(records_.size()); }
    int GetData(VexStoredMeasurement* out, int index) const;
    int AddData(const VexStoredMeasurement* record);
    int DeleteData(int index);
    void Clear() { records_.clear(); }

private:
    std::vector<VexStoredMeasurement> records_;
};

}  // namespace vexapi
