// Moving a borderless window with the mouse: the window system's own move, or the window following
// the mouse where the system will not do it.
#include "toolkit/ui/Forms.h"

#include <QCursor>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPointer>
#include <QWidget>
#include <QWindow>

namespace {

// Follows the mouse until the button is released; owned by the window it moves.
class MoveFollower : public QObject {
public:
    MoveFollower(QWidget *window, QPoint pressGlobalPos)
        : QObject(window), m_window(window), m_pressGlobalPos(pressGlobalPos), m_startPos(window->pos())
    {
        qApp->installEventFilter(this);
    }

    void finish()
    {
        qApp->removeEventFilter(this);
        m_finished = true;
        deleteLater();
    }

    bool finished() const { return m_finished; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        Q_UNUSED(watched);
        if (m_finished)
            return false;
        if (event->type() == QEvent::MouseMove) {
            // Every widget the move passes through sees the same global position.
            const QPoint global = static_cast<QMouseEvent *>(event)->globalPosition().toPoint();
            m_window->move(m_startPos + (global - m_pressGlobalPos));
        } else if (event->type() == QEvent::MouseButtonRelease) {
            finish();
        }
        return false;
    }

private:
    QWidget *m_window;
    QPoint m_pressGlobalPos;
    QPoint m_startPos;
    bool m_finished = false;
};

QPointer<MoveFollower> &activeFollower()
{
    static QPointer<MoveFollower> follower;
    return follower;
}

} // namespace

void StartSystemMove(QWidget *window, QPoint pressGlobalPos)
{
    if (!window)
        return;
    window = window->window();
    if (QWidget *grabber = QWidget::mouseGrabber())
        grabber->releaseMouse();
    if (activeFollower() && !activeFollower()->finished())
        activeFollower()->finish();
    if (QWindow *handle = window->windowHandle(); handle && handle->startSystemMove())
        return;
    activeFollower() = new MoveFollower(window, pressGlobalPos);
}

void StartSystemMove(QWidget *window)
{
    StartSystemMove(window, QCursor::pos());
}

bool SystemMoveInProgress()
{
    return activeFollower() && !activeFollower()->finished();
}
