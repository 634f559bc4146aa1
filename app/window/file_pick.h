// The two ways files are picked with the mouse: the file dialog and a drop from the shell.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

namespace tolvar {

// The files chosen in the open dialog, which opens at `startAt`; empty on Cancel or any failure.
std::vector<std::wstring> PickFiles(HWND owner, const std::wstring& startAt);

// The .reg file to save a registration in, asked for in the save dialog; it proposes the target's
// name with ".reg", in the target's folder. Empty on Cancel or any failure.
std::wstring PickRegFile(HWND owner, const std::wstring& target);

// The files of a drop, folders left out. The drop is finished here.
std::vector<std::wstring> DroppedFiles(HDROP drop);

// Lets the window take drops from the shell when it runs with higher rights than the shell, whose
// drops the system would otherwise filter out.
void AllowDropsFromLowerRights(HWND window);

}  // namespace tolvar
