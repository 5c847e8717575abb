#include "tarsel_factory.h"

#include "vexapi_codes.h"
#include "vexcalib.h"
#include "vexcolor.h"
#include "vexhid.h"

namespace vexapi {

int GetSDKVersion(int* versions)
{
    if (!versions)
        return SdkVersionCode::kNull;
    versions[0] = 1;
    versions[1] = 21;
    versions[2] = 0;
    GetCalibVerion(versions + 3);
    ZUCOM_GetVersion(versions + 6);
    GetCalColorVersion(versions + 9);
    return 0;
}

}  // namespace vexapi
