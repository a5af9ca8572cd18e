// Painting of the sign-in window's backgrounds: a light card with the program's name, framed edit beds,
// captions beside them and button faces under the flat buttons.
#include "app/SignInPictures.h"

#include "toolkit/ui/Graphics.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace {

const QColor Ink(0x1F, 0x2D, 0x4A);
const QColor Accent(0x2B, 0x57, 0x97);
const QColor CardTop(0xF4, 0xF7, 0xFB);
const QColor CardBottom(0xD9, 0xE3, 0xF0);
const QColor Frame(0x7F, 0x95, 0xB5);

QFont pictureFont(int pixelHeight, bool bold)
{
    TFont font(QStringLiteral("MS Sans Serif"), 8, bold ? TFontStyles(fsBold) : TFontStyles());
    font.setHeight(-pixelHeight);
    return font.toQFont();
}

void paintBackground(QPainter &painter, const QSize &size)
{
    QLinearGradient fill(0, 0, 0, size.height());
    fill.setColorAt(0, CardTop);
    fill.setColorAt(1, CardBottom);
    painter.fillRect(QRect(QPoint(0, 0), size), fill);
    painter.setPen(Frame);
    painter.drawRect(QRect(0, 0, size.width() - 1, size.height() - 1));
}

// A white bed one pixel larger than the borderless edit, so the edit reads as a framed field.
void paintEditBed(QPainter &painter, const QRect &edit)
{
    const QRect bed = edit.adjusted(-2, -2, 1, 1);
    painter.fillRect(bed, Qt::white);
    painter.setPen(Frame);
    painter.drawRect(bed);
}

void paintCaption(QPainter &painter, const QRect &edit, const QString &caption)
{
    painter.setFont(pictureFont(12, true));
    painter.setPen(Ink);
    const QRect room(8, edit.top() - 2, edit.left() - 8 - 10, edit.height() + 4);
    painter.drawText(room, Qt::AlignRight | Qt::AlignVCenter, caption);
}

void paintButtonFace(QPainter &painter, const QRect &button, const QString &caption)
{
    QLinearGradient fill(button.topLeft(), button.bottomLeft());
    fill.setColorAt(0, QColor(0x4A, 0x78, 0xB8));
    fill.setColorAt(1, Accent);
    QPainterPath face;
    face.addRoundedRect(QRectF(button).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
    painter.fillPath(face, fill);
    painter.setPen(QColor(0x1E, 0x40, 0x72));
    painter.drawPath(face);
    painter.setFont(pictureFont(12, true));
    painter.setPen(Qt::white);
    painter.drawText(button, Qt::AlignCenter, caption);
}

} // namespace

QPixmap drawSignInPicture(const TSignInPictureLayout &layout)
{
    QPixmap picture(layout.size);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    paintBackground(painter, layout.size);

    // The program's name above the status area.
    painter.setPen(Accent);
    painter.setFont(pictureFont(30, true));
    painter.drawText(QRect(0, 18, layout.size.width(), 40), Qt::AlignCenter, QStringLiteral("OLM 16"));
    painter.setPen(Ink);
    painter.setFont(pictureFont(15, false));
    painter.drawText(QRect(0, 60, layout.size.width(), 24), Qt::AlignCenter, QStringLiteral("Учет успеваемости"));
    painter.setPen(QPen(Frame, 1));
    painter.drawLine(40, 92, layout.size.width() - 40, 92);

    // A pale panel behind the transparent status label keeps its black text readable.
    QPainterPath status;
    status.addRoundedRect(QRectF(layout.statusArea).adjusted(-4, -4, 4, 4), 6, 6);
    painter.fillPath(status, QColor(255, 255, 255, 150));
    painter.setPen(QColor(0xB4, 0xC3, 0xD8));
    painter.drawPath(status);

    paintEditBed(painter, layout.loginEdit);
    paintEditBed(painter, layout.passwordEdit);
    paintCaption(painter, layout.loginEdit, QStringLiteral("Пользователь"));
    paintCaption(painter, layout.passwordEdit, QStringLiteral("Пароль"));
    paintButtonFace(painter, layout.signInButton, QStringLiteral("Вход"));
    paintButtonFace(painter, layout.exitButton, QStringLiteral("Отмена"));
    paintButtonFace(painter, layout.changeButton, QStringLiteral("Дополнительно"));
    return picture;
}

QPixmap drawChangePicture(const TChangePictureLayout &layout)
{
    QPixmap picture(layout.size);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    paintBackground(painter, layout.size);

    painter.setPen(Accent);
    painter.setFont(pictureFont(14, true));
    const int headingBottom = layout.newPasswordEdit.top() - 8;
    painter.drawText(QRect(0, 0, layout.size.width(), headingBottom), Qt::AlignCenter, QStringLiteral("Замена пароля"));
    painter.setPen(QPen(Frame, 1));
    painter.drawLine(40, headingBottom, layout.size.width() - 40, headingBottom);

    paintEditBed(painter, layout.newPasswordEdit);
    paintEditBed(painter, layout.confirmationEdit);
    paintCaption(painter, layout.newPasswordEdit, QStringLiteral("Новый пароль"));
    paintCaption(painter, layout.confirmationEdit, QStringLiteral("Подтверждение"));
    return picture;
}
