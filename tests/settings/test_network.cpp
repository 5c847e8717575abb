// The chart scanner's network settings dialog: its form, what it writes into the instrument and when, the name
// and address checks, and the instrument failing to answer.
#include "settings/vcnetworksetting.h"

#include "formprobe.h"
#include "modalrunner.h"
#include "modelfixture.h"
#include "scriptedpresenter.h"

#include <QApplication>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QValidator>
#include <QtTest>

namespace {

template <typename T> T *Child(QObject *dialog, const char *name)
{
    return dialog->findChild<T *>(QString::fromLatin1(name));
}

int CallCount(const char *function)
{
    return QString::fromLatin1(OrloSim_CallLog()).count(QString::fromLatin1(function) + QLatin1Char('('));
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

class TestNetwork : public QObject
{
    Q_OBJECT

    // A fresh data root for every test: what one test stores must not reach the next.
    std::unique_ptr<ModelFixture> f;

    OrloNetworkSetting Instrument()
    {
        OrloNetworkSetting setting;
        [&] { QCOMPARE(f->model->GetOrloNetworkSetting(&setting), 0); }();
        return setting;
    }

private slots:
    void init()
    {
        f.reset(new ModelFixture);
        QVERIFY(f->Make());
        QCOMPARE(f->ConnectUsb(), 0);
        // Fixed addressing to start from, as the instrument may hold it.
        QCOMPARE(f->model->SetOrloNetworkSetting({QStringLiteral("ORLO"), 1, QStringLiteral("192.168.0.10"),
                                                 QStringLiteral("255.255.255.0"), QStringLiteral("192.168.0.1")}),
                 0);
        OrloSim_ClearCallLog();
    }
    void cleanup() { f.reset(); }

    void form_data()
    {
        AddFormObjectRows({
            {"groupNetworkName", "QGroupBox"},  {"editNetworkName", "QLineEdit"},
            {"radioAuto", "QRadioButton"},      {"radioUse", "QRadioButton"},
            {"groupUse", "QGroupBox"},          {"labelIPAddress", "QLabel"},
            {"editIPAddress", "QLineEdit"},     {"labelSubnetMask", "QLabel"},
            {"editSubnetMask", "QLineEdit"},    {"labelDefaultGateway", "QLabel"},
            {"editDefaultGateway", "QLineEdit"}, {"lineFooter", "QFrame"},
            {"pushOK", "QPushButton"},          {"cancelButton", "QPushButton"},
            {"hLayoutFooter", "QHBoxLayout"}});
    }
    void form()
    {
        CVCNetworkSetting dialog(f->model.get(), nullptr);
        VerifyFormObject(&dialog);
    }

    void formAsBuilt()
    {
        CVCNetworkSetting dialog(f->model.get(), nullptr);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Network Settings"));
        QCOMPARE(dialog.size(), QSize(279, 259));
        QVERIFY(!dialog.windowIcon().isNull());
        QVERIFY(Child<QRadioButton>(&dialog, "radioAuto")->isChecked());
        QVERIFY(!Child<QGroupBox>(&dialog, "groupUse")->isEnabled());
        for (const char *edit : {"editIPAddress", "editSubnetMask", "editDefaultGateway"}) {
            QCOMPARE(Child<QLineEdit>(&dialog, edit)->text(), QStringLiteral("..."));
            QCOMPARE(Child<QLineEdit>(&dialog, edit)->minimumWidth(), 150);
            QVERIFY(Child<QLineEdit>(&dialog, edit)->validator());
        }
        const char *chain[] = {"editNetworkName", "radioAuto",          "radioUse", "editIPAddress",
                               "editSubnetMask",  "editDefaultGateway", "pushOK",   "cancelButton"};
        for (size_t i = 0; i + 1 < sizeof chain / sizeof *chain; ++i)
            QVERIFY2(NextTabStop(Child<QWidget>(&dialog, chain[i])) == Child<QWidget>(&dialog, chain[i + 1]), chain[i]);
    }

    void nameValidator_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("refused");
        QTest::newRow("lab-1.x") << "lab-1.x" << false;
        QTest::newRow("a b") << "a b" << true;
        QTest::newRow("17 characters") << QString(17, 'n') << true;
    }
    void nameValidator()
    {
        QFETCH(QString, text);
        CVCNetworkSetting dialog(f->model.get(), nullptr);
        int position = 0;
        const QValidator *validator = Child<QLineEdit>(&dialog, "editNetworkName")->validator();
        QVERIFY(validator);
        QTEST(validator->validate(text, position) == QValidator::Invalid, "refused");
    }

    void keys()
    {
        CVCNetworkSetting dialog(f->model.get(), nullptr);
        bool stayedOpen = false;
        const int result = ModalRunner::Run(&dialog, [&](QDialog *d) {
            QVERIFY(QTest::qWaitForWindowActive(d));
            Child<QLineEdit>(d, "editNetworkName")->setFocus();
            Child<QLineEdit>(d, "editNetworkName")->setText(QStringLiteral("changed"));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter);
            stayedOpen = d->isVisible();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        });
        QVERIFY(stayedOpen);
        QCOMPARE(result, int(QDialog::Rejected));
        QCOMPARE(CallCount("Orlo_SetNetworkSetting"), 0);
        QCOMPARE(Instrument().Name, QStringLiteral("ORLO"));
    }

    void notConnected()
    {
        QCOMPARE(f->model->DisconnectOrlo(), 0);
        CVCNetworkSetting dialog(f->model.get(), nullptr);
        bool shown = false;
        const int result = ModalRunner::Run(&dialog, [&](QDialog *) { shown = true; });
        QCOMPARE(result, 0);
        QVERIFY(!shown);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(f->window->errors, QList<int>{19});
    }

    // What OK writes: nothing when nothing changed, else the whole record and the reboot notice.
    void ok_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("automatic");
        QTest::addColumn<QString>("warning");
        QTest::addColumn<int>("writes");
        QTest::newRow("unchanged") << "ORLO" << false << "" << 0;
        QTest::newRow("only automatic addressing") << "ORLO" << true << "" << 1;
        QTest::newRow("name a1") << "a1" << false << "" << 1;
        QTest::newRow("name empty") << "" << false << "Network name is not entered." << 0;
        QTest::newRow("name of digits and dots")
            << "192.168.0.1" << false << "Invalid character is contained in network name. " << 0;
    }
    void ok()
    {
        QFETCH(QString, name);
        QFETCH(bool, automatic);
        QFETCH(QString, warning);
        QFETCH(int, writes);
        ScriptedPresenter script;
        if (!warning.isEmpty())
            script.ExpectWarn(warning);
        else if (writes > 0)
            script.ExpectInform(QStringLiteral("Please reboot Orlo."));
        CVCNetworkSetting dialog(f->model.get(), nullptr);
        bool open = false;
        const int result = ModalRunner::Run(&dialog, [&](QDialog *d) {
            QVERIFY(Child<QRadioButton>(d, "radioUse")->isChecked());
            QVERIFY(Child<QGroupBox>(d, "groupUse")->isEnabled());
            Child<QLineEdit>(d, "editNetworkName")->setText(name);
            if (automatic)
                Child<QRadioButton>(d, "radioAuto")->setChecked(true);
            Child<QPushButton>(d, "pushOK")->click();
            open = d->isVisible();
        });
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        QCOMPARE(open, !warning.isEmpty());
        QCOMPARE(result, warning.isEmpty() ? 1 : 0);
        QCOMPARE(CallCount("Orlo_SetNetworkSetting"), writes);
        const OrloNetworkSetting stored = Instrument();
        QCOMPARE(stored.Name, writes ? name : QStringLiteral("ORLO"));
        QCOMPARE(stored.Dhcp, automatic ? 0 : 1);
        QCOMPARE(stored.Address, QStringLiteral("192.168.0.10"));
        QVERIFY(f->window->errors.isEmpty());
    }

    void fixedAddressOutOfRange_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("text");
        for (const char *field : {"editIPAddress", "editSubnetMask", "editDefaultGateway"}) {
            for (const char *text : {"999.1.1.1", "1..1.1", "192.168.0.300"})
                QTest::addRow("%s %s", field, text) << QString::fromLatin1(field) << QString::fromLatin1(text);
        }
    }
    void fixedAddressOutOfRange()
    {
        QFETCH(QString, field);
        QFETCH(QString, text);
        ScriptedPresenter script;
        script.ExpectWarn(QStringLiteral("IP Address is 0 - 255"));
        CVCNetworkSetting dialog(f->model.get(), nullptr);
        QWidget *focused = nullptr;
        ModalRunner::Run(&dialog, [&](QDialog *d) {
            QVERIFY(QTest::qWaitForWindowActive(d));
            Child<QLineEdit>(d, "editNetworkName")->setFocus();
            d->findChild<QLineEdit *>(field)->setText(text);
            Child<QPushButton>(d, "pushOK")->click();
            focused = QApplication::focusWidget();
        });
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        QCOMPARE(focused, dialog.findChild<QLineEdit *>(field));
        QCOMPARE(CallCount("Orlo_GetNetworkSetting"), 1); // refused before the second read
        QCOMPARE(CallCount("Orlo_SetNetworkSetting"), 0);
    }

    void instrumentFailsAtOk_data()
    {
        QTest::addColumn<QString>("function");
        QTest::newRow("read again") << "Orlo_GetNetworkSetting";
        QTest::newRow("write") << "Orlo_SetNetworkSetting";
    }
    void instrumentFailsAtOk()
    {
        QFETCH(QString, function);
        ScriptedPresenter script;
        CVCNetworkSetting dialog(f->model.get(), nullptr);
        bool open = false;
        const int result = ModalRunner::Run(&dialog, [&](QDialog *d) {
            Child<QLineEdit>(d, "editNetworkName")->setText(QStringLiteral("lab2"));
            OrloSim_FailNext(function.toLatin1().constData(), 5);
            Child<QPushButton>(d, "pushOK")->click();
            open = d->isVisible();
            QCOMPARE(Child<QLineEdit>(d, "editNetworkName")->text(), QStringLiteral("lab2"));
        });
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        QVERIFY(open);
        QCOMPARE(result, 0);
        QCOMPARE(f->window->errors, QList<int>{19});
        QCOMPARE(Instrument().Name, QStringLiteral("ORLO"));
    }

    void automaticModeWritesAddressesBack()
    {
        QCOMPARE(f->model->SetOrloNetworkSetting({QStringLiteral("ORLO"), 0, QStringLiteral("10.1.2.3"),
                                                 QStringLiteral("255.0.0.0"), QStringLiteral("10.0.0.254")}),
                 0);
        ScriptedPresenter script;
        script.ExpectInform(QStringLiteral("Please reboot Orlo."));
        CVCNetworkSetting dialog(f->model.get(), nullptr);
        const int result = ModalRunner::Run(&dialog, [&](QDialog *d) {
            QVERIFY(Child<QRadioButton>(d, "radioAuto")->isChecked());
            QVERIFY(!Child<QGroupBox>(d, "groupUse")->isEnabled());
            QCOMPARE(Child<QLineEdit>(d, "editIPAddress")->text(), QStringLiteral("10.1.2.3"));
            Child<QLineEdit>(d, "editNetworkName")->setText(QStringLiteral("lab2"));
            Child<QPushButton>(d, "pushOK")->click();
        });
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        QCOMPARE(result, 1);
        const OrloNetworkSetting stored = Instrument();
        QCOMPARE(stored.Name, QStringLiteral("lab2"));
        QCOMPARE(stored.Dhcp, 0);
        QCOMPARE(QStringList({stored.Address, stored.Mask, stored.Gateway}),
                 QStringList({"10.1.2.3", "255.0.0.0", "10.0.0.254"}));
    }

    // Fixed addressing with three new addresses, the reboot notice, and the instrument holding them.
    void fixedAddresses()
    {
        QCOMPARE(f->model->SetOrloNetworkSetting({QStringLiteral("ORLO"), 0, QStringLiteral("0.0.0.0"),
                                                 QStringLiteral("0.0.0.0"), QStringLiteral("0.0.0.0")}),
                 0);
        ScriptedPresenter script;
        script.ExpectInform(QStringLiteral("Please reboot Orlo."));
        CVCNetworkSetting dialog(f->model.get(), nullptr);
        const int result = ModalRunner::Run(&dialog, [&](QDialog *d) {
            Child<QRadioButton>(d, "radioUse")->setChecked(true);
            QVERIFY(Child<QGroupBox>(d, "groupUse")->isEnabled());
            Child<QLineEdit>(d, "editIPAddress")->setText(QStringLiteral("172.16.5.20"));
            Child<QLineEdit>(d, "editSubnetMask")->setText(QStringLiteral("255.255.0.0"));
            Child<QLineEdit>(d, "editDefaultGateway")->setText(QStringLiteral("172.16.0.1"));
            Child<QPushButton>(d, "pushOK")->click();
        });
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        QCOMPARE(result, 1);
        const OrloNetworkSetting stored = Instrument();
        QCOMPARE(stored.Name, QStringLiteral("ORLO"));
        QCOMPARE(stored.Dhcp, 1);
        QCOMPARE(QStringList({stored.Address, stored.Mask, stored.Gateway}),
                 QStringList({"172.16.5.20", "255.255.0.0", "172.16.0.1"}));
        QVERIFY(f->window->errors.isEmpty());
    }
};

QTEST_MAIN(TestNetwork)
#include "test_network.moc"
