// cRank: the device's copy of the instrument's 20 rank entries.
#pragma once

#include "vexapi.h"

namespace vexapi {

class cRank {
public:
    static constexpr int kEntries = 20;
    static constexpr int kAllEntries = -2;

    cRank();
    virtual ~cRank() = default;
    cRank(const cRank&) = default;
    cRank& operator=(const cRank&) = default;

    int Get(VexRankData* out, int index) const;
    int Set(const VexRankData* in, int index);
    int Delete(int index);

    static bool IsEmpty(const VexRankData& entry);
    static void Clear(VexRankData* entry);

private:
    VexRankData entries_[kEntries];
};

}  // namespace vexapi
