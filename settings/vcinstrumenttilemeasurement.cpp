#include "settings/vcinstrumenttilemeasurement.h"

#include "app/diagnosedata.h"

CVCInstrumentTileMeasurement::CVCInstrumentTileMeasurement(CModel *model, QWidget *parent)
    : CVCDialog(parent)
    , m_model(model)
    , m_results(new TileResultRecord[kTileCount]())
{
}

CVCInstrumentTileMeasurement::~CVCInstrumentTileMeasurement()
{
    delete[] m_results;
}

TileResultRecord *CVCInstrumentTileMeasurement::GetTileResults()
{
    return m_results;
}

int CVCInstrumentTileMeasurement::exec()
{
    return CVCDialog::exec();
}
