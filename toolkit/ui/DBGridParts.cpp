// The grid's delegate and fixed bands.
#include "toolkit/ui/DBGridParts.h"

#include "toolkit/ui/DBGridEhPrivate.h"
#include "toolkit/ui/DBGridModel.h"

#include <QFontMetrics>
#include <QHelpEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>

#include <algorithm>

TDBGridDelegate::TDBGridDelegate(TDBGridEhPrivate *grid, QObject *parent) : QStyledItemDelegate(parent), m_grid(grid) {}

void TDBGridDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    m_grid->paintCell(painter, option.rect, index.row(), index.column());
}

QSize TDBGridDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    Q_UNUSED(option);
    const TColumnEh *column = m_grid->column(index.column());
    return {column ? column->Width : 64, m_grid->rowHeight()};
}

QWidget *TDBGridDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                                       const QModelIndex &index) const
{
    Q_UNUSED(option);
    return m_grid->createEditor(parent, index.column());
}

void TDBGridDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    // An editor the user has typed into keeps the typing whatever the row does meanwhile.
    if (!m_grid->editorModified)
        m_grid->loadEditor(editor, index.column());
}

void TDBGridDelegate::setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const
{
    Q_UNUSED(editor);
    Q_UNUSED(model);
    Q_UNUSED(index);
}

void TDBGridDelegate::updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                                           const QModelIndex &index) const
{
    Q_UNUSED(index);
    editor->setGeometry(m_grid->editorRect(option.rect));
}

bool TDBGridDelegate::helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                                const QModelIndex &index)
{
    if (!event || event->type() != QEvent::ToolTip)
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    const QString whole = index.isValid() ? m_grid->clippedCellText(index.row(), index.column(), option.rect)
                                          : QString();
    if (whole.isEmpty()) {
        QToolTip::hideText();
        event->ignore();
        return true;
    }
    QToolTip::showText(event->globalPos(), whole, view, option.rect);
    return true;
}

bool TDBGridDelegate::eventFilter(QObject *watched, QEvent *event)
{
    return m_grid->editorEvent(watched, event);
}

TDBGridHeader::TDBGridHeader(Qt::Orientation orientation, TDBGridEhPrivate *grid, QWidget *parent)
    : QHeaderView(orientation, parent), m_grid(grid)
{
    // Presses are the grid's business (OnMouseDown, moving the current row), not Qt's selection.
    setSectionsClickable(false);
    setHighlightSections(false);
    setMinimumSectionSize(1);
}

QSize TDBGridHeader::sizeHint() const
{
    QSize size = QHeaderView::sizeHint();
    if (orientation() == Qt::Horizontal)
        size.setHeight(m_grid->titleHeight());
    else
        size.setWidth(IndicatorWidth);
    return size;
}

void TDBGridHeader::paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const
{
    if (!rect.isValid())
        return;
    painter->save();
    painter->fillRect(rect, ColorToQColor(clBtnFace));
    paintBevel(painter, rect);
    if (orientation() == Qt::Horizontal)
        paintTitle(painter, rect, logicalIndex);
    else
        paintIndicator(painter, rect, logicalIndex);
    painter->restore();
}

void TDBGridHeader::paintBevel(QPainter *painter, const QRect &rect) const
{
    const QColor shadow = ColorToQColor(clBtnShadow);
    if (m_grid->q->OptionsEh & dghFixed3D) {
        painter->setPen(ColorToQColor(clBtnHighlight));
        painter->drawLine(rect.topLeft(), rect.topRight());
        painter->drawLine(rect.topLeft(), rect.bottomLeft());
    }
    painter->setPen(shadow);
    painter->drawLine(rect.bottomLeft(), rect.bottomRight());
    painter->drawLine(rect.topRight(), rect.bottomRight());
}

void TDBGridHeader::paintTitle(QPainter *painter, const QRect &rect, int column) const
{
    const TColumnEh *col = m_grid->column(column);
    if (!col)
        return;
    const QString caption = m_grid->model->headerData(column, Qt::Horizontal).toString();
    const TFont &font = m_grid->q->TitleFont;
    const QFont qfont = font.toQFont();
    painter->setFont(qfont);
    painter->setPen(ColorToQColor(font.Color()));
    const QRect textRect = rect.adjusted(TitleMarginX, TitleMarginY, -TitleMarginX, -TitleMarginY);
    Qt::Alignment align = Qt::AlignVCenter;
    switch (col->Title.Alignment) {
    case taRightJustify: align |= Qt::AlignRight; break;
    case taCenter: align |= Qt::AlignHCenter; break;
    case taLeftJustify: align |= Qt::AlignLeft; break;
    }
    const QFontMetrics metrics(qfont);
    if (m_grid->q->UseMultiTitle) {
        // The title row is as high as the longest wrapped caption needs (titleHeight).
        painter->drawText(textRect, int(align) | titleWrapFlags(metrics, caption, textRect.width()), caption);
        return;
    }
    painter->drawText(textRect, int(align), metrics.elidedText(caption, Qt::ElideRight, textRect.width()));
}

int TDBGridHeader::titleWrapFlags(const QFontMetrics &metrics, const QString &caption, int width)
{
    const QStringList words = caption.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const bool wordsFit = std::all_of(words.cbegin(), words.cend(),
                                      [&](const QString &word) { return metrics.horizontalAdvance(word) <= width; });
    return wordsFit ? int(Qt::TextWordWrap) : int(Qt::TextWrapAnywhere);
}

void TDBGridHeader::paintIndicator(QPainter *painter, const QRect &rect, int row) const
{
    if (row != m_grid->currentRow())
        return;
    TDataSet *dataSet = m_grid->dataSet();
    const TDataSetState state = dataSet ? dataSet->State() : dsInactive;
    const QColor ink = ColorToQColor(clBtnText);
    const QPoint c = rect.center();
    painter->setRenderHint(QPainter::Antialiasing, false);
    if (state == dsInsert) {
        painter->setPen(ink);
        painter->setFont(m_grid->q->TitleFont.toQFont());
        painter->drawText(rect, int(Qt::AlignCenter), QStringLiteral("*"));
    } else if (state == dsEdit) {
        // I-beam: the row is being edited.
        painter->setPen(ink);
        painter->drawLine(c.x(), c.y() - 4, c.x(), c.y() + 4);
        painter->drawLine(c.x() - 2, c.y() - 4, c.x() + 2, c.y() - 4);
        painter->drawLine(c.x() - 2, c.y() + 4, c.x() + 2, c.y() + 4);
    } else {
        QPainterPath triangle;
        triangle.moveTo(c.x() - 2, c.y() - 4);
        triangle.lineTo(c.x() + 2, c.y());
        triangle.lineTo(c.x() - 2, c.y() + 4);
        triangle.closeSubpath();
        painter->fillPath(triangle, ink);
    }
}

void TDBGridDropDown::showPopup()
{
    if (BeforePopup)
        BeforePopup();
    QComboBox::showPopup();
}
