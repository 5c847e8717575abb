// Measurements on every open device at once, and the process-wide table that follows them.
#pragma once

namespace vexapi {

constexpr int kAllDeviceMax = 127;

int DoMeasurementAll(int* value);
int DoManualMeasurementAll(int key1, int key2);
int PollingMeasureAll(int* state);
int StopMeasurementAll();
bool AllDeviceRunning();

}  // namespace vexapi
