#include "settings/vcinstrumenttolerancesetting.h"

CVCInstrumentToleranceSetting::CVCInstrumentToleranceSetting(CModel *model, QWidget *parent)
    : CVCDialog(parent)
    , m_model(model)
{
}

CVCInstrumentToleranceSetting::~CVCInstrumentToleranceSetting() = default;

void CVCInstrumentToleranceSetting::SetDefaultsFolder(const QString &folder)
{
    m_defaultsFolder = folder;
}

int CVCInstrumentToleranceSetting::exec()
{
    return CVCDialog::exec();
}
