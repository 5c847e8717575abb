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

    // A classified point: the illuminance, then the chromaticity.
    struct ClassifiedPoint {
        float value;
        float x;
        float y;
    };

    int Get(VexRankData* out, int index) const;
    int Set(const VexRankData* in, int index);
    int Delete(int index);

    // Entry as held, empty or not; and putting one back without checks (a write that failed).
    const VexRankData& Entry(int index) const { return entries_[index]; }
    void Restore(const VexRankData& entry, int index) { entries_[index] = entry; }

    // Fills the (x, y) vertices of a (T, duv) polygon; false when a vertex lies outside the range.
    static bool ConvertTduvToXy(VexRankData* entry, int observer);
    static bool TduvToXy(double t, double duv, int observer, double* x, double* y);
    int SortOut(VexRankResult* out, const ClassifiedPoint* point) const;
    // Inside or on an edge of the polygon of `count` (x, y) vertices.
    static bool PointInPolygon(const float* xy, int count, double px, double py);

    static bool IsEmpty(const VexRankData& entry);
    static void Clear(VexRankData* entry);

private:
    VexRankData entries_[kEntries];
};

}  // namespace vexapi
