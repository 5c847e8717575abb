// The data-group dialog: its form, Add and the in-place edits refused by one rule, what it hands back, and the
// settings dialog that renames the groups' folders and switches to a new group.
#include "settings/vcselectmeasdataenvironment.h"
#include "settings/vcsetting.h"

#include "app/storeconventions.h"
#include "modalrunner.h"
#include "modelfixture.h"
#include "scriptedpresenter.h"

#include <QApplication>
#include <QDir>
#include <QDoubleSpinBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableWidget>
#include <QtTest>

namespace {

struct Form {
    CVCSelectMeasDataEnvironment *dialog;
    QLineEdit *edit;
    QPushButton *add;
    QTableWidget *table;
    QPushButton *ok;
    QPushButton *cancel;

    explicit Form(QDialog *d)
        : dialog(qobject_cast<CVCSelectMeasDataEnvironment *>(d)),
          edit(d->findChild<QLineEdit *>(QStringLiteral("editDataGroup"))),
          add(d->findChild<QPushButton *>(QStringLiteral("pushAdd"))),
          table(d->findChild<QTableWidget *>(QStringLiteral("tableDataGroup"))),
          ok(d->findChild<QPushButton *>(QStringLiteral("pushOK"))),
          cancel(d->findChild<QPushButton *>(QStringLiteral("cancelButton")))
    {
    }

    void Add(const QString &name)
    {
        edit->setText(name);
        QTest::mouseClick(add, Qt::LeftButton);
    }
    QStringList Names() const
    {
        QStringList names;
        for (int row = 0; row < table->rowCount(); ++row)
            names << table->item(row, 0)->text();
        return names;
    }
};

// The nine characters a name never holds.
const QStringList &nineCharacters()
{
    static const QStringList list = {"/", "\\", ":", "*", "?", "\"", "<", ">", "|"};
    return list;
}

} // namespace

class TestDataGroups : public QObject
{
    Q_OBJECT

    std::unique_ptr<ModelFixture> f;

    void make()
    {
        QVERIFY(f->Make());
        f->model->SetAppStatus(3);
    }
    QString dataRoot() const { return AppDataDir(); }

private slots:
    void init()
    {
        f.reset(new ModelFixture);
        make();
    }
    void cleanup() { f.reset(); }

    void form_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("className");
        for (const auto &row : std::initializer_list<std::pair<const char *, const char *>>{
                 {"verticalLayout", "QVBoxLayout"},
                 {"hLayoutDataGroup", "QHBoxLayout"},
                 {"editDataGroup", "QLineEdit"},
                 {"pushAdd", "QPushButton"},
                 {"tableDataGroup", "QTableWidget"},
                 {"hLayoutFooter", "QHBoxLayout"},
                 {"pushOK", "QPushButton"},
                 {"cancelButton", "QPushButton"},
             })
            QTest::newRow(row.first) << QString::fromLatin1(row.first) << QString::fromLatin1(row.second);
    }
    void form()
    {
        QFETCH(QString, name);
        CVCSelectMeasDataEnvironment dialog(f->model.get());
        const QObject *object = dialog.findChild<QObject *>(name);
        QVERIFY2(object, qPrintable(name));
        QTEST(QString::fromLatin1(object->metaObject()->className()), "className");
        QCOMPARE(dialog.objectName(), QStringLiteral("SelectMeasDataEnvironmentDialog"));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Select Data Group"));
        QVERIFY(!dialog.windowIcon().isNull());
        const QTableWidget *table = Form(&dialog).table;
        QCOMPARE(table->columnCount(), 1);
        QCOMPARE(table->horizontalHeaderItem(0)->text(), QStringLiteral("Name"));
        QCOMPARE(table->horizontalHeader()->minimumSectionSize(), 400);
    }

    void keys_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("openAfterKey");
        QTest::newRow("Return") << int(Qt::Key_Return) << true;
        QTest::newRow("Enter") << int(Qt::Key_Enter) << true;
        QTest::newRow("Escape") << int(Qt::Key_Escape) << false;
    }
    void keys()
    {
        QFETCH(int, key);
        CVCSelectMeasDataEnvironment dialog(f->model.get());
        dialog.SetGroupNames({"Data"});
        dialog.SetSelectedName("Data");
        bool open = false;
        const int result = ModalRunner::Run(&dialog, [&](QDialog *d) {
            Form form(d);
            form.edit->setText("New");
            QTest::keyClick(form.edit, Qt::Key(key));
            open = d->isVisible();
        });
        QTEST(open, "openAfterKey");
        QCOMPARE(result, int(QDialog::Rejected));
        QCOMPARE(dialog.GroupNames(), QStringList{"Data"});
        QCOMPARE(dialog.SelectedName(), QStringLiteral("Data"));
    }

    void emptyListEnablesOkOnAdd()
    {
        CVCSelectMeasDataEnvironment dialog(f->model.get());
        bool before = true, after = false;
        const int result = ModalRunner::Run(&dialog, [&](QDialog *d) {
            Form form(d);
            before = form.ok->isEnabled();
            form.Add("First");
            after = form.ok->isEnabled();
            QTest::mouseClick(form.ok, Qt::LeftButton);
        });
        QVERIFY(!before);
        QVERIFY(after);
        QCOMPARE(result, int(QDialog::Accepted));
        QCOMPARE(dialog.GroupNames(), QStringList{"First"});
        QCOMPARE(dialog.SelectedName(), QStringLiteral("First"));
    }

    void add_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("message"); // 0: accepted
        QTest::newRow("empty 602") << QString() << 55;
        for (const QString &c : nineCharacters())
            QTest::newRow(qPrintable("'" + c + "' 603")) << "a" + c + "b" << 47;
        QTest::newRow("dot 603") << "." << 47;
        QTest::newRow("dot dot 603") << ".." << 47;
        QTest::newRow("tab 603") << "a\tb" << 47;
        QTest::newRow("same 604") << "Data" << 48;
        QTest::newRow("other case") << "data" << 0;
        QTest::newRow("leading blank") << " Data" << 0;
    }
    void add()
    {
        QFETCH(QString, name);
        QFETCH(int, message);
        CVCSelectMeasDataEnvironment dialog(f->model.get());
        dialog.SetGroupNames({"Data", "Other"});
        dialog.SetSelectedName("Other");
        QString textAfter;
        QStringList namesAfter;
        int currentRow = -1;
        const int result = ModalRunner::Run(&dialog, [&](QDialog *d) {
            Form form(d);
            form.Add(name);
            textAfter = form.edit->text();
            namesAfter = form.Names();
            currentRow = form.table->currentRow();
            QTest::mouseClick(form.ok, Qt::LeftButton);
        });
        QCOMPARE(result, int(QDialog::Accepted));
        if (message != 0) {
            QCOMPARE(f->window->errors, QList<int>{message});
            QCOMPARE(textAfter, name);
            QCOMPARE(namesAfter, QStringList({"Data", "Other"}));
            QCOMPARE(currentRow, 1);
            QCOMPARE(dialog.SelectedName(), QStringLiteral("Other"));
        } else {
            QVERIFY(f->window->errors.isEmpty());
            QCOMPARE(textAfter, QString());
            QCOMPARE(namesAfter, QStringList({"Data", "Other", name}));
            QCOMPARE(dialog.GroupNames(), namesAfter);
            QCOMPARE(dialog.SelectedName(), name);
        }
    }

    void inPlaceEdits_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("message"); // 0: accepted
        QTest::newRow("../x 603") << 1 << "../x" << 47;
        QTest::newRow("a/b 603") << 1 << "a/b" << 47;
        QTest::newRow("empty 602") << 1 << QString() << 55;
        QTest::newRow("duplicate 604") << 2 << "Data" << 48;
        QTest::newRow(". 603") << 1 << "." << 47;
        QTest::newRow("Lab") << 1 << "Lab" << 0;
    }
    void inPlaceEdits()
    {
        QFETCH(int, row);
        QFETCH(QString, name);
        QFETCH(int, message);
        CVCSelectMeasDataEnvironment dialog(f->model.get());
        const QStringList names = {"Data", "Mid", "Last"};
        dialog.SetGroupNames(names);
        dialog.SetSelectedName("Data");
        int currentRow = -1;
        bool open = false;
        const int result = ModalRunner::Run(&dialog, [&](QDialog *d) {
            Form form(d);
            form.table->item(row, 0)->setText(name);
            QTest::mouseClick(form.ok, Qt::LeftButton);
            open = d->isVisible();
            currentRow = form.table->currentRow();
        });
        if (message != 0) {
            QVERIFY(open);
            QCOMPARE(result, int(QDialog::Rejected));
            QCOMPARE(f->window->errors, QList<int>{message});
            QCOMPARE(currentRow, row);
            QCOMPARE(dialog.GroupNames(), names);
        } else {
            QCOMPARE(result, int(QDialog::Accepted));
            QVERIFY(f->window->errors.isEmpty());
            QStringList edited = names;
            edited[row] = name;
            QCOMPARE(dialog.GroupNames(), edited);
        }
        // Nothing was renamed, least of all outside the data folder.
        QVERIFY(!QFileInfo::exists(dataRoot() + "/x"));
        QVERIFY(!QFileInfo::exists(dataRoot() + "/Chart/../x"));
    }

    void okWithoutCurrentRowKeepsSelection()
    {
        CVCSelectMeasDataEnvironment dialog(f->model.get());
        dialog.SetGroupNames({"A", "B", "A"});
        dialog.SetSelectedName("Gone");
        int currentRow = 0;
        const int result = ModalRunner::Run(&dialog, [&](QDialog *d) {
            Form form(d);
            currentRow = form.table->currentRow();
            form.table->item(2, 0)->setText("C");
            QTest::mouseClick(form.ok, Qt::LeftButton);
        });
        QCOMPARE(currentRow, -1);
        QCOMPARE(result, int(QDialog::Accepted));
        QCOMPARE(dialog.SelectedName(), QStringLiteral("Gone"));
        QCOMPARE(dialog.GroupNames(), QStringList({"A", "B", "C"}));
    }

    void lastEqualRowIsCurrent()
    {
        CVCSelectMeasDataEnvironment dialog(f->model.get());
        dialog.SetGroupNames({"A", "B"});
        dialog.SetSelectedName("B");
        int currentRow = -1;
        ModalRunner::Run(&dialog, [&](QDialog *d) { currentRow = Form(d).table->currentRow(); });
        QCOMPARE(currentRow, 1);
    }

    // ---- Through the settings dialog ----------------------------------------------------------------------------

    void addThenCancelChangesNothing()
    {
        ScriptedPresenter script;
        script.ExpectDialog("CVCSelectMeasDataEnvironment", [](QDialog *d) {
            Form form(d);
            form.Add("Press 2");
            QTest::mouseClick(form.cancel, Qt::LeftButton);
        });
        CVCSetting setting(f->model.get(), 1);
        QString shown;
        const QByteArray before = ReadSettingsFile();
        const int result = ModalRunner::Run(&setting, [&](QDialog *d) {
            QTest::mouseClick(d->findChild<QPushButton *>("pushChange"), Qt::LeftButton);
            shown = d->findChild<QLabel *>("labelEnvironment")->text();
            QTest::mouseClick(d->findChild<QPushButton *>("okButton"), Qt::LeftButton);
        });
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        QCOMPARE(result, int(QDialog::Accepted));
        QCOMPARE(shown, f->model->GetUserEnvironment()->DataGroupName);
        QCOMPARE(*f->model->GetDataGroupNames(), QStringList{"Data"});
        QVERIFY(!QFileInfo::exists(dataRoot() + "/Chart/Press 2"));
    }

    void renameThroughSettings_data()
    {
        QTest::addColumn<bool>("blocked");
        QTest::newRow("renamed") << false;
        QTest::newRow("file in the way") << true;
    }
    void renameThroughSettings()
    {
        QFETCH(bool, blocked);
        // A group "Data" with folders of both kinds, current.
        const QString root = dataRoot();
        QVERIFY(QDir().mkpath(root + "/Chart/Data"));
        QVERIFY(QDir().mkpath(root + "/Density/Data"));
        make();
        Setting::UserEnvironment environment = *f->model->GetUserEnvironment();
        environment.DataGroupName = "Data";
        QCOMPARE(f->model->SetUserEnvironment(environment), 0);
        if (blocked) {
            QFile file(root + "/Density/Lab");
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        ScriptedPresenter script;
        script.ExpectDialog("CVCSelectMeasDataEnvironment", [](QDialog *d) {
            Form form(d);
            form.table->item(0, 0)->setText("Lab");
            QTest::mouseClick(form.ok, Qt::LeftButton);
        });
        CVCSetting setting(f->model.get(), 1);
        const int result = ModalRunner::Run(&setting, [&](QDialog *d) {
            QTest::mouseClick(d->findChild<QPushButton *>("pushChange"), Qt::LeftButton);
            QTest::mouseClick(d->findChild<QPushButton *>("okButton"), Qt::LeftButton);
        });
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        QCOMPARE(result, int(QDialog::Accepted));
        QCOMPARE(f->model->GetUserEnvironment()->DataGroupName, QStringLiteral("Lab"));
        if (blocked) {
            QVERIFY(f->window->errors.contains(2));
            QVERIFY(QFileInfo(root + "/Chart/Data").isDir());
            QVERIFY(QFileInfo(root + "/Density/Lab").isFile());
        } else {
            QCOMPARE(f->window->errors, QList<int>());
            QVERIFY(QFileInfo(root + "/Chart/Lab").isDir());
            QVERIFY(QFileInfo(root + "/Density/Lab").isDir());
            QVERIFY(!QFileInfo::exists(root + "/Chart/Data"));
            QVERIFY(!QFileInfo::exists(root + "/Density/Data"));
        }
    }

    // A new data group and channel 6 edited, then the next start finds both.
    void newGroupAndChannelWorkflow()
    {
        QSignalSpy changed(CModelAccess::ApplicationData(*f->model), &CApplicationData::CurrentUserEnvironmentChanged);
        ScriptedPresenter script;
        script.ExpectDialog("CVCSelectMeasDataEnvironment", [](QDialog *d) {
            Form form(d);
            form.Add("Press 2");
            QTest::mouseClick(form.ok, Qt::LeftButton);
        });
        CVCSetting setting(f->model.get(), 1);
        int page = -1;
        QString shown;
        const int result = ModalRunner::Run(&setting, [&](QDialog *d) {
            page = d->findChild<QTabWidget *>("tabSetting")->currentIndex();
            QTest::mouseClick(d->findChild<QPushButton *>("pushChange"), Qt::LeftButton);
            shown = d->findChild<QLabel *>("labelEnvironment")->text();
            d->findChild<QLineEdit *>("lineColor6Name")->setText("Violet");
            d->findChild<QDoubleSpinBox *>("spinColor6L")->setValue(41.5);
            QTest::mouseClick(d->findChild<QPushButton *>("okButton"), Qt::LeftButton);
        });
        QVERIFY2(script.Done(), qPrintable(script.Problems()));
        QCOMPARE(page, 1);
        QCOMPARE(shown, QStringLiteral("Press 2"));
        QCOMPARE(result, int(QDialog::Accepted));
        QCOMPARE(changed.count(), 1);
        QVERIFY(QFileInfo(dataRoot() + "/Chart/Press 2").isDir());
        const InkChannel before = f->model->GetUserEnvironment()->Inks.at(5);

        QVERIFY(f->Make());
        QVERIFY(f->model->GetDataGroupNames()->contains("Press 2"));
        const Setting::UserEnvironment *environment = f->model->GetUserEnvironment();
        QCOMPARE(environment->DataGroupName, QStringLiteral("Press 2"));
        const InkChannel &ink = environment->Inks.at(5);
        QCOMPARE(ink.name, QStringLiteral("Violet"));
        QCOMPARE(ink.L, 4150);
        QCOMPARE(ink.a, before.a);
        QCOMPARE(ink.b, before.b);
    }

private:
    QByteArray ReadSettingsFile() const
    {
        QFile file(CModelAccess::ApplicationData(*f->model)->GetSettingFilePath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
};

QTEST_MAIN(TestDataGroups)
#include "test_datagroups.moc"
