#include "hidraw_backend.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include <dirent.h>
#include <fcntl.h>
#include <linux/hidraw.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vexhid {

namespace {

struct GlobalState {
    std::uint32_t reportSize = 0;
    std::uint32_t reportCount = 0;
    std::uint32_t reportId = 0;
};

std::uint32_t ItemValue(const std::uint8_t* p, int size)
{
    std::uint32_t v = 0;
    for (int i = 0; i < size; ++i)
        v |= static_cast<std::uint32_t>(p[i]) << (8 * i);
    return v;
}

int LengthOf(const std::map<std::uint32_t, std::uint64_t>& bitsById)
{
    std::uint64_t largest = 0;
    for (const auto& [id, bits] : bitsById)
        largest = std::max(largest, (bits + 7) / 8);
    if (bitsById.empty() || largest == 0)
        return 0;
    return static_cast<int>(std::min<std::uint64_t>(largest + 1, INT_MAX));
}

bool ReadFile(const std::string& path, std::string* out)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream s;
    s << in.rdbuf();
    *out = s.str();
    return true;
}

std::string TrimLine(std::string s)
{
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r'))
        s.pop_back();
    return s;
}

bool RealPath(const std::string& path, std::string* out)
{
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved)
        return false;
    *out = resolved;
    std::free(resolved);
    return true;
}

bool IsFile(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// HID_ID=BBBB:VVVVVVVV:PPPPPPPP in hex.
bool ParseHidId(const std::string& value, HidrawEntry* entry)
{
    unsigned long parts[3] = {};
    std::size_t start = 0;
    for (int i = 0; i < 3; ++i) {
        std::size_t end = i < 2 ? value.find(':', start) : value.size();
        if (end == std::string::npos || end == start)
            return false;
        std::string field = value.substr(start, end - start);
        char* stop = nullptr;
        parts[i] = std::strtoul(field.c_str(), &stop, 16);
        if (*stop != '\0')
            return false;
        start = end + 1;
    }
    entry->bus = static_cast<std::uint32_t>(parts[0]);
    entry->vendorId = static_cast<std::uint16_t>(parts[1]);
    entry->productId = static_cast<std::uint16_t>(parts[2]);
    return true;
}

class HidrawPort : public HidPort {
public:
    HidrawPort(int fd, HidrawEntry entry, NodeControl* control)
        : fd_(fd), entry_(std::move(entry)), control_(control)
    {
    }
    ~HidrawPort() override { ::close(fd_); }

    bool GetIds(std::uint16_t* vendorId, std::uint16_t* productId) override
    {
        std::uint32_t bus = 0;
        return control_->RawInfo(fd_, &bus, vendorId, productId);
    }

    bool GetReportLengths(int* inputLength, int* outputLength) override
    {
        std::vector<std::uint8_t> descriptor;
        if (!control_->ReportDescriptor(fd_, &descriptor))
            return false;
        if (!ParseReportDescriptor(descriptor.data(), descriptor.size(), inputLength, outputLength))
            return false;
        inputLength_ = *inputLength;
        return true;
    }

    ReadResult Read(std::uint8_t* report, int timeoutMs) override
    {
        return ReadNodeReport(fd_, inputLength_, report, timeoutMs);
    }

    bool Write(const std::uint8_t* report) override { return WriteNodeReport(fd_, report); }
    void Flush() override { FlushNode(fd_, inputLength_); }

    bool GetSerial(std::u16string* serial, std::size_t maxUnits) override
    {
        std::u16string s;
        if (!ReadEntrySerial(entry_, &s) || s.size() > maxUnits)
            return false;
        *serial = s;
        return true;
    }

private:
    int fd_;
    HidrawEntry entry_;
    NodeControl* control_;
    int inputLength_ = 65;
};

}  // namespace

bool ParseReportDescriptor(const std::uint8_t* data, std::size_t size, int* inputLength, int* outputLength)
{
    if (!data && size != 0)
        return false;
    GlobalState state;
    std::vector<GlobalState> stack;
    std::map<std::uint32_t, std::uint64_t> inputBits;
    std::map<std::uint32_t, std::uint64_t> outputBits;
    std::size_t i = 0;
    while (i < size) {
        const std::uint8_t prefix = data[i];
        if (prefix == 0xFE) {  // long item: size, tag, data
            if (i + 3 > size)
                return false;
            const std::size_t dataSize = data[i + 1];
            if (i + 3 + dataSize > size)
                return false;
            i += 3 + dataSize;
            continue;
        }
        int itemSize = prefix & 0x03;
        if (itemSize == 3)
            itemSize = 4;
        if (i + 1 + static_cast<std::size_t>(itemSize) > size)
            return false;
        const int type = (prefix >> 2) & 0x03;
        const int tag = (prefix >> 4) & 0x0F;
        const std::uint32_t value = ItemValue(data + i + 1, itemSize);
        const std::uint64_t bits = static_cast<std::uint64_t>(state.reportSize) * state.reportCount;
        if (type == 0) {  // main
            if (tag == 0x8)
                inputBits[state.reportId] += bits;
            else if (tag == 0x9)
                outputBits[state.reportId] += bits;
        } else if (type == 1) {  // global
            switch (tag) {
            case 0x7: state.reportSize = value; break;
            case 0x8: state.reportId = value; break;
            case 0x9: state.reportCount = value; break;
            case 0xA: stack.push_back(state); break;
            case 0xB:
                if (stack.empty())
                    return false;
                state = stack.back();
                stack.pop_back();
                break;
            default: break;
            }
        }
        i += 1 + static_cast<std::size_t>(itemSize);
    }
    *inputLength = LengthOf(inputBits);
    *outputLength = LengthOf(outputBits);
    return true;
}

std::u16string Utf8ToUtf16(const std::string& text)
{
    std::u16string out;
    std::size_t i = 0;
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    while (i < text.size()) {
        const unsigned char c = byte(i);
        std::uint32_t cp = 0xFFFD;
        int extra = 0;
        if (c < 0x80) {
            cp = c;
        } else if ((c & 0xE0) == 0xC0) {
            cp = c & 0x1F;
            extra = 1;
        } else if ((c & 0xF0) == 0xE0) {
            cp = c & 0x0F;
            extra = 2;
        } else if ((c & 0xF8) == 0xF0) {
            cp = c & 0x07;
            extra = 3;
        } else {
            ++i;
            out.push_back(0xFFFD);
            continue;
        }
        bool ok = true;
        for (int k = 1; ok && k <= extra; ++k) {
            if (i + k >= text.size() || (byte(i + k) & 0xC0) != 0x80)
                ok = false;
            else
                cp = (cp << 6) | (byte(i + k) & 0x3F);
        }
        if (!ok) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        i += 1 + extra;
        if (cp >= 0x10000 && cp <= 0x10FFFF) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            out.push_back(0xFFFD);
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

std::vector<HidrawEntry> ListHidrawEntries(const std::string& sysfsRoot, const std::string& devRoot)
{
    std::vector<HidrawEntry> entries;
    const std::string classDir = sysfsRoot + "/class/hidraw";
    DIR* dir = ::opendir(classDir.c_str());
    if (!dir)
        return entries;
    while (dirent* d = ::readdir(dir)) {
        const std::string name = d->d_name;
        if (name.rfind("hidraw", 0) != 0 || name.size() == 6)
            continue;
        const std::string digits = name.substr(6);
        if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }) ||
            digits.size() > 9)
            continue;
        HidrawEntry entry;
        entry.number = std::atoi(digits.c_str());
        entry.nodePath = devRoot + "/" + name;
        if (!RealPath(classDir + "/" + name + "/device", &entry.hidDevicePath))
            continue;
        std::string uevent;
        if (!ReadFile(entry.hidDevicePath + "/uevent", &uevent))
            continue;
        bool haveId = false;
        std::istringstream lines(uevent);
        std::string line;
        while (std::getline(lines, line)) {
            line = TrimLine(line);
            if (line.rfind("HID_ID=", 0) == 0)
                haveId = ParseHidId(line.substr(7), &entry);
            else if (line.rfind("HID_UNIQ=", 0) == 0)
                entry.uniq = line.substr(9);
        }
        if (!haveId)
            continue;
        entries.push_back(entry);
    }
    ::closedir(dir);
    std::sort(entries.begin(), entries.end(),
              [](const HidrawEntry& a, const HidrawEntry& b) { return a.number < b.number; });
    return entries;
}

bool ReadEntrySerial(const HidrawEntry& entry, std::u16string* serial)
{
    if (!entry.uniq.empty()) {
        *serial = Utf8ToUtf16(entry.uniq);
        return true;
    }
    // The USB device is the nearest ancestor that has both idVendor and serial.
    std::string dir = entry.hidDevicePath;
    while (true) {
        const std::size_t slash = dir.find_last_of('/');
        if (slash == std::string::npos || slash == 0)
            return false;
        dir.erase(slash);
        if (IsFile(dir + "/idVendor") && IsFile(dir + "/serial")) {
            std::string text;
            if (!ReadFile(dir + "/serial", &text))
                return false;
            text = TrimLine(text);
            if (text.empty())
                return false;
            *serial = Utf8ToUtf16(text);
            return true;
        }
    }
}

int OpenNodeExclusive(const std::string& path, bool writable)
{
    const int fd = ::open(path.c_str(), (writable ? O_RDWR : O_RDONLY) | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    // flock binds every separately opened descriptor, so a second open in this process is refused too.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

ReadResult ReadNodeReport(int fd, int inputLength, std::uint8_t* report, int timeoutMs)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    pollfd p{fd, POLLIN, 0};
    int ready = 0;
    while (true) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        ready = ::poll(&p, 1, static_cast<int>(std::max<long long>(left, 0)));
        if (ready >= 0 || errno != EINTR)
            break;
    }
    if (ready < 0)
        return ReadResult::Failed;
    if (ready == 0)
        return ReadResult::Timeout;
    if (p.revents & (POLLERR | POLLHUP | POLLNVAL))
        return ReadResult::Failed;
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(std::max(inputLength, 65)));
    const ssize_t n = ::read(fd, buffer.data(), buffer.size());
    if (n < 0)
        return (errno == EAGAIN || errno == EINTR) ? ReadResult::Timeout : ReadResult::Failed;
    if (n == 0)
        return ReadResult::Failed;
    std::memset(report, 0, 65);
    std::memcpy(report + 1, buffer.data(), static_cast<std::size_t>(std::min<ssize_t>(n, 64)));
    return ReadResult::Ok;
}

bool WriteNodeReport(int fd, const std::uint8_t* report)
{
    std::uint8_t out[65];
    std::memcpy(out, report, sizeof out);
    out[0] = 0;  // hidraw's report number for unnumbered reports
    return ::write(fd, out, sizeof out) == static_cast<ssize_t>(sizeof out);
}

void FlushNode(int fd, int inputLength)
{
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(std::max(inputLength, 65)));
    // A streaming device could keep this loop busy forever; bound it.
    for (int i = 0; i < 1024; ++i) {
        if (::read(fd, buffer.data(), buffer.size()) <= 0)
            break;
    }
}

bool NodeControl::RawInfo(int fd, std::uint32_t* bus, std::uint16_t* vendorId, std::uint16_t* productId)
{
    hidraw_devinfo info{};
    if (::ioctl(fd, HIDIOCGRAWINFO, &info) < 0)
        return false;
    *bus = info.bustype;
    *vendorId = static_cast<std::uint16_t>(info.vendor);
    *productId = static_cast<std::uint16_t>(info.product);
    return true;
}

bool NodeControl::ReportDescriptor(int fd, std::vector<std::uint8_t>* descriptor)
{
    int size = 0;
    if (::ioctl(fd, HIDIOCGRDESCSIZE, &size) < 0 || size < 0 || size > HID_MAX_DESCRIPTOR_SIZE)
        return false;
    hidraw_report_descriptor rd{};
    rd.size = static_cast<std::uint32_t>(size);
    if (::ioctl(fd, HIDIOCGRDESC, &rd) < 0)
        return false;
    descriptor->assign(rd.value, rd.value + size);
    return true;
}

HidrawBackend::HidrawBackend(std::string sysfsRoot, std::string devRoot, NodeControl* control)
    : sysfsRoot_(std::move(sysfsRoot)), devRoot_(std::move(devRoot)), control_(control ? control : &defaultControl_)
{
}

std::vector<std::string> HidrawBackend::Enumerate()
{
    entries_.clear();
    std::vector<std::string> paths;
    for (const HidrawEntry& entry : ListHidrawEntries(sysfsRoot_, devRoot_)) {
        entries_[entry.nodePath] = entry;
        paths.push_back(entry.nodePath);
    }
    return paths;
}

std::unique_ptr<HidPort> HidrawBackend::Open(const std::string& path, bool writable)
{
    const auto it = entries_.find(path);
    if (it == entries_.end())
        return nullptr;
    const int fd = OpenNodeExclusive(path, writable);
    if (fd < 0)
        return nullptr;
    return std::make_unique<HidrawPort>(fd, it->second, control_);
}

}  // namespace vexhid
