// The chart scanner's connection dialog: its form, the input checks, what each mode stores, the Connect
// button's state, the device search, and the caller connecting with what the dialog stored.
#include "settings/vcconnectsetting.h"

#include "formprobe.h"
#include "modalrunner.h"
#include "modelfixture.h"
#include "scriptedpresenter.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTreeWidget>
#include <QValidator>
#include <QtTest>

namespace {

QByteArray ReadAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

OrloDeviceEntry Device(int kind, const QByteArray &name, const char *identity)
{
    OrloDeviceEntry entry{};
    entry.kind = kind;
    std::memcpy(entry.name, name.constData(), size_t(std::min(name.size(), int(sizeof entry.name))));
    std::memcpy(entry.identity, identity, std::min(std::strlen(identity), sizeof entry.identity));
    return entry;
}

template <typename T> T *Child(QObject *dialog, const char *name)
{
    return dialog->findChild<T *>(QString::fromLatin1(name));
}


// The next widget that Tab reaches, ignoring whether it is enabled.
QWidget *NextTabStop(QWidget *widget)
{
    QWidget *next = widget->nextInFocusChain();
    while (next != widget && !(next->focusPolicy() & Qt::TabFocus))
        next = next->nextInFocusChain();
    return next;
}

} // namespace

class TestConnection : public QObject
{
    Q_OBJECT

    // A fresh data root for every test: what one test stores must not reach the next.
    std::unique_ptr<ModelFixture> f;

    QString SettingsPath() const { return CModelAccess::ApplicationData(*f->model)->GetSettingFilePath(); }
    const Setting::ConnectSetting &Stored() const { return *f->model->GetConnectSetting(nullptr); }
    void Store(const Setting::ConnectSetting &record) { QCOMPARE(f->model->SetConnectSetting(record), 0); }

private slots:
    void init()
    {
        f.reset(new ModelFixture);
        QVERIFY(f->Make());
    }
    void cleanup() { f.reset(); }

    void form_data()
    {
        AddFormObjectRows({
            {"labelConnectionMethod", "QLabel"},   {"radioSelectDevice", "QRadioButton"},
            {"treeDeviceList", "QTreeWidget"},     {"radioSpecifyDevice", "QRadioButton"},
            {"radioUSB", "QRadioButton"},          {"labelUSB", "QLabel"},
            {"editUSB", "QLineEdit"},              {"radioEthernet", "QRadioButton"},
            {"radioNetwork", "QRadioButton"},      {"editNetworkName", "QLineEdit"},
            {"radioIPAddress", "QRadioButton"},    {"editIPAddress", "QLineEdit"},
            {"line", "QFrame"},                    {"pushConnect", "QPushButton"},
            {"pushCancel", "QPushButton"},         {"hLayoutFooter", "QHBoxLayout"},
            {"buttonGroup", "QButtonGroup"},       {"buttonGroup_2", "QButtonGroup"},
            {"buttonGroup_3", "QButtonGroup"}});
    }
    void form()
    {
        CVCConnectSetting dialog(f->model.get(), nullptr, false);
        VerifyFormObject(&dialog);
    }

    void formAsBuilt()
    {
        CVCConnectSetting dialog(f->model.get(), nullptr, false);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Instrument Connection Settings"));
        QCOMPARE(dialog.size(), QSize(410, 458));
        QVERIFY(!dialog.windowIcon().isNull());
        QCOMPARE(Child<QLabel>(&dialog, "labelUSB")->text(), QStringLiteral("COM Port Name"));
        auto *tree = Child<QTreeWidget>(&dialog, "treeDeviceList");
        QCOMPARE(tree->headerItem()->text(0), QStringLiteral("Serial No."));
        QCOMPARE(tree->headerItem()->text(2), QStringLiteral("Port/Address"));
        QCOMPARE(tree->indentation(), 0);
        QVERIFY(Child<QRadioButton>(&dialog, "radioSelectDevice")->isChecked());
        QVERIFY(!Child<QRadioButton>(&dialog, "radioUSB")->isEnabled());
        QCOMPARE(Child<QLineEdit>(&dialog, "editIPAddress")->inputMask(), QStringLiteral("000.000.000.000"));

        const char *chain[] = {"radioUSB",       "radioEthernet", "radioNetwork", "editNetworkName",
                               "radioIPAddress", "pushConnect",   "pushCancel"};
        for (size_t i = 0; i + 1 < sizeof chain / sizeof *chain; ++i)
            QVERIFY2(NextTabStop(Child<QWidget>(&dialog, chain[i])) == Child<QWidget>(&dialog, chain[i + 1]), chain[i]);
    }

    void validators_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("refused");
        QTest::newRow("usb 32 letters and digits") << "editUSB" << QString(16, 'a') + QString(16, '7') << false;
        QTest::newRow("usb 33rd character") << "editUSB" << QString(33, 'a') << true;
        QTest::newRow("usb underscore") << "editUSB" << "_" << true;
        QTest::newRow("network name lab-1.x") << "editNetworkName" << "lab-1.x" << false;
        QTest::newRow("network name with blank") << "editNetworkName" << "a b" << true;
        QTest::newRow("network name 17 characters") << "editNetworkName" << QString(17, 'n') << true;
    }
    void validators()
    {
        QFETCH(QString, field);
        QFETCH(QString, text);
        QFETCH(bool, refused);
        CVCConnectSetting dialog(f->model.get(), nullptr, false);
        const QValidator *validator = dialog.findChild<QLineEdit *>(field)->validator();
        QVERIFY(validator);
        int position = 0;
        QCOMPARE(validator->validate(text, position) == QValidator::Invalid, refused);
    }

    void keys()
    {
        const QByteArray before = ReadAll(SettingsPath());
        CVCConnectSetting dialog(f->model.get(), nullptr, false);
        bool stayedOpen = false;
        const int result = ModalRunner::Run(&dialog, [&](QDialog *d) {
            QVERIFY(QTest::qWaitForWindowActive(d));
            Child<QTreeWidget>(d, "treeDeviceList")->setFocus();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter);
            stayedOpen = d->isVisible();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        });
        QVERIFY(stayedOpen);
        QCOMPARE(result, int(QDialog::Rejected));
        QCOMPARE(ReadAll(SettingsPath()), before);
    }

    // Specify-device mode: the texts typed, the addressing radio chosen last, then Connect.
    void checkInput_data()
    {
        QTest::addColumn<bool>("ethernet");
        QTest::addColumn<bool>("byAddress");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("networkName");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("warning");
        const QString range = QStringLiteral("IP Address is 0 - 255");
        QTest::newRow("0.0.0.0") << true << true << "" << "" << "0.0.0.0" << "";
        QTest::newRow("255.255.255.255") << true << true << "" << "" << "255.255.255.255" << "";
        QTest::newRow("001.002.003.004") << true << true << "" << "" << "001.002.003.004" << "";
        QTest::newRow("256.1.1.1") << true << true << "" << "" << "256.1.1.1" << range;
        QTest::newRow("1..1.1") << true << true << "" << "" << "1..1.1" << range;
        QTest::newRow("...") << true << true << "" << "" << "..." << range;
        QTest::newRow("usb empty") << false << false << "" << "lab" << "1.2.3.4" << "Please enter COM Port Name.";
        QTest::newRow("usb COM3") << false << false << "COM3" << "" << "" << "";
        QTest::newRow("network name empty, bad address")
            << true << false << "" << "" << "256.1.1.1" << "Please enter Network Name.";
        QTest::newRow("network name lab-1") << true << false << "" << "lab-1" << "999.1.1.1" << "";
    }
    void checkInput()
    {
        QFETCH(bool, ethernet);
        QFETCH(bool, byAddress);
        QFETCH(QString, port);
        QFETCH(QString, networkName);
        QFETCH(QString, address);
        QFETCH(QString, warning);
        Setting::ConnectSetting record;
        record.SpecifyDevice = 1;
        record.DeviceName = QStringLiteral("ORS00009");
        Store(record);
        const QByteArray before = ReadAll(SettingsPath());

        ScriptedPresenter script;
        if (!warning.isEmpty())
            script.ExpectWarn(warning);
        CVCConnectSetting dialog(f->model.get(), nullptr, false);
        QSignalSpy connects(&dialog, &CVCConnectSetting::connectOrlo);
        bool open = false;
        const int result = ModalRunner::Run(&dialog, [&](QDialog *d) {
            Child<QRadioButton>(d, ethernet ? "radioEthernet" : "radioUSB")->setChecked(true);
            Child<QLineEdit>(d, "editUSB")->setText(port);
            Child<QLineEdit>(d, "editNetworkName")->setText(networkName);
            Child<QLineEdit>(d, "editIPAddress")->setText(address);
            Child<QRadioButton>(d, byAddress ? "radioIPAddress" : "radioNetwork")->setChecked(true);
            QVERIFY(Child<QPushButton>(d, "pushConnect")->isEnabled());
            Child<QPushButton>(d, "pushConnect")->click();
            open = d->isVisible();
        });
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        if (!warning.isEmpty()) {
            QVERIFY(open);
            QCOMPARE(result, int(QDialog::Rejected));
            QCOMPARE(ReadAll(SettingsPath()), before);
            QCOMPARE(connects.count(), 0);
            return;
        }
        QCOMPARE(result, int(QDialog::Accepted));
        QCOMPARE(connects.count(), 1);
        const Setting::ConnectSetting &stored = Stored();
        QCOMPARE(stored.SpecifyDevice, 1);
        QCOMPARE(stored.ConnectionKind, ethernet ? 1 : 0);
        QCOMPARE(stored.AddressKind, byAddress ? 1 : 0);
        QCOMPARE(stored.Port, port);
        QCOMPARE(stored.NetworkName, networkName);
        QCOMPARE(stored.Address, address.isEmpty() ? QStringLiteral("...") : address);
        QCOMPARE(stored.DeviceName, QStringLiteral("ORS00009"));
        QVERIFY(f->window->errors.isEmpty());
    }

    void listMode_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("kindText");
        QTest::addColumn<QString>("shownAddress");
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("addressKind");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("serial");
        QTest::newRow("network device") << 0 << "Ethernet" << "192.168.0.7" << 1 << 1 << "old" << "192.168.0.7"
                                        << "ORS00002";
        QTest::newRow("usb device") << 1 << "USB" << "usb1" << 0 << 0 << "usb1" << "10.0.0.1" << "ORS00003";
        QTest::newRow("address with a NUL inside") << 2 << "USB" << "usb0" << 0 << 0 << "usb0" << "10.0.0.1"
                                                   << "ORS00004";
    }
    void listMode()
    {
        QFETCH(int, row);
        const OrloDeviceEntry devices[] = {Device(0, "192.168.0.7", "ORS00002"), Device(1, "usb1", "ORS00003"),
                                           Device(2, QByteArray("us\0b0", 5), "ORS00004")};
        OrloSim_SetDeviceList(devices, 3);
        Setting::ConnectSetting record;
        record.ConnectionKind = 1;
        record.Port = QStringLiteral("old");
        record.AddressKind = 0;
        record.Address = QStringLiteral("10.0.0.1");
        record.NetworkName = QStringLiteral("net");
        Store(record);

        CVCConnectSetting dialog(f->model.get(), nullptr, false);
        const int result = ModalRunner::Run(&dialog, [&](QDialog *d) {
            auto *tree = Child<QTreeWidget>(d, "treeDeviceList");
            QCOMPARE(tree->topLevelItemCount(), 3);
            QCOMPARE(tree->currentItem(), tree->topLevelItem(0));
            QTreeWidgetItem *item = tree->topLevelItem(row);
            QTEST(item->text(0), "serial");
            QTEST(item->text(1), "kindText");
            QTEST(item->text(2), "shownAddress");
            tree->setCurrentItem(item);
            Child<QPushButton>(d, "pushConnect")->click();
        });
        QCOMPARE(result, int(QDialog::Accepted));
        const Setting::ConnectSetting &stored = Stored();
        QCOMPARE(stored.SpecifyDevice, 0);
        QTEST(stored.ConnectionKind, "kind");
        QTEST(stored.AddressKind, "addressKind");
        QTEST(stored.Port, "port");
        QTEST(stored.Address, "address");
        QTEST(stored.DeviceName, "serial");
        QCOMPARE(stored.NetworkName, QStringLiteral("net"));
    }

    // Enabled exactly when not connected and either specify mode or a listed instrument; switching the mode
    // gives the other mode's state.
    void connectEnabled_data()
    {
        QTest::addColumn<bool>("connected");
        QTest::addColumn<bool>("listEmpty");
        QTest::addColumn<bool>("specify");
        for (bool connected : {false, true}) {
            for (bool listEmpty : {false, true}) {
                for (bool specify : {false, true}) {
                    QTest::addRow("%s, %s, %s", connected ? "connected" : "not connected",
                                  listEmpty ? "list empty" : "listed", specify ? "specify" : "list")
                        << connected << listEmpty << specify;
                }
            }
        }
    }
    void connectEnabled()
    {
        QFETCH(bool, connected);
        QFETCH(bool, listEmpty);
        QFETCH(bool, specify);
        if (connected)
            QCOMPARE(f->ConnectUsb(), 0);
        if (listEmpty)
            OrloSim_SetDeviceList(nullptr, 0);
        Setting::ConnectSetting record = Stored();
        record.SpecifyDevice = specify ? 1 : 0;
        Store(record);
        const auto expected = [&](bool specifyMode) { return !connected && (specifyMode || !listEmpty); };

        CVCConnectSetting dialog(f->model.get(), nullptr, false);
        ModalRunner::Run(&dialog, [&](QDialog *d) {
            auto *connect = Child<QPushButton>(d, "pushConnect");
            QCOMPARE(connect->isEnabled(), expected(specify));
            QCOMPARE(Child<QRadioButton>(d, "radioSpecifyDevice")->isChecked(), specify);
            Child<QRadioButton>(d, specify ? "radioSelectDevice" : "radioSpecifyDevice")->setChecked(true);
            QCOMPARE(connect->isEnabled(), expected(!specify));
        });
    }

    void typingSelectsAddressing()
    {
        Setting::ConnectSetting record;
        record.ConnectionKind = 1;
        record.SpecifyDevice = 1;
        Store(record);
        CVCConnectSetting dialog(f->model.get(), nullptr, false);
        ModalRunner::Run(&dialog, [&](QDialog *d) {
            auto *network = Child<QRadioButton>(d, "radioNetwork");
            auto *address = Child<QRadioButton>(d, "radioIPAddress");
            QVERIFY(Child<QLineEdit>(d, "editIPAddress")->isEnabled());
            QTest::keyClicks(Child<QLineEdit>(d, "editIPAddress"), QStringLiteral("1"));
            QVERIFY(address->isChecked());
            QTest::keyClicks(Child<QLineEdit>(d, "editNetworkName"), QStringLiteral("a"));
            QVERIFY(network->isChecked());
        });
    }

    void shownAddressing_data()
    {
        QTest::addColumn<int>("addressKind");
        QTest::addColumn<QString>("networkName");
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("byAddress");
        QTest::newRow("address with a digit beats stored name addressing") << 0 << "net" << "1.2.3.4" << true;
        QTest::newRow("name beats stored address addressing") << 1 << "net" << "" << false;
        QTest::newRow("separators only leave the name") << 1 << "net" << "..." << false;
        QTest::newRow("both empty: stored address addressing") << 1 << "" << "" << true;
        QTest::newRow("both empty: stored name addressing") << 0 << "" << "" << false;
    }
    void shownAddressing()
    {
        QFETCH(int, addressKind);
        QFETCH(QString, networkName);
        QFETCH(QString, address);
        Setting::ConnectSetting record;
        record.ConnectionKind = 1;
        record.AddressKind = addressKind;
        record.NetworkName = networkName;
        record.Address = address;
        record.SpecifyDevice = 1;
        Store(record);
        CVCConnectSetting dialog(f->model.get(), nullptr, false);
        ModalRunner::Run(&dialog, [&](QDialog *d) {
            QVERIFY(Child<QRadioButton>(d, "radioEthernet")->isChecked());
            QTEST(Child<QRadioButton>(d, "radioIPAddress")->isChecked(), "byAddress");
            QCOMPARE(Child<QLineEdit>(d, "editNetworkName")->text(), networkName);
        });
    }

    void deviceSearchFails_data()
    {
        QTest::addColumn<bool>("report");
        QTest::addColumn<QList<int>>("messages");
        QTest::newRow("reported") << true << QList<int>{56};
        QTest::newRow("quiet") << false << QList<int>{};
    }
    void deviceSearchFails()
    {
        QFETCH(bool, report);
        OrloSim_FailNext("Orlo_GetDeviceList", 5);
        CVCConnectSetting dialog(f->model.get(), nullptr, report);
        ModalRunner::Run(&dialog, [&](QDialog *d) {
            QCOMPARE(Child<QTreeWidget>(d, "treeDeviceList")->topLevelItemCount(), 0);
            QVERIFY(!Child<QPushButton>(d, "pushConnect")->isEnabled());
        });
        QTEST(f->window->errors, "messages");
    }

    void storingFails()
    {
        const QString path = SettingsPath();
        QFile::remove(path);
        QVERIFY(QDir().mkdir(path));
        CVCConnectSetting dialog(f->model.get(), nullptr, false);
        QSignalSpy connects(&dialog, &CVCConnectSetting::connectOrlo);
        bool open = false;
        const int result = ModalRunner::Run(&dialog, [&](QDialog *d) {
            Child<QPushButton>(d, "pushConnect")->click();
            open = d->isVisible();
        });
        QVERIFY(open);
        QCOMPARE(result, int(QDialog::Rejected));
        QCOMPARE(connects.count(), 0);
        QCOMPARE(f->window->errors, QList<int>{2});
    }

    void noCurrentDevice()
    {
        const QByteArray before = ReadAll(SettingsPath());
        CVCConnectSetting dialog(f->model.get(), nullptr, false);
        bool open = false;
        ModalRunner::Run(&dialog, [&](QDialog *d) {
            auto *tree = Child<QTreeWidget>(d, "treeDeviceList");
            QCOMPARE(tree->topLevelItemCount(), 1);
            tree->setCurrentItem(nullptr);
            Child<QPushButton>(d, "pushConnect")->click();
            open = d->isVisible();
        });
        QVERIFY(open);
        QCOMPARE(ReadAll(SettingsPath()), before);
        QVERIFY(f->window->errors.isEmpty());
    }

    // The caller's steps after Accepted: connect with what was stored, without the device search.
    void pickAndConnect()
    {
        CVCConnectSetting dialog(f->model.get(), nullptr, true);
        const int result = ModalRunner::Run(&dialog, [&](QDialog *d) {
            QTreeWidgetItem *item = Child<QTreeWidget>(d, "treeDeviceList")->currentItem();
            QVERIFY(item);
            QCOMPARE(QStringList({item->text(0), item->text(1), item->text(2)}),
                     QStringList({"ORS00001", "USB", "usb0"}));
            Child<QPushButton>(d, "pushConnect")->click();
        });
        QCOMPARE(result, int(QDialog::Accepted));
        OrloSim_ClearCallLog();
        QCOMPARE(f->model->ConnectOrlo(false), 0);
        QVERIFY(f->model->IsOrloConnected());
        QVERIFY(QString::fromLatin1(OrloSim_CallLog()).contains(QStringLiteral("Orlo_Connect(1,usb0)")));
        QVERIFY(f->window->errors.isEmpty());
    }
};

QTEST_MAIN(TestConnection)
#include "test_connection.moc"
