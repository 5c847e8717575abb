#include "meas_data_mng.h"

#include "vexapi_codes.h"

namespace vexapi {

int cMeasDataMng::GetData(VexStoredMeasurement* out, int index) const
{
    if (index < 0 || index > GetCount() - 1 || !out)
        return MeasDataCode::kIndex;
    *out = records_[static_cast<std::size_t>(index)];
    return 0;
}

int cMeasDataMng::AddData(const VexStoredMeasurement* record)
{
    // The instrument numbers its records 1..100; a 101st cannot be one of them.
    if (!record || GetCount() >= kCapacity)
        return MeasDataCode::kFull;
    records_.push_back(*record);
    return 0;
}

int cMeasDataMng::DeleteData(int index)
{
    if (index < 0 || index > GetCount() - 1)
        return MeasDataCode::kIndex;
    records_.erase(records_.begin() + index);
    return 0;
}

}  // namespace vexapi
