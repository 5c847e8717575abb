#include "sim_defaults.h"

#include "libvexapi/lumet_protocol.h"
#include "sim_bus.h"
#include "synthetic/synthetic.h"
#include "vexcolor.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace vexhid::sim {

namespace {

void Reverse4(std::uint8_t* p)
{
    std::swap(p[0], p[3]);
    std::swap(p[1], p[2]);
}

void PutDate(std::uint8_t* p, const int date[6])
{
    PutBe16(p, static_cast<std::uint16_t>(date[0]));
    for (int i = 1; i < 6; ++i)
        p[1 + i] = static_cast<std::uint8_t>(date[i]);
}

// Illuminant `id` of libvexcolor's table (300-780 nm at 5 nm) at 360-780 nm in 1 nm steps.
bool IlluminantAt1nm(int id, float out[421])
{
    const CalIlluminantSlot* table = nullptr;
    int count = 0;
    if (GetIlluminantTable(&table, &count) != 0 || !table)
        return false;
    for (int s = 0; s < count; ++s) {
        if (table[s].id != id)
            continue;
        for (int i = 0; i < 421; ++i) {
            const int offset = 60 + i;  // nm above 300
            const int k = offset / 5;
            const int r = offset % 5;
            const float a = table[s].spd[k];
            const float b = r == 0 ? a : table[s].spd[k + 1];
            out[i] = a + (b - a) * static_cast<float>(r) / 5.0f;
        }
        return true;
    }
    return false;
}

}  // namespace

std::vector<std::uint8_t> DefaultInfoBlock()
{
    std::vector<std::uint8_t> b(lumet::kInfoBlockSize, 0);
    const std::uint8_t model[4] = {'L', 'M', '0', '1'};
    std::memcpy(b.data(), model, 4);
    b[6] = lumet::kLumetTypeHigh;
    b[7] = lumet::kLumetTypeLow;
    b[8] = 0x12;
    b[9] = 0x34;
    b[10] = 0x56;
    b[11] = 0x78;
    b[12] = 0x01;
    PutBe16(&b[16], 0x0102);
    b[18] = 3;
    b[19] = 4;
    std::memcpy(&b[lumet::kInfoMagicOffset], lumet::kInfoMagic, 4);
    return b;
}

std::vector<std::uint8_t> FactoryBlockToWire(const std::uint8_t* host)
{
    std::vector<std::uint8_t> b(host, host + lumet::kFactoryBlockSize);
    for (int off = 4; off + 4 <= lumet::kFactoryBlockSize; off += 4) {
        if (off >= 32 && off < 44)
            continue;
        Reverse4(&b[static_cast<std::size_t>(off)]);
    }
    return b;
}

std::vector<std::uint8_t> CalibrationBlockToWire(const std::uint8_t* host)
{
    std::vector<std::uint8_t> b(host, host + lumet::kCalibrationBlockSize);
    for (int off = 0; off + 4 <= lumet::kCalibrationBlockSize; off += 4)
        Reverse4(&b[static_cast<std::size_t>(off)]);
    return b;
}

// The calibration library's synthetic identity instrument (nominal wavelengths, identity stray light,
// no temperature or long-wavelength terms, both calibrations done), with a dark offset that rises
// linearly over the pixels, a dark rate and a sensitivity that are not one: every correction step of a
// measurement then has something to do. The reference integration time is chosen so that the default
// light source gives raw counts in the thousands, inside the signal limits of the (4000, 1) manual row.
constexpr std::int32_t kReferenceIntegration = 4000;
constexpr float kDarkTemperature = 25.0f;

vexcalib::synthetic::FactoryData MeasuringFactory()
{
    namespace syn = vexcalib::synthetic;
    syn::FactoryData f = syn::identityFactory(kReferenceIntegration, kDarkTemperature);
    for (int i = 0; i < syn::kPixels; ++i)
        f.sensitivity[static_cast<std::size_t>(i)] = 2.5e-6f * (1.0f + 0.25f * static_cast<float>(i) / 127.0f);
    return f;
}

std::vector<std::uint8_t> DefaultFactoryBlock()
{
    namespace syn = vexcalib::synthetic;
    const std::vector<unsigned char> record = syn::deviceRecord(MeasuringFactory());
    return FactoryBlockToWire(record.data() + lumet::kInfoBlockSize);
}

std::vector<std::uint8_t> DefaultCalibrationBlock()
{
    namespace syn = vexcalib::synthetic;
    syn::CalibrationData c = syn::identityCalibration(MeasuringFactory(), kDarkTemperature);
    for (int i = 0; i < syn::kPixels; ++i) {
        c.darkOffset[static_cast<std::size_t>(i)] = 100.0f + static_cast<float>(i);
        c.darkRate[static_cast<std::size_t>(i)] = 20.0f;
    }
    const std::vector<unsigned char> block = syn::calibrationBlock(c);
    return CalibrationBlockToWire(block.data());
}

std::vector<float> DefaultLightSource()
{
    std::vector<float> e(421);
    constexpr double c2 = 1.4388e-2;
    constexpr double t = 3000.0;
    for (int i = 0; i < 421; ++i) {
        const double m = (360.0 + i) * 1e-9;
        e[static_cast<std::size_t>(i)] = static_cast<float>(1e-15 / (m * m * m * m * m) / (std::exp(c2 / (m * t)) - 1.0));
    }
    CalColorRecord r{};
    r.type = 7;
    r.illuminant = VEXCOLOR_LIGHT_SOURCE_ALT;
    if (SpectrumToColor(e.data(), 421, &r) == 0 && r.values[2] > 0.0f) {
        const float scale = 500.0f / r.values[2];
        for (float& v : e)
            v *= scale;
    }
    return e;
}

std::vector<VexSimStoredSeed> DefaultStoredSeeds()
{
    struct Source {
        int illuminant;
        int date[6];
    };
    // CIE A, D50 and D65 of libvexcolor's table.
    const Source sources[3] = {{0, {2023, 4, 5, 6, 7, 8}}, {2, {2023, 5, 6, 7, 8, 9}}, {3, {2023, 6, 7, 8, 9, 10}}};
    std::vector<VexSimStoredSeed> seeds;
    for (const Source& s : sources) {
        VexSimStoredSeed seed{};
        if (!IlluminantAt1nm(s.illuminant, seed.spectrum))
            continue;
        std::copy(s.date, s.date + 6, seed.date);
        seeds.push_back(seed);
    }
    return seeds;
}

std::vector<std::uint8_t> EncodeStored(const VexSimStoredSeed& seed, int number)
{
    std::vector<std::uint8_t> r(lumet::kStoredRecordSize, 0);
    PutBe16(&r[2], static_cast<std::uint16_t>(number));
    for (int i = 0; i < 421; ++i)
        PutBeFloat(&r[4 + 4 * static_cast<std::size_t>(i)], seed.spectrum[i]);
    PutDate(&r[1688], seed.date);
    r[1696] = static_cast<std::uint8_t>(seed.observer);
    r[1697] = static_cast<std::uint8_t>(seed.value3);
    PutBe16(&r[1698], static_cast<std::uint16_t>(seed.value1));
    PutBe16(&r[1700], static_cast<std::uint16_t>(seed.value2));
    return r;
}

std::vector<std::uint8_t> EncodeSpectral(const VexSimSpectralSeed& seed, int number)
{
    std::vector<std::uint8_t> r(lumet::kSpectralRecordSize, 0);
    PutBe16(&r[2], static_cast<std::uint16_t>(number));
    PutDate(&r[4], seed.date);
    std::memcpy(&r[12], seed.name, 12);
    for (int i = 0; i < 421; ++i)
        PutBeFloat(&r[24 + 4 * static_cast<std::size_t>(i)], seed.values[i]);
    return r;
}

std::vector<std::uint8_t> EncodeRank(const VexSimRankSeed& seed, int number)
{
    std::vector<std::uint8_t> r(lumet::kRankRecordSize, 0);
    r[1] = static_cast<std::uint8_t>(number);
    r[2] = static_cast<std::uint8_t>(seed.type);
    r[3] = static_cast<std::uint8_t>(seed.vertexCount);
    std::memcpy(&r[4], seed.name, 40);
    r[44] = static_cast<std::uint8_t>(seed.flag);
    for (int i = 0; i < 20; ++i) {
        PutBeFloat(&r[48 + 4 * static_cast<std::size_t>(i)], seed.xy[i]);
        PutBeFloat(&r[128 + 4 * static_cast<std::size_t>(i)], seed.tduv[i]);
    }
    return r;
}

}  // namespace vexhid::sim
