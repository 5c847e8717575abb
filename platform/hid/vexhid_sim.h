/* Control interface of the simulated Lumet bus inside libvexhid.so (selected with VEX_HID_BACKEND=sim).
 * Tests and demos configure instruments here and watch the wire; the transport talks to the same
 * simulator instance. Without any configuration the bus holds one default instrument. */
#ifndef VEXHID_SIM_H
#define VEXHID_SIM_H

#if defined(__cplusplus)
#include <cstdint>
#define VEXSIM_EXTERN extern "C"
#else
#include <stdint.h>
#define VEXSIM_EXTERN
#endif

#define VEXSIM_API VEXSIM_EXTERN __attribute__((visibility("default")))

/* What an instrument is made of. Pointers left null take the defaults of VexSim_DefaultInstrument. */
typedef struct VexSimInstrument {
    int vendorId;
    int productId;
    const char* usbSerial;           /* UTF-8 serial string of both interfaces */
    int dataInputLength;             /* 65 or 513 */
    unsigned char firmware[12];      /* the three 4-byte groups of the version answer */
    const unsigned char* infoBlock;  /* 56 wire bytes, or null */
    const unsigned char* factoryBlock;     /* 33872 wire bytes, or null */
    const unsigned char* calibrationBlock; /* 3092 wire bytes, or null */
    int rangeSetting;                /* measurement setting type 4 */
    int userCalibrationSetting;      /* measurement setting type 5 */
    int targetSetting;               /* measurement setting type 6 */
} VexSimInstrument;

typedef struct VexSimStoredSeed {
    float spectrum[421];
    int date[6]; /* year, month, day, hour, minute, second */
    int observer;
    int value1; /* 16-bit on the instrument */
    int value2; /* 16-bit on the instrument */
    int value3; /* 8-bit on the instrument */
} VexSimStoredSeed;

typedef struct VexSimSpectralSeed { /* target (0x14) or user calibration (0x15) */
    float values[421];
    int date[6];
    char name[12];
} VexSimSpectralSeed;

typedef struct VexSimRankSeed {
    int type;
    char name[40];
    int vertexCount;
    int flag;
    float xy[20];
    float tduv[20];
} VexSimRankSeed;

/* Faults, each armed for one request of a command (skip = how many requests of that command pass first). */
enum {
    VEXSIM_FAULT_STATUS = 1,      /* value = status byte, in reply report `report` (0 = first) */
    VEXSIM_FAULT_NO_REPLY = 2,    /* the request is taken, nothing answers */
    VEXSIM_FAULT_TIMEOUT = 3,     /* the reply is queued but the next command read times out */
    VEXSIM_FAULT_READ = 4,        /* the next command-interface read fails in the transport */
    VEXSIM_FAULT_WRITE = 5,       /* the write of the request's first report fails */
    VEXSIM_FAULT_SURPLUS = 6,     /* value = single reports appended after the reply */
    VEXSIM_FAULT_CUT = 7,         /* the reply's last report is dropped */
    VEXSIM_FAULT_FIRST_KIND = 8,  /* value = packet kind of the reply's first report */
    VEXSIM_FAULT_ENDLESS = 9,     /* value = reports of kind 1, 2, 2, ... with no last one */
    VEXSIM_FAULT_REPEAT = 10,     /* reply report `report` is sent twice; value 1: the data report `report`
                                     that the request queued on the data interface instead */
    VEXSIM_FAULT_DROP = 11        /* reply report `report` is left out; value 1: that data report instead */
};

typedef struct VexSimFault {
    int command;
    int skip;
    int kind;
    int value;
    int report;
} VexSimFault;

/* Wire log. */
enum {
    VEXSIM_LOG_OPEN = 1,
    VEXSIM_LOG_CLOSE = 2,
    VEXSIM_LOG_FLUSH = 3,
    VEXSIM_LOG_REQUEST = 4, /* command, payload (the joined request data) and report count */
    VEXSIM_LOG_REPLY = 5,   /* command, status of the first report and report count */
    VEXSIM_LOG_WRITE = 6    /* one written report: command, kind in `reports`, sequence in `status`, 60 payload bytes */
};

typedef struct VexSimLogEntry {
    int event;
    int instrument; /* -1 for a decoy */
    int dataInterface;
    int command;
    int reports;
    int status;
    int payloadLength;
} VexSimLogEntry;

VEXSIM_API void VexSim_Reset(void);
VEXSIM_API void VexSim_DefaultInstrument(VexSimInstrument* instrument);
/* Adds a command and a data interface; returns the instrument number (0, 1, ...). */
VEXSIM_API int VexSim_AddInstrument(const VexSimInstrument* instrument);
/* A single interface that must not be taken for an instrument. */
VEXSIM_API void VexSim_AddDecoy(int vendorId, int productId, int inputLength, int outputLength, const char* usbSerial);

VEXSIM_API void VexSim_AddStoredMeasurement(int instrument, const VexSimStoredSeed* seed);
VEXSIM_API void VexSim_AddStoredWire(int instrument, const unsigned char* record1704);
/* Stored count reported by the instrument regardless of its store (-1: the real count). */
VEXSIM_API void VexSim_OverrideStoredCount(int instrument, int count);
VEXSIM_API int VexSim_StoredCount(int instrument);
VEXSIM_API int VexSim_ReadStoredWire(int instrument, int number, unsigned char* record1704);
VEXSIM_API void VexSim_SetSpectralRecord(int instrument, int command, int number, const VexSimSpectralSeed* seed);
VEXSIM_API void VexSim_SetRankRecord(int instrument, int number, const VexSimRankSeed* seed);
/* Presence byte answered for a rank number regardless of the record (-1: the real presence). */
VEXSIM_API void VexSim_OverrideRankPresence(int instrument, int number, int presence);
VEXSIM_API void VexSim_SetBlock(int instrument, int block, const unsigned char* wire, int length);
VEXSIM_API int VexSim_GetBlock(int instrument, int block, unsigned char* wire, int capacity);
VEXSIM_API void VexSim_SetSetting(int instrument, int command, int value);
VEXSIM_API int VexSim_GetSetting(int instrument, int command);
VEXSIM_API int VexSim_RemoteMode(int instrument);

VEXSIM_API void VexSim_AddFault(int instrument, const VexSimFault* fault);
VEXSIM_API void VexSim_FailNextRead(int instrument, int dataInterface);
VEXSIM_API void VexSim_FailSerialQuery(int instrument, int fails);
/* Queues one report (65 bytes) on the instrument's data or command interface. */
VEXSIM_API void VexSim_QueueDataReport(int instrument, const unsigned char* report65);
VEXSIM_API void VexSim_QueueCommandReport(int instrument, const unsigned char* report65);

/* Measuring. The light source the instrument sees (421 values, 360-780 nm at 1 nm; the default is a
 * 3000 K Planckian of about 500 lx). Raw pixel i = E(wavelength i) / sensitivity i x (t / t_ref)
 * + dark offset i + dark rate i x (t / t_ref), element 128 the dark temperature of the calibration block. */
VEXSIM_API void VexSim_DefaultLightSource(float* spectrum421);
VEXSIM_API void VexSim_SetLightSource(int instrument, const float* spectrum421);
/* Polls answered before: the start's ready value, a measurement is done, a calibration is done, a raw
 * reading is ready. */
VEXSIM_API void VexSim_SetPolls(int instrument, int startPolls, int measurePolls, int calibrationPolls, int rawPolls);
VEXSIM_API void VexSim_SetCalibrationStatus(int instrument, int status);
/* Queued: the next data set (0x11 / 0x10 data request) or raw reading (0xA2 start) uses these values. */
VEXSIM_API void VexSim_ScriptDataSet(int instrument, int header, const float* values132);
/* Queued: the next status answers of 0x11 operation 1, and the next ready answers of the 0xA2 query. */
VEXSIM_API void VexSim_ScriptMeasureStatus(int instrument, int status, int ready);
VEXSIM_API void VexSim_ScriptRawReady(int instrument, int value);
/* The eight payload bytes of the button answer (0xD0). */
VEXSIM_API void VexSim_SetButtons(int instrument, const unsigned char* bytes8);
VEXSIM_API void VexSim_SetFirmware(int instrument, const unsigned char* firmware12);
/* Service values by command: 0xA4 index 0-2; 0xB6 the date, index 0-5; 0xC0 index 0 flag byte, 1 the
 * 16-bit value; 0xC1 index 0 the mode byte, 1 the 16-bit value; 0xD8 index 1-240; 0x90 index 0 the
 * length of the bulk reply's body (8008 when unset), index 1 the length its header states (the real one
 * when unset); 0x35 index 0-1 the list item's answer (the last write when unset); 0xA3 index 0 the value
 * count the raw reply's header states (the real one when unset). */
VEXSIM_API void VexSim_SetServiceValue(int instrument, int command, int index, int value);
VEXSIM_API int VexSim_GetServiceValue(int instrument, int command, int index);
/* The 132 values the instrument would read now at integration value t; the last 0xA0 parameter payload. */
VEXSIM_API int VexSim_ReadingFor(int instrument, int integration, float* values132);
VEXSIM_API int VexSim_ManualParams(int instrument, unsigned char* payload60);

VEXSIM_API int VexSim_LogCount(void);
VEXSIM_API int VexSim_LogEntry(int index, VexSimLogEntry* entry);
VEXSIM_API int VexSim_LogPayload(int index, unsigned char* buffer, int capacity);
VEXSIM_API void VexSim_ClearLog(void);
VEXSIM_API int VexSim_OpenHandleCount(void);
/* Interfaces are numbered in the order they were added (an instrument adds its command, then its data one). */
VEXSIM_API int VexSim_IsInterfaceOpen(int index);

#endif
