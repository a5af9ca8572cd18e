// A grid of text cells addressed column first, then row: the first FixedRows rows and FixedCols
// columns are headings in the fixed colour, the rest plain cells; columns can be widened by dragging a
// line in the fixed rows.
#pragma once

#include "toolkit/ui/Graphics.h"

#include <QTableWidget>

enum TGridOption {
    goFixedVertLine = 1 << 0, goFixedHorzLine = 1 << 1, goVertLine = 1 << 2, goHorzLine = 1 << 3,
    goRangeSelect = 1 << 4, goDrawFocusSelected = 1 << 5, goRowSizing = 1 << 6, goColSizing = 1 << 7,
    goRowMoving = 1 << 8, goColMoving = 1 << 9, goEditing = 1 << 10, goTabs = 1 << 11, goRowSelect = 1 << 12,
    goAlwaysShowEditor = 1 << 13, goThumbTracking = 1 << 14,
};
using TGridOptions = int;

class TStringGrid : public QTableWidget {
    Q_OBJECT
public:
    explicit TStringGrid(QWidget *parent = nullptr);

    /// Columns and rows, fixed ones included (5 and 5 at first).
    int ColCount() const { return columnCount(); }
    void setColCount(int count);
    int RowCount() const { return rowCount(); }
    void setRowCount(int count);

    /// The text of a cell, column first; "" for a cell never set or out of range.
    QString Cells(int col, int row) const;
    /// Sets a cell's text; out of range is ignored.
    void setCells(int col, int row, const QString &text);

    int ColWidths(int col) const { return columnWidth(col); }
    void setColWidths(int col, int width) { setColumnWidth(col, width); }
    int RowHeights(int row) const { return rowHeight(row); }
    void setRowHeights(int row, int height) { setRowHeight(row, height); }
    /// Width of every column until set otherwise; 64 at first. Setting it resets all columns.
    int DefaultColWidth() const { return m_defaultColWidth; }
    void setDefaultColWidth(int width);
    /// Height of every row; 24 at first. Setting it resets all rows.
    int DefaultRowHeight() const { return m_defaultRowHeight; }
    void setDefaultRowHeight(int height);

    /// Heading columns at the left and heading rows at the top (1 and 1 at first).
    int FixedCols() const { return m_fixedCols; }
    void setFixedCols(int count);
    int FixedRows() const { return m_fixedRows; }
    void setFixedRows(int count);

    /// Background of the plain cells (clWindow) and of the fixed ones (clBtnFace).
    TColor Color() const { return m_color; }
    void setColor(TColor color);
    TColor FixedColor() const { return m_fixedColor; }
    void setFixedColor(TColor color);

    /// Lines, sizing, selection and editing; goFixedVertLine, goFixedHorzLine, goVertLine, goHorzLine
    /// and goRangeSelect at first.
    TGridOptions Options() const { return m_options; }
    void setOptions(TGridOptions options);

    /// The current cell; never a fixed one while there are plain cells.
    int Col() const { return currentColumn(); }
    void setCol(int col);
    int Row() const { return currentRow(); }
    void setRow(int row);

    /// Whether a cell is drawn as a heading.
    bool isFixedCell(int col, int row) const { return col < m_fixedCols || row < m_fixedRows; }

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void keepCurrentOutOfFixed();
    /// The column whose right line is under pos in a fixed row, -1 when none.
    int sizingLineAt(const QPoint &pos) const;

    int m_defaultColWidth = 64;
    int m_defaultRowHeight = 24;
    int m_fixedCols = 1;
    int m_fixedRows = 1;
    TColor m_color = clWindow;
    TColor m_fixedColor = clBtnFace;
    TGridOptions m_options = goFixedVertLine | goFixedHorzLine | goVertLine | goHorzLine | goRangeSelect;
    int m_sizingColumn = -1;
    int m_sizingStartX = 0;
    int m_sizingStartWidth = 0;
};
