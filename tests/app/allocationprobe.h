#pragma once
// The largest single heap allocation made while a probe lives, taken from AddressSanitizer's allocation hook (the
// tests run under it). Without the sanitizer Available() is false and a test skips.

#include <atomic>
#include <cstddef>

#if defined(__SANITIZE_ADDRESS__)
#define VAREMO_ALLOCATION_PROBE 1
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*mallocHook)(const volatile void *, size_t),
                                                         void (*freeHook)(const volatile void *));
#endif

namespace fixture {

class AllocationProbe {
public:
    AllocationProbe()
    {
#ifdef VAREMO_ALLOCATION_PROBE
        static const bool installed = __sanitizer_install_malloc_and_free_hooks(&Record, &Ignore) != 0;
        m_available = installed;
#endif
        Largest().store(0);
        Active().store(m_available);
    }
    ~AllocationProbe() { Active().store(false); }
    AllocationProbe(const AllocationProbe &) = delete;
    AllocationProbe &operator=(const AllocationProbe &) = delete;

    bool Available() const { return m_available; }
    size_t LargestAllocation() const { return Largest().load(); }

private:
    static std::atomic<size_t> &Largest()
    {
        static std::atomic<size_t> largest{0};
        return largest;
    }
    static std::atomic<bool> &Active()
    {
        static std::atomic<bool> active{false};
        return active;
    }
    static void Record(const volatile void *, size_t size)
    {
        if (!Active().load())
            return;
        size_t seen = Largest().load();
        while (size > seen && !Largest().compare_exchange_weak(seen, size)) {
        }
    }

    static void Ignore(const volatile void *) {}

    bool m_available = false;
};

} // namespace fixture
