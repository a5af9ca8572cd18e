// The data-aware grid (a QTableView over a model of the bound dataset): bound columns over a data source, an indicator column, multi-row selection kept as
// bookmarks in the dataset's row order, in-place editing that follows the dataset (typing edits, leaving the
// row posts, Escape cancels), and per-cell drawing through OnDrawColumnCell on a canvas.
#pragma once

#include "toolkit/data/ADODB.h"
#include "toolkit/ui/Graphics.h"
#include "toolkit/ui/Keys.h"

#include <QTableView>
#include <QPointer>
#include <QRect>
#include <QSet>
#include <QStringList>

#include <functional>
#include <memory>
#include <set>

class TDBGridEh;
class TColumnEh;

enum TAlignment { taLeftJustify, taRightJustify, taCenter };

enum TGridDrawStateFlag { gdSelected = 1, gdFocused = 2, gdFixed = 4 };
using TGridDrawState = int;   ///< set of TGridDrawStateFlag

enum TDBGridOption {
    dgEditing = 1 << 0, dgAlwaysShowEditor = 1 << 1, dgTitles = 1 << 2, dgIndicator = 1 << 3,
    dgColumnResize = 1 << 4, dgColLines = 1 << 5, dgRowLines = 1 << 6, dgTabs = 1 << 7, dgRowSelect = 1 << 8,
    dgAlwaysShowSelection = 1 << 9, dgConfirmDelete = 1 << 10, dgCancelOnExit = 1 << 11, dgMultiSelect = 1 << 12,
};
using TDBGridOptions = int;

enum TDBGridEhOption {
    dghFixed3D = 1 << 0, dghHighlightFocus = 1 << 1, dghClearSelection = 1 << 2, dghEnterAsTab = 1 << 3,
    dghRowHighlight = 1 << 4, dghDialogFind = 1 << 5, dghColumnMove = 1 << 6,
};
using TDBGridEhOptions = int;

enum TDBGridEhAllowedOperation { alopInsertEh = 1, alopUpdateEh = 2, alopDeleteEh = 4, alopAppendEh = 8 };
using TDBGridEhAllowedOperations = int;

enum TDBGridEhEditAction { geaCutEh = 1, geaCopyEh = 2, geaPasteEh = 4, geaDeleteEh = 8, geaSelectAllEh = 16 };
using TDBGridEhEditActions = int;

enum TScrollBarVisibleMode { sbAlwaysShowEh, sbNeverShowEh, sbAutoShowEh };

using TDrawColumnEhCellEvent =
    std::function<void(QObject *Sender, const QRect &Rect, int DataCol, TColumnEh *Column, TGridDrawState State)>;
using TKeyEvent = std::function<void(QObject *Sender, quint16 &Key, TShiftState Shift)>;
using TKeyPressEvent = std::function<void(QObject *Sender, QChar &Key)>;
using TMouseEvent = std::function<void(QObject *Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
/// Raised before an edited value is stored into the row. For a lookup column Value holds the chosen key.
using TColCellUpdateDataEvent =
    std::function<void(QObject *Sender, QString &Text, QVariant &Value, bool &UseText, bool &Handled)>;

/// One grid column bound to a dataset field by name.
class TColumnEh {
public:
    explicit TColumnEh(TDBGridEh *grid);
    TDBGridEh *Grid() const { return m_grid; }
    int Index() const;

    QString FieldName;
    /// The bound field of the grid's dataset (null without data source, dataset, or such field).
    TField *Field() const;
    TAlignment Alignment = taLeftJustify;
    TColor Color = clWindow;
    TFont Font;
    struct {
        QString Caption;
        TAlignment Alignment = taLeftJustify;
    } Title;
    int Width = 64;
    bool Visible = true;
    bool ReadOnly = false;
    QStringList PickList;     ///< fixed values offered in a drop-down; the stored value is the shown value
    int DropDownWidth = 0;    ///< 0: as wide as the column
    bool EndEllipsis = false;
    bool Checkboxes = false;  ///< boolean fields shown and toggled as tick boxes
    TColCellUpdateDataEvent OnUpdateData;

private:
    TDBGridEh *m_grid;
};

/// The grid's selected rows: bookmarks, kept in the dataset's row order.
class TBMListEh {
public:
    explicit TBMListEh(TDBGridEh *grid) : m_grid(grid) {}
    int Count() const;
    QString Items(int index) const;
    void Clear();
    /// Walks the dataset first to last marking every row (notifications suspended), returns to the record
    /// that was current.
    void SelectAll();
    bool CurrentRowSelected() const;
    void setCurrentRowSelected(bool selected);
    bool Contains(const QString &bookmark) const;
    void toggle(const QString &bookmark);

private:
    friend class TDBGridEh;
    friend class TDBGridEhPrivate;
    void add(const QString &bookmark);
    void remove(const QString &bookmark);
    void sortIfNeeded() const;
    void changed();
    TDBGridEh *m_grid;
    mutable QStringList m_bookmarks;   // sorted in the dataset's order when read
    mutable bool m_sorted = true;
    QSet<QString> m_index;
};

class TDBGridEhPrivate;

class TDBGridEh : public QTableView {
    Q_OBJECT
public:
    explicit TDBGridEh(QWidget *parent = nullptr);
    ~TDBGridEh() override;

    TDataSource *DataSource() const;
    void setDataSource(TDataSource *dataSource);   ///< null detaches: the grid shows nothing
    TDataSet *dataSet() const;                      ///< DataSource()->DataSet() or null

    /// Columns in display order. AddColumn appends; the grid owns them.
    TColumnEh *AddColumn(const QString &fieldName, const QString &title = {}, int width = 64);
    int ColumnCount() const;
    TColumnEh *Columns(int index) const;
    TColumnEh *ColumnByFieldName(const QString &fieldName) const;

    TDBGridOptions Options = dgEditing | dgTitles | dgIndicator | dgColumnResize | dgColLines | dgRowLines | dgTabs |
                             dgConfirmDelete | dgCancelOnExit;
    void setOptions(TDBGridOptions options);
    TDBGridEhOptions OptionsEh = 0;
    TDBGridEhAllowedOperations AllowedOperations = alopInsertEh | alopUpdateEh | alopDeleteEh | alopAppendEh;
    TDBGridEhEditActions EditActions = 0;
    bool DefaultDrawing = true;
    bool AutoFitColWidths = false;
    bool UseMultiTitle = false;
    TColor Color = clWindow;          ///< background outside the cells
    TFont Font;                       ///< cell font (columns start with it)
    TFont TitleFont;
    TScrollBarVisibleMode VertScrollBarVisibleMode = sbAutoShowEh;
    void setVertScrollBarVisibleMode(TScrollBarVisibleMode mode);
    int DefaultRowHeight = 18;

    TBMListEh &SelectedRows() { return m_selectedRows; }
    const TBMListEh &SelectedRows() const { return m_selectedRows; }

    /// Current column counting the indicator column as 0 (so the first data column is 1 with dgIndicator).
    int Col() const;
    void setCol(int col);
    /// Data-column index (0-based, without the indicator) of the current cell.
    int SelectedIndex() const;
    void setSelectedIndex(int index);
    /// Rows the grid has, as it reports them: title row plus data rows.
    int RowCount() const;
    /// The cell rectangle of a display row and data column in viewport coordinates.
    QRect CellRect(int dataCol, int displayRow) const;

    /// The canvas of the cell being drawn (valid inside OnDrawColumnCell).
    TCanvas *Canvas() const;
    /// The grid's own painting of a data cell: fill with the brush, the field's display text by alignment.
    void DefaultDrawColumnCell(const QRect &rect, int dataCol, TColumnEh *column, TGridDrawState state);
    void Invalidate()
    {
        ++m_invalidateCount;
        viewport()->update();
    }
    /// Number of repaints requested through Invalidate (tests check "repaints only on a real change").
    int invalidateCount() const { return m_invalidateCount; }
    /// Applies changed plain fields (column Visible and Width, Color, fonts, Options, row height) at
    /// once; painting applies them too, a moment later.
    void LayoutChanged();

    bool EditorMode() const;
    void setEditorMode(bool on);
    /// The editor's widget while a cell is being edited, else null (tests type into it).
    QWidget *InplaceEditor() const;

    TDrawColumnEhCellEvent OnDrawColumnCell;
    TKeyEvent OnKeyDown;
    TKeyEvent OnKeyUp;
    TKeyPressEvent OnKeyPress;
    TMouseEvent OnMouseDown;

Q_SIGNALS:
    /// Sent from the destructor, before anything is torn down.
    void gridDestroying(TDBGridEh *grid);

protected:
    // Implementation overrides (key, mouse, paint, resize, focus, editor events) are the grid's own business.
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool viewportEvent(QEvent *event) override;

protected Q_SLOTS:
    void closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint) override;

private:
    friend class TBMListEh;
    friend class TDBGridEhPrivate;
    friend class TDBGridModel;
    friend class TDBGridDelegate;
    friend class TDBGridHeader;
    std::unique_ptr<TDBGridEhPrivate> d;
    TBMListEh m_selectedRows{this};
    int m_invalidateCount = 0;
};

/// A grid class the forms declare; it adds nothing.
class TQZDBGridEh : public TDBGridEh {
    Q_OBJECT
public:
    using TDBGridEh::TDBGridEh;
};
