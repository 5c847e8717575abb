// The printer entry dialog: its form, the order of its checks, what it hands out and when it empties its
// fields, and the opener storing the entry so that a later start finds the printer.
#include "settings/vcprinteradd.h"

#include "formprobe.h"
#include "modalrunner.h"
#include "modelfixture.h"
#include "scriptedpresenter.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QValidator>
#include <QtTest>

namespace {

template <typename T> T *Child(QObject *dialog, const char *name)
{
    return dialog->findChild<T *>(QString::fromLatin1(name));
}

struct Entry {
    QString name, password, address, port;
};

Entry Fields(QDialog *d)
{
    return {Child<QLineEdit>(d, "editPrinterName")->text(), Child<QLineEdit>(d, "editPassword")->text(),
            Child<QLineEdit>(d, "editIPAddress")->text(), Child<QLineEdit>(d, "editPort")->text()};
}

void Fill(QDialog *d, const Entry &entry)
{
    Child<QLineEdit>(d, "editPrinterName")->setText(entry.name);
    Child<QLineEdit>(d, "editPassword")->setText(entry.password);
    Child<QLineEdit>(d, "editIPAddress")->setText(entry.address);
    Child<QLineEdit>(d, "editPort")->setText(entry.port);
}

QStringList Handed(CVCPrinterAdd *dialog)
{
    QString name, password, address, port;
    dialog->GetPrinter(&name, &password, &address, &port);
    return {name, password, address, port};
}

} // namespace

class TestPrinter : public QObject
{
    Q_OBJECT

    // A fresh data root for every test: what one test stores must not reach the next.
    std::unique_ptr<ModelFixture> f;

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
            {"labelPrinterName", "QLabel"}, {"editPrinterName", "QLineEdit"}, {"labelPassword", "QLabel"},
            {"editPassword", "QLineEdit"},  {"labelIPAddress", "QLabel"},     {"editIPAddress", "QLineEdit"},
            {"labelPort", "QLabel"},        {"editPort", "QLineEdit"},        {"pushOK", "QPushButton"},
            {"pushCancel", "QPushButton"},  {"hLayoutFooter", "QHBoxLayout"}});
    }
    void form()
    {
        CVCPrinterAdd dialog(f->model.get(), nullptr);
        VerifyFormObject(&dialog);
    }

    void formAsBuilt()
    {
        CVCPrinterAdd dialog(f->model.get(), nullptr);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Add Printer"));
        QCOMPARE(dialog.size(), QSize(300, 250));
        QCOMPARE(Child<QLineEdit>(&dialog, "editPassword")->echoMode(), QLineEdit::Password);
        QCOMPARE(Child<QLineEdit>(&dialog, "editIPAddress")->text(), QStringLiteral("..."));
        QCOMPARE(Child<QLineEdit>(&dialog, "editPort")->inputMask(), QString());
        QCOMPARE(Child<QLineEdit>(&dialog, "editPort")->maxLength(), 5);
        int position = 0;
        QString port = QStringLiteral("12a");
        QCOMPARE(Child<QLineEdit>(&dialog, "editPort")->validator()->validate(port, position), QValidator::Invalid);
    }

    void lengthLimits()
    {
        CVCPrinterAdd dialog(f->model.get(), nullptr);
        QTest::keyClicks(Child<QLineEdit>(&dialog, "editPrinterName"), QString(129, 'p'));
        QTest::keyClicks(Child<QLineEdit>(&dialog, "editPassword"), QStringLiteral("123456789"));
        QTest::keyClicks(Child<QLineEdit>(&dialog, "editPort"), QStringLiteral("1a 2b3"));
        QCOMPARE(Child<QLineEdit>(&dialog, "editPrinterName")->text(), QString(128, 'p'));
        QCOMPARE(Child<QLineEdit>(&dialog, "editPassword")->text(), QStringLiteral("12345678"));
        QCOMPARE(Child<QLineEdit>(&dialog, "editPort")->text(), QStringLiteral("1 23"));
    }

    void keys()
    {
        ScriptedPresenter script;
        CVCPrinterAdd dialog(f->model.get(), nullptr);
        bool stayedOpen = false;
        const int result = ModalRunner::Run(&dialog, [&](QDialog *d) {
            QVERIFY(QTest::qWaitForWindowActive(d));
            Fill(d, {"Press", "pw", "10.0.0.1", "30091"});
            Child<QLineEdit>(d, "editPort")->setFocus();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter);
            stayedOpen = d->isVisible();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        });
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        QVERIFY(stayedOpen);
        QCOMPARE(result, 0);
        QCOMPARE(f->model->GetMeasureDataSaveSetting()->PrinterCount, 0);
        // Escape keeps the texts for the next opening.
        ModalRunner::Run(&dialog, [&](QDialog *d) {
            const Entry shown = Fields(d);
            QCOMPARE(QStringList({shown.name, shown.password, shown.address, shown.port}),
                     QStringList({"Press", "pw", "10.0.0.1", "30091"}));
        });
    }

    // Checked in order, the first failure only: its message and the field that then has the focus.
    void checks_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("port");
        QTest::addColumn<int>("message");
        QTest::addColumn<QString>("focus");
        QTest::newRow("all empty") << "" << "" << "" << "" << 42 << "editPrinterName";
        QTest::newRow("name only") << "P" << "" << "" << "" << 43 << "editPassword";
        QTest::newRow("address ...") << "P" << "pw" << "..." << "" << 44 << "editIPAddress";
        QTest::newRow("address with a blank group") << "P" << "pw" << "10..0.1" << "1" << 44 << "editIPAddress";
        QTest::newRow("port empty") << "P" << "pw" << "10.0.0.1" << "" << 45 << "editPort";
        QTest::newRow("999.1.1.1 and a port of blanks") << "P" << "pw" << "999.1.1.1" << "   " << 0 << "";
    }
    void checks()
    {
        QFETCH(QString, name);
        QFETCH(QString, password);
        QFETCH(QString, address);
        QFETCH(QString, port);
        QFETCH(int, message);
        QFETCH(QString, focus);
        ScriptedPresenter script;
        CVCPrinterAdd dialog(f->model.get(), nullptr);
        QWidget *focused = nullptr;
        int cursor = -1;
        const int result = ModalRunner::Run(&dialog, [&](QDialog *d) {
            QVERIFY(QTest::qWaitForWindowActive(d));
            Fill(d, {name, password, address, port});
            Child<QLineEdit>(d, "editIPAddress")->setCursorPosition(5);
            Child<QPushButton>(d, "pushOK")->click();
            focused = QApplication::focusWidget();
            cursor = Child<QLineEdit>(d, "editIPAddress")->cursorPosition();
        });
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        if (message == 0) {
            QCOMPARE(result, 1);
            QVERIFY(f->window->errors.isEmpty());
            QCOMPARE(Handed(&dialog), QStringList({name, password, address, port}));
            return;
        }
        QCOMPARE(result, 0);
        QCOMPARE(f->window->errors, QList<int>{message});
        QCOMPARE(focused, dialog.findChild<QLineEdit *>(focus));
        if (message == 44)
            QCOMPARE(cursor, 0);
    }

    void cancelEmptiesTheFields()
    {
        CVCPrinterAdd dialog(f->model.get(), nullptr);
        const int result = ModalRunner::Run(&dialog, [&](QDialog *d) {
            Fill(d, {"Press", "pw", "10.0.0.1", "30091"});
            Child<QPushButton>(d, "pushCancel")->click();
        });
        QCOMPARE(result, 0);
        QCOMPARE(Handed(&dialog), QStringList({"", "", "...", ""}));
    }

    void handedOutOnce()
    {
        CVCPrinterAdd dialog(f->model.get(), nullptr);
        dialog.SetIPAddress(QStringLiteral("192.168.1.20"));
        const int result = ModalRunner::Run(&dialog, [&](QDialog *d) {
            QCOMPARE(Child<QLineEdit>(d, "editIPAddress")->text(), QStringLiteral("192.168.1.20"));
            Fill(d, {"Press", "pw", Fields(d).address, "30091"});
            Child<QPushButton>(d, "pushOK")->click();
        });
        QCOMPARE(result, 1);
        QCOMPARE(Handed(&dialog), QStringList({"Press", "pw", "192.168.1.20", "30091"}));
        QCOMPARE(Handed(&dialog), QStringList({"", "", "...", ""}));
    }

    // The density-balance window's sequence: a printer the chart names is not stored, the dialog presets its
    // address, and the entry is stored so that the next start finds it.
    void registerPrinter()
    {
        Setting::MeasureDataSave record = *f->model->GetMeasureDataSaveSetting();
        record.PrinterCount = 2;
        record.Printers[0] = {QStringLiteral("A"), QStringLiteral("a"), QStringLiteral("10.0.0.1"), QString()};
        record.Printers[1] = {QStringLiteral("B"), QStringLiteral("b"), QStringLiteral("10.0.0.2"), QString()};
        QCOMPARE(f->model->SetMeasureDataSaveSetting(record), 0);
        const QString address = QStringLiteral("192.168.1.20");
        QVERIFY(!f->model->FindPrinter(address, nullptr));
        QVERIFY(!f->model->IsPrinterListFull());

        CVCPrinterAdd dialog(f->model.get(), nullptr);
        dialog.SetIPAddress(address);
        const int result = ModalRunner::Run(&dialog, [&](QDialog *d) {
            Child<QLineEdit>(d, "editPrinterName")->setText(QStringLiteral("Press 2"));
            Child<QLineEdit>(d, "editPassword")->setText(QStringLiteral("secret"));
            Child<QLineEdit>(d, "editPort")->setText(QStringLiteral("30091"));
            Child<QPushButton>(d, "pushOK")->click();
        });
        QCOMPARE(result, 1);
        Setting::PrinterInfo entry;
        dialog.GetPrinter(&entry.Name, &entry.Password, &entry.IPAddress, &entry.Port);
        QCOMPARE(f->model->StorePrinterEntry(entry), 0);
        QCOMPARE(f->model->GetMeasureDataSaveSetting()->PrinterCount, 3);

        QVERIFY(f->Make());
        Setting::PrinterInfo found;
        QVERIFY(f->model->FindPrinter(address, &found));
        QCOMPARE(QStringList({found.Name, found.Password, found.IPAddress, found.Port}),
                 QStringList({"Press 2", "secret", "192.168.1.20", "30091"}));
        QVERIFY(f->window->errors.isEmpty());
    }
};

QTEST_MAIN(TestPrinter)
#include "test_printer.moc"
