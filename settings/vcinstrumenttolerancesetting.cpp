#include "settings/vcinstrumenttolerancesetting.h"

CVCInstrumentToleranceSetting::CVCInstrumentToleranceSetting(CModel *model, QWidget *parent)
    : CVCDialog(parent)
    , m_model(model)
{
}

CVCInstrumentToleranceSetting::~CVCInstrumentToleranceSetting() = default;

int CVCInstrumentToleranceSetting::exec()
{
    return CVCDialog::exec();
}
