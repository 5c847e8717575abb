// The measurement-point dialog: the counts it proposes for a marked region, the maxima that keep rows x
// columns within one area, the OK button, and the keys of its modal loop.
#include "chart/vcaddmeasurepoint.h"
#include "modalrunner.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>

namespace {

struct Form {
    CVCAddMeasurePoint dialog;
    QSpinBox *rows;
    QSpinBox *columns;
    QPushButton *ok;

    // width and height of the region in 0.01 mm, its top-left corner anywhere on the page.
    Form(int width, int height)
        : dialog(nullptr, nullptr, QRect(QPoint(1234, 5678), QPoint(1234 + width - 1, 5678 + height - 1))),
          rows(dialog.findChild<QSpinBox *>(QStringLiteral("spinRow"))),
          columns(dialog.findChild<QSpinBox *>(QStringLiteral("spinColumn"))),
          ok(dialog.findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"))->button(QDialogButtonBox::Ok))
    {
    }
};

} // namespace

class TestAddMeasurePoint : public QObject
{
    Q_OBJECT

private slots:
    void proposal_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("columns");
        QTest::addColumn<int>("rowMinimum");
        QTest::addColumn<int>("columnMinimum");
        QTest::addColumn<int>("rowMaximum");
        QTest::addColumn<int>("columnMaximum");
        QTest::addColumn<bool>("ok");
        // The row maximum follows the columns; the column maximum keeps its start until the rows change.
        QTest::newRow("30 x 20 mm") << 3000 << 2000 << 3 << 5 << 1 << 1 << 3000 << 99 << true;
        QTest::newRow("narrower than 6 mm") << 599 << 2000 << 3 << 0 << 1 << 0 << 99 << 99 << false;
        QTest::newRow("1000 mm high") << 3000 << 100000 << 99 << 5 << 1 << 1 << 3000 << 99 << true;
    }
    void proposal()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        Form form(width, height);
        QTEST(form.rows->value(), "rows");
        QTEST(form.columns->value(), "columns");
        QTEST(form.rows->minimum(), "rowMinimum");
        QTEST(form.columns->minimum(), "columnMinimum");
        QTEST(form.rows->maximum(), "rowMaximum");
        QTEST(form.columns->maximum(), "columnMaximum");
        QTEST(form.ok->isEnabled(), "ok");
        QCOMPARE(form.dialog.GetRowCount(), form.rows->value());
        QCOMPARE(form.dialog.GetColumnCount(), form.columns->value());
        QCOMPARE(form.dialog.windowTitle(), QStringLiteral("Add Measure Point"));
        QVERIFY(form.dialog.windowFlags() & Qt::WindowMinimizeButtonHint);
        QVERIFY(form.dialog.windowFlags() & Qt::WindowMaximizeButtonHint);
    }

    void maximaFollowTheOtherCount()
    {
        Form form(3000, 2000);
        form.rows->setValue(100); // allowed: 15000 / 5 columns
        QCOMPARE(form.rows->value(), 100);
        QCOMPARE(form.columns->maximum(), 150);
        form.columns->setValue(7);
        QCOMPARE(form.rows->maximum(), 2142);
        QVERIFY(form.ok->isEnabled());
    }

    void zeroCountKeepsOkOff()
    {
        Form form(599, 2000);
        QVERIFY(!form.ok->isEnabled());
        form.columns->setValue(1);
        QVERIFY(form.ok->isEnabled());
    }

    void keys_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("result");
        QTest::addColumn<bool>("openAfterKey");
        QTest::newRow("Escape rejects") << int(Qt::Key_Escape) << int(QDialog::Rejected) << false;
        QTest::newRow("Return stays open") << int(Qt::Key_Return) << int(QDialog::Rejected) << true;
    }
    void keys()
    {
        QFETCH(int, key);
        QFETCH(bool, openAfterKey);
        Form form(3000, 2000);
        bool open = false;
        const int result = ModalRunner::Run(&form.dialog, [&](QDialog *dialog) {
            QTest::keyClick(form.rows, Qt::Key(key));
            open = dialog->isVisible();
        });
        QCOMPARE(open, openAfterKey);
        QTEST(result, "result");
    }

    void okAccepts()
    {
        Form form(3000, 2000);
        const int result = ModalRunner::Run(&form.dialog, [&](QDialog *) {
            form.rows->setValue(4);
            QTest::mouseClick(form.ok, Qt::LeftButton);
        });
        QCOMPARE(result, int(QDialog::Accepted));
        QCOMPARE(form.dialog.GetRowCount(), 4);
        QCOMPARE(form.dialog.GetColumnCount(), 5);
    }
};

QTEST_MAIN(TestAddMeasurePoint)
#include "test_addmeasurepoint.moc"
