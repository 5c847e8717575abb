// The tolerance dialog: its table, the checks before OK, what OK stores, and the shipped defaults read from a
// folder of each test's own (never the file beside the binaries, which other tests read in parallel).
#include "settings/vcinstrumenttolerancesetting.h"

#include "app/constants.h"
#include "app/storeconventions.h"
#include "formprobe.h"
#include "modalrunner.h"
#include "modelfixture.h"
#include "scriptedpresenter.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QtTest>

#include <array>

namespace {

using Tolerances = std::array<ToleranceRecord, kDefaultToleranceRowCount>;

template <typename T> T *Child(QObject *dialog, const char *name)
{
    return dialog->findChild<T *>(QString::fromLatin1(name));
}

QTableWidget *Table(QObject *dialog)
{
    return Child<QTableWidget>(dialog, "tableTolerance");
}

// Values with two decimals, distinct per cell, so a cell read from the wrong row or column shows.
float StoredValue(int k, int t)
{
    return QString::number(0.5 * (k + 1) + 0.01 * t, 'f', 2).toFloat();
}
float FileValue(int k, int t)
{
    return QString::number(3.0 + 0.25 * k + 0.03 * t, 'f', 2).toFloat();
}

Tolerances Make(const std::array<int, kDefaultToleranceRowCount> &checks, float (*value)(int, int) = StoredValue)
{
    Tolerances records{};
    for (int k = 0; k < kDefaultToleranceRowCount; ++k) {
        records[k].Kind = checks[k];
        records[k].RowIndex = k;
        records[k].PairCount = kTolerancePairCount;
        for (int t = 0; t < kTolerancePairCount; ++t)
            records[k].Pairs[t] = {t, value(k, t)};
    }
    return records;
}

Tolerances Stored(CModel *model)
{
    unsigned int count = 0;
    const ToleranceRecord *records = nullptr;
    model->GetToleranceValues(&count, &records);
    Tolerances copy{};
    if (count != kDefaultToleranceRowCount || !records)
        return copy;
    std::copy(records, records + count, copy.begin());
    return copy;
}

bool Same(const Tolerances &a, const Tolerances &b)
{
    for (int k = 0; k < kDefaultToleranceRowCount; ++k) {
        if (a[k].Kind != b[k].Kind || a[k].RowIndex != b[k].RowIndex || a[k].PairCount != b[k].PairCount)
            return false;
        for (int t = 0; t < kTolerancePairCount; ++t) {
            if (a[k].Pairs[t].TileId != b[k].Pairs[t].TileId || a[k].Pairs[t].Tolerance != b[k].Pairs[t].Tolerance)
                return false;
        }
    }
    return true;
}

// The five rows as shown: the check state, then the 14 tolerance texts.
QStringList Shown(QObject *dialog)
{
    QStringList rows;
    QTableWidget *table = Table(dialog);
    for (int r = 1; r <= kDefaultToleranceRowCount; ++r) {
        QStringList cells{QString::number(table->item(r, 0)->checkState())};
        for (int c = 2; c < 16; ++c)
            cells << table->item(r, c)->text();
        rows << cells.join(QLatin1Char(' '));
    }
    return rows;
}

QStringList Expected(const Tolerances &records)
{
    QStringList rows;
    for (const ToleranceRecord &record : records) {
        QStringList cells{QString::number(record.Kind)};
        for (const ToleranceRecord::Pair &pair : record.Pairs)
            cells << QString::number(pair.Tolerance, 'f', 2);
        rows << cells.join(QLatin1Char(' '));
    }
    return rows;
}

void Press(QObject *dialog, const char *button)
{
    Child<QPushButton>(dialog, button)->click();
}

} // namespace

class TestTolerance : public QObject
{
    Q_OBJECT

    std::unique_ptr<ModelFixture> f;
    std::unique_ptr<QTemporaryDir> defaults;

    // A dialog reading its defaults from this test's own folder.
    std::unique_ptr<CVCInstrumentToleranceSetting> Dialog()
    {
        auto dialog = std::make_unique<CVCInstrumentToleranceSetting>(f->model.get(), nullptr);
        dialog->SetDefaultsFolder(defaults->path());
        return dialog;
    }

    void WriteDefaults(const QByteArray &content)
    {
        QFile file(QDir(defaults->path()).filePath(QStringLiteral("toleranceDefaultSetting.txt")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(content), qint64(content.size()));
    }

private slots:
    void init()
    {
        f.reset(new ModelFixture);
        QVERIFY(f->Make());
        defaults.reset(new QTemporaryDir);
        QVERIFY(defaults->isValid());
    }
    void cleanup()
    {
        f.reset();
        defaults.reset();
    }

    void form_data()
    {
        AddFormObjectRows({
            {"tableTolerance", "QTableWidget"},    {"pushSetDefaultValue", "QPushButton"},
            {"pushOK", "QPushButton"},             {"cancelButton", "QPushButton"},
            {"verticalLayout", "QVBoxLayout"},     {"horizontalLayout_2", "QHBoxLayout"},
            {"hLayoutFooter", "QHBoxLayout"}});
    }
    void form()
    {
        auto dialog = Dialog();
        VerifyFormObject(dialog.get());
    }

    void buttonsAndKeys()
    {
        QVERIFY(f->model->SetToleranceValues(5, Make({2, 2, 2, 2, 2}).data()) == 0);
        auto dialog = Dialog();
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Tolerance Setting"));
        auto *box = dialog->findChild<QDialogButtonBox *>();
        QVERIFY(box);
        QCOMPARE(box->buttonRole(Child<QPushButton>(dialog.get(), "pushOK")), QDialogButtonBox::AcceptRole);
        QCOMPARE(box->buttonRole(Child<QPushButton>(dialog.get(), "cancelButton")), QDialogButtonBox::RejectRole);

        bool stayedOpen = false;
        const int result = ModalRunner::Run(dialog.get(), [&](QDialog *d) {
            QVERIFY(QTest::qWaitForWindowActive(d));
            Table(d)->setFocus();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            stayedOpen = d->isVisible();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        });
        QVERIFY(stayedOpen);
        QCOMPARE(result, 0);
        QVERIFY(f->window->errors.isEmpty());
    }

    void tableAsBuilt()
    {
        QVERIFY(f->model->SetToleranceValues(5, Make({2, 0, 2, 0, 2}).data()) == 0);
        auto dialog = Dialog();
        // Twice: the second opening builds the table anew and must look the same.
        for (int opening = 0; opening < 2; ++opening) {
            ModalRunner::Run(dialog.get(), [&](QDialog *d) {
                QTableWidget *table = Table(d);
                QCOMPARE(table->rowCount(), 6);
                QCOMPARE(table->columnCount(), 16);
                QVERIFY(table->horizontalHeader()->isHidden());
                QVERIFY(table->verticalHeader()->isHidden());
                QCOMPARE(table->columnWidth(0), 20);
                for (int c = 1; c < 16; ++c)
                    QCOMPARE(table->columnWidth(c), 60);
                QCOMPARE(table->rowHeight(0), 50);
                for (int r = 1; r < 6; ++r)
                    QCOMPARE(table->rowHeight(r), 25);
                QCOMPARE(table->minimumSize(), QSize(20 + 15 * 60 + 4, 50 + 5 * 25 + 4));
                QCOMPARE(table->maximumSize(), table->minimumSize());

                QCOMPARE(table->item(0, 0)->text(), QStringLiteral("Difference"));
                QCOMPARE(table->columnSpan(0, 0), 2);
                QCOMPARE(table->rowSpan(0, 0), 1);
                QCOMPARE(table->item(0, 0)->flags(), Qt::ItemIsEnabled);
                for (int t = 0; t < 14; ++t) {
                    const QTableWidgetItem *tile = table->item(0, 2 + t);
                    QCOMPARE(tile->text(), TileName(t));
                    QCOMPARE(tile->flags(), Qt::ItemIsEnabled);
                    QCOMPARE(tile->textAlignment(), int(Qt::AlignCenter));
                    QCOMPARE(tile->foreground().color(), TileTextColor(t));
                    QCOMPARE(tile->background().color(), TileBackgroundColor(t));
                }
                QCOMPARE(table->item(0, 15)->text(), QStringLiteral("BLACK"));
                const QStringList kinds = {"dL*", "da*", "db*", "dE*ab", "dE00"};
                for (int k = 0; k < 5; ++k) {
                    const QTableWidgetItem *name = table->item(1 + k, 1);
                    QCOMPARE(name->text(), kinds.at(k));
                    QCOMPARE(name->flags(), Qt::ItemIsEnabled);
                    QCOMPARE(name->textAlignment(), int(Qt::AlignCenter));
                    QVERIFY(table->item(1 + k, 0)->flags() & Qt::ItemIsUserCheckable);
                    for (int c = 2; c < 16; ++c) {
                        const QTableWidgetItem *value = table->item(1 + k, c);
                        QVERIFY(value->flags() & Qt::ItemIsEditable);
                        QCOMPARE(value->textAlignment(), int(Qt::AlignRight | Qt::AlignVCenter));
                    }
                }
                QCOMPARE(table->editTriggers(), QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                                                    QAbstractItemView::AnyKeyPressed);
                QCOMPARE(Shown(d), Expected(Make({2, 0, 2, 0, 2})));
                QCOMPARE(table->item(1, 2)->text(), QStringLiteral("0.50"));
                QCOMPARE(table->item(5, 15)->text(), QStringLiteral("2.63"));
            });
        }
    }

    // Nothing checked: refused before any cell is looked at, even a broken one.
    void noKindChecked()
    {
        const Tolerances before = Make({2, 0, 2, 0, 2});
        QVERIFY(f->model->SetToleranceValues(5, before.data()) == 0);
        auto dialog = Dialog();
        bool stayedOpen = false;
        const int result = ModalRunner::Run(dialog.get(), [&](QDialog *d) {
            for (int r = 1; r < 6; ++r)
                Table(d)->item(r, 0)->setCheckState(Qt::Unchecked);
            Table(d)->item(2, 4)->setText(QStringLiteral("abc"));
            Press(d, "pushOK");
            stayedOpen = d->isVisible();
        });
        QVERIFY(stayedOpen);
        QCOMPARE(result, 0);
        QCOMPARE(f->window->errors, QList<int>{38});
        QVERIFY(Same(Stored(f->model.get()), before));
    }

    void cellRefused_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("text");
        const QStringList texts = {"0", "-1", "", "abc", "nan", "inf", "-inf", "1e40"};
        for (int row : {1, 2}) {
            for (const QString &text : texts) {
                const QString name = (row == 1 ? QStringLiteral("checked ") : QStringLiteral("unchecked ")) + text;
                QTest::newRow(qPrintable(name)) << row << text;
            }
        }
    }
    void cellRefused()
    {
        QFETCH(int, row);
        QFETCH(QString, text);
        const Tolerances before = Make({2, 0, 2, 2, 2});
        QVERIFY(f->model->SetToleranceValues(5, before.data()) == 0);
        auto dialog = Dialog();
        bool stayedOpen = false;
        QString kept;
        const int result = ModalRunner::Run(dialog.get(), [&](QDialog *d) {
            Table(d)->item(row, 9)->setText(text);
            Press(d, "pushOK");
            stayedOpen = d->isVisible();
            kept = Table(d)->item(row, 9)->text();
        });
        QVERIFY(stayedOpen);
        QCOMPARE(kept, text);
        QCOMPARE(result, 0);
        QCOMPARE(f->window->errors, QList<int>{37});
        QVERIFY(Same(Stored(f->model.get()), before));
    }

    // The edited check states and cells (the last column included, in a checked and an unchecked row) are
    // stored; kinds, counts and tile ids stay; a new model reads them back from the file.
    void okStores()
    {
        QVERIFY(f->model->SetToleranceValues(5, Make({2, 0, 2, 2, 2}).data()) == 0);
        auto dialog = Dialog();
        const int result = ModalRunner::Run(dialog.get(), [&](QDialog *d) {
            QTableWidget *table = Table(d);
            table->item(1, 0)->setCheckState(Qt::Unchecked);
            table->item(2, 0)->setCheckState(Qt::Checked);
            table->item(4, 0)->setCheckState(Qt::Unchecked);
            table->item(1, 15)->setText(QStringLiteral("0.01"));
            table->item(2, 15)->setText(QStringLiteral(" 7.5 "));
            table->item(5, 2)->setText(QStringLiteral("12.345"));
            Press(d, "pushOK");
        });
        QCOMPARE(result, 1);
        QVERIFY(f->window->errors.isEmpty());
        Tolerances expected = Make({0, 2, 2, 0, 2});
        expected[0].Pairs[13].Tolerance = 0.01f;
        expected[1].Pairs[13].Tolerance = 7.5f;
        expected[4].Pairs[0].Tolerance = 12.345f;
        QVERIFY(Same(Stored(f->model.get()), expected));
        QVERIFY(f->Make());
        QVERIFY(Same(Stored(f->model.get()), expected));
    }

    // Defaults replace the shown rows only; Cancel drops them and the next opening shows the store again.
    void defaultsThenCancel()
    {
        QByteArray content = "Item\tWHITE\tPALE GREY\n";
        for (int k = 0; k < 5; ++k) {
            content += ColorDifferenceName(k).toUtf8();
            for (int t = 0; t < 14; ++t)
                content += '\t' + QByteArray::number(double(FileValue(k, t)), 'f', 2);
            content += '\n';
        }
        WriteDefaults(content);
        const Tolerances before = Make({0, 0, 2, 0, 0});
        QVERIFY(f->model->SetToleranceValues(5, before.data()) == 0);
        auto dialog = Dialog();
        QStringList afterDefaults;
        int result = ModalRunner::Run(dialog.get(), [&](QDialog *d) {
            Table(d)->item(3, 5)->setText(QStringLiteral("9.99"));
            Press(d, "pushSetDefaultValue");
            afterDefaults = Shown(d);
            Press(d, "cancelButton");
        });
        QCOMPARE(result, 0);
        QCOMPARE(afterDefaults, Expected(Make({2, 2, 2, 2, 2}, FileValue)));
        QVERIFY(Same(Stored(f->model.get()), before));
        QStringList reopened;
        result = ModalRunner::Run(dialog.get(), [&](QDialog *d) { reopened = Shown(d); });
        QCOMPARE(result, 0);
        QCOMPARE(reopened, Expected(before));
        QVERIFY(f->window->errors.isEmpty());
    }

    // What Set Default Value makes of the defaults file, and whether OK then takes the rows.
    void defaultsFile_data()
    {
        QTest::addColumn<QByteArray>("content"); // empty: no file
        QTest::addColumn<bool>("fromFile");
        QTest::addColumn<int>("zeroRow"); // -1: none; else row k's tile 3 reads 0
        const QByteArray header = "Item\tWHITE\n";
        // A data line of kind k; a field of its own at tile 3 when given.
        const auto line = [](int k, const QByteArray &tile3 = QByteArray()) {
            QByteArray text = ColorDifferenceName(k).toUtf8();
            for (int t = 0; t < 14; ++t) {
                const bool own = t == 3 && !tile3.isEmpty();
                text += '\t' + (own ? tile3 : QByteArray::number(double(FileValue(k, t)), 'f', 2));
            }
            return text + "\r\n";
        };
        QByteArray five, broken;
        for (int k = 0; k < 5; ++k) {
            five += line(k);
            broken += line(k, k == 2 ? QByteArray("x") : QByteArray());
        }
        // Lines 6 and 7 hold values nobody may read.
        const QByteArray seven = five + line(0, "-5") + line(1, "-5");
        QTest::newRow("no file") << QByteArray() << false << -1;
        QTest::newRow("empty file") << QByteArray("\0", 0) << false << -1;
        QTest::newRow("header only") << header << false << -1;
        QTest::newRow("five data lines") << header + five << true << -1;
        QTest::newRow("seven data lines") << header + seven << true << -1;
        QTest::newRow("a field not a number") << header + broken << true << 2;
    }
    void defaultsFile()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, fromFile);
        QFETCH(int, zeroRow);
        if (!content.isNull())
            WriteDefaults(content);
        const Tolerances before = Make({0, 2, 0, 0, 0});
        QVERIFY(f->model->SetToleranceValues(5, before.data()) == 0);
        Tolerances expected = Make({2, 2, 2, 2, 2}, fromFile ? FileValue : StoredValue);
        if (zeroRow >= 0)
            expected[zeroRow].Pairs[3].Tolerance = 0.0f;

        auto dialog = Dialog();
        QStringList shown;
        const int result = ModalRunner::Run(dialog.get(), [&](QDialog *d) {
            Press(d, "pushSetDefaultValue");
            shown = Shown(d);
            Press(d, "pushOK");
        });
        QCOMPARE(shown, Expected(expected));
        if (zeroRow >= 0) {
            QCOMPARE(result, 0);
            QCOMPARE(f->window->errors, QList<int>{37});
            QVERIFY(Same(Stored(f->model.get()), before));
        } else {
            QCOMPARE(result, 1);
            QVERIFY(f->window->errors.isEmpty());
            QVERIFY(Same(Stored(f->model.get()), expected));
        }
    }

    // The store keeps the rows when its file cannot be written; the user hears of it once.
    void storeFileUnwritable()
    {
        QVERIFY(f->model->SetToleranceValues(5, Make({2, 2, 2, 2, 2}).data()) == 0);
        const QString path = QDir(AppDataDir()).filePath(QStringLiteral("Diagnose.bin"));
        QVERIFY(QFile::remove(path));
        QVERIFY(QDir().mkpath(path));
        auto dialog = Dialog();
        const int result = ModalRunner::Run(dialog.get(), [&](QDialog *d) {
            Table(d)->item(1, 2)->setText(QStringLiteral("4.25"));
            Press(d, "pushOK");
        });
        QCOMPARE(result, 1);
        QCOMPARE(f->window->errors, QList<int>{2});
        QCOMPARE(Stored(f->model.get())[0].Pairs[0].Tolerance, 4.25f);
    }

    // A store short of five rows: the missing kinds show unchecked and empty, and OK wants their values.
    void shortStore()
    {
        const Tolerances full = Make({2, 2, 2, 2, 2});
        QVERIFY(f->model->SetToleranceValues(3, full.data()) == 0);
        auto dialog = Dialog();
        QStringList shown;
        const int result = ModalRunner::Run(dialog.get(), [&](QDialog *d) {
            shown = Shown(d);
            Press(d, "pushOK");
        });
        QCOMPARE(result, 0);
        QCOMPARE(f->window->errors, QList<int>{37});
        QCOMPARE(shown.mid(0, 3), Expected(full).mid(0, 3));
        const QString empty = QStringLiteral("0") + QString(QStringLiteral(" 0.00")).repeated(14);
        QCOMPARE(shown.mid(3), QStringList({empty, empty}));
    }
};

QTEST_MAIN(TestTolerance)
#include "test_tolerance.moc"
