// Colours, fonts and the canvas: the mapping of system colours and font faces to what Qt can draw.
#include "toolkit/ui/Graphics.h"

#include <QFontMetrics>
#include <QPainter>

#include <array>
#include <cmath>

namespace {

// The classic desktop scheme, by system colour index; fixed so screens and tests agree everywhere.
constexpr std::array<QRgb, 31> systemColors = {
    0xFFC8C8C8, // scroll bar
    0xFF3A6EA5, // desktop
    0xFF0A246A, // active caption
    0xFF808080, // inactive caption
    0xFFD4D0C8, // menu
    0xFFFFFFFF, // window
    0xFF000000, // window frame
    0xFF000000, // menu text
    0xFF000000, // window text
    0xFFFFFFFF, // caption text
    0xFFD4D0C8, // active border
    0xFFD4D0C8, // inactive border
    0xFF808080, // application workspace
    0xFF0A246A, // highlight
    0xFFFFFFFF, // highlight text
    0xFFD4D0C8, // button face
    0xFF808080, // button shadow
    0xFF808080, // grey text
    0xFF000000, // button text
    0xFFD4D0C8, // inactive caption text
    0xFFFFFFFF, // button highlight
    0xFF404040, // 3D dark shadow
    0xFFD4D0C8, // 3D light
    0xFF000000, // info text
    0xFFFFFFE1, // info background
    0xFFB5B5B5, // (unused index 25)
    0xFF0000FF, // hot light
    0xFFA6CAF0, // gradient active caption
    0xFFC0C0C0, // gradient inactive caption
    0xFF316AC5, // menu highlight
    0xFFD4D0C8, // menu bar
};

// MulDiv: a * b / c rounded to nearest, halves away from zero.
int mulDiv(int a, int b, int c)
{
    return static_cast<int>(std::lround(static_cast<double>(a) * b / c));
}

// Faces the windows name, and what to draw them with where they are missing.
QStringList familiesFor(const QString &name)
{
    const QString lower = name.toLower();
    QStringList families{name};
    if (lower.contains(QLatin1String("courier")) || lower.contains(QLatin1String("mono")))
        families << QStringLiteral("Liberation Mono") << QStringLiteral("DejaVu Sans Mono");
    else if (lower.contains(QLatin1String("times")) || lower == QLatin1String("ms serif"))
        families << QStringLiteral("Liberation Serif") << QStringLiteral("DejaVu Serif");
    else if (lower == QLatin1String("arial"))
        families << QStringLiteral("Liberation Sans") << QStringLiteral("DejaVu Sans");
    else
        families << QStringLiteral("DejaVu Sans");
    return families;
}

} // namespace

QColor ColorToQColor(TColor color)
{
    if (color == clNone)
        return QColor(Qt::transparent);
    if (color == clDefault)
        return QColor::fromRgb(systemColors[5]);
    if ((color & 0xFF000000) == clSystemColor) {
        const quint32 index = color & 0xFF;
        return index < systemColors.size() ? QColor::fromRgb(systemColors[index]) : QColor(Qt::black);
    }
    return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                  static_cast<int>((color >> 16) & 0xFF));
}

TColor QColorToColor(const QColor &color)
{
    const QColor rgb = color.toRgb();
    return static_cast<TColor>(rgb.red()) | (static_cast<TColor>(rgb.green()) << 8)
        | (static_cast<TColor>(rgb.blue()) << 16);
}

TFont::TFont(const QString &name, int size, TFontStyles style) : m_name(name), m_style(style)
{
    m_height = -mulDiv(size, PixelsPerInch, 72);
}

TFont::TFont(const TFont &other)
    : m_name(other.m_name), m_height(other.m_height), m_color(other.m_color), m_style(other.m_style),
      m_charset(other.m_charset)
{
}

TFont &TFont::operator=(const TFont &other)
{
    if (this != &other)
        Assign(other);
    return *this;
}

void TFont::Assign(const TFont &other)
{
    m_name = other.m_name;
    m_height = other.m_height;
    m_color = other.m_color;
    m_style = other.m_style;
    m_charset = other.m_charset;
    changed();
}

template<class T>
void TFont::update(T &member, const T &value)
{
    if (member == value)
        return;
    member = value;
    changed();
}

void TFont::setName(const QString &name)
{
    update(m_name, name);
}

void TFont::setHeight(int height)
{
    update(m_height, height);
}

int TFont::Size() const
{
    return -mulDiv(m_height, 72, PixelsPerInch);
}

void TFont::setSize(int points)
{
    setHeight(-mulDiv(points, PixelsPerInch, 72));
}

void TFont::setColor(TColor color)
{
    update(m_color, color);
}

void TFont::setStyle(TFontStyles style)
{
    update(m_style, style);
}

void TFont::setCharset(TFontCharset charset)
{
    update(m_charset, charset);
}

QFont TFont::toQFont() const
{
    QFont font;
    font.setFamilies(familiesFor(m_name));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(qMax(1, std::abs(m_height)));
    font.setBold(m_style.testFlag(fsBold));
    font.setItalic(m_style.testFlag(fsItalic));
    font.setUnderline(m_style.testFlag(fsUnderline));
    font.setStrikeOut(m_style.testFlag(fsStrikeOut));
    return font;
}

bool TFont::operator==(const TFont &other) const
{
    return m_name == other.m_name && m_height == other.m_height && m_color == other.m_color
        && m_style == other.m_style && m_charset == other.m_charset;
}

void TFont::changed()
{
    if (OnChange)
        OnChange();
}

TCanvas::TCanvas(QPainter *painter) : m_painter(painter) {}

int TCanvas::TextWidth(const QString &text) const
{
    const QFontMetrics metrics(Font.toQFont());
    return metrics.horizontalAdvance(text);
}

int TCanvas::TextHeight(const QString &text) const
{
    Q_UNUSED(text);
    const QFontMetrics metrics(Font.toQFont());
    return metrics.height();
}

void TCanvas::FillRect(const QRect &rect)
{
    if (!m_painter || Brush.Style == bsClear || Brush.Color == clNone)
        return;
    m_painter->fillRect(rect, ColorToQColor(Brush.Color));
}

void TCanvas::FrameRect(const QRect &rect)
{
    if (!m_painter || rect.isEmpty())
        return;
    const QColor color = ColorToQColor(Brush.Color);
    m_painter->fillRect(QRect(rect.left(), rect.top(), rect.width(), 1), color);
    m_painter->fillRect(QRect(rect.left(), rect.bottom(), rect.width(), 1), color);
    m_painter->fillRect(QRect(rect.left(), rect.top(), 1, rect.height()), color);
    m_painter->fillRect(QRect(rect.right(), rect.top(), 1, rect.height()), color);
}

void TCanvas::TextRect(const QRect &rect, int x, int y, const QString &text)
{
    if (!m_painter)
        return;
    FillRect(rect);
    m_painter->save();
    m_painter->setClipRect(rect, m_painter->hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip);
    drawText(x, y, text);
    m_painter->restore();
}

void TCanvas::TextOut(int x, int y, const QString &text)
{
    if (!m_painter)
        return;
    FillRect(QRect(x, y, TextWidth(text), TextHeight(text)));
    drawText(x, y, text);
    m_penPos = QPoint(x + TextWidth(text), y);
}

void TCanvas::MoveTo(int x, int y)
{
    m_penPos = QPoint(x, y);
}

void TCanvas::LineTo(int x, int y)
{
    if (m_painter) {
        m_painter->save();
        m_painter->setPen(QPen(ColorToQColor(Pen.Color), Pen.Width));
        m_painter->drawLine(m_penPos, QPoint(x, y));
        m_painter->restore();
    }
    m_penPos = QPoint(x, y);
}

void TCanvas::drawText(int x, int y, const QString &text)
{
    const QFont font = Font.toQFont();
    m_painter->save();
    m_painter->setFont(font);
    m_painter->setPen(ColorToQColor(Font.Color()));
    m_painter->drawText(QPoint(x, y + QFontMetrics(font).ascent()), text);
    m_painter->restore();
}
