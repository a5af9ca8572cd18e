// Colours, fonts and the canvas the windows and the grids paint with: $00BBGGRR colours with system
// colour indexes, fonts given by name and character height, and a canvas over a QPainter.
#pragma once

#include <QColor>
#include <QFlags>
#include <QFont>
#include <QPainter>
#include <QRect>
#include <QString>

#include <functional>

/// A colour as $00BBGGRR; $FF0000nn is the system colour with index nn.
using TColor = quint32;

inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clMaroon = 0x000080;
inline constexpr TColor clGreen = 0x008000;
inline constexpr TColor clOlive = 0x008080;
inline constexpr TColor clNavy = 0x800000;
inline constexpr TColor clPurple = 0x800080;
inline constexpr TColor clTeal = 0x808000;
inline constexpr TColor clGray = 0x808080;
inline constexpr TColor clSilver = 0xC0C0C0;
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clLime = 0x00FF00;
inline constexpr TColor clYellow = 0x00FFFF;
inline constexpr TColor clBlue = 0xFF0000;
inline constexpr TColor clFuchsia = 0xFF00FF;
inline constexpr TColor clAqua = 0xFFFF00;
inline constexpr TColor clWhite = 0xFFFFFF;
inline constexpr TColor clLtGray = clSilver;
inline constexpr TColor clDkGray = clGray;
inline constexpr TColor clMoneyGreen = 0xC0DCC0;
inline constexpr TColor clSkyBlue = 0xF0CAA6;
inline constexpr TColor clCream = 0xF0FBFF;
inline constexpr TColor clMedGray = 0xA4A0A0;
/// No colour at all: a brush of this colour paints nothing.
inline constexpr TColor clNone = 0x1FFFFFFF;
/// "Whatever the control would use"; painted as the window colour.
inline constexpr TColor clDefault = 0x20000000;

/// The flag that marks a system colour; the low byte is the system colour index.
inline constexpr TColor clSystemColor = 0xFF000000;
inline constexpr TColor clScrollBar = clSystemColor | 0;
inline constexpr TColor clBackground = clSystemColor | 1;
inline constexpr TColor clActiveCaption = clSystemColor | 2;
inline constexpr TColor clInactiveCaption = clSystemColor | 3;
inline constexpr TColor clMenu = clSystemColor | 4;
inline constexpr TColor clWindow = clSystemColor | 5;
inline constexpr TColor clWindowFrame = clSystemColor | 6;
inline constexpr TColor clMenuText = clSystemColor | 7;
inline constexpr TColor clWindowText = clSystemColor | 8;
inline constexpr TColor clCaptionText = clSystemColor | 9;
inline constexpr TColor clActiveBorder = clSystemColor | 10;
inline constexpr TColor clInactiveBorder = clSystemColor | 11;
inline constexpr TColor clAppWorkSpace = clSystemColor | 12;
inline constexpr TColor clHighlight = clSystemColor | 13;
inline constexpr TColor clHighlightText = clSystemColor | 14;
inline constexpr TColor clBtnFace = clSystemColor | 15;
inline constexpr TColor clBtnShadow = clSystemColor | 16;
inline constexpr TColor clGrayText = clSystemColor | 17;
inline constexpr TColor clBtnText = clSystemColor | 18;
inline constexpr TColor clInactiveCaptionText = clSystemColor | 19;
inline constexpr TColor clBtnHighlight = clSystemColor | 20;
inline constexpr TColor cl3DDkShadow = clSystemColor | 21;
inline constexpr TColor cl3DLight = clSystemColor | 22;
inline constexpr TColor clInfoText = clSystemColor | 23;
inline constexpr TColor clInfoBk = clSystemColor | 24;
inline constexpr TColor clHotLight = clSystemColor | 26;
inline constexpr TColor clGradientActiveCaption = clSystemColor | 27;
inline constexpr TColor clGradientInactiveCaption = clSystemColor | 28;
inline constexpr TColor clMenuHighlight = clSystemColor | 29;
inline constexpr TColor clMenuBar = clSystemColor | 30;

/// The colour to paint with. System colours get fixed values (the classic desktop scheme, clInfoBk
/// #FFFFE1), so a window looks the same on every machine; clNone is fully transparent.
QColor ColorToQColor(TColor color);
/// The TColor of an opaque QColor (alpha is dropped).
TColor QColorToColor(const QColor &color);

enum TFontStyle { fsBold = 0x1, fsItalic = 0x2, fsUnderline = 0x4, fsStrikeOut = 0x8 };
Q_DECLARE_FLAGS(TFontStyles, TFontStyle)
Q_DECLARE_OPERATORS_FOR_FLAGS(TFontStyles)

/// Character sets a font can ask for; only their numbers travel, Qt picks glyphs by Unicode anyway.
using TFontCharset = quint8;
inline constexpr TFontCharset ANSI_CHARSET = 0;
inline constexpr TFontCharset DEFAULT_CHARSET = 1;
inline constexpr TFontCharset SYMBOL_CHARSET = 2;
inline constexpr TFontCharset RUSSIAN_CHARSET = 204;
inline constexpr TFontCharset EASTEUROPE_CHARSET = 238;
inline constexpr TFontCharset OEM_CHARSET = 255;

/// A font described the way the windows give it: a face name and a character height in pixels
/// (negative) or a size in points at 96 dots per inch. Copies are independent values; assigning one
/// font to another keeps the target's OnChange and raises it.
class TFont {
public:
    /// The screen resolution sizes are converted at; fixed so layouts do not depend on the machine.
    static constexpr int PixelsPerInch = 96;

    TFont() = default;
    /// A font with the given face and size in points, e.g. TFont("MS Sans Serif", 8, fsBold).
    TFont(const QString &name, int size, TFontStyles style = {});
    TFont(const TFont &other);
    TFont &operator=(const TFont &other);

    /// Copies every attribute of other (not its OnChange) and raises OnChange once.
    void Assign(const TFont &other);

    /// Face name; "MS Sans Serif" by default.
    QString Name() const { return m_name; }
    void setName(const QString &name);
    /// Negative: the character height in pixels (-11 is 8 pt); positive: the cell height.
    int Height() const { return m_height; }
    void setHeight(int height);
    /// Size in points, derived from Height at PixelsPerInch (rounded to nearest).
    int Size() const;
    void setSize(int points);
    /// Text colour; clWindowText by default.
    TColor Color() const { return m_color; }
    void setColor(TColor color);
    TFontStyles Style() const { return m_style; }
    void setStyle(TFontStyles style);
    TFontCharset Charset() const { return m_charset; }
    void setCharset(TFontCharset charset);

    /// The Qt font to draw with: the named face when the machine has it, else a look-alike
    /// (DejaVu Sans for the sans faces, DejaVu Sans Mono for Courier, DejaVu Serif for Times),
    /// at the pixel height of Height.
    QFont toQFont() const;

    bool operator==(const TFont &other) const;
    bool operator!=(const TFont &other) const { return !(*this == other); }

    /// Raised after any attribute changes; not copied with the value.
    std::function<void()> OnChange;

private:
    template<class T>
    void update(T &member, const T &value);
    void changed();

    QString m_name = QStringLiteral("MS Sans Serif");
    int m_height = -11;
    TColor m_color = clWindowText;
    TFontStyles m_style;
    TFontCharset m_charset = DEFAULT_CHARSET;
};

enum TBrushStyle { bsSolid, bsClear };

/// The fill of the canvas: FillRect, TextRect and TextOut paint their background with it.
struct TBrush {
    TColor Color = clWhite;
    TBrushStyle Style = bsSolid;
};

/// The line colour and width of MoveTo/LineTo and FrameRect.
struct TPen {
    TColor Color = clBlack;
    int Width = 1;
};

/// A canvas over a QPainter that is active for the duration of one paint. Without a painter it can
/// still measure text. Rectangles are QRects: left/top inclusive, width and height as given.
class TCanvas {
public:
    explicit TCanvas(QPainter *painter = nullptr);

    TBrush Brush;
    TPen Pen;
    TFont Font;

    QPainter *painter() const { return m_painter; }

    /// Width in pixels of text in the current Font.
    int TextWidth(const QString &text) const;
    /// Height in pixels of one line of text in the current Font.
    int TextHeight(const QString &text) const;
    /// Fills rect with the brush (nothing for bsClear or clNone).
    void FillRect(const QRect &rect);
    /// Draws the outline of rect with the brush colour, one pixel wide.
    void FrameRect(const QRect &rect);
    /// Fills rect with the brush, then draws text in one line with its top-left at x,y in the Font,
    /// clipped to rect; no ellipsis, no wrapping.
    void TextRect(const QRect &rect, int x, int y, const QString &text);
    /// Draws text with its top-left at x,y on a background of the brush as large as the text.
    void TextOut(int x, int y, const QString &text);
    /// Starts a line at x,y.
    void MoveTo(int x, int y);
    /// Draws a line with the pen from the current position to x,y, which becomes the current position.
    void LineTo(int x, int y);

private:
    void drawText(int x, int y, const QString &text);

    QPainter *m_painter;
    QPoint m_penPos;
};
