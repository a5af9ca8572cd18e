// The self-update the sign-in starts when the server asks for a newer program. Not built yet: until the
// download exists, the update is reported as unavailable and the program ends.
#pragma once

class QWidget;

/// Unfinished stand-in for the update path: shows "the update server is not reachable" and asks the
/// application to terminate.
void RunSelfUpdateUnfinished(QWidget *owner);
