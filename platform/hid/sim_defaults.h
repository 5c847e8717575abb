// What the simulated instrument holds when nothing else is configured, and the simulator's own encoder
// from host values to the instrument's big-endian records.
#pragma once

#include "vexhid_sim.h"

#include <cstdint>
#include <vector>

namespace vexhid::sim {

std::vector<std::uint8_t> DefaultInfoBlock();
std::vector<std::uint8_t> DefaultFactoryBlock();
std::vector<std::uint8_t> DefaultCalibrationBlock();
std::vector<VexSimStoredSeed> DefaultStoredSeeds();
// A 3000 K Planckian of about 500 lx, 360-780 nm at 1 nm.
std::vector<float> DefaultLightSource();

std::vector<std::uint8_t> EncodeStored(const VexSimStoredSeed& seed, int number);
std::vector<std::uint8_t> EncodeSpectral(const VexSimSpectralSeed& seed, int number);
std::vector<std::uint8_t> EncodeRank(const VexSimRankSeed& seed, int number);

// Host-order blocks to wire order: the 32-bit values of the factory block (all but bytes 0-3 and 32-43)
// and every value of the calibration block are big-endian on the instrument.
std::vector<std::uint8_t> FactoryBlockToWire(const std::uint8_t* host);
std::vector<std::uint8_t> CalibrationBlockToWire(const std::uint8_t* host);

}  // namespace vexhid::sim
