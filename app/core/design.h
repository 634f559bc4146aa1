// The window's fixed texts and the history file's names, each written once.
#pragma once

#include <string>
#include <string_view>

namespace tolvar {

inline constexpr std::wstring_view kCaption = L"Tolvar";
inline constexpr std::wstring_view kFileLabelCaption = L"Target file : ";
inline constexpr std::wstring_view kHistoryLabelCaption = L"History : ";
inline constexpr std::wstring_view kBrowseCaption = L"...";
inline constexpr std::wstring_view kRegisterCaption = L"Register";
inline constexpr std::wstring_view kUnregisterCaption = L"Unregister";
inline constexpr std::wstring_view kFileNameColumn = L"FileName";
inline constexpr std::wstring_view kPathColumn = L"Path";
inline constexpr std::wstring_view kResultColumn = L"Result";

inline constexpr std::wstring_view kDialogTitle = L"Open File";
inline constexpr std::wstring_view kDialogFilter =
    L"Exe Files (*.exe)|*.exe|DLL Files (*.dll)|*.dll";
// The dialog's buffer for a multiple selection: the folder, then every chosen name.
inline constexpr std::size_t kDialogSelectionChars = 32768;

inline constexpr std::wstring_view kHistoryFileName = L"\\Tolvar.ini";
// Before the caption while Tolvar runs with administrator rights.
inline constexpr std::wstring_view kElevatedCaptionPrefix = L"Administrator: ";
inline constexpr std::wstring_view kHistoryTitleKey = L"FileName";
inline constexpr std::wstring_view kSdkKeyName = L"Software\\ZelvoSDK";
inline constexpr std::wstring_view kSdkRootValue = L"TargetDir";

// The dialog's filter in the form the system takes: each '|' becomes a code-0 character and
// the list ends in two of them.
std::wstring DialogFilterForSystem(std::wstring_view filter);

}  // namespace tolvar
