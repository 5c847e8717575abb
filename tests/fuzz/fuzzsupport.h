#pragma once
// What every fuzz target shares: the entry-point macro (a libFuzzer entry, or an entry of the corpus replay),
// the Qt application object, a scratch folder per target, a reader over the input bytes and the failure report.

#include <QString>

#include <cstddef>
#include <cstdint>

#if defined(VAREMO_FUZZ_REPLAY)
namespace fuzz {
using TargetFunction = int (*)(const std::uint8_t *data, std::size_t size);
// Called by the targets' static registrations; the replay walks corpus/<name>/ for each.
bool RegisterTarget(const char *name, TargetFunction function);
} // namespace fuzz
#define VAREMO_FUZZ_TARGET(name)                                                                                   \
    static int FuzzOne_##name(const std::uint8_t *data, std::size_t size);                                         \
    [[maybe_unused]] static const bool fuzzRegistered_##name = fuzz::RegisterTarget(#name, FuzzOne_##name);       \
    static int FuzzOne_##name(const std::uint8_t *data, std::size_t size)
#else
#define VAREMO_FUZZ_TARGET(name) extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
#endif

namespace fuzz {

// Creates the one QCoreApplication of the process (named "Varemo": the own chart XML names its application).
void EnsureApplication();

// An empty folder of its own for a target, emptied again on every call.
QString FreshFolder(const char *target);

// Writes the bytes to folder/fileName; returns the path.
QString WriteInput(const QString &folder, const QString &fileName, const std::uint8_t *data, std::size_t size);

// Prints which round trip disagreed and aborts, so that the fuzzer keeps the input.
[[noreturn]] void Fail(const char *target, const QString &what);

// Takes little values off the front of the input; past its end every read gives 0.
class Bytes
{
public:
    Bytes(const std::uint8_t *data, std::size_t size) : m_data(data), m_size(size) {}
    std::uint8_t Byte() { return m_at < m_size ? m_data[m_at++] : 0; }
    // Little-endian; the reads are sequenced so that every compiler takes the same bytes.
    std::uint16_t U16()
    {
        const std::uint16_t low = Byte();
        return std::uint16_t(low | (Byte() << 8));
    }
    std::uint32_t U32()
    {
        const std::uint32_t low = U16();
        return low | (std::uint32_t(U16()) << 16);
    }
    // Copies up to n bytes (zeros past the end).
    void Take(void *out, std::size_t n);
    std::size_t Left() const { return m_size - m_at; }

private:
    const std::uint8_t *m_data;
    std::size_t m_size;
    std::size_t m_at = 0;
};

} // namespace fuzz
