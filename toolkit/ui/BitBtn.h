// A push button of a standard kind (OK, Cancel, Yes, No) that brings its glyph, its modal result and its
// role: the default button that Enter presses, or the cancel button that Escape presses.
#pragma once

#include <QPointer>
#include <QPushButton>

enum TBitBtnKind { bkCustom, bkOK, bkCancel, bkYes, bkNo };

class TBitBtn : public QPushButton {
    Q_OBJECT
public:
    explicit TBitBtn(QWidget *parent = nullptr);

    /// bkOK and bkYes are default buttons, bkCancel the cancel button; each kind sets its glyph and
    /// modal result (mrOk, mrCancel, mrYes, mrNo). The caption stays the form's own.
    TBitBtnKind Kind() const { return m_kind; }
    void setKind(TBitBtnKind kind);

    /// A click ends the button's dialog with this result; mrNone leaves the dialog open.
    int ModalResult() const { return m_modalResult; }
    void setModalResult(int result) { m_modalResult = result; }

    /// Enter anywhere in the dialog presses it, unless another button has the focus.
    bool Default() const { return isDefault(); }
    void setDefault(bool on) { QPushButton::setDefault(on); }

    /// Escape in the window presses it, when the control with the focus does not take Escape itself.
    bool Cancel() const { return m_cancel; }
    void setCancel(bool on);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void clickedAsModal();

    TBitBtnKind m_kind = bkCustom;
    int m_modalResult = 0;
    bool m_cancel = false;
    QPointer<QWidget> m_watchedWindow;
};
