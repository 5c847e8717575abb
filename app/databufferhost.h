#pragma once
// What the working buffer needs of the application model: the paper default of a colour format, the user's
// settings, the chart scanner's serial number and the document reads of a load. The model implements it; tests
// pass a stub.

#include "app/records.h"
#include "app/settingrecords.h"

#include <QString>

class CDataBufferHost
{
public:
    virtual ~CDataBufferHost() = default;

    virtual float GetColorDefaultValue(int format) const = 0;
    virtual const Setting::UserEnvironment *GetUserEnvironment() const = 0;
    // 0 chart scanner, 1 handheld instrument, 2 light-source instrument.
    virtual QString GetInstrumentSerialNumber(int kind) = 0;

    // Document reads; 0 on success, the store's code otherwise.
    virtual int ReadRecognitionMeasure(int id, ChartDefinitionDataSheets *chart,
                                       MeasurementDataSheets *measurement) = 0;
    virtual int ReadDesignationChart(int id, ChartDefinitionDataSheets *chart) = 0;
    virtual int ReadDensityChart(int id, ChartDefinitionDataSheets *chart) = 0;
    virtual int ReadDesignationMeasure(int id, int chartId, MeasurementDataSheets *measurement) = 0;
    virtual int ReadDensityMeasure(int id, int chartId, MeasurementDataSheets *measurement) = 0;
};
