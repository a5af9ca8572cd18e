// Status bar panels as sunken labels of fixed width, left to right; the rest of the bar stays empty.
#include "journal/StatusBar.h"

#include <QHBoxLayout>
#include <QLabel>

namespace {

Qt::Alignment qtAlignment(TAlignment alignment)
{
    switch (alignment) {
    case taCenter: return Qt::AlignCenter;
    case taRightJustify: return Qt::AlignRight | Qt::AlignVCenter;
    case taLeftJustify: break;
    }
    return Qt::AlignLeft | Qt::AlignVCenter;
}

} // namespace

TStatusBar::TStatusBar(QWidget *parent) : QWidget(parent)
{
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 2, 0, 0);
    row->setSpacing(2);
    row->addStretch(1);
}

void TStatusBar::AddPanel(int width, const QString &text, TAlignment alignment)
{
    auto *label = new QLabel(text, this);
    label->setObjectName(QStringLiteral("StatusPanel%1").arg(m_panels.size()));
    label->setFrameShape(QFrame::Panel);
    label->setFrameShadow(QFrame::Sunken);
    label->setFixedWidth(width);
    label->setAlignment(qtAlignment(alignment));
    auto *row = static_cast<QHBoxLayout *>(layout());
    // Before the closing stretch, so the panels stay left and keep their widths.
    row->insertWidget(row->count() - 1, label);
    m_panels.push_back({label, alignment});
}

QString TStatusBar::PanelText(int index) const
{
    return index >= 0 && index < PanelCount() ? m_panels[size_t(index)].label->text() : QString();
}

void TStatusBar::setPanelText(int index, const QString &text)
{
    if (index >= 0 && index < PanelCount())
        m_panels[size_t(index)].label->setText(text);
}

int TStatusBar::PanelWidth(int index) const
{
    return index >= 0 && index < PanelCount() ? m_panels[size_t(index)].label->width() : 0;
}

TAlignment TStatusBar::PanelAlignment(int index) const
{
    return index >= 0 && index < PanelCount() ? m_panels[size_t(index)].alignment : taLeftJustify;
}
