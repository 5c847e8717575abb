// The two questions of chart import: the rows-by-columns dialog (start values, limits, how each box follows
// the other and when the count label changes) and the patch-order dialog, and how both are closed.
#include "mainwindow/vcinputchartlayout.h"
#include "mainwindow/vcselectcgatsformat.h"

#include "formprobe.h"
#include "modalrunner.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStyle>
#include <QStyleOptionButton>
#include <QtTest>

#include <memory>

namespace {

template <typename T> T *Child(const QObject *dialog, const char *name)
{
    return dialog->findChild<T *>(QString::fromLatin1(name));
}

QSpinBox *Rows(const QObject *d)
{
    return Child<QSpinBox>(d, "spinRow");
}

QSpinBox *Columns(const QObject *d)
{
    return Child<QSpinBox>(d, "spinColumn");
}

QString CountLabel(const QObject *d)
{
    return Child<QLabel>(d, "labelPatchCountValue")->text();
}

QPushButton *Button(const QObject *d, QDialogButtonBox::StandardButton which)
{
    return Child<QDialogButtonBox>(d, "buttonBox")->button(which);
}

// The spin boxes as the user sees them: rows, columns, then the count label.
struct Shown {
    int rows, columns;
    QString label;
};

Shown Layout(const QObject *d)
{
    return {Rows(d)->value(), Columns(d)->value(), CountLabel(d)};
}

} // namespace

class TestImportDialogs : public QObject
{
    Q_OBJECT

private slots:
    void layoutForm_data()
    {
        AddFormObjectRows({{"verticalLayout", "QVBoxLayout"},
                           {"groupChartLayout", "QGroupBox"},
                           {"gridLayout", "QGridLayout"},
                           {"labelRow", "QLabel"},
                           {"spinRow", "QSpinBox"},
                           {"labelColumn", "QLabel"},
                           {"spinColumn", "QSpinBox"},
                           {"horizontalLayout", "QHBoxLayout"},
                           {"labelAllPatchCount", "QLabel"},
                           {"labelPatchCountValue", "QLabel"},
                           {"line", "QFrame"},
                           {"buttonBox", "QDialogButtonBox"}});
    }
    void layoutForm()
    {
        CVCInputChartLayout dialog(nullptr, 100);
        VerifyFormObject(&dialog);
    }

    void orderForm_data()
    {
        AddFormObjectRows({{"verticalLayout", "QVBoxLayout"},
                           {"groupSelectFormat", "QGroupBox"},
                           {"verticalLayout_2", "QVBoxLayout"},
                           {"radioVisual", "QRadioButton"},
                           {"radioRandam", "QRadioButton"},
                           {"line", "QFrame"},
                           {"buttonBox", "QDialogButtonBox"}});
    }
    void orderForm()
    {
        CVCSelectCgatsFormat dialog(nullptr);
        VerifyFormObject(&dialog);
    }

    void formsAsBuilt()
    {
        CVCInputChartLayout layout(nullptr, 100);
        QCOMPARE(layout.objectName(), QStringLiteral("InputChartLayoutDialog"));
        QCOMPARE(layout.windowTitle(), QStringLiteral("Chart Layout"));
        QCOMPARE(layout.size(), QSize(310, 221));
        QCOMPARE(layout.minimumSize(), QSize(310, 190));
        QCOMPARE(Child<QGroupBox>(&layout, "groupChartLayout")->title(), QStringLiteral("Chart Layout"));

        CVCSelectCgatsFormat order(nullptr);
        QCOMPARE(order.objectName(), QStringLiteral("SelectCgatsFormatDialog"));
        QCOMPARE(order.windowTitle(), QStringLiteral("Select Patch Order"));
        QCOMPARE(order.size(), QSize(257, 176));
        QCOMPARE(order.minimumSize(), QSize(257, 176));
        QVERIFY(Child<QRadioButton>(&order, "radioVisual")->isChecked());
        QVERIFY(!Child<QRadioButton>(&order, "radioRandam")->isChecked());
        QCOMPARE(order.GetPatchOrder(), 0);
    }

    void startValues_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("columns");
        QTest::addColumn<int>("rowMinimum");
        QTest::addColumn<int>("columnMinimum");
        QTest::addColumn<QString>("label");
        QTest::newRow("1") << 1 << 1 << 1 << 1 << 1 << "1 / 1";
        QTest::newRow("7: rows times columns first") << 7 << 3 << 3 << 1 << 1 << "9 / 7";
        QTest::newRow("100") << 100 << 10 << 10 << 2 << 1 << "100 / 100";
        QTest::newRow("1000") << 1000 << 32 << 32 << 17 << 4 << "1024 / 1000";
        // The square root lies below the row minimum: the rows start at the minimum and the columns follow.
        QTest::newRow("5000") << 5000 << 84 << 60 << 84 << 20 << "5040 / 5000";
        QTest::newRow("15000: the largest layout") << 15000 << 250 << 60 << 250 << 60 << "15000 / 15000";
    }
    void startValues()
    {
        QFETCH(int, count);
        QFETCH(int, rows);
        QFETCH(int, columns);
        QFETCH(int, rowMinimum);
        QFETCH(int, columnMinimum);
        QFETCH(QString, label);
        CVCInputChartLayout dialog(nullptr, count);
        QCOMPARE(Rows(&dialog)->value(), rows);
        QCOMPARE(Columns(&dialog)->value(), columns);
        QCOMPARE(dialog.GetRowCount(), rows);
        QCOMPARE(dialog.GetColumnCount(), columns);
        QCOMPARE(CountLabel(&dialog), label);
        QCOMPARE(Rows(&dialog)->minimum(), rowMinimum);
        QCOMPARE(Columns(&dialog)->minimum(), columnMinimum);
        QCOMPARE(Rows(&dialog)->maximum(), 250);
        QCOMPARE(Columns(&dialog)->maximum(), 60);
        QVERIFY(Button(&dialog, QDialogButtonBox::Ok)->isEnabled());
    }

    // Every value either box can take leaves a layout that holds all patches and stays within 250 x 60.
    void neverBelowCount_data()
    {
        QTest::addColumn<int>("count");
        for (int count : {1, 7, 100, 1000, 3601, 9999, 15000})
            QTest::newRow(qPrintable(QString::number(count))) << count;
    }
    void neverBelowCount()
    {
        QFETCH(int, count);
        CVCInputChartLayout dialog(nullptr, count);
        for (QSpinBox *box : {Rows(&dialog), Columns(&dialog)}) {
            for (int value = box->minimum(); value <= box->maximum(); ++value) {
                box->setValue(value);
                const int rows = dialog.GetRowCount();
                const int columns = dialog.GetColumnCount();
                const QString where = QStringLiteral("%1 set to %2: %3 x %4")
                                          .arg(box->objectName())
                                          .arg(value)
                                          .arg(rows)
                                          .arg(columns);
                QVERIFY2(rows * columns >= count, qPrintable(where));
                QVERIFY2(rows >= 1 && rows <= 250 && columns >= 1 && columns <= 60, qPrintable(where));
            }
        }
    }

    // What the user types or steps, in the box named, and what both boxes and the label then show.
    void followRules_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QTestEventList>("events");
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("columns");
        QTest::addColumn<QString>("label");

        QTestEventList typeFive;
        typeFive.addKeyClick(Qt::Key_A, Qt::ControlModifier);
        typeFive.addKeyClicks(QStringLiteral("5"));
        QTest::newRow("100: 5 columns -> 20 rows") << 100 << "spinColumn" << typeFive << 20 << 5 << "100 / 100";

        QTestEventList up;
        up.addKeyClick(Qt::Key_Up);
        // 11 rows still need 10 columns: the columns stay and so does the label.
        QTest::newRow("100: rows 10 -> 11") << 100 << "spinRow" << up << 11 << 10 << "100 / 100";
        // 4 rows need 2 columns, and 2 columns need 4 rows: the chain stops there.
        QTest::newRow("7: rows 3 -> 4") << 7 << "spinRow" << up << 4 << 2 << "8 / 7";

        QTestEventList down;
        down.addKeyClick(Qt::Key_Down);
        // 9 columns need 12 rows, and 12 rows need 9 columns.
        QTest::newRow("100: columns 10 -> 9") << 100 << "spinColumn" << down << 12 << 9 << "108 / 100";
        // 31 columns need 33 rows, which need only 31 columns.
        QTest::newRow("1000: columns 32 -> 31") << 1000 << "spinColumn" << down << 33 << 31 << "1023 / 1000";
    }
    void followRules()
    {
        QFETCH(int, count);
        QFETCH(QString, box);
        QFETCH(QTestEventList, events);
        QFETCH(int, rows);
        QFETCH(int, columns);
        QFETCH(QString, label);
        CVCInputChartLayout dialog(nullptr, count);
        events.simulate(dialog.findChild<QSpinBox *>(box));
        const Shown shown = Layout(&dialog);
        QCOMPARE(shown.rows, rows);
        QCOMPARE(shown.columns, columns);
        QCOMPARE(shown.label, label);
    }

    // Beyond 250 x 60 no layout holds every patch, so the dialog cannot be accepted.
    void okOnlyForUsableCounts_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("1") << 1 << true;
        QTest::newRow("15000") << 15000 << true;
        QTest::newRow("15001") << 15001 << false;
        QTest::newRow("1000000") << 1000000 << false;
        QTest::newRow("0") << 0 << false;
    }
    void okOnlyForUsableCounts()
    {
        QFETCH(int, count);
        QFETCH(bool, enabled);
        CVCInputChartLayout dialog(nullptr, count);
        QCOMPARE(Button(&dialog, QDialogButtonBox::Ok)->isEnabled(), enabled);
        QVERIFY(Button(&dialog, QDialogButtonBox::Cancel)->isEnabled());
        if (enabled)
            return;
        const int result = ModalRunner::Run(&dialog, [](QDialog *d) {
            Button(d, QDialogButtonBox::Ok)->click();
            QVERIFY(d->isVisible());
        });
        QCOMPARE(result, int(QDialog::Rejected));
    }

    // OK accepts, Cancel and Escape reject; what the caller reads afterwards is what was shown.
    void closing_data()
    {
        QTest::addColumn<QString>("dialog");
        QTest::addColumn<bool>("randam");
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("order");
        QTest::newRow("layout OK") << "layout" << false << "ok" << 1 << -1;
        QTest::newRow("layout Cancel") << "layout" << false << "cancel" << 0 << -1;
        QTest::newRow("layout Escape") << "layout" << false << "escape" << 0 << -1;
        QTest::newRow("order OK, Visual") << "order" << false << "ok" << 1 << 0;
        QTest::newRow("order OK, Randam") << "order" << true << "ok" << 1 << 1;
        QTest::newRow("order Cancel") << "order" << true << "cancel" << 0 << -1;
        QTest::newRow("order Escape") << "order" << false << "escape" << 0 << -1;
    }
    void closing()
    {
        QFETCH(QString, dialog);
        QFETCH(bool, randam);
        QFETCH(QString, how);
        QFETCH(int, result);
        QFETCH(int, order);
        std::unique_ptr<QDialog> owner;
        if (dialog == QLatin1String("layout"))
            owner = std::make_unique<CVCInputChartLayout>(nullptr, 100);
        else
            owner = std::make_unique<CVCSelectCgatsFormat>(nullptr);

        const int returned = ModalRunner::Run(owner.get(), [&](QDialog *d) {
            QVERIFY(QTest::qWaitForWindowActive(d));
            if (auto *spin = Columns(d))
                spin->setValue(5);
            if (randam) {
                // On the indicator: the button is as wide as the dialog, its middle may lie past the text.
                QRadioButton *radio = Child<QRadioButton>(d, "radioRandam");
                QStyleOptionButton option;
                option.initFrom(radio);
                const QRect indicator = radio->style()->subElementRect(QStyle::SE_RadioButtonIndicator, &option, radio);
                QTest::mouseClick(radio, Qt::LeftButton, Qt::NoModifier, indicator.center());
                QVERIFY(radio->isChecked());
            }
            if (how == QLatin1String("ok"))
                Button(d, QDialogButtonBox::Ok)->click();
            else if (how == QLatin1String("cancel"))
                Button(d, QDialogButtonBox::Cancel)->click();
            else
                QTest::keyClick(d, Qt::Key_Escape);
            QVERIFY(!d->isVisible());
        });
        QCOMPARE(returned, result);
        if (auto *layout = qobject_cast<CVCInputChartLayout *>(owner.get())) {
            QCOMPARE(layout->GetRowCount(), 20);
            QCOMPARE(layout->GetColumnCount(), 5);
        } else if (order >= 0) {
            QCOMPARE(static_cast<CVCSelectCgatsFormat *>(owner.get())->GetPatchOrder(), order);
        }
    }

    // Return and Enter confirm a typed value but never close the dialog through its default button.
    void returnKeepsOpen_data()
    {
        QTest::addColumn<QString>("dialog");
        QTest::addColumn<QString>("focus");
        QTest::newRow("layout, rows") << "layout" << "spinRow";
        QTest::newRow("layout, columns") << "layout" << "spinColumn";
        QTest::newRow("order, Visual") << "order" << "radioVisual";
        QTest::newRow("order, Randam") << "order" << "radioRandam";
    }
    void returnKeepsOpen()
    {
        QFETCH(QString, dialog);
        QFETCH(QString, focus);
        std::unique_ptr<QDialog> owner;
        if (dialog == QLatin1String("layout"))
            owner = std::make_unique<CVCInputChartLayout>(nullptr, 100);
        else
            owner = std::make_unique<CVCSelectCgatsFormat>(nullptr);

        bool stayedOpen = false;
        const int result = ModalRunner::Run(owner.get(), [&](QDialog *d) {
            QVERIFY(QTest::qWaitForWindowActive(d));
            QVERIFY(Button(d, QDialogButtonBox::Ok)->isDefault() || Button(d, QDialogButtonBox::Ok)->autoDefault());
            auto *target = d->findChild<QWidget *>(focus);
            target->setFocus();
            QCOMPARE(QApplication::focusWidget(), target);
            if (auto *spin = qobject_cast<QSpinBox *>(target)) {
                QTest::keyClick(spin, Qt::Key_A, Qt::ControlModifier);
                QTest::keyClicks(spin, QStringLiteral("20"));
            }
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter);
            stayedOpen = d->isVisible();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        });
        QVERIFY(stayedOpen);
        QCOMPARE(result, int(QDialog::Rejected));
        if (auto *layout = qobject_cast<CVCInputChartLayout *>(owner.get())) {
            // The typed value was taken and the other box followed.
            const Shown shown = Layout(layout);
            if (focus == QLatin1String("spinRow"))
                QCOMPARE(QList<int>({shown.rows, shown.columns}), QList<int>({20, 5}));
            else
                QCOMPARE(QList<int>({shown.rows, shown.columns}), QList<int>({5, 20}));
            QCOMPARE(shown.label, QStringLiteral("100 / 100"));
        }
    }
};

QTEST_MAIN(TestImportDialogs)
#include "test_importdialogs.moc"
