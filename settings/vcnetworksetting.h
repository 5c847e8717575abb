#pragma once
// The network settings held by the connected chart scanner: its network name and automatic or fixed
// addressing. Read from the instrument when the dialog opens, written back at OK when something changed.

#include "chart/vcdialog.h"

#include <memory>

class CModel;

namespace Ui {
class NetworkSettingDialog;
}

class CVCNetworkSetting : public CVCDialog
{
    Q_OBJECT
public:
    CVCNetworkSetting(CModel *model, QWidget *parent);
    ~CVCNetworkSetting() override;

public slots:
    // 0 at once, never shown, when the instrument's settings cannot be read.
    int exec() override;
    void pushOKClicked();

private:
    void Initialize();
    void SetButtonBox();
    bool ShowNetworkSetting();
    bool CheckNetworkName();
    bool CheckAddresses();
    bool ApplyNetworkSetting(bool *changed);

    std::unique_ptr<Ui::NetworkSettingDialog> ui;
    CModel *m_model;
};
