// Light-source files of bare values (".uid").
#include "lightcheck.h"

VAREMO_FUZZ_TARGET(light_uid)
{
    fuzz::CheckLightFile("light_uid", data, size, 1);
    return 0;
}
