#include "sim_bus.h"

#include "hidraw_backend.h"
#include "libvexapi/lumet_protocol.h"
#include "sim_defaults.h"

#include <algorithm>
#include <cstring>

namespace vexhid::sim {

namespace {

struct LogRecord {
    VexSimLogEntry entry{};
    std::vector<std::uint8_t> payload;
};

struct Bus {
    bool configured = false;
    unsigned generation = 1;
    std::vector<Interface> interfaces;
    std::vector<Instrument> instruments;
    std::vector<LogRecord> log;
    std::map<std::uint8_t, Handler> commands;
};

Bus& TheBus();

void Log(int event, int interfaceIndex, int command, int reports, int status, const std::uint8_t* payload,
         std::size_t length)
{
    Bus& bus = TheBus();
    LogRecord r;
    r.entry.event = event;
    const Interface& itf = bus.interfaces[static_cast<std::size_t>(interfaceIndex)];
    r.entry.instrument = itf.instrument;
    r.entry.dataInterface = itf.data ? 1 : 0;
    r.entry.command = command;
    r.entry.reports = reports;
    r.entry.status = status;
    r.entry.payloadLength = static_cast<int>(length);
    if (payload)
        r.payload.assign(payload, payload + length);
    bus.log.push_back(std::move(r));
}

Instrument* FindInstrument(int index);

}  // namespace

Instrument* InstrumentAt(int index) { return FindInstrument(index); }

void QueueDataReport(Instrument& ins, const Report& report)
{
    TheBus().interfaces[static_cast<std::size_t>(ins.dataInterface)].queue.push_back(report);
}

namespace {

Instrument* FindInstrument(int index)
{
    Bus& bus = TheBus();
    if (index < 0 || index >= static_cast<int>(bus.instruments.size()))
        return nullptr;
    return &bus.instruments[static_cast<std::size_t>(index)];
}

void EnsureConfigured();

// ---- the command table ----

void RemoteModeCommand(Instrument& ins, const Request& rq, Reply* rp)
{
    if (rq.data[0] == 0) {
        rp->data = {0, static_cast<std::uint8_t>(ins.remoteMode)};
    } else if (rq.data[0] == 1 && rq.data[1] <= 1) {
        ins.remoteMode = rq.data[1];
    } else {
        rp->status = lumet::kStatusRefused;
    }
}

int BlockSize(int block)
{
    switch (block) {
    case 0: return lumet::kInfoBlockSize;
    case 1: return lumet::kFactoryBlockSize;
    case 3: return lumet::kCalibrationBlockSize;
    default: return -1;
    }
}

void MemoryBlockCommand(Instrument& ins, const Request& rq, Reply* rp)
{
    const int op = rq.data[0];
    const int block = rq.data[1];
    if (block > 3) {
        rp->status = lumet::kStatusRefused;
        return;
    }
    if (op == 0 || op == 2) {
        rp->data = {rq.data[0], rq.data[1], 0, 0};
        if (block == 2) {
            const std::uint32_t asked = GetBe32(&rq.data[lumet::kBlockReadLengthOffset]);
            rp->data.resize(4 + std::min<std::uint32_t>(asked, lumet::kBlock2MaxSize), 0);
        } else {
            const auto& b = ins.blocks[block];
            rp->data.insert(rp->data.end(), b.begin(), b.end());
        }
    } else if (op == 1) {
        const int size = BlockSize(block);
        if (size < 0 || static_cast<int>(rq.data.size()) < 4 + size) {
            rp->status = lumet::kStatusRefused;
            return;
        }
        ins.blocks[block].assign(rq.data.begin() + 4, rq.data.begin() + 4 + size);
    } else if (op != 3 && op != 4) {
        rp->status = lumet::kStatusRefused;
    }
}

int StoredCount(const Instrument& ins)
{
    return ins.storedCountOverride >= 0 ? ins.storedCountOverride : static_cast<int>(ins.stored.size());
}

void Renumber(Instrument& ins)
{
    for (std::size_t i = 0; i < ins.stored.size(); ++i)
        PutBe16(&ins.stored[i][2], static_cast<std::uint16_t>(i + 1));
}

void StoredRecordCommand(Instrument& ins, const Request& rq, Reply* rp)
{
    const int op = rq.data[0];
    const int number = GetBe16(&rq.data[2]);
    const int held = static_cast<int>(ins.stored.size());
    switch (op) {
    case lumet::kRecordQuery:
        rp->data.assign(5, 0);
        PutBe16(&rp->data[2], static_cast<std::uint16_t>(StoredCount(ins)));
        break;
    case lumet::kRecordRead:
        if (number < 1 || number > held)
            rp->status = lumet::kStatusRefused;
        else
            rp->data = ins.stored[static_cast<std::size_t>(number - 1)];
        break;
    case lumet::kRecordWrite:
        if (static_cast<int>(rq.data.size()) < lumet::kStoredRecordSize || number < 1 || number > held + 1 ||
            number > lumet::kStoredRecordMax) {
            rp->status = lumet::kStatusRefused;
            break;
        }
        if (number <= held)
            ins.stored[static_cast<std::size_t>(number - 1)].assign(rq.data.begin(),
                                                                   rq.data.begin() + lumet::kStoredRecordSize);
        else
            ins.stored.emplace_back(rq.data.begin(), rq.data.begin() + lumet::kStoredRecordSize);
        break;
    case lumet::kRecordDelete:
        if (number == 0) {
            ins.stored.clear();
        } else if (number <= held) {
            ins.stored.erase(ins.stored.begin() + (number - 1));
            Renumber(ins);
        } else {
            rp->status = lumet::kStatusRefused;
        }
        break;
    default:
        rp->status = lumet::kStatusRefused;
    }
}

void SpectralRecordCommand(Instrument& ins, const Request& rq, Reply* rp)
{
    auto& records = ins.spectral[rq.command == lumet::kCmdTargetRecord ? 0 : 1];
    const int max = rq.command == lumet::kCmdTargetRecord ? lumet::kTargetRecordMax : lumet::kUserCalibrationRecordMax;
    const int op = rq.data[0];
    const int number = GetBe16(&rq.data[2]);
    const bool inRange = number >= 1 && number <= max;
    switch (op) {
    case lumet::kRecordQuery:
        if (!inRange) {
            rp->status = lumet::kStatusRefused;
            break;
        }
        rp->data.assign(5, 0);
        rp->data[4] = records.count(number) ? 1 : 0;
        break;
    case lumet::kRecordRead:
        if (!inRange || !records.count(number))
            rp->status = lumet::kStatusRefused;
        else
            rp->data = records[number];
        break;
    case lumet::kRecordWrite:
        if (!inRange || static_cast<int>(rq.data.size()) < lumet::kSpectralRecordSize)
            rp->status = lumet::kStatusRefused;
        else
            records[number].assign(rq.data.begin(), rq.data.begin() + lumet::kSpectralRecordSize);
        break;
    case lumet::kRecordDelete: {
        const bool userCalibration = rq.command == lumet::kCmdUserCalibrationRecord;
        int& selected = ins.settings[lumet::kCmdSelectedUserCalibration];
        if (number == 0) {
            records.clear();
            if (userCalibration)
                selected = 0;
        } else if (inRange) {
            records.erase(number);
            if (userCalibration && selected == number)
                selected = 0;
        } else {
            rp->status = lumet::kStatusRefused;
        }
        break;
    }
    default:
        rp->status = lumet::kStatusRefused;
    }
}

void RankRecordCommand(Instrument& ins, const Request& rq, Reply* rp)
{
    const int op = rq.data[0];
    const int number = rq.data[1];
    const bool inRange = number >= 1 && number <= lumet::kRankRecordMax;
    switch (op) {
    case lumet::kRecordQuery: {
        if (!inRange) {
            rp->status = lumet::kStatusRefused;
            break;
        }
        rp->data.assign(5, 0);
        const auto o = ins.rankPresenceOverride.find(number);
        rp->data[4] = static_cast<std::uint8_t>(o != ins.rankPresenceOverride.end() ? o->second
                                                                                   : (ins.ranks.count(number) ? 1 : 0));
        break;
    }
    case lumet::kRecordRead:
        if (!inRange || !ins.ranks.count(number))
            rp->status = lumet::kStatusRefused;
        else
            rp->data = ins.ranks[number];
        break;
    case lumet::kRecordWrite: {
        const int n = rq.data.size() > 1 ? rq.data[1] : 0;
        if (n < 1 || n > lumet::kRankRecordMax || static_cast<int>(rq.data.size()) < lumet::kRankRecordSize)
            rp->status = lumet::kStatusRefused;
        else
            ins.ranks[n].assign(rq.data.begin(), rq.data.begin() + lumet::kRankRecordSize);
        break;
    }
    case lumet::kRecordDelete:
        if (number == 0)
            ins.ranks.clear();
        else if (inRange)
            ins.ranks.erase(number);
        else
            rp->status = lumet::kStatusRefused;
        break;
    default:
        rp->status = lumet::kStatusRefused;
    }
}

// Settings whose value travels as a 16-bit value in payload bytes 2-3.
bool IsWideSetting(std::uint8_t command)
{
    return command == lumet::kCmdSelectedTarget || command == lumet::kCmdSelectedUserCalibration;
}

void SettingCommand(Instrument& ins, const Request& rq, Reply* rp)
{
    const bool wide = IsWideSetting(rq.command);
    if (rq.data[0] == 0) {
        const int value = ins.settings[rq.command];
        rp->data.assign(4, 0);
        if (wide)
            PutBe16(&rp->data[2], static_cast<std::uint16_t>(value));
        else
            rp->data[1] = static_cast<std::uint8_t>(value);
    } else if (rq.data[0] == 1) {
        const int value = wide ? GetBe16(&rq.data[2]) : rq.data[1];
        // Selecting a user calibration that is not there is refused with status 6.
        if (rq.command == lumet::kCmdSelectedUserCalibration && value != 0 && !ins.spectral[1].count(value)) {
            rp->status = 6;
            return;
        }
        ins.settings[rq.command] = value;
    } else {
        rp->status = lumet::kStatusRefused;
    }
}

void FirmwareCommand(Instrument& ins, const Request&, Reply* rp)
{
    rp->data.assign(ins.firmware, ins.firmware + 12);
}

void RegisterDefaults(Bus& bus)
{
    bus.commands[lumet::kCmdRemoteMode] = RemoteModeCommand;
    bus.commands[lumet::kCmdMemoryBlock] = MemoryBlockCommand;
    bus.commands[lumet::kCmdStoredRecord] = StoredRecordCommand;
    bus.commands[lumet::kCmdTargetRecord] = SpectralRecordCommand;
    bus.commands[lumet::kCmdUserCalibrationRecord] = SpectralRecordCommand;
    bus.commands[lumet::kCmdRankRecord] = RankRecordCommand;
    bus.commands[lumet::kCmdSelectedTarget] = SettingCommand;
    bus.commands[lumet::kCmdSelectedUserCalibration] = SettingCommand;
    bus.commands[lumet::kCmdRange] = SettingCommand;
    bus.commands[lumet::kCmdFirmwareVersion] = FirmwareCommand;
    for (std::uint8_t c : {0x1C, 0x20, 0x21, 0x22, 0x24, 0x31, 0x32, 0x33, 0x34, 0xD2, 0xD7, 0xD9})
        bus.commands[c] = SettingCommand;
    RegisterMeasurementCommands(bus.commands);
}

// Never destroyed: ports may still be closed by the transport's own teardown at process exit.
Bus& TheBus()
{
    static Bus* bus = [] {
        Bus* b = new Bus;
        RegisterDefaults(*b);
        return b;
    }();
    return *bus;
}

// ---- request handling ----

bool TakeFault(Instrument& ins, std::uint8_t command, VexSimFault* fired)
{
    for (auto it = ins.faults.begin(); it != ins.faults.end(); ++it) {
        if (it->command != command)
            continue;
        if (it->skip > 0) {
            --it->skip;
            return false;
        }
        *fired = *it;
        ins.faults.erase(it);
        return true;
    }
    return false;
}

std::vector<Report> Frame(const Reply& reply)
{
    std::vector<Report> reports;
    const std::size_t n = reply.data.size();
    const std::size_t count = n <= 60 ? 1 : (n + 59) / 60;
    for (std::size_t i = 0; i < count; ++i) {
        Report r{};
        r[1] = reply.status;
        r[2] = count == 1 ? lumet::kKindSingle : (i == 0 ? lumet::kKindFirst : (i + 1 == count ? lumet::kKindLast : lumet::kKindMiddle));
        PutBe16(&r[3], static_cast<std::uint16_t>(i));
        const std::size_t from = i * 60;
        const std::size_t take = std::min<std::size_t>(60, n > from ? n - from : 0);
        if (take)
            std::memcpy(&r[5], reply.data.data() + from, take);
        reports.push_back(r);
    }
    return reports;
}

// Repeats or drops report `fault.report` (counted from `from`, the last one when beyond) of the reports
// queued from `from` on.
template <typename Reports>
void RepeatOrDrop(Reports& reports, std::size_t from, const VexSimFault& fault)
{
    if (reports.size() <= from || (fault.kind != VEXSIM_FAULT_REPEAT && fault.kind != VEXSIM_FAULT_DROP))
        return;
    const std::size_t index = from + std::min<std::size_t>(static_cast<std::size_t>(std::max(fault.report, 0)),
                                                           reports.size() - from - 1);
    const auto at = reports.begin() + static_cast<std::ptrdiff_t>(index);
    if (fault.kind == VEXSIM_FAULT_REPEAT) {
        const Report copy = *at;
        reports.insert(at, copy);
    } else {
        reports.erase(at);
    }
}

void Answer(Instrument& ins, const Request& rq, const VexSimFault* fault)
{
    Bus& bus = TheBus();
    Interface& cmd = bus.interfaces[static_cast<std::size_t>(ins.commandInterface)];
    Log(VEXSIM_LOG_REQUEST, ins.commandInterface, rq.command, rq.reports, 0, rq.data.data(), rq.data.size());

    Reply reply;
    std::deque<Report>& dataQueue = bus.interfaces[static_cast<std::size_t>(ins.dataInterface)].queue;
    const std::size_t dataBefore = dataQueue.size();
    const auto h = bus.commands.find(rq.command);
    if (h == bus.commands.end())
        reply.status = lumet::kStatusUnknownCommand;
    else
        h->second(ins, rq, &reply);
    if (fault && fault->value == 1)
        RepeatOrDrop(dataQueue, dataBefore, *fault);
    if (reply.none || (fault && fault->kind == VEXSIM_FAULT_NO_REPLY))
        return;
    if (reply.status != lumet::kStatusOk)
        reply.data.clear();

    std::vector<Report> reports = Frame(reply);
    if (fault) {
        switch (fault->kind) {
        case VEXSIM_FAULT_STATUS: {
            const std::size_t k = std::min<std::size_t>(static_cast<std::size_t>(std::max(fault->report, 0)), reports.size() - 1);
            reports[k][1] = static_cast<std::uint8_t>(fault->value);
            break;
        }
        case VEXSIM_FAULT_SURPLUS:
            for (int i = 0; i < fault->value; ++i) {
                Report r{};
                r[1] = lumet::kStatusOk;
                r[2] = lumet::kKindSingle;
                r[5] = 0xEE;
                reports.push_back(r);
            }
            break;
        case VEXSIM_FAULT_CUT:
            if (reports.size() > 1)
                reports.pop_back();
            break;
        case VEXSIM_FAULT_REPEAT:
        case VEXSIM_FAULT_DROP:
            if (fault->value != 1)
                RepeatOrDrop(reports, 0, *fault);
            break;
        case VEXSIM_FAULT_FIRST_KIND:
            reports[0][2] = static_cast<std::uint8_t>(fault->value);
            break;
        case VEXSIM_FAULT_ENDLESS:
            reports.clear();
            for (int i = 0; i < fault->value; ++i) {
                Report r{};
                r[1] = lumet::kStatusOk;
                r[2] = i == 0 ? lumet::kKindFirst : lumet::kKindMiddle;
                PutBe16(&r[3], static_cast<std::uint16_t>(i));
                reports.push_back(r);
            }
            break;
        case VEXSIM_FAULT_TIMEOUT:
            cmd.timeoutNextRead = true;
            break;
        case VEXSIM_FAULT_READ:
            cmd.failNextRead = true;
            break;
        default:
            break;
        }
    }
    Log(VEXSIM_LOG_REPLY, ins.commandInterface, rq.command, static_cast<int>(reports.size()),
        reports.empty() ? 0 : reports[0][1], reply.data.data(), reply.data.size());
    for (const Report& r : reports)
        cmd.queue.push_back(r);
}

void Refuse(Instrument& ins, std::uint8_t command)
{
    Request rq;
    rq.command = command;
    rq.data.assign(60, 0);
    Bus& bus = TheBus();
    Log(VEXSIM_LOG_REQUEST, ins.commandInterface, command, 0, 0, nullptr, 0);
    Report r{};
    r[1] = lumet::kStatusRefused;
    r[2] = lumet::kKindSingle;
    Log(VEXSIM_LOG_REPLY, ins.commandInterface, command, 1, r[1], nullptr, 0);
    bus.interfaces[static_cast<std::size_t>(ins.commandInterface)].queue.push_back(r);
}

// Takes one written report; false when the write itself fails.
bool WriteReport(Instrument& ins, const std::uint8_t* report)
{
    const std::uint8_t command = report[1];
    const std::uint8_t kind = report[2];
    const int seq = GetBe16(report + 3);
    VexSimFault& current = ins.currentFault;
    bool& haveCurrent = ins.haveFault;

    if (kind == lumet::kKindSingle || kind == lumet::kKindFirst) {
        ins.pending.clear();
        haveCurrent = TakeFault(ins, command, &current);
        if (haveCurrent && current.kind == VEXSIM_FAULT_WRITE) {
            haveCurrent = false;
            return false;
        }
    }
    Log(VEXSIM_LOG_WRITE, ins.commandInterface, command, kind, seq, report + 5, 60);
    Report r;
    std::memcpy(r.data(), report, 65);
    if (kind == lumet::kKindSingle) {
        if (seq != 0) {
            Refuse(ins, command);
            return true;
        }
        Request rq;
        rq.command = command;
        rq.data.assign(report + 5, report + 65);
        Answer(ins, rq, haveCurrent ? &current : nullptr);
        haveCurrent = false;
        return true;
    }
    if (kind == lumet::kKindFirst) {
        if (seq != 0) {
            Refuse(ins, command);
            return true;
        }
        ins.pending.push_back(r);
        return true;
    }
    if (kind == lumet::kKindMiddle || kind == lumet::kKindLast) {
        if (ins.pending.empty() || seq != static_cast<int>(ins.pending.size()) || ins.pending[0][1] != command) {
            ins.pending.clear();
            haveCurrent = false;
            Refuse(ins, command);
            return true;
        }
        ins.pending.push_back(r);
        if (kind == lumet::kKindLast) {
            Request rq;
            rq.command = command;
            rq.reports = static_cast<int>(ins.pending.size());
            for (const Report& p : ins.pending)
                rq.data.insert(rq.data.end(), p.begin() + 5, p.end());
            ins.pending.clear();
            Answer(ins, rq, haveCurrent ? &current : nullptr);
            haveCurrent = false;
        }
        return true;
    }
    ins.pending.clear();
    Refuse(ins, command);
    return true;
}

// ---- the backend ----

class SimPort : public HidPort {
public:
    SimPort(int index, unsigned generation) : index_(index), generation_(generation) {}
    ~SimPort() override
    {
        if (Interface* itf = Get()) {
            itf->open = false;
            Log(VEXSIM_LOG_CLOSE, index_, 0, 0, 0, nullptr, 0);
        }
    }

    bool GetIds(std::uint16_t* vendorId, std::uint16_t* productId) override
    {
        Interface* itf = Get();
        if (!itf)
            return false;
        *vendorId = itf->vendorId;
        *productId = itf->productId;
        return true;
    }

    bool GetReportLengths(int* inputLength, int* outputLength) override
    {
        Interface* itf = Get();
        if (!itf)
            return false;
        *inputLength = itf->inputLength;
        *outputLength = itf->outputLength;
        return true;
    }

    ReadResult Read(std::uint8_t* report, int) override
    {
        Interface* itf = Get();
        if (!itf)
            return ReadResult::Failed;
        if (itf->failNextRead) {
            itf->failNextRead = false;
            return ReadResult::Failed;
        }
        if (itf->timeoutNextRead) {
            itf->timeoutNextRead = false;
            return ReadResult::Timeout;
        }
        // Nothing waits on the clock: an empty queue is a time-out at once.
        if (itf->queue.empty())
            return ReadResult::Timeout;
        std::memcpy(report, itf->queue.front().data(), 65);
        itf->queue.pop_front();
        return ReadResult::Ok;
    }

    bool Write(const std::uint8_t* report) override
    {
        Interface* itf = Get();
        if (!itf || itf->data || itf->instrument < 0)
            return false;
        return WriteReport(*FindInstrument(itf->instrument), report);
    }

    void Flush() override
    {
        if (Interface* itf = Get()) {
            itf->queue.clear();
            itf->timeoutNextRead = false;
            Log(VEXSIM_LOG_FLUSH, index_, 0, 0, 0, nullptr, 0);
        }
    }

    bool GetSerial(std::u16string* serial, std::size_t maxUnits) override
    {
        Interface* itf = Get();
        if (!itf)
            return false;
        if (Instrument* ins = FindInstrument(itf->instrument)) {
            if (ins->serialFails != 0) {
                if (ins->serialFails > 0)
                    --ins->serialFails;
                return false;
            }
        }
        if (itf->serial.size() > maxUnits)
            return false;
        *serial = itf->serial;
        return true;
    }

private:
    Interface* Get()
    {
        Bus& bus = TheBus();
        if (bus.generation != generation_ || index_ >= static_cast<int>(bus.interfaces.size()))
            return nullptr;
        return &bus.interfaces[static_cast<std::size_t>(index_)];
    }

    int index_;
    unsigned generation_;
};

class SimBackend : public HidBackend {
public:
    std::vector<std::string> Enumerate() override
    {
        EnsureConfigured();
        std::vector<std::string> paths;
        for (std::size_t i = 0; i < TheBus().interfaces.size(); ++i)
            paths.push_back("sim:" + std::to_string(i));
        return paths;
    }

    std::unique_ptr<HidPort> Open(const std::string& path, bool) override
    {
        Bus& bus = TheBus();
        if (path.rfind("sim:", 0) != 0)
            return nullptr;
        const int index = std::atoi(path.c_str() + 4);
        if (index < 0 || index >= static_cast<int>(bus.interfaces.size()))
            return nullptr;
        Interface& itf = bus.interfaces[static_cast<std::size_t>(index)];
        if (itf.open)
            return nullptr;
        itf.open = true;
        Log(VEXSIM_LOG_OPEN, index, 0, 0, 0, nullptr, 0);
        return std::make_unique<SimPort>(index, bus.generation);
    }
};

void AddInterface(int instrument, bool data, int vendorId, int productId, int inputLength, int outputLength,
                  const char* serial)
{
    Interface itf;
    itf.instrument = instrument;
    itf.data = data;
    itf.vendorId = static_cast<std::uint16_t>(vendorId);
    itf.productId = static_cast<std::uint16_t>(productId);
    itf.inputLength = inputLength;
    itf.outputLength = outputLength;
    itf.serial = Utf8ToUtf16(serial ? serial : "");
    TheBus().interfaces.push_back(std::move(itf));
}

void EnsureConfigured()
{
    Bus& bus = TheBus();
    if (bus.configured)
        return;
    bus.configured = true;
    VexSimInstrument d;
    VexSim_DefaultInstrument(&d);
    const int index = VexSim_AddInstrument(&d);
    for (const VexSimStoredSeed& seed : DefaultStoredSeeds())
        VexSim_AddStoredMeasurement(index, &seed);
}

}  // namespace

std::uint16_t GetBe16(const std::uint8_t* p) { return static_cast<std::uint16_t>((p[0] << 8) | p[1]); }
std::uint32_t GetBe32(const std::uint8_t* p)
{
    return (static_cast<std::uint32_t>(p[0]) << 24) | (static_cast<std::uint32_t>(p[1]) << 16) |
           (static_cast<std::uint32_t>(p[2]) << 8) | p[3];
}
void PutBe16(std::uint8_t* p, std::uint16_t v)
{
    p[0] = static_cast<std::uint8_t>(v >> 8);
    p[1] = static_cast<std::uint8_t>(v);
}
void PutBe32(std::uint8_t* p, std::uint32_t v)
{
    p[0] = static_cast<std::uint8_t>(v >> 24);
    p[1] = static_cast<std::uint8_t>(v >> 16);
    p[2] = static_cast<std::uint8_t>(v >> 8);
    p[3] = static_cast<std::uint8_t>(v);
}
void PutBeFloat(std::uint8_t* p, float v)
{
    std::uint32_t bits;
    std::memcpy(&bits, &v, 4);
    PutBe32(p, bits);
}

void RegisterCommand(std::uint8_t command, Handler handler) { TheBus().commands[command] = handler; }

std::unique_ptr<HidBackend> MakeSimBackend() { return std::make_unique<SimBackend>(); }

}  // namespace vexhid::sim

using namespace vexhid::sim;

extern "C" {

void VexSim_Reset(void)
{
    Bus& bus = TheBus();
    bus.configured = true;
    ++bus.generation;  // ports of the old bus go dead
    bus.interfaces.clear();
    bus.instruments.clear();
    bus.log.clear();
}

void VexSim_DefaultInstrument(VexSimInstrument* d)
{
    if (!d)
        return;
    *d = VexSimInstrument{};
    d->vendorId = lumet::kVendorId;
    d->productId = lumet::kProductId;
    d->usbSerial = "LUMET-12345678";
    d->dataInputLength = lumet::kDataInputShort;
    const unsigned char firmware[12] = {0x01, 0x12, 0x00, 0x05, 0x01, 0x00, 0x00, 0x01, 0x01, 0x00, 0x00, 0x01};
    std::memcpy(d->firmware, firmware, sizeof firmware);
    d->rangeSetting = 2;
    d->userCalibrationSetting = 0;
    d->targetSetting = 1;
}

int VexSim_AddInstrument(const VexSimInstrument* config)
{
    Bus& bus = TheBus();
    bus.configured = true;
    VexSimInstrument d;
    VexSim_DefaultInstrument(&d);
    if (config)
        d = *config;
    const int index = static_cast<int>(bus.instruments.size());
    Instrument ins;
    std::memcpy(ins.firmware, d.firmware, 12);
    ins.blocks[0] = d.infoBlock ? std::vector<std::uint8_t>(d.infoBlock, d.infoBlock + lumet::kInfoBlockSize)
                                : DefaultInfoBlock();
    ins.blocks[1] = d.factoryBlock
                        ? std::vector<std::uint8_t>(d.factoryBlock, d.factoryBlock + lumet::kFactoryBlockSize)
                        : DefaultFactoryBlock();
    ins.blocks[3] = d.calibrationBlock ? std::vector<std::uint8_t>(d.calibrationBlock,
                                                                   d.calibrationBlock + lumet::kCalibrationBlockSize)
                                       : DefaultCalibrationBlock();
    ins.settings[lumet::kCmdRange] = d.rangeSetting;
    ins.settings[lumet::kCmdSelectedUserCalibration] = d.userCalibrationSetting;
    ins.settings[lumet::kCmdSelectedTarget] = d.targetSetting;
    InitMeasuring(ins);
    ins.commandInterface = static_cast<int>(bus.interfaces.size());
    ins.dataInterface = ins.commandInterface + 1;
    bus.instruments.push_back(std::move(ins));
    AddInterface(index, false, d.vendorId, d.productId, lumet::kCommandInputLength, lumet::kCommandOutputLength,
                 d.usbSerial);
    AddInterface(index, true, d.vendorId, d.productId, d.dataInputLength, 0, d.usbSerial);
    return index;
}

void VexSim_AddDecoy(int vendorId, int productId, int inputLength, int outputLength, const char* usbSerial)
{
    TheBus().configured = true;
    AddInterface(-1, outputLength == 0, vendorId, productId, inputLength, outputLength, usbSerial);
}

void VexSim_AddStoredMeasurement(int instrument, const VexSimStoredSeed* seed)
{
    Instrument* ins = FindInstrument(instrument);
    if (!ins || !seed)
        return;
    ins->stored.push_back(EncodeStored(*seed, static_cast<int>(ins->stored.size()) + 1));
}

void VexSim_AddStoredWire(int instrument, const unsigned char* record)
{
    Instrument* ins = FindInstrument(instrument);
    if (ins && record)
        ins->stored.emplace_back(record, record + lumet::kStoredRecordSize);
}

void VexSim_OverrideStoredCount(int instrument, int count)
{
    if (Instrument* ins = FindInstrument(instrument))
        ins->storedCountOverride = count;
}

int VexSim_StoredCount(int instrument)
{
    Instrument* ins = FindInstrument(instrument);
    return ins ? static_cast<int>(ins->stored.size()) : -1;
}

int VexSim_ReadStoredWire(int instrument, int number, unsigned char* record)
{
    Instrument* ins = FindInstrument(instrument);
    if (!ins || !record || number < 1 || number > static_cast<int>(ins->stored.size()))
        return -1;
    std::memcpy(record, ins->stored[static_cast<std::size_t>(number - 1)].data(), lumet::kStoredRecordSize);
    return 0;
}

void VexSim_SetSpectralRecord(int instrument, int command, int number, const VexSimSpectralSeed* seed)
{
    Instrument* ins = FindInstrument(instrument);
    if (!ins || (command != lumet::kCmdTargetRecord && command != lumet::kCmdUserCalibrationRecord))
        return;
    auto& records = ins->spectral[command == lumet::kCmdTargetRecord ? 0 : 1];
    if (seed)
        records[number] = EncodeSpectral(*seed, number);
    else
        records.erase(number);
}

void VexSim_SetRankRecord(int instrument, int number, const VexSimRankSeed* seed)
{
    Instrument* ins = FindInstrument(instrument);
    if (!ins)
        return;
    if (seed)
        ins->ranks[number] = EncodeRank(*seed, number);
    else
        ins->ranks.erase(number);
}

void VexSim_OverrideRankPresence(int instrument, int number, int presence)
{
    Instrument* ins = FindInstrument(instrument);
    if (!ins)
        return;
    if (presence < 0)
        ins->rankPresenceOverride.erase(number);
    else
        ins->rankPresenceOverride[number] = presence;
}

void VexSim_SetBlock(int instrument, int block, const unsigned char* wire, int length)
{
    Instrument* ins = FindInstrument(instrument);
    if (ins && wire && block >= 0 && block <= 3 && length >= 0)
        ins->blocks[block].assign(wire, wire + length);
}

int VexSim_GetBlock(int instrument, int block, unsigned char* wire, int capacity)
{
    Instrument* ins = FindInstrument(instrument);
    if (!ins || block < 0 || block > 3)
        return -1;
    const auto& b = ins->blocks[block];
    const int n = std::min(capacity, static_cast<int>(b.size()));
    if (wire && n > 0)
        std::memcpy(wire, b.data(), static_cast<std::size_t>(n));
    return static_cast<int>(b.size());
}

void VexSim_SetSetting(int instrument, int command, int value)
{
    if (Instrument* ins = FindInstrument(instrument))
        ins->settings[command] = value;
}

int VexSim_GetSetting(int instrument, int command)
{
    Instrument* ins = FindInstrument(instrument);
    return ins ? ins->settings[command] : -1;
}

int VexSim_RemoteMode(int instrument)
{
    Instrument* ins = FindInstrument(instrument);
    return ins ? ins->remoteMode : -1;
}

void VexSim_AddFault(int instrument, const VexSimFault* fault)
{
    Instrument* ins = FindInstrument(instrument);
    if (ins && fault)
        ins->faults.push_back(*fault);
}

void VexSim_FailNextRead(int instrument, int dataInterface)
{
    Instrument* ins = FindInstrument(instrument);
    if (ins)
        TheBus().interfaces[static_cast<std::size_t>(dataInterface ? ins->dataInterface : ins->commandInterface)]
            .failNextRead = true;
}

void VexSim_FailSerialQuery(int instrument, int fails)
{
    if (Instrument* ins = FindInstrument(instrument))
        ins->serialFails = fails;
}

void VexSim_QueueDataReport(int instrument, const unsigned char* report)
{
    Instrument* ins = FindInstrument(instrument);
    if (!ins || !report)
        return;
    Report r;
    std::memcpy(r.data(), report, 65);
    TheBus().interfaces[static_cast<std::size_t>(ins->dataInterface)].queue.push_back(r);
}

void VexSim_QueueCommandReport(int instrument, const unsigned char* report)
{
    Instrument* ins = FindInstrument(instrument);
    if (!ins || !report)
        return;
    Report r;
    std::memcpy(r.data(), report, 65);
    TheBus().interfaces[static_cast<std::size_t>(ins->commandInterface)].queue.push_back(r);
}

int VexSim_LogCount(void) { return static_cast<int>(TheBus().log.size()); }

int VexSim_LogEntry(int index, VexSimLogEntry* entry)
{
    const auto& log = TheBus().log;
    if (!entry || index < 0 || index >= static_cast<int>(log.size()))
        return -1;
    *entry = log[static_cast<std::size_t>(index)].entry;
    return 0;
}

int VexSim_LogPayload(int index, unsigned char* buffer, int capacity)
{
    const auto& log = TheBus().log;
    if (index < 0 || index >= static_cast<int>(log.size()))
        return -1;
    const auto& p = log[static_cast<std::size_t>(index)].payload;
    const int n = std::min(capacity, static_cast<int>(p.size()));
    if (buffer && n > 0)
        std::memcpy(buffer, p.data(), static_cast<std::size_t>(n));
    return static_cast<int>(p.size());
}

void VexSim_ClearLog(void) { TheBus().log.clear(); }

int VexSim_OpenHandleCount(void)
{
    int n = 0;
    for (const Interface& itf : TheBus().interfaces)
        n += itf.open ? 1 : 0;
    return n;
}

int VexSim_IsInterfaceOpen(int index)
{
    const auto& itfs = TheBus().interfaces;
    return index >= 0 && index < static_cast<int>(itfs.size()) && itfs[static_cast<std::size_t>(index)].open ? 1 : 0;
}

}  // extern "C"
