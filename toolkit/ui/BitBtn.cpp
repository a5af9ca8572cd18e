// The standard-kind button: its glyph from the style's standard pixmaps, its modal result ending the
// dialog, and Escape caught on its window for the cancel button.
#include "toolkit/ui/BitBtn.h"

#include "toolkit/ui/Application.h"

#include <QDialog>
#include <QKeyEvent>
#include <QStyle>

namespace {

struct BitBtnKindLook {
    QStyle::StandardPixmap glyph;
    int modalResult;
    bool isDefault;
    bool isCancel;
};

// The confirming kinds show the style's green tick: its own OK picture is an arrow and its Yes a plain disc,
// which the users would not read as "yes".
BitBtnKindLook lookOfKind(TBitBtnKind kind)
{
    switch (kind) {
    case bkOK: return {QStyle::SP_DialogApplyButton, mrOk, true, false};
    case bkCancel: return {QStyle::SP_DialogCancelButton, mrCancel, false, true};
    case bkYes: return {QStyle::SP_DialogApplyButton, mrYes, true, false};
    case bkNo: return {QStyle::SP_DialogNoButton, mrNo, false, false};
    case bkCustom: break;
    }
    return {QStyle::SP_CustomBase, mrNone, false, false};
}

} // namespace

TBitBtn::TBitBtn(QWidget *parent) : QPushButton(parent)
{
    // Enter presses the default button, or in its place whichever button has the focus.
    setAutoDefault(true);
    connect(this, &QPushButton::clicked, this, [this] { clickedAsModal(); });
}

void TBitBtn::setKind(TBitBtnKind kind)
{
    m_kind = kind;
    const BitBtnKindLook look = lookOfKind(kind);
    setIcon(kind == bkCustom ? QIcon() : style()->standardIcon(look.glyph, nullptr, this));
    m_modalResult = look.modalResult;
    setDefault(look.isDefault);
    setCancel(look.isCancel);
}

void TBitBtn::setCancel(bool on)
{
    m_cancel = on;
    if (m_watchedWindow)
        m_watchedWindow->removeEventFilter(this);
    m_watchedWindow = on ? window() : nullptr;
    if (m_watchedWindow)
        m_watchedWindow->installEventFilter(this);
}

bool TBitBtn::eventFilter(QObject *watched, QEvent *event)
{
    // The window sees Escape only when the control with the focus left it alone.
    if (m_cancel && watched == m_watchedWindow && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier && isVisible() && isEnabled()) {
            click();
            return true;
        }
    }
    return QPushButton::eventFilter(watched, event);
}

void TBitBtn::clickedAsModal()
{
    if (m_modalResult == mrNone)
        return;
    if (auto *dialog = qobject_cast<QDialog *>(window()))
        dialog->done(m_modalResult);
}
