#include "settings/vcinstrumentstandardvaluesetting.h"

CVCInstrumentStandardValueSetting::CVCInstrumentStandardValueSetting(CModel *model, QWidget *parent)
    : CVCDialog(parent)
    , m_model(model)
{
}

CVCInstrumentStandardValueSetting::~CVCInstrumentStandardValueSetting() = default;

int CVCInstrumentStandardValueSetting::exec()
{
    return CVCDialog::exec();
}
