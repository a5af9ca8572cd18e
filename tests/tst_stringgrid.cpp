// Tests of the string grid: counts, cells addressed column first, widths, fixed headings (their colour,
// never current) and widening a column by dragging its line in a fixed row.
#include "toolkit/ui/StringGrid.h"
#include "tests/support/TestMain.h"

#include <QtTest>

class TestStringGrid : public QObject {
    Q_OBJECT

private slots:
    void startsLikeTheToolkitsGrid();
    void cellsAreColumnFirst();
    void countsKeepCells();
    void widths();
    void fixedCellsAreHeadings();
    void columnsWidenByDragging();
};

void TestStringGrid::startsLikeTheToolkitsGrid()
{
    TStringGrid grid;
    QCOMPARE(grid.ColCount(), 5);
    QCOMPARE(grid.RowCount(), 5);
    QCOMPARE(grid.FixedCols(), 1);
    QCOMPARE(grid.FixedRows(), 1);
    QCOMPARE(grid.DefaultColWidth(), 64);
    QCOMPARE(grid.ColWidths(3), 64);
    QCOMPARE(grid.Col(), 1);
    QCOMPARE(grid.Row(), 1);
}

void TestStringGrid::cellsAreColumnFirst()
{
    TStringGrid grid;
    grid.setColCount(3);
    grid.setRowCount(2);
    grid.setCells(2, 1, QStringLiteral("Оценка"));
    QCOMPARE(grid.Cells(2, 1), QStringLiteral("Оценка"));
    QCOMPARE(grid.Cells(1, 2), QString());
    QCOMPARE(grid.item(1, 2)->text(), QStringLiteral("Оценка"));
    grid.setCells(2, 1, QStringLiteral("again"));
    QCOMPARE(grid.Cells(2, 1), QStringLiteral("again"));
    grid.setCells(5, 0, QStringLiteral("out of range"));
    grid.setCells(-1, 0, QStringLiteral("out of range"));
    QCOMPARE(grid.ColCount(), 3);
    QCOMPARE(grid.Cells(5, 0), QString());
}

void TestStringGrid::countsKeepCells()
{
    TStringGrid grid;
    grid.setColCount(11);
    grid.setRowCount(4);
    grid.setCells(10, 3, QStringLiteral("last"));
    grid.setCells(0, 0, QStringLiteral("corner"));
    grid.setRowCount(8);
    QCOMPARE(grid.RowCount(), 8);
    QCOMPARE(grid.Cells(10, 3), QStringLiteral("last"));
    grid.setColCount(2);
    QCOMPARE(grid.Cells(0, 0), QStringLiteral("corner"));
    QCOMPARE(grid.Cells(10, 3), QString());
}

void TestStringGrid::widths()
{
    TStringGrid grid;
    grid.setColCount(3);
    grid.setColWidths(0, 11);
    grid.setColWidths(1, 227);
    QCOMPARE(grid.ColWidths(0), 11);
    QCOMPARE(grid.ColWidths(1), 227);
    grid.setColCount(6);
    QCOMPARE(grid.ColWidths(5), 64);   // new columns take the default
    grid.setDefaultRowHeight(18);
    QCOMPARE(grid.RowHeights(2), 18);
    grid.setDefaultColWidth(40);
    QCOMPARE(grid.ColWidths(1), 40);
}

void TestStringGrid::fixedCellsAreHeadings()
{
    QWidget form;
    form.resize(400, 200);
    auto *grid = new TStringGrid(&form);
    grid->setGeometry(0, 0, 400, 200);
    grid->setColor(clBtnFace);
    grid->setFixedColor(clSilver);
    grid->setOptions(grid->Options() | goRowSelect | goDrawFocusSelected);
    grid->setColCount(3);
    grid->setRowCount(3);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    grid->setCurrentCell(2, 2);

    const QImage image = grid->grab().toImage();
    auto colourAt = [&](int col, int row) {
        const QRect cell = grid->visualRect(grid->model()->index(row, col)).translated(grid->viewport()->pos());
        return image.pixelColor(cell.center());
    };
    QCOMPARE(colourAt(0, 1), ColorToQColor(clSilver));
    QCOMPARE(colourAt(2, 0), ColorToQColor(clSilver));
    QCOMPARE(colourAt(1, 1), ColorToQColor(clBtnFace));
    QCOMPARE(colourAt(1, 2), ColorToQColor(clHighlight));   // the whole current row

    // A click on a heading chooses nothing.
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(grid->model()->index(0, 1)).center());
    QCOMPARE(grid->Row(), 2);
    grid->setCurrentCell(0, 0);
    QCOMPARE(grid->Row(), 1);
    QCOMPARE(grid->Col(), 1);
}

void TestStringGrid::columnsWidenByDragging()
{
    QWidget form;
    form.resize(400, 200);
    auto *grid = new TStringGrid(&form);
    grid->setGeometry(0, 0, 400, 200);
    grid->setColCount(3);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    auto drag = [&](int by) {
        const int line = grid->columnViewportPosition(1) + grid->ColWidths(1);
        const int y = grid->rowViewportPosition(0) + grid->RowHeights(0) / 2;
        QTest::mousePress(grid->viewport(), Qt::LeftButton, {}, QPoint(line, y));
        QMouseEvent move(QEvent::MouseMove, QPointF(line + by, y), grid->viewport()->mapToGlobal(QPointF(line + by, y)),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(grid->viewport(), &move);
        QTest::mouseRelease(grid->viewport(), Qt::LeftButton, {}, QPoint(line + by, y));
    };
    drag(30);
    QCOMPARE(grid->ColWidths(1), 64);   // sizing is off by default

    grid->setOptions(grid->Options() | goColSizing);
    drag(30);
    QCOMPARE(grid->ColWidths(1), 94);
    drag(-50);
    QCOMPARE(grid->ColWidths(1), 44);
}

OLM_TEST_MAIN(TestStringGrid)
#include "tst_stringgrid.moc"
