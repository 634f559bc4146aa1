#include "registry_view.h"

#include <gtest/gtest.h>

#include <utility>

namespace tolvar {
namespace {

TEST(RegistryView, PutsWhatA32BitProgramWritesWhereWindowsKeepsIt) {
    const std::pair<std::wstring_view, std::wstring_view> moved[] = {
        {L"HKEY_CLASSES_ROOT\\CLSID\\{A}\\InprocServer32",
         L"HKEY_CLASSES_ROOT\\WOW6432Node\\CLSID\\{A}\\InprocServer32"},
        {L"HKEY_CLASSES_ROOT\\clsid", L"HKEY_CLASSES_ROOT\\WOW6432Node\\clsid"},
        {L"HKEY_CLASSES_ROOT\\Interface\\{I}", L"HKEY_CLASSES_ROOT\\WOW6432Node\\Interface\\{I}"},
        {L"HKEY_CURRENT_USER\\Software\\Classes\\CLSID\\{A}",
         L"HKEY_CURRENT_USER\\Software\\Classes\\WOW6432Node\\CLSID\\{A}"},
        {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Media Type\\x",
         L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\WOW6432Node\\Media Type\\x"},
        {L"HKEY_LOCAL_MACHINE\\Software\\Vendor\\Product",
         L"HKEY_LOCAL_MACHINE\\Software\\WOW6432Node\\Vendor\\Product"},
        // Above a shared key, and a key whose name only begins like one, are not shared.
        {L"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion",
         L"HKEY_LOCAL_MACHINE\\Software\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion"},
        {L"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\OLE2",
         L"HKEY_LOCAL_MACHINE\\Software\\WOW6432Node\\Microsoft\\OLE2"},
    };
    for (const auto& [path, expected] : moved) EXPECT_EQ(ThirtyTwoBitViewPath(path), expected);

    const std::wstring_view kept[] = {
        L"HKEY_CLASSES_ROOT",
        L"HKEY_CLASSES_ROOT\\Sample.Object\\CLSID",  // a ProgID's CLSID is no class key
        L"HKEY_CLASSES_ROOT\\TypeLib\\{T}\\1.0\\0\\win32",
        L"HKEY_CLASSES_ROOT\\AppID\\{A}",
        L"HKEY_CLASSES_ROOT\\WOW6432Node\\CLSID\\{A}",
        L"HKEY_CURRENT_USER\\Software\\Vendor",
        L"HKEY_LOCAL_MACHINE\\Software",
        L"HKEY_LOCAL_MACHINE\\Software\\Classes\\.ext",
        L"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\OLE\\x",
        L"HKEY_LOCAL_MACHINE\\Software\\microsoft\\windows\\currentversion\\app paths\\s.exe",
        L"HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Vendor",
        L"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet",
    };
    for (const std::wstring_view path : kept) EXPECT_EQ(ThirtyTwoBitViewPath(path), path);
}

}  // namespace
}  // namespace tolvar
