// The handheld measurement view: headers, row numbers, the measuring order of columns and single patches, the
// position lists it hands out and who owns their entries.
#include "chart/vchandychartgraphicscolumn.h"
#include "chart/vchandychartgraphicspatch.h"
#include "chart/vchandychartgraphicsview.h"
#include "viewprobe.h"

#include <QGraphicsRectItem>
#include <QGraphicsTextItem>
#include <QSignalSpy>
#include <QtTest>

#include <algorithm>
#include <memory>

namespace {

using Sheet = ChartDefinitionData::Sheet;
using PatchColor = ChartDefinitionData::PatchColor;

struct AreaGrid {
    int rows;
    int columns;
    int left;
    int top;
};

// Patches 600 x 500 on a 700 x 600 pitch; every grid position has a record unless listed in holes.
std::unique_ptr<Sheet> MakeSheet(const QList<AreaGrid> &areas, const QList<QList<int>> &holes = {})
{
    auto sheet = std::make_unique<Sheet>();
    sheet->Width = 21000;
    sheet->Height = 29700;
    sheet->AreaCount = int(areas.size());
    QList<PatchColor> records;
    for (int a = 0; a < areas.size(); ++a) {
        const AreaGrid &grid = areas[a];
        sheet->Areas[a].RowCount = grid.rows;
        sheet->Areas[a].ColumnCount = grid.columns;
        sheet->Placements[a] = {grid.left, grid.top, 600, 500, 700, 600};
        for (int r = 0; r < grid.rows; ++r) {
            for (int c = 0; c < grid.columns; ++c) {
                if (holes.contains({a, r, c}))
                    continue;
                PatchColor p;
                p.ID = int(records.size()) + 1;
                p.Area = a;
                p.Row = r;
                p.Column = c;
                p.ColorFormat = ChartDefinitionData::FormatRGB;
                p.ColorValue[0] = 200;
                records << p;
            }
        }
    }
    sheet->PatchCount = int(records.size());
    sheet->Patches = std::make_unique<PatchColor[]>(std::max<size_t>(1, size_t(records.size())));
    std::copy(records.cbegin(), records.cend(), sheet->Patches.get());
    return sheet;
}

QString Positions(const QList<TanoSDK_PatchPosition *> &positions)
{
    QStringList parts;
    for (const TanoSDK_PatchPosition *p : positions)
        parts << QStringLiteral("%1,%2,%3").arg(p->area).arg(p->row).arg(p->column);
    return QStringLiteral("pos[%1]").arg(parts.join(' '));
}

// Stands in for the model: logs the emissions in order and owns the entries it is handed.
class Receiver : public QObject
{
public:
    explicit Receiver(CVCHandyChartGraphicsView *view)
    {
        connect(view, &CVCHandyChartGraphicsView::SetPatchPosition, this,
                [this](QList<TanoSDK_PatchPosition *> &positions) {
                    log << Positions(positions);
                    for (TanoSDK_PatchPosition *p : positions)
                        owned.emplace_back(p);
                    positions.clear();
                });
        connect(view, &CVCHandyChartGraphicsView::SetScanMode, this,
                [this](bool scan) { log << QStringLiteral("scan %1").arg(scan); });
    }
    QStringList take() { return std::exchange(log, {}); }

    QStringList log;
    std::vector<std::unique_ptr<TanoSDK_PatchPosition>> owned;
};

// 1 pixel per 0.1 mm keeps the expected geometry readable.
void Draw(CVCHandyChartGraphicsView &view, const Sheet &sheet)
{
    view.SetResolution(254, 254);
    view.DrawSheet(&sheet, 0, 0, 8, nullptr);
}

template <typename T>
QList<T *> ItemsOf(QGraphicsScene *scene)
{
    QList<T *> found;
    for (QGraphicsItem *item : scene->items(Qt::AscendingOrder)) {
        if (auto *typed = dynamic_cast<T *>(item))
            found << typed;
    }
    return found;
}

QList<CVCHandyChartGraphicsColumn *> ColumnsByLetter(QGraphicsScene *scene)
{
    QList<CVCHandyChartGraphicsColumn *> columns = ItemsOf<CVCHandyChartGraphicsColumn>(scene);
    std::sort(columns.begin(), columns.end(),
              [](auto *a, auto *b) { return a->LetterIndex() < b->LetterIndex(); });
    return columns;
}

CVCHandyChartGraphicsPatch *PatchAt(QGraphicsScene *scene, int area, int row, int column)
{
    for (auto *patch : ItemsOf<CVCHandyChartGraphicsPatch>(scene)) {
        int a = -1, r = -1, c = -1;
        patch->GetIndices(&a, &r, &c);
        if (a == area && r == row && c == column)
            return patch;
    }
    return nullptr;
}

QString Selected(QGraphicsScene *scene)
{
    const QList<QGraphicsItem *> selected = scene->selectedItems();
    if (selected.size() != 1)
        return QStringLiteral("%1 selected").arg(selected.size());
    if (auto *column = dynamic_cast<CVCHandyChartGraphicsColumn *>(selected.first()))
        return QStringLiteral("column %1").arg(QChar(ushort('A' + column->LetterIndex())));
    int a = -1, r = -1, c = -1;
    if (auto *patch = dynamic_cast<CVCHandyChartGraphicsPatch *>(selected.first()))
        patch->GetIndices(&a, &r, &c);
    return QStringLiteral("patch %1,%2,%3").arg(a).arg(r).arg(c);
}

} // namespace

class TestHandyView : public QObject
{
    Q_OBJECT

private slots:
    void threeByTwoSelectsTheRightColumn()
    {
        CVCHandyChartGraphicsView view;
        Receiver receiver(&view);
        const auto sheet = MakeSheet({{2, 3, 1000, 2000}});
        Draw(view, *sheet);
        QCOMPARE(view.scene()->parent(), &view);

        QCOMPARE(receiver.take(), QStringList({"pos[0,0,2 0,1,2]", "scan 1"}));
        const QList<CVCHandyChartGraphicsColumn *> columns = ColumnsByLetter(view.scene());
        QCOMPARE(columns.size(), 3);
        // A, B, C from right to left, each over its column: x = (1000 + c * 700) / 10.
        for (int n = 0; n < 3; ++n)
            QCOMPARE(columns[n]->boundingRect(), QRectF(100 + (2 - n) * 70, 200 - 20, 60, 15));
        QVERIFY(columns[0]->isSelected());
        QCOMPARE(columns[0]->zValue(), 0.1);
        QCOMPARE(ItemsOf<CVCHandyChartGraphicsPatch>(view.scene()).size(), 6);
        QCOMPARE(PatchAt(view.scene(), 0, 1, 2)->boundingRect(), QRectF(240, 260, 60, 50));

        // The outline runs from the header down to the bottom of the column's last patch.
        QGraphicsRectItem *highlight = columns[0]->Highlight();
        QVERIFY(highlight);
        QCOMPARE(highlight->scene(), view.scene());
        QCOMPARE(highlight->rect(), QRectF(240, 180, 60, 310 - 180));
        QCOMPARE(highlight->pen().color(), QColor(Qt::red));
        QCOMPARE(highlight->pen().widthF(), 3.0);
        QVERIFY(highlight->pen().isCosmetic());
        QCOMPARE(highlight->brush().style(), Qt::NoBrush);

        // Header: black box, white letter.
        const QImage header = viewprobe::RenderItem(columns[1], false, 0);
        QCOMPARE(header.pixel(1, 1), qRgb(0, 0, 0));
        bool hasWhite = false;
        for (int y = 0; y < header.height(); ++y)
            for (int x = 0; x < header.width(); ++x)
                hasWhite = hasWhite || header.pixel(x, y) == qRgb(255, 255, 255);
        QVERIFY(hasWhite);

        // Row numbers left of the area, 5 pixels off its edge and below each row's top.
        const QList<QGraphicsTextItem *> numbers = ItemsOf<QGraphicsTextItem>(view.scene());
        QCOMPARE(numbers.size(), 2);
        for (QGraphicsTextItem *number : numbers) {
            const int row = number->toPlainText().toInt() - 1;
            QVERIFY(row == 0 || row == 1);
            QCOMPARE(number->pos().x() + number->boundingRect().width(), 100.0 - 5);
            QCOMPARE(number->pos().y(), 200.0 + row * 60 + 5);
        }
    }

    void clickingAPatchMeasuresItAlone()
    {
        CVCHandyChartGraphicsView view;
        Receiver receiver(&view);
        view.resize(500, 400);
        const auto sheet = MakeSheet({{2, 3, 1000, 2000}});
        Draw(view, *sheet);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        receiver.take();

        CVCHandyChartGraphicsColumn *columnA = ColumnsByLetter(view.scene()).first();
        CVCHandyChartGraphicsPatch *patch = PatchAt(view.scene(), 0, 1, 1);
        QSignalSpy selected(&view, &CVCGraphicsView::SelectPatch);
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {},
                          view.mapFromScene(patch->sceneBoundingRect().center()));
        QCOMPARE(receiver.take(), QStringList({"pos[]", "pos[0,1,1]", "scan 0"}));
        QCOMPARE(Selected(view.scene()), QStringLiteral("patch 0,1,1"));
        QCOMPARE(selected.size(), 1);
        QVERIFY(!columnA->Highlight());
        QCOMPARE(columnA->zValue(), 0.0);

        // Back to a column: the patch lets go first.
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {},
                          view.mapFromScene(columnA->sceneBoundingRect().center()));
        QCOMPARE(receiver.take(), QStringList({"pos[]", "pos[0,0,2 0,1,2]", "scan 1"}));
    }

    void holesAndEmptyColumns()
    {
        CVCHandyChartGraphicsView view;
        Receiver receiver(&view);
        // Column 1 lacks its top patch, column 0 has none at all.
        const auto sheet = MakeSheet({{2, 3, 1000, 2000}}, {{0, 0, 1}, {0, 0, 0}, {0, 1, 0}});
        Draw(view, *sheet);
        QCOMPARE(ItemsOf<CVCHandyChartGraphicsPatch>(view.scene()).size(), 3);
        QVERIFY(!PatchAt(view.scene(), 0, 0, 1));
        const QList<CVCHandyChartGraphicsColumn *> columns = ColumnsByLetter(view.scene());
        QCOMPARE(columns.size(), 3);
        receiver.take();

        view.HandyMeasurementFinished();
        QCOMPARE(receiver.take(), QStringList({"pos[]", "pos[0,1,1]", "scan 1"}));
        QCOMPARE(columns[1]->Highlight()->rect(), QRectF(170, 180, 60, 310 - 180));

        view.HandyMeasurementFinished();
        QCOMPARE(receiver.take(), QStringList({"pos[]", "pos[]", "scan 1"}));
        QCOMPARE(Selected(view.scene()), QStringLiteral("column C"));
        QCOMPARE(columns[2]->Highlight()->rect(), columns[2]->boundingRect());
    }

    void twoAreasContinueLettersAndRestartRows()
    {
        CVCHandyChartGraphicsView view;
        const auto sheet = MakeSheet({{2, 2, 1000, 2000}, {3, 2, 1000, 5000}});
        Draw(view, *sheet);
        const QList<CVCHandyChartGraphicsColumn *> columns = ColumnsByLetter(view.scene());
        QCOMPARE(columns.size(), 4);
        // D is the left column of the second area.
        QCOMPARE(columns[3]->boundingRect(), QRectF(100, 500 - 20, 60, 15));
        QCOMPARE(columns[3]->PatchItems().size(), 3);
        QStringList numbers;
        for (QGraphicsTextItem *number : ItemsOf<QGraphicsTextItem>(view.scene()))
            numbers << QStringLiteral("%1@%2").arg(number->toPlainText()).arg(number->pos().y());
        numbers.sort();
        QCOMPARE(numbers, QStringList({"1@205", "1@505", "2@265", "2@565", "3@625"}));
    }

    void measuringOrderAdvancesAndWraps_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("columns") << QString()
                                 << QStringList({"column B", "column C", "column A"});
        QTest::newRow("patches down and leftward")
            << "0,0,1" << QStringList({"patch 0,1,1", "patch 0,0,0", "patch 0,1,0", "patch 1,0,0"});
        QTest::newRow("last patch wraps") << "1,0,0" << QStringList({"patch 0,0,1", "patch 0,1,1"});
    }
    void measuringOrderAdvancesAndWraps()
    {
        QFETCH(QString, start);
        QFETCH(QStringList, expected);
        CVCHandyChartGraphicsView view;
        // Two columns of two rows, then one column of one row.
        const auto sheet = MakeSheet({{2, 2, 1000, 2000}, {1, 1, 1000, 5000}});
        Draw(view, *sheet);
        QCOMPARE(Selected(view.scene()), QStringLiteral("column A"));
        if (!start.isEmpty()) {
            view.scene()->clearSelection();
            const QStringList abc = start.split(',');
            PatchAt(view.scene(), abc[0].toInt(), abc[1].toInt(), abc[2].toInt())->setSelected(true);
        }
        for (const QString &next : expected) {
            view.HandyMeasurementFinished();
            QCOMPARE(Selected(view.scene()), next);
        }
    }

    void nothingSelectedOnlyChecks()
    {
        CVCHandyChartGraphicsView view;
        const auto sheet = MakeSheet({{1, 2, 1000, 2000}});
        Draw(view, *sheet);
        view.scene()->clearSelection();
        QSignalSpy finished(&view, &CVCHandyChartGraphicsView::AllMeasurementFinished);
        view.HandyMeasurementFinished();
        QCOMPARE(Selected(view.scene()), QStringLiteral("0 selected"));
        QCOMPARE(finished.size(), 0);
    }

    void allMeasuredOnlyWhenEveryPatchShowsItsColour()
    {
        CVCHandyChartGraphicsView view;
        const auto sheet = MakeSheet({{2, 3, 1000, 2000}});
        Draw(view, *sheet);
        emit view.SetDisplay(1);
        QSignalSpy finished(&view, &CVCHandyChartGraphicsView::AllMeasurementFinished);
        for (int i = 0; i < sheet->PatchCount; ++i) {
            emit view.SetPatchColor(sheet->Patches[i]);
            view.HandyMeasurementFinished();
            QCOMPARE(finished.size(), i == sheet->PatchCount - 1 ? 1 : 0);
        }
        // It keeps telling after every further measurement.
        view.HandyMeasurementFinished();
        QCOMPARE(finished.size(), 2);
    }

    void sheetWithoutAreas()
    {
        CVCHandyChartGraphicsView view;
        Receiver receiver(&view);
        const auto sheet = MakeSheet({});
        Draw(view, *sheet);
        QCOMPARE(view.scene()->items().size(), 1); // the sheet alone
        QVERIFY(view.scene()->selectedItems().isEmpty());
        QVERIFY(receiver.log.isEmpty());
        // No patch at all counts as all measured.
        QSignalSpy finished(&view, &CVCHandyChartGraphicsView::AllMeasurementFinished);
        view.HandyMeasurementFinished();
        QCOMPARE(finished.size(), 1);
    }

    void twentySeventhColumnShowsTheCharacterAfterZ()
    {
        CVCHandyChartGraphicsView view;
        const auto sheet = MakeSheet({{1, 27, 1000, 2000}});
        Draw(view, *sheet);
        const QList<CVCHandyChartGraphicsColumn *> columns = ColumnsByLetter(view.scene());
        QCOMPARE(columns.size(), 27);
        CVCHandyChartGraphicsColumn *last = columns.last();
        QCOMPARE(last->LetterIndex(), 26);

        const QRectF rect = last->boundingRect();
        QImage expected(rect.size().toSize(), QImage::Format_ARGB32);
        expected.fill(viewprobe::kBackground);
        {
            QPainter painter(&expected);
            painter.translate(-rect.topLeft());
            painter.fillRect(rect, Qt::black);
            painter.setPen(Qt::white);
            painter.drawText(rect, Qt::AlignHCenter | Qt::AlignVCenter, QStringLiteral("["));
        }
        QCOMPARE(viewprobe::RenderItem(last, false, 0), expected);
    }

    void manySelectionsLeakNothing()
    {
        // Without a receiver the view frees what nobody took (LeakSanitizer watches).
        {
            CVCHandyChartGraphicsView view;
            const auto sheet = MakeSheet({{3, 4, 1000, 2000}});
            Draw(view, *sheet);
            for (int i = 0; i < 40; ++i)
                view.HandyMeasurementFinished();
            PatchAt(view.scene(), 0, 2, 2)->setSelected(true);
            for (int i = 0; i < 40; ++i)
                view.HandyMeasurementFinished();
        }
        // A receiver that keeps the entries in the list owns them: the view must not free them.
        CVCHandyChartGraphicsView view;
        std::vector<std::unique_ptr<TanoSDK_PatchPosition>> kept;
        QList<TanoSDK_PatchPosition *> last;
        connect(&view, &CVCHandyChartGraphicsView::SetPatchPosition, this,
                [&](QList<TanoSDK_PatchPosition *> &positions) {
                    last = positions;
                    for (TanoSDK_PatchPosition *p : positions)
                        kept.emplace_back(p);
                });
        const auto sheet = MakeSheet({{3, 4, 1000, 2000}});
        Draw(view, *sheet);
        for (int i = 0; i < 4; ++i) {
            view.HandyMeasurementFinished();
            // Read after the emission: a freed entry would show up under ASan.
            QCOMPARE(last.size(), 3);
            QCOMPARE(last.first()->column, 2 - i < 0 ? 3 : 2 - i);
        }
        QCOMPARE(kept.size(), size_t(3 * 4 + 3));
    }
};

QTEST_MAIN(TestHandyView)
#include "test_handyview.moc"
