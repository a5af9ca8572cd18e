// The grid behaviour component: attached to a data grid it paints every cell by the state of its row
// (selected, current, duplicate key, error, freshly pasted) and offers row copy, cut, paste, delete and
// select all on the grid's Ctrl keys, whole rows travelling in a private clipboard format.
#pragma once

#include "gridevents/FieldList.h"
#include "gridevents/StringList.h"
#include "toolkit/data/Exceptions.h"
#include "toolkit/ui/DBGridEh.h"

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QString>

#include <functional>
#include <memory>

class TDataSet;
class TField;

/// Codes passed as ErrorId to OnQZDBEGridError.
enum TQZDBEGridErrorId : quint16 {
    qzeFinished = 0,          ///< the operation has finished
    qzeNoDataSource = 1,      ///< the grid has no data source
    qzeNoDataSet = 2,         ///< the data source has no dataset
    qzeDataSetClosed = 3,     ///< the dataset is not open
    qzeNoGrid = 4,            ///< no grid is attached
    qzeNoUniqueField = 5,     ///< UniqueField is not set
    qzeNoClipboardData = 6,   ///< the clipboard holds no rows of ours
    /// Copy or cut: a value holds byte 01 or 02, or a character outside the single-byte code page, so the
    /// rows cannot be carried; nothing was put on the clipboard and nothing was cut.
    qzeValueNotCarried = 7,
    /// Paste: rows without one value per grid column were left out (the others were pasted); raised once,
    /// before the two qzeFinished.
    qzeRowsRefused = 8,
};

/// The name under which rows travel through the clipboard, registered with the system at start.
extern const QString DBEditDataFormat;

/// The clipboard cannot be opened (another program holds it) or refuses the data.
class EClipboardError : public Exception {
public:
    using Exception::Exception;
};

/// Completion and error report of the component's operations; Sender is the component.
using TQZDBEGridError = std::function<void(QObject *Sender, quint16 ErrorId)>;
/// Asked instead of the built-in question before a cut or a delete; CanDelete arrives true.
using TQZDBEOnConfirmDelete = std::function<void(QObject *Sender, bool &CanDelete)>;

/// A background colour with a font; repaints its grid when changed.
class TQZDBGridAttr {
public:
    /// The colour a window's setup may leave unset; it differs from the construction value clBlack.
    static constexpr TColor ColorDefault = clBlue;

    TQZDBGridAttr();
    ~TQZDBGridAttr();
    TQZDBGridAttr(const TQZDBGridAttr &) = delete;
    TQZDBGridAttr &operator=(const TQZDBGridAttr &) = delete;

    /// The font of cells drawn with this attribute; changing it repaints the grid.
    const TFont &Font() const { return m_font; }
    TFont &Font() { return m_font; }
    /// Copies every attribute of font into the owned font, then repaints the grid.
    void setFont(const TFont &font);

    /// Background of cells drawn with this attribute; clBlack after construction.
    TColor Color() const { return m_color; }
    /// Stores and repaints only when the value changes.
    void setColor(TColor color);

    /// The grid repainted on a change; null until the component hands its grid over.
    TQZDBGridEh *Grid() const { return m_grid; }
    void setGrid(TQZDBGridEh *grid) { m_grid = grid; }

private:
    void repaint() const;

    TFont m_font;
    TColor m_color = clBlack;
    QPointer<TQZDBGridEh> m_grid;
};

/// The look of selected cells in the columns whose title captions are listed.
class TQZDBGridFixedAttr {
public:
    TQZDBGridFixedAttr();
    ~TQZDBGridFixedAttr();
    TQZDBGridFixedAttr(const TQZDBGridFixedAttr &) = delete;
    TQZDBGridFixedAttr &operator=(const TQZDBGridFixedAttr &) = delete;

    TQZDBGridEh *Grid() const { return m_grid; }
    void setGrid(TQZDBGridEh *grid) { m_grid = grid; }

    /// Title captions (compared ignoring letter case) of the columns drawn with SelColor/SelFont when selected.
    const TStringList &List() const { return m_list; }
    /// Copies lines into the owned list, then repaints the grid.
    void setList(const QStringList &lines);

    const TFont &SelFont() const { return m_selFont; }
    TFont &SelFont() { return m_selFont; }
    /// Copies every attribute of font, then repaints the grid.
    void setSelFont(const TFont &font);

    TColor SelColor() const { return m_selColor; }
    /// Stores and repaints only when the value changes.
    void setSelColor(TColor color);

private:
    void repaint() const;

    TStringList m_list;
    TFont m_selFont;
    TColor m_selColor = clBlack;
    QPointer<TQZDBGridEh> m_grid;
};

/// The six looks of the component, each an owned object whose properties are set.
class TQZDBAttributes {
public:
    TQZDBAttributes();
    ~TQZDBAttributes();
    TQZDBAttributes(const TQZDBAttributes &) = delete;
    TQZDBAttributes &operator=(const TQZDBAttributes &) = delete;

    /// Highlighted cells that are not the current one.
    TQZDBGridAttr &SelAttr() const { return *m_selAttr; }
    /// Rows inserted by the latest paste.
    TQZDBGridAttr &AfterPasteAttr() const { return *m_afterPasteAttr; }
    /// Rows whose duplicate key repeats.
    TQZDBGridAttr &DuplicateAttr() const { return *m_duplicateAttr; }
    /// Rows listed in ErrorList.
    TQZDBGridAttr &ErrorAttr() const { return *m_errorAttr; }
    /// The highlighted current cell.
    TQZDBGridAttr &FocusedAttr() const { return *m_focusedAttr; }
    /// Selected cells of the listed columns.
    TQZDBGridFixedAttr &FixedAttr() const { return *m_fixedAttr; }

    /// Hands grid to every attribute (null: none repaints).
    void setGrid(TQZDBGridEh *grid);

private:
    std::unique_ptr<TQZDBGridAttr> m_selAttr;
    std::unique_ptr<TQZDBGridAttr> m_afterPasteAttr;
    std::unique_ptr<TQZDBGridAttr> m_duplicateAttr;
    std::unique_ptr<TQZDBGridAttr> m_errorAttr;
    std::unique_ptr<TQZDBGridAttr> m_focusedAttr;
    std::unique_ptr<TQZDBGridFixedAttr> m_fixedAttr;
};

/// The two texts of a record's duplicate key: the values joined without a separator, and the dataset
/// filter that finds the records with the same values.
struct TDuplicateKey {
    QString Key;
    QString Filter;
    /// The filter finds only records whose key fields hold these very texts (integers, texts other than
    /// a quoted one ending in '*'); records with equal Filter texts then find each other and no more.
    bool Exact = true;
};

/// Text start at the right of rect: 3 pixels before its right edge.
int RightTextX(const QRect &rect, int textWidth);
/// Text start that centres a text of textWidth in rect.
int CenterTextX(const QRect &rect, int textWidth);
/// Text start for alignment: RightTextX, CenterTextX, or 2 pixels after the left edge.
int AlignedTextX(TAlignment alignment, const QRect &rect, int textWidth);
/// Text top that centres a line of textHeight vertically in rect.
int CenteredTextY(const QRect &rect, int textHeight);

/// The grid behaviour component. Its owner is its QObject parent (a form); attach a grid with setDBGridEh.
class TQZDBGridEvents : public QObject {
    Q_OBJECT
    friend class DuplicateKeyTracker;

public:
    explicit TQZDBGridEvents(QObject *owner = nullptr);
    /// Gives the attached grid its drawing, keys and delete operation back.
    ~TQZDBGridEvents() override;

    /// The looks of the cells.
    TQZDBAttributes &QZDBAttributes() const { return *m_attributes; }

    /// The attached grid, null when none.
    TQZDBGridEh *DBGridEh() const { return m_grid; }
    /// Attaches grid (takes over its drawing and key-down, switches off its own delete and clipboard
    /// keys) and gives a previously attached grid back; null only gives back.
    void setDBGridEh(TQZDBGridEh *grid);

    /// The field whose text identifies a row (the lists hold such texts); forgotten when destroyed.
    TField *UniqueField() const { return m_uniqueField; }
    void setUniqueField(TField *field);

    /// The row-level key actions that are switched on; empty by default.
    TDBGridEhEditActions EditActions() const { return m_editActions; }
    void setEditActions(TDBGridEhEditActions actions) { m_editActions = actions; }

    /// True once the dataset was opened and scanned for duplicates.
    bool Active() const { return m_active; }
    /// On: opens the grid's dataset and scans it for duplicate keys (a failed open leaves Active false,
    /// silently). Off: closes the dataset and empties DuplicateList and ErrorList.
    void setActive(bool active);

    /// Keys of the duplicate rows (the Key texts of BuildDuplicateKey).
    TStringList &DuplicateList() { return m_duplicateList; }
    /// UniqueField texts of the rows to draw with ErrorAttr; the owner fills it.
    TStringList &ErrorList() { return m_errorList; }
    /// UniqueField texts of the rows inserted by the latest paste.
    TStringList &AfterPasteList() { return m_afterPasteList; }
    /// The fields whose values together must not repeat; the owner fills it.
    TFieldList &DuplicateFields() { return m_duplicateFields; }

    /// Completion and failure of the component's operations, by ErrorId; raised only when assigned.
    TQZDBEGridError OnQZDBEGridError;
    /// Replaces the built-in question before a cut or a delete.
    TQZDBEOnConfirmDelete OnQZDBEOnConfirmDelete;
    /// The owner's key-down handler for the grid, called before the component acts on the key.
    TKeyEvent OnKeyDown;
    /// The owner's cell drawing, called after the component has painted the cell.
    TDrawColumnEhCellEvent OnDrawColumnCell;

    /// Puts the selected rows on the clipboard in DBEditDataFormat, the only format there; with Cut then
    /// deletes them. The current record stays current. Reports qzeFinished once, or qzeValueNotCarried.
    void CopyRecords(bool Cut);
    /// Inserts the clipboard's rows at the current record and lists them in AfterPasteList; the last one
    /// stays current. qzeNoClipboardData when there are none; else qzeRowsRefused for malformed rows,
    /// then qzeFinished twice.
    void PasteRecords();
    /// Deletes the selected rows and clears the selection; qzeFinished twice.
    void DeleteRecords();
    /// Selects every row of the dataset; qzeFinished once.
    void SelectAllRecords();
    /// Appends the clipboard's block of Format to Stream; nothing when there is none. EClipboardError when
    /// the clipboard cannot be opened.
    void ReadClipboardData(const QString &Format, QByteArray &Stream);
    /// Empties the clipboard and puts Stream on it under Format. EClipboardError when it cannot.
    void WriteClipboardData(const QString &Format, const QByteArray &Stream);

    /// The key texts of the current record of the DuplicateFields' dataset.
    TDuplicateKey BuildDuplicateKey() const;
    /// Adds the current record's key to DuplicateList when another record has the same values.
    /// Leaves the dataset unfiltered on the same record number. Does nothing without DuplicateFields.
    void CheckDuplicate();
    /// Before the current record (whose bookmark is given) is deleted: drops its key from DuplicateList
    /// when at most one other record shares it. Leaves the dataset unfiltered on that record. Does nothing
    /// without DuplicateFields.
    void ReleaseDuplicate(const QString &bookmark);
    /// Opens the dataset and fills DuplicateList; false (reported by ErrorId) without grid, data
    /// source or dataset, false (silently) when the dataset does not open.
    bool ActivateGrid();
    /// The column's title caption is listed in FixedAttr.
    bool IsFixedColumn(const TColumnEh *column) const;
    /// Position of the current record's UniqueField text in AfterPasteList, -1 when absent or unset.
    int AfterPasteIndex() const;

    /// Installed as the grid's cell drawing.
    void GridDrawColumnCell(QObject *Sender, const QRect &Rect, int DataCol, TColumnEh *Column,
                            TGridDrawState State);
    /// Installed as the grid's key-down handler.
    void GridKeyDown(QObject *Sender, quint16 &Key, TShiftState Shift);

protected:
    /// Told that an object the component refers to is being destroyed.
    void Notification(QObject *component);

private:
    void HookGrid(TQZDBGridEh *grid, bool attach);
    void UpdateAttrGrid();
    TDataSet *dataSet() const;
    void raiseError(quint16 errorId);
    /// The first failing precondition of an edit action, reported; false when the action may run.
    bool actionRefused();
    /// Asks before a cut or a delete: the owner's handler, else a question box; true to go on.
    bool deleteConfirmed(QObject *sender, const QString &question);
    /// Deletes the records of bookmarks after a copy; a record that does not go is left and skipped.
    void cutCopiedRecords(TDataSet *dataSet, const QStringList &bookmarks);
    void scanDuplicates(TDataSet *dataSet);
    /// Records that pass filter; the dataset is left unfiltered on the record number it had.
    static int keyRecordCount(TDataSet *dataSet, const QString &filter);

    std::unique_ptr<TQZDBAttributes> m_attributes;
    TQZDBGridEh *m_grid = nullptr;
    TField *m_uniqueField = nullptr;
    QMetaObject::Connection m_uniqueFieldWatch;
    TDBGridEhEditActions m_editActions = 0;
    bool m_active = false;
    TStringList m_afterPasteList;
    TStringList m_duplicateList;
    TStringList m_errorList;
    TFieldList m_duplicateFields;
};
