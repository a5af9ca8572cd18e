// The grid component's looks (background colour and font per row state) and where a cell's text starts.
#include "gridevents/QZ_DBGrd_Evns.h"

// --- Attributes -----------------------------------------------------------------------------------------

TQZDBGridAttr::TQZDBGridAttr()
{
    m_font.OnChange = [this] { repaint(); };
}

TQZDBGridAttr::~TQZDBGridAttr() = default;

void TQZDBGridAttr::setFont(const TFont &font)
{
    // Assign raises the owned font's OnChange, which repaints.
    m_font.Assign(font);
}

void TQZDBGridAttr::setColor(TColor color)
{
    if (color == m_color)
        return;
    m_color = color;
    repaint();
}

void TQZDBGridAttr::repaint() const
{
    if (m_grid)
        m_grid->Invalidate();
}

TQZDBGridFixedAttr::TQZDBGridFixedAttr()
{
    m_selFont.OnChange = [this] { repaint(); };
}

TQZDBGridFixedAttr::~TQZDBGridFixedAttr() = default;

void TQZDBGridFixedAttr::setList(const QStringList &lines)
{
    m_list.Assign(lines);
    repaint();
}

void TQZDBGridFixedAttr::setSelFont(const TFont &font)
{
    m_selFont.Assign(font);
}

void TQZDBGridFixedAttr::setSelColor(TColor color)
{
    if (color == m_selColor)
        return;
    m_selColor = color;
    repaint();
}

void TQZDBGridFixedAttr::repaint() const
{
    if (m_grid)
        m_grid->Invalidate();
}

TQZDBAttributes::TQZDBAttributes()
    : m_selAttr(std::make_unique<TQZDBGridAttr>()),
      m_afterPasteAttr(std::make_unique<TQZDBGridAttr>()),
      m_duplicateAttr(std::make_unique<TQZDBGridAttr>()),
      m_errorAttr(std::make_unique<TQZDBGridAttr>()),
      m_focusedAttr(std::make_unique<TQZDBGridAttr>()),
      m_fixedAttr(std::make_unique<TQZDBGridFixedAttr>())
{
    m_selAttr->Font().setColor(clWhite);
    m_afterPasteAttr->setColor(clInfoBk);
    m_duplicateAttr->setColor(clGreen);
    m_errorAttr->setColor(clRed);
    m_focusedAttr->setColor(0x004F4F4F);
    m_focusedAttr->Font().setColor(clWhite);
    m_focusedAttr->Font().setStyle(fsBold);
    m_fixedAttr->setSelColor(clMoneyGreen);
    m_fixedAttr->SelFont().setStyle(fsBold);
}

TQZDBAttributes::~TQZDBAttributes()
{
    // Freed in the order they were made.
    m_selAttr.reset();
    m_afterPasteAttr.reset();
    m_duplicateAttr.reset();
    m_errorAttr.reset();
    m_focusedAttr.reset();
    m_fixedAttr.reset();
}

void TQZDBAttributes::setGrid(TQZDBGridEh *grid)
{
    m_selAttr->setGrid(grid);
    m_afterPasteAttr->setGrid(grid);
    m_duplicateAttr->setGrid(grid);
    m_errorAttr->setGrid(grid);
    m_focusedAttr->setGrid(grid);
    m_fixedAttr->setGrid(grid);
}

// --- Text positions -------------------------------------------------------------------------------------
// A QRect's right() and bottom() are its last pixel; the cell's edges are one past them.

int RightTextX(const QRect &rect, int textWidth)
{
    return rect.x() + rect.width() - textWidth - 3;
}

int CenterTextX(const QRect &rect, int textWidth)
{
    return rect.x() + rect.width() / 2 - textWidth / 2;
}

int AlignedTextX(TAlignment alignment, const QRect &rect, int textWidth)
{
    switch (alignment) {
    case taRightJustify:
        return RightTextX(rect, textWidth);
    case taCenter:
        return CenterTextX(rect, textWidth);
    case taLeftJustify:
        break;
    }
    return rect.x() + 2;
}

int CenteredTextY(const QRect &rect, int textHeight)
{
    return rect.y() + rect.height() / 2 - textHeight / 2;
}
