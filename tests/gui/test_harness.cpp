// The scripted presenter and the modal runner: expected calls are answered, unexpected ones are recorded and
// answered safely, and no modal loop is left running.
#include "modalrunner.h"
#include "scriptedpresenter.h"

#include <QDialog>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QVBoxLayout>
#include <QtTest>

namespace {

class NameDialog : public QDialog
{
    Q_OBJECT
public:
    NameDialog()
    {
        auto *layout = new QVBoxLayout(this);
        edit = new QLineEdit(this);
        ok = new QPushButton(QStringLiteral("OK"), this);
        layout->addWidget(edit);
        layout->addWidget(ok);
        connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    }
    QLineEdit *edit = nullptr;
    QPushButton *ok = nullptr;
};

class OtherDialog : public QDialog
{
    Q_OBJECT
};

} // namespace

class TestHarness : public QObject
{
    Q_OBJECT

private slots:
    void installsAndRestores()
    {
        CUiPresenter *widgets = &CUiPresenter::Current();
        {
            ScriptedPresenter outer;
            QCOMPARE(&CUiPresenter::Current(), static_cast<CUiPresenter *>(&outer));
            {
                ScriptedPresenter inner;
                QCOMPARE(&CUiPresenter::Current(), static_cast<CUiPresenter *>(&inner));
            }
            QCOMPARE(&CUiPresenter::Current(), static_cast<CUiPresenter *>(&outer));
        }
        QCOMPARE(&CUiPresenter::Current(), widgets);
    }

    void boxesAnsweredInOrder()
    {
        ScriptedPresenter script;
        script.ExpectAsk(QStringLiteral("Delete?"), QMessageBox::Yes)
            .ExpectWarn(QStringLiteral("Careful"))
            .ExpectInform(QString())
            .ExpectRecord(QStringLiteral("Failed to save the file."));
        CUiPresenter &ui = CUiPresenter::Current();
        QCOMPARE(ui.Ask(nullptr, QStringLiteral("Delete?")), QMessageBox::Yes);
        ui.Warn(nullptr, QStringLiteral("Careful"));
        ui.Inform(nullptr, QStringLiteral("any text"));
        ErrorMessageRecord record;
        record.text = QStringLiteral("Failed to save the file.");
        record.icon = MessageIconCritical;
        ui.ShowRecord(nullptr, record, QStringLiteral("advice"));
        QVERIFY2(script.Done(), qPrintable(script.Problems()));

        const QList<ScriptedPresenter::Call> &calls = script.Calls();
        QCOMPARE(calls.size(), 4);
        QCOMPARE(calls[0].buttons, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(calls[0].defaultButton, QMessageBox::NoButton);
        QCOMPARE(calls[2].text, QStringLiteral("any text"));
        QCOMPARE(calls[3].icon, int(MessageIconCritical));
        QCOMPARE(calls[3].informativeText, QStringLiteral("advice"));
        QVERIFY(calls[3].stayOnTop);
    }

    void unexpectedAskAnsweredSafely_data()
    {
        QTest::addColumn<int>("buttons");
        QTest::addColumn<int>("answer");
        QTest::newRow("yes no") << int(QMessageBox::Yes | QMessageBox::No) << int(QMessageBox::No);
        QTest::newRow("yes no cancel") << int(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel)
                                       << int(QMessageBox::Cancel);
        QTest::newRow("ok") << int(QMessageBox::Ok) << int(QMessageBox::NoButton);
    }

    void unexpectedAskAnsweredSafely()
    {
        QFETCH(int, buttons);
        QFETCH(int, answer);
        ScriptedPresenter script;
        // The expected answer is not among the buttons: also safe.
        script.ExpectAsk(QStringLiteral("Overwrite?"), QMessageBox::Save);
        const auto shown = CUiPresenter::Current().Ask(nullptr, QStringLiteral("Overwrite?"),
                                                       QMessageBox::StandardButtons(buttons), QMessageBox::Yes);
        QCOMPARE(int(shown), answer);
        QCOMPARE(CUiPresenter::Current().Ask(nullptr, QStringLiteral("Unplanned"),
                                             QMessageBox::StandardButtons(buttons)),
                 QMessageBox::StandardButton(answer));
        QVERIFY(!script.Done());
        QVERIFY(script.Problems().contains(QStringLiteral("has no button")));
        QVERIFY(script.Problems().contains(QStringLiteral("unexpected Ask \"Unplanned\"")));
        QCOMPARE(script.Calls().size(), 2);
        QCOMPARE(script.Calls()[0].defaultButton, QMessageBox::Yes);
    }

    // A box out of order or never shown is a failure; the queue head stays for the call it expects.
    void mismatchesAreProblems()
    {
        ScriptedPresenter script;
        script.ExpectWarn(QStringLiteral("first")).ExpectInform(QStringLiteral("never shown"));
        CUiPresenter::Current().Inform(nullptr, QStringLiteral("never shown"));
        CUiPresenter::Current().Warn(nullptr, QStringLiteral("first"));
        QVERIFY(!script.Done());
        const QString problems = script.Problems();
        QVERIFY2(problems.contains(QStringLiteral("unexpected Inform \"never shown\"")), qPrintable(problems));
        QVERIFY2(problems.contains(QStringLiteral("expected Inform \"never shown\" never came")), qPrintable(problems));
        QVERIFY2(!problems.contains(QStringLiteral("first")), qPrintable(problems));
    }

    void fileDialogs()
    {
        ScriptedPresenter script;
        script.ExpectOpenFile(QStringLiteral("Open"), QStringLiteral("/tmp/a.xml"), QStringLiteral("XML (*.xml)"))
            .ExpectSaveFile(QStringLiteral("Save"), QStringLiteral("/tmp/b.txt"))
            .ExpectDirectory(QStringLiteral("Choose Folder"), QStringLiteral("/tmp"));
        CUiPresenter &ui = CUiPresenter::Current();
        const QString filters = QStringLiteral("Text (*.txt);;XML (*.xml)");
        QString filter = QStringLiteral("Text (*.txt)");
        QCOMPARE(ui.OpenFileName(nullptr, QStringLiteral("Open"), QStringLiteral("/home"), filters, &filter),
                 QStringLiteral("/tmp/a.xml"));
        QCOMPARE(filter, QStringLiteral("XML (*.xml)"));
        // No chosen filter in the script: the caller's stays.
        QCOMPARE(ui.SaveFileName(nullptr, QStringLiteral("Save"), QStringLiteral("/home"), filters, &filter),
                 QStringLiteral("/tmp/b.txt"));
        QCOMPARE(filter, QStringLiteral("XML (*.xml)"));
        QCOMPARE(ui.ExistingDirectory(nullptr, QStringLiteral("Choose Folder"), QStringLiteral("/home")),
                 QStringLiteral("/tmp"));
        // Unexpected: cancelled.
        QVERIFY(ui.OpenFileName(nullptr, QStringLiteral("Open"), QString()).isEmpty());
        QCOMPARE(script.Calls()[0].selectedFilter, QStringLiteral("Text (*.txt)"));
        QCOMPARE(script.Calls()[0].filter, filters);
        QCOMPARE(script.Calls()[0].folder, QStringLiteral("/home"));
        QVERIFY(script.Problems().contains(QStringLiteral("unexpected OpenFileName")));
    }

    void nestedDialogAnsweredByClass()
    {
        ScriptedPresenter script;
        bool ranInLoop = false;
        script.ExpectDialog(QStringLiteral("NameDialog"), [&](QDialog *dialog) {
            auto *names = qobject_cast<NameDialog *>(dialog);
            QVERIFY(names);
            ranInLoop = dialog->isVisible() && dialog->isModal();
            QTest::keyClicks(names->edit, QStringLiteral("chart 1"));
            QTest::mouseClick(names->ok, Qt::LeftButton);
        });
        NameDialog dialog;
        QCOMPARE(CUiPresenter::Current().Exec(&dialog), int(QDialog::Accepted));
        QVERIFY(ranInLoop);
        QCOMPARE(dialog.edit->text(), QStringLiteral("chart 1"));
        QVERIFY(!dialog.isVisible());
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
    }

    void unexpectedDialogIsRejected()
    {
        ScriptedPresenter script;
        bool ran = false;
        script.ExpectDialog(QStringLiteral("NameDialog"), [&](QDialog *) { ran = true; });
        OtherDialog other;
        QSignalSpy rejected(&other, &QDialog::rejected);
        QCOMPARE(CUiPresenter::Current().Exec(&other), int(QDialog::Rejected));
        QCOMPARE(rejected.count(), 1);
        QVERIFY(!ran);
        QVERIFY(script.Problems().contains(QStringLiteral("unexpected Exec \"OtherDialog\"")));
    }

    void runnerClosesWhatTheScriptLeftOpen_data()
    {
        QTest::addColumn<bool>("accept");
        QTest::addColumn<int>("result");
        QTest::newRow("script forgets to close") << false << int(QDialog::Rejected);
        QTest::newRow("script accepts") << true << int(QDialog::Accepted);
    }

    void runnerClosesWhatTheScriptLeftOpen()
    {
        QFETCH(bool, accept);
        QFETCH(int, result);
        NameDialog dialog;
        QSignalSpy finished(&dialog, &QDialog::finished);
        const int code = ModalRunner::Run(&dialog, [&](QDialog *d) {
            QVERIFY(QTest::qWaitForWindowExposed(d));
            if (accept)
                d->accept();
        });
        QCOMPARE(code, result);
        QCOMPARE(finished.count(), 1);
        QVERIFY(!dialog.isVisible());
    }

    void contextMenu()
    {
        QMenu menu;
        QAction *copy = menu.addAction(QStringLiteral("Copy"));
        QMenu *more = menu.addMenu(QStringLiteral("More"));
        QAction *rename = more->addAction(QStringLiteral("Rename"));
        QAction *remove = menu.addAction(QStringLiteral("Delete"));
        remove->setEnabled(false);
        QSignalSpy copied(copy, &QAction::triggered);
        QSignalSpy renamed(rename, &QAction::triggered);
        QSignalSpy menuTriggered(&menu, &QMenu::triggered);

        ScriptedPresenter script;
        script.ExpectMenu(QString(), QStringLiteral("Copy"))
            .ExpectMenu(QString(), QStringLiteral("Rename"))
            .ExpectMenu(QString(), QString())
            .ExpectMenu(QString(), QStringLiteral("Delete"));
        CUiPresenter &ui = CUiPresenter::Current();
        QCOMPARE(ui.ExecMenu(&menu, QPoint(10, 10)), copy);
        QCOMPARE(ui.ExecMenu(&menu, QPoint(10, 10)), rename);
        QCOMPARE(ui.ExecMenu(&menu, QPoint(10, 10)), static_cast<QAction *>(nullptr));
        QCOMPARE(copied.count(), 1);
        QCOMPARE(renamed.count(), 1);
        QVERIFY(menuTriggered.count() >= 1);
        QCOMPARE(menuTriggered.first().first().value<QAction *>(), copy);
        QVERIFY2(!script.Problems().contains(QStringLiteral("Copy")), qPrintable(script.Problems()));
        // A disabled action cannot be chosen.
        QCOMPARE(ui.ExecMenu(&menu, QPoint(10, 10)), static_cast<QAction *>(nullptr));
        QVERIFY(script.Problems().contains(QStringLiteral("no enabled action \"Delete\"")));
        // Nothing left to expect: the next menu is unexpected and chooses nothing.
        QCOMPARE(ui.ExecMenu(&menu, QPoint(10, 10)), static_cast<QAction *>(nullptr));
        QVERIFY(script.Problems().contains(QStringLiteral("unexpected ExecMenu")));
        QCOMPARE(copied.count(), 1);
    }

    void urls()
    {
        ScriptedPresenter script;
        script.ExpectUrl(QUrl(QStringLiteral("https://example.org/help")));
        QVERIFY(CUiPresenter::Current().OpenUrl(QUrl(QStringLiteral("https://example.org/help"))));
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        QVERIFY(!CUiPresenter::Current().OpenUrl(QUrl(QStringLiteral("https://example.org/other"))));
        QCOMPARE(script.Calls().size(), 2);
        QCOMPARE(script.Calls()[1].text, QStringLiteral("https://example.org/other"));
        QVERIFY(!script.Done());
    }
};

QTEST_MAIN(TestHarness)
#include "test_harness.moc"
