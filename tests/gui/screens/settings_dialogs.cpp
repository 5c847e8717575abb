// The settings dialogs over the program's model and the simulated scanner: both pages of the settings, the
// data groups, the instrument connection in its two modes, the scanner's network settings and a printer entry.
// Each dialog runs its real modal loop, is shot from inside it and closed with Escape.
#include "screenshooter.h"

#include "app/model.h"
#include "settings/vcconnectsetting.h"
#include "settings/vcnetworksetting.h"
#include "settings/vcprinteradd.h"
#include "settings/vcselectmeasdataenvironment.h"
#include "settings/vcsetting.h"

#include "OrloSim.h"

#include <QDialog>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

#include <functional>

namespace {

// Automatic export on under a fixed name, into a folder short enough to show whole. The data group is named as
// after a first choice: a new data folder holds none until then.
bool SettingsMeasure(ScreenShooter &shooter)
{
    CModel *model = shooter.Model();
    Setting::UserEnvironment environment = *model->GetUserEnvironment();
    if (environment.DataGroupName.isEmpty())
        environment.DataGroupName = model->GetDataGroupNames()->value(0);
    environment.AutoExport = true;
    environment.FileNameMode = 1;
    environment.AutoExportFileName = QStringLiteral("PressCheck");
    environment.AutoExportFolder = QDir::tempPath() + QStringLiteral("/Exports");
    if (model->SetUserEnvironment(environment) != 0)
        return ScreenFailed(QStringLiteral("settings_measure: environment not stored"));
    CVCSetting dialog(model, 0, shooter.MainWindow());
    return ShootModalDialog(shooter, &dialog, QStringLiteral("settings_measure"));
}

bool SettingsEnvironment(ScreenShooter &shooter)
{
    CVCSetting dialog(shooter.Model(), 1, shooter.MainWindow());
    return ShootModalDialog(shooter, &dialog, QStringLiteral("settings_environment"));
}

// The model's group and a second one stored before; a third is typed and added in the dialog.
bool DataGroups(ScreenShooter &shooter)
{
    CModel *model = shooter.Model();
    QStringList names = *model->GetDataGroupNames();
    if (!names.contains(QStringLiteral("Press 1"))) {
        names << QStringLiteral("Press 1");
        if (model->UpdateDataGroupNames(names) != 0)
            return ScreenFailed(QStringLiteral("datagroup: group not stored"));
    }
    CVCSelectMeasDataEnvironment dialog(model, shooter.MainWindow());
    dialog.SetGroupNames(*model->GetDataGroupNames());
    dialog.SetSelectedName(model->GetUserEnvironment()->DataGroupName);
    return ShootModalDialog(shooter, &dialog, QStringLiteral("datagroup"), [](QDialog *d) {
        auto *edit = d->findChild<QLineEdit *>(QStringLiteral("editDataGroup"));
        auto *add = d->findChild<QPushButton *>(QStringLiteral("pushAdd"));
        if (!edit || !add)
            return ScreenFailed(QStringLiteral("datagroup: no Add"));
        edit->setText(QStringLiteral("Press 2"));
        QTest::mouseClick(add, Qt::LeftButton);
        auto *table = d->findChild<QTableWidget *>(QStringLiteral("tableDataGroup"));
        if (!table || table->rowCount() != 3)
            return ScreenFailed(QStringLiteral("datagroup: the group was not added"));
        return true;
    });
}

bool StoreConnection(CModel *model, const std::function<void(Setting::ConnectSetting *)> &change)
{
    Setting::ConnectSetting record = *model->GetConnectSetting(nullptr);
    change(&record);
    return model->SetConnectSetting(record) == 0;
}

// The device search finds the simulated scanner; its row is current.
bool ConnectList(ScreenShooter &shooter)
{
    CModel *model = shooter.Model();
    if (!StoreConnection(model, [](Setting::ConnectSetting *r) { r->SpecifyDevice = 0; }))
        return ScreenFailed(QStringLiteral("connect_list: setting not stored"));
    CVCConnectSetting dialog(model, shooter.MainWindow(), true);
    return ShootModalDialog(shooter, &dialog, QStringLiteral("connect_list"), [](QDialog *d) {
        auto *tree = d->findChild<QTreeWidget *>(QStringLiteral("treeDeviceList"));
        QTreeWidgetItem *row = tree ? tree->currentItem() : nullptr;
        if (!row || row->text(0) != QStringLiteral("ORS00001") || row->text(2) != QStringLiteral("usb0"))
            return ScreenFailed(QStringLiteral("connect_list: the simulated scanner is not the current row"));
        return true;
    });
}

// A scanner named by hand: Ethernet, by IP address. The addresses here have inner parts of three digits, as the
// fields' input masks pad a shorter part with blanks.
bool ConnectSpecify(ScreenShooter &shooter)
{
    CModel *model = shooter.Model();
    const bool stored = StoreConnection(model, [](Setting::ConnectSetting *r) {
        r->SpecifyDevice = 1;
        r->ConnectionKind = 1;
        r->AddressKind = 1;
        r->Address = QStringLiteral("192.168.100.20");
    });
    if (!stored)
        return ScreenFailed(QStringLiteral("connect_specify: setting not stored"));
    CVCConnectSetting dialog(model, shooter.MainWindow(), true);
    return ShootModalDialog(shooter, &dialog, QStringLiteral("connect_specify"));
}

// The network settings are the connected scanner's: connect over USB first, then give it fixed addresses.
bool Network(ScreenShooter &shooter)
{
    CModel *model = shooter.Model();
    OrloSim_SetDelivery(OrloSim_Manual);
    const bool stored = StoreConnection(model, [](Setting::ConnectSetting *r) {
        r->SpecifyDevice = 0;
        r->ConnectionKind = 0;
        r->Port = QStringLiteral("usb0");
        r->DeviceName = QStringLiteral("ORS00001");
    });
    if (!stored)
        return ScreenFailed(QStringLiteral("network: setting not stored"));
    if (!model->IsOrloConnected() && model->ConnectOrlo(false) != 0)
        return ScreenFailed(QStringLiteral("network: scanner not connected"));
    if (model->SetOrloNetworkSetting({QStringLiteral("ORLO-PRESS"), 1, QStringLiteral("192.168.100.10"),
                                      QStringLiteral("255.255.255.0"), QStringLiteral("192.168.100.1")}) != 0)
        return ScreenFailed(QStringLiteral("network: scanner setting not written"));
    CVCNetworkSetting dialog(model, shooter.MainWindow());
    return ShootModalDialog(shooter, &dialog, QStringLiteral("network"));
}

// The address a chart's code named is preset; the rest is for the user.
bool Printer(ScreenShooter &shooter)
{
    CVCPrinterAdd dialog(shooter.Model(), shooter.MainWindow());
    dialog.SetIPAddress(QStringLiteral("192.168.100.30"));
    return ShootModalDialog(shooter, &dialog, QStringLiteral("printer"));
}

const ScreenEntry kEntry("settings_dialogs", [](ScreenShooter &shooter) {
    return SettingsMeasure(shooter) && SettingsEnvironment(shooter) && DataGroups(shooter) && ConnectList(shooter)
           && ConnectSpecify(shooter) && Network(shooter) && Printer(shooter);
});

} // namespace
