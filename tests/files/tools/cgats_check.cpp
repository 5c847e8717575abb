// Reads a CGATS file with Little CMS and prints what it understood: the table count, then per table its
// NUMBER_OF_SETS, the rows it holds, the field names and every row's cells (numbers as %g, other text as "-").
// Exits 1 when Little CMS refuses the file.

#include <lcms2.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

static void OnError(cmsContext, cmsUInt32Number, const char *text)
{
    std::fprintf(stderr, "lcms: %s\n", text);
}

static bool IsNumber(const char *text)
{
    if (!text || !*text)
        return false;
    char *end = nullptr;
    std::strtod(text, &end);
    return end && *end == '\0';
}

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: cgats_check file\n");
        return 2;
    }
    cmsSetLogErrorHandler(OnError);
    cmsHANDLE it8 = cmsIT8LoadFromFile(nullptr, argv[1]);
    if (!it8)
        return 1;
    const cmsUInt32Number tables = cmsIT8TableCount(it8);
    std::printf("tables %u\n", tables);
    for (cmsUInt32Number t = 0; t < tables; ++t) {
        if (cmsIT8SetTable(it8, t) < 0)
            return 1;
        char **names = nullptr;
        const int fields = cmsIT8EnumDataFormat(it8, &names);
        const int sets = int(cmsIT8GetPropertyDbl(it8, "NUMBER_OF_SETS"));
        int rows = 0;
        while (cmsIT8GetDataRowCol(it8, rows, 0))
            ++rows;
        std::printf("table %u sets %d rows %d\nfields", t, sets, rows);
        for (int f = 0; f < fields; ++f)
            std::printf(" %s", names[f]);
        std::printf("\n");
        for (int r = 0; r < rows; ++r) {
            for (int f = 0; f < fields; ++f) {
                const char *cell = cmsIT8GetDataRowCol(it8, r, f);
                if (IsNumber(cell))
                    std::printf(f ? " %g" : "%g", std::strtod(cell, nullptr));
                else
                    std::printf(f ? " -" : "-");
            }
            std::printf("\n");
        }
    }
    cmsIT8Free(it8);
    return 0;
}
