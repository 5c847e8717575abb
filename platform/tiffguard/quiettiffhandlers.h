#pragma once
// Quiet libtiff error and warning handlers for the life of one direct use of libtiff.
//
// ImageMagick's TIFF coder installs process-wide libtiff handlers that report into the exception of the calling
// thread's last ImageMagick TIFF read or write, long gone by then: a libtiff error of our own would abort or
// corrupt memory. While any guard lives, on any thread, the handlers are quiet; the last guard to end puts the
// previous ones back. Errors still reach the caller through libtiff's return values.

#include <tiffio.h>

#include <mutex>

namespace tiffguard_detail {

struct SavedHandlers {
    std::mutex mutex;
    int users = 0;
    TIFFErrorHandler error = nullptr;
    TIFFErrorHandlerExt errorExt = nullptr;
    TIFFErrorHandler warning = nullptr;
    TIFFErrorHandlerExt warningExt = nullptr;
};

// One instance for the whole process, also when the header is used by the program and a shared library built
// with hidden symbols: the dynamic linker merges the exported definitions.
inline SavedHandlers savedHandlers __attribute__((visibility("default")));

} // namespace tiffguard_detail

class QuietTiffHandlers
{
public:
    QuietTiffHandlers()
    {
        tiffguard_detail::SavedHandlers &s = tiffguard_detail::savedHandlers;
        const std::lock_guard<std::mutex> lock(s.mutex);
        if (s.users++ > 0)
            return;
        s.error = TIFFSetErrorHandler(nullptr);
        s.errorExt = TIFFSetErrorHandlerExt(nullptr);
        s.warning = TIFFSetWarningHandler(nullptr);
        s.warningExt = TIFFSetWarningHandlerExt(nullptr);
    }
    ~QuietTiffHandlers()
    {
        tiffguard_detail::SavedHandlers &s = tiffguard_detail::savedHandlers;
        const std::lock_guard<std::mutex> lock(s.mutex);
        if (--s.users > 0)
            return;
        TIFFSetErrorHandler(s.error);
        TIFFSetErrorHandlerExt(s.errorExt);
        TIFFSetWarningHandler(s.warning);
        TIFFSetWarningHandlerExt(s.warningExt);
    }
    QuietTiffHandlers(const QuietTiffHandlers &) = delete;
    QuietTiffHandlers &operator=(const QuietTiffHandlers &) = delete;
};
