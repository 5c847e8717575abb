#include "mainwindow/vcadjustdensity.h"

#include "ui_adjustdensity.h"

void CVCAdjustDensity::ConnectInstrumentActions() {}
void CVCAdjustDensity::actionOrloConnectTriggered(bool) {}
void CVCAdjustDensity::actionOrloDisconnectTriggered() {}
void CVCAdjustDensity::actionOrloConnectDisconnectToggled(bool) {}
void CVCAdjustDensity::SetOrloConnectMenuVisible(bool) {}
void CVCAdjustDensity::setOrloConnect(bool) {}
void CVCAdjustDensity::actionHandyConnectTriggered() {}
void CVCAdjustDensity::actionHandyDisconnectTriggered() {}
void CVCAdjustDensity::setHandyConnect(bool) {}
void CVCAdjustDensity::actionSettingConnectTriggered() {}
void CVCAdjustDensity::pushHandyDensitometerChartLayoutMeasurementClicked() {}
void CVCAdjustDensity::pushHandyDensitometerChartLayoutCancelClicked() {}
void CVCAdjustDensity::handyChartLayoutAllMeasurementFinished() {}
