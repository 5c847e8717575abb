#include "app/records.h"

qint64 ImageByteCount(qint64 width, qint64 height, qint64 bitsPerPixel)
{
    if (width < 0 || height < 0 || bitsPerPixel < 0)
        return 0;
    qint64 pixels = 0;
    qint64 bits = 0;
    if (__builtin_mul_overflow(width, height, &pixels) || __builtin_mul_overflow(pixels, bitsPerPixel, &bits))
        return 0;
    return bits / 8;
}

void RegisterRecordMetaTypes()
{
    qRegisterMetaType<ChartDefinitionData::PatchColor>("ChartDefinitionData::PatchColor");
}
