// Window helpers the forms share: moving a borderless window with the mouse as if by its caption.
#pragma once

#include <QPoint>

class QWidget;

/// Lets the user move window with the mouse as if by its caption (the "move" system command): call
/// it on a left-button press. Releases any mouse grab first. Where the window system refuses, the
/// window follows the mouse from pressGlobalPos until the button is released.
void StartSystemMove(QWidget *window, QPoint pressGlobalPos);
/// StartSystemMove from where the cursor is now.
void StartSystemMove(QWidget *window);
/// Whether a fallback move started by StartSystemMove is still following the mouse.
bool SystemMoveInProgress();
