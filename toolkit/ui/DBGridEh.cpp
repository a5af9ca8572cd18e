// The data-aware grid's public face: columns, the selected-row list and the grid's properties; the
// work is done by TDBGridEhPrivate.
#include "toolkit/ui/DBGridEh.h"

#include "toolkit/ui/DBControlGuard.h"
#include "toolkit/ui/DBGridEhPrivate.h"
#include "toolkit/ui/DBGridModel.h"
#include "toolkit/ui/DBGridParts.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>

// --- TColumnEh --------------------------------------------------------------------------------------------

TColumnEh::TColumnEh(TDBGridEh *grid) : Font(grid ? grid->Font : TFont()), m_grid(grid) {}

int TColumnEh::Index() const
{
    if (!m_grid)
        return -1;
    for (int i = 0; i < m_grid->ColumnCount(); ++i) {
        if (m_grid->Columns(i) == this)
            return i;
    }
    return -1;
}

TField *TColumnEh::Field() const
{
    TDataSet *dataSet = m_grid ? m_grid->dataSet() : nullptr;
    return dataSet && !FieldName.isEmpty() ? dataSet->FindField(FieldName) : nullptr;
}

// --- TBMListEh --------------------------------------------------------------------------------------------

int TBMListEh::Count() const
{
    return int(m_bookmarks.size());
}

QString TBMListEh::Items(int index) const
{
    sortIfNeeded();
    return m_bookmarks.value(index);
}

void TBMListEh::Clear()
{
    if (m_bookmarks.isEmpty())
        return;
    m_bookmarks.clear();
    m_index.clear();
    changed();
}

void TBMListEh::SelectAll()
{
    TDataSet *dataSet = m_grid->dataSet();
    if (!dataSet || !dataSet->Active())
        return;
    const QString back = dataSet->Bookmark();
    {
        const TControlsDisabler quiet(dataSet);
        dataSet->First();
        while (!dataSet->Eof()) {
            add(dataSet->Bookmark());
            dataSet->Next();
        }
        if (!back.isEmpty() && dataSet->BookmarkValid(back))
            dataSet->GotoBookmark(back);
    }
    changed();
}

bool TBMListEh::CurrentRowSelected() const
{
    TDataSet *dataSet = m_grid->dataSet();
    return dataSet && dataSet->Active() && Contains(dataSet->Bookmark());
}

void TBMListEh::setCurrentRowSelected(bool selected)
{
    TDataSet *dataSet = m_grid->dataSet();
    if (!dataSet || !dataSet->Active())
        return;
    const QString bookmark = dataSet->Bookmark();
    if (bookmark.isEmpty() || Contains(bookmark) == selected)
        return;
    selected ? add(bookmark) : remove(bookmark);
    changed();
}

bool TBMListEh::Contains(const QString &bookmark) const
{
    return m_index.contains(bookmark);
}

void TBMListEh::toggle(const QString &bookmark)
{
    if (bookmark.isEmpty())
        return;
    Contains(bookmark) ? remove(bookmark) : add(bookmark);
    changed();
}

void TBMListEh::add(const QString &bookmark)
{
    if (bookmark.isEmpty() || m_index.contains(bookmark))
        return;
    m_index.insert(bookmark);
    m_bookmarks.append(bookmark);
    m_sorted = false;
}

void TBMListEh::remove(const QString &bookmark)
{
    if (m_index.remove(bookmark))
        m_bookmarks.removeOne(bookmark);
}

void TBMListEh::sortIfNeeded() const
{
    if (m_sorted)
        return;
    m_sorted = true;
    TDataSet *dataSet = m_grid->dataSet();
    if (!dataSet || !dataSet->Active() || m_bookmarks.size() < 2)
        return;
    // Bookmarks of rows that went away since they were selected sort to the end.
    std::stable_sort(m_bookmarks.begin(), m_bookmarks.end(), [dataSet](const QString &a, const QString &b) {
        const bool aValid = dataSet->BookmarkValid(a);
        const bool bValid = dataSet->BookmarkValid(b);
        if (!aValid || !bValid)
            return aValid && !bValid;
        try {
            return dataSet->CompareBookmarks(a, b) < 0;
        } catch (const std::exception &) {
            return false;
        }
    });
}

void TBMListEh::changed()
{
    m_grid->viewport()->update();
    m_grid->verticalHeader()->viewport()->update();
}

// --- TDBGridEh --------------------------------------------------------------------------------------------

TDBGridEh::TDBGridEh(QWidget *parent) : QTableView(parent), d(std::make_unique<TDBGridEhPrivate>(this))
{
    d->model = new TDBGridModel(d.get(), this);
    d->delegate = new TDBGridDelegate(d.get(), this);
    d->titles = new TDBGridHeader(Qt::Horizontal, d.get(), this);
    d->indicator = new TDBGridHeader(Qt::Vertical, d.get(), this);
    setHorizontalHeader(d->titles);
    setVerticalHeader(d->indicator);
    setModel(d->model);
    setItemDelegate(d->delegate);

    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(false);
    setCornerButtonEnabled(false);
    setWordWrap(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    d->indicator->setSectionResizeMode(QHeaderView::Fixed);
    d->titles->setStretchLastSection(false);
    d->appliedFont = Font;
    d->seenOptions = Options;

    connect(selectionModel(), &QItemSelectionModel::currentChanged, d.get(), [this] { d->onQtCurrentChanged(); });
    connect(d->titles, &QHeaderView::sectionResized, d.get(),
            [this](int logical, int, int newSize) { d->onSectionResized(logical, newSize); });
    connect(d->titles, &QHeaderView::sectionMoved, d.get(),
            [this](int logical, int oldVisual, int newVisual) { d->onSectionMoved(logical, oldVisual, newVisual); });
    d->titles->viewport()->installEventFilter(d.get());
    d->indicator->viewport()->installEventFilter(d.get());

    Font.OnChange = [this] { d->gridFontChanged(); };
    TitleFont.OnChange = [this] { d->queueLayoutIfStale(); };
    d->applyLayout();
}

TDBGridEh::~TDBGridEh()
{
    Q_EMIT gridDestroying(this);
    QObject::disconnect(d->eventLink);
    QObject::disconnect(d->changeLink);
    QObject::disconnect(d->destroyLink);
    // The editor and the delegate call into d; they go before it does.
    d->closeEditor();
    delete d->editor.data();
    setItemDelegate(nullptr);
    delete d->delegate;
    d->delegate = nullptr;
}

TDataSource *TDBGridEh::DataSource() const
{
    return d->source;
}

void TDBGridEh::setDataSource(TDataSource *dataSource)
{
    if (d->source == dataSource && d->model->dataSet() == dataSet())
        return;
    QObject::disconnect(d->eventLink);
    QObject::disconnect(d->changeLink);
    QObject::disconnect(d->destroyLink);
    d->source = dataSource;
    if (dataSource) {
        d->destroyLink = connect(dataSource, &QObject::destroyed, d.get(), [this] { d->bind(); });
        d->eventLink = connect(dataSource, &TDataSource::dataEvent, d.get(),
                               [this](TDataEvent event, qintptr info) { d->onDataEvent(event, info); });
        d->changeLink = connect(dataSource, &TDataSource::dataSetChanged, d.get(), [this] { d->bind(); });
    }
    d->bind();
}

TDataSet *TDBGridEh::dataSet() const
{
    return d->dataSet();
}

TColumnEh *TDBGridEh::AddColumn(const QString &fieldName, const QString &title, int width)
{
    auto column = std::make_unique<TColumnEh>(this);
    column->FieldName = fieldName;
    column->Title.Caption = title;
    column->Width = width;
    TColumnEh *added = column.get();
    d->columns.push_back(std::move(column));
    d->model->columnAppended();
    d->applyLayout();
    return added;
}

int TDBGridEh::ColumnCount() const
{
    return int(d->columns.size());
}

TColumnEh *TDBGridEh::Columns(int index) const
{
    return d->column(index);
}

TColumnEh *TDBGridEh::ColumnByFieldName(const QString &fieldName) const
{
    for (const auto &column : d->columns) {
        if (column->FieldName.compare(fieldName, Qt::CaseInsensitive) == 0)
            return column.get();
    }
    return nullptr;
}

void TDBGridEh::setOptions(TDBGridOptions options)
{
    Options = options;
    d->syncOptions();
    d->applyLayout();
}

void TDBGridEh::setVertScrollBarVisibleMode(TScrollBarVisibleMode mode)
{
    VertScrollBarVisibleMode = mode;
    d->applyLayout();
}

int TDBGridEh::Col() const
{
    return SelectedIndex() + ((Options & dgIndicator) ? 1 : 0);
}

void TDBGridEh::setCol(int col)
{
    setSelectedIndex(col - ((Options & dgIndicator) ? 1 : 0));
}

int TDBGridEh::SelectedIndex() const
{
    return d->columns.empty() ? -1 : std::clamp(d->currentColumn, 0, ColumnCount() - 1);
}

void TDBGridEh::setSelectedIndex(int index)
{
    if (index < 0 || index >= ColumnCount())
        return;
    d->goToCell(d->currentRow(), index);
}

int TDBGridEh::RowCount() const
{
    return ((Options & dgTitles) ? 1 : 0) + d->model->rowCount();
}

QRect TDBGridEh::CellRect(int dataCol, int displayRow) const
{
    return visualRect(d->model->index(displayRow, dataCol));
}

TCanvas *TDBGridEh::Canvas() const
{
    return d->canvas ? d->canvas : &d->idleCanvas;
}

void TDBGridEh::DefaultDrawColumnCell(const QRect &rect, int dataCol, TColumnEh *column, TGridDrawState state)
{
    Q_UNUSED(dataCol);
    Q_UNUSED(state);
    TCanvas *canvas = d->canvas;
    if (!canvas || !canvas->painter())
        return;
    TField *field = column ? column->Field() : nullptr;
    if (column && column->Checkboxes && field && field->DataType() == ftBoolean) {
        canvas->FillRect(rect);
        QPainter *painter = canvas->painter();
        const int side = std::min({13, rect.width() - 2, rect.height() - 2});
        if (side < 5)
            return;
        const QRect box(rect.left() + (rect.width() - side) / 2, rect.top() + (rect.height() - side) / 2, side, side);
        painter->save();
        painter->fillRect(box, field->IsNull() ? ColorToQColor(clBtnFace) : ColorToQColor(clWindow));
        painter->setPen(ColorToQColor(clBtnShadow));
        painter->drawRect(box.adjusted(0, 0, -1, -1));
        if (field->AsBoolean()) {
            painter->setPen(QPen(ColorToQColor(clWindowText), 2));
            const QPointF a(box.left() + side * 0.22, box.top() + side * 0.5);
            const QPointF b(box.left() + side * 0.42, box.top() + side * 0.72);
            const QPointF c(box.left() + side * 0.78, box.top() + side * 0.28);
            painter->drawLine(a, b);
            painter->drawLine(b, c);
        }
        painter->restore();
        return;
    }
    QString text;
    try {
        text = field ? field->DisplayText() : QString();
    } catch (const std::exception &) {
        text.clear();
    }
    if (column && column->EndEllipsis)
        text = QFontMetrics(canvas->Font.toQFont()).elidedText(text, Qt::ElideRight, std::max(0, rect.width() - 4));
    const int width = canvas->TextWidth(text);
    int x = rect.left() + 2;
    switch (column ? column->Alignment : taLeftJustify) {
    case taRightJustify: x = rect.left() + rect.width() - width - 3; break;
    case taCenter: x = rect.left() + rect.width() / 2 - width / 2; break;
    case taLeftJustify: break;
    }
    const int y = rect.top() + rect.height() / 2 - canvas->TextHeight(text) / 2;
    canvas->TextRect(rect, x, y, text);
}

void TDBGridEh::LayoutChanged()
{
    d->syncOptions();
    d->applyLayout();
    viewport()->update();
}

bool TDBGridEh::EditorMode() const
{
    return d->editor != nullptr;
}

void TDBGridEh::setEditorMode(bool on)
{
    if (on) {
        d->openEditor();
    } else if (d->editor && d->commitEditor()) {
        d->closeEditor();
    }
}

QWidget *TDBGridEh::InplaceEditor() const
{
    return d->editor;
}

void TDBGridEh::keyPressEvent(QKeyEvent *event)
{
    if (d->handleKeyPress(event, nullptr))
        event->accept();
    else
        event->ignore();
}

void TDBGridEh::keyReleaseEvent(QKeyEvent *event)
{
    d->raiseKeyUp(event);
    event->accept();
}

void TDBGridEh::mousePressEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    d->raiseMouseDown(viewport(), pos, event->button(), event->modifiers(), event->buttons());
    if (focusPolicy() != Qt::NoFocus && !d->gridHasFocus())
        setFocus(Qt::MouseFocusReason);
    const QModelIndex index = indexAt(pos);
    if (index.isValid())
        d->pressCell(index.row(), index.column(), mouseButtonFromQt(event->button()),
                     shiftFromQt(event->modifiers(), event->buttons()));
    event->accept();
}

void TDBGridEh::mouseDoubleClickEvent(QMouseEvent *event)
{
    d->raiseMouseDown(viewport(), event->position().toPoint(), event->button(), event->modifiers(), event->buttons(),
                      true);
    const QModelIndex index = indexAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && index.isValid() && index.row() == d->currentRow() &&
        index.column() == d->currentColumn && !d->editor)
        d->openEditor();
    event->accept();
}

void TDBGridEh::mouseMoveEvent(QMouseEvent *event)
{
    event->accept();
}

void TDBGridEh::mouseReleaseEvent(QMouseEvent *event)
{
    event->accept();
}

void TDBGridEh::resizeEvent(QResizeEvent *event)
{
    QTableView::resizeEvent(event);
    if (AutoFitColWidths)
        d->fitColumns();
}

void TDBGridEh::focusInEvent(QFocusEvent *event)
{
    QTableView::focusInEvent(event);
    viewport()->update();
    if (Options & dgAlwaysShowEditor)
        d->queueEditorOpen();
}

void TDBGridEh::focusOutEvent(QFocusEvent *event)
{
    QTableView::focusOutEvent(event);
    viewport()->update();
}

void TDBGridEh::showEvent(QShowEvent *event)
{
    d->applyLayout();
    QTableView::showEvent(event);
}

bool TDBGridEh::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::Paint)
        d->queueLayoutIfStale();
    return QTableView::viewportEvent(event);
}

void TDBGridEh::closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint)
{
    QTableView::closeEditor(editor, hint);
    d->editorClosed(editor);
}
