// QR codes on sheets: the text form of a sheet record, drawing it with libqrencode and reading it with zbar.
// The simulator keeps its own codec: it stands for the instrument's firmware, not for the program.

#include "orlo_internal.h"
#include "quiettiffhandlers.h"

#include <qrencode.h>
#include <tiffio.h>
#include <zbar.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace orlosim {
namespace {

// Byte-mode capacity of QR versions 1-40 at levels L, M, Q, H.
constexpr int kByteCapacity[40][4] = {
    {17, 14, 11, 7},         {32, 26, 20, 14},        {53, 42, 32, 24},        {78, 62, 46, 34},
    {106, 84, 60, 44},       {134, 106, 74, 58},      {154, 122, 86, 64},      {192, 152, 108, 84},
    {230, 180, 130, 98},     {271, 213, 151, 119},    {321, 251, 177, 137},    {367, 287, 203, 155},
    {425, 331, 241, 177},    {458, 362, 258, 194},    {520, 412, 292, 220},    {586, 450, 322, 250},
    {644, 504, 364, 280},    {718, 560, 394, 310},    {792, 624, 442, 338},    {858, 666, 482, 382},
    {929, 711, 509, 403},    {1003, 779, 565, 439},   {1091, 857, 611, 461},   {1171, 911, 661, 511},
    {1273, 997, 715, 535},   {1367, 1059, 751, 593},  {1465, 1125, 805, 625},  {1528, 1190, 868, 658},
    {1628, 1264, 908, 698},  {1732, 1370, 982, 742},  {1840, 1452, 1030, 790}, {1952, 1538, 1112, 842},
    {2068, 1628, 1168, 898}, {2188, 1722, 1228, 958}, {2303, 1809, 1283, 983}, {2431, 1911, 1351, 1051},
    {2563, 1989, 1423, 1093}, {2699, 2099, 1499, 1139}, {2809, 2213, 1579, 1219}, {2953, 2331, 1663, 1273}};

uint32_t ReadU32(const uint8_t* p)
{
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

void WriteU32(uint8_t* p, uint32_t v)
{
    std::memcpy(p, &v, 4);
}

std::string ZeroTerminated(const uint8_t* p, size_t max)
{
    size_t n = 0;
    while (n < max && p[n] != 0)
        ++n;
    return std::string(reinterpret_cast<const char*>(p), n);
}

// Reads a field ending in ':' from text at pos.
bool Field(const std::string& text, size_t& pos, std::string& out)
{
    const size_t end = text.find(':', pos);
    if (end == std::string::npos)
        return false;
    out = text.substr(pos, end - pos);
    pos = end + 1;
    return true;
}

bool ParseUnsigned(const std::string& s, int base, uint32_t& out)
{
    if (s.empty() || s.size() > (base == 10 ? 10u : 8u))
        return false;
    unsigned long long v = 0;
    for (char ch : s) {
        int d;
        if (ch >= '0' && ch <= '9')
            d = ch - '0';
        else if (base == 16 && ch >= 'a' && ch <= 'f')
            d = ch - 'a' + 10;
        else
            return false;
        v = v * static_cast<unsigned>(base) + static_cast<unsigned>(d);
    }
    if (v > 0xffffffffull)
        return false;
    out = static_cast<uint32_t>(v);
    return true;
}

} // namespace

int QrVersionFor(size_t textLength, int level)
{
    if (level < 0 || level > 3)
        return 0;
    for (int v = 1; v <= 40; ++v) {
        if (static_cast<size_t>(kByteCapacity[v - 1][level]) > textLength)
            return v;
    }
    return 0;
}

namespace {

// The record's device code: "0000" in the program's own codes, which preset it; a printer's print names its preset
// density chart there ("011" and one code character). Anything that is not four printable characters reads "0000".
std::string DeviceCodeText(const uint8_t* r)
{
    const bool printable = std::all_of(r + 4, r + 8, [](uint8_t c) { return c > ' ' && c < 0x7f && c != ':'; });
    return printable ? std::string(reinterpret_cast<const char*>(r + 4), 4) : std::string("0000");
}

} // namespace

std::string BarcodeText(const uint8_t* r)
{
    std::string text = "Orlo:" + DeviceCodeText(r);
    text += ZeroTerminated(r + 8, 16);
    text += ':';
    char buf[16];
    for (int i = 0; i < 4; ++i) {
        std::snprintf(buf, sizeof buf, "%u:", ReadU32(r + 24 + 4 * i));
        text += buf;
    }
    const int32_t areas = std::clamp(static_cast<int32_t>(ReadU32(r + 36)), 0, ORLO_MAX_AREAS);
    for (int a = 0; a < areas; ++a) {
        for (int j = 0; j < 3; ++j) {
            std::snprintf(buf, sizeof buf, "%u:", ReadU32(r + 40 + 12 * a + 4 * j));
            text += buf;
        }
    }
    for (int i = 0; i < 4; ++i) {
        std::snprintf(buf, sizeof buf, "%x:", ReadU32(r + 640 + 4 * i));
        text += buf;
    }
    text += ZeroTerminated(r + 660, 512);
    return text;
}

bool ParseBarcodeText(const std::string& text, uint8_t record[ORLO_SHEET_RECORD_SIZE])
{
    uint8_t r[ORLO_SHEET_RECORD_SIZE] = {};
    if (text.size() < 10 || text[4] != ':')
        return false;
    std::memcpy(r, text.data(), 4);
    std::memcpy(r + 4, text.data() + 5, 4);
    size_t pos = 9;
    std::string f;
    if (!Field(text, pos, f) || f.size() > 16)
        return false;
    std::memcpy(r + 8, f.data(), f.size());
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
        if (!Field(text, pos, f) || !ParseUnsigned(f, 10, v))
            return false;
        WriteU32(r + 24 + 4 * i, v);
    }
    if (v > ORLO_MAX_AREAS)
        return false;
    for (uint32_t a = 0; a < v; ++a) {
        for (int j = 0; j < 3; ++j) {
            uint32_t n;
            if (!Field(text, pos, f) || !ParseUnsigned(f, 10, n))
                return false;
            WriteU32(r + 40 + 12 * a + 4 * j, n);
        }
    }
    for (int i = 0; i < 4; ++i) {
        uint32_t w;
        if (!Field(text, pos, f) || !ParseUnsigned(f, 16, w))
            return false;
        WriteU32(r + 640 + 4 * i, w);
    }
    const std::string rest = text.substr(pos);
    if (rest.size() > 512)
        return false;
    std::memcpy(r + 660, rest.data(), rest.size());
    std::memcpy(record, r, sizeof r);
    return true;
}

bool EncodeQr(const std::string& text, int level, int pixelsPerModule, std::vector<uint8_t>& pixels, int& side)
{
    const int version = QrVersionFor(text.size(), level);
    if (version == 0 || pixelsPerModule < 1 || text.find('\0') != std::string::npos)
        return false;
    static const QRecLevel kLevels[4] = {QR_ECLEVEL_L, QR_ECLEVEL_M, QR_ECLEVEL_Q, QR_ECLEVEL_H};
    QRcode* code = QRcode_encodeString8bit(text.c_str(), version, kLevels[level]);
    if (!code)
        return false;
    const bool ok = code->version == version;
    const int modules = code->width;
    if (ok) {
        side = (modules + 8) * pixelsPerModule;
        pixels.assign(static_cast<size_t>(side) * side, 255);
        for (int my = 0; my < modules; ++my) {
            for (int mx = 0; mx < modules; ++mx) {
                if (!(code->data[my * modules + mx] & 1))
                    continue;
                for (int y = 0; y < pixelsPerModule; ++y) {
                    uint8_t* row = &pixels[static_cast<size_t>((my + 4) * pixelsPerModule + y) * side];
                    std::fill_n(row + (mx + 4) * pixelsPerModule, pixelsPerModule, uint8_t(0));
                }
            }
        }
    }
    QRcode_free(code);
    return ok;
}

bool WriteGreyTiff(const std::string& path, const std::vector<uint8_t>& pixels, int width, int height)
{
    const QuietTiffHandlers quiet; // until after the close, which writes too
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    if (!tif)
        return false;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(width));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(height));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, static_cast<uint32_t>(height));
    TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    TIFFSetField(tif, TIFFTAG_XRESOLUTION, static_cast<float>(kDpi));
    TIFFSetField(tif, TIFFTAG_YRESOLUTION, static_cast<float>(kDpi));
    bool ok = true;
    std::vector<uint8_t> row(static_cast<size_t>(width));
    for (int y = 0; y < height && ok; ++y) {
        std::copy_n(pixels.begin() + static_cast<ptrdiff_t>(y) * width, width, row.begin());
        ok = TIFFWriteScanline(tif, row.data(), static_cast<uint32_t>(y), 0) == 1;
    }
    ok = ok && TIFFFlush(tif) == 1;
    TIFFClose(tif);
    return ok;
}

QrRead DecodeQr(const SheetImage& sheet)
{
    using namespace zbar;
    QrRead result;
    if (sheet.grey.empty())
        return result;
    zbar_image_scanner_t* scanner = zbar_image_scanner_create();
    zbar_image_scanner_set_config(scanner, ZBAR_NONE, ZBAR_CFG_ENABLE, 0);
    zbar_image_scanner_set_config(scanner, ZBAR_QRCODE, ZBAR_CFG_ENABLE, 1);
    zbar_image_scanner_set_config(scanner, ZBAR_QRCODE, ZBAR_CFG_BINARY, 1);
    zbar_image_t* image = zbar_image_create();
    zbar_image_set_format(image, zbar_fourcc('Y', '8', '0', '0'));
    zbar_image_set_size(image, static_cast<unsigned>(sheet.width), static_cast<unsigned>(sheet.height));
    zbar_image_set_data(image, sheet.grey.data(), sheet.grey.size(), nullptr);
    if (zbar_scan_image(scanner, image) > 0) {
        const zbar_symbol_t* symbol = zbar_image_first_symbol(image);
        for (; symbol; symbol = zbar_symbol_next(symbol)) {
            if (zbar_symbol_get_type(symbol) != ZBAR_QRCODE)
                continue;
            result.found = true;
            result.text.assign(zbar_symbol_get_data(symbol), zbar_symbol_get_data_length(symbol));
            const unsigned n = zbar_symbol_get_loc_size(symbol);
            result.left = sheet.width;
            result.top = sheet.height;
            for (unsigned i = 0; i < n; ++i) {
                result.left = std::min(result.left, zbar_symbol_get_loc_x(symbol, i));
                result.right = std::max(result.right, zbar_symbol_get_loc_x(symbol, i));
                result.top = std::min(result.top, zbar_symbol_get_loc_y(symbol, i));
                result.bottom = std::max(result.bottom, zbar_symbol_get_loc_y(symbol, i));
            }
            break;
        }
    }
    zbar_image_destroy(image);
    zbar_image_scanner_destroy(scanner);
    return result;
}

} // namespace orlosim
