// The data-aware grid's delegate (every cell is painted and edited by the grid itself) and its two
// fixed bands: the title row and the indicator column.
#pragma once

#include <QComboBox>
#include <QFontMetrics>
#include <QHeaderView>
#include <QStyledItemDelegate>

#include <functional>

class TDBGridEhPrivate;

/// Hands painting, editor creation and the editor's events to the grid.
class TDBGridDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    TDBGridDelegate(TDBGridEhPrivate *grid, QObject *parent);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    /// Values reach the row only through the grid's own commit, never through Qt's.
    void setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override;
    void updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                              const QModelIndex &index) const override;
    /// A cell whose text does not fit shows the whole text as its tooltip.
    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                   const QModelIndex &index) override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    TDBGridEhPrivate *m_grid;
};

/// The title row (horizontal) or the indicator column (vertical), drawn flat or raised as the grid's
/// options say, with the title font and the current-row marks.
class TDBGridHeader : public QHeaderView {
    Q_OBJECT
public:
    TDBGridHeader(Qt::Orientation orientation, TDBGridEhPrivate *grid, QWidget *parent);
    QSize sizeHint() const override;

    /// Width of the indicator column in pixels.
    static constexpr int IndicatorWidth = 12;
    /// Pixels between a title cell's edges and its caption: left and right, top and bottom.
    static constexpr int TitleMarginX = 3;
    static constexpr int TitleMarginY = 1;
    /// Text flags that wrap a multi-line caption in width pixels: at word boundaries, or anywhere when one
    /// word alone is wider than width.
    static int titleWrapFlags(const QFontMetrics &metrics, const QString &caption, int width);

protected:
    void paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const override;

private:
    void paintTitle(QPainter *painter, const QRect &rect, int column) const;
    void paintIndicator(QPainter *painter, const QRect &rect, int row) const;
    void paintBevel(QPainter *painter, const QRect &rect) const;

    TDBGridEhPrivate *m_grid;
};

/// The drop-down of a lookup or pick-list cell; the items are read again each time it opens, since a
/// lookup list may have been narrowed or reloaded while the editor was shown.
class TDBGridDropDown : public QComboBox {
    Q_OBJECT
public:
    using QComboBox::QComboBox;
    std::function<void()> BeforePopup;
    void showPopup() override;
};
