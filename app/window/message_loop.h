// The program's message loop.
#pragma once

#include <windows.h>

namespace tolvar {

// Serves the thread's messages until WM_QUIT, with the dialog manager's keyboard handling for the
// window (Tab between its controls); returns the quit message's code. Unicode throughout, so that
// a character the ANSI code page lacks reaches the controls as typed.
int RunMessageLoop(HWND window);

}  // namespace tolvar
