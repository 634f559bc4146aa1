// DPI-dependent system queries, using the per-monitor functions where the system has them.
#pragma once

#include <windows.h>

#include "win32_handles.h"

namespace tolvar {

int WindowDpi(HWND hwnd);
// The system's DPI: that of a window made on the primary monitor, unless the user changed the
// monitor's scale since signing in.
int SystemDpi();
int SystemMetricForDpi(int index, int dpi);
bool AdjustWindowRectForDpi(RECT* rect, DWORD style, DWORD exStyle, int dpi);
// The system's message font at that DPI.
UniqueFont CreateMessageFont(int dpi);

}  // namespace tolvar
