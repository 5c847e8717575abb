// Light-source files with a header (".uid2").
#include "lightcheck.h"

VAREMO_FUZZ_TARGET(light_uid2)
{
    fuzz::CheckLightFile("light_uid2", data, size, 0);
    return 0;
}
