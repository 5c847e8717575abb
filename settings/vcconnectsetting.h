#pragma once
// How the chart scanner is reached: one of the instruments found now, or a USB port name, a network name or an
// IP address given by hand. Connect checks the input and stores it as the connection settings; the caller then
// connects with them.

#include "chart/vcdialog.h"

#include "app/instrumentrecords.h"

#include <QList>

#include <memory>

class CModel;

namespace Ui {
class ConnectSettingDialog;
}

class CVCConnectSetting : public CVCDialog
{
    Q_OBJECT
public:
    // report: whether a failed device search is reported to the user.
    CVCConnectSetting(CModel *model, QWidget *parent, bool report);
    ~CVCConnectSetting() override;

signals:
    void connectOrlo();
    void setEnabledPushConnect(bool enable);

public slots:
    int exec() override;
    void onTextChanged();
    void onCurrentTextChanged();
    void pushConnectClicked();
    void setSpecifyDeviceEnabled(bool on);

private:
    void Initialize();
    void SetButtonBox();
    bool UpdateDeviceList();
    void ShowConnectSetting();
    bool CheckInput();
    bool StoreConnectSetting();

    std::unique_ptr<Ui::ConnectSettingDialog> ui;
    CModel *m_model;
    bool m_report;
    QList<OrloDeviceRecord> m_devices;
};
