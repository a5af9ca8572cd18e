// The program's start-up sequence, shared by the client's entry point and the tests that run the client.
#pragma once

/// With the window system up: the application (title, main window hidden until a sign-in succeeds), the
/// data module, the main window whose creation signs in, and the message loop. Returns the exit code.
int RunStartup();
