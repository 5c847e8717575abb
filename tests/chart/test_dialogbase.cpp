// The dialog base: Return and Enter never fire the default button, Escape still rejects, and the title-bar
// hints stay beside a dialog's own flags.
#include "chart/vcdialog.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QVBoxLayout>
#include <QtTest>

namespace {

struct Form {
    CVCDialog dialog;
    QLineEdit *edit = new QLineEdit(&dialog);
    QPushButton *ok = new QPushButton(QStringLiteral("OK"), &dialog);

    Form()
    {
        auto *layout = new QVBoxLayout(&dialog);
        layout->addWidget(edit);
        layout->addWidget(ok);
        ok->setDefault(true);
        QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
        dialog.show();
        edit->setFocus();
    }
};

} // namespace

class TestDialogBase : public QObject
{
    Q_OBJECT

private slots:
    void returnAndEnterDoNothing_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::newRow("Return") << int(Qt::Key_Return) << int(Qt::NoModifier);
        QTest::newRow("Enter") << int(Qt::Key_Enter) << int(Qt::KeypadModifier);
    }
    void returnAndEnterDoNothing()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        Form form;
        QSignalSpy clicked(form.ok, &QPushButton::clicked);
        QSignalSpy finished(&form.dialog, &QDialog::finished);
        QTest::keyClick(form.edit, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(clicked.count(), 0);
        QCOMPARE(finished.count(), 0);
        QVERIFY(form.dialog.isVisible());
    }

    // The button's own handling, not the dialog's, so it stays.
    void focusedButtonStillTakesReturn()
    {
        Form form;
        QSignalSpy clicked(form.ok, &QPushButton::clicked);
        QTest::keyClick(form.ok, Qt::Key_Return);
        QCOMPARE(clicked.count(), 1);
        QCOMPARE(form.dialog.result(), int(QDialog::Accepted));
    }

    void escapeRejects()
    {
        Form form;
        QSignalSpy clicked(form.ok, &QPushButton::clicked);
        QSignalSpy rejected(&form.dialog, &QDialog::rejected);
        QTest::keyClick(form.edit, Qt::Key_Escape);
        QCOMPARE(rejected.count(), 1);
        QCOMPARE(clicked.count(), 0);
        QVERIFY(!form.dialog.isVisible());
    }

    void titleBarHintsBesideOwnFlags_data()
    {
        QTest::addColumn<int>("own");
        QTest::newRow("none") << 0;
        QTest::newRow("minimise and maximise") << int(Qt::WindowMinMaxButtonsHint);
        QTest::newRow("stay on top") << int(Qt::WindowStaysOnTopHint);
    }
    void titleBarHintsBesideOwnFlags()
    {
        QFETCH(int, own);
        CVCDialog dialog(nullptr, Qt::WindowFlags(own));
        const Qt::WindowFlags flags = dialog.windowFlags();
        const Qt::WindowFlags required = Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint
                                         | Qt::WindowFlags(own);
        QCOMPARE(flags & required, required);
        QCOMPARE(flags & Qt::WindowType_Mask, Qt::Dialog);
    }
};

QTEST_MAIN(TestDialogBase)
#include "test_dialogbase.moc"
