// The grid's binding to its dataset, layout, navigation, selection, keys, record operations and cell
// painting. The dataset is the one truth about rows: the grid's current cell follows its current record.
#include "toolkit/ui/DBGridEhPrivate.h"

#include "toolkit/ui/DBControlGuard.h"
#include "toolkit/ui/DBGridModel.h"
#include "toolkit/ui/DBGridParts.h"
#include "toolkit/ui/Dialogs.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QScopedValueRollback>
#include <QTimer>

#include <algorithm>
#include <optional>

namespace {

Qt::ScrollBarPolicy verticalPolicy(TScrollBarVisibleMode mode)
{
    switch (mode) {
    case sbAlwaysShowEh: return Qt::ScrollBarAlwaysOn;
    case sbNeverShowEh: return Qt::ScrollBarAlwaysOff;
    case sbAutoShowEh: break;
    }
    return Qt::ScrollBarAsNeeded;
}

const QColor gridLineColor(0xA0, 0xA0, 0xA0);

} // namespace

TDBGridEhPrivate::TDBGridEhPrivate(TDBGridEh *grid) : q(grid) {}

TDBGridEhPrivate::~TDBGridEhPrivate() = default;

bool TDBGridEhPrivate::eventFilter(QObject *watched, QEvent *event)
{
    const bool onTitles = watched == titles->viewport();
    const bool onIndicator = watched == indicator->viewport();
    if (!onTitles && !onIndicator)
        return false;
    if (event->type() == QEvent::MouseButtonPress) {
        auto *mouse = static_cast<QMouseEvent *>(event);
        const QPoint pos = mouse->position().toPoint();
        raiseMouseDown(static_cast<QWidget *>(watched), pos, mouse->button(), mouse->modifiers(), mouse->buttons());
        if (onIndicator && mouse->button() == Qt::LeftButton) {
            const int row = indicator->logicalIndexAt(pos);
            if (row >= 0) {
                if (!gridHasFocus())
                    q->setFocus(Qt::MouseFocusReason);
                pressCell(row, currentColumn, mbLeft, shiftFromQt(mouse->modifiers(), mouse->buttons()));
            }
            return true;
        }
    } else if (event->type() == QEvent::MouseButtonRelease && onTitles && q->AutoFitColWidths) {
        // A border dragged in a fitted grid: the others make room once the drag ends.
        QTimer::singleShot(0, this, [this] { fitColumns(); });
    }
    return false;
}

// --- Binding ---------------------------------------------------------------------------------------------

TDataSet *TDBGridEhPrivate::dataSet() const
{
    return source ? source->DataSet() : nullptr;
}

bool TDBGridEhPrivate::active() const
{
    TDataSet *ds = model ? model->dataSet() : nullptr;
    return ds && ds->Active();
}

int TDBGridEhPrivate::currentRow() const
{
    return active() ? model->dataSet()->CurrentDisplayRow() : -1;
}

TColumnEh *TDBGridEhPrivate::column(int index) const
{
    return index >= 0 && index < int(columns.size()) ? columns[size_t(index)].get() : nullptr;
}

void TDBGridEhPrivate::bind()
{
    closeEditor();
    {
        const QScopedValueRollback guard(following, true);
        model->setDataSet(dataSet());
    }
    // Bookmarks only mean something to the dataset that gave them.
    q->m_selectedRows.Clear();
    anchorRow = -1;
    followCurrent();
}

void TDBGridEhPrivate::onDataEvent(TDataEvent event, qintptr info)
{
    if (model->dataSet() != dataSet()) {
        bind();
        return;
    }
    TDataSet *ds = model->dataSet();
    switch (event) {
    case deDataSetChange: {
        closeEditor();
        {
            const QScopedValueRollback guard(following, true);
            model->resetRows();
        }
        if (!active()) {
            q->m_selectedRows.Clear();
            anchorRow = -1;
        }
        q->m_selectedRows.m_sorted = false;
        break;
    }
    case deRowInserted:
    case deRowDeleted: {
        closeEditor();
        const QScopedValueRollback guard(following, true);
        event == deRowInserted ? model->rowInserted(int(info)) : model->rowDeleted(int(info));
        break;
    }
    case deFieldChange:
    case deRecordChange: {
        ++rowVersion;
        {
            const QScopedValueRollback guard(following, true);
            model->rowChanged(currentRow());
        }
        // A record posted or cancelled by someone else drops what the editor held.
        if (event == deRecordChange)
            editorModified = false;
        if (!editorModified)
            reloadEditor();
        break;
    }
    case deUpdateState:
        if (ds && ds->State() == dsBrowse && editorModified) {
            editorModified = false;
            reloadEditor();
        }
        break;
    case deDataSetScroll: break;
    }
    followCurrent();
}

void TDBGridEhPrivate::followCurrent()
{
    const int row = currentRow();
    QModelIndex target;
    if (row >= 0 && row < model->rowCount() && !columns.empty()) {
        currentColumn = std::clamp(currentColumn, 0, int(columns.size()) - 1);
        target = model->index(row, currentColumn);
    }
    {
        const QScopedValueRollback guard(following, true);
        if (q->currentIndex() != target)
            q->selectionModel()->setCurrentIndex(target, QItemSelectionModel::NoUpdate);
    }
    if (target.isValid())
        q->scrollTo(target);
    // The editor belongs to the current cell.
    if (editor && (editorRow != row || editorColumn != currentColumn))
        closeEditor();
    if (!editor && (q->Options & dgAlwaysShowEditor) && gridHasFocus())
        openEditor();
    q->viewport()->update();
    indicator->viewport()->update();
}

void TDBGridEhPrivate::syncOptions()
{
    const TDBGridOptions old = seenOptions;
    const TDBGridOptions now = q->Options;
    if (old == now)
        return;
    seenOptions = now;
    // Taking the editor away drops what it holds: whoever does so writes the row directly.
    if ((old & dgAlwaysShowEditor) && !(now & dgAlwaysShowEditor))
        closeEditor();
    if (!(now & dgMultiSelect))
        q->m_selectedRows.Clear();
    if (!(old & dgAlwaysShowEditor) && (now & dgAlwaysShowEditor) && gridHasFocus())
        openEditor();
}

void TDBGridEhPrivate::onQtCurrentChanged()
{
    if (following)
        return;
    const QModelIndex current = q->currentIndex();
    if (current.isValid())
        currentColumn = current.column();
    if (!current.isValid() || current.row() != currentRow())
        followCurrent();
}

// --- Layout ----------------------------------------------------------------------------------------------

TDBGridEhPrivate::Layout TDBGridEhPrivate::wantedLayout() const
{
    Layout layout;
    layout.options = q->Options;
    layout.optionsEh = q->OptionsEh;
    layout.autoFit = q->AutoFitColWidths;
    layout.vertMode = q->VertScrollBarVisibleMode;
    layout.color = q->Color;
    layout.rowHeight = rowHeight();
    layout.titleFont = q->TitleFont;
    layout.multiTitle = q->UseMultiTitle;
    layout.columns.reserve(columns.size());
    for (const auto &col : columns)
        layout.columns.emplace_back(col->Visible, col->Width);
    return layout;
}

void TDBGridEhPrivate::applyLayout()
{
    if (applyingLayout)
        return;
    const QScopedValueRollback guard(applyingLayout, true);
    layoutQueued = false;
    const Layout want = wantedLayout();
    const TDBGridOptions options = want.options;

    titles->setVisible(options & dgTitles);
    indicator->setVisible(options & dgIndicator);
    titles->setSectionResizeMode((options & dgColumnResize) ? QHeaderView::Interactive : QHeaderView::Fixed);
    titles->setSectionsMovable(want.optionsEh & dghColumnMove);
    q->setTabKeyNavigation(options & dgTabs);
    q->setHorizontalScrollBarPolicy(want.autoFit ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
    q->setVerticalScrollBarPolicy(verticalPolicy(want.vertMode));
    indicator->setDefaultSectionSize(want.rowHeight);

    QPalette palette = q->viewport()->palette();
    palette.setColor(QPalette::Base, ColorToQColor(want.color));
    palette.setColor(QPalette::Window, ColorToQColor(want.color));
    q->viewport()->setPalette(palette);

    for (int i = 0; i < int(columns.size()); ++i) {
        const TColumnEh &col = *columns[size_t(i)];
        if (q->isColumnHidden(i) == col.Visible)
            q->setColumnHidden(i, !col.Visible);
        if (!want.autoFit && col.Visible && titles->sectionSize(i) != std::max(1, col.Width))
            titles->resizeSection(i, std::max(1, col.Width));
    }
    if (want.autoFit)
        fitColumns();
    titles->updateGeometry();
    indicator->updateGeometry();
    q->updateGeometries();
    applied = want;
    q->viewport()->update();
    titles->viewport()->update();
    indicator->viewport()->update();
}

void TDBGridEhPrivate::queueLayoutIfStale()
{
    if (applyingLayout || layoutQueued || (wantedLayout() == applied && seenOptions == q->Options))
        return;
    // Not from inside the paint that noticed: the editor may have to come or go.
    layoutQueued = true;
    QMetaObject::invokeMethod(
        this, [this] {
            if (!layoutQueued)
                return;
            syncOptions();
            applyLayout();
        },
        Qt::QueuedConnection);
}

void TDBGridEhPrivate::fitColumns()
{
    if (!q->AutoFitColWidths || fitting)
        return;
    const QScopedValueRollback guard(fitting, true);
    const int available = q->viewport()->width();
    std::vector<int> shown;
    qint64 total = 0;
    for (int i = 0; i < int(columns.size()); ++i) {
        if (columns[size_t(i)]->Visible) {
            shown.push_back(i);
            total += std::max(1, columns[size_t(i)]->Width);
        }
    }
    if (available <= 0 || shown.empty())
        return;
    int used = 0;
    for (size_t k = 0; k < shown.size(); ++k) {
        const int i = shown[k];
        int width = k + 1 == shown.size() ? available - used
                                          : int(qint64(std::max(1, columns[size_t(i)]->Width)) * available / total);
        width = std::max(width, 1);
        if (titles->sectionSize(i) != width)
            titles->resizeSection(i, width);
        used += width;
    }
}

void TDBGridEhPrivate::onSectionResized(int logical, int newSize)
{
    if (applyingLayout || fitting || newSize <= 0)
        return;
    TColumnEh *col = column(logical);
    if (!col)
        return;
    if (q->AutoFitColWidths) {
        // Widths stay proportions: the dragged column keeps its new share of the grid.
        qint64 total = 0;
        for (const auto &c : columns)
            total += c->Visible ? std::max(1, c->Width) : 0;
        const int available = q->viewport()->width();
        if (available > 0 && total > 0)
            col->Width = std::max(1, int(qint64(newSize) * total / available));
    } else {
        col->Width = newSize;
    }
    if (size_t(logical) < applied.columns.size())
        applied.columns[size_t(logical)].second = col->Width;
}

void TDBGridEhPrivate::onSectionMoved(int logical, int oldVisual, int newVisual)
{
    Q_UNUSED(logical);
    if (applyingLayout)
        return;
    // The header stays in model order; the column list itself is reordered.
    {
        const QSignalBlocker blocker(titles);
        titles->moveSection(newVisual, oldVisual);
    }
    if (oldVisual < 0 || newVisual < 0 || oldVisual >= int(columns.size()) || newVisual >= int(columns.size()))
        return;
    closeEditor();
    auto moved = std::move(columns[size_t(oldVisual)]);
    columns.erase(columns.begin() + oldVisual);
    columns.insert(columns.begin() + newVisual, std::move(moved));
    if (currentColumn == oldVisual)
        currentColumn = newVisual;
    else if (oldVisual < currentColumn && currentColumn <= newVisual)
        --currentColumn;
    else if (newVisual <= currentColumn && currentColumn < oldVisual)
        ++currentColumn;
    {
        const QScopedValueRollback guard(following, true);
        model->columnMoved(oldVisual, newVisual);
    }
    applyLayout();
    followCurrent();
}

int TDBGridEhPrivate::rowHeight() const
{
    return std::max(q->DefaultRowHeight, QFontMetrics(q->Font.toQFont()).height() + 3);
}

int TDBGridEhPrivate::titleHeight() const
{
    const QFontMetrics metrics(q->TitleFont.toQFont());
    int textHeight = metrics.height();
    if (q->UseMultiTitle && titles) {
        // Multi-line titles: as high as the caption that wraps onto the most lines at its column's width.
        for (int i = 0; i < int(columns.size()); ++i) {
            if (!columns[size_t(i)]->Visible)
                continue;
            const int width = std::max(1, titles->sectionSize(i) - 2 * TDBGridHeader::TitleMarginX);
            const QString caption = model->headerData(i, Qt::Horizontal).toString();
            const int flags = TDBGridHeader::titleWrapFlags(metrics, caption, width);
            const QRect needed = metrics.boundingRect(QRect(0, 0, width, 100000), flags, caption);
            textHeight = std::max(textHeight, needed.height());
        }
    }
    return textHeight + 4 + 2 * TDBGridHeader::TitleMarginY;
}

void TDBGridEhPrivate::gridFontChanged()
{
    // Columns that kept the grid's font follow it; those given their own keep theirs.
    for (const auto &col : columns) {
        if (col->Font == appliedFont)
            col->Font = q->Font;
    }
    appliedFont = q->Font;
    applyLayout();
}

// --- Navigation and selection ----------------------------------------------------------------------------

bool TDBGridEhPrivate::gridHasFocus() const
{
    const QWidget *focus = QApplication::focusWidget();
    return focus && (focus == q || q->isAncestorOf(focus));
}

bool TDBGridEhPrivate::goToCell(int row, int col)
{
    if (col < 0 || col >= int(columns.size()))
        col = currentColumn;
    if (!commitEditor())
        return false;
    TDataSet *ds = dataSet();
    if (active() && row >= 0 && row != currentRow()) {
        if (!runDataControlOperation([&] { ds->setCurrentDisplayRow(row); })) {
            followCurrent();
            return false;
        }
    }
    currentColumn = col;
    followCurrent();
    return true;
}

void TDBGridEhPrivate::moveRows(int delta, TShiftState shift)
{
    if (!active() || delta == 0)
        return;
    TDataSet *ds = dataSet();
    const int rows = ds->DisplayRowCount();
    const int current = currentRow();
    if (rows == 0)
        return;
    if (delta == 1 && current == rows - 1) {
        // Down on the last row appends, unless the last row is an untouched new one.
        if (ds->State() == dsInsert && !ds->Modified())
            return;
        insertRecord(true);
        return;
    }
    const int target = std::clamp(current + delta, 0, rows - 1);
    if (target == current)
        return;
    const QString left = ds->Bookmark();
    if (goToCell(target, currentColumn))
        afterRowMove(left, shift);
}

void TDBGridEhPrivate::afterRowMove(const QString &leftBookmark, TShiftState shift)
{
    TDataSet *ds = dataSet();
    if (!(q->Options & dgMultiSelect) || !ds)
        return;
    TBMListEh &selected = q->m_selectedRows;
    if (shift & ssShift) {
        const QString arrived = ds->Bookmark();
        // Going back over the range shrinks it; going on extends it.
        if (selected.Contains(arrived) && selected.Contains(leftBookmark)) {
            selected.remove(leftBookmark);
        } else {
            selected.add(leftBookmark);
            selected.add(arrived);
        }
        selected.changed();
        return;
    }
    anchorRow = currentRow();
    if (q->OptionsEh & dghClearSelection)
        selected.Clear();
}

void TDBGridEhPrivate::moveColumn(int step, bool wrap)
{
    const int next = neighbourColumn(currentColumn, step);
    if (next >= 0) {
        goToCell(currentRow(), next);
        return;
    }
    if (!wrap)
        return;
    // Tab past the last column goes on in the next row.
    const int row = currentRow() + (step > 0 ? 1 : -1);
    if (row < 0 || row >= model->rowCount())
        return;
    goToCell(row, step > 0 ? firstVisibleColumn() : lastVisibleColumn());
}

int TDBGridEhPrivate::neighbourColumn(int from, int step) const
{
    for (int i = from + step; i >= 0 && i < int(columns.size()); i += step) {
        if (columns[size_t(i)]->Visible)
            return i;
    }
    return -1;
}

int TDBGridEhPrivate::firstVisibleColumn() const
{
    return neighbourColumn(-1, 1);
}

int TDBGridEhPrivate::lastVisibleColumn() const
{
    return neighbourColumn(int(columns.size()), -1);
}

int TDBGridEhPrivate::pageRows() const
{
    return std::max(1, q->viewport()->height() / std::max(1, rowHeight()) - 1);
}

QString TDBGridEhPrivate::rowBookmark(int row) const
{
    TDataSet *ds = model->dataSet();
    if (!ds || !model->rowReadable(row))
        return {};
    try {
        const TDataSet::RecordScope scope(ds, row);
        return ds->Bookmark();
    } catch (const std::exception &) {
        return {};
    }
}

bool TDBGridEhPrivate::rowSelected(int row) const
{
    return q->m_selectedRows.Count() > 0 && q->m_selectedRows.Contains(rowBookmark(row));
}

void TDBGridEhPrivate::selectRange(int from, int to)
{
    TBMListEh &selected = q->m_selectedRows;
    for (int row = std::min(from, to); row <= std::max(from, to); ++row)
        selected.add(rowBookmark(row));
    selected.changed();
}

void TDBGridEhPrivate::pressCell(int row, int col, TMouseButton button, TShiftState shift)
{
    if (button != mbLeft)
        return;
    const bool wasCurrent = row == currentRow() && col == currentColumn;
    const bool multi = q->Options & dgMultiSelect;
    const int anchor = anchorRow >= 0 ? anchorRow : currentRow();
    if (!goToCell(row, col))
        return;
    TBMListEh &selected = q->m_selectedRows;
    if (multi && (shift & ssShift) && anchor >= 0) {
        selectRange(anchor, row);
        return;
    }
    anchorRow = row;
    if (multi && (shift & ssCtrl)) {
        selected.toggle(dataSet()->Bookmark());
        return;
    }
    if (multi && (q->OptionsEh & dghClearSelection))
        selected.Clear();
    TColumnEh *pressed = column(col);
    TField *field = pressed ? pressed->Field() : nullptr;
    if (pressed && pressed->Checkboxes && field && field->DataType() == ftBoolean)
        toggleCheckbox(col);
    else if (wasCurrent && !editor)
        openEditor();
}

void TDBGridEhPrivate::raiseMouseDown(QWidget *from, const QPoint &pos, Qt::MouseButton button,
                                      Qt::KeyboardModifiers mods, Qt::MouseButtons buttons, bool doubleClick)
{
    if (!q->OnMouseDown)
        return;
    const QPoint at = from->mapTo(q, pos);
    TShiftState shift = shiftFromQt(mods, buttons);
    if (doubleClick)
        shift |= ssDouble;
    runDataControlOperation([&] { q->OnMouseDown(q, mouseButtonFromQt(button), shift, at.x(), at.y()); });
    syncOptions();
}

// --- Keys ------------------------------------------------------------------------------------------------

bool TDBGridEhPrivate::handleKeyPress(QKeyEvent *event, QObject *editorTarget)
{
    const bool inEditor = editorTarget != nullptr;
    quint16 key = virtualKeyFromQt(event);
    const quint16 pressed = key;
    TShiftState shift = shiftFromQt(event->modifiers());
    if (event->key() == Qt::Key_Backtab)
        shift |= ssShift;
    const QPointer<QWidget> editorBefore = editor;
    const int versionBefore = rowVersion;

    if (q->OnKeyDown && key != 0) {
        runDataControlOperation([&] { q->OnKeyDown(q, key, shift); });
        syncOptions();
    }
    if (pressed != 0 && key == 0)
        return true;
    // A handler that took the editor away or wrote the row under it has used the key up.
    if (inEditor && (editor != editorBefore || rowVersion != versionBefore))
        return true;
    if (key != 0 && gridKey(key, shift, inEditor))
        return true;

    QChar ch = keyCharFromQt(event);
    // Alt with a key is a menu accelerator and Delete types nothing: neither reaches OnKeyPress.
    if ((shift.testFlag(ssAlt) && !shift.testFlag(ssCtrl)) || ch == QChar(0x7F))
        ch = QChar();
    if (ch.isNull()) {
        if (!inEditor)
            return false;
        editorTarget->event(event);
        return true;
    }
    const QChar typed = ch;
    if (q->OnKeyPress) {
        runDataControlOperation([&] { q->OnKeyPress(q, ch); });
        syncOptions();
    }
    if (ch.isNull())
        return true;
    if (inEditor) {
        if (editor != editorBefore || rowVersion != versionBefore)
            return true;
        if (ch == typed)
            editorTarget->event(event);
        else
            deliverCharacter(editorTarget, ch);
        return true;
    }
    if (ch.isPrint()) {
        typeIntoCell(ch);
        return true;
    }
    return false;
}

bool TDBGridEhPrivate::gridKey(quint16 key, TShiftState shift, bool inEditor)
{
    const bool ctrl = shift.testFlag(ssCtrl);
    const bool alt = shift.testFlag(ssAlt);
    const bool withShift = shift.testFlag(ssShift);
    const bool alwaysEditor = q->Options & dgAlwaysShowEditor;
    auto *box = qobject_cast<QComboBox *>(editor.data());
    if (ctrl && editActionKey(key, shift))
        return true;
    switch (key) {
    case VK_UP:
        moveRows(-1, shift);
        return true;
    case VK_DOWN:
        if (alt && inEditor && box) {
            box->showPopup();
            return true;
        }
        moveRows(1, shift);
        return true;
    case VK_PRIOR:
        moveRows(-pageRows(), shift);
        return true;
    case VK_NEXT:
        moveRows(pageRows(), shift);
        return true;
    case VK_HOME:
    case VK_END:
        if (ctrl) {
            const int rows = model->rowCount();
            const int target = key == VK_HOME ? 0 : rows - 1;
            if (rows > 0 && target != currentRow())
                moveRows(target - currentRow(), shift);
            return true;
        }
        if (inEditor)
            return false;
        goToCell(currentRow(), key == VK_HOME ? firstVisibleColumn() : lastVisibleColumn());
        return true;
    case VK_LEFT:
    case VK_RIGHT:
        if (inEditor)
            return false;
        moveColumn(key == VK_LEFT ? -1 : 1, false);
        return true;
    case VK_TAB:
        if (!(q->Options & dgTabs) || ctrl || alt)
            return false;
        moveColumn(withShift ? -1 : 1, true);
        return true;
    case VK_RETURN:
        if (q->OptionsEh & dghEnterAsTab) {
            moveColumn(withShift ? -1 : 1, true);
            return true;
        }
        [[fallthrough]];
    case VK_F2:
        if (!editor)
            openEditor();
        else if (commitEditor() && !alwaysEditor)
            closeEditor();
        return true;
    case VK_F4:
        if (inEditor && box) {
            box->showPopup();
            return true;
        }
        return false;
    case VK_ESCAPE:
        cancelEdit();
        return true;
    case VK_INSERT:
        if (shift != TShiftState())
            return false;
        insertRecord(false);
        return true;
    case VK_DELETE:
        if (!ctrl)
            return false;
        deleteRecord();
        return true;
    case VK_SPACE: {
        TColumnEh *col = column(currentColumn);
        TField *field = col ? col->Field() : nullptr;
        if (inEditor || !col || !col->Checkboxes || !field || field->DataType() != ftBoolean)
            return false;
        toggleCheckbox(currentColumn);
        return true;
    }
    default: return false;
    }
}

bool TDBGridEhPrivate::editActionKey(quint16 key, TShiftState shift)
{
    Q_UNUSED(shift);
    const TDBGridEhEditActions actions = q->EditActions;
    if (key == 'C' && (actions & geaCopyEh)) {
        copyCells(false);
        return true;
    }
    if (key == 'X' && (actions & geaCutEh)) {
        copyCells(true);
        return true;
    }
    if (key == 'V' && (actions & geaPasteEh)) {
        pasteCell();
        return true;
    }
    if (key == VK_DELETE && (actions & geaDeleteEh)) {
        deleteSelection();
        return true;
    }
    if (key == 'A' && (actions & geaSelectAllEh)) {
        if ((q->Options & dgMultiSelect) && active())
            runDataControlOperation([&] { q->m_selectedRows.SelectAll(); });
        return true;
    }
    return false;
}

void TDBGridEhPrivate::raiseKeyUp(QKeyEvent *event)
{
    if (event->isAutoRepeat() || !q->OnKeyUp)
        return;
    quint16 key = virtualKeyFromQt(event);
    const TShiftState shift = shiftFromQt(event->modifiers());
    if (key != 0)
        runDataControlOperation([&] { q->OnKeyUp(q, key, shift); });
}

void TDBGridEhPrivate::deliverCharacter(QObject *target, QChar ch)
{
    const int qtKey = ch.unicode() < 0x80 ? int(ch.toUpper().unicode()) : int(Qt::Key_unknown);
    QKeyEvent synthetic(QEvent::KeyPress, qtKey, Qt::NoModifier, QString(ch));
    const QScopedValueRollback guard(replayingKey, true);
    target->event(&synthetic);
}

void TDBGridEhPrivate::typeIntoCell(QChar ch)
{
    // The first character typed into a closed cell replaces its text; later ones add to it.
    const bool wasOpen = editor;
    if (!openEditor())
        return;
    QObject *target = editor;
    auto *box = qobject_cast<QComboBox *>(editor.data());
    if (box && !box->isEditable()) {
        // A lookup list: the character picks an item; choosing stores it.
        deliverCharacter(target, ch);
        return;
    }
    editorModified = true;
    if (!ensureEditing()) {
        editorModified = false;
        reloadEditor();
        return;
    }
    if (box) {
        target = box->lineEdit();
        if (!wasOpen)
            box->lineEdit()->selectAll();
    } else if (auto *edit = qobject_cast<QLineEdit *>(editor.data()); edit && !wasOpen) {
        edit->selectAll();
    }
    deliverCharacter(target, ch);
}

// --- Record operations -----------------------------------------------------------------------------------

void TDBGridEhPrivate::insertRecord(bool append)
{
    if (!(q->Options & dgEditing) || !(q->AllowedOperations & (append ? alopAppendEh : alopInsertEh)) || !active())
        return;
    if (!commitEditor())
        return;
    TDataSet *ds = dataSet();
    runDataControlOperation([&] { append ? ds->Append() : ds->Insert(); });
}

void TDBGridEhPrivate::deleteRecord()
{
    if (!(q->AllowedOperations & alopDeleteEh) || !active())
        return;
    TDataSet *ds = dataSet();
    if (ds->IsEmpty() && ds->State() != dsInsert)
        return;
    if ((q->Options & dgConfirmDelete) &&
        MessageBoxA(q, QStringLiteral("Delete record?"), QStringLiteral("Confirm"), MB_OKCANCEL | MB_ICONQUESTION) != IDOK)
        return;
    closeEditor();
    runDataControlOperation([&] { ds->Delete(); });
}

void TDBGridEhPrivate::copyCells(bool cut)
{
    if (!active())
        return;
    TDataSet *ds = dataSet();
    TBMListEh &selected = q->m_selectedRows;
    auto rowText = [this] {
        QStringList cells;
        for (const auto &col : columns) {
            if (!col->Visible)
                continue;
            TField *field = col->Field();
            cells << (field ? field->DisplayText() : QString());
        }
        return cells.join(QLatin1Char('\t'));
    };
    QStringList lines;
    TColumnEh *current = column(currentColumn);
    if (selected.Count() > 0) {
        const bool read = runDataControlOperation([&] {
            const QString back = ds->Bookmark();
            const TControlsDisabler quiet(ds);
            for (int i = 0; i < selected.Count(); ++i) {
                const QString bookmark = selected.Items(i);
                if (!ds->BookmarkValid(bookmark))
                    continue;
                ds->GotoBookmark(bookmark);
                lines << rowText();
            }
            if (ds->BookmarkValid(back))
                ds->GotoBookmark(back);
        });
        if (!read)
            return;
    } else if (current && current->Field()) {
        lines << current->Field()->DisplayText();
    } else {
        return;
    }
    QGuiApplication::clipboard()->setText(lines.join(QStringLiteral("\r\n")));
    if (!cut)
        return;
    if (selected.Count() > 0)
        deleteSelection();
    else if (cellEditable(currentColumn))
        storeCellValue(current, QString(), QVariant(), true);
}

void TDBGridEhPrivate::pasteCell()
{
    TColumnEh *col = column(currentColumn);
    if (!col || !cellEditable(currentColumn) || col->Field()->FieldKind() == fkLookup)
        return;   // a shown text names no key
    QString text = QGuiApplication::clipboard()->text();
    text = text.section(QLatin1Char('\n'), 0, 0).section(QLatin1Char('\t'), 0, 0);
    text.remove(QLatin1Char('\r'));
    storeCellValue(col, text, text, true);
    editorModified = false;
    reloadEditor();
}

void TDBGridEhPrivate::deleteSelection()
{
    if (!active())
        return;
    TDataSet *ds = dataSet();
    TBMListEh &selected = q->m_selectedRows;
    if (selected.Count() == 0) {
        if (cellEditable(currentColumn))
            storeCellValue(column(currentColumn), QString(), QVariant(), true);
        return;
    }
    if ((q->Options & dgConfirmDelete) &&
        MessageBoxA(q, QStringLiteral("Delete all selected records?"), QStringLiteral("Confirm"),
                    MB_OKCANCEL | MB_ICONQUESTION) != IDOK)
        return;
    closeEditor();
    QStringList marks;
    for (int i = 0; i < selected.Count(); ++i)
        marks << selected.Items(i);
    // Each row leaves the selection once it is deleted (or gone already); the first refusal stops the
    // rest, which stay selected for the user to see and try again.
    runDataControlOperation([&] {
        const TControlsDisabler quiet(ds);
        for (const QString &bookmark : std::as_const(marks)) {
            if (ds->BookmarkValid(bookmark)) {
                ds->GotoBookmark(bookmark);
                ds->Delete();
            }
            selected.remove(bookmark);
        }
    });
    selected.changed();
}

// --- Painting --------------------------------------------------------------------------------------------

TGridDrawState TDBGridEhPrivate::cellState(int row, int col) const
{
    const TDBGridOptions options = q->Options;
    const bool showSelection = gridHasFocus() || (options & dgAlwaysShowSelection);
    const bool currentCell = row == currentRow() && col == currentColumn;
    const bool highlightRow =
        row == currentRow() && ((options & dgRowSelect) || (q->OptionsEh & dghRowHighlight)) && showSelection;
    const bool selectedRow = (options & dgMultiSelect) && rowSelected(row);
    TGridDrawState state = 0;
    if (selectedRow || highlightRow || (currentCell && showSelection))
        state |= gdSelected;
    if (currentCell && showSelection)
        state |= gdFocused;
    return state;
}

QRect TDBGridEhPrivate::innerRect(const QRect &cell) const
{
    QRect rect = cell;
    if (q->Options & dgColLines)
        rect.setRight(rect.right() - 1);
    if (q->Options & dgRowLines)
        rect.setBottom(rect.bottom() - 1);
    return rect;
}

QString TDBGridEhPrivate::clippedCellText(int row, int col, const QRect &cell) const
{
    const TColumnEh *columnEh = column(col);
    const TField *field = columnEh ? columnEh->Field() : nullptr;
    if (!field || (columnEh->Checkboxes && field->DataType() == ftBoolean))
        return {};
    const QString text = model->data(model->index(row, col), Qt::DisplayRole).toString();
    // The default drawing writes from 2 pixels in (3 from the right edge when right-justified) and
    // clips at the cell's inner edge.
    const int room = innerRect(cell).width() - 3;
    if (text.isEmpty() || QFontMetrics(columnEh->Font.toQFont()).horizontalAdvance(text) <= room)
        return {};
    return text;
}

void TDBGridEhPrivate::paintCell(QPainter *painter, const QRect &cell, int row, int col)
{
    TColumnEh *columnEh = column(col);
    if (!columnEh)
        return;
    const QRect rect = innerRect(cell);
    TDataSet *ds = model->dataSet();
    const bool readable = ds && model->rowReadable(row);
    const TGridDrawState state = cellState(row, col);

    TCanvas cellCanvas(painter);
    cellCanvas.Brush.Color = columnEh->Color;
    cellCanvas.Font = columnEh->Font;
    painter->save();
    painter->setClipRect(cell, Qt::IntersectClip);
    {
        const QScopedValueRollback current(canvas, &cellCanvas);
        std::optional<TDataSet::RecordScope> scope;
        if (readable)
            scope.emplace(ds, row);
        try {
            if (q->DefaultDrawing) {
                if (state & gdSelected) {
                    cellCanvas.Brush.Color = clHighlight;
                    cellCanvas.Font.setColor(clHighlightText);
                }
                if (readable)
                    q->DefaultDrawColumnCell(rect, col, columnEh, state);
                else
                    cellCanvas.FillRect(rect);
            }
            if (readable && q->OnDrawColumnCell)
                q->OnDrawColumnCell(q, rect, col, columnEh, state);
        } catch (const std::exception &error) {
            // Painting must go on; a box from inside a paint would only paint again.
            qWarning("grid: painting a cell failed: %s", error.what());
        }
    }
    painter->restore();

    painter->save();
    painter->setPen(gridLineColor);
    if (q->Options & dgColLines)
        painter->drawLine(cell.topRight(), cell.bottomRight());
    if (q->Options & dgRowLines)
        painter->drawLine(cell.bottomLeft(), cell.bottomRight());
    const bool editorHere = editor && editorRow == row && editorColumn == col;
    if (q->DefaultDrawing && (state & gdFocused) && !(q->Options & dgRowSelect) && !editorHere) {
        QPen dotted(ColorToQColor(clWindowText));
        dotted.setStyle(Qt::DotLine);
        painter->setPen(dotted);
        painter->drawRect(rect.adjusted(0, 0, -1, -1));
    }
    painter->restore();
}
