// The string grid: a QTableWidget without Qt's headers whose every cell, fixed ones too, is a cell of
// the table, so Cells(0, 0) is the top-left heading as the windows expect.
#include "toolkit/ui/StringGrid.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>

#include <algorithm>

namespace {

class TStringGridDelegate : public QStyledItemDelegate {
public:
    explicit TStringGridDelegate(TStringGrid *grid) : QStyledItemDelegate(grid), m_grid(grid) {}

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        const int col = index.column();
        const int row = index.row();
        const TGridOptions options = m_grid->Options();
        const bool fixed = m_grid->isFixedCell(col, row);
        const bool current = row == m_grid->currentRow() && (col == m_grid->currentColumn() || (options & goRowSelect));
        const bool focusedCell = current && m_grid->hasFocus() && !(options & goRowSelect);
        const bool highlight = !fixed && current && (!focusedCell || (options & goDrawFocusSelected));
        const QRect cell = option.rect;

        painter->save();
        QColor background = ColorToQColor(fixed ? m_grid->FixedColor() : m_grid->Color());
        QColor ink = ColorToQColor(clWindowText);
        if (highlight) {
            background = ColorToQColor(clHighlight);
            ink = ColorToQColor(clHighlightText);
        }
        painter->fillRect(cell, background);
        if (fixed) {
            painter->setPen(ColorToQColor(clBtnHighlight));
            painter->drawLine(cell.topLeft(), cell.topRight());
            painter->drawLine(cell.topLeft(), cell.bottomLeft());
        }
        painter->setPen(ink);
        painter->setFont(m_grid->font());
        const QString text = index.data(Qt::DisplayRole).toString();
        painter->drawText(cell.adjusted(2, 0, -2, 0), int(Qt::AlignLeft | Qt::AlignVCenter), text);

        const bool vertical = options & (fixed ? goFixedVertLine : goVertLine);
        const bool horizontal = options & (fixed ? goFixedHorzLine : goHorzLine);
        painter->setPen(ColorToQColor(fixed ? cl3DDkShadow : clBtnFace));
        if (vertical)
            painter->drawLine(cell.topRight(), cell.bottomRight());
        if (horizontal)
            painter->drawLine(cell.bottomLeft(), cell.bottomRight());
        if (focusedCell && !(options & goDrawFocusSelected)) {
            QPen dotted(ink);
            dotted.setStyle(Qt::DotLine);
            painter->setPen(dotted);
            painter->drawRect(cell.adjusted(1, 1, -2, -2));
        }
        painter->restore();
    }

private:
    TStringGrid *m_grid;
};

constexpr int sizingMargin = 3;

} // namespace

TStringGrid::TStringGrid(QWidget *parent) : QTableWidget(5, 5, parent)
{
    horizontalHeader()->hide();
    verticalHeader()->hide();
    horizontalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setMinimumSectionSize(1);
    horizontalHeader()->setDefaultSectionSize(m_defaultColWidth);
    verticalHeader()->setDefaultSectionSize(m_defaultRowHeight);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    setShowGrid(false);
    setWordWrap(false);
    setSelectionMode(QAbstractItemView::NoSelection);
    setItemDelegate(new TStringGridDelegate(this));
    setMouseTracking(true);
    setOptions(m_options);
    connect(this, &QTableWidget::currentCellChanged, this, [this] { keepCurrentOutOfFixed(); });
    keepCurrentOutOfFixed();
}

void TStringGrid::setColCount(int count)
{
    setColumnCount(std::max(0, count));
    keepCurrentOutOfFixed();
}

void TStringGrid::setRowCount(int count)
{
    QTableWidget::setRowCount(std::max(0, count));
    keepCurrentOutOfFixed();
}

QString TStringGrid::Cells(int col, int row) const
{
    const QTableWidgetItem *cell = item(row, col);
    return cell ? cell->text() : QString();
}

void TStringGrid::setCells(int col, int row, const QString &text)
{
    if (col < 0 || row < 0 || col >= columnCount() || row >= rowCount())
        return;
    QTableWidgetItem *cell = item(row, col);
    if (!cell) {
        setItem(row, col, new QTableWidgetItem(text));   // the table owns its items
        return;
    }
    cell->setText(text);
}

void TStringGrid::setDefaultColWidth(int width)
{
    m_defaultColWidth = std::max(1, width);
    horizontalHeader()->setDefaultSectionSize(m_defaultColWidth);
    for (int col = 0; col < columnCount(); ++col)
        setColumnWidth(col, m_defaultColWidth);
}

void TStringGrid::setDefaultRowHeight(int height)
{
    m_defaultRowHeight = std::max(1, height);
    verticalHeader()->setDefaultSectionSize(m_defaultRowHeight);
    for (int row = 0; row < rowCount(); ++row)
        setRowHeight(row, m_defaultRowHeight);
}

void TStringGrid::setFixedCols(int count)
{
    m_fixedCols = std::max(0, count);
    keepCurrentOutOfFixed();
    viewport()->update();
}

void TStringGrid::setFixedRows(int count)
{
    m_fixedRows = std::max(0, count);
    keepCurrentOutOfFixed();
    viewport()->update();
}

void TStringGrid::setColor(TColor color)
{
    m_color = color;
    QPalette palette = viewport()->palette();
    palette.setColor(QPalette::Base, ColorToQColor(color));
    viewport()->setPalette(palette);
    viewport()->update();
}

void TStringGrid::setFixedColor(TColor color)
{
    m_fixedColor = color;
    viewport()->update();
}

void TStringGrid::setOptions(TGridOptions options)
{
    m_options = options;
    setEditTriggers((options & goEditing) ? QAbstractItemView::AllEditTriggers : QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(options & goTabs);
    verticalHeader()->setSectionResizeMode((options & goRowSizing) ? QHeaderView::Interactive : QHeaderView::Fixed);
    viewport()->update();
}

void TStringGrid::setCol(int col)
{
    setCurrentCell(std::max(currentRow(), 0), col);
}

void TStringGrid::setRow(int row)
{
    setCurrentCell(row, std::max(currentColumn(), 0));
}

void TStringGrid::keepCurrentOutOfFixed()
{
    if (rowCount() <= m_fixedRows || columnCount() <= m_fixedCols)
        return;
    const int row = std::max(currentRow(), m_fixedRows);
    const int col = std::max(currentColumn(), m_fixedCols);
    if (row != currentRow() || col != currentColumn())
        setCurrentCell(row, col);
    viewport()->update();
}

int TStringGrid::sizingLineAt(const QPoint &pos) const
{
    if (!(m_options & goColSizing))
        return -1;
    const int row = rowAt(pos.y());
    if (row < 0 || row >= m_fixedRows)
        return -1;
    for (int col = 0; col < columnCount(); ++col) {
        const int right = columnViewportPosition(col) + columnWidth(col);
        if (!isColumnHidden(col) && std::abs(pos.x() - right) <= sizingMargin)
            return col;
    }
    return -1;
}

void TStringGrid::mousePressEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    const int line = event->button() == Qt::LeftButton ? sizingLineAt(pos) : -1;
    if (line >= 0) {
        m_sizingColumn = line;
        m_sizingStartX = pos.x();
        m_sizingStartWidth = columnWidth(line);
        event->accept();
        return;
    }
    const int row = rowAt(pos.y());
    const int col = columnAt(pos.x());
    if (row >= 0 && col >= 0 && isFixedCell(col, row)) {
        event->accept();   // headings are not chosen
        return;
    }
    QTableWidget::mousePressEvent(event);
}

void TStringGrid::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    if (m_sizingColumn >= 0) {
        setColumnWidth(m_sizingColumn, std::max(1, m_sizingStartWidth + pos.x() - m_sizingStartX));
        event->accept();
        return;
    }
    viewport()->setCursor(sizingLineAt(pos) >= 0 ? Qt::SplitHCursor : Qt::ArrowCursor);
    QTableWidget::mouseMoveEvent(event);
}

void TStringGrid::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_sizingColumn >= 0) {
        m_sizingColumn = -1;
        event->accept();
        return;
    }
    QTableWidget::mouseReleaseEvent(event);
}
