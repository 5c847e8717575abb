#pragma once
// What the handheld controller needs of the application model: the scan mode and the position list the
// handheld views set, and the store of one measured patch. The model implements it; tests pass a recorder.

#include "app/records.h"
#include "app/tanosdk_patchposition.h"

#include <QList>

class CTanoSDKHost
{
public:
    virtual ~CTanoSDKHost() = default;

    // Nonzero: strip (a scan over a column of patches); zero: spot (one patch per press).
    virtual bool GetHandyScanMode() = 0;
    virtual void GetHandyPatchPositions(QList<TanoSDK_PatchPosition *> &positions) = 0;
    // Stores one measured patch: sample number, its position, the number of patches of this measurement, the
    // record (block and colour values) and the extra value (1 for a spot measurement, the patch count of a
    // strip). 0 on success.
    virtual int StoreHandyMeasuredPatch(int patchNumber, const TanoSDK_PatchPosition *location, int count,
                                        const MeasurementData::PatchData *record, int extra) = 0;
};
