// The grid's inner workings shared by its parts (model, delegate, headers): binding, navigation,
// selection, the in-place editor and cell painting. Not for the windows.
#pragma once

#include "toolkit/ui/DBGridEh.h"

#include <QObject>
#include <QPointer>

#include <memory>
#include <vector>

class QComboBox;
class QEvent;
class QKeyEvent;
class QLineEdit;
class QPainter;
class TDBGridDelegate;
class TDBGridHeader;
class TDBGridModel;

class TDBGridEhPrivate : public QObject {
    Q_OBJECT
public:
    explicit TDBGridEhPrivate(TDBGridEh *grid);
    ~TDBGridEhPrivate() override;

    TDBGridEh *q;
    QPointer<TDataSource> source;
    QMetaObject::Connection eventLink;
    QMetaObject::Connection changeLink;
    QMetaObject::Connection destroyLink;
    std::vector<std::unique_ptr<TColumnEh>> columns;
    TDBGridModel *model = nullptr;
    TDBGridDelegate *delegate = nullptr;
    TDBGridHeader *titles = nullptr;
    TDBGridHeader *indicator = nullptr;
    TCanvas *canvas = nullptr;   // the cell being painted
    TCanvas idleCanvas;          // measuring outside painting
    TFont appliedFont;           // what the columns took over from the grid's Font
    TDBGridOptions seenOptions = 0;   // Options as last acted on (windows may assign the field directly)
    int rowVersion = 0;          // counts changes of the current row's values

    int currentColumn = 0;
    int anchorRow = -1;
    bool following = false;      // the current index is being moved to follow the dataset
    bool applyingLayout = false;
    bool fitting = false;
    bool layoutQueued = false;

    // The in-place editor.
    QPointer<QWidget> editor;
    int editorColumn = -1;
    int editorRow = -1;
    bool editorModified = false;
    bool replayingKey = false;
    bool editorOpenQueued = false;
    bool committing = false;     // commitEditor is writing (or reporting why it cannot)

    struct Layout {
        TDBGridOptions options = 0;
        TDBGridEhOptions optionsEh = 0;
        bool autoFit = false;
        TScrollBarVisibleMode vertMode = sbAutoShowEh;
        TColor color = 0;
        int rowHeight = 0;
        TFont titleFont;
        bool multiTitle = false;
        std::vector<std::pair<bool, int>> columns;   // visible, width
        bool operator==(const Layout &other) const = default;
    };
    Layout applied;

    /// Presses on the title row and the indicator column reach OnMouseDown too.
    bool eventFilter(QObject *watched, QEvent *event) override;

    // --- Binding ------------------------------------------------------------------------------------
    TDataSet *dataSet() const;
    bool active() const;
    int currentRow() const;
    TColumnEh *column(int index) const;
    void bind();
    void onDataEvent(TDataEvent event, qintptr info);
    void followCurrent();
    /// Acts on a change of Options made by assignment: the editor goes or comes with dgAlwaysShowEditor.
    void syncOptions();
    void onQtCurrentChanged();

    // --- Layout -------------------------------------------------------------------------------------
    Layout wantedLayout() const;
    void applyLayout();
    void queueLayoutIfStale();
    void fitColumns();
    void onSectionResized(int logical, int newSize);
    void onSectionMoved(int logical, int oldVisual, int newVisual);
    int rowHeight() const;
    int titleHeight() const;
    void gridFontChanged();

    // --- Navigation and selection -------------------------------------------------------------------
    bool goToCell(int row, int col);
    void moveRows(int delta, TShiftState shift);
    void moveColumn(int step, bool wrap);
    int firstVisibleColumn() const;
    int lastVisibleColumn() const;
    int neighbourColumn(int from, int step) const;
    int pageRows() const;
    QString rowBookmark(int row) const;
    bool rowSelected(int row) const;
    void selectRange(int from, int to);
    void afterRowMove(const QString &leftBookmark, TShiftState shift);
    void pressCell(int row, int col, TMouseButton button, TShiftState shift);
    void raiseMouseDown(QWidget *from, const QPoint &pos, Qt::MouseButton button, Qt::KeyboardModifiers mods,
                        Qt::MouseButtons buttons, bool doubleClick = false);
    bool gridHasFocus() const;

    // --- Keys ---------------------------------------------------------------------------------------
    /// The whole road of a key press in the grid or its editor: OnKeyDown, the grid's own keys,
    /// OnKeyPress, then typing. True when the press was used up.
    bool handleKeyPress(QKeyEvent *event, QObject *editorTarget);
    bool gridKey(quint16 key, TShiftState shift, bool inEditor);
    bool editActionKey(quint16 key, TShiftState shift);
    void raiseKeyUp(QKeyEvent *event);
    void typeIntoCell(QChar ch);
    void deliverCharacter(QObject *target, QChar ch);

    // --- Editing ------------------------------------------------------------------------------------
    bool cellEditable(int col) const;
    bool canOpenEditor() const;
    bool openEditor();
    void closeEditor();
    void editorClosed(QWidget *closed);
    void queueEditorOpen();
    bool commitEditor();
    bool ensureEditing();
    void reloadEditor();
    void editorTouched();
    void editorChosen();
    void cancelEdit();
    void toggleCheckbox(int col);
    bool storeCellValue(TColumnEh *col, QString text, QVariant value, bool useText);
    void readEditor(QString *text, QVariant *value, bool *useText) const;
    QWidget *createEditor(QWidget *parent, int col);
    void loadEditor(QWidget *editorWidget, int col);
    bool editorEvent(QObject *watched, QEvent *event);
    QRect editorRect(const QRect &cell) const;

    // --- Record operations --------------------------------------------------------------------------
    void insertRecord(bool append);
    void deleteRecord();
    void copyCells(bool cut);
    void pasteCell();
    void deleteSelection();

    // --- Painting -----------------------------------------------------------------------------------
    TGridDrawState cellState(int row, int col) const;
    void paintCell(QPainter *painter, const QRect &cell, int row, int col);
    QRect innerRect(const QRect &cell) const;
    /// The whole display text of a data cell that does not fit its rectangle; empty when it fits.
    QString clippedCellText(int row, int col, const QRect &cell) const;
};
