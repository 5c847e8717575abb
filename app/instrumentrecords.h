#pragma once
// The chart scanner's records that the model's operations hand to the windows, in the program's own types, so
// that a window never includes an instrument library's header. The model converts them field by field. The
// device and status records keep the library's byte layout, which the dialogs' fixed-offset reads describe.

#include <QString>
#include <QtGlobal>

#include <cstddef>
#include <type_traits>

// The scanner's network settings as the dialogs edit them.
struct OrloNetworkSetting {
    QString Name;
    int Dhcp = 0;
    QString Address;
    QString Mask;
    QString Gateway;
};

// One reachable scanner of the device search.
struct OrloDeviceRecord {
    qint32 Kind;      // 1 USB, 0 network
    char Name[32];    // name or address, not terminated when full
    char Identity[8]; // serial number text, not terminated when full
};

// The scanner's status.
struct OrloStatusRecord {
    quint8 DeviceState;    // 0 idle, 1 holds a run that can be continued, 2 busy
    quint8 StateFlag;      // 1: a run is held
    quint8 CalibrationDue; // 1: periodic calibration due
    quint8 Reserved0[13];
    qint32 State; // 1 ready, 101 cover open
    qint32 Reserved1[2];
    qint32 OtherComputer;
};

// One point the scanner located on a captured page: its centre in 0.01 mm and its place in the layout.
struct OrloLocatedPoint {
    qint32 X;
    qint32 Y;
    qint32 Area;
    qint32 Row;
    qint32 Column;
};

static_assert(sizeof(OrloDeviceRecord) == 44 && offsetof(OrloDeviceRecord, Name) == 4 &&
                  offsetof(OrloDeviceRecord, Identity) == 36 && std::is_trivially_copyable<OrloDeviceRecord>::value,
              "device record: 44 bytes");
static_assert(sizeof(OrloStatusRecord) == 32 && offsetof(OrloStatusRecord, State) == 16 &&
                  offsetof(OrloStatusRecord, OtherComputer) == 28,
              "status record: 32 bytes, the state at byte 16");
static_assert(sizeof(OrloLocatedPoint) == 20, "located point: five ints");
