// The deletion confirmation dialog: its layout as designed, the warning sound at creation and the button
// panel kept centred as the window is resized.
#include "journal/Unit3.h"

#include "toolkit/ui/BitBtn.h"
#include "toolkit/ui/Dialogs.h"
#include "toolkit/ui/Graphics.h"
#include "toolkit/ui/StringGrid.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QResizeEvent>
#include <QScreen>
#include <QShowEvent>
#include <QStyle>

#include <algorithm>

namespace {

constexpr int kTopPanelHeight = 54;
constexpr int kBottomPanelHeight = 39;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 25;
constexpr int kButtonsPanelWidth = 155;
constexpr int kButtonsPanelTop = 7;
constexpr int kWarningSize = 32;

// The captions of the top panel: Courier New 10 pt with the Cyrillic character set.
QFont captionFont()
{
    TFont font(QStringLiteral("Courier New"), 10);
    font.setCharset(RUSSIAN_CHARSET);
    return font.toQFont();
}

QFrame *loweredPanel(QWidget *parent, const char *name)
{
    auto *panel = new QFrame(parent);
    panel->setObjectName(QString::fromLatin1(name));
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setLineWidth(1);
    return panel;
}

QLabel *captionLabel(QWidget *parent, const char *name, const QString &caption, QPoint at)
{
    auto *label = new QLabel(caption, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setFont(captionFont());
    label->move(at);
    label->adjustSize();
    return label;
}

TBitBtn *kindButton(QWidget *parent, const char *name, const QString &caption, TBitBtnKind kind, int left)
{
    auto *button = new TBitBtn(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setText(caption);
    button->setKind(kind);
    button->setGeometry(left, 0, kButtonWidth, kButtonHeight);
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

} // namespace

TForm1::TForm1(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Предупреждение..."));
    // A sizeable tool window whose caption carries no system menu and no buttons.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setFont(TFont(QStringLiteral("MS Sans Serif"), 8).toQFont());
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, ColorToQColor(clBtnFace));
    setPalette(palette);
    setAutoFillBackground(true);
    setMinimumSize(MinimumWidth, MinimumHeight);
    resize(DesignedWidth, DesignedHeight);
    createPanels();
    createStringGrid();
    createButtons();
    placeBands();
    // The buttons start centred on the designed width; resizes move them from there.
    Btns_Pnl->move(Panel2->width() / 2 - Btns_Pnl->width() / 2, kButtonsPanelTop);
    FormCreate();
}

void TForm1::createPanels()
{
    Panel1 = loweredPanel(this, "Panel1");
    Warning_Image = new QLabel(Panel1);
    Warning_Image->setObjectName(QStringLiteral("Warning_Image"));
    // The style's warning sign keeps its transparent surroundings.
    Warning_Image->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning, nullptr, this)
                                 .pixmap(kWarningSize, kWarningSize));
    Warning_Image->setGeometry(8, 10, kWarningSize, kWarningSize);
    Count_Lbl = captionLabel(Panel1, "Count_Lbl", QStringLiteral("Количество удаляемых записей:"), QPoint(48, 7));
    Qst_Lbl = captionLabel(Panel1, "Qst_Lbl", QStringLiteral("Вы действительно хотите удалить эти записи?"),
                           QPoint(48, 29));
    Panel2 = loweredPanel(this, "Panel2");
}

void TForm1::createStringGrid()
{
    StringGrid = new TStringGrid(this);
    StringGrid->setObjectName(QStringLiteral("StringGrid"));
    StringGrid->setColor(clBtnFace);
    StringGrid->setFixedColor(clSilver);
    StringGrid->setDefaultRowHeight(18);
    StringGrid->setOptions(goFixedVertLine | goFixedHorzLine | goVertLine | goHorzLine | goColSizing | goRowSelect
                           | goDrawFocusSelected);
    StringGrid->setColCount(2);
    StringGrid->setRowCount(2);
    StringGrid->setColWidths(0, 11);
    StringGrid->setColWidths(1, StringGrid->DefaultColWidth());
}

void TForm1::createButtons()
{
    Btns_Pnl = new QWidget(Panel2);
    Btns_Pnl->setObjectName(QStringLiteral("Btns_Pnl"));
    Btns_Pnl->resize(kButtonsPanelWidth, kButtonHeight);
    BitBtn1 = kindButton(Btns_Pnl, "BitBtn1", QStringLiteral("Да"), bkYes, 0);
    BitBtn2 = kindButton(Btns_Pnl, "BitBtn2", QStringLiteral("Нет"), bkCancel, 80);
}

void TForm1::placeBands()
{
    const int w = width();
    const int h = height();
    Panel1->setGeometry(0, 0, w, kTopPanelHeight);
    Panel2->setGeometry(0, h - kBottomPanelHeight, w, kBottomPanelHeight);
    StringGrid->setGeometry(0, kTopPanelHeight, w, std::max(0, h - kTopPanelHeight - kBottomPanelHeight));
    // The labels may grow with their captions up to the panel's edge.
    for (QLabel *label : {Count_Lbl, Qst_Lbl})
        label->resize(std::max(label->sizeHint().width(), w - label->x() - 2), label->sizeHint().height());
}

void TForm1::FormCreate()
{
    MessageBeep(MB_ICONEXCLAMATION);
}

void TForm1::FormCanResize(int &NewWidth, int &NewHeight, bool &Resize)
{
    Q_UNUSED(NewWidth);
    Q_UNUSED(NewHeight);
    Btns_Pnl->move(Panel2->width() / 2 - Btns_Pnl->width() / 2, Btns_Pnl->y());
    Resize = true;
}

void TForm1::resizeEvent(QResizeEvent *event)
{
    // The children still have the old size here: the buttons are placed by it before the bands follow.
    int newWidth = event->size().width();
    int newHeight = event->size().height();
    bool allow = true;
    FormCanResize(newWidth, newHeight, allow);
    placeBands();
    QDialog::resizeEvent(event);
}

void TForm1::showEvent(QShowEvent *event)
{
    // Centred on the desktop, by the size the window has when it appears.
    if (!event->spontaneous()) {
        if (const QScreen *screen = QGuiApplication::primaryScreen()) {
            QRect frame = frameGeometry();
            frame.moveCenter(screen->virtualGeometry().center());
            move(frame.topLeft());
        }
    }
    QDialog::showEvent(event);
}
