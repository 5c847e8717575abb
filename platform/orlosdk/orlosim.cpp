// The simulated chart scanner: connection, jobs, one event queue delivered one event at a time, sheets from the
// feeder folder or from tests, recognition and measurement through the shared print model.

#include "orlo_internal.h"

#include "simprint.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using namespace orlosim;

namespace {

constexpr int kNotConnected = 1003;
constexpr int kBadArgument = 1005;
constexpr int kWrongState = 1006;

// Swatch colours of the fourteen reference tiles, two strips of seven.
constexpr uint8_t kTileRgb[14][3] = {{255, 255, 255}, {221, 221, 221}, {147, 147, 147}, {140, 140, 140},
                                     {71, 71, 71},    {148, 74, 75},   {255, 0, 0},     {255, 165, 0},
                                     {255, 255, 0},   {0, 128, 0},     {87, 136, 72},   {0, 255, 255},
                                     {0, 0, 128},     {0, 0, 0}};

struct Event {
    int code = 0, value = 0, count = 0;
    bool runStep = false; // an event of the measuring walk: the next one follows after it was delivered
};

struct Job {
    char name[16] = {};
    int sheets = 0;
};

struct FileStamp {
    uintmax_t size = 0;
    fs::file_time_type modified;
    bool operator==(const FileStamp& o) const { return size == o.size && modified == o.modified; }
};

// Moves a file into the folder of that name beside it, numbering the name rather than replacing an earlier file.
bool MoveAside(const fs::path& file, const char* folder)
{
    std::error_code ec;
    const fs::path dir = file.parent_path() / folder;
    fs::create_directories(dir, ec);
    fs::path target = dir / file.filename();
    for (int n = 1; n < 1000; ++n) {
        if (!fs::exists(target, ec) && !ec) {
            fs::rename(file, target, ec);
            return !ec;
        }
        target = dir / (file.stem().string() + "-" + std::to_string(n) + file.extension().string());
    }
    return false;
}

struct Sim {
    std::mutex m;
    std::condition_variable cv;
    OrloEventHandler handler = nullptr;
    bool connected = false;
    int delivery = OrloSim_Thread;
    std::deque<Event> queue;
    bool delivering = false;
    std::thread::id deliveringThread;
    std::thread worker;
    bool workerStop = false;

    std::vector<OrloDeviceEntry> devices;
    OrloSystemInfo info{};
    int forced[4] = {-1, -1, -1, -1}; // device state, state flag, calibration due, state
    char netName[16] = {};
    int32_t dhcp = 1;
    uint8_t address[4] = {192, 168, 0, 10}, mask[4] = {255, 255, 255, 0}, gateway[4] = {192, 168, 0, 1};
    std::map<int32_t, Job> jobs;
    CalcOptions options;

    std::deque<std::shared_ptr<SheetImage>> pending;
    std::shared_ptr<SheetImage> current;  // taken, run in progress
    std::shared_ptr<SheetImage> captured; // last captured sheet
    bool runActive = false;
    // Taken, capture not started yet: no measurement runs, so an exit (the program's ending of the sheet
    // before, which may come after event 3 was delivered) leaves it waiting. A stop still ejects it.
    bool sheetWaiting = false;
    QrRead qr;
    uint8_t record[ORLO_SHEET_RECORD_SIZE] = {};
    bool failCapture = false;

    bool recognised = false;
    int32_t resultCode = 0;
    OrloLayoutRecord result{};
    std::vector<uint8_t> resultImage;
    std::vector<OrloMeasurePoint> points;
    int aperture = 0;
    bool measuring = false;
    int measured = 0;
    std::vector<std::array<float, ORLO_BLOCK_SIZE>> blocks;
    int patchesPerEvent = 4;
    bool latePatch = false;

    std::map<std::string, int> failNext;
    int premeasurementError = 0;
    bool nextRecognition = false;
    int32_t nextCode = 0;
    bool nextLayoutGiven = false;
    OrloLayoutRecord nextLayout{};
    bool nextPointsGiven = false;
    std::vector<OrloMeasurePoint> nextPoints;
    int tileStrip = -1;
    int nextStrip = 0;

    std::vector<std::string> log;
    std::string logText;
    std::string feeder;
    std::map<fs::path, FileStamp> feederSeen;  // as the last look found them
    std::map<fs::path, FileStamp> feederStuck; // could not be moved out: left alone while unchanged
    bool polling = false;

    Sim() { Defaults(); }
    ~Sim() { StopWorker(); }

    void Defaults()
    {
        devices.assign(1, OrloDeviceEntry{});
        devices[0].kind = 1;
        std::memcpy(devices[0].name, "usb0", 4);
        std::memcpy(devices[0].identity, "ORS00001", 8);
        info = OrloSystemInfo{};
        std::memcpy(info.maker, "Orlo", 4);
        std::memcpy(info.model, "ORLO-SIM", 8);
        info.firmware[0] = 1;
        std::memcpy(info.serial, "ORS00001", 8);
        std::fill_n(forced, 4, -1);
        std::memset(netName, 0, sizeof netName);
        std::memcpy(netName, "ORLO", 4);
        const char* delivery_ = std::getenv("ORLO_SIM_DELIVERY");
        delivery = delivery_ && std::string(delivery_) == "manual" ? OrloSim_Manual : OrloSim_Thread;
        const char* feeder_ = std::getenv("ORLO_SIM_FEEDER");
        if (feeder_ && *feeder_) {
            feeder = feeder_;
        } else {
            const char* xdg = std::getenv("XDG_DATA_HOME");
            const char* home = std::getenv("HOME");
            std::string base = xdg && *xdg ? xdg : std::string(home ? home : ".") + "/.local/share";
            feeder = base + "/VELMAR OSTRAND/Varemo/OrloFeeder";
        }
    }

    void StopWorker()
    {
        std::unique_lock<std::mutex> lk(m);
        workerStop = true;
        cv.notify_all();
        if (worker.joinable() && worker.get_id() != std::this_thread::get_id()) {
            std::thread t = std::move(worker);
            lk.unlock();
            t.join();
        }
    }

    // Caller holds the lock. Blocks until a callback running on another thread has returned.
    void WaitForCallback(std::unique_lock<std::mutex>& lk)
    {
        cv.wait(lk, [this] { return !delivering || deliveringThread == std::this_thread::get_id(); });
    }

    void Enqueue(int code, int value, int count, bool runStep = false)
    {
        queue.push_back({code, value, count, runStep});
        cv.notify_all();
    }

    void TryTakeSheet()
    {
        if (!connected || runActive || pending.empty())
            return;
        current = pending.front();
        pending.pop_front();
        runActive = true;
        sheetWaiting = true;
        Enqueue(3, 0, 0);
    }

    bool RunInProgress() const { return runActive && !sheetWaiting; }

    void EndRun()
    {
        runActive = false;
        sheetWaiting = false;
        measuring = false;
        current.reset();
        Enqueue(10, 0, 0);
        Enqueue(1, 0, 0);
        TryTakeSheet();
    }

    OrloStatus Status() const
    {
        OrloStatus s{};
        s.deviceState = static_cast<uint8_t>(forced[0] >= 0 ? forced[0] : (runActive ? 2 : 0));
        s.stateFlag = static_cast<uint8_t>(forced[1] >= 0 ? forced[1] : 0);
        s.calibrationDue = static_cast<uint8_t>(forced[2] >= 0 ? forced[2] : 0);
        s.state = forced[3] >= 0 ? forced[3] : 1;
        return s;
    }

    // Mean ink over the measuring disc around a point.
    void MeasurePoint(const OrloMeasurePoint& p, float block[ORLO_BLOCK_SIZE]) const
    {
        static const int kRadius[5] = {0, 150, 75, 200, 300};
        int radius = kRadius[std::clamp(aperture, 0, 4)];
        if (aperture == 0) {
            const int a = std::clamp(p.area, 0, ORLO_MAX_AREAS - 1);
            radius = static_cast<int>(0.4 * std::min(result.areaGeometry[a][2], result.areaGeometry[a][3]));
        }
        simprint::Inks inks;
        const SheetImage* s = current ? current.get() : captured.get();
        if (s && !s->ink.empty()) {
            const int cx = MmToPx(p.x), cy = MmToPx(p.y), r = std::max(0, MmToPx(radius));
            double sum[4] = {0, 0, 0, 0};
            long long n = 0;
            for (int y = std::max(0, cy - r); y <= std::min(s->height - 1, cy + r); ++y) {
                for (int x = std::max(0, cx - r); x <= std::min(s->width - 1, cx + r); ++x) {
                    if ((x - cx) * (x - cx) + (y - cy) * (y - cy) > r * r)
                        continue;
                    const uint8_t* ink = &s->ink[(static_cast<size_t>(y) * s->width + x) * 4];
                    for (int c = 0; c < 4; ++c)
                        sum[c] += ink[c];
                    ++n;
                }
            }
            if (n > 0) {
                inks.c = static_cast<float>(sum[0] / n / 255.0);
                inks.m = static_cast<float>(sum[1] / n / 255.0);
                inks.y = static_cast<float>(sum[2] / n / 255.0);
                inks.k = static_cast<float>(sum[3] / n / 255.0);
            }
        }
        simprint::MakeBlock(inks, block);
    }

    void MeasureUpTo(int count)
    {
        for (; measured < count; ++measured) {
            blocks.emplace_back();
            MeasurePoint(points[static_cast<size_t>(measured)], blocks.back().data());
        }
    }

    // The measuring walk: event 11 after every k patches, then event 9.
    void NextRunEvent()
    {
        const int n = static_cast<int>(points.size());
        if (measured >= n) {
            measuring = false;
            Enqueue(9, 0, n);
            return;
        }
        MeasureUpTo(std::min(n, measured + std::max(1, patchesPerEvent)));
        Enqueue(11, 0, measured, true);
    }

    // Delivers the next event; the lock is released while the handler runs.
    bool DeliverOne(std::unique_lock<std::mutex>& lk)
    {
        if (queue.empty() || delivering)
            return false;
        const Event e = queue.front();
        queue.pop_front();
        const OrloEventHandler h = handler;
        delivering = true;
        deliveringThread = std::this_thread::get_id();
        lk.unlock();
        if (h)
            h(e.code, e.value, nullptr, e.count);
        lk.lock();
        delivering = false;
        deliveringThread = std::thread::id();
        if (e.runStep && measuring && runActive)
            NextRunEvent();
        cv.notify_all();
        return true;
    }

    // Page files in name order. Names starting with "." or ending in ".part" (no page extension) are files
    // still being written.
    std::vector<std::pair<fs::path, FileStamp>> FeederFiles() const
    {
        std::vector<std::pair<fs::path, FileStamp>> files;
        std::error_code listEc;
        for (fs::directory_iterator it(feeder, listEc), end; !listEc && it != end; it.increment(listEc)) {
            const fs::directory_entry& entry = *it;
            std::error_code ec;
            if (!entry.is_regular_file(ec) || entry.path().filename().string().front() == '.')
                continue;
            std::string ext = entry.path().extension().string();
            std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
            if (ext != ".tif" && ext != ".tiff" && ext != ".png")
                continue;
            FileStamp stamp;
            stamp.size = entry.file_size(ec);
            if (!ec)
                stamp.modified = entry.last_write_time(ec);
            if (!ec)
                files.emplace_back(entry.path(), stamp);
        }
        std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        return files;
    }

    // One look into the feeder. A page is complete once its size and time are those of the look before; the
    // first complete one is taken when the scanner is free. Returns 1 when a file was taken in.
    int PollFeeder(std::unique_lock<std::mutex>& lk)
    {
        if (!connected || polling)
            return 0;
        std::map<fs::path, FileStamp> seen;
        fs::path file;
        FileStamp stamp;
        for (const auto& [path, now] : FeederFiles()) {
            seen[path] = now;
            const auto before = feederSeen.find(path);
            const auto stuck = feederStuck.find(path);
            if (file.empty() && before != feederSeen.end() && before->second == now &&
                (stuck == feederStuck.end() || !(stuck->second == now))) {
                file = path;
                stamp = now;
            }
        }
        feederSeen = std::move(seen);
        if (file.empty() || runActive || !pending.empty())
            return 0;
        polling = true;
        lk.unlock();
        std::shared_ptr<SheetImage> sheet;
        bool moved = false;
        try { // a file that makes this throw stays where it is, not tried again unchanged
            sheet = std::make_shared<SheetImage>();
            if (!LoadSheetFile(file.string(), *sheet)) {
                *sheet = SheetImage();
                sheet->readable = false;
            }
            moved = MoveAside(file, sheet->readable ? "taken" : "rejected");
        } catch (...) {
            sheet.reset();
        }
        lk.lock();
        polling = false;
        if (!moved)
            feederStuck[file] = stamp;
        if (!sheet)
            return 0;
        pending.push_back(sheet);
        TryTakeSheet();
        return 1;
    }

    void WorkerLoop()
    {
        std::unique_lock<std::mutex> lk(m);
        auto nextPoll = std::chrono::steady_clock::now();
        while (!workerStop) {
            if (!queue.empty() && !delivering) {
                DeliverOne(lk);
                continue;
            }
            if (std::chrono::steady_clock::now() >= nextPoll) {
                try { // whatever a page file does ends here, not in std::terminate
                    PollFeeder(lk);
                } catch (...) {
                }
                nextPoll = std::chrono::steady_clock::now() + std::chrono::milliseconds(250);
                continue;
            }
            cv.wait_until(lk, nextPoll, [this] { return workerStop || (!queue.empty() && !delivering); });
        }
    }

    void StartWorker(std::unique_lock<std::mutex>& lk)
    {
        if (delivery != OrloSim_Thread)
            return;
        if (worker.joinable()) {
            if (!workerStop)
                return;
            if (worker.get_id() != std::this_thread::get_id()) {
                std::thread t = std::move(worker);
                lk.unlock();
                t.join();
                lk.lock();
            } else {
                workerStop = false; // restarted from inside its own callback: the loop goes on
                return;
            }
        }
        workerStop = false;
        worker = std::thread([this] { WorkerLoop(); });
    }

    // Called with the lock held from inside a callback or from the program.
    void StopWorkerLocked(std::unique_lock<std::mutex>& lk)
    {
        workerStop = true;
        cv.notify_all();
        if (worker.joinable() && worker.get_id() != std::this_thread::get_id()) {
            std::thread t = std::move(worker);
            lk.unlock();
            t.join();
            lk.lock();
        }
    }

    int Enter(const char* name, const std::string& args)
    {
        log.push_back(std::string(name) + "(" + args + ")");
        const auto it = failNext.find(name);
        if (it == failNext.end())
            return 0;
        const int code = it->second;
        failNext.erase(it);
        return code;
    }
};

Sim& S()
{
    static Sim sim;
    return sim;
}

std::string Join(std::initializer_list<long long> values)
{
    std::string s;
    for (long long v : values) {
        if (!s.empty())
            s += ',';
        s += std::to_string(v);
    }
    return s;
}

#define ORLO_ENTER(name, args)                                  \
    Sim& sim = S();                                             \
    std::unique_lock<std::mutex> lk(sim.m);                     \
    if (const int injected = sim.Enter(name, args))             \
        return injected;

#define ORLO_NEED_CONNECTION  \
    if (!sim.connected)       \
        return kNotConnected;

// A scripted recognition replaces what the finder found.
void ApplyScriptedRecognition(Sim& sim, int32_t& code)
{
    if (!sim.nextRecognition)
        return;
    sim.nextRecognition = false;
    code = sim.nextCode;
    if (sim.nextLayoutGiven) {
        sim.result = sim.nextLayout;
        LayoutPoints(sim.result, sim.points);
    }
    if (sim.nextPointsGiven)
        sim.points = sim.nextPoints;
}

// The layout in sim.result becomes the current recognition result: the page image and one clip rectangle per
// area go with it, and no patch of it is measured yet.
void KeepRecognitionResult(Sim& sim, const SheetImage& s, int32_t code)
{
    sim.resultCode = code;
    sim.resultImage = s.grey;
    sim.result.flag = 1;
    sim.result.image = {s.width, s.height, 8, sim.resultImage.data()};
    const int areas = std::clamp(sim.result.areaCount, 0, ORLO_MAX_AREAS);
    sim.result.clipCount = areas;
    for (int a = 0; a < ORLO_MAX_AREAS; ++a) {
        int32_t* clip = sim.result.clips[a];
        std::fill_n(clip, 8, 0);
        if (a >= areas)
            continue;
        // Forced layouts may carry any numbers: compute wide and clamp.
        const int32_t* g = sim.result.areaGeometry[a];
        const int64_t rows = sim.result.areaCounts[a][0], cols = sim.result.areaCounts[a][1];
        const auto px = [](int64_t hundredths) {
            return MmToPx(static_cast<int>(std::clamp<int64_t>(hundredths, -2000000, 2000000)));
        };
        clip[0] = a;
        clip[1] = px(g[0]);
        clip[2] = px(g[1]);
        clip[3] = px(g[0] + (cols - 1) * g[4] + g[2]);
        clip[4] = px(g[1] + (rows - 1) * g[5] + g[3]);
    }
    sim.recognised = true;
    sim.measured = 0;
    sim.blocks.clear();
}

} // namespace

extern "C" {

int Orlo_RegisterDeviceEventHandler(OrloEventHandler handler)
{
    ORLO_ENTER("Orlo_RegisterDeviceEventHandler", handler ? "handler" : "null")
    if (!handler) {
        sim.WaitForCallback(lk);
        sim.handler = nullptr;
        sim.StopWorkerLocked(lk);
        return 0;
    }
    sim.handler = handler;
    if (sim.connected)
        sim.StartWorker(lk);
    return 0;
}

int Orlo_GetDeviceList(OrloDeviceEntry* entries, int32_t* count, int capacity)
{
    ORLO_ENTER("Orlo_GetDeviceList", std::to_string(capacity))
    if (!entries || !count || capacity < 0)
        return kBadArgument;
    const int n = std::min(capacity, static_cast<int>(sim.devices.size()));
    std::copy_n(sim.devices.begin(), n, entries);
    *count = n;
    return 0;
}

int Orlo_Connect(const OrloDeviceEntry* record, const char* clientName)
{
    std::string name;
    if (record)
        name.assign(record->name, strnlen(record->name, sizeof record->name));
    Sim& sim = S();
    std::unique_lock<std::mutex> lk(sim.m);
    // 1901 connects as well: another computer holds a connection too.
    const int injected = sim.Enter("Orlo_Connect", record ? std::to_string(record->kind) + "," + name : "null");
    if (injected != 0 && injected != 1901)
        return injected;
    (void)clientName;
    if (!record)
        return kBadArgument;
    if (sim.connected)
        return kWrongState;
    const bool known = std::any_of(sim.devices.begin(), sim.devices.end(), [&](const OrloDeviceEntry& d) {
        return d.kind == record->kind &&
               (name.empty() || name == std::string(d.name, strnlen(d.name, sizeof d.name)));
    });
    if (!known)
        return 1002;
    sim.connected = true;
    sim.Enqueue(1, 0, 0);
    sim.TryTakeSheet();
    if (sim.handler)
        sim.StartWorker(lk);
    return injected;
}

int Orlo_Disconnect(void)
{
    ORLO_ENTER("Orlo_Disconnect", "")
    ORLO_NEED_CONNECTION
    sim.WaitForCallback(lk);
    sim.connected = false;
    sim.queue.clear();
    sim.runActive = false;
    sim.sheetWaiting = false;
    sim.measuring = false;
    sim.current.reset();
    sim.StopWorkerLocked(lk);
    return 0;
}

int Orlo_GetSystemInfo(OrloSystemInfo* info)
{
    ORLO_ENTER("Orlo_GetSystemInfo", "")
    ORLO_NEED_CONNECTION
    if (!info)
        return kBadArgument;
    *info = sim.info;
    return 0;
}

int Orlo_GetStatus(OrloStatus* status)
{
    ORLO_ENTER("Orlo_GetStatus", "")
    ORLO_NEED_CONNECTION
    if (!status)
        return kBadArgument;
    *status = sim.Status();
    return 0;
}

int Orlo_RegisterJob(int32_t* job, const char name[16], int sheetCount, int reserved)
{
    ORLO_ENTER("Orlo_RegisterJob", Join({job ? *job : 0, sheetCount, reserved}))
    ORLO_NEED_CONNECTION
    if (!job || !name || sheetCount < 1)
        return kBadArgument;
    Job j;
    std::memcpy(j.name, name, 16);
    j.sheets = sheetCount;
    sim.jobs[*job] = j;
    return 0;
}

int Orlo_DeleteJob(const int32_t* job)
{
    ORLO_ENTER("Orlo_DeleteJob", std::to_string(job ? *job : 0))
    ORLO_NEED_CONNECTION
    if (!job || !sim.jobs.erase(*job))
        return kBadArgument;
    return 0;
}

int Orlo_StartMeasurement2(int option, int one)
{
    ORLO_ENTER("Orlo_StartMeasurement2", Join({option, one}))
    ORLO_NEED_CONNECTION
    if (!((option >= 0 && option <= 4) || (option >= 8 && option <= 12)))
        return kBadArgument;
    sim.aperture = option & 7;
    if (sim.runActive && sim.recognised && !sim.measuring && sim.measured == 0 && sim.blocks.empty()) {
        sim.measuring = true;
        sim.NextRunEvent();
    }
    return 0;
}

int Orlo_StartCapture(void)
{
    ORLO_ENTER("Orlo_StartCapture", "")
    ORLO_NEED_CONNECTION
    if (!sim.runActive || !sim.current)
        return kWrongState;
    sim.sheetWaiting = false;
    const std::shared_ptr<SheetImage> taken = sim.current;
    SheetImage& sheet = *taken;
    if (sheet.readable) {
        try {
            MakeGrey(sheet);
        } catch (const std::bad_alloc&) {
            sheet = SheetImage();
            sheet.readable = false;
        }
    }
    sim.captured = sim.current;
    sim.recognised = false;
    sim.measured = 0;
    sim.blocks.clear();
    std::memset(sim.record, 0, sizeof sim.record);
    lk.unlock(); // zbar takes a while on a full page
    QrRead qr = sheet.readable ? DecodeQr(sheet) : QrRead();
    lk.lock();
    sim.qr = qr;
    int job = 0;
    if (qr.found) {
        if (!ParseBarcodeText(qr.text, sim.record))
            std::memcpy(sim.record, qr.text.data(), std::min(qr.text.size(), sizeof sim.record));
        int32_t sheets = 0;
        std::memcpy(&sheets, sim.record + 24, 4);
        for (const auto& [number, j] : sim.jobs) {
            if (std::memcmp(j.name, sim.record + 8, 16) == 0 && j.sheets == sheets) {
                job = number;
                break;
            }
        }
    }
    sim.Enqueue(5, job, 0);
    return 0;
}

int Orlo_GetCaptureResult(int32_t* width, int32_t* height, int32_t* bitsPerPixel, OrloCaptureText* text,
                          OrloImage* image)
{
    ORLO_ENTER("Orlo_GetCaptureResult", text ? "text" : image ? "image" : "size")
    ORLO_NEED_CONNECTION
    if (!sim.captured)
        return kWrongState;
    const SheetImage& s = *sim.captured;
    if (width)
        *width = s.width;
    if (height)
        *height = s.height;
    if (bitsPerPixel)
        *bitsPerPixel = 8;
    if (image) {
        if (image->width != s.width || image->height != s.height || image->bitsPerPixel != 8 || !image->pixels)
            return kBadArgument;
        std::copy(s.grey.begin(), s.grey.end(), image->pixels);
    }
    if (text) {
        std::memset(text->record, 0, sizeof text->record);
        if (sim.failCapture || !s.readable) {
            text->status = 1;
            std::memcpy(text->record, "FAIL", 4);
        } else if (sim.qr.found) {
            text->status = 0;
            std::memcpy(text->record, sim.record, sizeof text->record);
        }
    }
    return 0;
}

int Orlo_StartPatchRecognition(int job, int page, const OrloLayoutRecord* layout, int mode,
                               const OrloColorCheckList* colours)
{
    ORLO_ENTER("Orlo_StartPatchRecognition", std::to_string(job) + "," + std::to_string(page) + "," +
                                                 (layout ? "layout" : "null") + "," + std::to_string(mode) + "," +
                                                 (colours ? "colours" : "null"))
    ORLO_NEED_CONNECTION
    if (!sim.captured || !sim.runActive)
        return kWrongState;
    const SheetImage& s = *sim.captured;
    int32_t code = 0;
    const int sheetW = PxToMm(s.width), sheetH = PxToMm(s.height);
    if (layout && std::abs(layout->width - sheetW) <= 500 && std::abs(layout->height - sheetH) <= 500) {
        sim.result = *layout;
        LayoutPoints(sim.result, sim.points);
    } else {
        FindPatches(s, sim.qr, sim.result, sim.points);
    }
    if (colours && colours->count > 0) {
        const bool rgb = colours->flag == 1;
        const float range = rgb ? 255.0f : 100.0f;
        const OrloColorCheckEntry* entries = OrloColorCheckEntriesConst(colours);
        int mismatched = 0;
        for (int i = 0; i < colours->count; ++i) {
            const OrloColorCheckEntry& e = entries[i];
            auto p = std::find_if(sim.points.begin(), sim.points.end(), [&](const OrloMeasurePoint& q) {
                return q.area == e.area && q.row == e.row && q.column == e.column;
            });
            if (p == sim.points.end()) {
                ++mismatched;
                continue;
            }
            const int x = std::clamp(MmToPx(p->x), 0, s.width - 1), y = std::clamp(MmToPx(p->y), 0, s.height - 1);
            const size_t at = static_cast<size_t>(y) * s.width + x;
            for (int c = 0; c < 3; ++c) {
                const float seen = rgb ? s.rgb[at * 3 + c] : s.ink[at * 4 + c] * 100.0f / 255.0f;
                if (std::fabs(seen - e.value[c]) > 0.2f * range) {
                    ++mismatched;
                    break;
                }
            }
        }
        if (mismatched * 10 > colours->count)
            code = 16384;
    }
    ApplyScriptedRecognition(sim, code);
    KeepRecognitionResult(sim, s, code);
    sim.Enqueue(7, 0, 0);
    return 0;
}

int Orlo_GetPatchRecognitionResult2(int32_t* resultCode, int reserved, OrloLayoutRecord* out)
{
    ORLO_ENTER("Orlo_GetPatchRecognitionResult2", std::to_string(reserved))
    ORLO_NEED_CONNECTION
    if (!resultCode || !out)
        return kBadArgument;
    if (!sim.recognised)
        return kWrongState;
    *resultCode = sim.resultCode;
    *out = sim.result;
    return 0;
}

int Orlo_GetMeasurePoint(OrloMeasurePoint* points, int32_t* count)
{
    ORLO_ENTER("Orlo_GetMeasurePoint", std::to_string(count ? *count : 0))
    ORLO_NEED_CONNECTION
    if (!points || !count || *count < 0)
        return kBadArgument;
    if (!sim.recognised)
        return kWrongState;
    const int n = std::min(*count, static_cast<int32_t>(sim.points.size()));
    std::copy_n(sim.points.begin(), n, points);
    *count = n;
    return 0;
}

int Orlo_SetOption(int group, int value)
{
    ORLO_ENTER("Orlo_SetOption", Join({group, value}))
    switch (group) {
    case 0:
        if (value < 0 || value > 16)
            return kBadArgument;
        sim.options.condition = value;
        return 0;
    case 1:
        if (value < 0 || value > 16)
            return kBadArgument;
        sim.options.illuminant = value;
        return 0;
    case 2:
        if (value != 0 && value != 1)
            return kBadArgument;
        sim.options.observer = value;
        return 0;
    case 3:
        if (!((value >= 0 && value <= 7) || value == 11 || value == 12 || value == 15))
            return kBadArgument;
        sim.options.output = value;
        return 0;
    default:
        return kBadArgument;
    }
}

int Orlo_GetData(const int32_t selection[3], float* out, int count)
{
    ORLO_ENTER("Orlo_GetData", Join({selection ? selection[0] : -1, count}))
    ORLO_NEED_CONNECTION
    if (!selection || !out)
        return kBadArgument;
    const int i = selection[0];
    if (i < 0 || i >= sim.measured || i >= static_cast<int>(sim.blocks.size()))
        return kWrongState;
    const float* block = sim.blocks[static_cast<size_t>(i)].data();
    if (sim.options.output == 12 && count == ORLO_BLOCK_SIZE) {
        std::copy_n(block, ORLO_BLOCK_SIZE, out);
        return 0;
    }
    if (sim.options.output >= 0 && sim.options.output <= 2 && count == 3)
        return CalculateData(sim.options, out, 3, block, ORLO_BLOCK_SIZE);
    return kBadArgument;
}

int Orlo_CalculateData(float* out, int outCount, const float* input, int inputCount)
{
    ORLO_ENTER("Orlo_CalculateData", Join({outCount, inputCount}))
    const CalcOptions options = sim.options;
    lk.unlock();
    return CalculateData(options, out, outCount, input, inputCount);
}

int Orlo_StopMeasurement(unsigned char feedNext)
{
    ORLO_ENTER("Orlo_StopMeasurement", std::to_string(feedNext))
    ORLO_NEED_CONNECTION
    if (!sim.runActive)
        return 0;
    if (sim.measuring && sim.latePatch && sim.measured < static_cast<int>(sim.points.size())) {
        sim.MeasureUpTo(sim.measured + 1);
        sim.Enqueue(11, 0, sim.measured);
    }
    sim.EndRun();
    return 0;
}

int Orlo_ExitMeasurement(int reserved1, int reserved2)
{
    ORLO_ENTER("Orlo_ExitMeasurement", Join({reserved1, reserved2}))
    ORLO_NEED_CONNECTION
    if (sim.RunInProgress())
        sim.EndRun();
    return 0;
}

int Orlo_GetPatchRecogResult(char text[ORLO_SHEET_RECORD_SIZE], OrloLayoutRecord* out)
{
    ORLO_ENTER("Orlo_GetPatchRecogResult", "")
    ORLO_NEED_CONNECTION
    if (!text || !out)
        return kBadArgument;
    if (!sim.captured)
        return kWrongState;
    // A clip block of 1-50 regions keeps the finder inside them; 0 lets it look at the whole sheet.
    if (out->clipCount < 0 || out->clipCount > ORLO_MAX_AREAS)
        return kBadArgument;
    std::memcpy(text, sim.record, ORLO_SHEET_RECORD_SIZE);
    int32_t regions[ORLO_MAX_AREAS][8];
    std::memcpy(regions, out->clips, sizeof regions);
    const SheetImage& s = *sim.captured;
    FindPatches(s, sim.qr, sim.result, sim.points, regions, out->clipCount);
    int32_t code = 0;
    ApplyScriptedRecognition(sim, code);
    KeepRecognitionResult(sim, s, code);
    *out = sim.result;
    return 1902;
}

int Orlo_ClippingChart(int page)
{
    ORLO_ENTER("Orlo_ClippingChart", std::to_string(page))
    ORLO_NEED_CONNECTION
    return sim.captured ? 0 : kWrongState;
}

int Orlo_GetChartImage(OrloChartImage* out, int capacityBytes)
{
    ORLO_ENTER("Orlo_GetChartImage", std::to_string(capacityBytes))
    ORLO_NEED_CONNECTION
    if (!out || !out->pixels || capacityBytes <= 0)
        return kBadArgument;
    if (!sim.captured)
        return kWrongState;
    const SheetImage& s = *sim.captured;
    out->width = s.width;
    out->height = s.height;
    out->bitsPerPixel = 8;
    std::copy_n(s.grey.begin(), std::min<size_t>(s.grey.size(), static_cast<size_t>(capacityBytes)), out->pixels);
    int clips = 0;
    if (sim.recognised && out->clips) {
        clips = std::min({out->clipCapacity, sim.result.clipCount, ORLO_MAX_AREAS});
        for (int i = 0; i < clips; ++i) {
            const int32_t* c = sim.result.clips[i];
            out->clips[i] = {c[0], c[1], c[2], c[3], c[4]};
        }
    }
    out->clipCount = std::max(0, clips);
    return 0;
}

int Orlo_GetNetworkSetting(char name[16], int32_t* dhcp, uint8_t address[4], uint8_t mask[4], uint8_t gateway[4])
{
    ORLO_ENTER("Orlo_GetNetworkSetting", "")
    ORLO_NEED_CONNECTION
    if (!name || !dhcp || !address || !mask || !gateway)
        return kBadArgument;
    std::memcpy(name, sim.netName, 16);
    *dhcp = sim.dhcp;
    std::memcpy(address, sim.address, 4);
    std::memcpy(mask, sim.mask, 4);
    std::memcpy(gateway, sim.gateway, 4);
    return 0;
}

int Orlo_SetNetworkSetting(const char name[16], int32_t dhcp, const uint8_t address[4], const uint8_t mask[4],
                           const uint8_t gateway[4])
{
    ORLO_ENTER("Orlo_SetNetworkSetting", std::to_string(dhcp))
    ORLO_NEED_CONNECTION
    if (!name || !address || !mask || !gateway)
        return kBadArgument;
    std::memcpy(sim.netName, name, 16);
    sim.dhcp = dhcp;
    std::memcpy(sim.address, address, 4);
    std::memcpy(sim.mask, mask, 4);
    std::memcpy(sim.gateway, gateway, 4);
    return 0;
}

int Orlo_RegisterUserIlluminant(const float values[97])
{
    ORLO_ENTER("Orlo_RegisterUserIlluminant", "")
    if (!values)
        return kBadArgument;
    std::copy_n(values, 97, sim.options.userIlluminant);
    sim.options.hasUserIlluminant = true;
    return 0;
}

int Orlo_CreateBarcodeImage(const char* path, const uint8_t* sheetRecord, int level, int pixelsPerModule)
{
    ORLO_ENTER("Orlo_CreateBarcodeImage", Join({level, pixelsPerModule}))
    lk.unlock();
    if (!path || !sheetRecord || level < 0 || level > 3 || pixelsPerModule < 1 || pixelsPerModule > 100)
        return kBadArgument;
    std::vector<uint8_t> pixels;
    int side = 0;
    if (!EncodeQr(BarcodeText(sheetRecord), level, pixelsPerModule, pixels, side))
        return 1010;
    return WriteGreyTiff(path, pixels, side, side) ? 0 : 1011;
}

int Orlo_GetPremeasurementError(int reserved1, int reserved2)
{
    ORLO_ENTER("Orlo_GetPremeasurementError", Join({reserved1, reserved2}))
    ORLO_NEED_CONNECTION
    return sim.premeasurementError;
}

int JIG_TileMeasurement(float* blocks, int count)
{
    ORLO_ENTER("JIG_TileMeasurement", std::to_string(count))
    ORLO_NEED_CONNECTION
    if (!blocks || count != 7)
        return kBadArgument;
    if (sim.Status().state != 1)
        return kWrongState;
    const int strip = sim.tileStrip >= 0 ? sim.tileStrip : sim.nextStrip;
    for (int t = 0; t < 7; ++t) {
        const uint8_t* rgb = kTileRgb[strip * 7 + t];
        simprint::MakeBlock(simprint::InksFromRgb(rgb[0], rgb[1], rgb[2]), blocks + t * ORLO_BLOCK_SIZE);
    }
    if (sim.tileStrip < 0)
        sim.nextStrip ^= 1;
    return 0;
}

int JIG_CalculateDeltaE2000(float* out, const float* sampleLab, const float* standardLab)
{
    ORLO_ENTER("JIG_CalculateDeltaE2000", "")
    lk.unlock();
    return DeltaE2000(out, sampleLab, standardLab);
}

// ---- control ----

void OrloSim_Reset(void)
{
    Sim& sim = S();
    std::unique_lock<std::mutex> lk(sim.m);
    sim.WaitForCallback(lk);
    sim.handler = nullptr;
    sim.StopWorkerLocked(lk);
    sim.connected = false;
    sim.queue.clear();
    sim.jobs.clear();
    sim.options = CalcOptions();
    sim.pending.clear();
    sim.current.reset();
    sim.captured.reset();
    sim.runActive = sim.sheetWaiting = sim.recognised = sim.measuring = false;
    sim.qr = QrRead();
    std::memset(sim.record, 0, sizeof sim.record);
    sim.failCapture = false;
    sim.resultCode = 0;
    sim.result = OrloLayoutRecord{};
    sim.resultImage.clear();
    sim.points.clear();
    sim.blocks.clear();
    sim.measured = 0;
    sim.aperture = 0;
    sim.patchesPerEvent = 4;
    sim.latePatch = false;
    sim.failNext.clear();
    sim.premeasurementError = 0;
    sim.nextRecognition = sim.nextLayoutGiven = sim.nextPointsGiven = false;
    sim.tileStrip = -1;
    sim.nextStrip = 0;
    sim.log.clear();
    sim.feederSeen.clear();
    sim.feederStuck.clear();
    sim.Defaults();
}

void OrloSim_SetDelivery(int mode)
{
    Sim& sim = S();
    std::lock_guard<std::mutex> lk(sim.m);
    sim.delivery = mode == OrloSim_Manual ? OrloSim_Manual : OrloSim_Thread;
}

int OrloSim_DeliverPending(void)
{
    Sim& sim = S();
    std::unique_lock<std::mutex> lk(sim.m);
    int n = 0;
    while (sim.DeliverOne(lk))
        ++n;
    return n;
}

int OrloSim_DeliverOne(void)
{
    Sim& sim = S();
    std::unique_lock<std::mutex> lk(sim.m);
    return sim.DeliverOne(lk) ? 1 : 0;
}

int OrloSim_PendingEvents(void)
{
    Sim& sim = S();
    std::lock_guard<std::mutex> lk(sim.m);
    return static_cast<int>(sim.queue.size());
}

int OrloSim_InsertSheet(const OrloSimSheet* sheet)
{
    if (!sheet)
        return kBadArgument;
    auto image = std::make_shared<SheetImage>();
    if (!RenderSheet(*sheet, *image))
        return kBadArgument;
    Sim& sim = S();
    std::lock_guard<std::mutex> lk(sim.m);
    sim.pending.push_back(image);
    sim.TryTakeSheet();
    return 0;
}

int OrloSim_PollFeeder(void)
{
    Sim& sim = S();
    std::unique_lock<std::mutex> lk(sim.m);
    return sim.PollFeeder(lk);
}

int OrloSim_InsertSheetFile(const char* path)
{
    if (!path)
        return kBadArgument;
    auto image = std::make_shared<SheetImage>();
    if (!LoadSheetFile(path, *image)) {
        *image = SheetImage();
        image->readable = false;
    }
    Sim& sim = S();
    std::lock_guard<std::mutex> lk(sim.m);
    sim.pending.push_back(image);
    sim.TryTakeSheet();
    return image->readable ? 0 : kBadArgument;
}

void OrloSim_SetPatchesPerEvent(int patches)
{
    Sim& sim = S();
    std::lock_guard<std::mutex> lk(sim.m);
    sim.patchesPerEvent = std::max(1, patches);
}

void OrloSim_SetLatePatchAfterStop(int on)
{
    Sim& sim = S();
    std::lock_guard<std::mutex> lk(sim.m);
    sim.latePatch = on != 0;
}

void OrloSim_FailNext(const char* function, int code)
{
    if (!function)
        return;
    Sim& sim = S();
    std::lock_guard<std::mutex> lk(sim.m);
    sim.failNext[function] = code;
}

void OrloSim_RaiseEvent(int code, int value, int count)
{
    Sim& sim = S();
    std::lock_guard<std::mutex> lk(sim.m);
    if (code == 101)
        sim.forced[3] = 101;
    sim.Enqueue(code, value, count);
}

void OrloSim_SetNextRecognition(int resultCode, const OrloLayoutRecord* layout, const OrloMeasurePoint* points,
                                int pointCount)
{
    Sim& sim = S();
    std::lock_guard<std::mutex> lk(sim.m);
    sim.nextRecognition = true;
    sim.nextCode = resultCode;
    sim.nextLayoutGiven = layout != nullptr;
    if (layout)
        sim.nextLayout = *layout;
    sim.nextPointsGiven = points != nullptr;
    sim.nextPoints.assign(points, points ? points + std::max(0, pointCount) : points);
}

void OrloSim_SetCaptureFail(int on)
{
    Sim& sim = S();
    std::lock_guard<std::mutex> lk(sim.m);
    sim.failCapture = on != 0;
}

void OrloSim_SetPremeasurementError(int code)
{
    Sim& sim = S();
    std::lock_guard<std::mutex> lk(sim.m);
    sim.premeasurementError = code;
}

void OrloSim_SetDeviceList(const OrloDeviceEntry* entries, int count)
{
    Sim& sim = S();
    std::lock_guard<std::mutex> lk(sim.m);
    sim.devices.assign(entries, entries ? entries + std::max(0, count) : entries);
}

void OrloSim_SetSystemInfo(const OrloSystemInfo* info)
{
    if (!info)
        return;
    Sim& sim = S();
    std::lock_guard<std::mutex> lk(sim.m);
    sim.info = *info;
}

void OrloSim_ForceStatus(int deviceState, int stateFlag, int calibrationDue, int state)
{
    Sim& sim = S();
    std::lock_guard<std::mutex> lk(sim.m);
    sim.forced[0] = deviceState;
    sim.forced[1] = stateFlag;
    sim.forced[2] = calibrationDue;
    sim.forced[3] = state;
}

void OrloSim_SetTileStrip(int strip)
{
    Sim& sim = S();
    std::lock_guard<std::mutex> lk(sim.m);
    sim.tileStrip = strip == 0 || strip == 1 ? strip : -1;
}

const char* OrloSim_CallLog(void)
{
    Sim& sim = S();
    std::lock_guard<std::mutex> lk(sim.m);
    sim.logText.clear();
    for (const std::string& line : sim.log)
        sim.logText += line + "\n";
    return sim.logText.c_str();
}

void OrloSim_ClearCallLog(void)
{
    Sim& sim = S();
    std::lock_guard<std::mutex> lk(sim.m);
    sim.log.clear();
}

int OrloSim_BarcodeText(const uint8_t* sheetRecord, char* out, int capacity)
{
    if (!sheetRecord)
        return 0;
    const std::string text = BarcodeText(sheetRecord);
    if (out && capacity > 0) {
        const size_t n = std::min(text.size(), static_cast<size_t>(capacity - 1));
        std::memcpy(out, text.data(), n);
        out[n] = '\0';
    }
    return static_cast<int>(text.size());
}

} // extern "C"
